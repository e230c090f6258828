#include "uilib/KVTToolBar.h"

#include "platform/ui/App.h"
#include "platform/ui/Command.h"
#include "platform/ui/ToolbarResource.h"
#include "res/CommandIds.h"
#include "res/StringTable.h"
#include "uilib/KVTCommandUsage.h"
#include "uilib/KVTDrawingData.h"
#include "uilib/KVTRegistryKey.h"
#include "uilib/KvtFrameHooks.h"
#include "uilib/KvtRebar.h"
#include "uilib/KVTToolbarMenuButton.h"
#include "uilib/KVTPopupMenu.h"
#include "uilib/KVTWorkspace.h"
#include "uilib/KvtEventFilter.h"
#include "platform/ui/Beep.h"
#include "platform/ui/Menu.h"
#include "platform/ui/Cursor.h"
#include "uilib/KVTButtonDragController.h"
#include "uilib/KVTButtonAppearanceDlg.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QToolTip>

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <cstdio>

using namespace ui;

std::vector<CKVTToolBar*> CKVTToolBar::s_bars;
bool CKVTToolBar::s_customizeMode = false;
bool CKVTToolBar::s_tempCustomize = false;
bool CKVTToolBar::s_altCustomize = false;
QSize CKVTToolBar::s_defaultButton{23, 22};
QSize CKVTToolBar::s_defaultImage{16, 15};
QSize CKVTToolBar::s_curButton{23, 22};
QSize CKVTToolBar::s_curImage{16, 15};
QSize CKVTToolBar::s_menuButton{-1, -1};
QSize CKVTToolBar::s_menuImage{-1, -1};
std::vector<uint32_t> CKVTToolBar::s_nonPermitted;
std::vector<uint32_t> CKVTToolBar::s_basic;
CKVTToolbarImageList* CKVTToolBar::s_userImages = nullptr;
KvtToolbarOptions CKVTToolBar::s_options;

namespace {
const bool kRegistered = [] {
    sys::ArchiveClasses::Register("CKVTToolBar", CKVTToolBar::Schema, [] { return std::make_unique<CKVTToolBar>(); });
    return true;
}();

std::array<std::unique_ptr<CKVTToolbarImageList>, CKVTToolBar::IMAGES_COUNT>& SharedImages()
{
    static std::array<std::unique_ptr<CKVTToolbarImageList>, CKVTToolBar::IMAGES_COUNT> lists;
    return lists;
}

// The key path -> (index, resource id) that saved there during this run.
std::map<QString, std::pair<int, uint32_t>>& StateKeys()
{
    static std::map<QString, std::pair<int, uint32_t>> keys;
    return keys;
}

int Scale() { return CKVTToolBar::Options().largeIcons ? 2 : 1; }
} // namespace

bool IsFrameworkCommand(uint32_t id)
{
    return (id >= ID_FILE_MRU_FIRST && id <= ID_FILE_MRU_LAST) ||
           (id >= ID_SYSTEM_FIRST && id <= ID_SYSTEM_LAST) ||
           (id >= ID_VERB_FIRST && id <= ID_VERB_LAST) || id >= ID_TRANSIENT_FIRST;
}

// The bar's own command-update object.
class CKVTToolBar::ToolCmdUI : public CmdUI
{
public:
    ToolCmdUI(CKVTToolBar* bar, int index) : CmdUI(bar->GetItemID(index)), m_bar(bar), m_index(index) {}
    void Enable(bool on) override
    {
        CmdUI::Enable(on);
        const uint32_t style = m_bar->GetButtonStyle(m_index);
        m_bar->SetButtonStyle(m_index, on ? style & ~TBBS_DISABLED : style | TBBS_DISABLED);
    }
    void SetCheck(int check) override
    {
        CmdUI::SetCheck(check);
        uint32_t style = m_bar->GetButtonStyle(m_index) & ~(TBBS_CHECKED | TBBS_INDETERMINATE);
        if (check == 1)
            style |= TBBS_CHECKED;
        else if (check == 2)
            style |= TBBS_INDETERMINATE;
        m_bar->SetButtonStyle(m_index, style | TBBS_CHECKBOX);
    }
    void SetText(const QString& text) override
    {
        CmdUI::SetText(text);
        if (m_bar->GetButtonText(m_index) != text) {
            m_bar->SetButtonText(m_index, text);
            m_bar->AdjustLayout();
        }
    }

private:
    CKVTToolBar* m_bar;
    int m_index;
};

