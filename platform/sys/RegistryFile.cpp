#include "platform/sys/RegistryFile.h"

#include "platform/sys/CodePage.h"
#include "platform/sys/FileIO.h"
#include "platform/sys/HexDigit.h"
#include "platform/sys/LastError.h"
#include "platform/sys/LockedFile.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sys::reg {

namespace {

constexpr std::u16string_view kHeader = u"Windows Registry Editor Version 5.00";
constexpr std::u16string_view kRoot = u"HKEY_CURRENT_USER";
constexpr std::u16string_view kRootShort = u"HKCU";
// The export wraps hex data once a line reaches this many characters.
constexpr size_t kHexWrapColumn = 77;

// ---- Text encodings of the file -------------------------------------------

bool DecodeFile(std::string_view bytes, std::u16string& text, ParseError& err)
{
    auto starts = [&](std::string_view mark) { return bytes.substr(0, mark.size()) == mark; };
    if (starts("\xFF\xFE")) {
        bytes.remove_prefix(2);
        if (bytes.size() % 2 != 0) {
            err = {0, "the UTF-16 text ends in the middle of a character"};
            return false;
        }
        text.resize(bytes.size() / 2);
        const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
        for (size_t i = 0; i < text.size(); ++i)
            text[i] = static_cast<char16_t>(p[2 * i] | (p[2 * i + 1] << 8));
        return true;
    }
    if (starts("\xFE\xFF")) {
        err = {0, "big-endian UTF-16 is not supported"};
        return false;
    }
    if (starts("\xEF\xBB\xBF"))
        bytes.remove_prefix(3);
    if (!Utf8ToUtf16(bytes, text)) {
        err = {0, "the text is neither UTF-16 with a byte-order mark nor valid UTF-8"};
        return false;
    }
    return true;
}

// ---- Parsing ---------------------------------------------------------------

bool IsSpace(char16_t c)
{
    return c == u' ' || c == u'\t';
}

std::u16string_view TrimRight(std::u16string_view s)
{
    while (!s.empty() && (IsSpace(s.back()) || s.back() == u'\r'))
        s.remove_suffix(1);
    return s;
}

std::u16string_view TrimLeft(std::u16string_view s)
{
    while (!s.empty() && IsSpace(s.front()))
        s.remove_prefix(1);
    return s;
}

// Parses 1..maxDigits hex digits making up all of s.
bool ParseHex(std::u16string_view s, size_t maxDigits, uint32_t& value)
{
    if (s.empty() || s.size() > maxDigits)
        return false;
    value = 0;
    for (char16_t c : s) {
        int d = HexDigitValue(c);
        if (d < 0)
            return false;
        value = (value << 4) | static_cast<uint32_t>(d);
    }
    return true;
}

bool EqualsNoCase(std::u16string_view a, std::u16string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (FoldChar(a[i]) != FoldChar(b[i]))
            return false;
    return true;
}

class Parser
{
public:
    Parser(std::u16string_view text, Node& root, ParseError& err)
        : m_text(text), m_root(root), m_err(err)
    {
    }

    bool Run()
    {
        std::u16string_view line;
        if (!NextLine(line) || TrimRight(line) != kHeader)
            return Fail("the first line is not \"Windows Registry Editor Version 5.00\"");
        while (NextLine(line)) {
            std::u16string_view t = TrimLeft(TrimRight(line));
            if (t.empty() || t.front() == u';')
                continue;
            bool ok = t.front() == u'['                          ? KeyLine(t)
                      : (t.front() == u'"' || t.front() == u'@') ? ValueLine(t)
                                                                 : Fail("unexpected text");
            if (!ok)
                return false;
        }
        return true;
    }

private:
    bool NextLine(std::u16string_view& line)
    {
        if (m_pos >= m_text.size())
            return false;
        size_t end = m_text.find(u'\n', m_pos);
        if (end == std::u16string_view::npos)
            end = m_text.size();
        line = m_text.substr(m_pos, end - m_pos);
        m_pos = end + 1;
        ++m_line;
        return true;
    }

    bool Fail(const std::string& message)
    {
        m_err = {m_line, message};
        return false;
    }

