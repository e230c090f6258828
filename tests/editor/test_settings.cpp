// Editor settings against the real registry store in a temporary
// configuration folder: no key, an overlay, bad values (written through the
// registry helpers and by hand in the store's file format) and a save/load
// round trip.

#include "editor/buffer/EdtCodePages.h"
#include "editor/settings/EdtRegistry.h"
#include "editor/settings/EdtSettings.h"
#include "editor/settings/EdtTextTypes.h"
#include "tests/support/platform/TempDir.h"

#include <QGuiApplication>
#include <QScreen>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>

#include <sys/stat.h>

namespace {

const std::u16string kKey(EDT_SETTINGS_KEY);

std::u16string RowKey(const char16_t* name)
{
    return kKey + u"\\" + name;
}

std::u16string Face(const EdtLogFont& f)
{
    return std::u16string(f.faceName);
}

EdtLogFont SampleFont()
{
    EdtLogFont f;
    std::memset(&f, 0, sizeof f);
    f.height = -20;
    f.width = 7;
    f.escapement = -1;
    f.orientation = 0x12345678;
    f.weight = 700;
    f.italic = 1;
    f.underline = 0;
    f.strikeOut = 1;
    f.charSet = 0xEE;
    f.outPrecision = 3;
    f.clipPrecision = 2;
    f.quality = 5;
    f.pitchAndFamily = 0x31;
    std::memcpy(f.faceName, u"Consolas", sizeof u"Consolas");
    return f;
}

std::string HexList(const std::vector<uint8_t>& bytes)
{
    std::string s;
    char buf[4];
    for (size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(buf, sizeof buf, "%02x", bytes[i]);
        if (i)
            s += ',';
        s += buf;
    }
    return s;
}

class Settings : public ::testing::Test
{
protected:
    void SetUp() override
    {
        sys::RegistryStore::Reset();
        ResetSourceTypes();
    }
    void TearDown() override
    {
        sys::RegistryStore::Reset();
        ResetSourceTypes();
    }
    // Drops the store in memory and reads it back from its file.
    static void Reload()
    {
        sys::RegistryStore::Reset();
        ASSERT_TRUE(sys::RegistryStore::Load());
    }
    // Puts a store file written by hand in place and loads it.
    void WriteStoreFile(const std::string& body)
    {
        std::string path = home.Path() + "/ORNA/Strandwork.reg";
        std::string dir = home.Path() + "/ORNA";
        ::mkdir(dir.c_str(), 0700);
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << "Windows Registry Editor Version 5.00\n\n" << body;
        out.close();
        Reload();
    }
    testsupport::ScopedConfigHome home;
};

void ExpectDefaultFont(const EdtLogFont& f)
{
    EXPECT_EQ(f.height, -15);  // 11 points at 96 DPI
    EXPECT_EQ(f.width, 0);
    EXPECT_EQ(f.escapement, 0);
    EXPECT_EQ(f.orientation, 0);
    EXPECT_EQ(f.weight, 400);
    EXPECT_EQ(f.italic, 0);
    EXPECT_EQ(f.underline, 0);
    EXPECT_EQ(f.strikeOut, 0);
    EXPECT_EQ(f.charSet, 238);
    EXPECT_EQ(f.outPrecision, 0);
    EXPECT_EQ(f.clipPrecision, 0);
    EXPECT_EQ(f.quality, 0);
    EXPECT_EQ(f.pitchAndFamily, 0);
    EXPECT_EQ(Face(f), u"Courier New");
}

void ExpectBuiltInRows()
{
    for (int id = 0; id < GetSourceTypeCount(); ++id) {
        const TextTypeDef* row = GetTextTypeDef(id);
        EXPECT_EQ(row->tabSize, 4) << id;
        EXPECT_EQ(row->defaultEncoding, -1) << id;
    }
    EXPECT_EQ(GetTextTypeDef(4)->extensions, u"c,cc,cpp,cxx,h,hpp,hxx,hm,inl,rh,tlh,tli,xs");
    EXPECT_EQ(GetTextTypeDef(4)->flags, 0x50u);
    EXPECT_EQ(GetTextTypeDef(10)->openComment, u";|");
}

} // namespace

