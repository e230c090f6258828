#pragma once
// Opening the program's help file with the desktop's viewer.

#include <QString>
#include <QVariant>

#include <cstdint>

namespace ui {

constexpr uint32_t HELP_CONTEXT = 0x1;
constexpr uint32_t HELP_CONTENTS = 0x3;
constexpr uint32_t HELP_KEY = 0x101;

// Opens an existing help file with the desktop's viewer: true.  A missing
// file shows 4530 and a viewer that cannot start 4531 (exclamation icon,
// the path in the text): false.  data holds a number or, with HELP_KEY, the
// keyword; the viewer gets the file only.
bool WinHelp(const QString& path, uint32_t command, const QVariant& data = {});

} // namespace ui
