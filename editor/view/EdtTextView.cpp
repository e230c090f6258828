// The text view: state, buffer access, source types, buffer updates,
// commands and the framework's hooks.

#include "editor/view/EdtTextView.h"

#include "editor/view/EdtCaretModel.h"
#include "editor/find/EdtFindController.h"
#include "editor/view/EdtLayoutCache.h"
#include "editor/view/EdtMouseController.h"
#include "editor/print/EdtTextPrinter.h"
#include "editor/view/EdtViewRenderer.h"
#include "editor/view/EdtViewJumps.h"
#include "editor/view/EdtViewScroller.h"

#include "editor/buffer/EdtCodePages.h"
#include "editor/settings/EdtCodePageNames.h"
#include "editor/dialogs/EdtPageSetup.h"
#include "platform/ui/Accel.h"
#include "platform/ui/Splitter.h"
#include "res/CommandIds.h"
#include "res/StringTable.h"

#include <QApplication>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTimer>

#include <algorithm>
#include <cstring>

CEdtTextView::CEdtTextView(QWidget* parent) : ui::View(parent)
{
    m_finder = std::make_unique<EdtFindController>(*this);
    m_printer = std::make_unique<EdtTextPrinter>(*this);
    m_jumps = std::make_unique<EdtViewJumps>(*this);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_InputMethodEnabled);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setCursor(Qt::IBeamCursor);

    m_scroller = std::make_unique<EdtViewScroller>(*this);
    m_cache = std::make_unique<EdtLayoutCache>(*this);
    m_mouse = std::make_unique<EdtMouseController>(*this);
    m_caret = std::make_unique<EdtCaretModel>(*this);
    m_renderer = std::make_unique<EdtViewRenderer>(*this);

    m_mouse->SetDisableDragAndDrop((GetEdtGeneralFlags() & 0x80) != 0);
    m_accel = ui::AccelTable::Load(IDR_EDT_ACCEL);
    m_mouse->TextInClipboard();  // starts watching the clipboard

    CEdtTextView::ResetView();
    CEdtTextView::SetTextType(GetTextTypeDef(0));
    MapCommands();
    m_finder->MapFindCommands();
    m_scroller->LayoutScrollBars();
}

CEdtTextView::~CEdtTextView()
{
    DetachFromBuffer();
    if (m_cache->m_parser)
        m_cache->m_parser->SetTextView(nullptr);
}

// ------------------------------------------------------------ buffer access

int CEdtTextView::GetLineCount() const
{
    return m_buffer ? std::max(m_buffer->GetLineCount(), 1) : 1;
}

int CEdtTextView::GetLineLength(int line) const
{
    if (!m_buffer || line < 0 || line >= m_buffer->GetLineCount())
        return 0;
    return m_buffer->GetLineLength(line);
}

const char16_t* CEdtTextView::GetLineChars(int line) const
{
    if (!m_buffer || line < 0 || line >= m_buffer->GetLineCount())
        return u"";
    return m_buffer->GetLineChars(line);
}

uint32_t CEdtTextView::GetLineFlags(int line) const
{
    if (!m_buffer || line < 0 || line >= m_buffer->GetLineCount())
        return 0;
    return m_buffer->GetLineFlags(line);
}

std::u16string CEdtTextView::GetText(EdtPoint start, EdtPoint end) const
{
    std::u16string text;
    if (!m_buffer || m_buffer->GetLineCount() == 0)
        return text;
    auto clamp = [this](EdtPoint p) {
        p.line = std::clamp(p.line, 0, m_buffer->GetLineCount() - 1);
        p.ch = std::clamp(p.ch, 0, m_buffer->GetLineLength(p.line));
        return p;
    };
    start = clamp(start);
    end = clamp(end);
    if (end.line < start.line || (end.line == start.line && end.ch < start.ch))
        std::swap(start, end);
    m_buffer->GetText(start.line, start.ch, end.line, end.ch, text);
    return text;
}

