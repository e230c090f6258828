#include "editor/buffer/EdtTextBuffer.h"

#include "editor/buffer/EdtCodePages.h"
#include "editor/buffer/EdtTextTypeHook.h"

#include "res/text/TextTable.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

// ---------------------------------------------------------------- contexts

void InsertContext::RecalcPoint(EdtPoint& pt) const
{
    if (pt.line < begin.line)
        return;
    if (pt.line > begin.line) {
        pt.line += end.line - begin.line;
        return;
    }
    if (pt.ch <= begin.ch)
        return;
    pt.line = end.line;
    pt.ch += end.ch - begin.ch;
}

void DeleteContext::RecalcPoint(EdtPoint& pt) const
{
    if (pt.line < begin.line)
        return;
    if (pt.line > end.line) {
        pt.line -= end.line - begin.line;
        return;
    }
    if (pt.line == end.line && pt.ch >= end.ch) {
        pt.line = begin.line;
        pt.ch = begin.ch + (pt.ch - end.ch);
        return;
    }
    // Inside the removed range.
    if (pt.line == begin.line) {
        if (pt.ch > begin.ch)
            pt.ch = begin.ch;
        return;
    }
    pt = begin;
}

void RewriteContext::Finish()
{
    m_added.resize(lines.size());
    int sum = 0;
    for (size_t i = 0; i < lines.size(); ++i)
        m_added[i] = sum += lines[i].added;
    if (!lines.empty()) {
        begin = {0, lines.front().line};
        end = {0, lines.back().line + lines.back().count - 1};
    }
}

void RewriteContext::RecalcPoint(EdtPoint& pt) const
{
    // The first line that ends at or below the point.
    auto it = std::lower_bound(lines.begin(), lines.end(), pt.line,
                               [](const Line& l, int line) { return l.line + l.count - 1 < line; });
    const size_t i = size_t(it - lines.begin());
    const int shift = i > 0 ? m_added[i - 1] : 0;
    if (it == lines.end() || pt.line < it->line) {
        pt.line += shift;
        return;
    }
    const int first = it->line + shift;
    if (it->edits == 0) {
        pt = {std::min(pt.ch, it->newLength), first};
        return;
    }
    // The last span that begins before the point.
    const Edit* e0 = edits.data() + it->firstEdit;
    const Edit* e1 = e0 + it->edits;
    const Edit* e = std::lower_bound(e0, e1, pt.ch, [](const Edit& x, int ch) { return x.begin < ch; });
    if (e == e0)
        return void(pt.line = first);
    --e;
    if (e->begin < e->end && pt.ch <= e->end)
        pt = {e->newBegin.ch, first + e->newBegin.line};
    else
        pt = {e->newEnd.ch + (pt.ch - e->end), first + e->newEnd.line};
}

// ---------------------------------------------------------------- life cycle

CEdtTextBuffer::CEdtTextBuffer()
{
    int enc = GetEdtDefaultEncoding();
    m_unicode = GetEdtDefaultUnicode();
    if (enc == EDT_CODEPAGE_UNICODE) {
        m_unicode = true;
        m_codePage = -1;
    } else if (enc == EDT_CODEPAGE_UTF8 && !m_unicode) {
        m_utf8 = true;
        m_codePage = -1;
    } else {
        SetCodePage(enc);
    }
}

CEdtTextBuffer::~CEdtTextBuffer() = default;

void CEdtTextBuffer::ResetUndo()
{
    m_undo.clear();
    m_undoPos = 0;
    m_savedPos = 0;
    m_groupOpen = false;
    m_groupStartPending = false;
    m_groupRecords = 0;
    m_lastGroupStart = 0;
    m_undoLimit = kUndoLimit;
}

bool CEdtTextBuffer::InitNew(int crlfMode)
{
    ++m_changeCount;
    m_lines.Clear();
    m_lines.PushBack(edt::Line{});
    if (crlfMode >= 0)
        m_crlfMode = crlfMode;
    m_initialized = true;
    m_readOnly = false;
    m_loadedFromFile = false;
    m_oddTrailingByte = -1;
    ResetUndo();
    m_modified = false;
    m_lastChange = {-1, -1};
    UpdateViews(nullptr, nullptr, EDT_UPD_RESET, -1);
    return true;
}

