// The copies a signal's end makes of the unsaved changes: a folder of its
// own per ending, never one of an earlier ending; one copy per document,
// named after its file (two files of one name told apart, a document
// without a file after its title), with the list of originals; a line per
// copy; a state folder that cannot be written names each copy and the
// cause and keeps nothing; the folders are told once.  A name too long for
// the program's path limit gets a shortened copy; the folder is on the list
// before any copy, so a state folder that fills up on the way leaves it
// told; two endings at once both land on the list; the message names a
// bounded number of folders and the count.

#include "app/RecoveryCopies.h"
#include "platform/sys/LastError.h"
#include "platform/sys/WinPath.h"
#include "platform/ui/Document.h"
#include "tests/support/platform/Mounts.h"
#include "tests/support/platform/TempDir.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// A document whose content is a line of text, written by the framework's
// own copy (serialised as a save serialises it).
class LineDoc : public ui::Document
{
public:
    LineDoc(const QString& path, const QByteArray& text) : m_text(text)
    {
        SetAutoDelete(false);
        if (path.startsWith(QLatin1Char('/')))
            SetPathName(path, false);
        else
            SetTitle(path);
        SetModifiedFlag(true);
    }
    void Serialize(ui::Archive& ar) override { ar.Write(m_text.constData(), m_text.size()); }

private:
    QByteArray m_text;
};

QString Q(const std::string& s) { return QString::fromStdString(s); }

std::string ReadFile(const std::string& path)
{
    QFile f(Q(path));
    return f.open(QIODevice::ReadOnly) ? f.readAll().toStdString() : std::string("(missing)");
}

std::vector<std::string> Entries(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// The one line of a copy that could not be kept: the original, where it
// was to go, the cause.
QStringList NotKept(const QString& original, const QString& where, int cause)
{
    return {QStringLiteral("strandwork: the unsaved changes of %1 could not be kept in %2: %3")
                .arg(original, where, QString::fromLocal8Bit(sys::ErrorText(uint32_t(cause))))};
}

} // namespace

TEST(RecoveryCopies, EachEndingKeepsEveryDocumentInAFolderOfItsOwn)
{
    testsupport::TempDir state, work;
    LineDoc a(Q(work / "a/Main.plc"), "first\r\n"), b(Q(work / "b/Main.plc"), "second\r\n"),
        untitled(QStringLiteral("Bez názvu"), "typed");
    const recovery::Kept kept = recovery::KeepUnsaved(Q(state.Path()), {&a, &b, &untitled});
    ASSERT_FALSE(kept.folder.isEmpty()) << kept.lines.join('\n').toStdString();
    EXPECT_EQ(kept.written, 3);
    EXPECT_TRUE(kept.folder.startsWith(Q(state / "unsaved/")));
    const std::string folder = kept.folder.toStdString();
    EXPECT_EQ(Entries(folder), (std::vector<std::string>{"Bez názvu", "Main (2).plc", "Main.plc", "originals.txt"}));
    EXPECT_EQ(ReadFile(folder + "/Main.plc"), "first\r\n");
    EXPECT_EQ(ReadFile(folder + "/Main (2).plc"), "second\r\n");
    EXPECT_EQ(ReadFile(folder + "/Bez názvu"), "typed");
    EXPECT_EQ(ReadFile(folder + "/originals.txt"), "Main.plc\t" + (work / "a/Main.plc") + "\nMain (2).plc\t" +
                                                (work / "b/Main.plc") + "\nBez názvu\tBez názvu\n");
    EXPECT_EQ(kept.lines.value(1), QStringLiteral("strandwork: the unsaved changes of %1 are kept in %2")
                                       .arg(Q(work / "b/Main.plc"), Q(folder + "/Main (2).plc")));
    // The documents are as they were: modified, under their own paths.
    EXPECT_TRUE(a.IsModified());
    EXPECT_EQ(a.GetPathName(), Q(work / "a/Main.plc"));

    // A second ending (in the same second) gets a folder of its own; both
    // are told until they are forgotten.
    const recovery::Kept second = recovery::KeepUnsaved(Q(state.Path()), {&a});
    ASSERT_FALSE(second.folder.isEmpty());
    EXPECT_NE(second.folder, kept.folder);
    EXPECT_EQ(ReadFile(folder + "/Main.plc"), "first\r\n");
    EXPECT_EQ(recovery::Untold(Q(state.Path())), (QStringList{kept.folder, second.folder}));
    recovery::ForgetUntold(Q(state.Path()));
    EXPECT_TRUE(recovery::Untold(Q(state.Path())).isEmpty());
    EXPECT_TRUE(fs::exists(folder + "/Main.plc")); // the copies stay

    // Nothing modified: no folder.
    EXPECT_TRUE(recovery::KeepUnsaved(Q(state.Path()), {}).folder.isEmpty());
}