int CEdtTextView::GetLineActualLength(int line)
{
    if (line < 0 || line >= GetLineCount())
        return 0;
    m_cache->EnsureCacheSize();
    int32_t v = m_cache->m_lengths.Get(line);
    if (v < 0) {
        v = edt::ExpandedLength({GetLineChars(line), size_t(GetLineLength(line))}, m_style.tabSize);
        m_cache->m_lengths.Set(line, v);
    }
    return v;
}

CEdtTextBuffer* CEdtTextView::LocateTextBuffer()
{
    return nullptr;
}

// ------------------------------------------------------------ source types

bool CEdtTextView::GetDisableDragAndDrop() const
{
    return m_mouse->GetDisableDragAndDrop();
}

void CEdtTextView::SetDisableDragAndDrop(bool on)
{
    m_mouse->SetDisableDragAndDrop(on);
}

bool CEdtTextView::SetTextTypeById(int id)
{
    const TextTypeDef* row = GetTextTypeDef(id);
    if (!row)
        return false;
    return SelectTextType(row);
}

bool CEdtTextView::SetTextType(std::u16string_view extension)
{
    const TextTypeDef* row = FindTextTypeByExtension(extension);
    return SelectTextType(row ? row : GetTextTypeDef(0));
}

bool CEdtTextView::SelectTextType(const TextTypeDef* type)
{
    if (!type)
        return false;
    if (type == m_appliedType) {
        m_textType = type;
        return true;
    }
    return SetTextType(type);
}

bool CEdtTextView::SetTextType(const TextTypeDef* type)
{
    if (!type)
        return false;
    m_textType = m_appliedType = type;
    if (m_style.flags != type->flags) {
        m_style.flags = type->flags;
        update();
    }
    SetWordWrap((m_style.flags & EDT_TT_WORDWRAP) != 0);
    m_renderer->SetSelectionMargin((m_style.flags & EDT_TT_MARGIN) != 0);
    SetTabSize(type->tabSize);
    m_renderer->SetShowTabs((m_style.flags & EDT_TT_SHOWTABS) != 0);
    if (m_buffer)
        ApplyForcedCRLFMode(*type, *m_buffer);
    return true;
}

void CEdtTextView::LoadSettings()
{
    EdtLoadSettings();
}

void CEdtTextView::SaveSettings()
{
    EdtSaveSettings();
}

// ------------------------------------------------------------ attach and reset

void CEdtTextView::AttachToBuffer(CEdtTextBuffer* buffer)
{
    DetachFromBuffer();
    m_buffer = buffer ? buffer : LocateTextBuffer();
    if (m_buffer)
        m_buffer->AddView(this);
    ResetView();
    m_scroller->RecalcVertScrollBar();
    m_scroller->RecalcHorzScrollBar();
    m_cache->StartFiller();
}

void CEdtTextView::DetachFromBuffer()
{
    if (m_buffer) {
        m_buffer->RemoveView(this);
        m_buffer = nullptr;
        ResetView();
    }
}

void CEdtTextView::ResetView()
{
    m_pos.topLine = m_pos.offsetChar = m_pos.topSubLine = 0;
    if (m_style.tabSize != 4) {
        m_style.tabSize = 4;
    }
    m_appliedType = nullptr;
    m_renderer->m_lineHeight = m_renderer->m_charWidth = -1;
    m_scroller->m_screenLines = m_scroller->m_screenChars = -1;
    for (auto& f : m_renderer->m_fonts)
        f.reset();
    m_renderer->m_iconsLoaded = false;
    m_renderer->m_icons = QPixmap();
    m_cache->ResetCaches();
    m_sel.PlaceAt({});
    m_sel.SetSelStart({});
    m_sel.SetSelEnd({});
    m_sel.SetDrawSelStart({});
    m_sel.SetDrawSelEnd({});
    m_sel.SetIdealChar(-1);
    m_jumps->SetHasUnnamedBookmarks(false);
    m_mouse->CancelDrag();
    m_style.showInactiveSelection = true;
    m_vertScrollLocked = m_horzScrollLocked = false;
    if (m_buffer)
        m_jumps->SetHasUnnamedBookmarks(m_buffer->FindLineWithFlag(EDT_LF_BOOKMARK_UNNAMED) >= 0);
    m_caret->UpdateCaret();
    update();
}

