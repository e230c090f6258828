// The compiler files: fetched from "\Install\Tarvane" into "Pelmar%04u" of
// the compiler folder, visible only when complete.
#include "TransferTest.h"

using namespace transfertest;

namespace {
const char k7[] = "Nepodařilo se získat informace o revizi systému (Haldor)...\r\n";
const char k9[] = "Při přenosu souborů překladače Tarvane došlo k chybě...\r\n";
} // namespace

struct CompilerTest : TransferTest
{
    testsupport::TempDir compilers;
    void SetUp() override
    {
        StartSimulator();
        Open("ok");
        host.settings.PathTarvane = sys::Utf8ToUtf16Lenient(compilers.Path() + "/");
    }
    void Revision(uint32_t r)
    {
        cssim::PlcInfoEx ex = sim->plc().infoEx();
        ex.csRevision = r;
        sim->plc().setInfoEx(ex);
    }
};

TEST_F(CompilerTest, FetchedIntoTheOptionsFolder)
{
    EXPECT_TRUE(doc->TransferCompilerFiles()) << Out();
    EXPECT_EQ(ReadAll(compilers / "Pelmar0632/System/Tarv"), "compiler");
    EXPECT_EQ(ReadAll(compilers / "Pelmar0632/Include/plc.inc"), "header");
    EXPECT_FALSE(sys::FileExists(compilers / "Pelmar0632.part"));
    Revision(12345);
    EXPECT_TRUE(doc->TransferCompilerFiles()) << Out();
    EXPECT_EQ(ReadAll(compilers / "Pelmar12345/System/Tarv"), "compiler");
}

TEST_F(CompilerTest, AnAbortedCopyLeavesTheOldFolder)
{
    compilers.Write("Pelmar0632/System/Tarv", "installed");
    cssim::JobScript abort;
    abort.abortAfter = 0;
    sim->scriptJobs(abort);
    EXPECT_FALSE(doc->TransferCompilerFiles());
    EXPECT_TRUE(Has(k9)) << Out();
    EXPECT_EQ(ReadAll(compilers / "Pelmar0632/System/Tarv"), "installed");
    EXPECT_FALSE(sys::FileExists(compilers / "Pelmar0632.part"));
    // A complete copy replaces it.
    sim->clearJobScript();
    EXPECT_TRUE(doc->TransferCompilerFiles()) << Out();
    EXPECT_EQ(ReadAll(compilers / "Pelmar0632/System/Tarv"), "compiler");
    EXPECT_FALSE(sys::FileExists(compilers / "Pelmar0632.old"));
}

TEST_F(CompilerTest, RefusedWithoutRevisionOrFolder)
{
    // Only the basic information: string 8.
    cssim::PlcInfoEx ex = sim->plc().infoEx();
    ex.answer = 129;
    sim->plc().setInfoEx(ex);
    EXPECT_FALSE(doc->TransferCompilerFiles());
    EXPECT_TRUE(Has("Z připojeného systému není možné získat soubory překladače Tarvane...\r\n")) << Out();
    // An extended reply cut below the revision: string 7.
    ex.answer = 0;
    sim->plc().setInfoEx(ex);
    cssim::RequestScript cut;
    cut.data = Bytes{12, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    sim->scriptRequest(30, cut);
    host.sink.entries.clear();
    EXPECT_FALSE(doc->TransferCompilerFiles());
    EXPECT_EQ(Out(), k7);
    sim->clearRequestScript(30);
    // No compiler folder at all: string 9 and nothing copied.
    host.settings.PathTarvane.clear();
    host.sink.entries.clear();
    EXPECT_FALSE(doc->TransferCompilerFiles());
    EXPECT_EQ(Out(), k9);
    EXPECT_TRUE(std::filesystem::is_empty(compilers.Path()));
}
