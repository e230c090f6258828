// The text view's find: the search engine, the find dialog, find next and
// previous, incremental search and the progress of long searches.

#include "editor/find/EdtFindController.h"

#include "editor/view/EdtCaretModel.h"
#include "editor/view/EdtLayoutCache.h"
#include "editor/view/EdtTextView.h"

#include "editor/dialogs/EdtFindDlg.h"
#include "editor/regexp/EdtLineScan.h"
#include "editor/parsers/EdtParser.h"
#include "editor/regexp/EdtRegExp.h"
#include "editor/settings/EdtRegistry.h"
#include "editor/dialogs/HistoryCombo.h"
#include "platform/ui/App.h"
#include "platform/ui/Beep.h"
#include "platform/ui/Command.h"
#include "platform/ui/Dialog.h"
#include "platform/ui/Prompt.h"
#include "platform/ui/StatusBar.h"
#include "res/CommandIds.h"
#include "res/StringTable.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>

#include <algorithm>
#include <climits>
#include <array>

namespace {

int g_progressDelay = 500;
// A block end at the end of its line, whatever the line's length.
constexpr int kLineEnd = INT_MAX;
bool g_incStatusShown = false;

bool Before(EdtPoint a, EdtPoint b)
{
    return a.line < b.line || (a.line == b.line && a.ch < b.ch);
}

// The number of "\n" sequences of an expression.
int CountLineFeeds(std::u16string_view expr)
{
    int n = 0;
    for (size_t i = 0; i + 1 < expr.size(); ++i) {
        if (expr[i] != u'\\')
            continue;
        if (expr[i + 1] == u'n')
            ++n;
        ++i;
    }
    return n;
}

void Fold(std::u16string& out, const char16_t* s, size_t n)
{
    out.resize(n);
    for (size_t i = 0; i < n; ++i)
        out[i] = QChar::toLower(s[i]);
}

// The wait cursor, set once a search has run for 100 ms.
class WaitCursorAfter
{
public:
    WaitCursorAfter() { m_timer.start(); }
    ~WaitCursorAfter()
    {
        if (m_set)
            QApplication::restoreOverrideCursor();
    }
    void Check()
    {
        if (!m_set && m_timer.elapsed() >= 100) {
            m_set = true;
            QApplication::setOverrideCursor(Qt::WaitCursor);
        }
    }

private:
    QElapsedTimer m_timer;
    bool m_set = false;
};

// The modal progress dialog of a long search.
class SearchProgress
{
public:
    SearchProgress(QWidget* owner, QString text) : m_owner(owner), m_text(std::move(text))
    {
        m_timer.start();
    }
    ~SearchProgress()
    {
        if (m_dialog) {
            m_dialog->hide();
            delete m_dialog.data();
        }
    }
    bool Step(int done, int total)
    {
        if (m_cancel)
            return false;
        if (!m_dialog) {
            if (m_shown)
                return false;  // the dialog went with its window
            if (m_timer.elapsed() < g_progressDelay)
                return true;
            m_dialog = new ui::Dialog(IDS_EDT_SEARCHING, m_owner ? m_owner->window() : nullptr);
            m_dialog->setObjectName(QStringLiteral("searchProgress"));
            if (auto* label = m_dialog->findChild<QLabel*>(QStringLiteral("c4580")))
                label->setText(m_text);
            QObject::connect(m_dialog, &QDialog::finished, [this] { m_cancel = true; });
            m_shown = true;
            m_dialog->setWindowModality(Qt::ApplicationModal);
            m_dialog->show();
            m_last.start();
            Update(done, total);
            return !m_cancel;
        }
        if (m_last.elapsed() >= 40) {
            m_last.restart();
            Update(done, total);
        }
        return !m_cancel;
    }

private:
    void Update(int done, int total)
    {
        if (!m_dialog)
            return;
        if (auto* bar = m_dialog->findChild<QProgressBar*>()) {
            bar->setRange(0, std::max(total, 1));
            bar->setValue(std::clamp(done, 0, std::max(total, 1)));
        }
        QApplication::processEvents();
    }

