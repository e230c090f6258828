// The button image editor: the cells, the point-to-cell rule, the palette
// layout, the shapes and the fill on images, the tools through their
// actions with mouse drags, the colour pick, the clipboard and Cancel.

#include "uilib/KVTImageEditDlg.h"

#include "platform/ui/Beep.h"
#include "platform/ui/Prompt.h"

#include "tests/support/ui/UiTest.h"
#include "res/CommandIds.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

using namespace testsupport::ui;
using namespace KvtImageEdit;

namespace {

std::set<std::pair<int, int>> AsSet(const std::vector<QPoint>& cells)
{
    std::set<std::pair<int, int>> out;
    for (const QPoint& p : cells)
        out.insert({p.x(), p.y()});
    return out;
}

QImage Face(QSize size = {16, 15})
{
    QImage img(size, QImage::Format_ARGB32);
    img.fill(kFaceColor);
    return img;
}

class Editor : public ::testing::Test
{
protected:
    void SetUp() override
    {
        dlg = std::make_unique<CKVTImageEditDlg>(Face());
        ASSERT_TRUE(dlg->IsLoaded());
        dlg->show();
        dlg->PaintArea()->resize(162, 152); // 160 × 150 after the inset: cells of 10
        QApplication::processEvents();
    }
    void TearDown() override { QGuiApplication::clipboard()->clear(); }
    // The client point at the centre of a cell.
    static QPoint At(int x, int y) { return {1 + x * 10 + 5, 1 + y * 10 + 5}; }
    void DragCells(QPoint a, QPoint b)
    {
        QWidget* area = dlg->PaintArea();
        QTest::mousePress(area, Qt::LeftButton, {}, At(a.x(), a.y()));
        QTest::mouseMove(area, At(b.x(), b.y()));
        QMouseEvent move(QEvent::MouseMove, At(b.x(), b.y()), area->mapToGlobal(At(b.x(), b.y())), Qt::NoButton,
                         Qt::LeftButton, {});
        QApplication::sendEvent(area, &move);
        QTest::mouseRelease(area, Qt::LeftButton, {}, At(b.x(), b.y()));
    }
    void Trigger(uint32_t id) { dlg->ToolFrame()->Action(id)->trigger(); }
    int Painted() const
    {
        int n = 0;
        const QImage& img = dlg->GetImage();
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                n += img.pixel(x, y) != kFaceColor;
        return n;
    }
    std::unique_ptr<CKVTImageEditDlg> dlg;
};

} // namespace

TEST(ImageEditRules, CellsPointsAndPalette)
{
    EXPECT_EQ(CellSize({162, 152}, {16, 15}), QSize(10, 10));
    EXPECT_EQ(CellSize({10, 5}, {16, 15}), QSize(1, 1)); // tiny: never 0
    EXPECT_EQ(CellSize({0, 0}, {16, 15}), QSize(1, 1));
    EXPECT_EQ(PointToCell({1, 1}, {10, 10}, {16, 15}), QPoint(0, 0));
    EXPECT_EQ(PointToCell({11, 21}, {10, 10}, {16, 15}), QPoint(1, 2));
    EXPECT_EQ(PointToCell({500, 500}, {10, 10}, {16, 15}), QPoint(15, 14));
    EXPECT_EQ(PointToCell({-40, -3}, {10, 10}, {16, 15}), QPoint(0, 0));

    EXPECT_EQ(PaletteCellSize({110, 90}), 20);
    std::vector<QRect> wide = PaletteLayout({110, 90});
    ASSERT_EQ(wide.size(), 20u);
    EXPECT_EQ(wide[4], QRect(85, 5, 20, 20));
    EXPECT_EQ(wide[5], QRect(5, 25, 20, 20)); // 5 × 4
    EXPECT_EQ(wide[19], QRect(85, 65, 20, 20));
    std::vector<QRect> tall = PaletteLayout({90, 110});
    EXPECT_EQ(tall[3], QRect(65, 5, 20, 20));
    EXPECT_EQ(tall[4], QRect(5, 25, 20, 20)); // 4 × 5
    EXPECT_EQ(tall[19], QRect(65, 85, 20, 20));
    EXPECT_EQ(PaletteCellSize({3, 3}), 1);
    EXPECT_EQ(DefaultPalette()[7], 0xFFC0C0C0u);
    EXPECT_EQ(DefaultPalette()[10], 0xFFFFFBF0u);
}

