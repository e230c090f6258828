#include "plcviews/BinDoc.h"

#include "plcviews/StandInView.h"

#include <QPlainTextEdit>

bool CBinDoc::OnNewDocument()
{
    m_bytes.clear();
    return true;
}

bool CBinDoc::OnOpenDocument(const QString& path) { return ReadStandInFile(*this, path, m_bytes); }

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

CBinView::CBinView() : m_edit(MakeStandInEdit(this)) { setProperty("sw_context_menu", 1033u); }

void CBinView::OnUpdate(ui::View*, long, QObject*)
{
    if (auto* doc = qobject_cast<CBinDoc*>(GetDocument()))
        m_edit->setPlainText(HexDump(doc->Bytes()));
}