CKVTToolBar::CKVTToolBar(QWidget* parent) : ControlBar(parent)
{
    (void)kRegistered;
    setFocusPolicy(Qt::NoFocus);
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

CKVTToolBar::~CKVTToolBar()
{
    // A drag from this bar ends while the bar is still whole.
    if (CKVTButtonDragController::Instance().Source() == this)
        CKVTButtonDragController::Instance().Cancel();
    s_bars.erase(std::remove(s_bars.begin(), s_bars.end(), this), s_bars.end());
}

bool CKVTToolBar::Create(QWidget* parent, uint32_t style, uint32_t id)
{
    return CreateEx(parent, 0x800, style, QMargins(1, 1, 1, 1), id);
}

bool CKVTToolBar::CreateEx(QWidget* parent, uint32_t ctrlStyle, uint32_t style, const QMargins& borders, uint32_t id)
{
    m_ctrlStyle = ctrlStyle;
    setAutoFillBackground(false);
    SetBorders(borders.left(), borders.top(), borders.right(), borders.bottom());
    CKVTDrawingData::Instance(); // the shared cursors and fonts
    if (std::find(s_bars.begin(), s_bars.end(), this) == s_bars.end())
        s_bars.push_back(this);
    m_dropTarget.Register(this);
    setAcceptDrops(true);
    return ControlBar::Create(parent, style, id);
}

void CKVTToolBar::dragEnterEvent(QDragEnterEvent* e)
{
    // Taken, so that the frame never sees it; the moves decide the effect.
    e->accept();
}

void CKVTToolBar::dragMoveEvent(QDragMoveEvent* e)
{
    e->ignore();
}

void CKVTToolBar::dropEvent(QDropEvent* e)
{
    e->ignore();
}

// --- statics -----------------------------------------------------------------

CKVTToolbarImageList* CKVTToolBar::GetSharedImages(ImageKind kind)
{
    auto& lists = SharedImages();
    if (!lists[kind])
        lists[kind] = std::make_unique<CKVTToolbarImageList>();
    return lists[kind].get();
}

void CKVTToolBar::CleanUp()
{
    for (auto& l : SharedImages())
        l.reset();
    CKVTCommandImageMap::Instance().RemoveAll();
}

bool CKVTToolBar::LoadSharedImages(uint32_t resourceId)
{
    auto res = ToolbarResource::Load(resourceId);
    CKVTToolbarImageList* normal = GetSharedImages(IMAGES_NORMAL);
    if (!res || !normal->Load(resourceId))
        return false;
    int index = normal->FirstIndexOf(resourceId);
    for (uint32_t id : res->ids)
        if (id)
            CKVTCommandImageMap::Instance().SetImage(id, index++, false);
    return true;
}

bool CKVTToolBar::IsCommandPermitted(uint32_t id)
{
    return std::find(s_nonPermitted.begin(), s_nonPermitted.end(), id) == s_nonPermitted.end();
}

bool CKVTToolBar::IsBasicCommand(uint32_t id) { return std::find(s_basic.begin(), s_basic.end(), id) != s_basic.end(); }

bool CKVTToolBar::IsCommandRarelyUsed(uint32_t id)
{
    if (s_customizeMode || id == 0 || id == 0xFFFFFFFF || IsFrameworkCommand(id) || s_basic.empty() ||
        IsBasicCommand(id))
        return false;
    return !CKVTCommandUsage::Instance().IsFrequentlyUsed(id);
}

bool CKVTToolBar::SetUserImages(CKVTToolbarImageList* images)
{
    if (!images || !images->HasImages() || images->GetImageSize() != s_defaultImage)
        return false;
    s_userImages = images;
    return true;
}

void CKVTToolBar::SetDefaultSizes(QSize button, QSize image)
{
    s_defaultButton = button;
    s_defaultImage = image;
    s_curButton = button * Scale();
    s_curImage = image * Scale();
}

void CKVTToolBar::SetMenuSizes(QSize button, QSize image)
{
    s_menuButton = button;
    s_menuImage = image;
}

void CKVTToolBar::SetLargeIcons(bool on)
{
    s_options.largeIcons = on;
    s_curButton = s_defaultButton * Scale();
    s_curImage = s_defaultImage * Scale();
    for (CKVTToolBar* bar : std::vector<CKVTToolBar*>(s_bars)) {
        if (!bar->IsCreated())
            continue;
        if (bar->m_locked)
            bar->UpdateOwnCurrentSizes();
        bar->AdjustLayout();
    }
}

void CKVTToolBar::SetLook2000(bool on)
{
    s_options.look2000 = on;
    for (CKVTToolBar* bar : s_bars)
        if (bar->IsCreated())
            bar->update();
    if (Application* app = Application::Instance())
        if (QWidget* w = app->GetMainWnd())
            w->update();
}

bool CKVTToolBar::SetCustomizeMode(bool on)
{
    if (s_customizeMode == on)
        return false;
    std::vector<QPointer<CKVTToolBar>> snapshot;
    for (CKVTToolBar* bar : s_bars)
        snapshot.emplace_back(bar);
    for (auto& bar : snapshot)
        if (bar && bar->IsCreated())
            bar->OnCustomizeMode(on);
    s_customizeMode = on;
    for (auto& bar : snapshot)
        if (bar && bar->IsCreated()) {
            if (bar->m_customize)
                bar->AdjustLayout(); // all buttons show in customisation mode
            bar->update();
        }
    return true;
}

// --- sizes -------------------------------------------------------------------

void CKVTToolBar::SetOwnSizes(QSize button, QSize image)
{
    m_ownButton = button;
    m_ownImage = image;
    UpdateOwnCurrentSizes();
}

void CKVTToolBar::UpdateOwnCurrentSizes()
{
    m_curOwnButton = m_ownButton * Scale();
    m_curOwnImage = m_ownImage * Scale();
}

QSize CKVTToolBar::GetButtonSize() const
{
    if (!m_locked)
        return m_largeIcons ? s_curButton : s_defaultButton;
    return m_largeIcons ? m_curOwnButton : m_ownButton;
}

QSize CKVTToolBar::GetImageSize() const
{
    if (!m_locked)
        return m_largeIcons ? s_curImage : s_defaultImage;
    return m_largeIcons ? m_curOwnImage : m_ownImage;
}

int CKVTToolBar::GetColumnWidth() const
{
    if (m_menuMode)
        return s_menuButton.width() > 0 ? s_menuButton.width() : s_defaultButton.width();
    return GetButtonSize().width();
}

int CKVTToolBar::GetRowHeight() const
{
    if (m_labelsTaller)
        return m_labelHeight;
    int base;
    if (m_menuMode)
        base = s_menuButton.height() > 0 ? s_menuButton.height() : s_defaultButton.height();
    else
        base = GetButtonSize().height();
    const CKVTDrawingData& dd = CKVTDrawingData::Instance();
    const int text = IsHorizontal() ? dd.HorzTextHeight() : dd.VertTextHeight();
    return std::max(text, base);
}

// --- the button list ---------------------------------------------------------

CKVTToolbarButton* CKVTToolBar::GetButton(int index) const
{
    return index >= 0 && index < GetCount() ? m_buttons[size_t(index)].get() : nullptr;
}

int CKVTToolBar::InsertButton(std::unique_ptr<CKVTToolbarButton> button, int index)
{
    if (!button || !IsCommandPermitted(button->m_id) || index < -1 || index > GetCount())
        return -1;
    if (index == -1 || index == GetCount())
        index = m_customize ? GetCount() - 1 : GetCount();
    CKVTToolbarButton* b = button.get();
    m_buttons.insert(m_buttons.begin() + index, std::move(button));
    auto shift = [index](int& i) {
        if (i >= index)
            ++i;
    };
    shift(m_pressed);
    shift(m_hot);
    shift(m_selected);
    b->OnParentChanged(this);
    return index;
}

int CKVTToolBar::InsertButton(const CKVTToolbarButton& button, int index)
{
    return InsertButton(button.Clone(), index);
}

int CKVTToolBar::InsertSeparator(int index)
{
    auto sep = std::make_unique<CKVTToolbarButton>();
    sep->m_style = TBBS_SEPARATOR;
    return InsertButton(std::move(sep), index);
}

bool CKVTToolBar::RemoveButton(int index)
{
    if (index < 0 || index >= GetCount() || m_buttons[size_t(index)].get() == m_customize)
        return false;
    m_buttons.erase(m_buttons.begin() + index);
    auto fix = [index](int& i) {
        if (i == index)
            i = -1;
        else if (i > index)
            --i;
    };
    fix(m_selected);
    fix(m_pressed);
    fix(m_hot);
    fix(m_droppedDown);
    return true;
}

void CKVTToolBar::RemoveAllButtons()
{
    m_pressed = m_hot = m_selected = -1;
    m_droppedDown = -1;
    std::vector<std::unique_ptr<CKVTToolbarButton>> old;
    old.swap(m_buttons);
    // The customize button stays, last.
    for (auto& b : old)
        if (b.get() == m_customize) {
            m_buttons.push_back(std::move(b));
            break;
        }
    for (auto& b : old)
        if (b)
            b->OnCancelMode();
}

void CKVTToolBar::InvalidateButton(int index)
{
    if (GetButton(index))
        update(GetInvalidateItemRect(index).adjusted(-3, -3, 3, 3));
}

QRect CKVTToolBar::GetItemRect(int index) const
{
    const CKVTToolbarButton* b = GetButton(index);
    return b ? b->GetButtonRect() : QRect();
}

QRect CKVTToolBar::GetInvalidateItemRect(int index) const { return GetItemRect(index); }

void CKVTToolBar::SetButtonStyle(int index, uint32_t style)
{
    CKVTToolbarButton* b = GetButton(index);
    if (!b || b->m_style == style)
        return;
    b->m_style = style;
    InvalidateButton(index);
}

void CKVTToolBar::SetButtons(const uint32_t* ids, int count)
{
    RemoveAllButtons();
    int image = m_firstImage;
    for (int i = 0; i < count; ++i) {
        if (!ids || ids[i] == 0) {
            InsertSeparator();
            continue;
        }
        InsertButton(std::make_unique<CKVTToolbarButton>(ids[i], image++, QString(), false, m_locked));
    }
    if (IsCreated()) {
        OnReset();
        if (KvtFrameHooks* hooks = KvtFrameHooks::FromWidget(GetOwner() ? GetOwner() : parentWidget()))
            hooks->OnToolbarReset(this, m_resourceId);
    }
}

bool CKVTToolBar::LoadToolBar(uint32_t resourceId, uint32_t coldId, uint32_t menuId, uint32_t disabledId,
                              bool locked)
{
    QString error;
    auto res = ToolbarResource::Load(resourceId, &error);
    if (!res) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return false;
    }
    m_locked = locked;
    const QSize image(res->width, res->height);
    const QSize button = image + QSize(6, 6);
    if (locked)
        SetOwnSizes(button, image);
    else
        SetDefaultSizes(button, image);
    auto list = [this](ImageKind k) { return m_locked ? &m_ownImages[k] : GetSharedImages(k); };
    CKVTToolbarImageList* normal = list(IMAGES_NORMAL);
    if (normal->FirstIndexOf(resourceId) < 0) {
        if (!normal->HasImages())
            normal->SetImageSize(image);
        if (!normal->Load(resourceId))
            return false;
        const std::pair<ImageKind, uint32_t> extra[] = {
            {IMAGES_COLD, coldId}, {IMAGES_MENU, menuId}, {IMAGES_DISABLED, disabledId}};
        for (const auto& [kind, id] : extra)
            if (id) {
                list(kind)->SetImageSize(image);
                list(kind)->Load(id);
            }
    }
    m_firstImage = normal->FirstIndexOf(resourceId);
    if (!m_locked) {
        int index = m_firstImage;
        for (uint32_t id : res->ids)
            if (id)
                CKVTCommandImageMap::Instance().SetImage(id, index++, false);
    }
    m_resourceId = resourceId;
    SetButtons(res->ids.data(), int(res->ids.size()));
    if (IsCreated())
        AdjustLayout();
    return true;
}

bool CKVTToolBar::RestoreOriginalState()
{
    if (!m_resourceId)
        return false;
    const bool ok = LoadToolBar(m_resourceId, 0, 0, 0, m_locked);
    update();
    return ok;
}

bool CKVTToolBar::ReplaceButton(uint32_t command, const CKVTToolbarButton& button)
{
    const int index = CommandToIndex(command);
    if (index < 0)
        return false;
    RemoveButton(index);
    return InsertButton(button, std::min(index, GetCount())) >= 0;
}

bool CKVTToolBar::SendMenuCommand(CKVTToolbarButton* button)
{
    if (!button || button->m_id == 0 || button->m_id == 0xFFFFFFFF)
        return false;
    PlaySystemSound("MenuCommand");
    CKVTCommandUsage::Instance().AddCommand(button->m_id);
    PostCommand(button->m_id);
    return true;
}

int CKVTToolBar::CommandToIndex(uint32_t id) const
{
    for (int i = 0; i < GetCount(); ++i)
        if (m_buttons[size_t(i)]->m_id == id)
            return i;
    return -1;
}

uint32_t CKVTToolBar::GetItemID(int index) const
{
    const CKVTToolbarButton* b = GetButton(index);
    return b ? b->m_id : 0;
}

uint32_t CKVTToolBar::GetButtonStyle(int index) const
{
    const CKVTToolbarButton* b = GetButton(index);
    return b ? b->m_style : 0;
}

QString CKVTToolBar::GetButtonText(int index) const
{
    const CKVTToolbarButton* b = GetButton(index);
    return b ? b->m_text : QString();
}

bool CKVTToolBar::SetButtonText(int index, const QString& text)
{
    CKVTToolbarButton* b = GetButton(index);
    if (!b)
        return false;
    b->m_text = text;
    return true;
}

void CKVTToolBar::GetButtonInfo(int index, uint32_t& id, uint32_t& style, int& image) const
{
    const CKVTToolbarButton* b = GetButton(index);
    id = b ? b->m_id : 0;
    style = b ? b->m_style : 0;
    image = b ? b->GetImage() : -1;
}

void CKVTToolBar::SetButtonInfo(int index, uint32_t id, uint32_t style, int image)
{
    CKVTToolbarButton* b = GetButton(index);
    if (!b)
        return;
    b->m_id = id;
    b->m_style = style;
    b->SetImage(image);
    InvalidateButton(index);
}

bool CKVTToolBar::SetDefaultButtonText(CKVTToolbarButton* button)
{
    if (!button || button->m_id == 0 || button->m_id == 0xFFFFFFFF)
        return false;
    const QString s = LoadResString(button->m_id);
    const int nl = s.indexOf(QLatin1Char('\n'));
    if (nl < 0 || nl + 1 >= s.size())
        return false;
    button->m_text = s.mid(nl + 1).trimmed();
    return true;
}

