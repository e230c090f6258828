// cssim: the control-system simulator as a program.  See docs/cssim.md.
#include "tools/cssim/cssim.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

std::atomic<bool> g_stop{false};

void OnSignal(int) { g_stop = true; }

int Usage(const char* why)
{
    std::fprintf(stderr,
                 "cssim: %s\n"
                 "usage: cssim --udp <local port> --peer <address>:<port> [options]\n"
                 "       cssim --serial <device> [--baud <rate>] [options]\n"
                 "options: --share NAME=DIR (repeatable), --window <W>, --active,\n"
                 "         --loss <percent> --seed <n>, --record <file>, --verbose,\n"
                 "         --run [--run-rate <lines per second, default 20>],\n"
                 "         --answer <code>=<status>|none[x<times>] (repeatable),\n"
                 "         --cut <ms>[x<times>] (UDP only)\n",
                 why);
    return 2;
}

bool Number(const char* s, long lo, long hi, long& out)
{
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(s, &end, 10);
    if (!*s || *end || errno || v < lo || v > hi)
        return false;
    out = v;
    return true;
}

// "<text>x<times>" or "<text>": the text and the times (0 without).
bool Times(const std::string& s, std::string& text, long& times)
{
    const size_t x = s.rfind('x');
    times = 0;
    text = s;
    if (x == std::string::npos)
        return true;
    text = s.substr(0, x);
    return Number(s.c_str() + x + 1, 1, 1000000, times);
}

} // namespace

