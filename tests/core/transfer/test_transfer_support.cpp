// The support files: only transfer types 2 to 6 take part.
#include "TransferTest.h"

using namespace transfertest;

TEST_F(TransferTest, SupportFiles)
{
    StartSimulator();
    Open("ok");
    auto& list = doc->Data().SupportFiles;
    list = {{u"a.txt", u"a.txt", u"\\DATA\\a.txt", 0, 0, 0}, {u"b.txt", u"b.txt", u"\\DATA\\b.txt", 0, 1, 0}};
    // Only "Nikdy" and "Ručně": nothing to do, no connection.
    EXPECT_TRUE(doc->TransferSupportFiles());
    EXPECT_FALSE(doc->Link().IsOpen());
    EXPECT_EQ(Out(), "");

    // One of type 5 (a bare name under the project folder) and one of type 0.
    dir.Write("a.txt", "send me");
    dir.Write("b.txt", "keep me");
    list[0].TransferType = 5;
    EXPECT_TRUE(doc->TransferSupportFiles()) << Out();
    EXPECT_EQ(ReadAll(remote / "DATA/a.txt"), "send me");
    EXPECT_FALSE(sys::FileExists(remote / "DATA/b.txt"));
}