void CEdtTextBuffer::FreeAll()
{
    ++m_changeCount;
    m_lines.Clear();
    ResetUndo();
    m_initialized = false;
    m_loadedFromFile = false;
    m_oddTrailingByte = -1;
    m_utf8Mark = false;
    m_lastChange = {-1, -1};
}

void CEdtTextBuffer::AddView(IEdtBufferListener* view)
{
    m_views.push_back(view);
}

void CEdtTextBuffer::RemoveView(IEdtBufferListener* view)
{
    auto it = std::find(m_views.begin(), m_views.end(), view);
    if (it != m_views.end())
        m_views.erase(it);
}

void CEdtTextBuffer::UpdateViews(IEdtBufferListener* sourceView, const UpdateContext* context,
                                 uint32_t flags, int line)
{
    // A copy: a view may detach itself while it is being told.
    std::vector<IEdtBufferListener*> views = m_views;
    for (IEdtBufferListener* v : views)
        v->UpdateView(sourceView, context, flags, line);
}

// ---------------------------------------------------------------- queries

void CEdtTextBuffer::CheckLine(int line) const
{
    if (line < 0 || line >= m_lines.Size())
        throw std::out_of_range("CEdtTextBuffer: line index out of range");
}

int CEdtTextBuffer::GetLineCount() const
{
    return m_lines.Size();
}

int CEdtTextBuffer::GetLineLength(int line) const
{
    CheckLine(line);
    return static_cast<int>(m_lines.At(line).text.size());
}

const char16_t* CEdtTextBuffer::GetLineChars(int line) const
{
    CheckLine(line);
    return m_lines.At(line).text.data();
}

std::u16string_view CEdtTextBuffer::GetLineView(int line) const
{
    CheckLine(line);
    return m_lines.At(line).text.view();
}

uint32_t CEdtTextBuffer::GetLineFlags(int line) const
{
    CheckLine(line);
    return m_lines.At(line).flags;
}

void CEdtTextBuffer::SetCRLFMode(int mode)
{
    if (mode >= 0)
        m_crlfMode = mode;
}

void CEdtTextBuffer::SetModified(bool modified)
{
    m_modified = modified;
}

void CEdtTextBuffer::SetUnicode(bool unicode)
{
    m_unicode = unicode;
    if (unicode)
        m_utf8 = false;
}

void CEdtTextBuffer::SetUtf8(bool utf8)
{
    m_utf8 = utf8;
    if (utf8) {
        m_unicode = false;
        m_codePage = -1;
    } else {
        m_utf8Mark = false;
    }
}

int CEdtTextBuffer::GetEncoding() const
{
    if (m_unicode)
        return EDT_CODEPAGE_UNICODE;
    if (m_utf8)
        return EDT_CODEPAGE_UTF8;
    return m_codePage;
}

void CEdtTextBuffer::SetCodePage(int codePage)
{
    m_codePage = codePage >= -1 && codePage <= 12 ? codePage : -1;
}

bool CEdtTextBuffer::CanUndo() const
{
    return m_undoPos > 0;
}

bool CEdtTextBuffer::CanRedo() const
{
    return m_undoPos < static_cast<int>(m_undo.size());
}

bool CEdtTextBuffer::ValidPoint(int line, int ch) const
{
    return line >= 0 && line < m_lines.Size() && ch >= 0 &&
           ch <= static_cast<int>(m_lines.At(line).text.size());
}

std::vector<std::u16string> CEdtTextBuffer::RangePieces(int startLine, int startChar, int endLine,
                                                        int endChar) const
{
    std::vector<std::u16string> pieces;
    if (startLine == endLine) {
        std::u16string_view t = m_lines.At(startLine).text.view();
        pieces.emplace_back(t.substr(static_cast<size_t>(startChar),
                                     static_cast<size_t>(endChar - startChar)));
        return pieces;
    }
    pieces.reserve(static_cast<size_t>(endLine - startLine) + 1);
    pieces.emplace_back(m_lines.At(startLine).text.view().substr(static_cast<size_t>(startChar)));
    for (int l = startLine + 1; l < endLine; ++l)
        pieces.emplace_back(m_lines.At(l).text.view());
    pieces.emplace_back(m_lines.At(endLine).text.view().substr(0, static_cast<size_t>(endChar)));
    return pieces;
}