TEST(RecoveryCopies, AStateFolderThatCannotBeWrittenNamesEachCopyAndTheCause)
{
    testsupport::TempDir state, work;
    state.Write("unsaved", "a file where the folder goes");
    LineDoc a(Q(work / "Main.plc"), "typed");
    const recovery::Kept kept = recovery::KeepUnsaved(Q(state.Path()), {&a});
    EXPECT_TRUE(kept.folder.isEmpty());
    EXPECT_EQ(kept.written, 0);
    EXPECT_EQ(kept.lines, NotKept(Q(work / "Main.plc"), Q(state / "unsaved"), ENOTDIR));
    EXPECT_TRUE(recovery::Untold(Q(state.Path())).isEmpty());
    EXPECT_EQ(state.Read("unsaved"), "a file where the folder goes");
}

namespace {
// The copy a line names: "... are kept in <copy>".
std::string CopyOf(const QString& line)
{
    const QString marker = QStringLiteral(" are kept in ");
    const int at = line.indexOf(marker);
    return at < 0 ? std::string() : line.mid(at + marker.size()).toStdString();
}
} // namespace

TEST(RecoveryCopies, ADocumentWithALongNameGetsACopyUnderAShorterName)
{
    testsupport::TempDir root, work;
    // A state folder deep enough that the names are cut, at an even and at
    // an odd length (so a cut falls on either half of a character of two
    // UTF-16 units).
    for (const int depth : {100, 101}) {
        SCOPED_TRACE(depth);
        const std::string stateFolder = root / std::string(size_t(depth), 's');
        // Names up to what a file name may be (255 bytes), one with a
        // character of two UTF-16 units where the name is cut.
        const std::string longName(200, 'n');
        const std::string longest = std::string(251, 'm') + ".plc";
        std::string surrogates;
        for (int i = 0; i < 60; ++i)
            surrogates += "\xF0\x9F\x94\xA7"; // U+1F527, four bytes, two units
        surrogates += ".txt";
        LineDoc a(Q(work / (longName + ".txt")), "typed a\r\n"), b(Q(work / longest), "typed b\r\n"),
            c(Q(work / surrogates), "typed c\r\n"), d(Q(work / (longName + ".txt2")), "typed d\r\n");
        // The second of two names that are alike up to the cut.
        LineDoc a2(Q(work / (longName + "x.txt")), "typed a2\r\n");
        const recovery::Kept kept = recovery::KeepUnsaved(Q(stateFolder), {&a, &b, &c, &d, &a2});
        ASSERT_EQ(kept.written, 5) << kept.lines.join('\n').toStdString();
        ASSERT_EQ(kept.lines.size(), 5);
        const std::string folder = kept.folder.toStdString();
        const std::pair<LineDoc*, std::string> expected[] = {
            {&a, "typed a\r\n"}, {&b, "typed b\r\n"}, {&c, "typed c\r\n"}, {&d, "typed d\r\n"}, {&a2, "typed a2\r\n"}};
        std::string originals;
        for (int i = 0; i < 5; ++i) {
            SCOPED_TRACE(i);
            const std::string copy = CopyOf(kept.lines[i]);
            ASSERT_FALSE(copy.empty()) << kept.lines[i].toStdString();
            EXPECT_TRUE(kept.lines[i].startsWith(QStringLiteral("strandwork: the unsaved changes of ") +
                                                 expected[i].first->GetPathName()));
            EXPECT_EQ(ReadFile(copy), expected[i].second);
            EXPECT_LT(QString::fromStdString(copy).size(), qsizetype(sys::WinPath::kMaxPath));
            const std::string name = copy.substr(folder.size() + 1);
            EXPECT_NE(name.find('~'), std::string::npos) << name;
            originals += name + "\t" + expected[i].first->GetPathName().toStdString() + "\n";
        }
        // Short extensions stay; the cut never splits a character.
        EXPECT_EQ(CopyOf(kept.lines[0]).substr(CopyOf(kept.lines[0]).size() - 5), "~.txt");
        EXPECT_EQ(CopyOf(kept.lines[1]).substr(CopyOf(kept.lines[1]).size() - 5), "~.plc");
        EXPECT_FALSE(QString::fromStdString(CopyOf(kept.lines[2])).contains(QChar(QChar::ReplacementCharacter)));
        EXPECT_EQ(CopyOf(kept.lines[2]).substr(CopyOf(kept.lines[2]).size() - 9), "\xF0\x9F\x94\xA7~.txt");
        EXPECT_EQ((CopyOf(kept.lines[2]).size() - folder.size() - 6) % 4, 0u) << "whole characters";
        EXPECT_NE(CopyOf(kept.lines[4]), CopyOf(kept.lines[0]));
        EXPECT_EQ(ReadFile(folder + "/originals.txt"), originals);
    }
}

