// The template scan of the new-project dialog: which files are listed, in
// which order, a folder loop and the split of the template folders.
#include "ProjfileTest.h"
#include "core/projfile/ProjectTemplates.h"
#include "tests/support/platform/TempDir.h"

#include <gtest/gtest.h>

#include <unistd.h>

using namespace core;

namespace {

std::string Template(const std::string& comment, const std::string& header = "Strandwork project",
                     const std::string& version = "6")
{
    return header + "\r\nProjectFormatVersion = " + version +
           "\r\nProjectSettingsModificationTime = 1. 2. 2003, 4:5:6\r\nPLCSourceFilesCount = "
           "0\r\n" +
           comment + "\r\nPathOutput = Output\r\n";
}

std::u16string W(const std::string& s)
{
    return sys::AnsiToWide(s);
}

std::vector<std::u16string> Names(const ProjectTemplateList& list)
{
    std::vector<std::u16string> n;
    for (const ProjectTemplateInfo& t : list)
        n.push_back(t.Name);
    return n;
}

ProjectTemplateList Scan(const std::vector<std::string>& folders)
{
    ProjectTemplateList list = FixedTemplateEntries();
    std::set<std::pair<dev_t, ino_t>> visited;
    for (const std::string& f : folders)
        ScanTemplates(list, W(f), true, visited);
    return list;
}

} // namespace

TEST(ProjfileTemplates, TwoFoldersInTheDecidedOrder)
{
    testsupport::TempDir a, b;
    a.Write("z.kxp", Template("PLCComment = A z"));
    a.Write("B.KXP", Template("PLCComment = A B"));
    a.Write("sub2/x.kxp", Template("PLCComment = A sub2 x"));
    a.Write("Sub1/y.Kxp", Template("PLCComment=A Sub1 y"));
    a.Write("Sub1/deep/y.kxp", Template("PLCComment   =   A Sub1 deep y  "));
    a.Write("sub1/w.kxp", Template("PLCComment = A sub1 w"));
    a.Write("notes.txt", Template("PLCComment = not a template"));
    b.Write("t.kxp", Template("PLCComment = B t"));

    const ProjectTemplateList list = Scan({a.Path() + "/", b.Path()});
    EXPECT_EQ(Names(list),
              (std::vector<std::u16string>{u"Prázdný projekt", u"Importovat *.knf",
                                           u"A Sub1 deep y  ", u"A Sub1 y", u"A sub1 w",
                                           u"A sub2 x", u"A B", u"A z", u"B t"}));
    EXPECT_EQ(list[0].Kind, 0);
    EXPECT_EQ(list[1].Kind, 1);
    EXPECT_TRUE(list[1].Path.empty());
    EXPECT_EQ(list[2].Kind, 2);
    EXPECT_EQ(list[2].Path, W(a.Path() + "/Sub1/deep/y.kxp"));
    EXPECT_EQ(list.back().Path, W(b.Path() + "/t.kxp"));

    // Without append the list starts again from the fixed entries.
    ProjectTemplateList again = list;
    std::set<std::pair<dev_t, ino_t>> visited;
    ScanTemplates(again, W(b.Path()), false, visited);
    EXPECT_EQ(Names(again),
              (std::vector<std::u16string>{u"Prázdný projekt", u"Importovat *.knf", u"B t"}));
}

TEST(ProjfileTemplates, WhatIsListed)
{
    testsupport::TempDir dir;
    dir.Write("empty-comment.kxp", Template("PLCComment = "));
    dir.Write("version-7.kxp", Template("PLCComment = v7", "Strandwork project", "7"));
    dir.Write("version-0.kxp", Template("PLCComment = v0", "Strandwork project", "0"));
    dir.Write("other.kxp", Template("PLCComment = other", "Another project"));
    dir.Write("key-case.kxp", Template("plccomment = lower key"));
    dir.Write("no-comment.kxp", Template("Comment = none"));
    dir.Write("capitals.kxp", Template("PLCComment = capitals", "STRANDWORK PROJECT", "1"));
    dir.Write("czech.kxp", projtest::Ansi(sys::AnsiToWide(Template("")) + u"PLCComment = Řízení lisu\r"));
    dir.Write("folder.kxp/inside.kxp", Template("PLCComment = inside"));
    EXPECT_EQ(Names(Scan({dir.Path()})),
              (std::vector<std::u16string>{u"Prázdný projekt", u"Importovat *.knf", u"inside",
                                           u"capitals", u"Řízení lisu"}));
    EXPECT_FALSE(ReadTemplateInfo(W(dir / "missing.kxp")));
    EXPECT_FALSE(ReadTemplateInfo(W(dir / "folder.kxp")));

    // Only the first 1 MiB is read.
    std::string big = Template("");
    big += std::string(1 << 20, 'x') + "\r\nPLCComment = too late\r\n";
    dir.Write("big.kxp", big);
    EXPECT_FALSE(ReadTemplateInfo(W(dir / "big.kxp")));
}

TEST(ProjfileTemplates, AFolderLoopIsScannedOnce)
{
    testsupport::TempDir dir;
    dir.Write("a/t.kxp", Template("PLCComment = t"));
    ASSERT_EQ(::symlink(dir.Path().c_str(), (dir / "a/loop").c_str()), 0);
    ASSERT_EQ(::symlink((dir / "a").c_str(), (dir / "again").c_str()), 0);
    EXPECT_EQ(Names(Scan({dir.Path(), dir / "a"})),
              (std::vector<std::u16string>{u"Prázdný projekt", u"Importovat *.knf", u"t"}));
}

TEST(ProjfileTemplates, SplitTemplateFolders)
{
    EXPECT_EQ(SplitTemplateFolders(u" /a/b/ ;;x; \t/c ;/d"),
              (std::vector<std::u16string>{u"/a/b/", u"/c", u"/d"}));
    EXPECT_TRUE(SplitTemplateFolders(u"").empty());
    EXPECT_TRUE(SplitTemplateFolders(u"/;  ").empty());
}
