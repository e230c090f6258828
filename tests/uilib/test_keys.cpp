// Key names and the capture machine of the shortcut edit (no windows).

#include "uilib/KVTKeyNameFormatter.h"
#include "uilib/KVTShortcutEdit.h"

#include <gtest/gtest.h>

namespace {
constexpr uint16_t kShift = 0x10, kCtrl = 0x11, kTab = 0x09;

// Presses (down) or releases a key; returns whether the edit consumed it.
bool Key(KvtShortcutCapture& c, bool down, uint16_t vk, bool repeat = false)
{
    return c.Feed(down, vk, repeat).consumed;
}
} // namespace

TEST(KeyNames, ModifiersComeFirstAndNamesKeepOnlyTheirFirstCapital)
{
    EXPECT_EQ(CKVTKeyNameFormatter::Format(0x0D, 0x74), QStringLiteral("Ctrl+Shift+F5"));
    EXPECT_EQ(CKVTKeyNameFormatter::Format(ui::FVIRTKEY, 0x65), QStringLiteral("Num 5"));
    EXPECT_EQ(CKVTKeyNameFormatter::Format(ui::FVIRTKEY | ui::FALT | ui::FCONTROL, 0x21),
              QStringLiteral("Ctrl+Alt+Page up"));
    EXPECT_EQ(CKVTKeyNameFormatter::Format(ui::FVIRTKEY, 0x14), QStringLiteral("Caps lock"));
    EXPECT_EQ(CKVTKeyNameFormatter::Format(ui::FVIRTKEY | ui::FSHIFT, 'A'), QStringLiteral("Shift+A"));
    // Without the virtual-key flag the key is the character itself.
    EXPECT_EQ(CKVTKeyNameFormatter::Format(ui::FCONTROL, u'ř'), QStringLiteral("Ctrl+ř"));
    // Keys whose names were missing.
    EXPECT_EQ(CKVTKeyNameFormatter::Format(ui::FVIRTKEY, kShift), QStringLiteral("Shift"));
    EXPECT_EQ(CKVTKeyNameFormatter::Format(ui::FVIRTKEY, 0x5D), QStringLiteral("Apps"));
    // A bound record; none gives an empty text.
    ui::Accel a{ui::FVIRTKEY | ui::FCONTROL, 0x28, 0};
    EXPECT_EQ(CKVTKeyNameFormatter(&a).Format(), QStringLiteral("Ctrl+Down"));
    EXPECT_EQ(CKVTKeyNameFormatter().Format(), QString());
}

TEST(ShortcutCapture, ShiftThenAReleasedShowsShiftAAndTheNextKeyStartsAfresh)
{
    KvtShortcutCapture c;
    EXPECT_TRUE(Key(c, true, kShift));
    EXPECT_EQ(c.Text(), QStringLiteral("Shift+"));
    EXPECT_FALSE(c.Captured());
    EXPECT_TRUE(Key(c, true, 'A'));
    EXPECT_TRUE(Key(c, false, 'A'));
    EXPECT_TRUE(Key(c, false, kShift));
    EXPECT_TRUE(c.Captured());
    EXPECT_EQ(c.Text(), QStringLiteral("Shift+A"));
    EXPECT_EQ(c.Accel().flags, ui::FVIRTKEY | ui::FSHIFT);
    EXPECT_EQ(c.Accel().key, 'A');
    EXPECT_EQ(c.Accel().command, 0);

    EXPECT_TRUE(Key(c, true, 'B'));
    EXPECT_EQ(c.Text(), QStringLiteral("B"));
    EXPECT_EQ(c.Accel().flags, ui::FVIRTKEY);
}

TEST(ShortcutCapture, TabBackspaceAndEscapeAloneGoOnButWithAModifierAreCaptured)
{
    for (uint16_t vk : {kTab, uint16_t(0x08), uint16_t(0x1B)}) {
        KvtShortcutCapture c;
        EXPECT_FALSE(Key(c, true, vk)) << vk;
        EXPECT_FALSE(c.Captured()) << vk;
        EXPECT_EQ(c.Text(), QString()) << vk;
        EXPECT_FALSE(Key(c, false, vk)) << vk;
        EXPECT_FALSE(c.Captured()) << vk;
    }
    // Tab after a capture clears it as well.
    KvtShortcutCapture c;
    Key(c, true, 'Q');
    Key(c, false, 'Q');
    EXPECT_FALSE(Key(c, true, kTab));
    EXPECT_FALSE(c.Captured());

    EXPECT_TRUE(Key(c, true, kCtrl));
    EXPECT_TRUE(Key(c, true, kTab));
    EXPECT_TRUE(c.Captured());
    EXPECT_EQ(c.Text(), QStringLiteral("Ctrl+Tab"));
}

TEST(ShortcutCapture, AutoRepeatKeepsTheCaptureAndKeysWithoutCodeAreIgnored)
{
    KvtShortcutCapture c;
    Key(c, true, kCtrl);
    Key(c, true, kCtrl, true);
    Key(c, true, 0x74);
    EXPECT_EQ(c.Text(), QStringLiteral("Ctrl+F5"));
    EXPECT_TRUE(Key(c, true, 0x74, true));
    EXPECT_TRUE(Key(c, true, 0x74, true));
    EXPECT_TRUE(c.Captured());
    EXPECT_EQ(c.Text(), QStringLiteral("Ctrl+F5"));
    // A key without a virtual-key code changes nothing.
    EXPECT_TRUE(Key(c, true, 0));
    EXPECT_EQ(c.Text(), QStringLiteral("Ctrl+F5"));
    // A release while nothing was captured captures nothing and shows no
    // control character.
    KvtShortcutCapture d;
    Key(d, true, kShift);
    EXPECT_TRUE(Key(d, false, 'X'));
    EXPECT_FALSE(d.Captured());
    EXPECT_EQ(d.Text(), QStringLiteral("Shift+"));
}
