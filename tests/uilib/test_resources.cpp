// The program's toolbar resources: every command of every toolbar has its
// image, every image renders, the glyphs and cursors exist.

#include "platform/ui/Cursor.h"
#include "platform/ui/ToolbarResource.h"
#include "res/Resources.h"

#include <QDir>
#include <QSvgRenderer>
#include <set>
#include <gtest/gtest.h>

namespace {

int Opaque(const QImage& img)
{
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            n += qAlpha(img.pixel(x, y)) > 0;
    return n;
}

TEST(Resources, EveryToolbarCommandHasAnImageThatRenders)
{
    // The program's own descriptions (the test program adds odd ones of its own).
    const QDir dir(qEnvironmentVariable("SW_SOURCE_DIR") + QStringLiteral("/res/toolbars"));
    int toolbars = 0;
    std::set<uint32_t> ids;
    for (const QString& f : dir.entryList({QStringLiteral("*.toolbar")}, QDir::Files)) {
        const uint32_t id = f.chopped(8).toUInt();
        QString error;
        auto tb = ui::ToolbarResource::Load(id, &error);
        ASSERT_NE(tb, nullptr) << qPrintable(error);
        EXPECT_EQ(tb->width, 16);
        EXPECT_EQ(tb->height, 15);
        ++toolbars;
        for (uint32_t cmd : tb->ids)
            if (cmd)
                ids.insert(cmd);
    }
    EXPECT_EQ(toolbars, 4);
    EXPECT_EQ(ids.size(), 53u);
    for (uint32_t cmd : ids) {
        const QString path = ui::CommandImagePath(cmd);
        ASSERT_FALSE(res::Path(path).isEmpty()) << cmd;
        QSvgRenderer r(res::Data(path));
        EXPECT_TRUE(r.isValid()) << cmd;
        EXPECT_GT(Opaque(ui::RenderSvgResource(path, QSize(16, 15))), 10) << cmd;
    }
}

TEST(Resources, GlyphsAndCursors)
{
    const auto glyphs = ui::BitmapStripPaths(16129);
    ASSERT_EQ(glyphs.size(), 21u);
    for (const QString& g : glyphs)
        EXPECT_GT(Opaque(ui::RenderSvgResource(g, QSize(9, 9))), 3) << qPrintable(g);
    EXPECT_TRUE(ui::BitmapStripPaths(4242).empty());

    for (uint32_t id : {30980u, 30981u}) {
        const QCursor c = ui::LoadCursor(id, Qt::ArrowCursor);
        EXPECT_EQ(c.shape(), Qt::BitmapCursor);
        EXPECT_EQ(c.hotSpot(), QPoint(16, 16));
    }
    EXPECT_EQ(ui::LoadCursor(1, Qt::SplitHCursor).shape(), Qt::SplitHCursor);
}

} // namespace
