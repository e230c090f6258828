// The text view's jumps: bookmarks, the matching bracket, go to line and the
// switch between a source and its header.

#include "editor/view/EdtViewJumps.h"

#include "editor/view/EdtLayoutCache.h"
#include "editor/view/EdtTextView.h"

#include "editor/dialogs/EdtGoToLineDlg.h"
#include "platform/sys/WinPath.h"

#include <algorithm>

EdtViewJumps::EdtViewJumps(CEdtTextView& view) : m_view(view), m_sel(view.Sel()) {}

// ------------------------------------------------------------ bookmarks

namespace {

void MoveTo(CEdtTextView& v, EdtPoint pt)
{
    v.SetCursorPos(pt);
    v.SetAnchor(pt);
    v.SetSelection(pt, pt);
    v.EnsureVisible(pt);
}

} // namespace

void EdtViewJumps::OnToggleBookmark(int n)
{
    m_sel.SetKeyboardSelection(false);
    if (!m_view.GetTextBuffer() || n < 0 || n > 9)
        return;
    const uint32_t bit = EDT_LF_BOOKMARK(n);
    const int line = std::clamp(m_sel.Cursor().line, 0, m_view.GetLineCount() - 1);
    const bool set = (m_view.GetLineFlags(line) & bit) == 0;
    m_view.GetTextBuffer()->SetLineFlag(line, bit, set, true);
}

void EdtViewJumps::OnGoBookmark(int n)
{
    m_sel.SetKeyboardSelection(false);
    if (!m_view.GetTextBuffer() || n < 0 || n > 9)
        return;
    const int line = m_view.GetTextBuffer()->GetLineWithFlag(EDT_LF_BOOKMARK(n));
    if (line >= 0)
        MoveTo(m_view, {0, line});
}

void EdtViewJumps::OnClearBookmarks()
{
    m_sel.SetKeyboardSelection(false);
    if (!m_view.GetTextBuffer())
        return;
    for (int n = 0; n <= 9; ++n)
        m_view.GetTextBuffer()->SetLineFlag(-1, EDT_LF_BOOKMARK(n), false, false);
}

void EdtViewJumps::OnToggleBookmark()
{
    m_sel.SetKeyboardSelection(false);
    if (!m_view.GetTextBuffer())
        return;
    const int line = std::clamp(m_sel.Cursor().line, 0, m_view.GetLineCount() - 1);
    const bool set = (m_view.GetLineFlags(line) & EDT_LF_BOOKMARK_UNNAMED) == 0;
    m_view.GetTextBuffer()->SetLineFlag(line, EDT_LF_BOOKMARK_UNNAMED, set, false);
    m_hasUnnamedBookmarks = m_view.GetTextBuffer()->FindLineWithFlag(EDT_LF_BOOKMARK_UNNAMED) >= 0;
}

void EdtViewJumps::OnNextBookmark()
{
    m_sel.SetKeyboardSelection(false);
    if (!m_view.GetTextBuffer())
        return;
    const int line = m_view.GetTextBuffer()->FindNextBookmarkLine(m_sel.Cursor().line);
    if (line >= 0)
        MoveTo(m_view, {0, line});
}

void EdtViewJumps::OnPrevBookmark()
{
    m_sel.SetKeyboardSelection(false);
    if (!m_view.GetTextBuffer())
        return;
    const int line = m_view.GetTextBuffer()->FindPrevBookmarkLine(m_sel.Cursor().line);
    if (line >= 0)
        MoveTo(m_view, {0, line});
}

void EdtViewJumps::OnClearAllBookmarks()
{
    m_sel.SetKeyboardSelection(false);
    if (!m_view.GetTextBuffer())
        return;
    for (int line = m_view.GetTextBuffer()->FindLineWithFlag(EDT_LF_BOOKMARK_UNNAMED); line >= 0;
         line = m_view.GetTextBuffer()->FindLineWithFlag(EDT_LF_BOOKMARK_UNNAMED))
        m_view.GetTextBuffer()->SetLineFlag(line, EDT_LF_BOOKMARK_UNNAMED, false, false);
    m_hasUnnamedBookmarks = false;
}

// ------------------------------------------------------------ jumps

void EdtViewJumps::OnMatchBrace()
{
    m_sel.SetKeyboardSelection(false);
    std::u16string_view open, close, lineC;
    if (m_view.GetCurrentTextType()) {
        open = m_view.GetCurrentTextType()->openComment;
        close = m_view.GetCurrentTextType()->closeComment;
        lineC = m_view.GetCurrentTextType()->lineComment;
    }
    EdtPoint found;
    const edt::ILayoutLines& lines = m_view.Cache().Lines();
    if (!edt::FindMatchingBracket(lines, m_sel.Cursor(), open, close, lineC, found))
        return;
    MoveTo(m_view, found);
}

void EdtViewJumps::GoToLine(int n, bool relative)
{
    EdtPoint target;
    if (!edt::GoToLineTarget(m_view.Cache().Lines(), n, relative, m_sel.Cursor(), target))
        return;
    MoveTo(m_view, target);
}

void EdtViewJumps::OnGoToLine()
{
    m_sel.SetKeyboardSelection(false);
    CGoToLineDlg dlg(&m_view);
    if (!dlg.IsLoaded())
        return;
    if (dlg.DoModal() != ui::IDOK_BUTTON)
        return;
    int n = 0;
    bool relative = false;
    if (edt::ParseGoToText(dlg.Text().toStdU16String(), n, relative))
        GoToLine(n, relative);
}

void EdtViewJumps::OnSwitchHeader()
{
    ui::Document* doc = m_view.GetDocument();
    if (!doc || !m_view.GetCurrentTextType() || m_view.GetCurrentTextType()->name != u"C")
        return;
    for (const std::u16string& path : edt::HeaderCandidates(doc->GetPathName().toStdU16String()))
        if (FileExists(path)) {
            // The candidate found without regard to case ("A.H" for a.c's
            // a.h) is opened as the disk names it: documents take names exactly.
            const std::optional<std::string> found = sys::WinPath::ToNative(path);
            if (ui::DocManager* dm = ui::DocManager::Current(); dm && found)
                dm->OpenDocumentFile(QString::fromStdU16String(sys::WinPath::FromNative(*found)));
            return;
        }
}

// ------------------------------------------------------------ the view's functions that hand on to this part

void CEdtTextView::GoToLine(int n, bool relative)
{
    m_jumps->GoToLine(n, relative);
}
