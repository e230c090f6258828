// The pure pieces of the transfer progress dialog.
#include "link/ui/TransferProgressDlg.h"

#include <gtest/gtest.h>

using linkui::CompareDosDateTime;
using linkui::DecideTransfer;
using linkui::XferLocalInfo;

namespace {

constexpr uint16_t Date(int y, int m, int d) { return uint16_t((y - 1980) << 9 | m << 5 | d); }
constexpr uint16_t Time(int h, int m, int s) { return uint16_t(h << 11 | m << 5 | s / 2); }

FileListRecord Remote(uint16_t date, uint16_t time, uint32_t size)
{
    FileListRecord r{};
    r.length = sizeof r;
    r.dosDate = date;
    r.dosTime = time;
    r.size = size;
    return r;
}

XferLocalInfo Local(uint16_t date, uint16_t time, uint32_t size)
{
    XferLocalInfo l;
    l.exists = l.regular = true;
    l.date = date;
    l.time = time;
    l.size = size;
    return l;
}

} // namespace

TEST(XferLogic, CompareDosDateTime)
{
    const uint16_t d = Date(2024, 3, 15);
    EXPECT_EQ(CompareDosDateTime(d, Time(12, 0, 0), d, Time(12, 0, 0)), 0);
    EXPECT_EQ(CompareDosDateTime(d, Time(12, 0, 4), d, Time(12, 0, 0)), 0);  // 2 units
    EXPECT_EQ(CompareDosDateTime(d, Time(12, 0, 6), d, Time(12, 0, 0)), 1);  // 3 units
    EXPECT_EQ(CompareDosDateTime(d, Time(12, 0, 0), d, Time(12, 0, 6)), -1);
    EXPECT_EQ(CompareDosDateTime(d, Time(12, 0, 58), d, Time(12, 1, 0)), -1);
    EXPECT_EQ(CompareDosDateTime(d, Time(13, 0, 0), d, Time(12, 59, 58)), 1);
    EXPECT_EQ(CompareDosDateTime(Date(2024, 3, 16), Time(0, 0, 0), d, Time(23, 59, 58)), 1);
    EXPECT_EQ(CompareDosDateTime(Date(2023, 12, 31), Time(0, 0, 0), d, Time(0, 0, 0)), -1);
    EXPECT_EQ(CompareDosDateTime(Date(2024, 4, 1), Time(0, 0, 0), d, Time(0, 0, 0)), 1);
}

TEST(XferLogic, DecisionTable)
{
    const uint16_t d = Date(2024, 3, 15);
    const auto older = Remote(d, Time(12, 0, 0), 100);
    const XferLocalInfo none;
    XferLocalInfo fifo;
    fifo.exists = true;
    struct Case
    {
        int type;
        const FileListRecord* remote;
        XferLocalInfo local;
        bool transfer, send, error;
    };
    const FileListRecord same = Remote(d, Time(12, 0, 0), 100);
    const FileListRecord newer = Remote(d, Time(12, 5, 0), 100);
    const std::vector<Case> cases = {
        // 2: newer local file.
        {2, &older, Local(d, Time(12, 0, 6), 100), true, true, false},
        {2, &older, Local(d, Time(12, 0, 2), 100), false, false, false},
        {2, &newer, Local(d, Time(12, 0, 0), 100), false, false, false},
        {2, nullptr, Local(d, Time(12, 0, 0), 100), true, true, false},
        {2, &older, none, false, false, true},
        // 3: different size or stamp.
        {3, &same, Local(d, Time(12, 0, 0), 101), true, true, false},
        {3, &newer, Local(d, Time(12, 0, 0), 100), true, true, false},
        {3, &same, Local(d, Time(12, 0, 2), 100), false, false, false},
        {3, nullptr, none, true, true, false},
        {3, &same, none, false, false, true},
        // 4: the newer side wins.
        {4, &older, Local(d, Time(12, 1, 0), 100), true, true, false},
        {4, &newer, Local(d, Time(12, 1, 0), 100), true, false, false},
        {4, &same, Local(d, Time(12, 0, 0), 5), true, true, false},
        {4, &same, Local(d, Time(12, 0, 0), 100), false, false, false},
        {4, &same, none, true, false, false},
        {4, nullptr, Local(d, Time(12, 0, 0), 100), true, true, false},
        // Anything that is no regular file is never read.
        {4, &same, fifo, false, false, true},
        {2, nullptr, fifo, false, false, true},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        const auto r = DecideTransfer(c.type, c.remote, c.local);
        EXPECT_EQ(r.transfer, c.transfer) << i;
        if (r.transfer) {
            EXPECT_EQ(r.send, c.send) << i;
        }
        EXPECT_EQ(r.error, c.error) << i;
    }
}
