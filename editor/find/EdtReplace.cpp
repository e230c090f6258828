// The edit view's replace command: ReplaceSelection, the searching and
// replacing loops, and the "Nahradit" dialog.

#include "editor/view/EdtCaretModel.h"
#include "editor/view/EdtEditView.h"
#include "editor/find/EdtFindController.h"
#include "editor/dialogs/EdtFindDlg.h"
#include "editor/regexp/EdtRegExp.h"
#include "editor/settings/EdtRegistry.h"
#include "editor/dialogs/EdtReplaceDlg.h"
#include "editor/find/EdtReplaceTesting.h"
#include "editor/dialogs/HistoryCombo.h"
#include "editor/view/EdtLayoutCache.h"
#include "platform/ui/Beep.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>

#include <climits>

namespace {

bool Before(EdtPoint a, EdtPoint b)
{
    return a.line < b.line || (a.line == b.line && a.ch < b.ch);
}

} // namespace

// ------------------------------------------------------------ the view's part

bool CEdtEditView::ReplaceSelection(std::u16string_view replacement, uint32_t flags)
{
    return ReplaceSelectionIn(replacement, flags, true);
}

bool CEdtEditView::ReplaceSelectionIn(std::u16string_view replacement, uint32_t flags, bool ownGroup)
{
    if (!QueryEditable())
        return false;
    std::u16string text(replacement);
    std::u16string_view matched;
    const int* groups = nullptr;
    if ((flags & EDT_FIND_REGEXP) && Finder().GetLastRegExpMatch(matched, groups)) {
        std::u16string built;
        if (RegExpSubstitute(replacement, matched.data(), int(matched.size()), groups, built) < 0)
            return false;  // the match stays as it is
        // The searched text joins lines by LF; the buffer splits at CR.
        text.clear();
        for (char16_t c : built) {
            if (c == u'\n' && (text.empty() || text.back() != u'\r'))
                text += u"\r\n";
            else
                text.push_back(c);
        }
    }
    Sel().PrepareSelBounds();
    const EdtPoint a = Sel().DrawSelStart(), b = Sel().DrawSelEnd();
    if (ownGroup)
        m_buffer->BeginUndoGroup();
    bool ok = true;
    if (!(a == b))
        ok = m_buffer->DeleteText(this, a.line, a.ch, b.line, b.ch, EDT_ACTION_REPLACE);
    int el = a.line, ec = a.ch;
    if (ok && !text.empty())
        ok = m_buffer->InsertText(this, a.line, a.ch, text, el, ec, EDT_ACTION_REPLACE);
    if (ok) {
        m_replacementLength = int(text.size());
        PlaceCaret({ec, el});
    }
    if (ownGroup)
        m_buffer->FlushUndoGroup(this);
    return ok;
}

void CEdtEditView::SaveSelectionForReplace(EdtPoint a, EdtPoint b)
{
    m_savedSel[0] = a;
    m_savedSel[1] = b;
    m_savedSelValid = true;
}

bool CEdtEditView::GetSavedSelection(EdtPoint& a, EdtPoint& b) const
{
    if (!m_savedSelValid)
        return false;
    a = m_savedSel[0];
    b = m_savedSel[1];
    return true;
}

bool CEdtEditView::GetRememberedReplaceFlags(uint32_t& flags) const
{
    if (!m_replaceFlagsRemembered)
        return false;
    flags = m_replaceFlags;
    return true;
}

void CEdtEditView::RememberReplaceFlags(uint32_t flags)
{
    m_replaceFlagsRemembered = true;
    m_replaceFlags = flags;
}

