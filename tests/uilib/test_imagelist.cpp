// The toolbar image list: loading resources and user files, drawing states,
// colour mapping, saving and editing.

#include "uilib/KVTToolBar.h"
#include "uilib/KVTToolbarImageList.h"

#include "platform/ui/Prompt.h"
#include "tests/support/platform/TempDir.h"

#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QThread>
#include <gtest/gtest.h>

namespace {

QImage Synthetic(QRgb fill = 0xFFC0C0C0)
{
    QImage img(16, 15, QImage::Format_ARGB32);
    img.fill(fill);
    for (int y = 4; y < 10; ++y)
        for (int x = 4; x < 10; ++x)
            img.setPixel(x, y, 0xFF000000);
    return img;
}

QImage Canvas()
{
    QImage c(40, 40, QImage::Format_ARGB32);
    c.fill(0xFF123456);
    return c;
}

QString WriteStrip(const QString& path, int width, int height)
{
    QImage bmp(width, height, QImage::Format_RGB32);
    const QRgb colors[] = {0xFF000000, 0xFF808080, 0xFFC0C0C0, 0xFFFFFFFF, 0xFF0000FF};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            bmp.setPixel(x, y, colors[(x + 3 * y) % 5]);
    EXPECT_TRUE(bmp.save(path, "BMP"));
    return path;
}

class ImageList : public ::testing::Test
{
protected:
    testsupport::ScopedDataHome data;
    QPalette saved = QApplication::palette();
    void TearDown() override
    {
        QApplication::setPalette(saved);
        CKVTToolbarShared::SetUserImages(nullptr);
        CKVTCommandImageMap::Instance().RemoveAll();
    }
};

TEST_F(ImageList, LoadsResourcesOnce)
{
    CKVTToolbarImageList list;
    EXPECT_TRUE(list.Load(9100));
    EXPECT_EQ(list.GetImageCount(), 10);
    EXPECT_EQ(list.FirstIndexOf(9100), 0);
    EXPECT_TRUE(list.Load(9100));
    EXPECT_EQ(list.GetImageCount(), 10);
    EXPECT_TRUE(list.Load(1017));
    EXPECT_EQ(list.FirstIndexOf(1017), 10);
    EXPECT_FALSE(list.Load(9999));
    EXPECT_FALSE(list.Load(9101)); // malformed
    EXPECT_EQ(list.GetImageCount(), 10 + 11);
    // The images are real renderings, not empty.
    const QImage first = list.GetImage(0);
    int opaque = 0;
    for (int y = 0; y < first.height(); ++y)
        for (int x = 0; x < first.width(); ++x)
            opaque += qAlpha(first.pixel(x, y)) > 0;
    EXPECT_GT(opaque, 20);
}

TEST_F(ImageList, DisabledAndIndeterminateLooks)
{
    CKVTToolbarImageList list;
    ASSERT_EQ(list.AddImage(Synthetic()), 0);
    const QPalette pal = QApplication::palette();
    const QRgb hi = pal.color(QPalette::Light).rgb(), dark = pal.color(QPalette::Dark).rgb();

    QImage c = Canvas();
    {
        QPainter p(&c);
        EXPECT_TRUE(list.Draw(p, 10, 10, 0, CKVTToolbarImageList::STATE_DISABLED));
        EXPECT_FALSE(list.Draw(p, 10, 10, 1, CKVTToolbarImageList::STATE_NORMAL));
    }
    EXPECT_EQ(c.pixel(10 + 10, 10 + 10), hi);   // the mask at +1/+1 in the highlight colour
    EXPECT_EQ(c.pixel(10 + 4, 10 + 4), dark);   // in place in the shadow colour
    EXPECT_EQ(c.pixel(10 + 0, 10 + 0), 0xFF123456); // the face is left out
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x)
            ASSERT_NE(c.pixel(x, y), 0xFF000000u) << x << "," << y;

    QImage d = Canvas();
    list.UpdateImage(0, Synthetic(0)); // on a transparent background
    {
        QPainter p(&d);
        list.Draw(p, 10, 10, 0, CKVTToolbarImageList::STATE_INDETERMINATE);
    }
    const QRgb face = pal.color(QPalette::Button).rgb();
    EXPECT_EQ(d.pixel(10, 10), hi);
    EXPECT_EQ(d.pixel(11, 10), face);
    EXPECT_EQ(d.pixel(14, 14), pal.color(QPalette::ButtonText).rgb());
}

TEST_F(ImageList, SchemeColoursAndSavingTheMaster)
{
    const QString src = WriteStrip(QString::fromStdString(data.Path()) + "/orig.bmp", 32, 15);
    QFile f(src);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray original = f.readAll();

    CKVTToolbarImageList list;
    ASSERT_TRUE(list.LoadUserImages(src));
    EXPECT_EQ(list.GetImageCount(), 2);
    // A dark scheme with equal highlight and text colours.
    QPalette pal = QApplication::palette();
    pal.setColor(QPalette::Light, Qt::yellow);
    pal.setColor(QPalette::ButtonText, Qt::yellow);
    QApplication::setPalette(pal);
    QImage c = Canvas();
    {
        QPainter p(&c);
        list.Draw(p, 0, 0, 0, CKVTToolbarImageList::STATE_NORMAL);
    }
    EXPECT_EQ(c.pixel(0, 0), QColor(Qt::yellow).rgb()); // black shown in the text colour
    list.SetModified();
    EXPECT_TRUE(list.Save(QStringLiteral("Copy.bmp")));
    QFile g(QString::fromStdString(data.Path()) + "/ORNA/Strandwork/Copy.bmp");
    ASSERT_TRUE(g.open(QIODevice::ReadOnly));
    EXPECT_EQ(g.readAll(), original);
}

