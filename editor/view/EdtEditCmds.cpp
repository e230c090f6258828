// The edit view's text commands: case conversion, auto-complete,
// auto-expand, go to last change and the keyboard selection switch.

#include "editor/view/EdtEditView.h"

#include "editor/find/EdtFindController.h"
#include "editor/parsers/EdtParser.h"
#include "editor/view/EdtCaretModel.h"
#include "editor/view/EdtTextCase.h"
#include "platform/ui/Command.h"
#include "res/CommandIds.h"

void CEdtEditView::MapTextCommands()
{
    const struct
    {
        uint32_t id;
        int action;
    } cases[] = {{ID_EDT_LOWER_CASE, EDT_ACTION_LOWERCASE},
                 {ID_EDT_UPPER_CASE, EDT_ACTION_UPPERCASE},
                 {ID_EDT_SWAP_CASE, EDT_ACTION_SWAPCASE},
                 {ID_EDT_CAPITALIZE, EDT_ACTION_CAPITALIZE},
                 {ID_EDT_SENTENCE_CASE, EDT_ACTION_SENTENCECASE}};
    for (const auto& c : cases) {
        const int action = c.action;
        Cmd(c.id, [this, action] { OnEditChangeCase(action); });
        MapUpdate(c.id, [this](ui::CmdUI& cmd) { cmd.Enable(IsSelection() && QueryEditable()); });
    }
    Cmd(ID_EDT_AUTO_COMPLETE, [this] { OnEditAutoComplete(); });
    MapUpdate(ID_EDT_AUTO_COMPLETE, [this](ui::CmdUI& cmd) {
        int start = 0;
        cmd.Enable(QueryEditable() && !PrefixBeforeCaret(start).empty());
    });
    Cmd(ID_EDT_AUTO_EXPAND, [this] { OnEditAutoExpand(); });
    MapUpdate(ID_EDT_AUTO_EXPAND, [this](ui::CmdUI& cmd) {
        int start = 0;
        cmd.Enable(QueryEditable() && !m_expand.empty() && !PrefixBeforeCaret(start).empty());
    });
    Cmd(ID_EDT_GOTO_LAST_CHANGE, [this] { OnEditGotoLastChange(); });
    MapUpdate(ID_EDT_GOTO_LAST_CHANGE, [this](ui::CmdUI& cmd) {
        const EdtPoint p = m_buffer ? m_buffer->GetLastChangePos() : EdtPoint{-1, -1};
        cmd.Enable(p.ch >= 0 && p.line >= 0);
    });
    MapCommand(ID_EDT_TOGGLE_KEYBOARD_SELECTION,
               [this] { Sel().SetKeyboardSelection(!Sel().KeyboardSelection()); });
    MapUpdate(ID_EDT_TOGGLE_KEYBOARD_SELECTION, [this](ui::CmdUI& cmd) {
        cmd.Enable(true);
        cmd.SetCheck(Sel().KeyboardSelection() ? 1 : 0);
    });
    Cmd(ID_EDT_CHANGE_CODEPAGE, [this] { OnEditChangeCodePage(); }, true);
    MapUpdate(ID_EDT_CHANGE_CODEPAGE, [this](ui::CmdUI& cmd) { cmd.Enable(IsSelection() && QueryEditable()); });
    Cmd(ID_TOOLS_SPELLING, [this] { OnToolsSpelling(); }, true);
    EnableIfEditable(ID_TOOLS_SPELLING);
    Cmd(ID_EDIT_REPLACE, [this] { OnEditReplace(); });
    EnableIfEditable(ID_EDIT_REPLACE);
}

void CEdtEditView::OnEditChangeCase(int action)
{
    if (!QueryEditable() || !IsSelection())
        return;
    Sel().PrepareSelBounds();
    const EdtPoint a = Sel().DrawSelStart(), b = Sel().DrawSelEnd();
    const std::u16string text = GetText(a, b);
    std::u16string out;
    switch (action) {
    case EDT_ACTION_LOWERCASE: out = edt::ToLowerText(text); break;
    case EDT_ACTION_UPPERCASE: out = edt::ToUpperText(text); break;
    case EDT_ACTION_SWAPCASE: out = edt::SwapCaseText(text); break;
    case EDT_ACTION_CAPITALIZE: out = edt::CapitalizeText(text); break;
    default: out = edt::SentenceCaseText(text); break;
    }
    m_buffer->BeginUndoGroup();
    int el = 0, ec = 0;
    if (m_buffer->DeleteText(this, a.line, a.ch, b.line, b.ch, action) &&
        m_buffer->InsertText(this, a.line, a.ch, out, el, ec, action)) {
        Sel().SetAnchor(a);
        Sel().SetCursor({ec, el});
        SetSelection(a, Sel().Cursor());
        EnsureVisible(Sel().Cursor());
        Caret().UpdateCaret();
    }
    m_buffer->FlushUndoGroup(this);
}

