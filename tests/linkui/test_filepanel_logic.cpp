// The pure pieces of the file panel and the remote file dialog.
#include "link/ui/FilePanelLogic.h"

#include "platform/sys/Time.h"

#include <gtest/gtest.h>

using namespace linkui;

namespace {
FileListRecord File(std::u16string_view name, uint32_t size, uint16_t date = 0, uint16_t time = 0)
{
    return MakeRecord(name, false, size, date, time);
}
FileListRecord Folder(std::u16string_view name) { return MakeRecord(name, true, 0, 0, 0); }
} // namespace

TEST(FilePanelLogic, ComparisonAndHeaderRotation)
{
    SortOrder o;
    EXPECT_LT(CompareRecords(Folder(u"zeta"), File(u"a", 1), o), 0);      // folders first
    EXPECT_LT(CompareRecords(Folder(u"..") , Folder(u"Alpha"), o), 0);    // dot-names first
    EXPECT_LT(CompareRecords(Folder(u".git"), Folder(u"a"), o), 0);
    EXPECT_LT(CompareRecords(File(u"apple", 1), File(u"Banana", 1), o), 0); // without case
    EXPECT_EQ(CompareRecords(File(u"A.TXT", 1), File(u"a.txt", 2), o), 0);

    o.HeaderClick(1); // "velikost": largest first
    EXPECT_EQ(o.keys[0], kKeySize);
    EXPECT_TRUE(o.flags[0]);
    EXPECT_EQ(o.keys[1], kKeyName);
    EXPECT_LT(CompareRecords(File(u"big", 0xFFFFFFF0u), File(u"small", 5), o), 0);
    o.HeaderClick(1); // again: smallest first
    EXPECT_FALSE(o.flags[0]);
    EXPECT_GT(CompareRecords(File(u"big", 0xFFFFFFF0u), File(u"small", 5), o), 0);
    // Equal sizes fall to the name.
    EXPECT_LT(CompareRecords(File(u"a", 5), File(u"b", 5), o), 0);

    o.HeaderClick(3); // date: older first
    EXPECT_EQ(o.keys, (std::array<int, 4>{kKeyDate, kKeySize, kKeyName, kKeyNone}));
    EXPECT_LT(CompareRecords(File(u"x", 1, 0x5000, 0), File(u"y", 1, 0x5001, 0), o), 0);
    o.HeaderClick(0); // name again: taken out where it stood
    EXPECT_EQ(o.keys, (std::array<int, 4>{kKeyName, kKeyDate, kKeySize, kKeyNone}));
    o.HeaderClick(2);
    EXPECT_EQ(o.keys, (std::array<int, 4>{kKeyType, kKeyName, kKeyDate, kKeySize}));
    std::u16string ta = u"Text", tb = u"binary";
    const TypeNameOf type = [&](const FileListRecord& r) -> const std::u16string& {
        return NameOf(r) == u"a" ? ta : tb;
    };
    EXPECT_GT(CompareRecords(File(u"a", 1), File(u"b", 1), o, type), 0);
}

TEST(FilePanelLogic, EnteringRemoteAndLocalFolders)
{
    std::u16string p = u"\\";
    EXPECT_FALSE(EnterEntry(p, u".."));
    EXPECT_EQ(p, u"\\");
    p = u"\\DATA\\";
    EXPECT_TRUE(EnterEntry(p, u".."));
    EXPECT_EQ(p, u"\\");
    EXPECT_TRUE(EnterEntry(p, u"DATA"));
    EXPECT_TRUE(EnterEntry(p, u".hidden")); // dot-folders are entered
    EXPECT_EQ(p, u"\\DATA\\.hidden\\");
    EXPECT_FALSE(EnterEntry(p, u"."));

    std::u16string l = u"/";
    EXPECT_FALSE(EnterEntry(l, u".."));
    EXPECT_EQ(l, u"/");
    EXPECT_TRUE(EnterEntry(l, u"home"));
    EXPECT_TRUE(EnterEntry(l, u".config"));
    EXPECT_EQ(l, u"/home/.config/");
    EXPECT_TRUE(EnterEntry(l, u".."));
    EXPECT_EQ(l, u"/home/");
    EXPECT_TRUE(IsRemotePath(u"\\DATA\\"));
    EXPECT_FALSE(IsRemotePath(u"\\\\server\\"));
    EXPECT_FALSE(IsRemotePath(u"/tmp/"));
}

