// The command line: switches, flags, file names.

#include "app/AppCommandLineInfo.h"

#include <gtest/gtest.h>

namespace {

struct Case
{
    QStringList args;
    bool build, make, check;
    QString file;
    CAppCommandLineInfo::ShellCommand shell;
    int warnings;
};

TEST(AppCommandLine, Table)
{
    using C = CAppCommandLineInfo;
    const Case cases[] = {
        {{}, false, false, false, {}, C::FileNew, 0},
        {{"-Build", "p.kxp"}, true, false, false, "p.kxp", C::FileOpen, 0},
        {{"p.kxp", "-Build"}, true, false, false, "p.kxp", C::FileOpen, 0},
        {{"--Make", "/home/u/p.kxp"}, false, true, false, "/home/u/p.kxp", C::FileOpen, 0},
        {{"-Build", "-Make", "p.kxp"}, true, true, false, "p.kxp", C::FileOpen, 0},
        {{"-CheckTarvaneVer", "p.kxp"}, false, false, true, "p.kxp", C::FileOpen, 0},
        // Lower case is no switch: an unknown flag, and the file opens.
        {{"-build", "p.kxp"}, false, false, false, "p.kxp", C::FileOpen, 1},
        // Without a dash "Build" is the file name.
        {{"Build", "p.kxp"}, false, false, false, "Build", C::FileOpen, 1},
        // "/" starts a path, not a flag.
        {{"/Build"}, false, false, false, "/Build", C::FileOpen, 0},
        {{"-Build"}, true, false, false, {}, C::FileNew, 0},
        {{"-", "--"}, false, false, false, {}, C::FileNew, 2},
        {{"a.txt", "b.txt", "c.txt"}, false, false, false, "a.txt", C::FileOpen, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        CAppCommandLineInfo info;
        info.Parse(c.args);
        EXPECT_EQ(info.Build, c.build);
        EXPECT_EQ(info.Make, c.make);
        EXPECT_EQ(info.CheckTarvaneVer, c.check);
        EXPECT_EQ(info.m_strFileName, c.file);
        EXPECT_EQ(info.m_nShellCommand, c.shell);
        EXPECT_EQ(info.m_warnings.size(), c.warnings);
    }
}

} // namespace
