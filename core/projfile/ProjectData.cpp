#include "core/projfile/ProjectData.h"

#include "core/projfile/LineEngine.h"
#include "res/text/TextTable.h"

namespace core {

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
