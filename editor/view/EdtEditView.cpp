// The edit view: state, typing, editing commands, automatic indentation,
// clipboard, undo and redo, drag and drop.

#include "editor/view/EdtEditView.h"

#include "editor/find/EdtFindController.h"
#include "editor/view/EdtCaretModel.h"
#include "editor/view/EdtLayoutCache.h"
#include "editor/view/EdtMouseController.h"
#include "editor/parsers/EdtParser.h"
#include "editor/settings/EdtRegistry.h"
#include "editor/view/EdtViewRenderer.h"
#include "editor/view/EdtViewScroller.h"
#include "platform/ui/Accel.h"
#include "platform/ui/Command.h"
#include "platform/ui/Menu.h"
#include "res/StringTable.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>

#include <algorithm>

namespace {

bool Before(EdtPoint a, EdtPoint b)
{
    return a.line < b.line || (a.line == b.line && a.ch < b.ch);
}

bool IsOpening(char16_t c)
{
    return c == u'{' || c == u'(' || c == u'[' || c == u'<';
}

bool IsClosing(char16_t c)
{
    return c == u'}' || c == u']' || c == u'>';
}

bool IsBlank(char16_t c)
{
    return QChar::isSpace(c);
}

// CR LF, lone CR and lone LF all become CR LF.
std::u16string ToCRLF(const QString& s)
{
    std::u16string out;
    out.reserve(size_t(s.size()));
    for (qsizetype i = 0; i < s.size(); ++i) {
        const char16_t c = s[i].unicode();
        if (c == u'\r') {
            if (i + 1 < s.size() && s[i + 1] == u'\n')
                ++i;
            out += u"\r\n";
        } else if (c == u'\n') {
            out += u"\r\n";
        } else {
            out.push_back(c);
        }
    }
    return out;
}

// Selects the lines first..last whole (up to the start of the next line, or
// the text's end), as block indent and unindent leave them.
void SelectWholeLines(CEdtEditView& view, int first, int last)
{
    const int count = view.GetLineCount();
    const EdtPoint end = last + 1 < count ? EdtPoint{0, last + 1}
                                          : EdtPoint{view.GetLineLength(count - 1), count - 1};
    view.Sel().SetAnchor({0, first});
    view.Sel().SetCursor(end);
    view.SetSelection({0, first}, end);
    view.EnsureVisible(end);
    view.Caret().UpdateCaret();
}

} // namespace

CEdtEditView::CEdtEditView(QWidget* parent) : CEdtTextView(parent)
{
    setAcceptDrops(true);
    m_dropTarget = std::make_unique<CEditDropTarget>(this);
    MapEditCommands();
    MapTextCommands();
}

CEdtEditView::~CEdtEditView() = default;

bool CEdtEditView::QueryEditable()
{
    return m_buffer && !m_buffer->GetReadOnly();
}

bool CEdtEditView::SetTextType(const TextTypeDef* type)
{
    if (!type)
        return false;
    m_insertTabs = (type->flags & 0x1) != 0;
    m_autoIndent = (type->flags & 0x10) != 0;
    m_disableBSAtSOL = (type->flags & 0x4) == 0;
    m_expand.clear();
    CRegistryKey key;
    if (key.Open(HKEY_CURRENT_USER,
                 std::u16string(EDT_SETTINGS_KEY) + u"\\" + type->name + u"\\Expand")) {
        std::u16string name, text;
        uint32_t kind = 0;
        for (bool ok = key.EnumFirstValue(name, &kind, &text); ok;
             ok = key.EnumNextValue(name, &kind, &text))
            if (kind == REG_SZ || kind == REG_EXPAND_SZ)
                m_expand[name] = text;
    }
    return CEdtTextView::SetTextType(type);
}

void CEdtEditView::ResetView()
{
    m_overwrite = false;
    m_replaceFlagsRemembered = false;
    CEdtTextView::ResetView();
}

