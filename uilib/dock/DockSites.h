#pragma once
// The values the dock core shares with the frame's control bars: the ids of
// the four dock sites, their alignment bits and the layout modes of a bar's
// size query.  They are the bar style's values (platform/ui/BarStyle.h);
// the toolbar library checks that both agree, so the core needs nothing of
// the framework.

#include <cstdint>

namespace dock {

// Alignment bits of a bar (the side it may dock at).
constexpr uint32_t ALIGN_LEFT = 0x1000;
constexpr uint32_t ALIGN_TOP = 0x2000;
constexpr uint32_t ALIGN_RIGHT = 0x4000;
constexpr uint32_t ALIGN_BOTTOM = 0x8000;

// Layout modes of a bar's size query.
constexpr uint32_t LM_HORZ = 0x2;
constexpr uint32_t LM_HORZDOCK = 0x8;
constexpr uint32_t LM_VERTDOCK = 0x10;

// The ids of the four dock sites.
constexpr uint32_t SITE_TOP = 0xE81B;
constexpr uint32_t SITE_LEFT = 0xE81C;
constexpr uint32_t SITE_RIGHT = 0xE81D;
constexpr uint32_t SITE_BOTTOM = 0xE81E;

// The alignment bit of a site id (0 for anything else).
constexpr uint32_t SiteAlignment(uint32_t siteId)
{
    return siteId == SITE_TOP      ? ALIGN_TOP
           : siteId == SITE_LEFT   ? ALIGN_LEFT
           : siteId == SITE_RIGHT  ? ALIGN_RIGHT
           : siteId == SITE_BOTTOM ? ALIGN_BOTTOM
                                   : 0;
}
constexpr bool IsHorizontalSite(uint32_t id)
{
    return id == SITE_TOP || id == SITE_BOTTOM;
}

} // namespace dock