std::u16string CEdtEditView::PrefixBeforeCaret(int& start)
{
    // Nothing on the first line, nor at a line start.
    const EdtPoint c = Sel().Cursor();
    if (c.ch <= 0 || c.line <= 0 || c.line >= GetLineCount())
        return {};
    const char16_t* s = GetLineChars(c.line);
    const int n = GetLineLength(c.line);
    if (c.ch > n || (c.ch < n && IsIdentifierChar(s[c.ch])) || !IsIdentifierChar(s[c.ch - 1]))
        return {};
    start = c.ch;
    while (start > 0 && IsIdentifierChar(s[start - 1]))
        --start;
    return std::u16string(s + start, size_t(c.ch - start));
}

void CEdtEditView::OnEditAutoComplete()
{
    if (!QueryEditable())
        return;
    int start = 0;
    const std::u16string prefix = PrefixBeforeCaret(start);
    if (prefix.empty())
        return;
    // Word start, then the prefix (identifier characters are literals).
    const std::u16string expr = u"<" + prefix;
    const EdtPoint caret = Sel().Cursor();
    EdtPoint found;
    const auto progress = Finder().MakeFindProgress(prefix);
    bool ok = FindText(expr, {start, caret.line}, EDT_FIND_REGEXP | EDT_FIND_MATCH_CASE | EDT_FIND_UP,
                       false, found, progress);
    if (!ok && !Finder().LastFindCancelled())
        ok = FindText(expr, caret, EDT_FIND_REGEXP | EDT_FIND_MATCH_CASE, false, found, progress);
    if (!ok)
        return;
    const char16_t* s = GetLineChars(found.line);
    const int n = GetLineLength(found.line);
    int e = found.ch + int(prefix.size());
    const int from = e;
    while (e < n && IsIdentifierChar(s[e]))
        ++e;
    if (e == from)
        return;
    const std::u16string completion(s + from, size_t(e - from));
    m_buffer->BeginUndoGroup();
    InsertAtCaret(completion, EDT_ACTION_AUTOCOMPLETE);
    m_buffer->FlushUndoGroup(this);
}

void CEdtEditView::OnEditAutoExpand()
{
    if (!QueryEditable())
        return;
    int start = 0;
    const std::u16string abbrev = PrefixBeforeCaret(start);
    if (abbrev.empty())
        return;
    const auto it = m_expand.find(abbrev);
    if (it == m_expand.end() || it->second.empty())
        return;
    const std::u16string expansion = it->second;
    const int act = EDT_ACTION_AUTOEXPAND;
    m_buffer->BeginUndoGroup();
    const EdtPoint c = Sel().Cursor();
    if (m_buffer->DeleteText(this, c.line, start, c.line, c.ch, act))
        PlaceCaret({start, c.line});
    size_t i = 0;
    while (i < expansion.size()) {
        const size_t bs = expansion.find(u'\\', i);
        const size_t stop = bs == std::u16string::npos ? expansion.size() : bs;
        if (stop > i)
            InsertAtCaret(std::u16string_view(expansion).substr(i, stop - i), act);
        if (bs == std::u16string::npos)
            break;
        if (bs + 1 >= expansion.size())
            break;  // a final lone backslash
        const char16_t step = expansion[bs + 1];
        i = bs + 2;
        EdtPoint p = Sel().Cursor();
        switch (step) {
        case u'b':
            if (p.ch > 0) {
                if (m_buffer->DeleteText(this, p.line, p.ch - 1, p.line, p.ch, act))
                    PlaceCaret({p.ch - 1, p.line});
            } else if (p.line > 0 && !m_disableBSAtSOL) {
                const EdtPoint to{GetLineLength(p.line - 1), p.line - 1};
                if (m_buffer->DeleteText(this, to.line, to.ch, p.line, p.ch, act))
                    PlaceCaret(to);
            }
            break;
        case u'e':
            if (p.ch < GetLineLength(p.line))
                m_buffer->DeleteText(this, p.line, p.ch, p.line, p.ch + 1, act);
            else if (p.line + 1 < GetLineCount())
                m_buffer->DeleteText(this, p.line, p.ch, p.line + 1, 0, act);
            break;
        case u'n':
            if (InsertAtCaret(u"\r\n", act) && m_autoIndent && !m_overwrite)
                AutoIndentAfterBreak();
            break;
        case u't':
            InsertAtCaret(IndentUnit(Caret().CalculateActualOffset(p.line, p.ch)), act);
            break;
        case u'l': Caret().OnCaretCommand(ID_EDT_CARET_LEFT); break;
        case u'r': Caret().OnCaretCommand(ID_EDT_CARET_RIGHT); break;
        case u'u': Caret().OnCaretCommand(ID_EDT_CARET_UP); break;
        case u'd': Caret().OnCaretCommand(ID_EDT_CARET_DOWN); break;
        case u'h': PlaceCaret({0, p.line}); break;
        case u'f': PlaceCaret({GetLineLength(p.line), p.line}); break;
        default: break;  // other letters are passed over
        }
    }
    m_buffer->FlushUndoGroup(this);
}

void CEdtEditView::OnEditGotoLastChange()
{
    if (!m_buffer)
        return;
    const EdtPoint p = m_buffer->GetLastChangePos();
    if (p.ch < 0 || p.line < 0 || p.line >= GetLineCount())
        return;
    PlaceCaret({std::min(p.ch, GetLineLength(p.line)), p.line});
}
