// Text buffer speed and memory:
// - LoadFile: a generated 100,000,000-byte 8-bit file (lines of 0-120
//   characters, CR LF, ASCII mixed with accented letters) loaded once in the
//   ANSI code page (-1) and once in row 4.  Counters: seconds per load
//   (target <= 0.8) and the peak memory growth over the file size (target
//   <= 3.0), from VmHWM after resetting the peak through /proc/self/clear_refs.
// - RandomEdits: 1,000 random edits in a text of 1,000,000 lines, each in its
//   own undo group, then undo of all of them.  Counters: edit_ms (target
//   <= 50) and undo_ms; the text after the undo must equal the original.

#include "bench/BenchDir.h"
#include "bench/BenchSize.h"
#include "editor/buffer/EdtTextBuffer.h"
#include "platform/sys/CodePage.h"

#include <benchmark/benchmark.h>

#include <malloc.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

namespace fs = std::filesystem;

namespace {

const size_t kFileSize = bench::Size<size_t>(100u * 1000 * 1000, 200u * 1000);

// A fresh temporary folder, removed at exit.
const std::string& BenchDir()
{
    return bench::ProgramTempDir("sw-bench-");
}

std::u16string U16(const std::string& ascii)
{
    return std::u16string(ascii.begin(), ascii.end());
}

// The 100 MB file: fixed seed, lines of 0-120 characters, CR LF.
const std::string& LoadFilePath()
{
    static const std::string path = [] {
        // Accented letters of code page 1250 (and, as bytes, of other rows).
        static const unsigned char kAccented[] = {0x8A, 0x8D, 0x8E, 0x9A, 0x9D, 0x9E, 0xC1, 0xC8,
                                                  0xC9, 0xCC, 0xCD, 0xD2, 0xD3, 0xD8, 0xD9, 0xDA,
                                                  0xDD, 0xE1, 0xE8, 0xE9, 0xEC, 0xED, 0xF2, 0xF3,
                                                  0xF8, 0xF9, 0xFA, 0xFD};
        std::mt19937 gen(12345);
        std::uniform_int_distribution<int> len(0, 120);
        std::uniform_int_distribution<int> kind(0, 9);
        std::uniform_int_distribution<int> ascii(0x20, 0x7E);
        std::uniform_int_distribution<int> acc(0, sizeof kAccented - 1);
        std::string data;
        data.reserve(kFileSize + 256);
        while (data.size() < kFileSize) {
            int n = len(gen);
            for (int i = 0; i < n; ++i)
                data += kind(gen) == 0 ? static_cast<char>(kAccented[acc(gen)])
                                       : static_cast<char>(ascii(gen));
            data += "\r\n";
        }
        data.resize(kFileSize);
        std::string p = BenchDir() + "/load.txt";
        std::ofstream f(p, std::ios::binary | std::ios::trunc);
        f.write(data.data(), static_cast<std::streamsize>(data.size()));
        return p;
    }();
    return path;
}

// The same text in UTF-8 (kind 0), and with its accented letters made
// plain (kind 1, ASCII alone): files that are checked whole before they
// load.
const std::string& Utf8FilePath(int kind)
{
    static std::string paths[2];
    std::string& path = paths[kind];
    if (path.empty()) {
        std::ifstream in(LoadFilePath(), std::ios::binary);
        std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::string out;
        if (kind == 0) {
            out = sys::Utf16ToUtf8Lenient(sys::AnsiToWide(data));
        } else {
            out = std::move(data);
            for (char& c : out)
                if (static_cast<unsigned char>(c) >= 0x80)
                    c = 'e';
        }
        path = BenchDir() + (kind == 0 ? "/load-utf8.txt" : "/load-ascii.txt");
        std::ofstream f(path, std::ios::binary | std::ios::trunc);
        f.write(out.data(), static_cast<std::streamsize>(out.size()));
    }
    return path;
}

// A kB value of /proc/self/status ("VmRSS", "VmHWM").
long StatusKb(const char* key)
{
    std::ifstream f("/proc/self/status");
    std::string line;
    size_t klen = std::char_traits<char>::length(key);
    while (std::getline(f, line))
        if (line.compare(0, klen, key) == 0 && line.size() > klen && line[klen] == ':')
            return std::strtol(line.c_str() + klen + 1, nullptr, 10);
    return -1;
}

bool ResetPeak()
{
    FILE* f = std::fopen("/proc/self/clear_refs", "w");
    if (!f)
        return false;
    bool ok = std::fputs("5", f) >= 0;
    return (std::fclose(f) == 0) && ok;
}

void LoadFile(benchmark::State& state, const std::string& file, int codePage, bool utf8)
{
    std::u16string path = U16(file);
    double seconds = 0;
    double growth = 0;
    for (auto _ : state) {
        ::malloc_trim(0);
        if (!ResetPeak()) {
            state.SkipWithError("cannot reset the peak through /proc/self/clear_refs");
            return;
        }
        long before = StatusKb("VmRSS");
        auto t0 = std::chrono::steady_clock::now();
        {
            CEdtTextBuffer b;
            b.SetCodePage(codePage);
            if (!b.LoadFromFile(path) || b.GetUtf8() != utf8) {
                state.SkipWithError("load failed");
                return;
            }
            seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
            long peak = StatusKb("VmHWM");
            growth = static_cast<double>(peak - before) * 1024.0 / static_cast<double>(kFileSize);
            benchmark::DoNotOptimize(b.GetLineCount());
            state.PauseTiming();  // the buffer's destruction is not part of the load
        }
        state.ResumeTiming();
    }
    state.counters["seconds"] = seconds;
    state.counters["mem_growth"] = growth;
}
void BM_LoadFile(benchmark::State& state)
{
    LoadFile(state, LoadFilePath(), static_cast<int>(state.range(0)), false);
}
BENCHMARK(BM_LoadFile)->Name("LoadFile")->Arg(-1)->Arg(4)->Iterations(1)->Unit(benchmark::kMillisecond);

// 0: the text in UTF-8 (about 5 % larger); 1: ASCII alone, which is looked
// at whole before it loads in code page 1250.
void BM_LoadFileUtf8(benchmark::State& state)
{
    const int kind = static_cast<int>(state.range(0));
    LoadFile(state, Utf8FilePath(kind), -1, kind == 0);
}
BENCHMARK(BM_LoadFileUtf8)->Name("LoadFileUtf8")->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);