    QPointer<QWidget> m_owner;
    QString m_text;
    QElapsedTimer m_timer, m_last;
    QPointer<ui::Dialog> m_dialog;  // guarded: its window may go first
    bool m_cancel = false;
    bool m_shown = false;
};

} // namespace

namespace edt {
void SetSearchProgressDelay(int ms)
{
    g_progressDelay = ms;
}
} // namespace edt

EdtFindController::EdtFindController(CEdtTextView& view)
    : m_view(view), m_sel(view.Sel()), m_style(view.Style()), m_pos(view.ScrollPos()), m_find(std::make_unique<EdtFindState>())
{
}

EdtFindController::FindProgressFn EdtFindController::MakeFindProgress(std::u16string_view text)
{
    auto p = std::make_shared<SearchProgress>(
        &m_view, FormatResString(IDS_EDT_SEARCHING,
                                 QString::fromUtf16(text.data(), qsizetype(text.size()))));
    return [p](int done, int total) { return p->Step(done, total); };
}

int EdtFindController::GetLastMatchLength() const
{
    return m_find->lastMatchLength;
}

bool EdtFindController::LastFindCancelled() const
{
    return m_find->cancelled;
}

bool EdtFindController::GetLastRegExpMatch(std::u16string_view& text, const int*& groups) const
{
    if (!m_find->regexMatch)
        return false;
    text = m_find->matchedText;
    groups = m_find->groups.data();
    return true;
}

bool EdtFindController::GetLastSearch(std::u16string& text, uint32_t& flags) const
{
    if (!m_find->hasLast)
        return false;
    text = m_find->lastText;
    flags = m_find->lastFlags;
    return true;
}

void EdtFindController::SetLastSearch(std::u16string_view text, uint32_t flags)
{
    m_find->hasLast = true;
    m_find->lastText.assign(text);
    m_find->lastFlags = flags;
}

// ------------------------------------------------------------ the engine

bool EdtFindController::FindText(std::u16string_view text, EdtPoint start, uint32_t flags,
                                 bool wrap, EdtPoint& found, const FindProgressFn& progress)
{
    // The end of the last line without reading it: a jump to the last line
    // and back would cost two lookups in the line store for every search.
    return FindTextInBlock(text, start, {0, 0}, {kLineEnd, m_view.GetLineCount() - 1}, flags, wrap,
                           found, progress);
}

std::u16string_view EdtFindController::LineForSearch(int line) const
{
    if (m_view.GetTextBuffer() && line >= 0 && line < m_view.GetTextBuffer()->GetLineCount())
        return m_view.GetTextBuffer()->GetLineView(line);
    return {m_view.GetLineChars(line), size_t(m_view.GetLineLength(line))};
}

