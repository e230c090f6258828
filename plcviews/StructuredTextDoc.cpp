#include "plcviews/StructuredTextDoc.h"

#include "editor/view/EdtViewScroller.h"
#include "plcviews/PPTextFile.h"
#include "plcviews/WatchedFile.h"

#include "editor/settings/EdtSettings.h"
#include "platform/sys/LastError.h"
#include "platform/sys/NativeText.h"
#include "platform/sys/Registry.h"
#include "platform/ui/Accel.h"
#include "platform/ui/App.h"
#include "platform/ui/Beep.h"
#include "platform/ui/Dialog.h"
#include "platform/ui/Help.h"
#include "platform/ui/Menu.h"
#include "platform/ui/Prompt.h"
#include "platform/ui/SysColor.h"
#include "projectui/ProjectHost.h"
#include "res/CommandIds.h"
#include "res/StringTable.h"
#include "uilib/KVTWorkspace.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDateTime>
#include <QDir>
#include "platform/ui/LocalPath.h"
#include <QFileInfo>
#include <QMdiArea>
#include <QPointer>
#include <QShowEvent>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <sys/stat.h>

namespace {
constexpr uint32_t kMaximiseFrames = 0x10;
constexpr uint32_t kRememberPosition = 0x2000;
constexpr uint32_t kChanged = FCM_SIZE | FCM_TIME;
constexpr uint32_t kGone = FCM_GONE | FCM_FOLDER;
constexpr int kMaxTitle = 516;
constexpr std::u16string_view kRememberedSection = u"EdtLib\\Remembered";

using watched::MainWnd;
using watched::Watching;

QString Shown(const QString& path) { return ui::ShownLocalPath(path); }

// 0: a file; ENOENT: nothing there; another errno: no file can be read there.
int ProbePath(const QString& path)
{
    const std::optional<std::string> native = ui::NativeOfLocalPath(path);
    struct stat st{};
    if (!native)
        return EILSEQ; // text that no bytes give
    if (::stat(native->c_str(), &st) != 0)
        return errno;
    return S_ISDIR(st.st_mode) ? EISDIR : 0;
}

QString Extension(const QString& path)
{
    const QString name = ui::LocalFileName(path);
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.mid(dot + 1);
}
} // namespace

// --------------------------------------------------------------- the buffer

void CStructuredTextBuffer::SetModified(bool modified)
{
    CEdtTextBuffer::SetModified(modified);
    if (m_doc && m_doc->IsModified() != modified)
        m_doc->SetModifiedFlag(modified);
}

// -------------------------------------------------------------- the document

CStructuredTextDoc::CStructuredTextDoc()
{
    m_buffer.InitNew();
    MapCommand(ID_EDT_READ_ONLY, [this] {
        const bool on = !IsReadOnly();
        SetReadOnly(on);
        if (on)
            ui::Prompt(LoadResString(IDS_NOW_READ_ONLY), {}, ui::MB_ICONINFORMATION);
    });
    MapUpdate(ID_EDT_READ_ONLY, [this](ui::CmdUI& cmd) { cmd.SetCheck(IsReadOnly() ? 1 : 0); });
    MapCommand(ID_FILE_SAVE, [this] { DoFileSave(); });
    MapUpdate(ID_FILE_SAVE, [this](ui::CmdUI& cmd) { cmd.Enable(IsModified()); });
}

CStructuredTextDoc::~CStructuredTextDoc()
{
    Stop();
    // The views go before the buffer; none may still point at it.
    for (ui::View* v : Views())
        if (auto* tv = qobject_cast<CEdtTextView*>(v))
            tv->DetachFromBuffer();
}

void CStructuredTextDoc::SetModifiedFlag(bool modified)
{
    const bool changed = modified != IsModified();
    ui::Document::SetModifiedFlag(modified);
    if (m_buffer.IsModified() != modified)
        m_buffer.CEdtTextBuffer::SetModified(modified);
    if (changed)
        for (ui::ChildFrame* f : Frames())
            f->OnUpdateFrameTitle();
}

void CStructuredTextDoc::SetReadOnly(bool readOnly) { m_buffer.SetReadOnly(readOnly); }

bool CStructuredTextDoc::OnNewDocument()
{
    const bool readOnly = m_buffer.GetReadOnly();
    m_buffer.FreeAll();
    m_buffer.InitNew();
    m_buffer.SetReadOnly(readOnly);
    SetModifiedFlag(false);
    return true;
}

