// The hex editor's core: layout, hit test, keys, typing, insert, delete,
// the clipboard payloads and the limits.

#include "plcviews/BinData.h"
#include "plcviews/HexEditModel.h"
#include "tests/support/platform/TempDir.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace {
constexpr int kCw = 10, kLh = 20;

struct Hex : ::testing::Test
{
    QByteArray block;
    HexEditModel m;
    Hex() { m.SetFlag(HX_WIDE, false); }  // the wide address is the initial choice
    void Use(const QByteArray& bytes, int rows = 4)
    {
        block = bytes;
        m.SetBlock(&block);
        m.SetMetrics(kCw, kLh, rows * kLh);
    }
    static QByteArray Count(int n)
    {
        QByteArray b;
        for (int i = 0; i < n; ++i)
            b.append(char(i));
        return b;
    }
};
} // namespace

TEST_F(Hex, Layout)
{
    HexEditModel fresh;
    EXPECT_EQ(fresh.Flags(), uint32_t(HX_INITIAL));
    EXPECT_EQ(fresh.AddressChars(), 9);
    Use(Count(28), 10);
    EXPECT_EQ(m.HexX(), 5 * kCw);
    EXPECT_EQ(m.AsciiX(), m.HexX() + 48 * kCw);
    EXPECT_EQ(m.RowsPerPage(), 2);  // 28 bytes: one full row and a part
    EXPECT_TRUE(m.Has(HX_PARTIAL));
    m.SetFlag(HX_WIDE, true);
    EXPECT_EQ(m.HexX(), 9 * kCw);
    m.SetFlag(HX_ADDRESS, false);
    EXPECT_EQ(m.HexX(), 0);
    m.SetFlag(HX_HEX, false);
    EXPECT_EQ(m.AsciiX(), 0);

    m.SetFlags(HX_INITIAL & ~HX_WIDE);
    Use(Count(24), 10);  // a remainder of half a row: still 2 rows
    EXPECT_EQ(m.RowsPerPage(), 2);
    Use(Count(32), 10);
    EXPECT_EQ(m.RowsPerPage(), 2);
    EXPECT_FALSE(m.Has(HX_PARTIAL));
    Use(Count(200), 4);
    EXPECT_EQ(m.RowsPerPage(), 4);

    // Long data: eight digits even with the narrow address chosen.
    Use(QByteArray(0x10001, 'x'));
    EXPECT_FALSE(m.Has(HX_WIDE));
    EXPECT_EQ(m.AddressChars(), 9);
    Use(QByteArray(0x10000, 'x'));
    EXPECT_EQ(m.AddressChars(), 5);
}

TEST_F(Hex, HitTestAndCaretPixel)
{
    Use(Count(40));
    const int hx = 5 * kCw, ax = hx + 48 * kCw;
    struct Case { QPoint p; int area; qsizetype offset; };
    const Case cases[] = {
        {{5, 25}, HA_ADDRESS, 16},
        {{hx + 1, 5}, HA_HEX_HIGH, 0},
        {{hx + kCw + 1, 5}, HA_HEX_LOW, 0},
        {{hx + 3 * kCw + 1, 25}, HA_HEX_HIGH, 17},
        {{ax + 2 * kCw + 1, 45}, HA_ASCII, 34},
        {{ax + 15 * kCw + 1, 45}, HA_ASCII, 39},  // past the end: the last byte
        {{ax + 17 * kCw, 5}, HA_NONE, 0},
        {{hx + 1, 65}, HA_NONE, 0},               // below the data
    };
    for (const Case& c : cases) {
        const HexHit h = m.HitTest(c.p);
        EXPECT_EQ(h.area, c.area) << c.p.x() << "," << c.p.y();
        if (c.area != HA_NONE) {
            EXPECT_EQ(h.offset, c.offset) << c.p.x() << "," << c.p.y();
        }
    }
    m.SetCaret(17);
    m.SetArea(HA_HEX_LOW);
    EXPECT_EQ(m.CaretPixel(), QPoint(hx + 4 * kCw, kLh));
    m.SetArea(HA_ASCII);
    EXPECT_EQ(m.CaretPixel(), QPoint(ax + kCw, kLh));

    Use({});
    EXPECT_EQ(m.Caret(), 0);
    EXPECT_EQ(m.HitTest({hx + 1, 5}).offset, 0);
    EXPECT_EQ(m.HitTest({hx + 1, 5}).area, HA_HEX_HIGH);
}