TEST(EditorLogFont, Bytes)
{
    EdtLogFont f = SampleFont();
    std::vector<uint8_t> bytes = EdtLogFontToBytes(f);
    ASSERT_EQ(bytes.size(), 92u);
    // Little-endian, in field order.
    EXPECT_EQ(bytes[0], 0xEC);
    EXPECT_EQ(bytes[3], 0xFF);
    EXPECT_EQ(bytes[4], 7);
    EXPECT_EQ(bytes[12], 0x78);
    EXPECT_EQ(bytes[15], 0x12);
    EXPECT_EQ(bytes[16], 0xBC);
    EXPECT_EQ(bytes[17], 0x02);
    EXPECT_EQ(bytes[23], 0xEE);
    EXPECT_EQ(bytes[27], 0x31);
    EXPECT_EQ(bytes[28], 'C');
    EXPECT_EQ(bytes[29], 0);
    EdtLogFont back;
    ASSERT_TRUE(EdtLogFontFromBytes(bytes.data(), bytes.size(), back));
    EXPECT_EQ(EdtLogFontToBytes(back), bytes);
    EXPECT_EQ(Face(back), u"Consolas");

    EdtLogFont keep = SampleFont();
    keep.weight = 123;
    EXPECT_FALSE(EdtLogFontFromBytes(bytes.data(), 91, keep));
    std::vector<uint8_t> longer = bytes;
    longer.push_back(0);
    EXPECT_FALSE(EdtLogFontFromBytes(longer.data(), longer.size(), keep));
    EXPECT_FALSE(EdtLogFontFromBytes(nullptr, 92, keep));
    std::vector<uint8_t> empty = bytes;
    empty[28] = empty[29] = 0;
    EXPECT_FALSE(EdtLogFontFromBytes(empty.data(), empty.size(), keep));
    std::vector<uint8_t> unterminated = bytes;
    for (size_t i = 28; i < 92; i += 2)
        unterminated[i] = 'x';
    EXPECT_FALSE(EdtLogFontFromBytes(unterminated.data(), unterminated.size(), keep));
    EXPECT_EQ(keep.weight, 123);  // untouched on failure
    // The last character is the terminator: a 31-character face is fine.
    unterminated[90] = unterminated[91] = 0;
    ASSERT_TRUE(EdtLogFontFromBytes(unterminated.data(), unterminated.size(), keep));
    EXPECT_EQ(Face(keep).size(), 31u);
}

TEST_F(Settings, NoKeyGivesBuiltInValues)
{
    GetTextTypeDef(4)->tabSize = 9;
    SetEdtDefaultEncoding(3);
    GetEdtEditorFont().weight = 900;
    EdtLoadSettings();
    ExpectDefaultFont(GetEdtEditorFont());
    ExpectBuiltInRows();
    EXPECT_EQ(GetEdtDefaultEncoding(), -1);
    EXPECT_EQ(LookupEdtTextType(u"a.plc").type, GetTextTypeDef(23));  // hook installed
    // Reading creates nothing.
    uint32_t subkeys = 0, values = 0;
    EXPECT_FALSE(EdtReg::QueryCounts(HKEY_CURRENT_USER, kKey, subkeys, values));
}

TEST_F(Settings, KeyWithoutFontGivesDefaultFont)
{
    ASSERT_TRUE(EdtReg::SaveNumber(HKEY_CURRENT_USER, kKey, u"DefaultEncoding", 2));
    Reload();
    EdtLoadSettings();
    EXPECT_EQ(GetEdtDefaultEncoding(), 2);
    ExpectDefaultFont(GetEdtEditorFont());
}

