#include "core/build/BuildOutput.h"

#include "platform/sys/CodePage.h"
#include "platform/sys/FileIO.h"
#include "platform/sys/WinPath.h"

#include <cstdio>
#include <cstring>
#include <cwctype>
#include <string_view>

namespace core {

namespace {

struct LineBuffers
{
    std::string bytes;     // the line with NUL bytes made blanks
    std::u16string text;   // the line as shown, with its line end
    std::u16string lower;  // lower-case copy of text
    std::string lowerAnsi; // the lower-case copy in code page 1250
};

char16_t Lower(char16_t c)
{
    if (c < 0x80)
        return (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c;
    const wint_t l = std::towlower(wint_t(c));
    return l <= 0xFFFF ? char16_t(l) : c;
}

bool FileExistsByName(std::u16string_view name)
{
    if (name.empty())
        return false;
    const auto native = sys::WinPath::ToNative(name);
    return native && sys::IsRegularFile(*native);
}

// Returns true when the line was shown as a tagged line.
bool TryMarkerForm(const LineBuffers& b, OutputSink* sink)
{
    const std::u16string_view lower(b.lower);
    size_t p = lower.find(u"**error**");
    if (p == std::u16string_view::npos)
        p = lower.find(u"*warning*");
    if (p == std::u16string_view::npos)
        return false;
    const size_t tail = p + 10;
    if (tail > lower.size())
        return false; // nothing after the marker: plain
    const size_t open = lower.find(u'(', tail);
    if (open == std::u16string_view::npos)
        return false;
    // The name in the received line's own letters, same positions.
    const std::u16string_view name = std::u16string_view(b.text).substr(tail, open - tail);
    if (!FileExistsByName(name))
        return false;
    int lineNumber = 0;
    size_t q = open + 1;
    bool negative = false;
    if (q < lower.size() && (lower[q] == u'-' || lower[q] == u'+'))
        negative = lower[q++] == u'-';
    bool digits = false;
    long long n = 0;
    while (q < lower.size() && lower[q] >= u'0' && lower[q] <= u'9') {
        digits = true;
        if (n < 1000000000)
            n = n * 10 + (lower[q] - u'0');
        ++q;
    }
    if (digits)
        lineNumber = int(negative ? -n : n);
    const size_t close = b.text.find(u')', open);
    const std::u16string_view message = close == std::u16string::npos
                                            ? std::u16string_view()
                                            : std::u16string_view(b.text).substr(close + 1);
    if (sink)
        sink->AppendTaggedLine(b.text, name, lineNumber, 1, {}, {}, message);
    return true;
}

bool TryCompilerForm(LineBuffers& b, OutputSink* sink)
{
    const size_t open = b.lower.find(u'(');
    if (open == std::u16string::npos || open == 0)
        return false;
    const std::u16string_view name = std::u16string_view(b.text).substr(0, open);
    if (!FileExistsByName(name))
        return false;
    b.lowerAnsi = sys::WideToAnsi(std::u16string_view(b.lower).substr(open));
    int lineNumber = 0;
    char kind[51] = {}, code[51] = {}, message[501] = {};
    const int n = std::sscanf(b.lowerAnsi.c_str(), "(%d) : %50s %50[^: ]: %500[^\r\n]", &lineNumber,
                              kind, code, message);
    if (n < 3)
        return false;
    if (!std::strstr(kind, "error") && !std::strstr(kind, "warning"))
        return false;
    if (sink)
        sink->AppendTaggedLine(b.text, name, lineNumber, 1, {}, {},
                               n >= 4 ? sys::AnsiToWide(message) : std::u16string());
    return true;
}

// One complete line (without its line end; hadEnd tells whether it had one).
void HandleLine(std::string_view line, bool hadEnd, int& result, OutputSink* sink)
{
    thread_local LineBuffers b;
    std::string_view bytes = line;
    if (std::memchr(line.data(), '\0', line.size())) {
        b.bytes.assign(line);
        for (char& c : b.bytes)
            if (c == '\0')
                c = ' ';
        bytes = b.bytes;
    }
    if (bytes.size() >= 10 && bytes.compare(0, 10, "$ReturnVal") == 0) {
        const std::string copy(bytes);
        int value = 0;
        if (std::sscanf(copy.c_str(), "$ReturnVal %d$", &value) == 1) {
            if (value != 0)
                result = value;
            return;
        }
    }
    sys::DecodeCodePage(sys::CP_ANSI, bytes, b.text);
    if (hadEnd)
        b.text += u"\r\n";
    b.lower.resize(b.text.size());
    for (size_t i = 0; i < b.text.size(); ++i)
        b.lower[i] = Lower(b.text[i]);
    if (TryMarkerForm(b, sink))
        return;
    if (b.lower.find(u"**error**") == std::u16string::npos &&
        b.lower.find(u"*warning*") == std::u16string::npos && TryCompilerForm(b, sink))
        return;
    if (sink)
        sink->AppendText(b.text);
}

std::string_view StripCr(std::string_view s)
{
    if (!s.empty() && s.back() == '\r')
        s.remove_suffix(1);
    return s;
}

} // namespace

int ParseBuildOutputLine(const char* bytes, size_t length, std::string& pending, OutputSink* sink)
{
    int result = 0;
    if (!bytes) {
        if (!pending.empty()) {
            std::string line;
            line.swap(pending);
            HandleLine(line, false, result, sink);
        }
        return result;
    }
    size_t pos = 0;
    while (pos < length) {
        const void* hit = std::memchr(bytes + pos, '\n', length - pos);
        if (!hit) {
            pending.append(bytes + pos, length - pos);
            break;
        }
        const size_t lf = size_t(static_cast<const char*>(hit) - bytes);
        if (pending.empty()) {
            HandleLine(StripCr(std::string_view(bytes + pos, lf - pos)), true, result, sink);
        } else {
            std::string line;
            line.swap(pending);
            line.append(bytes + pos, lf - pos);
            HandleLine(StripCr(line), true, result, sink);
        }
        pos = lf + 1;
    }
    return result;
}

} // namespace core
