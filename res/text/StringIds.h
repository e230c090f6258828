#pragma once
// Ids of the string table (res/strings/) that code cites in more than one
// place, by name.  An id that one file alone uses keeps its name in that file.
// See docs/resources.md.

inline constexpr unsigned IDS_FILE_SAVE_FAILED = 536;          // "Soubor %s nemohl být uložen."
inline constexpr unsigned IDS_ALL_FILES_FILTER_ENTRY = 4151;   // "Všechny soubory (*.*)|*.*|"
inline constexpr unsigned IDS_FILE_INFO_FAILED = 4190;         // "Nepodařilo se zjistit informace o souboru %s.\r\n"
inline constexpr unsigned IDS_FILE_OPEN_FAILED = 4324;         // "Soubor %s se nepodařilo otevřít...\r\n"
inline constexpr unsigned IDS_NO_MEMORY = 4326;                // "Není dost paměti...\r\n"
inline constexpr unsigned IDS_FILE_READ_FAILED = 4327;         // "Chyba při čtení souboru %s ...\r\n"
inline constexpr unsigned IDS_MORE_BUTTONS = 4527;             // "More Buttons"
inline constexpr unsigned IDS_TARGET_IS_LINK = 4790;           // "Cíl je symbolický odkaz: %s\r\n"
