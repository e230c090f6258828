#include "plcviews/StructuredTextDoc.h"

#include "platform/sys/CodePage.h"
#include "plcviews/StandInView.h"

#include <QPlainTextEdit>

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

CStructuredTextView::CStructuredTextView() : m_edit(MakeStandInEdit(this)) {}

void CStructuredTextView::OnUpdate(ui::View*, long, QObject*)
{
    if (auto* doc = qobject_cast<CStructuredTextDoc*>(GetDocument()))
        m_edit->setPlainText(doc->Text());
}