void CEdtTextBuffer::GetText(int startLine, int startChar, int endLine, int endChar,
                             std::u16string& text, std::u16string_view lineEnd) const
{
    text.clear();
    if (!ValidPoint(startLine, startChar) || !ValidPoint(endLine, endChar) ||
        endLine < startLine || (endLine == startLine && endChar < startChar))
        return;
    if (startLine == endLine) {
        std::u16string_view t = m_lines.At(startLine).text.view();
        text.assign(t.substr(static_cast<size_t>(startChar), static_cast<size_t>(endChar - startChar)));
        return;
    }
    size_t total = 0;
    for (int l = startLine; l <= endLine; ++l)
        total += m_lines.At(l).text.size() + lineEnd.size();
    text.reserve(total);
    text.append(m_lines.At(startLine).text.view().substr(static_cast<size_t>(startChar)));
    for (int l = startLine + 1; l < endLine; ++l) {
        text.append(lineEnd);
        text.append(m_lines.At(l).text.view());
    }
    text.append(lineEnd);
    text.append(m_lines.At(endLine).text.view().substr(0, static_cast<size_t>(endChar)));
}

int CEdtTextBuffer::FindLineWithFlag(uint32_t mask) const
{
    for (int l = 0; l < m_lines.Size(); ++l)
        if (m_lines.At(l).flags & mask)
            return l;
    return -1;
}

static bool OneBit(uint32_t v)
{
    return v != 0 && (v & (v - 1)) == 0;
}

int CEdtTextBuffer::GetLineWithFlag(uint32_t flag) const
{
    return OneBit(flag) ? FindLineWithFlag(flag) : -1;
}

int CEdtTextBuffer::FindNextBookmarkLine(int line) const
{
    int n = m_lines.Size();
    if (n == 0)
        return -1;
    int start = line < 0 || line >= n ? 0 : line;
    if (line >= 0 && line < n && (m_lines.At(line).flags & EDT_LF_BOOKMARK_UNNAMED))
        start = (line + 1) % n;
    for (int i = 0; i < n; ++i) {
        int l = (start + i) % n;
        if (m_lines.At(l).flags & EDT_LF_BOOKMARK_UNNAMED)
            return l;
    }
    return -1;
}

int CEdtTextBuffer::FindPrevBookmarkLine(int line) const
{
    int n = m_lines.Size();
    if (n == 0)
        return -1;
    int start = line < 0 || line >= n ? n - 1 : line;
    if (line >= 0 && line < n && (m_lines.At(line).flags & EDT_LF_BOOKMARK_UNNAMED))
        start = (line - 1 + n) % n;
    for (int i = 0; i < n; ++i) {
        int l = ((start - i) % n + n) % n;
        if (m_lines.At(l).flags & EDT_LF_BOOKMARK_UNNAMED)
            return l;
    }
    return -1;
}

// ---------------------------------------------------------------- changes

// Splits inserted text into line pieces: at each CR, a CR LF counting as one
// line end; a lone LF stays in the text.
static std::vector<std::u16string> SplitPieces(std::u16string_view text)
{
    std::vector<std::u16string> pieces;
    size_t from = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != u'\r')
            continue;
        pieces.emplace_back(text.substr(from, i - from));
        if (i + 1 < text.size() && text[i + 1] == u'\n')
            ++i;
        from = i + 1;
    }
    pieces.emplace_back(text.substr(from));
    return pieces;
}

