// The project document's debugging state and its jumps from a listing line
// to the source line, with the fixture map and listing of the PLC views.
#include "ProjectTest.h"

#include "core/projfile/ProjectFormat.h"
#include "link/linkobj/olnk_link.h"
#include "platform/ui/Beep.h"

#include <filesystem>

using doctest::DocTest;
using doctest::Q;

namespace {
std::string DebugFixture()
{
    const char* root = std::getenv("SW_FIXTURES");
    return std::string(root ? root : "tests/fixtures") + "/plcviews/project";
}

struct DebugTest : DocTest
{
    std::unique_ptr<CStrandworkDoc> doc = NewDoc();
    void SetUp() override
    {
        std::filesystem::copy(DebugFixture(), dir.Path(), std::filesystem::copy_options::recursive);
        doc->SetPathName(Q(dir / "Project.kxp"), false);
        doc->Data().SourceFiles = {{u"Main.plc", u"Main.plc"}, {u"Second.plc", u"src\\Second.plc"}};
        host.open = doc.get();
        ASSERT_TRUE(doc->MapFile().Load(Q(dir / "Main.map").toStdU16String()));
        ASSERT_TRUE(doc->ListingFile().Load(doc->MapFile(), Q(dir / "Main.LS1").toStdU16String()));
    }
};
} // namespace

TEST_F(DebugTest, EnterAndStopDebugging)
{
    EXPECT_FALSE(doc->IsDebugging());
    PlcStatusRecord status{};
    EXPECT_FALSE(doc->GetPlcStatus(status));  // unknown before the link reports
    EXPECT_EQ(status.length, 0);
    doc->EnterDebugging();
    EXPECT_TRUE(doc->IsDebugging());
    EXPECT_EQ(host.hints, std::vector<long>{HINT_DEBUG_STATE});
    doc->MechanismWatchSet().push_back({0x100, 3});
    EXPECT_TRUE(doc->StopDebugging());
    EXPECT_FALSE(doc->IsDebugging());
    EXPECT_EQ(host.hints, (std::vector<long>{HINT_DEBUG_STATE, HINT_DEBUG_STATE}));
    compout::SymbolInfo info;
    EXPECT_FALSE(doc->MapFile().FindSymbol(u"VARB", &info));  // the map is freed
    EXPECT_EQ(doc->ListingFile().GetLineCount(), 80u);        // the listing stays
}

TEST_F(DebugTest, ListingLineToSourceLine)
{
    doc->GoToListingLine(12);
    doc->GoToListingLine(47);  // "[SRC\SECOND.PLC]": matched by its last component
    ASSERT_EQ(host.shown.size(), 2u);
    EXPECT_EQ(host.shown[0], std::make_pair(Q(dir / "Main.plc"), 12));
    EXPECT_EQ(host.shown[1], std::make_pair(Q(dir / "src/Second.plc"), 7));
    // Unknown lines beep; a file the project does not list does nothing.
    const int beeps = ui::BeepCount();
    doc->GoToListingLine(0);
    doc->GoToListingLine(81);
    EXPECT_EQ(ui::BeepCount(), beeps + 2);
    doc->Data().SourceFiles.pop_back();
    doc->GoToListingLine(47);
    EXPECT_EQ(host.shown.size(), 2u);
    // No status: the current line goes nowhere.
    doc->GoToCurrentLine();
    EXPECT_EQ(host.shown.size(), 2u);
}