// ------------------------------------------------------------ buffer updates

void CEdtTextView::UpdateView(IEdtBufferListener* source, const UpdateContext* context,
                              uint32_t flags, int line)
{
    (void)source;
    if (flags & EDT_UPD_RESET) {
        ResetView();
        if (m_textType)
            SetTextType(m_textType);
        m_scroller->RecalcVertScrollBar();
        m_scroller->RecalcHorzScrollBar();
        m_cache->StartFiller();
        return;
    }
    if (line < 0)
        line = 0;
    if ((flags & 0x200) != 0) {
        // Line flags only: the line's icon and colour.
        if (line < GetLineCount()) {
            m_caret->InvalidateLines(line, line);
            if (m_buffer)
                m_jumps->SetHasUnnamedBookmarks((GetLineFlags(line) & EDT_LF_BOOKMARK_UNNAMED) ||
                    (m_jumps->HasUnnamedBookmarks() &&
                     m_buffer->FindLineWithFlag(EDT_LF_BOOKMARK_UNNAMED) >= 0));
        }
        return;
    }
    const int count = GetLineCount();
    m_cache->m_cookiesKnown = std::min(m_cache->m_cookiesKnown, line);
    if (m_cache->m_cookies.size() > size_t(count))
        m_cache->m_cookies.resize(size_t(count));
    int oldLength = -1;
    int insertedLines = 0;
    const auto* rewrite = dynamic_cast<const RewriteContext*>(context);
    // The maximum rises with a longer line; when the longest line shrinks
    // (oldLength was the longest and now stands at shrunk) or goes, the
    // filler looks for the new one.
    auto noteLengths = [&](int oldLen, int shrunk, int longest) {
        const int current = m_cache->m_maxLength >= 0 ? m_cache->m_maxLength : m_cache->m_maxKnown;
        if (oldLen >= current && current > 0 && shrunk < oldLen) {
            m_cache->m_maxLength = -1;
            m_cache->m_maxKnown = 0;
            m_cache->m_lengthScan = 0;
        } else if (longest > current) {
            m_cache->m_maxKnown = std::max(m_cache->m_maxKnown, longest);
            if (m_cache->m_maxLength >= 0)
                m_cache->m_maxLength = longest;
        }
        if (m_style.wordWrap)
            m_cache->m_wrapScan = std::min(m_cache->m_wrapScan, line);
    };
    if (rewrite && rewrite->AddedLines() == 0 && line < count) {
        // Lines rewritten in place: only theirs are measured again.
        m_cache->EnsureCacheSize();
        int longest = 0;
        for (const RewriteContext::Line& l : rewrite->lines) {
            oldLength = std::max(oldLength, static_cast<int>(m_cache->m_lengths.Get(l.line)));
            m_cache->m_lengths.Set(l.line, -1);
            m_cache->m_subLines.Set(l.line, -1);
            longest = std::max(longest, GetLineActualLength(l.line));
        }
        noteLengths(oldLength, longest, longest);
    } else if (flags & 0x100) {
        // One line changed.
        m_cache->EnsureCacheSize();
        oldLength = m_cache->m_lengths.Get(line);
        m_cache->m_lengths.Set(line, -1);
        m_cache->m_subLines.Set(line, -1);
    } else {
        // Lines added or removed.
        const auto* ins = dynamic_cast<const InsertContext*>(context);
        const auto* del = dynamic_cast<const DeleteContext*>(context);
        if (ins && ins->end.line >= ins->begin.line) {
            const int n = ins->end.line - ins->begin.line;
            insertedLines = n;
            oldLength = m_cache->m_lengths.Get(line);
            m_cache->m_lengths.Insert(line + 1, n, -1);
            m_cache->m_subLines.Insert(line + 1, n, -1);
            m_cache->m_lengths.Set(line, -1);
            m_cache->m_subLines.Set(line, -1);
        } else if (del && del->end.line >= del->begin.line) {
            const int n = del->end.line - del->begin.line;
            for (int i = line; i <= line + n && i < m_cache->m_lengths.Size(); ++i)
                oldLength = std::max(oldLength, static_cast<int>(m_cache->m_lengths.Get(i)));
            m_cache->m_lengths.Remove(line + 1, n);
            m_cache->m_subLines.Remove(line + 1, n);
            m_cache->m_lengths.Set(line, -1);
            m_cache->m_subLines.Set(line, -1);
        } else {
            m_cache->m_lengths.Fill(line, m_cache->m_lengths.Size(), -1);
            m_cache->m_subLines.Fill(line, m_cache->m_subLines.Size(), -1);
            oldLength = m_cache->m_maxLength;
        }
        m_cache->EnsureCacheSize();
    }
    if (line < count && !(rewrite && rewrite->AddedLines() == 0)) {
        int longest = 0;
        for (int i = line; i <= std::min(line + insertedLines, count - 1); ++i)
            longest = std::max(longest, GetLineActualLength(i));
        noteLengths(oldLength, GetLineActualLength(line), longest);
    }
    if (m_pos.topLine >= count)
        m_pos.topLine = count - 1;
    if (context) {
        m_sel.MovePoints([context](EdtPoint& pt) { context->RecalcPoint(pt); });
        m_mouse->MoveDragPoints(*context);
        EdtPoint top{0, m_pos.topLine};
        context->RecalcPoint(top);
        m_pos.topLine = std::clamp(top.line, 0, count - 1);
        m_pos.topSubLine = GetSubLineIndex(m_pos.topLine);
    }
    m_caret->InvalidateFromLine(line);
    m_caret->UpdateCaret();
    if ((flags & 0x2) && !m_vertScrollLocked)
        m_scroller->RecalcVertScrollBar();
    if ((flags & 0x1) && !m_horzScrollLocked)
        m_scroller->RecalcHorzScrollBar();
    m_cache->StartFiller();
}

