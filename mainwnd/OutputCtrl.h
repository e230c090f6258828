#pragma once
// Stand-in for the output window control: a read-only text pane that shows
// plain and tagged lines.  Tags are kept (at most 500) but there are no
// jumps yet.  The output window with its error-jump lines, formats and
// context menu will replace this file.

#include "core/common/OutputSink.h"

#include <QPlainTextEdit>

#include <string>
#include <vector>

class COutputCtrl : public QPlainTextEdit, public core::OutputSink
{
    Q_OBJECT
public:
    static constexpr size_t kMaxTags = 500;
    static constexpr size_t kMaxTagPath = 259;

    struct Tag
    {
        std::u16string path;
        int line = 0;
        int column = 0;
        std::u16string text1, text2, message;
        int block = 0; // the text block of the line
    };

    explicit COutputCtrl(QWidget* parent = nullptr);

    void AppendText(std::u16string_view text) override;
    void AppendTaggedLine(std::u16string_view lineText, std::u16string_view filePath, int lineNumber, int column,
                          std::u16string_view text1, std::u16string_view text2,
                          std::u16string_view message) override;
    void ClearAll() override;

    const std::vector<Tag>& Tags() const { return m_tags; }
    // The whole text with "\n" line ends.
    QString Text() const { return toPlainText(); }

private:
    void Insert(std::u16string_view text, bool tagged);
    std::vector<Tag> m_tags;
};
