#include "platform/ui/Accel.h"

#include "res/Resources.h"

#include "platform/ui/Beep.h"

#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTextEdit>
#include <QVariant>

namespace ui {

namespace {
struct KeyName
{
    uint16_t vk;
    const char* name;
};
const KeyName kNames[] = {
    {0x08, "Backspace"}, {0x09, "Tab"},      {0x0D, "Enter"},    {0x13, "Pause"},     {0x14, "CapsLock"},
    {0x1B, "Esc"},       {0x20, "Space"},    {0x21, "PageUp"},   {0x22, "PageDown"},  {0x23, "End"},
    {0x24, "Home"},      {0x25, "Left"},     {0x26, "Up"},       {0x27, "Right"},     {0x28, "Down"},
    {0x10, "Shift"},     {0x11, "Ctrl"},     {0x12, "Alt"},      {0x2F, "Help"},      {0x5D, "Apps"},
    {0x2C, "Print"},     {0x2D, "Insert"},   {0x2E, "Delete"},   {0x6A, "Num *"},     {0x6B, "Num +"},
    {0x6D, "Num -"},     {0x6E, "Num ."},    {0x6F, "Num /"},    {0x90, "NumLock"},   {0x91, "ScrollLock"},
    {0xBA, ";"},         {0xBB, "="},        {0xBC, ","},        {0xBD, "-"},         {0xBE, "."},
    {0xBF, "/"},         {0xC0, "`"},        {0xDB, "["},        {0xDC, "\\"},        {0xDD, "]"},
    {0xDE, "'"},
};

// US-layout punctuation and shifted digits to virtual keys.
uint16_t PunctuationKey(int key)
{
    switch (key) {
    case Qt::Key_Semicolon: case Qt::Key_Colon: return 0xBA;
    case Qt::Key_Equal: case Qt::Key_Plus: return 0xBB;
    case Qt::Key_Comma: case Qt::Key_Less: return 0xBC;
    case Qt::Key_Minus: case Qt::Key_Underscore: return 0xBD;
    case Qt::Key_Period: case Qt::Key_Greater: return 0xBE;
    case Qt::Key_Slash: case Qt::Key_Question: return 0xBF;
    case Qt::Key_QuoteLeft: case Qt::Key_AsciiTilde: return 0xC0;
    case Qt::Key_BracketLeft: case Qt::Key_BraceLeft: return 0xDB;
    case Qt::Key_Backslash: case Qt::Key_Bar: return 0xDC;
    case Qt::Key_BracketRight: case Qt::Key_BraceRight: return 0xDD;
    case Qt::Key_Apostrophe: case Qt::Key_QuoteDbl: return 0xDE;
    case Qt::Key_Exclam: return '1';
    case Qt::Key_At: return '2';
    case Qt::Key_NumberSign: return '3';
    case Qt::Key_Dollar: return '4';
    case Qt::Key_Percent: return '5';
    case Qt::Key_AsciiCircum: return '6';
    case Qt::Key_Ampersand: return '7';
    case Qt::Key_Asterisk: return '8';
    case Qt::Key_ParenLeft: return '9';
    case Qt::Key_ParenRight: return '0';
    default: return 0;
    }
}

bool ParseValue(const QString& s, uint32_t& v)
{
    bool ok = false;
    v = s.startsWith(QLatin1String("0x"), Qt::CaseInsensitive) ? s.mid(2).toUInt(&ok, 16) : s.toUInt(&ok, 10);
    return ok;
}
} // namespace

uint16_t VirtualKeyFromQt(int key, bool keypad)
{
    if (keypad) {
        if (key >= Qt::Key_0 && key <= Qt::Key_9)
            return uint16_t(0x60 + (key - Qt::Key_0));
        switch (key) {
        case Qt::Key_Asterisk: return 0x6A;
        case Qt::Key_Plus: return 0x6B;
        case Qt::Key_Minus: return 0x6D;
        case Qt::Key_Period: case Qt::Key_Comma: return 0x6E;
        case Qt::Key_Slash: return 0x6F;
        case Qt::Key_Enter: return 0x0D;
        default: break;
        }
    }
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return uint16_t('A' + (key - Qt::Key_A));
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return uint16_t('0' + (key - Qt::Key_0));
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24)
        return uint16_t(0x70 + (key - Qt::Key_F1));
    switch (key) {
    case Qt::Key_Backspace: return 0x08;
    case Qt::Key_Tab: case Qt::Key_Backtab: return 0x09;
    case Qt::Key_Return: case Qt::Key_Enter: return 0x0D;
    case Qt::Key_Pause: return 0x13;
    case Qt::Key_CapsLock: return 0x14;
    case Qt::Key_Escape: return 0x1B;
    case Qt::Key_Space: return 0x20;
    case Qt::Key_PageUp: return 0x21;
    case Qt::Key_PageDown: return 0x22;
    case Qt::Key_End: return 0x23;
    case Qt::Key_Home: return 0x24;
    case Qt::Key_Left: return 0x25;
    case Qt::Key_Up: return 0x26;
    case Qt::Key_Right: return 0x27;
    case Qt::Key_Down: return 0x28;
    case Qt::Key_Print: return 0x2C;
    case Qt::Key_Insert: return 0x2D;
    case Qt::Key_Delete: return 0x2E;
    case Qt::Key_Shift: return 0x10;
    case Qt::Key_Control: return 0x11;
    case Qt::Key_Alt: return 0x12;
    case Qt::Key_Help: return 0x2F;
    case Qt::Key_Menu: return 0x5D;
    case Qt::Key_NumLock: return 0x90;
    case Qt::Key_ScrollLock: return 0x91;
    default: return PunctuationKey(key);
    }
}

