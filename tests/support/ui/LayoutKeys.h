#pragma once
// Keys of a keyboard layout other than the US one, as Qt reports them on
// X11 (measured with `setxkbmap cz` under Xvfb and xdotool): the Qt key and
// the text of the layout's symbol, the physical key's X keycode (the
// native scan code) and the keysym (the native virtual key).  The Czech
// layout types ě š č ř ž ý á í é on the number row, with the digits on
// Shift; Qt gives Ctrl+ě and Alt+ě as the key Ě with the text "ě".
// Header only: tests without the window-test support use it too.

#include <QKeyEvent>
#include <QString>

#include <cstdint>

namespace testsupport::ui {

struct LayoutKey
{
    int key = 0;           // the Qt key (Qt::Key or the capital's code point)
    QString text;          // what the key types without a modifier
    uint32_t scanCode = 0; // the X keycode of the physical key
    uint32_t keysym = 0;   // the X keysym
};

// The key of the number row that the US layout types `digit` with, on the
// Czech layout ("+" for 1, "ě" for 2 ... "é" for 0).
inline LayoutKey CzechNumberRow(int digit)
{
    struct Entry
    {
        int key;
        char16_t ch;
        uint32_t keysym;
    };
    static const Entry kRow[10] = {
        {Qt::Key_Plus, u'+', 0x2b},   {0x11A, u'ě', 0x1ec},         {0x160, u'š', 0x1b9},
        {0x10C, u'č', 0x1e8},         {0x158, u'ř', 0x1f8},         {0x17D, u'ž', 0x1be},
        {Qt::Key_Yacute, u'ý', 0xfd}, {Qt::Key_Aacute, u'á', 0xe1}, {Qt::Key_Iacute, u'í', 0xed},
        {Qt::Key_Eacute, u'é', 0xe9},
    };
    // 1 .. 9 are keycodes 10 .. 18, 0 is keycode 19.
    const int index = digit == 0 ? 9 : digit - 1;
    const Entry& e = kRow[index];
    return {e.key, QString(QChar(e.ch)), uint32_t(10 + index), e.keysym};
}

// The Czech letter ů (the key right of L), a letter outside the number row.
inline LayoutKey CzechURing()
{
    return {0x16E, QStringLiteral("ů"), 47, 0x1f9};
}

// The X modifier state of Qt modifiers (Shift, Control, Mod1 for Alt).
inline uint32_t NativeModifiers(Qt::KeyboardModifiers m)
{
    return (m & Qt::ShiftModifier ? 0x1u : 0u) | (m & Qt::ControlModifier ? 0x4u : 0u) |
           (m & Qt::AltModifier ? 0x8u : 0u);
}

// The event of the key pressed (or released) with the modifiers, text included
// as X gives it (Shift is not applied: the tests press the keys unshifted).
inline QKeyEvent LayoutKeyEvent(const LayoutKey& k, Qt::KeyboardModifiers m = {},
                                QEvent::Type type = QEvent::KeyPress)
{
    return QKeyEvent(type, k.key, m, k.scanCode, k.keysym, NativeModifiers(m), k.text);
}

} // namespace testsupport::ui
