#include "platform/sys/Registry.h"
#include "tests/support/platform/TempDir.h"
#include "tests/support/platform/Wait.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <fcntl.h>
#include <functional>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace sys;
namespace fs = std::filesystem;

namespace {

std::string ReadFile(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

void WriteFile(const std::string& path, const std::string& bytes)
{
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f << bytes;
}

std::string Fixture(const std::string& name)
{
    const char* dir = std::getenv("SW_FIXTURES");
    return std::string(dir ? dir : "tests/fixtures") + "/registry/" + name;
}

// UTF-16LE bytes of an ASCII text, for looking into written files.
std::string Wide(std::string_view ascii)
{
    std::string out;
    for (char c : ascii) {
        out.push_back(c);
        out.push_back('\0');
    }
    return out;
}

std::vector<uint8_t> Bytes(std::u16string_view s)
{
    std::vector<uint8_t> out;
    for (char16_t c : s) {
        out.push_back(static_cast<uint8_t>(c & 0xFF));
        out.push_back(static_cast<uint8_t>(c >> 8));
    }
    return out;
}

std::vector<std::string> FilesIn(const std::string& dir)
{
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A key handle closed at the end of the scope.
struct Key
{
    HKEY h = nullptr;
    ~Key()
    {
        if (h)
            RegCloseKey(h);
    }
};

class Registry : public ::testing::Test
{
protected:
    void SetUp() override { RegistryStore::Reset(); }
    void TearDown() override { RegistryStore::Reset(); }

    std::string Folder() const { return home.Path() + "/ORNA"; }
    std::string File() const { return RegistryStore::FilePath(); }

    testsupport::ScopedConfigHome home;
};

TEST_F(Registry, FileLivesUnderTheConfigHome)
{
    EXPECT_EQ(File(), home.Path() + "/ORNA/Strandwork.reg");
    EXPECT_TRUE(Profile::WriteString(u"Options", u"Language", u"CSY"));
    EXPECT_TRUE(RegistryStore::Flush());
    EXPECT_TRUE(fs::exists(File()));
    EXPECT_EQ(Profile::AppKeyPath(), u"Software\\ORNA\\Strandwork");
}

TEST_F(Registry, NamesAreFoundInAnyCaseAndKeepTheirCreationCase)
{
    Key k;
    bool created = false;
    ASSERT_EQ(
        RegCreateKeyEx(HKEY_CURRENT_USER, u"Software\\ORNA\\x", KEY_ALL_ACCESS, &k.h, &created),
        ERROR_SUCCESS);
    EXPECT_TRUE(created);
    EXPECT_EQ(RegSetString(k.h, u"Žluťoučký", u"kůň"), ERROR_SUCCESS);

    Key o;
    ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, u"SOFTWARE\\orna\\X", KEY_READ, &o.h), ERROR_SUCCESS);
    std::u16string value;
    EXPECT_TRUE(RegGetString(o.h, u"ŽLUŤOUČKÝ", value));
    EXPECT_EQ(value, u"kůň");

    // Setting it again under another case keeps the first name.
    EXPECT_EQ(RegSetString(k.h, u"žluťoučký", u"kun"), ERROR_SUCCESS);
    std::u16string name;
    ASSERT_EQ(RegEnumValue(o.h, 0, name), ERROR_SUCCESS);
    EXPECT_EQ(name, u"Žluťoučký");
    EXPECT_EQ(RegEnumValue(o.h, 1, name), ERROR_NO_MORE_ITEMS);

    Key again;
    ASSERT_EQ(
        RegCreateKeyEx(HKEY_CURRENT_USER, u"software\\Orna\\X", KEY_ALL_ACCESS, &again.h, &created),
        ERROR_SUCCESS);
    EXPECT_FALSE(created);
    Key orna;
    ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, u"Software\\ORNA", KEY_READ, &orna.h), ERROR_SUCCESS);
    ASSERT_EQ(RegEnumKeyEx(orna.h, 0, name), ERROR_SUCCESS);
    EXPECT_EQ(name, u"x");

    // Latin-1 and Latin Extended-A letters fold; different letters do not.
    EXPECT_EQ(RegSetDword(k.h, u"ÀÉÎÕÜŘŠŇĹŸ", 1), ERROR_SUCCESS);
    uint32_t d = 0;
    EXPECT_TRUE(RegGetDword(k.h, u"àéîõüřšňĺÿ", d));
    EXPECT_FALSE(RegGetDword(k.h, u"àéîõüřšňĺy", d));
}

TEST_F(Registry, DeletingAKeyRemovesItsSubtree)
{
    Key c, b;
    ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, u"T\\a\\b\\c", KEY_ALL_ACCESS, &c.h),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetDword(c.h, u"v", 7), ERROR_SUCCESS);
    ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, u"T\\a\\b", KEY_ALL_ACCESS, &b.h), ERROR_SUCCESS);
    Key sibling;
    ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, u"T\\keep", KEY_ALL_ACCESS, &sibling.h),
              ERROR_SUCCESS);

    EXPECT_EQ(RegDeleteTree(HKEY_CURRENT_USER, u"t\\A"), ERROR_SUCCESS);
    Key gone;
    EXPECT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, u"T\\a\\b\\c", KEY_READ, &gone.h),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, u"T\\a", KEY_READ, &gone.h), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegSetDword(b.h, u"x", 1), ERROR_KEY_DELETED);
    uint32_t d;
    EXPECT_FALSE(RegGetDword(c.h, u"v", d));
    EXPECT_EQ(RegDeleteTree(HKEY_CURRENT_USER, u"T\\a"), ERROR_FILE_NOT_FOUND);

    // The rest stays, and recreating the path gives a new, empty key.
    uint32_t subKeys = 0, values = 0;
    Key t;
    ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, u"T", KEY_READ, &t.h), ERROR_SUCCESS);
    ASSERT_EQ(RegQueryInfoKey(t.h, &subKeys, &values), ERROR_SUCCESS);
    EXPECT_EQ(subKeys, 1u);
    Key fresh;
    ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, u"T\\a\\b\\c", KEY_ALL_ACCESS, &fresh.h),
              ERROR_SUCCESS);
    ASSERT_EQ(RegQueryInfoKey(fresh.h, &subKeys, &values), ERROR_SUCCESS);
    EXPECT_EQ(values, 0u);
    EXPECT_EQ(RegSetDword(c.h, u"v", 1), ERROR_KEY_DELETED);

    // An empty subkey name empties the key itself, which stays.
    Key top;
    ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, u"T", KEY_ALL_ACCESS, &top.h), ERROR_SUCCESS);
    ASSERT_EQ(RegSetDword(top.h, u"v", 1), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteTree(top.h, u""), ERROR_SUCCESS);
    ASSERT_EQ(RegQueryInfoKey(top.h, &subKeys, &values), ERROR_SUCCESS);
    EXPECT_EQ(subKeys, 0u);
    EXPECT_EQ(values, 0u);
    EXPECT_EQ(RegSetDword(sibling.h, u"v", 1), ERROR_KEY_DELETED);
}