void CEdtEditView::UpdateView(IEdtBufferListener* source, const UpdateContext* context,
                              uint32_t flags, int line)
{
    CEdtTextView::UpdateView(source, context, flags, line);
    if (!context)
        return;
    if (m_savedSelValid) {
        context->RecalcPoint(m_savedSel[0]);
        context->RecalcPoint(m_savedSel[1]);
    }
    if (m_replaceTracked) {
        context->RecalcPoint(m_replace.start);
        context->RecalcPoint(m_replace.blockBegin);
        context->RecalcPoint(m_replace.blockEnd);
        context->RecalcPoint(m_replaceLimit);
    }
}

// ------------------------------------------------------------ helpers

void CEdtEditView::PlaceCaret(EdtPoint pt)
{
    Sel().SetCursor(pt);
    Sel().SetAnchor(pt);
    SetSelection(pt, pt);
    Sel().SetIdealChar(-1);  // computed by the next vertical move
    EnsureVisible(pt);
    Caret().UpdateCaret();
}

bool CEdtEditView::DeleteSelection(int action)
{
    if (!IsSelection())
        return false;
    Sel().PrepareSelBounds();
    const EdtPoint a = Sel().DrawSelStart(), b = Sel().DrawSelEnd();
    if (!m_buffer->DeleteText(this, a.line, a.ch, b.line, b.ch, action))
        return false;
    PlaceCaret(a);
    return true;
}

bool CEdtEditView::InsertAtCaret(std::u16string_view text, int action)
{
    int el = 0, ec = 0;
    if (!m_buffer->InsertText(this, Sel().Cursor().line, Sel().Cursor().ch, text, el, ec, action))
        return false;
    PlaceCaret({ec, el});
    return true;
}

std::u16string CEdtEditView::IndentUnit(int column)
{
    if (m_insertTabs)
        return u"\t";
    const int t = std::max(GetTabSize(), 1);
    return std::u16string(size_t(t - column % t), u' ');
}

bool CEdtEditView::BlockLines(int& first, int& last)
{
    Sel().PrepareSelBounds();
    if (!IsSelection() || Sel().DrawSelStart().line == Sel().DrawSelEnd().line)
        return false;
    first = Sel().DrawSelStart().line;
    last = Sel().DrawSelEnd().line;
    if (Sel().DrawSelEnd().ch == 0)
        --last;
    return true;
}

void CEdtEditView::Cmd(uint32_t id, std::function<void()> fn, bool keepKeyboardSelection)
{
    MapCommand(id, [this, fn = std::move(fn), keepKeyboardSelection] {
        if (!keepKeyboardSelection)
            Sel().SetKeyboardSelection(false);
        fn();
    });
}

void CEdtEditView::EnableIfEditable(uint32_t id)
{
    MapUpdate(id, [this](ui::CmdUI& cmd) { cmd.Enable(QueryEditable()); });
}

// ------------------------------------------------------------ commands