TEST(ImageEditRules, ShapesIncludeTheirEndsAndFillIsFourConnected)
{
    EXPECT_EQ(AsSet(LineCells({0, 0}, {3, 0})), (std::set<std::pair<int, int>>{{0, 0}, {1, 0}, {2, 0}, {3, 0}}));
    const auto diag = AsSet(LineCells({3, 3}, {0, 0}));
    EXPECT_EQ(diag.size(), 4u);
    EXPECT_TRUE(diag.count({0, 0}) && diag.count({3, 3}));
    EXPECT_EQ(LineCells({2, 2}, {2, 2}).size(), 1u);
    EXPECT_EQ(AsSet(RectangleCells({3, 2}, {0, 0})).size(), 10u); // 4 × 3 outline
    EXPECT_EQ(AsSet(RectangleCells({1, 1}, {1, 4})).size(), 4u);
    const auto ellipse = AsSet(EllipseCells({0, 0}, {6, 4}));
    EXPECT_TRUE(ellipse.count({3, 0}) && ellipse.count({3, 4}) && ellipse.count({0, 2}) && ellipse.count({6, 2}));
    EXPECT_FALSE(ellipse.count({0, 0}) || ellipse.count({3, 2}));
    for (const auto& [x, y] : ellipse)
        EXPECT_TRUE(x >= 0 && x <= 6 && y >= 0 && y <= 4);
    EXPECT_EQ(AsSet(EllipseCells({2, 2}, {2, 2})).size(), 1u);

    QImage img = Face({8, 8});
    for (int y = 0; y < 8; ++y)
        img.setPixel(4, y, 0xFF000000); // a wall
    img.setPixel(2, 2, 0xFF000001);     // a near colour is not the same
    FloodFill(img, {0, 0}, 0xFFFF0000);
    EXPECT_EQ(img.pixel(3, 7), 0xFFFF0000u);
    EXPECT_EQ(img.pixel(5, 0), kFaceColor);
    EXPECT_EQ(img.pixel(2, 2), 0xFF000001u);
    QImage same = img;
    FloodFill(same, {0, 0}, 0xFFFF0000);
    EXPECT_EQ(same, img);

    QImage alpha(2, 1, QImage::Format_ARGB32);
    alpha.setPixel(0, 0, qRgba(10, 20, 30, 100));
    alpha.setPixel(1, 0, qRgba(10, 20, 30, 200));
    const QImage opaque = MakeOpaque(alpha);
    EXPECT_EQ(opaque.pixel(0, 0), kFaceColor);
    EXPECT_EQ(qAlpha(opaque.pixel(1, 0)), 255);
}

TEST_F(Editor, ToolsDrawThroughTheirActions)
{
    QToolBar* bar = dlg->ToolFrame()->ToolBar();
    EXPECT_EQ(bar->actions().size(), 10); // nine commands and a separator
    EXPECT_EQ(dlg->ToolFrame()->Action(ID_IMAGE_LINE)->toolTip(), QStringLiteral("Čára"));
    EXPECT_TRUE(dlg->ToolFrame()->Action(ID_IMAGE_PEN)->isChecked()); // the pen to start with

    Trigger(CKVTImageEditDlg::ID_LINE);
    EXPECT_EQ(dlg->GetTool(), CKVTImagePaintArea::TOOL_LINE);
    EXPECT_EQ(dlg->PaintArea()->GetTool(), CKVTImagePaintArea::TOOL_LINE);
    EXPECT_TRUE(dlg->ToolFrame()->Action(ID_IMAGE_LINE)->isChecked());
    EXPECT_FALSE(dlg->ToolFrame()->Action(ID_IMAGE_PEN)->isChecked());
    // The preview shows exactly what the release paints.
    QWidget* area = dlg->PaintArea();
    QTest::mousePress(area, Qt::LeftButton, {}, At(0, 0));
    QMouseEvent move(QEvent::MouseMove, At(5, 0), area->mapToGlobal(At(5, 0)), Qt::NoButton, Qt::LeftButton, {});
    QApplication::sendEvent(area, &move);
    EXPECT_EQ(AsSet(dlg->PaintArea()->PreviewCells()), AsSet(LineCells({0, 0}, {5, 0})));
    EXPECT_EQ(Painted(), 0);
    QTest::mouseRelease(area, Qt::LeftButton, {}, At(5, 0));
    EXPECT_EQ(Painted(), 6);

    Trigger(CKVTImageEditDlg::ID_RECT);
    DragCells({0, 5}, {3, 7});
    EXPECT_EQ(Painted(), 6 + 10);
    Trigger(CKVTImageEditDlg::ID_ELLIPSE);
    DragCells({8, 2}, {14, 6});
    const int afterEllipse = Painted();
    EXPECT_EQ(afterEllipse, 16 + int(EllipseCells({8, 2}, {14, 6}).size()));

    // Pick a colour from the palette, then fill inside the rectangle.
    CKVTImagePalette* palette = dlg->Palette();
    palette->resize(110, 90);
    Click(palette, PaletteLayout(palette->size())[13].center());
    EXPECT_EQ(dlg->PaintArea()->GetColor(), 0xFFFF0000u);
    Trigger(CKVTImageEditDlg::ID_FILL);
    DragCells({1, 6}, {1, 6});
    EXPECT_EQ(dlg->GetImage().pixel(1, 6), 0xFFFF0000u);
    EXPECT_EQ(dlg->GetImage().pixel(2, 6), 0xFFFF0000u);
    EXPECT_EQ(Painted(), afterEllipse + 2);

    // The colour pick takes the pixel's colour and selects its palette cell.
    Trigger(CKVTImageEditDlg::ID_PICK);
    DragCells({0, 0}, {0, 0});
    EXPECT_EQ(dlg->GetColor(), 0xFF000000u);
    EXPECT_EQ(palette->GetSelected(), 0);

    // The pen draws every cell passed; "Vymazat" clears to the face colour.
    Trigger(CKVTImageEditDlg::ID_PEN);
    DragCells({0, 10}, {6, 10});
    EXPECT_EQ(dlg->GetImage().pixel(3, 10), 0xFF000000u);
    Trigger(CKVTImageEditDlg::ID_CLEAR);
    EXPECT_EQ(Painted(), 0);
}