TEST_F(Registry, HandlesAreCheckedAndCounted)
{
    Key a;
    ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, u"H", KEY_ALL_ACCESS, &a.h), ERROR_SUCCESS);
    HKEY second = nullptr;
    ASSERT_EQ(RegOpenKeyEx(a.h, u"", KEY_ALL_ACCESS, &second), ERROR_SUCCESS);
    EXPECT_NE(second, a.h);
    EXPECT_EQ(RegCloseKey(second), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(second), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegSetDword(second, u"x", 1), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegSetDword(a.h, u"x", 1), ERROR_SUCCESS); // the other handle still works
    EXPECT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, u"H", KEY_READ, nullptr), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegCloseKey(HKEY_CURRENT_USER), ERROR_SUCCESS);

    // A reload leaves old handles pointing at deleted keys.
    RegistryStore::Reset();
    EXPECT_EQ(RegSetDword(a.h, u"x", 1), ERROR_KEY_DELETED);
    EXPECT_EQ(RegCloseKey(a.h), ERROR_SUCCESS);
    a.h = nullptr;
}

TEST_F(Registry, AKeyOpenedForReadingRefusesWrites)
{
    Key w;
    ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, u"R\\sub", KEY_WRITE, &w.h), ERROR_SUCCESS);
    ASSERT_EQ(RegSetString(w.h, u"s", u"one"), ERROR_SUCCESS);
    uint32_t type;
    EXPECT_EQ(RegQueryValueEx(w.h, u"s", &type, nullptr, nullptr), ERROR_ACCESS_DENIED);

    Key r, top;
    ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, u"R\\sub", KEY_READ, &r.h), ERROR_SUCCESS);
    EXPECT_EQ(RegSetString(r.h, u"s", u"two"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegSetString(r.h, u"new", u"two"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteValue(r.h, u"s"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteTree(r.h, u""), ERROR_ACCESS_DENIED);
    ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, u"R", KEY_READ, &top.h), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteTree(top.h, u"sub"), ERROR_ACCESS_DENIED);
    Key sub;
    EXPECT_EQ(RegCreateKeyEx(top.h, u"other", KEY_ALL_ACCESS, &sub.h), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegCreateKeyEx(top.h, u"SUB", KEY_ALL_ACCESS, &sub.h), ERROR_SUCCESS);
    std::u16string s;
    EXPECT_TRUE(RegGetString(r.h, u"s", s));
    EXPECT_EQ(s, u"one");
}

TEST_F(Registry, EnumerationFollowsCreationOrder)
{
    Key k;
    ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, u"E", KEY_ALL_ACCESS, &k.h), ERROR_SUCCESS);
    for (auto name : {u"b", u"a", u"C"}) {
        Key sub;
        ASSERT_EQ(RegCreateKeyEx(k.h, name, KEY_ALL_ACCESS, &sub.h), ERROR_SUCCESS);
    }
    for (auto name : {u"z", u"y", u"x"})
        ASSERT_EQ(RegSetDword(k.h, name, 1), ERROR_SUCCESS);
    ASSERT_EQ(RegDeleteValue(k.h, u"Y"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValue(k.h, u"y"), ERROR_FILE_NOT_FOUND);
    ASSERT_EQ(RegSetDword(k.h, u"y", 2), ERROR_SUCCESS);
    ASSERT_EQ(RegSetDword(k.h, u"Z", 3), ERROR_SUCCESS); // keeps its place

    auto keys = [&] {
        std::vector<std::u16string> out;
        std::u16string n;
        for (uint32_t i = 0; RegEnumKeyEx(k.h, i, n) == ERROR_SUCCESS; ++i)
            out.push_back(n);
        return out;
    };
    auto values = [&] {
        std::vector<std::u16string> out;
        std::u16string n;
        for (uint32_t i = 0; RegEnumValue(k.h, i, n) == ERROR_SUCCESS; ++i)
            out.push_back(n);
        return out;
    };
    EXPECT_EQ(keys(), (std::vector<std::u16string>{u"b", u"a", u"C"}));
    EXPECT_EQ(values(), (std::vector<std::u16string>{u"z", u"x", u"y"}));
    uint32_t nk = 0, nv = 0;
    ASSERT_EQ(RegQueryInfoKey(k.h, &nk, &nv), ERROR_SUCCESS);
    EXPECT_EQ(nk, 3u);
    EXPECT_EQ(nv, 3u);

    // The order survives the file.
    ASSERT_TRUE(RegistryStore::Flush());
    ASSERT_TRUE(RegistryStore::Load());
    RegCloseKey(k.h);
    ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, u"E", KEY_READ, &k.h), ERROR_SUCCESS);
    EXPECT_EQ(keys(), (std::vector<std::u16string>{u"b", u"a", u"C"}));
    EXPECT_EQ(values(), (std::vector<std::u16string>{u"z", u"x", u"y"}));
}

