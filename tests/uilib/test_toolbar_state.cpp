// The stored state of a bar and the global toolbar options.

#include "uilib/KVTToolBar.h"

#include "tests/support/platform/TempDir.h"
#include "res/CommandIds.h"
#include "uilib/KVTCommandUsage.h"
#include "uilib/KVTRegistryKey.h"

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

const char* const kGoldenButton =
    "FF FF 01 00 11 00 43 4B 56 54 54 6F 6F 6C 62 61 72 42 75 74 74 6F 6E 64 00 00 00 00 00 00 00 03 00 00 00 "
    "FF FE FF 03 61 00 62 00 63 00 00 00 00 00 00 00 00 00 00 00 00 00 01 00 00 00";

class ToolbarState : public ::testing::Test
{
protected:
    testsupport::ScopedConfigHome home;
    CKVTToolBar bar;
    void SetUp() override
    {
        bar.Create(nullptr, ui::CBRS_ALIGN_TOP, 0xE800);
        bar.setWindowTitle(QStringLiteral("Hlavní"));
        bar.InsertButton(std::make_unique<CKVTToolbarButton>(100, 3, QStringLiteral("abc")));
    }
    void TearDown() override
    {
        CKVTToolbarStore::ClearStateKeyRecord();
        CKVTToolbarShared::SetNonPermittedCommands({});
        CKVTToolbarShared::Options() = KvtToolbarOptions();
        CKVTToolbarShared::SetLargeIcons(false);
        CKVTCommandUsage::Instance().Reset();
        CKVTCommandImageMap::Instance().RemoveAll();
    }
    std::vector<uint8_t> Stored(const QString& key, const QString& value)
    {
        CKVTRegistryKey k(false, true);
        std::vector<uint8_t> b;
        if (k.Open(key))
            k.Read(value, b);
        return b;
    }
};

TEST_F(ToolbarState, KeyNames)
{
    EXPECT_EQ(bar.Store().StateKey({}, 3, 0x3E9), QStringLiteral("SOFTWARE\\ORNA\\Strandwork\\KVTToolBars\\KVTToolBar-33e9"));
    EXPECT_EQ(bar.Store().StateKey({}, 3, 0xFFFFFFFF), QStringLiteral("SOFTWARE\\ORNA\\Strandwork\\KVTToolBars\\KVTToolBar-3"));
    EXPECT_EQ(bar.Store().StateKey({}, -1, 0xFFFFFFFF),
              QStringLiteral("SOFTWARE\\ORNA\\Strandwork\\KVTToolBars\\KVTToolBar-59392"));
    EXPECT_EQ(bar.Store().StateKey(QStringLiteral("W\\"), 1, 0x11), QStringLiteral("W\\KVTToolBar-111"));
}

TEST_F(ToolbarState, GoldenButtonsValueAndRoundTrip)
{
    ASSERT_TRUE(bar.SaveState({}));
    const QString key = bar.Store().StateKey({}, -1, 0xFFFFFFFF);
    std::vector<uint8_t> expected = Hex("01 00");
    const auto button = Hex(kGoldenButton);
    expected.insert(expected.end(), button.begin(), button.end());
    const auto tail = Hex("00 00 00 00 FF FE FF 06 48 00 6C 00 61 00 76 00 6E 00 ED 00");
    expected.insert(expected.end(), tail.begin(), tail.end());
    EXPECT_EQ(Stored(key, QStringLiteral("Buttons")), expected);
    EXPECT_EQ(expected.size(), 83u);
    // Name is written, never read: the caption comes from the record.
    CKVTRegistryKey(false, false).DeleteKey(key + QStringLiteral("\\none"));
    {
        CKVTRegistryKey k;
        ASSERT_TRUE(k.Open(key));
        EXPECT_TRUE(k.ValueExists(QStringLiteral("Name")));
        k.DeleteValue(QStringLiteral("Name"));
    }
    CKVTToolBar other;
    other.Create(nullptr, ui::CBRS_ALIGN_TOP, 0xE800);
    CKVTToolbarShared::SetNonPermittedCommands({200});
    {
        CKVTRegistryKey k;
        ASSERT_TRUE(k.Open(key));
        bar.InsertButton(std::make_unique<CKVTToolbarButton>(200, 1));
        CKVTToolbarShared::SetNonPermittedCommands({});
        bar.InsertButton(std::make_unique<CKVTToolbarButton>(200, 1));
        CKVTToolbarShared::SetNonPermittedCommands({200});
        k.Write(QStringLiteral("Buttons"), bar.Store().StoreButtons());
    }
    ASSERT_TRUE(other.LoadState({}));
    EXPECT_EQ(other.windowTitle(), QStringLiteral("Hlavní"));
    ASSERT_EQ(other.Items().Count(), 1); // the non-permitted command is dropped
    EXPECT_EQ(other.Items().ItemID(0), 100u);
    EXPECT_FALSE(other.LoadState({}, 7));
}

