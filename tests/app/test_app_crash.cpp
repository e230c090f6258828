// The crash reporter stand-in writes its report from the signal handler.

#include "app/CrashReporter.h"
#include "tests/support/platform/TempDir.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>

namespace {

int Callback() { return 1; }

TEST(AppCrashReport, SegmentationFaultWritesReport)
{
    testsupport::TempDir dir;
    ::setenv("XDG_STATE_HOME", dir.Path().c_str(), 1);
    crashreport::Handle* h = crashreport::Install(&Callback, u"crash-reports@strandwork.invalid",
                                                  u"Strandwork crash report", u"CSY");
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(crashreport::ReportFolder(), dir.Path() + "/ORNA/Strandwork/");
    EXPECT_TRUE(QDir(QString::fromStdString(crashreport::ReportFolder())).exists());
    EXPECT_EXIT(
        {
            crashreport::Install(&Callback, u"crash-reports@strandwork.invalid", u"Strandwork crash report",
                                 u"CSY");
            std::raise(SIGSEGV);
        },
        ::testing::KilledBySignal(SIGSEGV), "");
    const QStringList files =
        QDir(QString::fromStdString(crashreport::ReportFolder())).entryList({"crash-*.txt"}, QDir::Files);
    ASSERT_EQ(files.size(), 1);
    QFile f(QString::fromStdString(crashreport::ReportFolder()) + files[0]);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray text = f.readAll();
    EXPECT_TRUE(text.startsWith("Strandwork crash report\n"));
    EXPECT_TRUE(text.contains("signal: 11 SIGSEGV\n"));
    EXPECT_TRUE(text.contains("language: CSY\n"));
    EXPECT_TRUE(text.contains("address: crash-reports@strandwork.invalid\n"));
    EXPECT_TRUE(text.contains("\nbacktrace:\n"));
    ::unsetenv("XDG_STATE_HOME");
}

} // namespace