void CEdtEditView::MapEditCommands()
{
    Cmd(ID_EDT_DELETE, [this] { OnEditDelete(); });
    Cmd(ID_EDT_DELETE_BACK, [this] { OnEditDeleteBack(); });
    Cmd(ID_EDT_DELETE_WORD_BACK, [this] { OnEditDeleteWordBack(); });
    Cmd(ID_EDT_DELETE_WORD, [this] { OnEditDeleteWord(); });
    Cmd(ID_EDT_TAB, [this] { OnEditTab(); });
    Cmd(ID_EDT_UNTAB, [this] { OnEditUntab(); });
    Cmd(ID_EDT_TOGGLE_OVERWRITE, [this] { OnEditToggleOverwrite(); }, true);
    for (uint32_t id : {ID_EDT_DELETE, ID_EDT_DELETE_WORD_BACK, ID_EDT_DELETE_WORD, ID_EDT_TAB,
                        ID_EDT_UNTAB})
        EnableIfEditable(id);
    MapUpdate(ID_EDT_DELETE_BACK, [this](ui::CmdUI& cmd) {
        cmd.Enable(QueryEditable() || Finder().IsIncrementalSearch());
    });
    MapUpdate(ID_EDT_TOGGLE_OVERWRITE, [this](ui::CmdUI& cmd) {
        cmd.Enable(true);
        cmd.SetCheck(m_overwrite ? 1 : 0);
    });
    Cmd(ID_EDIT_CUT, [this] { OnEditCut(); });
    MapUpdate(ID_EDIT_CUT, [this](ui::CmdUI& cmd) { cmd.Enable(IsSelection() && QueryEditable()); });
    Cmd(ID_EDIT_PASTE, [this] { OnEditPaste(); });
    MapUpdate(ID_EDIT_PASTE, [this](ui::CmdUI& cmd) { cmd.Enable(QueryEditable() && TextInClipboard()); });
    Cmd(ID_EDIT_UNDO, [this] { OnEditUndo(); });
    Cmd(ID_EDIT_REDO, [this] { OnEditRedo(); });
    // Undo and redo: enabled while there is a step; a menu item names it.
    auto undoRedoUpdate = [this](bool redo) {
        return [this, redo](ui::CmdUI& cmd) {
            cmd.Enable(QueryEditable() && (redo ? m_buffer->CanRedo() : m_buffer->CanUndo()));
            if (cmd.GetMenu()) {
                std::u16string d;
                if (m_buffer)
                    redo ? m_buffer->GetRedoDescription(d) : m_buffer->GetUndoDescription(d);
                cmd.SetText(FormatResString(redo ? IDS_EDT_REDO_MENU : IDS_EDT_UNDO_MENU,
                                            d.empty() ? QString() : u' ' + QString::fromStdU16String(d)));
            }
        };
    };
    MapUpdate(ID_EDIT_UNDO, undoRedoUpdate(false));
    MapUpdate(ID_EDIT_REDO, undoRedoUpdate(true));
    // The panes show their string while enabled (a disabled pane is blank).
    MapUpdate(ID_EDT_INDICATOR_READONLY, [this](ui::CmdUI& cmd) {
        const bool on = m_buffer && m_buffer->GetReadOnly();
        cmd.Enable(on);
        if (on)
            cmd.SetText(LoadResString(ID_EDT_INDICATOR_READONLY));
    });
    MapUpdate(ID_INDICATOR_OVR, [this](ui::CmdUI& cmd) {
        cmd.Enable(m_overwrite);
        if (m_overwrite)
            cmd.SetText(LoadResString(ID_INDICATOR_OVR));
    });
}

void CEdtEditView::OnEditDelete()
{
    if (!QueryEditable())
        return;
    if (IsSelection()) {
        m_buffer->BeginUndoGroup();
        DeleteSelection(EDT_ACTION_DELETE);
        m_buffer->FlushUndoGroup(this);
        return;
    }
    EdtPoint c = Sel().Cursor();
    EdtPoint e = c;
    if (c.ch < GetLineLength(c.line))
        ++e.ch;
    else if (c.line + 1 < GetLineCount())
        e = {0, c.line + 1};
    else
        return;
    m_buffer->BeginUndoGroup();
    if (m_buffer->DeleteText(this, c.line, c.ch, e.line, e.ch, EDT_ACTION_DELETE))
        PlaceCaret(c);
    m_buffer->FlushUndoGroup(this);
}

