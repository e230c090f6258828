// The text view's jumps: bookmarks, the matching bracket, go to line and the
// switch between a source and its header.

#include "editor/EdtViewJumps.h"

#include "editor/EdtTextView.h"

#include "editor/dialogs/EdtGoToLineDlg.h"

#include <algorithm>

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
    m_view.m_keyboardSelection = false;
    if (!m_view.m_buffer || n < 0 || n > 9)
        return;
    const uint32_t bit = EDT_LF_BOOKMARK(n);
    const int line = std::clamp(m_view.m_cursorPos.line, 0, m_view.GetLineCount() - 1);
    const bool set = (m_view.GetLineFlags(line) & bit) == 0;
    m_view.m_buffer->SetLineFlag(line, bit, set, true);
}

void EdtViewJumps::OnGoBookmark(int n)
{
    m_view.m_keyboardSelection = false;
    if (!m_view.m_buffer || n < 0 || n > 9)
        return;
    const int line = m_view.m_buffer->GetLineWithFlag(EDT_LF_BOOKMARK(n));
    if (line >= 0)
        MoveTo(m_view, {0, line});
}

void EdtViewJumps::OnClearBookmarks()
{
    m_view.m_keyboardSelection = false;
    if (!m_view.m_buffer)
        return;
    for (int n = 0; n <= 9; ++n)
        m_view.m_buffer->SetLineFlag(-1, EDT_LF_BOOKMARK(n), false, false);
}

void EdtViewJumps::OnToggleBookmark()
{
    m_view.m_keyboardSelection = false;
    if (!m_view.m_buffer)
        return;
    const int line = std::clamp(m_view.m_cursorPos.line, 0, m_view.GetLineCount() - 1);
    const bool set = (m_view.GetLineFlags(line) & EDT_LF_BOOKMARK_UNNAMED) == 0;
    m_view.m_buffer->SetLineFlag(line, EDT_LF_BOOKMARK_UNNAMED, set, false);
    m_view.m_hasUnnamedBookmarks = m_view.m_buffer->FindLineWithFlag(EDT_LF_BOOKMARK_UNNAMED) >= 0;
}

void EdtViewJumps::OnNextBookmark()
{
    m_view.m_keyboardSelection = false;
    if (!m_view.m_buffer)
        return;
    const int line = m_view.m_buffer->FindNextBookmarkLine(m_view.m_cursorPos.line);
    if (line >= 0)
        MoveTo(m_view, {0, line});
}

void EdtViewJumps::OnPrevBookmark()
{
    m_view.m_keyboardSelection = false;
    if (!m_view.m_buffer)
        return;
    const int line = m_view.m_buffer->FindPrevBookmarkLine(m_view.m_cursorPos.line);
    if (line >= 0)
        MoveTo(m_view, {0, line});
}

void EdtViewJumps::OnClearAllBookmarks()
{
    m_view.m_keyboardSelection = false;
    if (!m_view.m_buffer)
        return;
    for (int line = m_view.m_buffer->FindLineWithFlag(EDT_LF_BOOKMARK_UNNAMED); line >= 0;
         line = m_view.m_buffer->FindLineWithFlag(EDT_LF_BOOKMARK_UNNAMED))
        m_view.m_buffer->SetLineFlag(line, EDT_LF_BOOKMARK_UNNAMED, false, false);
    m_view.m_hasUnnamedBookmarks = false;
}

// ------------------------------------------------------------ jumps

void EdtViewJumps::OnMatchBrace()
{
    m_view.m_keyboardSelection = false;
    std::u16string_view open, close, lineC;
    if (m_view.m_textType) {
        open = m_view.m_textType->openComment;
        close = m_view.m_textType->closeComment;
        lineC = m_view.m_textType->lineComment;
    }
    EdtPoint found;
    if (!edt::FindMatchingBracket(m_view.Layout(), m_view.m_cursorPos, open, close, lineC, found))
        return;
    MoveTo(m_view, found);
}

void EdtViewJumps::GoToLine(int n, bool relative)
{
    EdtPoint target;
    if (!edt::GoToLineTarget(m_view.Layout(), n, relative, m_view.m_cursorPos, target))
        return;
    MoveTo(m_view, target);
}

void EdtViewJumps::OnGoToLine()
{
    m_view.m_keyboardSelection = false;
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
    if (!doc || !m_view.m_textType || m_view.m_textType->name != u"C")
        return;
    for (const std::u16string& path : edt::HeaderCandidates(doc->GetPathName().toStdU16String()))
        if (FileExists(path)) {
            if (ui::DocManager* dm = ui::DocManager::Current())
                dm->OpenDocumentFile(QString::fromStdU16String(path));
            return;
        }
}

// ------------------------------------------------------------ the view's functions that hand on to this part

void CEdtTextView::OnToggleBookmark(int n)
{
    m_jumps->OnToggleBookmark(n);
}

void CEdtTextView::OnGoBookmark(int n)
{
    m_jumps->OnGoBookmark(n);
}

void CEdtTextView::OnClearBookmarks()
{
    m_jumps->OnClearBookmarks();
}

void CEdtTextView::OnToggleBookmark()
{
    m_jumps->OnToggleBookmark();
}

void CEdtTextView::OnNextBookmark()
{
    m_jumps->OnNextBookmark();
}

void CEdtTextView::OnPrevBookmark()
{
    m_jumps->OnPrevBookmark();
}

void CEdtTextView::OnClearAllBookmarks()
{
    m_jumps->OnClearAllBookmarks();
}

void CEdtTextView::OnMatchBrace()
{
    m_jumps->OnMatchBrace();
}

void CEdtTextView::GoToLine(int n, bool relative)
{
    m_jumps->GoToLine(n, relative);
}

void CEdtTextView::OnGoToLine()
{
    m_jumps->OnGoToLine();
}

void CEdtTextView::OnSwitchHeader()
{
    m_jumps->OnSwitchHeader();
}
