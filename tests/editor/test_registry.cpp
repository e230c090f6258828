// Registry helpers against the real platform registry and its store file in
// a temporary configuration folder; what was written is checked after the
// store has been reloaded from the file.

#include "editor/settings/EdtRegistry.h"
#include "tests/support/platform/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace {

const std::u16string kKey = u"Software\\ORNA\\Strandwork\\EdtLib";

class Registry : public ::testing::Test
{
protected:
    void SetUp() override { sys::RegistryStore::Reset(); }
    void TearDown() override { sys::RegistryStore::Reset(); }
    // Drops the store in memory and reads it back from its file.
    static void Reload()
    {
        sys::RegistryStore::Reset();
        ASSERT_TRUE(sys::RegistryStore::Load());
    }
    testsupport::ScopedConfigHome home;
};

TEST_F(Registry, NumbersAndTypes)
{
    ASSERT_TRUE(EdtReg::SaveNumber(HKEY_CURRENT_USER, kKey, u"Number", uint32_t(-1)));
    ASSERT_TRUE(EdtReg::SaveString(HKEY_CURRENT_USER, kKey, u"Text", u"12"));
    Reload();
    uint32_t n = 7;
    ASSERT_TRUE(EdtReg::LoadNumber(HKEY_CURRENT_USER, kKey, u"Number", n));
    EXPECT_EQ(n, 0xFFFFFFFFu);
    n = 7;
    EXPECT_FALSE(EdtReg::LoadNumber(HKEY_CURRENT_USER, kKey, u"Text", n)); // a REG_SZ
    EXPECT_EQ(n, 7u);
    EXPECT_FALSE(EdtReg::LoadNumber(HKEY_CURRENT_USER, kKey, u"Missing", n));
    EXPECT_FALSE(EdtReg::LoadNumber(HKEY_CURRENT_USER, kKey + u"\\Nope", u"Number", n));
    EXPECT_EQ(n, 7u);
    // Names are compared without regard to letter case.
    ASSERT_TRUE(EdtReg::LoadNumber(HKEY_CURRENT_USER, u"software\\orna\\STRANDWORK\\edtlib",
                                   u"NUMBER", n));
    EXPECT_EQ(n, 0xFFFFFFFFu);
    std::u16string text = u"keep";
    EXPECT_FALSE(EdtReg::LoadString(HKEY_CURRENT_USER, kKey, u"Number", text));
    EXPECT_EQ(text, u"keep");

    EdtRegValue v;
    ASSERT_TRUE(EdtReg::LoadValue(HKEY_CURRENT_USER, kKey, u"Number", v));
    EXPECT_EQ(v.type, REG_DWORD);
    EXPECT_EQ(v.data, std::vector<uint8_t>({0xFF, 0xFF, 0xFF, 0xFF}));
    ASSERT_TRUE(EdtReg::LoadValue(HKEY_CURRENT_USER, kKey, u"Text", v));
    EXPECT_EQ(v.type, REG_SZ);
    EXPECT_EQ(v.data, std::vector<uint8_t>({'1', 0, '2', 0, 0, 0}));
}

TEST_F(Registry, BinaryBufferSizes)
{
    uint8_t data[92];
    for (int i = 0; i < 92; ++i)
        data[i] = uint8_t(i * 3);
    ASSERT_TRUE(EdtReg::SaveBinary(HKEY_CURRENT_USER, kKey, u"Margins", data, sizeof data));
    Reload();
    uint8_t exact[92] = {};
    uint32_t size = sizeof exact;
    ASSERT_TRUE(EdtReg::LoadBinary(HKEY_CURRENT_USER, kKey, u"Margins", exact, size));
    EXPECT_EQ(size, 92u);
    EXPECT_EQ(std::memcmp(exact, data, 92), 0);
    uint8_t small[91];
    std::memset(small, 0xAB, sizeof small);
    size = sizeof small;
    EXPECT_FALSE(EdtReg::LoadBinary(HKEY_CURRENT_USER, kKey, u"Margins", small, size));
    EXPECT_EQ(size, 91u);
    EXPECT_EQ(small[0], 0xAB);
    std::vector<uint8_t> all;
    ASSERT_TRUE(EdtReg::LoadBinary(HKEY_CURRENT_USER, kKey, u"Margins", all));
    EXPECT_EQ(all.size(), 92u);
}

