// The text, header and PLC source documents: opening, saving, the watch of
// the file, outside changes, the remembered caret position, read-only and
// the save command, paths that are no files (to open and to save onto).
#include "editor/settings/EdtSettings.h"
#include "platform/sys/Registry.h"
#include "platform/ui/Prompt.h"
#include "res/StringTable.h"
#include "tests/support/plcviews/PlcViewsTest.h"
#include "tests/support/ui/UiTest.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <cerrno>

#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace testsupport::ui;
using testsupport::plcviews::DebugSession;

namespace {
// A document outside any template, so that the monitor's callback can be
// called directly.
class TestDoc : public CStructuredTextDoc
{
public:
    using CStructuredTextDoc::OnFileChanged;
};

struct FlagsGuard
{
    explicit FlagsGuard(uint32_t flags) : old(GetEdtGeneralFlags()) { SetEdtGeneralFlags(flags); }
    ~FlagsGuard() { SetEdtGeneralFlags(old); }
    uint32_t old;
};

CStructuredTextDoc* OpenText(DebugSession& s, const std::string& rel)
{
    return qobject_cast<CStructuredTextDoc*>(s.App()->OpenDocumentFile(s.Path(rel)));
}

void Type(CStructuredTextDoc* doc, std::u16string_view text)
{
    int l = 0, c = 0;
    doc->Buffer().InsertText(nullptr, 0, 0, text, l, c, 0);
}
} // namespace

TEST(TextDoc, MissingPathsAndPathsThatCannotBeRead)
{
    DebugSession s;
    ASSERT_TRUE(s.StartApp());
    // Not there: an empty, unmodified document under that name.
    CStructuredTextDoc* doc = OpenText(s, "new.txt");
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(doc->GetPathName(), s.Path("new.txt"));
    EXPECT_EQ(doc->Text(), QString());
    EXPECT_FALSE(doc->IsModified());
    // A folder at the path, and a path through a file: failed opens.
    ASSERT_TRUE(QDir().mkpath(s.Path("folder.txt")));
    s.dir.Write("file.txt", "x");
    PromptScript prompts({ui::IDOK, ui::IDOK});
    EXPECT_EQ(s.App()->OpenDocumentFile(s.Path("folder.txt")), nullptr);
    EXPECT_EQ(s.App()->OpenDocumentFile(s.Path("file.txt/inner.txt")), nullptr);
    EXPECT_EQ(prompts.Texts().size(), 2u);
    EXPECT_EQ(s.App()->Template(0)->GetDocumentCount(), 1);
}

TEST(TextDoc, AnOpenClosesTheUntitledUnmodifiedDocument)
{
    DebugSession s;
    ASSERT_TRUE(s.StartApp());
    ui::Document* untitled = s.App()->Template(0)->OpenDocumentFile(QString());
    ASSERT_NE(untitled, nullptr);
    EXPECT_EQ(s.App()->Template(0)->GetDocumentCount(), 1);
    s.dir.Write("a.txt", "alpha\r\n");
    ASSERT_NE(OpenText(s, "a.txt"), nullptr);
    PumpEvents(10);
    EXPECT_EQ(s.App()->Template(0)->GetDocumentCount(), 1);
    EXPECT_EQ(s.App()->Template(0)->Documents().front()->GetPathName(), s.Path("a.txt"));
}

TEST(TextDoc, SaveAsMovesTheWatch)
{
    DebugSession s;
    ASSERT_TRUE(s.StartApp());
    FlagsGuard flags(0x200);
    s.dir.Write("a.txt", "alpha\r\n");
    CStructuredTextDoc* doc = OpenText(s, "a.txt");
    ASSERT_NE(doc, nullptr);
    EXPECT_TRUE(doc->IsWatching(s.Path("a.txt").toStdU16String()));
    Type(doc, u"x");
    ASSERT_TRUE(doc->DoSave(s.Path("b.txt")));
    EXPECT_FALSE(doc->IsWatching(s.Path("a.txt").toStdU16String()));
    EXPECT_TRUE(doc->IsWatching(s.Path("b.txt").toStdU16String()));
    EXPECT_EQ(s.dir.Read("b.txt"), "xalpha\r\n");
    EXPECT_FALSE(doc->IsModified());
}

TEST(TextDoc, CharactersTheCodePageLacksAreReplacedAndReported)
{
    DebugSession s;
    ASSERT_TRUE(s.StartApp());
    s.dir.Write("a.txt", "alpha\r\n");
    CStructuredTextDoc* doc = OpenText(s, "a.txt");
    ASSERT_NE(doc, nullptr);
    Type(doc, u"\u0436");  // not in code page 1250
    PromptScript prompts({ui::IDOK});
    ASSERT_TRUE(doc->DoSave(doc->GetPathName()));
    ASSERT_EQ(prompts.Texts().size(), 1u);
    EXPECT_EQ(prompts.Texts()[0], FormatResString(IDS_CHARS_REPLACED, QDir::toNativeSeparators(s.Path("a.txt"))));
    EXPECT_EQ(s.dir.Read("a.txt"), ".alpha\r\n");
}

