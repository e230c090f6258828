// The file-open dialog with preview and the folder browser.

#include "../DibTesting.h"

#include "editor/dialogs/EditFileOpenDlg.h"
#include "editor/buffer/EdtCodePages.h"
#include "platform/ui/FileDialogs.h"
#include "platform/ui/Prompt.h"
#include "tests/support/ui/UiTest.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QHeaderView>
#include <QListView>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeView>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace testsupport::ui;

namespace {

QString Write(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
{
    const QString path = dir.filePath(name);
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
    return path;
}

QByteArray Bytes(const std::vector<uint8_t>& v)
{
    return QByteArray(reinterpret_cast<const char*>(v.data()), qsizetype(v.size()));
}

std::vector<uint8_t> Vec(const QByteArray& b)
{
    return std::vector<uint8_t>(b.begin(), b.end());
}

} // namespace

TEST(FileOpenPreview, PureRules)
{
    // UTF-16 with the mark; an odd last byte and a cut-off high surrogate go.
    QByteArray u16("\xFF\xFE", 2);
    for (char16_t c : std::u16string(u"Ahoj\r\nsvěte\r\n"))
        u16 += char(c & 0xFF), u16 += char(c >> 8);
    u16 += QByteArray("\x3D\xD8", 2);  // a high surrogate at the end
    u16 += 'x';                        // an odd byte
    EXPECT_EQ(edt::PreviewTextOf(Vec(u16)), QStringLiteral("Ahoj\nsvěte\n"));
    // Code page 1250 and CR only.
    EXPECT_EQ(edt::PreviewTextOf(Vec(QByteArray("a\rb\rc\xE8"))), QStringLiteral("a\nb\ncč"));
    EXPECT_EQ(edt::PreviewTextOf(Vec(QByteArray("a\n\r\nb"))), QStringLiteral("a\n\nb"));
    // UTF-8 with characters beyond U+FFFF (U+1F480 ends in DC80) and a
    // byte that is no UTF-8.
    EXPECT_EQ(edt::PreviewTextOf(Vec(QByteArray("\xF0\x9F\x92\x80 \xC5\xA1\xF0\x9F\x98\x80\n\xFF")), edt::PreviewCharset::Utf8),
              QString::fromUtf8("💀 š😀\n\xEF\xBF\xBD"));

    EXPECT_TRUE(edt::IsPicturePath("/x/Obr.BMP"));
    EXPECT_TRUE(edt::IsPicturePath("a.b.dib"));
    EXPECT_FALSE(edt::IsPicturePath("/x.bmp/file"));
    EXPECT_FALSE(edt::IsPicturePath("bmp"));

    const QString p35(35, QLatin1Char('a'));
    EXPECT_EQ(edt::FolderStatusText(p35), p35);
    EXPECT_EQ(edt::FolderStatusText(p35 + "b"), p35 + "...");

    EXPECT_EQ(edt::PicturePlacement(QSize(100, 80), QSize(64, 48)), QRect(18, 16, 64, 48));
    EXPECT_EQ(edt::PicturePlacement(QSize(100, 80), QSize(400, 100)), QRect(0, 27, 100, 25));

    EXPECT_EQ(ui::ConvertFileFilter(QStringLiteral("Soubory *.knf|*.knf|Všechny soubory|*.*|")),
              QStringLiteral("Soubory *.knf (*.knf);;Všechny soubory (*)"));
    EXPECT_EQ(ui::ConvertFileFilter(QStringLiteral("Zdrojové soubory PLC (*.plc)|*.plc|Textové soubory "
                                                   "(*.txt)|*.txt;*.lst|Všechny soubory (*.*)|*.*||")),
              QStringLiteral("Zdrojové soubory PLC (*.plc) (*.plc);;Textové soubory (*.txt) (*.txt *.lst);;"
                             "Všechny soubory (*.*) (*)"));
}

TEST(FileOpenPreview, TextPictureAndOff)
{
    QTemporaryDir dir;
    const QString bmp = Write(dir, "pic.bmp", Bytes(dibtest::MakeBmp(64, 48, 4)));
    const QString text = Write(dir, "a.txt", "first\r\nsecond\rthird");
    const QString other = Write(dir, "b.txt", "other");
    const QString bad = Write(dir, "bad.bmp", "BMnot a picture at all, really not");
    CEditFileOpenDlg dlg(true, {}, {}, ui::OFN_ALLOWMULTISELECT | ui::OFN_FILEMUSTEXIST, "Vše|*.*|", nullptr);
    dlg.SetInitialFolder(dir.path());
    dlg.resize(900, 500);
    dlg.show();
    auto* list = FindChild<QListView>(&dlg, "listView");
    ASSERT_NE(list, nullptr);
    WaitFor([&] { return list->model()->rowCount(list->rootIndex()) == 4; }, 3000, "the folder's files");

    auto pick = [&](const QString& name) {
        for (int r = 0; r < list->model()->rowCount(list->rootIndex()); ++r) {
            const QModelIndex i = list->model()->index(r, 0, list->rootIndex());
            if (i.data().toString() == name)
                list->setCurrentIndex(i);  // as a click does
        }
    };
    pick("a.txt");
    WaitFor([&] { return !dlg.TextPreview()->text().isEmpty(); }, 3000, "text preview");
    EXPECT_EQ(dlg.TextPreview()->text(), QStringLiteral("first\nsecond\nthird"));

    dlg.Preview(bmp);
    PumpEvents();
    EXPECT_TRUE(dlg.PicturePreview()->isVisible());
    EXPECT_FALSE(dlg.TextPreview()->isVisible());
    EXPECT_EQ(dlg.Information()->text(), QStringLiteral("Šířka:\t64\nVýška:\t48\nBarvy:\t16"));
    const QImage img = Render(dlg.PicturePreview());
    const QSize s = img.size();
    EXPECT_EQ(img.pixel(2, 2), qRgb(255, 255, 255));
    EXPECT_EQ(img.pixel(s.width() / 2, s.height() / 2 - 24), qRgb(0, 0, 0));  // the picture's top frame
    EXPECT_NE(img.pixel(s.width() / 2, s.height() / 2), qRgb(255, 255, 255));

    // A picture that does not load leaves everything empty.
    dlg.Preview(bad);
    EXPECT_FALSE(dlg.PicturePreview()->isVisible());
    EXPECT_TRUE(dlg.TextPreview()->text().isEmpty());
    EXPECT_TRUE(dlg.Information()->text().isEmpty());

    // Preview off, then another file: empty.
    dlg.Preview(text);
    auto* box = FindChild<QCheckBox>(&dlg, "c1045");
    ASSERT_NE(box, nullptr);
    Click(box);
    EXPECT_FALSE(dlg.IsPreviewOn());
    EXPECT_TRUE(dlg.TextPreview()->text().isEmpty());
    pick("b.txt");
    PumpEvents(50);
    EXPECT_TRUE(dlg.TextPreview()->text().isEmpty());
    Click(box);
    EXPECT_EQ(dlg.TextPreview()->text(), QStringLiteral("other"));
    dlg.reject();
}

TEST(FileOpenPreview, Utf8Text)
{
    const QByteArray czech = QStringLiteral("Žluťoučký kůň → 漢字 😀").toUtf8();
    const QString expected = QStringLiteral("Žluťoučký kůň → 漢字 😀\ndruhý");
    // With and without the mark; recognised by its bytes.
    EXPECT_EQ(edt::PreviewTextOf(Vec(czech + "\r\ndruhý")), expected);
    EXPECT_EQ(edt::PreviewTextOf(Vec("\xEF\xBB\xBF" + czech + "\ndruhý")), expected);
    // Cut inside a character where the preview stops reading: that character
    // goes; at the end of a shorter file the bytes are no UTF-8.
    QByteArray cut = QByteArray(int(edt::PREVIEW_BYTES) - czech.size() + 2, 'x') + czech;
    cut.chop(2);
    ASSERT_EQ(size_t(cut.size()), edt::PREVIEW_BYTES);
    EXPECT_TRUE(edt::PreviewTextOf(Vec(cut)).endsWith(QStringLiteral("Žluťoučký kůň → 漢字 ")));
    EXPECT_EQ(edt::PreviewTextOf(Vec(QByteArray("\xC5\xBD\xC5"))), QStringLiteral("Ĺ˝Ĺ"));
    // Code page 1250 Czech and ASCII stay as they were.
    EXPECT_EQ(edt::PreviewTextOf(Vec(QByteArray("k\xF9\xF2 \xFAp\xECl"))), QStringLiteral("kůň úpěl"));
    // Asked for: 1250 reads UTF-8 bytes a byte a character; UTF-8 shows an
    // invalid byte as U+FFFD.
    EXPECT_EQ(edt::PreviewTextOf(Vec(QByteArray("\xC5\xBD")), edt::PreviewCharset::Ansi), QStringLiteral("Ĺ˝"));
    EXPECT_EQ(edt::PreviewTextOf(Vec(QByteArray("a\xE8" "b")), edt::PreviewCharset::Utf8), QStringLiteral("a\uFFFDb"));
    // The charset as loading would choose it.
    EXPECT_EQ(edt::PreviewCharsetFor("/p/a.txt", -1), edt::PreviewCharset::Detect);
    EXPECT_EQ(edt::PreviewCharsetFor("/p/a.txt", EDT_CODEPAGE_UTF8), edt::PreviewCharset::Utf8);
    EXPECT_EQ(edt::PreviewCharsetFor("/p/a.txt", 4), edt::PreviewCharset::Ansi);

    // In the dialog: the file's preview, and again with the choice of UTF-8
    // or a code page.
    QTemporaryDir dir;
    const QString path = Write(dir, "u.txt", czech + "\r\ndruhý");
    CEditFileOpenDlg dlg(true, {}, {}, 0, {}, nullptr);
    dlg.Preview(path);
    EXPECT_EQ(dlg.TextPreview()->text(), expected);
    dlg.Preview(Write(dir, "v.txt", "a\xE8"));
    EXPECT_EQ(dlg.TextPreview()->text(), QStringLiteral("ač"));
    auto* convert = FindChild<QCheckBox>(&dlg, "c1046");
    auto* codePages = FindChild<QComboBox>(&dlg, "c1007");
    ASSERT_TRUE(convert && codePages);
    convert->setChecked(true);
    codePages->setCurrentIndex(EDT_CODEPAGE_UTF8);
    EXPECT_EQ(dlg.TextPreview()->text(), QStringLiteral("a\uFFFD"));
    codePages->setCurrentIndex(1);
    dlg.Preview(path);
    EXPECT_TRUE(dlg.TextPreview()->text().startsWith(QStringLiteral("Ĺ˝")));
}

TEST(FileOpenPreview, FifoNeverBlocks)
{
    QTemporaryDir dir;
    const QString fifo = dir.filePath("pipe.txt");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString fifoBmp = dir.filePath("pipe.bmp");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifoBmp).constData(), 0600), 0);
    CEditFileOpenDlg dlg(true, {}, {}, 0, {}, nullptr);
    QElapsedTimer t;
    t.start();
    dlg.Preview(fifo);
    dlg.Preview(fifoBmp);
    dlg.Preview("/dev/zero");
    dlg.Preview(dir.filePath("missing.txt"));
    EXPECT_LT(t.elapsed(), 2000);
    EXPECT_TRUE(dlg.TextPreview()->text().isEmpty());
    EXPECT_TRUE(dlg.PicturePreview()->Dib().IsEmpty());
}