    bool KeyLine(std::u16string_view t)
    {
        if (t.back() != u']')
            return Fail("a key line must end with \"]\"");
        t = t.substr(1, t.size() - 2);
        bool remove = !t.empty() && t.front() == u'-';
        if (remove)
            t.remove_prefix(1);
        std::vector<std::u16string_view> parts;
        size_t start = 0;
        while (start <= t.size()) {
            size_t end = t.find(u'\\', start);
            if (end == std::u16string_view::npos)
                end = t.size();
            if (end > start)
                parts.push_back(t.substr(start, end - start));
            start = end + 1;
        }
        if (parts.empty() || !(EqualsNoCase(parts[0], kRoot) || EqualsNoCase(parts[0], kRootShort)))
            return Fail("the key \"" + Utf16ToUtf8Lenient(t) + "\" is not under HKEY_CURRENT_USER");
        if (parts.size() - 1 > kMaxKeyDepth)
            return Fail("the key path is too deep");
        for (size_t i = 1; i < parts.size(); ++i)
            if (parts[i].size() > kMaxKeyName)
                return Fail("a key name is longer than 255 characters");
        m_current = nullptr;
        m_skipValues = remove;
        if (remove) {
            // "[-key]": the key is deleted with its subtree.
            Node* parent = &m_root;
            for (size_t i = 1; parent && i + 1 < parts.size(); ++i)
                parent = parent->FindChild(parts[i]);
            if (parts.size() == 1)
                m_root.Clear();
            else if (parent)
                parent->RemoveChild(parts.back());
            return true;
        }
        Node* node = &m_root;
        for (size_t i = 1; i < parts.size(); ++i)
            node = node->ChildOrNew(parts[i]);
        node->listed = true;
        m_current = node;
        return true;
    }

    // Reads a quoted string starting at t[0] == '"'; rest receives the text
    // after the closing quote.
    bool QuotedString(std::u16string_view t, std::u16string& out, std::u16string_view& rest)
    {
        out.clear();
        for (size_t i = 1; i < t.size(); ++i) {
            char16_t c = t[i];
            if (c == u'"') {
                rest = t.substr(i + 1);
                return true;
            }
            if (c == u'\\' && i + 1 < t.size() && (t[i + 1] == u'\\' || t[i + 1] == u'"')) {
                out.push_back(t[++i]);
                continue;
            }
            // Any other backslash stands for itself.
            out.push_back(c);
        }
        return Fail("a quoted string has no closing quote");
    }