TEST_F(Settings, OverlayOfSomeRows)
{
    ASSERT_TRUE(EdtReg::SaveNumber(HKEY_CURRENT_USER, kKey, u"DefaultEncoding", 13));
    ASSERT_TRUE(EdtReg::SaveString(HKEY_CURRENT_USER, RowKey(u"C"), u"Extensions", u"cpp,cu"));
    ASSERT_TRUE(EdtReg::SaveNumber(HKEY_CURRENT_USER, RowKey(u"C"), u"TabSize", 8));
    ASSERT_TRUE(EdtReg::SaveNumber(HKEY_CURRENT_USER, RowKey(u"C"), u"Flags", 0x851));
    ASSERT_TRUE(EdtReg::SaveNumber(HKEY_CURRENT_USER, RowKey(u"PLC"), u"DefaultEncoding", 13));
    ASSERT_TRUE(EdtReg::SaveString(HKEY_CURRENT_USER, RowKey(u"PLC"), u"OpenComment", u"(*"));
    ASSERT_TRUE(EdtReg::SaveString(HKEY_CURRENT_USER, RowKey(u"PLC"), u"CloseComment", u"*)"));
    ASSERT_TRUE(EdtReg::SaveString(HKEY_CURRENT_USER, RowKey(u"PLC"), u"CommentLine", u""));
    ASSERT_TRUE(EdtReg::SaveNumber(HKEY_CURRENT_USER, RowKey(u"Text"), u"DefaultEncoding",
                                   0xFFFFFFFF));
    // Subkeys of names that are no row are never looked at.
    ASSERT_TRUE(EdtReg::SaveNumber(HKEY_CURRENT_USER, RowKey(u"Cobol"), u"TabSize", 3));
    std::vector<uint8_t> font = EdtLogFontToBytes(SampleFont());
    ASSERT_TRUE(EdtReg::SaveBinary(HKEY_CURRENT_USER, kKey, u"LogFont", font.data(), 92));
    Reload();

    EdtLoadSettings();
    EXPECT_EQ(GetEdtDefaultEncoding(), 13);
    const TextTypeDef* c = GetTextTypeDef(4);
    EXPECT_EQ(c->extensions, u"cpp,cu");
    EXPECT_EQ(c->tabSize, 8);
    EXPECT_EQ(c->flags, 0x851u);
    EXPECT_EQ(c->openComment, u"/*");  // missing values keep the built-in ones
    EXPECT_EQ(c->defaultEncoding, -1);
    const TextTypeDef* plc = GetTextTypeDef(23);
    EXPECT_EQ(plc->defaultEncoding, 13);
    EXPECT_EQ(plc->openComment, u"(*");
    EXPECT_EQ(plc->closeComment, u"*)");
    EXPECT_EQ(plc->lineComment, u"");
    EXPECT_EQ(plc->extensions, u"plc,inc");
    EXPECT_EQ(GetTextTypeDef(0)->defaultEncoding, -1);
    EXPECT_EQ(EdtLogFontToBytes(GetEdtEditorFont()), font);
    // The overlay reaches the lookup.
    EXPECT_EQ(FindTextTypeByExtension(u"cu"), c);
    EXPECT_EQ(FindTextTypeByExtension(u"h"), nullptr);
    EdtTextTypeInfo info = LookupEdtTextType(u"/p/main.plc");
    EXPECT_EQ(info.type, plc);
    EXPECT_EQ(info.defaultEncoding, 13);
    EXPECT_TRUE(info.ansiOnly);  // the control system's source
    EXPECT_FALSE(LookupEdtTextType(u"/p/x.cu").ansiOnly);
    EXPECT_TRUE(LookupEdtTextType(u"/p/x.ncp").ansiOnly);

    // UTF-8 (14) is read and written like the others.
    SetEdtDefaultEncoding(14);
    GetTextTypeDef(4)->defaultEncoding = 14;
    EdtSaveSettings();
    uint32_t stored = 0;
    ASSERT_TRUE(EdtReg::LoadNumber(HKEY_CURRENT_USER, kKey, u"DefaultEncoding", stored));
    EXPECT_EQ(stored, 14u);
    EdtLoadSettings();
    EXPECT_EQ(GetEdtDefaultEncoding(), 14);
    EXPECT_EQ(GetTextTypeDef(4)->defaultEncoding, 14);

    // Loading again starts from the built-in rows.
    EdtReg::Delete(HKEY_CURRENT_USER, RowKey(u"C"));
    EdtLoadSettings();
    EXPECT_EQ(GetTextTypeDef(4)->tabSize, 4);
    EXPECT_EQ(GetTextTypeDef(4)->flags, 0x50u);
}