TEST_F(ImageList, UserFileLookupAndUnmodifiedStrip)
{
    const QString folder = QString::fromStdString(data.Path()) + "/ORNA/Strandwork";
    QDir().mkpath(folder);
    const QString name = QStringLiteral("UsrImgs%1.bmp").arg(QCoreApplication::applicationPid());
    const QString programCopy = QCoreApplication::applicationDirPath() + "/" + name;
    WriteStrip(programCopy, 32, 15);
    CKVTToolbarImageList list;
    ASSERT_TRUE(list.LoadUserImages(name)); // from the program's folder
    EXPECT_EQ(list.GetImageCount(), 2);
    WriteStrip(folder + "/" + name, 170, 15); // the user's data folder comes first
    ASSERT_TRUE(list.LoadUserImages(name));
    QFile::remove(programCopy);
    EXPECT_EQ(list.GetImageCount(), 10); // a remainder is ignored

    const QDateTime before = QFileInfo(folder + "/" + name).lastModified();
    // Time is the subject: a rewrite after the pause would change the
    // file's time stamp.
    QThread::msleep(20);
    EXPECT_TRUE(list.Save());
    EXPECT_EQ(QFileInfo(folder + "/" + name).lastModified(), before); // not rewritten

    EXPECT_FALSE(list.LoadUserImages(QStringLiteral("missing.bmp")));
    EXPECT_EQ(list.GetImageCount(), 10);
    // A file that cannot be written.
    list.SetModified();
    EXPECT_FALSE(list.Save(QStringLiteral("/nonexistent-folder/x.bmp")));

    // The toolbars take only a strip of their image height.
    CKVTToolbarImageList tall;
    WriteStrip(folder + "/tall.bmp", 32, 16);
    ASSERT_TRUE(tall.LoadUserImages(folder + "/tall.bmp"));
    EXPECT_FALSE(CKVTToolbarShared::SetUserImages(&tall));
    EXPECT_TRUE(CKVTToolbarShared::SetUserImages(&list));
}

TEST_F(ImageList, EditingAndClipboard)
{
    CKVTToolbarImageList list;
    for (int i = 0; i < 3; ++i)
        list.AddImage(Synthetic());
    ASSERT_TRUE(CKVTToolbarShared::SetUserImages(&list));
    auto& map = CKVTCommandImageMap::Instance();
    map.SetImage(10, 0, true);
    map.SetImage(11, 1, true);
    map.SetImage(12, 2, true);
    EXPECT_TRUE(list.DeleteImage(1));
    EXPECT_EQ(list.GetImageCount(), 2);
    EXPECT_EQ(map.GetImage(10, true), 0);
    EXPECT_EQ(map.GetImage(11, true), -1);
    EXPECT_EQ(map.GetImage(12, true), 1);
    EXPECT_FALSE(list.DeleteImage(5));

    QImage red(16, 15, QImage::Format_ARGB32);
    red.fill(Qt::red);
    EXPECT_TRUE(list.UpdateImage(0, red));
    EXPECT_EQ(list.GetImage(0).pixel(3, 3), QColor(Qt::red).rgb());
    EXPECT_TRUE(list.CopyImageToClipboard(0));
    EXPECT_FALSE(QGuiApplication::clipboard()->image().isNull());

    ui::ScriptedPrompts prompts({ui::IDOK});
    EXPECT_FALSE(list.CopyImageToClipboard(7));
    ASSERT_EQ(prompts.Asked().size(), 1u);
    EXPECT_EQ(prompts.Asked()[0].text, QStringLiteral("Nelze kopírovat ikonu do schránky !"));
}

TEST_F(ImageList, LargeImagesAreRenderedAgain)
{
    CKVTToolbarImageList list;
    ASSERT_TRUE(list.Load(9100));
    ASSERT_TRUE(list.PrepareDrawImage(QSize(32, 30)));
    EXPECT_EQ(list.GetDrawSize(), QSize(32, 30));
    QImage c(32, 30, QImage::Format_ARGB32);
    c.fill(0);
    {
        QPainter p(&c);
        p.setCompositionMode(QPainter::CompositionMode_Source);
        list.Draw(p, 0, 0, 9, 0); // the find image: a circle
    }
    list.EndDrawImage();
    // A rendering at the size, not the small image doubled pixel for pixel.
    const QImage doubled = list.GetImage(9).scaled(32, 30);
    EXPECT_NE(c.convertToFormat(QImage::Format_ARGB32), doubled.convertToFormat(QImage::Format_ARGB32));
}

} // namespace