TEST_F(Registry, ValuesOfEveryTypeSurviveTheFile)
{
    Key k;
    ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, u"Types", KEY_ALL_ACCESS, &k.h), ERROR_SUCCESS);
    auto multi = Bytes(std::u16string(u"první\0druhý\0\0", 13));
    uint64_t q = 0x0102030405060708ull;
    auto expand = Bytes(std::u16string(u"%HOME%\\x\0", 9));
    std::vector<uint8_t> odd = {1, 2, 3}; // a REG_SZ without terminator
    ASSERT_EQ(RegSetValueEx(k.h, u"Multi", REG_MULTI_SZ, multi.data(), multi.size()), 0);
    ASSERT_EQ(RegSetValueEx(k.h, u"Q", REG_QWORD, &q, 8), 0);
    ASSERT_EQ(RegSetValueEx(k.h, u"Exp", REG_EXPAND_SZ, expand.data(), expand.size()), 0);
    ASSERT_EQ(RegSetValueEx(k.h, u"Odd", REG_SZ, odd.data(), odd.size()), 0);
    ASSERT_EQ(RegSetValueEx(k.h, u"", REG_SZ, u"d\r\n", 8), 0); // line break + terminator
    ASSERT_EQ(RegSetValueEx(k.h, u"None", REG_NONE, nullptr, 0), 0);
    ASSERT_EQ(RegFlushKey(k.h), ERROR_SUCCESS);

    std::string file = ReadFile(File());
    EXPECT_EQ(file.substr(0, 2), "\xFF\xFE");
    EXPECT_NE(file.find(Wide("\"Multi\"=hex(7):70,00,72,00,76,00,6e,00,ed,00,00,00")),
              std::string::npos);
    EXPECT_NE(file.find(Wide("\"Q\"=hex(b):08,07,06,05,04,03,02,01\r\n")), std::string::npos);
    EXPECT_NE(file.find(Wide("@=hex(1):64,00,0d,00,0a,00,00,00\r\n")), std::string::npos);

    RegCloseKey(k.h);
    ASSERT_TRUE(RegistryStore::Load());
    ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, u"types", KEY_READ, &k.h), ERROR_SUCCESS);
    auto check = [&](std::u16string_view name, uint32_t wantType, std::vector<uint8_t> want) {
        uint32_t type = 99;
        std::vector<uint8_t> data;
        EXPECT_TRUE(RegGetBinary(k.h, name, data));
        uint32_t size = 0;
        EXPECT_EQ(RegQueryValueEx(k.h, name, &type, nullptr, &size), ERROR_SUCCESS);
        EXPECT_EQ(type, wantType);
        EXPECT_EQ(data, want);
    };
    check(u"Multi", REG_MULTI_SZ, multi);
    check(u"Q", REG_QWORD, {8, 7, 6, 5, 4, 3, 2, 1});
    check(u"Exp", REG_EXPAND_SZ, expand);
    check(u"Odd", REG_SZ, odd);
    check(u"", REG_SZ, Bytes(std::u16string(u"d\r\n\0", 4)));
    check(u"None", REG_NONE, {});
}

TEST_F(Registry, QueryFollowsTheBufferRules)
{
    Key k;
    ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, u"Q", KEY_ALL_ACCESS, &k.h), ERROR_SUCCESS);
    ASSERT_EQ(RegSetString(k.h, u"s", u"abc"), ERROR_SUCCESS);
    uint32_t type = 0, size = 0;
    ASSERT_EQ(RegQueryValueEx(k.h, u"s", &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, 8u);
    char16_t buf[4] = {};
    size = 4;
    EXPECT_EQ(RegQueryValueEx(k.h, u"s", nullptr, buf, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 8u);
    EXPECT_EQ(RegQueryValueEx(k.h, u"s", nullptr, buf, nullptr), ERROR_INVALID_PARAMETER);
    ASSERT_EQ(RegQueryValueEx(k.h, u"s", nullptr, buf, &size), ERROR_SUCCESS);
    EXPECT_EQ(std::u16string(buf), u"abc");
    EXPECT_EQ(RegQueryValueEx(k.h, u"missing", nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);

    // Names the file cannot hold are refused.
    EXPECT_EQ(RegSetDword(k.h, u"a\nb", 1), ERROR_INVALID_PARAMETER);
    Key bad;
    EXPECT_EQ(RegCreateKeyEx(k.h, std::u16string(256, u'k'), KEY_ALL_ACCESS, &bad.h),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegSetValueEx(k.h, u"n", REG_BINARY, nullptr, 3), ERROR_INVALID_PARAMETER);
}

TEST_F(Registry, TheFixtureLoadsAndSavesByteIdentically)
{
    std::string original = ReadFile(Fixture("all-types.reg"));
    ASSERT_FALSE(original.empty());
    WriteFile(File(), original);

    // Loaded lazily on first use.
    EXPECT_EQ(Profile::GetString(u"Options", u"Quoted"),
              u"say \"ahoj\" \\ and \\\\server\\share \"");
    EXPECT_EQ(Profile::GetString(u"Options", u"Empty", u"default"), u"");
    EXPECT_EQ(Profile::GetString(u"", u""), u"Výchozí hodnota");
    EXPECT_EQ(Profile::GetString(u"options", u"PŘÍLIŠ ŽLUŤOUČKÝ KŮŇ"), u"úpěl ďábelské ódy");
    EXPECT_EQ(Profile::GetInt(u"Options", u"Count", 0), 42);
    EXPECT_EQ(Profile::GetInt(u"Options", u"AllBits", 0), -1);
    EXPECT_EQ(Profile::GetInt(u"Case", u"MODE", 0), 1);
    EXPECT_EQ(Profile::GetInt(u"case\\mode", u"Mode", 0), 2);
    std::vector<uint8_t> blob;
    ASSERT_TRUE(Profile::GetBinary(u"Options", u"Blob", blob));
    ASSERT_EQ(blob.size(), 300u);
    EXPECT_EQ(blob[299], static_cast<uint8_t>((299 * 7 + 3) & 0xFF));

    std::string copy = home.Path() + "/copy.reg";
    ASSERT_TRUE(RegistryStore::SaveTo(copy));
    EXPECT_TRUE(ReadFile(copy) == original) << "the saved file differs from the fixture";

    // A change and its undoing leave the file as it was.
    ASSERT_TRUE(Profile::WriteInt(u"Options", u"Count", 43));
    ASSERT_TRUE(Profile::WriteInt(u"Options", u"Count", 42));
    ASSERT_TRUE(RegistryStore::Flush());
    EXPECT_TRUE(ReadFile(File()) == original);
}

TEST_F(Registry, AFileWrittenByTheStoreLoadsAndSavesByteIdentically)
{
    ASSERT_TRUE(Profile::WriteString(u"Options", u"PathTarvane", u"C:\\Tarvane\\"));
    ASSERT_TRUE(Profile::WriteInt(u"AppWindow", u"Left", -20));
    std::vector<uint8_t> big(1000);
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<uint8_t>(i);
    ASSERT_TRUE(Profile::WriteBinary(u"KVTWorkspace\\Bar-Summary", u"Data", big.data(), 1000));
    Key k;
    ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, u"Software\\ORNA\\Strandwork\\Empty",
                             KEY_ALL_ACCESS, &k.h),
              ERROR_SUCCESS);
    ASSERT_TRUE(RegistryStore::Flush());
    std::string first = ReadFile(File());
    ASSERT_TRUE(RegistryStore::Load());
    std::string again = home.Path() + "/again.reg";
    ASSERT_TRUE(RegistryStore::SaveTo(again));
    EXPECT_TRUE(ReadFile(again) == first);
    EXPECT_NE(first.find(Wide("[HKEY_CURRENT_USER\\Software\\ORNA\\Strandwork\\Empty]\r\n\r\n")),
              std::string::npos);
    std::vector<uint8_t> back;
    ASSERT_TRUE(Profile::GetBinary(u"KVTWorkspace\\Bar-Summary", u"Data", back));
    EXPECT_EQ(back, big);
}

