#pragma once
// The bar style word of the control bars and the layout-mode flags of their
// size calculation.  Plain values without Qt, so that Qt-free code (the dock
// core) can include this header too.

#include <cstdint>

namespace ui {

// Alignment (the side the bar is docked at; its orientation).
constexpr uint32_t CBRS_ALIGN_LEFT = 0x1000;
constexpr uint32_t CBRS_ALIGN_TOP = 0x2000;
constexpr uint32_t CBRS_ALIGN_RIGHT = 0x4000;
constexpr uint32_t CBRS_ALIGN_BOTTOM = 0x8000;
constexpr uint32_t CBRS_ALIGN_ANY = 0xF000;
constexpr uint32_t CBRS_ORIENT_HORZ = CBRS_ALIGN_TOP | CBRS_ALIGN_BOTTOM;   // 0xA000
constexpr uint32_t CBRS_ORIENT_VERT = CBRS_ALIGN_LEFT | CBRS_ALIGN_RIGHT;   // 0x5000

// Borders.
constexpr uint32_t CBRS_BORDER_LEFT = 0x100;
constexpr uint32_t CBRS_BORDER_TOP = 0x200;
constexpr uint32_t CBRS_BORDER_RIGHT = 0x400;
constexpr uint32_t CBRS_BORDER_BOTTOM = 0x800;
constexpr uint32_t CBRS_BORDER_ANY = 0xF00;
constexpr uint32_t CBRS_BORDER_3D = 0x80;

// Behaviour.
constexpr uint32_t CBRS_FLYBY = 0x20;
constexpr uint32_t CBRS_TOOLTIPS = 0x10;
constexpr uint32_t CBRS_HIDE_INPLACE = 0x8;
constexpr uint32_t CBRS_SIZE_DYNAMIC = 0x4;
constexpr uint32_t CBRS_SIZE_FIXED = 0x2;
constexpr uint32_t CBRS_FLOATING = 0x1;
constexpr uint32_t CBRS_GRIPPER = 0x400000;

// The part of a window style that is the bar style.
constexpr uint32_t CBRS_ALL = 0x0040FFFF;
// Window style bits that Create looks at.
constexpr uint32_t WS_VISIBLE = 0x10000000;
constexpr uint32_t WS_CHILD = 0x40000000;

// Layout modes of CalcDynamicLayout.
constexpr uint32_t LM_STRETCH = 0x1;
constexpr uint32_t LM_HORZ = 0x2;
constexpr uint32_t LM_MRUWIDTH = 0x4;
constexpr uint32_t LM_HORZDOCK = 0x8;
constexpr uint32_t LM_VERTDOCK = 0x10;
constexpr uint32_t LM_LENGTHY = 0x20;
constexpr uint32_t LM_COMMIT = 0x40;

// The control ids of the four dock sites of a frame; a floating bar reports
// DOCKBAR_FLOAT as its site.
constexpr uint32_t DOCKBAR_TOP = 0xE81B;      // 59419
constexpr uint32_t DOCKBAR_LEFT = 0xE81C;     // 59420
constexpr uint32_t DOCKBAR_RIGHT = 0xE81D;    // 59421
constexpr uint32_t DOCKBAR_BOTTOM = 0xE81E;   // 59422
constexpr uint32_t DOCKBAR_FLOAT = 0xE81F;    // 59423

// The alignment bit of a site id (0 for anything else).
constexpr uint32_t DockSiteAlignment(uint32_t siteId)
{
    return siteId == DOCKBAR_TOP      ? CBRS_ALIGN_TOP
           : siteId == DOCKBAR_LEFT   ? CBRS_ALIGN_LEFT
           : siteId == DOCKBAR_RIGHT  ? CBRS_ALIGN_RIGHT
           : siteId == DOCKBAR_BOTTOM ? CBRS_ALIGN_BOTTOM
                                      : 0;
}
constexpr bool IsDockSiteId(uint32_t id)
{
    return id >= DOCKBAR_TOP && id <= DOCKBAR_BOTTOM;
}
constexpr bool IsHorizontalSite(uint32_t id)
{
    return id == DOCKBAR_TOP || id == DOCKBAR_BOTTOM;
}

} // namespace ui
