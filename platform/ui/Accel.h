#pragma once
// Accelerator tables in the Windows form (flags, virtual-key code,
// command), loaded from res/accel/<id>.accel, and the mapping of Qt key
// events to virtual-key codes.

#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

class QKeyEvent;
class QObject;

namespace ui {

enum AccelFlags : uint8_t {
    FVIRTKEY = 0x01,
    FNOINVERT = 0x02,
    FSHIFT = 0x04,
    FCONTROL = 0x08,
    FALT = 0x10,
};

struct Accel
{
    uint8_t flags = 0;  // FVIRTKEY | FSHIFT | FCONTROL | FALT
    uint16_t key = 0;   // a virtual-key code (with FVIRTKEY) or a character
    uint16_t command = 0;
};

class AccelTable
{
public:
    AccelTable() = default;
    explicit AccelTable(std::vector<Accel> entries) : m_entries(std::move(entries)) {}

    // Loads "accel/<id>.accel"; null when missing or malformed.
    static std::unique_ptr<AccelTable> Load(uint32_t id, QString* error = nullptr);
    static std::unique_ptr<AccelTable> Parse(const QByteArray& text, QString* error = nullptr);

    const std::vector<Accel>& Entries() const { return m_entries; }
    // The command of a key with the modifier flags (FSHIFT | FCONTROL |
    // FALT) and the character it types (0 for none); 0 when no entry fits.
    uint16_t Find(uint16_t virtualKey, uint8_t modifiers, char16_t character = 0) const;
    // The command of a Qt key press; 0 when no entry fits.
    uint16_t Translate(const QKeyEvent& event) const;

private:
    std::vector<Accel> m_entries;
};

// The virtual-key code of a Qt key (letters, digits, F1-F24, navigation
// keys, Shift, Ctrl and Alt, the numeric pad with the keypad modifier, the
// common punctuation keys of the US layout, shifted or not); 0 for keys
// without one.  The codes are stored in the user's key assignments, so the
// mapping is part of that stored format.
uint16_t VirtualKeyFromQt(int qtKey, bool keypad = false);
// The digit ('1'-'9', '0') of the number-row key with this native scan code
// (the XKB keycode that Qt gives on X11 and Wayland: 10-19 for 1-0, with the
// evdev and the older keycodes alike); 0 for every other key and for 0 (an
// event without a scan code).
uint16_t NumberRowDigit(uint32_t nativeScanCode);
// The virtual-key code of a key event, the one the accelerator tables and
// the key assignments match.  A key of the number row is its digit
// whatever the keyboard layout types with it (the Czech layout types
// ě š č ř ž ý á í é there and the digits only with Shift), so Ctrl+2 and
// Alt+2 are the same keys on every layout; the text the key types stays the
// layout's.  Other keys as VirtualKeyFromQt.
uint16_t VirtualKeyOf(const QKeyEvent& event);
// FSHIFT | FCONTROL | FALT of Qt modifiers.
uint8_t AccelModifiers(int qtModifiers);
// A key name for the accelerator files and the shortcut texts ("F5", "A",
// "Num 5", "Delete"); empty for unknown codes.  KeyFromName is its inverse.
QString VirtualKeyName(uint16_t vk);
uint16_t VirtualKeyFromName(const QString& name);

// A widget with this property set (true) receives every key itself while
// it has the focus: the frames' key filters (accelerators, Alt to the menu
// bar) leave its key events alone.  The shortcut edit of the keyboard page
// sets it.
inline constexpr char kCapturesKeysProperty[] = "swCapturesKeys";
bool CapturesKeys(const QObject* watched);

// A control that takes typed text from keys: edit fields, spin boxes, combo
// boxes (editable or not: they search their items), text edits and lists.
// A key with Alt or Ctrl never types into one: the application filters the
// text out of such a key before the control gets it (an access key or an
// accelerator has taken it before, if one names it), and a key that nothing
// takes sounds the beep.  The editor's views type their own keys.
bool TakesTypedText(const QObject* watched);

// Translates a key press with the tables in order (a view's own table
// first, then its frame's); null tables are skipped.
uint16_t TranslateAccelerator(const QKeyEvent& event, const std::vector<const AccelTable*>& tables);

} // namespace ui
