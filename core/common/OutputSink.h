#pragma once
// What the core writes to the output window.  The output window control
// implements it, tests and unattended runs use stand-ins.  All texts are
// UTF-16; a line text normally ends in "\r\n".

#include <string>
#include <string_view>

namespace core {

class OutputSink
{
public:
    virtual ~OutputSink();

    // Appends plain text.
    virtual void AppendText(std::u16string_view text) = 0;

    // Appends a line that remembers where it points: the file, the 1-based
    // line number and column.  text1 and text2 are the short name and text
    // shown with it, message the tool's message.
    virtual void AppendTaggedLine(std::u16string_view lineText, std::u16string_view filePath,
                                  int lineNumber, int column, std::u16string_view text1,
                                  std::u16string_view text2, std::u16string_view message) = 0;

    // Empties the output window.
    virtual void ClearAll() = 0;
};

} // namespace core
