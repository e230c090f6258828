// Replace all in one pass: each line with matches is read once and its new
// text built once; the changed lines go into the buffer in batches that
// form one undo record.  The result is the one of the match-by-match path
// (EdtReplace.cpp): every search sees the line as that path would see it
// after the replacements before it, and the views' points move through the
// same steps.  Where that path's next search would start at the block end
// (a match ending there, an empty match on the block's last line) the steps
// take over, as they alone decide what happens there.

#include "editor/view/EdtEditView.h"
#include "editor/find/EdtFindController.h"
#include "editor/parsers/EdtParser.h"
#include "editor/regexp/EdtRegExp.h"
#include "editor/find/EdtReplaceTesting.h"
#include "platform/ui/Beep.h"

#include <QChar>

#include <algorithm>
#include <chrono>
#include <climits>
#include <string>
#include <vector>

namespace {

bool g_stepwise = false;
constexpr int kLineEnd = INT_MAX;
// Pending spans before the changed lines go into the buffer.
constexpr size_t kBatchEdits = size_t(1) << 16;
// The progress callback runs at most this often (it updates its dialog
// every 40 ms and may let other code run).
constexpr auto kProgressEvery = std::chrono::milliseconds(25);

bool Before(EdtPoint a, EdtPoint b)
{
    return a.line < b.line || (a.line == b.line && a.ch < b.ch);
}

// Whether an expression can look before its start position: "^" (the text's
// start) and the word assertions "<" ">" (the character before).  Escaped
// characters and classes are skipped; a doubt answers yes.
bool LooksBehind(std::u16string_view expr)
{
    for (size_t i = 0; i < expr.size(); ++i) {
        const char16_t c = expr[i];
        if (c == u'\\') {
            ++i;
        } else if (c == u'[') {
            ++i;
            if (i < expr.size() && expr[i] == u'^')
                ++i;
            while (i < expr.size() && expr[i] != u']')
                i += expr[i] == u'\\' ? 2 : 1;
        } else if (c == u'^' || c == u'<' || c == u'>') {
            return true;
        }
    }
    return false;
}

} // namespace

namespace edt {
void SetReplaceAllStepwise(bool on)
{
    g_stepwise = on;
}
bool ReplaceAllStepwise()
{
    return g_stepwise;
}
} // namespace edt

