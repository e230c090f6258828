#pragma once
// The application options record: seven strings kept under "Options" in the
// registry.  Loading and saving belong to the main window; the core only
// reads the values (an empty project folder setting falls back to them).

#include <string>

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
};

} // namespace core
