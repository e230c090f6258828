#include "plcviews/BinDoc.h"

#include <QFile>
#include <QPlainTextEdit>
#include <QVBoxLayout>

bool CBinDoc::OnNewDocument()
{
    m_bytes.clear();
    return true;
}

bool CBinDoc::OnOpenDocument(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        ReportSaveLoadException(path, f.exists() ? ui::FileError::generic : ui::FileError::notFound, false,
                                ui::IDS_FAILED_TO_OPEN);
        return false;
    }
    m_bytes = f.readAll();
    return true;
}

QString HexDump(const QByteArray& bytes)
{
    QString out;
    for (qsizetype off = 0; off < bytes.size(); off += 16) {
        QString hex, chars;
        for (qsizetype i = off; i < off + 16; ++i) {
            if (i < bytes.size()) {
                const auto b = static_cast<unsigned char>(bytes[i]);
                hex += QStringLiteral("%1 ").arg(b, 2, 16, QLatin1Char('0')).toUpper();
                chars += (b >= 0x20 && b < 0x7F) ? QChar(b) : QLatin1Char('.');
            } else {
                hex += QStringLiteral("   ");
            }
        }
        out += QStringLiteral("%1  %2 %3\n").arg(off, 8, 16, QLatin1Char('0')).arg(hex, chars);
    }
    return out;
}

CBinView::CBinView() : m_edit(new QPlainTextEdit(this))
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

void CBinView::OnUpdate(ui::View*, long, QObject*)
{
    if (auto* doc = qobject_cast<CBinDoc*>(GetDocument()))
        m_edit->setPlainText(HexDump(doc->Bytes()));
}
