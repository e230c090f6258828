#include "mainwnd/OutputCtrl.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>

COutputCtrl::COutputCtrl(QWidget* parent) : QPlainTextEdit(parent)
{
    setReadOnly(true);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setUndoRedoEnabled(false);
    QFont font(QStringLiteral("Monospace"));
    font.setStyleHint(QFont::TypeWriter);
    setFont(font);
}

void COutputCtrl::Insert(std::u16string_view text, bool tagged)
{
    QString s = QString::fromUtf16(text.data(), qsizetype(text.size()));
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    s.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QTextCursor c(document());
    c.movePosition(QTextCursor::End);
    QTextCharFormat fmt;
    if (tagged)
        fmt.setForeground(QColor(0x80, 0, 0));
    c.insertText(s, fmt);
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void COutputCtrl::AppendText(std::u16string_view text) { Insert(text, false); }

void COutputCtrl::AppendTaggedLine(std::u16string_view lineText, std::u16string_view filePath, int lineNumber,
                                   int column, std::u16string_view text1, std::u16string_view text2,
                                   std::u16string_view message)
{
    if (m_tags.size() >= kMaxTags || filePath.size() > kMaxTagPath) {
        Insert(lineText, false);
        return;
    }
    Tag tag;
    tag.path = std::u16string(filePath);
    tag.line = lineNumber;
    tag.column = column;
    tag.text1 = std::u16string(text1);
    tag.text2 = std::u16string(text2);
    tag.message = std::u16string(message);
    tag.block = document()->blockCount() - 1;
    m_tags.push_back(std::move(tag));
    Insert(lineText, true);
}

void COutputCtrl::ClearAll()
{
    clear();
    m_tags.clear();
}
