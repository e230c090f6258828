#pragma once
// Cursors from the resources: res/cursors/<id>.svg, drawn in a view box of
// 32 x 32, hotspot from the root's data-hotspot-x / data-hotspot-y (else the
// centre).  Without the file the Qt cursor shape given is returned.

#include <QCursor>

#include <cstdint>

namespace ui {

QCursor LoadCursor(uint32_t id, Qt::CursorShape fallback);

} // namespace ui
