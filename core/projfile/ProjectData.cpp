#include "core/projfile/ProjectData.h"

#include "core/projfile/LineEngine.h"
#include "platform/sys/CodePage.h"
#include "platform/sys/WinPath.h"
#include "res/text/TextTable.h"

#include <algorithm>
#include <array>
#include <optional>

namespace core {

char16_t FileNameLower(char16_t c)
{
    if (c < 0x80)
        return (c >= u'A' && c <= u'Z') ? char16_t(c - u'A' + u'a') : c;
    // The characters of the upper half of the code page.
    static const std::array<char16_t, 128> upper = [] {
        std::array<char16_t, 128> t{};
        for (int b = 0; b < 128; ++b) {
            const char byte = static_cast<char>(0x80 + b);
            std::u16string w = sys::AnsiToWide(std::string_view(&byte, 1));
            t[size_t(b)] = w.size() == 1 ? w[0] : 0;
        }
        return t;
    }();
    bool inCodePage = false;
    for (char16_t u : upper) {
        if (u == c) {
            inCodePage = true;
            break;
        }
    }
    if (!inCodePage)
        return c;
    // Latin-1 capitals (all but the multiplication sign).
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7)
        return char16_t(c + 0x20);
    // Latin Extended-A: capitals are odd in these two runs, even elsewhere.
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E))
        return (c & 1) ? char16_t(c + 1) : c;
    if (c >= 0x100 && c <= 0x177)
        return (c & 1) ? c : char16_t(c + 1);
    return c;
}

bool EqualsFileNameNoCase(std::u16string_view a, std::u16string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (FileNameLower(a[i]) != FileNameLower(b[i]))
            return false;
    }
    return true;
}

static std::u16string RelativeWithSeparatorsAsFound(std::u16string_view projectDir, std::u16string_view fullPath)
{
    std::optional<std::u16string> rel =
        sys::WinPath::RelativePathTo(projectDir, true, fullPath, false);
    if (!rel)
        return std::u16string(fullPath);
    const bool leadingSep = !rel->empty() && sys::WinPath::IsSeparator((*rel)[0]);
    if (!leadingSep)
        return std::move(*rel);
    if (rel->size() > 1 && sys::WinPath::IsSeparator((*rel)[1]))
        return std::u16string(fullPath);
    // Relative to the shared root only: climb from the project folder to
    // the root with ".." components.
    const std::u16string root = sys::WinPath::GetRoot(projectDir);
    std::u16string_view below = projectDir.substr(std::min(root.size(), projectDir.size()));
    size_t ups = 0;
    bool inName = false;
    for (char16_t c : below) {
        if (sys::WinPath::IsSeparator(c)) {
            inName = false;
        } else if (!inName) {
            inName = true;
            ++ups;
        }
    }
    std::u16string out;
    const char16_t sep = (*rel)[0];
    if (ups == 0)
        out = u".";
    for (size_t i = 0; i < ups; ++i) {
        if (i)
            out.push_back(sep);
        out += u"..";
    }
    return out + *rel;
}

std::u16string ProjectRelativePath(std::u16string_view projectDir, std::u16string_view fullPath)
{
    std::u16string out = RelativeWithSeparatorsAsFound(projectDir, fullPath);
    // A relative path is stored with backslashes, whatever separators the
    // folders on this system use; a full path stays as it was given.
    if (out != fullPath)
        for (char16_t& c : out)
            if (c == u'/')
                c = u'\\';
    return out;
}

std::u16string ProjectFullPath(std::u16string_view projectDir, std::u16string_view filePath)
{
    std::u16string path(projectDir);
    if (!sys::WinPath::Append(path, filePath))
        return {};
    return path;
}

bool EqualsNoCase(std::u16string_view a, std::u16string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char16_t x = a[i], y = b[i];
        if (x >= u'A' && x <= u'Z')
            x = char16_t(x - u'A' + u'a');
        if (y >= u'A' && y <= u'Z')
            y = char16_t(y - u'A' + u'a');
        if (x != y)
            return false;
    }
    return true;
}

void SetProjectDefaults(ProjectData& d, int64_t now)
{
    d = ProjectData{};
    d.FormatVersion = 6;
    d.SettingsModificationTime = now;

    d.PLCComment = res::LoadText(4292);
    d.Config = u"Default";
    d.Target = u"Haldor";
    d.PathOutput = u"Output";
    d.PathTemp = u"Temp";
    d.FileExe = u"LOD_KAP.exe";
    d.FileMap = u"LOD_KAP.MAP";
    d.FileMP2 = u"LOD_KAP.MP2";
    d.PLCOutputName = u"PLC.BIN";
    d.CPU = u"DUAL";
    d.Clock = u"133";
    d.Machine = u"NORMAL";
    d.Axis = u"VQ11";
    d.DifCount = u"INT";
    d.IOType = u"PCI";
    d.Protocol = u"HRB07";
    d.PathBorland.clear();
    d.TasmParams = u"/ZN /L /KH10000 /M2";
    d.TlinkParams = u"/v /m /3";
    d.NameTasm = u"Tasm.exe";
    d.NameTlink = u"Tlink.exe";
    d.PathLib.clear();
    d.PathXPDDK.clear();
    d.AsmFlags = u"/c /Zm /Gd /nologo";
    d.LinkFlags = u"/nologo /MAP /NOD /NOE /SEGMENTS:200";
    d.PathTarvane.clear();
    d.TarvaneVer = u"632";
    d.TarvaneVerMajor = 0;
    d.TarvaneVerMinor = 0;
    d.PelmarVer = 632;
    d.AllowDebug = u"On";
    d.NameCreateMap = u"Ferrox.exe";
    d.NameJoin = u"TarvJoin.exe";

    WatchPlaque page;
    page.Name = res::FormatText(4293, 0);
    d.WatchPlaques.push_back(std::move(page));
    d.SelectedPlaque = 0;

    d.WatchInterval = 1000;
    d.WatchMechInterval = 1000;
    d.WatchRegsOnLineInterval = 1000;
    d.DisplayAsHex = 1;
    d.WatchPLCRegsInSrc = 1;
    d.OlnkConnectionString = u"P = Com1; B = 115200; W = 20;";
}

void RecomputeCompilerVersion(ProjectData& d)
{
    d.TarvaneVerMajor = 0;
    d.TarvaneVerMinor = 0;
    d.PelmarVer = 0;
    std::vector<int64_t> v;
    if (EqualsNoCase(d.Target, u"Haldor")) {
        if (ScanNumbers(d.TarvaneVer, "%d", v) >= 1)
            d.PelmarVer = static_cast<int>(v[0]);
    } else {
        size_t n = ScanNumbers(d.TarvaneVer, "%d.%d", v);
        if (n >= 1)
            d.TarvaneVerMajor = static_cast<int>(v[0]);
        if (n >= 2)
            d.TarvaneVerMinor = static_cast<int>(v[1]);
    }
}

} // namespace core
