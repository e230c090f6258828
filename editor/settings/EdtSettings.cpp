#include "editor/settings/EdtSettings.h"

#include "editor/buffer/EdtCodePages.h"
#include "editor/settings/EdtRegistry.h"
#include "editor/settings/EdtTextTypes.h"

#include <QGuiApplication>
#include <QScreen>

#include <cmath>
#include <cstring>
#include <string>

namespace {

constexpr int kMinTabSize = 1;
constexpr int kMaxTabSize = 64;

int32_t ReadLE32(const uint8_t* p)
{
    return static_cast<int32_t>(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 |
                                uint32_t(p[3]) << 24);
}

void WriteLE32(std::vector<uint8_t>& out, int32_t v)
{
    uint32_t u = static_cast<uint32_t>(v);
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(u >> (8 * i)));
}

bool IsValidEncoding(int32_t v)
{
    return v >= -1 && v <= EDT_CODEPAGE_UTF8;
}

int ScreenDpi()
{
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (!app)
        return 96;
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return 96;
    int dpi = static_cast<int>(std::lround(screen->logicalDotsPerInchY()));
    return dpi > 0 ? dpi : 96;
}

std::u16string RowKey(const TextTypeDef& row)
{
    std::u16string key(EDT_SETTINGS_KEY);
    key += u'\\';
    key += row.name;
    return key;
}

// Reads a string value of at most maxLength characters.
void LoadLimitedString(CRegistryKey& key, std::u16string_view name, size_t maxLength,
                       std::u16string& target)
{
    std::u16string text;
    if (key.LoadString(name, text) && text.size() <= maxLength)
        target = std::move(text);
}

void LoadRow(TextTypeDef& row)
{
    CRegistryKey key;
    if (row.name.empty() || !key.Open(HKEY_CURRENT_USER, RowKey(row), KEY_READ))
        return;
    LoadLimitedString(key, u"Extensions", EDT_TT_MAX_TEXT, row.extensions);
    uint32_t v;
    if (key.LoadNumber(u"Flags", v))
        row.flags = v;
    if (key.LoadNumber(u"TabSize", v)) {
        int32_t tab = static_cast<int32_t>(v);
        if (tab >= kMinTabSize && tab <= kMaxTabSize)
            row.tabSize = tab;
    }
    LoadLimitedString(key, u"OpenComment", EDT_TT_MAX_COMMENT, row.openComment);
    LoadLimitedString(key, u"CloseComment", EDT_TT_MAX_COMMENT, row.closeComment);
    LoadLimitedString(key, u"CommentLine", EDT_TT_MAX_COMMENT, row.lineComment);
    if (key.LoadNumber(u"DefaultEncoding", v) && IsValidEncoding(static_cast<int32_t>(v)))
        row.defaultEncoding = static_cast<int32_t>(v);
}

uint32_t g_generalFlags = EDT_GENERAL_FLAGS_DEFAULT;
std::u16string g_generalFolder;

} // namespace

uint32_t GetEdtGeneralFlags()
{
    return g_generalFlags;
}

void SetEdtGeneralFlags(uint32_t flags)
{
    g_generalFlags = flags;
}

std::u16string GetEdtGeneralFolder()
{
    return g_generalFolder;
}

void SetEdtGeneralFolder(std::u16string_view folder)
{
    g_generalFolder.assign(folder);
}

bool EdtLogFontFromBytes(const uint8_t* data, size_t size, EdtLogFont& font)
{
    if (!data || size != EDT_LOGFONT_SIZE)
        return false;
    EdtLogFont f;
    f.height = ReadLE32(data + 0);
    f.width = ReadLE32(data + 4);
    f.escapement = ReadLE32(data + 8);
    f.orientation = ReadLE32(data + 12);
    f.weight = ReadLE32(data + 16);
    f.italic = data[20];
    f.underline = data[21];
    f.strikeOut = data[22];
    f.charSet = data[23];
    f.outPrecision = data[24];
    f.clipPrecision = data[25];
    f.quality = data[26];
    f.pitchAndFamily = data[27];
    bool terminated = false;
    for (int i = 0; i < 32; ++i) {
        f.faceName[i] = static_cast<char16_t>(data[28 + 2 * i] | data[29 + 2 * i] << 8);
        if (f.faceName[i] == 0)
            terminated = true;
    }
    if (!terminated || f.faceName[0] == 0)
        return false;
    font = f;
    return true;
}