TEST(RecoveryCopies, TheFolderIsOnTheListBeforeTheCopiesFillTheStateFolder)
{
    testsupport::TempDir root, work;
    const std::string state = root / "state";
    ASSERT_EQ(::mkdir(state.c_str(), 0700), 0);
    const testsupport::TestMount small = testsupport::TestMount::Tmpfs(state, 64 * 1024);
    if (!small.Up())
        GTEST_SKIP() << small.Why();
    // A filler takes all but three pages: the list, the list of originals
    // and the first copy fit, the second copy does not.
    ASSERT_EQ(::mkdir((state + "/unsaved").c_str(), 0700), 0);
    {
        const int fd = ::open((state + "/filler").c_str(), O_WRONLY | O_CREAT, 0600);
        ASSERT_GE(fd, 0);
        const std::string page(4096, 'f');
        off_t size = 0;
        while (::write(fd, page.data(), page.size()) == ssize_t(page.size()))
            size += off_t(page.size());
        ASSERT_EQ(::ftruncate(fd, size - 3 * 4096), 0);
        ::close(fd);
    }
    LineDoc a(Q(work / "a.txt"), QByteArray(3000, 'a')), b(Q(work / "b.txt"), QByteArray(3000, 'b'));
    const recovery::Kept kept = recovery::KeepUnsaved(Q(state), {&a, &b});
    ASSERT_EQ(kept.written, 1) << kept.lines.join('\n').toStdString();
    EXPECT_EQ(ReadFile(kept.folder.toStdString() + "/a.txt"), std::string(3000, 'a'));
    EXPECT_TRUE(kept.lines.value(1).contains(QStringLiteral("could not be kept in")));
    EXPECT_TRUE(kept.lines.value(1).contains(QString::fromLocal8Bit(sys::ErrorText(ENOSPC))));
    // The next start names the folder.
    EXPECT_EQ(recovery::Untold(Q(state)), QStringList{kept.folder});
    EXPECT_TRUE(ReadFile(kept.folder.toStdString() + "/originals.txt").find("a.txt\t") == 0);

    // Full to the last page: the list cannot take the folder, and that is
    // said as a copy's failure is.
    recovery::ForgetUntold(Q(state));
    {
        const int fd = ::open((state + "/filler2").c_str(), O_WRONLY | O_CREAT, 0600);
        ASSERT_GE(fd, 0);
        const std::string page(4096, 'f');
        while (::write(fd, page.data(), page.size()) == ssize_t(page.size())) {
        }
        ::close(fd);
    }
    const recovery::Kept full = recovery::KeepUnsaved(Q(state), {&a});
    EXPECT_EQ(full.written, 0);
    EXPECT_TRUE(full.lines.join('\n').contains(QStringLiteral("could not be noted in %1 for the next start: %2")
                                                  .arg(Q(state + "/unsaved/untold"),
                                                       QString::fromLocal8Bit(sys::ErrorText(ENOSPC)))))
        << full.lines.join('\n').toStdString();
}