TEST(TextDoc, OutsideChanges)
{
    DebugSession s;
    ASSERT_TRUE(s.StartApp());
    s.dir.Write("a.txt", "alpha\r\nbeta\r\n");
    TestDoc doc;
    doc.SetAutoDelete(false);
    ASSERT_TRUE(doc.OnOpenDocument(s.Path("a.txt")));
    doc.SetPathName(s.Path("a.txt"), false);
    s.dir.Write("a.txt", "gamma\r\n");
    const std::u16string path = s.Path("a.txt").toStdU16String();
    {
        FlagsGuard flags(0x200);
        PromptScript prompts({ui::IDNO, ui::IDYES});
        doc.OnFileChanged(FCM_TIME, path);  // No: the text stays
        EXPECT_EQ(doc.Text(), QStringLiteral("alpha\nbeta\n"));
        doc.OnFileChanged(FCM_TIME, path);  // Yes: reloaded
        EXPECT_EQ(doc.Text(), QStringLiteral("gamma\n"));
        EXPECT_EQ(prompts.Texts().size(), 2u);
    }
    {
        // Reload without asking, but a modified document still asks.
        FlagsGuard flags(0x300);
        s.dir.Write("a.txt", "delta\r\n");
        PromptScript none(std::vector<int>{});
        doc.OnFileChanged(FCM_SIZE, path);
        EXPECT_EQ(doc.Text(), QStringLiteral("delta\n"));
        Type(&doc, u"edit ");
        s.dir.Write("a.txt", "omega\r\n");
        PromptScript ask({ui::IDNO});
        doc.OnFileChanged(FCM_SIZE, path);
        EXPECT_EQ(ask.Texts().size(), 1u);
        EXPECT_EQ(doc.Text(), QStringLiteral("edit delta\n"));
    }
    {
        // Deleted: the message, the text stays; with 0x100 no message.
        FlagsGuard flags(0x200);
        PromptScript prompts({ui::IDOK});
        doc.OnFileChanged(FCM_GONE, path);
        ASSERT_EQ(prompts.Texts().size(), 1u);
        EXPECT_TRUE(prompts.Texts()[0].contains(QStringLiteral("Soubor byl smazán")));
        EXPECT_EQ(doc.Text(), QStringLiteral("edit delta\n"));
    }
    doc.OnCloseDocument();
}

TEST(TextDoc, RememberedCaretPosition)
{
    DebugSession s;
    ASSERT_TRUE(s.StartApp());
    FlagsGuard flags(0x2000);  // after the start, which loads the settings
    s.dir.Write("a.txt", "alpha\r\nbeta\r\ngamma\r\n");
    CStructuredTextDoc* doc = OpenText(s, "a.txt");
    ASSERT_NE(doc, nullptr);
    auto* view = qobject_cast<CStructuredTextView*>(doc->FirstView());
    ASSERT_NE(view, nullptr);
    view->ClampTextPos(EdtPoint{3, 2});
    doc->OnCloseDocument();
    PumpEvents(10);
    EdtPoint pos;
    ASSERT_TRUE(remembered::Read(s.Path("a.txt"), pos));
    EXPECT_EQ(pos, (EdtPoint{3, 2}));
    doc = OpenText(s, "a.txt");
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(qobject_cast<CEdtTextView*>(doc->FirstView())->GetCursorPos(), (EdtPoint{3, 2}));
    doc->OnCloseDocument();
    PumpEvents(10);

    // A character beyond its line gives 0; a line beyond the text is ignored.
    remembered::Write(s.Path("a.txt"), EdtPoint{40, 1}, 1);
    doc = OpenText(s, "a.txt");
    EXPECT_EQ(qobject_cast<CEdtTextView*>(doc->FirstView())->GetCursorPos(), (EdtPoint{0, 1}));
    remembered::Write(s.Path("a.txt"), EdtPoint{0, 9}, 1);
    doc->OnCloseDocument();  // writes the caret again
    PumpEvents(10);
    remembered::Write(s.Path("a.txt"), EdtPoint{0, 9}, 1);
    doc = OpenText(s, "a.txt");
    EXPECT_EQ(qobject_cast<CEdtTextView*>(doc->FirstView())->GetCursorPos(), (EdtPoint{0, 0}));
    // A value of the wrong size is ignored.
    const uint8_t bad[5] = {1, 2, 3, 4, 5};
    sys::Profile::WriteBinary(u"EdtLib\\Remembered", s.Path("a.txt").toStdU16String(), bad, 5);
    EXPECT_FALSE(remembered::Read(s.Path("a.txt"), pos));

    // A document without a view writes nothing.
    TestDoc lone;
    lone.SetAutoDelete(false);
    lone.SetPathName(s.Path("lone.txt"), false);
    lone.OnCloseDocument();
    EXPECT_FALSE(remembered::Read(s.Path("lone.txt"), pos));
}