// One line (joined with the next ones for a multi-line expression): the
// first match at or after from (last: the last one that ends at or before
// limit, -1 no limit; an expression's last is that of searches restarted
// one position after each match's start).  pos and len in the searched
// text.
bool EdtFindController::MatchLine(int line, int from, int limit, bool last, int& pos, int& len)
{
    EdtFindState& f = *m_find;
    const uint32_t flags = f.flags;
    const std::u16string_view lineText = LineForSearch(line);
    const char16_t* chars = lineText.data();
    int n = int(lineText.size());
    if (flags & EDT_FIND_REGEXP) {
        if (f.regexJoin > 0) {
            f.joined.assign(chars, size_t(n));
            f.joinedLengths.assign(1, n);
            const int count = m_view.GetLineCount();
            for (int l = line + 1; l <= line + f.regexJoin && l < count; ++l) {
                const std::u16string_view next = LineForSearch(l);
                f.joined.push_back(u'\n');
                f.joined.append(next);
                f.joinedLengths.push_back(int(next.size()));
            }
            chars = f.joined.data();
            n = int(f.joined.size());
        }
        if (limit < 0 || limit > n)
            limit = n;
        const uint32_t rf = (flags & EDT_FIND_MATCH_CASE) ? REGEXP_CASE_SENSITIVE : 0;
        int groups[REGEXP_GROUP_ENTRIES];
        bool any = false;
        if (!last) {
            any = from <= n && RegExpSearch(f.regex, chars, n, from, groups, rf) &&
                  groups[REGEXP_MAX_GROUPS] <= limit;
        } else {
            // The last of the matches that searches restarted after each
            // match's start give, ending by limit; in one pass.
            any = RegExpSearchLast(f.regex, chars, n, from, limit, groups, rf);
        }
        if (any) {
            pos = groups[0];
            len = groups[REGEXP_MAX_GROUPS] - groups[0];
            std::copy(groups, groups + REGEXP_GROUP_ENTRIES, f.groups.begin());
        }
        if (any)
            f.text = chars;
        return any;
    }
    if (limit < 0 || limit > n)
        limit = n;
    std::u16string_view hay(chars, size_t(n));
    if (!(flags & EDT_FIND_MATCH_CASE)) {
        Fold(f.foldLine, chars, size_t(n));
        hay = f.foldLine;
    }
    const std::u16string_view needle = f.needle;
    const size_t m = needle.size();
    auto wordOk = [&](size_t p) {
        if (!(flags & EDT_FIND_WHOLE_WORD))
            return true;
        if (p > 0 && IsIdentifierChar(chars[p - 1]))
            return false;
        return !(p + m < size_t(n) && IsIdentifierChar(chars[p + m]));
    };
    if (!last) {
        size_t p = size_t(std::max(from, 0));
        while ((p = hay.find(needle, p)) != std::u16string_view::npos) {
            if (p + m > size_t(limit))
                return false;
            if (wordOk(p)) {
                pos = int(p);
                len = int(m);
                return true;
            }
            ++p;
        }
        return false;
    }
    if (size_t(limit) < m)
        return false;
    size_t p = size_t(limit) - m;
    while (true) {
        p = hay.rfind(needle, p);
        if (p == std::u16string_view::npos || int(p) < from)
            return false;
        if (wordOk(p)) {
            pos = int(p);
            len = int(m);
            return true;
        }
        if (p == 0)
            return false;
        --p;
    }
}

