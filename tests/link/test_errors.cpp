// Error texts of the link library in each language.

#include "link/olnk/olnk.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace {

std::string TextA(uint32_t code, uint32_t lang, uint32_t size = 512)
{
    std::string buf(size, 'X');
    const uint32_t n = OlnkGetErrorTextA(code, lang, buf.data(), size);
    EXPECT_EQ(buf[n], '\0');
    return buf.substr(0, n);
}

} // namespace

TEST(LinkErrors, EnglishTextsAsWritten)
{
    EXPECT_EQ(TextA(OLNK_E_PENDING, 1033), "Overlapped opperation is in progress.");
    EXPECT_EQ(TextA(OLNK_E_OUTOFMEMORY, 1033), "Not enought memory.");
    EXPECT_EQ(TextA(OLNK_E_TOO_MANY_ASYNC, 1033),
              "Too many assynchronus operations are in progress.");
    EXPECT_EQ(TextA(OLNK_E_BUSY, 1033),
              "Connection can't be closed, because functions which used them are in progress.");
    // Language 3 and unknown languages give English.
    EXPECT_EQ(TextA(OLNK_E_TIMEOUT, 3), "Time-out interval elapsed.");
    EXPECT_EQ(TextA(OLNK_E_TIMEOUT, 77), "Time-out interval elapsed.");
    EXPECT_EQ(TextA(555, 1033), "Invalid path or share.");
}

TEST(LinkErrors, CzechTexts)
{
    EXPECT_EQ(TextA(OLNK_E_RESET, 2), "Spojení bylo resetováno.");
    EXPECT_EQ(TextA(555, 2), "Neplatná cesta nebo sdílená složka.");
    char16_t wide[64];
    const uint32_t n = OlnkGetErrorTextW(OLNK_E_UNEXPECTED, 2, wide, 64);
    EXPECT_EQ(std::u16string(wide, n), u"Neočekávaná chyba.");
}

TEST(LinkErrors, SystemCodesAndCutting)
{
    EXPECT_EQ(TextA(ENOENT, 1033), std::strerror(ENOENT));
    EXPECT_EQ(TextA(OLNK_E_HANDLE, 1033, 8), "Invalid");
    // A cut never splits a character: "Neplatn" then the two-byte "ý".
    EXPECT_EQ(TextA(OLNK_E_HANDLE, 2, 9), "Neplatn");
    char16_t w[4];
    EXPECT_EQ(OlnkGetErrorTextW(OLNK_E_HANDLE, 1033, w, 4), 3u);
    EXPECT_EQ(std::u16string(w), u"Inv");
    char none[1];
    EXPECT_EQ(OlnkGetErrorTextA(OLNK_E_HANDLE, 1033, none, 0), 0u);
}
