// The file manager acts on exactly the file named: local names that are
// no UTF-8 (and their look-alikes), names the control system cannot hold,
// failures on the local side, the delete question and the new folder's
// name.  The real manager against the simulator serving a folder and real
// local folders; every file on both sides is hashed around each step.
#include "linkui_env.h"

#include "link/ui/FileManagerDlg.h"
#include "link/ui/FilePanelDlg.h"
#include "platform/sys/LastError.h"
#include "platform/ui/Prompt.h"

#include <QLabel>
#include <QLineEdit>
#include <QToolButton>
#include <QTreeView>

#include <algorithm>
#include <cstring>

using namespace linkuitest;
using namespace testsupport::ui;
using linkui::CFileManagerDlg;
using linkui::CFilePanelDlg;

namespace {

// Every file and folder below root.
Hashes Entries(const std::string& root) { return HashTree(root, true); }

// The two look-alikes: Latin-1 "é" (7 bytes) and the UTF-8 of U+FFFD (9).
const std::string kLatin1 = "caf\xE9.txt";
const std::string kReplacement = "caf\xEF\xBF\xBD.txt";

class Names : public SimFixture
{
protected:
    void TearDown() override
    {
        dlg.reset();
        SimFixture::TearDown();
    }
    void Make(const std::string& left, const std::u16string& right = u"\\DATA\\")
    {
        dlg = std::make_unique<CFileManagerDlg>();
        const std::u16string l = W(left + "/");
        ASSERT_TRUE(dlg->Create(fc, l.c_str(), right.c_str(), nullptr));
        dlg->resize(900, 500);
        Idle();
    }
    void Idle()
    {
        ASSERT_TRUE(WaitFor([&] { return !dlg->Left()->IsBusy() && !dlg->Right()->IsBusy(); }, 20000, "the panes"));
    }
    void Press(int id) { FindChild<QToolButton>(dlg.get(), QStringLiteral("c%1").arg(id))->click(); }
    // The rows whose shown name is `shown`.
    std::vector<int> Rows(CFilePanelDlg* p, const QString& shown)
    {
        std::vector<int> out;
        for (int row = 0; row < p->Model()->rowCount(); ++row)
            if (p->Model()->index(row, 0).data().toString() == shown)
                out.push_back(row);
        return out;
    }
    void SelectRows(CFilePanelDlg* p, const std::vector<int>& rows)
    {
        p->ClearSelection();
        for (int row : rows)
            p->Details()->selectionModel()->select(p->Model()->index(row, 0),
                                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    // Runs a command of the active pane, answering Yes and then OK; the
    // texts shown.
    std::vector<QString> Command(int id, int prompts = 2)
    {
        PromptScript script({ui::IDYES, ui::IDOK});
        script.AllowUnexpected(true);
        Press(id);
        Idle();
        EXPECT_EQ(script.Texts().size(), size_t(prompts));
        return script.Texts();
    }
    std::unique_ptr<CFileManagerDlg> dlg;
};

} // namespace

// In a folder holding the two look-alikes, the first row is deleted and
// then the remaining one: each by its own row, nothing else touched.
TEST_F(Names, LookAlikeNamesAreDeletedEachByItsOwnRow)
{
    const std::string dir = local / "l";
    WriteFile(dir + "/" + kLatin1, "latin");
    WriteFile(dir + "/" + kReplacement, "replacement");
    WriteFile(dir + "/other.txt", "other");
    Make(dir);
    CFilePanelDlg* pane = dlg->Left();
    std::vector<int> rows;
    for (int row = 0; row < pane->Model()->rowCount(); ++row)
        if (pane->Model()->index(row, 0).data().toString().startsWith(QStringLiteral("caf")))
            rows.push_back(row);
    ASSERT_EQ(rows.size(), 2u);
    // Two rows that never look the same: the byte that is no UTF-8 marked.
    std::vector<QString> shown;
    for (int row : rows)
        shown.push_back(pane->Model()->index(row, 0).data().toString());
    std::sort(shown.begin(), shown.end());
    EXPECT_EQ(shown, (std::vector<QString>{QStringLiteral("caf\\xE9.txt"), QStringLiteral("caf\uFFFD.txt")}));

    for (int round = 0; round < 2; ++round) {
        const Hashes before = Entries(dir);
        int row = -1;
        for (int r = 0; r < pane->Model()->rowCount() && row < 0; ++r)
            if (pane->Model()->index(r, 0).data().toString().startsWith(QStringLiteral("caf")))
                row = r;
        ASSERT_GE(row, 0);
        // The bytes of the chosen file, read from the folder before.
        const bool latin = pane->Model()->index(row, 0).data().toString() == QStringLiteral("caf\\xE9.txt");
        const std::string chosen = latin ? kLatin1 : kReplacement;
        SelectRows(pane, {row});
        EXPECT_EQ(pane->Info()->text(), QString::fromStdU16String(linkui::ShownName(pane->Model()->Record(row))) +
                                            QStringLiteral(" (%1 bytů)").arg(latin ? 5 : 11));
        const std::vector<QString> texts = Command(CFileManagerDlg::ID_DELETE, 1);
        ASSERT_EQ(texts.size(), 1u);
        EXPECT_TRUE(texts[0].endsWith(QStringLiteral("Položky ke smazání (1):\r\n") +
                                      (latin ? QStringLiteral("caf\\xE9.txt") : QStringLiteral("caf\uFFFD.txt"))))
            << texts[0].toStdString();
        Hashes expected = before;
        ASSERT_EQ(expected.erase(chosen), 1u);
        EXPECT_EQ(Entries(dir), expected) << "round " << round;
    }
    EXPECT_EQ(Entries(dir).size(), 1u);
    EXPECT_EQ(ReadFile(dir + "/other.txt"), "other");
}

// Folders of such names copied, moved and deleted as trees keep every
// byte of every name; a name that is no UTF-8 never stands for another.
TEST_F(Names, TreesOfNamesThatAreNoUtf8KeepTheirBytes)
{
    const std::string src = local / "src", dst = local / "dst";
    const std::string odd = "d\x80\xFF";
    WriteFile(src + "/t/" + kLatin1, "latin");
    WriteFile(src + "/t/" + kReplacement, "replacement");
    WriteFile(src + "/t/" + odd + "/-lead", "dash");
    WriteFile(src + "/t/" + odd + "/" + std::string(254, '\xE9') + "x", "long");
    fs::create_directories(dst);
    const Hashes tree = Entries(src);
    Make(src, W(dst + "/"));
    SelectRows(dlg->Left(), Rows(dlg->Left(), QStringLiteral("t")));
    EXPECT_EQ(Command(CFileManagerDlg::ID_COPY, 1).size(), 1u);
    EXPECT_EQ(Entries(src), tree);
    EXPECT_EQ(Entries(dst), tree);

    // Moved back beside itself: the copy goes, the tree arrives whole.
    fs::remove_all(src);
    fs::create_directories(src);
    dlg->SetActivePane(1);
    dlg->Right()->Refresh();
    dlg->Left()->Refresh();
    Idle();
    SelectRows(dlg->Right(), Rows(dlg->Right(), QStringLiteral("t")));
    EXPECT_EQ(Command(CFileManagerDlg::ID_MOVE, 1).size(), 1u);
    EXPECT_EQ(Entries(src), tree);
    EXPECT_TRUE(Entries(dst).empty());

    // Deleted as a tree: everything goes.
    dlg->SetActivePane(0);
    SelectRows(dlg->Left(), Rows(dlg->Left(), QStringLiteral("t")));
    EXPECT_EQ(Command(CFileManagerDlg::ID_DELETE, 1).size(), 1u);
    EXPECT_TRUE(Entries(src).empty());
}

// "a😀.txt" copied to \DATA\ is refused with its reason and nothing is
// written; the other files go on.  So is a name that is no UTF-8, one with
// "\" (it would land in another folder), and such names inside a folder.
TEST_F(Names, NamesTheControlSystemCannotHoldAreRefused)
{
    const std::string dir = local / "l";
    WriteFile(dir + "/a\xF0\x9F\x98\x80.txt", "emoji");
    WriteFile(dir + "/" + kLatin1, "latin");
    WriteFile(dir + "/x\\y.txt", "backslash");
    WriteFile(dir + "/ok.txt", "ok");
    WriteFile(dir + "/f/in.txt", "in");
    WriteFile(dir + "/f/b\xF0\x9F\x98\x80.txt", "emoji 2");
    fs::create_directories(share / "x");
    const Hashes local0 = Entries(dir);
    Make(dir);
    std::vector<int> rows;
    for (int row = 0; row < dlg->Left()->Model()->rowCount(); ++row)
        rows.push_back(row); // "." and ".." too: never taken
    SelectRows(dlg->Left(), rows);
    const std::vector<QString> texts = Command(CFileManagerDlg::ID_MOVE);
    ASSERT_EQ(texts.size(), 2u);
    const QString d = QString::fromStdString(dir);
    const QString outside = QStringLiteral(
        " se na řídící systém nepřenáší: jméno obsahuje znaky, které kódová stránka řídícího systému (1250) nemá\r\n");
    EXPECT_EQ(texts[1], QStringLiteral("Při přesunu soborů došlo k chybám:\r\n\r\n") + d + QStringLiteral("/a😀.txt") +
                            outside + d + QStringLiteral("/caf\\xE9.txt") + outside + d +
                            QStringLiteral("/x\\y.txt se na řídící systém nepřenáší: jméno obsahuje \"\\\", \":\" nebo "
                                           "řídicí znak, které řídící systém ve jménu nepřipouští\r\n") +
                            d + QStringLiteral("/f/b😀.txt") + outside);
    // The others went; as the move failed, no source was removed.
    EXPECT_EQ(Entries(share.Path()),
              (Hashes{{"ok.txt", local0.at("ok.txt")}, {"f", 0}, {"f/in.txt", local0.at("f/in.txt")}, {"x", 0}}));
    EXPECT_EQ(Entries(dir), local0);
    EXPECT_EQ(Received(1), 1u); // MKDIR of f only
    EXPECT_EQ(Received(6), 2u); // ok.txt and f/in.txt
}

// A local file that cannot be written is no communication error: the
// local file and the cause.
TEST_F(Names, ALocalWriteFailureNamesTheLocalFile)
{
    WriteFile(share / "right1.txt", "remote");
    WriteFile(share / "right2.txt", "remote 2");
    const std::string dir = local / "l";
    fs::create_directories(dir + "/right1.txt");
    Make(dir);
    const Hashes local0 = Entries(dir);
    dlg->SetActivePane(1);
    SelectRows(dlg->Right(), {Rows(dlg->Right(), QStringLiteral("right1.txt")).at(0),
                              Rows(dlg->Right(), QStringLiteral("right2.txt")).at(0)});
    const std::vector<QString> texts = Command(CFileManagerDlg::ID_COPY);
    ASSERT_EQ(texts.size(), 2u);
    const QString target = QString::fromStdString(dir + "/right1.txt");
    EXPECT_EQ(texts[1], QStringLiteral("Při kopírování soborů došlo k chybám:\r\n\r\nNepodařilo se přenést soubor ") +
                            target + QStringLiteral("\r\n") + target + QStringLiteral(": ") +
                            QString::fromLocal8Bit(std::strerror(EISDIR)) + QStringLiteral("\r\n"));
    Hashes expected = local0;
    expected["right2.txt"] = Entries(share.Path()).at("right2.txt");
    EXPECT_EQ(Entries(dir), expected);
    EXPECT_EQ(Received(4), 1u); // right2.txt only
}

// The delete question lists and counts only what will be deleted, and
// a long name is shortened so that the count line always shows.
TEST_F(Names, TheDeleteQuestionListsWhatWillBeDeleted)
{
    const std::string dir = local / "l";
    const std::string longName = "a" + std::string(250, 'n') + ".txt"; // 255 bytes
    WriteFile(dir + "/" + longName, "long");
    for (int i = 0; i < 11; ++i)
        WriteFile(dir + "/f" + std::to_string(10 + i) + ".txt", "f");
    Make(dir);
    const Hashes local0 = Entries(dir);
    std::vector<int> rows;
    for (int row = 0; row < dlg->Left()->Model()->rowCount(); ++row)
        rows.push_back(row);
    SelectRows(dlg->Left(), rows); // as Ctrl+A: "." and ".." among them
    {
        PromptScript script({ui::IDNO});
        Press(CFileManagerDlg::ID_DELETE);
        ASSERT_EQ(script.Texts().size(), 1u);
        const QStringList lines = script.Texts()[0].split(QStringLiteral("\r\n"));
        ASSERT_EQ(lines.size(), 14) << script.Texts()[0].toStdString();
        EXPECT_EQ(lines[2], QStringLiteral("Položky ke smazání (12):"));
        const QString shortened =
            QStringLiteral("a") + QString(28, u'n') + QStringLiteral("...") + QString(24, u'n') + QStringLiteral(".txt");
        EXPECT_EQ(lines[3], shortened);
        for (int i = 0; i < 9; ++i)
            EXPECT_EQ(lines[4 + i], QStringLiteral("f%1.txt").arg(10 + i));
        EXPECT_EQ(lines[13], QStringLiteral("... a další (2)"));
    }
    EXPECT_EQ(Entries(dir), local0);
    // "." and ".." alone: nothing to ask, nothing done.
    SelectRows(dlg->Left(), {Rows(dlg->Left(), QStringLiteral(".")).at(0), Rows(dlg->Left(), QStringLiteral("..")).at(0)});
    {
        PromptScript none;
        Press(CFileManagerDlg::ID_DELETE);
        EXPECT_TRUE(none.Texts().empty());
    }
    EXPECT_EQ(Entries(dir), local0);
}

// "Nová složka": a name with "\", "/", "..", or characters the code page
// lacks is refused with a message before anything is sent.
TEST_F(Names, ANewFolderNameIsCheckedBeforeAnythingIsSent)
{
    const std::string dir = local / "l";
    fs::create_directories(dir);
    Make(dir);
    const Hashes share0 = Entries(share.Path()), local0 = Entries(dir);
    const QString bad = QStringLiteral("\" nelze použít: nesmí být prázdné, \".\" ani \"..\" a nesmí obsahovat \"\\\", "
                                       "\"/\" ani řídicí znaky (na řídícím systému ani \":\").");
    const struct
    {
        int pane;
        QString typed, message;
    } cases[] = {
        {1, QStringLiteral("..\\evil"), QStringLiteral("Jméno adresáře \"..\\evil") + bad},
        {1, QStringLiteral(".."), QStringLiteral("Jméno adresáře \"..") + bad},
        {1, QStringLiteral("a/b"), QStringLiteral("Jméno adresáře \"a/b") + bad},
        {1, QStringLiteral("c:d"), QStringLiteral("Jméno adresáře \"c:d") + bad},
        {1, QStringLiteral("a😀"), QStringLiteral("Jméno adresáře \"a😀\" nelze použít: obsahuje znaky, které kódová "
                                                 "stránka řídícího systému (1250) nemá.")},
        {0, QStringLiteral("..\\evil"), QStringLiteral("Jméno adresáře \"..\\evil") + bad},
        {0, QStringLiteral("../evil"), QStringLiteral("Jméno adresáře \"../evil") + bad},
    };
    for (const auto& c : cases) {
        dlg->SetActivePane(c.pane);
        OnNextModal<QDialog>([&](QDialog* d) {
            FindChild<QLineEdit>(d, "c11177")->setText(c.typed);
            FindChild<QAbstractButton>(d, "c1")->click();
        });
        PromptScript script({ui::IDOK});
        Press(CFileManagerDlg::ID_CREATEDIR);
        Idle();
        ASSERT_EQ(script.Texts().size(), 1u) << c.typed.toStdString();
        EXPECT_EQ(script.Texts()[0], c.message);
    }
    EXPECT_EQ(Received(1), 0u);
    EXPECT_EQ(Entries(share.Path()), share0);
    EXPECT_EQ(Entries(dir), local0);
    EXPECT_FALSE(fs::exists(local / "evil"));
    // A good name still goes: "a..b" on the control system, "é" locally.
    for (const auto& [pane, typed] : {std::pair{1, QStringLiteral("a..b")}, std::pair{0, QStringLiteral("é")}}) {
        dlg->SetActivePane(pane);
        OnNextModal<QDialog>([&, typed = typed](QDialog* d) {
            FindChild<QLineEdit>(d, "c11177")->setText(typed);
            FindChild<QAbstractButton>(d, "c1")->click();
        });
        PromptScript none;
        Press(CFileManagerDlg::ID_CREATEDIR);
        Idle();
        EXPECT_TRUE(none.Texts().empty());
    }
    EXPECT_TRUE(fs::is_directory(share / "a..b"));
    EXPECT_TRUE(fs::is_directory(dir + "/\xC3\xA9"));
}

// The link refuses a request path that does not convert exactly into the
// control system's code page (it would go out with "?" and name another
// entry), before anything is sent; an exact one still goes.
TEST_F(Names, TheLinkRefusesAPathItCannotConvert)
{
    const std::string dir = local / "l";
    WriteFile(dir + "/a.txt", "a");
    WriteFile(share / "x/s.txt", "s");
    const Hashes share0 = Entries(share.Path());
    QObject obj;
    const auto target = ui::RegisterMessageTarget(&obj, [](uint32_t, uintptr_t, intptr_t, ui::MessageRecord*) {
        return intptr_t(0);
    });
    const std::u16string bad = u"\\DATA\\x\\a\U0001F600.txt", local = W(dir + "/a.txt");
    uint32_t job = 0;
    for (int call = 0; call < 5; ++call) {
        sys::SetLastError(0);
        int r = 1;
        switch (call) {
        case 0: r = fc->Put(target, 0, nullptr, &job, local.c_str(), bad.c_str()); break;
        case 1: r = fc->CreateDir(target, 0, bad.c_str()); break;
        case 2: r = fc->Copy(target, 0, u"\\DATA\\x\\s.txt", bad.c_str()); break;
        case 3: r = fc->Move(target, 0, u"\\DATA\\x\\s.txt", bad.c_str()); break;
        default: r = fc->GetFileInfo(target, 0, bad.c_str()); break;
        }
        EXPECT_EQ(r, 0) << call;
        EXPECT_EQ(sys::GetLastError(), 555u) << call;
    }
    ASSERT_TRUE(RoundTrip());
    for (uint8_t code : {0, 1, 5, 6, 8})
        EXPECT_EQ(Received(code), 0u) << int(code);
    EXPECT_EQ(Entries(share.Path()), share0);
    ui::UnregisterMessageTarget(target);
}

// A local name with "\" is never taken for a path below its folder: the
// entry "x\y.txt" is refused, and "x/y.txt" beside it is never touched.
TEST_F(Names, ALocalNameWithABackslashNeverStandsForAnotherEntry)
{
    const std::string src = local / "src", dst = local / "dst";
    WriteFile(src + "/x\\y.txt", "backslash");
    WriteFile(src + "/x/y.txt", "in x");
    WriteFile(dst + "/x/y.txt", "in dst x");
    const Hashes src0 = Entries(src), dst0 = Entries(dst);
    Make(src, W(dst + "/"));
    const QString line = QString::fromStdString(src) +
                         QStringLiteral("/x\\y.txt: jméno obsahuje \"\\\", které se zde čte jako oddělovač složek; "
                                        "položka se nekopíruje, nepřesouvá ani nemaže\r\n");
    for (const int command : {CFileManagerDlg::ID_DELETE, CFileManagerDlg::ID_MOVE, CFileManagerDlg::ID_COPY}) {
        SelectRows(dlg->Left(), Rows(dlg->Left(), QStringLiteral("x\\y.txt")));
        const std::vector<QString> texts = Command(command);
        ASSERT_EQ(texts.size(), 2u) << command;
        EXPECT_TRUE(texts[1].endsWith(QStringLiteral(":\r\n\r\n") + line)) << texts[1].toStdString();
        EXPECT_EQ(Entries(src), src0) << command;
        EXPECT_EQ(Entries(dst), dst0) << command;
    }
}