TEST_F(Registry, AHandWrittenUtf8FileIsAccepted)
{
    WriteFile(File(), "Windows Registry Editor Version 5.00\n"
                      "\n"
                      "; written by hand\n"
                      "[HKCU\\Software\\ORNA\\Strandwork\\Options]\n"
                      "\"Language\" = \"ENU\"\n"
                      "\"Šířka\"=dword:0000FF\n"
                      "\"Raw\"=hex:01, 02,\\\n"
                      "    03\n"
                      "\"Path\"=\"C:\\Tasm\\Bin\"\n" // single backslashes stay
                      "\"Gone\"=\"x\"\n"
                      "\"Gone\"=-\n"
                      "[-HKEY_CURRENT_USER\\Software\\ORNA\\Old]\n"
                      "[HKEY_CURRENT_USER\\Software\\ORNA\\Strandwork\\Options]\n"
                      "\"Second\"=\"merged\"\n");
    EXPECT_EQ(Profile::GetString(u"Options", u"Language"), u"ENU");
    EXPECT_EQ(Profile::GetInt(u"Options", u"šířka", 0), 255);
    EXPECT_EQ(Profile::GetString(u"Options", u"Path"), u"C:\\Tasm\\Bin");
    EXPECT_EQ(Profile::GetString(u"Options", u"Gone", u"none"), u"none");
    EXPECT_EQ(Profile::GetString(u"Options", u"Second"), u"merged");
    std::vector<uint8_t> raw;
    ASSERT_TRUE(Profile::GetBinary(u"Options", u"Raw", raw));
    EXPECT_EQ(raw, (std::vector<uint8_t>{1, 2, 3}));

    // Saved back in the export's own form.
    ASSERT_TRUE(Profile::WriteInt(u"Options", u"Count", 1));
    ASSERT_TRUE(RegistryStore::Flush());
    std::string file = ReadFile(File());
    EXPECT_EQ(file.substr(0, 2), "\xFF\xFE");
    EXPECT_NE(file.find(Wide("\"Raw\"=hex:01,02,03\r\n")), std::string::npos);
    EXPECT_NE(file.find(Wide("\"Path\"=\"C:\\\\Tasm\\\\Bin\"\r\n")), std::string::npos);
}

TEST_F(Registry, ACorruptFileIsKeptAndTheStoreStartsEmpty)
{
    const std::vector<std::string> bad = {
        "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\a]\r\n",
        "Windows Registry Editor Version 5.00\n\"v\"=\"before any key\"\n",
        "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\a]\n",
        "Windows Registry Editor Version 5.00\n[HKCU\\a]\n\"v\"=\"unterminated\n",
        "Windows Registry Editor Version 5.00\n[HKCU\\a]\n\"v\"=hex:01,zz\n",
        "Windows Registry Editor Version 5.00\n[HKCU\\a]\n\"v\"=hex:01,\\\n",
        "Windows Registry Editor Version 5.00\n[HKCU\\a]\n\"v\"=dword:123456789\n",
        "Windows Registry Editor Version 5.00\n[HKCU\\a]\n\"v\"=word:1\n",
        "Windows Registry Editor Version 5.00\n[HKCU\\a\n",
        "Windows Registry Editor Version 5.00\n[HKCU\\a]\n\"v\"=\"\xC3\x28\"\n",
        std::string("\xFF\xFE\x57\x00\x69", 5),
        std::string("\x00\x01\x02garbage", 10),
    };
    for (size_t i = 0; i < bad.size(); ++i) {
        SCOPED_TRACE("case " + std::to_string(i));
        fs::remove_all(Folder());
        WriteFile(File(), bad[i]);
        testing::internal::CaptureStderr();
        EXPECT_FALSE(RegistryStore::Load());
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_NE(err.find("cannot be parsed"), std::string::npos) << err;
        EXPECT_NE(err.find("Strandwork.reg.bad-"), std::string::npos) << err;

        auto files = FilesIn(Folder());
        ASSERT_EQ(files.size(), 1u);
        EXPECT_EQ(files[0].rfind("Strandwork.reg.bad-", 0), 0u);
        EXPECT_TRUE(ReadFile(Folder() + "/" + files[0]) == bad[i]);
        EXPECT_EQ(Profile::GetInt(u"Options", u"Count", 5), 5);
        uint32_t keys = 9;
        EXPECT_EQ(RegQueryInfoKey(HKEY_CURRENT_USER, &keys, nullptr), ERROR_SUCCESS);
        EXPECT_EQ(keys, 0u);

        // The next save writes a new file beside the kept one.
        ASSERT_TRUE(Profile::WriteInt(u"Options", u"Count", 6));
        ASSERT_TRUE(RegistryStore::Flush());
        EXPECT_EQ(FilesIn(Folder()).size(), 3u); // with the writers' lock file
        EXPECT_TRUE(ReadFile(Folder() + "/" + files[0]) == bad[i]);
    }

    // A second bad file within the same second does not replace the first.
    fs::remove_all(Folder());
    WriteFile(File(), "one");
    testing::internal::CaptureStderr();
    EXPECT_FALSE(RegistryStore::Load());
    WriteFile(File(), "two");
    EXPECT_FALSE(RegistryStore::Load());
    testing::internal::GetCapturedStderr();
    auto files = FilesIn(Folder());
    ASSERT_EQ(files.size(), 2u);
    EXPECT_NE(ReadFile(Folder() + "/" + files[0]), ReadFile(Folder() + "/" + files[1]));
}

