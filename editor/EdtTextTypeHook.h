#pragma once
// The hook through which the buffer finds the source type of a file name:
// the source-type table installs its lookup; until then no type is known.

#include <string_view>

struct TextTypeDef;

struct EdtTextTypeInfo
{
    const TextTypeDef* type = nullptr;
    int defaultEncoding = -1;  // code-page row, 13 = UTF-16, -1 = none
};

using EdtTextTypeLookupFn = EdtTextTypeInfo (*)(std::u16string_view path);

// Process-wide; nullptr removes the lookup.
void SetEdtTextTypeLookup(EdtTextTypeLookupFn fn);
// {nullptr, -1} while no lookup is installed.
EdtTextTypeInfo LookupEdtTextType(std::u16string_view path);
