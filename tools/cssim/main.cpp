// cssim: the control-system simulator as a program.  See docs/cssim.md.
#include "tools/cssim/cssim.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <unistd.h>

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
                 "         --run [--run-rate <lines per second, default 20>]\n",
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

} // namespace

int main(int argc, char** argv)
{
    cssim::Config cfg;
    std::string record;
    bool verbose = false, haveUdp = false, haveSerial = false, havePeer = false;
    double loss = 0;
    bool run = false;
    uint32_t runRate = 20;
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
    if (haveSerial && (havePeer || loss > 0))
        return Usage("--peer and --loss apply to UDP only");
    cfg.shim = loss > 0;
    cfg.runRate = run ? runRate : 0;
    cfg.recording = !record.empty() || verbose;

    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    cssim::Simulator sim(cfg);
    if (!sim.start()) {
        char text[512];
        OlnkGetErrorTextA(sim.lastError(), OLNK_LANG_ENGLISH, text, sizeof text);
        std::fprintf(stderr, "cssim: %s\n", text);
        return 1;
    }
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
    }
    sim.stop();
    flush();
    if (rec)
        std::fclose(rec);
    return 0;
}