CKVTToolbarButton* CKVTToolBar::FindMnemonic(QChar c) const
{
    auto it = m_mnemonics.find(c.toUpper());
    return it == m_mnemonics.end() ? nullptr : it->second;
}

void CKVTToolBar::RebuildMnemonics()
{
    m_mnemonics.clear();
    for (auto& b : m_buttons) {
        if (b->IsSeparator())
            continue;
        const QString& t = b->m_text;
        for (int i = 0; i + 1 < t.size(); ++i) {
            if (t[i] == QLatin1Char('&')) {
                if (t[i + 1] != QLatin1Char('&')) {
                    m_mnemonics[t[i + 1].toUpper()] = b.get();
                    break;
                }
                ++i;
            }
        }
    }
}

// --- layout ------------------------------------------------------------------

void CKVTToolBar::SetTextLabels(bool on)
{
    m_textLabels = on;
    if (IsCreated())
        AdjustLayout();
}

void CKVTToolBar::CalcMaxLabelHeight()
{
    m_labelHeight = 0;
    m_labelsTaller = false;
    if (!m_textLabels || !IsHorizontal())
        return;
    const QSize def(GetColumnWidth(), GetButtonSize().height());
    for (auto& b : m_buttons) {
        if (!b->m_textBelow)
            continue;
        if (b->m_text.isEmpty())
            SetDefaultButtonText(b.get());
        m_labelHeight = std::max(m_labelHeight, b->CalculateSize(def, true).height());
    }
    m_labelsTaller = m_labelHeight > GetButtonSize().height();
}

std::vector<KvtLayoutButton> CKVTToolBar::LayoutItems(bool horz)
{
    std::vector<KvtLayoutButton> items;
    items.reserve(m_buttons.size());
    const QSize def(GetColumnWidth(), GetRowHeight());
    for (auto& b : m_buttons) {
        KvtLayoutButton it;
        it.size = b->CalculateSize(def, horz);
        it.separator = b->IsSeparator();
        it.wrap = b->m_wrap;
        it.hidden = b->m_hidden;
        it.textBelow = b->m_textBelow;
        it.rect = b->m_rect;
        items.push_back(it);
    }
    return items;
}

KvtLayoutBar CKVTToolBar::LayoutBar(bool horz) const
{
    KvtLayoutBar bar;
    bar.horizontal = horz;
    bar.rowHeight = GetRowHeight();
    bar.columnWidth = GetColumnWidth();
    const QRect cr = contentsRect();
    bar.origin = cr.topLeft();
    bar.availableLength = m_fixedLength != -1 ? m_fixedLength : (horz ? cr.width() : cr.height());
    bar.clientAcross = horz ? cr.height() : cr.width();
    bar.textLabels = m_textLabels;
    bar.barStyle = GetBarStyle();
    const QRect in = CalcInsideRect(QRect(0, 0, 1000, 1000), horz);
    const int dx = 1000 - in.width(), dy = 1000 - in.height();
    bar.borderAlong = horz ? dx : dy;
    bar.borderAcross = horz ? dy : dx;
    bar.mruWidth = LastFloatingWidth();
    return bar;
}

QSize CKVTToolBar::CalcSize(bool vertical)
{
    const std::vector<KvtLayoutButton> items = LayoutItems(!vertical);
    return KvtToolbarLayout::CalcSize(items, LayoutBar(!vertical));
}

QSize CKVTToolBar::CalcLayout(uint32_t mode, int length)
{
    const bool horz = (mode & LM_HORZ) != 0;
    CalcMaxLabelHeight();
    std::vector<KvtLayoutButton> items = LayoutItems(horz);
    KvtLayoutBar bar = LayoutBar(horz);
    const QSize size = KvtToolbarLayout::CalcLayout(items, mode, length, bar);
    if (bar.mruWidth != LastFloatingWidth())
        SetLastFloatingWidth(bar.mruWidth);
    for (size_t i = 0; i < items.size(); ++i)
        m_buttons[i]->m_wrap = items[i].wrap;
    RebuildMnemonics();
    return size;
}

QSize CKVTToolBar::CalcFixedLayout(bool stretch, bool horz)
{
    return CalcLayout((stretch ? LM_STRETCH : 0) | (horz ? LM_HORZ | LM_HORZDOCK : LM_VERTDOCK));
}

QSize CKVTToolBar::CalcDynamicLayout(int length, uint32_t mode)
{
    if (IsHorizontal())
        mode |= LM_HORZ;
    return CalcLayout(mode, length);
}

void CKVTToolBar::RepositionButtons()
{
    if (m_buttons.empty())
        return;
    const bool horz = IsHorizontal();
    std::vector<KvtLayoutButton> items = LayoutItems(horz);
    KvtLayoutBar bar = LayoutBar(horz);
    const bool overflow = m_customize && !IsFloating() && !s_customizeMode;
    QSize customizeSize;
    if (m_customize) {
        items.pop_back(); // placed on its own below
        m_customize->ClearHiddenButtons();
        customizeSize = m_customize->CalculateSize(QSize(GetColumnWidth(), GetRowHeight()), horz);
        if (overflow)
            bar.overflowLength = horz ? customizeSize.width() : customizeSize.height();
    }
    const std::vector<int> hidden = KvtToolbarLayout::Reposition(items, bar);
    for (size_t i = 0; i < items.size(); ++i) {
        CKVTToolbarButton* b = m_buttons[i].get();
        if (b->m_hidden != items[i].hidden) {
            b->m_hidden = items[i].hidden;
            b->OnShow(!b->m_hidden);
        }
        b->SetRect(items[i].rect);
    }
    if (!m_customize)
        return;
    if (overflow)
        for (int i : hidden)
            m_customize->AddHiddenButton(m_buttons[size_t(i)].get());
    const bool show = overflow && (m_customize->GetCustomizeId() != 0 || !m_customize->HiddenButtons().empty());
    if (show) {
        const QRect cr = contentsRect();
        const QRect r = horz ? QRect(cr.right() + 1 - customizeSize.width(), cr.top() + 1, customizeSize.width(),
                                     customizeSize.height())
                             : QRect(cr.left() + 1, cr.bottom() + 1 - customizeSize.height(), customizeSize.width(),
                                     customizeSize.height());
        m_customize->m_hidden = false;
        m_customize->SetRect(r);
    } else {
        m_customize->m_hidden = true;
        m_customize->SetRect(QRect());
    }
}

void CKVTToolBar::AdjustLayout()
{
    const bool horz = IsHorizontal();
    for (auto& b : m_buttons)
        b->m_textBelow = !b->IsSeparator() && m_textLabels && horz;
    if (auto* rebar = qobject_cast<KvtRebar*>(parentWidget())) {
        CalcMaxLabelHeight();
        rebar->SetChildMinSize(this, CalcDynamicLayout(-1, LM_HORZ | LM_HORZDOCK));
    } else {
        // What the frame's layout recalculation does: the size and the wraps.
        CalcDynamicLayout(-1, horz ? LM_HORZ | LM_HORZDOCK : LM_VERTDOCK);
        updateGeometry();
    }
    RepositionButtons();
    update();
}

int CKVTToolBar::HitTest(QPoint point) const
{
    for (int i = 0; i < GetCount(); ++i) {
        const CKVTToolbarButton* b = m_buttons[size_t(i)].get();
        if (b->m_hidden || b->m_rect.isEmpty() || !b->m_rect.contains(point))
            continue;
        return b->IsSeparator() ? -1 : i;
    }
    return -1;
}

void CKVTToolBar::resizeEvent(QResizeEvent* e)
{
    ControlBar::resizeEvent(e);
    RepositionButtons();
}

// --- state of the hot and pressed buttons and commands -----------------------

void CKVTToolBar::SetHotButton(int index)
{
    if (index == m_hot)
        return;
    if (index < 0 || index >= GetCount()) {
        // No button: in customisation mode (not during an Alt-drag) an open popup closes.
        if (s_customizeMode && !s_tempCustomize)
            if (CKVTToolbarButton* open = GetButton(m_droppedDown)) {
                open->OnCancelMode();
                m_droppedDown = -1;
            }
        index = -1;
    } else {
        CKVTToolbarButton* dropped = GetButton(m_droppedDown);
        const bool isDropped = dropped && dropped->IsDroppedDown();
        if (isDropped || s_customizeMode) {
            CKVTToolbarButton* b = GetButton(index);
            if (index != m_droppedDown) {
                if (dropped)
                    dropped->OnCancelMode();
                m_droppedDown = -1;
                auto* menu = dynamic_cast<CKVTToolbarMenuButton*>(b);
                const bool isSystem = dynamic_cast<CKVTToolbarSystemMenuButton*>(b) != nullptr;
                const bool opens = menu && (!IsPopupMenuBar() || menu->m_id == KVT_POPUP_ID || !menu->SubItems().empty());
                if (opens && !(s_customizeMode && isSystem))
                    menu->OnClick(this, true);
            } else if (s_customizeMode && dropped) {
                dropped->OnCancelMode();
                m_droppedDown = -1;
            }
        }
        if (s_customizeMode && !s_tempCustomize && !CKVTButtonDragController::Instance().IsDragging()) {
            CKVTToolbarButton* b = GetButton(index);
            if (b && !b->IsSeparator() && m_selected != index) {
                InvalidateButton(m_selected);
                m_selected = index;
            }
        }
    }
    const int old = m_hot;
    m_hot = index;
    InvalidateButton(old);
    InvalidateButton(index);
    ShowCommandMessage(index >= 0 ? GetItemID(index) : 0xFFFFFFFF);
}

