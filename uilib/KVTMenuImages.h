#pragma once
// The small glyphs of menus and caption buttons: bitmap strip 16129, 9 × 9
// images, loaded once on first use.  Index map: 0 triangle up, 1 its disabled
// look, 2 triangle left, 3 triangle right disabled, 4/5 check mark, 6/7 radio
// dot, 8 double chevron right, 9 double chevron down, 10/11 minimise,
// 12/13 restore, 14 triangle left disabled, 15 cross disabled, 16/17
// triangle down, 18 maximise, 19 triangle right, 20 cross.

#include "uilib/KVTToolbarImageList.h"

#include <QPoint>

class CKVTMenuImages
{
public:
    enum Glyph {
        IdArrowUp = 0,
        IdArrowUpDisabled = 1,
        IdArrowLeft = 2,
        IdArrowRightDisabled = 3,
        IdCheck = 4,
        IdCheckDisabled = 5,
        IdRadio = 6,
        IdRadioDisabled = 7,
        IdMoreButtons = 8,
        IdArrowShowAll = 9,
        IdMinimize = 10,
        IdMinimizeDisabled = 11,
        IdRestore = 12,
        IdRestoreDisabled = 13,
        IdArrowLeftDisabled = 14,
        IdCloseDisabled = 15,
        IdArrowDown = 16,
        IdArrowDownDisabled = 17,
        IdMaximize = 18,
        IdArrowRight = 19,
        IdClose = 20,
    };
    static constexpr uint32_t ResourceId = 16129;

    // Draws a glyph; nothing when the strip cannot be loaded.
    static void DrawMenuImage(QPainter& p, int index, QPoint point);
    static QSize GetImageSize() { return QSize(9, 9); }
    // The library's caption-button size: the glyph size + 4 in each direction.
    static QSize GetCaptionButtonSize() { return GetImageSize() + QSize(4, 4); }
    static CKVTToolbarImageList* Images(); // null when the strip cannot be loaded
};