TEST_F(Registry, AnUnreadableFileIsNeverWrittenOver)
{
    fs::create_directories(File()); // a folder where the file should be
    testing::internal::CaptureStderr();
    EXPECT_FALSE(RegistryStore::Load());
    ASSERT_TRUE(Profile::WriteInt(u"Options", u"Count", 6));
    EXPECT_FALSE(RegistryStore::Flush());
    EXPECT_FALSE(RegistryStore::SaveTo(File()));
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("cannot be read"), std::string::npos) << err;
    EXPECT_TRUE(fs::is_directory(File()));
}

TEST_F(Registry, FlushWritesAtomicallyAndKeepsPermissionBits)
{
    ASSERT_TRUE(Profile::WriteString(u"Options", u"Language", u"CSY"));
    ASSERT_EQ(RegFlushKey(HKEY_CURRENT_USER), ERROR_SUCCESS);
    ASSERT_EQ(::chmod(File().c_str(), 0640), 0);
    struct stat before;
    ASSERT_EQ(::stat(File().c_str(), &before), 0);
    std::string old = ReadFile(File());
    std::ifstream reader(File(), std::ios::binary); // holds the old file open

    // Nothing changed: nothing written.
    ASSERT_TRUE(RegistryStore::Flush());
    struct stat same;
    ASSERT_EQ(::stat(File().c_str(), &same), 0);
    EXPECT_EQ(same.st_ino, before.st_ino);

    ASSERT_TRUE(Profile::WriteString(u"Options", u"Language", u"ENU"));
    Key k;
    ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, u"Software", KEY_READ, &k.h), ERROR_SUCCESS);
    ASSERT_EQ(RegFlushKey(k.h), ERROR_SUCCESS);
    struct stat after;
    ASSERT_EQ(::stat(File().c_str(), &after), 0);
    EXPECT_NE(after.st_ino, before.st_ino); // replaced by rename, not rewritten in place
    EXPECT_EQ(after.st_mode & 07777, 0640u);
    std::ostringstream seen;
    seen << reader.rdbuf();
    EXPECT_TRUE(seen.str() == old); // a reader of the old file sees it whole
    EXPECT_NE(ReadFile(File()).find(Wide("\"Language\"=\"ENU\"")), std::string::npos);
    // No temporaries; the lock file of the writers stays.
    EXPECT_EQ(FilesIn(Folder()), (std::vector<std::string>{"Strandwork.reg", "Strandwork.reg.lock"}));
}

TEST_F(Registry, ASymbolicLinkToTheFileStaysALink)
{
    testsupport::TempDir elsewhere;
    std::string target = elsewhere / "real.reg";
    WriteFile(target, "Windows Registry Editor Version 5.00\r\n\r\n");
    fs::create_directories(Folder());
    fs::create_symlink(target, File());
    ASSERT_TRUE(Profile::WriteInt(u"Options", u"Count", 3));
    ASSERT_TRUE(RegistryStore::Flush());
    EXPECT_TRUE(fs::is_symlink(File()));
    EXPECT_NE(ReadFile(target).find(Wide("\"Count\"=dword:00000003")), std::string::npos);
    EXPECT_EQ(FilesIn(elsewhere.Path()), std::vector<std::string>{"real.reg"});
}

TEST_F(Registry, ChangesAreSavedAtExit)
{
    EXPECT_EXIT(
        {
            Profile::WriteInt(u"Options", u"Saved", 5);
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(Profile::GetInt(u"Options", u"Saved", 0), 5);
}

TEST_F(Registry, AnEmptyKeyLeftByADeletionIsKept)
{
    WriteFile(File(), ReadFile(Fixture("all-types.reg")));
    Key k;
    ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, Profile::AppKeyPath() + u"\\Case\\MODE\\Deeper",
                           KEY_ALL_ACCESS, &k.h),
              ERROR_SUCCESS);
    ASSERT_EQ(RegDeleteTree(k.h, u"Still"), ERROR_SUCCESS);
    ASSERT_TRUE(RegistryStore::Flush());
    ASSERT_TRUE(RegistryStore::Load());
    Key again;
    EXPECT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, Profile::AppKeyPath() + u"\\Case\\MODE\\Deeper",
                           KEY_READ, &again.h),
              ERROR_SUCCESS);
}

TEST_F(Registry, ProfileCallsActLikeTheFrameworkOnes)
{
    EXPECT_EQ(Profile::GetInt(u"Settings", u"PreviewPages", 3), 3);
    EXPECT_EQ(Profile::GetString(u"Options", u"PathTemplates", u"C:\\T\\"), u"C:\\T\\");
    std::vector<uint8_t> data{9};
    EXPECT_FALSE(Profile::GetBinary(u"Formats", u"Table", data));
    // Reading does not create the section.
    Key none;
    EXPECT_EQ(
        RegOpenKeyEx(HKEY_CURRENT_USER, u"Software\\ORNA\\Strandwork\\Settings", KEY_READ, &none.h),
        ERROR_FILE_NOT_FOUND);

    EXPECT_TRUE(Profile::WriteInt(u"Settings", u"PreviewPages", -2));
    EXPECT_EQ(Profile::GetInt(u"settings", u"previewpages", 3), -2);
    EXPECT_TRUE(Profile::WriteString(u"Recent File List", u"Project1", u"/home/u/p/Lis.kxp"));
    EXPECT_EQ(Profile::GetString(u"Recent File List", u"Project1"), u"/home/u/p/Lis.kxp");
    EXPECT_EQ(Profile::GetInt(u"Recent File List", u"Project1", 7), 7); // not a DWORD
    uint8_t bytes[] = {1, 2, 3};
    EXPECT_TRUE(Profile::WriteBinary(u"Formats", u"Table", bytes, 3));
    EXPECT_TRUE(Profile::GetBinary(u"Formats", u"Table", data));
    EXPECT_EQ(data, (std::vector<uint8_t>{1, 2, 3}));

    Key k;
    ASSERT_EQ(
        RegOpenKeyEx(HKEY_CURRENT_USER, u"Software\\ORNA\\Strandwork\\Settings", KEY_READ, &k.h),
        ERROR_SUCCESS);
    uint32_t type = 0;
    ASSERT_EQ(RegQueryValueEx(k.h, u"PreviewPages", &type, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_DWORD);
}

TEST_F(Registry, CallsFromSeveralThreadsDoNotInterfere)
{
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t] {
            std::u16string section = {u'T', static_cast<char16_t>(u'0' + t)};
            for (int i = 0; i < 200; ++i) {
                std::u16string name = {u'v', static_cast<char16_t>(u'A' + i % 26),
                                       static_cast<char16_t>(u'a' + i / 26)};
                Profile::WriteInt(section, name, i);
                if (i % 50 == 0) // the flush at the end is checked
                    (void)RegistryStore::Flush();
            }
        });
    for (auto& th : threads)
        th.join();
    ASSERT_TRUE(RegistryStore::Flush());
    ASSERT_TRUE(RegistryStore::Load());
    for (int t = 0; t < 4; ++t) {
        Key k;
        std::u16string path = Profile::AppKeyPath();
        path += {u'\\', u'T', static_cast<char16_t>(u'0' + t)};
        ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, path, KEY_READ, &k.h), ERROR_SUCCESS);
        uint32_t values = 0;
        ASSERT_EQ(RegQueryInfoKey(k.h, nullptr, &values), ERROR_SUCCESS);
        EXPECT_EQ(values, 200u);
    }
}

