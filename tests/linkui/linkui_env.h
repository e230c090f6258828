#pragma once
// Shared pieces of the link windows' tests: the control-system simulator in
// process with a share DATA on a temporary folder, one link object opened
// as the project opens it, real local folders, and helpers to pump the
// compare folder trees; waiting and modal windows come from support_ui.

#include "link/linkobj/olnk_link.h"
#include "link/ui/LinkMessages.h"
#include "platform/sys/CodePage.h"
#include "tests/support/link/LinkTestText.h"
#include "tests/support/link/SimulatorStart.h"
#include "tests/support/platform/PtyPair.h"
#include "tests/support/platform/TempDir.h"
#include "tests/support/ui/UiTest.h"
#include "tools/cssim/cssim.h"

#include <QAbstractButton>
#include <QApplication>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace linkuitest {

namespace fs = std::filesystem;

using testsupport::ui::PressKey;
using testsupport::ui::PumpEvents;
using testsupport::ui::WaitFor;

inline void ClickButton(QWidget* root, const char* name)
{
    auto* b = root->findChild<QAbstractButton*>(QString::fromLatin1(name));
    ASSERT_NE(b, nullptr) << name;
    b->click();
}

inline std::u16string W(const std::string& s) { return sys::Utf8ToUtf16Lenient(s); }
inline std::string U(std::u16string_view s) { return sys::Utf16ToUtf8Lenient(s); }

inline void WriteFile(const std::string& path, const std::string& bytes)
{
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream f(path, std::ios::binary);
    f << bytes;
}
inline std::string ReadFile(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}
inline std::string Pattern(size_t n, unsigned seed)
{
    std::string s(n, '\0');
    uint32_t x = seed * 2654435761u + 1;
    for (size_t i = 0; i < n; ++i) {
        x = x * 1103515245u + 12345u;
        s[i] = char(x >> 16);
    }
    return s;
}

// Every entry below root: relative path -> content ("<dir>" for folders).
inline std::map<std::string, std::string> Tree(const std::string& root)
{
    std::map<std::string, std::string> out;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        const std::string rel = fs::relative(e.path(), root).string();
        out[rel] = e.is_directory() ? std::string("<dir>") : ReadFile(e.path().string());
    }
    return out;
}

using Hashes = std::map<std::string, uint64_t>;

// Every file below root (its relative path, byte for byte) with the FNV-1a
// hash of its content; with folders, every folder too (hash 0).
inline Hashes HashTree(const std::string& root, bool folders = false)
{
    Hashes out;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        const bool folder = e.is_directory();
        if (folder && !folders)
            continue;
        uint64_t h = 0;
        if (!folder) {
            h = 1469598103934665603ull;
            for (unsigned char c : ReadFile(e.path().string()))
                h = (h ^ c) * 1099511628211ull;
        }
        out[fs::relative(e.path(), root).native()] = h;
    }
    return out;
}

// Scripts the listing of a folder of the control system (the request path
// "<folder>*.*") as a hostile one would send it: a good file "good.txt", a
// file "../../x", a file "bell" with a BEL character, a folder
// "../../evil" and a folder "sub".
inline void ScriptHostileFolder(cssim::Simulator& sim, const std::string& folder)
{
    cssim::FileScript fsc;
    fsc.listing = std::vector<cssim::ListedEntry>{{"good.txt", false, {'o', 'k'}},
                                                  {"../../x", false, {'E'}},
                                                  {"bell\a", false, {'E'}},
                                                  {"../../evil", true, {}},
                                                  {"sub", true, {}}};
    sim.scriptFile(3, folder + "*.*", fsc);
}

// The error lines a callback received.
struct Lines
{
    std::vector<std::string> lines;
    static void Callback(std::u16string_view line, void* arg)
    {
        static_cast<Lines*>(arg)->lines.push_back(U(line));
    }
    bool Has(const std::string& l) const
    {
        for (const auto& x : lines)
            if (x == l)
                return true;
        return false;
    }
    std::string All() const
    {
        std::string s;
        for (const auto& x : lines)
            s += x;
        return s;
    }
};

// A link face that forwards to a link object and records the cancelled
// jobs and the window registrations.
class SpyLink : public IOxfrC, public IOlnkControl
{
public:
    explicit SpyLink(COlnkLink* l) : link(l) {}
    COlnkLink* link;
    std::vector<uint32_t> cancelled;
    int registered = 0;
    int putRefusals = 0; // puts refused before they reach the link
    int getRefusals = 0;

    int Copy(uint32_t w, std::uintptr_t p, const char16_t* s, const char16_t* d) override { return link->Copy(w, p, s, d); }
    int CreateDir(uint32_t w, std::uintptr_t p, const char16_t* path) override { return link->CreateDir(w, p, path); }
    int Delete(uint32_t w, std::uintptr_t p, const char16_t* path) override { return link->Delete(w, p, path); }
    int List(uint32_t w, std::uintptr_t p, LinkProgress pr, uint32_t* job, const char16_t* pat) override
    {
        return link->List(w, p, pr, job, pat);
    }
    int Get(uint32_t w, std::uintptr_t p, LinkProgress pr, uint32_t* job, const char16_t* r, const char16_t* l) override
    {
        if (getRefusals > 0) {
            --getRefusals;
            return 0;
        }
        return link->Get(w, p, pr, job, r, l);
    }
    int GetInto(uint32_t w, std::uintptr_t p, LinkProgress pr, uint32_t* job, const char16_t* r, int folder,
                const char16_t* name) override
    {
        if (getRefusals > 0) {
            --getRefusals;
            return 0;
        }
        return link->GetInto(w, p, pr, job, r, folder, name);
    }
    int GetFileInfo(uint32_t w, std::uintptr_t p, const char16_t* path) override { return link->GetFileInfo(w, p, path); }
    int Put(uint32_t w, std::uintptr_t p, LinkProgress pr, uint32_t* job, const char16_t* l, const char16_t* r) override
    {
        if (putRefusals > 0) {
            --putRefusals;
            return 0;
        }
        return link->Put(w, p, pr, job, l, r);
    }
    int RemoveDir(uint32_t w, std::uintptr_t p, const char16_t* path) override { return link->RemoveDir(w, p, path); }
    int Move(uint32_t w, std::uintptr_t p, const char16_t* s, const char16_t* d) override { return link->Move(w, p, s, d); }

