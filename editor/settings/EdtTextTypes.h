#pragma once
// The source-type table: 25 process-wide rows that say which file
// extensions belong to a type, which line parser colours it, its option
// flags, tab size, comment strings and default encoding; the lookup of a
// row by id and by extension; the path functions the lookup uses.  The
// table is used on the UI thread only; rows are changed in place, so
// pointers to rows stay valid for the life of the process.
// See docs/editor-sourcetypes.md.

#include "editor/parsers/EdtParser.h"
#include "editor/buffer/EdtTextTypeHook.h"

#include <cstdint>
#include <string>
#include <string_view>

class CEdtTextBuffer;

// Option flags of a row (and of a view while the row is current).
constexpr uint32_t EDT_TT_TABCHARS = 0x1;         // Tab inserts a tab character
constexpr uint32_t EDT_TT_SHOWTABS = 0x2;         // tabs and blanks shown with marks
constexpr uint32_t EDT_TT_BACKSPACE_JOINS = 0x4;  // Backspace at a line start joins lines
constexpr uint32_t EDT_TT_MARGIN = 0x8;           // selection margin
constexpr uint32_t EDT_TT_AUTOINDENT = 0x10;
constexpr uint32_t EDT_TT_BRACES1 = 0x20;         // first bracket style
constexpr uint32_t EDT_TT_BRACES2 = 0x40;         // second bracket style
constexpr uint32_t EDT_TT_CRLF_DOS = 0x80;        // new buffers get CR LF
constexpr uint32_t EDT_TT_CRLF_UNIX = 0x100;      // new buffers get LF
constexpr uint32_t EDT_TT_CRLF_MAC = 0x200;       // new buffers get CR
constexpr uint32_t EDT_TT_SPACE_PAREN = 0x400;    // auto indent: blank before "("
constexpr uint32_t EDT_TT_WORDWRAP = 0x800;

constexpr int EDT_SOURCE_TYPE_COUNT = 25;
constexpr size_t EDT_TT_MAX_TEXT = 255;     // name and extension list
constexpr size_t EDT_TT_MAX_COMMENT = 7;    // each comment string

struct TextTypeDef
{
    int id;                        // 0-24, equal to the row index
    std::u16string name;           // also the registry subkey name
    std::u16string extensions;     // comma-separated wildcard patterns
    EdtParseLineFn parser;
    uint32_t flags;
    int tabSize;                   // 1-64
    std::u16string openComment, closeComment, lineComment;
    int defaultEncoding;           // -1 none, 0-12 code-page rows, 13 UTF-16, 14 UTF-8
};

constexpr int EDT_TT_PLC = 23;  // the control system's source types
constexpr int EDT_TT_NCP = 24;

int GetSourceTypeCount();  // 25
// The row, or nullptr outside 0-24.
TextTypeDef* GetTextTypeDef(int id);
// The first row (in id order) one of whose patterns matches the extension
// (letters A-Z compared without regard to case), or nullptr.  Pieces lose
// leading and trailing blanks and tabs; empty and invalid pieces are
// skipped; an empty extension matches nothing.
TextTypeDef* FindTextTypeByExtension(std::u16string_view extension);
// The row and its default encoding for a path ({nullptr, -1} when no row
// matches its extension): the lookup installed into the buffer's hook.
EdtTextTypeInfo LookupTextTypeOfPath(std::u16string_view path);

// The line-end mode the flags force: 0x80 -> 0 (DOS), else 0x100 -> 1
// (UNIX), else 0x200 -> 2 (MAC), else -1 (none).
int GetForcedCRLFMode(uint32_t flags);
// Applies the row's forced line ends to a buffer that was not loaded from a
// file; a loaded file keeps its own line ends whatever its type.  True when
// the mode was set.
bool ApplyForcedCRLFMode(const TextTypeDef& type, CEdtTextBuffer& buffer);

// Restores the built-in rows, the editor-wide default encoding (-1) and the
// default editor font, and installs the lookup into the buffer's hook.
void ResetSourceTypes();

// Path functions; "\", "/" and ":" separate components.
// True when the file system reports a status for the path.
bool FileExists(std::u16string_view path);
// Index of the last "." after the last separator; the path's length when
// there is none (0 for an empty path).
int GetFileExtPos(std::u16string_view path);
// The text after that "."; empty when there is none.
std::u16string GetFileExt(std::u16string_view path);
// Index just after the last separator; 0 when there is none.
int GetFileNamePos(std::u16string_view path);
