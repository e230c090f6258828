// The connection string parser; see "Connection string" in
// docs/link-protocol.md.
#include "link/olnk/olnk_connstr.h"

#include "platform/sys/CodePage.h"

#include <cstdint>

namespace {

constexpr size_t kMaxToken = 255;

// Text of a piece of the string for a reason, as UTF-8.
std::string Show(std::string_view s) { return sys::Utf16ToUtf8Lenient(sys::AnsiToWide(s)); }
std::string Show(std::u16string_view s) { return sys::Utf16ToUtf8Lenient(s); }

// Port names: the narrow form passes the bytes on; the wide form converts to
// the ANSI code page.
void SetPort(OlnkConnectionParams& p, std::string_view v)
{
    p.port.assign(v);
    p.portUnrepresentable = false;
}
void SetPort(OlnkConnectionParams& p, std::u16string_view v)
{
    bool lossy = false;
    p.port = sys::WideToAnsi(v, &lossy);
    p.portUnrepresentable = lossy;
}

template <typename Ch>
uint32_t Code(Ch c)
{
    return static_cast<std::make_unsigned_t<Ch>>(c);
}

template <typename Ch>
bool EqualsNoCase(std::basic_string_view<Ch> s, std::string_view word)
{
    if (s.size() != word.size())
        return false;
    for (size_t i = 0; i < s.size(); ++i) {
        uint32_t c = Code(s[i]);
        if (c >= 'A' && c <= 'Z')
            c += 'a' - 'A';
        uint32_t w = static_cast<unsigned char>(word[i]);
        if (w >= 'A' && w <= 'Z')
            w += 'a' - 'A';
        if (c != w)
            return false;
    }
    return true;
}

// A number as "%d" reads it at pos: white space, an optional sign, digits.
// pos moves past the digits.  Empty when there is no number; a number too
// large for 32 bits is reported as overflow.
enum class NumResult { Ok, None, Overflow };

template <typename Ch>
NumResult ReadInt(std::basic_string_view<Ch> s, size_t& pos, int64_t& value)
{
    size_t i = pos;
    auto isSpace = [](uint32_t c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    while (i < s.size() && isSpace(Code(s[i])))
        ++i;
    bool negative = false;
    if (i < s.size() && (Code(s[i]) == '+' || Code(s[i]) == '-')) {
        negative = Code(s[i]) == '-';
        ++i;
    }
    size_t digits = 0;
    int64_t v = 0;
    bool overflow = false;
    while (i < s.size() && Code(s[i]) >= '0' && Code(s[i]) <= '9') {
        v = v * 10 + (Code(s[i]) - '0');
        if (v > int64_t(INT32_MAX) + 1) {
            overflow = true;
            v = int64_t(INT32_MAX) + 1;
        }
        ++i;
        ++digits;
    }
    if (digits == 0)
        return NumResult::None;
    v = negative ? -v : v;
    if (overflow || v > INT32_MAX)
        return NumResult::Overflow;
    pos = i;
    value = v;
    return NumResult::Ok;
}

template <typename Ch>
class Parser
{
public:
    using View = std::basic_string_view<Ch>;

    Parser(View text, OlnkConnectionParams& out) : m_text(text), m_p(out) {}

    bool Run(std::string* reason)
    {
        m_p = OlnkConnectionParams{};
        Scan();
        if (m_error.empty())
            Check();
        if (!m_error.empty()) {
            if (reason)
                *reason = m_error;
            return false;
        }
        if (reason)
            reason->clear();
        return true;
    }

private:
    void Fail(std::string text)
    {
        if (m_error.empty())
            m_error = std::move(text);
    }

    void Scan()
    {
        const size_t n = m_text.size();
        size_t pos = 0;
        bool anyItem = false;
        while (pos < n) {
            while (pos < n && Code(m_text[pos]) <= 32) // 1
                ++pos;
            if (pos >= n)
                break;
            anyItem = true;
            size_t keyStart = pos; // 2
            while (pos < n && Code(m_text[pos]) > 32 && Code(m_text[pos]) != '=')
                ++pos;
            View key = m_text.substr(keyStart, pos - keyStart);
            while (pos < n && Code(m_text[pos]) != '=') // 3
                ++pos;
            if (pos >= n) {
                Fail("key \"" + Show(Cut(key)) + "\" has no \"=\"");
                break;
            }
            ++pos;
            while (pos < n && Code(m_text[pos]) <= 32) // 4
                ++pos;
            size_t valueStart = pos; // 5
            while (pos < n && Code(m_text[pos]) != ';')
                ++pos;
            View value = m_text.substr(valueStart, pos - valueStart);
            if (pos < n) // 6: the ";" only
                ++pos;
            Item(key, value); // 7
        }
        if (!anyItem)
            Fail("empty connection string");
    }

    static View Cut(View s) { return s.size() > 40 ? s.substr(0, 40) : s; }

    void Item(View key, View value)
    {
        if (key.size() > kMaxToken) {
            Fail("key \"" + Show(Cut(key)) + "...\" longer than 255 characters");
            return;
        }
        const std::string k = Show(key);
        if (value.size() > kMaxToken) {
            Fail("value of " + k + " longer than 255 characters");
            return;
        }
        const std::string v = Show(value);
        if (EqualsNoCase(key, "Type")) {
            if (EqualsNoCase(value, "Serial"))
                m_p.type = OlnkLinkType::Serial;
            else if (EqualsNoCase(value, "UDP"))
                m_p.type = OlnkLinkType::Udp;
            else
                Fail("Type \"" + v + "\" is neither Serial nor UDP");
        } else if (EqualsNoCase(key, "P")) {
            SetPort(m_p, value);
        } else if (EqualsNoCase(key, "B")) {
            int64_t b;
            if (Number(k, value, b))
                m_p.baud = static_cast<int32_t>(b);
        } else if (EqualsNoCase(key, "W")) {
            int64_t w;
            if (Number(k, value, w)) {
                if (w < 1 || w > 127)
                    Fail("W = " + std::to_string(w) + " outside 1..127");
                else
                    m_p.window = static_cast<uint8_t>(w);
            }
        } else if (EqualsNoCase(key, "Mode")) {
            if (EqualsNoCase(value, "Server"))
                m_p.mode = OLNK_MODE_SERVER;
            else if (EqualsNoCase(value, "Client"))
                m_p.mode = OLNK_MODE_CLIENT;
            else if (EqualsNoCase(value, "Both"))
                m_p.mode = OLNK_MODE_BOTH;
            else
                Fail("Mode \"" + v + "\" is none of Server, Client, Both");
        } else if (EqualsNoCase(key, "RemoteIP")) {
            Address(value);
        } else if (EqualsNoCase(key, "RemotePort") || EqualsNoCase(key, "LocalPort")) {
            int64_t port;
            if (Number(k, value, port)) {
                if (port < 0 || port > 65535)
                    Fail(k + " = " + std::to_string(port) + " outside 0..65535");
                else if (EqualsNoCase(key, "LocalPort"))
                    m_p.localPort = static_cast<uint16_t>(port);
                else
                    m_p.remotePort = static_cast<uint16_t>(port);
            }
        } else {
            Fail("unknown key \"" + k + "\"");
        }
    }

    bool Number(const std::string& key, View value, int64_t& out)
    {
        size_t pos = 0;
        switch (ReadInt(value, pos, out)) {
        case NumResult::Ok:
            return true;
        case NumResult::None:
            Fail(key + " \"" + Show(value) + "\" is no number");
            return false;
        case NumResult::Overflow:
            Fail(key + " \"" + Show(value) + "\" is too large");
            return false;
        }
        return false;
    }

    void Address(View value)
    {
        std::array<uint8_t, 4> bytes{};
        size_t pos = 0;
        for (int i = 0; i < 4; ++i) {
            if (i > 0) {
                if (pos >= value.size() || Code(value[pos]) != '.') {
                    Fail("RemoteIP \"" + Show(value) + "\" needs four numbers");
                    return;
                }
                ++pos;
            }
            int64_t part;
            NumResult r = ReadInt(value, pos, part);
            if (r == NumResult::None) {
                Fail("RemoteIP \"" + Show(value) + "\" needs four numbers");
                return;
            }
            if (r == NumResult::Overflow || part < 0 || part > 255) {
                Fail("RemoteIP \"" + Show(value) + "\": each number must be 0..255");
                return;
            }
            bytes[size_t(i)] = static_cast<uint8_t>(part);
        }
        m_p.remoteAddress = bytes;
    }

    void Check()
    {
        if (m_p.type == OlnkLinkType::Serial) {
            if (m_p.baud <= 0)
                Fail("B = " + std::to_string(m_p.baud) + " must be positive for a serial link");
            return;
        }
        if (m_p.remotePort == 0)
            Fail("RemotePort 0 is not allowed for UDP");
        else if (m_p.localPort == 0)
            Fail("LocalPort 0 is not allowed for UDP");
        else if (m_p.remoteAddress == std::array<uint8_t, 4>{0, 0, 0, 0})
            Fail("UDP needs a RemoteIP other than 0.0.0.0");
    }

    View m_text;
    OlnkConnectionParams& m_p;
    std::string m_error;
};

} // namespace

bool OlnkParseConnectionStringA(std::string_view text, OlnkConnectionParams& out,
                                std::string* reason)
{
    OlnkConnectionParams p;
    if (!Parser<char>(text, p).Run(reason))
        return false;
    out = std::move(p);
    return true;
}

bool OlnkParseConnectionStringW(std::u16string_view text, OlnkConnectionParams& out,
                                std::string* reason)
{
    OlnkConnectionParams p;
    if (!Parser<char16_t>(text, p).Run(reason))
        return false;
    out = std::move(p);
    return true;
}
