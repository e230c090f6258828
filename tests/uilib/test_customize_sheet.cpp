// The customisation sheet on a library MDI frame: its pages under the
// managers, the accelerators and the flags; Close, Help and F1; the
// customisation mode with the frame's other widgets disabled and given their
// earlier state back; the sheet's end with the frame's close; the commands
// page.

#include "CustomizeWorld.h"

#include "uilib/KVTButtonDragController.h"
#include "res/CommandIds.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QStatusBar>

using namespace customizetest;

namespace {

class SheetTest : public CustomizeWorld
{
};

class ExtraPage : public ui::PropertyPage
{
public:
    ExtraPage() : ui::PropertyPage(9400, QStringLiteral("Další")) {}
};

} // namespace

TEST_F(SheetTest, PagesFollowTheManagersTheAcceleratorsAndTheCallersPages)
{
    CKVTToolbarCustomize* sheet = OpenSheet(0xFFFF, {[] { return new ExtraPage; }});
    EXPECT_EQ(sheet->windowTitle(), QStringLiteral("Vlastní nastavení"));
    QStringList tabs = Tabs(sheet);
    EXPECT_EQ(tabs.first(), QStringLiteral("Příkazy"));
    EXPECT_EQ(tabs[1], QStringLiteral("Panely nástrojů"));
    EXPECT_TRUE(tabs.contains(QStringLiteral("Menu")));
    EXPECT_EQ(tabs.last(), QStringLiteral("Možnosti"));
    EXPECT_EQ(tabs[tabs.size() - 2], QStringLiteral("Další"));
    sheet->close();
    QApplication::processEvents();

    // Without a context-menu manager and without a menu bar: no menu page.
    Stop();
    Start(false, false, false);
    frame->Helper().SetMenuBar(nullptr);
    delete menuBar;
    menuBar = nullptr;
    sheet = OpenSheet();
    EXPECT_EQ(Tabs(sheet), (QStringList{"Příkazy", "Panely nástrojů", "Možnosti"}));
}

TEST_F(SheetTest, CloseHelpAndF1)
{
    // The program's flags 0xFFFF include 16: no Help button.
    CKVTToolbarCustomize* sheet = OpenSheet(0xFFFF);
    EXPECT_FALSE(sheet->HelpButton()->isVisible());
    EXPECT_FALSE(sheet->HelpButton()->isEnabled());
    sheet->close();
    QApplication::processEvents();
    sheet = OpenSheet(0xFFEF);
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_FALSE(sheet->isModal());
    EXPECT_EQ(sheet->CloseButton()->text(), QStringLiteral("Zavřít"));
    EXPECT_FALSE(sheet->Buttons()->button(QDialogButtonBox::Ok)->isVisible());
    EXPECT_FALSE(sheet->Buttons()->button(QDialogButtonBox::Apply)->isVisible());
    EXPECT_TRUE(sheet->HelpButton()->isVisible());
    EXPECT_FALSE(sheet->HelpButton()->icon().isNull());
    // Help at the bottom left, Close at the bottom right.
    EXPECT_LT(sheet->HelpButton()->mapTo(sheet, QPoint()).x(), sheet->width() / 2);
    EXPECT_GT(sheet->CloseButton()->mapTo(sheet, QPoint()).x(), sheet->width() / 2);
    sheet->SetActivePage(1);
    Click(sheet->HelpButton());
    PressKey(sheet, Qt::Key_F1);
    ASSERT_EQ(frame->helps.size(), 2u);
    EXPECT_EQ(frame->helps[0], std::make_pair(1, static_cast<QWidget*>(sheet)));
    EXPECT_EQ(frame->helps[1], std::make_pair(1, static_cast<QWidget*>(sheet)));
    QPointer<CKVTToolbarCustomize> alive(sheet);
    Click(sheet->CloseButton());
    WaitFor([&] { return alive.isNull(); }, 2000, "the sheet is deleted after Close");
    EXPECT_EQ(CKVTFrameHelper::CustomizeSheet(), nullptr);

    // Esc closes.
    sheet = OpenSheet();
    alive = sheet;
    PressKey(sheet, Qt::Key_Escape);
    WaitFor([&] { return alive.isNull(); }, 2000, "Esc closes the sheet");
}

