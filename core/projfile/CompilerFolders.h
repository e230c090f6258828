#pragma once
// The names of the folders of installed compiler versions: "Pelmar"
// followed by the version number, and "PLC" followed by one digit of the
// major and one to three digits of the minor version.  Letters compare
// without regard to case; the thresholds belong to the callers.

#include <optional>
#include <string_view>
#include <utility>

namespace core {

// "Pelmar" and 1 to 9 digits, nothing else: the number.
std::optional<int> ReadPelmarFolderName(std::u16string_view name);
// "PLC", one major digit and 1 to 3 minor digits, nothing else: (major, minor).
std::optional<std::pair<int, int>> ReadPlcFolderName(std::u16string_view name);

} // namespace core