void CEdtTextView::OnEditOperation(int, std::u16string_view) {}

// ------------------------------------------------------------ framework

void CEdtTextView::OnInitialUpdate()
{
    std::u16string ext;
    if (ui::Document* doc = GetDocument())
        ext = GetFileExt(doc->GetPathName().toStdU16String());
    SetTextType(ext);
    AttachToBuffer();
    SetTextType(ext);
    m_scroller->ConnectScrollBars();
    if (m_scroller->m_sharedV || m_scroller->m_sharedH) {
        // A new pane starts where its row and column stand.
        if (m_scroller->m_sharedV)
            ScrollToSubLine(std::clamp(m_scroller->m_sharedV->value(), 0, GetSubLineCount() - 1),
                            true, false);
        if (m_scroller->m_sharedH && !m_style.wordWrap)
            ScrollToChar(std::max(m_scroller->m_sharedH->value(), 0), true, false);
    }
    SetFont(GetEdtEditorFont());
}

void CEdtTextView::OnUpdate(ui::View*, long, QObject*)
{
    update();
}

const ui::AccelTable* CEdtTextView::Accelerators() const
{
    return m_accel.get();
}

bool CEdtTextView::ExecuteCommand(uint32_t id)
{
    if (id >= ID_EDT_FIRST && id <= ID_EDT_LAST && id != ID_EDT_INCREMENTAL_FORWARD &&
        id != ID_EDT_INCREMENTAL_BACKWARD && id != ID_EDT_DELETE_BACK)
        m_finder->EndIncrementalSearch();
    return ui::View::ExecuteCommand(id);
}

