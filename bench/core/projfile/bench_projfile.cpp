// Writing and reading a large project and workspace file in memory: 1,000
// source files, 500 headers, 500 support files, 20 watch pages of 50
// variables and 200 open documents.
#include "core/projfile/ProjectFormat.h"
#include "core/projfile/Workspace.h"

#include <benchmark/benchmark.h>

using namespace core;

namespace {

std::u16string N(const char16_t* prefix, int i)
{
    std::u16string s = prefix;
    for (char c : std::to_string(i))
        s.push_back(char16_t(c));
    return s;
}

ProjectData BigProject()
{
    ProjectData d;
    SetProjectDefaults(d, 1'100'000'000);
    for (int i = 0; i < 1000; ++i)
        d.SourceFiles.push_back({N(u"Zdroj", i) + u".plc", N(u"src\\Zdroj", i) + u".plc"});
    for (int i = 0; i < 500; ++i)
        d.HeaderFiles.push_back({N(u"Hlavička", i) + u".inc", N(u"inc\\Hlavička", i) + u".inc"});
    for (int i = 0; i < 500; ++i)
        d.SupportFiles.push_back({N(u"s", i), N(u"data\\s", i), N(u"\\PLC\\s", i), i, 1, 0});
    d.WatchPlaques.clear();
    for (int p = 0; p < 20; ++p) {
        WatchPlaque page{N(u"Plaketa ", p), {}};
        for (int v = 0; v < 50; ++v)
            page.VarNames.push_back(N(u"Var", v));
        d.WatchPlaques.push_back(std::move(page));
    }
    return d;
}

WorkspaceDocuments BigDocs()
{
    WorkspaceDocuments docs;
    for (int i = 0; i < 200; ++i) {
        WorkspaceFrame f;
        f.columns = 2;
        f.rows = 2;
        f.carets = {{1, 2}, {3, 4}, {5, 6}, {7, 8}};
        docs.lists[i % 4].push_back({{}, N(u"/home/u/proj/src/Zdroj", i) + u".plc", {f}});
    }
    return docs;
}

void BM_WriteProject(benchmark::State& state)
{
    ProjectData d = BigProject();
    WorkspaceDocuments docs = BigDocs();
    size_t bytes = 0;
    for (auto _ : state) {
        KxpArchive ar(true, u"/home/u/proj/Lis.kxp");
        WriteProjectHeader(ar, 6);
        WriteProjectBodyV6(ar, d);
        KxpArchive ws(true, u"/home/u/proj/Lis.kxw");
        WriteWorkspace(ws, d, docs, 6, u"/home/u/proj/");
        bytes = ar.Bytes().size() + ws.Bytes().size();
        benchmark::DoNotOptimize(bytes);
    }
    state.SetBytesProcessed(int64_t(state.iterations() * bytes));
}
BENCHMARK(BM_WriteProject);

void BM_ReadProject(benchmark::State& state)
{
    ProjectData d = BigProject();
    KxpArchive ar(true, u"/home/u/proj/Lis.kxp");
    WriteProjectHeader(ar, 6);
    WriteProjectBodyV6(ar, d);
    KxpArchive ws(true, u"/home/u/proj/Lis.kxw");
    WriteWorkspace(ws, d, BigDocs(), 6, u"/home/u/proj/");
    for (auto _ : state) {
        ProjectData back;
        SetProjectDefaults(back, 0);
        KxpArchive in(false, u"/home/u/proj/Lis.kxp", ar.Bytes());
        ReadProjectHeader(in);
        ReadProjectBodyV6(in, back, 0);
        KxpArchive win(false, u"/home/u/proj/Lis.kxw", ws.Bytes());
        WorkspaceDocuments docs;
        ReadWorkspace(win, back, docs, 6, u"/home/u/proj/");
        benchmark::DoNotOptimize(back.SourceFiles.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations() * (ar.Bytes().size() + ws.Bytes().size())));
}
BENCHMARK(BM_ReadProject);

} // namespace