void CStructuredTextDoc::DeleteContents()
{
    for (ui::View* v : Views())
        if (auto* tv = qobject_cast<CEdtTextView*>(v))
            tv->DetachFromBuffer();
}

void CStructuredTextDoc::CloseOtherEmptyDocuments()
{
    ui::Application* app = ui::Application::Instance();
    if (!app)
        return;
    std::vector<ui::Document*> close;
    for (int i = 0; i < app->Documents().TemplateCount(); ++i)
        for (ui::Document* d : app->Documents().Template(i)->Documents())
            if (d != this && qobject_cast<CStructuredTextDoc*>(d) && d->GetPathName().isEmpty() && !d->IsModified())
                close.push_back(d);
    for (ui::Document* d : close)
        d->OnCloseDocument();
}

bool CStructuredTextDoc::OnOpenDocument(const QString& path)
{
    const int probe = ProbePath(path);
    if (probe == ENOENT) {
        // A file that does not exist yet: an empty document under its name.
        OnNewDocument();
        CloseOtherEmptyDocuments();
        return true;
    }
    sys::SetLastError(0);
    if (probe != 0 || !m_buffer.LoadFromFile(path.toStdU16String())) {
        ReportSaveLoadException(path, ui::FileError::generic, false, ui::IDS_FAILED_TO_OPEN,
                                probe != 0 ? uint32_t(probe) : sys::GetLastError());
        m_buffer.InitNew();
        return false;
    }
    CloseOtherEmptyDocuments();
    SetModifiedFlag(false);
    if (Watching()) {
        watched::Watch(*this, path);
        Start();
    }
    return true;
}

bool CStructuredTextDoc::OnSaveDocument(const QString& path)
{
    const QString old = GetPathName();
    if (Extension(path).compare(Extension(old), Qt::CaseInsensitive) != 0) {
        m_buffer.SetTextTypeFromFileName(path.toStdU16String());
        UpdateAllViews(nullptr, 0);
    }
    int replaced = 0;
    uint32_t cause = 0;
    const bool ok = watched::WithoutWatch(*this, old, path, [&] {
        sys::SetLastError(0);
        if (m_buffer.SaveToFile(path.toStdU16String(), -1, true, &replaced))
            return true;
        cause = sys::GetLastError();
        return false;
    });
    if (!ok) {
        // The file and the cause on a line of their own.
        ui::Prompt(ui::WithFileCause(FormatResString(IDS_FILE_SAVE_FAILED, Shown(path)), path, cause), {},
                   ui::MB_ICONEXCLAMATION);
        return false;
    }
    SetModifiedFlag(false);
    if (replaced > 0)
        ui::Prompt(FormatResString(IDS_CHARS_REPLACED, Shown(path)), {}, ui::MB_ICONEXCLAMATION);
    return true;
}

bool CStructuredTextDoc::WriteCopy(const QString& path, uint32_t& cause)
{
    sys::SetLastError(0);
    if (m_buffer.SaveToFile(path.toStdU16String(), -1, false))
        return true;
    cause = sys::GetLastError();
    return false;
}

void CStructuredTextDoc::WriteRememberedPosition()
{
    if (!(GetEdtGeneralFlags() & kRememberPosition) || GetPathName().isEmpty())
        return;
    auto* view = qobject_cast<CEdtTextView*>(FirstView());
    if (!view)
        return;
    remembered::Write(GetPathName(), view->GetCursorPos(), uint32_t(QDateTime::currentSecsSinceEpoch()));
}

void CStructuredTextDoc::OnCloseDocument()
{
    if (m_closed)
        return;
    m_closed = true;
    watched::EndWatch(*this, *this);
    WriteRememberedPosition();
    ui::Document::OnCloseDocument();
}

bool CStructuredTextDoc::Reload()
{
    std::vector<std::pair<CEdtTextView*, EdtPoint>> carets;
    for (ui::View* v : Views())
        if (auto* tv = qobject_cast<CEdtTextView*>(v))
            carets.emplace_back(tv, tv->GetCursorPos());
    const bool readOnly = m_buffer.GetReadOnly();
    sys::SetLastError(0);
    const int probe = ProbePath(GetPathName());
    if (probe != 0 || !m_buffer.LoadFromFile(GetPathName().toStdU16String())) {
        ReportSaveLoadException(GetPathName(), ui::FileError::generic, false, ui::IDS_FAILED_TO_OPEN,
                                probe != 0 ? uint32_t(probe) : sys::GetLastError());
        return false;
    }
    m_buffer.SetReadOnly(readOnly);
    SetModifiedFlag(false);
    for (auto& [view, pos] : carets)
        if (auto* sv = qobject_cast<CStructuredTextView*>(view))
            sv->ClampTextPos(pos);
    return true;
}

