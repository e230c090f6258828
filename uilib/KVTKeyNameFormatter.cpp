#include "uilib/KVTKeyNameFormatter.h"

namespace {

// The name as written: the first letter as it is, later capitals lowered.
QString LowerLaterCapitals(const QString& name)
{
    QString out = name;
    bool first = true;
    for (QChar& c : out) {
        if (!c.isLetter())
            continue;
        if (!first && c.isUpper())
            c = c.toLower();
        first = false;
    }
    return out;
}

} // namespace

QString CKVTKeyNameFormatter::KeyName(uint16_t vk)
{
    const QString name = ui::VirtualKeyName(vk);
    // "PageUp" -> "Page Up": a space where a small letter meets a capital.
    QString spaced;
    for (int i = 0; i < name.size(); ++i) {
        if (i > 0 && name[i].isUpper() && name[i - 1].isLower())
            spaced += QLatin1Char(' ');
        spaced += name[i];
    }
    return LowerLaterCapitals(spaced);
}

QString CKVTKeyNameFormatter::Format(uint8_t flags, uint16_t key)
{
    QString out;
    if (flags & ui::FCONTROL)
        out += QStringLiteral("Ctrl+");
    if (flags & ui::FSHIFT)
        out += QStringLiteral("Shift+");
    if (flags & ui::FALT)
        out += QStringLiteral("Alt+");
    if (flags & ui::FVIRTKEY)
        out += KeyName(key);
    else if (key)
        out += QChar(char16_t(key));
    return out;
}

void CKVTKeyNameFormatter::Format(QString& out) const
{
    out.clear();
    if (m_accel)
        out = Format(m_accel->flags, m_accel->key);
}
