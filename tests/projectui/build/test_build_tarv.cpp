// The stand-in compiler's outputs agree with each other: the map's
// variables, the listing's "D" lines and the program modules of the PLC
// image, read with our own map and listing readers and the image check.
#include "core/compout/ListingFile.h"
#include "core/compout/MapFile.h"
#include "plcviews/PlcViewLogic.h"
#include "projectui/StrandworkDoc.h"
#include "platform/sys/CodePage.h"
#include "tests/support/platform/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct ProgramModule
{
    std::vector<uint32_t> lines;
    struct Var
    {
        uint16_t area;
        uint32_t address;
        uint16_t size;
        bool operator==(const Var&) const = default;
    };
    std::vector<Var> vars;
    int modules = 0;
};

uint32_t U(const std::string& s, size_t at, int n)
{
    uint32_t v = 0;
    for (int i = n - 1; i >= 0; --i)
        v = v << 8 | static_cast<unsigned char>(s[at + size_t(i)]);
    return v;
}

// Walks the image and gathers every "TARVPRG1" module in image order.
ProgramModule ReadProgram(const std::string& image)
{
    ProgramModule p;
    size_t pos = 0;
    while (pos + 32 < image.size() && static_cast<unsigned char>(image[pos + 6]) == 6) {
        const size_t len = U(image, pos + 24, 2);
        if (U(image, pos + 4, 2) == 0xA500 && image.compare(pos + 32, 8, "TARVPRG1") == 0) {
            ++p.modules;
            size_t at = pos + 40;
            const uint32_t nl = U(image, at, 4);
            at += 4;
            for (uint32_t i = 0; i < nl; ++i, at += 4)
                p.lines.push_back(U(image, at, 4));
            const uint32_t nv = U(image, at, 4);
            at += 4;
            for (uint32_t i = 0; i < nv; ++i, at += 8)
                p.vars.push_back({uint16_t(U(image, at, 2)), U(image, at + 2, 4),
                                  uint16_t(U(image, at + 6, 2))});
            EXPECT_EQ(at, pos + 32 + len);
        }
        pos += U(image, pos + 12, 2);
    }
    return p;
}