void CKVTToolBar::SetHotIndex(int index)
{
    if (index == m_hot)
        return;
    const int old = m_hot;
    m_hot = index;
    InvalidateButton(old);
    InvalidateButton(index);
    ShowCommandMessage(index >= 0 ? GetItemID(index) : 0xFFFFFFFF);
}

int CKVTToolBar::IndexOf(const CKVTToolbarButton* button) const
{
    for (int i = 0; i < GetCount(); ++i)
        if (m_buttons[size_t(i)].get() == button)
            return i;
    return -1;
}

void CKVTToolBar::EnableCustomizeButton(bool on, uint32_t customizeId, const QString& text)
{
    if (m_customize) {
        CCustomizeButton* old = m_customize;
        m_customize = nullptr;
        RemoveButton(IndexOf(old));
    }
    if (on) {
        auto b = std::make_unique<CCustomizeButton>(customizeId, text);
        m_customize = b.get();
        m_buttons.push_back(std::move(b));
        m_customize->OnParentChanged(this);
    }
    if (IsCreated())
        AdjustLayout();
}

namespace {
// The previous or next menu button of a bar from index, wrapping; -1 for none.
int NeighbourMenu(const CKVTToolBar* bar, int index, int step)
{
    const int n = bar->GetCount();
    for (int k = 0, i = index; k < n; ++k) {
        i = (i + step + n) % n;
        if (dynamic_cast<CKVTToolbarMenuButton*>(bar->GetButton(i)) && !bar->GetButton(i)->IsSeparator() &&
            !dynamic_cast<CCustomizeButton*>(bar->GetButton(i)))
            return i;
    }
    return -1;
}

bool DropDownNeighbour(CKVTToolBar* bar, int step)
{
    const int open = bar->GetDroppedDownMenu();
    auto* current = dynamic_cast<CKVTToolbarMenuButton*>(bar->GetButton(open));
    if (!current || !current->IsDroppedDown())
        return false;
    const int next = NeighbourMenu(bar, open, step);
    if (next < 0)
        return false;
    const uint32_t anim = CKVTToolBar::Options().menuAnimation;
    CKVTToolBar::Options().menuAnimation = 0;
    current->OnCancelMode();
    bar->SetDroppedDown(-1);
    bar->SetHotButton(-1);
    auto* b = static_cast<CKVTToolbarMenuButton*>(bar->GetButton(next));
    if (b->OpenPopupMenu())
        bar->SetDroppedDown(next);
    CKVTToolBar::Options().menuAnimation = anim;
    if (CKVTPopupMenu* popup = b->GetPopupMenu())
        popup->GetMenuBar()->HotFirst();
    bar->InvalidateButton(next);
    return true;
}
} // namespace

bool CKVTToolBar::DropDownPrevMenu() { return DropDownNeighbour(this, -1); }
bool CKVTToolBar::DropDownNextMenu() { return DropDownNeighbour(this, 1); }

void CKVTToolBar::OnCancelMode()
{
    if (m_resizing)
        EndResize(false, QPoint());
    if (CKVTToolbarButton* b = GetButton(m_pressed))
        SetButtonStyle(m_pressed, b->m_style & ~TBBS_PRESSED);
    m_pressed = -1;
    SetHotButton(-1);
    for (auto& b : m_buttons)
        b->OnCancelMode();
    m_droppedDown = -1;
    update();
}

void CKVTToolBar::OnMouseLeave()
{
    if (IsMouseHook())
        return;
    if (!s_customizeMode)
        if (CKVTToolbarButton* d = GetButton(m_droppedDown); d && d->IsDroppedDown())
            return;
    if (m_pressed >= 0)
        return;
    if (m_hot >= 0 && !hasFocus()) {
        SetHotButton(-1);
        ShowCommandMessage(0xFFFFFFFF);
    } else if (m_hot < 0) {
        ShowCommandMessage(0xFFFFFFFF);
    }
}

void CKVTToolBar::TrackMouse(QPoint point)
{
    int index = HitTest(point);
    if (index >= 0 && (GetButtonStyle(index) & TBBS_DISABLED) && !IsMenuMode())
        index = -1;
    SetHotButton(index);
}

bool CKVTToolBar::IsMouseHook() { return KvtEventFilter::Instance().IsMouseWatch(); }

void CKVTToolBar::SetMouseHook(bool on)
{
    KvtEventFilter::Instance().SetMouseWatch(on);
    if (!on)
        for (CKVTToolBar* bar : std::vector<CKVTToolBar*>(s_bars))
            if (bar->IsCreated())
                bar->OnCancelMode();
}

bool CKVTToolBar::OnToolHitTest(QPoint point, QString& text, QRect& rect)
{
    if (!s_options.tooltips || !(GetBarStyle() & CBRS_TOOLTIPS))
        return false;
    const int index = HitTest(point);
    CKVTToolbarButton* b = GetButton(index);
    if (!b)
        return false;
    if (b->GetCustomToolTipText(this, text)) {
        rect = b->m_rect;
        return !text.isEmpty();
    }
    if (KvtFrameHooks* hooks = KvtFrameHooks::FromWidget(GetOwner() ? GetOwner() : this))
        if (hooks->OnGetButtonToolTipText(b, text)) {
            rect = b->m_rect;
            return !text.isEmpty();
        }
    if (b->m_id == 0 || b->m_id == KVT_POPUP_ID || (b->m_userImage && !b->m_text.isEmpty())) {
        text = StripMnemonic(b->m_text);
    } else {
        const QString s = LoadResString(b->m_id).left(256);
        text = s.section(QLatin1Char('\n'), 1, 1);
    }
    if (text.isEmpty())
        return false;
    if (s_options.shortcutKeys && b->m_id != 0 && b->m_id != KVT_POPUP_ID)
        if (CKVTKeyboardManager* km = CKVTKeyboardManager::Instance()) {
            QString key;
            if (km->FindDefaultAccelerator(b->m_id, key, window()))
                text += QStringLiteral(" (") + key + QLatin1Char(')');
        }
    rect = b->m_rect;
    return true;
}

bool CKVTToolBar::event(QEvent* e)
{
    if (m_resizing && (e->type() == QEvent::KeyPress || e->type() == QEvent::ShortcutOverride)) {
        if (static_cast<QKeyEvent*>(e)->key() == Qt::Key_Escape && e->type() == QEvent::KeyPress)
            EndResize(false, QPoint());
        e->accept();
        return true;
    }
    if (e->type() == QEvent::ToolTip) {
        auto* he = static_cast<QHelpEvent*>(e);
        QString text;
        QRect r;
        if (OnToolHitTest(he->pos(), text, r))
            QToolTip::showText(he->globalPos(), text, this, r);
        else
            QToolTip::hideText();
        return true;
    }
    return ControlBar::event(e);
}

void CKVTToolBar::contextMenuEvent(QContextMenuEvent* e)
{
    OnContextMenu(this, e->reason() == QContextMenuEvent::Keyboard ? QPoint(-1, -1) : e->globalPos());
    e->accept();
}

void CKVTToolBar::OnContextMenu(QWidget*, QPoint pt)
{
    if (m_locked && s_customizeMode) {
        MessageBeep(0xFFFFFFFF);
        return;
    }
    SetHotButton(-1);
    if (!s_customizeMode) {
        if (KvtFrameHooks* hooks = KvtFrameHooks::FromWidget(GetOwner() ? GetOwner() : parentWidget()))
            hooks->OnToolbarPopupMenu(this, pt);
        return;
    }
    const bool keyboard = pt == QPoint(-1, -1);
    int index = keyboard ? m_selected : HitTest(mapFromGlobal(pt));
    InvalidateButton(m_selected);
    m_selected = index;
    InvalidateButton(index);
    CKVTToolbarButton* b = GetButton(index);
    if (!b)
        return;
    if (!b->IsEditable()) {
        m_selected = -1;
        InvalidateButton(index);
        return;
    }
    if (!b->CanBeStored())
        return;
    if (keyboard)
        pt = mapToGlobal(contentsRect().topLeft() + QPoint(5, 5));
    std::unique_ptr<Menu> res = Menu::Load(16102);
    Menu* sub = res ? res->SubMenu(0) : nullptr;
    if (!sub)
        return;
    std::unique_ptr<Menu> menu = sub->Clone();
    PrepareCustomizeMenu(b, *menu);
    // A library popup whose commands come back to this bar.
    auto* popup = new CKVTPopupMenu;
    QPointer<CKVTToolBar> self(this);
    popup->SetCommandHandler([self](uint32_t id) {
        if (self)
            self->OnCustomizeCommand(id);
    });
    if (!popup->Create(this, pt.x(), pt.y(), menu.release(), true))
        popup->deleteLater();
}

void CKVTToolBar::PrepareCustomizeMenu(CKVTToolbarButton* b, Menu& menu)
{
    auto set = [&menu](uint32_t id, bool grayed, int check) {
        const int i = menu.IndexOf(id);
        if (i < 0)
            return;
        menu.EnableItem(i, !grayed);
        if (check >= 0)
            menu.CheckItem(i, check != 0);
    };
    const bool horz = IsHorizontal();
    const bool textBelow = b->m_textBelow && horz;
    set(ID_BUTTON_COPY_IMAGE, !(b->m_showImage && b->HasImage()), -1);
    set(ID_BUTTON_RESET, b->m_id == 0 || b->m_id == 0xFFFFFFFF, -1);
    int which;
    if (!b->m_showText && !textBelow)
        which = ID_BUTTON_IMAGE;
    else
        which = b->m_showImage ? ID_BUTTON_IMAGE_TEXT : ID_BUTTON_TEXT;
    for (uint32_t id : {ID_BUTTON_IMAGE, ID_BUTTON_TEXT, ID_BUTTON_IMAGE_TEXT})
        set(id, false, id == uint32_t(which) ? 1 : 0);
    if (textBelow)
        set(ID_BUTTON_IMAGE, true, -1);
    const int index = IndexOf(b);
    const CKVTToolbarButton* prev = GetButton(index - 1);
    set(ID_BUTTON_BEGIN_GROUP, index <= 0, prev && prev->IsSeparator() ? 1 : 0);
}

