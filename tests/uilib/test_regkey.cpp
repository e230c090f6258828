// The library's registry key over the real registry store.

#include "uilib/KVTRegistryKey.h"

#include "tests/support/platform/TempDir.h"

#include <gtest/gtest.h>

namespace {

class RegKey : public ::testing::Test
{
protected:
    testsupport::ScopedConfigHome home;
    const QString base = GetRegPath(QStringLiteral("KVTTest"));
};

TEST_F(RegKey, PathsAndKeys)
{
    EXPECT_EQ(GetRegPath(QStringLiteral("KVTKeyboardManager")),
              QStringLiteral("SOFTWARE\\ORNA\\Strandwork\\KVTKeyboardManager\\"));
    EXPECT_EQ(GetRegPath(QStringLiteral("X"), QStringLiteral("B\\")), QStringLiteral("B\\"));

    {
        CKVTRegistryKey k;
        ASSERT_TRUE(k.CreateKey(base + QStringLiteral("A\\B\\C\\")));
        EXPECT_TRUE(k.Write(QStringLiteral("v"), 7u));
    }
    CKVTRegistryKey r(false, true);
    EXPECT_TRUE(r.Open(base + QStringLiteral("A\\B\\C\\")));
    uint32_t v = 0;
    EXPECT_TRUE(r.Read(QStringLiteral("v"), v));
    EXPECT_EQ(v, 7u);
    EXPECT_FALSE(r.Write(QStringLiteral("w"), 1u));
    EXPECT_FALSE(r.CreateKey(QStringLiteral("x")));
    EXPECT_FALSE(r.DeleteKey(base + QStringLiteral("A")));
    EXPECT_TRUE(CKVTRegistryKey(false, true).Open(base + QStringLiteral("A\\B\\C")));

    // Three levels go at once; a missing key is refused.
    CKVTRegistryKey w;
    EXPECT_TRUE(w.DeleteKey(base + QStringLiteral("A\\")));
    EXPECT_FALSE(CKVTRegistryKey(false, true).Open(base + QStringLiteral("A")));
    EXPECT_FALSE(w.DeleteKey(base + QStringLiteral("A")));

    // The machine root has nothing.
    CKVTRegistryKey m(true);
    EXPECT_FALSE(m.Open(QStringLiteral("SOFTWARE")));
    EXPECT_EQ(m.LastError(), sys::ERROR_FILE_NOT_FOUND);
}

TEST_F(RegKey, StringsAndProfileShareTheTree)
{
    ASSERT_TRUE(sys::Profile::WriteString(u"KVTTest", u"s", std::u16string(99, u'a')));
    ASSERT_TRUE(sys::Profile::WriteString(u"KVTTest", u"long", std::u16string(100, u'a')));
    CKVTRegistryKey k(false, true);
    ASSERT_TRUE(k.Open(base));
    QString s;
    EXPECT_TRUE(k.Read(QStringLiteral("s"), s));
    EXPECT_EQ(s.size(), 99);
    s = QStringLiteral("kept");
    EXPECT_FALSE(k.Read(QStringLiteral("long"), s));
    EXPECT_EQ(s, QStringLiteral("kept"));
    uint32_t d = 5;
    EXPECT_FALSE(k.Read(QStringLiteral("s"), d)); // not a DWORD
    EXPECT_EQ(d, 5u);
}

TEST_F(RegKey, StructuredValues)
{
    CKVTRegistryKey k;
    ASSERT_TRUE(k.CreateKey(base));
    EXPECT_TRUE(k.Write(QStringLiteral("pt"), QPoint(1, 2)));
    std::vector<uint8_t> raw;
    EXPECT_TRUE(k.Read(QStringLiteral("pt"), raw));
    EXPECT_EQ(raw, (std::vector<uint8_t>{2, 0, 1, 0, 0, 0, 2, 0, 0, 0}));
    QPoint p;
    EXPECT_TRUE(k.Read(QStringLiteral("pt"), p));
    EXPECT_EQ(p, QPoint(1, 2));

    const QRect rc(QPoint(-3, 4), QPoint(9, 19));
    EXPECT_TRUE(k.Write(QStringLiteral("rc"), rc));
    EXPECT_EQ(k.LastSize(), 16u);
    EXPECT_EQ(k.LastType(), sys::REG_BINARY);
    QRect back;
    EXPECT_TRUE(k.Read(QStringLiteral("rc"), back));
    EXPECT_EQ(back, rc);

    const std::vector<std::u16string> list{u"one", u"two"};
    EXPECT_TRUE(k.Write(QStringLiteral("list"), list));
    std::vector<std::u16string> got;
    EXPECT_TRUE(k.Read(QStringLiteral("list"), got));
    EXPECT_EQ(got, list);
    std::vector<uint16_t> words{1, 0xFFFF};
    EXPECT_TRUE(k.Write(QStringLiteral("w"), words));
    std::vector<uint16_t> wback;
    EXPECT_TRUE(k.Read(QStringLiteral("w"), wback));
    EXPECT_EQ(wback, words);

    // Corrupt, oversized and mistyped collections fail and change nothing.
    const uint8_t cut[] = {0x05, 0x00, 0xFF};
    EXPECT_TRUE(k.Write(QStringLiteral("bad"), cut, sizeof cut));
    EXPECT_FALSE(k.Read(QStringLiteral("bad"), got));
    EXPECT_EQ(k.LastError(), sys::ERROR_INVALID_DATA);
    EXPECT_EQ(got, list);
    std::vector<uint8_t> big(4097, 0);
    EXPECT_TRUE(k.Write(QStringLiteral("big"), big));
    EXPECT_FALSE(k.Read(QStringLiteral("big"), got));
    EXPECT_TRUE(k.Write(QStringLiteral("dw"), 3u));
    EXPECT_FALSE(k.Read(QStringLiteral("dw"), got));
    EXPECT_EQ(got, list);

    QStringList names;
    EXPECT_TRUE(k.ReadKeyValues(names));
    EXPECT_EQ(names.size(), 7);
    EXPECT_TRUE(k.DeleteValue(QStringLiteral("big")));
    EXPECT_FALSE(k.ValueExists(QStringLiteral("big")));
    QStringList subs;
    EXPECT_FALSE(k.ReadSubKeys(subs));
}

} // namespace