bool CEdtTextBuffer::InternalInsertLines(IEdtBufferListener* view, int line, int ch,
                                         const std::vector<std::u16string>& pieces, int& endLine,
                                         int& endChar)
{
    if (!ValidPoint(line, ch) || pieces.empty())
        return false;
    constexpr int64_t kMax = std::numeric_limits<int>::max();
    if (static_cast<int64_t>(m_lines.Size()) + static_cast<int64_t>(pieces.size()) - 1 > kMax)
        return false;
    edt::Line& first = m_lines.At(line);
    if (pieces.size() == 1) {
        if (static_cast<int64_t>(first.text.size()) + static_cast<int64_t>(pieces[0].size()) > kMax)
            return false;
        first.text.Insert(static_cast<size_t>(ch), pieces[0]);
        endLine = line;
        endChar = ch + static_cast<int>(pieces[0].size());
    } else {
        std::u16string tail(first.text.view().substr(static_cast<size_t>(ch)));
        if (static_cast<int64_t>(ch) + static_cast<int64_t>(pieces[0].size()) > kMax ||
            static_cast<int64_t>(pieces.back().size() + tail.size()) > kMax)
            return false;
        std::vector<edt::Line> added;
        added.reserve(pieces.size() - 1);
        for (size_t i = 1; i < pieces.size(); ++i)
            added.push_back(edt::Line{edt::LineText(pieces[i]), 0});
        endLine = line + static_cast<int>(pieces.size()) - 1;
        endChar = static_cast<int>(added.back().text.size());
        added.back().text.Append(tail);
        first.text.Truncate(static_cast<size_t>(ch));
        first.text.Append(pieces[0]);
        m_lines.Insert(line + 1, std::move(added));
    }
    ++m_changeCount;
    InsertContext ctx({ch, line}, {endChar, endLine});
    UpdateViews(view, &ctx, endLine != line ? EDT_UPD_LINES : EDT_UPD_LINE, line);
    if (!m_modified)
        SetModified(true);
    m_lastChange = {endChar, endLine};
    return true;
}

bool CEdtTextBuffer::InternalInsertText(IEdtBufferListener* view, int line, int ch,
                                        std::u16string_view text, int& endLine, int& endChar)
{
    if (!ValidPoint(line, ch))
        return false;
    return InternalInsertLines(view, line, ch, SplitPieces(text), endLine, endChar);
}

bool CEdtTextBuffer::InternalDeleteText(IEdtBufferListener* view, int startLine, int startChar,
                                        int endLine, int endChar)
{
    if (!ValidPoint(startLine, startChar) || !ValidPoint(endLine, endChar) ||
        endLine < startLine || (endLine == startLine && endChar < startChar))
        return false;
    edt::Line& first = m_lines.At(startLine);
    if (startLine == endLine) {
        first.text.Erase(static_cast<size_t>(startChar), static_cast<size_t>(endChar - startChar));
    } else {
        std::u16string tail(m_lines.At(endLine).text.view().substr(static_cast<size_t>(endChar)));
        first.text.Truncate(static_cast<size_t>(startChar));
        first.text.Append(tail);
        m_lines.Erase(startLine + 1, endLine - startLine);
    }
    ++m_changeCount;
    DeleteContext ctx({startChar, startLine}, {endChar, endLine});
    UpdateViews(view, &ctx, startLine == endLine ? EDT_UPD_LINE : EDT_UPD_LINES, startLine);
    if (!m_modified)
        SetModified(true);
    m_lastChange = {startChar, startLine};
    return true;
}

bool CEdtTextBuffer::InsertText(IEdtBufferListener* view, int line, int ch,
                                std::u16string_view text, int& endLine, int& endChar, int action)
{
    if (m_readOnly || !ValidPoint(line, ch))
        return false;
    if (!InternalInsertText(view, line, ch, text, endLine, endChar))
        return false;
    bool ownGroup = !m_groupOpen;
    if (ownGroup)
        BeginUndoGroup(false);
    AddUndoRecord(true, {ch, line}, {endChar, endLine}, text, action, {});
    if (ownGroup)
        FlushUndoGroup(view);
    return true;
}

bool CEdtTextBuffer::DeleteText(IEdtBufferListener* view, int startLine, int startChar,
                                int endLine, int endChar, int action)
{
    if (m_readOnly)
        return false;
    if (!ValidPoint(startLine, startChar) || !ValidPoint(endLine, endChar) ||
        endLine < startLine || (endLine == startLine && endChar < startChar))
        return false;
    std::u16string text;
    GetText(startLine, startChar, endLine, endChar, text);
    std::vector<std::u16string> pieces = RangePieces(startLine, startChar, endLine, endChar);
    if (!InternalDeleteText(view, startLine, startChar, endLine, endChar))
        return false;
    bool ownGroup = !m_groupOpen;
    if (ownGroup)
        BeginUndoGroup(false);
    AddUndoRecord(false, {startChar, startLine}, {endChar, endLine}, text, action,
                  std::move(pieces));
    if (ownGroup)
        FlushUndoGroup(view);
    return true;
}