// Another instance of the program: body runs in a child process with a
// store of its own (read afresh from the same file); its result is the
// child's exit status (0: body returned true).
template <class F>
int OtherInstance(F body)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        RegistryStore::Reset();
        ::_exit(body() ? 0 : 1);
    }
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The recent lists as the program writes them at its end: the section
// deleted and written again whole.
void RewriteRecentList(const std::vector<std::u16string>& projects)
{
    Key app;
    ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, Profile::AppKeyPath(), KEY_ALL_ACCESS, &app.h),
              ERROR_SUCCESS);
    RegDeleteTree(app.h, u"Recent File List");
    for (size_t i = 0; i < projects.size(); ++i)
        ASSERT_TRUE(Profile::WriteString(u"Recent File List",
                                         u"Project" + std::u16string(1, char16_t(u'1' + i)),
                                         projects[i]));
}

std::u16string StoredString(std::u16string_view section, std::u16string_view entry)
{
    RegistryStore::Reset();
    return Profile::GetString(section, entry, u"(none)");
}

constexpr char kShared[] = "Windows Registry Editor Version 5.00\n\n"
                           "[HKCU\\Software\\ORNA\\Strandwork\\Options]\n"
                           "\"PathBorlandBin\"=\"C:\\\\Tasm\\\\Bin\\\\\"\n"
                           "\"PathTarvane\"=\"/opt/tarvane/\"\n\n"
                           "[HKCU\\Software\\ORNA\\Strandwork\\Recent File List]\n"
                           "\"Project1\"=\"/home/u/Lis.kxp\"\n";

TEST_F(Registry, AnInstanceWritesWhatItChangedNotWhatItRead)
{
    // B reads the file, A (started after) confirms an option and ends; B
    // then writes its recent list unchanged, as at its end, and an option
    // of its own.
    WriteFile(File(), kShared);
    ASSERT_TRUE(RegistryStore::Load());
    ASSERT_EQ(OtherInstance([] {
                  return Profile::WriteString(u"Options", u"PathBorlandBin", u"/opt/borlandA/") &&
                         RegistryStore::Flush();
              }),
              0);
    RewriteRecentList({u"/home/u/Lis.kxp"});
    ASSERT_TRUE(RegistryStore::Flush()); // nothing of B's changed: nothing written
    EXPECT_EQ(StoredString(u"Options", u"PathBorlandBin"), u"/opt/borlandA/");

    // Both change other values: both stay.
    ASSERT_TRUE(RegistryStore::Load());
    ASSERT_EQ(OtherInstance([] {
                  return Profile::WriteString(u"Options", u"PathTarvane", u"/opt/tarvaneA/") &&
                         RegistryStore::Flush();
              }),
              0);
    ASSERT_TRUE(Profile::WriteString(u"Options", u"PathWinXPDDK", u"/opt/ddkB/"));
    ASSERT_TRUE(RegistryStore::Flush());
    EXPECT_EQ(StoredString(u"Options", u"PathTarvane"), u"/opt/tarvaneA/");
    EXPECT_EQ(StoredString(u"Options", u"PathWinXPDDK"), u"/opt/ddkB/");
    EXPECT_EQ(StoredString(u"Options", u"PathBorlandBin"), u"/opt/borlandA/");
    EXPECT_EQ(StoredString(u"Recent File List", u"Project1"), u"/home/u/Lis.kxp");

    // Both change the same value: the later write wins, in either order.
    for (bool otherFirst : {true, false}) {
        SCOPED_TRACE(otherFirst ? "A writes first" : "B writes first");
        ASSERT_TRUE(RegistryStore::Load());
        ASSERT_TRUE(Profile::WriteString(u"Options", u"PathBorlandLib", u"B"));
        const auto other = [] {
            return Profile::WriteString(u"Options", u"PathBorlandLib", u"A") && RegistryStore::Flush();
        };
        if (otherFirst) {
            ASSERT_EQ(OtherInstance(other), 0);
        }
        ASSERT_TRUE(RegistryStore::Flush());
        if (!otherFirst) {
            ASSERT_EQ(OtherInstance(other), 0);
        }
        EXPECT_EQ(StoredString(u"Options", u"PathBorlandLib"), otherFirst ? u"B" : u"A");
    }
}

TEST_F(Registry, DeletionsAreChangesToo)
{
    WriteFile(File(), std::string(kShared) +
                          "\n[HKCU\\Software\\ORNA\\Strandwork\\KVTWorkspace\\Bar0]\n\"Visible\"=dword:1\n");
    ASSERT_TRUE(RegistryStore::Load());
    // A resets the bars (the whole subtree goes) and deletes a value; B, who
    // read both before, changes something else.
    ASSERT_EQ(OtherInstance([] {
                  Key app;
                  return RegOpenKeyEx(HKEY_CURRENT_USER, Profile::AppKeyPath(), KEY_ALL_ACCESS,
                                      &app.h) == ERROR_SUCCESS &&
                         RegDeleteTree(app.h, u"KVTWorkspace") == ERROR_SUCCESS &&
                         Profile::WriteInt(u"Options", u"Count", 1) && RegistryStore::Flush();
              }),
              0);
    ASSERT_TRUE(Profile::WriteString(u"Options", u"PathTarvane", u"/opt/tarvaneB/"));
    ASSERT_TRUE(RegistryStore::Flush());
    RegistryStore::Reset();
    Key bars;
    EXPECT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, Profile::AppKeyPath() + u"\\KVTWorkspace", KEY_READ,
                           &bars.h),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(Profile::GetInt(u"Options", u"Count", 0), 1);
    EXPECT_EQ(Profile::GetString(u"Options", u"PathTarvane"), u"/opt/tarvaneB/");

    // A list written again with other content replaces the list on disk
    // whole: nothing of the other instance's list is mixed into it.
    ASSERT_TRUE(RegistryStore::Load());
    ASSERT_EQ(OtherInstance([] {
                  RewriteRecentList({u"/a/1.kxp", u"/a/2.kxp", u"/a/3.kxp"});
                  return RegistryStore::Flush();
              }),
              0);
    RewriteRecentList({u"/b/1.kxp"});
    ASSERT_TRUE(Profile::WriteString(u"Options", u"Gone", u"x"));
    Key options;
    ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, Profile::AppKeyPath() + u"\\Options", KEY_ALL_ACCESS,
                           &options.h),
              ERROR_SUCCESS);
    ASSERT_EQ(RegDeleteValue(options.h, u"Count"), ERROR_SUCCESS);
    ASSERT_TRUE(RegistryStore::Flush());
    EXPECT_EQ(StoredString(u"Recent File List", u"Project1"), u"/b/1.kxp");
    EXPECT_EQ(StoredString(u"Recent File List", u"Project2"), u"(none)");
    EXPECT_EQ(StoredString(u"Options", u"Count"), u"(none)");
    EXPECT_EQ(StoredString(u"Options", u"PathTarvane"), u"/opt/tarvaneB/");
}