TEST_F(SheetTest, TheModeDisablesTheDocumentAreaAndStatusBarAndGivesTheirStateBack)
{
    QWidget* status = frame->GetStatusBar();
    QWidget* area = frame->MdiArea();
    ASSERT_NE(status, nullptr);
    // A widget disabled before stays disabled afterwards.
    auto* already = new QWidget(frame);
    already->setEnabled(false);
    CKVTToolbarCustomize* sheet = OpenSheet();
    EXPECT_TRUE(CKVTToolbarShared::IsCustomizeMode());
    EXPECT_EQ(CKVTFrameHelper::CustomizeSheet(), sheet);
    EXPECT_FALSE(status->isEnabled());
    EXPECT_FALSE(area->isEnabled());
    EXPECT_TRUE(mainBar->isEnabled());
    EXPECT_TRUE(menuBar->isEnabled());
    EXPECT_TRUE(sheet->isEnabled());
    EXPECT_EQ(frame->modes, std::vector<bool>{true});
    const std::vector<QWidget*> disabled = sheet->DisabledWidgets();
    EXPECT_EQ(std::count(disabled.begin(), disabled.end(), already), 0);
    sheet->close();
    QApplication::processEvents();
    EXPECT_FALSE(CKVTToolbarShared::IsCustomizeMode());
    EXPECT_TRUE(status->isEnabled());
    EXPECT_TRUE(area->isEnabled());
    EXPECT_FALSE(already->isEnabled());
    EXPECT_EQ(frame->modes, (std::vector<bool>{true, false}));
}

TEST_F(SheetTest, EnterClosesTheSheetAndTheFocusGoesBackToTheDocument)
{
    // A document window with the focus, and a control of a bar that takes
    // the focus when the document area is disabled.
    ui::Document* doc = tmplA->OpenDocumentFile(QString());
    ASSERT_NE(doc, nullptr);
    auto* other = new QLineEdit(mainBar);
    other->setObjectName(QStringLiteral("other"));
    other->show();
    frame->activateWindow();
    QApplication::setActiveWindow(frame);
    ui::View* view = doc->Views().front();
    view->setFocus();
    ASSERT_TRUE(WaitFor([&] { return QApplication::focusWidget() == view; }));
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
        CKVTToolbarCustomize* sheet = OpenSheet();
        QPointer<CKVTToolbarCustomize> alive(sheet);
        QApplication::setActiveWindow(sheet);
        ASSERT_TRUE(WaitFor([&] { return QApplication::focusWidget() && QApplication::focusWidget()->window() == sheet; }));
        // Enter on a page's control that does not take it is Close.
        QTest::keyClick(QApplication::focusWidget(), key);
        EXPECT_TRUE(WaitFor([&] { return alive.isNull(); }, 2000, "the key closes the sheet"));
        QApplication::setActiveWindow(frame);
        EXPECT_TRUE(WaitFor([&] { return QApplication::focusWidget() == view; }, 2000, "the document has the focus"))
            << testsupport::ui::detail::Describe(QApplication::focusWidget()).toStdString();
    }
}

TEST_F(SheetTest, AFloatingToolbarClosedByItsButtonLosesItsCheck)
{
    frame->FloatControlBar(mainBar, frame->mapToGlobal(QPoint(300, 300)));
    QApplication::processEvents();
    CKVTMiniDockFrameWnd* mini = frame->Helper().MiniFrameOf(mainBar);
    ASSERT_NE(mini, nullptr);
    CKVTToolbarCustomize* sheet = OpenSheet();
    auto* page = ShowPage<CKVTToolbarsPage>(sheet, QStringLiteral("Panely nástrojů"));
    ASSERT_NE(page, nullptr);
    const int index = page->IndexOf(mainBar);
    ASSERT_GE(index, 0);
    EXPECT_TRUE(page->List()->GetCheck(index));
    Click(mini, mini->CloseButtonRect().center());
    EXPECT_FALSE(mini->isVisible());
    EXPECT_FALSE(page->List()->GetCheck(index));
}