TEST_F(Editor, ATinyPaintAreaHasOnePixelCells)
{
    dlg->PaintArea()->setMinimumSize(0, 0);
    dlg->PaintArea()->resize(5, 4);
    EXPECT_EQ(dlg->PaintArea()->CellSize(), QSize(1, 1));
    Trigger(CKVTImageEditDlg::ID_LINE);
    QTest::mousePress(dlg->PaintArea(), Qt::LeftButton, {}, QPoint(1, 1));
    QTest::mouseRelease(dlg->PaintArea(), Qt::LeftButton, {}, QPoint(40, 40));
    EXPECT_EQ(dlg->PaintArea()->grab().isNull(), false);
    EXPECT_EQ(Painted(), int(LineCells({0, 0}, {15, 14}).size()));
}

TEST_F(Editor, ClipboardCopyAndPaste)
{
    PromptScript prompts;
    prompts.AllowUnexpected(true);
    QClipboard* clip = QGuiApplication::clipboard();
    clip->clear();
    QApplication::processEvents();
    EXPECT_FALSE(dlg->ToolFrame()->Action(ID_IMAGE_PASTE)->isEnabled());
    // A failed paste (nothing there) tells so.
    dlg->OnCommand(CKVTImageEditDlg::ID_PASTE);
    ASSERT_EQ(prompts.Texts().size(), 1u);
    EXPECT_EQ(prompts.Texts()[0], QStringLiteral("Nelze vložit ikonu ze schránky !"));

    Trigger(CKVTImageEditDlg::ID_PEN);
    DragCells({2, 2}, {2, 2});
    const QImage drawn = dlg->GetImage();
    Trigger(CKVTImageEditDlg::ID_COPY);
    EXPECT_EQ(clip->image().convertToFormat(QImage::Format_ARGB32), drawn);
    QApplication::processEvents();
    EXPECT_TRUE(dlg->ToolFrame()->Action(ID_IMAGE_PASTE)->isEnabled());

    // Another size: the size message, the image stays.
    clip->setImage(Face({32, 32}));
    QApplication::processEvents();
    Trigger(CKVTImageEditDlg::ID_PASTE);
    ASSERT_EQ(prompts.Texts().size(), 2u);
    EXPECT_EQ(prompts.Texts()[1], QStringLiteral("Můžete vložit pouze ikonu s rozměrem 16 x 15 !"));
    EXPECT_EQ(dlg->GetImage(), drawn);

    // The right size, made opaque.
    QImage pasted(16, 15, QImage::Format_ARGB32);
    pasted.fill(Qt::transparent);
    pasted.setPixel(1, 1, 0xFF0000FF);
    clip->setImage(pasted);
    Trigger(CKVTImageEditDlg::ID_PASTE);
    EXPECT_EQ(dlg->GetImage().pixel(1, 1), 0xFF0000FFu);
    EXPECT_EQ(dlg->GetImage().pixel(0, 0), kFaceColor);
    EXPECT_EQ(prompts.Texts().size(), 2u);
}

TEST_F(Editor, CancelKeepsTheCallersImageAndTheDrawing)
{
    const QImage original = Face();
    CKVTImageEditDlg edit(original);
    edit.show();
    edit.PaintArea()->resize(162, 152);
    edit.OnCommand(CKVTImageEditDlg::ID_RECT);
    QTest::mousePress(edit.PaintArea(), Qt::LeftButton, {}, At(1, 1));
    QTest::mouseRelease(edit.PaintArea(), Qt::LeftButton, {}, At(12, 11));
    QTimer::singleShot(0, &edit, [&] { edit.reject(); });
    EXPECT_EQ(edit.DoModal(), int(QDialog::Rejected));
    EXPECT_EQ(original, Face()); // the caller's image never changes
    EXPECT_NE(edit.GetImage(), original);
}