bool CEdtEditView::SearchStep(std::u16string_view text, uint32_t flags, const FindProgressFn& progress)
{
    ReplaceState& r = m_replace;
    EdtPoint found;
    bool ok;
    if (r.scope == 1)
        ok = FindText(text, r.current, flags, false, found, progress);
    else
        ok = FindTextInBlock(text, r.current, r.blockBegin, r.blockEnd, flags, false, found, progress);
    if (ok) {
        HighlightText(found, Finder().GetLastMatchLength(), false);
        r.current = found;
        r.found = true;
        r.foundText = std::u16string(text);
        r.foundFlags = flags;
        r.foundScope = r.scope;
        return true;
    }
    r.found = false;
    if (!Finder().LastFindCancelled()) {
        Finder().ShowNotFound(text);
        r.start = r.scope == 1 ? EdtPoint{0, 0} : r.blockBegin;
    }
    return false;
}

bool CEdtEditView::FindAgainIfMatchIsStale(std::u16string_view text, uint32_t flags, bool& searched)
{
    ReplaceState& r = m_replace;
    searched = false;
    if (!r.found || (text == r.foundText && flags == r.foundFlags && r.scope == r.foundScope))
        return false;
    // The match shown was found for another text or other options: the
    // search for the present ones starts where it begins.
    Sel().PrepareSelBounds();
    r.found = false;
    r.current = Sel().DrawSelStart();
    if (r.scope == 0 && (Before(r.current, r.blockBegin) || Before(r.blockEnd, r.current)))
        r.current = r.blockBegin;
    searched = true;
    return SearchStep(text, flags, Finder().MakeFindProgress(text));
}

bool CEdtEditView::ReplaceFindNext(std::u16string_view text, uint32_t flags)
{
    ReplaceState& r = m_replace;
    flags &= ~EDT_FIND_UP;
    if (bool searched = false, ok = FindAgainIfMatchIsStale(text, flags, searched); searched)
        return ok;
    if (!r.found) {
        r.current = r.start;
    } else {
        Sel().PrepareSelBounds();
        if (Sel().DrawSelStart() == Sel().DrawSelEnd()) {
            // After an empty match: the next line.
            if (Sel().DrawSelEnd().line + 1 >= GetLineCount()) {
                r.found = false;
                return false;
            }
            r.current = {0, Sel().DrawSelEnd().line + 1};
        } else {
            r.current = Sel().DrawSelEnd();
        }
    }
    return SearchStep(text, flags, Finder().MakeFindProgress(text));
}

bool CEdtEditView::ReplaceCurrent(std::u16string_view text, std::u16string_view replacement,
                                  uint32_t flags)
{
    ReplaceState& r = m_replace;
    flags &= ~EDT_FIND_UP;
    if (!r.found)
        return ReplaceFindNext(text, flags);
    // Only a match found for this text with these options is replaced.
    if (bool searched = false, ok = FindAgainIfMatchIsStale(text, flags, searched); searched)
        return ok;
    Sel().PrepareSelBounds();
    const bool empty = Sel().DrawSelStart() == Sel().DrawSelEnd();
    const bool tracked = m_replaceTracked;
    m_replaceTracked = true;
    const bool ok = ReplaceSelection(replacement, flags);
    m_replaceTracked = tracked;
    if (!ok) {
        ui::MessageBeep();
        return false;
    }
    if (empty) {
        if (Sel().Cursor().line + 1 >= GetLineCount()) {
            r.found = false;
            return false;
        }
        r.current = {0, Sel().Cursor().line + 1};
    } else {
        r.current = Sel().Cursor();
    }
    return SearchStep(text, flags, Finder().MakeFindProgress(text));
}