TEST_F(Settings, BadValuesThroughTheHelpers)
{
    ASSERT_TRUE(EdtReg::SaveString(HKEY_CURRENT_USER, kKey, u"DefaultEncoding", u"5"));
    ASSERT_TRUE(EdtReg::SaveNumber(HKEY_CURRENT_USER, RowKey(u"C"), u"TabSize", 0));
    ASSERT_TRUE(EdtReg::SaveNumber(HKEY_CURRENT_USER, RowKey(u"Java"), u"TabSize", 65));
    ASSERT_TRUE(EdtReg::SaveNumber(HKEY_CURRENT_USER, RowKey(u"Perl"), u"TabSize", 0xFFFFFFFF));
    ASSERT_TRUE(EdtReg::SaveNumber(HKEY_CURRENT_USER, RowKey(u"SQL"), u"TabSize", 64));
    ASSERT_TRUE(EdtReg::SaveNumber(HKEY_CURRENT_USER, RowKey(u"TCL"), u"TabSize", 1));
    ASSERT_TRUE(EdtReg::SaveString(HKEY_CURRENT_USER, RowKey(u"C"), u"Flags", u"0"));
    ASSERT_TRUE(EdtReg::SaveNumber(HKEY_CURRENT_USER, RowKey(u"C"), u"Extensions", 7));
    ASSERT_TRUE(EdtReg::SaveString(HKEY_CURRENT_USER, RowKey(u"Java"), u"Extensions",
                                   std::u16string(256, u'j')));
    ASSERT_TRUE(EdtReg::SaveString(HKEY_CURRENT_USER, RowKey(u"SQL"), u"Extensions",
                                   std::u16string(255, u's')));
    ASSERT_TRUE(EdtReg::SaveString(HKEY_CURRENT_USER, RowKey(u"Java"), u"OpenComment",
                                   u"12345678"));
    ASSERT_TRUE(EdtReg::SaveString(HKEY_CURRENT_USER, RowKey(u"SQL"), u"OpenComment",
                                   u"1234567"));
    ASSERT_TRUE(EdtReg::SaveNumber(HKEY_CURRENT_USER, RowKey(u"Java"), u"DefaultEncoding", 15));
    ASSERT_TRUE(EdtReg::SaveNumber(HKEY_CURRENT_USER, RowKey(u"Perl"), u"DefaultEncoding",
                                   uint32_t(-2)));
    ASSERT_TRUE(EdtReg::SaveNumber(HKEY_CURRENT_USER, RowKey(u"SQL"), u"DefaultEncoding", 12));
    std::vector<uint8_t> font = EdtLogFontToBytes(SampleFont());
    ASSERT_TRUE(EdtReg::SaveBinary(HKEY_CURRENT_USER, kKey, u"LogFont", font.data(), 91));
    Reload();

    EdtLoadSettings();
    EXPECT_EQ(GetEdtDefaultEncoding(), -1);
    const TextTypeDef* c = GetTextTypeDef(4);
    EXPECT_EQ(c->tabSize, 4);
    EXPECT_EQ(c->flags, 0x50u);
    EXPECT_EQ(c->extensions, u"c,cc,cpp,cxx,h,hpp,hxx,hm,inl,rh,tlh,tli,xs");
    const TextTypeDef* java = GetTextTypeDef(9);
    EXPECT_EQ(java->tabSize, 4);
    EXPECT_EQ(java->extensions, u"java,jav,js");
    EXPECT_EQ(java->openComment, u"/*");
    EXPECT_EQ(java->defaultEncoding, -1);
    EXPECT_EQ(GetTextTypeDef(12)->tabSize, 4);
    EXPECT_EQ(GetTextTypeDef(12)->defaultEncoding, -1);
    const TextTypeDef* sql = GetTextTypeDef(20);  // the limits themselves are fine
    EXPECT_EQ(sql->tabSize, 64);
    EXPECT_EQ(sql->extensions, std::u16string(255, u's'));
    EXPECT_EQ(sql->openComment, u"1234567");
    EXPECT_EQ(sql->defaultEncoding, 12);
    EXPECT_EQ(GetTextTypeDef(21)->tabSize, 1);
    ExpectDefaultFont(GetEdtEditorFont());
}