bool CKVTToolBar::RunAppearanceDialog(CKVTToolbarButton* button)
{
    CKVTButtonAppearanceDlg dlg(button, s_userImages, this);
    return dlg.DoModal() == ui::IDOK_BUTTON;
}

void CKVTToolBar::OnCustomizeCommand(uint32_t id)
{
    if (id == ID_BUTTON_NEW_MENU) {
        // A new, empty menu at the selection.
        auto menu = std::make_unique<CKVTToolbarMenuButton>();
        menu->m_id = KVT_POPUP_ID; // a popup of its own, empty for now
        menu->m_showText = true;
        menu->m_showImage = false;
        QPointer<CKVTToolBar> self(this);
        if (!RunAppearanceDialog(menu.get()) || !self)
            return;
        CKVTToolbarMenuButton* raw = menu.get();
        const int at = InsertButton(std::move(menu), m_selected >= 0 ? m_selected : -1);
        if (at < 0)
            return;
        m_selected = at;
        AdjustLayout();
        update();
        raw->OnClick(this, false);
        return;
    }
    CKVTToolbarButton* b = GetButton(m_selected);
    if (!b)
        return;
    QPointer<CKVTToolBar> self(this);
    // Runs the appearance dialog for a button without an image; cancelling
    // restores the flags it had.
    auto imageFirst = [this, b, &self]() {
        if (b->HasImage())
            return true;
        const bool showText = b->m_showText, showImage = b->m_showImage, user = b->m_userImage;
        const bool ok = RunAppearanceDialog(b);
        if (!self)
            return false;
        if (!ok || IndexOf(b) < 0) {
            if (IndexOf(b) >= 0) {
                b->m_showText = showText;
                b->m_showImage = showImage;
                b->m_userImage = user;
            }
            return false;
        }
        return true;
    };
    switch (id) {
    case ID_BUTTON_RESET: {
        const int image = CKVTCommandImageMap::Instance().GetImage(b->m_id, false);
        if (image >= 0) {
            b->m_userImage = false;
            b->SetImage(image);
            b->m_showImage = true;
        } else {
            b->m_showImage = false;
        }
        if (m_menuMode || !b->m_showImage)
            b->m_showText = true;
        SetDefaultButtonText(b);
        break;
    }
    case ID_BUTTON_COPY_IMAGE: {
        CKVTToolbarImageList* list = b->m_userImage ? s_userImages : GetSharedImages(IMAGES_NORMAL);
        if (!list || !b->HasImage())
            return;
        const QSize sz = list->GetImageSize();
        QImage img(sz, QImage::Format_ARGB32);
        img.fill(Qt::transparent);
        {
            QPainter p(&img);
            list->PrepareDrawImage(sz);
            list->Draw(p, 0, 0, b->GetImage(), CKVTToolbarImageList::STATE_NORMAL);
            list->EndDrawImage();
        }
        QApplication::clipboard()->setImage(img);
        return;
    }
    case ID_BUTTON_DELETE:
        RemoveButton(m_selected);
        m_selected = -1;
        break;
    case ID_BUTTON_APPEARANCE:
        if (!RunAppearanceDialog(b) || !self)
            return;
        break;
    case ID_BUTTON_IMAGE:
        if (!imageFirst())
            return;
        b->m_showImage = true;
        b->m_showText = false;
        break;
    case ID_BUTTON_TEXT:
    case ID_BUTTON_IMAGE_TEXT:
        if (id == ID_BUTTON_IMAGE_TEXT && !imageFirst())
            return;
        if (b->m_text.isEmpty() && !SetDefaultButtonText(b)) {
            MessageBeep();
            b->m_showText = false;
            b->m_showImage = true;
            break;
        }
        b->m_showText = true;
        b->m_showImage = id == ID_BUTTON_IMAGE_TEXT;
        break;
    case ID_BUTTON_BEGIN_GROUP: {
        CKVTToolbarButton* prev = GetButton(m_selected - 1);
        if (m_selected <= 0)
            return;
        if (prev && prev->IsSeparator())
            RemoveButton(m_selected - 1);
        else
            InsertSeparator(m_selected);
        break;
    }
    default:
        return;
    }
    AdjustLayout();
    update();
}

void CKVTToolBar::RestoreFocus()
{
    SetHotButton(-1);
    ShowCommandMessage(0xFFFFFFFF);
}

uint32_t CKVTToolBar::MapMessageId(uint32_t id)
{
    if (id == 0xFFFFFFFF)
        return 0xE001;
    if (id >= 0xF000 && id <= 0xF1EF)
        return 0xEF00 + ((id - 0xF000) >> 4);
    if (id > 0xFEFF)
        return 0xEF1F;
    return id;
}

void CKVTToolBar::ShowCommandMessage(uint32_t id)
{
    if (IsMouseHook())
        return;
    QWidget* owner = GetOwner() ? GetOwner() : window();
    if (auto* frame = qobject_cast<MainFrameBase*>(owner))
        frame->SetMessageText(MapMessageId(id));
}

void CKVTToolBar::OnCustomizeMode(bool on)
{
    m_pressed = m_hot = m_selected = -1;
    if (m_resizing)
        EndResize(false, QPoint());
    for (auto& b : m_buttons) {
        b->OnCancelMode();
        if (QWidget* w = b->GetHwnd()) {
            w->setEnabled(!on);
            // The disabled control of an unlocked bar keeps its normal colours.
            QPalette pal = w->palette();
            if (on && !m_locked && b->OnCtlColor(pal))
                w->setPalette(pal);
            else if (!on)
                w->setPalette(QPalette());
        }
    }
}

void CKVTToolBar::OnUpdateCmdUI()
{
    const std::vector<CommandTarget*> route = CurrentRoute();
    for (int i = 0; i < GetCount(); ++i) {
        const CKVTToolbarButton* b = m_buttons[size_t(i)].get();
        const uint32_t id = b->m_id;
        if (b->IsSeparator() || id == 0 || (id >= 0xF000 && id <= 0xF1EF) || id >= 0xFF00)
            continue;
        ToolCmdUI cmd(this, i);
        UpdateCommandUITo(route, cmd, true);
    }
    // The hosted controls follow their commands (customisation mode keeps them disabled).
    for (auto& b : m_buttons)
        if (QWidget* w = b->GetHwnd(); w && !w->isHidden())
            w->setEnabled(!s_customizeMode && !(b->m_style & TBBS_DISABLED));
}

void CKVTToolBar::OnButtonNotify(CKVTToolbarButton* button, int code)
{
    const int index = IndexOf(button);
    if (index < 0 || !button->NotifyCommand(code))
        return;
    const uint32_t id = button->m_id;
    if (OnSendCommand(button) || id == 0 || id == 0xFFFFFFFF)
        return;
    CKVTCommandUsage::Instance().AddCommand(id);
    SendCommand(id);
}

void CKVTToolBar::mousePressEvent(QMouseEvent* e)
{
    m_lastPress = e->position().toPoint();
    if (e->button() == Qt::LeftButton && OnCustomizePress(e))
        return;
    if (e->button() != Qt::LeftButton || s_customizeMode) {
        ControlBar::mousePressEvent(e);
        return;
    }
    const int index = HitTest(e->position().toPoint());
    if (index < 0) {
        m_pressed = -1;
        ControlBar::mousePressEvent(e);
        return;
    }
    CKVTToolbarButton* b = GetButton(index);
    if (b->m_style & TBBS_DISABLED)
        return;
    m_pressed = index;
    b->m_style |= TBBS_PRESSED;
    InvalidateButton(index);
    ShowCommandMessage(b->m_id);
    QPointer<CKVTToolBar> self(this);
    if (b->OnClick(this)) {
        if (!self)
            return;
        if (CKVTToolbarButton* again = GetButton(index))
            again->m_style &= ~TBBS_PRESSED;
        m_pressed = m_hot = -1;
        InvalidateButton(index);
    }
}

void CKVTToolBar::mouseDoubleClickEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton && !s_customizeMode)
        if (CKVTToolbarButton* b = GetButton(HitTest(e->position().toPoint()))) {
            b->OnDblClick(this);
            return;
        }
    mousePressEvent(e);
}

void CKVTToolBar::mouseReleaseEvent(QMouseEvent* e)
{
    if (m_resizing && e->button() == Qt::LeftButton) {
        EndResize(true, e->position().toPoint());
        return;
    }
    if (m_pressed < 0 || e->button() != Qt::LeftButton) {
        ControlBar::mouseReleaseEvent(e);
        return;
    }
    const int index = m_pressed;
    CKVTToolbarButton* b = GetButton(index);
    if (!b) {
        m_pressed = -1;
        return;
    }
    const QPoint pos = e->position().toPoint();
    const bool over = HitTest(pos) == index;
    uint32_t style = b->m_style & ~TBBS_PRESSED;
    if (over && !(style & TBBS_DISABLED) && (style & TBBS_CHECKBOX)) {
        style ^= TBBS_CHECKED;
        style &= ~TBBS_INDETERMINATE;
    }
    ShowCommandMessage(0xFFFFFFFF);
    m_pressed = -1;
    m_hot = -1;
    const uint32_t id = b->m_id;
    QPointer<CKVTToolBar> self(this);
    if (over && !OnSendCommand(b) && id != 0 && id != 0xFFFFFFFF) {
        InvalidateButton(index);
        CKVTCommandUsage::Instance().AddCommand(id);
        SendCommand(id);
    }
    if (!self)
        return; // the command destroyed the bar
    if (GetButton(index) == b) {
        b->m_style = ~style; // force the repaint of SetButtonStyle
        SetButtonStyle(index, style);
    }
    const int hot = HitTest(pos);
    if (hot >= 0 && !(GetButtonStyle(hot) & TBBS_DISABLED))
        SetHotButton(hot);
}

