#pragma once
// The editor settings: the source-type table's overlay, the editor font and
// the editor-wide default encoding, kept under HKEY_CURRENT_USER
// "Software\ORNA\Strandwork\EdtLib".  The application's start-up calls
// EdtLoadSettings() once, before any document is opened.
// See docs/editor-sourcetypes.md.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The editor font as the registry keeps it ("LogFont", 92 bytes,
// little-endian in this field order).
struct EdtLogFont
{
    int32_t height, width, escapement, orientation, weight;
    uint8_t italic, underline, strikeOut, charSet, outPrecision, clipPrecision, quality,
        pitchAndFamily;
    char16_t faceName[32];
};
static_assert(sizeof(EdtLogFont) == 92);

constexpr size_t EDT_LOGFONT_SIZE = 92;
// The editor's registry key below HKEY_CURRENT_USER.
constexpr std::u16string_view EDT_SETTINGS_KEY = u"Software\\ORNA\\Strandwork\\EdtLib";

// Exactly 92 bytes with a NUL-terminated, non-empty face name; font is left
// alone otherwise.
bool EdtLogFontFromBytes(const uint8_t* data, size_t size, EdtLogFont& font);
std::vector<uint8_t> EdtLogFontToBytes(const EdtLogFont& font);

// "Courier New", 11 points at the primary screen's logical DPI (96 without
// a screen: height -15), weight 400, character set 238.
EdtLogFont MakeDefaultEdtLogFont();

// The process-wide editor font.
EdtLogFont& GetEdtEditorFont();

// The editor's general flags word ("GeneralFlags"): 0x10 text and binary
// child frames maximised on their first show, 0x80 drag and drop off in
// new editor views, 0x100 files changed outside reloaded without asking,
// 0x200 file watching (the default), 0x400 restart message, 0x2000 caret
// positions remembered per file.
constexpr uint32_t EDT_GENERAL_FLAGS_DEFAULT = 0x200;
uint32_t GetEdtGeneralFlags();
void SetEdtGeneralFlags(uint32_t flags);
// The general folder ("GeneralFolder"); empty means the program's own.
std::u16string GetEdtGeneralFolder();
void SetEdtGeneralFolder(std::u16string_view folder);
constexpr size_t EDT_GENERAL_FOLDER_MAX = 1024;

// Restores the built-in values (ResetSourceTypes, the general flags and
// folder), then overlays what the store holds; values of the wrong type or
// out of range are ignored.
void EdtLoadSettings();
// Writes the default encoding, every row and the font back; nothing is
// written when the key cannot be created, a row whose subkey cannot be
// created is skipped.
void EdtSaveSettings();
