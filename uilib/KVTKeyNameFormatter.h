#pragma once
// The display text of an accelerator ("Ctrl+Shift+F5", "Num 5", "Page up"),
// used by the tooltips, the popup items and the keyboard page.

#include "platform/ui/Accel.h"

#include <QString>

class CKVTKeyNameFormatter
{
public:
    explicit CKVTKeyNameFormatter(const ui::Accel* accel = nullptr) : m_accel(accel) {}
    void SetAccel(const ui::Accel* accel) { m_accel = accel; }

    // The bound record's text; empty without one.
    void Format(QString& out) const;
    QString Format() const
    {
        QString s;
        Format(s);
        return s;
    }
    // The text of flags and a key.
    static QString Format(uint8_t flags, uint16_t key);
    // The name of a virtual key: its words apart ("Page Up"), then every
    // capital after the first letter lowered ("Page up"); empty when the
    // key has no name.
    static QString KeyName(uint16_t vk);

private:
    const ui::Accel* m_accel;
};
