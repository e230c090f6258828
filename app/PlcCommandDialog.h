#pragma once
// The project document's port to the PLC command dialog: one CPlcCommandDlg
// without a parent window serves every request of one operation.  It
// returns nonzero only when it filled what it was asked for; the PLC
// information it hands on holds the bytes the control system sent, never
// the padding of the link's copies.  See docs/transfers.md.

#include "projectui/ProjectHost.h"
#include "link/linkobj/olnk_link.h"
#include "plcviews/PlcCommandDlg.h"

#include <algorithm>
#include <cstring>
#include <vector>

class CPlcCommandDialogPort : public PlcCommandDialog
{
public:
    int GetPLCInfo(IOlnkPL* link, uint32_t& kind, std::vector<uint8_t>& replyData) override
    {
        kind = 0;
        replyData.clear();
        if (!link)
            return 0;
        // u32 kind, then the reply led by its own u16 length (at most 65535).
        std::vector<uint8_t> record(4 + 65536 + 4, 0);
        if (!m_dlg.GetPLCInfo(link, record.data(), uint32_t(record.size()), 0))
            return 0;
        uint32_t k = 0;
        std::memcpy(&k, record.data(), 4);
        if (k > 1 || (record[4] | record[5]) == 0)
            return 0; // the record was not filled
        // The received bytes only, of the form that answered.
        std::vector<uint8_t> received(1024, 0);
        uint32_t length = 0;
        if (!link->GetLastPLCInfo(k == 1, received.data(), uint32_t(received.size()), &length))
            return 0;
        received.resize(std::min<size_t>(length, received.size()));
        kind = k;
        replyData = std::move(received);
        return 1;
    }

    int GetStatus(IOlnkPL* link, PlcStatusRecord& status) override
    {
        PlcStatusRecord record{};
        if (!link || !m_dlg.GetStatus(link, &record, 0) || record.length == 0)
            return 0;
        status = record;
        return 1;
    }

    int StopPLC(IOlnkPL* link) override { return link ? m_dlg.StopPLC(link) : 0; }

    int TransferPLC(IOlnkPL* link, uint32_t size, const void* data, int cancelThroughJob) override
    {
        return link ? m_dlg.TransferPLC(link, size, data, cancelThroughJob) : 0;
    }

    CPlcCommandDlg& Dialog() { return m_dlg; }

private:
    CPlcCommandDlg m_dlg{nullptr};
};