bool CStructuredTextDoc::ReloadFile()
{
    if (ProbePath(GetPathName()) != 0) {
        ui::Prompt(LoadResString(IDS_FILE_MISSING), {}, ui::MB_ICONEXCLAMATION);
        return false;
    }
    if (!watched::AskBeforeReload(Shown(GetPathName()), IsModified()))
        return false;
    return watched::WithoutWatch(*this, GetPathName(), GetPathName(), [this] { return Reload(); });
}

void CStructuredTextDoc::OnFileChanged(uint32_t flags, const std::u16string& path)
{
    ui::MessageBeep(0x30);
    ui::MainFrameBase* main = MainWnd();
    if (main)
        main->FlashUntilFocus();
    if (ui::View* v = FirstView())
        if (ui::ChildFrame* f = v->GetParentFrame())
            if (QMdiArea* area = f->mdiArea())
                area->setActiveSubWindow(f);
    const QString shown = Shown(QString::fromStdU16String(path));
    if (watched::AskAfterOutsideChange(flags, kChanged, kGone, shown, IsModified()))
        Reload();
}

QString CStructuredTextDoc::Text() const
{
    const int n = m_buffer.GetLineCount();
    if (n == 0)
        return {};
    std::u16string text;
    m_buffer.GetText(0, 0, n - 1, m_buffer.GetLineLength(n - 1), text, u"\n");
    return QString::fromStdU16String(text);
}

// ------------------------------------------------------ remembered positions

bool remembered::Write(const QString& path, EdtPoint pos, uint32_t time)
{
    uint8_t data[12];
    const uint32_t values[3] = {time, uint32_t(std::max(0, pos.ch)), uint32_t(std::max(0, pos.line))};
    for (int i = 0; i < 3; ++i)
        for (int b = 0; b < 4; ++b)
            data[i * 4 + b] = uint8_t(values[i] >> (8 * b));
    return sys::Profile::WriteBinary(kRememberedSection, path.toStdU16String(), data, sizeof data);
}

bool remembered::Read(const QString& path, EdtPoint& pos)
{
    std::vector<uint8_t> data;
    if (!sys::Profile::GetBinary(kRememberedSection, path.toStdU16String(), data) || data.size() != 12)
        return false;
    auto u32 = [&](int at) {
        return uint32_t(data[size_t(at)]) | uint32_t(data[size_t(at + 1)]) << 8 | uint32_t(data[size_t(at + 2)]) << 16 |
               uint32_t(data[size_t(at + 3)]) << 24;
    };
    const uint32_t ch = u32(4), line = u32(8);
    if (ch > uint32_t(INT32_MAX) || line > uint32_t(INT32_MAX))
        return false;
    pos = EdtPoint{int(ch), int(line)};
    return true;
}

// ------------------------------------------------------------------ the view

const QString CStructuredTextView::kCategory = QStringLiteral("SourceWindow");

namespace {
struct ItemDef
{
    const char* name;
    unsigned description;
    int sysText;   // -1: the fixed colour
    ui::COLORREF text;
    bool bold;
};
// The items' defaults; back colours are the window colour except for
// "SelText" and "SelMargin1".
const ItemDef kItems[CStructuredTextView::ItemCount] = {
    {"Text", 4269, ui::COLOR_WINDOWTEXT, 0, false},
    {"SelText", 4270, ui::COLOR_HIGHLIGHTTEXT, 0, false},
    {"Comment", 4271, -1, 0x008000, false},
    {"Asm", 4272, -1, 0x808080, false},
    {"NcpAddr", 4273, -1, 0x800000, true},
    {"KeyWord", 4274, -1, 0xFF0000, true},
    {"Num", 4275, -1, 0x000080, false},
    {"PLCInstr", 4276, -1, 0x800000, true},
    {"Operator", 4277, -1, 0x606060, false},
    {"String", 4278, -1, 0x0000FF, false},
    {"FuncName", 4279, -1, 0x800080, false},
    {"Label", 4280, -1, 0x800080, true},
    {"Preprocessor", 4281, -1, 0xC08000, false},
    {"SelMargin1", 4282, -1, 0, false},
};

// Colour index 7-17 to the item.
int ItemOfIndex(int index)
{
    static const int map[] = {
        CStructuredTextView::ItemKeyWord,  CStructuredTextView::ItemFuncName, CStructuredTextView::ItemLabel,
        CStructuredTextView::ItemComment,  CStructuredTextView::ItemNum,      CStructuredTextView::ItemOperator,
        CStructuredTextView::ItemString,   CStructuredTextView::ItemPreprocessor,
        CStructuredTextView::ItemPLCInstr, CStructuredTextView::ItemAsm,      CStructuredTextView::ItemNcpAddr,
    };
    if (index >= 7 && index <= 17)
        return map[index - 7];
    if (index >= 0 && index <= 2)
        return CStructuredTextView::ItemText;
    if (index == 3 || index == 4)
        return CStructuredTextView::ItemSelMargin1;
    if (index == 5 || index == 6)
        return CStructuredTextView::ItemSelText;
    return -1;
}

ui::COLORREF PaletteRef(QPalette::ColorRole role)
{
    return ui::RefFromColor(QApplication::palette().color(QPalette::Active, role));
}
} // namespace