TEST_F(Hex, Keys)
{
    Use(Count(100), 2);  // 7 rows, 2 per page
    m.KeyPress(Qt::Key_Right, false, false);
    EXPECT_EQ(m.Caret(), 0);
    EXPECT_EQ(m.Area(), HA_HEX_LOW);
    m.KeyPress(Qt::Key_Right, false, false);
    EXPECT_EQ(m.Caret(), 1);
    EXPECT_EQ(m.Area(), HA_HEX_HIGH);
    m.KeyPress(Qt::Key_Left, false, false);
    EXPECT_EQ(m.Caret(), 0);
    EXPECT_EQ(m.Area(), HA_HEX_LOW);
    m.KeyPress(Qt::Key_Tab, false, false);
    EXPECT_EQ(m.Area(), HA_ASCII);
    m.KeyPress(Qt::Key_Left, false, false);  // below 0 stops at 0
    EXPECT_EQ(m.Caret(), 0);
    m.KeyPress(Qt::Key_Tab, false, false);
    EXPECT_EQ(m.Area(), HA_HEX_HIGH);

    m.SetCaret(20);
    m.KeyPress(Qt::Key_End, false, false);
    EXPECT_EQ(m.Caret(), 31);
    m.KeyPress(Qt::Key_Home, false, false);
    EXPECT_EQ(m.Caret(), 16);
    m.KeyPress(Qt::Key_PageUp, false, false);  // at the top: stops at 0
    EXPECT_EQ(m.Caret(), 0);
    EXPECT_EQ(m.Top(), 0);
    m.KeyPress(Qt::Key_PageDown, false, false);
    EXPECT_EQ(m.Caret(), 32);
    EXPECT_EQ(m.Top(), 32);
    m.KeyPress(Qt::Key_End, false, true);
    EXPECT_EQ(m.Caret(), 99);
    EXPECT_EQ(m.Top(), 80);  // the start of the last page, never past it
    m.KeyPress(Qt::Key_PageDown, false, false);  // past the end: undone
    EXPECT_EQ(m.Caret(), 99);
    m.KeyPress(Qt::Key_Down, false, false);
    EXPECT_EQ(m.Caret(), 99);
    m.KeyPress(Qt::Key_Up, false, false);
    EXPECT_EQ(m.Caret(), 83);
    m.KeyPress(Qt::Key_Home, false, true);
    EXPECT_EQ(m.Caret(), 0);
    EXPECT_EQ(m.Top(), 0);
    for (int i = 0; i < 3; ++i)
        m.KeyPress(Qt::Key_Down, false, false);  // scrolls one row at a time
    EXPECT_EQ(m.Top(), 32);

    // Shift extends from the anchor; a plain move removes the selection.
    m.SetCaret(4);
    m.KeyPress(Qt::Key_Right, true, false);
    m.KeyPress(Qt::Key_Right, true, false);
    m.KeyPress(Qt::Key_Right, true, false);
    EXPECT_EQ(m.SelStart(), 4);
    EXPECT_EQ(m.SelEnd(), 6);
    m.KeyPress(Qt::Key_Right, false, false);
    EXPECT_FALSE(m.HasSelection());
    m.SetCaret(40);  // a click elsewhere: the next extension starts there
    m.KeyPress(Qt::Key_Down, true, false);
    EXPECT_EQ(m.SelStart(), 40);
    EXPECT_EQ(m.SelEnd(), 57);

    // Short data: Ctrl+End keeps top 0.
    Use(Count(28), 10);
    m.KeyPress(Qt::Key_End, false, true);
    EXPECT_EQ(m.Top(), 0);
    EXPECT_EQ(m.Caret(), 27);
}