    bool ValueLine(std::u16string_view t)
    {
        std::u16string_view rest;
        if (t.front() == u'@') {
            m_name.clear();
            rest = t.substr(1);
        } else if (!QuotedString(t, m_name, rest)) {
            return false;
        }
        if (m_name.size() > kMaxValueName)
            return Fail("a value name is longer than 16383 characters");
        rest = TrimLeft(rest);
        if (rest.empty() || rest.front() != u'=')
            return Fail("\"=\" expected after the value name");
        rest = TrimLeft(rest.substr(1));
        if (!m_current && !m_skipValues)
            return Fail("a value before the first key");

        uint32_t type;
        std::vector<uint8_t> data;
        if (rest == u"-") {
            if (m_current)
                m_current->RemoveValue(m_name);
            return true;
        }
        if (!rest.empty() && rest.front() == u'"') {
            std::u16string_view after;
            if (!QuotedString(rest, m_str, after))
                return false;
            if (!TrimLeft(after).empty())
                return Fail("unexpected text after a string value");
            type = 1; // REG_SZ
            data.resize((m_str.size() + 1) * 2);
            for (size_t i = 0; i < m_str.size(); ++i) {
                data[2 * i] = static_cast<uint8_t>(m_str[i] & 0xFF);
                data[2 * i + 1] = static_cast<uint8_t>(m_str[i] >> 8);
            }
        } else if (rest.substr(0, 6) == u"dword:") {
            uint32_t v;
            if (!ParseHex(TrimRight(rest.substr(6)), 8, v))
                return Fail("a dword value needs up to 8 hex digits");
            type = 4; // REG_DWORD
            data = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8),
                    static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 24)};
        } else if (rest.substr(0, 3) == u"hex") {
            rest.remove_prefix(3);
            type = 3; // REG_BINARY
            if (!rest.empty() && rest.front() == u'(') {
                size_t close = rest.find(u')');
                if (close == std::u16string_view::npos ||
                    !ParseHex(rest.substr(1, close - 1), 8, type))
                    return Fail("a bad value type in \"hex(...)\"");
                rest.remove_prefix(close + 1);
            }
            if (rest.empty() || rest.front() != u':')
                return Fail("\":\" expected after \"hex\"");
            if (!HexBytes(rest.substr(1), data))
                return false;
        } else {
            return Fail("unknown value data");
        }
        if (m_current)
            m_current->SetValue(m_name, type, std::move(data));
        return true;
    }

    bool HexBytes(std::u16string_view first, std::vector<uint8_t>& data)
    {
        m_hex.clear();
        std::u16string_view piece = TrimRight(first);
        for (;;) {
            if (!piece.empty() && piece.back() == u'\\') {
                m_hex.append(piece.substr(0, piece.size() - 1));
                std::u16string_view next;
                if (!NextLine(next))
                    return Fail("the hex data continues past the end of the file");
                piece = TrimLeft(TrimRight(next));
                continue;
            }
            m_hex.append(piece);
            break;
        }
        std::u16string_view all = TrimLeft(TrimRight(m_hex));
        if (all.empty())
            return true;
        data.reserve(all.size() / 3 + 1);
        size_t start = 0;
        while (start <= all.size()) {
            size_t end = all.find(u',', start);
            if (end == std::u16string_view::npos)
                end = all.size();
            uint32_t b;
            if (!ParseHex(TrimLeft(TrimRight(all.substr(start, end - start))), 2, b))
                return Fail("bad hex data");
            data.push_back(static_cast<uint8_t>(b));
            start = end + 1;
        }
        return true;
    }

    std::u16string_view m_text;
    Node& m_root;
    ParseError& m_err;
    size_t m_pos = 0;
    size_t m_line = 0;
    Node* m_current = nullptr;
    bool m_skipValues = false;
    std::u16string m_name, m_str, m_hex;
};

// ---- Formatting ------------------------------------------------------------

class Formatter
{
public:
    explicit Formatter(std::u16string& out) : m_out(out) {}

    void Key(const Node& node, std::u16string& path)
    {
        // A key that only leads to listed keys need not be written; a
        // leaf always is, or it would be lost.
        if (node.listed || !node.values.empty() || (node.children.empty() && node.depth > 0)) {
            m_out += u'[';
            m_out += path;
            m_out += u"]\r\n";
            for (const Value& v : node.values)
                Entry(v);
            m_out += u"\r\n";
        }
        for (const auto& child : node.children) {
            size_t len = path.size();
            path += u'\\';
            path += child->name;
            Key(*child, path);
            path.resize(len);
        }
    }

private:
    void Escaped(std::u16string_view s)
    {
        for (char16_t c : s) {
            if (c == u'\\' || c == u'"')
                m_out += u'\\';
            m_out += c;
        }
    }

    // A REG_SZ that the quoted form holds exactly: one terminating zero,
    // no other zero and no line break.
    static bool PlainString(const Value& v)
    {
        const auto& d = v.data;
        if (d.size() < 2 || d.size() % 2 != 0 || d[d.size() - 1] != 0 || d[d.size() - 2] != 0)
            return false;
        for (size_t i = 0; i + 2 < d.size(); i += 2) {
            char16_t c = static_cast<char16_t>(d[i] | (d[i + 1] << 8));
            if (c == 0 || c == u'\r' || c == u'\n')
                return false;
        }
        return true;
    }

