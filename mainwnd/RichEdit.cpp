#include "mainwnd/RichEdit.h"

#include <QTextBlock>
#include <QTextEdit>
#include <QVBoxLayout>

CRichEdit20Ctrl::CRichEdit20Ctrl(QWidget* parent) : QPlainTextEdit(parent) {}

bool CRichEdit20Ctrl::Create(uint32_t style, const QRect& rect, QWidget* parent, uint32_t id)
{
    using namespace richedit;
    setParent(parent);
    setGeometry(rect);
    m_id = id;
    setObjectName(QStringLiteral("c%1").arg(id));
    setReadOnly(style & ES_READONLY);
    // A read-only control still has its caret: the keys move it and select.
    if (style & ES_READONLY)
        setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setFrameShape(style & WS_BORDER ? QFrame::StyledPanel : QFrame::NoFrame);
    setVerticalScrollBarPolicy(style & WS_VSCROLL ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(style & WS_HSCROLL ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    setLineWrapMode(style & (ES_AUTOHSCROLL | WS_HSCROLL) ? QPlainTextEdit::NoWrap : QPlainTextEdit::WidgetWidth);
    if (style & ES_NOHIDESEL) {
        QPalette pal = palette();
        pal.setColor(QPalette::Inactive, QPalette::Highlight, pal.color(QPalette::Active, QPalette::Highlight));
        pal.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     pal.color(QPalette::Active, QPalette::HighlightedText));
        setPalette(pal);
    }
    setUndoRedoEnabled(false);
    setVisible(style & WS_VISIBLE);
    return true;
}


int CRichEdit20Ctrl::GetLineCount() const { return document()->blockCount(); }

int CRichEdit20Ctrl::GetLastVisibleLine() const
{
    const int bottom = viewport()->height();
    const QPointF offset = contentOffset();
    for (QTextBlock b = firstVisibleBlock(); b.isValid(); b = b.next())
        if (blockBoundingGeometry(b).translated(offset).top() >= bottom)
            return b.blockNumber();
    return GetLineCount();
}

// ----------------------------------------------------------- CRichEditView2

CRichEditView2::CRichEditView2(QWidget* parent) : ui::View(parent), m_edit(new QTextEdit(this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_edit);
    m_edit->setLineWrapMode(QTextEdit::WidgetWidth);
    m_edit->setAcceptRichText(true);
    setFocusProxy(m_edit);
    resize(100, 100);
}

void CRichEditView2::OnUpdate(ui::View*, long, QObject*)
{
    if (auto* doc = qobject_cast<CRichEditDoc2*>(GetDocument()))
        m_edit->setPlainText(doc->Text());
}

// ------------------------------------------------------------ CRichEditDoc2

std::unique_ptr<CRichEditCntrItem2> CRichEditDoc2::CreateClientItem() const
{
    return std::make_unique<CRichEditCntrItem2>();
}

CRichEditView2* CRichEditDoc2::GetView() const
{
    for (ui::View* v : Views())
        if (auto* rv = qobject_cast<CRichEditView2*>(v))
            return rv;
    return nullptr;
}

void CRichEditDoc2::Serialize(ui::Archive& ar)
{
    if (ar.IsLoading()) {
        m_text = QString::fromUtf8(ar.Device().readAll());
        if (CRichEditView2* v = GetView())
            v->GetRichEditCtrl()->setPlainText(m_text);
        return;
    }
    if (CRichEditView2* v = GetView())
        m_text = v->GetRichEditCtrl()->toPlainText();
    QByteArray bytes = m_text.toUtf8();
    ar.Write(bytes.constData(), bytes.size());
}
