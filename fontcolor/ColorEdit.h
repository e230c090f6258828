#pragma once
// The colour swatch of the "Formát" page and of the connection monitor's
// settings page, and the format sample of the "Formát" page.

#include "platform/ui/SysColor.h"

#include <QFont>
#include <QWidget>

class CColorEdit : public QWidget
{
    Q_OBJECT
public:
    explicit CColorEdit(QWidget* parent = nullptr, int id = 0);

    ui::COLORREF GetColor() const { return m_color; }
    void SetColor(ui::COLORREF color);
    // The control id sent with the change notification.
    int ControlId() const { return m_id; }
    void SetControlId(int id) { m_id = id; }

    // Opens the colour dialog with the colour; a different choice repaints
    // and notifies.
    void ChooseColor();

signals:
    // The user chose another colour (the page's change notification).
    void ColorChanged(int controlId);

protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void changeEvent(QEvent* e) override;
    QSize sizeHint() const override { return {40, 20}; }

private:
    ui::COLORREF m_color = 0;
    int m_id;
    bool m_pressed = false;
};

// Paints the sample text in a font and colours inside a frame, on the
// dialog colour.
class CFormatSampleStatic : public QWidget
{
    Q_OBJECT
public:
    explicit CFormatSampleStatic(QWidget* parent = nullptr);
    void SetSample(const QFont& font, ui::COLORREF text, ui::COLORREF back);
    const QString& SampleText() const { return m_text; }
    const QFont& SampleFont() const { return m_font; }
    ui::COLORREF TextColor() const { return m_textColor; }
    ui::COLORREF BackColor() const { return m_backColor; }

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    QString m_text;
    QFont m_font;
    ui::COLORREF m_textColor = 0, m_backColor = 0xFFFFFF;
};
