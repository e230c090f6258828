// The text view: bookmarks, the matching bracket, go to line and the
// switch between a source and its header.

#include "editor/EdtGoToLineDlg.h"
#include "editor/EdtTextView.h"

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

void CEdtTextView::OnToggleBookmark(int n)
{
    m_keyboardSelection = false;
    if (!m_buffer || n < 0 || n > 9)
        return;
    const uint32_t bit = EDT_LF_BOOKMARK(n);
    const int line = std::clamp(m_cursorPos.line, 0, GetLineCount() - 1);
    const bool set = (GetLineFlags(line) & bit) == 0;
    m_buffer->SetLineFlag(line, bit, set, true);
}

void CEdtTextView::OnGoBookmark(int n)
{
    m_keyboardSelection = false;
    if (!m_buffer || n < 0 || n > 9)
        return;
    const int line = m_buffer->GetLineWithFlag(EDT_LF_BOOKMARK(n));
    if (line >= 0)
        MoveTo(*this, {0, line});
}

void CEdtTextView::OnClearBookmarks()
{
    m_keyboardSelection = false;
    if (!m_buffer)
        return;
    for (int n = 0; n <= 9; ++n)
        m_buffer->SetLineFlag(-1, EDT_LF_BOOKMARK(n), false, false);
}

void CEdtTextView::OnToggleBookmark()
{
    m_keyboardSelection = false;
    if (!m_buffer)
        return;
    const int line = std::clamp(m_cursorPos.line, 0, GetLineCount() - 1);
    const bool set = (GetLineFlags(line) & EDT_LF_BOOKMARK_UNNAMED) == 0;
    m_buffer->SetLineFlag(line, EDT_LF_BOOKMARK_UNNAMED, set, false);
    m_hasUnnamedBookmarks = m_buffer->FindLineWithFlag(EDT_LF_BOOKMARK_UNNAMED) >= 0;
}

void CEdtTextView::OnNextBookmark()
{
    m_keyboardSelection = false;
    if (!m_buffer)
        return;
    const int line = m_buffer->FindNextBookmarkLine(m_cursorPos.line);
    if (line >= 0)
        MoveTo(*this, {0, line});
}

void CEdtTextView::OnPrevBookmark()
{
    m_keyboardSelection = false;
    if (!m_buffer)
        return;
    const int line = m_buffer->FindPrevBookmarkLine(m_cursorPos.line);
    if (line >= 0)
        MoveTo(*this, {0, line});
}

void CEdtTextView::OnClearAllBookmarks()
{
    m_keyboardSelection = false;
    if (!m_buffer)
        return;
    for (int line = m_buffer->FindLineWithFlag(EDT_LF_BOOKMARK_UNNAMED); line >= 0;
         line = m_buffer->FindLineWithFlag(EDT_LF_BOOKMARK_UNNAMED))
        m_buffer->SetLineFlag(line, EDT_LF_BOOKMARK_UNNAMED, false, false);
    m_hasUnnamedBookmarks = false;
}

// ------------------------------------------------------------ jumps

void CEdtTextView::OnMatchBrace()
{
    m_keyboardSelection = false;
    std::u16string_view open, close, lineC;
    if (m_textType) {
        open = m_textType->openComment;
        close = m_textType->closeComment;
        lineC = m_textType->lineComment;
    }
    EdtPoint found;
    if (!edt::FindMatchingBracket(Layout(), m_cursorPos, open, close, lineC, found))
        return;
    MoveTo(*this, found);
}

void CEdtTextView::GoToLine(int n, bool relative)
{
    EdtPoint target;
    if (!edt::GoToLineTarget(Layout(), n, relative, m_cursorPos, target))
        return;
    MoveTo(*this, target);
}

void CEdtTextView::OnGoToLine()
{
    m_keyboardSelection = false;
    CGoToLineDlg dlg(this);
    if (!dlg.IsLoaded())
        return;
    if (dlg.DoModal() != ui::IDOK_BUTTON)
        return;
    int n = 0;
    bool relative = false;
    if (edt::ParseGoToText(dlg.Text().toStdU16String(), n, relative))
        GoToLine(n, relative);
}

void CEdtTextView::OnSwitchHeader()
{
    ui::Document* doc = GetDocument();
    if (!doc || !m_textType || m_textType->name != u"C")
        return;
    for (const std::u16string& path : edt::HeaderCandidates(doc->GetPathName().toStdU16String()))
        if (FileExists(path)) {
            if (ui::DocManager* dm = ui::DocManager::Current())
                dm->OpenDocumentFile(QString::fromStdU16String(path));
            return;
        }
}
