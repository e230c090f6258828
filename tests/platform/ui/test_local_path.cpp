// Local paths on the Qt side keep every byte of a name: the command line,
// the current folder, a dropped URL, and the names chosen in a file dialog,
// whose list shows names as Qt decodes them ("caf\xE9.txt" and its
// look-alike "caf\xEF\xBF\xBD.txt" both as "caf\uFFFD.txt").
#include "platform/ui/FileDialogs.h"
#include "platform/ui/LocalPath.h"
#include "platform/ui/Prompt.h"
#include "platform/sys/FileIO.h"
#include "tests/support/platform/TempDir.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QElapsedTimer>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QUrl>

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

constexpr char kLatin1[] = "caf\xE9.txt";
constexpr char kLookAlike[] = "caf\xEF\xBF\xBD.txt";

QString T(const std::string& native) { return ui::LocalPathOfNative(native); }
// A path as Qt's own classes decode it.
QString QtText(const std::string& native) { return QString::fromUtf8(native.c_str()); }

struct CurrentFolder
{
    explicit CurrentFolder(const std::string& folder) : old(::get_current_dir_name())
    {
        EXPECT_EQ(::chdir(folder.c_str()), 0);
    }
    ~CurrentFolder()
    {
        EXPECT_EQ(::chdir(old), 0);
        ::free(old);
    }
    char* old;
};

} // namespace

TEST(LocalPath, ArgumentsCurrentFolderAndUrlsKeepEachByte)
{
    testsupport::TempDir dir;
    dir.Write(std::string("d\xE9/") + kLatin1, "x");
    std::string program = "strandwork", a = dir / kLatin1, b = kLookAlike;
    char* argv[] = {program.data(), a.data(), b.data(), nullptr};
    const QStringList args = ui::LocalArguments(3, argv);
    ASSERT_EQ(args.size(), 2);
    EXPECT_EQ(*ui::NativeOfLocalPath(args[0]), dir / kLatin1);
    EXPECT_EQ(*ui::NativeOfLocalPath(args[1]), kLookAlike);
    EXPECT_NE(args[0], QtText(dir / kLatin1)); // what QCoreApplication::arguments gives

    // A relative path is taken from a current folder whose name is no UTF-8.
    {
        CurrentFolder in(dir / "d\xE9");
        EXPECT_EQ(ui::CurrentLocalFolder(), T(dir / "d\xE9"));
        const QString full = ui::AbsoluteLocalPath(T(kLatin1));
        EXPECT_EQ(full, T(dir / "d\xE9/" + kLatin1));
        EXPECT_TRUE(ui::IsLocalFile(full));
        EXPECT_EQ(ui::AbsoluteLocalPath(T(std::string("./x/../") + kLatin1)), full);
    }
    EXPECT_TRUE(ui::IsLocalFolder(T(dir / "d\xE9")));
    EXPECT_FALSE(ui::LocalPathExists(QtText(dir / "d\xE9")));
    EXPECT_EQ(ui::LocalFileName(T(dir / kLatin1)), T(kLatin1));
    EXPECT_EQ(ui::ShownLocalPath(T("/a/" + std::string(kLatin1))), QStringLiteral("/a/caf\\xE9.txt"));
    EXPECT_EQ(ui::ShownLocalPath(T(std::string("/a/") + kLookAlike)), QString::fromUtf8("/a/caf\uFFFD.txt"));

    // A dropped file keeps its bytes too.
    const QUrl url = QUrl::fromEncoded("file:///tmp/d%E9/caf%E9%20x.txt");
    EXPECT_EQ(*ui::NativeOfLocalPath(ui::LocalPathOfUrl(url)), "/tmp/d\xE9/caf\xE9 x.txt");
    EXPECT_EQ(ui::LocalPathOfUrl(QUrl::fromLocalFile(QStringLiteral("/tmp/Řízení.txt"))),
              QStringLiteral("/tmp/Řízení.txt"));
}