void CEdtTextView::MapCommands()
{
    MapCommandRange(ID_EDT_CARET_FIRST, ID_EDT_CARET_LAST,
                    [this](uint32_t id) { m_caret->OnCaretCommand(id); });
    MapCommand(ID_EDIT_COPY, [this] { m_mouse->OnEditCopy(); });
    MapCommand(ID_FILE_PAGE_SETUP, [this] { Printer().OnFilePageSetup(); });
    MapCommand(ID_FILE_PRINT, [this] {
        EdtPrinter();
        OnFilePrint();
    });
    MapCommand(ID_FILE_PRINT_PREVIEW, [this] {
        EdtPrinter();
        OnFilePrintPreview();
    });
    MapUpdate(ID_EDIT_COPY, [this](ui::CmdUI& cmd) { cmd.Enable(IsSelection()); });
    MapCommand(ID_EDIT_SELECT_ALL, [this] { m_mouse->OnEditSelectAll(); });
    MapUpdate(ID_EDIT_SELECT_ALL, [](ui::CmdUI& cmd) { cmd.Enable(true); });
    MapCommandRange(ID_EDT_TOGGLE_BOOKMARK0, ID_EDT_TOGGLE_BOOKMARK0 + 9, [this](uint32_t id) {
        m_jumps->OnToggleBookmark(int(id - ID_EDT_TOGGLE_BOOKMARK0));
    });
    MapCommandRange(ID_EDT_GO_BOOKMARK0, ID_EDT_GO_BOOKMARK0 + 9,
                    [this](uint32_t id) { m_jumps->OnGoBookmark(int(id - ID_EDT_GO_BOOKMARK0)); });
    MapCommand(ID_EDT_CLEAR_BOOKMARKS, [this] { m_jumps->OnClearBookmarks(); });
    MapCommand(ID_EDT_TOGGLE_BOOKMARK, [this] { m_jumps->OnToggleBookmark(); });
    MapCommand(ID_EDT_NEXT_BOOKMARK, [this] { m_jumps->OnNextBookmark(); });
    MapCommand(ID_EDT_PREV_BOOKMARK, [this] { m_jumps->OnPrevBookmark(); });
    MapCommand(ID_EDT_CLEAR_ALL_BOOKMARKS, [this] { m_jumps->OnClearAllBookmarks(); });
    for (uint32_t id : {ID_EDT_NEXT_BOOKMARK, ID_EDT_PREV_BOOKMARK, ID_EDT_CLEAR_ALL_BOOKMARKS})
        MapUpdate(id, [this](ui::CmdUI& cmd) { cmd.Enable(m_jumps->HasUnnamedBookmarks()); });
    MapCommand(ID_EDT_MATCH_BRACE, [this] { m_jumps->OnMatchBrace(); });
    MapUpdate(ID_EDT_MATCH_BRACE, [this](ui::CmdUI& cmd) {
        cmd.Enable(edt::HasBracketAt(m_cache->Lines(), m_sel.Cursor()));
    });
    MapCommand(ID_EDT_GOTO_LINE, [this] { m_jumps->OnGoToLine(); });
    MapCommand(ID_EDT_SWITCH_HEADER, [this] { m_jumps->OnSwitchHeader(); });
    MapUpdate(ID_EDT_SWITCH_HEADER, [this](ui::CmdUI& cmd) {
        cmd.Enable(m_textType && m_textType->name == u"C");
    });
    MapCommand(ID_EDT_TOGGLE_MARGIN, [this] {
        if (!m_textType)
            return;
        auto* row = const_cast<TextTypeDef*>(m_textType);
        row->flags ^= EDT_TT_MARGIN;
        m_style.flags ^= EDT_TT_MARGIN;
        m_renderer->SetSelectionMargin(!m_style.selMargin);
    });
    MapUpdate(ID_EDT_TOGGLE_MARGIN, [this](ui::CmdUI& cmd) { cmd.SetCheck(m_style.selMargin ? 1 : 0); });
    MapCommand(ID_EDT_TOGGLE_WORDWRAP, [this] {
        if (!m_textType)
            return;
        auto* row = const_cast<TextTypeDef*>(m_textType);
        row->flags ^= EDT_TT_WORDWRAP;
        m_style.flags ^= EDT_TT_WORDWRAP;
        SetWordWrap(!m_style.wordWrap);
    });
    MapUpdate(ID_EDT_TOGGLE_WORDWRAP, [this](ui::CmdUI& cmd) { cmd.SetCheck(m_style.wordWrap ? 1 : 0); });
    MapCommandRange(ID_EDT_SOURCE_TYPE_FIRST, ID_EDT_SOURCE_TYPE_LAST, [this](uint32_t id) {
        SetTextTypeById(int(id - ID_EDT_SOURCE_TYPE_FIRST));
        update();
    });
    MapUpdateRange(ID_EDT_SOURCE_TYPE_FIRST, ID_EDT_SOURCE_TYPE_LAST, [this](ui::CmdUI& cmd) {
        cmd.SetCheck(m_textType && m_textType->id == int(cmd.Id() - ID_EDT_SOURCE_TYPE_FIRST) ? 1 : 0);
    });
    MapCommand(ID_EDT_REDRAW, [this] { repaint(); });
    MapUpdate(ID_EDT_INDICATOR_CRLF, [this](ui::CmdUI& cmd) {
        const int mode = m_buffer ? m_buffer->GetCRLFMode() : -1;
        const bool known = mode >= 0 && mode <= 2;
        cmd.Enable(m_buffer && known);
        cmd.SetText(known ? QString::fromUtf16(GetCRLFModeName(mode)) : QString());
    });
    MapUpdate(ID_EDT_INDICATOR_ENCODING, [this](ui::CmdUI& cmd) {
        cmd.Enable(m_buffer != nullptr);
        cmd.SetText(m_buffer ? GetEncodingStatusText(m_buffer->GetEncoding(), m_buffer->GetUtf8Mark())
                             : QString());
    });
    MapUpdate(ID_EDT_INDICATOR_POSITION, [this](ui::CmdUI& cmd) {
        const int col = m_caret->CalculateActualOffset(m_sel.Cursor().line, m_sel.Cursor().ch);
        cmd.Enable(true);
        cmd.SetText(FormatResString(IDS_EDT_POSITION_FORMAT, m_sel.Cursor().line + 1, col + 1));
        Finder().UpdateIncrementalStatus();
    });
}

