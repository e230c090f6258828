#pragma once
// An output sink that keeps every entry, for the build tests.

#include "core/common/OutputSink.h"
#include "platform/sys/CodePage.h"

#include <string>
#include <vector>

namespace testsupport {

struct OutputEntry
{
    bool tagged = false;
    std::u16string text; // the line as shown
    std::u16string file;
    int line = 0;
    int column = 0;
    std::u16string message;
};

class CaptureSink : public core::OutputSink
{
public:
    void AppendText(std::u16string_view text) override
    {
        entries.push_back({false, std::u16string(text), {}, 0, 0, {}});
    }
    void AppendTaggedLine(std::u16string_view lineText, std::u16string_view filePath,
                          int lineNumber, int column, std::u16string_view, std::u16string_view,
                          std::u16string_view message) override
    {
        entries.push_back({true, std::u16string(lineText), std::u16string(filePath), lineNumber,
                           column, std::u16string(message)});
    }
    void ClearAll() override { entries.clear(); }

    // Everything shown, in UTF-8.
    std::string All() const
    {
        std::u16string all;
        for (const OutputEntry& e : entries)
            all += e.text;
        return sys::Utf16ToUtf8Lenient(all);
    }
    size_t Tagged() const
    {
        size_t n = 0;
        for (const OutputEntry& e : entries)
            n += e.tagged;
        return n;
    }

    std::vector<OutputEntry> entries;
};

// A sink that drops everything (benchmarks).
class NullSink : public core::OutputSink
{
public:
    void AppendText(std::u16string_view) override {}
    void AppendTaggedLine(std::u16string_view, std::u16string_view, int, int, std::u16string_view,
                          std::u16string_view, std::u16string_view) override
    {
    }
    void ClearAll() override {}
};

} // namespace testsupport