// B read the file before A and C confirmed their values; what B writes
// back as it started with (a default it read, the state it wrote as its
// start) undoes neither, what B's user changed wins.
TEST_F(Registry, WhatAnInstanceStartedWithIsNoChangeOfItsOwn)
{
    const auto read = [] { Profile::GetString(u"Options", u"A", u""), Profile::GetString(u"Options", u"C", u""); };
    const auto asStart = [] {
        const RegistryStore::StartValues start;
        Profile::WriteString(u"Options", u"A", u"d"), Profile::WriteString(u"Options", u"C", u"d");
        Profile::WriteString(u"Bars", u"Own", u"d");
    };
    const auto rewrite = [](std::u16string_view v) {
        return [v] {
            Key app;
            RegCreateKeyEx(HKEY_CURRENT_USER, Profile::AppKeyPath(), KEY_ALL_ACCESS, &app.h);
            RegDeleteTree(app.h, u"Options");
            Profile::WriteString(u"Options", u"A", v), Profile::WriteString(u"Options", u"C", v);
            RegDeleteTree(app.h, u"Bars"), Profile::WriteString(u"Bars", u"Own", v);
        };
    };
    const auto write = [](std::u16string_view v) {
        return [v] { Profile::WriteString(u"Options", u"A", v), Profile::WriteString(u"Options", u"C", v); };
    };
    // What B took at its start where the disk has nothing fills the gap.
    struct Case { const char* name; std::function<void()> start, end; const char16_t *a, *c, *own; };
    const Case cases[] = {
        {"defaults read, written back", read, write(u""), u"/opt/borlandA/", u"/opt/c/", u"(none)"},
        {"defaults read, changed", read, write(u"B"), u"B", u"B", u"(none)"},
        {"start state, written again", asStart, rewrite(u"d"), u"/opt/borlandA/", u"/opt/c/", u"d"},
        {"start state, changed", asStart, rewrite(u"B"), u"B", u"B", u"B"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RegistryStore::Reset();
        fs::remove_all(Folder());
        c.start();
        ASSERT_TRUE(RegistryStore::Flush()); // a sheet closed with Zrušit
        for (const char16_t* entry : {u"A", u"C"})
            ASSERT_EQ(OtherInstance([entry] {
                          return Profile::WriteString(u"Options", entry, entry[0] == u'A' ? u"/opt/borlandA/" : u"/opt/c/") &&
                                 RegistryStore::Flush();
                      }),
                      0);
        c.end();
        ASSERT_TRUE(RegistryStore::Flush());
        EXPECT_EQ(StoredString(u"Options", u"A"), c.a);
        EXPECT_EQ(StoredString(u"Options", u"C"), c.c);
        EXPECT_EQ(StoredString(u"Bars", u"Own"), c.own);
    }
}

// A lock file that cannot be opened is named with its cause; a lock that
// another process holds is waited for a bounded time.  The change stays
// for the next flush either way.
TEST_F(Registry, ALockThatFailsIsNamedAndTheChangeKept)
{
    const std::string lock = File() + ".lock";
    struct Case { const char* name; std::function<void()> make; int error; };
    const Case cases[] = {
        {"a dangling link", [&] { fs::create_symlink(Folder() + "/nowhere", lock); }, ELOOP},
        {"a folder", [&] { fs::create_directory(lock); }, EISDIR},
        {"read-only", [&] { WriteFile(lock, ""), ::chmod(lock.c_str(), 0444); }, EACCES},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.error == EACCES && ::geteuid() == 0)
            continue; // root opens a read-only file all the same
        RegistryStore::Reset();
        fs::remove_all(Folder());
        fs::create_directories(Folder());
        c.make();
        ASSERT_TRUE(Profile::WriteString(u"Options", u"Kept", u"x"));
        testing::internal::CaptureStderr();
        EXPECT_FALSE(RegistryStore::Flush());
        EXPECT_EQ(errno, c.error);
        EXPECT_EQ(RegistryStore::FailedFile(), lock);
        EXPECT_NE(testing::internal::GetCapturedStderr().find(lock), std::string::npos);
        fs::remove(lock);
        ASSERT_TRUE(RegistryStore::Flush());
        EXPECT_EQ(StoredString(u"Options", u"Kept"), u"x");
    }

    RegistryStore::Reset();
    RegistryStore::SetLockWait(50);
    ASSERT_TRUE(Profile::WriteString(u"Options", u"Kept", u"y"));
    const int held = ::open(lock.c_str(), O_RDWR | O_CREAT, 0600);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(RegistryStore::Flush());
    EXPECT_EQ(errno, EWOULDBLOCK);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("locked by another process"), std::string::npos);
    ::close(held);
    ASSERT_TRUE(RegistryStore::Flush());
    RegistryStore::SetLockWait(RegistryStore::kLockWaitMs);
    EXPECT_EQ(StoredString(u"Options", u"Kept"), u"y");
}

