#pragma once
// The application options record: seven strings kept under "Options" in the
// registry.  The main window fills the defaults, loads the record when it is
// made and saves it after its options sheet; the core only reads the values
// (an empty project folder setting falls back to them).

#include <string>
#include <string_view>

namespace core {

// The folders the options start with on this system: native paths ending
// with "/" that exist, or empty.
struct DefaultFolders
{
    std::u16string templates; // the project templates
    std::u16string compilers; // the compiler installation ("Tarvane")
};

// The default folders for a program that lies in programFolder (a native
// path).  Its data folder is <prefix>/share/strandwork when the program is
// installed as <prefix>/bin/strandwork beside it, else the folder above
// the program's (the build tree).  Templates: "Templates" in the data
// folder, created when missing; empty when it cannot be.  Compilers: the
// first existing of "Tarvane" in the data folder and the build tree's
// stand-in compiler tests/support/Tarvane; else empty.
DefaultFolders FindDefaultFolders(const std::string& programFolder);

struct AppSettings
{
    std::u16string PathBorlandBin;       // Windows tool folder: empty by default
    std::u16string PathBorlandLib;       // Windows tool folder: empty by default
    std::u16string PathTarvane;          // the compiler installation folder
    std::u16string PathTemplates;        // template folders, ";"-separated
    std::u16string PathWinXPDDK;         // Windows driver kit: empty by default
    std::u16string OlnkConnectionString; // default "P = Com1; B = 115200; W = 20;"
    std::u16string Language;             // "Default", "CSY" or "ENU"

    // The defaults: the two folders given, the folders of the tools that
    // exist only on Windows (assembler and linker, their libraries, the
    // driver kit) empty, the link on "Com1", the language "Default".
    // Stored values (Load) are kept as stored, Windows paths included.
    void SetDefaults(const DefaultFolders& folders);
    // Reads the seven values of the profile section; a missing value keeps
    // the field as it is.
    void Load(std::u16string_view section);
    // Writes the first six values (never "Language", which only the
    // language commands write); false when one could not be written.
    [[nodiscard]] bool Save(std::u16string_view section) const;
};

} // namespace core
