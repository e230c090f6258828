#pragma once
// What all library toolbars share: the list of bars in creation order, the
// customisation modes, the default, current and menu sizes, the permitted and
// basic commands, the user image strip, the shared image strips and the
// options stored under "KVTToolbarParameters".  Callers reach them here
// (the stored options through CKVTToolbarStore), not through a bar.

#include <QSize>

#include <cstdint>
#include <vector>

class CKVTToolBar;
class CKVTToolbarImageList;

// The framework's own commands: the recent files, the system and verb ranges, ID_TRANSIENT_FIRST and up
// (res/CommandIds.h).
bool IsFrameworkCommand(uint32_t id);

// The options shared by all bars (stored under "KVTToolbarParameters").
struct KvtToolbarOptions
{
    bool tooltips = true;
    bool shortcutKeys = true;
    bool largeIcons = false;
    uint32_t menuAnimation = 0;
    bool recentlyUsedMenus = true;
    bool menuShadows = true;
    bool showAllMenusAfterDelay = true;
    bool look2000 = false;
};

class CKVTToolbarShared
{
public:
    // The bars, in creation order; a bar enters when it is created and
    // leaves when it is destroyed.
    static const std::vector<CKVTToolBar*>& AllBars() { return s_bars; }
    static void AddBar(CKVTToolBar* bar);
    static void RemoveBar(CKVTToolBar* bar);

    // Customisation mode: every live bar hears of the change first.
    static bool SetCustomizeMode(bool on);
    static bool IsCustomizeMode() { return s_customizeMode; }
    static bool IsTempCustomizeMode() { return s_tempCustomize; }
    // The flags alone, without telling the bars (the Alt-drag of a button).
    static void SetCustomizeFlags(bool customize, bool temporary);
    static void SetAltCustomization(bool on) { s_altCustomize = on; }
    static bool IsAltCustomization() { return s_altCustomize; }

    // Sizes: the default ones of the unlocked bars, the current ones (doubled
    // with large icons) and those of the menus.
    static int Scale();
    static void SetLargeIcons(bool on);
    static void SetLook2000(bool on);
    static void SetMenuSizes(QSize button, QSize image);
    static QSize GetMenuButtonSize() { return s_menuButton; }
    static QSize GetMenuImageSize() { return s_menuImage; }
    static void SetDefaultSizes(QSize button, QSize image);
    static QSize GetDefaultButtonSize() { return s_defaultButton; }
    static QSize GetDefaultImageSize() { return s_defaultImage; }
    static QSize GetCurrentButtonSize() { return s_curButton; }
    static QSize GetCurrentImageSize() { return s_curImage; }

    // Commands.
    static void SetNonPermittedCommands(const std::vector<uint32_t>& ids) { s_nonPermitted = ids; }
    static bool IsCommandPermitted(uint32_t id);
    static void SetBasicCommands(const std::vector<uint32_t>& ids) { s_basic = ids; }
    static bool IsBasicCommand(uint32_t id);
    static bool HasBasicCommands() { return !s_basic.empty(); }
    static bool IsCommandRarelyUsed(uint32_t id);
    // The prompt id shown for a command (system commands share theirs).
    static uint32_t MapMessageId(uint32_t id);

    // Images.
    static constexpr int kImageKinds = 5;
    static bool SetUserImages(CKVTToolbarImageList* images);
    static CKVTToolbarImageList* GetUserImages() { return s_userImages; }
    static CKVTToolbarImageList* GetSharedImages(int kind);
    static bool LoadSharedImages(uint32_t resourceId);
    static void CleanUp();

    static KvtToolbarOptions& Options() { return s_options; }
    // The system sounds "MenuCommand" and "MenuPopup": nothing on this system.
    static void PlaySystemSound(const char* name) { (void)name; }

    // The mouse watch of KvtEventFilter; off cancels every bar.
    static void SetMouseHook(bool on);
    static bool IsMouseHook();

private:
    static std::vector<CKVTToolBar*> s_bars;
    static bool s_customizeMode;
    static bool s_tempCustomize;
    static bool s_altCustomize;
    static QSize s_defaultButton, s_defaultImage, s_curButton, s_curImage, s_menuButton, s_menuImage;
    static std::vector<uint32_t> s_nonPermitted;
    static std::vector<uint32_t> s_basic;
    static CKVTToolbarImageList* s_userImages;
    static KvtToolbarOptions s_options;
};
