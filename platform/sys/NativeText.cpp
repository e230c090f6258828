#include "platform/sys/NativeText.h"

#include "platform/sys/LastError.h"
#include "platform/sys/Utf8Stream.h"

#include <cerrno>

namespace sys {

std::u16string NativeToText(std::string_view bytes)
{
    std::u16string out(Utf8StreamDecoder::Room(bytes.size()), u'\0');
    Utf8StreamDecoder d;
    const size_t n =
        d.Decode(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), true, out.data());
    out.resize(n);
    return out;
}

bool TextToNative(std::u16string_view text, std::string& out)
{
    out.clear();
    int replaced = 0;
    if (text.find(u'\0') == text.npos) {
        AppendUtf8Escaped(text, out, &replaced);
        // Escapes that spell a character ("\uDCC3\uDCA9" for "é") would
        // name what another text names: only text the bytes give back.
        if (replaced == 0 && NativeToText(out) == text)
            return true;
    }
    out.clear();
    SetLastError(EILSEQ);
    return false;
}

std::string NativeOf(std::u16string_view text)
{
    std::string out;
    TextToNative(text, out);
    return out;
}

bool HasNativeByteEscape(std::u16string_view text)
{
    for (char16_t c : text)
        if (IsUtf8ByteEscape(c))
            return true;
    return false;
}

std::u16string ShownNativeText(std::u16string_view text)
{
    if (!HasNativeByteEscape(text))
        return std::u16string(text);
    static constexpr char16_t kHex[] = u"0123456789ABCDEF";
    std::u16string out;
    out.reserve(text.size() + 16);
    for (char16_t c : text) {
        if (IsUtf8ByteEscape(c)) {
            const unsigned b = unsigned(c - kUtf8ByteEscape);
            out += u"\\x";
            out += kHex[b >> 4];
            out += kHex[b & 15];
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace sys