TEST_F(Settings, BadValuesInAHandWrittenStoreFile)
{
    EdtLogFont sample = SampleFont();
    std::vector<uint8_t> good = EdtLogFontToBytes(sample);
    std::vector<uint8_t> unterminated = good;
    for (size_t i = 28; i < 92; i += 2)
        unterminated[i] = 'W';
    WriteStoreFile(
        "[HKEY_CURRENT_USER\\Software\\ORNA\\Strandwork\\EdtLib]\n"
        "\"DefaultEncoding\"=dword:0000000f\n"
        "\"LogFont\"=hex:" + HexList(unterminated) + "\n"
        "\n"
        "[HKEY_CURRENT_USER\\Software\\ORNA\\Strandwork\\EdtLib\\C]\n"
        "\"TabSize\"=hex:08,00,00,00\n"
        "\"Flags\"=hex(b):01,00,00,00,00,00,00,00\n"
        "\"Extensions\"=hex:63,00,00,00\n"
        "\"OpenComment\"=dword:00000001\n"
        "\"DefaultEncoding\"=\"3\"\n"
        "\n"
        "[HKEY_CURRENT_USER\\Software\\ORNA\\Strandwork\\EdtLib\\plc]\n"
        "\"tabsize\"=dword:00000002\n"
        "\"Flags\"=dword:00000801\n"
        "\"CommentLine\"=\"//\"\n"
        "\"CloseComment\"=\"12345678\"\n"
        "\"DefaultEncoding\"=dword:ffffffff\n"
        "\n");
    EdtLoadSettings();
    EXPECT_EQ(GetEdtDefaultEncoding(), -1);
    const TextTypeDef* c = GetTextTypeDef(4);
    EXPECT_EQ(c->tabSize, 4);
    EXPECT_EQ(c->flags, 0x50u);
    EXPECT_EQ(c->extensions, u"c,cc,cpp,cxx,h,hpp,hxx,hm,inl,rh,tlh,tli,xs");
    EXPECT_EQ(c->openComment, u"/*");
    EXPECT_EQ(c->defaultEncoding, -1);
    // Names compare without regard to case, as in the registry.
    const TextTypeDef* plc = GetTextTypeDef(23);
    EXPECT_EQ(plc->tabSize, 2);
    EXPECT_EQ(plc->flags, 0x801u);
    EXPECT_EQ(plc->lineComment, u"//");
    EXPECT_EQ(plc->closeComment, u"");
    EXPECT_EQ(plc->defaultEncoding, -1);
    ExpectDefaultFont(GetEdtEditorFont());

    // A font stored as a string, then one of 93 bytes: still the default.
    WriteStoreFile("[HKEY_CURRENT_USER\\Software\\ORNA\\Strandwork\\EdtLib]\n"
                   "\"LogFont\"=\"Arial\"\n\n");
    EdtLoadSettings();
    ExpectDefaultFont(GetEdtEditorFont());
    std::vector<uint8_t> longer = good;
    longer.push_back(0);
    WriteStoreFile("[HKEY_CURRENT_USER\\Software\\ORNA\\Strandwork\\EdtLib]\n"
                   "\"LogFont\"=hex:" + HexList(longer) + "\n\n");
    EdtLoadSettings();
    ExpectDefaultFont(GetEdtEditorFont());
    // And a good one is taken.
    WriteStoreFile("[HKEY_CURRENT_USER\\Software\\ORNA\\Strandwork\\EdtLib]\n"
                   "\"LogFont\"=hex:" + HexList(good) + "\n\n");
    EdtLoadSettings();
    EXPECT_EQ(EdtLogFontToBytes(GetEdtEditorFont()), good);
}

