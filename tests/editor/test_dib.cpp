// The device-independent bitmap: reading, saving, painting and the checks
// that keep a corrupt file out.

#include "DibTesting.h"

#include "editor/print/EdtDib.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

using namespace dibtest;

TEST(Dib, SixteenColourPictureAndFixture)
{
    const auto bmp = MakeBmp(64, 48, 4);
    CDib dib;
    EXPECT_EQ(dib.Read(bmp.data(), bmp.size()), bmp.size());
    EXPECT_EQ(dib.Width(), 64);
    EXPECT_EQ(dib.Height(), 48);
    EXPECT_EQ(dib.NumColors(), 16);
    EXPECT_EQ(dib.PaletteSize(), 64);
    ASSERT_EQ(dib.Palette().size(), 16u);
    EXPECT_EQ(dib.Palette()[9], qRgb(255, 0, 0));
    // The checked-in fixture is this generator's picture (SW_WRITE_FIXTURES
    // writes it again).
    const QString fixture = QString::fromUtf8(std::getenv("SW_FIXTURES")) + "/editor/preview16.bmp";
    if (std::getenv("SW_WRITE_FIXTURES")) {
        QFile f(fixture);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(reinterpret_cast<const char*>(bmp.data()), qint64(bmp.size()));
    }
    CDib fromFile;
    EXPECT_EQ(fromFile.ReadFile(fixture), bmp.size());
    EXPECT_EQ(fromFile.Info(), dib.Info());
    EXPECT_EQ(fromFile.Bits(), dib.Bits());
}

TEST(Dib, TwentyFourBitsSaveAndPaint)
{
    const int w = 13, h = 7;
    const auto bmp = MakeBmp(w, h, 24);
    CDib dib;
    ASSERT_EQ(dib.Read(bmp.data(), bmp.size()), bmp.size());
    EXPECT_EQ(dib.NumColors(), 0);
    EXPECT_TRUE(dib.Palette().empty());
    std::vector<uint8_t> saved;
    ASSERT_EQ(dib.Save(saved), bmp.size());
    EXPECT_EQ(saved[10], 54);
    EXPECT_EQ(uint32_t(saved[34]) | uint32_t(saved[35]) << 8, uint32_t((24 * w + 31) / 32 * 4 * h));
    CDib back;
    ASSERT_EQ(back.ReadFromBlock(dib.CopyToBlock()), bmp.size());
    EXPECT_EQ(back.Info(), dib.Info());
    EXPECT_EQ(back.Bits(), dib.Bits());
    // Through an archive's device.
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    EXPECT_EQ(dib.Save(buf), bmp.size());
    buf.close();
    buf.open(QIODevice::ReadOnly);
    CDib viaDevice;
    EXPECT_EQ(viaDevice.Read(buf), bmp.size());

    // An unscaled paint gives the source pixels (top-down coordinates).
    QImage target(w, h, QImage::Format_RGB32);
    target.fill(Qt::white);
    {
        QPainter p(&target);
        EXPECT_TRUE(dib.Paint(p, QRect(0, 0, w, h), QRect(0, 0, w, h)));
    }
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int fileRow = h - 1 - y;  // bottom-up in the file
            const uint8_t* px = bmp.data() + 54 + size_t(fileRow * ((24 * w + 31) / 32 * 4) + x * 3);
            ASSERT_EQ(target.pixel(x, y), qRgb(px[2], px[1], px[0])) << x << "," << y;
        }
    QImage scaled(2 * w, 2 * h, QImage::Format_RGB32);
    QPainter p2(&scaled);
    EXPECT_TRUE(dib.Paint(p2, QRect(0, 0, 2 * w, 2 * h), QRect(0, 0, w, h)));
}

TEST(Dib, BrokenFieldsAreRefused)
{
    const auto good = MakeBmp(16, 8, 4);
    struct Case
    {
        const char* what;
        size_t at;
        int bytes;
        uint32_t value;
    };
    const Case cases[] = {
        {"type", 0, 2, 'X' | 'M' << 8},    {"core header", 14, 4, 12},
        {"header past end", 14, 4, 5000},  {"bit count 3", 28, 2, 3},
        {"bit count 0", 28, 2, 0},         {"too many colours", 46, 4, 17},
        {"width 0", 18, 4, 0},             {"width negative", 18, 4, uint32_t(-5)},
        {"width huge", 18, 4, 40000},      {"height 0", 22, 4, 0},
        {"height huge", 22, 4, 40000},     {"height huge down", 22, 4, uint32_t(-40000)},
        {"compression 4", 30, 4, 4},       {"offset inside table", 10, 4, 60},
        {"offset past end", 10, 4, 100000}, {"bits too short", 22, 4, 9},
    };
    for (const Case& c : cases) {
        auto bad = good;
        if (c.bytes == 2)
            Put16(bad, c.at, uint16_t(c.value));
        else
            Put32(bad, c.at, c.value);
        CDib dib;
        dib.Read(good.data(), good.size());
        EXPECT_EQ(dib.Read(bad.data(), bad.size()), 0u) << c.what;
        EXPECT_TRUE(dib.IsEmpty()) << c.what;
        EXPECT_EQ(dib.Width(), 0);
        EXPECT_EQ(dib.NumColors(), 0);
    }
    // A truncated file.
    CDib dib;
    EXPECT_EQ(dib.Read(good.data(), good.size() - 1), 0u);
    EXPECT_EQ(dib.Read(good.data(), 20), 0u);
    // A top-down picture is fine.
    auto down = good;
    Put32(down, 22, uint32_t(-8));
    EXPECT_EQ(dib.Read(down.data(), down.size()), down.size());

    // Random header bytes never read out of bounds (run under the sanitizers).
    std::mt19937 rng(7);
    for (int i = 0; i < 3000; ++i) {
        auto fuzz = good;
        fuzz.resize(size_t(rng() % (good.size() + 8)));
        for (int k = 0; k < 4 && fuzz.size() > 2; ++k)
            fuzz[2 + rng() % std::min<size_t>(fuzz.size() - 2, 60)] = uint8_t(rng());
        CDib d;
        if (d.Read(fuzz.data(), fuzz.size())) {
            QImage img(8, 8, QImage::Format_RGB32);
            QPainter p(&img);
            d.Paint(p, QRect(0, 0, 8, 8), QRect(0, 0, d.Width(), std::abs(d.Height())));
        }
    }
}
