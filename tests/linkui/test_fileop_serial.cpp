// The file-operation engine over a pseudo-terminal pair.
#include "linkui_env.h"

#include "link/ui/FileOpEngine.h"

using namespace linkuitest;
using linkui::FileOpEngine;

namespace {
class Serial : public SimFixture
{
protected:
    void SetUp() override { Open(true); }
};
} // namespace

TEST_F(Serial, OneCopyEachWay)
{
    WriteFile(local / "out/a.bin", Pattern(20000, 1));
    WriteFile(share / "in/b.bin", Pattern(15000, 2));
    Lines lines;
    std::vector<std::u16string> a{u"a.bin"}, b{u"b.bin"};
    {
        FileOpEngine e;
        e.SetupCopy(fc, W(local / "out"), u"\\DATA\\", a.data(), nullptr, 1, &lines, &Lines::Callback);
        e.Start();
        ASSERT_TRUE(WaitFor([&] { return e.Ended(); }, 60000, "the operation"));
        EXPECT_TRUE(e.Succeeded()) << lines.All();
    }
    {
        FileOpEngine e;
        e.SetupCopy(fc, u"\\DATA\\in", W(local / "out"), b.data(), nullptr, 1, &lines, &Lines::Callback);
        e.Start();
        ASSERT_TRUE(WaitFor([&] { return e.Ended(); }, 60000, "the operation"));
        EXPECT_TRUE(e.Succeeded()) << lines.All();
    }
    EXPECT_EQ(ReadFile(share / "a.bin"), Pattern(20000, 1));
    EXPECT_EQ(ReadFile(local / "out/b.bin"), Pattern(15000, 2));
}