bool EdtFindController::FindTextInBlock(std::u16string_view text, EdtPoint start,
                                        EdtPoint blockStart, EdtPoint blockEnd, uint32_t flags,
                                        bool wrap, EdtPoint& found, const FindProgressFn& progress)
{
    EdtFindState& f = *m_find;
    f.cancelled = false;
    if (text.empty())
        return false;
    const int count = m_view.GetLineCount();
    auto clampPt = [&](EdtPoint p) {
        p.line = std::clamp(p.line, 0, count - 1);
        // kLineEnd: the line's end, whatever its length; a line start needs
        // no look at the line.
        if (p.ch <= 0)
            p.ch = 0;
        else if (p.ch != kLineEnd)
            p.ch = std::min(p.ch, m_view.GetLineLength(p.line));
        return p;
    };
    blockStart = clampPt(blockStart);
    blockEnd = clampPt(blockEnd);
    if (!Before(blockStart, blockEnd))
        return false;
    start = clampPt(start);
    if (Before(start, blockStart))
        start = blockStart;
    if (Before(blockEnd, start))
        start = blockEnd;

    f.flags = flags;
    if (flags & EDT_FIND_REGEXP) {
        int joined = 0;
        if (!SearchRegExp(text, joined))
            return false;
        f.flags &= ~EDT_FIND_WHOLE_WORD;
    } else if (!(flags & EDT_FIND_MATCH_CASE)) {
        Fold(f.foldText, text.data(), text.size());
        f.needle = f.foldText;
    } else {
        f.needle = text;
    }

    const bool up = (flags & EDT_FIND_UP) != 0;
    const int total = blockEnd.line - blockStart.line + 1;
    const uint64_t changes = m_view.GetTextBuffer() ? m_view.GetTextBuffer()->GetChangeCount() : 0;
    WaitCursorAfter wait;
    int done = 0;
    // Every 1,024 lines: the wait cursor, the progress and the check that
    // nothing changed the buffer meanwhile.
    auto tick = [&](int lines) -> bool {
        const int before = done;
        done += lines;
        if ((before >> 10) == (done >> 10))
            return true;
        wait.Check();
        if (progress) {
            const bool go = progress(done, total);
            if (!go || (m_view.GetTextBuffer() ? m_view.GetTextBuffer()->GetChangeCount() : 0) != changes ||
                !m_view.GetTextBuffer()) {
                f.cancelled = true;
                return false;
            }
        }
        return true;
    };
    // A single-line expression with literals: only the lines the scan of
    // the buffer's memory names are searched.
    edt::LineScan scan((flags & EDT_FIND_REGEXP) && f.regexJoin == 0 && m_view.GetTextBuffer()
                           ? &m_view.GetTextBuffer()->GetLineStore()
                           : nullptr,
                       f.regex, (flags & EDT_FIND_MATCH_CASE) ? REGEXP_CASE_SENSITIVE : 0);
    int pos = 0, len = 0, line = -1;
    for (int pass = 0; pass < (wrap ? 2 : 1) && line < 0; ++pass) {
        if (!up) {
            const EdtPoint from = pass == 0 ? start : blockStart;
            for (int l = from.line; l <= blockEnd.line; ++l) {
                if (scan.Active()) {
                    int passed = 0;
                    const int next =
                        scan.Next(l, l == from.line ? from.ch : 0, blockEnd.line, passed);
                    if (!tick(passed))
                        return false;
                    if (next < 0) {
                        l += passed - 1;
                        continue;
                    }
                    l = next;
                }
                if (!tick(1))
                    return false;
                const int begin = l == from.line ? from.ch : 0;
                // A match must end at or before the block end; a multi-line
                // match is checked below.
                const int limit =
                    (l == blockEnd.line && f.regexJoin == 0 && blockEnd.ch != kLineEnd) ? blockEnd.ch : -1;
                if (MatchLine(l, begin, limit, false, pos, len)) {
                    line = l;
                    break;
                }
            }
        } else {
            const EdtPoint from = pass == 0 ? start : blockEnd;
            for (int l = from.line; l >= blockStart.line; --l) {
                if (scan.Active()) {
                    int passed = 0;
                    const int prev =
                        scan.Previous(l, l == from.line && from.ch != kLineEnd ? from.ch : -1,
                                      blockStart.line, passed);
                    if (!tick(passed))
                        return false;
                    if (prev < 0) {
                        l -= passed - 1;
                        continue;
                    }
                    l = prev;
                }
                if (!tick(1))
                    return false;
                const int limit = l == from.line && from.ch != kLineEnd ? from.ch : -1;
                const int begin = l == blockStart.line ? blockStart.ch : 0;
                if (MatchLine(l, begin, limit, true, pos, len)) {
                    line = l;
                    break;
                }
            }
        }
    }
    if (line < 0)
        return false;
    // Back to (char, line): by the lengths of the joined lines.
    EdtPoint at{pos, line};
    if ((flags & EDT_FIND_REGEXP) && f.regexJoin > 0) {
        int rest = pos;
        size_t i = 0;
        while (i + 1 < f.joinedLengths.size() && rest > f.joinedLengths[i]) {
            rest -= f.joinedLengths[i] + 1;
            ++i;
        }
        at = {rest, line + int(i)};
        // The end of the match must lie inside the block too.
        int endRest = pos + len;
        size_t j = 0;
        while (j + 1 < f.joinedLengths.size() && endRest > f.joinedLengths[j]) {
            endRest -= f.joinedLengths[j] + 1;
            ++j;
        }
        if (Before(blockEnd, EdtPoint{endRest, line + int(j)}))
            return false;
    }
    f.lastMatchLength = len;
    f.regexMatch = (flags & EDT_FIND_REGEXP) != 0;
    if (f.regexMatch) {
        // The match alone (the substitution reads only the match and its
        // groups, which lie inside it), with the groups from its start.
        const int s = f.groups[0];
        f.matchedText.assign(f.text + s, size_t(len));
        for (int& g : f.groups)
            g -= g >= 0 ? s : 0;  // without branches: vector code
    }
    found = at;
    return true;
}

const RegExp* EdtFindController::SearchRegExp(std::u16string_view text, int& joinedLines)
{
    EdtFindState& f = *m_find;
    if (!f.regexTried || f.regexText != text) {
        RegExpFree(f.regex);
        f.regex = RegExpCompile(text);
        f.regexText.assign(text);
        f.regexTried = true;
        f.regexJoin = CountLineFeeds(text);
    }
    joinedLines = f.regexJoin;
    return f.regex;
}