void CKVTToolBar::mouseMoveEvent(QMouseEvent* e)
{
    if (m_resizing) {
        const int x = std::max(m_resizeRect.left() + 1, e->position().toPoint().x());
        update(m_resizeRect.adjusted(-2, -2, 2, 2));
        m_resizeRect.setRight(x);
        update(m_resizeRect.adjusted(-2, -2, 2, 2));
        return;
    }
    if (m_pressed >= 0 || s_customizeMode) {
        ControlBar::mouseMoveEvent(e);
        return;
    }
    TrackMouse(e->position().toPoint());
}

void CKVTToolBar::leaveEvent(QEvent* e)
{
    OnMouseLeave();
    ControlBar::leaveEvent(e);
}

// --- painting ----------------------------------------------------------------

CKVTToolbarImageList* CKVTToolBar::ImageList(ImageKind kind)
{
    return m_locked ? &m_ownImages[kind] : GetSharedImages(kind);
}

void CKVTToolBar::DrawSeparator(QPainter& p, CKVTToolbarButton* button, bool horz)
{
    const CKVTDrawingData& dd = CKVTDrawingData::Instance();
    const QRect r = button->m_rect;
    if (horz) {
        const int x = r.left() + r.width() / 2 - 1;
        p.fillRect(QRect(x, r.top(), 1, r.height()), dd.Shadow());
        p.fillRect(QRect(x + 1, r.top(), 1, r.height()), dd.Highlight());
    } else {
        const int y = r.top() + r.height() / 2 - 1;
        p.fillRect(QRect(r.left(), y, r.width(), 1), dd.Shadow());
        p.fillRect(QRect(r.left(), y + 1, r.width(), 1), dd.Highlight());
    }
}

void CKVTToolBar::DrawButton(QPainter& p, CKVTToolbarButton* button, CKVTToolbarImageList* images, bool highlighted,
                             bool grayDisabled)
{
    if (button->m_hidden || button->m_rect.isEmpty())
        return;
    button->Draw(p, button->m_rect, images, IsHorizontal(), InCustomizeMode() && !m_locked, highlighted, m_drawBorder,
                 grayDisabled);
}

void CKVTToolBar::paintEvent(QPaintEvent* e)
{
    QPainter p(this);
    const CKVTDrawingData& dd = CKVTDrawingData::Instance();
    const bool transparent = (m_ctrlStyle & 0x8000) != 0;
    if (!transparent)
        p.fillRect(rect(), dd.Face());
    PaintNonClient(p);
    p.setClipRect(contentsRect());
    OnFillBackground(p);
    p.setPen(dd.Text());

    const bool horz = IsHorizontal();
    CKVTToolbarImageList* lists[IMAGES_COUNT];
    for (int k = 0; k < IMAGES_COUNT; ++k)
        lists[k] = ImageList(ImageKind(k));
    QSize imageSize = GetImageSize();
    if (m_menuMode && s_menuImage.width() > 0)
        imageSize = s_menuImage;
    for (auto* l : lists)
        if (l->HasImages() && !l->PrepareDrawImage(imageSize))
            return;
    if (s_userImages)
        s_userImages->PrepareDrawImage(imageSize);
    p.setFont(horz ? dd.HorzFont() : dd.VertFont());

    const bool customize = InCustomizeMode() && !m_locked;
    const QRegion region = e->region();
    for (int i = 0; i < GetCount(); ++i) {
        CKVTToolbarButton* b = m_buttons[size_t(i)].get();
        if (b->IsSeparator()) {
            if (b->m_wrap && horz) {
                const QRect band(contentsRect().left(), b->m_rect.bottom() + 1, contentsRect().width(), 5);
                if (region.intersects(band)) {
                    p.fillRect(QRect(band.left(), band.top() + 1, band.width(), 1), dd.Shadow());
                    p.fillRect(QRect(band.left(), band.top() + 2, band.width(), 1), dd.Highlight());
                }
            } else if (!b->m_hidden && !b->m_rect.isEmpty() && region.intersects(b->m_rect)) {
                DrawSeparator(p, b, horz);
            }
            continue;
        }
        if (b->m_hidden || !region.intersects(b->m_rect))
            continue;
        const bool disabled = (b->m_style & TBBS_DISABLED) && !InCustomizeMode();
        bool highlighted;
        if (m_menuMode)
            highlighted = i == m_hot;
        else
            highlighted = !customize && (i == m_pressed || (i == m_hot && m_pressed < 0));
        CKVTToolbarImageList* list;
        bool gray = m_grayDisabled;
        if (b->m_userImage && s_userImages) {
            list = s_userImages;
        } else if (m_menuMode) {
            if (disabled && lists[IMAGES_DISABLED_MENU]->HasImages())
                list = lists[IMAGES_DISABLED_MENU];
            else if (lists[IMAGES_MENU]->HasImages())
                list = lists[IMAGES_MENU];
            else if (disabled && lists[IMAGES_DISABLED]->HasImages())
                list = lists[IMAGES_DISABLED];
            else
                list = lists[IMAGES_NORMAL];
        } else {
            const bool pressed = (b->m_style & TBBS_PRESSED) || i == m_droppedDown;
            if (disabled && lists[IMAGES_DISABLED]->HasImages())
                list = lists[IMAGES_DISABLED];
            else if (lists[IMAGES_COLD]->HasImages() && !highlighted && !pressed)
                list = lists[IMAGES_COLD];
            else
                list = lists[IMAGES_NORMAL];
        }
        if (list == lists[IMAGES_DISABLED] || list == lists[IMAGES_DISABLED_MENU])
            gray = false;
        DrawButton(p, b, list, highlighted, gray);
    }
    if (customize) {
        if (m_selected >= GetCount())
            m_selected = -1;
        if (CKVTToolbarButton* sel = GetButton(m_selected); sel && sel->CanBeStored()) {
            QRect r = sel->m_rect;
            if (sel->GetHwnd())
                r.adjust(0, -1, 0, 1);
            p.setPen(QPen(dd.Text(), 2));
            p.setBrush(Qt::NoBrush);
            p.drawRect(r.adjusted(1, 1, -1, -1));
        }
        if (m_dropIndex >= 0)
            DrawDragMarker(p);
        if (m_resizing) {
            p.setPen(QPen(dd.Text(), 1, Qt::DotLine));
            p.setBrush(Qt::NoBrush);
            p.drawRect(m_resizeRect.adjusted(0, 0, -1, -1));
        }
    }
    for (auto* l : lists)
        l->EndDrawImage();
    if (s_userImages)
        s_userImages->EndDrawImage();
}

void CKVTToolBar::PaintNonClient(QPainter& p)
{
    const CKVTDrawingData& dd = CKVTDrawingData::Instance();
    const uint32_t style = GetBarStyle();
    QRect r = rect();
    if (style & CBRS_BORDER_ANY) {
        const QColor hiOrShadow = (style & CBRS_BORDER_3D) ? dd.Highlight() : dd.Shadow();
        if (style & CBRS_BORDER_LEFT)
            p.fillRect(QRect(0, 0, 1, r.height() - 1), hiOrShadow);
        if (style & CBRS_BORDER_TOP)
            p.fillRect(QRect(0, 0, r.width() - 1, 1), hiOrShadow);
        if (style & CBRS_BORDER_RIGHT)
            p.fillRect(QRect(r.width() - 1, 1, 1, r.height() - 1), dd.Shadow());
        if (style & CBRS_BORDER_BOTTOM)
            p.fillRect(QRect(0, r.height() - 1, r.width() - 1, 1), dd.Shadow());
        if (!HasDockContext()) {
            // The etched line over the whole width of a bar that never docks.
            p.fillRect(QRect(0, 0, r.width(), 1), dd.Shadow());
            p.fillRect(QRect(0, 1, r.width(), 1), dd.Highlight());
        }
        r.adjust(style & CBRS_BORDER_LEFT ? 1 : 0, style & CBRS_BORDER_TOP ? 1 : 0,
                 style & CBRS_BORDER_RIGHT ? -1 : 0, style & CBRS_BORDER_BOTTOM ? -1 : 0);
    }
    if ((style & CBRS_GRIPPER) && !(style & CBRS_FLOATING)) {
        const QRect cr = contentsRect();
        const bool horz = IsHorizontal();
        const QRect band = horz ? QRect(QPoint(r.left(), r.top()), QPoint(cr.left() - 2, r.bottom()))
                                : QRect(QPoint(r.left(), r.top()), QPoint(r.right(), cr.top() - 2));
        DrawBarGripper(p, band, horz);
    }
}

