// A control system that stops answering in the middle of a file operation
// (the simulator program stopped with SIGSTOP): once the link object holds
// it silent or the link is down, the files still waiting end at once,
// named in the report, instead of each waiting for the job time-out.
// Nothing half-written stays under a file's name, no source of a move is
// deleted, and every file on both sides is hashed before and after.
#include "linkui_env.h"

#include "link/ui/FileOpEngine.h"

#include <QElapsedTimer>

#include <csignal>
#include <iostream>

using namespace linkuitest;
using linkui::FileOpEngine;

namespace {

constexpr int kFiles = 6;

std::string FileName(int i) { return i == 0 ? "big.bin" : "f" + std::to_string(i) + ".bin"; }
std::string Content(int i) { return Pattern(i == 0 ? size_t(4) << 20 : size_t(64) << 10, unsigned(40 + i)); }

// Stops the simulator once the operation is under way: when the first
// bytes of a file arrived, or when the third file is about to start,
// whichever comes first.
class StopWhenUnderWay : public linkui::FileOpObserver
{
public:
    std::function<void()> stop;
    bool stopped = false;
    void OnCurrentItem(const std::u16string& text) override
    {
        if (text.find(u"f2.bin") != text.npos)
            Stop();
    }
    void OnProgress(uint64_t, uint64_t done) override
    {
        if (done > 0)
            Stop();
    }

private:
    void Stop()
    {
        if (!stopped && stop) {
            stopped = true;
            stop();
        }
    }
};

class LostLink : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (int i = 0; i < kFiles; ++i)
            WriteFile(share / FileName(i), Content(i));
        sim = testsupport::ui::Simulator::StartUdp({QStringLiteral("--share"), QString::fromStdString("DATA=" + share.Path())});
        ASSERT_TRUE(sim);
        OpenLink(link, sim->ConnectionString());
        if (HasFatalFailure())
            return;
        fc = static_cast<IOxfrC*>(link->Query(OLNK_IID_OXFRC));
        observer.stop = [this] { ASSERT_TRUE(sim->Signal(SIGSTOP)); };
    }
    void TearDown() override
    {
        if (sim)
            sim->Signal(SIGCONT);
        link.reset();
        sim.reset();
        PumpEvents(20);
    }
    // Runs the operation; it must end within a deadline far below what
    // the job time-out of each file would take, and fail.
    void Run(FileOpEngine& e)
    {
        QElapsedTimer clock;
        clock.start();
        e.Start();
        ASSERT_TRUE(WaitFor([&] { return e.Ended(); }, 60000, "the operation's end"));
        EXPECT_FALSE(e.Succeeded());
        EXPECT_TRUE(observer.stopped);
        std::cout << "ended " << clock.elapsed() << " ms after its start:\n" << lines.All();
    }
    std::vector<std::u16string> Names() const
    {
        std::vector<std::u16string> names;
        for (int i = 0; i < kFiles; ++i)
            names.push_back(W(FileName(i)));
        return names;
    }

    testsupport::TempDir share, local;
    std::unique_ptr<testsupport::ui::Simulator> sim;
    std::unique_ptr<COlnkLink> link;
    IOxfrC* fc = nullptr;
    StopWhenUnderWay observer;
    Lines lines;
};

} // namespace

TEST_F(LostLink, AFetchEndsAtOnceAndNamesWhatItDidNotCopy)
{
    // No request ends by the job time-out within the test's deadlines.
    link->SetJobTimeout(120000);
    const Hashes shareBefore = HashTree(share.Path());
    FileOpEngine e(&observer);
    const std::vector<std::u16string> names = Names();
    e.SetupMove(fc, u"\\DATA\\", W(local / "dst"), names.data(), nullptr, kFiles, &lines, &Lines::Callback);
    fs::create_directories(local / "dst");
    Run(e);
    // Every file either arrived whole or is named; nothing else is there.
    int named = 0;
    for (int i = 0; i < kFiles; ++i) {
        const std::string remote = "\\DATA\\" + FileName(i);
        const bool isNamed = lines.All().find(remote + " ") != std::string::npos ||
                             lines.All().find(remote + ")") != std::string::npos;
        const std::string target = local / ("dst/" + FileName(i));
        if (fs::exists(target))
            EXPECT_EQ(ReadFile(target), Content(i)) << FileName(i);
        else
            EXPECT_TRUE(isNamed) << FileName(i) << ": " << lines.All();
        named += isNamed;
    }
    EXPECT_GE(named, kFiles - 2) << lines.All();
    // The files still waiting are named as not copied.
    EXPECT_TRUE(lines.Has("\\DATA\\f5.bin nebyl zkopírován: řídící systém neodpovídá nebo je spojení s ním "
                          "přerušeno\r\n"))
        << lines.All();
    for (const auto& entry : fs::directory_iterator(local / "dst"))
        EXPECT_TRUE(entry.path().filename().string().ends_with(".bin")) << entry.path();
    // A failed move deletes no source.
    EXPECT_EQ(HashTree(share.Path()), shareBefore);

    // Asked again while the link is down, the fetch tries nothing: every
    // file is named at once.
    ASSERT_TRUE(WaitFor([&] { return link->LinkDown() || link->ControlSystemSilent(); }, 20000, "the link down"));
    lines.lines.clear();
    FileOpEngine again;
    again.SetupCopy(fc, u"\\DATA\\", W(local / "again"), names.data(), nullptr, kFiles, &lines, &Lines::Callback);
    fs::create_directories(local / "again");
    again.Start();
    ASSERT_TRUE(WaitFor([&] { return again.Ended(); }, 60000, "the second operation's end"));
    EXPECT_FALSE(again.Succeeded());
    for (int i = 0; i < kFiles; ++i)
        EXPECT_TRUE(lines.Has("\\DATA\\" + FileName(i) +
                              " nebyl zkopírován: řídící systém neodpovídá nebo je spojení s ním přerušeno\r\n"))
            << lines.All();
    EXPECT_TRUE(fs::is_empty(local / "again"));
}