TEST(FileOpenPreview, ChoicesAreReadBack)
{
    SetEdtDefaultEncoding(2);
    CEditFileOpenDlg dlg(true, {}, {}, ui::OFN_READONLY, {}, nullptr);
    SetEdtDefaultEncoding(-1);
    auto* convert = FindChild<QCheckBox>(&dlg, "c1046");
    auto* codePages = FindChild<QComboBox>(&dlg, "c1007");
    auto* openAs = FindChild<QComboBox>(&dlg, "c1008");
    auto* readOnly = FindChild<QCheckBox>(&dlg, "c1040");
    ASSERT_TRUE(convert && codePages && openAs && readOnly);
    EXPECT_TRUE(convert->isChecked());
    EXPECT_EQ(dlg.GetCodePage(), 2);
    // The code pages, "Unicode", then "UTF-8".
    ASSERT_EQ(codePages->count(), 15);
    EXPECT_EQ(codePages->itemText(13), QStringLiteral("Unicode"));
    EXPECT_EQ(codePages->itemText(14), QStringLiteral("UTF-8"));
    codePages->setCurrentIndex(14);
    EXPECT_EQ(dlg.GetCodePage(), EDT_CODEPAGE_UTF8);
    codePages->setCurrentIndex(13);
    EXPECT_EQ(dlg.GetCodePage(), 13);
    convert->setChecked(false);
    EXPECT_EQ(dlg.GetCodePage(), -1);
    EXPECT_FALSE(codePages->isEnabled());
    codePages->setCurrentIndex(5);
    EXPECT_EQ(dlg.GetCodePage(), -1);
    EXPECT_EQ(openAs->currentText(), QStringLiteral("Automaticky"));
    EXPECT_EQ(dlg.GetOpenAs(), -1);
    openAs->setCurrentIndex(1);
    EXPECT_EQ(dlg.GetOpenAs(), 0);
    EXPECT_TRUE(dlg.GetReadOnly());
    readOnly->setChecked(false);
    EXPECT_FALSE(dlg.GetReadOnly());
    EXPECT_EQ(dlg.fileMode(), QFileDialog::ExistingFile);

    CEditFileOpenDlg hidden(true, {}, {}, ui::OFN_HIDEREADONLY | ui::OFN_ALLOWMULTISELECT, {}, nullptr);
    hidden.show();
    EXPECT_FALSE(FindChild<QCheckBox>(&hidden, "c1040")->isVisible());
    EXPECT_FALSE(hidden.GetReadOnly());
    EXPECT_EQ(hidden.fileMode(), QFileDialog::ExistingFiles);
    hidden.reject();
}

