// The mutation run of a fuzz target: every seed once as it is, then a
// fixed number of cases that the mutation engine makes from the seeds with
// a fixed seed number, each through LLVMFuzzerTestOneInput.
//
//   <target>_mutation [--cases N] [--seed S] [--max-size B] [--case K] SEED...
//
// A SEED is a file or a folder (its regular files, in name order).  The
// same arguments give the same cases everywhere.  When a case stops the
// process (a failed check, a sanitizer report, a signal), the case is
// written to "<program>-case-<K>.bin" in the current folder and its number
// printed, and `--case K` runs that case alone.

#include "tests/fuzz/Mutator.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
extern "C" void __sanitizer_set_death_callback(void (*callback)(void)) __attribute__((weak));

namespace {

namespace fs = std::filesystem;

// The case being run, for the handlers (prepared before the case runs, so
// that the handlers only write).
const fuzzmut::Bytes* g_case = nullptr;
char g_casePath[4096];
char g_caseNote[4200];
volatile sig_atomic_t g_written = 0;

void WriteCase()
{
    if (g_written || !g_case)
        return;
    g_written = 1;
    const int fd = ::open(g_casePath, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd >= 0) {
        size_t done = 0;
        while (done < g_case->size()) {
            const ssize_t n = ::write(fd, g_case->data() + done, g_case->size() - done);
            if (n <= 0)
                break;
            done += size_t(n);
        }
        ::close(fd);
    }
    const ssize_t ignored = ::write(2, g_caseNote, std::strlen(g_caseNote));
    (void)ignored;
}

void OnSignal(int sig)
{
    WriteCase();
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

std::vector<fuzzmut::Bytes> ReadSeeds(const std::vector<std::string>& args, bool& ok)
{
    std::vector<fuzzmut::Bytes> seeds;
    auto readFile = [&](const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "cannot read %s\n", p.c_str());
            ok = false;
            return;
        }
        seeds.emplace_back((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    };
    for (const std::string& a : args) {
        std::error_code ec;
        if (fs::is_directory(a, ec)) {
            std::vector<fs::path> files;
            for (const auto& e : fs::directory_iterator(a, ec))
                if (e.is_regular_file())
                    files.push_back(e.path());
            std::sort(files.begin(), files.end());
            for (const auto& f : files)
                readFile(f);
        } else {
            readFile(a);
        }
        if (ec) {
            std::fprintf(stderr, "cannot read %s: %s\n", a.c_str(), ec.message().c_str());
            ok = false;
        }
    }
    return seeds;
}

void Run(const fuzzmut::Bytes& input, const std::string& program, long caseNo)
{
    std::snprintf(g_casePath, sizeof g_casePath, "%s-case-%ld.bin", program.c_str(), caseNo);
    std::snprintf(g_caseNote, sizeof g_caseNote,
                  "\n*** mutation case %ld stopped the run; the input is in %s "
                  "(run it alone with --case %ld)\n",
                  caseNo, g_casePath, caseNo);
    g_case = &input;
    LLVMFuzzerTestOneInput(input.data(), input.size());
    g_case = nullptr;
}

} // namespace

int main(int argc, char** argv)
{
    long cases = 3000, only = -1;
    unsigned long long seed = 1;
    size_t maxSize = 1 << 20;
    std::vector<std::string> seedArgs;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&]() -> const char* {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "%s needs a value\n", a.c_str());
                std::exit(2);
            }
            return argv[++i];
        };
        if (a == "--cases")
            cases = std::strtol(value(), nullptr, 10);
        else if (a == "--seed")
            seed = std::strtoull(value(), nullptr, 10);
        else if (a == "--max-size")
            maxSize = size_t(std::strtoull(value(), nullptr, 10));
        else if (a == "--case")
            only = std::strtol(value(), nullptr, 10);
        else
            seedArgs.push_back(a);
    }
    bool ok = true;
    std::vector<fuzzmut::Bytes> seeds = ReadSeeds(seedArgs, ok);
    if (!ok || seeds.empty()) {
        std::fprintf(stderr, "no seeds\n");
        return 2;
    }

    const std::string program = fs::path(argv[0]).filename().string();
    if (__sanitizer_set_death_callback)
        __sanitizer_set_death_callback(WriteCase);
    for (int sig : {SIGABRT, SIGSEGV, SIGBUS, SIGFPE, SIGILL})
        std::signal(sig, OnSignal);

    const auto start = std::chrono::steady_clock::now();
    // Case numbers: the seeds are 0 .. seeds-1, the mutated cases follow.
    const long seedCount = long(seeds.size());
    long ran = 0;
    for (long k = 0; k < seedCount; ++k)
        if (only < 0 || only == k) {
            Run(seeds[size_t(k)], program, k);
            ++ran;
        }
    fuzzmut::Mutator mutator(seed, seeds, maxSize);
    for (long k = 0; k < cases; ++k) {
        const fuzzmut::Bytes input = mutator.Next();
        const long caseNo = seedCount + k;
        if (only >= 0 && only != caseNo)
            continue;
        Run(input, program, caseNo);
        ++ran;
    }
    const double s =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%ld seeds and %ld mutated cases (seed %llu): %ld read in %.1f s\n", seedCount,
                cases, seed, ran, s);
    return 0;
}