void CEdtTextBuffer::SetLineFlag(int line, uint32_t flag, bool set, bool removeFromOtherLines)
{
    if (!OneBit(flag))
        return;
    if (line == -1) {
        line = FindLineWithFlag(flag);
        if (line < 0)
            return;
        removeFromOtherLines = false;
    }
    if (line < 0 || line >= m_lines.Size())
        return;
    uint32_t old = m_lines.At(line).flags;
    uint32_t now = set ? (old | flag) : (old & ~flag);
    if (now == old)
        return;
    if (removeFromOtherLines && set) {
        int other = FindLineWithFlag(flag);
        if (other >= 0) {
            m_lines.At(other).flags &= ~flag;
            UpdateViews(nullptr, nullptr, EDT_UPD_FLAGS, other);
        }
    }
    m_lines.At(line).flags = now;
    UpdateViews(nullptr, nullptr, EDT_UPD_FLAGS, line);
}

bool CEdtTextBuffer::RewriteLines(IEdtBufferListener* view, std::vector<LineRewrite>&& rewrites,
                                  RewriteContext& context, EdtPoint undoCaret, EdtPoint redoCaret,
                                  int action, std::u16string_view lastText)
{
    if (m_readOnly || rewrites.empty())
        return false;
    for (size_t i = 0; i < rewrites.size(); ++i)
        if (rewrites[i].line < 0 || rewrites[i].line >= m_lines.Size() ||
            (i > 0 && rewrites[i].line <= rewrites[i - 1].line))
            return false;
    LineBatch part;
    part.entries.reserve(rewrites.size());
    int added = 0;
    for (LineRewrite& rw : rewrites) {
        const int at = rw.line + added;
        LineBatch::Entry entry;
        entry.line = at;
        entry.after = 1 + static_cast<int>(rw.more.size());
        edt::Line& line = m_lines.At(at);
        entry.held.push_back(std::move(line.text));
        line.text = std::move(rw.first);
        if (!rw.more.empty()) {
            std::vector<edt::Line> extra;
            extra.reserve(rw.more.size());
            for (edt::LineText& t : rw.more)
                extra.push_back(edt::Line{std::move(t), 0});
            m_lines.Insert(at + 1, std::move(extra));
            added += entry.after - 1;
        }
        part.entries.push_back(std::move(entry));
    }
    rewrites.clear();
    ++m_changeCount;
    context.Finish();
    UpdateViews(view, &context, EDT_UPD_LINES, context.begin.line);
    if (!m_modified)
        SetModified(true);
    m_lastChange = redoCaret;

    const bool ownGroup = !m_groupOpen;
    if (ownGroup)
        BeginUndoGroup(false);
    UndoRecord* last = m_undoPos == static_cast<int>(m_undo.size()) && !m_undo.empty()
                           ? &m_undo.back()
                           : nullptr;
    if (m_groupRecords > 0 && last && last->batch && last->action == action) {
        LineBatch& b = *last->batch;
        b.parts.push_back(b.entries.size());
        for (LineBatch::Entry& e : part.entries)
            b.entries.push_back(std::move(e));
    } else {
        UndoRecord rec;
        rec.flags = kUndoInsert;
        rec.action = action;
        rec.batch = std::make_unique<LineBatch>(std::move(part));
        rec.batch->parts.push_back(0);
        rec.batch->undoCaret = undoCaret;
        PushUndoRecord(std::move(rec));
        last = &m_undo.back();
    }
    last->start = last->end = redoCaret;
    last->text.assign(lastText);
    if (ownGroup)
        FlushUndoGroup(view);
    return true;
}