TEST_F(Registry, StringsAndLists)
{
    const std::u16string text = u"Příliš žluťoučký kůň \"úpěl\" \\ ďábelské ódy;\r\n=end";
    ASSERT_TRUE(EdtReg::SaveString(HKEY_CURRENT_USER, kKey, u"Text", text));
    ASSERT_TRUE(EdtReg::SaveString(HKEY_CURRENT_USER, kKey, u"Empty", u""));
    const std::vector<std::u16string> list{u"one", u"dva tři", u"č"};
    ASSERT_TRUE(EdtReg::SaveStringList(HKEY_CURRENT_USER, kKey, u"List", list));
    EXPECT_FALSE(EdtReg::SaveStringList(HKEY_CURRENT_USER, kKey, u"Bad", {u"a", u"", u"b"}));
    Reload();
    std::u16string back;
    ASSERT_TRUE(EdtReg::LoadString(HKEY_CURRENT_USER, kKey, u"Text", back));
    EXPECT_EQ(back, text);
    ASSERT_TRUE(EdtReg::LoadString(HKEY_CURRENT_USER, kKey, u"Empty", back));
    EXPECT_EQ(back, u"");
    std::vector<std::u16string> listBack;
    ASSERT_TRUE(EdtReg::LoadStringList(HKEY_CURRENT_USER, kKey, u"List", listBack));
    EXPECT_EQ(listBack, list);
    ASSERT_TRUE(EdtReg::LoadString(HKEY_CURRENT_USER, kKey, u"List", back)); // first entry
    EXPECT_EQ(back, u"one");
    EXPECT_FALSE(EdtReg::LoadStringList(HKEY_CURRENT_USER, kKey, u"Text", listBack));
    EdtRegValue v;
    EXPECT_FALSE(EdtReg::LoadValue(HKEY_CURRENT_USER, kKey, u"Bad", v));
}

TEST_F(Registry, StringWithoutItsNul)
{
    // Written raw, without the terminating NUL and with an odd byte: read
    // by length, never past the data.
    HKEY key = nullptr;
    ASSERT_EQ(sys::RegCreateKeyEx(HKEY_CURRENT_USER, kKey, KEY_WRITE, &key), sys::ERROR_SUCCESS);
    const uint8_t raw[] = {'a', 0, 'b', 0, 'c'};
    ASSERT_EQ(sys::RegSetValueEx(key, u"Raw", REG_SZ, raw, sizeof raw), sys::ERROR_SUCCESS);
    sys::RegCloseKey(key);
    std::u16string back;
    ASSERT_TRUE(EdtReg::LoadString(HKEY_CURRENT_USER, kKey, u"Raw", back));
    EXPECT_EQ(back, u"ab");
}

TEST_F(Registry, DeleteTreeAndValues)
{
    ASSERT_TRUE(EdtReg::SaveNumber(HKEY_CURRENT_USER, kKey + u"\\A\\B\\C", u"x", 1));
    ASSERT_TRUE(EdtReg::SaveNumber(HKEY_CURRENT_USER, kKey + u"\\A\\B2", u"y", 2));
    ASSERT_TRUE(EdtReg::SaveNumber(HKEY_CURRENT_USER, kKey + u"\\A", u"z", 3));
    ASSERT_TRUE(EdtReg::SaveNumber(HKEY_CURRENT_USER, kKey, u"keep", 4));
    uint32_t subkeys = 0, values = 0;
    ASSERT_TRUE(EdtReg::QueryCounts(HKEY_CURRENT_USER, kKey + u"\\A", subkeys, values));
    EXPECT_EQ(subkeys, 2u);
    EXPECT_EQ(values, 1u);

    EXPECT_TRUE(EdtReg::Delete(HKEY_CURRENT_USER, kKey + u"\\a"));
    Reload();
    uint32_t n = 0;
    EXPECT_FALSE(EdtReg::LoadNumber(HKEY_CURRENT_USER, kKey + u"\\A\\B\\C", u"x", n));
    EXPECT_FALSE(EdtReg::QueryCounts(HKEY_CURRENT_USER, kKey + u"\\A", subkeys, values));
    ASSERT_TRUE(EdtReg::QueryCounts(HKEY_CURRENT_USER, kKey, subkeys, values));
    EXPECT_EQ(subkeys, 0u);
    EXPECT_EQ(values, 1u);
    EXPECT_FALSE(EdtReg::Delete(HKEY_CURRENT_USER, kKey + u"\\A")); // gone already

    EXPECT_TRUE(EdtReg::Delete(HKEY_CURRENT_USER, kKey, u"KEEP"));
    EXPECT_FALSE(EdtReg::Delete(HKEY_CURRENT_USER, kKey, u"keep"));
    Reload();
    EXPECT_FALSE(EdtReg::LoadNumber(HKEY_CURRENT_USER, kKey, u"keep", n));
}

