#pragma once
// The byte -> UTF-16 tables of the 8-bit code pages (CodePageTables.cpp is
// generated; see docs/paths-and-codepages.md).  Used by CodePage.cpp only.

#include <cstddef>

namespace sys::detail {

struct CodePageTable
{
    unsigned codePage;
    const char16_t* toUnicode; // 256 entries
};

extern const CodePageTable kCodePageTables[];
extern const size_t kCodePageTableCount;

} // namespace sys::detail
