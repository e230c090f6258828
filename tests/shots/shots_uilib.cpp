// The toolbar library's windows: a toolbar, the button image editor and
// the customisation sheet on each of its pages.
#include "Shot.h"

#include "platform/ui/App.h"
#include "platform/ui/StatusBar.h"
#include "res/CommandIds.h"
#include "tests/uilib/CustomizeWorld.h"
#include "uilib/KVTImageEditDlg.h"

#include <QAction>
#include <QComboBox>
#include <QListWidget>
#include <QMouseEvent>
#include <QTest>
#include <QToolBar>

using namespace customizetest;

namespace {

struct ToolbarFrame : ui::MainFrameBase
{
};

class Commands : public ui::CommandTarget
{
public:
    Commands()
    {
        MapCommand(ID_FILE_NEW, [] {});
        MapCommand(ID_FILE_OPEN, [] {});
    }
};

} // namespace

// The bar with one button hot and one checked.
TEST(Shots, Toolbar)
{
    Commands commands;
    ui::SetRouteProvider([&] { return std::vector<ui::CommandTarget*>{&commands}; });
    ui::SetCommandPromptSource([](uint32_t id) { return QStringLiteral("Prompt %1\nShort").arg(id); });
    auto frame = std::make_unique<ToolbarFrame>();
    frame->CreateStatusBar({0});
    auto* bar = new CKVTToolBar(frame.get());
    bar->CreateEx(frame.get(), 0x830, 0x50402834, QMargins(1, 1, 1, 1), 0xE800);
    frame->setCentralWidget(bar);
    ASSERT_TRUE(bar->LoadToolBar(9100));
    frame->resize(600, 200);
    frame->show();
    bar->AdjustLayout();
    bar->SetButtonStyle(bar->Items().CommandToIndex(ID_FILE_OPEN), TBBS_CHECKBOX | TBBS_CHECKED);
    bar->SetHotButton(bar->Items().CommandToIndex(ID_FILE_SAVE));
    shots::Take(frame.get(), QStringLiteral("toolbar"));
    frame.reset();
    ui::SetRouteProvider(nullptr);
    ui::SetCommandPromptSource(nullptr);
}

// The image editor with a filled ellipse.
TEST(Shots, ImageEditor)
{
    QImage face(16, 15, QImage::Format_ARGB32);
    face.fill(KvtImageEdit::kFaceColor);
    CKVTImageEditDlg dlg(face);
    ASSERT_TRUE(dlg.IsLoaded());
    dlg.show();
    QWidget* area = dlg.PaintArea();
    area->resize(162, 152); // cells of 10
    auto at = [](int x, int y) { return QPoint(1 + x * 10 + 5, 1 + y * 10 + 5); };
    auto drag = [&](QPoint a, QPoint b) {
        QTest::mousePress(area, Qt::LeftButton, {}, at(a.x(), a.y()));
        QMouseEvent move(QEvent::MouseMove, at(b.x(), b.y()), area->mapToGlobal(at(b.x(), b.y())), Qt::NoButton,
                         Qt::LeftButton, {});
        QApplication::sendEvent(area, &move);
        QTest::mouseRelease(area, Qt::LeftButton, {}, at(b.x(), b.y()));
    };
    dlg.ToolFrame()->Action(CKVTImageEditDlg::ID_ELLIPSE)->trigger();
    drag({1, 1}, {14, 13});
    dlg.ToolFrame()->Action(CKVTImageEditDlg::ID_FILL)->trigger();
    drag({7, 7}, {7, 7});
    dlg.adjustSize();
    shots::Take(&dlg, QStringLiteral("image-editor"));
}

namespace {

// The frame in customisation mode with the sheet beside its bars.
class CustomizeShot : public CustomizeWorld
{
protected:
    CKVTToolbarCustomize* Sheet()
    {
        frame->resize(900, 500);
        CKVTToolbarCustomize* sheet = OpenSheet();
        sheet->move(frame->geometry().left() + 380, frame->geometry().top() + 90);
        return sheet;
    }
};

} // namespace

TEST_F(CustomizeShot, Commands)
{
    CKVTToolbarCustomize* sheet = Sheet();
    mainBar->Items().selected = 1;
    mainBar->update();
    sheet->CommandsPage()->CommandList()->setCurrentRow(1);
    shots::Take(frame, QStringLiteral("customize-commands"));
}

TEST_F(CustomizeShot, Toolbars)
{
    Sheet()->SetActivePage(1);
    shots::Take(frame, QStringLiteral("customize-toolbars"));
}

TEST_F(CustomizeShot, Menu)
{
    auto* page = ShowPage<CKVTMenuPage>(Sheet(), QStringLiteral("Menu"));
    ASSERT_NE(page, nullptr);
    page->ContextCombo()->setCurrentIndex(1);
    shots::Take(frame, QStringLiteral("customize-menu"));
}

TEST_F(CustomizeShot, Options)
{
    ShowPage<CKVTOptionsPage>(Sheet(), QStringLiteral("Možnosti"));
    shots::Take(frame, QStringLiteral("customize-options"));
}