TEST_F(Hex, Typing)
{
    Use(QByteArray("\x11\x22\x33", 3));
    HexChange ch = m.TypeChar(QLatin1Char('a'));
    EXPECT_TRUE(ch.modified);
    EXPECT_EQ(uchar(block[0]), 0xA1);
    EXPECT_EQ(m.Area(), HA_HEX_LOW);
    EXPECT_FALSE(m.TypeChar(QLatin1Char('A')).modified);  // upper case: nothing
    m.TypeChar(QLatin1Char('f'));
    EXPECT_EQ(uchar(block[0]), 0xAF);
    EXPECT_EQ(m.Caret(), 1);

    m.SetArea(HA_ASCII);
    m.TypeChar(QChar(0x10D));  // "č"
    EXPECT_EQ(uchar(block[1]), 0xE8);
    EXPECT_EQ(m.Caret(), 2);
    ch = m.TypeChar(QChar(0x2192));  // "→" has no code page 1250 byte
    EXPECT_TRUE(ch.beep);
    EXPECT_FALSE(ch.modified);
    EXPECT_EQ(uchar(block[2]), 0x33);

    m.TypeChar(QLatin1Char('\b'));
    EXPECT_EQ(block, QByteArray("\xAF\x33", 2));
    EXPECT_EQ(m.Caret(), 1);

    m.SetFlag(HX_READONLY, true);
    ch = m.TypeChar(QLatin1Char('x'));
    EXPECT_TRUE(ch.beep);
    EXPECT_EQ(block, QByteArray("\xAF\x33", 2));
    EXPECT_EQ(m.Caret(), 1);
}

TEST_F(Hex, InsertAndDelete)
{
    Use(Count(10));
    m.SetCaret(4);
    m.KeyPress(Qt::Key_Insert, false, false);
    EXPECT_EQ(block.size(), 11);
    EXPECT_EQ(block[4], '\0');
    EXPECT_EQ(block[5], '\x04');
    m.SetSelection(1, 4);
    m.KeyPress(Qt::Key_Insert, false, false);
    EXPECT_EQ(block.size(), 14);
    EXPECT_FALSE(m.HasSelection());

    Use(Count(10));
    m.SetSelection(2, 5);
    EXPECT_TRUE(m.DeleteSelection().modified);
    EXPECT_EQ(block.size(), 7);
    EXPECT_EQ(block, QByteArray("\x00\x01\x05\x06\x07\x08\x09", 7));
    m.SetCaret(6);
    m.KeyPress(Qt::Key_Delete, false, false);
    EXPECT_EQ(block.size(), 6);
    EXPECT_EQ(m.Caret(), 5);  // clamped into the new size
}

TEST_F(Hex, Clipboard)
{
    Use(QByteArray("\x41\x00\x42\x80", 4));
    m.SetSelection(0, 3);
    EXPECT_EQ(m.CopyBinary(), QByteArray("\x41\x00\x42", 3));
    EXPECT_EQ(m.CopyText(), QStringLiteral("41 00 42 "));
    m.SetArea(HA_ASCII);
    EXPECT_EQ(m.CopyText(), QStringLiteral("A.B"));
    m.SetSelection(3, 4);
    EXPECT_EQ(m.CopyText(), QString(QChar(0x20AC)));  // 0x80 is "€"

    // Paste on a low digit goes after the byte; exactly the bytes given.
    Use(QByteArray("\x01\x02\x03", 3));
    m.SetCaret(1);
    m.SetArea(HA_HEX_LOW);
    m.PasteText(QStringLiteral("xy"));
    EXPECT_EQ(block, QByteArray("\x01\x02xy\x03", 5));
    m.SetArea(HA_HEX_HIGH);
    m.PasteBytes(QByteArray("\0", 1));
    EXPECT_EQ(block, QByteArray("\x01\0\x02xy\x03", 6));
    // Over a selection: replaced.
    m.SetSelection(2, 5);
    m.PasteText(QString(QChar(0x20AC)));
    EXPECT_EQ(block, QByteArray("\x01\0\x80\x03", 4));
    // A character outside the code page: refused, nothing written.
    const HexChange ch = m.PasteText(QStringLiteral("a\u2192b"));
    EXPECT_TRUE(ch.beep);
    EXPECT_EQ(block, QByteArray("\x01\0\x80\x03", 4));
}

