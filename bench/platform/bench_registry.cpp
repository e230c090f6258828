// The registry store with 10,000 values (100 keys of 100 values of mixed
// types): loading the file and saving it.  Target: under 50 ms each.

#include "platform/sys/Registry.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace {

class StoreFile
{
public:
    StoreFile()
    {
        std::string tmpl = (std::filesystem::temp_directory_path() / "sw-bench-XXXXXX").string();
        if (!mkdtemp(tmpl.data()))
            throw std::runtime_error("mkdtemp failed");
        m_dir = tmpl;
        setenv("XDG_CONFIG_HOME", m_dir.c_str(), 1);
        sys::RegistryStore::Reset();
        for (int k = 0; k < 100; ++k) {
            std::u16string section = u"Bench\\Key" + Num(k);
            for (int v = 0; v < 100; ++v) {
                std::u16string name = u"Value" + Num(v);
                switch (v % 4) {
                case 0:
                    sys::Profile::WriteString(section, name,
                                              u"C:\\Program\\Tarvane\\Příklad " + Num(k * 100 + v));
                    break;
                case 1:
                    sys::Profile::WriteInt(section, name, k * 100 + v);
                    break;
                case 2: {
                    unsigned char data[48];
                    for (unsigned i = 0; i < sizeof data; ++i)
                        data[i] = static_cast<unsigned char>(i * 13 + v);
                    sys::Profile::WriteBinary(section, name, data, sizeof data);
                    break;
                }
                default:
                    sys::Profile::WriteString(section, name, u"");
                    break;
                }
            }
        }
        if (!sys::RegistryStore::Flush())
            throw std::runtime_error("the store could not be saved");
    }
    ~StoreFile()
    {
        sys::RegistryStore::Reset();
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }
    std::string Path() const { return sys::RegistryStore::FilePath(); }
    std::string Copy() const { return m_dir + "/copy.reg"; }

private:
    static std::u16string Num(int n)
    {
        std::string s = std::to_string(n);
        return std::u16string(s.begin(), s.end());
    }
    std::string m_dir;
};

StoreFile& File()
{
    static StoreFile file;
    return file;
}

void BM_RegistryLoad10000Values(benchmark::State& state)
{
    std::string path = File().Path();
    for (auto _ : state)
        benchmark::DoNotOptimize(sys::RegistryStore::LoadFrom(path));
    state.SetBytesProcessed(state.iterations() *
                            static_cast<int64_t>(std::filesystem::file_size(path)));
}
BENCHMARK(BM_RegistryLoad10000Values)->Unit(benchmark::kMillisecond);

void BM_RegistrySave10000Values(benchmark::State& state)
{
    if (!sys::RegistryStore::LoadFrom(File().Path())) {
        state.SkipWithError("load failed");
        return;
    }
    std::string copy = File().Copy();
    for (auto _ : state)
        benchmark::DoNotOptimize(sys::RegistryStore::SaveTo(copy));
    state.SetBytesProcessed(state.iterations() *
                            static_cast<int64_t>(std::filesystem::file_size(copy)));
}
BENCHMARK(BM_RegistrySave10000Values)->Unit(benchmark::kMillisecond);

} // namespace