void CEdtTextBuffer::ApplyBatch(LineBatch& batch, bool revert)
{
    // Each RewriteLines call is one step with one update of the views:
    // undone from the newest, its lines from the bottom.
    const size_t n = batch.parts.size();
    for (size_t k = 0; k < n; ++k) {
        const size_t p = revert ? n - 1 - k : k;
        const size_t from = batch.parts[p];
        const size_t to = p + 1 < n ? batch.parts[p + 1] : batch.entries.size();
        RewriteContext ctx;
        ctx.lines.reserve(to - from);
        int added = 0;  // redo: lines added above the entry so far
        for (size_t j = from; j < to; ++j) {
            const size_t i = revert ? to - 1 - (j - from) : j;
            LineBatch::Entry& e = batch.entries[i];
            const int have = revert ? e.after : e.before;
            const int at = e.line;
            std::vector<edt::LineText> out;
            out.reserve(size_t(have));
            for (int l = 0; l < have; ++l)
                out.push_back(std::move(m_lines.At(at + l).text));
            const int put = static_cast<int>(e.held.size());
            m_lines.At(at).text = std::move(e.held[0]);
            const int common = std::min(have, put);
            for (int l = 1; l < common; ++l)
                m_lines.At(at + l).text = std::move(e.held[size_t(l)]);
            if (have > put) {
                m_lines.Erase(at + put, have - put);
            } else if (put > have) {
                std::vector<edt::Line> extra;
                for (int l = have; l < put; ++l)
                    extra.push_back(edt::Line{std::move(e.held[size_t(l)]), 0});
                m_lines.Insert(at + have, std::move(extra));
            }
            e.held = std::move(out);
            RewriteContext::Line cl;
            cl.line = revert ? at : at - added;
            cl.count = have;
            cl.added = put - have;
            cl.newLength = static_cast<int>(m_lines.At(at).text.size());
            ctx.lines.push_back(cl);
            if (!revert)
                added += put - have;
        }
        if (revert)
            std::reverse(ctx.lines.begin(), ctx.lines.end());
        ++m_changeCount;
        if (!ctx.lines.empty()) {
            ctx.Finish();
            UpdateViews(nullptr, &ctx, EDT_UPD_LINES, ctx.begin.line);
        }
    }
}

// ---------------------------------------------------------------- undo

void CEdtTextBuffer::BeginUndoGroup(bool mergeWithPrevious)
{
    m_groupOpen = true;
    m_groupRecords = 0;
    m_groupStartPending = !(mergeWithPrevious && m_undoPos > 0);
}

bool CEdtTextBuffer::FlushUndoGroup(IEdtBufferListener* view)
{
    const bool added = m_groupOpen && m_groupRecords > 0;
    if (view && m_undoPos > 0) {
        m_groupStartPending = true;
        if (m_groupRecords > 0) {
            const UndoRecord& rec = m_undo[static_cast<size_t>(m_undoPos) - 1];
            view->OnEditOperation(rec.action, rec.text);
        }
    }
    m_groupOpen = false;
    m_groupRecords = 0;
    return added;
}

bool CEdtTextBuffer::GetLastUndoRecord(int& action, EdtPoint& end) const
{
    if (m_undoPos <= 0 || m_undoPos > static_cast<int>(m_undo.size()))
        return false;
    const UndoRecord& rec = m_undo[static_cast<size_t>(m_undoPos) - 1];
    action = rec.action;
    end = (rec.flags & kUndoInsert) ? rec.end : rec.start;
    return true;
}

void CEdtTextBuffer::DropOldestGroups()
{
    // Records of the open group (from its starting record on) are never
    // dropped.
    size_t openStart = m_undo.size();
    if (m_groupOpen && !m_groupStartPending && !m_undo.empty())
        openStart = m_lastGroupStart;  // kept by AddUndoRecord: no scan of a long group
    size_t drop = 0;
    while (m_undo.size() - drop >= static_cast<size_t>(m_undoLimit) && drop < openStart) {
        size_t next = drop + 1;
        while (next < m_undo.size() && !(m_undo[next].flags & kUndoGroupStart))
            ++next;
        if (next > openStart)
            break;
        drop = next;
    }
    if (drop == 0)
        return;
    m_undo.erase(m_undo.begin(), m_undo.begin() + static_cast<std::ptrdiff_t>(drop));
    m_lastGroupStart = m_lastGroupStart >= drop ? m_lastGroupStart - drop : 0;
    m_undoPos -= static_cast<int>(drop);
    if (m_savedPos >= static_cast<int>(drop))
        m_savedPos -= static_cast<int>(drop);
    else
        m_savedPos = -1;
}

void CEdtTextBuffer::AddUndoRecord(bool insert, EdtPoint start, EdtPoint end,
                                   std::u16string_view text, int action,
                                   std::vector<std::u16string>&& pieces)
{
    UndoRecord rec;
    rec.flags = insert ? kUndoInsert : 0;
    rec.start = start;
    rec.end = end;
    rec.action = action;
    rec.text.assign(text);
    rec.pieces = std::move(pieces);
    PushUndoRecord(std::move(rec));
}

