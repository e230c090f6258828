#include "plcviews/StructuredTextDoc.h"

#include "platform/sys/CodePage.h"
#include "plcviews/StandInView.h"

#include <QPlainTextEdit>
#include <QTextBlock>

#include <algorithm>

CStructuredTextDoc::CStructuredTextDoc() = default;

bool CStructuredTextDoc::OnNewDocument()
{
    m_text.clear();
    return true;
}

bool CStructuredTextDoc::OnOpenDocument(const QString& path)
{
    QByteArray bytes;
    if (!ReadStandInFile(*this, path, bytes))
        return false;
    std::u16string text;
    sys::DecodeCodePage(1250, std::string_view(bytes.constData(), size_t(bytes.size())), text);
    m_text = QString::fromStdU16String(text);
    return true;
}

CStructuredTextView::CStructuredTextView() : m_edit(MakeStandInEdit(this)) { setProperty("sw_context_menu", 1031u); }

void CStructuredTextView::OnUpdate(ui::View*, long, QObject*)
{
    if (auto* doc = qobject_cast<CStructuredTextDoc*>(GetDocument()))
        m_edit->setPlainText(doc->Text());
}

void CStructuredTextView::ClampTextPos(EdtPoint pos)
{
    QTextDocument* text = m_edit->document();
    QTextBlock block = text->findBlockByNumber(std::clamp(pos.line, 0, text->blockCount() - 1));
    int ch = std::clamp(pos.ch, 0, std::max(0, block.length() - 1));
    QTextCursor c(block);
    c.setPosition(block.position() + ch);
    m_edit->setTextCursor(c);
    m_edit->ensureCursorVisible();
}

EdtPoint CStructuredTextView::GetCursorPos() const
{
    QTextCursor c = m_edit->textCursor();
    return EdtPoint{c.positionInBlock(), c.blockNumber()};
}
