// The spelling check: the parameter block, the "wispell" library copied
// with small dictionaries into a temporary folder and driven through its
// dialog, cancels before and after a change, the missing library and
// SpellConfig.

#include "EditViewTest.h"

#include "editor/settings/EdtSettings.h"
#include "editor/EdtWispell.h"
#include "platform/ui/Prompt.h"
#include "tests/support/platform/TempDir.h"

#include <QDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstddef>
#include <cstdlib>
#include <filesystem>

using namespace testsupport::ui;
namespace fs = std::filesystem;

namespace {

// A folder with the built library and the test dictionaries.
struct SpellFolder
{
    testsupport::TempDir dir;
    SpellFolder()
    {
        const char* bin = std::getenv("SW_BIN_DIR");
        const char* fixtures = std::getenv("SW_FIXTURES");
        if (!bin || !fixtures)
            return;
        fs::copy_file(fs::path(bin) / "libwispell.so", fs::path(dir / "libwispell.so"));
        for (const char* f : {"cs_CZ.aff", "cs_CZ.dic", "en_US.aff", "en_US.dic"})
            fs::copy_file(fs::path(fixtures) / "editor/wispell" / f, fs::path(dir / f));
    }
    std::u16string Path() const { return QString::fromStdString(dir / "").toStdU16String(); }
};

// Answers the next dialog of the library: change to a text, or press a button.
void ExpectWord(const QString& word, const char* button, const QString& changeTo = {})
{
    OnNextModal<QDialog>([=](QDialog* d) {
        EXPECT_EQ(d->objectName(), QStringLiteral("wispellDialog"));
        EXPECT_EQ(d->windowTitle(), QStringLiteral("WIspell"));
        auto* w = FindChild<QLineEdit>(d, QStringLiteral("wispellWord"));
        EXPECT_EQ(w ? w->text() : QString(), word);
        if (!changeTo.isEmpty())
            FindChild<QLineEdit>(d, QStringLiteral("wispellChangeTo"))->setText(changeTo);
        Click(FindChild<QPushButton>(d, QString::fromLatin1(button)));
    });
}

} // namespace

TEST(Spell, BlockLayout)
{
    EXPECT_EQ(offsetof(WispellBlock, folder), 4u);
    EXPECT_EQ(offsetof(WispellBlock, ownerWindow), 1648u);
    EXPECT_EQ(offsetof(WispellBlock, column), 1676u);
    EXPECT_EQ(offsetof(WispellBlock, line), 1680u);
    EXPECT_EQ(offsetof(WispellBlock, view), 1696u);
    EXPECT_EQ(offsetof(WispellBlock, action), 1712u);
    EXPECT_EQ(sizeof(WispellBlock), 1720u);
}