TEST_F(Registry, InstancesWritingAtOnceLoseNothingAndNeverTearTheFile)
{
    WriteFile(File(), kShared);
    constexpr int kInstances = 6, kRounds = 15;
    const std::string go = home.Path() + "/go";
    std::vector<pid_t> children;
    for (int i = 0; i < kInstances; ++i) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            RegistryStore::Reset();
            bool ok = RegistryStore::Load();
            // Every instance has read the file before any writes.
            ok = testsupport::WaitUntil([&] { return fs::exists(go); }, 60000) && ok;
            const std::u16string name = u"Instance" + std::u16string(1, char16_t(u'0' + i));
            for (int round = 1; round <= kRounds && ok; ++round)
                ok = Profile::WriteInt(u"Race", name, round) && RegistryStore::Flush();
            ::_exit(ok ? 0 : 1);
        }
        children.push_back(pid);
    }
    WriteFile(go, "");
    // Meanwhile the file is always whole: it reads without a fault.
    int ended = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (ended < kInstances) {
        ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the instances did not end";
        RegistryStore::Reset();
        testing::internal::CaptureStderr();
        const bool loaded = RegistryStore::LoadFrom(File());
        const std::string err = testing::internal::GetCapturedStderr();
        ASSERT_TRUE(loaded) << err;
        int status = 0;
        const pid_t pid = ::waitpid(-1, &status, WNOHANG);
        if (pid > 0) {
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
            ++ended;
        }
    }
    RegistryStore::Reset();
    for (int i = 0; i < kInstances; ++i)
        EXPECT_EQ(Profile::GetInt(u"Race", u"Instance" + std::u16string(1, char16_t(u'0' + i)), 0),
                  kRounds)
            << i;
    EXPECT_EQ(Profile::GetString(u"Options", u"PathBorlandBin"), u"C:\\Tasm\\Bin\\");
}

TEST_F(Registry, AFileDamagedByAnotherProgramIsKeptAsideAtTheNextWrite)
{
    WriteFile(File(), kShared);
    ASSERT_TRUE(RegistryStore::Load());
    WriteFile(File(), std::string("\x00\x01\x02garbage", 10));
    ASSERT_TRUE(Profile::WriteString(u"Options", u"PathTarvane", u"/opt/t/"));
    testing::internal::CaptureStderr();
    ASSERT_TRUE(RegistryStore::Flush());
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("Strandwork.reg.bad-"), std::string::npos) << err;
    EXPECT_EQ(StoredString(u"Options", u"PathTarvane"), u"/opt/t/");
    EXPECT_EQ(FilesIn(Folder()).size(), 3u); // the file, the damaged one, the lock
}

TEST_F(Registry, WhatTheLoadCouldNotReadIsToldOnce)
{
    // Cut, binary, one bad line among 1,200, mixed encodings, empty.
    std::string long1200 = "Windows Registry Editor Version 5.00\n\n[HKCU\\Software\\ORNA\\Strandwork\\X]\n";
    for (int i = 0; i < 1200; ++i)
        long1200 += i == 700 ? "\"v700\"=word:1\n" : "\"v" + std::to_string(i) + "\"=dword:1\n";
    const std::vector<std::string> bad = {
        std::string(kShared).substr(0, 120),
        std::string("\x00\x01\x02garbage", 10),
        long1200,
        std::string(kShared) + "\"Name\"=\"\xE8\xE1st\"\n",
        "",
    };
    for (size_t i = 0; i < bad.size(); ++i) {
        SCOPED_TRACE("case " + std::to_string(i));
        RegistryStore::Reset();
        fs::remove_all(Folder());
        WriteFile(File(), bad[i]);
        testing::internal::CaptureStderr();
        const auto problem = RegistryStore::TakeLoadProblem();
        testing::internal::GetCapturedStderr();
        ASSERT_TRUE(problem.has_value());
        EXPECT_EQ(problem->file, File());
        EXPECT_EQ(problem->keptAs.rfind(File() + ".bad-", 0), 0u) << problem->keptAs;
        EXPECT_TRUE(fs::exists(problem->keptAs));
        EXPECT_FALSE(problem->cause.empty());
        EXPECT_TRUE(problem->saving);
        EXPECT_FALSE(RegistryStore::TakeLoadProblem().has_value()); // once
    }
    // A file that reads: nothing to tell.
    RegistryStore::Reset();
    WriteFile(File(), kShared);
    EXPECT_FALSE(RegistryStore::TakeLoadProblem().has_value());
    // A file that cannot be read at all: told, not kept, not written.
    RegistryStore::Reset();
    fs::remove_all(Folder());
    fs::create_directories(File());
    testing::internal::CaptureStderr();
    const auto problem = RegistryStore::TakeLoadProblem();
    testing::internal::GetCapturedStderr();
    ASSERT_TRUE(problem.has_value());
    EXPECT_TRUE(problem->keptAs.empty());
    EXPECT_FALSE(problem->saving);
}

// A table kept as one value takes an instance's change by entry: letters
// are the entries' keys, each with its data digit.
TEST(RegistryTable, AChangeGoesInByEntry)
{
    const auto table = [](std::string_view s) {
        Table t;
        for (size_t i = 0; i + 1 < s.size(); i += 2)
            t.entries.push_back({{uint8_t(s[i])}, {uint8_t(s[i]), uint8_t(s[i + 1])}});
        return t;
    };
    struct Case
    {
        const char *start, *now, *disk, *merged;
    };
    const Case cases[] = {
        {"a0b0c0", "a0b0c0", "a0c0", "a0c0"},         // nothing here: the disk's stays
        {"a0b0c0", "a0c0", "a0b0c0d0", "a0c0d0"},     // removed here, added there
        {"a0b0c0", "a0b0x0c0", "a0c0", "a0x0c0"},     // added here after a, b removed there
        {"a0b0c0", "a0b1c0", "a0b2c0", "a0b1c0"},     // changed in both: the later wins
        {"a0b0c0", "a0b1c0", "a0c0", "a0b1c0"},       // changed here, removed there
        {"a0b0c0", "c0a0b0", "a0b0c0d0", "c0a0b0d0"}, // moved here
        {"a0b0", "a0b0x0", "x1a0b0", "x0a0b0"},       // added in both: the later's, in place
        {"a0a0", "a0", "a0a0b0", "a0b0"},             // one of two equal keys removed
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.start) + " > " + c.now + " on " + c.disk);
        std::string merged;
        for (const TableEntry& e : MergeTable(table(c.start), table(c.now), table(c.disk)).entries)
            merged.append(e.data.begin(), e.data.end());
        EXPECT_EQ(merged, c.merged);
    }
}

} // namespace
