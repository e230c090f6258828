#include "platform/sys/NativeText.h"

#include "platform/sys/HexDigit.h"
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

std::optional<std::string> LocalNativePath(std::u16string_view path)
{
    std::string out;
    if (path.empty()) {
        SetLastError(ENOENT);
        return std::nullopt;
    }
    if (!TextToNative(path, out))
        return std::nullopt;
    return out;
}

bool HasNativeByteEscape(std::u16string_view text)
{
    for (size_t i = 0; i < text.size(); ++i)
        if (IsUtf8ByteEscapeAt(text, i))
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
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (IsUtf8ByteEscapeAt(text, i)) {
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

std::u16string UnmarkedNativeText(std::u16string_view shown)
{
    std::u16string out;
    out.reserve(shown.size());
    for (size_t i = 0; i < shown.size(); ++i) {
        if (shown[i] == u'\\' && i + 3 < shown.size() && shown[i + 1] == u'x') {
            const int hi = HexDigitValue(shown[i + 2]), lo = HexDigitValue(shown[i + 3]);
            if (hi >= 8 && lo >= 0) {
                out += char16_t(kUtf8ByteEscape + (hi << 4 | lo));
                i += 3;
                continue;
            }
        }
        out += shown[i];
    }
    return out;
}

} // namespace sys