TEST(TextDoc, ReadOnlyAndSaveCommands)
{
    DebugSession s;
    ASSERT_TRUE(s.StartApp());
    s.dir.Write("a.txt", "alpha\r\n");
    CStructuredTextDoc* doc = OpenText(s, "a.txt");
    ASSERT_NE(doc, nullptr);
    auto* view = qobject_cast<CStructuredTextView*>(doc->FirstView());
    ASSERT_NE(view, nullptr);
    view->setFocus();
    ui::CmdUI save(ID_FILE_SAVE);
    EXPECT_TRUE(doc->UpdateCommand(save));
    EXPECT_FALSE(save.Enabled());
    {
        PromptScript prompts({ui::IDOK});
        EXPECT_TRUE(doc->ExecuteCommand(ID_EDT_READ_ONLY));
        ASSERT_EQ(prompts.Texts().size(), 1u);
        EXPECT_EQ(prompts.Texts()[0], LoadResString(IDS_NOW_READ_ONLY));
    }
    EXPECT_TRUE(doc->IsReadOnly());
    TypeText(view, QStringLiteral("zz"));
    EXPECT_EQ(doc->Text(), QStringLiteral("alpha\n"));
    EXPECT_TRUE(doc->ExecuteCommand(ID_EDT_READ_ONLY));  // off again, no message
    TypeText(view, QStringLiteral("zz"));
    EXPECT_EQ(doc->Text(), QStringLiteral("zzalpha\n"));
    EXPECT_TRUE(doc->UpdateCommand(save));
    EXPECT_TRUE(save.Enabled());
    EXPECT_TRUE(doc->ExecuteCommand(ID_FILE_SAVE));
    EXPECT_EQ(s.dir.Read("a.txt"), "zzalpha\r\n");
    EXPECT_FALSE(doc->IsModified());
    // Reload: the file again; a missing file says so.
    s.dir.Write("a.txt", "b\r\n");
    EXPECT_TRUE(view->ExecuteCommand(ID_EDT_RELOAD_FILE));
    EXPECT_EQ(doc->Text(), QStringLiteral("b\n"));
    // Unsaved edits: one question; No keeps them, Yes reloads.
    TypeText(view, QStringLiteral("q"));
    ASSERT_TRUE(doc->IsModified());
    {
        PromptScript ask({ui::IDNO, ui::IDYES});
        EXPECT_TRUE(view->ExecuteCommand(ID_EDT_RELOAD_FILE));
        EXPECT_EQ(doc->Text(), QStringLiteral("bq\n"));
        EXPECT_TRUE(doc->IsModified());
        EXPECT_TRUE(view->ExecuteCommand(ID_EDT_RELOAD_FILE));
        EXPECT_EQ(doc->Text(), QStringLiteral("b\n"));
        EXPECT_FALSE(doc->IsModified());
        ASSERT_EQ(ask.Texts().size(), 2u);
        EXPECT_EQ(ask.Texts()[0], FormatResString(4765, QDir::toNativeSeparators(s.Path("a.txt"))));
    }
    ASSERT_TRUE(QFile::remove(s.Path("a.txt")));
    PromptScript missing({ui::IDOK});
    view->ExecuteCommand(ID_EDT_RELOAD_FILE);
    ASSERT_EQ(missing.Texts().size(), 1u);
    EXPECT_EQ(missing.Texts()[0], LoadResString(IDS_FILE_MISSING));
}