void CEdtEditView::OnEditDeleteBack()
{
    if (Finder().OnIncrementalBackspace())
        return;
    if (!QueryEditable())
        return;
    if (IsSelection()) {
        m_buffer->BeginUndoGroup();
        DeleteSelection(EDT_ACTION_DELETE);
        m_buffer->FlushUndoGroup(this);
        return;
    }
    const EdtPoint e = Sel().Cursor();
    EdtPoint s = e;
    if (e.ch > 0)
        --s.ch;
    else if (e.line > 0 && !m_disableBSAtSOL)
        s = {GetLineLength(e.line - 1), e.line - 1};
    else
        return;
    m_buffer->BeginUndoGroup();
    if (m_buffer->DeleteText(this, s.line, s.ch, e.line, e.ch, EDT_ACTION_BACKSPACE))
        PlaceCaret(s);
    m_buffer->FlushUndoGroup(this);
}

void CEdtEditView::OnEditDeleteWordBack() { DeleteWord(false); }

void CEdtEditView::OnEditDeleteWord() { DeleteWord(true); }

void CEdtEditView::DeleteWord(bool forward)
{
    if (!QueryEditable())
        return;
    // Without a selection, the word before or after the caret is the selection.
    if (!IsSelection()) {
        if (forward)
            SetSelection(Sel().Cursor(), edt::WordRightTarget(Cache().Lines(), Sel().Cursor()));
        else
            SetSelection(edt::WordLeftTarget(Cache().Lines(), Sel().Cursor()), Sel().Cursor());
    }
    m_buffer->BeginUndoGroup();
    DeleteSelection(EDT_ACTION_DELETE);
    m_buffer->FlushUndoGroup(this);
}

void CEdtEditView::OnEditTab()
{
    if (!QueryEditable())
        return;
    int first = 0, last = 0;
    if (BlockLines(first, last)) {
        const std::u16string unit =
            m_insertTabs ? std::u16string(u"\t") : std::u16string(size_t(std::max(GetTabSize(), 1)), u' ');
        m_buffer->BeginUndoGroup();
        int el = 0, ec = 0;
        for (int l = first; l <= last; ++l)
            m_buffer->InsertText(this, l, 0, unit, el, ec, EDT_ACTION_INDENT);
        SelectWholeLines(*this, first, last);
        m_buffer->FlushUndoGroup(this);
        return;
    }
    const int col = Caret().CalculateActualOffset(Sel().Cursor().line, Sel().Cursor().ch);
    if (m_overwrite && !IsSelection()) {
        const int t = std::max(GetTabSize(), 1);
        const int stop = (col / t + 1) * t;
        EdtPoint c = Sel().Cursor();
        const char16_t* s = GetLineChars(c.line);
        const int n = GetLineLength(c.line);
        while (c.ch < n && Caret().CalculateActualOffset(c.line, c.ch) < stop) {
            const bool tab = s[c.ch] == u'\t';
            ++c.ch;
            if (tab)
                break;
        }
        PlaceCaret(c);
        return;
    }
    m_buffer->BeginUndoGroup();
    DeleteSelection(EDT_ACTION_TYPING);
    const EdtPoint c = Sel().Cursor();
    InsertAtCaret(IndentUnit(Caret().CalculateActualOffset(c.line, c.ch)), EDT_ACTION_TYPING);
    m_buffer->FlushUndoGroup(this);
}

void CEdtEditView::OnEditUntab()
{
    if (!QueryEditable())
        return;
    int first = 0, last = 0;
    const int t = std::max(GetTabSize(), 1);
    if (BlockLines(first, last)) {
        m_buffer->BeginUndoGroup();
        for (int l = first; l <= last; ++l) {
            const char16_t* s = GetLineChars(l);
            const int n = GetLineLength(l);
            int k = 0;
            while (k < n && k < t && s[k] == u' ')
                ++k;
            if (k < n && k < t && s[k] == u'\t')
                ++k;
            if (k > 0)
                m_buffer->DeleteText(this, l, 0, l, k, EDT_ACTION_INDENT);
        }
        SelectWholeLines(*this, first, last);
        m_buffer->FlushUndoGroup(this);
        return;
    }
    const EdtPoint c = Sel().Cursor();
    if (c.ch == 0)
        return;
    const int col = Caret().CalculateActualOffset(c.line, c.ch);
    const int target = col % t == 0 ? col - t : col - col % t;
    int ch = 0;
    while (ch < c.ch && Caret().CalculateActualOffset(c.line, ch) < target)
        ++ch;
    PlaceCaret({ch, c.line});
}

