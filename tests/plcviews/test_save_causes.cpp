// Saves of a text document that fail on real file systems: a full disk (a
// small tmpfs), a folder deleted after the open, a folder made read-only
// after the open (a read-only bind mount).  Each message names the file and
// the cause on a line of its own, the old file stays, and the "save as"
// that every failed save offers comes after the message that says why;
// cancelling it keeps the document modified.  A file the
// user may not read names the file and the cause when its open fails.
#include "plcviews/StructuredTextDoc.h"
#include "platform/ui/Prompt.h"
#include "res/StringTable.h"
#include "res/text/StringIds.h"
#include "tests/plcviews/ModalSteps.h"
#include "tests/support/platform/Mounts.h"
#include "tests/support/plcviews/PlcViewsTest.h"
#include "tests/support/ui/CancelSaveAs.h"
#include "tests/support/ui/UiTest.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace testsupport::ui;
using testsupport::plcviews::DebugSession;
using testsupport::plcviews::ModalSteps;

namespace {

CStructuredTextDoc* OpenModified(DebugSession& s, const std::string& rel, std::u16string_view text)
{
    auto* doc = qobject_cast<CStructuredTextDoc*>(s.App()->OpenDocumentFile(s.Path(rel)));
    if (doc) {
        int l = 0, c = 0;
        doc->Buffer().InsertText(nullptr, 0, 0, text, l, c, 0);
    }
    return doc;
}

QString SaveFailed(const QString& path, int cause)
{
    return ui::WithFileCause(FormatResString(IDS_FILE_SAVE_FAILED, QDir::toNativeSeparators(path)), path,
                             uint32_t(cause));
}

} // namespace

TEST(SaveCauses, AFullDiskAndADeletedFolderNameTheFileAndTheCause)
{
    DebugSession s;
    ASSERT_TRUE(s.StartApp());
    s.dir.Write("gone/F.plc", "old\r\n");
    CStructuredTextDoc* doc = OpenModified(s, "gone/F.plc", u"new");
    ASSERT_NE(doc, nullptr);
    std::filesystem::remove_all(s.dir / "gone");
    {
        PromptScript failed({ui::IDOK});
        size_t toldBefore = 0;
        CancelSaveAs saveAs([&] { toldBefore = failed.Texts().size(); });
        EXPECT_FALSE(doc->DoFileSave());
        EXPECT_EQ(saveAs.Count(), 1);
        EXPECT_EQ(toldBefore, 1u);
        EXPECT_EQ(failed.Texts(), std::vector<QString>{SaveFailed(s.Path("gone/F.plc"), ENOENT)});
        EXPECT_TRUE(doc->IsModified());
        EXPECT_FALSE(std::filesystem::exists(s.dir / "gone"));
    }
    {
        // The close's question: Yes fails again and offers another place;
        // cancelled, the document stays open and modified.
        PromptScript asked({ui::IDYES, ui::IDOK});
        CancelSaveAs saveAs;
        EXPECT_FALSE(doc->SaveModified());
        EXPECT_EQ(saveAs.Count(), 1);
        EXPECT_EQ(asked.Texts().size(), 2u);
        EXPECT_TRUE(doc->IsModified());
    }

    std::filesystem::create_directory(s.dir / "disk");
    const testsupport::TestMount disk = testsupport::TestMount::Tmpfs(s.dir / "disk", 16384);
    if (!disk.Up())
        GTEST_SKIP() << "the full disk is not tried: " << disk.Why();
    s.dir.Write("disk/F.plc", "old\r\n");
    doc = OpenModified(s, "disk/F.plc", std::u16string(200000, u'x'));
    ASSERT_NE(doc, nullptr);
    PromptScript failed({ui::IDOK});
    CancelSaveAs saveAs;
    EXPECT_FALSE(doc->DoFileSave());
    EXPECT_EQ(saveAs.Count(), 1);
    EXPECT_EQ(failed.Texts(), std::vector<QString>{SaveFailed(s.Path("disk/F.plc"), ENOSPC)});
    EXPECT_TRUE(doc->IsModified());
    EXPECT_EQ(s.dir.Read("disk/F.plc"), "old\r\n");
    doc->SetModifiedFlag(false);
    doc->OnCloseDocument();
}

TEST(SaveCauses, AReadOnlyFolderSaysWhyBeforeSaveAs)
{
    DebugSession s;
    ASSERT_TRUE(s.StartApp());
    s.dir.Write("ro/F.plc", "old\r\n");
    CStructuredTextDoc* doc = OpenModified(s, "ro/F.plc", u"new");
    ASSERT_NE(doc, nullptr);
    const testsupport::TestMount readOnly = testsupport::TestMount::ReadOnly(s.dir / "ro");
    if (!readOnly.Up())
        GTEST_SKIP() << readOnly.Why();
    PromptScript prompts({ui::IDOK});
    std::vector<QString> beforeSaveAs;
    bool saveAsShown = false;
    ModalSteps steps;
    steps.Then([] { return qobject_cast<QFileDialog*>(QApplication::activeModalWidget()) != nullptr; },
               [&] {
                   saveAsShown = true;
                   beforeSaveAs = prompts.Texts();
                   qobject_cast<QFileDialog*>(QApplication::activeModalWidget())->reject();
               },
               "save as", 20000);
    steps.Start();
    EXPECT_FALSE(doc->DoFileSave());
    EXPECT_TRUE(saveAsShown);
    // The message came first; cancelling the "save as" says nothing more.
    const std::vector<QString> why{ui::WithFileCause(ui::FrameworkText(ui::IDS_FAILED_TO_SAVE), s.Path("ro/F.plc"),
                                                     EROFS)};
    EXPECT_EQ(beforeSaveAs, why);
    EXPECT_EQ(prompts.Texts(), why);
    EXPECT_TRUE(doc->IsModified());
    EXPECT_EQ(s.dir.Read("ro/F.plc"), "old\r\n");
    doc->SetModifiedFlag(false);
    doc->OnCloseDocument();
}

TEST(SaveCauses, AFileTheUserMayNotReadNamesTheFileAndTheCause)
{
    DebugSession s;
    ASSERT_TRUE(s.StartApp());
    s.dir.Write("F.plc", "secret\r\n");
    ASSERT_EQ(::chmod((s.dir / "F.plc").c_str(), 0), 0);
    const QString path = s.Path("F.plc");
    // Root reads every file: the open runs as another user then, in a child.
    const auto open = [&path] {
        PromptScript prompts({ui::IDOK});
        CStructuredTextDoc doc;
        const bool opened = doc.OnOpenDocument(path);
        const bool named = prompts.Texts() == std::vector<QString>{ui::WithFileCause(
                                                  ui::FrameworkText(ui::IDS_FAILED_TO_OPEN), path, EACCES)};
        return opened ? 1 : named ? 0 : 2;
    };
    if (::geteuid() != 0) {
        EXPECT_EQ(open(), 0);
        return;
    }
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(3);
        ::_exit(open());
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: opened, 2: the message does not name the file and the cause";
}