void CEdtTextBuffer::PushUndoRecord(UndoRecord&& rec)
{
    if (m_undoPos < static_cast<int>(m_undo.size())) {
        if (m_savedPos > m_undoPos)
            m_savedPos = -1;
        m_undo.erase(m_undo.begin() + m_undoPos, m_undo.end());
        m_lastGroupStart = 0;
        for (size_t i = m_undo.size(); i-- > 0;)
            if (m_undo[i].flags & kUndoGroupStart) {
                m_lastGroupStart = i;
                break;
            }
    }
    if (static_cast<int>(m_undo.size()) >= m_undoLimit)
        DropOldestGroups();
    if (m_groupStartPending || m_undo.empty()) {
        m_groupStartPending = false;
        rec.flags |= kUndoGroupStart;
        m_lastGroupStart = m_undo.size();
    }
    m_undo.push_back(std::move(rec));
    m_undoPos = static_cast<int>(m_undo.size());
    ++m_groupRecords;
}

void CEdtTextBuffer::ApplyRecord(const UndoRecord& rec, bool revert, EdtPoint& caret)
{
    if (rec.batch) {
        ApplyBatch(*rec.batch, revert);
        caret = revert ? rec.batch->undoCaret : rec.end;
        return;
    }
    int el = 0;
    int ec = 0;
    bool remove = (rec.flags & kUndoInsert) ? revert : !revert;
    if (remove) {
        InternalDeleteText(nullptr, rec.start.line, rec.start.ch, rec.end.line, rec.end.ch);
        caret = rec.start;
    } else {
        if (!rec.pieces.empty())
            InternalInsertLines(nullptr, rec.start.line, rec.start.ch, rec.pieces, el, ec);
        else
            InternalInsertText(nullptr, rec.start.line, rec.start.ch, rec.text, el, ec);
        caret = rec.end;
    }
}

bool CEdtTextBuffer::Undo(EdtPoint& caret)
{
    if (m_readOnly || m_undoPos <= 0)
        return false;
    while (m_undoPos > 0) {
        const UndoRecord& rec = m_undo[static_cast<size_t>(--m_undoPos)];
        ApplyRecord(rec, true, caret);
        if (rec.flags & kUndoGroupStart)
            break;
    }
    SetModified(m_undoPos != m_savedPos);
    return true;
}

bool CEdtTextBuffer::Redo(EdtPoint& caret)
{
    if (m_readOnly || m_undoPos >= static_cast<int>(m_undo.size()))
        return false;
    do {
        const UndoRecord& rec = m_undo[static_cast<size_t>(m_undoPos++)];
        ApplyRecord(rec, false, caret);
    } while (m_undoPos < static_cast<int>(m_undo.size()) &&
             !(m_undo[static_cast<size_t>(m_undoPos)].flags & kUndoGroupStart));
    SetModified(m_undoPos != m_savedPos);
    return true;
}

bool CEdtTextBuffer::GetUndoDescription(std::u16string& text, int position) const
{
    text.clear();
    int pos = position == 0 ? m_undoPos : position;
    if (pos <= 0 || pos > static_cast<int>(m_undo.size()))
        return false;
    int i = pos - 1;
    while (i > 0 && !(m_undo[static_cast<size_t>(i)].flags & kUndoGroupStart))
        --i;
    return GetActionDescription(m_undo[static_cast<size_t>(i)].action, text);
}

bool CEdtTextBuffer::GetRedoDescription(std::u16string& text, int position) const
{
    text.clear();
    int pos = position == 0 ? m_undoPos : position;
    if (pos < 0 || pos >= static_cast<int>(m_undo.size()))
        return false;
    return GetActionDescription(m_undo[static_cast<size_t>(pos)].action, text);
}

// ---------------------------------------------------------------- descriptions

bool CEdtTextBuffer::GetActionDescription(int action, std::u16string& text) const
{
    text.clear();
    unsigned id = EDT_IDS_ACTION_UNKNOWN;
    if (action >= EDT_ACTION_PASTE && action <= EDT_ACTION_SPELL)
        id += static_cast<unsigned>(action);
    text = res::LoadText(id);
    return !text.empty();
}
