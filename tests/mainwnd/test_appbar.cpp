// The docking bars in a library frame: the status word and the stored bar
// state, hidden bars, the context menu of the chain protocol, the property
// page, the layout manager and the sheet that owns its pages; the explorer
// and connection bars with a real project.
#include "app/StrandworkApp.h"
#include "projectui/KXPExplorerView.h"
#include "projectui/StrandworkDoc.h"
#include "link/ui/ConInfoDlg.h"
#include "mainwnd/AppBar.h"
#include "mainwnd/OutputCtrl.h"
#include "fontcolor/FontColorPage.h"
#include "platform/sys/Registry.h"
#include "platform/ui/Menu.h"
#include "plcviews/WatchView.h"
#include "res/CommandIds.h"
#include "tests/mainwnd/AppBarsTest.h"
#include "tests/support/ui/UiTest.h"
#include "uilib/KVTDocking.h"
#include "uilib/KVTFrameWnd.h"
#include "uilib/KVTMenuBar.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <filesystem>

using namespace mainwndtest;
using namespace testsupport::ui;

namespace {

const char16_t kOutputSection[] = u"EdtLib\\IDE\\OutputBar";

} // namespace

TEST_F(AppBars, TheStatusWordAndTheStoredStateRoundTrip)
{
    Build();
    EXPECT_EQ(output->DockBarId(), ui::DOCKBAR_BOTTOM);
    EXPECT_TRUE(output->IsVisible());
    EXPECT_EQ(output->CurrentStatus(), 0xC000E81Eu);   // visible, dockable, at the bottom
    EXPECT_EQ(output->CaptionHeight(), 12);
    // The connection bar: hidden, floating, not dockable, with its caption.
    EXPECT_FALSE(connection->IsVisible());
    EXPECT_EQ(connection->CurrentStatus(), 0u);
    EXPECT_EQ(connection->CaptionHeight(), 12);
    ASSERT_NE(output->Output(), nullptr);
    EXPECT_EQ(output->Output()->geometry(), output->contentsRect());   // the layout keeps it filling

    output->SetHorzSize(QSize(480, 170));
    ASSERT_TRUE(output->SaveState());
    EXPECT_EQ(uint32_t(sys::Profile::GetInt(kOutputSection, u"status", 0)), 0xC000E81Eu);
    EXPECT_EQ(sys::Profile::GetInt(kOutputSection, u"horzHeight", 0), 170);
    EXPECT_EQ(sys::Profile::GetInt(kOutputSection, u"floatLeft", 0), -1);
    sys::Profile::WriteInt(kOutputSection, u"vertWidth", 3);   // below the minimum
    output->SetHorzSize(QSize(50, 50));
    ASSERT_TRUE(output->LoadState());
    EXPECT_EQ(output->HorzSize(), QSize(480, 170));
    EXPECT_EQ(output->VertSize().width(), 33);
}

TEST_F(AppBars, APartialOrMissingStateKeepsTheDefaults)
{
    sys::Profile::WriteInt(u"EdtLib\\IDE\\ConInfoBar", u"status", int32_t(0x8000E81E));
    sys::Profile::WriteInt(u"EdtLib\\IDE\\ConInfoBar", u"horzWidth", 500);   // the rest is missing
    Build();
    EXPECT_FALSE(connection->IsVisible());
    EXPECT_EQ(connection->CurrentStatus(), 0u);
    // The default size holds the whole monitor with the bar's caption and
    // edges around it, docked or floating.
    const linkui::CConInfoDlg probe;
    const QSize fit = probe.sizeHint() + CSizingControlBar::LargestInsets();
    EXPECT_EQ(connection->FloatSize(), QSize(345, 225).expandedTo(fit));
    EXPECT_GE(connection->HorzSize().height(), fit.height());
    EXPECT_GE(connection->VertSize().width(), fit.width());
}

TEST_F(AppBars, ABarSavedHiddenStartsHiddenAndShowingItKeepsItsDocking)
{
    Build();
    frame->ShowControlBar(output, false, false);
    ASSERT_TRUE(output->SaveState());
    EXPECT_EQ(uint32_t(sys::Profile::GetInt(kOutputSection, u"status", 0)), 0x4000E81Eu);
    frame.reset();

    Build(false);
    EXPECT_FALSE(output->IsVisible());
    EXPECT_EQ(output->DockBarId(), ui::DOCKBAR_BOTTOM);
    frame->ShowControlBar(output, true, false);
    EXPECT_TRUE(output->IsVisible());
    EXPECT_EQ(output->DockBarId(), ui::DOCKBAR_BOTTOM);
    EXPECT_TRUE(output->IsDockable());
}