bool CEdtTextView::event(QEvent* e)
{
    if (e->type() == QEvent::ShortcutOverride) {
        // The editor's keys belong to the view, not to shortcuts around it.
        auto* k = static_cast<QKeyEvent*>(e);
        if (m_accel && m_accel->Translate(*k)) {
            e->accept();
            return true;
        }
    }
    return ui::View::event(e);
}

// ------------------------------------------------------------ Qt events

QVariant CEdtTextView::inputMethodQuery(Qt::InputMethodQuery query) const
{
    if (query == Qt::ImCursorRectangle)
        return m_caret->CaretRect();
    return ui::View::inputMethodQuery(query);
}

void CEdtTextView::keyPressEvent(QKeyEvent* e)
{
    // Keys that no frame translated (a view outside a main frame).
    const uint16_t cmd = m_accel ? m_accel->Translate(*e) : 0;
    if (cmd) {
        if (HasCommand(cmd)) {
            ui::CmdUI probe(cmd);
            UpdateCommand(probe);
            if (probe.Enabled())
                ExecuteCommand(cmd);
        } else {
            ui::SendCommand(cmd);
        }
        e->accept();
        return;
    }
    if (e->key() == Qt::Key_Tab || e->key() == Qt::Key_Backtab) {
        e->accept();
        return;
    }
    if (Finder().IsIncrementalSearch() && !e->text().isEmpty()) {
        // Typed characters grow the incremental search.
        for (QChar c : e->text())
            Finder().OnIncrementalChar(c.unicode());
        e->accept();
        return;
    }
    ui::View::keyPressEvent(e);
}

