// The recent-file and recent-project lists: adding, display names, the
// registry, the menu and the open commands.

#include "AppTest.h"

#include "platform/ui/Command.h"
#include "platform/ui/Menu.h"
#include "res/StringTable.h"

#include <QDir>

#include <unistd.h>

namespace {

CRecentProjectList MakeList()
{
    return CRecentProjectList(0, "Recent File List", "File%d", "Project%d", 10);
}

TEST_F(AppTest, RecentOneEntryPerFile)
{
    CRecentProjectList list = MakeList();
    dir.Write("sub/p.kxp", "x");
    ASSERT_EQ(::symlink((dir / "sub").c_str(), (dir / "link").c_str()), 0);
    list.Add(Q(dir / "sub/p.kxp"));
    list.Add(Q(dir / "sub/../sub/./p.kxp"));
    list.Add(Q(dir / "link/p.kxp"));
    EXPECT_EQ(list.Projects()[0], Q(dir / "link/p.kxp"));
    EXPECT_TRUE(list.Projects()[1].isEmpty());
    // Letter case alone makes another file on this system; ".KXP" is still a project.
    list.Add(Q(dir / "sub/P.KXP"));
    EXPECT_EQ(list.Projects()[1], Q(dir / "link/p.kxp"));
    // A relative path is made full.
    const QString old = QDir::currentPath();
    QDir::setCurrent(Q(dir.Path()));
    list.Add("rel.txt");
    QDir::setCurrent(old);
    EXPECT_EQ(list.Files()[0], Q(dir / "rel.txt"));
}

TEST_F(AppTest, RecentEleventhDropsOldestListsIndependent)
{
    CRecentProjectList list = MakeList();
    for (int i = 1; i <= 11; ++i)
        list.Add(QStringLiteral("/p/%1.kxp").arg(i));
    list.Add("/f/a.txt");
    EXPECT_EQ(list.Projects()[0], QStringLiteral("/p/11.kxp"));
    EXPECT_EQ(list.Projects()[9], QStringLiteral("/p/2.kxp"));
    EXPECT_EQ(list.Files()[0], QStringLiteral("/f/a.txt"));
    EXPECT_TRUE(list.Files()[1].isEmpty());
    // An entry already listed moves to the top; nothing drops.
    list.Add("/p/5.kxp");
    EXPECT_EQ(list.Projects()[0], QStringLiteral("/p/5.kxp"));
    EXPECT_EQ(list.Projects()[1], QStringLiteral("/p/11.kxp"));
    EXPECT_EQ(list.Projects()[9], QStringLiteral("/p/2.kxp"));

    // Written and read back: only non-empty entries, numbered from 1.
    list.WriteList();
    EXPECT_EQ(sys::Profile::GetString(u"Recent File List", u"Project10"), u"/p/2.kxp");
    EXPECT_EQ(sys::Profile::GetString(u"Recent File List", u"File1"), u"/f/a.txt");
    EXPECT_EQ(sys::Profile::GetString(u"Recent File List", u"File2", u"none"), u"none");
    CRecentProjectList back = MakeList();
    back.ReadList();
    EXPECT_EQ(back.Projects(), list.Projects());
    EXPECT_EQ(back.Files(), list.Files());
}

TEST_F(AppTest, RecentDisplayNames)
{
    CRecentProjectList list = MakeList();
    list.Add("/home/u/Lis.kxp");
    list.Add("/home/user/projects/machines/press/line/Lis.kxp");
    QString name;
    EXPECT_TRUE(list.GetProjectDisplayName(name, 1, "/home/u/"));
    EXPECT_EQ(name, QStringLiteral("Lis.kxp"));
    EXPECT_TRUE(list.GetProjectDisplayName(name, 1, "/elsewhere/"));
    EXPECT_EQ(name, QStringLiteral("/home/u/Lis.kxp"));
    EXPECT_TRUE(list.GetProjectDisplayName(name, 0, "/elsewhere/"));
    EXPECT_EQ(name, QStringLiteral("/home/.../press/line/Lis.kxp"));
    EXPECT_LE(name.size(), 30);
    EXPECT_FALSE(list.GetProjectDisplayName(name, 2, "/"));
    EXPECT_EQ(CRecentProjectList::AbbreviatePath("/a/" + QString(40, 'x') + ".kxp", 30),
              QString(40, 'x') + ".kxp");
}

TEST_F(AppTest, RecentMenuAndCommands)
{
    ui::ScriptedPrompts prompts;
    ASSERT_TRUE(Start({}));
    dir.Write("b.kxp", "not a project");
    app->RecentList()->Add(Q(dir / "a.kxp")); // deleted meanwhile
    app->RecentList()->Add(Q(dir / "b.kxp"));
    app->RecentList()->Add(Q(dir / "c & d.kxp"));
    // Entries: 0 "c & d", 1 b, 2 a.

    // The submenu lists every entry, most recent first.
    auto menu = ui::Menu::Load(1);
    ASSERT_NE(menu, nullptr);
    int index = -1;
    ui::Menu* sub = menu->FindMenuOf(ID_PROJECT_MRU_FIRST, &index);
    ASSERT_NE(sub, nullptr);
    ui::CmdUI cmd(ID_PROJECT_MRU_FIRST);
    cmd.SetMenuItem(sub, index);
    app->RecentList()->UpdateMenu(cmd);
    ASSERT_EQ(sub->ItemCount(), 3);
    EXPECT_EQ(cmd.Index(), 2);
    EXPECT_EQ(sub->Item(0)->text,
              QStringLiteral("&0 ") + CRecentProjectList::AbbreviatePath(Q(dir / "c & d.kxp"), 30).replace("&", "&&"));
    EXPECT_EQ(sub->ItemId(2), ID_PROJECT_MRU_FIRST + 2);

    // A deleted project: message 4177 and exactly its own entry goes.
    EXPECT_FALSE(app->OnOpenRecentProject(ID_PROJECT_MRU_FIRST + 2));
    ASSERT_EQ(prompts.Asked().size(), 1u);
    EXPECT_EQ(prompts.Asked()[0].text, FormatResString(IDS_PROJECT_MISSING, Q(dir / "a.kxp")));
    EXPECT_EQ(app->RecentList()->Projects()[0], Q(dir / "c & d.kxp"));
    EXPECT_EQ(app->RecentList()->Projects()[1], Q(dir / "b.kxp"));
    EXPECT_TRUE(app->RecentList()->Projects()[2].isEmpty());

    // An id beyond the list, or an empty entry, does nothing.
    EXPECT_FALSE(app->OnOpenRecentProject(ID_PROJECT_MRU_FIRST + 11));
    EXPECT_FALSE(app->OnOpenRecentProject(ID_PROJECT_MRU_FIRST + 5));
    EXPECT_EQ(prompts.Asked().size(), 1u);

    // A project that exists but cannot be opened is removed by its path.
    EXPECT_TRUE(app->OnOpenRecentProject(ID_PROJECT_MRU_FIRST + 1));
    EXPECT_EQ(app->RecentList()->Projects()[0], Q(dir / "c & d.kxp"));
    EXPECT_TRUE(app->RecentList()->Projects()[1].isEmpty());

    // A file of the file list opens, and goes to the top of its list.
    dir.Write("n.txt", "x");
    app->RecentList()->Add(Q(dir / "n.txt"));
    app->RecentList()->Add(Q(dir / "m.txt"));
    EXPECT_TRUE(app->OnOpenRecentFile(ID_FILE_MRU_FIRST + 1));
    EXPECT_EQ(app->Template(0)->GetDocumentCount(), 1);
    // A path that cannot be opened as a file (a folder there; a path that
    // does not exist opens as a new, empty document).
    ASSERT_TRUE(QDir().mkpath(Q(dir / "m.txt")));
    EXPECT_EQ(app->RecentList()->Files()[0], Q(dir / "n.txt"));
    // One that cannot be opened is removed without the project message.
    const size_t asked = prompts.Asked().size();
    EXPECT_TRUE(app->OnOpenRecentFile(ID_FILE_MRU_FIRST + 1));
    EXPECT_EQ(app->RecentList()->Files()[0], Q(dir / "n.txt"));
    EXPECT_TRUE(app->RecentList()->Files()[1].isEmpty());
    for (size_t i = asked; i < prompts.Asked().size(); ++i)
        EXPECT_NE(prompts.Asked()[i].text, FormatResString(IDS_PROJECT_MISSING, Q(dir / "m.txt")));
}

TEST_F(AppTest, RecentEmptyListShowsFirstSeenTextDisabled)
{
    CRecentProjectList list = MakeList();
    auto menu = ui::Menu::Load(1);
    int index = -1;
    ui::Menu* sub = menu->FindMenuOf(ID_FILE_MRU_FIRST, &index);
    ASSERT_NE(sub, nullptr);
    ui::CmdUI cmd(ID_FILE_MRU_FIRST);
    cmd.SetMenuItem(sub, index);
    list.UpdateMenu(cmd);
    EXPECT_FALSE(cmd.Enabled());
    EXPECT_EQ(cmd.Text(), QStringLiteral("Minulý soubor"));
}

} // namespace
