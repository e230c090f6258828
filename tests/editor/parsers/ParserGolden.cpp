#include "ParserGolden.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace golden {

std::vector<Run> BlocksToRuns(const TextBlockList& blocks, int length)
{
    std::vector<Run> runs;
    for (int k = 0; k < blocks.Count(); ++k) {
        int start = blocks[k].charPos;
        int end = k + 1 < blocks.Count() ? blocks[k + 1].charPos : length;
        if (start < 0)
            start = 0;
        if (end > length)
            end = length;
        if (end <= start)
            continue;
        if (!runs.empty() && runs.back().colour == blocks[k].colorIndex)
            runs.back().length += end - start;
        else
            runs.push_back(Run{blocks[k].colorIndex, end - start});
    }
    return runs;
}

std::string RunsToString(const std::vector<Run>& runs)
{
    std::string s;
    for (const Run& r : runs) {
        if (!s.empty())
            s += ' ';
        s += std::to_string(r.colour) + ":" + std::to_string(r.length);
    }
    return s;
}

namespace {

bool DecodeUtf8(std::string_view in, size_t& i, char32_t& cp)
{
    unsigned char c = static_cast<unsigned char>(in[i++]);
    int more = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
    if (more < 0)
        return false;
    cp = more == 0 ? c : more == 1 ? (c & 0x1F) : more == 2 ? (c & 0x0F) : (c & 0x07);
    for (int k = 0; k < more; ++k) {
        if (i >= in.size() || (static_cast<unsigned char>(in[i]) & 0xC0) != 0x80)
            return false;
        cp = (cp << 6) | (static_cast<unsigned char>(in[i++]) & 0x3F);
    }
    return true;
}

void AppendCodePoint(std::u16string& s, char32_t cp)
{
    if (cp >= 0x10000) {
        cp -= 0x10000;
        s += static_cast<char16_t>(0xD800 + (cp >> 10));
        s += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
        s += static_cast<char16_t>(cp);
    }
}

bool ParseHex(std::string_view s, uint32_t& value)
{
    if (s.empty() || s.size() > 8)
        return false;
    value = 0;
    for (char c : s) {
        int d = (c >= '0' && c <= '9') ? c - '0'
                : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                         : -1;
        if (d < 0)
            return false;
        value = value * 16 + static_cast<uint32_t>(d);
    }
    return true;
}

bool ParseRuns(std::string_view s, std::vector<Run>& runs)
{
    std::istringstream in{std::string(s)};
    std::string item;
    while (in >> item) {
        size_t colon = item.find(':');
        if (colon == std::string::npos)
            return false;
        runs.push_back(Run{std::atoi(item.substr(0, colon).c_str()),
                           std::atoi(item.substr(colon + 1).c_str())});
    }
    return true;
}

std::vector<std::string_view> SplitTabs(std::string_view s)
{
    std::vector<std::string_view> parts;
    size_t start = 0;
    for (;;) {
        size_t tab = s.find('\t', start);
        parts.push_back(s.substr(start, tab == std::string_view::npos ? tab : tab - start));
        if (tab == std::string_view::npos)
            return parts;
        start = tab + 1;
    }
}

} // namespace

bool DecodeLine(std::string_view utf8, std::u16string& line)
{
    line.clear();
    size_t i = 0;
    while (i < utf8.size()) {
        if (utf8[i] == '\\') {
            if (i + 1 >= utf8.size())
                return false;
            char e = utf8[i + 1];
            if (e == 't') {
                line += u'\t';
                i += 2;
            } else if (e == '\\') {
                line += u'\\';
                i += 2;
            } else if (e == 'u') {
                uint32_t v;
                if (i + 6 > utf8.size() || !ParseHex(utf8.substr(i + 2, 4), v))
                    return false;
                line += static_cast<char16_t>(v);
                i += 6;
            } else {
                return false;
            }
            continue;
        }
        char32_t cp;
        if (!DecodeUtf8(utf8, i, cp))
            return false;
        AppendCodePoint(line, cp);
    }
    return true;
}

Result CheckFile(const std::string& relativePath, EdtParseLineFn parser)
{
    Result result;
    const char* root = std::getenv("SW_FIXTURES");
    std::string path = std::string(root ? root : "tests/fixtures") + "/" + relativePath;
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        result.failures.push_back("cannot open " + path);
        return result;
    }
    TextBlockList blocks;
    std::string raw;
    int lineNo = 0;
    while (std::getline(file, raw)) {
        ++lineNo;
        if (!raw.empty() && raw.back() == '\r')
            raw.pop_back();
        if (raw.empty() || raw[0] == '#')
            continue;
        std::string where = relativePath + ":" + std::to_string(lineNo) + ": ";
        std::vector<std::string_view> parts = SplitTabs(raw);
        uint32_t cookieIn = 0, cookieOut = 0;
        std::u16string text;
        std::vector<Run> expected;
        if (parts.size() != 4 || !ParseHex(parts[0], cookieIn) || !DecodeLine(parts[1], text) ||
            !ParseRuns(parts[2], expected) || !ParseHex(parts[3], cookieOut)) {
            result.failures.push_back(where + "malformed case");
            continue;
        }
        ++result.cases;
        blocks.Reset();
        blocks.Append(0, EDT_CLR_TEXT);
        uint32_t got = parser(text, cookieIn, &blocks);
        uint32_t gotNoList = parser(text, cookieIn, nullptr);
        std::vector<Run> runs = BlocksToRuns(blocks, static_cast<int>(text.size()));
        std::string msg;
        if (runs != expected)
            msg += "runs \"" + RunsToString(runs) + "\", expected \"" + RunsToString(expected) +
                   "\"; ";
        char buf[96];
        if (got != cookieOut) {
            std::snprintf(buf, sizeof buf, "cookie %x, expected %x; ", got, cookieOut);
            msg += buf;
        }
        if (gotNoList != got) {
            std::snprintf(buf, sizeof buf, "cookie without a list %x, with one %x; ", gotNoList,
                          got);
            msg += buf;
        }
        for (int k = 1; k < blocks.Count(); ++k)
            if (blocks[k].charPos < blocks[k - 1].charPos)
                msg += "blocks out of order; ";
        if (!msg.empty())
            result.failures.push_back(where + msg + "line \"" + std::string(parts[1]) + "\"");
    }
    return result;
}

} // namespace golden
