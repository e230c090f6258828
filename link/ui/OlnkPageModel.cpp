#include "link/ui/OlnkPageModel.h"

namespace linkui {

const BaudEntry kBaudEntries[15] = {
    {u"110 Bd", 110},       {u"300 Bd", 300},         {u"600 Bd", 600},         {u"1 200 Bd", 1200},
    {u"2 400 Bd", 2400},    {u"4 800 Bd", 4800},      {u"9 600 Bd", 9600},      {u"14 400 Bd", 14400},
    {u"19 200 Bd", 19200},  {u"38 400 Bd", 38400},    {u"56 000 Bd", 56000},    {u"57 600 Bd", 57600},
    {u"115 200 Bd", 115200}, {u"128 000 Bd", 128000}, {u"256 000 Bd", 256000},
};

namespace {

bool IsKey(const std::u16string& key, char16_t c)
{
    return key.size() == 1 && (key[0] == c || key[0] == char16_t(c - u'A' + u'a'));
}

std::u16string Number(int64_t v)
{
    const std::string s = std::to_string(v);
    return std::u16string(s.begin(), s.end());
}

} // namespace

bool OlnkPageModel::ReadDecimal(std::u16string_view text, int32_t& value)
{
    size_t i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+'))
        negative = text[i++] == u'-';
    const size_t first = i;
    int64_t v = 0;
    while (i < text.size() && text[i] >= u'0' && text[i] <= u'9') {
        v = v * 10 + (text[i] - u'0');
        if (v > int64_t(INT32_MAX) + 1)
            return false;
        ++i;
    }
    if (i == first)
        return false;
    v = negative ? -v : v;
    if (v > INT32_MAX || v < INT32_MIN)
        return false;
    value = int32_t(v);
    return true;
}

void OlnkPageModel::Parse(std::u16string_view text)
{
    others.clear();
    enum { Key, Value } state = Key;
    std::u16string key, value;
    auto apply = [&] {
        if (IsKey(key, u'P')) {
            port = value;
        } else if (IsKey(key, u'B')) {
            ReadDecimal(value, baud);
        } else if (IsKey(key, u'W')) {
            int32_t w = 0;
            if (ReadDecimal(value, w) && w >= kMinWindow && w <= kMaxWindow)
                window = w;
        } else {
            others.push_back({key, value});
        }
    };
    for (char16_t c : text) {
        if (c == u' ')
            continue;
        if (state == Key) {
            if (c == u';')
                key.clear();
            else if (c == u'=') {
                if (key.empty())
                    continue; // no key yet: the "=" is ignored like any key character
                state = Value;
                value.clear();
            } else
                key += c;
        } else if (c == u';') {
            apply();
            key.clear();
            state = Key;
        } else {
            value += c;
        }
    }
    if (state == Value)
        apply();
}

std::u16string OlnkPageModel::Build() const
{
    std::u16string s = u"P = " + port + u"; B = " + Number(baud) + u"; W = " + Number(window) + u";";
    for (const auto& it : others)
        s += u" " + it.key + u" = " + it.value + u";";
    return s;
}

int OlnkPageModel::ComNumber(std::u16string_view port)
{
    if (port.size() < 4 || port.substr(0, 3) != u"Com")
        return -1;
    int64_t n = 0;
    for (size_t i = 3; i < port.size(); ++i) {
        if (port[i] < u'0' || port[i] > u'9')
            return -1;
        n = n * 10 + (port[i] - u'0');
        if (n > INT32_MAX)
            return -1;
    }
    return int(n);
}

int OlnkPageModel::FindPortEntry(std::u16string_view port, const std::vector<PortEntry>& entries)
{
    const int n = ComNumber(port);
    for (size_t i = 0; i < entries.size(); ++i) {
        if (n >= 0 ? ComNumber(entries[i].port) == n : entries[i].port == port)
            return int(i);
    }
    return -1;
}

int OlnkPageModel::FindBaudEntry(int32_t rate)
{
    for (int i = 0; i < 15; ++i)
        if (kBaudEntries[i].rate == rate)
            return i;
    return -1;
}

} // namespace linkui
