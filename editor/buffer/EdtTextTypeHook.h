#pragma once
// The hook through which the buffer finds the source type of a file name:
// the source-type table installs its lookup; until then no type is known.

#include <string_view>

struct TextTypeDef;

struct EdtTextTypeInfo
{
    const TextTypeDef* type = nullptr;
    int defaultEncoding = -1;  // code-page row, 13 = UTF-16, 14 = UTF-8, -1 = none
    // The files of the type are read by the compiler and the control system
    // in code page 1250 (PLC, NCP): never taken for UTF-8 by their bytes.
    bool ansiOnly = false;
};

using EdtTextTypeLookupFn = EdtTextTypeInfo (*)(std::u16string_view path);

// Process-wide; nullptr removes the lookup.
void SetEdtTextTypeLookup(EdtTextTypeLookupFn fn);
// {nullptr, -1} while no lookup is installed.
EdtTextTypeInfo LookupEdtTextType(std::u16string_view path);
