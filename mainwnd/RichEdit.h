#pragma once
// The rich-edit classes: the plain-text control under the output window
// (CRichEdit20Ctrl), and a rich-text view, document and container item that
// the output window's jumps can position in.

#include "platform/ui/Document.h"

#include <QMargins>
#include <QPlainTextEdit>
#include <QSize>

#include <memory>

class QTextEdit;

// Window style bits that Create maps onto the control.
namespace richedit {
constexpr uint32_t ES_MULTILINE = 0x0004;
constexpr uint32_t ES_AUTOVSCROLL = 0x0040;
constexpr uint32_t ES_AUTOHSCROLL = 0x0080;
constexpr uint32_t ES_NOHIDESEL = 0x0100;
constexpr uint32_t ES_READONLY = 0x0800;
constexpr uint32_t WS_HSCROLL = 0x00100000;
constexpr uint32_t WS_VSCROLL = 0x00200000;
constexpr uint32_t WS_BORDER = 0x00800000;
constexpr uint32_t WS_VISIBLE = 0x10000000;
} // namespace richedit

class CRichEdit20Ctrl : public QPlainTextEdit
{
    Q_OBJECT
public:
    explicit CRichEdit20Ctrl(QWidget* parent = nullptr);

    // Places the control in parent at rect with the control id; the style
    // bits give read-only, the border, the scroll bars, no wrapping and a
    // selection that stays visible without the focus.
    bool Create(uint32_t style, const QRect& rect, QWidget* parent, uint32_t id);
    uint32_t GetDlgCtrlID() const { return m_id; }

    // The first line whose top lies at or below the bottom of the visible
    // area, counted from the first visible line; the line count when none.
    int GetLastVisibleLine() const;
    int GetLineCount() const;

private:
    uint32_t m_id = 0;
};

class CRichEditCntrItem2
{
public:
    CRichEditCntrItem2() = default;
    virtual ~CRichEditCntrItem2() = default;
};

class CRichEditView2 : public ui::View
{
    Q_OBJECT
public:
    static constexpr QSize kPaperSize{12240, 15840}; // twips
    static constexpr int kBulletIndent = 720;       // twips

    explicit CRichEditView2(QWidget* parent = nullptr);
    QTextEdit* GetRichEditCtrl() const { return m_edit; }
    QSize PaperSize() const { return m_paperSize; }
    QMargins Margins() const { return m_margins; }
    int BulletIndent() const { return m_bulletIndent; }
    void OnUpdate(ui::View* sender, long hint, QObject* object) override;
    QSize sizeHint() const override { return {100, 100}; }

private:
    QTextEdit* m_edit;
    QSize m_paperSize = kPaperSize;
    QMargins m_margins;
    int m_bulletIndent = kBulletIndent;
};

class CRichEditDoc2 : public ui::Document
{
    Q_OBJECT
public:
    CRichEditDoc2() = default;
    std::unique_ptr<CRichEditCntrItem2> CreateClientItem() const;
    // The first view that is a CRichEditView2, or null.
    CRichEditView2* GetView() const;
    // The text, read as UTF-8 (the view shows it).
    const QString& Text() const { return m_text; }
    void Serialize(ui::Archive& ar) override;
    void DeleteContents() override { m_text.clear(); }

private:
    QString m_text;
};
