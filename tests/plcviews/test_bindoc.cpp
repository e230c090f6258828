// The binary document on real files with the real file-change monitor:
// open, save, reload and outside changes, the size limit, paths that are no
// files, links, read-only files, the frame's title, the status-bar call and
// the binary menu.

#include "BinWorld.h"

#include "platform/ui/Beep.h"
#include "platform/ui/Menu.h"
#include "platform/ui/Prompt.h"
#include "res/CommandIds.h"
#include "res/text/StringIds.h"
#include "tests/support/ui/CancelSaveAs.h"
#include "tests/support/ui/StandInApp.h"
#include "uilib/KVTMenuBar.h"

#include <gtest/gtest.h>

#include <cerrno>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QClipboard>
#include <QMdiSubWindow>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <set>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace testsupport::ui;

namespace {
QByteArray Disk(const BinWorld& w, const std::string& name)
{
    QFile f(w.Path(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}
} // namespace

TEST(BinDoc, AMissingPathOpensEmptyAndSavingCreatesTheFile)
{
    BinWorld w;
    CBinDoc* doc = w.Open("new.bin");
    ASSERT_NE(doc, nullptr);
    EXPECT_TRUE(doc->Data().Size() == 0);
    EXPECT_FALSE(doc->IsModified());
    EXPECT_EQ(doc->GetPathName(), w.Path("new.bin"));
    EXPECT_EQ(w.recent, std::vector<QString>{w.Path("new.bin")});
    doc->Data().Assign(QByteArray("\x01\x02\x00", 3));
    doc->SetModifiedFlag();
    EXPECT_TRUE(ui::SendCommand(ID_FILE_SAVE));
    EXPECT_EQ(Disk(w, "new.bin"), QByteArray("\x01\x02\x00", 3));
    EXPECT_FALSE(doc->IsModified());
}

TEST(BinDoc, FoldersUnreadablePathsAndLargeFilesAreRefused)
{
    BinWorld w;
    std::filesystem::create_directory(w.dir / "folder.bin");
    w.dir.Write("plain", "x");
    w.dir.Write("big.bin", "");
    const int fd = ::open((w.dir / "big.bin").c_str(), O_WRONLY);
    ASSERT_EQ(::ftruncate(fd, CBinDoc::kMaxSize + 1), 0);
    ::close(fd);

    PromptScript prompts({ui::IDOK, ui::IDOK, ui::IDOK});
    EXPECT_EQ(w.Open("folder.bin"), nullptr);
    EXPECT_EQ(w.Open("plain/x.bin"), nullptr);  // a file where a folder should be
    EXPECT_EQ(w.Open("big.bin"), nullptr);
    const std::vector<QString> texts = prompts.Texts();
    ASSERT_EQ(texts.size(), 3u);
    // The file and the cause on a line of their own.
    EXPECT_EQ(texts[0], ui::WithFileCause(LoadResString(ui::IDS_FAILED_TO_OPEN), w.Path("folder.bin"), EISDIR));
    EXPECT_EQ(texts[1], ui::WithFileCause(LoadResString(ui::IDS_FAILED_TO_OPEN), w.Path("plain/x.bin"), ENOTDIR));
    EXPECT_TRUE(texts[2].contains(QStringLiteral("2 GB"))) << texts[2].toStdString();
    EXPECT_EQ(w.tmpl->GetDocumentCount(), 0);
    EXPECT_TRUE(w.recent.empty());

    // A failed save keeps the file, the flag and says so.
    w.dir.Write("keep.bin", "old");
    CBinDoc* doc = w.Open("keep.bin");
    ASSERT_NE(doc, nullptr);
    doc->Data().Assign("new");
    doc->SetModifiedFlag();
    PromptScript failed({ui::IDOK});
    EXPECT_FALSE(doc->OnSaveDocument(w.Path("plain/keep.bin")));
    EXPECT_EQ(failed.Texts(),
              std::vector<QString>{ui::WithFileCause(
                  FormatResString(IDS_FILE_SAVE_FAILED, QDir::toNativeSeparators(w.Path("plain/keep.bin"))),
                  w.Path("plain/keep.bin"), ENOTDIR)});
    EXPECT_TRUE(doc->IsModified());
    EXPECT_EQ(Disk(w, "keep.bin"), QByteArray("old"));
}

TEST(BinDoc, OwnSaveIsQuietAndOutsideChangesAskBeforeReloading)
{
    BinWorld w(0x200);
    w.dir.Write("a.bin", "0123456789");
    CBinDoc* doc = w.Open("a.bin");
    ASSERT_NE(doc, nullptr);
    CBinView* view = BinWorld::ViewOf(doc);
    view->SetCaretPos(9);
    {
        PromptScript none;  // any question fails the test
        doc->Data().Put(0, 'X');
        doc->SetModifiedFlag();
        ASSERT_TRUE(doc->DoFileSave());
        PumpEvents(1500);
    }
    EXPECT_EQ(Disk(w, "a.bin"), QByteArray("X123456789"));

    // Changed outside, answered Yes: reloaded, the view clamped.
    {
        PromptScript prompts({ui::IDYES});
        w.dir.Write("a.bin", "abc");
        ASSERT_TRUE(WaitFor([&] { return prompts.Texts().size() == 1; }, 8000, "the question"));
        EXPECT_TRUE(prompts.Texts()[0].startsWith(QDir::toNativeSeparators(w.Path("a.bin"))));
        EXPECT_EQ(doc->Data().ToByteArray(), QByteArray("abc"));
        EXPECT_EQ(view->GetCaretPos(), 2);
    }
    // Answered No: the data stay.
    {
        PromptScript prompts({ui::IDNO});
        w.dir.Write("a.bin", "abcdef");
        ASSERT_TRUE(WaitFor([&] { return prompts.Texts().size() == 1; }, 8000, "the question"));
        PumpEvents(50);
        EXPECT_EQ(doc->Data().ToByteArray(), QByteArray("abc"));
    }
    // Reload without asking: an unmodified document reloads at once ...
    SetEdtGeneralFlags(0x300);
    {
        PromptScript none;
        w.dir.Write("a.bin", "ABCDEFGH");
        ASSERT_TRUE(WaitFor([&] { return doc->Data().ToByteArray() == "ABCDEFGH"; }, 8000, "the reload"));
    }
    // ... a modified one still asks.
    {
        PromptScript prompts({ui::IDNO});
        doc->SetModifiedFlag();
        w.dir.Write("a.bin", "zz");
        ASSERT_TRUE(WaitFor([&] { return prompts.Texts().size() == 1; }, 8000, "the question"));
        EXPECT_EQ(doc->Data().ToByteArray(), QByteArray("ABCDEFGH"));
    }
    EXPECT_GE(w.frame->flashes, 1);

    // Saving under a new name moves the watch there.
    EXPECT_TRUE(doc->IsWatching(w.Path("a.bin").toStdU16String()));
    ASSERT_TRUE(doc->DoSave(w.Path("b.bin")));
    EXPECT_FALSE(doc->IsWatching(w.Path("a.bin").toStdU16String()));
    EXPECT_TRUE(doc->IsWatching(w.Path("b.bin").toStdU16String()));

    // A reload that cannot read keeps the data and says so; a folder in the
    // file's place gets the open-failure message.
    SetEdtGeneralFlags(0);
    std::filesystem::remove(w.dir / "b.bin");
    PromptScript failed({ui::IDOK, ui::IDOK});
    EXPECT_FALSE(doc->Reload());
    std::filesystem::create_directory(w.dir / "b.bin");
    EXPECT_FALSE(doc->Reload());
    ASSERT_EQ(failed.Texts().size(), 2u);
    EXPECT_TRUE(failed.Texts()[0].contains(QStringLiteral("znovu načíst")));
    EXPECT_EQ(failed.Texts()[1], ui::WithFileCause(LoadResString(ui::IDS_FAILED_TO_OPEN), w.Path("b.bin"), EISDIR));
    EXPECT_EQ(doc->Data().ToByteArray(), QByteArray("ABCDEFGH"));
}

TEST(BinDoc, PathsThatAreNoFilesAreRefusedAtOnceAtOpenAndReload)
{
    BinWorld w(0);
    ASSERT_EQ(::mkfifo((w.dir / "fifo.bin").c_str(), 0600), 0);
    std::filesystem::create_symlink("/dev/zero", w.dir / "zero.bin");
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(sock, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const std::string sockPath = w.dir / "sock.bin";
    ASSERT_LT(sockPath.size(), sizeof addr.sun_path);
    std::strcpy(addr.sun_path, sockPath.c_str());
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    {
        // None waits for data; the endless device is no file, not a large one.
        PromptScript prompts({ui::IDOK, ui::IDOK, ui::IDOK});
        EXPECT_EQ(w.Open("fifo.bin"), nullptr);
        EXPECT_EQ(w.Open("zero.bin"), nullptr);
        EXPECT_EQ(w.Open("sock.bin"), nullptr);
        const QString text = LoadResString(ui::IDS_FAILED_TO_OPEN);
        EXPECT_EQ(prompts.Texts(), (std::vector<QString>{ui::WithFileCause(text, w.Path("fifo.bin"), ENODEV),
                                                         ui::WithFileCause(text, w.Path("zero.bin"), ENODEV),
                                                         ui::WithFileCause(text, w.Path("sock.bin"), ENXIO)}));
    }
    ::close(sock);
    EXPECT_EQ(w.tmpl->GetDocumentCount(), 0);
    EXPECT_TRUE(w.recent.empty());

    // An open file replaced by a FIFO: the reload (and the reload command)
    // refuses it and keeps the data.
    w.dir.Write("a.bin", "data");
    CBinDoc* doc = w.Open("a.bin");
    ASSERT_NE(doc, nullptr);
    std::filesystem::remove(w.dir / "a.bin");
    ASSERT_EQ(::mkfifo((w.dir / "a.bin").c_str(), 0600), 0);
    PromptScript failed({ui::IDOK, ui::IDOK});
    EXPECT_FALSE(doc->Reload());
    BinWorld::ViewOf(doc)->setFocus();
    ASSERT_TRUE(BinWorld::ViewOf(doc)->ExecuteCommand(ID_EDT_RELOAD_FILE));
    EXPECT_EQ(failed.Texts(),
              std::vector<QString>(2, ui::WithFileCause(LoadResString(ui::IDS_FAILED_TO_OPEN), w.Path("a.bin"), ENODEV)));
    EXPECT_EQ(doc->Data().ToByteArray(), QByteArray("data"));
}

TEST(BinDoc, SavingReplacesOnlyRegularFilesThroughLinksAndKeepsTheMode)
{
    BinWorld w(0);
    w.dir.Write("real/r.bin", "old");
    ASSERT_EQ(::chmod((w.dir / "real/r.bin").c_str(), 0640), 0);
    std::filesystem::create_symlink("real/r.bin", w.dir / "link.bin");
    CBinDoc* doc = w.Open("link.bin");
    ASSERT_NE(doc, nullptr);
    EXPECT_FALSE(doc->IsReadOnly());
    doc->Data().Assign("new");
    doc->SetModifiedFlag();
    ASSERT_TRUE(doc->DoFileSave());
    EXPECT_TRUE(std::filesystem::is_symlink(w.dir / "link.bin"));
    EXPECT_EQ(Disk(w, "real/r.bin"), QByteArray("new"));
    EXPECT_EQ(std::filesystem::status(w.dir / "real/r.bin").permissions(),
              std::filesystem::perms(0640));

    // A FIFO, a device and a link that names nothing stay what they are,
    // each refused with the text documents' message.
    ASSERT_EQ(::mkfifo((w.dir / "fifo.bin").c_str(), 0600), 0);
    std::filesystem::create_symlink("/dev/null", w.dir / "null.bin");
    std::filesystem::create_symlink("gone.bin", w.dir / "dangling.bin");
    doc->SetModifiedFlag();
    for (const auto& [name, cause] :
         {std::pair{"fifo.bin", ENODEV}, std::pair{"null.bin", ENODEV}, std::pair{"dangling.bin", ENOENT}}) {
        SCOPED_TRACE(name);
        PromptScript failed({ui::IDOK});
        EXPECT_FALSE(doc->OnSaveDocument(w.Path(name)));
        EXPECT_EQ(failed.Texts(),
                  std::vector<QString>{ui::WithFileCause(
                      FormatResString(IDS_FILE_SAVE_FAILED, QDir::toNativeSeparators(w.Path(name))), w.Path(name),
                      uint32_t(cause))});
        EXPECT_TRUE(doc->IsModified());
    }
    EXPECT_EQ(std::filesystem::symlink_status(w.dir / "fifo.bin").type(), std::filesystem::file_type::fifo);
    EXPECT_TRUE(std::filesystem::is_symlink(w.dir / "dangling.bin"));
    EXPECT_FALSE(std::filesystem::exists(w.dir / "gone.bin"));
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/null"));
}

TEST(BinDoc, AFileWithoutWritePermissionOpensReadOnlyAndIsNotSaved)
{
    // Without any write permission bit the file counts as read-only for
    // every user, root too, as in the text documents.
    BinWorld w(0);
    w.dir.Write("ro.bin", "keep");
    ASSERT_EQ(::chmod((w.dir / "ro.bin").c_str(), 0444), 0);
    CBinDoc* doc = w.Open("ro.bin");
    ASSERT_NE(doc, nullptr);
    EXPECT_TRUE(doc->IsReadOnly());
    CBinView* view = BinWorld::ViewOf(doc);
    bool address = false, hex = false, ascii = false, wide = false, readOnly = false;
    view->GetOptions(address, hex, ascii, wide, readOnly);
    EXPECT_TRUE(readOnly);

    // Made editable by hand and changed: the save is refused as the text
    // documents refuse it and offers another place, and the file stays.
    doc->SetReadOnly(false);
    doc->Data().Assign("changed");
    doc->SetModifiedFlag();
    PromptScript refused({ui::IDOK});
    testsupport::ui::CancelSaveAs saveAs;
    EXPECT_FALSE(doc->DoFileSave());
    EXPECT_EQ(saveAs.Count(), 1);
    EXPECT_EQ(refused.Texts(),
              std::vector<QString>{ui::WithFileCause(
                  FormatResString(IDS_FILE_SAVE_FAILED, QDir::toNativeSeparators(w.Path("ro.bin"))), w.Path("ro.bin"),
                  EACCES)});
    EXPECT_TRUE(doc->IsModified());
    EXPECT_EQ(Disk(w, "ro.bin"), QByteArray("keep"));
    EXPECT_EQ(std::filesystem::status(w.dir / "ro.bin").permissions(), std::filesystem::perms(0444));
    // Saved elsewhere it is written.
    ASSERT_TRUE(doc->DoSave(w.Path("copy.bin")));
    EXPECT_EQ(Disk(w, "copy.bin"), QByteArray("changed"));
}

TEST(BinDoc, ADeletedFileKeepsItsDataAndSavingWritesItBack)
{
    BinWorld w(0x200);
    w.dir.Write("d.bin", "data");
    CBinDoc* doc = w.Open("d.bin");
    ASSERT_NE(doc, nullptr);
    PromptScript prompts({ui::IDOK});
    std::filesystem::remove(w.dir / "d.bin");
    ASSERT_TRUE(WaitFor([&] { return prompts.Texts().size() == 1; }, 10000, "the message"));
    EXPECT_TRUE(prompts.Texts()[0].contains(QStringLiteral("smazán")));
    EXPECT_EQ(doc->Data().ToByteArray(), QByteArray("data"));
    ASSERT_TRUE(doc->DoFileSave());
    EXPECT_EQ(Disk(w, "d.bin"), QByteArray("data"));

    // Reload of a path that is gone: 4240, nothing changes.
    std::filesystem::remove(w.dir / "d.bin");
    PromptScript missing({ui::IDOK, ui::IDOK});
    missing.AllowUnexpected(true);  // the monitor may report the deletion too
    BinWorld::ViewOf(doc)->setFocus();
    ASSERT_TRUE(BinWorld::ViewOf(doc)->ExecuteCommand(ID_EDT_RELOAD_FILE));
    EXPECT_EQ(missing.Texts().front(), LoadResString(4240));
    EXPECT_EQ(doc->Data().ToByteArray(), QByteArray("data"));
}

namespace {
// A sparse file of `size` bytes with the given bytes written at offsets.
void SparseFile(const BinWorld& w, const std::string& name, qint64 size,
                const std::vector<std::pair<qint64, QByteArray>>& marks)
{
    w.dir.Write(name, "");
    const int fd = ::open((w.dir / name).c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, off_t(size)), 0);
    for (const auto& [at, bytes] : marks)
        ASSERT_EQ(::pwrite(fd, bytes.constData(), size_t(bytes.size()), off_t(at)), bytes.size());
    ::close(fd);
}

// n bytes of the file at offset `at`.
QByteArray DiskAt(const BinWorld& w, const std::string& name, qint64 at, qsizetype n)
{
    QFile f(w.Path(name));
    if (!f.open(QIODevice::ReadOnly) || !f.seek(at))
        return "<missing>";
    return f.read(n);
}

qint64 DiskSize(const BinWorld& w, const std::string& name) { return QFileInfo(w.Path(name)).size(); }

// The view drawn without its blinking caret.
QImage Shown(CBinView* view)
{
    view->clearFocus();
    EXPECT_FALSE(view->CaretShown());
    return Render(view);
}

constexpr qint64 kLarge = qint64(100) << 20;  // over the old limit of 64 MiB
} // namespace

TEST(BinDoc, AFileOverTheOldLimitOpensAtOnceAndSavesEditsAndInserts)
{
    BinWorld w(0);
    SparseFile(w, "big.bin", kLarge, {{0, "HEAD"}, {kLarge / 2, "MIDDLE"}, {kLarge - 4, "TAIL"}});
    CBinDoc* doc = w.Open("big.bin");
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(doc->Data().Size(), kLarge);
    EXPECT_FALSE(doc->IsModified());
    CBinView* view = BinWorld::ViewOf(doc);
    Render(view);
    EXPECT_LE(doc->Data().PagesRead(), 2);  // the open and the first paint read the start only

    // A byte near the end typed over in the hex column.
    view->setFocus();
    view->SetCaretPos(kLarge - 3);
    view->SetCaretArea(HA_HEX_HIGH);
    TypeText(view, QStringLiteral("7e"));
    EXPECT_TRUE(doc->IsModified());
    EXPECT_EQ(doc->Data().Mid(kLarge - 4, 4), QByteArray("T~IL"));
    ASSERT_TRUE(doc->DoFileSave());
    EXPECT_FALSE(doc->IsModified());
    EXPECT_EQ(DiskSize(w, "big.bin"), kLarge);
    EXPECT_EQ(DiskAt(w, "big.bin", 0, 8), QByteArray("HEAD\0\0\0\0", 8));
    EXPECT_EQ(DiskAt(w, "big.bin", kLarge / 2 - 2, 8), QByteArray("\0\0MIDDLE", 8));
    EXPECT_EQ(DiskAt(w, "big.bin", kLarge - 6, 6), QByteArray("\0\0T~IL", 6));
    EXPECT_EQ(DiskAt(w, "big.bin", kLarge / 4, 4096), QByteArray(4096, '\0'));
    // The document reads on from the file it wrote.
    EXPECT_EQ(doc->Data().PieceCount(), 1);
    EXPECT_EQ(doc->Data().Mid(kLarge - 4, 4), QByteArray("T~IL"));

    // Inserted bytes (Insert puts a zero before the caret) and a removed
    // selection move the rest; the file follows.
    view->SetCaretPos(2);
    PressKey(view, Qt::Key_Insert);
    PressKey(view, Qt::Key_Insert);
    view->SetSelection(kLarge / 2, kLarge / 2 + 3);
    ASSERT_TRUE(view->ExecuteCommand(ID_EDIT_CLEAR));
    EXPECT_EQ(doc->Data().Size(), kLarge - 1);
    ASSERT_TRUE(doc->DoFileSave());
    EXPECT_EQ(DiskSize(w, "big.bin"), kLarge - 1);
    EXPECT_EQ(DiskAt(w, "big.bin", 0, 8), QByteArray("HE\0\0AD\0\0", 8));
    EXPECT_EQ(DiskAt(w, "big.bin", kLarge / 2 - 2, 8), QByteArray("\0\0IDDLE\0", 8));
    EXPECT_EQ(DiskAt(w, "big.bin", kLarge - 7, 6), QByteArray("\0\0T~IL", 6));

    // The largest size opens; a paste at the limit beeps.
    SparseFile(w, "max.bin", CBinDoc::kMaxSize, {{CBinDoc::kMaxSize - 3, "END"}});
    CBinDoc* max = w.Open("max.bin");
    ASSERT_NE(max, nullptr);
    EXPECT_EQ(max->Data().Size(), CBinDoc::kMaxSize);
    EXPECT_EQ(max->Data().Mid(CBinDoc::kMaxSize - 3, 3), QByteArray("END"));
    const int beeps = ui::BeepCount();
    BinWorld::ViewOf(max)->setFocus();
    PressKey(BinWorld::ViewOf(max), Qt::Key_Insert);
    EXPECT_EQ(ui::BeepCount(), beeps + 1);
    EXPECT_EQ(max->Data().Size(), CBinDoc::kMaxSize);
}

namespace {
// The file's last write an hour back, so that a write right after the
// open changes it whatever the clock's resolution.
void Backdate(const BinWorld& w, const std::string& name)
{
    const timespec old{std::time(nullptr) - 3600, 0};
    const timespec times[2] = {old, old};
    ASSERT_EQ(::utimensat(AT_FDCWD, (w.dir / name).c_str(), times, 0), 0);
}

// Whether the blank between the first two hex cells of the first row is
// drawn on (the hatch of unavailable bytes) rather than left blank.
bool FirstGapDrawn(CBinView* view, const QImage& img)
{
    HexEditModel& m = view->Model();
    const QRect gap(m.HexX() + 2 * m.CharWidth() + 1, 1, m.CharWidth() - 2, m.LineHeight() - 2);
    const QColor back = img.pixelColor(img.width() - 2, img.height() - 2);
    return CountColor(img, gap, back) < gap.width() * gap.height();
}
} // namespace

TEST(BinDoc, AFileTruncatedWhileShownAsksAndShowsNoByteOfTheNewFile)
{
    // The pages kept stay as they were read; the others are unavailable
    // once the file changed: hatched, never typed over, copied or saved.
    BinWorld w(0x200);
    SparseFile(w, "t.bin", kLarge, {{0, "HEAD"}, {kLarge / 2, "MIDDLE"}, {kLarge - 4, "TAIL"}});
    Backdate(w, "t.bin");
    CBinDoc* doc = w.Open("t.bin");
    ASSERT_NE(doc, nullptr);
    CBinView* view = BinWorld::ViewOf(doc);
    view->SetCaretPos(kLarge - 1);
    const QImage end = Shown(view);
    EXPECT_FALSE(FirstGapDrawn(view, end));
    {
        PromptScript prompts({ui::IDNO});
        ASSERT_EQ(::truncate((w.dir / "t.bin").c_str(), 1 << 20), 0);
        ASSERT_TRUE(WaitFor([&] { return prompts.Texts().size() == 1; }, 8000, "the question"));
        EXPECT_EQ(prompts.Texts()[0], FormatResString(535, QDir::toNativeSeparators(w.Path("t.bin"))));
        PumpEvents(50);
    }
    EXPECT_EQ(doc->Data().Size(), kLarge);
    EXPECT_EQ(Shown(view), end);
    EXPECT_EQ(doc->Data().Mid(kLarge - 4, 4), QByteArray("TAIL"));
    EXPECT_EQ(doc->Data().Mid(0, 4), QByteArray("HEAD"));

    // The middle was never read: unavailable, and the question was asked
    // already (by the monitor), so none comes again.
    PromptScript none;
    view->SetCaretPos(kLarge / 2);
    const QImage middle = Shown(view);
    PumpEvents(50);
    EXPECT_TRUE(FirstGapDrawn(view, middle));
    EXPECT_EQ(doc->Data().Changes() & BinData::kContentChanged, BinData::kContentChanged);
    view->setFocus();
    const int beeps = ui::BeepCount();
    TypeText(view, QStringLiteral("4"));                  // typing over
    view->SetSelection(kLarge / 2, kLarge / 2 + 4);
    QApplication::clipboard()->setText(QStringLiteral("before"));
    ASSERT_TRUE(view->ExecuteCommand(ID_EDIT_COPY));      // copying
    ASSERT_TRUE(view->ExecuteCommand(ID_EDIT_CLEAR));     // deleting
    ASSERT_TRUE(view->ExecuteCommand(ID_EDIT_PASTE));     // pasting over them
    EXPECT_EQ(ui::BeepCount(), beeps + 4);
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("before"));
    EXPECT_FALSE(doc->IsModified());
    EXPECT_EQ(doc->Data().Size(), kLarge);

    // Bytes kept can still be edited; the save is refused and says why,
    // the file stays as it is.
    view->SetSelection(-1, -1);
    view->SetCaretPos(kLarge - 4);
    view->SetCaretArea(HA_ASCII);
    TypeText(view, QStringLiteral("t"));
    EXPECT_TRUE(doc->IsModified());
    {
        // (Another place would lack the same bytes: no "save as".)
        PromptScript refused({ui::IDOK});
        testsupport::ui::CancelSaveAs saveAs;
        EXPECT_FALSE(doc->DoFileSave());
        EXPECT_EQ(saveAs.Count(), 0);
        ASSERT_EQ(refused.Texts().size(), 1u);
        EXPECT_EQ(refused.Texts()[0], FormatResString(4799, QDir::toNativeSeparators(w.Path("t.bin"))));
    }
    EXPECT_TRUE(doc->IsModified());
    EXPECT_EQ(DiskSize(w, "t.bin"), 1 << 20);

    // The reload (the edits given up) shows the file as it is now.
    PromptScript reload({ui::IDYES});
    ASSERT_TRUE(view->ExecuteCommand(ID_EDT_RELOAD_FILE));
    EXPECT_EQ(doc->Data().Size(), 1 << 20);
    EXPECT_EQ(doc->Data().Changes(), 0u);
    EXPECT_FALSE(FirstGapDrawn(view, Shown(view)));
}

TEST(BinDoc, WithoutTheWatchAReadOfAChangedFileAsksAndSavesAfterEvictionWork)
{
    // Pages of more than the cache holds; each starts with its number.
    BinWorld w(0);
    const qint64 pages = BinData::kCachePages + 100;
    const qint64 size = pages * BinData::kPageSize;
    auto mark = [](qint64 p) { return QByteArray::number(p).rightJustified(8, '#'); };
    std::vector<std::pair<qint64, QByteArray>> marks;
    for (qint64 p = 0; p < pages; ++p)
        marks.emplace_back(p * BinData::kPageSize, mark(p));
    SparseFile(w, "e.bin", size, marks);
    Backdate(w, "e.bin");
    CBinDoc* doc = w.Open("e.bin");
    ASSERT_NE(doc, nullptr);
    CBinView* view = BinWorld::ViewOf(doc);
    Shown(view);

    // Every page read: the cache keeps its bound; the first pages went out.
    // An edit of one of them and the save give the right bytes.
    for (qint64 p = 0; p < pages; ++p)
        ASSERT_EQ(doc->Data().Mid(p * BinData::kPageSize, 8), mark(p));
    EXPECT_EQ(doc->Data().PagesKept(), BinData::kCachePages);
    view->setFocus();
    view->SetCaretPos(2 * BinData::kPageSize + 1);
    view->SetCaretArea(HA_ASCII);
    TypeText(view, QStringLiteral("E"));
    {
        PromptScript none;
        ASSERT_TRUE(doc->DoFileSave());
    }
    EXPECT_EQ(DiskSize(w, "e.bin"), size);
    for (qint64 p : {qint64(0), qint64(1), qint64(3), pages / 2, pages - 1})
        EXPECT_EQ(DiskAt(w, "e.bin", p * BinData::kPageSize, 9), mark(p) + '\0') << p;
    EXPECT_EQ(DiskAt(w, "e.bin", 2 * BinData::kPageSize, 3), "#E#");
    EXPECT_EQ(DiskAt(w, "e.bin", 5 * BinData::kPageSize - 4, 8), QByteArray(4, '\0') + "####");
    Backdate(w, "e.bin");
    ASSERT_TRUE(doc->Reload());  // the saved file's own times

    // Rewritten in place: nothing is said until a page not kept is read;
    // then the question comes, and Yes reloads.
    const QImage start = Shown(view);
    {
        const int fd = ::open((w.dir / "e.bin").c_str(), O_WRONLY);
        ASSERT_EQ(::pwrite(fd, "NEWBYTES", 8, off_t(pages / 2 * BinData::kPageSize)), 8);
        ::close(fd);
    }
    {
        PromptScript prompts({ui::IDYES});
        EXPECT_EQ(Shown(view), start);
        PumpEvents(20);
        EXPECT_TRUE(prompts.Texts().empty());
        view->SetCaretPos(pages / 2 * BinData::kPageSize);
        EXPECT_TRUE(FirstGapDrawn(view, Shown(view)));
        ASSERT_TRUE(WaitFor([&] { return prompts.Texts().size() == 1; }, 8000, "the question"));
        EXPECT_EQ(prompts.Texts()[0], FormatResString(535, QDir::toNativeSeparators(w.Path("e.bin"))));
        EXPECT_EQ(doc->Data().Mid(pages / 2 * BinData::kPageSize, 8), QByteArray("NEWBYTES"));
        EXPECT_FALSE(FirstGapDrawn(view, Shown(view)));
    }

    // Replaced by another file: the question; No keeps reading the open
    // file, every page of it, and asks no more.
    SparseFile(w, "other.bin", 100, {{0, "OTHER"}});
    ASSERT_EQ(std::rename((w.dir / "other.bin").c_str(), (w.dir / "e.bin").c_str()), 0);
    {
        PromptScript prompts({ui::IDNO});
        view->SetCaretPos(pages / 4 * BinData::kPageSize);
        EXPECT_FALSE(FirstGapDrawn(view, Shown(view)));
        ASSERT_TRUE(WaitFor([&] { return prompts.Texts().size() == 1; }, 8000, "the question"));
        EXPECT_EQ(doc->Data().Mid(pages / 4 * BinData::kPageSize, 8), mark(pages / 4));
    }
    {
        PromptScript none;
        view->SetCaretPos(pages / 3 * BinData::kPageSize);
        EXPECT_FALSE(FirstGapDrawn(view, Shown(view)));
        PumpEvents(20);
        EXPECT_EQ(doc->Data().Size(), size);
    }
}

TEST(BinDoc, ReloadAsksBeforeItThrowsAwayUnsavedEdits)
{
    BinWorld w;
    w.dir.Write("r.bin", "disk");
    CBinDoc* doc = w.Open("r.bin");
    ASSERT_NE(doc, nullptr);
    doc->Data().Assign(QByteArray("edit"));
    doc->SetModifiedFlag();
    BinWorld::ViewOf(doc)->setFocus();
    PromptScript ask({ui::IDNO, ui::IDYES});
    ASSERT_TRUE(BinWorld::ViewOf(doc)->ExecuteCommand(ID_EDT_RELOAD_FILE));
    EXPECT_EQ(doc->Data().ToByteArray(), QByteArray("edit"));
    EXPECT_TRUE(doc->IsModified());
    ASSERT_TRUE(BinWorld::ViewOf(doc)->ExecuteCommand(ID_EDT_RELOAD_FILE));
    EXPECT_EQ(doc->Data().ToByteArray(), QByteArray("disk"));
    EXPECT_FALSE(doc->IsModified());
    ASSERT_EQ(ask.Texts().size(), 2u);
    EXPECT_EQ(ask.Texts()[0], FormatResString(4765, QDir::toNativeSeparators(w.Path("r.bin"))));
    // Without edits no question.
    ASSERT_TRUE(BinWorld::ViewOf(doc)->ExecuteCommand(ID_EDT_RELOAD_FILE));
    EXPECT_EQ(ask.Texts().size(), 2u);
}

TEST(BinDoc, TitlesAndTheStatusBarCall)
{
    BinWorld w(0);
    w.dir.Write("a.bin", "1234");
    w.dir.Write("b.bin", "5678");
    CBinDoc* a = w.Open("a.bin");
    CBinDoc* b = w.Open("b.bin");
    ASSERT_TRUE(a && b);
    ui::ChildFrame* first = BinWorld::FrameOf(a);
    ui::ChildFrame* second = w.tmpl->CreateNewFrame(a, first);
    w.tmpl->InitialUpdateFrame(second, a);
    a->SetModifiedFlag();
    EXPECT_EQ(first->windowTitle(), QStringLiteral("a.bin:1 *"));
    EXPECT_EQ(second->windowTitle(), QStringLiteral("a.bin:2 *"));
    EXPECT_EQ(BinWorld::FrameOf(b)->windowTitle(), QStringLiteral("b.bin"));

    // The binary menu while a binary window is active.
    ui::Menu* shared = w.tmpl->GetSharedMenu();
    ASSERT_NE(shared, nullptr);
    EXPECT_EQ(w.frame->GetActiveMenu(), shared);

    // With bit 0x10 a new frame is maximised when first shown.
    SetEdtGeneralFlags(0x10);
    w.dir.Write("c.bin", "9");
    CBinDoc* c = w.Open("c.bin");
    ASSERT_NE(c, nullptr);
    EXPECT_TRUE(BinWorld::FrameOf(c)->isMaximized());
    c->OnCloseDocument();

    b->OnCloseDocument();
    EXPECT_EQ(w.frame->indicatorsOff, 0);
    a->OnCloseDocument();
    a->OnCloseDocument();
    EXPECT_EQ(w.frame->indicatorsOff, 1);
    BinWorld::Pump();
    EXPECT_EQ(w.frame->GetActiveMenu(), w.frame->GetDefaultMenu());
}

namespace {
// (popup path, command id) of every item; the popup names of each level.
void Collect(const ui::Menu& m, const QString& path, std::set<std::pair<QString, uint32_t>>& items,
             std::vector<QString>& duplicates)
{
    std::set<QString> names;
    for (int i = 0; i < m.ItemCount(); ++i) {
        const ui::MenuItem* it = m.Item(i);
        if (it->popup) {
            const QString name = ui::PlainMenuText(it->text);
            if (!names.insert(name).second)
                duplicates.push_back(path + QLatin1Char('/') + name);
            Collect(*it->popup, path + QLatin1Char('/') + name, items, duplicates);
        } else if (it->id) {
            items.insert({path, it->id});
        }
    }
}
} // namespace

TEST(BinDoc, TheBinaryMenuHoldsTheMainMenu)
{
    std::unique_ptr<ui::Menu> main = ui::Menu::Load(1), bin = ui::Menu::Load(3);
    ASSERT_TRUE(main && bin);
    std::set<std::pair<QString, uint32_t>> mainItems, binItems;
    std::vector<QString> dup;
    Collect(*main, {}, mainItems, dup);
    Collect(*bin, {}, binItems, dup);
    EXPECT_TRUE(dup.empty()) << dup.front().toStdString();
    for (const auto& item : mainItems)
        EXPECT_TRUE(binItems.count(item)) << item.first.toStdString() << " " << item.second;
    for (uint32_t id : {ID_FILE_SAVE, ID_EDIT_CLEAR, ID_EDT_READ_ONLY, ID_EDT_RELOAD_FILE, ID_HEX_ADDRESS, ID_HEX_WIDE, ID_HEX_BPR_FIRST + 1, ID_HEX_BPR_FIRST + 16})
        EXPECT_NE(bin->FindMenuOf(id), nullptr) << id;
    std::unique_ptr<ui::Menu> context = ui::Menu::Load(1001);
    ASSERT_TRUE(context && context->SubMenu(0));
    EXPECT_EQ(context->SubMenu(0)->ItemCount(), 8);
}

TEST(BinDoc, TheProgramOpensBinaryFilesInTheHexView)
{
    StandInApp s;
    ASSERT_TRUE(s.Start());
    const QString sample = QString::fromLocal8Bit(qgetenv("SW_FIXTURES")) + QStringLiteral("/plcviews/sample.bin");
    auto* doc = qobject_cast<CBinDoc*>(s.app->OpenDocumentFile(sample));
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(doc->Data().Size(), 2000);
    auto* view = qobject_cast<CBinView*>(doc->FirstView());
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(s.Frame()->GetActiveMenu(), doc->GetDocTemplate()->GetSharedMenu());
    // The menu bar shows it.
    ASSERT_NE(s.Frame()->GetMenuBar(), nullptr);
    EXPECT_EQ(s.Frame()->GetMenuBar()->GetCurrentMenu(), doc->GetDocTemplate()->GetSharedMenu());
    // "BinaryWindow" comes after the categories registered before it.
    const auto& cats = GetFontColorPage()->Current();
    ASSERT_GE(cats.size(), 2u);
    EXPECT_EQ(cats.front().name, QStringLiteral("OutputWindow"));
    EXPECT_EQ(cats.back().name, CBinView::kCategory);
}