TEST_F(Registry, RootIsNeverDeletedAsAWhole)
{
    ASSERT_TRUE(EdtReg::SaveNumber(HKEY_CURRENT_USER, kKey, u"x", 1));
    EXPECT_FALSE(EdtReg::Delete(HKEY_CURRENT_USER, u""));
    EXPECT_FALSE(EdtReg::Delete(HKEY_CURRENT_USER, u"\\"));
    Reload();
    uint32_t n = 0;
    EXPECT_TRUE(EdtReg::LoadNumber(HKEY_CURRENT_USER, kKey, u"x", n));
}

TEST_F(Registry, OtherRootsAnswerFalse)
{
    const HKEY other = reinterpret_cast<HKEY>(uintptr_t(0x80000002));
    uint32_t n = 0;
    EXPECT_FALSE(EdtReg::SaveNumber(other, kKey, u"x", 1));
    EXPECT_FALSE(EdtReg::LoadNumber(other, kKey, u"x", n));
    EXPECT_FALSE(EdtReg::Delete(other, kKey));
    CRegistryKey key;
    EXPECT_FALSE(key.Open(other, kKey));
    EXPECT_FALSE(key.IsOpen());
}

TEST_F(Registry, KeyAccessIsChecked)
{
    ASSERT_TRUE(EdtReg::SaveString(HKEY_CURRENT_USER, kKey, u"Text", u"abc"));
    CRegistryKey reader;
    ASSERT_TRUE(reader.Open(HKEY_CURRENT_USER, kKey)); // KEY_READ
    EXPECT_FALSE(reader.SaveNumber(u"x", 1));
    EXPECT_FALSE(reader.SaveString(u"Sub", u"x", u"v")); // would create a subkey
    std::u16string text;
    EXPECT_TRUE(reader.LoadString(u"Text", text));
    EXPECT_EQ(text, u"abc");
    reader.Close();
    EXPECT_FALSE(reader.LoadString(u"Text", text)); // closed

    CRegistryKey writer;
    ASSERT_TRUE(writer.Create(HKEY_CURRENT_USER, kKey));
    EXPECT_TRUE(writer.SaveNumber(u"x", 5));
    text = u"keep";
    EXPECT_FALSE(writer.LoadString(u"Text", text)); // KEY_WRITE cannot read
    EXPECT_EQ(text, u"keep");
    uint32_t s = 9, v = 9;
    EXPECT_FALSE(writer.QueryCounts(s, v));
    EXPECT_EQ(s, 9u);
    writer.Close(); // flushes
    Reload();
    uint32_t n = 0;
    ASSERT_TRUE(EdtReg::LoadNumber(HKEY_CURRENT_USER, kKey, u"x", n));
    EXPECT_EQ(n, 5u);

    CRegistryKey all;
    ASSERT_TRUE(all.Open(HKEY_CURRENT_USER, kKey, KEY_ALL_ACCESS));
    EXPECT_TRUE(all.SaveNumber(u"Sub\\Deeper", u"y", 6)); // creates the subkeys
    EXPECT_TRUE(all.LoadNumber(u"Sub\\Deeper", u"y", n));
    EXPECT_EQ(n, 6u);
    EXPECT_FALSE(all.LoadNumber(u"Missing", u"y", n));
    ASSERT_TRUE(all.QueryCounts(s, v));
    EXPECT_EQ(s, 1u);
    EXPECT_EQ(v, 2u);
}