// A name from a dialog stands for the one entry Qt decodes to it; for two,
// it is refused, naming both; a name not there is taken as typed.
TEST(LocalPath, ANameChosenInADialogIsTheEntryItStandsFor)
{
    testsupport::TempDir dir;
    dir.Write(std::string("d\xE9/") + kLatin1, "latin1");
    const std::string longName = std::string(120, '\xE9') + std::string(131, 'x') + ".txt";
    ASSERT_EQ(longName.size(), 255u);
    dir.Write(longName, "long");
    QString exact, refusal;
    // One entry: that one (also in a folder whose name is no UTF-8).
    ASSERT_TRUE(ui::ExactChosenPath(QtText(dir / "d\xE9/" + kLatin1), exact, &refusal));
    EXPECT_EQ(*ui::NativeOfLocalPath(exact), dir / "d\xE9/" + kLatin1);
    ASSERT_TRUE(ui::ExactChosenPath(QtText(dir / longName), exact));
    EXPECT_EQ(*ui::NativeOfLocalPath(exact), dir / longName);
    // Not there: as typed (a new file in that folder).
    ASSERT_TRUE(ui::ExactChosenPath(QtText(dir / "d\xE9/new\xC3\xA9.txt"), exact));
    EXPECT_EQ(*ui::NativeOfLocalPath(exact), dir / "d\xE9/new\xC3\xA9.txt");
    ASSERT_TRUE(ui::ExactChosenPath(QtText(dir / "d\xE9/caf\xE8.new"), exact));
    EXPECT_EQ(*ui::NativeOfLocalPath(exact), dir / "d\xE9/caf\xEF\xBF\xBD.new");

    // Beside its look-alike, and beside a name that differs only in such
    // a byte: refused, the entries named.
    dir.Write(std::string("d\xE9/") + kLookAlike, "look-alike");
    dir.Write("d\xE9/caf\xE8.txt", "e8");
    exact = QStringLiteral("old");
    EXPECT_FALSE(ui::ExactChosenPath(QtText(dir / "d\xE9/" + kLatin1), exact, &refusal));
    EXPECT_EQ(exact, QStringLiteral("old"));
    EXPECT_NE(refusal.indexOf(QStringLiteral("d\\xE9/caf\\xE8.txt")), -1) << refusal.toStdString();
    EXPECT_NE(refusal.indexOf(QStringLiteral("d\\xE9/caf\\xE9.txt")), -1) << refusal.toStdString();
    EXPECT_NE(refusal.indexOf(QString::fromUtf8("d\\xE9/caf\uFFFD.txt")), -1) << refusal.toStdString();
    EXPECT_EQ(ui::ChosenPathCandidates(QtText(dir / "d\xE9/" + kLatin1)),
              (QStringList{QStringLiteral("caf\\xE8.txt"), QStringLiteral("caf\\xE9.txt"), QString::fromUtf8("caf\uFFFD.txt")}));
}