bool EdtFindController::HighlightText(EdtPoint pt, int length, bool reverse)
{
    const int count = m_view.GetLineCount();
    pt.line = std::clamp(pt.line, 0, count - 1);
    // Each line is read once: its length serves the clamps and the end.
    int lineLength = int(LineForSearch(pt.line).size());
    pt.ch = std::clamp(pt.ch, 0, lineLength);
    EdtPoint end = pt;
    int rest = std::max(length, 0);
    while (rest > 0) {
        const int avail = lineLength - end.ch;
        if (rest <= avail) {
            end.ch += rest;
            break;
        }
        if (end.line + 1 >= count) {
            end.ch = lineLength;
            break;
        }
        rest -= avail + 1;  // the line end counts as one
        end = {0, end.line + 1};
        lineLength = int(LineForSearch(end.line).size());
    }
    m_sel.SetCursor(reverse ? pt : end);
    m_sel.SetAnchor(m_sel.Cursor());
    m_sel.SetIdealChar(-1);  // computed by the next vertical move
    m_view.Caret().SetSelectionInText(pt, end);  // both inside the text already
    const int top = m_pos.topSubLine, offset = m_pos.offsetChar;
    // A match off the screen comes into its upper third, so that the next
    // ones below it are in sight without a scroll each.
    const int lines = std::max(m_view.GetScreenLines(), 1);
    const int sub = m_view.GetSubLineIndex(m_sel.Cursor().line);
    if (!m_style.wordWrap && (sub < m_pos.topSubLine || sub >= m_pos.topSubLine + lines))
        m_view.ScrollToSubLine(
            std::clamp(sub - lines / 3, 0, std::max(m_view.GetSubLineCount() - 1, 0)));
    m_view.EnsureVisible(m_sel.Cursor());
    if (top == m_pos.topSubLine && offset == m_pos.offsetChar)
        m_view.Caret().UpdateCaret();  // a scroll has placed it already
    return true;
}

// ------------------------------------------------------------ commands

void EdtFindController::ShowNotFound(std::u16string_view text)
{
    ui::Prompt(FormatResString(IDS_EDT_NOT_FOUND, QString::fromUtf16(text.data(), qsizetype(text.size()))),
               {}, ui::MB_OK | ui::MB_ICONWARNING, &m_view);
}

void EdtFindController::MapFindCommands()
{
    m_view.MapCommand(ID_EDIT_FIND, [this] {
        m_sel.SetKeyboardSelection(false);
        OnEditFind();
    });
    m_view.MapUpdate(ID_EDIT_FIND, [](ui::CmdUI& cmd) { cmd.Enable(true); });
    auto canRepeat = [this](ui::CmdUI& cmd) {
        const QStringList h = CHistoryCombo::GetHistory(QStringLiteral("FindText"));
        cmd.Enable(m_find->hasLast || (!h.isEmpty() && !h.first().isEmpty()));
    };
    m_view.MapCommand(ID_EDIT_REPEAT, [this] {
        m_sel.SetKeyboardSelection(false);
        OnEditRepeat(false);
    });
    m_view.MapUpdate(ID_EDIT_REPEAT, canRepeat);
    m_view.MapCommand(ID_EDT_FIND_PREVIOUS, [this] {
        m_sel.SetKeyboardSelection(false);
        OnEditRepeat(true);
    });
    m_view.MapUpdate(ID_EDT_FIND_PREVIOUS, canRepeat);
    m_view.MapCommand(ID_EDT_INCREMENTAL_FORWARD, [this] {
        m_sel.SetKeyboardSelection(false);
        OnIncrementalSearch(false);
    });
    m_view.MapUpdate(ID_EDT_INCREMENTAL_FORWARD, [this](ui::CmdUI& cmd) {
        const int last = m_view.GetLineCount() - 1;
        cmd.Enable(m_view.GetTextBuffer() &&
                   !(m_sel.Cursor() == EdtPoint{m_view.GetLineLength(last), last}));
    });
    m_view.MapCommand(ID_EDT_INCREMENTAL_BACKWARD, [this] {
        m_sel.SetKeyboardSelection(false);
        OnIncrementalSearch(true);
    });
    m_view.MapUpdate(ID_EDT_INCREMENTAL_BACKWARD, [this](ui::CmdUI& cmd) {
        cmd.Enable(m_view.GetTextBuffer() && !(m_sel.Cursor() == EdtPoint{0, 0}));
    });
    // Backspace of a read-only view: only the incremental search's.
    m_view.MapCommand(ID_EDT_DELETE_BACK, [this] { OnIncrementalBackspace(); });
}