void CEdtEditView::ReplaceAllOnePass(std::u16string_view text, std::u16string_view replacement,
                                     uint32_t flags, const FindProgressFn& progress, int total,
                                     EdtPoint pos, ReplaceAllOutcome& out)
{
    ReplaceState& r = m_replace;
    const bool regex = (flags & EDT_FIND_REGEXP) != 0;
    const bool matchCase = (flags & EDT_FIND_MATCH_CASE) != 0;
    const bool wholeWord = !regex && (flags & EDT_FIND_WHOLE_WORD) != 0;
    const RegExp* re = nullptr;
    bool behind = false;
    if (regex) {
        int joined = 0;
        re = Finder().SearchRegExp(text, joined);
        if (!re)
            return;  // finds nothing
        if (joined > 0)  // matches over several lines
            return ReplaceAllSteps(text, replacement, flags, progress, total, 0, pos, out);
        behind = LooksBehind(text);
    }
    const uint32_t rf = matchCase ? REGEXP_CASE_SENSITIVE : 0;
    std::u16string needle(text);
    if (!regex && !matchCase)
        for (char16_t& c : needle)
            c = QChar::toLower(c);
    const size_t m = needle.size();

    // The batch not yet in the buffer.
    std::vector<CEdtTextBuffer::LineRewrite> rewrites;
    RewriteContext ctx;
    int pendingAdded = 0;
    bool anyInBuffer = false;   // a batch went in: later ones join its record
    EdtPoint undoCaret;         // the first match's end: the caret after Undo
    bool haveUndoCaret = false;
    EdtPoint lastEnd;           // the last replacement's end, in the text with the batch in
    EdtPoint lastChangeEnd;     // the same of the last one that changed the text
    bool partReplaced = false;
    std::u16string lastText;    // the last replacement that changed the text
    size_t lastRepLength = 0;   // the length of the last one
    // Per line.
    std::u16string cur, built, fold, scratch;
    std::vector<edt::LineText> done;
    int groups[REGEXP_GROUP_ENTRIES];
    auto lastTick = std::chrono::steady_clock::now();
    size_t sinceCheck = 0;

    int cl = 0, endLine = 0;  // in the buffer as it is (the batch not in)
    // Puts the batch into the buffer; false when the buffer refused it.
    auto flush = [&]() -> bool {
        if (rewrites.empty())
            return true;
        const bool ok = m_buffer->RewriteLines(this, std::move(rewrites), ctx, undoCaret, lastChangeEnd,
                                               EDT_ACTION_REPLACE, lastText);
        rewrites.clear();
        ctx = RewriteContext{};
        cl += pendingAdded;
        endLine += pendingAdded;
        pendingAdded = 0;
        anyInBuffer = anyInBuffer || ok;
        return ok;
    };
    // The caret after the last replacement, as each replacement leaves it.
    auto placeCaret = [&] {
        if (!partReplaced)
            return;
        m_replacementLength = int(lastRepLength);
        PlaceCaret(lastEnd);
    };
    // The progress at most every kProgressEvery: false to stop (Storno, or
    // the buffer changed while it ran).  The batch goes in first, so that
    // whatever runs meanwhile sees the text as it is.
    auto check = [&](int line) -> bool {
        const auto now = std::chrono::steady_clock::now();
        if (now - lastTick < kProgressEvery)
            return true;
        lastTick = now;
        if (!flush())
            return false;
        const uint64_t mine = m_buffer->GetChangeCount();
        return progress(line, total) && m_buffer->GetChangeCount() == mine;
    };

    for (int part = 0; part < (r.scope == 1 ? 2 : 1); ++part) {
        if (part == 1)
            pos = {0, 0};
        partReplaced = false;
        const int count = GetLineCount();
        auto clampPt = [&](EdtPoint p) {
            p.line = std::clamp(p.line, 0, count - 1);
            if (p.ch <= 0)
                p.ch = 0;
            else if (p.ch != kLineEnd)
                p.ch = std::min(p.ch, GetLineLength(p.line));
            return p;
        };
        const EdtPoint bs = clampPt(r.scope == 1 ? EdtPoint{0, 0} : r.blockBegin);
        const EdtPoint be = clampPt(r.scope == 0 ? r.blockEnd
                                    : part == 0  ? EdtPoint{kLineEnd, count - 1}
                                                 : m_replaceLimit);
        if (!Before(bs, be))
            continue;
        EdtPoint start = clampPt(pos);
        if (Before(start, bs))
            start = bs;
        if (Before(be, start))
            return ReplaceAllSteps(text, replacement, flags, progress, total, part, pos, out);
        endLine = be.line;
        const int limitCh = be.ch == kLineEnd ? -1 : be.ch;
        bool partEnds = false;
        int lineTick = 0;
        for (cl = start.line; cl <= endLine && !partEnds; ++cl) {
            if ((++lineTick & 1023) == 0 && !check(cl)) {
                flush();
                placeCaret();
                out.stop = true;
                return;
            }
            const int from = lineTick == 1 ? start.ch : 0;
            const std::u16string_view o = m_buffer->GetLineView(cl);
            const int n = int(o.size());
            const int limit = cl == endLine && limitCh >= 0 ? limitCh : n;
            bool edited = false;
            bool folded = false;
            bool scratchMade = false;
            int lineReplaced = 0;
            bool lineChanged = false;
            int copied = 0;  // o[0 .. copied) is in cur and done
            int e = from;    // the next search starts here in o
            cur.clear();
            done.clear();
            const size_t firstEdit = ctx.edits.size();
            // The finished line (the lines it broke into, then cur) queued as
            // one rewrite with its record.
            auto queueRewrite = [&] {
                CEdtTextBuffer::LineRewrite rw;
                rw.line = cl;
                RewriteContext::Line cline;
                cline.line = cl;
                cline.added = int(done.size());
                cline.firstEdit = firstEdit;
                cline.edits = ctx.edits.size() - firstEdit;
                ctx.lines.push_back(cline);
                if (done.empty()) {
                    rw.first = edt::LineText(cur);
                } else {
                    rw.first = std::move(done[0]);
                    for (size_t i = 1; i < done.size(); ++i)
                        rw.more.push_back(std::move(done[i]));
                    rw.more.push_back(edt::LineText(cur));
                }
                pendingAdded += int(done.size());
                rewrites.push_back(std::move(rw));
            };
            // The line as it stands: cur + o[e..n), the search from cur's end.
            while (true) {
                int s = 0, me = 0;
                if (regex) {
                    const char16_t* base = o.data();
                    int len = n, at = e, off = 0;
                    if (edited && behind) {
                        if (cur.empty()) {
                            base = o.data() + e;
                            len = n - e;
                            at = 0;
                            off = e;
                        } else if (cur.back() != o[size_t(e) - 1]) {
                            // The character before the start is the replacement's.
                            if (!scratchMade) {
                                scratch.assign(o);
                                scratchMade = true;
                            }
                            scratch[size_t(e) - 1] = cur.back();
                            base = scratch.data() + e - 1;
                            len = n - e + 1;
                            at = 1;
                            off = e - 1;
                        }
                    }
                    const bool found = e <= n && RegExpSearch(re, base, len, at, groups, rf);
                    if (base != o.data() && scratchMade)
                        scratch[size_t(e) - 1] = o[size_t(e) - 1];
                    if (!found)
                        break;
                    for (int& g : groups)
                        if (g >= 0)
                            g += off;
                    s = groups[0];
                    me = groups[REGEXP_MAX_GROUPS];
                    if (me > limit)
                        break;
                } else {
                    std::u16string_view hay = o;
                    if (!matchCase) {
                        if (!folded) {
                            fold.resize(size_t(n));
                            for (int i = 0; i < n; ++i)
                                fold[size_t(i)] = QChar::toLower(o[size_t(i)]);
                            folded = true;
                        }
                        hay = fold;
                    }
                    size_t p = size_t(e);
                    bool found = false;
                    while ((p = hay.find(needle, p)) != std::u16string_view::npos) {
                        if (p + m > size_t(limit))
                            break;
                        if (wholeWord) {
                            // The character before: the replacement's at the start.
                            const bool atStart = edited && p == size_t(e);
                            const bool hasPrev = atStart ? !cur.empty() : p > 0;
                            const char16_t prev = !hasPrev ? 0 : atStart ? cur.back() : o[p - 1];
                            if ((hasPrev && IsIdentifierChar(prev)) ||
                                (p + m < size_t(n) && IsIdentifierChar(o[p + m]))) {
                                ++p;
                                continue;
                            }
                        }
                        found = true;
                        break;
                    }
                    if (!found)
                        break;
                    s = int(p);
                    me = int(p + m);
                }
                // The replacement text.
                if (regex) {
                    std::u16string raw;
                    if (RegExpSubstitute(replacement, o.data(), n, groups, raw) < 0) {
                        // The line so far goes in; the match stays selected.
                        cur.append(o.substr(size_t(copied)));
                        const int at = int(cur.size()) - (n - s);
                        const int tail = cl + pendingAdded + int(done.size());
                        if (edited && lineChanged) {
                            queueRewrite();
                        }
                        flush();
                        placeCaret();
                        HighlightText({at, tail}, me - s, false);
                        ui::MessageBeep();
                        out.stop = out.failed = true;
                        return;
                    }
                    // The searched text joins lines by LF; the buffer splits at CR.
                    built.clear();
                    for (char16_t c : raw) {
                        if (c == u'\n' && (built.empty() || built.back() != u'\r'))
                            built += u"\r\n";
                        else
                            built.push_back(c);
                    }
                }
                const std::u16string_view rep = regex ? std::u16string_view(built) : replacement;
                // An empty match replaced by nothing changes nothing (and
                // makes no undo record).
                const bool change = s < me || !rep.empty();
                if (change && !haveUndoCaret && !anyInBuffer) {
                    undoCaret = {me, cl};
                    haveUndoCaret = true;
                }
                lineChanged = lineChanged || change;
                edited = true;
                cur.append(o.substr(size_t(copied), size_t(s - copied)));
                RewriteContext::Edit ed;
                ed.begin = s;
                ed.end = me;
                ed.newBegin = {int(cur.size()), int(done.size())};
                // Lines split at each CR, a CR LF counting as one.
                for (size_t i = 0; i < rep.size(); ++i) {
                    if (rep[i] != u'\r') {
                        cur.push_back(rep[i]);
                        continue;
                    }
                    done.push_back(edt::LineText(cur));
                    cur.clear();
                    if (i + 1 < rep.size() && rep[i + 1] == u'\n')
                        ++i;
                }
                ed.newEnd = {int(cur.size()), int(done.size())};
                ctx.edits.push_back(ed);
                copied = me;
                ++out.replaced;
                ++lineReplaced;
                lastRepLength = rep.size();
                partReplaced = true;
                lastEnd = {ed.newEnd.ch, cl + pendingAdded + ed.newEnd.line};
                if (change) {
                    lastText.assign(rep);
                    lastChangeEnd = lastEnd;
                }
                if (limitCh >= 0 && cl == endLine && me == limitCh) {
                    // A match reaching the block end ends the block.
                    partEnds = true;
                    break;
                }
                if (s == me) {
                    // After an empty match: the next line; none after the
                    // text's or the block's last line.
                    if (cl + 1 >= m_buffer->GetLineCount() || (cl == endLine && limitCh >= 0))
                        partEnds = true;
                    break;
                }
                e = me;
                if ((++sinceCheck & 255) == 0) {
                    // Within a long line: the line so far waits outside the
                    // buffer; on a stop it goes in as it stands.
                    const auto now = std::chrono::steady_clock::now();
                    if (now - lastTick >= kProgressEvery) {
                        lastTick = now;
                        const bool ok = flush();
                        const std::u16string_view again = m_buffer->GetLineView(cl);
                        const uint64_t mine = m_buffer->GetChangeCount();
                        const bool go = ok && progress(cl, total);
                        if (!go || m_buffer->GetChangeCount() != mine) {
                            // Storno: the line so far goes in as it stands;
                            // a change by others: it is dropped.
                            if (!ok || m_buffer->GetChangeCount() != mine ||
                                again.data() != o.data() || again.size() != o.size()) {
                                edited = false;
                                out.replaced -= lineReplaced;
                                partReplaced = false;
                            }
                            out.stop = true;
                            break;
                        }
                    }
                }
            }
            if (edited && lineChanged) {
                cur.append(o.substr(size_t(copied)));
                queueRewrite();
                if (ctx.edits.size() >= kBatchEdits && !flush()) {
                    out.stop = true;
                    return;
                }
            } else {
                ctx.edits.resize(firstEdit);
            }
            if (out.stop) {
                flush();
                placeCaret();
                return;
            }
        }
        if (!flush()) {
            out.stop = true;
            return;
        }
        placeCaret();
    }
}
