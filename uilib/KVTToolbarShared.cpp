#include "uilib/KVTToolbarShared.h"

#include "platform/ui/App.h"
#include "platform/ui/ToolbarResource.h"
#include "res/CommandIds.h"
#include "uilib/KVTCommandUsage.h"
#include "uilib/KVTDocking.h"
#include "uilib/KVTEventFilter.h"
#include "uilib/KVTPopupMenu.h"
#include "uilib/KVTToolBar.h"
#include "uilib/KVTToolbarButton.h"
#include "uilib/KVTToolbarMenuButton.h"

#include <QMdiSubWindow>
#include <QPointer>

#include <algorithm>
#include <array>
#include <memory>

using namespace ui;

std::vector<CKVTToolBar*> CKVTToolbarShared::s_bars;
bool CKVTToolbarShared::s_customizeMode = false;
bool CKVTToolbarShared::s_tempCustomize = false;
bool CKVTToolbarShared::s_altCustomize = false;
QSize CKVTToolbarShared::s_defaultButton{23, 22};
QSize CKVTToolbarShared::s_defaultImage{16, 15};
QSize CKVTToolbarShared::s_curButton{23, 22};
QSize CKVTToolbarShared::s_curImage{16, 15};
QSize CKVTToolbarShared::s_menuButton{-1, -1};
QSize CKVTToolbarShared::s_menuImage{-1, -1};
std::vector<uint32_t> CKVTToolbarShared::s_nonPermitted;
std::vector<uint32_t> CKVTToolbarShared::s_basic;
CKVTToolbarImageList* CKVTToolbarShared::s_userImages = nullptr;
KvtToolbarOptions CKVTToolbarShared::s_options;

namespace {
std::array<std::unique_ptr<CKVTToolbarImageList>, CKVTToolbarShared::kImageKinds>& SharedImages()
{
    static std::array<std::unique_ptr<CKVTToolbarImageList>, CKVTToolbarShared::kImageKinds> lists;
    return lists;
}
} // namespace

bool IsFrameworkCommand(uint32_t id)
{
    return (id >= ID_FILE_MRU_FIRST && id <= ID_FILE_MRU_LAST) ||
           (id >= ID_SYSTEM_FIRST && id <= ID_SYSTEM_LAST) ||
           (id >= ID_VERB_FIRST && id <= ID_VERB_LAST) || id >= ID_TRANSIENT_FIRST;
}

void CKVTToolbarShared::AddBar(CKVTToolBar* bar)
{
    if (std::find(s_bars.begin(), s_bars.end(), bar) == s_bars.end())
        s_bars.push_back(bar);
}

void CKVTToolbarShared::RemoveBar(CKVTToolBar* bar)
{
    s_bars.erase(std::remove(s_bars.begin(), s_bars.end(), bar), s_bars.end());
}

int CKVTToolbarShared::Scale() { return s_options.largeIcons ? 2 : 1; }

CKVTToolbarImageList* CKVTToolbarShared::GetSharedImages(int kind)
{
    auto& lists = SharedImages();
    if (!lists[size_t(kind)])
        lists[size_t(kind)] = std::make_unique<CKVTToolbarImageList>();
    return lists[size_t(kind)].get();
}

void CKVTToolbarShared::CleanUp()
{
    for (auto& l : SharedImages())
        l.reset();
    CKVTCommandImageMap::Instance().RemoveAll();
}

bool CKVTToolbarShared::LoadSharedImages(uint32_t resourceId)
{
    auto res = ToolbarResource::Load(resourceId);
    CKVTToolbarImageList* normal = GetSharedImages(CKVTToolBar::IMAGES_NORMAL);
    if (!res || !normal->Load(resourceId))
        return false;
    int index = normal->FirstIndexOf(resourceId);
    for (uint32_t id : res->ids)
        if (id)
            CKVTCommandImageMap::Instance().SetImage(id, index++, false);
    return true;
}

bool CKVTToolbarShared::IsCommandPermitted(uint32_t id)
{
    return std::find(s_nonPermitted.begin(), s_nonPermitted.end(), id) == s_nonPermitted.end();
}

bool CKVTToolbarShared::IsBasicCommand(uint32_t id)
{
    return std::find(s_basic.begin(), s_basic.end(), id) != s_basic.end();
}

bool CKVTToolbarShared::IsCommandRarelyUsed(uint32_t id)
{
    if (s_customizeMode || id == 0 || id == 0xFFFFFFFF || IsFrameworkCommand(id) || s_basic.empty() ||
        IsBasicCommand(id))
        return false;
    return !CKVTCommandUsage::Instance().IsFrequentlyUsed(id);
}

uint32_t CKVTToolbarShared::MapMessageId(uint32_t id)
{
    if (id == 0xFFFFFFFF)
        return 0xE001;
    if (id >= 0xF000 && id <= 0xF1EF)
        return 0xEF00 + ((id - 0xF000) >> 4);
    if (id > 0xFEFF)
        return 0xEF1F;
    return id;
}

bool CKVTToolbarShared::SetUserImages(CKVTToolbarImageList* images)
{
    if (!images || !images->HasImages() || images->GetImageSize() != s_defaultImage)
        return false;
    s_userImages = images;
    return true;
}

void CKVTToolbarShared::SetDefaultSizes(QSize button, QSize image)
{
    s_defaultButton = button;
    s_defaultImage = image;
    s_curButton = button * Scale();
    s_curImage = image * Scale();
}

void CKVTToolbarShared::SetMenuSizes(QSize button, QSize image)
{
    s_menuButton = button;
    s_menuImage = image;
}

void CKVTToolbarShared::SetLargeIcons(bool on)
{
    // The rows that larger buttons wrap come back when they are small again.
    if (on && !s_options.largeIcons)
        CKVTToolDockBar::RememberRowsOfAllSites();
    s_options.largeIcons = on;
    s_curButton = s_defaultButton * Scale();
    s_curImage = s_defaultImage * Scale();
    for (CKVTToolBar* bar : std::vector<CKVTToolBar*>(s_bars)) {
        if (!bar->IsCreated())
            continue;
        if (bar->IsLocked())
            bar->m_layout.UpdateOwnCurrentSizes();
        bar->AdjustLayout();
    }
    if (!on)
        CKVTToolDockBar::RestoreRowsOfAllSites();
}

void CKVTToolbarShared::SetLook2000(bool on)
{
    s_options.look2000 = on;
    for (CKVTToolBar* bar : s_bars)
        if (bar->IsCreated())
            bar->update();
    if (Application* app = Application::Instance())
        if (QWidget* w = app->GetMainWnd())
            w->update();
}

bool CKVTToolbarShared::SetCustomizeMode(bool on)
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
            if (bar->Items().Customize())
                bar->AdjustLayout(); // all buttons show in customisation mode
            bar->update();
        }
    return true;
}

void CKVTToolbarShared::SetCustomizeFlags(bool customize, bool temporary)
{
    s_customizeMode = customize;
    s_tempCustomize = temporary;
}

bool CKVTToolbarShared::IsMouseHook() { return KvtEventFilter::Instance().IsMouseWatch(); }

void CKVTToolbarShared::SetMouseHook(bool on)
{
    KvtEventFilter::Instance().SetMouseWatch(on);
    if (!on)
        for (CKVTToolBar* bar : std::vector<CKVTToolBar*>(s_bars))
            if (bar->IsCreated())
                bar->OnCancelMode();
}