uint16_t NumberRowDigit(uint32_t scanCode)
{
    if (scanCode >= 10 && scanCode <= 18)
        return uint16_t('1' + (scanCode - 10));
    return scanCode == 19 ? uint16_t('0') : 0;
}

uint16_t VirtualKeyOf(const QKeyEvent& e)
{
    const bool keypad = e.modifiers() & Qt::KeypadModifier;
    if (!keypad)
        if (const uint16_t digit = NumberRowDigit(e.nativeScanCode()))
            return digit;
    return VirtualKeyFromQt(e.key(), keypad);
}

uint8_t AccelModifiers(int mods)
{
    uint8_t f = 0;
    if (mods & Qt::ShiftModifier)
        f |= FSHIFT;
    if (mods & Qt::ControlModifier)
        f |= FCONTROL;
    if (mods & Qt::AltModifier)
        f |= FALT;
    return f;
}

QString VirtualKeyName(uint16_t vk)
{
    if ((vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9'))
        return QString(QChar(vk));
    if (vk >= 0x70 && vk <= 0x87)
        return QStringLiteral("F%1").arg(vk - 0x70 + 1);
    if (vk >= 0x60 && vk <= 0x69)
        return QStringLiteral("Num %1").arg(vk - 0x60);
    for (const KeyName& k : kNames)
        if (k.vk == vk)
            return QString::fromLatin1(k.name);
    return {};
}

uint16_t VirtualKeyFromName(const QString& name)
{
    for (uint32_t vk = 1; vk < 0x100; ++vk)
        if (VirtualKeyName(uint16_t(vk)).compare(name, Qt::CaseInsensitive) == 0)
            return uint16_t(vk);
    return 0;
}

std::unique_ptr<AccelTable> AccelTable::Load(uint32_t id, QString* error)
{
    bool ok = false;
    QByteArray data = res::Data(QStringLiteral("accel/%1.accel").arg(id), &ok);
    if (!ok) {
        if (error)
            *error = QStringLiteral("accelerator resource %1 not found").arg(id);
        return nullptr;
    }
    return Parse(data, error);
}

std::unique_ptr<AccelTable> AccelTable::Parse(const QByteArray& text, QString* error)
{
    std::vector<Accel> entries;
    const QStringList lines = QString::fromUtf8(text).split(QLatin1Char('\n'));
    for (int n = 0; n < lines.size(); ++n) {
        QString line = lines[n].section(QLatin1Char('#'), 0, 0).trimmed();
        if (line.isEmpty())
            continue;
        const QStringList f = line.split(QRegularExpression(QStringLiteral("\\s+")));
        uint32_t flags = 0, key = 0, cmd = 0;
        bool ok = f.size() == 3 && ParseValue(f[0], flags) && flags <= 0xFF && ParseValue(f[2], cmd) &&
                  cmd > 0 && cmd <= 0xFFFF;
        if (ok && !ParseValue(f[1], key)) {
            // A key name ("F5", "Delete") stands for its virtual key.
            key = VirtualKeyFromName(f[1]);
            ok = key != 0 && (flags & FVIRTKEY);
        }
        if (!ok || key == 0 || key > 0xFFFF) {
            if (error)
                *error = QStringLiteral("line %1: expected <flags> <key> <command>").arg(n + 1);
            return nullptr;
        }
        entries.push_back({uint8_t(flags), uint16_t(key), uint16_t(cmd)});
    }
    return std::make_unique<AccelTable>(std::move(entries));
}

uint16_t AccelTable::Find(uint16_t vk, uint8_t mods, char16_t ch) const
{
    const uint8_t mask = FSHIFT | FCONTROL | FALT;
    for (const Accel& a : m_entries) {
        if (a.flags & FVIRTKEY) {
            if (vk && a.key == vk && (a.flags & mask) == (mods & mask))
                return a.command;
        } else if (ch && a.key == ch && !(mods & (FCONTROL | FALT)) == !(a.flags & (FCONTROL | FALT))) {
            // A character entry: the typed character itself.
            return a.command;
        }
    }
    return 0;
}

uint16_t AccelTable::Translate(const QKeyEvent& e) const
{
    const uint16_t vk = VirtualKeyOf(e);
    QString t = e.text();
    char16_t ch = t.size() == 1 ? t[0].unicode() : 0;
    return Find(vk, AccelModifiers(e.modifiers()), ch);
}

bool CapturesKeys(const QObject* watched)
{
    return watched && watched->isWidgetType() && watched->property(kCapturesKeysProperty).toBool();
}

uint16_t TranslateAccelerator(const QKeyEvent& event, const std::vector<const AccelTable*>& tables)
{
    for (const AccelTable* t : tables)
        if (t)
            if (uint16_t cmd = t->Translate(event))
                return cmd;
    return 0;
}

// ---- keys with Alt or Ctrl never type ----------------------------------------

bool TakesTypedText(const QObject* watched)
{
    return qobject_cast<const QLineEdit*>(watched) ||
           qobject_cast<const QAbstractSpinBox*>(watched) ||
           qobject_cast<const QComboBox*>(watched) || qobject_cast<const QTextEdit*>(watched) ||
           qobject_cast<const QPlainTextEdit*>(watched) ||
           qobject_cast<const QAbstractItemView*>(watched);
}

namespace {

// Qt's text controls take any key with a printable text as typed text,
// Alt+Q included, and a combo box or a list searches its items with it.
// Such a key that no shortcut took (an access key, an accelerator) reaches
// the control here; it gets the key without its text, so that its own
// Alt and Ctrl keys (Ctrl+C, Ctrl+Left) still work and nothing is typed.
// A key that nobody takes sounds the beep.
class TypedKeyGuard : public QObject
{
public:
    explicit TypedKeyGuard(QObject* app) : QObject(app) { app->installEventFilter(this); }

    bool eventFilter(QObject* watched, QEvent* e) override
    {
        if (e->type() != QEvent::KeyPress)
            return false;
        auto* ke = static_cast<QKeyEvent*>(e);
        if (!(ke->modifiers() & (Qt::AltModifier | Qt::ControlModifier)) || ke->text().isEmpty() ||
            !TakesTypedText(watched) || CapturesKeys(watched))
            return false;
        QKeyEvent plain(ke->type(), ke->key(), ke->modifiers(), ke->nativeScanCode(),
                        ke->nativeVirtualKey(), ke->nativeModifiers(), QString(),
                        ke->isAutoRepeat(), ke->count(), ke->device());
        // The key goes on to the control's parents from there, if it is ignored.
        QCoreApplication::sendEvent(watched, &plain);
        if (!plain.isAccepted())
            MessageBeep(0);
        ke->accept();
        return true;
    }
};

void InstallTypedKeyGuard()
{
    if (QCoreApplication* app = QCoreApplication::instance())
        new TypedKeyGuard(app);
}

// Every application of the program has the guard, made with it: the
// dialogs, sheets, bars and combo boxes of every window, tests included.
Q_COREAPP_STARTUP_FUNCTION(InstallTypedKeyGuard)

} // namespace

} // namespace ui
