// Registration with the user's desktop at start-up: the desktop entry, the
// MIME description and the icon under a temporary XDG_DATA_HOME, written
// once and left alone while current; a data folder that cannot be written;
// unattended runs; and what the desktop's own tools answer afterwards.

#include "AppTest.h"

#include "app/DesktopRegistration.h"
#include "mainwnd/OutputCtrl.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

namespace {

struct Stamp
{
    ino_t inode = 0;
    timespec mtime{};
    bool operator==(const Stamp& o) const
    {
        return inode == o.inode && mtime.tv_sec == o.mtime.tv_sec &&
               mtime.tv_nsec == o.mtime.tv_nsec;
    }
};

Stamp StampOf(const std::string& path)
{
    struct stat st
    {
    };
    if (::stat(path.c_str(), &st) != 0)
        return {};
    return {st.st_ino, st.st_mtim};
}

bool Traced(const std::string& step)
{
    const auto& t = core::StartupTrace();
    return std::find(t.begin(), t.end(), step) != t.end();
}

// Runs a desktop tool with the test's environment; its standard output.
QString RunTool(const QString& tool, const QStringList& args)
{
    QProcess p;
    p.start(tool, args);
    if (!p.waitForFinished(20000))
        return QStringLiteral("<timeout>");
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

class DesktopTest : public AppTest
{
protected:
    std::string File(const char* name) const { return data.Path() + "/" + name; }
    std::string Read(const char* name) const
    {
        QFile f(QString::fromStdString(File(name)));
        return f.open(QIODevice::ReadOnly) ? f.readAll().toStdString() : std::string();
    }
};

} // namespace

TEST(DesktopEntry, ExecNamesTheProgramQuotedByTheEntryRules)
{
    EXPECT_EQ(desktop::ExecArgument(QStringLiteral("/usr/bin/strandwork")),
              QStringLiteral("/usr/bin/strandwork"));
    // A reserved character quotes the whole argument; inside the quotes
    // '"', '`', '$' and '\' get a backslash, and the string value doubles
    // every backslash again; '%' is doubled.
    EXPECT_EQ(desktop::ExecArgument(QStringLiteral("/home/Jan Novák/bin/strandwork")),
              QStringLiteral("\"/home/Jan Novák/bin/strandwork\""));
    EXPECT_EQ(desktop::ExecArgument(QStringLiteral("/o$t/a\"b/c`d/e\\f/100%/sw")),
              QStringLiteral("\"/o\\\\$t/a\\\\\"b/c\\\\`d/e\\\\\\\\f/100%%/sw\""));
    const QByteArray entry = desktop::DesktopEntry(QStringLiteral("/opt/s w/strandwork"));
    EXPECT_TRUE(entry.contains("\nExec=\"/opt/s w/strandwork\" %f\n")) << entry.toStdString();
    EXPECT_TRUE(entry.contains(
        "MimeType=application/x-strandwork-project;application/x-strandwork-workspace;"
        "text/x-strandwork-plc;\n"));
    const QByteArray mime = desktop::MimeDescription();
    for (const char* glob : {"*.kxp", "*.kxw", "*.plc"})
        EXPECT_TRUE(mime.contains(QByteArray("<glob pattern=\"") + glob + "\"/>")) << glob;
    for (const char* other : {"*.txt", "*.bin", "*.inc"})
        EXPECT_FALSE(mime.contains(other)) << other;
    EXPECT_TRUE(desktop::IconSvg().startsWith("<svg"));
}

TEST_F(DesktopTest, StartUpWritesTheFilesOnceAndLeavesThemWhileCurrent)
{
    ASSERT_TRUE(Start({}));
    EXPECT_TRUE(Traced("RegisterFileTypes"));
    const QString program = QCoreApplication::applicationFilePath();
    const std::string entry = Read("applications/strandwork.desktop");
    EXPECT_NE(entry.find("\nExec=" + desktop::ExecArgument(program).toStdString() + " %f\n"),
              std::string::npos)
        << entry;
    EXPECT_EQ(entry, desktop::DesktopEntry(program).toStdString());
    EXPECT_EQ(Read("mime/packages/strandwork.xml"), desktop::MimeDescription().toStdString());
    EXPECT_EQ(Read("icons/hicolor/scalable/apps/strandwork.svg"), desktop::IconSvg().toStdString());
    if (!QStandardPaths::findExecutable(QStringLiteral("update-mime-database")).isEmpty()) {
        EXPECT_TRUE(QFileInfo::exists(QString::fromStdString(File("mime/mime.cache"))));
    }
    if (!QStandardPaths::findExecutable(QStringLiteral("update-desktop-database")).isEmpty()) {
        EXPECT_NE(Read("applications/mimeinfo.cache")
                      .find("application/x-strandwork-project=strandwork.desktop"),
                  std::string::npos);
    }

    const char* files[] = {desktop::kEntryFile, desktop::kMimeFile, desktop::kIconFile,
                           "mime/mime.cache"};
    std::vector<Stamp> before;
    for (const char* f : files)
        before.push_back(StampOf(File(f)));
    app.reset();
    ASSERT_TRUE(Start({}));
    for (size_t i = 0; i < std::size(files); ++i)
        EXPECT_TRUE(StampOf(File(files[i])) == before[i]) << files[i] << " was written again";
    EXPECT_EQ(desktop::Register(program, QString::fromStdString(data.Path()), {}).kind,
              desktop::Outcome::Current);

    // An outdated entry (another program's path) is replaced.
    {
        QFile f(QString::fromStdString(File(desktop::kEntryFile)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("[Desktop Entry]\nExec=/old/strandwork %f\n");
    }
    const desktop::Outcome r = desktop::Register(program, QString::fromStdString(data.Path()), {});
    EXPECT_EQ(r.kind, desktop::Outcome::Written);
    EXPECT_EQ(Read("applications/strandwork.desktop"), entry);
    EXPECT_TRUE(StampOf(File(desktop::kMimeFile)) == before[1]);
}

TEST_F(DesktopTest, ASystemWideEntryOfTheSameContentIsEnough)
{
    testsupport::TempDir system;
    const QString program = QStringLiteral("/usr/bin/strandwork");
    system.Write(desktop::kEntryFile, desktop::DesktopEntry(program).toStdString());
    system.Write(desktop::kMimeFile, desktop::MimeDescription().toStdString());
    const QString home = QString::fromStdString(data.Path());
    EXPECT_EQ(desktop::Register(program, home, {QString::fromStdString(system.Path())}).kind,
              desktop::Outcome::SystemWide);
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(File(desktop::kEntryFile))));
    // Another program's system entry does not stand for this one.
    EXPECT_EQ(desktop::Register(QStringLiteral("/opt/sw/strandwork"), home,
                                {QString::fromStdString(system.Path())})
                  .kind,
              desktop::Outcome::Written);
}

TEST_F(DesktopTest, AFolderThatCannotBeWrittenGivesALineAndStartUpGoesOn)
{
    // A file where the data folder would be: nothing below it can be made.
    dir.Write("blocked", "a file");
    ::setenv("XDG_DATA_HOME", (dir / "blocked/share").c_str(), 1);
    ASSERT_TRUE(Start({}));
    EXPECT_TRUE(Traced("RegisterFileTypes skipped"));
    EXPECT_TRUE(Traced("ShowWindow"));
    const QString out = app->OutputControl()->Text();
    EXPECT_TRUE(out.startsWith(
        QStringLiteral("Registrace typů souborů v prostředí pracovní plochy přeskočena: ")))
        << out.toStdString();
    EXPECT_TRUE(out.contains(Q(dir / "blocked/share/icons/hicolor/scalable/apps")))
        << out.toStdString();
    EXPECT_EQ(dir.Read("blocked"), "a file");

    // A read-only data folder (root writes anyway: checked as another user).
    if (::geteuid() != 0) {
        app.reset();
        core::ClearStartupTrace();
        ::mkdir((dir / "ro").c_str(), 0555);
        ::setenv("XDG_DATA_HOME", (dir / "ro").c_str(), 1);
        ASSERT_TRUE(Start({}));
        EXPECT_TRUE(Traced("RegisterFileTypes skipped"));
        EXPECT_TRUE(app->OutputControl()->Text().contains(Q(dir / "ro")))
            << app->OutputControl()->Text().toStdString();
        ::chmod((dir / "ro").c_str(), 0755);
    }
}

TEST_F(DesktopTest, UnattendedRunsRegisterNothing)
{
    const std::string kxp = WriteProject();
    ASSERT_TRUE(Start({QStringLiteral("-Make"), Q(kxp)}));
    EXPECT_FALSE(Traced("RegisterFileTypes"));
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(File(desktop::kEntryFile))));
}