TEST(RecoveryCopies, AListThatCannotBeWrittenIsNamedAndAStateFolderThatCannotBeMadeNamesTheCause)
{
    testsupport::TempDir state, work;
    // A folder where the list goes.
    ASSERT_EQ(::mkdir((state / "unsaved").c_str(), 0700), 0);
    ASSERT_EQ(::mkdir((state / "unsaved/untold").c_str(), 0700), 0);
    LineDoc a(Q(work / "Main.plc"), "typed");
    const recovery::Kept kept = recovery::KeepUnsaved(Q(state.Path()), {&a});
    EXPECT_EQ(kept.written, 1);
    ASSERT_EQ(kept.lines.size(), 2);
    EXPECT_EQ(kept.lines[0], QStringLiteral("strandwork: the folder %1 could not be noted in %2 for the next start: %3")
                                 .arg(kept.folder, Q(state / "unsaved/untold"),
                                      QString::fromLocal8Bit(sys::ErrorText(EISDIR))));
    EXPECT_EQ(ReadFile(kept.folder.toStdString() + "/Main.plc"), "typed");

    // A state folder that is a file names the cause for each copy.
    testsupport::TempDir other;
    other.Write("state", "a file where the state folder goes");
    const recovery::Kept none = recovery::KeepUnsaved(Q(other / "state"), {&a});
    EXPECT_EQ(none.written, 0);
    EXPECT_EQ(none.lines, NotKept(Q(work / "Main.plc"), Q(other / "state/unsaved"), ENOTDIR));

    // A read-only state folder, where it can be mounted.
    testsupport::TempDir locked;
    const testsupport::TestMount readOnly = testsupport::TestMount::ReadOnly(locked.Path());
    if (!readOnly.Up())
        GTEST_SKIP() << readOnly.Why();
    EXPECT_EQ(recovery::KeepUnsaved(Q(locked.Path()), {&a}).lines,
              NotKept(Q(work / "Main.plc"), Q(locked / "unsaved"), EROFS));
}

// A list that can be read but not written (a read-only state folder) is
// told all the same.
TEST(RecoveryCopies, AListThatCannotBeWrittenIsToldAllTheSame)
{
    testsupport::TempDir state, work;
    LineDoc a(Q(work / "Main.plc"), "typed");
    const recovery::Kept kept = recovery::KeepUnsaved(Q(state.Path()), {&a});
    const testsupport::TestMount readOnly = testsupport::TestMount::ReadOnly(state / "unsaved");
    if (!readOnly.Up())
        GTEST_SKIP() << readOnly.Why();
    EXPECT_EQ(recovery::TakeUntold(Q(state.Path())), QStringList{kept.folder});
}