void CEdtEditView::OnEditToggleOverwrite()
{
    m_overwrite = !m_overwrite;
}

void CEdtEditView::OnEditCut()
{
    if (!QueryEditable() || !IsSelection())
        return;
    Sel().PrepareSelBounds();
    if (!PutToClipboard(GetText(Sel().DrawSelStart(), Sel().DrawSelEnd())))
        return;  // the clipboard refused the text: nothing is lost
    m_buffer->BeginUndoGroup();
    DeleteSelection(EDT_ACTION_CUT);
    m_buffer->FlushUndoGroup(this);
}

void CEdtEditView::OnEditPaste()
{
    if (!QueryEditable())
        return;
    std::u16string text;
    if (!GetFromClipboard(text) || text.empty())
        return;
    m_buffer->BeginUndoGroup();
    DeleteSelection(EDT_ACTION_PASTE);
    InsertAtCaret(text, EDT_ACTION_PASTE);
    m_buffer->FlushUndoGroup(this);
}

void CEdtEditView::OnEditUndo()
{
    if (!QueryEditable())
        return;
    EdtPoint caret = Sel().Cursor();
    if (m_buffer->Undo(caret))
        PlaceCaret(caret);
}

void CEdtEditView::OnEditRedo()
{
    if (!QueryEditable())
        return;
    EdtPoint caret = Sel().Cursor();
    if (m_buffer->Redo(caret))
        PlaceCaret(caret);
}

// ------------------------------------------------------------ typing

void CEdtEditView::OnChar(char16_t c)
{
    if (Finder().OnIncrementalChar(c))
        return;
    if (QApplication::mouseButtons() & (Qt::LeftButton | Qt::RightButton))
        return;
    if (!QueryEditable())
        return;
    if (c == 13) {
        if (m_overwrite && Sel().Cursor().line + 1 < GetLineCount()) {
            PlaceCaret({0, Sel().Cursor().line + 1});
            return;
        }
        m_buffer->BeginUndoGroup(false);
        DeleteSelection(EDT_ACTION_TYPING);
        InsertAtCaret(u"\r\n", EDT_ACTION_TYPING);
        m_buffer->FlushUndoGroup(this);
        return;
    }
    if (c < 32)
        return;
    // A character merges into the group before it only when that group is
    // typing that ended where the caret stands.
    bool merge = false;
    if (c != u' ' && !IsSelection()) {
        int action = 0;
        EdtPoint end;
        merge = m_buffer->GetLastUndoRecord(action, end) && action == EDT_ACTION_TYPING &&
                end == Sel().Cursor();
    }
    m_buffer->BeginUndoGroup(merge);
    if (!DeleteSelection(EDT_ACTION_TYPING) && m_overwrite &&
        Sel().Cursor().ch < GetLineLength(Sel().Cursor().line))
        m_buffer->DeleteText(this, Sel().Cursor().line, Sel().Cursor().ch, Sel().Cursor().line,
                             Sel().Cursor().ch + 1, EDT_ACTION_TYPING);
    const char16_t one[1] = {c};
    InsertAtCaret(std::u16string_view(one, 1), EDT_ACTION_TYPING);
    m_buffer->FlushUndoGroup(this);
}

void CEdtEditView::keyPressEvent(QKeyEvent* e)
{
    const ui::AccelTable* accel = Accelerators();
    if (accel && accel->Translate(*e)) {
        CEdtTextView::keyPressEvent(e);
        return;
    }
    const QString text = e->text();
    // Alt with a key belongs to the menu bar; Ctrl combinations are commands.
    const bool modified = e->modifiers() & (Qt::AltModifier | Qt::ControlModifier | Qt::MetaModifier);
    if (!text.isEmpty() && !modified) {
        for (QChar ch : text)
            OnChar(ch.unicode());
        e->accept();
        return;
    }
    if (e->key() == Qt::Key_Escape && !modified) {
        OnChar(27);
        e->accept();
        return;
    }
    CEdtTextView::keyPressEvent(e);
}

