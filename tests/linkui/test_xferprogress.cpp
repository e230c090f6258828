// The transfer progress dialog against the simulator.
#include "linkui_env.h"

#include "link/ui/TransferProgressDlg.h"
#include "tests/support/build/CaptureSink.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace linkuitest;
using linkui::CTransferProgressDlg;
using linkui::XferFileItem;

namespace {

void SetTime(const std::string& path, time_t t)
{
    struct timespec ts[2] = {{t, 0}, {t, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), ts, 0), 0);
}

class Xfer : public SimFixture
{
protected:
    XferFileItem Item(const std::string& localPath, const std::string& remote, int type)
    {
        XferFileItem it;
        it.localPath = W(localPath);
        it.remotePath = W(remote);
        it.type = type;
        return it;
    }
    bool Run(IOxfrC* link, std::vector<XferFileItem>& items)
    {
        CTransferProgressDlg dlg(nullptr, &out);
        const bool ok = dlg.Setup(link, items.data(), int(items.size()));
        maxRunning = dlg.MaxTransfersRunning();
        return ok;
    }
    testsupport::CaptureSink out;
    int maxRunning = 0;
};

} // namespace

TEST_F(Xfer, SevenSendsKeepAtMostFiveInFlight)
{
    std::vector<XferFileItem> items;
    for (int i = 0; i < 7; ++i) {
        const std::string n = std::to_string(i);
        WriteFile(local / std::string("f").append(n), Pattern(1000 + size_t(i), unsigned(i)));
        items.push_back(Item(local / std::string("f").append(n), std::string("\\DATA\\F").append(n), 5));
    }
    cssim::JobScript js;
    js.verdictDelayMs = 150;
    sim->scriptJobs(js);
    EXPECT_TRUE(Run(fc, items)) << out.All();
    EXPECT_EQ(maxRunning, 5);
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(ReadFile(share / std::string("F").append(std::to_string(i))),
                  Pattern(1000 + size_t(i), unsigned(i)));
    EXPECT_EQ(out.entries.size(), 7u);
    EXPECT_EQ(out.entries[0].text, W("Soubor " + (local / "f0") +
                                     " se přenáší na řídící systém (umístění na řídícím systému: \\DATA\\F0)...\r\n"));
}

TEST_F(Xfer, DecisionsByTypeAgainstTheControlSystem)
{
    const time_t t = 1700000000; // an even second
    // Type 2, the local file 3 s newer: equal within the tolerance.
    WriteFile(share / "n.txt", "remote");
    WriteFile(local / "n.txt", "local!");
    SetTime(share / "n.txt", t);
    SetTime(local / "n.txt", t + 3);
    // Type 4, the local file missing: fetched.
    WriteFile(share / "fetch.bin", Pattern(5000, 9));
    // Type 3, same stamp, sizes 100 and 101: sent.
    WriteFile(share / "d.bin", std::string(100, 'r'));
    WriteFile(local / "d.bin", std::string(101, 'l'));
    SetTime(share / "d.bin", t);
    SetTime(local / "d.bin", t);
    std::vector<XferFileItem> items = {Item(local / "n.txt", "\\DATA\\n.txt", 2),
                                       Item(local / "fetch.bin", "\\DATA\\fetch.bin", 4),
                                       Item(local / "d.bin", "\\DATA\\d.bin", 3),
                                       Item(local / "never", "\\DATA\\never", 0)};
    EXPECT_TRUE(Run(fc, items)) << out.All();
    EXPECT_EQ(ReadFile(share / "n.txt"), "remote");
    EXPECT_EQ(ReadFile(local / "fetch.bin"), Pattern(5000, 9));
    EXPECT_EQ(ReadFile(share / "d.bin"), std::string(101, 'l'));
    const std::string all = out.All();
    EXPECT_NE(all.find("Porovnává se verze souboru " + (local / "n.txt") +
                       " (umístění na řídícím systému: \\DATA\\n.txt)...\r\n"),
              std::string::npos);
    EXPECT_NE(all.find("Souboru " + (local / "fetch.bin") +
                       " se přenáší z řídícího systému (umístění na řídícím systému: \\DATA\\fetch.bin)...\r\n"),
              std::string::npos);
    EXPECT_EQ(all.find("n.txt se přenáší"), std::string::npos);
}

TEST_F(Xfer, RefusedTransfersAndSpecialFilesFailOnlyTheirItems)
{
    WriteFile(local / "a", "a");
    WriteFile(local / "b", "b");
    WriteFile(share / "r", "r");
    ASSERT_EQ(::mkfifo((local / "fifo").c_str(), 0600), 0);
    SpyLink spy(link.get());
    spy.putRefusals = 1;
    spy.getRefusals = 1;
    std::vector<XferFileItem> items = {Item(local / "a", "\\DATA\\a", 5), Item(local / "fifo", "\\DATA\\fifo", 5),
                                       Item(local / "r", "\\DATA\\r", 6), Item(local / "b", "\\DATA\\b", 5)};
    EXPECT_FALSE(Run(&spy, items));
    const std::string all = out.All();
    EXPECT_NE(all.find("Nepodařilo se přenést soubor " + (local / "a") + " do řídícího systému jako \\DATA\\a.\r\n"),
              std::string::npos) << all;
    EXPECT_NE(all.find("Nepodařilo se zjistit informace o souboru " + (local / "fifo") + ".\r\n"), std::string::npos)
        << all;
    EXPECT_NE(all.find("Nepodařilo se přenést soubor " + (local / "r") +
                       " z řídícího systému (umístění na řídícím systému: \\DATA\\r).\r\n"),
              std::string::npos) << all;
    EXPECT_EQ(ReadFile(share / "b"), "b");
    EXPECT_FALSE(fs::exists(share / "a"));
    EXPECT_FALSE(fs::exists(share / "fifo"));
    EXPECT_EQ(spy.registered, 0);
}

TEST_F(Xfer, ALinkEventEndsWithCancel)
{
    WriteFile(share / "slow.bin", Pattern(64 << 10, 4));
    WriteFile(local / "slow.bin", "old");
    cssim::FileScript fsc;
    fsc.blockDelayMs = 20;
    sim->scriptFile(4, "", fsc);
    SpyLink spy(link.get());
    std::vector<XferFileItem> items = {Item(local / "slow.bin", "\\DATA\\slow.bin", 6)};
    QTimer::singleShot(300, [&] { sim->linkEvent(7); });
    EXPECT_FALSE(Run(&spy, items));
    EXPECT_TRUE(out.All().ends_with("Spojení bylo resetováno...\r\n")) << out.All();
    EXPECT_EQ(spy.cancelled.size(), 1u);
    EXPECT_EQ(spy.registered, 0);
    // Blocks still on their way come before the reply asked for after the
    // reset, and are not written.
    ASSERT_TRUE(RoundTrip());
    EXPECT_EQ(ReadFile(local / "slow.bin"), "old");
}