TEST(FilePanelLogic, SummaryDateAndSizeTexts)
{
    const FileListRecord a = File(u"a.bin", 4000000000u), b = File(u"b.bin", 4000000000u);
    EXPECT_EQ(SummaryText({}), u"");
    EXPECT_EQ(SummaryText({&a}), u"a.bin (4000000000 bytů)");
    EXPECT_EQ(SummaryText({&a, &b}), u"Vybráno 2 (8000000000 bytů)");
    EXPECT_EQ(SizeText(a), u"4000000000");
    EXPECT_EQ(SizeText(Folder(u"x")), u"");
    EXPECT_EQ(DateText(0, 0), u"");
    // 2024-03-05 14:07:08
    const uint16_t date = uint16_t((2024 - 1980) << 9 | 3 << 5 | 5), time = uint16_t(14 << 11 | 7 << 5 | 4);
    EXPECT_EQ(DateText(date, time), u"14:7:8 5.3.2024");
    uint16_t d = 1, t = 1;
    LocalDosStamp(sys::FileTimeFromUnix(0), d, t); // 1970: no DOS date
    EXPECT_EQ(d, 0);
    EXPECT_EQ(t, 0);
    LocalDosStamp(sys::FileTimeFromUnix(1700000000), d, t);
    EXPECT_NE(d, 0);
}

TEST(FilePanelLogic, MasksFiltersAndTypedNames)
{
    EXPECT_TRUE(MatchMask(u"*.*", u"README"));
    EXPECT_FALSE(MatchMask(u"*.", u"a.b"));
    EXPECT_TRUE(MatchMask(u"*.", u"Makefile"));
    EXPECT_TRUE(MatchMask(u"*.BIN", u"data.bin"));
    EXPECT_TRUE(MatchMask(u"d?ta*", u"DATA.txt"));
    EXPECT_FALSE(MatchMask(u"*.bin", u"data.binx"));

    auto f = SplitFilter(u"A|*.*||");
    ASSERT_EQ(f.size(), 1u);
    EXPECT_EQ(f[0].pattern, u"*.*");
    f = SplitFilter(u"Všechny soubory (*.*)|*.*|Texty|*.txt||");
    ASSERT_EQ(f.size(), 2u);
    EXPECT_EQ(f[1].description, u"Texty");
    EXPECT_TRUE(SplitFilter(u"").empty());

    std::u16string folder, name;
    SplitInitial(u"x.txt", folder, name);
    EXPECT_EQ(folder, u"\\");
    EXPECT_EQ(name, u"x.txt");
    const std::u16string deep = u"\\DATA\\" + std::u16string(80, u'f') + u"\\" + std::u16string(13, u'n');
    ASSERT_EQ(deep.size(), 100u);
    SplitInitial(deep, folder, name);
    EXPECT_EQ(folder, deep.substr(0, 87));
    EXPECT_EQ(name, std::u16string(13, u'n'));

    folder = u"\\DATA\\";
    ResolveTyped(u"sub\\x.txt", folder, name);
    EXPECT_EQ(folder + name, u"\\DATA\\sub\\x.txt");
    ResolveTyped(u"\\PLCOUTPUT\\a.bin", folder, name);
    EXPECT_EQ(folder, u"\\PLCOUTPUT\\");
    EXPECT_EQ(name, u"a.bin");
    ResolveTyped(u"*.bin", folder, name);
    EXPECT_TRUE(HasWildcard(name));
    EXPECT_EQ(folder, u"\\PLCOUTPUT\\");
}

// A long shown name keeps its start and end around "..." and never splits
// a character of two units; a new folder's name is checked for its side.
TEST(FilePanelLogic, ShortenedNamesAndNewFolderNames)
{
    EXPECT_EQ(ShortenedName(u"short.txt", 60), u"short.txt");
    const std::u16string shortened = ShortenedName(std::u16string(100, u'a') + u".txt", 20);
    EXPECT_EQ(shortened, std::u16string(9, u'a') + u"..." + std::u16string(4, u'a') + u".txt");
    // "😀" is two units: cut before it at the start, after it at the end.
    std::u16string emoji;
    for (int i = 0; i < 20; ++i)
        emoji += u"😀";
    const std::u16string cut = ShortenedName(emoji, 10);
    EXPECT_LE(cut.size(), 10u);
    EXPECT_EQ(cut, u"😀😀...😀");
    EXPECT_EQ(ShortenedName(emoji.substr(0, 8), 8), emoji.substr(0, 8));

    for (std::u16string_view bad : {u"", u".", u"..", u"..\\evil", u"a/b", u"a\tb"}) {
        EXPECT_EQ(NewFolderNameProblem(bad, true), 4872u);
        EXPECT_EQ(NewFolderNameProblem(bad, false), 4872u);
    }
    EXPECT_EQ(NewFolderNameProblem(u"c:d", true), 4872u);
    EXPECT_EQ(NewFolderNameProblem(std::u16string(256, u'x'), true), 4872u);
    EXPECT_EQ(NewFolderNameProblem(u"a😀", true), 4873u);
    for (std::u16string_view good : {u"a..b", u"Řízení", u".cfg", u"-x"})
        EXPECT_EQ(NewFolderNameProblem(good, true), 0u);
    EXPECT_EQ(NewFolderNameProblem(u"c:d", false), 0u);
    EXPECT_EQ(NewFolderNameProblem(u"a😀", false), 0u);
}