void CEdtEditView::inputMethodEvent(QInputMethodEvent* e)
{
    for (QChar ch : e->commitString())
        OnChar(ch.unicode());
    e->accept();
}

void CEdtEditView::focusInEvent(QFocusEvent* e)
{
    setAttribute(Qt::WA_InputMethodEnabled, QueryEditable());
    CEdtTextView::focusInEvent(e);
}

// ------------------------------------------------------------ automatic indentation

void CEdtEditView::OnEditOperation(int action, std::u16string_view text)
{
    if (action != EDT_ACTION_TYPING || !m_autoIndent || !m_buffer)
        return;
    const uint32_t flags = Style().flags;
    const int t = std::max(GetTabSize(), 1);
    if (text == u"\r\n") {
        if (!m_overwrite)
            AutoIndentAfterBreak();
        return;
    }
    if (text.size() != 1)
        return;
    const char16_t c = text[0];
    const EdtPoint caret = Sel().Cursor();
    if (caret.ch < 1)
        return;
    const int l = caret.line;
    const int bracket = caret.ch - 1;  // the typed character
    int el = 0, ec = 0;
    const char16_t* s = GetLineChars(l);
    const int n = GetLineLength(l);
    auto onlyNonWhite = [&] {
        for (int i = 0; i < n; ++i)
            if (i != bracket && !IsBlank(s[i]))
                return false;
        return true;
    };
    if ((flags & 0x400) && c == u'(' && bracket > 0 && IsIdentifierChar(s[bracket - 1])) {
        if (m_buffer->InsertText(this, l, bracket, u" ", el, ec, EDT_ACTION_AUTOINDENT))
            PlaceCaret({caret.ch + 1, l});
        return;
    }
    if ((flags & 0x40) && IsOpening(c) && onlyNonWhite()) {
        const std::u16string unit = IndentUnit(Caret().CalculateActualOffset(l, bracket));
        if (m_buffer->InsertText(this, l, bracket, unit, el, ec, EDT_ACTION_AUTOINDENT))
            PlaceCaret({caret.ch + int(unit.size()), l});
        return;
    }
    if ((flags & 0x60) && IsClosing(c) && onlyNonWhite() && bracket > 0 && l != 0) {
        int remove = 0;
        if (s[bracket - 1] == u'\t') {
            remove = 1;
        } else {
            const int col = Caret().CalculateActualOffset(l, bracket);
            const int target = col % t == 0 ? col - t : col - col % t;
            while (remove < bracket && s[bracket - 1 - remove] == u' ' &&
                   Caret().CalculateActualOffset(l, bracket - remove) > std::max(target, 0))
                ++remove;
        }
        if (remove > 0 &&
            m_buffer->DeleteText(this, l, bracket - remove, l, bracket, EDT_ACTION_AUTOINDENT))
            PlaceCaret({caret.ch - remove, l});
    }
}

