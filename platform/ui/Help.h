#pragma once
// Help files: shown with the desktop's viewer for the file's type.

#include <QString>
#include <QVariant>

#include <cstdint>

namespace ui {

constexpr uint32_t HELP_CONTEXT = 0x1;
constexpr uint32_t HELP_CONTENTS = 0x3;
constexpr uint32_t HELP_KEY = 0x101;  // data: the keyword

// Opens an existing help file with the desktop's viewer and returns true;
// otherwise says that the file is missing (4530) or cannot be shown (4531)
// and returns false.  The command and its data cannot be passed on to a
// viewer of this system; they are kept for the callers' sake.
bool WinHelp(const QString& path, uint32_t command, const QVariant& data = {});

namespace test {
// Replaces the desktop viewer (tests): receives the path, returns whether it
// started.  nullptr: the desktop's.
using HelpViewer = bool (*)(const QString& path);
void SetHelpViewer(HelpViewer viewer);
} // namespace test

} // namespace ui