class CountingView : public IEdtBufferListener
{
public:
    void UpdateView(IEdtBufferListener*, const UpdateContext*, uint32_t, int) override { ++count; }
    long count = 0;
};

uint64_t TextHash(const CEdtTextBuffer& b)
{
    uint64_t h = 1469598103934665603ull;
    auto mix = [&h](uint32_t v) {
        h ^= v;
        h *= 1099511628211ull;
    };
    for (int l = 0; l < b.GetLineCount(); ++l) {
        const char16_t* p = b.GetLineChars(l);
        for (int i = 0, n = b.GetLineLength(l); i < n; ++i)
            mix(p[i]);
        mix(0x10000);  // line end
    }
    return h;
}

void BM_RandomEdits(benchmark::State& state)
{
    std::mt19937 gen(4711);
    std::string path = BenchDir() + "/edits.txt";
    {
        std::uniform_int_distribution<int> len(0, 80);
        std::uniform_int_distribution<int> ch(0x20, 0x7E);
        std::string data;
        for (int l = 0, n = bench::Size(1000000, 5000); l < n; ++l) {
            if (l > 0)
                data += "\r\n";
            for (int i = len(gen); i > 0; --i)
                data += static_cast<char>(ch(gen));
        }
        std::ofstream f(path, std::ios::binary | std::ios::trunc);
        f.write(data.data(), static_cast<std::streamsize>(data.size()));
    }
    CEdtTextBuffer b;
    if (!b.LoadFromFile(U16(path))) {
        state.SkipWithError("set-up load failed");
        return;
    }
    CountingView view;
    b.AddView(&view);
    const uint64_t original = TextHash(b);
    const std::u16string letters = u"abcdefghijklmnopqrstuvwxyz0123456789";

    double editMs = 0;
    double undoMs = 0;
    for (auto _ : state) {
        std::uniform_int_distribution<int> kindOf(0, 3);
        std::uniform_int_distribution<int> count(1, 8);
        std::uniform_int_distribution<int> letter(0, static_cast<int>(letters.size()) - 1);
        auto pick = [&gen](int n) { return std::uniform_int_distribution<int>(0, n)(gen); };
        int done = 0;
        auto t0 = std::chrono::steady_clock::now();
        while (done < 1000) {
            int lines = b.GetLineCount();
            int line = pick(lines - 1);
            int len = b.GetLineLength(line);
            int el = 0;
            int ec = 0;
            bool ok = false;
            switch (kindOf(gen)) {
            case 0: {  // insert 1-8 characters inside a line
                std::u16string t;
                for (int i = count(gen); i > 0; --i)
                    t += letters[static_cast<size_t>(letter(gen))];
                ok = b.InsertText(&view, line, pick(len), t, el, ec, EDT_ACTION_TYPING);
                break;
            }
            case 1: {  // delete 1-8 characters inside a line
                int n = std::min(count(gen), len);
                if (n == 0)
                    continue;
                int at = pick(len - n);
                ok = b.DeleteText(&view, line, at, line, at + n, EDT_ACTION_DELETE);
                break;
            }
            case 2:  // insert a text holding one CR LF
                ok = b.InsertText(&view, line, pick(len), u"ab\r\ncd", el, ec, EDT_ACTION_PASTE);
                break;
            default:  // delete from inside a line to inside the next
                if (line + 1 >= lines)
                    continue;
                ok = b.DeleteText(&view, line, pick(len), line + 1, pick(b.GetLineLength(line + 1)),
                                  EDT_ACTION_DELETE);
                break;
            }
            if (!ok) {
                state.SkipWithError("edit failed");
                return;
            }
            ++done;
        }
        auto t1 = std::chrono::steady_clock::now();
        EdtPoint caret;
        int undone = 0;
        while (b.Undo(caret))
            ++undone;
        auto t2 = std::chrono::steady_clock::now();
        editMs = std::chrono::duration<double, std::milli>(t1 - t0).count();
        undoMs = std::chrono::duration<double, std::milli>(t2 - t1).count();
        state.PauseTiming();
        if (undone != 1000 || TextHash(b) != original) {
            state.SkipWithError("the text after undoing every edit differs from the original");
            return;
        }
        state.ResumeTiming();
    }
    state.counters["edit_ms"] = editMs;
    state.counters["undo_ms"] = undoMs;
    state.counters["notifications"] = static_cast<double>(view.count);
    b.RemoveView(&view);
}
BENCHMARK(BM_RandomEdits)->Name("RandomEdits")->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