int CEdtEditView::ReplaceAll(std::u16string_view text, std::u16string_view replacement, uint32_t flags)
{
    ReplaceState& r = m_replace;
    flags &= ~EDT_FIND_UP;
    if (!QueryEditable() || text.empty())
        return 0;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const FindProgressFn progress = Finder().MakeFindProgress(text);
    const int total = std::max(GetLineCount(), 1);
    // The start: the current match, or the start position.
    EdtPoint pos = r.start;
    if (r.found) {
        Sel().PrepareSelBounds();
        pos = Sel().DrawSelStart();
    }
    if (r.scope == 0 && Before(pos, r.blockBegin))
        pos = r.blockBegin;
    m_replaceLimit = pos;  // the end of the second part, moved by the changes
    const bool tracked = m_replaceTracked;
    m_replaceTracked = true;
    m_buffer->BeginUndoGroup();
    ReplaceAllOutcome out;
    if (edt::ReplaceAllStepwise())
        ReplaceAllSteps(text, replacement, flags, progress, total, 0, pos, out);
    else
        ReplaceAllOnePass(text, replacement, flags, progress, total, pos, out);
    m_buffer->FlushUndoGroup(this);
    m_replaceTracked = tracked;
    r.found = false;
    QApplication::restoreOverrideCursor();
    if (!out.stop && !out.failed) {
        Finder().ShowNotFound(text);
        r.start = r.scope == 1 ? EdtPoint{0, 0} : r.blockBegin;
    }
    return out.replaced;
}

void CEdtEditView::ReplaceAllSteps(std::u16string_view text, std::u16string_view replacement,
                                   uint32_t flags, const FindProgressFn& progress, int total,
                                   int firstPart, EdtPoint pos, ReplaceAllOutcome& out)
{
    ReplaceState& r = m_replace;
    // Whole file: start..end, then (0, 0)..start; selection: its block.
    for (int part = firstPart; part < (r.scope == 1 ? 2 : 1) && !out.stop; ++part) {
        if (part > firstPart)
            pos = {0, 0};
        while (true) {
            const int last = GetLineCount() - 1;
            const EdtPoint blockBegin = r.scope == 1 ? EdtPoint{0, 0} : r.blockBegin;
            const EdtPoint blockEnd = r.scope == 0 ? r.blockEnd
                                      : part == 0  ? EdtPoint{INT_MAX, last}  // the text's end
                                                   : m_replaceLimit;
            EdtPoint found;
            auto step = [&](int done, int) { return progress(pos.line + done, total); };
            if (!FindTextInBlock(text, pos, blockBegin, blockEnd, flags, false, found, step)) {
                out.stop = Finder().LastFindCancelled();
                break;
            }
            // A match reaching the block end ends the block (the next
            // search would start at the block end again: an empty match
            // there would be found for ever, the text after a match ending
            // there searched anew).
            EdtPoint end = blockEnd;
            end.line = std::min(end.line, last);
            end.ch = std::min(end.ch, GetLineLength(end.line));
            HighlightText(found, Finder().GetLastMatchLength(), false);
            const bool empty = Finder().GetLastMatchLength() == 0;
            const bool limited = r.scope == 0 || part == 1; // not the text's end
            const bool endsBlock = limited && !Before(Sel().Cursor(), end);
            if (!ReplaceSelectionIn(replacement, flags, false)) {
                // A failed substitution: the match stays selected.
                ui::MessageBeep();
                out.stop = out.failed = true;
                break;
            }
            ++out.replaced;
            pos = Sel().Cursor();
            if (endsBlock)
                break;
            if (empty) {
                // The next line, if the block holds its start.
                if (pos.line + 1 >= GetLineCount())
                    break;
                pos = {0, pos.line + 1};
                if (limited && Before(r.scope == 0 ? r.blockEnd : m_replaceLimit, pos))
                    break;
            }
            // The dialog's Storno and changes made by others while it ran.
            const uint64_t mine = m_buffer->GetChangeCount();
            if (!progress(pos.line, total) || m_buffer->GetChangeCount() != mine) {
                out.stop = true;
                break;
            }
        }
    }
}

