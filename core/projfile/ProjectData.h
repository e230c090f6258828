#pragma once
// The persistent part of the project document: file lists, settings,
// compiler version numbers, extra keywords and the debugging state kept in
// the workspace file.  All texts are UTF-16 and have no length limit.

#include <cstdint>
#include <string>
#include <vector>

namespace core {

struct ProjectFileEntry
{
    std::u16string FileName; // name without folder
    std::u16string FilePath; // path relative to the project folder
    bool operator==(const ProjectFileEntry&) const = default;
};

struct SupportFileEntry
{
    std::u16string FileName;
    std::u16string FilePath;
    std::u16string DestPath; // path on the control system
    int32_t FileType = 0;
    int32_t TransferType = 0;
    int32_t NeedReload = 0;
    bool operator==(const SupportFileEntry&) const = default;
};

struct KeywordPair
{
    std::u16string KeyWord;
    std::u16string Value;
    bool operator==(const KeywordPair&) const = default;
};

struct WatchPlaque
{
    std::u16string Name;
    std::vector<std::u16string> VarNames;
    bool operator==(const WatchPlaque&) const = default;
};

struct ProjectData
{
    int FormatVersion = 6;
    // Seconds since 1970-01-01 00:00:00 UTC.
    int64_t SettingsModificationTime = 0;

    std::vector<ProjectFileEntry> SourceFiles; // the first is the main module
    std::vector<ProjectFileEntry> HeaderFiles;
    std::vector<SupportFileEntry> SupportFiles;

    // The settings, named by their keys in the project file.
    std::u16string PLCComment;
    std::u16string Config;
    std::u16string Target; // "Haldor" (any case) selects the single-number version form
    std::u16string PathOutput;
    std::u16string PathTemp;
    std::u16string FileExe;
    std::u16string FileMap;
    std::u16string FileMP2;
    std::u16string PLCOutputName;
    std::u16string CPU;
    std::u16string Clock;
    std::u16string Machine;
    std::u16string Axis;
    std::u16string DifCount;
    std::u16string IOType;
    std::u16string Protocol;
    std::u16string PathBorland;
    std::u16string TasmParams;
    std::u16string TlinkParams;
    std::u16string NameTasm;
    std::u16string NameTlink;
    std::u16string PathLib;
    std::u16string PathXPDDK;
    std::u16string AsmFlags;
    std::u16string LinkFlags;
    std::u16string PathTarvane;
    std::u16string TarvaneVer;

    // Derived from TarvaneVer by RecomputeCompilerVersion.
    int TarvaneVerMajor = 0;
    int TarvaneVerMinor = 0;
    int PelmarVer = 632;

    std::u16string AllowDebug;
    std::u16string NameCreateMap;
    std::u16string NameJoin;

    // Further keyword lines of the make file, in their stored form.
    std::vector<KeywordPair> ExtraKeywords;

    // The debugging state (the workspace file).
    std::vector<WatchPlaque> WatchPlaques;
    int SelectedPlaque = -1; // -1: none
    std::vector<std::u16string> WatchedMechanisms;
    std::vector<uint32_t> Breakpoints; // 1-based listing-wide line indexes
    uint16_t WatchInterval = 1000;     // milliseconds
    uint16_t WatchMechInterval = 1000;
    uint16_t WatchRegsOnLineInterval = 1000;
    int32_t DisplayAsHex = 1;      // kept and written as stored
    int32_t WatchPLCRegsInSrc = 1; // kept and written as stored
    std::u16string OlnkConnectionString;

    bool operator==(const ProjectData&) const = default;
};

// Resets every field to the defaults of a new project; `now` (seconds since
// 1970) becomes the settings modification time.  Leaves one watch page,
// named by string 4293, and selects it.
void SetProjectDefaults(ProjectData& data, int64_t now);

// Works out TarvaneVerMajor, TarvaneVerMinor and PelmarVer from TarvaneVer:
// all three become 0; then for the "Haldor" target (any case) PelmarVer is
// read as one number, for other targets major and minor as "%d.%d".  A
// number that cannot be read stays 0.  Every change of TarvaneVer or Target
// must be followed by this call.
void RecomputeCompilerVersion(ProjectData& data);

// ASCII-only case-insensitive comparison, as keys and targets are compared.
bool EqualsNoCase(std::u16string_view a, std::u16string_view b);
// Case-insensitive over ASCII and the letters of code page 1250 ("Ř" equals
// "ř"), as file names of the file lists are compared.
bool EqualsFileNameNoCase(std::u16string_view a, std::u16string_view b);
// The small letter of a capital letter of ASCII or code page 1250; any
// other character unchanged.
char16_t FileNameLower(char16_t c);

// The FilePath of a file for the project folder `projectDir` (with its
// trailing separator): the path relative to the folder, with ".."
// components where needed.  A relative path that would begin with a single
// separator (the two share only the root) is never returned; the full path
// is returned when no relative path can be formed.
std::u16string ProjectRelativePath(std::u16string_view projectDir, std::u16string_view fullPath);
// The full path of a FilePath: joined to the project folder by the path
// append rule, so a full path stands for itself.  Empty when the result is
// not a valid path.
std::u16string ProjectFullPath(std::u16string_view projectDir, std::u16string_view filePath);

} // namespace core