bool CEdtTextView::focusNextPrevChild(bool)
{
    return false;  // Tab and Shift+Tab stay in the view
}

void CEdtTextView::focusInEvent(QFocusEvent* e)
{
    ui::View::focusInEvent(e);
    m_style.focused = true;
    m_sel.PrepareSelBounds();
    m_caret->InvalidateLines(m_sel.DrawSelStart().line, m_sel.DrawSelEnd().line);
    m_caret->UpdateCaret();
}

void CEdtTextView::focusOutEvent(QFocusEvent* e)
{
    ui::View::focusOutEvent(e);
    m_style.focused = false;
    m_sel.PrepareSelBounds();
    m_caret->InvalidateLines(m_sel.DrawSelStart().line, m_sel.DrawSelEnd().line);
    m_mouse->EndMouseSelection();
    m_caret->UpdateCaret();
}

void CEdtTextView::showEvent(QShowEvent* e)
{
    ui::View::showEvent(e);
    m_scroller->ConnectScrollBars();
    m_scroller->RecalcVertScrollBar();
    m_scroller->RecalcHorzScrollBar();
}

void CEdtTextView::changeEvent(QEvent* e)
{
    if (e->type() == QEvent::PaletteChange || e->type() == QEvent::StyleChange)
        update();
    ui::View::changeEvent(e);
}

void CEdtTextView::WrapLine(int line, int width, std::vector<int>* breaks, int& count)
{
    if (m_cache->m_parser)
        m_cache->m_parser->WrapLine(line, width, breaks, count);
}

void CEdtTextView::SetWordWrap(bool on)
{
    if (m_style.wordWrap == on)
        return;
    m_cache->EnsureCacheSize();
    m_style.wordWrap = on;
    m_cache->m_subLines.Fill(0, m_cache->m_subLines.Size(), -1);
    m_cache->m_wrapScan = 0;
    m_cache->m_wrapWidth = -1;
    if (on)
        m_pos.offsetChar = 0;
    m_pos.topSubLine = GetSubLineIndex(m_pos.topLine);
    m_scroller->LayoutScrollBars();
    m_scroller->RecalcVertScrollBar();
    m_scroller->RecalcHorzScrollBar();
    m_caret->UpdateCaret();
    update();
    m_cache->StartFiller();
}

void CEdtTextView::SetTabSize(int n)
{
    if (n < 1 || n == m_style.tabSize)
        return;
    m_style.tabSize = n;
    m_cache->EnsureCacheSize();
    m_cache->m_lengths.Fill(0, m_cache->m_lengths.Size(), -1);
    m_cache->m_maxLength = -1;
    m_cache->m_maxKnown = 0;
    m_cache->m_lengthScan = 0;
    m_sel.SetIdealChar(-1);
    if (m_style.wordWrap) {
        m_cache->m_subLines.Fill(0, m_cache->m_subLines.Size(), -1);
        m_cache->m_wrapScan = 0;
    }
    m_scroller->RecalcHorzScrollBar();
    update();
    m_caret->UpdateCaret();
    m_cache->StartFiller();
}

CEdtParser* CEdtTextView::SetParser(CEdtParser* parser)
{
    CEdtParser* old = m_cache->m_parser;
    m_cache->m_parser = parser;
    if (parser)
        parser->SetTextView(this);
    if (m_style.wordWrap) {
        m_cache->EnsureCacheSize();
        m_cache->m_subLines.Fill(0, m_cache->m_subLines.Size(), -1);
        m_cache->m_wrapScan = 0;
        m_pos.topSubLine = GetSubLineIndex(m_pos.topLine);
        m_scroller->RecalcVertScrollBar();
        update();
        m_cache->StartFiller();
    }
    return old;
}