CStructuredTextView::CStructuredTextView()
{
    for (int i = 0; i < ItemCount; ++i) {
        m_items[size_t(i)].name = QString::fromLatin1(kItems[i].name);
        m_items[size_t(i)].textColor = kItems[i].sysText >= 0 ? ui::GetSysColor(kItems[i].sysText) : kItems[i].text;
        m_items[size_t(i)].backColor = ui::GetSysColor(ui::COLOR_WINDOW);
        m_items[size_t(i)].bold = kItems[i].bold ? 1 : 0;
    }
    m_items[ItemSelText].backColor = ui::GetSysColor(ui::COLOR_HIGHLIGHT);
    m_items[ItemSelMargin1].textColor = PaletteRef(QPalette::Dark);
    m_items[ItemSelMargin1].backColor = PaletteRef(QPalette::Button);
    SetParser(&m_wrapParser);
    MapCommand(ID_EDT_RELOAD_FILE, [this] {
        if (auto* doc = qobject_cast<CStructuredTextDoc*>(GetDocument()))
            doc->ReloadFile();
    });
    MapUpdate(ID_EDT_RELOAD_FILE, [this](ui::CmdUI& cmd) {
        ui::Document* doc = GetDocument();
        cmd.Enable(doc && !doc->GetPathName().isEmpty());
    });
    MapCommand(ID_EDT_WINDOW_OPTIONS, [this] { OnWindowOptions(); });
    MapCommand(ID_HELP, [this] { OnHelp(); });
    // ID_VIEW_PROPERTIES "Zobrazit > Vlastnosti...": the file-properties sheet.
    MapCommand(ID_VIEW_PROPERTIES, [this] { ShowTextFileProperties(this); });
    MapUpdate(ID_VIEW_PROPERTIES, [](ui::CmdUI& cmd) { cmd.Enable(true); });
}

CStructuredTextView::~CStructuredTextView()
{
    if (CFontColorPage* registry = ::GetFontColorPage())
        registry->RemoveListener(this);
    SetParser(nullptr);
}

bool CStructuredTextView::RegisterFontItems(const QString& category, const QString& displayName,
                                            CFontColorPage* registry)
{
    if (!registry || !registry->AddCategory(category, displayName, QStringLiteral("Courier New"), 10, 238, 1))
        return false;
    for (int i = 0; i < ItemCount; ++i) {
        const ItemDef& d = kItems[i];
        ui::COLORREF text = d.sysText >= 0 ? ui::GetSysColor(d.sysText) : d.text;
        ui::COLORREF back = ui::GetSysColor(ui::COLOR_WINDOW);
        if (i == ItemSelText)
            back = ui::GetSysColor(ui::COLOR_HIGHLIGHT);
        if (i == ItemSelMargin1) {
            text = PaletteRef(QPalette::Dark);
            back = PaletteRef(QPalette::Button);
        }
        if (!registry->AddItem(category, QString::fromLatin1(d.name), LoadResString(d.description), text, back,
                               d.bold ? 1 : 0, 0, 0, 0))
            return false;
    }
    return true;
}

void CStructuredTextView::LoadColorItems(CFontColorPage* registry, const FontColorCategory* category)
{
    for (FontColorItem& item : m_items)
        if (const FontColorItem* found = registry->FindItem(category, item.name))
            item = *found;
}