TEST_F(Settings, SaveThenLoadRoundTrip)
{
    EdtLoadSettings();
    TextTypeDef* c = GetTextTypeDef(4);
    c->extensions = u"cpp, c++";
    c->flags = 0x8D9;
    c->tabSize = 2;
    c->lineComment = u"///";
    TextTypeDef* ncp = GetTextTypeDef(24);
    ncp->defaultEncoding = 7;
    ncp->openComment.assign(1, u'(');
    SetEdtDefaultEncoding(-1);
    GetEdtEditorFont() = SampleFont();
    EdtSaveSettings();

    // The store holds the values under their names and types.
    Reload();
    uint32_t n = 0;
    ASSERT_TRUE(EdtReg::LoadNumber(HKEY_CURRENT_USER, kKey, u"DefaultEncoding", n));
    EXPECT_EQ(n, 0xFFFFFFFFu);
    ASSERT_TRUE(EdtReg::LoadNumber(HKEY_CURRENT_USER, RowKey(u"C"), u"TabSize", n));
    EXPECT_EQ(n, 2u);
    ASSERT_TRUE(EdtReg::LoadNumber(HKEY_CURRENT_USER, RowKey(u"AutoLISP"), u"Flags", n));
    EXPECT_EQ(n, 0x30u);
    std::u16string s;
    ASSERT_TRUE(EdtReg::LoadString(HKEY_CURRENT_USER, RowKey(u"SIOD"), u"OpenComment", s));
    EXPECT_EQ(s, u";|");
    ASSERT_TRUE(EdtReg::LoadString(HKEY_CURRENT_USER, RowKey(u"Text"), u"CommentLine", s));
    EXPECT_EQ(s, u"");
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(EdtReg::LoadBinary(HKEY_CURRENT_USER, kKey, u"LogFont", bytes));
    EXPECT_EQ(bytes, EdtLogFontToBytes(SampleFont()));
    uint32_t subkeys = 0, values = 0;
    ASSERT_TRUE(EdtReg::QueryCounts(HKEY_CURRENT_USER, kKey, subkeys, values));
    EXPECT_EQ(subkeys, 25u);
    EXPECT_EQ(values, 4u);  // DefaultEncoding, LogFont, GeneralFlags, GeneralFolder
    ASSERT_TRUE(EdtReg::QueryCounts(HKEY_CURRENT_USER, RowKey(u"PLC"), subkeys, values));
    EXPECT_EQ(values, 7u);

    ResetSourceTypes();
    SetEdtDefaultEncoding(4);
    EdtLoadSettings();
    EXPECT_EQ(GetEdtDefaultEncoding(), -1);
    EXPECT_EQ(c->extensions, u"cpp, c++");
    EXPECT_EQ(c->flags, 0x8D9u);
    EXPECT_EQ(c->tabSize, 2);
    EXPECT_EQ(c->lineComment, u"///");
    EXPECT_EQ(c->openComment, u"/*");
    EXPECT_EQ(ncp->defaultEncoding, 7);
    EXPECT_EQ(ncp->openComment, u"(");
    EXPECT_EQ(FindTextTypeByExtension(u"c++"), c);
    EXPECT_EQ(EdtLogFontToBytes(GetEdtEditorFont()), EdtLogFontToBytes(SampleFont()));
    for (int id = 0; id < GetSourceTypeCount(); ++id)
        if (id != 4 && id != 24) {
            EXPECT_EQ(GetTextTypeDef(id)->tabSize, 4);
        }
}

// Last: it creates the application object, after which the default font
// follows the screen.
TEST_F(Settings, DefaultFontFollowsTheScreen)
{
    int argc = 1;
    char name[] = "editor_settings";
    char* argv[] = {name, nullptr};
    QGuiApplication app(argc, argv);
    ASSERT_NE(QGuiApplication::primaryScreen(), nullptr);
    int dpi = static_cast<int>(std::lround(QGuiApplication::primaryScreen()->logicalDotsPerInchY()));
    int expected = -static_cast<int>((11 * dpi + 36) / 72);
    EdtLoadSettings();
    EXPECT_EQ(GetEdtEditorFont().height, expected);
    EXPECT_EQ(MakeDefaultEdtLogFont().height, expected);
    EXPECT_EQ(Face(GetEdtEditorFont()), u"Courier New");
}