// What the desktop's tools make of the registration: the content type of a
// project file and the program that opens it.
TEST_F(DesktopTest, TheDesktopToolsKnowTheTypesAndTheEntry)
{
    ASSERT_TRUE(Start({}));
    dir.Write("Project.kxp", "x");
    dir.Write("Osa.plc", "LOD Poloha\r\n");
    const QString xdgMime = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (xdgMime.isEmpty())
        GTEST_SKIP() << "xdg-mime is not installed (xdg-utils)";
    for (const char* type : {desktop::kProjectType, desktop::kWorkspaceType, desktop::kPlcType})
        EXPECT_EQ(RunTool(xdgMime, {QStringLiteral("query"), QStringLiteral("default"),
                                    QString::fromLatin1(type)}),
                  QStringLiteral("strandwork.desktop"))
            << type;
    // (Its "query filetype" asks the file contents alone outside a known
    // desktop, so the content type is gio's to tell.)
    const QString gio = QStandardPaths::findExecutable(QStringLiteral("gio"));
    if (gio.isEmpty())
        GTEST_SKIP() << "gio is not installed (libglib2.0-bin)";
    for (const auto& [file, type] :
         {std::pair{"Project.kxp", desktop::kProjectType}, {"Osa.plc", desktop::kPlcType}})
        EXPECT_TRUE(
            RunTool(gio, {QStringLiteral("info"), QStringLiteral("-a"),
                          QStringLiteral("standard::content-type"), Q(dir / file)})
                .endsWith(QStringLiteral("standard::content-type: ") + QString::fromLatin1(type)))
            << file;
}
