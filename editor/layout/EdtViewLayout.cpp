#include "editor/layout/EdtViewLayout.h"

#include "editor/parsers/EdtParser.h"

#include <algorithm>
#include <cctype>

namespace edt {

namespace {

int Tab(int tabSize)
{
    return tabSize < 1 ? 1 : tabSize;
}

int Len(std::u16string_view s)
{
    return static_cast<int>(s.size());
}

bool IsHigh(char16_t c)
{
    return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLow(char16_t c)
{
    return c >= 0xDC00 && c <= 0xDFFF;
}
bool IsBlank(char16_t c)
{
    return c == u' ' || c == u'\t';
}

std::vector<int> Breaks(const ILayoutLines& lines, int line)
{
    std::vector<int> b;
    lines.LayoutBreaks(line, b);
    return b;
}

int ClampLine(const ILayoutLines& lines, int line)
{
    return std::clamp(line, 0, lines.LayoutLineCount() - 1);
}

} // namespace

// ------------------------------------------------------------ columns

int ExpandedLength(std::u16string_view line, int tabSize)
{
    const int t = Tab(tabSize);
    int col = 0;
    for (char16_t c : line)
        col += c == u'\t' ? t - col % t : 1;
    return col;
}

int CharToColumn(std::u16string_view line, int ch, int tabSize)
{
    ch = std::clamp(ch, 0, Len(line));
    return ExpandedLength(line.substr(0, static_cast<size_t>(ch)), tabSize);
}

int ColumnToChar(std::u16string_view line, int column, int tabSize, int from, int to)
{
    const int t = Tab(tabSize);
    if (to < 0 || to > Len(line))
        to = Len(line);
    from = std::clamp(from, 0, to);
    int col = CharToColumn(line, from, tabSize);
    for (int i = from; i < to; ++i) {
        col += line[static_cast<size_t>(i)] == u'\t' ? t - col % t : 1;
        if (col > column)
            return i;
    }
    return to;
}

int ExpandCells(std::u16string_view line, int begin, int end, int startColumn, int tabSize,
                bool showTabs, int visFirst, int visLast, std::u16string& out)
{
    out.clear();
    const int t = Tab(tabSize);
    begin = std::clamp(begin, 0, Len(line));
    end = std::clamp(end, begin, Len(line));
    int col = startColumn;
    int first = -1;
    for (int i = begin; i < end && col < visLast; ++i) {
        const char16_t c = line[static_cast<size_t>(i)];
        if (c == u'\t') {
            const int n = t - col % t;
            for (int k = 0; k < n; ++k, ++col) {
                if (col < visFirst || col >= visLast)
                    continue;
                if (first < 0)
                    first = col;
                out.push_back(k == 0 && showTabs ? char16_t(0x00BB) : u' ');
            }
            continue;
        }
        if (IsHigh(c) && i + 1 < end && IsLow(line[static_cast<size_t>(i) + 1])) {
            const bool a = col >= visFirst && col < visLast;
            const bool b = col + 1 >= visFirst && col + 1 < visLast;
            if (a || b) {
                if (first < 0)
                    first = a ? col : col + 1;
                if (a && b) {
                    out.push_back(c);
                    out.push_back(line[static_cast<size_t>(i) + 1]);
                } else {
                    out.push_back(0xFFFD);
                }
            }
            col += 2;
            ++i;
            continue;
        }
        if (col >= visFirst) {
            if (first < 0)
                first = col;
            char16_t d = c;
            if (c == u' ' && showTabs)
                d = 0x2022;
            else if (c < 0x20 || IsHigh(c) || IsLow(c))
                d = 0xFFFD;
            out.push_back(d);
        }
        ++col;
    }
    return first < 0 ? visFirst : first;
}

// ------------------------------------------------------------ BlockedCounts

void BlockedCounts::Reset(int count, int32_t value)
{
    m_blocks.clear();
    m_size = 0;
    m_total = 0;
    m_hintBlock = 0;
    m_hintStart = 0;
    Insert(0, count, value);
}

void BlockedCounts::Locate(int i, size_t& block, int& offset) const
{
    size_t b = 0;
    int start = 0;
    if (m_hintBlock < m_blocks.size() && i >= m_hintStart) {
        b = m_hintBlock;
        start = m_hintStart;
    }
    for (; b < m_blocks.size(); ++b) {
        const int n = static_cast<int>(m_blocks[b].v.size());
        if (i - start < n) {
            m_hintBlock = b;
            m_hintStart = start;
            block = b;
            offset = i - start;
            return;
        }
        start += n;
    }
    block = m_blocks.size();
    offset = i - start;
}

int32_t BlockedCounts::Get(int i) const
{
    if (i < 0 || i >= m_size)
        return -1;
    size_t b;
    int o;
    Locate(i, b, o);
    return m_blocks[b].v[static_cast<size_t>(o)];
}

void BlockedCounts::Set(int i, int32_t value)
{
    if (i < 0 || i >= m_size)
        return;
    size_t b;
    int o;
    Locate(i, b, o);
    int32_t& slot = m_blocks[b].v[static_cast<size_t>(o)];
    const int64_t d = Eff(value) - Eff(slot);
    slot = value;
    m_blocks[b].sum += d;
    m_total += d;
}

void BlockedCounts::Fill(int from, int to, int32_t value)
{
    from = std::max(from, 0);
    to = std::min(to, m_size);
    if (from >= to)
        return;
    size_t b;
    int o;
    Locate(from, b, o);
    int i = from;
    while (i < to && b < m_blocks.size()) {
        Block& blk = m_blocks[b];
        const int n = static_cast<int>(blk.v.size());
        for (; o < n && i < to; ++o, ++i) {
            int32_t& slot = blk.v[static_cast<size_t>(o)];
            const int64_t d = Eff(value) - Eff(slot);
            slot = value;
            blk.sum += d;
            m_total += d;
        }
        ++b;
        o = 0;
    }
}

void BlockedCounts::SplitIfLarge(size_t block)
{
    if (m_blocks[block].v.size() <= size_t(2 * kBlock))
        return;
    std::vector<int32_t> all = std::move(m_blocks[block].v);
    std::vector<Block> parts;
    for (size_t i = 0; i < all.size(); i += kBlock) {
        Block part;
        const size_t e = std::min(all.size(), i + kBlock);
        part.v.assign(all.begin() + static_cast<std::ptrdiff_t>(i),
                      all.begin() + static_cast<std::ptrdiff_t>(e));
        for (int32_t v : part.v)
            part.sum += Eff(v);
        parts.push_back(std::move(part));
    }
    m_blocks.erase(m_blocks.begin() + static_cast<std::ptrdiff_t>(block));
    m_blocks.insert(m_blocks.begin() + static_cast<std::ptrdiff_t>(block),
                    std::make_move_iterator(parts.begin()), std::make_move_iterator(parts.end()));
    m_hintBlock = 0;
    m_hintStart = 0;
}

void BlockedCounts::Insert(int at, int n, int32_t value)
{
    if (n <= 0)
        return;
    m_hintBlock = 0;
    m_hintStart = 0;
    at = std::clamp(at, 0, m_size);
    if (m_blocks.empty())
        m_blocks.emplace_back();
    size_t b;
    int o;
    Locate(at, b, o);
    if (b == m_blocks.size()) {  // at the end
        b = m_blocks.size() - 1;
        o = static_cast<int>(m_blocks[b].v.size());
    }
    Block& blk = m_blocks[b];
    blk.v.insert(blk.v.begin() + o, static_cast<size_t>(n), value);
    blk.sum += Eff(value) * n;
    m_total += Eff(value) * n;
    m_size += n;
    SplitIfLarge(b);
}

void BlockedCounts::Remove(int at, int n)
{
    at = std::clamp(at, 0, m_size);
    n = std::min(n, m_size - at);
    m_hintBlock = 0;
    m_hintStart = 0;
    while (n > 0) {
        size_t b;
        int o;
        Locate(at, b, o);
        Block& blk = m_blocks[b];
        const int k = std::min(n, static_cast<int>(blk.v.size()) - o);
        int64_t d = 0;
        for (int i = o; i < o + k; ++i)
            d += Eff(blk.v[static_cast<size_t>(i)]);
        blk.v.erase(blk.v.begin() + o, blk.v.begin() + o + k);
        blk.sum -= d;
        m_total -= d;
        m_size -= k;
        n -= k;
        if (blk.v.empty())
            m_blocks.erase(m_blocks.begin() + static_cast<std::ptrdiff_t>(b));
        m_hintBlock = 0;
        m_hintStart = 0;
    }
}

int64_t BlockedCounts::SumBefore(int i) const
{
    i = std::clamp(i, 0, m_size);
    if (m_total == m_size)
        return i;  // every entry counts 1 (each counts at least 1)
    int64_t s = 0;
    for (const Block& blk : m_blocks) {
        const int n = static_cast<int>(blk.v.size());
        if (i >= n) {
            s += blk.sum;
            i -= n;
            continue;
        }
        if (blk.sum == n)
            return s + i;  // every entry counts 1 (each counts at least 1)
        for (int k = 0; k < i; ++k)
            s += Eff(blk.v[static_cast<size_t>(k)]);
        break;
    }
    return s;
}

void BlockedCounts::Find(int64_t s, int& index, int& rest) const
{
    index = 0;
    rest = 0;
    if (m_size == 0)
        return;
    s = std::clamp<int64_t>(s, 0, m_total - 1);
    int base = 0;
    for (const Block& blk : m_blocks) {
        if (s >= blk.sum) {
            s -= blk.sum;
            base += static_cast<int>(blk.v.size());
            continue;
        }
        for (size_t k = 0; k < blk.v.size(); ++k) {
            const int64_t e = Eff(blk.v[k]);
            if (s < e) {
                index = base + static_cast<int>(k);
                rest = static_cast<int>(s);
                return;
            }
            s -= e;
        }
    }
    index = m_size - 1;
    rest = 0;
}

size_t BlockedCounts::MemoryBytes() const
{
    size_t n = m_blocks.capacity() * sizeof(Block);
    for (const Block& b : m_blocks)
        n += b.v.capacity() * sizeof(int32_t);
    return n;
}

SubLinePos SubLineOf(const std::vector<int>& breaks, int lineLength, int ch)
{
    SubLinePos p;
    p.end = breaks.empty() ? lineLength : breaks.front();
    for (size_t i = 0; i < breaks.size(); ++i) {
        if (breaks[i] > ch)
            break;
        p.sub = static_cast<int>(i) + 1;
        p.start = breaks[i];
        p.end = i + 1 < breaks.size() ? breaks[i + 1] : lineLength;
    }
    return p;
}

// ------------------------------------------------------------ client <-> text

EdtPoint PointAtScreenColumn(const ILayoutLines& lines, int line, int sub, int column)
{
    line = ClampLine(lines, line);
    const std::u16string_view text = lines.LayoutLine(line);
    const std::vector<int> breaks = Breaks(lines, line);
    sub = std::clamp(sub, 0, static_cast<int>(breaks.size()));
    const int start = sub == 0 ? 0 : breaks[static_cast<size_t>(sub) - 1];
    const int end = sub < static_cast<int>(breaks.size()) ? breaks[static_cast<size_t>(sub)] : Len(text);
    const int t = lines.LayoutTabSize();
    const int base = CharToColumn(text, start, t);
    int ch = ColumnToChar(text, base + std::max(column, 0), t, start, end);
    // A later sub-line's last position is the next sub-line's start.
    if (ch == end && sub < static_cast<int>(breaks.size()) && end > start)
        ch = end - 1;
    return {ch, line};
}

EdtPoint ClientToTextPoint(const ILayoutLines& lines, const BlockedCounts& subLines,
                           const ViewMetrics& m, int x, int y)
{
    const int lh = std::max(m.lineHeight, 1);
    const int cw = std::max(m.charWidth, 1);
    const int yy = y < 0 ? -((-y + lh - 1) / lh) : y / lh;
    int64_t screen = int64_t(m.topSubLine) + yy;
    screen = std::clamp<int64_t>(screen, 0, std::max<int64_t>(subLines.Total() - 1, 0));
    int line = 0, sub = 0;
    subLines.Find(screen, line, sub);
    line = ClampLine(lines, line);
    const int dx = x - m.marginWidth;
    const int col = (dx < 0 ? -((-dx + cw - 1) / cw) : dx / cw) + m.offsetChar;
    return PointAtScreenColumn(lines, line, sub, std::max(col, 0));
}

int ScreenColumnOf(const ILayoutLines& lines, EdtPoint pt)
{
    const int line = ClampLine(lines, pt.line);
    const std::u16string_view text = lines.LayoutLine(line);
    const std::vector<int> breaks = Breaks(lines, line);
    const SubLinePos p = SubLineOf(breaks, Len(text), pt.ch);
    const int t = lines.LayoutTabSize();
    return CharToColumn(text, pt.ch, t) - CharToColumn(text, p.start, t);
}

void TextPointToClient(const ILayoutLines& lines, const BlockedCounts& subLines,
                       const ViewMetrics& m, EdtPoint pt, int& x, int& y)
{
    const int line = ClampLine(lines, pt.line);
    LinePointToClient(lines.LayoutLine(line), Breaks(lines, line), subLines.SumBefore(line),
                      lines.LayoutTabSize(), m, pt.ch, x, y);
}

void LinePointToClient(std::u16string_view text, const std::vector<int>& breaks, int64_t subLinesBefore,
                       int tabSize, const ViewMetrics& m, int ch, int& x, int& y)
{
    const SubLinePos p = SubLineOf(breaks, Len(text), ch);
    const int64_t screen = subLinesBefore + p.sub - m.topSubLine;
    y = static_cast<int>(std::clamp<int64_t>(screen * m.lineHeight, -(1 << 30), 1 << 30));
    const int t = tabSize;
    const int col = CharToColumn(text, ch, t) - CharToColumn(text, p.start, t);
    const int64_t px = int64_t(col - m.offsetChar) * m.charWidth + m.marginWidth;
    x = static_cast<int>(std::clamp<int64_t>(px, -(1 << 30), 1 << 30));
}

// ------------------------------------------------------------ caret targets

EdtPoint WordLeftTarget(const ILayoutLines& lines, EdtPoint pt)
{
    pt.line = ClampLine(lines, pt.line);
    std::u16string_view text = lines.LayoutLine(pt.line);
    pt.ch = std::clamp(pt.ch, 0, Len(text));
    if (pt.ch == 0) {
        if (pt.line == 0)
            return pt;
        --pt.line;
        text = lines.LayoutLine(pt.line);
        pt.ch = Len(text);
    }
    int i = pt.ch;
    while (i > 0 && text[static_cast<size_t>(i) - 1] == u' ')
        --i;
    if (i > 0 && IsIdentifierChar(text[static_cast<size_t>(i) - 1])) {
        while (i > 0 && IsIdentifierChar(text[static_cast<size_t>(i) - 1]))
            --i;
    } else {
        while (i > 0 && !IsIdentifierChar(text[static_cast<size_t>(i) - 1]) &&
               text[static_cast<size_t>(i) - 1] != u' ')
            --i;
    }
    pt.ch = i;
    return pt;
}

EdtPoint WordRightTarget(const ILayoutLines& lines, EdtPoint pt)
{
    pt.line = ClampLine(lines, pt.line);
    std::u16string_view text = lines.LayoutLine(pt.line);
    pt.ch = std::clamp(pt.ch, 0, Len(text));
    if (pt.ch == Len(text)) {
        if (pt.line + 1 >= lines.LayoutLineCount())
            return pt;
        ++pt.line;
        pt.ch = 0;
        text = lines.LayoutLine(pt.line);
        if (text.empty())
            return pt;
    }
    int i = pt.ch;
    const int n = Len(text);
    if (IsIdentifierChar(text[static_cast<size_t>(i)])) {
        while (i < n && IsIdentifierChar(text[static_cast<size_t>(i)]))
            ++i;
    } else {
        while (i < n && !IsIdentifierChar(text[static_cast<size_t>(i)]) &&
               text[static_cast<size_t>(i)] != u' ')
            ++i;
    }
    while (i < n && text[static_cast<size_t>(i)] == u' ')
        ++i;
    pt.ch = i;
    return pt;
}

void WordAround(const ILayoutLines& lines, EdtPoint pt, int& start, int& end)
{
    const std::u16string_view text = lines.LayoutLine(ClampLine(lines, pt.line));
    const int n = Len(text);
    const int ch = std::clamp(pt.ch, 0, n);
    start = end = ch;
    auto cls = [&](int i) {
        const char16_t c = text[static_cast<size_t>(i)];
        return IsIdentifierChar(c) ? 1 : (IsBlank(c) ? 2 : 3);
    };
    int k;
    if (ch < n)
        k = cls(ch);
    else if (ch > 0)
        k = cls(ch - 1);
    else
        return;
    while (start > 0 && cls(start - 1) == k)
        --start;
    while (end < n && cls(end) == k)
        ++end;
}

EdtPoint LineStartTarget(const ILayoutLines& lines, EdtPoint pt)
{
    pt.line = ClampLine(lines, pt.line);
    const std::u16string_view text = lines.LayoutLine(pt.line);
    pt.ch = SubLineOf(Breaks(lines, pt.line), Len(text), std::clamp(pt.ch, 0, Len(text))).start;
    return pt;
}

EdtPoint SmartHomeTarget(const ILayoutLines& lines, EdtPoint pt)
{
    pt.line = ClampLine(lines, pt.line);
    const std::u16string_view text = lines.LayoutLine(pt.line);
    pt.ch = std::clamp(pt.ch, 0, Len(text));
    const SubLinePos p = SubLineOf(Breaks(lines, pt.line), Len(text), pt.ch);
    int first = p.start;
    while (first < p.end && IsBlank(text[static_cast<size_t>(first)]))
        ++first;
    if (first == p.end || pt.ch == first)
        pt.ch = p.start;
    else
        pt.ch = first;
    return pt;
}

EdtPoint LineEndTarget(const ILayoutLines& lines, EdtPoint pt)
{
    pt.line = ClampLine(lines, pt.line);
    const std::u16string_view text = lines.LayoutLine(pt.line);
    const std::vector<int> breaks = Breaks(lines, pt.line);
    const SubLinePos p = SubLineOf(breaks, Len(text), std::clamp(pt.ch, 0, Len(text)));
    const bool last = p.sub == static_cast<int>(breaks.size());
    pt.ch = last ? Len(text) : std::max(p.end - 1, p.start);
    return pt;
}

EdtPoint VerticalTarget(const ILayoutLines& lines, EdtPoint pt, int idealColumn, int delta)
{
    pt.line = ClampLine(lines, pt.line);
    std::u16string_view text = lines.LayoutLine(pt.line);
    pt.ch = std::clamp(pt.ch, 0, Len(text));
    std::vector<int> breaks = Breaks(lines, pt.line);
    int sub = SubLineOf(breaks, Len(text), pt.ch).sub;
    int line = pt.line;
    const int last = lines.LayoutLineCount() - 1;
    while (delta < 0) {
        if (sub > 0) {
            --sub;
        } else if (line > 0) {
            --line;
            breaks = Breaks(lines, line);
            sub = static_cast<int>(breaks.size());
        } else {
            break;
        }
        ++delta;
    }
    while (delta > 0) {
        if (sub < static_cast<int>(breaks.size())) {
            ++sub;
        } else if (line < last) {
            ++line;
            breaks = Breaks(lines, line);
            sub = 0;
        } else {
            break;
        }
        --delta;
    }
    return PointAtScreenColumn(lines, line, sub, idealColumn);
}

// ------------------------------------------------------------ brackets

namespace {

constexpr char16_t kBrackets[] = u"{}()[]<>";

int BracketIndex(char16_t c)
{
    for (int i = 0; i < 8; ++i)
        if (kBrackets[i] == c)
            return i;
    return -1;
}

bool At(std::u16string_view text, int i, std::u16string_view s)
{
    return !s.empty() && i >= 0 && i + Len(s) <= Len(text) &&
           text.substr(static_cast<size_t>(i), s.size()) == s;
}

// Where the line comment of a line starts (the line's length when none),
// scanning forward from a block-comment depth at the line start; depth
// receives the depth at the line end.
int LineCommentStart(std::u16string_view text, std::u16string_view open, std::u16string_view close,
                     std::u16string_view lineC, int& depth)
{
    const int n = Len(text);
    for (int i = 0; i < n;) {
        if (depth > 0) {
            if (At(text, i, close)) {
                --depth;
                i += Len(close);
                continue;
            }
            if (At(text, i, open)) {
                ++depth;
                i += Len(open);
                continue;
            }
            ++i;
            continue;
        }
        if (At(text, i, open)) {
            ++depth;
            i += Len(open);
            continue;
        }
        if (At(text, i, lineC))
            return i;
        ++i;
    }
    return n;
}

} // namespace

bool HasBracketAt(const ILayoutLines& lines, EdtPoint pt)
{
    if (pt.line < 0 || pt.line >= lines.LayoutLineCount())
        return false;
    const std::u16string_view text = lines.LayoutLine(pt.line);
    if (pt.ch < 0 || pt.ch > Len(text))
        return false;
    if (pt.ch < Len(text) && BracketIndex(text[static_cast<size_t>(pt.ch)]) >= 0)
        return true;
    return pt.ch > 0 && BracketIndex(text[static_cast<size_t>(pt.ch) - 1]) >= 0;
}

bool FindMatchingBracket(const ILayoutLines& lines, EdtPoint pt, std::u16string_view open,
                         std::u16string_view close, std::u16string_view lineC, EdtPoint& found)
{
    if (!HasBracketAt(lines, pt))
        return false;
    const std::u16string_view start = lines.LayoutLine(pt.line);
    int pos = pt.ch;
    bool before = false;
    if (pos >= Len(start) || BracketIndex(start[static_cast<size_t>(pos)]) < 0) {
        --pos;
        before = true;
    }
    const int idx = BracketIndex(start[static_cast<size_t>(pos)]);
    const char16_t me = kBrackets[idx];
    const char16_t partner = kBrackets[idx ^ 1];
    const bool forward = (idx % 2) == 0;
    const int count = lines.LayoutLineCount();
    int nesting = 0;
    if (forward) {
        int depth = 0;  // the search starts outside any comment
        for (int line = pt.line; line < count; ++line) {
            const std::u16string_view text = lines.LayoutLine(line);
            const int n = Len(text);
            int i = line == pt.line ? pos + 1 : 0;
            while (i < n) {
                if (depth > 0) {
                    if (At(text, i, close)) {
                        --depth;
                        i += Len(close);
                    } else if (At(text, i, open)) {
                        ++depth;
                        i += Len(open);
                    } else {
                        ++i;
                    }
                    continue;
                }
                if (At(text, i, open)) {
                    ++depth;
                    i += Len(open);
                    continue;
                }
                if (At(text, i, lineC))
                    break;
                const char16_t c = text[static_cast<size_t>(i)];
                if (c == me) {
                    ++nesting;
                } else if (c == partner) {
                    if (nesting == 0) {
                        found = {before ? i + 1 : i, line};
                        return true;
                    }
                    --nesting;
                }
                ++i;
            }
        }
        return false;
    }
    // Backwards: each line's part after its line comment is skipped; block
    // comments are tracked in reverse (a close string enters, an open
    // string leaves).
    int depth = 0;
    for (int line = pt.line; line >= 0; --line) {
        const std::u16string_view text = lines.LayoutLine(line);
        int scanDepth = 0;
        int end = LineCommentStart(text, open, close, lineC, scanDepth);
        int i;
        if (line == pt.line) {
            if (pos >= end)  // inside a comment: pair within it
                end = Len(text);
            i = pos - 1;
        } else {
            i = end - 1;
        }
        i = std::min(i, end - 1);
        while (i >= 0) {
            if (!close.empty() && i - Len(close) + 1 >= 0 && At(text, i - Len(close) + 1, close)) {
                ++depth;
                i -= Len(close);
                continue;
            }
            if (depth > 0) {
                if (!open.empty() && i - Len(open) + 1 >= 0 && At(text, i - Len(open) + 1, open)) {
                    --depth;
                    i -= Len(open);
                } else {
                    --i;
                }
                continue;
            }
            const char16_t c = text[static_cast<size_t>(i)];
            if (c == me) {
                ++nesting;
            } else if (c == partner) {
                if (nesting == 0) {
                    found = {before ? i + 1 : i, line};
                    return true;
                }
                --nesting;
            }
            --i;
        }
    }
    return false;
}

// ------------------------------------------------------------ go to line

bool IsGoToTextValid(std::u16string_view text)
{
    size_t i = 0;
    if (!text.empty() && (text[0] == u'+' || text[0] == u'-'))
        i = 1;
    const size_t digits = text.size() - i;
    if (digits < 1 || digits > 9)
        return false;
    for (; i < text.size(); ++i)
        if (text[i] < u'0' || text[i] > u'9')
            return false;
    return true;
}

bool GoToTextHasDigit(std::u16string_view text)
{
    return std::any_of(text.begin(), text.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; });
}

bool ParseGoToText(std::u16string_view text, int& n, bool& relative)
{
    if (!IsGoToTextValid(text))
        return false;
    relative = text[0] == u'+' || text[0] == u'-';
    int v = 0;
    for (char16_t c : text.substr(relative ? 1 : 0))
        v = v * 10 + (c - u'0');
    n = text[0] == u'-' ? -v : v;
    return true;
}

bool GoToLineTarget(const ILayoutLines& lines, int n, bool relative, EdtPoint caret,
                    EdtPoint& target)
{
    int64_t t = relative ? int64_t(caret.line) + n : int64_t(n) - (n == 0 ? 0 : 1);
    if (t < 0)
        return false;
    const int last = lines.LayoutLineCount() - 1;
    if (t > last)
        t = last;
    target.line = static_cast<int>(t);
    const int len = Len(lines.LayoutLine(target.line));
    const int maxCh = len > 0 ? len - 1 : 0;
    target.ch = std::clamp(caret.ch, 0, maxCh);
    return true;
}

// ------------------------------------------------------------ source/header

std::vector<std::u16string> HeaderCandidates(std::u16string_view path)
{
    std::vector<std::u16string> out;
    // The ending after the last "." that follows the last separator.
    size_t sep = path.find_last_of(u"\\/:");
    size_t dot = path.rfind(u'.');
    if (dot == std::u16string_view::npos || (sep != std::u16string_view::npos && dot < sep))
        return out;
    std::u16string ext(path.substr(dot + 1));
    for (char16_t& c : ext)
        if (c >= u'A' && c <= u'Z')
            c = static_cast<char16_t>(c - u'A' + u'a');
    const std::u16string stem(path.substr(0, dot));
    auto add = [&](std::u16string_view e) { out.push_back(stem + u"." + std::u16string(e)); };
    if (ext == u"c") {
        std::u16string s(path);
        s.back() = u'h';
        out.push_back(s);
    } else if (ext == u"cpp") {
        add(u"h");
    } else if (ext == u"inl") {
        add(u"c");
        add(u"cpp");
    } else if (ext == u"hpp") {
        add(u"inl");
        add(u"c");
        add(u"cpp");
    } else if (ext == u"h") {
        add(u"hpp");
        add(u"inl");
        add(u"c");
        add(u"cpp");
    }
    return out;
}

// ------------------------------------------------------------ line flags

int MarginIconOfFlags(uint32_t flags)
{
    if (flags & 0x10000)
        return 0;
    if (flags & 0x20000)
        return 1;
    if (flags & 0x40000)
        return 2;
    for (int n = 1; n <= 9; ++n)
        if (flags & (1u << n))
            return 2 + n;
    if (flags & 0x1)
        return 12;
    if (flags & 0x80000)
        return 13;
    return -1;  // 0x100000 has icon 14, which the strip does not hold
}

int32_t LineColourOfFlags(uint32_t flags)
{
    if (flags & 0x10000)
        return 0x008000;
    if (flags & 0x20000)
        return 0xFF0000;
    if (flags & 0x100000)
        return 0x808000;
    return -1;
}

} // namespace edt