TEST_F(SheetTest, ClosingTheFrameEndsTheSheetFirstSoItsSettingsAreSaved)
{
    CKVTToolbarCustomize* sheet = OpenSheet();
    auto* menuPage = ShowPage<CKVTMenuPage>(sheet, QStringLiteral("Menu"));
    ASSERT_NE(menuPage, nullptr);
    menuPage->AnimationCombo()->setCurrentIndex(2);
    // A context menu open for editing, one item taken off.
    menuPage->ContextCombo()->setCurrentIndex(2);
    ASSERT_NE(menuPage->ContextPopup(), nullptr);
    ASSERT_EQ(menuPage->ContextPopup()->GetMenuBar()->Items().Count(), 1);
    menuPage->ContextPopup()->GetMenuBar()->InsertSeparator(0);
    QPointer<CKVTToolbarCustomize> alive(sheet);
    frame->close();
    EXPECT_FALSE(CKVTToolbarShared::IsCustomizeMode());
    EXPECT_EQ(CKVTFrameHelper::CustomizeSheet(), nullptr);
    EXPECT_EQ(CKVTToolbarShared::Options().menuAnimation, 2u);
    Restart();
    EXPECT_EQ(CKVTToolbarShared::Options().menuAnimation, 2u);
    sheet = OpenSheet();
    menuPage = ShowPage<CKVTMenuPage>(sheet, QStringLiteral("Menu"));
    menuPage->ContextCombo()->setCurrentIndex(2);
    ASSERT_NE(menuPage->ContextPopup(), nullptr);
    EXPECT_EQ(menuPage->ContextPopup()->GetMenuBar()->Items().Count(), 2);
}

TEST_F(SheetTest, TheSheetGoesWithAFrameDeletedWithoutAClose)
{
    CKVTToolbarCustomize* sheet = OpenSheet();
    auto* page = ShowPage<CKVTMenuPage>(sheet, QStringLiteral("Menu"));
    page->ContextCombo()->setCurrentIndex(1);
    ASSERT_NE(page->ContextPopup(), nullptr);
    QPointer<CKVTToolbarCustomize> alive(sheet);
    delete frame;
    frame = nullptr;
    EXPECT_TRUE(alive.isNull());
    EXPECT_EQ(CKVTFrameHelper::CustomizeSheet(), nullptr);
    EXPECT_FALSE(CKVTToolbarShared::IsCustomizeMode());
}

TEST_F(SheetTest, TheCommandsPageListsTheCategoriesAndDescribesTheCommands)
{
    CKVTToolbarCustomize* sheet = OpenSheet();
    CKVTCustomizePage* page = sheet->CommandsPage();
    ASSERT_NE(page->CommandList(), nullptr);
    QListWidget* cats = page->CategoryList();
    QStringList names;
    for (int i = 0; i < cats->count(); ++i)
        names << cats->item(i)->text();
    EXPECT_EQ(names.first(), QStringLiteral("Soubor"));
    EXPECT_TRUE(names.contains(QStringLiteral("Nové menu")));
    EXPECT_EQ(names.last(), QStringLiteral("Všechny příkazy"));
    EXPECT_EQ(cats->currentRow(), 0);
    CKVTCommandListBox* list = page->CommandList();
    QStringList commands;
    for (int i = 0; i < list->count(); ++i)
        commands << list->ButtonAt(i)->m_text;
    EXPECT_EQ(commands.mid(0, 2), (QStringList{"Otevřít...", "Uložit"}));
    EXPECT_EQ(list->sizeHintForRow(0), CKVTToolbarShared::GetCurrentImageSize().height() + 6);
    list->setCurrentRow(1);
    EXPECT_EQ(page->Description()->text(), ui::CommandPrompt(ID_FILE_SAVE));
    // A command without an image carries the no-image mark; one with an image does not.
    const CKVTToolbarButton* save = list->ButtonAt(1);
    EXPECT_EQ(save->m_extra, CKVTCommandImageMap::Instance().GetImage(ID_FILE_SAVE, false) < 0 &&
                                 CKVTCommandImageMap::Instance().GetImage(ID_FILE_SAVE, true) < 0);
    // "Nové menu": a menu button without a command, described by its text.
    cats->setCurrentRow(int(names.indexOf(QStringLiteral("Nové menu"))));
    ASSERT_EQ(list->count(), 1);
    list->setCurrentRow(0);
    EXPECT_EQ(page->Description()->text(), QStringLiteral("Nové menu"));
    // "Všechny příkazy" sorted.
    cats->setCurrentRow(cats->count() - 1);
    QStringList all;
    for (int i = 0; i < list->count(); ++i)
        all << list->ButtonAt(i)->m_text;
    EXPECT_FALSE(all.isEmpty());
    EXPECT_EQ(all.count(QStringLiteral("Uložit")), 1);
    // The sheet as the keyboard and mouse pages see it.
    QComboBox combo;
    sheet->FillCategoriesComboBox(&combo);
    EXPECT_EQ(combo.itemData(0).toString(), QStringLiteral("Soubor"));
    EXPECT_EQ(sheet->GetCategoryButtons(QStringLiteral("Soubor")).size(),
              sheet->Catalogue().Buttons(QStringLiteral("Soubor"))->size());
    QListWidget allList;
    sheet->FillAllCommandsList(&allList);
    EXPECT_EQ(allList.count(), list->count());
    EXPECT_EQ(sheet->GetCommandName(ID_FILE_SAVE), QStringLiteral("Uložit"));
}