void CStructuredTextView::AttachFontCategory(CFontColorPage* registry, const QString& category)
{
    if (!registry)
        return;
    m_category = category;
    registry->AddListener(this, 0);
    const FontColorCategory* cat = registry->FindCategory(category);
    if (!cat)
        return;
    LoadColorItems(registry, cat);
    EdtLogFont lf{};
    lf.height = -((cat->size * 96 + 36) / 72);
    lf.weight = 400;
    lf.charSet = cat->charSet;
    lf.pitchAndFamily = cat->fixedPitch ? 1 : 0;
    const std::u16string face = cat->face.left(31).toStdU16String();
    std::copy(face.begin(), face.end(), lf.faceName);
    SetFont(lf);
    update();
}

void CStructuredTextView::OnFontColorChange(uint32_t)
{
    AttachFontCategory(::GetFontColorPage(), m_category.isEmpty() ? kCategory : m_category);
}

QColor CStructuredTextView::GetColor(int index) const
{
    const FontColorItem* item = nullptr;
    const int i = ItemOfIndex(index);
    if (i >= 0)
        item = &m_items[size_t(i)];
    switch (index) {
    case 0:
    case 1:
    case 4:
    case 5:
        return ui::ColorFromRef(item->backColor);
    case 18:
        return ui::ColorFromRef(0x800000);
    case 19:
        return ui::ColorFromRef(0xC08000);
    default:
        return ui::ColorFromRef(item ? item->textColor : 0x000080);
    }
}

bool CStructuredTextView::GetBold(int index) const
{
    const int i = ItemOfIndex(index);
    return i >= 0 && m_items[size_t(i)].bold > 0;
}

bool CStructuredTextView::GetItalic(int index) const
{
    const int i = ItemOfIndex(index);
    return i >= 0 && m_items[size_t(i)].italic > 0;
}

CEdtTextBuffer* CStructuredTextView::LocateTextBuffer()
{
    auto* doc = qobject_cast<CStructuredTextDoc*>(GetDocument());
    return doc ? &doc->Buffer() : nullptr;
}

void CStructuredTextView::OnInitialUpdate()
{
    CEdtEditViewEx::OnInitialUpdate();
    m_rememberPosition = (GetEdtGeneralFlags() & kRememberPosition) != 0;
    ui::Document* doc = GetDocument();
    EdtPoint pos;
    if (m_rememberPosition && doc && !doc->GetPathName().isEmpty() && remembered::Read(doc->GetPathName(), pos) &&
        pos.line < GetLineCount()) {
        if (pos.ch > GetLineLength(pos.line))
            pos.ch = 0;
        SetSelection(pos, pos);
        SetAnchor(pos);
        SetCursorPos(pos);
        EnsureVisible(pos);
    }
    AttachFontCategory(::GetFontColorPage(), kCategory);
}

void CStructuredTextView::OnActivateView(bool activate)
{
    CEdtEditViewEx::OnActivateView(activate);
    if (activate)
        if (ui::MainFrameBase* main = MainWnd())
            main->SetEditorIndicators(true);
}

void CStructuredTextView::ClampTextPos(EdtPoint pos)
{
    const int line = std::clamp(pos.line, 0, std::max(0, GetLineCount() - 1));
    const int ch = GetLineCount() > 0 ? std::clamp(pos.ch, 0, std::max(0, GetLineLength(line))) : 0;
    const EdtPoint pt{ch, line};
    SetSelection(pt, pt);
    SetAnchor(pt);
    SetCursorPos(pt);
    EnsureVisible(pt);
}

std::u16string CStructuredTextView::HelpKeyword()
{
    EdtPoint start, end;
    GetSelection(start, end);
    if (start != end) {
        if (start.line != end.line)
            return {};
        return GetText(start, end);
    }
    const EdtPoint caret = GetCursorPos();
    if (caret.line < 0 || caret.line >= GetLineCount())
        return {};
    const std::u16string_view line(GetLineChars(caret.line), size_t(GetLineLength(caret.line)));
    int a = std::min(caret.ch, int(line.size())), b = a;
    while (a > 0 && IsIdentifierChar(line[size_t(a - 1)]))
        --a;
    while (b < int(line.size()) && IsIdentifierChar(line[size_t(b)]))
        ++b;
    return a < b ? std::u16string(line.substr(size_t(a), size_t(b - a))) : std::u16string();
}

