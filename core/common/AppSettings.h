#pragma once
// The application options record: seven strings kept under "Options" in the
// registry.  The main window fills the defaults, loads the record when it is
// made and saves it after its options sheet; the core only reads the values
// (an empty project folder setting falls back to them).

#include <string>
#include <string_view>

namespace core {

struct AppSettings
{
    std::u16string PathBorlandBin;       // default "C:\Tasm\Bin\"
    std::u16string PathBorlandLib;       // default "C:\Tasm\Lib\"
    std::u16string PathTarvane;          // the compiler installation folder
    std::u16string PathTemplates;        // template folders, ";"-separated
    std::u16string PathWinXPDDK;         // default "C:\WINDDK\2600\"
    std::u16string OlnkConnectionString; // default "P = Com1; B = 115200; W = 20;"
    std::u16string Language;             // "Default", "CSY" or "ENU"

    // The defaults; base is the folder that holds "Tarvane\" and
    // "Templates\", ending with a separator.
    void SetDefaults(std::u16string_view base);
    // Reads the seven values of the profile section; a missing value keeps
    // the field as it is.
    void Load(std::u16string_view section);
    // Writes the first six values (never "Language", which only the
    // language commands write); false when one could not be written.
    [[nodiscard]] bool Save(std::u16string_view section) const;
};

} // namespace core
