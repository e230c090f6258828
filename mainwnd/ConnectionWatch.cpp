#include "mainwnd/ConnectionWatch.h"

#include "res/StringTable.h"

namespace mainwnd {

namespace {
constexpr unsigned IDS_PLC_LOADING = 4030;      // "PLC: načítá se"
constexpr unsigned IDS_PLC_INTERRUPTED = 4031;  // "PLC: přerušen"
constexpr unsigned IDS_PLC_RUNNING = 4032;      // "PLC: běží"
constexpr unsigned IDS_PLC_STOPPED = 4033;      // "PLC: neběží"
constexpr unsigned IDS_PLC_ASLEEP = 4034;       // ", spánkový režim"
constexpr unsigned IDS_PLC_UNKNOWN = 4035;      // "PLC: ?"
} // namespace

QString PlcStateText(bool connected, const PlcStatusRecord* status)
{
    if (!connected || !status)
        return {};
    if (status->length < 10)
        return LoadResString(IDS_PLC_UNKNOWN);
    const uint16_t f = status->flags;
    QString text;
    if (f & 0x01)
        text = LoadResString(IDS_PLC_LOADING);
    else if ((f & 0x0C) == 0x0C)
        text = LoadResString(IDS_PLC_INTERRUPTED);
    else if (!(f & 0x04))
        text = LoadResString(IDS_PLC_STOPPED);
    else
        text = LoadResString(IDS_PLC_RUNNING);
    if (f & 0x10)
        text += LoadResString(IDS_PLC_ASLEEP);
    return text;
}

} // namespace mainwnd
