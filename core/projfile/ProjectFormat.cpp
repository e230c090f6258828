#include "core/projfile/ProjectFormat.h"

#include "core/projfile/Workspace.h"

#include <cerrno>
#include <climits>
#include <ctime>

namespace core {

namespace {

constexpr const char* kTimePattern = "ProjectSettingsModificationTime = %d. %d. %d, %d:%d:%d";

// The 25 settings of the body, in file order ("AllowDebug", the last one,
// only from format 4 on).
struct StringSetting
{
    const char* key;
    std::u16string ProjectData::*field;
};
const StringSetting kSettings[] = {
    {"PLCComment", &ProjectData::PLCComment},
    {"PathOutput", &ProjectData::PathOutput},
    {"PathTemp", &ProjectData::PathTemp},
    {"FileExe", &ProjectData::FileExe},
    {"FileMap", &ProjectData::FileMap},
    {"FileMP2", &ProjectData::FileMP2},
    {"PLCOutputName", &ProjectData::PLCOutputName},
    {"CPU", &ProjectData::CPU},
    {"Clock", &ProjectData::Clock},
    {"Machine", &ProjectData::Machine},
    {"Axis", &ProjectData::Axis},
    {"DifCount", &ProjectData::DifCount},
    {"IOType", &ProjectData::IOType},
    {"Protocol", &ProjectData::Protocol},
    {"PathBorland", &ProjectData::PathBorland},
    {"TasmParams", &ProjectData::TasmParams},
    {"TlinkParams", &ProjectData::TlinkParams},
    {"NameTasm", &ProjectData::NameTasm},
    {"NameTlink", &ProjectData::NameTlink},
    {"PathLib", &ProjectData::PathLib},
    {"PathTarvane", &ProjectData::PathTarvane},
    {"TarvaneVer", &ProjectData::TarvaneVer},
    {"NameCreateMap", &ProjectData::NameCreateMap},
    {"NameJoin", &ProjectData::NameJoin},
    {"AllowDebug", &ProjectData::AllowDebug},
};

// The fixed keyword pairs at the end of the keyword list.
struct FixedKeyword
{
    const char16_t* keyword;
    std::u16string ProjectData::*field; // null: dropped
};

} // namespace

std::u16string FixedPairValue(std::u16string_view value)
{
    std::u16string s(value);
    for (char16_t& c : s) {
        if (c == u'"')
            c = u' ';
    }
    size_t b = 0, e = s.size();
    while (b < e && IsLineSpace(s[b]))
        ++b;
    while (e > b && IsLineSpace(s[e - 1]))
        --e;
    return s.substr(b, e - b);
}

namespace {

void WriteFileList(KxpArchive& ar, const char* countKey, const std::vector<ProjectFileEntry>& list)
{
    WriteNumberLine(ar, countKey, static_cast<int64_t>(list.size()));
    for (const ProjectFileEntry& e : list) {
        WriteStringLine(ar, "FileName", e.FileName);
        WriteStringLine(ar, "FilePath", e.FilePath);
    }
}

void ReadFileList(KxpArchive& ar, const char* countPattern, std::vector<ProjectFileEntry>& list)
{
    int64_t count = ReadNumber(ar, countPattern);
    for (int64_t i = 0; i < count; ++i) {
        ProjectFileEntry e;
        e.FileName = ReadStringLine(ar, "FileName");
        e.FilePath = ReadStringLine(ar, "FilePath");
        list.push_back(std::move(e));
    }
}

} // namespace

std::vector<int64_t> ModificationTimeFields(int64_t time)
{
    std::tm tm{};
    time_t t = static_cast<time_t>(time);
    if (static_cast<int64_t>(t) != time || !localtime_r(&t, &tm))
        return {0, 0, 0, -1, -1, -1};
    return {tm.tm_mday, tm.tm_mon + 1, int64_t(tm.tm_year) + 1900,
            tm.tm_hour, tm.tm_min,     tm.tm_sec};
}

std::optional<int64_t> ModificationTimeFromFields(const std::vector<int64_t>& f)
{
    if (f.size() != 6)
        return std::nullopt;
    const int64_t year = f[2] - 1900;
    const int64_t month = f[1] - 1;
    if (year < INT_MIN || year > INT_MAX || month < INT_MIN || month > INT_MAX)
        return std::nullopt;
    std::tm tm{};
    tm.tm_mday = static_cast<int>(f[0]);
    tm.tm_mon = static_cast<int>(month);
    tm.tm_year = static_cast<int>(year);
    tm.tm_hour = static_cast<int>(f[3]);
    tm.tm_min = static_cast<int>(f[4]);
    tm.tm_sec = static_cast<int>(f[5]);
    tm.tm_isdst = -1;
    errno = 0;
    time_t t = std::mktime(&tm);
    if (t == static_cast<time_t>(-1) || t < 0)
        return std::nullopt;
    return static_cast<int64_t>(t);
}

void WriteProjectHeader(KxpArchive& ar, int version)
{
    WriteLine(ar, u"Strandwork project\r\n");
    WriteNumberLine(ar, "ProjectFormatVersion", version);
}

int ReadProjectHeader(KxpArchive& ar)
{
    std::u16string line;
    ReadLine(ar, line);
    if (!EqualsNoCase(line, u"Strandwork project"))
        ThrowFormatError(ar);
    return static_cast<int>(ReadNumber(ar, "ProjectFormatVersion = %d"));
}

namespace {

void WriteTimeLine(KxpArchive& ar, int64_t time)
{
    std::vector<int64_t> f = ModificationTimeFields(time);
    std::u16string text = u"ProjectSettingsModificationTime = ";
    text += NumberText(f[0]) + u". " + NumberText(f[1]) + u". " + NumberText(f[2]) + u", ";
    text += NumberText(f[3]) + u":" + NumberText(f[4]) + u":" + NumberText(f[5]) + u"\r\n";
    WriteLine(ar, text);
}

void WriteQuotedPair(KxpArchive& ar, const char16_t* keyword, const std::u16string& value)
{
    WriteStringLine(ar, "KeyWord", keyword);
    std::u16string quoted = u"\"" + value + u"\"";
    WriteStringLine(ar, "Value", quoted);
}

// The body of every format up to the keyword list.
void WriteProjectBody(KxpArchive& ar, const ProjectData& d, int version)
{
    const bool v6 = version >= 6;
    WriteTimeLine(ar, d.SettingsModificationTime);
    WriteFileList(ar, "PLCSourceFilesCount", d.SourceFiles);
    if (version >= 2)
        WriteFileList(ar, "PLCHeaderFilesCount", d.HeaderFiles);
    WriteNumberLine(ar, "SupportFilesCount", static_cast<int64_t>(d.SupportFiles.size()));
    for (const SupportFileEntry& e : d.SupportFiles) {
        WriteStringLine(ar, "FileName", e.FileName);
        WriteStringLine(ar, "FilePath", e.FilePath);
        WriteStringLine(ar, "DestPath", e.DestPath);
        WriteNumberLine(ar, "FileType", e.FileType);
        WriteNumberLine(ar, "TransferType", e.TransferType);
        WriteNumberLine(ar, "NeedReload", e.NeedReload);
    }
    for (const StringSetting& s : kSettings) {
        if (s.field == &ProjectData::AllowDebug && version < 4)
            continue;
        WriteStringLine(ar, s.key, d.*s.field);
    }

    const int fixed = v6 ? 5 : 6;
    WriteNumberLine(ar, "AddKeyWordsCount", static_cast<int64_t>(d.ExtraKeywords.size()) + fixed);
    for (const KeywordPair& p : d.ExtraKeywords) {
        WriteStringLine(ar, "KeyWord", p.KeyWord);
        WriteStringLine(ar, "Value", p.Value);
    }
    WriteQuotedPair(ar, u"PathXPDDK", d.PathXPDDK);
    WriteQuotedPair(ar, u"AsmFlags", d.AsmFlags);
    WriteQuotedPair(ar, u"LinkFlags", d.LinkFlags);
    WriteQuotedPair(ar, u"Debug", d.AllowDebug);
    if (!v6)
        WriteQuotedPair(ar, u"Config", d.Config);
    WriteQuotedPair(ar, u"Target", d.Target);
}

// Format 1 only: a "NameCreateMap" line that is no string line of the key
// ("NameCreateMap= x") is taken when it begins with exactly that key,
// then optional white space, "=", optional white space and at least one
// character, the rest of the line being the value.
std::u16string ReadNameCreateMapV1(KxpArchive& ar)
{
    std::u16string line;
    ReadLine(ar, line);
    std::u16string_view key, value;
    if (SplitStringLine(line, key, value) && EqualsNoCase(key, u"NameCreateMap"))
        return std::u16string(value);
    std::u16string_view rest = line;
    constexpr std::u16string_view kKey = u"NameCreateMap";
    if (!rest.starts_with(kKey))
        ThrowFormatError(ar);
    rest.remove_prefix(kKey.size());
    while (!rest.empty() && IsLineSpace(rest.front()))
        rest.remove_prefix(1);
    if (rest.empty() || rest.front() != u'=')
        ThrowFormatError(ar);
    rest.remove_prefix(1);
    while (!rest.empty() && IsLineSpace(rest.front()))
        rest.remove_prefix(1);
    if (rest.empty())
        ThrowFormatError(ar);
    return std::u16string(rest);
}

// The body of every format up to the keyword list; the compiler version
// numbers are left to the caller.
void ReadProjectBody(KxpArchive& ar, ProjectData& d, int64_t loadTime, int version)
{
    const bool v6 = version >= 6;
    std::vector<int64_t> time = ReadNumberLine(ar, kTimePattern);
    d.SettingsModificationTime = ModificationTimeFromFields(time).value_or(loadTime);

    ReadFileList(ar, "PLCSourceFilesCount = %d", d.SourceFiles);
    if (version >= 2)
        ReadFileList(ar, "PLCHeaderFilesCount = %d", d.HeaderFiles);
    int64_t count = ReadNumber(ar, "SupportFilesCount = %d");
    for (int64_t i = 0; i < count; ++i) {
        SupportFileEntry e;
        e.FileName = ReadStringLine(ar, "FileName");
        e.FilePath = ReadStringLine(ar, "FilePath");
        e.DestPath = ReadStringLine(ar, "DestPath");
        e.FileType = static_cast<int32_t>(ReadNumber(ar, "FileType = %d"));
        e.TransferType = static_cast<int32_t>(ReadNumber(ar, "TransferType = %d"));
        e.NeedReload = static_cast<int32_t>(ReadNumber(ar, "NeedReload = %d"));
        d.SupportFiles.push_back(std::move(e));
    }
    for (const StringSetting& s : kSettings) {
        if (s.field == &ProjectData::AllowDebug && version < 4)
            continue;
        if (s.field == &ProjectData::NameCreateMap && version == 1)
            d.NameCreateMap = ReadNameCreateMapV1(ar);
        else
            d.*s.field = ReadStringLine(ar, s.key);
    }

    const FixedKeyword fixedKeywords[] = {
        {u"PathXPDDK", &ProjectData::PathXPDDK},          {u"AsmFlags", &ProjectData::AsmFlags},
        {u"LinkFlags", &ProjectData::LinkFlags},          {u"Debug", &ProjectData::AllowDebug},
        {u"Config", v6 ? nullptr : &ProjectData::Config}, {u"Target", &ProjectData::Target},
    };
    int64_t pairs = ReadNumber(ar, "AddKeyWordsCount = %d");
    for (int64_t i = 0; i < pairs; ++i) {
        KeywordPair p;
        p.KeyWord = ReadStringLine(ar, "KeyWord");
        p.Value = ReadStringLine(ar, "Value");
        bool isFixed = false;
        for (const FixedKeyword& f : fixedKeywords) {
            if (EqualsNoCase(p.KeyWord, f.keyword)) {
                if (f.field)
                    d.*f.field = FixedPairValue(p.Value);
                isFixed = true;
                break;
            }
        }
        if (!isFixed)
            d.ExtraKeywords.push_back(std::move(p));
    }
    // "AllowDebug" is written twice, as its own line and as the quoted pair
    // "Debug", which wins on reading.  A file without the pair keeps the
    // line's value in the pair's form, so that it reads back as it read.
    d.AllowDebug = FixedPairValue(d.AllowDebug);
}

// Formats 1 to 4: the body, the debugging sequence and (formats 3 and 4)
// the documents section, all in the project file.
void WriteOldProject(KxpArchive& ar, const ProjectData& d, const WorkspaceDocuments& docs,
                     std::u16string_view projectDir, int version)
{
    WriteProjectBody(ar, d, version);
    WriteDebugSection(ar, d, version >= 4);
    if (version >= 3)
        WriteDocumentsSection(ar, docs, projectDir);
}

void ReadOldProject(KxpArchive& ar, ProjectData& d, WorkspaceDocuments& docs,
                    std::u16string_view projectDir, int64_t loadTime, int version)
{
    docs = WorkspaceDocuments{};
    ReadProjectBody(ar, d, loadTime, version);
    ReadDebugSection(ar, d, version >= 4);
    if (version >= 3)
        ReadDocumentsSection(ar, docs, projectDir);
    RecomputeCompilerVersion(d);
}

} // namespace

void WriteProjectBodyV6(KxpArchive& ar, const ProjectData& data)
{
    WriteProjectBody(ar, data, 6);
}

void WriteProjectBodyV5(KxpArchive& ar, const ProjectData& data)
{
    WriteProjectBody(ar, data, 5);
}

void ReadProjectBodyV6(KxpArchive& ar, ProjectData& data, int64_t loadTime)
{
    ReadProjectBody(ar, data, loadTime, 6);
    RecomputeCompilerVersion(data);
}

void ReadProjectBodyV5(KxpArchive& ar, ProjectData& data, int64_t loadTime)
{
    ReadProjectBody(ar, data, loadTime, 5);
    RecomputeCompilerVersion(data);
}

void WriteProjectBodyV4(KxpArchive& ar, const ProjectData& data, const WorkspaceDocuments& docs,
                        std::u16string_view projectDir)
{
    WriteOldProject(ar, data, docs, projectDir, 4);
}

void WriteProjectBodyV3(KxpArchive& ar, const ProjectData& data, const WorkspaceDocuments& docs,
                        std::u16string_view projectDir)
{
    WriteOldProject(ar, data, docs, projectDir, 3);
}

void WriteProjectBodyV2(KxpArchive& ar, const ProjectData& data, const WorkspaceDocuments& docs,
                        std::u16string_view projectDir)
{
    WriteOldProject(ar, data, docs, projectDir, 2);
}

void WriteProjectBodyV1(KxpArchive& ar, const ProjectData& data, const WorkspaceDocuments& docs,
                        std::u16string_view projectDir)
{
    WriteOldProject(ar, data, docs, projectDir, 1);
}

void ReadProjectBodyV4(KxpArchive& ar, ProjectData& data, WorkspaceDocuments& docs,
                       std::u16string_view projectDir, int64_t loadTime)
{
    ReadOldProject(ar, data, docs, projectDir, loadTime, 4);
}

void ReadProjectBodyV3(KxpArchive& ar, ProjectData& data, WorkspaceDocuments& docs,
                       std::u16string_view projectDir, int64_t loadTime)
{
    ReadOldProject(ar, data, docs, projectDir, loadTime, 3);
}

void ReadProjectBodyV2(KxpArchive& ar, ProjectData& data, WorkspaceDocuments& docs,
                       std::u16string_view projectDir, int64_t loadTime)
{
    ReadOldProject(ar, data, docs, projectDir, loadTime, 2);
}

void ReadProjectBodyV1(KxpArchive& ar, ProjectData& data, WorkspaceDocuments& docs,
                       std::u16string_view projectDir, int64_t loadTime)
{
    ReadOldProject(ar, data, docs, projectDir, loadTime, 1);
}

} // namespace core