void EdtFindController::OnEditFind()
{
    EdtFindState& f = *m_find;
    uint32_t flags = 0;
    std::u16string text;
    if (f.hasLast) {
        flags = f.lastFlags;
        text = f.lastText;
    } else {
        EdtReg::LoadNumber(HKEY_CURRENT_USER, EDT_SETTINGS_KEY, u"FindFlags", flags);
    }
    m_sel.PrepareSelBounds();
    if (m_view.IsSelection()) {
        if (m_sel.DrawSelStart().line == m_sel.DrawSelEnd().line)
            text = m_view.GetText(m_sel.DrawSelStart(), m_sel.DrawSelEnd());
    } else {
        int s = 0, e = 0;
        edt::WordAround(m_view.Cache().Lines(), m_sel.Cursor(), s, e);
        if (s >= 0 && e > s)
            text = m_view.GetText({s, m_sel.Cursor().line}, {e, m_sel.Cursor().line});
    }
    // On the heap: the view (the dialog's parent) may go while it runs,
    // when the program is ended from outside.
    QPointer<CEdtTextView> self(&m_view);
    QPointer<CFindTextDlg> dlg = new CFindTextDlg(&m_view);
    dlg->m_text = QString::fromStdU16String(text);
    dlg->SetFlags(flags);
    dlg->m_current = m_sel.Cursor();
    dlg->DoModal();
    if (!self || !dlg)
        return;
    flags = dlg->Flags();
    SetLastSearch(dlg->m_text.toStdU16String(), flags);
    delete dlg;
    EdtReg::SaveNumber(HKEY_CURRENT_USER, EDT_SETTINGS_KEY, u"FindFlags", flags);
}

void EdtFindController::OnEditRepeat(bool previous)
{
    EdtFindState& f = *m_find;
    std::u16string text;
    uint32_t flags = 0;
    if (f.hasLast) {
        text = f.lastText;
        flags = f.lastFlags;
    } else {
        const QStringList h = CHistoryCombo::GetHistory(QStringLiteral("FindText"));
        if (!h.isEmpty())
            text = h.first().section(QChar(u'\n'), 0, 0).toStdU16String();
    }
    if (text.empty())
        return;
    if (previous)
        flags ^= EDT_FIND_UP;
    EdtPoint start = m_sel.Cursor();
    m_sel.PrepareSelBounds();
    if ((flags & EDT_FIND_UP) && m_view.IsSelection())
        start = m_sel.DrawSelStart();
    EdtPoint found;
    if (FindText(text, start, flags, true, found, MakeFindProgress(text))) {
        HighlightText(found, f.lastMatchLength, (flags & EDT_FIND_UP) != 0);
    } else if (!f.cancelled) {
        ShowNotFound(text);
    }
}

// ------------------------------------------------------------ incremental search

bool EdtFindController::IsIncrementalSearch() const
{
    return m_find->incForward || m_find->incBackward;
}

bool EdtFindController::IsIncrementalFound() const
{
    return m_find->incFound;
}

const std::u16string& EdtFindController::GetIncrementalText() const
{
    return m_find->incText;
}

void EdtFindController::OnIncrementalSearch(bool backward)
{
    EdtFindState& f = *m_find;
    if (!IsIncrementalSearch()) {
        if (!f.incText.empty())
            f.incPrevText = f.incText;
        f.incText.clear();
        m_sel.PrepareSelBounds();
        f.savedSelStart = m_sel.SelStart();
        f.savedSelEnd = m_sel.SelEnd();
        f.savedCaret = m_sel.Cursor();
        f.incPos = m_sel.Cursor();
        f.incForward = !backward;
        f.incBackward = backward;
        f.incFound = true;
        IncrementalStep(false);
        return;
    }
    if (backward == f.incBackward) {
        if (f.incText.empty())
            f.incText = f.incPrevText;
        IncrementalStep(true);
        return;
    }
    f.incForward = !backward;
    f.incBackward = backward;
    IncrementalStep(false);
}