TEST_F(LostLink, APutEndsAtOnceAndNamesWhatItDidNotCopy)
{
    for (int i = 0; i < kFiles; ++i)
        WriteFile(local / ("src/" + FileName(i)), Content(i) + "local");
    fs::create_directories(share / "t");
    const Hashes localBefore = HashTree(local.Path());
    FileOpEngine e(&observer);
    const std::vector<std::u16string> names = Names();
    e.SetupMove(fc, W(local / "src"), u"\\DATA\\t", names.data(), nullptr, kFiles, &lines, &Lines::Callback);
    Run(e);
    for (int i = 0; i < kFiles; ++i) {
        const std::string source = local / ("src/" + FileName(i));
        const std::string target = share / ("t/" + FileName(i));
        if (fs::exists(target))
            EXPECT_EQ(ReadFile(target), Content(i) + "local") << FileName(i);
        else
            EXPECT_NE(lines.All().find(source), std::string::npos) << FileName(i) << ": " << lines.All();
    }
    EXPECT_TRUE(lines.Has(local / "src/f5.bin" +
                          " nebyl zkopírován: řídící systém neodpovídá nebo je spojení s ním přerušeno\r\n"))
        << lines.All();
    // A failed move deletes no source.
    EXPECT_EQ(HashTree(local.Path()), localBefore);
}

namespace {

// The simulator in process behind the fault shim, which can drop every
// frame both ways: a control system that stops while nothing of this side
// waits for an acknowledgement, so that the link resets nothing and only
// its silence says that the control system is gone.
class SilentWhileWaiting : public SimFixture
{
protected:
    void SetUp() override
    {
        withShim = true;
        SimFixture::SetUp();
    }
};

} // namespace

TEST_F(SilentWhileWaiting, WhatRunsAndWhatWaitsEndsOnceTheControlSystemIsSilent)
{
    for (int i = 0; i < kFiles; ++i)
        WriteFile(share / FileName(i), Content(i));
    // The information about the first file is answered only after a minute,
    // and no request ends by the job time-out before two.
    cssim::FileScript slow;
    slow.delayMs = 60000;
    sim->scriptFile(5, "*BIG.BIN", slow);
    link->SetJobTimeout(120000);
    Lines lines;
    FileOpEngine e;
    std::vector<std::u16string> names;
    for (int i = 0; i < kFiles; ++i)
        names.push_back(W(FileName(i)));
    e.SetupCopy(fc, u"\\DATA\\", W(local.Path()), names.data(), nullptr, kFiles, &lines, &Lines::Callback);
    e.Start();
    ASSERT_TRUE(WaitFor([&] { return Received(5) == 1; }, 20000, "the first request"));
    // Every frame of this side before the status reply is acknowledged.
    ASSERT_TRUE(RoundTrip());
    sim->shim().silence(-1, true);
    ASSERT_TRUE(WaitFor([&] { return e.Ended(); }, 60000, "the operation's end"));
    EXPECT_TRUE(link->ControlSystemSilent());
    EXPECT_FALSE(e.Succeeded());
    EXPECT_TRUE(lines.Has("Chyba komunikace (soubor/adresář \\DATA\\big.bin)\r\n")) << lines.All();
    for (int i = 1; i < kFiles; ++i)
        EXPECT_TRUE(lines.Has("\\DATA\\" + FileName(i) +
                              " nebyl zkopírován: řídící systém neodpovídá nebo je spojení s ním přerušeno\r\n"))
            << lines.All();
    EXPECT_EQ(lines.lines.size(), size_t(kFiles)) << lines.All();
    EXPECT_TRUE(fs::is_empty(local.Path()));
    sim->shim().silence(-1, false);
}
