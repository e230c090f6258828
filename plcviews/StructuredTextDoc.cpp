#include "plcviews/StructuredTextDoc.h"

#include "platform/sys/CodePage.h"

#include <QFile>
#include <QPlainTextEdit>
#include <QVBoxLayout>

CStructuredTextDoc::CStructuredTextDoc() = default;

bool CStructuredTextDoc::OnNewDocument()
{
    m_text.clear();
    return true;
}

bool CStructuredTextDoc::OnOpenDocument(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        ReportSaveLoadException(path, f.exists() ? ui::FileError::generic : ui::FileError::notFound, false,
                                ui::IDS_FAILED_TO_OPEN);
        return false;
    }
    const QByteArray bytes = f.readAll();
    std::u16string text;
    sys::DecodeCodePage(1250, std::string_view(bytes.constData(), size_t(bytes.size())), text);
    m_text = QString::fromStdU16String(text);
    return true;
}

CStructuredTextView::CStructuredTextView() : m_edit(new QPlainTextEdit(this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_edit);
    m_edit->setReadOnly(true);
    m_edit->setLineWrapMode(QPlainTextEdit::NoWrap);
    QFont font(QStringLiteral("Monospace"));
    font.setStyleHint(QFont::TypeWriter);
    m_edit->setFont(font);
    setFocusProxy(m_edit);
}

void CStructuredTextView::OnUpdate(ui::View*, long, QObject*)
{
    if (auto* doc = qobject_cast<CStructuredTextDoc*>(GetDocument()))
        m_edit->setPlainText(doc->Text());
}
