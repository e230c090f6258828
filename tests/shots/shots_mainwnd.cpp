// The main window's pieces: the "Formát" options page and the docking bars
// with their property sheet.
#include "Shot.h"

#include "app/StrandworkApp.h"
#include "link/ui/ConInfoDlg.h"
#include "mainwnd/AppBar.h"
#include "mainwnd/OutputCtrl.h"
#include "fontcolor/FontColorPage.h"
#include "platform/ui/Dialog.h"
#include "plcviews/WatchView.h"
#include "tests/mainwnd/AppBarsTest.h"
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
class Bars : public AppBars
{
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(Build());
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
        AppBars::TearDown();
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