    void Entry(const Value& v)
    {
        size_t lineStart = m_out.size();
        if (v.name.empty()) {
            m_out += u'@';
        } else {
            m_out += u'"';
            Escaped(v.name);
            m_out += u'"';
        }
        m_out += u'=';
        if (v.type == 1 && PlainString(v)) {
            m_out += u'"';
            for (size_t i = 0; i + 2 < v.data.size(); i += 2) {
                char16_t c = static_cast<char16_t>(v.data[i] | (v.data[i + 1] << 8));
                if (c == u'\\' || c == u'"')
                    m_out += u'\\';
                m_out += c;
            }
            m_out += u"\"\r\n";
            return;
        }
        static const char16_t digits[] = u"0123456789abcdef";
        if (v.type == 4 && v.data.size() == 4) {
            uint32_t d =
                static_cast<uint32_t>(v.data[0]) | (static_cast<uint32_t>(v.data[1]) << 8) |
                (static_cast<uint32_t>(v.data[2]) << 16) | (static_cast<uint32_t>(v.data[3]) << 24);
            m_out += u"dword:";
            for (int shift = 28; shift >= 0; shift -= 4)
                m_out += digits[(d >> shift) & 0xF];
            m_out += u"\r\n";
            return;
        }
        m_out += u"hex";
        if (v.type != 3) {
            m_out += u'(';
            bool any = false;
            for (int shift = 28; shift >= 0; shift -= 4) {
                uint32_t nib = (v.type >> shift) & 0xF;
                if (nib || any || shift == 0) {
                    m_out += digits[nib];
                    any = true;
                }
            }
            m_out += u')';
        }
        m_out += u':';
        size_t col = m_out.size() - lineStart;
        for (size_t i = 0; i < v.data.size(); ++i) {
            m_out += digits[v.data[i] >> 4];
            m_out += digits[v.data[i] & 0xF];
            if (i + 1 == v.data.size())
                break;
            m_out += u',';
            col += 3;
            if (col >= kHexWrapColumn) {
                m_out += u"\\\r\n  ";
                col = 2;
            }
        }
        m_out += u"\r\n";
    }

    std::u16string& m_out;
};

} // namespace

bool ParseFile(std::string_view bytes, Node& root, ParseError& err)
{
    std::u16string text;
    if (!DecodeFile(bytes, text, err))
        return false;
    Parser parser(text, root, err);
    return parser.Run();
}

std::string FormatFile(const Node& root)
{
    std::u16string text;
    text.reserve(4096);
    text += kHeader;
    text += u"\r\n\r\n";
    std::u16string path(kRoot);
    Formatter(text).Key(root, path);

    std::string bytes;
    bytes.resize(2 + text.size() * 2);
    bytes[0] = '\xFF';
    bytes[1] = '\xFE';
    for (size_t i = 0; i < text.size(); ++i) {
        bytes[2 + 2 * i] = static_cast<char>(text[i] & 0xFF);
        bytes[3 + 2 * i] = static_cast<char>(text[i] >> 8);
    }
    return bytes;
}

ReadStatus ReadStoreFile(const std::string& path, std::string& bytes)
{
    std::optional<std::string> content = ReadWholeFile(path);
    if (!content) {
        errno = static_cast<int>(GetLastError());
        return errno == ENOENT ? ReadStatus::Missing : ReadStatus::Failed;
    }
    bytes = std::move(*content);
    return ReadStatus::Ok;
}

StoreFileLock::~StoreFileLock()
{
    if (m_fd >= 0)
        ::close(m_fd); // releases the lock
}

bool StoreFileLock::Acquire(const std::string& path, int waitMs, std::string& failed)
{
    if (m_fd >= 0)
        return true;
    if (const int error = MakeParentFolders(path)) {
        failed = path.substr(0, path.rfind('/'));
        errno = error;
        return false;
    }
    failed = path + ".lock";
    // A link in the lock's place is not followed: the lock stays beside
    // the file it guards.
    m_fd = OpenLocked(failed, O_RDWR | O_CREAT | O_NOFOLLOW, true, waitMs);
    return m_fd >= 0;
}

bool WriteStoreFile(const std::string& path, std::string_view bytes)
{
    if (const int error = MakeParentFolders(path)) {
        errno = error;
        return false;
    }
    if (AtomicWriteFile(path, bytes))
        return true;
    errno = static_cast<int>(GetLastError());
    return false;
}

} // namespace sys::reg
