#include "core/common/AppSettings.h"

#include "platform/sys/Registry.h"

namespace core {

void AppSettings::SetDefaults(std::u16string_view base)
{
    PathBorlandBin = u"C:\\Tasm\\Bin\\";
    PathBorlandLib = u"C:\\Tasm\\Lib\\";
    PathTarvane = std::u16string(base) + u"Tarvane\\";
    PathTemplates = std::u16string(base) + u"Templates\\";
    PathWinXPDDK = u"C:\\WINDDK\\2600\\";
    OlnkConnectionString = u"P = Com1; B = 115200; W = 20;";
    Language = u"Default";
}

void AppSettings::Load(std::u16string_view section)
{
    using sys::Profile::GetString;
    PathTemplates = GetString(section, u"PathTemplates", PathTemplates);
    PathTarvane = GetString(section, u"PathTarvane", PathTarvane);
    PathBorlandBin = GetString(section, u"PathBorlandBin", PathBorlandBin);
    PathBorlandLib = GetString(section, u"PathBorlandLib", PathBorlandLib);
    PathWinXPDDK = GetString(section, u"PathWinXPDDK", PathWinXPDDK);
    OlnkConnectionString = GetString(section, u"OlnkConnectionString", OlnkConnectionString);
    Language = GetString(section, u"Language", Language);
}

bool AppSettings::Save(std::u16string_view section) const
{
    using sys::Profile::WriteString;
    return WriteString(section, u"PathTemplates", PathTemplates) &&
           WriteString(section, u"PathTarvane", PathTarvane) &&
           WriteString(section, u"PathBorlandBin", PathBorlandBin) &&
           WriteString(section, u"PathBorlandLib", PathBorlandLib) &&
           WriteString(section, u"PathWinXPDDK", PathWinXPDDK) &&
           WriteString(section, u"OlnkConnectionString", OlnkConnectionString);
}

} // namespace core