void CEdtEditView::AutoIndentAfterBreak()
{
    const EdtPoint caret = Sel().Cursor();
    if (caret.line < 1)
        return;
    const uint32_t flags = Style().flags;
    const int t = std::max(GetTabSize(), 1);
    const int p = caret.line - 1;
    const std::u16string_view prev(GetLineChars(p), size_t(GetLineLength(p)));
    int count = 0;
    while (count < int(prev.size()) && IsBlank(prev[size_t(count)]))
        ++count;
    const bool endsOpen = !prev.empty() && IsOpening(prev.back());
    std::u16string indent;
    if (count > 0) {
        if ((flags & 0x40) && int(prev.size()) == count + 1 && IsClosing(prev.back())) {
            if (prev[size_t(count) - 1] == u'\t')
                count -= 1;
            else
                count = count % t == 0 ? count - t : count - count % t;
            count = std::max(count, 0);
        }
        indent.assign(prev.substr(0, size_t(count)));
        if ((flags & 0x60) && endsOpen) {
            if (m_insertTabs) {
                indent.push_back(u'\t');
            } else {
                const int col = edt::ExpandedLength(indent, t);
                indent.append(size_t(t - col % t), u' ');
            }
        }
    } else if ((flags & 0x60) && endsOpen) {
        indent = m_insertTabs ? std::u16string(u"\t") : std::u16string(size_t(t), u' ');
    }
    if (indent.empty())
        return;
    int el = 0, ec = 0;
    if (m_buffer->InsertText(this, caret.line, caret.ch, indent, el, ec, EDT_ACTION_AUTOINDENT))
        PlaceCaret({ec, el});
}

// ------------------------------------------------------------ drag and drop

Qt::DropActions CEdtEditView::GetDropEffect()
{
    return Qt::CopyAction | Qt::MoveAction;
}

void CEdtEditView::OnDropSource(Qt::DropAction effect)
{
    if (effect != Qt::MoveAction || !QueryEditable())
        return;
    const EdtPoint dragStart = Mouse().DragStart(), dragEnd = Mouse().DragEnd();
    if (Before(dragStart, dragEnd))
        m_buffer->DeleteText(this, dragStart.line, dragStart.ch, dragEnd.line, dragEnd.ch,
                             EDT_ACTION_DRAGDROP);
}

void CEdtEditView::ShowDropCaret(EdtPoint pt)
{
    if (!m_dropCaretShown) {
        m_dropSavedCaret = Sel().Cursor();
        m_dropCaretShown = true;
    }
    if (!(pt == m_dropPos))
        update();
    m_dropPos = pt;
}

void CEdtEditView::HideDropCaret()
{
    if (!m_dropCaretShown)
        return;
    m_dropCaretShown = false;
    Sel().SetCursor(m_dropSavedCaret);
    update();
}

void CEdtEditView::paintEvent(QPaintEvent* e)
{
    CEdtTextView::paintEvent(e);
    if (!m_dropCaretShown)
        return;
    QPainter p(this);
    const QPoint at = TextToClient(m_dropPos);
    const int lh = Renderer().GetLineHeight();
    p.fillRect(QRect(at.x(), at.y(), 2, lh), palette().color(QPalette::Text));
}

void CEdtEditView::dragEnterEvent(QDragEnterEvent* e)
{
    m_dropTarget->OnDragEnter(e);
}

void CEdtEditView::dragMoveEvent(QDragMoveEvent* e)
{
    m_dropTarget->OnDragOver(e);
}

void CEdtEditView::dragLeaveEvent(QDragLeaveEvent*)
{
    m_dropTarget->OnDragLeave();
}

void CEdtEditView::dropEvent(QDropEvent* e)
{
    m_dropTarget->OnDrop(e);
}

Qt::DropAction CEditDropTarget::Effect(const QDropEvent* e, bool enter)
{
    CEdtEditView& v = *m_view;
    if (!e->mimeData() || !e->mimeData()->hasText())
        return Qt::IgnoreAction;
    if (!enter && !v.QueryEditable())
        return Qt::IgnoreAction;
    const QPoint half(v.Renderer().GetCharWidth() / 2, 0);
    const EdtPoint pt = v.ClientToText(e->position().toPoint() + half);
    // A drop inside the text dragged out of this view does nothing.
    if (EdtMouseController::CurrentDragSource() == &v && !Before(pt, v.Mouse().DragStart()) &&
        Before(pt, v.Mouse().DragEnd()))
        return Qt::IgnoreAction;
    v.ShowDropCaret(pt);
    return (e->modifiers() & Qt::ControlModifier) ? Qt::CopyAction : Qt::MoveAction;
}

