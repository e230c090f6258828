// The grid of button images: its layout and scroll limit, the selection
// with its notification, and a selected button in a hidden row scrolled
// into view.

#include "uilib/KVTButtonImageList.h"

#include "platform/ui/App.h"
#include "res/CommandIds.h"
#include "uilib/KVTButtonAppearanceDlg.h"
#include "uilib/KVTImageEditDlg.h"
#include "uilib/KVTToolBar.h"
#include "uilib/KVTToolbarButton.h"
#include "uilib/KVTToolbarImageList.h"
#include "uilib/KVTWorkspace.h"

#include "tests/support/ui/UiTest.h"

#include <QApplication>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QScrollBar>
#include <QStyle>

#include <gtest/gtest.h>

using namespace testsupport::ui;

namespace {

class ImageGrid : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QImage img(16, 15, QImage::Format_ARGB32);
        img.fill(0xFFC0C0C0);
        for (int i = 0; i < 40; ++i) {
            img.setPixel(i % 16, i % 15, 0xFF000000);
            images.AddImage(img);
        }
        grid.resize(200, 100);
        grid.SetImages(&images);
        for (int i = 0; i < 40; ++i)
            grid.AddButton(std::make_unique<CKVTToolbarButton>(0, -1, QString(), true));
        for (int i = 0; i < 40; ++i)
            grid.GetButton(i)->m_userImageIndex = i;
        connect();
        grid.show();
        QApplication::processEvents();
    }
    void connect()
    {
        QObject::connect(&grid, &CKVTButtonImageList::selectionChanged, [this](int image) { notified.push_back(image); });
    }
    CKVTToolbarImageList images;
    CKVTButtonImageList grid;
    std::vector<int> notified;
};

} // namespace

TEST_F(ImageGrid, LayoutWrapsRowsAndTheScrollLimitReachesTheLastRow)
{
    const int extent = grid.style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, &grid);
    EXPECT_EQ(grid.ButtonSize(), QSize(22, 22));
    const int right = 200 - extent - 4;
    const int perRow = (right - 4 + 4) / 26; // 22 wide, 4 between
    const int rows = (40 + perRow - 1) / perRow;
    const int pitch = 27;
    const int visibleRows = (100 - 10 + 5) / pitch;
    const CKVTButtonImageList::Layout& l = grid.CurrentLayout();
    EXPECT_EQ(l.pitch, pitch);
    EXPECT_EQ(l.rows, rows);
    EXPECT_EQ(l.visibleRows, visibleRows);
    EXPECT_EQ(l.scrollLimit, (rows - visibleRows) * pitch);
    EXPECT_EQ(l.rects[0], QRect(4, 5, 22, 22));
    EXPECT_EQ(l.rects[size_t(perRow)], QRect(4, 5 + pitch, 22, 22));
    EXPECT_LE(l.rects[size_t(perRow - 1)].right(), right - 1);
    QScrollBar* bar = grid.ScrollBar();
    EXPECT_TRUE(bar->isEnabled());
    EXPECT_EQ(bar->maximum(), l.scrollLimit);
    EXPECT_EQ(bar->singleStep(), pitch);
    EXPECT_EQ(bar->pageStep(), visibleRows * pitch);
    // At the limit the last row is inside the visible part.
    bar->setValue(bar->maximum());
    EXPECT_LE(grid.ButtonRect(39).bottom(), grid.height() - 5);
    EXPECT_GE(grid.ButtonRect(39).top(), 5);

    // Everything fits: no scrolling.
    const CKVTButtonImageList::Layout small = CKVTButtonImageList::ComputeLayout({200, 300}, extent,
                                                                               std::vector<QSize>(4, QSize(22, 22)));
    EXPECT_EQ(small.rows, 1);
    EXPECT_EQ(small.scrollLimit, 0);
    EXPECT_GE(small.pageStep, small.pitch);
}

TEST_F(ImageGrid, SelectingNotifiesAndScrollsAHiddenRowIntoView)
{
    EXPECT_EQ(grid.ScrollOffset(), 0);
    EXPECT_TRUE(grid.SelectButton(39));
    EXPECT_EQ(grid.GetSelectedImage(), 39);
    EXPECT_EQ(notified, std::vector<int>{39});
    EXPECT_GT(grid.ScrollOffset(), 0);
    EXPECT_EQ(grid.ScrollOffset() % grid.CurrentLayout().pitch, 0);
    EXPECT_TRUE(QRect(0, 0, grid.width(), grid.height()).contains(grid.ButtonRect(39)));
    EXPECT_FALSE(grid.SelectButton(400));
    EXPECT_TRUE(grid.SelectButton(-1));
    EXPECT_EQ(notified, (std::vector<int>{39, -1}));
    EXPECT_EQ(grid.GetSelected(), -1);
    // A press on a visible button selects it.
    grid.ScrollBar()->setValue(0);
    Click(&grid, grid.ButtonRect(1).center());
    EXPECT_EQ(notified.back(), 1);
    grid.RemoveButtons();
    EXPECT_EQ(grid.GetCount(), 0);
    EXPECT_EQ(grid.ScrollOffset(), 0);
    EXPECT_FALSE(grid.ScrollBar()->isEnabled());
}

