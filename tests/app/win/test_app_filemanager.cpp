// Tools > "Správce souborů..." without a project: the manager on a link of
// its own, opened with the options' connection string.
#include "app/StrandworkApp.h"
#include "link/ui/FileManagerDlg.h"
#include "link/ui/FilePanelDlg.h"
#include "platform/sys/CodePage.h"
#include "platform/sys/Registry.h"
#include "platform/ui/Prompt.h"
#include "tests/support/platform/TempDir.h"
#include "tests/support/ui/UiTest.h"

using namespace testsupport::ui;
using linkui::CFileManagerDlg;

namespace {
std::unique_ptr<CStrandworkApp> StartApp(const std::u16string& connection)
{
    sys::Profile::WriteString(u"Options", u"OlnkConnectionString", connection);
    auto app = std::make_unique<CStrandworkApp>();
    app->SetArguments({});
    EXPECT_TRUE(app->InitInstance());
    return app;
}
} // namespace

TEST(AppFileManager, RunsTheManagerOnTheOptionsString)
{
    testsupport::TempDir share;
    share.Write("hello.txt", "hi");
    auto sim = Simulator::StartUdp({QStringLiteral("--share"), QStringLiteral("DATA=") + QString::fromStdString(share.Path())});
    ASSERT_NE(sim, nullptr);
    auto app = StartApp(sys::Utf8ToUtf16Lenient(sim->ConnectionString()));
    bool seen = false;
    OnNextModal<CFileManagerDlg>([&](CFileManagerDlg* d) {
        ASSERT_TRUE(WaitFor([d] { return !d->Right()->IsBusy() && d->Right()->Model()->rowCount() > 0; }, 20000,
                            "the right pane"));
        EXPECT_EQ(d->Right()->GetPath(), u"\\");
        EXPECT_EQ(linkui::NameOf(d->Right()->Model()->Record(0)), u"DATA");
        EXPECT_EQ(d->Left()->GetPath(), linkui::HomeFolder());
        EXPECT_EQ(d->parentWidget(), nullptr);
        seen = true;
        d->reject();
    }, 30000);
    EXPECT_TRUE(app->ExecuteCommand(ID_TOOLS_FILEMANAGER));
    EXPECT_TRUE(seen);
}

TEST(AppFileManager, ARefusedStringGivesTheOpenFailure)
{
    auto app = StartApp(u"Type = Foo;");
    PromptScript prompts({ui::IDOK});
    EXPECT_TRUE(app->ExecuteCommand(ID_TOOLS_FILEMANAGER));
    ASSERT_EQ(prompts.Texts().size(), 1u);
    EXPECT_EQ(prompts.Texts()[0], QStringLiteral("Nepodařilo se vytvořit spojení\r\n"));
}