std::string ReadAll(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

struct Tarv : ::testing::Test
{
    testsupport::TempDir dir;

    int Build(const std::string& main, const std::string& second)
    {
        dir.Write("Main.plc", main);
        dir.Write("src/Io.plc", second);
        const std::string p = dir.Path() + "/";
        dir.Write("Make.knf", "  Target\t= Haldor\r\n  FilePlc\t= Main.plc\r\n"
                              "  FilePlcExt\t= src\\Io.plc\r\n  PathUser\t= " + p +
                                  "\r\n  PathOutput\t= " + p + "Output\\\r\n  PathTemp\t= " + p +
                                  "Temp\\\r\n  PathLst\t= " + p + "Temp\\\r\n  PathMap\t= " + p +
                                  "Temp\\\r\n  FileMP2\t= LOD_KAP.MP2\r\n"
                                  "  PlcOutputName\t= PLC.BIN\r\n");
        const std::string tarv =
            std::string(std::getenv("SW_TARVANE")) + "/Pelmar0632/System/Tarv";
        const std::string quiet = " > " + dir / "out.txt";
        const int rc = std::system(("'" + tarv + "' '" + dir / "Make.knf" + "' '" +
                                    dir / "Make.bat" + "'" + quiet)
                                       .c_str());
        if (rc != 0 || dir.Read("out.txt").find("$ReturnVal 0$") == std::string::npos)
            return 1;
        return std::system(("'" + tarv + "' --link '" + dir / "Make.knf" + "'" + quiet).c_str());
    }
};

TEST_F(Tarv, MapListingAndProgramModuleAgree)
{
    ASSERT_EQ(Build("; test\r\n#tarv-symbol Count WORD 2\r\n#tarv-symbol Flag\r\n"
                    "        LD Count\r\nMECH_BEGIN Osa\r\n        ST Flag\r\nMECH_END Osa\r\n"
                    "\r\n   ; comment\r\n        NOP\r\n",
                    "#tarv-symbol Big qword 2\r\n  ADD Big\r\n#tarv-symbol Level REAL\r\n#tarv-symbol After\r\n"),
              0)
        << dir.Read("out.txt");

    compout::CMapFile map;
    ASSERT_TRUE(map.Load(sys::Utf8ToUtf16Lenient(dir / "Temp/LOD_KAP.MP2")));
    compout::CListingFile listing;
    ASSERT_TRUE(listing.Load(map, sys::Utf8ToUtf16Lenient(dir / "Temp/Main.LS1")))
        << listing.GetLoadError().reason;

    // Variables are laid out per area from 100H by the size the program
    // reads and writes (a REAL 8 bytes: with 4, a REAL written changed the
    // variable after it); the mechanism carries its number as selector.
    const auto& syms = map.GetSymbols().entries;
    ASSERT_EQ(syms.size(), 6u);
    std::vector<ProgramModule::Var> mapVars;
    for (const auto& e : syms)
        if (e.type != compout::kTypeMech)
            mapVars.push_back({e.selector, e.address, plcview::TypeSize(e.type)});
    EXPECT_EQ(mapVars, (std::vector<ProgramModule::Var>{
                           {2, 0x100, 2}, {1, 0x100, 1}, {2, 0x102, 8}, {1, 0x101, 8}, {1, 0x109, 1}}));
    const auto* osa = map.FindName(u"Osa");
    ASSERT_TRUE(osa);
    EXPECT_EQ(osa->type, compout::kTypeMech);
    EXPECT_EQ(osa->selector, 1);

    std::vector<uint32_t> dLines;
    for (uint32_t n = 1; n <= listing.GetLineCount(); ++n)
        if (listing.GetLine(n)->kind == compout::kLineD)
            dLines.push_back(n);
    EXPECT_EQ(dLines, (std::vector<uint32_t>{4, 6, 10, 12}));
    ASSERT_TRUE(listing.GetLine(6)->mechanism);

    const std::string image = dir.Read("Output/PLC.BIN");
    uint32_t length = 0;
    uint16_t sum = 0;
    ASSERT_TRUE(CStrandworkDoc::CheckPlcImage(reinterpret_cast<const uint8_t*>(image.data()),
                                              uint32_t(image.size()), length, sum));
    const ProgramModule prg = ReadProgram(image);
    EXPECT_EQ(prg.modules, 1);
    EXPECT_EQ(prg.lines, dLines);
    EXPECT_EQ(prg.vars, mapVars);
    // The module is counted like any other: 3 modules' payloads.
    EXPECT_EQ(length, image.size() - 3 * 32 - 8);
}

TEST_F(Tarv, LongProgramContinuesInFurtherModules)
{
    std::string main = "#tarv-symbol A DWORD\r\n";
    for (int i = 0; i < 20000; ++i)
        main += "  NOP\r\n";
    ASSERT_EQ(Build(main, "#tarv-symbol B\r\n"), 0) << dir.Read("out.txt");
    const ProgramModule prg = ReadProgram(dir.Read("Output/PLC.BIN"));
    EXPECT_EQ(prg.modules, 2);
    ASSERT_EQ(prg.lines.size(), 20000u);
    EXPECT_EQ(prg.lines.front(), 2u);
    EXPECT_EQ(prg.lines.back(), 20001u);
    EXPECT_EQ(prg.vars, (std::vector<ProgramModule::Var>{{1, 0x100, 4}, {1, 0x104, 1}}));
}

// "NAME: DS TYPE [AREA]", the PLC language's declaration, is a variable as
// "#tarv-symbol" is, and no executable line.
TEST_F(Tarv, DsDeclarationsAreVariables)
{
    ASSERT_EQ(Build("Poloha: DS WORD ; axis\r\n  krok:ds byte 3\r\nFlag: DS\r\n  LOD Poloha\r\nNext: LOD Poloha\r\n"
                    "DSX: DS\r\n",
                    ""),
              0)
        << dir.Read("out.txt");
    compout::CMapFile map;
    ASSERT_TRUE(map.Load(sys::Utf8ToUtf16Lenient(dir / "Temp/LOD_KAP.MP2")));
    const auto* poloha = map.FindName(u"Poloha");
    ASSERT_TRUE(poloha);
    EXPECT_EQ(poloha->type, compout::kTypeWord);
    EXPECT_EQ(poloha->selector, 1);
    const auto* krok = map.FindName(u"krok");
    ASSERT_TRUE(krok);
    EXPECT_EQ(krok->type, compout::kTypeByte);
    EXPECT_EQ(krok->selector, 3);
    ASSERT_TRUE(map.FindName(u"Flag"));
    ASSERT_TRUE(map.FindName(u"DSX"));
    // A label before an instruction is no declaration.
    EXPECT_FALSE(map.FindName(u"Next"));
    const ProgramModule prg = ReadProgram(dir.Read("Output/PLC.BIN"));
    EXPECT_EQ(prg.lines, (std::vector<uint32_t>{4, 5}));
    EXPECT_EQ(prg.vars.size(), 4u);

    EXPECT_NE(Build("Poloha: DS LONG\r\n", ""), 0);
    EXPECT_NE(dir.Read("out.txt").find("error T1002"), std::string::npos);
}

// The sample program of the README's "Try it" builds, with its two
// variables and its six instruction lines.
TEST_F(Tarv, TheReadmeSampleBuilds)
{
    const std::string readme = ReadAll(std::string(std::getenv("SW_SOURCE_DIR")) + "/README.md");
    const size_t start = readme.find("   ; axis counter\n");
    ASSERT_NE(start, std::string::npos);
    const size_t end = readme.find("   ```", start);
    ASSERT_NE(end, std::string::npos);
    std::string sample;
    for (size_t at = start; at < end;) {
        const size_t nl = readme.find('\n', at);
        sample += readme.substr(at + 3, nl - at - 3) + "\r\n";
        at = nl + 1;
    }
    ASSERT_EQ(Build(sample, ""), 0) << dir.Read("out.txt") << sample;
    compout::CMapFile map;
    ASSERT_TRUE(map.Load(sys::Utf8ToUtf16Lenient(dir / "Temp/LOD_KAP.MP2")));
    EXPECT_EQ(map.GetSymbols().entries.size(), 2u);
    ASSERT_TRUE(map.FindName(u"Poloha"));
    EXPECT_EQ(map.FindName(u"Poloha")->type, compout::kTypeWord);
    ASSERT_TRUE(map.FindName(u"Krok"));
    EXPECT_EQ(map.FindName(u"Krok")->type, compout::kTypeByte);
    EXPECT_EQ(ReadProgram(dir.Read("Output/PLC.BIN")).lines, (std::vector<uint32_t>{4, 5, 6, 7, 8, 9}));
}

TEST_F(Tarv, BadDeclarationFailsTheCompile)
{
    EXPECT_NE(Build("#tarv-symbol X LONG\r\n", ""), 0);
    EXPECT_NE(dir.Read("out.txt").find("error T1002"), std::string::npos);
    EXPECT_NE(Build("#tarv-symbol X WORD 16\r\n", ""), 0);
}

} // namespace