void CKVTToolBar::DrawBarGripper(QPainter& p, QRect band, bool horz)
{
    const CKVTDrawingData& dd = CKVTDrawingData::Instance();
    const bool look2000 = s_options.look2000;
    const int lines = look2000 ? 1 : 2;
    const int shorten = look2000 ? 3 : 2;
    const int first = look2000 ? 1 : 2;
    auto line3d = [&](QRect r) {
        p.fillRect(r, dd.Face());
        p.fillRect(QRect(r.left(), r.top(), r.width(), 1), dd.Highlight());
        p.fillRect(QRect(r.left(), r.top(), 1, r.height()), dd.Highlight());
        p.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), dd.Shadow());
        p.fillRect(QRect(r.right(), r.top(), 1, r.height()), dd.Shadow());
    };
    if (horz) {
        band.adjust(0, shorten, 0, -shorten);
        const int mid = band.left() + band.width() / 2;
        for (int i = 0; i < lines; ++i) {
            const QRect l(mid - first + 4 * i, band.top(), 3, band.height());
            line3d(l);
            if (!look2000)
                p.fillRect(QRect(l.left(), l.bottom(), 1, 1), dd.Highlight());
        }
    } else {
        if (!look2000)
            band.adjust(0, 1, 0, 0);
        band.adjust(shorten, 0, -shorten, 0);
        const int mid = band.top() + band.height() / 2;
        for (int i = 0; i < lines; ++i) {
            const QRect l(band.left(), mid - first + 4 * i, band.width(), 3);
            line3d(l);
            if (!look2000)
                p.fillRect(QRect(l.right(), l.top(), 1, 1), dd.Highlight());
        }
    }
}

// --- stored state ------------------------------------------------------------

void CKVTToolBar::Serialize(sys::ObjectArchive& ar)
{
    if (ar.IsStoring()) {
        std::vector<const sys::ArchiveObject*> list;
        for (auto& b : m_buttons)
            if (b->CanBeStored())
                list.push_back(b.get());
        ar.WriteObjectList(list);
        ar.WriteU32(m_textLabels ? 1 : 0);
        ar.WriteString(IsCreated() ? windowTitle().toStdU16String() : std::u16string());
        return;
    }
    // Read everything first; the bar changes only when all of it has loaded.
    std::vector<std::unique_ptr<sys::ArchiveObject>> objects = ar.ReadObjectList();
    std::vector<std::unique_ptr<CKVTToolbarButton>> buttons;
    for (auto& o : objects) {
        auto* b = dynamic_cast<CKVTToolbarButton*>(o.get());
        if (!b)
            throw sys::ArchiveError("not a toolbar button");
        o.release();
        buttons.emplace_back(b);
    }
    const bool textLabels = ar.ReadU32() != 0;
    const QString caption = QString::fromStdU16String(ar.ReadString());

    RemoveAllButtons();
    for (auto& b : buttons) {
        b->m_style &= ~TBBS_PRESSED;
        CKVTToolbarButton* raw = b.get();
        m_buttons.insert(m_customize ? m_buttons.end() - 1 : m_buttons.end(), std::move(b));
        raw->OnParentChanged(this);
    }
    if (AllowChangeTextLabels())
        m_textLabels = textLabels;
    RepositionButtons();
    if (IsCreated())
        setWindowTitle(caption);
    for (int i = GetCount() - 1; i >= 0; --i)
        if (!IsCommandPermitted(m_buttons[size_t(i)]->m_id))
            RemoveButton(i);
}

std::vector<uint8_t> CKVTToolBar::StoreButtons()
{
    sys::ObjectArchive ar;
    Serialize(ar);
    return ar.TakeBytes();
}

bool CKVTToolBar::LoadButtons(const std::vector<uint8_t>& bytes)
{
    try {
        sys::ObjectArchive ar(bytes);
        Serialize(ar);
    } catch (const sys::ArchiveError&) {
        return false;
    }
    return true;
}

QString CKVTToolBar::StateKey(const QString& profile, int index, uint32_t resourceId) const
{
    if (index == -1)
        index = int(GetDlgCtrlID());
    const QString prefix = GetRegPath(QStringLiteral("KVTToolBars"), profile);
    if (resourceId == 0xFFFFFFFF)
        return prefix + QStringLiteral("KVTToolBar-%1").arg(index);
    return prefix + QStringLiteral("KVTToolBar-%1%2").arg(index).arg(resourceId, 0, 16);
}

void CKVTToolBar::ClearStateKeyRecord() { StateKeys().clear(); }

bool CKVTToolBar::SaveState(const QString& profile, int index, uint32_t resourceId)
{
    if (index == -1)
        index = int(GetDlgCtrlID());
    const QString key = StateKey(profile, index, resourceId);
    auto& keys = StateKeys();
    const QString folded = key.toCaseFolded();
    auto it = keys.find(folded);
    if (it != keys.end() && it->second != std::make_pair(index, resourceId)) {
        std::fprintf(stderr, "toolbar state key %s is used by another bar; not saved\n", qPrintable(key));
        return false;
    }
    const std::vector<uint8_t> bytes = StoreButtons();
    CKVTRegistryKey reg;
    if (!reg.CreateKey(key))
        return false;
    keys[folded] = {index, resourceId};
    if (IsCreated())
        reg.Write(QStringLiteral("Name"), windowTitle());
    return reg.Write(QStringLiteral("Buttons"), bytes);
}

bool CKVTToolBar::LoadState(const QString& profile, int index, uint32_t resourceId)
{
    CKVTRegistryKey reg(false, true);
    if (!reg.Open(StateKey(profile, index, resourceId)))
        return false;
    std::vector<uint8_t> bytes;
    if (!reg.Read(QStringLiteral("Buttons"), bytes))
        return false;
    if (!LoadButtons(bytes))
        return false;
    AdjustLayout();
    return true;
}

bool CKVTToolBar::RemoveStateFromRegistry(const QString& profile, int index, uint32_t resourceId)
{
    CKVTRegistryKey reg;
    return reg.DeleteKey(StateKey(profile, index, resourceId));
}

namespace {
const char16_t* const kOptionNames[] = {u"Tooltips",          u"ShortcutKeys", u"LargeIcons",
                                        u"MenuAnimation",     u"RecentlyUsedMenus", u"MenuShadows",
                                        u"ShowAllMenusAfterDelay", u"Look2000"};
}

bool CKVTToolBar::SaveParameters(const QString& profile)
{
    CKVTRegistryKey reg;
    if (!reg.CreateKey(GetRegPath(QStringLiteral("KVTToolBars"), profile) + QStringLiteral("KVTToolbarParameters")))
        return false;
    const KvtToolbarOptions& o = s_options;
    const uint32_t values[] = {o.tooltips,          o.shortcutKeys, o.largeIcons,
                               o.menuAnimation,     o.recentlyUsedMenus, o.menuShadows,
                               o.showAllMenusAfterDelay, o.look2000};
    bool ok = true;
    for (size_t i = 0; i < 8; ++i)
        ok = reg.Write(QString::fromUtf16(kOptionNames[i]), values[i]) && ok;
    return reg.WriteObject(QStringLiteral("CommandsUsage"), CKVTCommandUsage::Instance()) && ok;
}

bool CKVTToolBar::LoadParameters(const QString& profile)
{
    CKVTRegistryKey reg(false, true);
    if (!reg.Open(GetRegPath(QStringLiteral("KVTToolBars"), profile) + QStringLiteral("KVTToolbarParameters")))
        return false;
    KvtToolbarOptions& o = s_options;
    bool* flags[] = {&o.tooltips, &o.shortcutKeys, &o.largeIcons, nullptr, &o.recentlyUsedMenus,
                     &o.menuShadows, &o.showAllMenusAfterDelay, &o.look2000};
    bool ok = true;
    for (size_t i = 0; i < 8 && ok; ++i) {
        uint32_t v = 0;
        ok = reg.Read(QString::fromUtf16(kOptionNames[i]), v);
        if (!ok)
            break;
        if (flags[i])
            *flags[i] = v != 0;
        else
            o.menuAnimation = v;
    }
    if (ok)
        ok = reg.ReadObject(QStringLiteral("CommandsUsage"), CKVTCommandUsage::Instance());
    SetLargeIcons(o.largeIcons);
    SetLook2000(o.look2000);
    return ok;
}

// --- customisation by mouse and drag and drop --------------------------------

bool CKVTToolBar::OnCustomizePress(QMouseEvent* e)
{
    const bool temporary = !s_customizeMode;
    if (temporary && !(s_altCustomize && (e->modifiers() & Qt::AltModifier)))
        return false;
    if (m_locked || CKVTButtonDragController::Instance().IsArmed())
        return !temporary; // a locked bar selects nothing
    const QPoint pt = e->position().toPoint();
    const int index = HitTest(pt);
    CKVTToolbarButton* b = GetButton(index);
    if (!b) {
        // A click outside the buttons clears the selection (and may dock the bar).
        if (!temporary) {
            InvalidateButton(m_selected);
            m_selected = -1;
        }
        return false;
    }
    // 1. The selection and the copy flag.
    InvalidateButton(m_selected);
    m_selected = index;
    InvalidateButton(index);
    m_copy = (e->modifiers() & Qt::ControlModifier) != 0;
    // 2. A button that cannot be edited.
    if (!b->IsEditable()) {
        m_selected = -1;
        InvalidateButton(index);
        return true;
    }
    // 3. The width drag of a stretchable button (its right edge).
    const int right = b->m_rect.left() + b->m_rect.width();
    if (!temporary && b->CanBeStretched() && right - pt.x() < 7 && right - pt.x() >= 0) {
        m_resizing = true;
        m_resizeButton = b;
        m_resizeRect = b->GetHwnd() ? b->m_rect.adjusted(-2, -2, 2, 2) : b->m_rect;
        setCursor(ui::LoadCursor(30980, Qt::SizeHorCursor));
        grabMouse();
        grabKeyboard();
        update(m_resizeRect.adjusted(-2, -2, 2, 2));
        return true;
    }
    // 4. The drag.
    if (b->CanBeStored() && b->OnBeforeDrag())
        StartButtonDrag(index, e, temporary);
    return true;
}