std::vector<uint8_t> EdtLogFontToBytes(const EdtLogFont& font)
{
    std::vector<uint8_t> out;
    out.reserve(EDT_LOGFONT_SIZE);
    for (int32_t v : {font.height, font.width, font.escapement, font.orientation, font.weight})
        WriteLE32(out, v);
    for (uint8_t b : {font.italic, font.underline, font.strikeOut, font.charSet,
                      font.outPrecision, font.clipPrecision, font.quality, font.pitchAndFamily})
        out.push_back(b);
    for (char16_t c : font.faceName) {
        out.push_back(static_cast<uint8_t>(c & 0xFF));
        out.push_back(static_cast<uint8_t>(c >> 8));
    }
    return out;
}

EdtLogFont MakeDefaultEdtLogFont()
{
    EdtLogFont f;
    std::memset(&f, 0, sizeof f);
    // -MulDiv(11, dpi, 72), rounded to nearest with halves away from zero.
    const int dpi = ScreenDpi();
    const int64_t num = int64_t(11) * dpi;
    const int64_t mulDiv = num >= 0 ? (num + 36) / 72 : -((-num + 36) / 72);
    f.height = -static_cast<int32_t>(mulDiv);
    f.weight = 400;
    f.charSet = 238;
    const char16_t face[] = u"Courier New";
    std::memcpy(f.faceName, face, sizeof face);
    return f;
}

EdtLogFont& GetEdtEditorFont()
{
    static EdtLogFont font = MakeDefaultEdtLogFont();
    return font;
}

void EdtLoadSettings()
{
    ResetSourceTypes();
    g_generalFlags = EDT_GENERAL_FLAGS_DEFAULT;
    g_generalFolder.clear();
    CRegistryKey key;
    if (!key.Open(HKEY_CURRENT_USER, EDT_SETTINGS_KEY, KEY_READ))
        return;  // the built-in values and the default font stay
    uint32_t v;
    if (key.LoadNumber(u"GeneralFlags", v))
        g_generalFlags = v;
    LoadLimitedString(key, u"GeneralFolder", EDT_GENERAL_FOLDER_MAX, g_generalFolder);
    if (key.LoadNumber(u"DefaultEncoding", v) && IsValidEncoding(static_cast<int32_t>(v)))
        SetEdtDefaultEncoding(static_cast<int32_t>(v));
    for (int id = 0; id < GetSourceTypeCount(); ++id)
        LoadRow(*GetTextTypeDef(id));
    std::vector<uint8_t> bytes;
    EdtLogFont font;
    if (key.LoadBinary(u"LogFont", bytes) &&
        EdtLogFontFromBytes(bytes.data(), bytes.size(), font))
        GetEdtEditorFont() = font;
}

void EdtSaveSettings()
{
    CRegistryKey key;
    if (!key.Create(HKEY_CURRENT_USER, EDT_SETTINGS_KEY))
        return;
    key.SaveNumber(u"DefaultEncoding", static_cast<uint32_t>(GetEdtDefaultEncoding()));
    key.SaveNumber(u"GeneralFlags", g_generalFlags);
    key.SaveString(u"GeneralFolder", g_generalFolder);
    for (int id = 0; id < GetSourceTypeCount(); ++id) {
        const TextTypeDef& row = *GetTextTypeDef(id);
        CRegistryKey sub;
        if (row.name.empty() || !sub.Create(HKEY_CURRENT_USER, RowKey(row)))
            continue;
        sub.SaveString(u"Extensions", row.extensions);
        sub.SaveNumber(u"Flags", row.flags);
        sub.SaveNumber(u"TabSize", static_cast<uint32_t>(row.tabSize));
        sub.SaveString(u"OpenComment", row.openComment);
        sub.SaveString(u"CloseComment", row.closeComment);
        sub.SaveString(u"CommentLine", row.lineComment);
        sub.SaveNumber(u"DefaultEncoding", static_cast<uint32_t>(row.defaultEncoding));
    }
    std::vector<uint8_t> bytes = EdtLogFontToBytes(GetEdtEditorFont());
    key.SaveBinary(u"LogFont", bytes.data(), static_cast<uint32_t>(bytes.size()));
}
