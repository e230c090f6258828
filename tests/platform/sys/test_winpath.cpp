#include "platform/sys/CodePage.h"
#include "platform/sys/WinPath.h"
#include "tests/support/platform/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace sys;
using namespace sys::WinPath;
using std::nullopt;
using std::optional;
using std::string;
using std::u16string;

namespace {

// The UTF-16 form runs every case too: both character types share the rules.
std::u16string W(std::string_view s) { return AnsiToWide(s); }
optional<std::u16string> WO(const optional<string>& s)
{
    return s ? optional<std::u16string>(W(*s)) : nullopt;
}

string Over(size_t n) { return "C:\\" + string(n - 3, 'a'); }

} // namespace

TEST(WinPath, Append)
{
    struct Case
    {
        string path, more;
        optional<string> result;
    } cases[] = {
        {"C:\\a", "b", "C:\\a\\b"},
        {"C:\\a", "\\b", "C:\\a\\b"},
        {"C:\\a\\", "b\\", "C:\\a\\b\\"},
        {"C:\\a\\", "\\\\b", "\\\\b"}, // a UNC path stands for itself
        {"C:\\", "b", "C:\\b"},
        {"C:\\a", "..\\..\\..\\b", "C:\\b"},
        {"C:\\a\\b", "..\\c\\.\\d.plc", "C:\\a\\c\\d.plc"},
        {"C:\\a", "D:\\x", "D:\\x"},
        {"C:\\a", "\\\\srv\\sh\\x", "\\\\srv\\sh\\x"},
        {"\\\\srv\\sh", "x", "\\\\srv\\sh\\x"},
        {"\\\\srv\\sh\\d", "..\\..\\x", "\\\\srv\\sh\\x"},
        {"C:/a", "b", "C:/a/b"},
        {"C:\\a/b", "c", "C:\\a/b/c"},
        {"", "b", "b"},
        {"a", "b", "a\\b"},
        {"C:\\a", "", "C:\\a"},
        // native paths
        {"/home/u/p", "src\\Io.plc", "/home/u/p/src/Io.plc"},
        {"/home/u/p/", "..\\Common\\x.inc", "/home/u/Common/x.inc"},
        {"/home/u/p", "/etc/x", "/etc/x"},
        {"/", "..\\..\\x", "/x"},
        {"/home", "\\x", "/home/x"},
        // too long
        {Over(250), string(9, 'b'), nullopt},
        {Over(258), "b", nullopt},
        {Over(260), "", nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path + " + " + c.more);
        string p = c.path;
        bool ok = Append(p, c.more);
        EXPECT_EQ(ok, c.result.has_value());
        EXPECT_EQ(p, c.result ? *c.result : c.path);
        std::u16string w = W(c.path);
        EXPECT_EQ(Append(w, W(c.more)), ok);
        EXPECT_EQ(w, W(c.result ? *c.result : c.path));
    }
    string fits = Over(250);
    EXPECT_TRUE(Append(fits, "bbbbbbbb")); // 259 characters
    EXPECT_EQ(fits.size(), 259u);
}

TEST(WinPath, Combine)
{
    struct Case
    {
        string dir, file;
        optional<string> result;
    } cases[] = {
        {"C:\\a\\b", "c.txt", "C:\\a\\b\\c.txt"},
        {"C:\\a\\b", "\\c.txt", "C:\\c.txt"},
        {"\\\\srv\\sh\\a", "\\c", "\\\\srv\\sh\\c"},
        {"C:\\a", "E:c", "E:c"},
        {"", "x\\..\\y", "y"},
        {"C:\\a\\b", "", "C:\\a\\b"},
        {"/home/u", "/tmp/x", "/tmp/x"},
        {"/home/u", "\\x", "/x"},
        {"C:\\a", "/tmp/x", "/tmp/x"},
        {Over(259), "x", nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dir + " + " + c.file);
        EXPECT_EQ(Combine(c.dir, c.file), c.result);
        EXPECT_EQ(Combine(W(c.dir), W(c.file)), WO(c.result));
    }
}