TEST(FileOpenPreview, BrowseForFolder)
{
    QTemporaryDir dir;
    QDir(dir.path()).mkdir("sub");
    QString result;
    OnNextModal<QFileDialog>([&](QFileDialog* d) {
        EXPECT_EQ(d->windowTitle(), QStringLiteral("Vyberte složku:"));
        auto* status = FindChild<QLabel>(d, "folderStatus");
        ASSERT_NE(status, nullptr);
        EXPECT_EQ(status->text(), edt::FolderStatusText(dir.path()));
        d->setDirectory(dir.filePath("sub"));
        static_cast<QDialog*>(d)->accept();
    });
    EXPECT_TRUE(BrowseForFolder(result, dir.path(), {}, nullptr));
    EXPECT_EQ(QDir(result), QDir(dir.filePath("sub")));
    OnNextModal<QFileDialog>([&](QFileDialog* d) { d->reject(); });
    result.clear();
    EXPECT_FALSE(BrowseForFolder(result, dir.path(), "Složka", nullptr));
    EXPECT_EQ(result, dir.path());
}

TEST(FileOpenPreview, APreviewNeverMovesTheListAndTheColumnsShowWhole)
{
    QTemporaryDir dir;
    QByteArray binary(3000, '\0');
    for (int i = 0; i < binary.size(); ++i)
        binary[i] = char(i * 7 + 1);
    const QString bin = Write(dir, "obraz.bin", binary);
    const QString text = Write(dir, "texty.txt", QByteArray("LD I0.0\r\n") + QByteArray(400, 'x') + "\r\nST Q0.0");
    Write(dir, "velky.dat", QByteArray(987654, 'a'));
    CEditFileOpenDlg dlg(true, {}, {}, 0, "Vše|*.*|", nullptr);
    dlg.SetInitialFolder(dir.path());
    dlg.show();
    auto* tree = FindChild<QTreeView>(&dlg, "treeView");
    auto* list = FindChild<QListView>(&dlg, "listView");
    auto* lookIn = FindChild<QComboBox>(&dlg, "lookInCombo");
    ASSERT_TRUE(tree && list && lookIn);
    ASSERT_TRUE(WaitFor([&] { return list->model()->rowCount(list->rootIndex()) == 3; }, 3000, "the folder's files"));
    // The details view, as the user switches to it.
    FindChild<QToolButton>(&dlg, "detailModeButton")->click();
    PumpEvents(50);
    ASSERT_TRUE(tree->isVisible());
    const QRect treeAt = tree->geometry(), panelAt = dlg.Panel()->geometry(), lookInAt = lookIn->geometry();
    auto same = [&](const char* what) {
        PumpEvents();
        EXPECT_EQ(tree->geometry(), treeAt) << what;
        EXPECT_EQ(dlg.Panel()->geometry(), panelAt) << what;
        EXPECT_EQ(lookIn->geometry(), lookInAt) << what;
    };
    dlg.Preview(bin);
    same("binary");
    dlg.Preview(text);
    same("text");
    dlg.ClearPreview();
    same("cleared");
    // The path box shows the whole folder; each column of the list is as
    // wide as its widest text at the default size.
    EXPECT_GE(lookIn->width(), lookIn->fontMetrics().horizontalAdvance(dir.path()) + 30);
    const QAbstractItemView* view = tree;
    for (int column = 0; column < tree->header()->count(); ++column)
        EXPECT_GE(tree->header()->sectionSize(column), view->sizeHintForColumn(column)) << "column " << column;
    dlg.reject();
}