TEST_F(AppBars, TheContextMenuHoldsTheBarsItemsAndPropertiesAfterASeparator)
{
    Build();
    std::vector<std::pair<uint32_t, QString>> seen;
    CAppBar::SetMenuHook([&](const ui::Menu& m) {
        for (int i = 0; i < m.ItemCount(); ++i) {
            const ui::MenuItem* it = m.Item(i);
            seen.emplace_back(it->flags & ui::MF_SEPARATOR ? 0 : it->id,
                              (it->flags & ui::MF_CHECKED ? QStringLiteral("[x]") : QString()) + it->text);
        }
        return uint32_t(CAppBar::ID_HIDE);
    });
    QTest::mouseClick(output, Qt::RightButton, {}, QPoint(8, 30));
    const std::vector<std::pair<uint32_t, QString>> expected{{ID_BAR_DOCKABLE, QStringLiteral("[x]&Zakotvitelné")},
                                                             {ID_BAR_HIDE, QStringLiteral("&Skrýt")},
                                                             {0, QString()},
                                                             {ID_BAR_PROPERTIES, QStringLiteral("&Vlastnosti")}};
    EXPECT_EQ(seen, expected);
    // "&Skrýt" hid the bar.
    EXPECT_FALSE(output->IsVisible());

    // Without the hook, the menu's own items are enabled on the route.
    frame->ShowControlBar(output, true, false);
    CAppBar::SetMenuHook(nullptr);
    QTimer::singleShot(200, [] {
        if (QWidget* popup = QApplication::activePopupWidget()) {
            auto* menu = qobject_cast<QMenu*>(popup);
            ASSERT_NE(menu, nullptr);
            for (QAction* a : menu->actions()) {
                if (!a->isSeparator()) {
                    EXPECT_TRUE(a->isEnabled()) << a->text().toStdString();
                }
            }
            menu->close();
        }
    });
    EXPECT_EQ(output->RunContextMenu(output->mapToGlobal(QPoint(8, 30))), 0u);
}

TEST_F(AppBars, UncheckingDockableOnADockedBarFloatsIt)
{
    Build();
    OnNextModal<CPropertySheetPlus>([](CPropertySheetPlus* sheet) {
        ASSERT_EQ(sheet->GetPageCount(), 1);
        auto* page = qobject_cast<CAppBarPropPage*>(sheet->GetPage(0));
        ASSERT_NE(page, nullptr);
        auto* dockable = qobject_cast<QCheckBox*>(page->GetDlgItem(CAppBarPropPage::IDC_DOCKABLE));
        auto* docked = qobject_cast<QCheckBox*>(page->GetDlgItem(CAppBarPropPage::IDC_DOCKED));
        ASSERT_TRUE(dockable && docked);
        EXPECT_TRUE(dockable->isChecked());
        EXPECT_TRUE(docked->isChecked());
        dockable->click();
        EXPECT_FALSE(docked->isEnabled());
        sheet->accept();
    });
    output->ShowProperties();
    EXPECT_TRUE(output->CSizingControlBar::IsFloating());
    EXPECT_FALSE(output->IsDockable());
    EXPECT_FALSE(output->HasDockContext());

    // ID_BAR_DOCKABLE on a floating, undockable bar: dockable again, still floating.
    output->OnDockable();
    EXPECT_TRUE(output->IsDockable());
    EXPECT_TRUE(output->CSizingControlBar::IsFloating());
}

TEST(ControlLayout, FillAndEdgeFlags)
{
    QWidget owner;
    owner.resize(300, 200);
    auto* fill = new QWidget(&owner);
    auto* corner = new QWidget(&owner);
    corner->setGeometry(250, 150, 40, 40);
    CControlLayout layout(&owner);
    layout.AddControl(fill, 0xF0);
    layout.AddControl(corner, 0x1 | 0x2);
    EXPECT_EQ(fill->geometry(), QRect(0, 0, 300, 200));
    layout.Layout(400, 260);
    EXPECT_EQ(fill->geometry(), QRect(0, 0, 400, 260));
    EXPECT_EQ(corner->geometry(), QRect(350, 210, 40, 40));
    layout.RemoveControl(fill);
    layout.Layout(100, 100);
    EXPECT_EQ(fill->geometry(), QRect(0, 0, 400, 260));
    EXPECT_FALSE(layout.Contains(fill));
}

