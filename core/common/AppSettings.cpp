#include "core/common/AppSettings.h"

#include "platform/sys/CodePage.h"
#include "platform/sys/FileIO.h"
#include "platform/sys/Registry.h"

#include <sys/stat.h>

namespace core {

namespace {

std::string Parent(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string Join(const std::string& folder, const char* name)
{
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

std::u16string AsFolder(const std::string& native)
{
    std::u16string out = sys::Utf8ToUtf16Lenient(native);
    if (out.empty() || out.back() != u'/')
        out += u'/';
    return out;
}

} // namespace

DefaultFolders FindDefaultFolders(const std::string& programFolder)
{
    DefaultFolders out;
    if (programFolder.empty())
        return out;
    const std::string above = Parent(programFolder);
    const std::string installed = Join(above, "share/strandwork");
    const bool isInstalled = sys::IsDirectory(installed);
    const std::string data = isInstalled ? installed : above;

    const std::string templates = Join(data, "Templates");
    if (sys::IsDirectory(templates) ||
        (::mkdir(templates.c_str(), 0777) == 0 && sys::IsDirectory(templates)))
        out.templates = AsFolder(templates);

    for (const std::string& c : {Join(data, "Tarvane"), Join(above, "tests/support/Tarvane")})
        if (sys::IsDirectory(c)) {
            out.compilers = AsFolder(c);
            break;
        }
    return out;
}

void AppSettings::SetDefaults(const DefaultFolders& folders)
{
    PathBorlandBin.clear();
    PathBorlandLib.clear();
    PathTarvane = folders.compilers;
    PathTemplates = folders.templates;
    PathWinXPDDK.clear();
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
