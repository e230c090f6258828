#include "platform/ui/Help.h"

#include "platform/ui/Prompt.h"
#include "res/StringTable.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace {
constexpr uint32_t IDS_HELP_NOT_FOUND = 4530;  // "Soubor nápovědy %s nebyl nalezen."
constexpr uint32_t IDS_HELP_CANNOT_SHOW = 4531;
ui::test::HelpViewer g_viewer = nullptr;
} // namespace

void ui::test::SetHelpViewer(HelpViewer viewer) { g_viewer = viewer; }

bool ui::WinHelp(const QString& path, uint32_t command, const QVariant& data)
{
    (void)command;
    (void)data;
    const QFileInfo info(path);
    if (path.isEmpty() || !info.isFile()) {
        Prompt(FormatResString(IDS_HELP_NOT_FOUND, QDir::toNativeSeparators(path)), {}, MB_ICONEXCLAMATION);
        return false;
    }
    const bool started = g_viewer ? g_viewer(info.absoluteFilePath())
                                  : QDesktopServices::openUrl(QUrl::fromLocalFile(info.absoluteFilePath()));
    if (!started) {
        Prompt(FormatResString(IDS_HELP_CANNOT_SHOW, QDir::toNativeSeparators(path)), {}, MB_ICONEXCLAMATION);
        return false;
    }
    return true;
}