// Qt's list leaves out a name that is no UTF-8: the line below the list
// names it; beside its look-alike Qt shows one row, which previews
// neither file and whose tip names both.  A name beyond U+FFFF is listed
// and previewed as itself.
TEST(FileOpenPreview, NamesThatAreNoUtf8AreNamedAndNeverPreviewAnotherFile)
{
    QTemporaryDir dir;
    const std::string folder = QFile::encodeName(dir.path()).toStdString();
    auto write = [&](const std::string& name, const std::string& bytes) {
        FILE* f = std::fopen((folder + "/" + name).c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    };
    write("caf\xE9.txt", "latin1");
    write("\xF0\x9F\x92\x80.txt", "skull \xF0\x9F\x92\x80");
    CEditFileOpenDlg dlg(true, {}, {}, ui::OFN_FILEMUSTEXIST, "Vše|*.*|", nullptr);
    dlg.SetInitialFolder(dir.path());
    dlg.resize(900, 500);
    dlg.show();
    auto* list = FindChild<QListView>(&dlg, "listView");
    ASSERT_NE(list, nullptr);
    auto rows = [&] {
        QStringList names;
        for (int r = 0; r < list->model()->rowCount(list->rootIndex()); ++r)
            names << list->model()->index(r, 0, list->rootIndex()).data().toString();
        names.sort();
        return names;
    };
    auto row = [&](const QString& name) {
        for (int r = 0; r < list->model()->rowCount(list->rootIndex()); ++r)
            if (list->model()->index(r, 0, list->rootIndex()).data().toString() == name)
                return list->model()->index(r, 0, list->rootIndex());
        return QModelIndex();
    };
    WaitFor([&] { return rows().size() == 1; }, 3000, "the folder's files");
    EXPECT_EQ(rows(), QStringList{QString::fromUtf8("💀.txt")});
    EXPECT_TRUE(dlg.UndecodableNames()->isVisible());
    EXPECT_NE(dlg.UndecodableNames()->text().indexOf(QStringLiteral("caf\\xE9.txt")), -1);
    list->setCurrentIndex(row(QString::fromUtf8("💀.txt")));
    WaitFor([&] { return dlg.TextPreview()->text().startsWith(QStringLiteral("skull")); }, 3000, "text preview");
    EXPECT_EQ(dlg.TextPreview()->text(), QString::fromUtf8("skull 💀"));

    // The look-alike beside it: one row, its tip names both, no preview.
    write("caf\xEF\xBF\xBD.txt", "look-alike");
    const QString merged = QString::fromUtf8("caf\uFFFD.txt");
    WaitFor([&] { return rows().contains(merged); }, 5000, "the look-alike's row");
    EXPECT_EQ(row(merged).data(Qt::ToolTipRole).toString(), QString::fromUtf8("caf\\xE9.txt\ncaf\uFFFD.txt"));
    list->setCurrentIndex(row(merged));
    PumpEvents();
    EXPECT_TRUE(dlg.TextPreview()->text().isEmpty()) << dlg.TextPreview()->text().toStdString();
}