TEST_F(ToolbarState, CorruptButtonsLeaveTheBarUnchanged)
{
    ASSERT_TRUE(bar.SaveState({}));
    const QString key = bar.Store().StateKey({}, -1, 0xFFFFFFFF);
    const auto good = Stored(key, QStringLiteral("Buttons"));
    CKVTToolBar other;
    other.InsertButton(std::make_unique<CKVTToolbarButton>(5, 0));
    other.InsertButton(std::make_unique<CKVTToolbarButton>(6, 1));
    for (size_t cut : {size_t(1), size_t(10), good.size() - 1}) {
        {
            CKVTRegistryKey k;
            ASSERT_TRUE(k.Open(key));
            k.Write(QStringLiteral("Buttons"), good.data(), uint32_t(cut));
        }
        EXPECT_FALSE(other.LoadState({}));
        ASSERT_EQ(other.Items().Count(), 2);
        EXPECT_EQ(other.Items().ItemID(1), 6u);
    }
    // A huge count is refused before allocating.
    const auto huge = Hex("FF FF FF FF FF 7F 00 00");
    {
        CKVTRegistryKey k;
        ASSERT_TRUE(k.Open(key));
        k.Write(QStringLiteral("Buttons"), huge);
    }
    EXPECT_FALSE(other.LoadState({}));
    EXPECT_EQ(other.Items().Count(), 2);
}

TEST_F(ToolbarState, CollidingKeysAreRefused)
{
    EXPECT_TRUE(bar.SaveState({}, 1, 0x11));
    EXPECT_TRUE(bar.SaveState({}, 1, 0x11));
    EXPECT_FALSE(bar.SaveState({}, 11, 0x1)); // both are "KVTToolBar-111"
    CKVTToolbarStore::ClearStateKeyRecord();
    EXPECT_TRUE(bar.SaveState({}, 11, 0x1));
    EXPECT_TRUE(bar.Store().RemoveState({}, 11, 0x1));
    EXPECT_FALSE(bar.LoadState({}, 11, 0x1));
}

TEST_F(ToolbarState, ParametersAndCommandUsage)
{
    auto& usage = CKVTCommandUsage::Instance();
    for (int i = 0; i < 5; ++i)
        usage.AddCommand(ID_PROJECT_BUILD);
    usage.AddCommand(ID_FILE_OPEN);
    usage.AddCommand(ID_FILE_OPEN);
    CKVTToolbarShared::Options().largeIcons = true;
    CKVTToolbarShared::Options().menuAnimation = 2;
    ASSERT_TRUE(CKVTToolbarStore::SaveParameters({}));
    const QString key = QStringLiteral("SOFTWARE\\ORNA\\Strandwork\\KVTToolBars\\KVTToolbarParameters");
    EXPECT_EQ(Stored(key, QStringLiteral("CommandsUsage")),
              Hex("07 00 00 00 02 00 36 84 00 00 05 00 00 00 01 E1 00 00 02 00 00 00"));

    CKVTToolbarShared::Options() = KvtToolbarOptions();
    usage.Reset();
    ASSERT_TRUE(CKVTToolbarStore::LoadParameters({}));
    EXPECT_TRUE(CKVTToolbarShared::Options().largeIcons);
    EXPECT_EQ(CKVTToolbarShared::GetCurrentButtonSize(), CKVTToolbarShared::GetDefaultButtonSize() * 2);
    EXPECT_EQ(CKVTToolbarShared::Options().menuAnimation, 2u);
    EXPECT_EQ(usage.Total(), 7u);

    // A value missing in the middle stops reading; what was read stays and
    // large icons are applied.
    {
        CKVTRegistryKey k;
        ASSERT_TRUE(k.Open(key));
        k.DeleteValue(QStringLiteral("MenuAnimation"));
        k.Write(QStringLiteral("LargeIcons"), 0u);
        k.Write(QStringLiteral("Look2000"), 1u);
    }
    CKVTToolbarShared::Options().menuAnimation = 9;
    EXPECT_FALSE(CKVTToolbarStore::LoadParameters({}));
    EXPECT_FALSE(CKVTToolbarShared::Options().largeIcons);
    EXPECT_EQ(CKVTToolbarShared::GetCurrentButtonSize(), CKVTToolbarShared::GetDefaultButtonSize());
    EXPECT_EQ(CKVTToolbarShared::Options().menuAnimation, 9u);
    EXPECT_FALSE(CKVTToolbarShared::Options().look2000);

    // A corrupt usage record counts as missing; the counters stay.
    {
        CKVTRegistryKey k;
        ASSERT_TRUE(k.Open(key));
        k.Write(QStringLiteral("MenuAnimation"), 0u);
        k.Write(QStringLiteral("CommandsUsage"), Hex("07 00 00 00 FF FF FF FF FF 7F"));
    }
    EXPECT_FALSE(CKVTToolbarStore::LoadParameters({}));
    EXPECT_EQ(usage.Total(), 7u);

    // Without the key nothing changes.
    CKVTRegistryKey().DeleteKey(key);
    EXPECT_FALSE(CKVTToolbarStore::LoadParameters({}));
}

} // namespace