TEST(PropertySheetPlus, AddsAPageOnceAndRemovingDeletesIt)
{
    CPropertySheetPlus sheet(QStringLiteral("Vlastnosti"));
    auto* page = new ui::PropertyPage(4107);
    QPointer<ui::PropertyPage> watch(page);
    EXPECT_TRUE(sheet.AddPage(page));
    EXPECT_FALSE(sheet.AddPage(page));
    EXPECT_EQ(sheet.GetPageCount(), 1);
    EXPECT_TRUE(sheet.RemovePage(page));
    EXPECT_EQ(sheet.GetPageCount(), 0);
    EXPECT_TRUE(watch.isNull());
}

TEST_F(AppBars, TheExplorerAndConnectionBarsTakeAProjectAndGiveItBack)
{
    // A real project: the application opened on a copy of the fixture.
    namespace fs = std::filesystem;
    fs::copy(fs::path(std::getenv("SW_FIXTURES")) / "build" / "ok", dir.Path(), fs::copy_options::recursive);
    auto strandwork = std::make_unique<CStrandworkApp>();
    strandwork->SetArguments({QString::fromStdString(dir / "Lis.kxp")});
    ASSERT_TRUE(strandwork->InitInstance());
    CStrandworkDoc* project = strandwork->GetProjectDoc();
    ASSERT_NE(project, nullptr);
    Build(false);

    auto* explorer = new CProjectExplorerBar;
    ASSERT_TRUE(explorer->CreateBar(frame.get(), 0x10034, 0x80000000, 0xE820));
    EXPECT_FALSE(explorer->AttachProject(nullptr));
    // A view class that fails: no view, and the project stays open.
    CProjectExplorerBar::SetViewClass([]() -> ui::View* { return nullptr; });
    EXPECT_FALSE(explorer->AttachProject(project));
    EXPECT_EQ(explorer->View(), nullptr);
    CProjectExplorerBar::SetViewClass(nullptr);
    EXPECT_FALSE(explorer->AttachProject(project));
    CProjectExplorerBar::SetViewClass([] { return new CKXPExplorerView; });
    ASSERT_TRUE(explorer->AttachProject(project));
    auto* view = dynamic_cast<CKXPExplorerView*>(explorer->View());
    ASSERT_NE(view, nullptr);
    QTreeWidgetItem* root = view->Tree()->topLevelItem(0);
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->text(0), project->GetTitle());
    ASSERT_EQ(root->childCount(), 3);
    EXPECT_EQ(root->child(0)->childCount(), int(project->Data().SourceFiles.size()));
    EXPECT_TRUE(explorer->Layout().Contains(view));

    auto* debug = new CDebugBar;
    ASSERT_TRUE(debug->CreateBar(frame.get(), 0x10034, 0x80000000, 0xE821, &registry, QStringLiteral("WatchWindow")));
    ASSERT_TRUE(debug->AttachProject(project));
    EXPECT_NE(qobject_cast<CKXPWatchView*>(debug->View()), nullptr);
    EXPECT_TRUE(debug->DetachProject());

    ASSERT_TRUE(connection->AttachProject(project));
    ASSERT_NE(connection->Monitor(), nullptr);
    EXPECT_TRUE(connection->Monitor()->Timer()->isActive());
    // The monitor fills the bar, at the default size without a cut text.
    frame->ShowControlBar(connection, true, false);
    PumpEvents(0);
    EXPECT_EQ(connection->Monitor()->geometry(), connection->contentsRect());
    EXPECT_EQ(ClippedTexts(connection), QStringList());
    connection->resize(connection->width() + 300, connection->height() + 200);
    EXPECT_EQ(connection->Monitor()->geometry(), connection->contentsRect());

    // Giving the views back leaves the project open.
    EXPECT_TRUE(explorer->DetachProject());
    EXPECT_TRUE(connection->DetachProject());
    PumpEvents(50);
    EXPECT_EQ(strandwork->GetProjectDoc(), project);
    EXPECT_EQ(explorer->View(), nullptr);
    EXPECT_EQ(connection->Monitor(), nullptr);
    frame.reset();
    strandwork->CloseProject(true);
}