void CEditDropTarget::OnDragEnter(QDragEnterEvent* e)
{
    const Qt::DropAction a = Effect(e, true);
    if (a == Qt::IgnoreAction) {
        m_view->HideDropCaret();
        e->ignore();
        return;
    }
    e->setDropAction(a);
    e->accept();
}

void CEditDropTarget::OnDragOver(QDragMoveEvent* e)
{
    OnDragScroll(e->position().toPoint());
    const Qt::DropAction a = Effect(e, false);
    if (a == Qt::IgnoreAction) {
        m_view->HideDropCaret();
        e->ignore();
        return;
    }
    e->setDropAction(a);
    e->accept();
}

void CEditDropTarget::OnDragLeave()
{
    m_view->HideDropCaret();
}

void CEditDropTarget::OnDragScroll(QPoint pos)
{
    CEdtEditView& v = *m_view;
    const QRect c = v.Scroller().ClientRect();
    const int lh = v.Renderer().GetLineHeight(), cw = v.Renderer().GetCharWidth();
    const EdtScrollPos& top = v.ScrollPos();
    if (pos.y() < c.top() + lh && top.topSubLine > 0)
        v.ScrollToSubLine(top.topSubLine - 1);
    else if (pos.y() > c.bottom() - lh && top.topSubLine + 1 < v.GetSubLineCount())
        v.ScrollToSubLine(top.topSubLine + 1);
    if (!v.Style().wordWrap) {
        if (pos.x() < v.GetMarginWidth() + 2 * cw && top.offsetChar > 0)
            v.ScrollToChar(top.offsetChar - 1);
        else if (pos.x() > c.right() - 2 * cw && top.offsetChar + 1 < v.Cache().GetMaxLineLength())
            v.ScrollToChar(top.offsetChar + 1);
    }
}

void CEditDropTarget::OnDrop(QDropEvent* e)
{
    CEdtEditView& v = *m_view;
    const Qt::DropAction a = Effect(e, false);
    const EdtPoint pt = v.m_dropPos;
    v.HideDropCaret();
    if (a == Qt::IgnoreAction) {
        e->ignore();
        return;
    }
    const std::u16string text = ToCRLF(e->mimeData()->text());
    if (text.empty()) {
        e->ignore();
        return;
    }
    // A drag out of a view of the same buffer runs in that drag's group.
    CEdtTextView* source = EdtMouseController::CurrentDragSource();
    const bool ownGroup = !source || source->GetTextBuffer() != v.m_buffer;
    if (ownGroup)
        v.m_buffer->BeginUndoGroup();
    int el = 0, ec = 0;
    if (v.m_buffer->InsertText(&v, pt.line, pt.ch, text, el, ec, EDT_ACTION_DRAGDROP)) {
        v.Sel().SetAnchor(pt);
        v.Sel().SetCursor({ec, el});
        v.SetSelection(pt, {ec, el});
        v.EnsureVisible(v.Sel().Cursor());
        v.Caret().UpdateCaret();
    }
    if (ownGroup)
        v.m_buffer->FlushUndoGroup(&v);
    e->setDropAction(a);
    e->accept();
}

// ------------------------------------------------------------ the parser view

CEdtParser* CEdtEditViewEx::SetSyntaxParser(CEdtParser* parser)
{
    CEdtParser* old = m_syntaxParser;
    m_syntaxParser = parser;
    if (parser)
        parser->SetTextView(this);
    return old;
}

uint32_t CEdtEditViewEx::ParseLineWithParser(uint32_t cookie, int line, TextBlockList* blocks)
{
    if (!m_syntaxParser)
        return 0;
    if (!blocks)
        return m_syntaxParser->ParseLine(cookie, line, nullptr);
    CEdtTextBlock wrapped(*blocks);
    return m_syntaxParser->ParseLine(cookie, line, &wrapped);
}
