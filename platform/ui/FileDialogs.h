#pragma once
// Helpers of the file dialogs.

#include <QString>

#include <cstdint>

namespace ui {

// The flags of a file dialog's record (the common dialog's values).
constexpr uint32_t OFN_READONLY = 0x1;
constexpr uint32_t OFN_OVERWRITEPROMPT = 0x2;
constexpr uint32_t OFN_HIDEREADONLY = 0x4;
constexpr uint32_t OFN_ALLOWMULTISELECT = 0x200;
constexpr uint32_t OFN_PATHMUSTEXIST = 0x800;
constexpr uint32_t OFN_FILEMUSTEXIST = 0x1000;

// A filter in the program's pipe form ("Soubory *.knf|*.knf|Všechny
// soubory|*.*|": pairs of a description and patterns separated by ";") in
// Qt's syntax ("Soubory *.knf (*.knf);;Všechny soubory (*)"): the patterns
// become a list separated by blanks, and "*.*" becomes "*".
QString ConvertFileFilter(const QString& pipeFilter);

} // namespace ui