void CStructuredTextView::OnHelp()
{
    ProjectHost* host = GetProjectHost();
    const QString helpPath = host ? host->GetHelpPath(0) : QString();
    ui::MainFrameBase* main = MainWnd();
    if (!hasFocus() || (main && main->IsInMenuLoop())) {
        ui::WinHelp(helpPath, ui::HELP_CONTENTS);
        return;
    }
    ui::WinHelp(helpPath, ui::HELP_KEY, QString::fromStdU16String(HelpKeyword()));
}

void CStructuredTextView::OnWindowOptions()
{
    ShowEditorOptionsSheet(this, MainWnd());
}

void CStructuredTextView::contextMenuEvent(QContextMenuEvent* e)
{
    QPoint global = e->globalPos();
    if (e->reason() == QContextMenuEvent::Keyboard)
        global = mapToGlobal(Scroller().ClientRect().topLeft() + QPoint(5, 5));
    ShowContextMenu(global);
    e->accept();
}

void CStructuredTextView::ShowContextMenu(const QPoint& global)
{
    if (CKVTWorkspace* workspace = CKVTWorkspace::Instance())
        if (workspace->ShowPopupMenu(ContextMenuId(), global, this))
            return;
    std::unique_ptr<ui::Menu> menu = ui::Menu::Load(ContextMenuId());
    if (!menu || !menu->SubMenu(0))
        return;
    if (const uint32_t id = ui::TrackPopupMenu(*menu->SubMenu(0), global, this))
        ui::SendCommand(id);
}

// ------------------------------------------------------------- the frame

QString MakeFrameTitle(const QString& docTitle, int windowNumber, bool modified)
{
    QString title = docTitle;
    if (windowNumber > 0) {
        const QString number = QStringLiteral(":%1").arg(windowNumber);
        if (title.size() + number.size() < kMaxTitle)
            title += number;
    }
    if (modified && title.size() + 2 < kMaxTitle)
        title += QStringLiteral(" *");
    return title;
}

CChildFrame::CChildFrame()
{
    MapCommand(ID_NEXT_PANE, [this] { ActivateNextPane(false); });
    MapCommand(ID_PREV_PANE, [this] { ActivateNextPane(true); });
    MapUpdate(ID_NEXT_PANE, [this](ui::CmdUI& cmd) { cmd.Enable(CanActivateNextPane()); });
    MapUpdate(ID_PREV_PANE, [this](ui::CmdUI& cmd) { cmd.Enable(CanActivateNextPane()); });
}

bool CChildFrame::OnCreateClient(ui::Document* doc, ui::DocTemplate* tmpl)
{
    if (!ui::SplitterChildFrame::OnCreateClient(doc, tmpl))
        return false;
    if (CChildSplitter* s = Splitter()) {
        PreparePanes(s, 10);
    }
    return true;
}

void CChildFrame::OnUpdateFrameTitle()
{
    ui::Document* doc = GetActiveDocument();
    if (!doc)
        return;
    int number = 0;
    const std::vector<ui::ChildFrame*> frames = doc->Frames();
    if (frames.size() > 1)
        for (size_t i = 0; i < frames.size(); ++i)
            if (frames[i] == this)
                number = int(i + 1);
    setWindowTitle(MakeFrameTitle(doc->GetTitle(), number, doc->IsModified()));
}

bool CChildFrame::CanActivateNextPane() const
{
    const CChildSplitter* s = Splitter();
    return s && s->GetRowCount() * s->GetColumnCount() > 1;
}

void CChildFrame::ActivateNextPane(bool previous)
{
    CChildSplitter* s = Splitter();
    if (!s)
        return;
    std::vector<ui::View*> panes;
    for (int r = 0; r < s->GetRowCount(); ++r)
        for (int c = 0; c < s->GetColumnCount(); ++c)
            if (ui::View* v = s->GetPane(r, c))
                panes.push_back(v);
    if (panes.size() < 2)
        return;
    const auto it = std::find(panes.begin(), panes.end(), GetActiveView());
    const int n = int(panes.size());
    int at = it == panes.end() ? 0 : int(it - panes.begin());
    at = (at + (previous ? n - 1 : 1)) % n;
    SetActiveView(panes[size_t(at)]);
    panes[size_t(at)]->setFocus();
}

void CChildFrame::showEvent(QShowEvent* e)
{
    ui::SplitterChildFrame::showEvent(e);
    if (m_firstShow) {
        m_firstShow = false;
        if (GetEdtGeneralFlags() & kMaximiseFrames)
            showMaximized();
    }
}