void CKVTToolBar::StartButtonDrag(int index, QMouseEvent* e, bool temporary)
{
    CKVTToolbarButton* b = GetButton(index);
    auto data = std::make_unique<QMimeData>();
    if (!b || !b->CopyToClipboard(data.get()))
        return;
    ShowCommandMessage(b->m_id);
    m_dragButton = b;
    m_dragStart = e->position().toPoint();
    if (temporary) {
        // An Alt-drag: the customisation-mode flag is on for the drag only.
        s_tempCustomize = true;
        s_customizeMode = true;
    }
    QPointer<CKVTToolBar> self(this);
    auto done = [self, temporary](const CKVTButtonDragController::Result& r) {
        if (self)
            self->OnDragDone(r.effect, r.started, r.escape, r.deleted, r.releasePos);
        if (temporary && s_tempCustomize) {
            // A temporary customisation always ends, whatever became of the drag.
            s_tempCustomize = false;
            SetCustomizeMode(false);
            s_customizeMode = false;
        }
        if (self)
            self->update();
    };
    const QRect start = CKVTButtonDragController::StartRectAround(e->globalPosition().toPoint());
    if (!CKVTButtonDragController::Instance().Start(this, std::move(data), DROPEFFECT_COPY | DROPEFFECT_MOVE, start,
                                                    done)) {
        CKVTButtonDragController::Result none;
        done(none);
    }
}

void CKVTToolBar::OnDragDone(int effect, bool started, bool escape, bool deleted, QPoint releasePos)
{
    CKVTToolbarButton* b = m_dragButton;
    const int index = IndexOf(b);
    m_dragButton = nullptr;
    const QRect start = CKVTButtonDragController::StartRectAround(mapToGlobal(m_dragStart));
    m_dragStart = QPoint(-1, -1);
    if (index < 0)
        return;
    if (started) {
        // Only a move, or a release where the delete cursor showed, takes the
        // button away; a drop that failed after an accepting drag-over keeps it.
        const bool remove = !escape && !start.contains(releasePos) && effect != DROPEFFECT_COPY &&
                            (effect == DROPEFFECT_MOVE || deleted);
        if (remove) {
            RemoveButton(index);
            AdjustLayout();
            update();
        } else {
            InvalidateButton(index);
        }
        return;
    }
    // A plain click: the button becomes hot (a menu button opens for editing).
    if (s_customizeMode && !s_tempCustomize) {
        auto* menu = dynamic_cast<CKVTToolbarMenuButton*>(b);
        if (menu && !dynamic_cast<CKVTToolbarSystemMenuButton*>(menu) && !dynamic_cast<CCustomizeButton*>(menu)) {
            m_selected = index;
            menu->OnClick(this, false);
            InvalidateButton(index);
            return;
        }
        SetHotButton(index);
    }
}

void CKVTToolBar::EndResize(bool apply, QPoint point)
{
    CKVTToolbarButton* b = IndexOf(m_resizeButton) >= 0 ? m_resizeButton : nullptr;
    const QRect old = m_resizeRect;
    m_resizing = false;
    m_resizeRect = QRect();
    m_resizeButton = nullptr;
    if (QWidget::mouseGrabber() == this)
        releaseMouse();
    if (QWidget::keyboardGrabber() == this)
        releaseKeyboard();
    unsetCursor();
    if (apply && b) {
        const int left = b->m_rect.left();
        const int right = left + b->m_rect.width();
        if (point.x() > left + 4 && std::abs(point.x() - right) > 6) {
            b->OnWidthChanged(point.x() - left);
            AdjustLayout();
        }
    }
    update(old.adjusted(-2, -2, 2, 2));
    update();
}

KvtDropPlace CKVTToolBar::FindDropPlace(const QPoint& point, const KvtDropRules& rules, bool horz)
{
    std::vector<KvtLayoutButton> items = LayoutItems(horz);
    return KvtToolbarLayout::FindDropIndex(items, point, LayoutBar(horz), contentsRect(), rules);
}

int CKVTToolBar::FindDropIndex(const QPoint& point, QRect& marker)
{
    KvtDropRules rules;
    rules.customizeIndex = IndexOf(m_customize);
    const KvtDropPlace place = FindDropPlace(point, rules, IsHorizontal());
    marker = place.marker;
    return place.index;
}

void CKVTToolBar::DrawDragMarker(QPainter& p)
{
    const QRect r = m_dropMarker;
    if (r.isEmpty())
        return;
    const CKVTDrawingData& dd = CKVTDrawingData::Instance();
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(dd.Text());
    if (IsHorizontal()) {
        // An I-beam across the bar.
        const int x = r.left() + r.width() / 2 - 1;
        p.drawRect(QRect(x, r.top(), 2, r.height()));
        p.drawRect(QRect(x - 2, r.top(), 6, 2));
        p.drawRect(QRect(x - 2, r.bottom() - 1, 6, 2));
    } else {
        const int y = r.top() + r.height() / 2 - 1;
        p.drawRect(QRect(r.left(), y, r.width(), 2));
        p.drawRect(QRect(r.left(), y - 2, 2, 6));
        p.drawRect(QRect(r.right() - 1, y - 2, 2, 6));
    }
    p.restore();
}

int CKVTToolBar::OnDragEnter(const QMimeData* data, int keyState, const QPoint& point)
{
    m_dropIndex = -1;
    CKVTButtonDragController::Instance().SetOutside(false);
    return OnDragOver(data, keyState, point);
}

int CKVTToolBar::OnDragOver(const QMimeData* data, int keyState, const QPoint& point)
{
    if (m_locked)
        return DROPEFFECT_NONE;
    {
        std::unique_ptr<CKVTToolbarButton> probe = CKVTToolbarButton::CreateFromClipboard(data);
        if (!probe || !probe->CanBeDropped(this))
            return DROPEFFECT_NONE;
    }
    m_copy = (keyState & MK_CONTROL) != 0;
    if (!m_dragButton && m_selected >= 0) {
        InvalidateButton(m_selected);
        m_selected = -1;
    }
    QRect marker;
    const int index = FindDropIndex(point, marker);
    if (marker != m_dropMarker) {
        update(m_dropMarker.adjusted(-2, -2, 2, 2));
        update(marker.adjusted(-2, -2, 2, 2));
        m_dropMarker = marker;
    }
    m_dropIndex = index;
    // The hot button follows the point (a menu button opens, so that a
    // button can be dropped into its menu); never the dragged one's menu.
    const int hot = HitTest(point);
    if (hot >= 0 && GetButton(hot) == m_dragButton)
        SetHotIndex(hot);
    else
        SetHotButton(hot);
    return m_copy ? DROPEFFECT_COPY : DROPEFFECT_MOVE;
}

void CKVTToolBar::OnDragLeave()
{
    update(m_dropMarker.adjusted(-2, -2, 2, 2));
    m_dropMarker = QRect();
    m_dropIndex = -1;
    CKVTButtonDragController::Instance().SetOutside(true);
}

bool CKVTToolBar::OnDrop(const QMimeData* data, int effect, const QPoint& point)
{
    int index = m_dropIndex;
    update(m_dropMarker.adjusted(-2, -2, 2, 2));
    m_dropMarker = QRect();
    m_dropIndex = -1;
    if (index < 0)
        return false;
    QPointer<CKVTToolBar> self(this);
    std::unique_ptr<CKVTToolbarButton> button = CreateDroppedButton(data);
    if (!self || !button)
        return false;
    if (!IsCommandPermitted(button->m_id))
        return false; // refused before anything moves
    const int dragged = IndexOf(m_dragButton);
    if (dragged >= 0 && effect != DROPEFFECT_COPY) {
        if (index == dragged || index == dragged + 1) {
            // Just before or after itself: the separator before it.
            CKVTToolbarButton* b = m_dragButton;
            m_dragButton = nullptr;
            AddRemoveSeparator(b, m_dragStart, point);
            return true;
        }
        RemoveButton(dragged);
        m_dragButton = nullptr;
        if (dragged < index)
            --index;
    }
    if (InsertButton(std::move(button), std::min(index, GetCount())) < 0)
        return false;
    AdjustLayout();
    m_selected = -1;
    update();
    return true;
}

std::unique_ptr<CKVTToolbarButton> CKVTToolBar::CreateDroppedButton(const QMimeData* data)
{
    std::unique_ptr<CKVTToolbarButton> b = CKVTToolbarButton::CreateFromClipboard(data);
    if (!b)
        return nullptr;
    const int tab = b->m_text.indexOf(QLatin1Char('\t'));
    if (tab >= 0)
        b->m_text.truncate(tab);
    b->m_showText = false;
    b->m_showImage = true;
    if (b->m_extra && !b->HasImage() && b->m_text.isEmpty()) {
        // A command of the command list without image or text: it gets them now.
        CKVTButtonAppearanceDlg dlg(b.get(), s_userImages, this);
        if (dlg.DoModal() != ui::IDOK_BUTTON)
            return nullptr;
    }
    if (!b->HasImage()) {
        b->m_showImage = false;
        b->m_showText = true;
    }
    return b;
}

void CKVTToolBar::AddRemoveSeparator(CKVTToolbarButton* button, QPoint start, QPoint end)
{
    const int index = IndexOf(button);
    if (index < 0)
        return;
    const int delta = IsHorizontal() ? end.x() - start.x() : end.y() - start.y();
    if (std::abs(delta) < 6)
        return;
    CKVTToolbarButton* prev = GetButton(index - 1);
    if (delta > 0) {
        if (index > 0 && prev && !prev->IsSeparator())
            InsertSeparator(index);
    } else if (prev && prev->IsSeparator()) {
        RemoveButton(index - 1);
    }
    AdjustLayout();
    m_selected = -1;
    update();
}