int main(int argc, char** argv)
{
    cssim::Config cfg;
    std::string record;
    bool verbose = false, haveUdp = false, haveSerial = false, havePeer = false;
    double loss = 0;
    bool run = false;
    uint32_t runRate = 20;
    std::vector<std::pair<uint8_t, cssim::RequestScript>> answers;
    long cutMs = 0, cuts = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&](const char*& v) {
            if (i + 1 >= argc)
                return false;
            v = argv[++i];
            return true;
        };
        const char* v = nullptr;
        long n = 0;
        if (a == "--udp") {
            if (!value(v) || !Number(v, 1, 65535, n))
                return Usage("--udp needs a port from 1 to 65535");
            cfg.udpLocalPort = uint16_t(n);
            haveUdp = true;
        } else if (a == "--peer") {
            if (!value(v))
                return Usage("--peer needs <address>:<port>");
            const char* colon = std::strrchr(v, ':');
            if (!colon || colon == v || !Number(colon + 1, 1, 65535, n))
                return Usage("--peer needs <address>:<port>");
            cfg.peerAddress.assign(v, colon);
            cfg.peerPort = uint16_t(n);
            havePeer = true;
        } else if (a == "--serial") {
            if (!value(v) || !*v)
                return Usage("--serial needs a device");
            cfg.serialDevice = v;
            haveSerial = true;
        } else if (a == "--baud") {
            if (!value(v) || !Number(v, 1, 100000000, n))
                return Usage("--baud needs a positive rate");
            cfg.baud = uint32_t(n);
        } else if (a == "--share") {
            if (!value(v) || !std::strchr(v, '=') || *v == '=')
                return Usage("--share needs NAME=DIR");
            const char* eq = std::strchr(v, '=');
            cfg.shares.push_back({std::string(v, eq), std::string(eq + 1)});
        } else if (a == "--window") {
            if (!value(v) || !Number(v, 1, 127, n))
                return Usage("--window needs a number from 1 to 127");
            cfg.window = uint8_t(n);
        } else if (a == "--active") {
            cfg.active = true;
        } else if (a == "--loss") {
            if (!value(v) || !Number(v, 0, 100, n))
                return Usage("--loss needs a percentage from 0 to 100");
            loss = double(n) / 100.0;
        } else if (a == "--seed") {
            if (!value(v) || !Number(v, 0, 0x7FFFFFFF, n))
                return Usage("--seed needs a number");
            cfg.seed = uint64_t(n);
        } else if (a == "--record") {
            if (!value(v) || !*v)
                return Usage("--record needs a file");
            record = v;
        } else if (a == "--run") {
            run = true;
        } else if (a == "--run-rate") {
            if (!value(v) || !Number(v, 1, 1000000, n))
                return Usage("--run-rate needs lines per second from 1 to 1000000");
            runRate = uint32_t(n);
            run = true;
        } else if (a == "--answer") {
            // A PLC request's forced status, or no reply, for the next
            // `times` requests of the code (all without).
            std::string text;
            long times = 0, code = 0, status = 0;
            const char* eq = nullptr;
            if (!value(v) || !(eq = std::strchr(v, '=')) ||
                !Number(std::string(v, eq).c_str(), 0, 255, code) || !Times(eq + 1, text, times) ||
                !(text == "none" || Number(text.c_str(), -128, 127, status)))
                return Usage("--answer needs <code>=<status from -128 to 127>|none[x<times>]");
            cssim::RequestScript s;
            if (text == "none")
                s.drop = true;
            else
                s.status = int8_t(status);
            s.times = uint32_t(times);
            answers.emplace_back(uint8_t(code), s);
        } else if (a == "--cut") {
            // The relay cuts the link for ms as the first request that
            // empties the breakpoints after a set with breakpoints passes
            // (the end of debugging), `times` times in a row (once without).
            std::string text;
            if (!value(v) || !Times(v, text, cuts) || !Number(text.c_str(), 1, 3600000, cutMs))
                return Usage("--cut needs <ms>[x<times>]");
            cuts = cuts ? cuts : 1;
        } else if (a == "--verbose") {
            verbose = true;
        } else {
            return Usage(("unknown argument " + a).c_str());
        }
    }
    if (haveUdp == haveSerial)
        return Usage("give either --udp or --serial");
    if (haveUdp && !havePeer)
        return Usage("--udp needs --peer");
    if (haveSerial && (havePeer || loss > 0 || cuts))
        return Usage("--peer, --loss and --cut apply to UDP only");
    cfg.shim = loss > 0 || cuts;
    cfg.runRate = run ? runRate : 0;
    // A cut waits for a set with breakpoints in the record.
    cfg.recording = !record.empty() || verbose || cuts > 0;

    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    cssim::Simulator sim(cfg);
    if (!sim.start()) {
        char text[512];
        OlnkGetErrorTextA(sim.lastError(), OLNK_LANG_ENGLISH, text, sizeof text);
        std::fprintf(stderr, "cssim: %s\n", text);
        return 1;
    }
    for (const auto& [code, script] : answers)
        sim.scriptRequest(code, script);
    // A cut at the next request from our side that empties the breakpoints:
    // a clear (code 13, 7 bytes) or an empty list (code 12, 11 bytes).
    auto armCut = [&] {
        cssim::TargetedFault cut;
        cut.match = {0, 1, 0, 12};
        cut.match.codeLast = 13;
        cut.match.maxData = 11;
        cut.action = cssim::FrameAction::Cut;
        sim.shim().addTargeted(cut);
    };
    uint64_t cutsSeen = 0;
    auto cutEnds = std::chrono::steady_clock::time_point::max();
    // Armed once a breakpoint request with breakpoints was received: the
    // program's own empty list at every connect passes.
    bool armed = false;
    size_t scanned = 0;
    auto setWithBreakpoints = [&] {
        const auto all = sim.recorder().all();
        for (; scanned < all.size(); ++scanned) {
            const cssim::Record& r = all[scanned];
            if (r.direction != 0 || r.cls() != 1 || r.type() != 0)
                continue;
            const cssim::Bytes p = r.payload();
            if ((r.code() == 11 && p.size() >= 10 && (p[6] || p[7] || p[8] || p[9])) || (r.code() == 12 && p.size() >= 4 && (p[2] || p[3])))
                return true;
        }
        return false;
    };
    if (cfg.shim) {
        sim.shim().setRandom(0, loss, 0, 0, 0);
        sim.shim().setRandom(1, loss, 0, 0, 0);
        std::printf("cssim port %u\n", unsigned(sim.publicPort()));
    }
    if (haveUdp && cfg.peerAddress.rfind("127.", 0) == 0) {
        // What the program's link settings take to reach this simulator.
        std::printf("cssim connection string: Type = UDP; RemoteIP = 127.0.0.1; RemotePort = %u; LocalPort = %u; "
                    "W = %u;\n",
                    unsigned(cfg.shim ? sim.publicPort() : cfg.udpLocalPort), unsigned(cfg.peerPort),
                    unsigned(cfg.window));
    }
    std::printf("cssim ready\n");
    std::fflush(stdout);

    FILE* rec = record.empty() ? nullptr : std::fopen(record.c_str(), "w");
    size_t written = 0;
    auto flush = [&] {
        if (!rec && !verbose)
            return;
        const auto all = sim.recorder().all();
        for (; written < all.size(); ++written) {
            const auto& r = all[written];
            std::string line = std::to_string(r.ms) + (r.direction == 0 ? " < " : " > ");
            char h[4];
            for (size_t k = 0; k < r.bytes.size(); ++k) {
                std::snprintf(h, sizeof h, k ? " %02X" : "%02X", r.bytes[k]);
                line += h;
            }
            if (rec)
                std::fprintf(rec, "%s\n", line.c_str());
            if (verbose)
                std::fprintf(stderr, "%s\n", line.c_str());
        }
        if (rec)
            std::fflush(rec);
    };
    // With --verbose, what the run mode knows of the program after each
    // change of the stored image.
    std::string runNote = "\x01";
    auto tellRun = [&] {
        if (!verbose || !cfg.runRate)
            return;
        const std::string note = sim.plc().programNote();
        if (note == runNote)
            return;
        runNote = note;
        if (note.empty()) {
            const cssim::Program p = sim.plc().program();
            std::fprintf(stderr, "cssim run: program of %zu lines and %zu variables at %u lines/s\n",
                         p.lines.size(), p.vars.size(), unsigned(cfg.runRate));
        } else {
            std::fprintf(stderr, "cssim run: idle (%s)\n", note.c_str());
        }
    };
    while (!g_stop) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        flush();
        tellRun();
        if (cuts && !armed && setWithBreakpoints()) {
            armed = true;
            armCut();
        }
        if (cuts && sim.shim().matched() > cutsSeen &&
            cutEnds == std::chrono::steady_clock::time_point::max()) {
            cutsSeen = sim.shim().matched();
            cutEnds = std::chrono::steady_clock::now() + std::chrono::milliseconds(cutMs);
            if (verbose)
                std::fprintf(stderr, "cssim cut: the link is cut for %ld ms\n", cutMs);
        }
        if (std::chrono::steady_clock::now() >= cutEnds) {
            cutEnds = std::chrono::steady_clock::time_point::max();
            if (--cuts > 0)
                armCut();
            sim.shim().silence(-1, false);
            if (verbose)
                std::fprintf(stderr, "cssim cut: the link is back\n");
        }
    }
    sim.stop();
    flush();
    if (rec)
        std::fclose(rec);
    return 0;
}
