// The program itself, as linked (from static archives, as the release
// build links it), reads a stored toolbar state that holds a combo box
// button and writes it back at exit with its items, selection and width.
// The state is made here with the UI library; the program is started on
// the offscreen platform and closed by SIGTERM, which saves the bars.

#include "mainwnd/MainFrame.h"
#include "platform/sys/Registry.h"
#include "res/CommandIds.h"
#include "tests/support/platform/TempDir.h"
#include "tests/support/platform/Wait.h"
#include "uilib/KVTToolBar.h"
#include "uilib/KVTToolbarComboBoxButton.h"

#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

namespace {

// The main toolbar's stored buttons as the program leaves them.
std::unique_ptr<CKVTToolBar> StoredMainBar()
{
    auto bar = std::make_unique<CKVTToolBar>();
    bar->Create(nullptr, ui::CBRS_ALIGN_TOP, CMainFrame::ID_MAIN_TOOLBAR);
    if (!bar->LoadState({}))
        return nullptr;
    return bar;
}

CKVTToolbarComboBoxButton* ComboOf(const CKVTToolBar& bar)
{
    for (int i = 0; i < bar.Items().Count(); ++i)
        if (auto* combo = dynamic_cast<CKVTToolbarComboBoxButton*>(bar.GetButton(i)))
            return combo;
    return nullptr;
}

} // namespace

TEST(StoredBars, TheProgramReadsAndWritesBackAComboBoxButton)
{
    const char* binDir = std::getenv("SW_BIN_DIR");
    ASSERT_NE(binDir, nullptr);
    const QString program = QString::fromLocal8Bit(binDir) + QStringLiteral("/strandwork");
    ASSERT_TRUE(QFileInfo(program).isExecutable()) << program.toStdString();

    testsupport::ScopedConfigHome config;
    testsupport::TempDir data, state;
    {
        CKVTToolBar bar;
        bar.Create(nullptr, ui::CBRS_ALIGN_TOP, CMainFrame::ID_MAIN_TOOLBAR);
        bar.InsertButton(std::make_unique<CKVTToolbarButton>(ID_FILE_OPEN, 1));
        auto combo = std::make_unique<CKVTToolbarComboBoxButton>(ID_FILE_OPEN, -1, 0x50200403, 137);
        combo->AddItem(QStringLiteral("Lis"), 11);
        combo->AddItem(QStringLiteral("Osa"), 22);
        combo->AddItem(QStringLiteral("Vřeteno"), 33);
        ASSERT_TRUE(combo->SelectItem(2));
        bar.InsertButton(std::move(combo));
        ASSERT_TRUE(bar.SaveState({}));
        CKVTToolbarStore::ClearStateKeyRecord();
    }
    ASSERT_TRUE(sys::RegistryStore::Flush());

    QProcess run;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), QString::fromStdString(config.Path()));
    env.insert(QStringLiteral("XDG_DATA_HOME"), QString::fromStdString(data.Path()));
    env.insert(QStringLiteral("XDG_STATE_HOME"), QString::fromStdString(state.Path()));
    run.setProcessEnvironment(env);
    run.setProcessChannelMode(QProcess::ForwardedChannels);
    run.start(program, {});
    ASSERT_TRUE(run.waitForStarted(10000));
    // The desktop entry is written right after the main frame loaded its
    // bars; the close on SIGTERM is in place before that.
    const std::string entry = data / "applications/strandwork.desktop";
    const bool up = testsupport::WaitUntil([&] { return QFileInfo::exists(QString::fromStdString(entry)); }, 60000);
    run.terminate();
    ASSERT_TRUE(run.waitForFinished(60000));
    ASSERT_TRUE(up) << "the program did not start";
    EXPECT_EQ(run.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(run.exitCode(), 0);

    // What the program wrote at exit.
    sys::RegistryStore::Reset();
    std::unique_ptr<CKVTToolBar> stored = StoredMainBar();
    ASSERT_NE(stored, nullptr);
    CKVTToolbarComboBoxButton* combo = ComboOf(*stored);
    ASSERT_NE(combo, nullptr) << "the program lost the combo box button ("
                              << stored->Items().Count() << " buttons)";
    EXPECT_EQ(combo->m_id, uint32_t(ID_FILE_OPEN));
    EXPECT_EQ(combo->GetWidth(), 137);
    ASSERT_EQ(combo->GetCount(), 3);
    EXPECT_EQ(combo->GetCurSel(), 2);
    EXPECT_EQ(combo->GetText(), QStringLiteral("Vřeteno"));
    EXPECT_EQ(combo->GetItemData(0), 11u);
    EXPECT_EQ(combo->GetItemData(1), 22u);
    EXPECT_EQ(combo->GetItemData(2), 33u);
    EXPECT_EQ(stored->Items().Count(), 2);
    CKVTToolbarStore::ClearStateKeyRecord();
    sys::RegistryStore::Reset();
}
