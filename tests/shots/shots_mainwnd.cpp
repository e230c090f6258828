// The main window's pieces: the "Formát" options page and the docking bars
// with their property sheet.
#include "Shot.h"

#include "core/app/StrandworkApp.h"
#include "link/ui/ConInfoDlg.h"
#include "mainwnd/AppBar.h"
#include "mainwnd/OutputCtrl.h"
#include "mainwnd/fontcolor/FontColorPage.h"
#include "platform/ui/Dialog.h"
#include "plcviews/WatchView.h"
#include "tests/mainwnd/mainwnd_env.h"
#include "tests/support/ui/UiTest.h"
#include "uilib/KVTFrameWnd.h"
#include "uilib/KVTMenuBar.h"

#include <QListWidget>

using namespace mainwndtest;
using namespace testsupport::ui;

// The page with the item "Chyba/odkaz" selected.
TEST_F(RegistryTest, FontPage)
{
    CFontColorPage reg;
    ASSERT_TRUE(reg.AddCategory(kCat, QStringLiteral("Okno výstupu"), QStringLiteral("Courier New"), 10, 238, 0));
    ASSERT_TRUE(reg.AddItem(kCat, QStringLiteral("Text"), QStringLiteral("Text"), 0x646464, 0xFFFFFF, 0, 0, 0, 0));
    ASSERT_TRUE(reg.AddItem(kCat, QStringLiteral("Tag"), QStringLiteral("Chyba/odkaz"), 0x0000FF, 0xFFFFFF, 1, 0, 0, 0));
    reg.LoadSettings(QStringLiteral("Formats"));
    ui::PropertySheet sheet(QStringLiteral("Možnosti aplikace Strandwork..."));
    ui::PropertyPage* page = reg.CreatePage();
    sheet.AddPage(page);
    ASSERT_TRUE(sheet.SetActivePage(0));
    FindChild<QListWidget>(page, QStringLiteral("c1008"))->setCurrentRow(1);
    shots::Take(&sheet, QStringLiteral("options-format"));
}

namespace {

// A library frame with the output and debug bars side by side at the
// bottom and the connection bar floating.
class Bars : public RegistryTest
{
protected:
    std::unique_ptr<ui::Application> app = std::make_unique<ui::Application>();
    std::unique_ptr<CKVTMDIFrameWnd> frame;
    CFontColorPage registry;
    COutputBar* output = nullptr;

    void SetUp() override
    {
        COutputCtrl::RegisterFonts(QStringLiteral("OutputWindow"), QStringLiteral("Okno výstupu"), &registry);
        frame = std::make_unique<CKVTMDIFrameWnd>();
        frame->setGeometry(100, 100, 1000, 600);
        ASSERT_TRUE(frame->LoadFrame(1, 0));
        frame->EnableDocking(ui::CBRS_ALIGN_ANY);
        frame->show();
        output = new COutputBar;
        ASSERT_TRUE(output->CreateBar(frame.get(), 0x10034, 0x8000E81E, 0xE822, &registry,
                                      QStringLiteral("OutputWindow")));
        output->EnableDocking(ui::CBRS_ALIGN_ANY);
        auto* connection = new CConInfoBar;
        ASSERT_TRUE(connection->CreateBar(frame.get(), 0x10034, 0, 0xE823));
        auto* debug = new CDebugBar;
        ASSERT_TRUE(debug->CreateBar(frame.get(), 0x10034, 0x80000000, 0xE821, &registry,
                                     QStringLiteral("WatchWindow")));
        frame->DockControlBarLeftOf(debug, output);
        frame->ShowControlBar(connection, true, false);
        output->Output()->AppendText(u"Překlad projektu Lis...\r\n");
        frame->RecalcLayout();
    }
    void TearDown() override
    {
        RejectOpenModals();
        CAppBar::SetMenuHook(nullptr);
        frame.reset();
        app.reset();
        RegistryTest::TearDown();
    }
};

} // namespace

TEST_F(Bars, InAFrame)
{
    shots::Take(frame.get(), QStringLiteral("bars"));
}

TEST_F(Bars, PropertySheet)
{
    OnNextModal<ui::PropertySheet>([](ui::PropertySheet* sheet) {
        shots::Take(sheet, QStringLiteral("bar-properties"));
        sheet->reject();
    });
    output->ShowProperties();
}