// A folder the list could not take (a folder stands in its place) is found
// in the recovery folder itself: every kept folder is told, once.
TEST(RecoveryCopies, EveryKeptFolderIsToldOnceWhetherTheListHasItOrNot)
{
    testsupport::TempDir state, work;
    LineDoc a(Q(work / "Main.plc"), "typed");
    ASSERT_EQ(::mkdir((state / "unsaved").c_str(), 0700), 0);
    ASSERT_EQ(::mkdir((state / "unsaved/untold").c_str(), 0700), 0);
    const recovery::Kept unlisted = recovery::KeepUnsaved(Q(state.Path()), {&a});
    ASSERT_EQ(unlisted.written, 1);
    ASSERT_EQ(::rmdir((state / "unsaved/untold").c_str()), 0);
    const recovery::Kept listed = recovery::KeepUnsaved(Q(state.Path()), {&a});
    ASSERT_EQ(listed.written, 1);
    EXPECT_EQ(recovery::Untold(Q(state.Path())), (QStringList{unlisted.folder, listed.folder}));
    EXPECT_EQ(recovery::TakeUntold(Q(state.Path())), (QStringList{unlisted.folder, listed.folder}));
    EXPECT_TRUE(recovery::TakeUntold(Q(state.Path())).isEmpty());
    ASSERT_EQ(::mkdir((state / "unsaved/untold").c_str(), 0700), 0);
    const recovery::Kept later = recovery::KeepUnsaved(Q(state.Path()), {&a});
    EXPECT_EQ(recovery::TakeUntold(Q(state.Path())), QStringList{later.folder});
    EXPECT_TRUE(recovery::Untold(Q(state.Path())).isEmpty());
}

// Programs ended at the same moment (a logout) each add their folder to the
// list: none is lost.
TEST(RecoveryCopies, EndingsAtTheSameTimeAreAllOnTheList)
{
    testsupport::TempDir state, work;
    constexpr int kEndings = 8, kRounds = 12;
    std::vector<std::unique_ptr<LineDoc>> docs;
    for (int i = 0; i < kEndings; ++i)
        docs.push_back(std::make_unique<LineDoc>(Q(work / ("doc" + std::to_string(i) + ".txt")), "typed"));
    std::vector<QStringList> folders(kEndings);
    std::vector<std::thread> endings;
    for (int i = 0; i < kEndings; ++i)
        endings.emplace_back([&, i] {
            for (int r = 0; r < kRounds; ++r)
                folders[i] << recovery::KeepUnsaved(Q(state.Path()), {docs[i].get()}).folder;
        });
    for (std::thread& t : endings)
        t.join();
    QStringList all;
    for (const QStringList& f : folders)
        all += f;
    QStringList told = recovery::Untold(Q(state.Path()));
    EXPECT_EQ(told.size(), kEndings * kRounds);
    all.sort();
    told.sort();
    EXPECT_EQ(told, all);
    recovery::ForgetUntold(Q(state.Path()));
    EXPECT_TRUE(recovery::Untold(Q(state.Path())).isEmpty());
}

TEST(RecoveryCopies, TheMessageNamesTheLatestFoldersAndTheCount)
{
    testsupport::TempDir state;
    QStringList folders;
    for (int i = 0; i < 1000; ++i)
        folders << Q(state / ("unsaved/2026-12-08_10-00-00-" + std::to_string(i)));
    const QString text = recovery::TellText(folders, false, Q(state.Path()));
    EXPECT_LE(text.count(QLatin1Char('\n')), recovery::kShownFolders + 6) << text.toStdString();
    EXPECT_TRUE(text.contains(folders.last()));
    EXPECT_TRUE(text.contains(folders[1000 - recovery::kShownFolders]));
    EXPECT_FALSE(text.contains(folders[1000 - recovery::kShownFolders - 1] + QLatin1Char('\n')));
    EXPECT_TRUE(text.contains(QStringLiteral("1000")));
    EXPECT_TRUE(text.contains(Q(state / "unsaved")));
    // For standard error, every one; ten or fewer need no count.
    EXPECT_EQ(recovery::TellText(folders, true, Q(state.Path())).count(QLatin1Char('\n')),
              recovery::TellText(folders.mid(0, 1), true, Q(state.Path())).count(QLatin1Char('\n')) + 999);
    const QString few = recovery::TellText(folders.mid(0, 10), false, Q(state.Path()));
    EXPECT_TRUE(few.contains(folders[0]));
    EXPECT_FALSE(few.contains(QStringLiteral("1000")));
}
