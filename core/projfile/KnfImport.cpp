#include "core/projfile/KnfImport.h"

#include "core/projfile/CompilerFolders.h"
#include "core/projfile/LineEngine.h"
#include "core/projfile/ProjectFormat.h"
#include "platform/sys/CodePage.h"

namespace core {

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

// The value after an opening double quote: up to the next one.
std::string_view Quoted(std::string_view rest)
{
    const size_t end = rest.find('"');
    return rest.substr(0, end);
}

std::optional<KnfLine> ParseLine(std::string_view line)
{
    const size_t keyEnd = line.find_first_of(";\"=");
    if (keyEnd == std::string_view::npos || line[keyEnd] == ';')
        return std::nullopt;
    const std::string_view key = Trim(line.substr(0, keyEnd));
    if (key.empty())
        return std::nullopt;
    std::string_view rest = line.substr(keyEnd + 1);
    std::string_view value;
    if (line[keyEnd] == '"') {
        value = Quoted(rest);
    } else {
        while (!rest.empty() && IsBlank(rest.front()))
            rest.remove_prefix(1);
        if (!rest.empty() && rest.front() == '"') {
            value = Quoted(rest.substr(1));
        } else {
            const size_t end = rest.find_first_of("; \t");
            value = rest.substr(0, end);
        }
    }
    return KnfLine{sys::AnsiToWide(key), sys::AnsiToWide(Trim(value))};
}

using Setting = std::u16string ProjectData::*;

struct KnfKey
{
    const char16_t* key;
    Setting field; // null: ignored, or handled by kind
    int kind; // 0 setting or ignored, 1 FilePlc, 2 FilePlcExt, 3 PathUser, 4 fixed pair
};

const KnfKey kKeys[] = {
    {u"BuildType", nullptr, 0},
    {u"Comment", &ProjectData::PLCComment, 0},
    {u"FilePlc", nullptr, 1},
    {u"FilePlcExt", nullptr, 2},
    {u"PathUser", nullptr, 3},
    {u"PathOutput", nullptr, 0},
    {u"PathTemp", nullptr, 0},
    {u"PathLst", nullptr, 0},
    {u"PathMap", nullptr, 0},
    {u"FileExe", &ProjectData::FileExe, 0},
    {u"FileMap", &ProjectData::FileMap, 0},
    {u"FileMP2", &ProjectData::FileMP2, 0},
    {u"PlcOutputName", &ProjectData::PLCOutputName, 0},
    {u"Cpu", &ProjectData::CPU, 0},
    {u"Clock", &ProjectData::Clock, 0},
    {u"Machine", &ProjectData::Machine, 0},
    {u"Axis", &ProjectData::Axis, 0},
    {u"DifCount", &ProjectData::DifCount, 0},
    {u"IOType", &ProjectData::IOType, 0},
    {u"Protocol", &ProjectData::Protocol, 0},
    {u"PathBorland", &ProjectData::PathBorland, 0},
    {u"Tasm", &ProjectData::TasmParams, 0},
    {u"Tlink", &ProjectData::TlinkParams, 0},
    {u"NameTasm", &ProjectData::NameTasm, 0},
    {u"NameTlink", &ProjectData::NameTlink, 0},
    {u"PathLib", &ProjectData::PathLib, 0},
    {u"PathXPDDK", &ProjectData::PathXPDDK, 4},
    {u"AsmFlags", &ProjectData::AsmFlags, 4},
    {u"LinkFlags", &ProjectData::LinkFlags, 4},
    {u"Debug", &ProjectData::AllowDebug, 4},
    {u"Config", &ProjectData::Config, 0},
    {u"Target", &ProjectData::Target, 4},
    {u"Location", nullptr, 0},
    {u"Create", nullptr, 0},
    {u"PathBin", nullptr, 0},
    {u"PathObj", nullptr, 0},
    {u"NameCreateMap", &ProjectData::NameCreateMap, 0},
    {u"NameJoin", &ProjectData::NameJoin, 0},
    {u"Destination", nullptr, 0},
    {u"Com", nullptr, 0},
    {u"Baud", nullptr, 0},
    {u"AddrPortComIdb", nullptr, 0},
    {u"DivisorComIdb", nullptr, 0},
    {u"ImaskComIdb", nullptr, 0},
    {u"IoApicRtlIdb", nullptr, 0},
    {u"IoApicRthIdb", nullptr, 0},
    {u"NameResident", nullptr, 0},
    {u"NamePCICnf", nullptr, 0},
};

ProjectFileEntry SourceRecord(const std::u16string& value)
{
    const size_t slash = value.find_last_of(u"\\/");
    return {StringLineValue(slash == std::u16string::npos ? value : value.substr(slash + 1)), value};
}

} // namespace

std::vector<KnfLine> ParseKnf(std::string_view bytes)
{
    std::vector<KnfLine> lines;
    size_t i = 0;
    while (i < bytes.size()) {
        size_t end = bytes.find_first_of("\r\n", i);
        if (end == std::string_view::npos)
            end = bytes.size();
        if (std::optional<KnfLine> l = ParseLine(bytes.substr(i, end - i)))
            lines.push_back(std::move(*l));
        i = end;
        if (i < bytes.size()) {
            // CR LF is one line end; a lone CR or LF is one too.
            if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
                ++i;
            ++i;
        }
    }
    return lines;
}

std::u16string ApplyKnf(ProjectData& d, const std::vector<KnfLine>& lines)
{
    std::u16string pathUser;
    for (const KnfLine& line : lines) {
        // Keys and values in the form the project file keeps them, so that
        // the new project reads back as it was made: a value that begins
        // with another white-space character than a blank or a tab (which
        // the lines have lost already) loses it too.
        const KnfLine l{StringLineValue(line.Key), StringLineValue(line.Value)};
        if (l.Key.empty())
            continue;
        const KnfKey* match = nullptr;
        for (const KnfKey& k : kKeys) {
            if (EqualsNoCase(l.Key, k.key)) {
                match = &k;
                break;
            }
        }
        if (!match) {
            d.ExtraKeywords.push_back({l.Key, l.Value});
            continue;
        }
        switch (match->kind) {
        case 1:
            d.SourceFiles.insert(d.SourceFiles.begin(), SourceRecord(l.Value));
            break;
        case 2:
            if (!EqualsNoCase(l.Value, u"NO"))
                d.SourceFiles.push_back(SourceRecord(l.Value));
            break;
        case 3:
            pathUser = line.Value;
            break;
        case 4: // written in double quotes, read back without them
            d.*match->field = FixedPairValue(l.Value);
            break;
        default:
            if (match->field)
                d.*match->field = l.Value;
            break;
        }
    }
    return pathUser;
}

std::optional<KnfCompilerVersion> CompilerVersionFromFolder(std::u16string_view name,
                                                            std::u16string_view target)
{
    KnfCompilerVersion v;
    if (EqualsNoCase(target, u"Haldor")) {
        const std::optional<int> pelmar = ReadPelmarFolderName(name);
        if (!pelmar || *pelmar < 632)
            return std::nullopt;
        v.PelmarVer = *pelmar;
        v.TarvaneVer = NumberText(*pelmar);
        return v;
    }
    const std::optional<std::pair<int, int>> plc = ReadPlcFolderName(name);
    if (!plc || *plc < std::make_pair(6, 32))
        return std::nullopt;
    v.TarvaneVerMajor = plc->first;
    v.TarvaneVerMinor = plc->second;
    v.TarvaneVer = NumberText(plc->first) + u"." + NumberText(plc->second);
    return v;
}

} // namespace core