TEST_F(Hex, ReadOnlyGuardsEveryChange)
{
    Use(Count(8));
    m.SetFlag(HX_READONLY, true);
    m.SetCaret(3);
    m.SetSelection(2, 4);
    EXPECT_TRUE(m.TypeChar(QLatin1Char('\b')).beep);
    EXPECT_TRUE(m.KeyPress(Qt::Key_Delete, false, false).beep);
    EXPECT_TRUE(m.KeyPress(Qt::Key_Insert, false, false).beep);
    EXPECT_TRUE(m.DeleteSelection().beep);
    EXPECT_TRUE(m.PasteBytes("zz").beep);
    EXPECT_EQ(block, Count(8));
    EXPECT_EQ(m.CopyBinary(), QByteArray("\x02\x03", 2));
    m.KeyPress(Qt::Key_Right, true, false);
    EXPECT_TRUE(m.HasSelection());
}

TEST_F(Hex, EmptyDataAndLimits)
{
    Use({});
    EXPECT_EQ(m.KeyPress(Qt::Key_Right, false, false).repaint, false);
    EXPECT_FALSE(m.TypeChar(QLatin1Char('1')).modified);
    EXPECT_TRUE(m.KeyPress(Qt::Key_Insert, false, false).modified);
    EXPECT_EQ(block, QByteArray(1, '\0'));
    Use({});
    m.SetArea(HA_HEX_LOW);
    m.PasteBytes("ab");
    EXPECT_EQ(block, QByteArray("ab"));

    // Bytes per row stays within 1..16.
    EXPECT_FALSE(m.SetBytesPerRow(0));
    EXPECT_FALSE(m.SetBytesPerRow(17));
    EXPECT_TRUE(m.SetBytesPerRow(8));
    EXPECT_EQ(m.BytesPerRow(), 8);

    // The block shrank behind the model: everything clamped.
    Use(Count(100), 2);
    m.SetCaret(90);
    m.SetSelection(5, 95);
    block.truncate(10);
    m.Clamp();
    EXPECT_EQ(m.Caret(), 9);
    EXPECT_EQ(m.Top(), 0);
    EXPECT_EQ(m.SelEnd(), 10);

    // Nothing passes the size limit (the document's bytes of a sparse file
    // one byte below it).
    testsupport::TempDir dir;
    dir.Write("big.bin", "");
    ASSERT_EQ(::truncate((dir / "big.bin").c_str(), HexEditModel::kMaxSize - 1), 0);
    BinData big;
    int error = 0;
    ASSERT_TRUE(big.Open(dir / "big.bin", HexEditModel::kMaxSize, error));
    m.SetBytes(&big);
    m.SetCaret(5);
    EXPECT_TRUE(m.PasteBytes("ab").beep);
    EXPECT_EQ(big.Size(), HexEditModel::kMaxSize - 1);
    EXPECT_FALSE(m.KeyPress(Qt::Key_Insert, false, false).beep);
    EXPECT_TRUE(m.KeyPress(Qt::Key_Insert, false, false).beep);
    EXPECT_EQ(big.Size(), HexEditModel::kMaxSize);

    // A row per byte: the caret at the end, the page at the start, and
    // back (rows times the line height pass an int).
    ASSERT_TRUE(m.SetBytesPerRow(1));
    m.SetMetrics(kCw, kLh, 4 * kLh);
    m.KeyPress(Qt::Key_End, false, true);
    EXPECT_EQ(m.Caret(), HexEditModel::kMaxSize - 1);
    EXPECT_EQ(m.Top(), HexEditModel::kMaxSize - 4);
    EXPECT_EQ(m.CaretPixel().y(), 3 * kLh);
    EXPECT_TRUE(m.SetTopRow(0));
    EXPECT_GE(m.CaretPixel().y(), 4 * kLh);
    EXPECT_EQ(m.HitTest({m.HexX() + 1, 2 * kLh + 1}).offset, 2);
    m.SetCaret(0);
    EXPECT_TRUE(m.SetTopRow(HexEditModel::kMaxSize));
    EXPECT_LT(m.CaretPixel().y(), 0);
}