namespace {

// The user strip the library made is global: its tests run in a data
// folder of their own.
class UserStrip : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dataHome.isValid());
        oldData = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", dataHome.path().toLocal8Bit());
    }
    void TearDown() override
    {
        if (oldData.isEmpty())
            qunsetenv("XDG_DATA_HOME");
        else
            qputenv("XDG_DATA_HOME", oldData);
    }
    static void Draw(CKVTImageEditDlg* e, QPoint cell)
    {
        e->show();
        e->PaintArea()->resize(162, 152);
        e->OnCommand(CKVTImageEditDlg::ID_PEN);
        const QPoint at(1 + cell.x() * 10 + 5, 1 + cell.y() * 10 + 5);
        QTest::mouseClick(e->PaintArea(), Qt::LeftButton, {}, at);
    }
    QTemporaryDir dataHome;
    QByteArray oldData;
};

} // namespace

TEST_F(UserStrip, TheFirstNewImageMakesTheStripTheEditorChangesItAndTheWorkspaceSavesIt)
{
    ui::Application app;
    CKVTWorkspace workspace;
    ASSERT_EQ(CKVTToolbarShared::GetUserImages(), nullptr);
    CKVTToolbarButton button(ID_FILE_SAVE, -1, QStringLiteral("&Uložit"));
    CKVTButtonAppearanceDlg d(&button, CKVTToolbarShared::GetUserImages(), nullptr);
    d.OnInitDialog();
    d.show();
    auto* grid = FindChild<CKVTButtonImageList>(&d, QStringLiteral("c16508"));
    EXPECT_FALSE(grid->isEnabled());
    // "Nový...": the editor, cancelled; nothing is made.
    OnNextModal<CKVTImageEditDlg>([](CKVTImageEditDlg* e) {
        Draw(e, {1, 1});
        e->reject();
    });
    Click(FindChild<QPushButton>(&d, QStringLiteral("c16509")));
    EXPECT_EQ(d.UserImages(), nullptr);
    EXPECT_EQ(CKVTToolbarShared::GetUserImages(), nullptr);
    // Again, with OK: the first user image makes the strip.
    OnNextModal<CKVTImageEditDlg>([](CKVTImageEditDlg* e) {
        EXPECT_EQ(e->GetImage().size(), QSize(16, 15));
        EXPECT_EQ(e->GetImage().pixel(0, 0), KvtImageEdit::kFaceColor);
        Draw(e, {2, 3});
        e->accept();
    });
    Click(FindChild<QPushButton>(&d, QStringLiteral("c16509")));
    EXPECT_TRUE(grid->isEnabled());
    EXPECT_EQ(grid->GetCount(), 1);
    EXPECT_EQ(grid->GetSelectedImage(), 0);
    EXPECT_TRUE(FindChild<QRadioButton>(&d, QStringLiteral("c16529"))->isChecked());
    EXPECT_TRUE(FindChild<QPushButton>(&d, QStringLiteral("c16510"))->isEnabled());
    // "Upravit...": another pixel on the chosen image.
    OnNextModal<CKVTImageEditDlg>([](CKVTImageEditDlg* e) {
        EXPECT_EQ(e->GetImage().pixel(2, 3), 0xFF000000u);
        Draw(e, {5, 6});
        e->accept();
    });
    Click(FindChild<QPushButton>(&d, QStringLiteral("c16510")));
    FindChild<QRadioButton>(&d, QStringLiteral("c16505"))->setChecked(true);
    d.accept();
    EXPECT_EQ(d.result(), int(QDialog::Accepted));
    CKVTToolbarImageList* strip = CKVTToolbarShared::GetUserImages();
    ASSERT_NE(strip, nullptr);
    EXPECT_EQ(strip, CKVTButtonAppearanceDlg::CreatedUserImages());
    EXPECT_TRUE(strip->IsUserImages());
    EXPECT_TRUE(strip->IsModified());
    ASSERT_EQ(strip->GetImageCount(), 1);
    EXPECT_TRUE(button.m_userImage);
    EXPECT_EQ(button.GetImage(), 0);

    // The workspace's save writes the strip.
    workspace.SaveState(nullptr, nullptr);
    CKVTToolbarImageList loaded;
    ASSERT_TRUE(loaded.LoadUserImages(QString::fromLatin1(kKvtUserImagesFile)));
    ASSERT_EQ(loaded.GetImageCount(), 1);
    const QImage img = loaded.GetImage(0);
    EXPECT_EQ(img.pixel(2, 3) & 0xFFFFFF, 0u);
    EXPECT_EQ(img.pixel(5, 6) & 0xFFFFFF, 0u);
    EXPECT_EQ(img.pixel(1, 1) & 0xFFFFFF, 0xC0C0C0u);
}
