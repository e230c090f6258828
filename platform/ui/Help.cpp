#include "platform/ui/Help.h"

#include "platform/ui/Prompt.h"
#include "res/StringTable.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

namespace ui {

bool WinHelp(const QString& path, uint32_t command, const QVariant& data)
{
    (void)command;
    (void)data;
    if (path.isEmpty() || !QFileInfo(path).isFile()) {
        Prompt(FormatResString(4530, path), QString(), MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path))) {
        Prompt(FormatResString(4531, path), QString(), MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    return true;
}

} // namespace ui