TEST(WinPath, Canonicalize)
{
    struct Case
    {
        string path;
        optional<string> result;
    } cases[] = {
        {"C:\\a\\b\\..\\c", "C:\\a\\c"},
        {"C:\\a\\.\\b", "C:\\a\\b"},
        {"C:\\a\\b\\..", "C:\\a"},
        {"C:\\a\\b\\..\\", "C:\\a\\"},
        {"C:\\a\\.", "C:\\a"},
        {"C:\\..", "C:\\"},
        {"C:\\..\\..\\x", "C:\\x"},
        {"\\..\\x", "\\x"},
        {"\\\\srv\\sh\\..\\x", "\\\\srv\\sh\\x"},
        {"\\\\srv\\sh\\", "\\\\srv\\sh\\"},
        {"..\\a\\..\\..\\b", "..\\..\\b"},
        {"a\\..", ""},
        {"C:\\a\\\\b", "C:\\a\\b"},
        {"C:\\a/b\\..\\c", "C:\\a\\c"},
        {"/home//u/./p/../q/", "/home/u/q/"},
        {"/home\\u\\..\\v", "/home/v"},
        {"/..", "/"},
        {Over(260), nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(Canonicalize(c.path), c.result);
        EXPECT_EQ(Canonicalize(W(c.path)), WO(c.result));
    }
}

TEST(WinPath, RelativePathTo)
{
    struct Case
    {
        string from;
        bool fromFolder;
        string to;
        bool toFolder;
        optional<string> result;
    } cases[] = {
        {"C:\\FolderA\\FolderB\\FolderC", true, "C:\\FolderA\\FolderD\\FolderE", true,
         "..\\..\\FolderD\\FolderE"},
        {"C:\\proj\\", true, "C:\\proj\\src\\io.plc", false, ".\\src\\io.plc"},
        {"C:\\proj\\p.kxp", false, "c:\\PROJ\\io.plc", false, ".\\io.plc"},
        {"C:\\proj\\", true, "C:\\common\\x.inc", false, "..\\common\\x.inc"},
        {"C:\\", true, "C:\\b\\f.txt", false, "\\b\\f.txt"}, // callers drop the "\"
        {"C:\\a\\", true, "D:\\a\\f.txt", false, nullopt},
        {"\\\\srv\\sh\\a", true, "\\\\srv\\sh\\b\\f", false, "..\\b\\f"},
        {"\\\\srv\\sh\\a", true, "\\\\other\\sh\\a\\f", false, nullopt},
        {"C:\\a\\b", true, "C:\\a\\b", true, "."},
        {"C:/a/b", true, "C:\\a\\c\\", true, "..\\c\\"},
        {"a\\b", true, "a\\c", true, "..\\c"},
        {"a", true, "b", true, nullopt},
        // native paths
        {"/home/u/p/", true, "/home/u/q/f.txt", false, "../q/f.txt"},
        {"/home/u/p/Lis.kxp", false, "/home/u/p/src/Io.plc", false, "./src/Io.plc"},
        {"/", true, "/home/f", false, "home/f"},
        {"/home/u", true, "/", true, "../.."},
        {"/home/u", true, "C:\\home\\u", true, nullopt},
        {Over(260), true, "C:\\a", true, nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.from + " -> " + c.to);
        EXPECT_EQ(RelativePathTo(c.from, c.fromFolder, c.to, c.toFolder), c.result);
        EXPECT_EQ(RelativePathTo(W(c.from), c.fromFolder, W(c.to), c.toFolder), WO(c.result));
    }
}

TEST(WinPath, EditsInPlace)
{
    struct Case
    {
        const char* what;
        string path;
        bool ok;
        string result;
    } cases[] = {
        {"RemoveFileSpec", "C:\\a\\b", true, "C:\\a"},
        {"RemoveFileSpec", "C:\\a", true, "C:\\"},
        {"RemoveFileSpec", "C:\\a\\", true, "C:\\a"},
        {"RemoveFileSpec", "C:\\", false, "C:\\"},
        {"RemoveFileSpec", "a", true, ""},
        {"RemoveFileSpec", "\\a", true, "\\"},
        {"RemoveFileSpec", "\\\\srv\\sh", true, "\\\\srv"},
        {"RemoveFileSpec", "/home/u/f", true, "/home/u"},
        {"RemoveFileSpec", "/home", true, "/"},
        {"RemoveFileSpec", "/", false, "/"},
        {"StripToRoot", "C:\\a\\b\\c.txt", true, "C:\\"},
        {"StripToRoot", "\\\\srv\\sh\\a\\b", true, "\\\\srv\\sh"},
        {"StripToRoot", "/home/u/p", true, "/"},
        {"StripToRoot", "\\a\\b", true, "\\"},
        {"StripToRoot", "a\\b", false, ""},
        {"AddBackslash", "C:\\a", true, "C:\\a\\"},
        {"AddBackslash", "C:\\a\\", true, "C:\\a\\"},
        {"AddBackslash", "a/b", true, "a/b/"},
        {"AddBackslash", "/home", true, "/home/"},
        {"AddBackslash", "", true, ""},
        {"AddBackslash", Over(259), false, Over(259)},
        {"RemoveBackslash", "C:\\a\\", true, "C:\\a"},
        {"RemoveBackslash", "C:\\a", false, "C:\\a"},
        {"RemoveBackslash", "C:\\", false, "C:\\"},
        {"RemoveBackslash", "/", false, "/"},
        {"RemoveBackslash", "/home/", true, "/home"},
        {"RemoveBackslash", "\\", false, "\\"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(string(c.what) + " " + c.path);
        const string w = c.what;
        string p = c.path;
        std::u16string wp = W(c.path);
        bool ok, wok;
        if (w == "RemoveFileSpec") {
            ok = RemoveFileSpec(p);
            wok = RemoveFileSpec(wp);
        } else if (w == "StripToRoot") {
            ok = StripToRoot(p);
            wok = StripToRoot(wp);
        } else if (w == "AddBackslash") {
            ok = AddBackslash(p);
            wok = AddBackslash(wp);
        } else {
            ok = RemoveBackslash(p);
            wok = RemoveBackslash(wp);
        }
        EXPECT_EQ(ok, c.ok);
        EXPECT_EQ(p, c.result);
        EXPECT_EQ(wok, c.ok);
        EXPECT_EQ(wp, WO(c.result));
    }
}

TEST(WinPath, ExtensionsAndFileNames)
{
    struct Case
    {
        string path, ext, name;
    } cases[] = {
        {"C:\\a\\main.plc", ".plc", "main.plc"},
        {"C:\\a.b\\main", "", "main"},
        {"C:\\a\\x.tar.gz", ".gz", "x.tar.gz"},
        {"C:\\a\\x.b c", "", "x.b c"},
        {"C:\\a\\b\\", "", "b\\"},
        {"C:\\", "", "C:\\"},
        {"C:x.txt", ".txt", "x.txt"},
        {"/home/u/.profile", ".profile", ".profile"},
        {"a/b\\c.d", ".d", "c.d"},
        {"", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(c.path.substr(FindExtension(c.path)), c.ext);
        EXPECT_EQ(c.path.substr(FindFileName(c.path)), c.name);
        EXPECT_EQ(FindExtension(W(c.path)), FindExtension(c.path));
        EXPECT_EQ(FindFileName(W(c.path)), FindFileName(c.path));
    }

    struct Rename
    {
        string path, ext;
        bool ok;
        string result;
    } renames[] = {
        {"C:\\t\\main.plc", ".LS1", true, "C:\\t\\main.LS1"},
        {"C:\\t\\main", ".LS1", true, "C:\\t\\main.LS1"},
        {"C:\\t.d\\main", ".wsp", true, "C:\\t.d\\main.wsp"},
        {"/p/Lis.kxp", ".kxw", true, "/p/Lis.kxw"},
        {Over(257) + ".x", ".abc", false, Over(257) + ".x"},
    };
    for (const Rename& r : renames) {
        SCOPED_TRACE(r.path);
        string p = r.path;
        EXPECT_EQ(RenameExtension(p, r.ext), r.ok);
        EXPECT_EQ(p, r.result);
        std::u16string wp = W(r.path);
        EXPECT_EQ(RenameExtension(wp, W(r.ext)), r.ok);
        EXPECT_EQ(wp, W(r.result));
    }
}

TEST(WinPath, Classification)
{
    struct Case
    {
        string path;
        bool root, relative, control, unc;
    } cases[] = {
        {"C:\\", true, false, false, false},
        {"C:/", true, false, false, false},
        {"C:", false, false, false, false},
        {"C:\\a", false, false, false, false},
        {"\\", true, false, true, false},
        {"\\PLC\\x", false, false, true, false},
        {"\\\\", true, false, false, true},
        {"\\\\srv", true, false, false, true},
        {"\\\\srv\\sh", true, false, false, true},
        {"\\\\srv\\sh\\a", false, false, false, true},
        {"/", true, false, false, false},
        {"/home", false, false, false, false},
        {"src\\Io.plc", false, true, false, false},
        {"", false, true, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(IsRoot(c.path), c.root);
        EXPECT_EQ(IsRelative(c.path), c.relative);
        EXPECT_EQ(IsControlSystemPath(c.path), c.control);
        EXPECT_EQ(IsUNC(c.path), c.unc);
        EXPECT_EQ(IsRoot(W(c.path)), c.root);
        EXPECT_EQ(IsRelative(W(c.path)), c.relative);
        EXPECT_EQ(IsControlSystemPath(W(c.path)), c.control);
        EXPECT_EQ(IsUNC(W(c.path)), c.unc);
    }
    EXPECT_EQ(GetRoot(string("\\\\srv\\sh\\a\\b")), "\\\\srv\\sh");
    EXPECT_EQ(GetRoot(string("rel\\x")), "");
    EXPECT_EQ(GetShortPathName(string("C:\\Program Files\\x")), "C:\\Program Files\\x");
}

TEST(WinPath, CompactPathAndAbbreviateName)
{
    const string p = "C:\\path1\\path2\\sample.txt"; // 25 characters
    struct Case
    {
        size_t max;
        string compact;
    } compacts[] = {
        {25, p},
        {20, "C:\\pat...\\sample.txt"},
        {15, "C...\\sample.txt"},
        {14, "...\\sample.txt"},
        {10, "sample...."},
        {8, "sampl..."},
        {2, ".."},
    };
    for (const Case& c : compacts) {
        SCOPED_TRACE(c.max);
        EXPECT_EQ(CompactPath(p, c.max), c.compact);
        EXPECT_EQ(CompactPath(W(p), c.max), W(c.compact));
    }
    EXPECT_EQ(CompactPath(string("/home/user/projects/Lis.kxp"), 20), "/home/use.../Lis.kxp");

    const string q = "C:\\Projekty\\Stroj\\PLC\\Verze2\\Lis.kxp"; // 36
    struct Abbr
    {
        string path;
        size_t max;
        string result;
    } abbrs[] = {
        {q, 36, q},
        {q, 30, "C:\\Projekty\\...\\Verze2\\Lis.kxp"},
        {q, 25, "C:\\Projekty\\...\\Lis.kxp"},
        {q, 22, "Lis.kxp"},
        {q, 5, "Lis.kxp"},
        {"\\\\srv\\share\\dir\\a\\b\\deep\\file.plc", 28, "\\\\srv\\share\\dir\\...\\file.plc"},
        {"/home/user/p/q/r/Lis.kxp", 20, "/home/.../r/Lis.kxp"},
    };
    for (const Abbr& a : abbrs) {
        SCOPED_TRACE(a.path + " " + std::to_string(a.max));
        EXPECT_EQ(AbbreviateName(a.path, a.max), a.result);
        EXPECT_EQ(AbbreviateName(W(a.path), a.max), W(a.result));
    }
    EXPECT_EQ(AbbreviateName(q, 5, false), "");
}

TEST(WinPath, ToNativeRefusesForeignPaths)
{
    const char16_t lone[] = {u'/', u'a', 0xD800, 0};
    const string bad[] = {"C:\\a\\b", "c:", "\\\\srv\\sh\\x", "\\PLC\\x", "\\", "", Over(260),
                          string("/a\0b", 4)};
    for (const string& b : bad) {
        SCOPED_TRACE(b);
        EXPECT_EQ(ToNative(b), nullopt);
        EXPECT_EQ(ToNative(W(b)), nullopt);
    }
    EXPECT_EQ(ToNative(std::u16string_view(lone)), nullopt);
    EXPECT_EQ(ToNative(std::string_view("/no\\such\\place/x.plc")), "/no/such/place/x.plc");
}

// A name that is no UTF-8 maps to itself and its look-alike to itself,
// the exact name and through the case-blind lookup alike.
TEST(WinPath, NamesThatAreNoUtf8MapToThemselves)
{
    testsupport::TempDir dir;
    dir.Write("Caf\xE9.txt", "latin");
    dir.Write("Caf\xEF\xBF\xBD.txt", "replacement");
    const string root = dir.Path();
    for (const string name : {"Caf\xE9.txt", "Caf\xEF\xBF\xBD.txt"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(ToNative(FromNative(root + "/" + name)), root + "/" + name);
        std::u16string upper = FromNative(name);
        for (char16_t& c : upper)
            c = c >= u'a' && c <= u'z' ? char16_t(c - 32) : c;
        EXPECT_EQ(ToNative(FromNative(root) + u"/" + upper), root + "/" + name);
    }
}

TEST(WinPath, ToNativeFindsNamesWithoutRegardToCase)
{
    testsupport::TempDir dir;
    dir.Write("Proj/src/main.plc", "x");
    dir.Write("Proj/src/Řízení.plc", "y");
    dir.Write("Proj/Common/x.inc", "z");
    const string root = dir.Path();

    EXPECT_EQ(ToNative(root + "\\PROJ\\SRC\\MAIN.PLC"), root + "/Proj/src/main.plc");
    // Exact names win; missing components are kept as given.
    EXPECT_EQ(ToNative(root + "/Proj/src/new.plc"), root + "/Proj/src/new.plc");
    EXPECT_EQ(ToNative(root + "/proj/NEW/Main.plc"), root + "/Proj/NEW/Main.plc");
    EXPECT_EQ(ToNative(root + "/Proj/src/"), root + "/Proj/src/");
    // Non-ASCII names, from UTF-16 and from the ANSI code page.
    EXPECT_EQ(ToNative(FromNative(root) + u"/proj/SRC/ŘÍZENÍ.PLC"),
              root + "/Proj/src/Řízení.plc");
    EXPECT_EQ(ToNative(WideToAnsi(FromNative(root) + u"\\proj\\src\\řízení.PLC")),
              root + "/Proj/src/Řízení.plc");

    // A relative project path is joined to the project folder, then mapped.
    string proj = FromNativeAnsi(root + "/Proj/");
    ASSERT_TRUE(Append(proj, "..\\proj\\COMMON\\X.INC"));
    EXPECT_EQ(proj, FromNativeAnsi(root + "/proj/COMMON/X.INC"));
    EXPECT_EQ(ToNative(proj), root + "/Proj/Common/x.inc");

    // Relative paths map relative to the current folder.
    char* old = getcwd(nullptr, 0);
    ASSERT_EQ(chdir((root + "/Proj").c_str()), 0);
    EXPECT_EQ(ToNative(string("SRC\\Main.plc")), "src/main.plc");
    EXPECT_EQ(ToNative(string("..\\Proj\\common\\X.inc")), "../Proj/Common/x.inc");
    ASSERT_EQ(chdir(old), 0);
    free(old);
}

// A folder the user gave is taken exactly ("\\" a character of its name),
// only the stored part below it by the stored rules, ".." lexically.
TEST(WinPath, StoredPathsBelowAGivenFolder)
{
    testsupport::TempDir dir;
    dir.Write("proj/src/io.plc", "c");
    dir.Write("a\\b/x.plc", "e");
    const string root = dir.Path();
    const u16string r = FromNative(root);
    EXPECT_EQ(ToNativeBelow(r + u"/a\\b", u"X.PLC"), root + "/a\\b/x.plc");
    EXPECT_EQ(ToNativeBelow(r + u"/Proj/", u"src\\io.plc"), root + "/Proj/src/io.plc");
    EXPECT_EQ(SpelledAsOnDisk(r + u"/proj/", u"..\\PROJ\\.\\SRC\\Io.PLC"),
              u"..\\proj\\.\\src\\io.plc");
    EXPECT_EQ(ToNativeBelow(r + u"/proj/", r + u"/PROJ/src/IO.plc"), root + "/proj/src/io.plc");
    EXPECT_EQ(ToNativeBelow(r + u"/proj/", u"C:\\x.plc"), nullopt);
    EXPECT_EQ(ToNative(u"/../" + r.substr(1) + u"/PROJ/NOSUCH/../src/./IO.plc"),
              root + "/proj/src/io.plc");
}