TEST(Spell, MissingLibraryThenChecksChangesIgnoresAndCancels)
{
    SpellFolder lib;
    auto v = MakeEditView(u"dm pes dm\r\n\r\nthe cat iz big");
    // No library in the folder, then a folder too long for the block.
    testsupport::TempDir empty;
    SetEdtGeneralFolder(QString::fromStdString(empty / "").toStdU16String());
    {
        PromptScript prompts({ui::IDOK, ui::IDOK});
        RunCmd(*v, ID_TOOLS_SPELLING);
        SetEdtGeneralFolder(std::u16string(900, u'x'));
        RunCmd(*v, ID_TOOLS_SPELLING);
        ASSERT_EQ(prompts.Texts().size(), 2u);
        EXPECT_EQ(prompts.Texts()[0], QStringLiteral("Chyba při načítání \"libwispell.so\"."));
    }
    // The right folder: one word changed to a longer one, the next on its
    // line ignored (its column follows the change), one on line 2 changed.
    SetEdtGeneralFolder(lib.Path());
    v->SetCursorPos({0, 0});
    ExpectWord(QStringLiteral("dm"), "wispellChange", QStringLiteral("dům"));
    ExpectWord(QStringLiteral("dm"), "wispellIgnore");
    ExpectWord(QStringLiteral("iz"), "wispellChange", QStringLiteral("is"));
    {
        PromptScript prompts({ui::IDOK});
        RunCmd(*v, ID_TOOLS_SPELLING);
        ASSERT_EQ(prompts.Texts().size(), 1u);
        EXPECT_EQ(prompts.Texts()[0], QStringLiteral("Kontrola pravopisu byla dokončena."));
    }
    EXPECT_EQ(AllText(*v), u"d\u016Fm pes dm\r\n\r\nthe cat is big");
    // The check was one undo group.
    PressKey(v.get(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(AllText(*v), u"dm pes dm\r\n\r\nthe cat iz big");

    // Cancel before any change keeps the user's previous edit.
    v->SetCursorPos({9, 0});
    TypeText(v.get(), QStringLiteral("x"));
    v->SetCursorPos({0, 2});
    ExpectWord(QStringLiteral("iz"), "wispellCancel");
    RunCmd(*v, ID_TOOLS_SPELLING);
    EXPECT_EQ(AllText(*v), u"dm pes dmx\r\n\r\nthe cat iz big");
    // Cancel after a change reverts the check's changes only.
    v->SetCursorPos({0, 0});
    ExpectWord(QStringLiteral("dm"), "wispellChange", QStringLiteral("dům"));
    ExpectWord(QStringLiteral("dmx"), "wispellCancel");
    RunCmd(*v, ID_TOOLS_SPELLING);
    EXPECT_EQ(AllText(*v), u"dm pes dmx\r\n\r\nthe cat iz big");
    SetEdtGeneralFolder(u"");
}

// Run from the end of the text the check still sees every line: the
// caret line first, then from the first line up to the caret line; the
// change box holds the first suggestion, which a plain "Změnit" takes.
TEST(Spell, FromTheCaretItWrapsOnceAndOffersTheFirstSuggestion)
{
    SpellFolder lib;
    SetEdtGeneralFolder(lib.Path());
    auto v = MakeEditView(u"the cat iz big\r\nhello\r\ndm pes");
    v->SetCursorPos({6, 2});
    std::vector<QString> words, offered, first;
    auto take = [&](const char* button) {
        OnNextModal<QDialog>([&, button](QDialog* d) {
            words.push_back(FindChild<QLineEdit>(d, QStringLiteral("wispellWord"))->text());
            offered.push_back(FindChild<QLineEdit>(d, QStringLiteral("wispellChangeTo"))->text());
            auto* list = FindChild<QListWidget>(d, QStringLiteral("wispellSuggestions"));
            first.push_back(list && list->count() > 0 ? list->item(0)->text() : QString());
            Click(FindChild<QPushButton>(d, QString::fromLatin1(button)));
        });
    };
    take("wispellChange");
    take("wispellIgnore");
    PromptScript prompts({ui::IDOK});
    RunCmd(*v, ID_TOOLS_SPELLING);
    ASSERT_EQ(words, (std::vector<QString>{QStringLiteral("dm"), QStringLiteral("iz")}));
    EXPECT_EQ(prompts.Texts(), std::vector<QString>{QStringLiteral("Kontrola pravopisu byla dokončena.")});
    ASSERT_FALSE(first[0].isEmpty());
    EXPECT_EQ(offered, first);
    EXPECT_EQ(AllText(*v), u"the cat iz big\r\nhello\r\n" + first[0].toStdU16String() + u" pes");
    SetEdtGeneralFolder(u"");
}

TEST(Spell, WordsSkippedAndOddCharacters)
{
    SpellFolder lib;
    SetEdtGeneralFolder(lib.Path());
    // Identifiers, single letters and capitals are skipped; U+0000 and a
    // lone surrogate split words.
    auto v = MakeEditView(std::u16string(u"x_1 a LOD Motor2 tady\0zzq\xD800qqz", 29));
    ExpectWord(QStringLiteral("zzq"), "wispellIgnoreAll");
    ExpectWord(QStringLiteral("qqz"), "wispellIgnore");
    PromptScript prompts({ui::IDOK});
    RunCmd(*v, ID_TOOLS_SPELLING);
    EXPECT_EQ(prompts.Texts().size(), 1u);
    SetEdtGeneralFolder(u"");
}

TEST(Spell, ConfigListsTheDictionaries)
{
    SpellFolder lib;
    void* h = dlopen((lib.dir / "libwispell.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(h, nullptr);
    auto config = reinterpret_cast<WispellFn>(dlsym(h, WISPELL_CONFIG));
    ASSERT_NE(config, nullptr);
    EXPECT_EQ(dlsym(h, "LoadDictionaries"), nullptr);  // nothing else is exported
    WispellBlock block{};
    const std::u16string folder = lib.Path();
    std::copy(folder.begin(), folder.end(), block.folder);
    OnNextModal<QMessageBox>([](QMessageBox* box) {
        EXPECT_EQ(box->objectName(), QStringLiteral("wispellConfig"));
        EXPECT_TRUE(box->text().contains(QStringLiteral("cs_CZ.dic")));
        EXPECT_TRUE(box->text().contains(QStringLiteral("en_US.dic")));
        box->accept();
    });
    EXPECT_EQ(config(&block), 0);
}