    void* Query(uint32_t id) override { return link->Query(id); }
    int Open(uint32_t id, const char16_t* c, uint32_t t) override { return link->Open(id, c, t); }
    int InitInterface(uint16_t id) override { return link->InitInterface(id); }
    int Start() override { return link->Start(); }
    int Close() override { return link->Close(); }
    int RegisterWindow(ILinkWindow* w, uint32_t list) override { return link->RegisterWindow(w, list); }
    int RegisterWindow(uint32_t w, uint32_t list) override
    {
        ++registered;
        return link->RegisterWindow(w, list);
    }
    int UnregisterWindow(ILinkWindow* w, uint32_t list) override { return link->UnregisterWindow(w, list); }
    int UnregisterWindow(uint32_t w, uint32_t list) override
    {
        --registered;
        return link->UnregisterWindow(w, list);
    }
    int CancelJob(uint32_t job) override
    {
        cancelled.push_back(job);
        return link->CancelJob(job);
    }
};

// Opens a link object to the control system at conn as the project opens
// it (333, 1000 ms; interfaces 0, 1, 2 and 258; Start) and waits until the
// link is established.
inline void OpenLink(std::unique_ptr<COlnkLink>& link, const std::string& conn)
{
    link = std::make_unique<COlnkLink>(linkui::WindowPoster());
    ASSERT_EQ(link->Open(333, W(conn).c_str(), 1000), 1);
    for (uint16_t id : {0, 1, 2, 258})
        ASSERT_EQ(link->InitInterface(id), 1);
    ASSERT_EQ(link->Start(), 1);
    ASSERT_TRUE(WaitFor([&] { return link->IsEstablished(); }, 20000, "the link established"));
    // The breakpoints it wants (none) sent once up, and confirmed.
    ASSERT_TRUE(
        WaitFor([&] { return link->BreakpointsConfirmed(); }, 20000, "the breakpoints confirmed"));
}

// The simulator with a share DATA and one link object opened to it.
class SimFixture : public ::testing::Test
{
protected:
    void SetUp() override { Open(false); }
    void Open(bool serial)
    {
        cssim::Config cfg;
        std::string conn;
        cfg.shares = {{"DATA", share.Path()}};
        cfg.shim = withShim;
        for (const cssim::Share& more : moreShares)
            cfg.shares.push_back(more);
        sim = testsupport::StartSimulator(cfg, serial, conn);
        ASSERT_NE(sim, nullptr);
        OpenLink(link, conn);
        if (HasFatalFailure())
            return;
        fc = static_cast<IOxfrC*>(link->Query(OLNK_IID_OXFRC));
    }
    void TearDown() override
    {
        link.reset();
        sim.reset();
        PumpEvents(20);
    }
    // Moves 130 messages each way so that a reset meets no fresh channel.
    void Wrap()
    {
        auto* pl = static_cast<IOlnkPL*>(link->Query(OLNK_IID_PL));
        const uint64_t before = link->IgnoredReplies();
        for (int i = 0; i < 130; ++i)
            sim->push(9, 0, {});
        ASSERT_TRUE(WaitFor([&] { return link->IgnoredReplies() >= before + 130; }, 20000, "the pushes"));
        int n = 0;
        QObject obj;
        const auto h = ui::RegisterMessageTarget(&obj, [&](uint32_t, uintptr_t, intptr_t, ui::MessageRecord*) {
            ++n;
            return intptr_t(0);
        });
        for (int i = 0; i < 130; ++i)
            ASSERT_EQ(pl->GetStatus(h, 0), 1);
        ASSERT_TRUE(WaitFor([&] { return n == 130; }, 20000, "the replies"));
        ui::UnregisterMessageTarget(h);
    }
    // Asks the PLC's status and waits for the reply's message: everything
    // the simulator sent before that reply has been handled by then.
    bool RoundTrip()
    {
        auto* pl = static_cast<IOlnkPL*>(link->Query(OLNK_IID_PL));
        bool replied = false;
        QObject obj;
        const auto h = ui::RegisterMessageTarget(&obj, [&](uint32_t, uintptr_t, intptr_t, ui::MessageRecord*) {
            replied = true;
            return intptr_t(0);
        });
        const bool ok = pl->GetStatus(h, 0) == 1 && WaitFor([&] { return replied; }, 5000, "the status reply");
        ui::UnregisterMessageTarget(h);
        return ok;
    }
    // Requests of a file-server code the simulator received.
    size_t Received(uint8_t code)
    {
        size_t n = 0;
        for (const auto& r : sim->recorder().all())
            if (r.direction == 0 && r.cls() == 2 && r.type() == 0 && r.code() == code)
                ++n;
        return n;
    }

    testsupport::TempDir share, local;
    std::vector<cssim::Share> moreShares; // besides DATA, set before Open
    bool withShim = false;                // the fault shim between the link and the simulator
    std::unique_ptr<cssim::Simulator> sim;
    std::unique_ptr<COlnkLink> link;
    IOxfrC* fc = nullptr;
};

} // namespace linkuitest
