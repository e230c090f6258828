// Names that are not UTF-8 name exactly their own file: the command line,
// the document's title, the save, the recent list and the recovery copies'
// list keep each byte.  "caf\xE9.txt" (Latin-1) and its look-alike
// "caf\xEF\xBF\xBD.txt" (the UTF-8 of U+FFFD) are two files; Qt's own
// decoding makes both "caf\uFFFD.txt".

#include "AppTest.h"

#include "app/RecoveryCopies.h"
#include "platform/sys/FileIO.h"
#include "platform/sys/NativeText.h"
#include "platform/ui/LocalPath.h"
#include "plcviews/StructuredTextDoc.h"

#include <filesystem>

namespace {

constexpr char kLatin1[] = "caf\xE9.txt";
constexpr char kLookAlike[] = "caf\xEF\xBF\xBD.txt";

// The program's text of a native path.
QString T(const std::string& native) { return ui::LocalPathOfNative(native); }

std::string Read(const std::string& path)
{
    return sys::ReadWholeFile(path).value_or("(missing)");
}

void Type(CStructuredTextDoc* doc, std::u16string_view text)
{
    int l = 0, c = 0;
    doc->Buffer().InsertText(nullptr, 0, 0, text, l, c, 0);
}

// The command line as main() hands it on: each byte kept.
QStringList CommandLine(const std::string& path)
{
    std::string program = "strandwork";
    std::string arg = path;
    char* argv[] = {program.data(), arg.data(), nullptr};
    return ui::LocalArguments(2, argv);
}

// Beside its look-alike, the file on the command line is the one opened,
// shown with its byte marked, and saved; the look-alike keeps its bytes.
TEST_F(AppTest, TheFileOnTheCommandLineIsTheOneOpenedAndSavedBesideItsLookAlike)
{
    dir.Write(kLatin1, "latin1\r\n");
    dir.Write(kLookAlike, "look-alike\r\n");
    const QStringList params = CommandLine(dir / kLatin1);
    ASSERT_EQ(params, QStringList{T(dir / kLatin1)});
    EXPECT_NE(params.first(), T(dir / kLookAlike));
    ASSERT_TRUE(Start(params));
    ASSERT_EQ(app->Template(0)->GetDocumentCount(), 1);
    auto* doc = qobject_cast<CStructuredTextDoc*>(app->Template(0)->Documents().front());
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(doc->GetPathName(), T(dir / kLatin1));
    EXPECT_EQ(doc->GetTitle(), QStringLiteral("caf\\xE9.txt"));
    EXPECT_EQ(doc->Text(), QStringLiteral("latin1\n"));
    Type(doc, u"typed\r\n");
    ASSERT_TRUE(doc->DoFileSave());
    EXPECT_EQ(Read(dir / kLatin1), "typed\r\nlatin1\r\n");
    EXPECT_EQ(Read(dir / kLookAlike), "look-alike\r\n");
    // The recent list holds that very file.
    ASSERT_NE(app->RecentList(), nullptr);
    EXPECT_EQ(app->RecentList()->Files()[0], T(dir / kLatin1));
}

// Without the look-alike the named file is made, never the look-alike.
TEST_F(AppTest, ANewFileOnTheCommandLineIsMadeUnderItsOwnName)
{
    ASSERT_TRUE(Start(CommandLine(dir / kLatin1)));
    ASSERT_EQ(app->Template(0)->GetDocumentCount(), 1);
    auto* doc = qobject_cast<CStructuredTextDoc*>(app->Template(0)->Documents().front());
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(doc->GetTitle(), QStringLiteral("caf\\xE9.txt"));
    Type(doc, u"new\r\n");
    ASSERT_TRUE(doc->DoFileSave());
    EXPECT_EQ(Read(dir / kLatin1), "new\r\n");
    EXPECT_FALSE(std::filesystem::exists(dir / kLookAlike));

    // The recovery copy's list names that file by its bytes.
    testsupport::TempDir state;
    Type(doc, u"more\r\n");
    const recovery::Kept kept = recovery::KeepUnsaved(Q(state.Path()), {doc});
    ASSERT_EQ(kept.written, 1) << kept.lines.join('\n').toStdString();
    const std::string folder = *ui::NativeOfLocalPath(kept.folder);
    EXPECT_EQ(Read(folder + "/originals.txt"), std::string(kLatin1) + "\t" + (dir / kLatin1) + "\n");
    EXPECT_EQ(Read(folder + "/" + kLatin1), "more\r\nnew\r\n");
    EXPECT_NE(kept.lines.value(0).indexOf(QStringLiteral("caf\\xE9.txt")), -1) << kept.lines.value(0).toStdString();
}

// Names that differ only in such bytes, and a name of 255 bytes, each
// open their own file.
TEST_F(AppTest, NamesThatDifferOnlyInBytesThatAreNoUtf8)
{
    dir.Write("a\xE8.txt", "e8\r\n");
    dir.Write("a\xE9.txt", "e9\r\n");
    const std::string longName = std::string(120, '\xE9') + std::string(131, 'x') + ".txt";
    ASSERT_EQ(longName.size(), 255u);
    dir.Write(longName, "long\r\n");
    ASSERT_TRUE(Start({}));
    ui::ScriptedPrompts prompts;
    for (const std::string& name : {std::string("a\xE8.txt"), std::string("a\xE9.txt")}) {
        auto* doc = qobject_cast<CStructuredTextDoc*>(app->OpenDocumentFile(T(dir / name)));
        ASSERT_NE(doc, nullptr) << name;
        EXPECT_EQ(doc->Text(), name == "a\xE8.txt" ? QStringLiteral("e8\n") : QStringLiteral("e9\n"));
    }
    EXPECT_EQ(app->Template(0)->GetDocumentCount(), 2);
    // The long name: opened as itself, or refused with a message; never
    // another file.
    auto* doc = qobject_cast<CStructuredTextDoc*>(app->OpenDocumentFile(T(dir / longName)));
    if (doc)
        EXPECT_EQ(doc->Text(), QStringLiteral("long\n"));
    else
        EXPECT_FALSE(prompts.Asked().empty());
    EXPECT_EQ(Read(dir / longName), "long\r\n");
}

// A given name is the file opened and written: no case-blind lookup, "\"
// a character of the name; the other spelling's file keeps its bytes.
TEST_F(AppTest, AGivenNameIsTheFileOpenedAndWrittenBesideAnotherSpelling)
{
    ASSERT_TRUE(Start({}));
    for (const auto& [there, given] :
         {std::pair{"data.txt", "DATA.txt"}, {"sub/old.txt", "sub\\old.txt"}}) {
        dir.Write(there, "kept\r\n");
        auto* doc = qobject_cast<CStructuredTextDoc*>(app->OpenDocumentFile(T(dir / given)));
        ASSERT_NE(doc, nullptr) << given;
        Type(doc, u"typed\r\n");
        ASSERT_TRUE(doc->DoFileSave()) << given;
        EXPECT_EQ(doc->GetTitle() + Q(Read(dir / there) + Read(dir / given)),
                  Q(given + std::string("kept\r\ntyped\r\n")));
    }
}

// The recent list keeps such a name through the settings file and shows
// its byte marked.
TEST_F(AppTest, TheRecentListKeepsTheBytesOfANameAndShowsThemMarked)
{
    CRecentProjectList list(0, "Recent File List", "File%d", "Project%d", 10);
    dir.Write(kLatin1, "x");
    dir.Write(kLookAlike, "y");
    list.Add(T(dir / kLookAlike));
    list.Add(T(dir / kLatin1));
    ASSERT_EQ(list.Files()[0], T(dir / kLatin1));
    ASSERT_EQ(list.Files()[1], T(dir / kLookAlike)); // two entries: two files
    list.WriteList();
    CRecentProjectList back(0, "Recent File List", "File%d", "Project%d", 10);
    back.ReadList();
    EXPECT_EQ(back.Files(), list.Files());
    QString shown;
    ASSERT_TRUE(back.GetDisplayName(shown, 0, Q(dir.Path()) + "/"));
    EXPECT_EQ(shown, QStringLiteral("caf\\xE9.txt"));
}

} // namespace
