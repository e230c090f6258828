// Toolbar buttons: the stored record, sizes, the command-image map, the
// clipboard format.

#include "uilib/KVTToolbarButton.h"

#include <QMimeData>
#include <gtest/gtest.h>

namespace {

std::vector<uint8_t> Hex(const char* text)
{
    std::vector<uint8_t> out;
    unsigned v;
    int n;
    while (sscanf(text, " %2x%n", &v, &n) == 1) {
        out.push_back(uint8_t(v));
        text += n;
    }
    return out;
}

const char* const kGolden =
    "FF FF 01 00 11 00 43 4B 56 54 54 6F 6F 6C 62 61 72 42 75 74 74 6F 6E 64 00 00 00 00 00 00 00 03 00 00 00 "
    "FF FE FF 03 61 00 62 00 63 00 00 00 00 00 00 00 00 00 00 00 00 00 01 00 00 00";

class Button : public ::testing::Test
{
protected:
    void TearDown() override { CKVTCommandImageMap::Instance().RemoveAll(); }
};

TEST_F(Button, GoldenRecordAndRoundTrip)
{
    CKVTToolbarButton b(100, 3, QStringLiteral("abc"));
    sys::ObjectArchive ar;
    ar.WriteObject(&b);
    EXPECT_EQ(ar.Bytes(), Hex(kGolden));
    EXPECT_EQ(ar.Bytes().size(), 61u);

    CKVTCommandImageMap::Instance().RemoveAll();
    const auto bytes = ar.TakeBytes();
    sys::ObjectArchive in(bytes);
    auto back = in.ReadObjectOf<CKVTToolbarButton>();
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->m_id, 100u);
    EXPECT_EQ(back->m_imageIndex, 3);
    EXPECT_EQ(back->m_text, QStringLiteral("abc"));
    EXPECT_TRUE(back->m_showImage);
    EXPECT_FALSE(back->m_showText);
    // Loading enters the image in the command-image map again.
    EXPECT_EQ(CKVTCommandImageMap::Instance().GetImage(100, false), 3);
}

TEST_F(Button, CommandImageMapKeepsTheFirstKind)
{
    auto& map = CKVTCommandImageMap::Instance();
    CKVTToolbarButton withDefault(200, 5);
    CKVTToolbarButton user(200, 2, {}, true);
    EXPECT_EQ(map.GetImage(200, true), -1); // a user image of a command with a default image is not recorded
    EXPECT_EQ(map.GetImage(200, false), 5);

    map.SetImage(300, 1, true);
    CKVTToolbarButton lookup(300, -1);
    EXPECT_TRUE(lookup.m_userImage); // no default image, a user image: the user image is used
    EXPECT_EQ(lookup.GetImage(), 1);

    CKVTToolbarButton locked(400, 7, {}, false, true);
    EXPECT_EQ(map.GetImage(400, false), -1);

    // Deleting user image 1 of three renumbers the map.
    map.SetImage(501, 0, true);
    map.SetImage(502, 2, true);
    map.OnUserImageDeleted(1);
    EXPECT_EQ(map.GetImage(300, true), -1);
    EXPECT_EQ(map.GetImage(501, true), 0);
    EXPECT_EQ(map.GetImage(502, true), 1);
}

TEST_F(Button, Sizes)
{
    const QSize def(23, 22);
    CKVTToolbarButton sep;
    sep.m_style = TBBS_SEPARATOR;
    for (int w : {0, -1}) {
        sep.SetImage(w);
        EXPECT_EQ(sep.CalculateSize(def, true), QSize(8, 22));
    }
    sep.SetImage(12);
    EXPECT_EQ(sep.CalculateSize(def, true), QSize(12, 22));
    EXPECT_EQ(sep.CalculateSize(def, false), QSize(23, 8));

    CKVTToolbarButton noImage(600, -1);
    EXPECT_EQ(noImage.CalculateSize(def, true).width(), 0);
    CKVTToolbarButton image(601, 0);
    EXPECT_EQ(image.CalculateSize(def, true), def);
    image.m_text = QStringLiteral("&Text");
    image.m_showText = true;
    EXPECT_GT(image.CalculateSize(def, true).width(), 23 + 12);
    EXPECT_EQ(image.CalculateSize(def, true).height(), 22);
    EXPECT_GT(image.CalculateSize(def, false).height(), 22 + 12);
    image.m_textBelow = true;
    const QSize below = image.CalculateSize(def, true);
    EXPECT_EQ(below.height(), image.m_textHeight + 22 + 6);
    EXPECT_EQ(StripMnemonic(QStringLiteral("a&b&&c")), QStringLiteral("ab&c"));
}

TEST_F(Button, EditableAndCopy)
{
    for (uint32_t id : {0xE110u, 0xFF00u, 0xF000u, 0xE210u})
        EXPECT_FALSE(CKVTToolbarButton(id, 0).IsEditable()) << id;
    EXPECT_TRUE(CKVTToolbarButton(0xE120, 0).IsEditable());

    CKVTToolbarButton src(700, 4, QStringLiteral("x"));
    src.m_extra = true;
    src.m_wrap = true;
    auto copy = src.Clone();
    EXPECT_EQ(copy->m_id, 700u);
    EXPECT_EQ(copy->GetImage(), 4);
    EXPECT_TRUE(copy->m_wrap);
    EXPECT_FALSE(copy->m_extra);
}

TEST_F(Button, ClipboardFormat)
{
    CKVTToolbarButton b(100, 3, QStringLiteral("abc"));
    QMimeData data;
    EXPECT_TRUE(b.CopyToClipboard(&data));
    EXPECT_TRUE(data.hasFormat(QStringLiteral("KVTToolbarButton")));
    auto back = CKVTToolbarButton::CreateFromClipboard(&data);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->m_text, QStringLiteral("abc"));

    // Damaged and missing data give none.
    QByteArray bytes = data.data(QStringLiteral("KVTToolbarButton"));
    bytes.chop(5);
    data.setData(QStringLiteral("KVTToolbarButton"), bytes);
    EXPECT_EQ(CKVTToolbarButton::CreateFromClipboard(&data), nullptr);
    QMimeData empty;
    EXPECT_EQ(CKVTToolbarButton::CreateFromClipboard(&empty), nullptr);
}

} // namespace
