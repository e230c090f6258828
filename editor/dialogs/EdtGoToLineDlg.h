#pragma once
// The "Jdi na řádek" dialog of the text view: an optional "+" or "-" and up
// to nine digits; OK is enabled while the text holds a digit.

#include "platform/ui/Dialog.h"

class QLineEdit;
class QPushButton;

class CGoToLineDlg : public ui::Dialog
{
    Q_OBJECT
public:
    static constexpr uint32_t IDD = 8603;
    explicit CGoToLineDlg(QWidget* parent = nullptr);
    bool OnInitDialog() override;
    void OnOK() override;
    // The text entered (after OK).
    const QString& Text() const { return m_text; }

private:
    void UpdateOk();
    QLineEdit* m_edit = nullptr;
    QPushButton* m_ok = nullptr;
    QString m_text;
};