void EdtFindController::IncrementalStep(bool next)
{
    EdtFindState& f = *m_find;
    if (f.incText.empty()) {
        m_sel.SetCursor(m_sel.Anchor() = f.incPos);
        m_view.SetSelection(f.incPos, f.incPos);
        m_view.EnsureVisible(m_sel.Cursor());
        m_view.Caret().UpdateCaret();
        return;
    }
    if (next) {
        m_sel.PrepareSelBounds();
        f.incPos = f.incForward ? m_sel.DrawSelEnd() : m_sel.DrawSelStart();
    }
    EdtPoint found;
    const uint32_t flags = f.incBackward ? EDT_FIND_UP : 0;
    if (FindText(f.incText, f.incPos, flags, true, found, MakeFindProgress(f.incText))) {
        f.incFound = true;
        HighlightText(found, f.lastMatchLength, false);
    } else {
        f.incFound = false;
        if (!f.cancelled)
            ui::MessageBeep();
    }
}

bool EdtFindController::OnIncrementalChar(char16_t c)
{
    if (!IsIncrementalSearch())
        return false;
    EdtFindState& f = *m_find;
    if (c == 27) {
        EndIncrementalSearch();
        m_sel.SetCursor(f.savedCaret);
        m_sel.SetAnchor(f.savedSelStart);
        m_view.SetSelection(f.savedSelStart, f.savedSelEnd);
        m_view.EnsureVisible(m_sel.Cursor());
        m_view.Caret().UpdateCaret();
        return true;
    }
    if (c == 13) {
        EndIncrementalSearch();
        return true;
    }
    if (c != u' ' && c != u'\t' && !QChar(c).isPrint()) {
        EndIncrementalSearch();
        return true;
    }
    if (!f.incFound) {
        ui::MessageBeep();
        return true;
    }
    f.incText.push_back(c);
    IncrementalStep(false);
    return true;
}

bool EdtFindController::OnIncrementalBackspace()
{
    if (!IsIncrementalSearch())
        return false;
    EdtFindState& f = *m_find;
    if (!f.incText.empty())
        f.incText.pop_back();
    IncrementalStep(false);
    return true;
}

void EdtFindController::EndIncrementalSearch()
{
    m_find->incForward = m_find->incBackward = false;
}

void EdtFindController::UpdateIncrementalStatus()
{
    auto* frame = qobject_cast<ui::MainFrameBase*>(m_view.window());
    ui::StatusBar* bar = frame ? frame->GetStatusBar() : nullptr;
    if (!bar)
        return;
    const EdtFindState& f = *m_find;
    if (IsIncrementalSearch()) {
        const QString t = QString::fromStdU16String(f.incText);
        uint32_t id = !f.incFound ? IDS_EDT_INCREMENTAL_FAILED
                      : f.incForward ? IDS_EDT_INCREMENTAL_FORWARD
                                     : IDS_EDT_INCREMENTAL_BACKWARD;
        bar->SetPaneText(0, FormatResString(id, t));
        g_incStatusShown = true;
    } else if (g_incStatusShown) {
        g_incStatusShown = false;
        bar->SetPaneText(0, bar->IdleText());
    }
}

// ------------------------------------------------------------ the view's functions that hand on to this part

bool CEdtTextView::FindText(std::u16string_view text, EdtPoint start, uint32_t flags, bool wrap,
                            EdtPoint& found, const FindProgressFn& progress)
{
    return m_finder->FindText(text, start, flags, wrap, found, progress);
}

bool CEdtTextView::FindTextInBlock(std::u16string_view text, EdtPoint start, EdtPoint blockStart,
                                   EdtPoint blockEnd, uint32_t flags, bool wrap, EdtPoint& found,
                                   const FindProgressFn& progress)
{
    return m_finder->FindTextInBlock(text, start, blockStart, blockEnd, flags, wrap, found,
                                     progress);
}

bool CEdtTextView::HighlightText(EdtPoint pt, int length, bool reverse)
{
    return m_finder->HighlightText(pt, length, reverse);
}