TEST_F(Registry, ValueEnumeration)
{
    {
        CRegistryKey key;
        ASSERT_TRUE(key.Create(HKEY_CURRENT_USER, kKey + u"\\Expand"));
        EXPECT_TRUE(key.SaveString(u"if", u"if () {\r\n}"));
        EXPECT_TRUE(key.SaveNumber(u"count", 3));
        EXPECT_TRUE(key.SaveString(u"for", u"for (;;)"));
        uint8_t b[2] = {1, 2};
        EXPECT_TRUE(key.SaveBinary(u"bin", b, 2));
    } // the destructor closes and flushes
    Reload();
    CRegistryKey key;
    ASSERT_TRUE(key.Open(HKEY_CURRENT_USER, kKey + u"\\Expand"));
    std::u16string name, text;
    uint32_t type = 0;
    std::vector<std::pair<std::u16string, std::u16string>> seen;
    for (bool ok = key.EnumFirstValue(name, &type, &text); ok;
         ok = key.EnumNextValue(name, &type, &text)) {
        seen.emplace_back(name, text);
        EXPECT_EQ(type, name == u"count" ? REG_DWORD : name == u"bin" ? REG_BINARY : REG_SZ);
    }
    const std::u16string firstName = seen.empty() ? u"" : seen[0].first;
    ASSERT_EQ(seen.size(), 4u);
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(seen[0], std::make_pair(std::u16string(u"bin"), std::u16string()));
    EXPECT_EQ(seen[1], std::make_pair(std::u16string(u"count"), std::u16string()));
    EXPECT_EQ(seen[2], std::make_pair(std::u16string(u"for"), std::u16string(u"for (;;)")));
    EXPECT_EQ(seen[3], std::make_pair(std::u16string(u"if"), std::u16string(u"if () {\r\n}")));
    // Starting again gives the first one again.
    ASSERT_TRUE(key.EnumFirstValue(name));
    EXPECT_EQ(name, firstName);
    name = u"keep";
    while (key.EnumNextValue(name)) {
    }
    EXPECT_FALSE(key.EnumNextValue(name));
}

TEST(RegValue, Records)
{
    EdtRegValue v = MakeRegString(u"ab");
    EXPECT_EQ(v.type, REG_SZ);
    EXPECT_EQ(v.data.size(), 6u);
    uint32_t n = 0;
    EXPECT_FALSE(GetRegNumber(v, n));
    v.type = REG_EXPAND_SZ;
    std::u16string s;
    EXPECT_TRUE(GetRegString(v, s));
    EXPECT_EQ(s, u"ab");
    v.type = REG_LINK;
    EXPECT_TRUE(GetRegString(v, s));
    EXPECT_FALSE(GetRegBinary(v, v.data));
    EdtRegValue list;
    EXPECT_TRUE(MakeRegStringList({}, list));
    EXPECT_EQ(list.data.size(), 2u);
    std::vector<std::u16string> out{u"x"};
    EXPECT_TRUE(GetRegStringList(list, out));
    EXPECT_TRUE(out.empty());
    EXPECT_FALSE(MakeRegStringList({u""}, list));
    EdtRegValue bin = MakeRegBinary(nullptr, 0);
    uint32_t size = 0;
    EXPECT_TRUE(GetRegBinary(bin, nullptr, size));
    EXPECT_EQ(size, 0u);
    EdtRegValue num = MakeRegNumber(0x01020304);
    EXPECT_EQ(num.data, std::vector<uint8_t>({4, 3, 2, 1}));
    num.data.pop_back();
    EXPECT_FALSE(GetRegNumber(num, n)); // a short DWORD
}

} // namespace