void CEdtEditView::OnEditReplace()
{
    if (!QueryEditable())
        return;
    uint32_t flags = 0;
    if (!GetRememberedReplaceFlags(flags))
        EdtReg::LoadNumber(HKEY_CURRENT_USER, EDT_SETTINGS_KEY, u"ReplaceFlags", flags);
    std::u16string findText;
    uint32_t lastFlags = 0;
    Finder().GetLastSearch(findText, lastFlags);
    // On the heap: the view (the dialog's parent) may go while it runs.
    QPointer<CEdtEditView> self(this);
    QPointer<CEditReplaceDlg> dlgp = new CEditReplaceDlg(this);
    CEditReplaceDlg& dlg = *dlgp;
    ReplaceState& r = m_replace;
    r = ReplaceState{};
    Sel().PrepareSelBounds();
    int ws = 0, we = 0;
    edt::WordAround(Cache().Lines(), Sel().Cursor(), ws, we);
    const std::u16string word =
        we > ws ? GetText({ws, Sel().Cursor().line}, {we, Sel().Cursor().line}) : std::u16string();
    if (IsSelection() && Sel().DrawSelStart().line != Sel().DrawSelEnd().line) {
        SaveSelectionForReplace(Sel().DrawSelStart(), Sel().DrawSelEnd());
        r.blockBegin = Sel().DrawSelStart();
        r.blockEnd = Sel().DrawSelEnd();
        r.scope = 0;
        dlg.m_selectionAvailable = true;
        r.start = Sel().DrawSelStart();
        if (!word.empty())
            findText = word;
    } else {
        r.scope = 1;
        r.start = Sel().Cursor();
        if (IsSelection())
            findText = GetText(Sel().DrawSelStart(), Sel().DrawSelEnd());
        else if (!word.empty())
            findText = word;
    }
    dlg.m_scope = r.scope;
    dlg.m_findText = QString::fromStdU16String(findText);
    dlg.SetFlags(flags);
    m_replaceTracked = true;  // the block and start follow every change
    dlg.DoModal();
    if (!self || !dlgp)
        return;
    m_replaceTracked = false;
    flags = dlg.Flags();
    RememberReplaceFlags(flags);
    Finder().SetLastSearch(dlg.m_findText.toStdU16String(), flags);
    delete dlgp;
    EdtPoint a, b;
    if (GetSavedSelection(a, b)) {
        Sel().SetAnchor(a);
        Sel().SetCursor(b);
        SetSelection(a, b);
        EnsureVisible(b);
        Caret().UpdateCaret();
        DropSavedSelection();
    }
    EdtReg::SaveNumber(HKEY_CURRENT_USER, EDT_SETTINGS_KEY, u"ReplaceFlags", flags);
}

// ------------------------------------------------------------ the dialog

CEditReplaceDlg::CEditReplaceDlg(CEdtEditView* view) : ui::Dialog(IDD, view), m_view(view)
{
    m_find = ReplaceWithHistoryCombo(*this, 8605, QStringLiteral("FindText"));
    m_replace = ReplaceWithHistoryCombo(*this, 8609, QStringLiteral("ReplaceText"));
    if (auto* re = Item<QCheckBox>(8606))
        connect(re, &QCheckBox::toggled, this, [this] { UpdateControls(); });
    // A changed text or option: Enter finds first again.
    if (m_find)
        connect(m_find, &QComboBox::editTextChanged, this, [this] {
            UpdateControls();
            SetDefaultButton(8610);
        });
    for (int id : {8603, 8604, 8606})
        if (auto* box = Item<QCheckBox>(id))
            connect(box, &QCheckBox::toggled, this, [this] { SetDefaultButton(8610); });
    if (auto* inSel = Item<QRadioButton>(8613))
        connect(inSel, &QRadioButton::toggled, this, [this] { SetDefaultButton(8610); });
    if (auto* b = Item<QPushButton>(8610))
        connect(b, &QPushButton::clicked, this, [this] { OnFindNext(); });
    if (auto* b = Item<QPushButton>(8607))
        connect(b, &QPushButton::clicked, this, [this] { OnReplace(); });
    if (auto* b = Item<QPushButton>(8608))
        connect(b, &QPushButton::clicked, this, [this] { OnReplaceAll(); });
    for (QWidget* w : {static_cast<QWidget*>(m_find), static_cast<QWidget*>(m_replace)})
        if (w)
            w->installEventFilter(this);
}

CEditReplaceDlg::~CEditReplaceDlg()
{
    for (CHistoryCombo* c : {m_find, m_replace})
        if (c) {
            c->disconnect(this);
            c->removeEventFilter(this);
        }
}

