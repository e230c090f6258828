// The copies a signal's end makes of the unsaved changes: a folder of its
// own per ending, never one of an earlier ending; one copy per document,
// named after its file (two files of one name told apart, a document
// without a file after its title), with the list of originals; a line per
// copy; a state folder that cannot be written names each copy and the
// cause and keeps nothing; the folders are told once.

#include "app/RecoveryCopies.h"
#include "platform/sys/LastError.h"
#include "platform/ui/Document.h"
#include "tests/support/platform/TempDir.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

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
    EXPECT_EQ(kept.lines, QStringList{QStringLiteral("strandwork: the unsaved changes of %1 could not be kept in "
                                                     "%2: %3")
                                          .arg(Q(work / "Main.plc"), Q(state / "unsaved"),
                                               QString::fromLocal8Bit(sys::ErrorText(ENOTDIR)))});
    EXPECT_TRUE(recovery::Untold(Q(state.Path())).isEmpty());
    EXPECT_EQ(state.Read("unsaved"), "a file where the folder goes");
}
