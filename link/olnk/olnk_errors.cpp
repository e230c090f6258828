// Error texts and the debug print of the link library.

#include "link/olnk/olnk.h"

#include "platform/sys/CodePage.h"
#include "platform/sys/LastError.h"

#include <cstdarg>
#include <cstdio>
#include <string>

namespace {

struct Text
{
    uint32_t code;
    const char* english;
    const char* czech;
};

constexpr Text kTexts[] = {
    {OLNK_E_PENDING, "Overlapped opperation is in progress.", "Probíhá asynchronní operace."},
    {OLNK_E_UNEXPECTED, "Unexpected error.", "Neočekávaná chyba."},
    {OLNK_E_INVALIDARG, "Invalid arguments.", "Neplatné argumenty."},
    {OLNK_E_OUTOFMEMORY, "Not enought memory.", "Nedostatek paměti."},
    {OLNK_E_HANDLE, "Invalid handle value.", "Neplatný popisovač."},
    {OLNK_E_TIMEOUT, "Time-out interval elapsed.", "Vypršel časový limit."},
    {OLNK_E_RESET, "Connection was reset.", "Spojení bylo resetováno."},
    {OLNK_E_SECOND_RESET, "Second reset before the first reset was completed.",
     "Druhý reset před dokončením prvního resetu."},
    {OLNK_E_BUSY, "Connection can't be closed, because functions which used them are in progress.",
     "Spojení nelze uzavřít, protože probíhají funkce, které ho používají."},
    {OLNK_E_TOO_MANY_ASYNC, "Too many assynchronus operations are in progress.",
     "Probíhá příliš mnoho asynchronních operací."},
    {OLNK_E_SILENT, "The control system does not answer.", "Řídicí systém neodpovídá."},
    {OLNK_E_BRKS_NOT_CONFIRMED,
     "The control system has not confirmed the breakpoints; they were sent again and the PLC was "
     "not started.",
     "Řídicí systém nepotvrdil breakpointy, byly odeslány znovu a PLC nebylo spuštěno."},
    {OLNK_E_BAD_PATH, "Invalid path or share.", "Neplatná cesta nebo sdílená složka."},
};

std::string TextOf(uint32_t code, uint32_t language)
{
    for (const Text& t : kTexts) {
        if (t.code == code)
            return language == OLNK_LANG_CZECH ? t.czech : t.english;
    }
    // System (errno) codes, and anything unknown.
    return sys::ErrorText(code);
}

} // namespace

uint32_t OlnkGetErrorTextA(uint32_t code, uint32_t language, char* buffer, uint32_t size)
{
    if (!buffer || size == 0) {
        sys::SetLastError(OLNK_E_INVALIDARG);
        return 0;
    }
    const std::string text = TextOf(code, language);
    size_t n = std::min<size_t>(text.size(), size - 1);
    // Never cut a character in half.
    while (n > 0 && n < text.size() && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
        --n;
    text.copy(buffer, n);
    buffer[n] = '\0';
    return static_cast<uint32_t>(n);
}

uint32_t OlnkGetErrorTextW(uint32_t code, uint32_t language, char16_t* buffer, uint32_t size)
{
    if (!buffer || size == 0) {
        sys::SetLastError(OLNK_E_INVALIDARG);
        return 0;
    }
    const std::u16string text = sys::Utf8ToUtf16Lenient(TextOf(code, language));
    const size_t n = std::min<size_t>(text.size(), size - 1);
    text.copy(buffer, n);
    buffer[n] = u'\0';
    return static_cast<uint32_t>(n);
}

void OlnkDebugPrint(const char* format, ...)
{
    char buf[513];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buf, sizeof buf, format, args);
    va_end(args);
    std::fputs(buf, stderr);
}
