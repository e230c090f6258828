#pragma once
// The code pages of text files: the two conversion tables (13 rows of 66
// entries, one row per code page), the byte <-> character maps that loading
// and saving build from them, the user's conversion between two rows, the
// short row names and the editor-wide defaults, without Qt (the names the
// dialogs and the status pane show are in editor/settings/EdtCodePageNames.h).
// See docs/editor-buffer.md.

#include <cstdint>
#include <string>
#include <string_view>

constexpr int EDT_CODEPAGE_ROWS = 13;     // rows 0-12 of the tables
constexpr int EDT_CODEPAGE_ENTRIES = 66;  // positions per row
constexpr int EDT_CODEPAGE_UNICODE = 13;  // "Unicode": UTF-16, no table
constexpr int EDT_CODEPAGE_UTF8 = 14;     // "UTF-8", no table

// The tables: an entry is the code of the position's character in the
// row's code page; in the source table 0 marks a missing character, in the
// target table such a position holds its replacement.
extern const uint16_t kEdtCodePageSource[EDT_CODEPAGE_ROWS][EDT_CODEPAGE_ENTRIES];
extern const uint16_t kEdtCodePageTarget[EDT_CODEPAGE_ROWS][EDT_CODEPAGE_ENTRIES];
// Short row name ("ASCII", "CP1250", ...); nullptr outside 0-12.
const char* GetEdtCodePageRowName(int row);

// Converts text between two rows (the user's code-page command): 0, -2
// when a row is outside 0-12 (text unchanged), -3 when memory runs out.
int ConvertCodePageBuffer(std::u16string& text, int sourceRow, int targetRow, bool lettersOnly);
int ConvertCodePageString(std::u16string_view text, std::u16string& result, int sourceRow,
                          int targetRow, bool lettersOnly);

const char16_t* GetCRLFModeName(int mode);   // u"DOS", u"UNIX", u"MAC", u"" otherwise

// -1 none, 0-12 rows, 13 UTF-16, 14 UTF-8; initially -1
int GetEdtDefaultEncoding();
void SetEdtDefaultEncoding(int encoding);
bool GetEdtDefaultUnicode();                 // initially false
void SetEdtDefaultUnicode(bool unicode);
bool GetEdtForceUnicode();                   // initially false
void SetEdtForceUnicode(bool force);
// While set, every file that is loaded is read as UTF-8 (File > Open's
// "UTF-8"); initially false.
bool GetEdtForceUtf8();
void SetEdtForceUtf8(bool force);

namespace edt {

// The byte <-> character maps of an 8-bit file in a code page (-1 = the
// ANSI code page 1250 alone, 0-12 = a row).  load[b] is the character of
// byte b; Save(c) gives the byte written for character c, with kReplaced
// set when c is not written as itself.
class CodePageMap
{
public:
    static constexpr uint16_t kReplaced = 0x100;
    static const CodePageMap& Get(int codePage);  // codePage -1..12

    char16_t Load(unsigned char b) const { return m_load[b]; }
    uint16_t Save(char16_t c) const { return m_save[c]; }

private:
    CodePageMap() = default;
    void Build(int codePage);
    char16_t m_load[256] = {};
    uint16_t m_save[65536] = {};
};

} // namespace edt