void CEditReplaceDlg::SetFlags(uint32_t flags)
{
    m_matchCase = (flags & EDT_FIND_MATCH_CASE) ? 1 : 0;
    m_wholeWord = (flags & EDT_FIND_WHOLE_WORD) ? 1 : 0;
    m_regExp = (flags & EDT_FIND_REGEXP) ? 1 : 0;
}

uint32_t CEditReplaceDlg::Flags() const
{
    return EdtSearchFlags(m_matchCase, m_wholeWord, m_regExp);
}

void CEditReplaceDlg::DoDataExchange(ui::DataExchange& dx)
{
    dx.Text(8605, m_findText);
    dx.Text(8609, m_replaceText);
    dx.Check(8603, m_wholeWord);
    dx.Check(8604, m_matchCase);
    dx.Check(8606, m_regExp);
    dx.ListIndex(8613, m_scope); // 0 the selection, 1 the whole file
}

bool CEditReplaceDlg::OnInitDialog()
{
    if (m_replace)
        m_replace->FillFromHistory();
    if (m_find)
        m_find->FillFromHistory();
    const bool r = ui::Dialog::OnInitDialog();
    if (auto* inSel = Item<QRadioButton>(8613))
        inSel->setEnabled(m_selectionAvailable);
    UpdateControls();
    SetDefaultButton(8610);
    FocusSearchText(m_find);
    return r;
}

void CEditReplaceDlg::UpdateControls()
{
    SyncWholeWordWithRegExp(*this);
    const bool any = m_find && !m_find->currentText().isEmpty();
    for (int id : {8610, 8607, 8608})
        if (auto* b = Item<QPushButton>(id))
            b->setEnabled(any);
}

void CEditReplaceDlg::SetDefaultButton(int id)
{
    for (int b : {8610, 8607})
        if (auto* w = Item<QPushButton>(b))
            w->setDefault(b == id);
}

void CEditReplaceDlg::OnFindNext()
{
    if (!UpdateData(true) || m_findText.isEmpty())
        return;
    CEdtEditView::ReplaceState& r = m_view->Replace();
    r.scope = m_scope;
    m_view->ReplaceFindNext(m_findText.toStdU16String(), Flags());
    SetDefaultButton(r.found ? 8607 : 8610);
}

void CEditReplaceDlg::OnReplace()
{
    if (!UpdateData(true) || m_findText.isEmpty())
        return;
    CEdtEditView::ReplaceState& r = m_view->Replace();
    r.scope = m_scope;
    m_view->ReplaceCurrent(m_findText.toStdU16String(), m_replaceText.toStdU16String(), Flags());
    SetDefaultButton(r.found ? 8607 : 8610);
}

void CEditReplaceDlg::OnReplaceAll()
{
    if (!UpdateData(true) || m_findText.isEmpty())
        return;
    CEdtEditView::ReplaceState& r = m_view->Replace();
    r.scope = m_scope;
    m_view->ReplaceAll(m_findText.toStdU16String(), m_replaceText.toStdU16String(), Flags());
    SetDefaultButton(8610);
}

void CEditReplaceDlg::OnOK()
{
    // Enter: the default button's action.
    auto* replace = Item<QPushButton>(8607);
    if (replace && replace->isDefault())
        OnReplace();
    else
        OnFindNext();
}

void CEditReplaceDlg::OnCancel()
{
    UpdateData(true);
    if (m_find)
        m_find->StoreText();
    if (m_replace)
        m_replace->StoreText();
    ui::Dialog::OnCancel();
}

bool CEditReplaceDlg::eventFilter(QObject* watched, QEvent* e)
{
    if (e->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(e);
        if ((k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) && k->modifiers() == Qt::NoModifier) {
            auto* combo = qobject_cast<QComboBox*>(watched);
            if (combo && !combo->view()->isVisible()) {
                OnOK();
                return true;
            }
        }
    }
    return ui::Dialog::eventFilter(watched, e);
}