TEST_F(SheetTest, OnePressAndAMoveDragAnUnselectedCommandOntoAToolbar)
{
    CKVTToolbarCustomize* sheet = OpenSheet();
    CKVTCommandListBox* list = sheet->CommandsPage()->CommandList();
    ASSERT_EQ(list->ButtonAt(1)->m_text, QStringLiteral("Uložit"));
    list->setCurrentRow(0);
    const int count = mainBar->Items().Count();
    auto& drag = CKVTButtonDragController::Instance();
    QWidget* port = list->viewport();
    auto move = [&](QPoint global) {
        QMouseEvent me(QEvent::MouseMove, port->mapFromGlobal(global), global, Qt::NoButton, Qt::LeftButton, {});
        QApplication::sendEvent(port, &me);
    };
    auto release = [&](QPoint global) {
        QMouseEvent me(QEvent::MouseButtonRelease, port->mapFromGlobal(global), global, Qt::LeftButton,
                       Qt::NoButton, {});
        QApplication::sendEvent(port, &me);
    };
    const QPoint press = list->visualItemRect(list->item(1)).center();
    QTest::mousePress(port, Qt::LeftButton, {}, press);
    EXPECT_EQ(list->currentRow(), 1); // selected first
    EXPECT_TRUE(drag.IsArmed());
    EXPECT_TRUE(drag.IsOutside());
    EXPECT_FALSE(drag.DragStarted());
    move(port->mapToGlobal(press) + QPoint(0, 30));
    EXPECT_TRUE(drag.DragStarted());
    EXPECT_EQ(drag.CurrentCursor(), CKVTButtonDragController::IDC_DELETE);
    const QPoint target = mainBar->mapToGlobal(mainBar->GetItemRect(2).topLeft() + QPoint(2, 4));
    move(target);
    EXPECT_FALSE(drag.IsOutside());
    release(target);
    EXPECT_FALSE(drag.IsArmed());
    ASSERT_EQ(mainBar->Items().Count(), count + 1);
    int at = -1;
    for (int i = 0; i < mainBar->Items().Count(); ++i)
        if (mainBar->Items().ItemID(i) == ID_FILE_SAVE && at < 0 && i >= 1 && i <= 3)
            at = i;
    EXPECT_EQ(at, 2);
    // Nothing ever leaves the list.
    EXPECT_EQ(list->ButtonAt(1)->m_text, QStringLiteral("Uložit"));

    // The next drag starts with the flags reset: outside, with the delete cursor.
    QTest::mousePress(port, Qt::LeftButton, {}, press);
    EXPECT_TRUE(drag.IsOutside());
    EXPECT_FALSE(drag.EscapePressed());
    EXPECT_FALSE(drag.DragStarted());
    move(port->mapToGlobal(press) + QPoint(0, 30));
    EXPECT_EQ(drag.CurrentCursor(), CKVTButtonDragController::IDC_DELETE);
    PressKey(port, Qt::Key_Escape);
    EXPECT_FALSE(drag.IsArmed());
    EXPECT_EQ(mainBar->Items().Count(), count + 1);
    // A press and release without a move only selects.
    QTest::mouseClick(port, Qt::LeftButton, {}, list->visualItemRect(list->item(0)).center());
    EXPECT_EQ(list->currentRow(), 0);
    EXPECT_FALSE(drag.IsArmed());
    EXPECT_EQ(mainBar->Items().Count(), count + 1);
}