TEST(TextDoc, PathsThatAreNoFilesAreRefusedAtOnceAtOpenAndReload)
{
    DebugSession s;
    ASSERT_TRUE(s.StartApp());
    // A FIFO without a writer, an endless device: each refused with the
    // open-failure message at once (neither may wait for data).
    ASSERT_EQ(::mkfifo((s.dir / "fifo.txt").c_str(), 0600), 0);
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), s.Path("zero.txt")));
    {
        PromptScript prompts({ui::IDOK, ui::IDOK});
        EXPECT_EQ(OpenText(s, "fifo.txt"), nullptr);
        EXPECT_EQ(OpenText(s, "zero.txt"), nullptr);
        // Each names the file and the cause on a line of its own.
        const QString failed = LoadResString(ui::IDS_FAILED_TO_OPEN);
        EXPECT_EQ(prompts.Texts(), (std::vector<QString>{ui::WithFileCause(failed, s.Path("fifo.txt"), ENODEV),
                                                         ui::WithFileCause(failed, s.Path("zero.txt"), ENODEV)}));
    }
    EXPECT_EQ(s.App()->Template(0)->GetDocumentCount(), 0);

    // A file replaced by a FIFO: the reload refuses it and keeps the text.
    s.dir.Write("a.txt", "alpha\r\n");
    CStructuredTextDoc* doc = OpenText(s, "a.txt");
    ASSERT_NE(doc, nullptr);
    ASSERT_TRUE(QFile::remove(s.Path("a.txt")));
    ASSERT_EQ(::mkfifo((s.dir / "a.txt").c_str(), 0600), 0);
    PromptScript failed({ui::IDOK});
    EXPECT_FALSE(doc->ReloadFile());
    EXPECT_EQ(failed.Texts(),
              std::vector<QString>{ui::WithFileCause(LoadResString(ui::IDS_FAILED_TO_OPEN), s.Path("a.txt"), ENODEV)});
    EXPECT_EQ(doc->Text(), QStringLiteral("alpha\n"));
}

// Saving follows the one save routine's rules, with the message of every
// failed save, as the binary document does: a link is saved to the file it
// names, and a FIFO, a device, a socket, a folder, a file without write
// permission and a link that names nothing are refused and stay as they
// were (the dangling link never becomes the file it names).
TEST(TextDoc, SavingRefusesPathsThatAreNoWritableFilesAsTheBinaryDocumentDoes)
{
    DebugSession s;
    ASSERT_TRUE(s.StartApp());
    s.dir.Write("real/r.txt", "old\r\n");
    ASSERT_TRUE(QFile::link(QStringLiteral("real/r.txt"), s.Path("link.txt")));
    CStructuredTextDoc* doc = OpenText(s, "link.txt");
    ASSERT_NE(doc, nullptr);
    Type(doc, u"new");
    ASSERT_TRUE(doc->DoFileSave());
    EXPECT_EQ(s.dir.Read("real/r.txt"), "newold\r\n");
    EXPECT_TRUE(QFileInfo(s.Path("link.txt")).isSymLink());

    ASSERT_EQ(::mkfifo((s.dir / "fifo.txt").c_str(), 0600), 0);
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/null"), s.Path("null.txt")));
    ASSERT_TRUE(QFile::link(QStringLiteral("gone.txt"), s.Path("dangling.txt")));
    ASSERT_TRUE(QDir().mkpath(s.Path("folder.txt")));
    s.dir.Write("ro.txt", "keep");
    ASSERT_EQ(::chmod((s.dir / "ro.txt").c_str(), 0444), 0);
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(sock, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const std::string sockPath = s.dir / "sock.txt";
    ASSERT_LT(sockPath.size(), sizeof addr.sun_path);
    std::strcpy(addr.sun_path, sockPath.c_str());
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);

    Type(doc, u"x");
    // Each message names the file and the cause on a line of its own.
    for (const auto& [name, cause] : {std::pair{"fifo.txt", ENODEV}, std::pair{"null.txt", ENODEV},
                                      std::pair{"dangling.txt", ENOENT}, std::pair{"folder.txt", EISDIR},
                                      std::pair{"ro.txt", EACCES}, std::pair{"sock.txt", ENODEV}}) {
        SCOPED_TRACE(name);
        PromptScript failed({ui::IDOK});
        EXPECT_FALSE(doc->OnSaveDocument(s.Path(name)));
        EXPECT_EQ(failed.Texts(),
                  std::vector<QString>{ui::WithFileCause(
                      FormatResString(IDS_FILE_SAVE_FAILED, QDir::toNativeSeparators(s.Path(name))), s.Path(name),
                      uint32_t(cause))});
        EXPECT_TRUE(doc->IsModified());
    }
    ::close(sock);
    EXPECT_EQ(QFileInfo(s.Path("dangling.txt")).symLinkTarget(), s.Path("gone.txt"));
    EXPECT_FALSE(QFileInfo::exists(s.Path("gone.txt")));
    EXPECT_EQ(s.dir.Read("ro.txt"), "keep");
    EXPECT_TRUE(QFileInfo(s.Path("folder.txt")).isDir());
    EXPECT_TRUE(QDir(s.Path("folder.txt")).isEmpty());
    EXPECT_EQ(s.dir.Read("real/r.txt"), "newold\r\n");
}