// The dialog takes the entry the chosen name stands for, refuses a name
// that stands for several (and stays open), and shows each name marked.
TEST(LocalPath, TheFileDialogChoosesTheExactEntry)
{
    testsupport::TempDir dir;
    dir.Write(kLatin1, "latin1");
    dir.Write("Řízení.txt", "utf8");
    ui::ScriptedPrompts prompts({ui::IDOK});
    auto choose = [&](ui::ExactFileDialog& d, const QString& name) {
        d.setDirectory(T(dir.Path()));
        auto* edit = d.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        EXPECT_NE(edit, nullptr);
        if (edit)
            edit->setText(name);
        d.setResult(QDialog::Rejected);
        d.accept();
        return d.result() == QDialog::Accepted;
    };
    {
        ui::ExactFileDialog d;
        d.setFileMode(QFileDialog::ExistingFile);
        ASSERT_TRUE(choose(d, QString::fromUtf8("caf\uFFFD.txt")));
        EXPECT_EQ(d.ExactFiles(), QStringList{T(dir / kLatin1)});
        ASSERT_TRUE(choose(d, QStringLiteral("Řízení.txt")));
        EXPECT_EQ(d.ExactFiles(), QStringList{T(dir / "Řízení.txt")});
    }
    EXPECT_TRUE(prompts.Asked().empty());

    // Qt's list leaves the name out; the line below it names it, and the
    // name typed as shown is that file.
    {
        ui::ExactFileDialog d;
        d.setFileMode(QFileDialog::ExistingFile);
        d.setDirectory(T(dir.Path()));
        ASSERT_NE(d.UndecodableNames(), nullptr);
        EXPECT_NE(d.UndecodableNames()->text().indexOf(QStringLiteral("caf\\xE9.txt")), -1)
            << d.UndecodableNames()->text().toStdString();
        EXPECT_EQ(d.UndecodableNames()->text().indexOf(QStringLiteral("Řízení")), -1);
        ASSERT_TRUE(choose(d, QStringLiteral("caf\\xE9.txt")));
        EXPECT_EQ(d.ExactFiles(), QStringList{T(dir / kLatin1)});
        // A name that really is spelled so is itself.
        dir.Write("caf\\xE8.txt", "spelled");
        ASSERT_TRUE(choose(d, QStringLiteral("caf\\xE8.txt")));
        EXPECT_EQ(d.ExactFiles(), QStringList{T(dir / "caf\\xE8.txt")});
        // Nothing of either name: Qt's own message.
        ::unlink((dir / "caf\\xE8.txt").c_str());
    }
    {
        testsupport::TempDir plain;
        ui::ExactFileDialog d;
        d.setDirectory(T(plain.Path()));
        EXPECT_TRUE(d.UndecodableNames()->text().isEmpty());
    }

    // Beside the look-alike: refused with a message, the dialog stays open.
    dir.Write(kLookAlike, "look-alike");
    {
        ui::ExactFileDialog d;
        d.setFileMode(QFileDialog::ExistingFile);
        EXPECT_FALSE(choose(d, QString::fromUtf8("caf\uFFFD.txt")));
        EXPECT_TRUE(d.ExactFiles().isEmpty());
        ASSERT_EQ(prompts.Asked().size(), 1u);
        EXPECT_NE(prompts.Asked()[0].text.indexOf(QStringLiteral("caf\\xE9.txt")), -1);
    }
    // A save onto the only entry of that name asks before replacing it.
    ::unlink((dir / kLookAlike).c_str());
    prompts.Add(ui::IDNO);
    prompts.Add(ui::IDYES);
    {
        ui::ExactFileDialog d;
        d.setAcceptMode(QFileDialog::AcceptSave);
        EXPECT_FALSE(choose(d, QString::fromUtf8("caf\uFFFD.txt")));
        ASSERT_EQ(prompts.Asked().size(), 2u);
        EXPECT_NE(prompts.Asked()[1].text.indexOf(QStringLiteral("caf\\xE9.txt")), -1);
        ASSERT_TRUE(choose(d, QString::fromUtf8("caf\uFFFD.txt")));
        EXPECT_EQ(d.ExactFiles(), QStringList{T(dir / kLatin1)});
    }
    EXPECT_EQ(sys::ReadWholeFile(dir / kLatin1).value_or(""), "latin1");
}

// A marked name that is also a file's literal name: both are named, and
// nothing is taken until the user says which.
TEST(LocalPath, AMarkedNameThatIsAlsoALiteralNameIsAskedAbout)
{
    testsupport::TempDir dir;
    dir.Write(kLatin1, "bytes");
    dir.Write("caf\\xE9.txt", "literal");
    ui::ScriptedPrompts prompts({ui::IDCANCEL, ui::IDNO, ui::IDYES});
    for (const QStringList& expected :
         {QStringList(), QStringList{T(dir / kLatin1)}, QStringList{T(dir / "caf\\xE9.txt")}}) {
        ui::ExactFileDialog d(nullptr, {}, T(dir.Path()));
        d.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))
            ->setText(QStringLiteral("caf\\xE9.txt"));
        d.accept();
        EXPECT_EQ(d.ExactFiles(), expected);
    }
    EXPECT_NE(prompts.Asked().at(2).text.indexOf(QStringLiteral("E9")), -1);
}
