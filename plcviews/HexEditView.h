#pragma once
// The hex editor view: address, hex and ASCII columns of a byte block that
// someone else owns, drawn from the HexEditModel; and CBinView, which binds
// it to the binary document, the font and colour registry ("BinaryWindow")
// and the program's menus.

#include "fontcolor/FontColorPage.h"
#include "platform/ui/Document.h"
#include "plcviews/HexEditModel.h"

#include <QColor>
#include <QFont>
#include <QPointer>
#include <QTimer>

class QScrollBar;
class CBinDoc;

// The clipboard format of raw bytes.
extern const QString kBinaryDataMime;

class CHexEditView : public ui::View
{
    Q_OBJECT
public:
    explicit CHexEditView(QWidget* parent = nullptr);
    ~CHexEditView() override;

    HexEditModel& Model() { return m_model; }

    // A copy of the bytes as the view's own block / the owner's block /
    // the owner's bytes (the binary document's store).
    void SetData(const QByteArray& bytes);
    void SetData(QByteArray* block);
    void SetData(HexBytes* bytes);
    // The size and the bytes.
    qsizetype GetData(QByteArray& out) const;
    // Copies at most max bytes into buffer; the count copied.
    qsizetype CopyData(char* buffer, qsizetype max) const;

    void GetOptions(bool& address, bool& hex, bool& ascii, bool& wide, bool& readOnly) const;
    void SetOptions(bool address, bool hex, bool ascii, bool wide, bool readOnly);
    // ORs bits of 0x100F into the flags.
    void SetOptionBits(uint32_t bits);
    void SetBytesPerRow(int n);
    void SetSelection(qsizetype start, qsizetype end);
    void NormaliseSelection();
    bool HasSelection() const { return m_model.HasSelection(); }
    QSize sizeHint() const override { return {640, 400}; }
    // The keys its menu shows for the commands only this view handles
    // (Ctrl+A selects all).
    const ui::AccelTable* Accelerators() const override;

    const QFont& ViewFont() const { return m_font; }
    // The area without the view's own scroll bar.
    QRect ClientRect() const;
    // Whether the caret is drawn now (focus, blink phase, inside the client).
    bool CaretShown() const;
    // The pixels scrolled off at the left (0 while the caret's column fits).
    int HorizontalOffset() const { return m_xOffset; }
    // Scrolls sideways so that the caret's cell is inside the client (the
    // view has no horizontal bar: a narrow pane follows its caret).
    void ShowCaretColumn();
    // Draws the client into img (the size of the client area).
    void PaintTo(QPainter& p, const QRect& clip);

protected:
    // Called after each change the model reports; the base repaints, beeps
    // and follows the scroll bar.
    virtual void OnModelChanged(const HexChange& change);
    virtual void ShowContextMenu(const QPoint& global);
    void ApplyFontAndColours(const QFont& font, QColor text, QColor back, QColor selText, QColor selBack);
    void UpdateScrollBar();
    void ConnectScrollBar();

    bool event(QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;

    // Puts the selection on the clipboard; false (a message or a beep) when
    // it is longer than HexEditModel::kCopyLimit or holds unavailable bytes.
    bool Copy();
    void Cut();
    void Paste();
    bool CanPaste() const;
    virtual void ToggleReadOnly();

    HexChange Apply(const HexChange& change)
    {
        OnModelChanged(change);
        return change;
    }

private:
    void UpdateMetrics();
    void MapCommands();
    void DragTo(QPoint pos);
    void RestartBlink();

    HexEditModel m_model;
    QByteArray m_shown;    // the bytes of the rows last drawn
    QByteArray m_missing;  // per byte of m_shown: 1 when unavailable
    QFont m_font;
    QColor m_text, m_back, m_selText, m_selBack;
    QScrollBar* m_vbar;                 // own bar outside a splitter
    QPointer<QScrollBar> m_sharedV;     // the row's bar inside a splitter
    QTimer m_blink;
    bool m_blinkOn = true;
    int m_xOffset = 0;  // pixels of the rows scrolled off at the left
    QTimer m_dragTimer;
    bool m_pressed = false, m_dragging = false;
    QPoint m_pressPos, m_lastPos;
    qsizetype m_dragAnchor = 0;
};

class CBinView : public CHexEditView, public CFontColorListener
{
    Q_OBJECT
public:
    static const QString kCategory;  // "BinaryWindow"

    CBinView();
    ~CBinView() override;
    CBinDoc* GetDocument() const;

    void OnInitialUpdate() override;
    void OnUpdate(ui::View* sender, long hint, QObject* object) override;
    void OnFontColorChange(uint32_t id) override;

    // The caret for the workspace file.
    qsizetype GetCaretPos() const { return const_cast<CBinView*>(this)->Model().Caret(); }
    qsizetype SetCaretPos(qsizetype offset);
    int GetCaretArea() const { return const_cast<CBinView*>(this)->Model().Area(); }
    int SetCaretArea(int area);

    // Registers the category and its items "Text" and "SelText".
    static bool RegisterFontItems(const QString& category, const QString& displayName, CFontColorPage* registry);

protected:
    void OnModelChanged(const HexChange& change) override;
    void ShowContextMenu(const QPoint& global) override;
    void ToggleReadOnly() override;

private:
    void ApplyCategory();
    void ReloadCommand();
    QPointer<CFontColorPage> m_registry;
};
