// The menus by keyboard in the started program, with the keys posted as the
// keyboard gives them and a text window active: a highlighted submenu item
// waits for Right or Enter and the access keys act where the highlight is,
// the menu bar's keyboard mode takes its keys before the text view's own,
// a command chosen by keyboard gives the keys back to the text window (also
// through a dialog), Shift+F10 asks for the text view's context menu, and
// on a Czech keyboard the number row with Ctrl and Alt keeps the bookmarks;
// each access key of a menu level names one item.
#include "app/StrandworkApp.h"
#include "editor/view/EdtTextView.h"
#include "mainwnd/MainFrame.h"
#include "mainwnd/OutputCtrl.h"
#include "platform/sys/Registry.h"
#include "platform/ui/Menu.h"
#include "platform/ui/Prompt.h"
#include "res/Resources.h"
#include "tests/mainwnd/mainwnd_env.h"
#include "tests/support/ui/UiTest.h"
#include "uilib/KVTMenuBar.h"
#include "uilib/KVTPopupCore.h"
#include "uilib/KVTPopupMenu.h"
#include "uilib/KVTToolbarMenuButton.h"

#include <QApplication>
#include <QFileDialog>
#include <QTimer>
#include <QWindow>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>

using namespace mainwndtest;
using namespace testsupport::ui;

namespace {

class MenuKeys : public RegistryTest
{
protected:
    std::unique_ptr<CStrandworkApp> app;
    CEdtTextView* text = nullptr;

    void SetUp() override
    {
        ::setenv("XDG_STATE_HOME", (dir / "state").c_str(), 1);
        // Submenus open at once under the mouse, so that a submenu the
        // keyboard opened by mistake shows at the next timer.
        sys::HKEY key = nullptr;
        sys::RegCreateKeyEx(sys::HKEY_CURRENT_USER, u"Control Panel\\Desktop", sys::KEY_ALL_ACCESS, &key);
        sys::RegSetString(key, u"MenuShowDelay", u"0");
        sys::RegCloseKey(key);
        KvtMenuDelay::Reset();
        const std::filesystem::path src = std::filesystem::path(std::getenv("SW_FIXTURES")) / "build" / "ok";
        std::filesystem::copy(src, dir.Path(), std::filesystem::copy_options::recursive);
        dir.Write("a.txt", "one\r\ntwo\r\nthree\r\nfour\r\n");
        app = std::make_unique<CStrandworkApp>();
        app->SetArguments({QString::fromStdString(dir / "Lis.kxp")});
        ASSERT_TRUE(app->InitInstance());
        ui::Document* doc = app->OpenDocumentFile(QString::fromStdString(dir / "a.txt"));
        ASSERT_NE(doc, nullptr);
        text = qobject_cast<CEdtTextView*>(doc->FirstView());
        ASSERT_NE(text, nullptr);
        // Floating bars show again once the frame is up; offscreen, each
        // window shown takes the activation: the frame takes it back.
        ShowActive(Frame());
        LetTimersFire();
        ShowActive(Frame());
        text->setFocus();
        ASSERT_TRUE(WaitFor([this] { return text->hasFocus(); }, 5000, "the text window has the focus"));
    }
    void TearDown() override
    {
        while (CKVTPopupMenu* p = CKVTPopupMenu::ActivePopup())
            p->CloseChain();
        app.reset();
        res::UnloadLanguage();
        KvtMenuDelay::Reset();
        ::unsetenv("XDG_STATE_HOME");
        RegistryTest::TearDown();
    }
    CMainFrame* Frame() const { return app->MainFrame(); }
    CKVTMenuBar* Bar() const { return Frame()->GetMenuBar(); }
    QString HotItem() const
    {
        const int hot = Bar()->GetHotButton();
        return hot < 0 ? QString() : Bar()->GetButton(hot)->m_text;
    }
    static QString Hot(CKVTPopupMenu* popup)
    {
        CKVTPopupMenuBar* bar = popup->GetMenuBar();
        const int hot = bar->GetHotButton();
        return hot < 0 ? QString() : bar->GetButton(hot)->m_text;
    }
    // Lets a submenu timer that a key started fire: a zero timer started
    // later fires after it.
    static void LetTimersFire()
    {
        QTimer later;
        later.setSingleShot(true);
        later.start(0);
        WaitFor([&later] { return !later.isActive(); }, 5000, "a later zero timer");
    }
    QString Line(int n) const
    {
        return QString::fromStdU16String(
            std::u16string(text->GetLineChars(n), size_t(text->GetLineLength(n))));
    }
    QString Line0() const { return Line(0); }
};

} // namespace

TEST_F(MenuKeys, AHighlightedSubmenuItemWaitsForRightAndTheAccessKeysActWhereTheHighlightIs)
{
    // Alt+P highlights "&Přidat do projektu" and opens nothing: E is the
    // Projekt menu's "Př&eklad".
    PostKey(Qt::Key_P, Qt::AltModifier);
    CKVTPopupMenu* projekt = CKVTPopupMenu::ActivePopup();
    ASSERT_NE(projekt, nullptr);
    EXPECT_EQ(Hot(projekt), QStringLiteral("&Přidat do projektu"));
    LetTimersFire();
    EXPECT_EQ(CKVTPopupMenu::ActivePopup(), projekt);
    PostKey(Qt::Key_E);
    EXPECT_EQ(CKVTPopupMenu::ActivePopup(), nullptr);
    EXPECT_TRUE(WaitFor([this] { return Frame()->GetOutputCtrl()->Text().contains(QStringLiteral("Tvorba PLC")); },
                        5000, "the build starts"));
    EXPECT_TRUE(text->hasFocus());

    // Alt+S, End highlights "Minulé pro&jekty"; Right opens it with its first
    // item, Left closes it and leaves the highlight on its item.
    PostKey(Qt::Key_S, Qt::AltModifier);
    CKVTPopupMenu* soubor = CKVTPopupMenu::ActivePopup();
    ASSERT_NE(soubor, nullptr);
    PostKey(Qt::Key_End);
    EXPECT_EQ(Hot(soubor), QStringLiteral("Minulé pro&jekty"));
    LetTimersFire();
    EXPECT_EQ(CKVTPopupMenu::ActivePopup(), soubor);
    PostKey(Qt::Key_Right);
    CKVTPopupMenu* recent = CKVTPopupMenu::ActivePopup();
    ASSERT_NE(recent, soubor);
    EXPECT_EQ(recent->GetParentPopup(), soubor);
    EXPECT_EQ(recent->GetMenuBar()->GetHotButton(), 0);
    PostKey(Qt::Key_Left);
    EXPECT_EQ(CKVTPopupMenu::ActivePopup(), soubor);
    EXPECT_EQ(Hot(soubor), QStringLiteral("Minulé pro&jekty"));
    EXPECT_EQ(HotItem(), QStringLiteral("&Soubor"));
    // Escape closes the menu, then leaves the bar: the focus is back.
    PostKey(Qt::Key_Escape);
    EXPECT_EQ(CKVTPopupMenu::ActivePopup(), nullptr);
    EXPECT_TRUE(Bar()->hasFocus());
    PostKey(Qt::Key_Escape);
    EXPECT_TRUE(text->hasFocus());
}

TEST_F(MenuKeys, TheKeyboardModeTakesItsKeysBeforeTheTextViewAndShiftF10AsksForTheContextMenu)
{
    // Alt alone, then Down: the Soubor menu opens, the caret stays.
    const EdtPoint caret = text->GetCursorPos();
    PostKey(Qt::Key_Alt);
    ASSERT_TRUE(Bar()->hasFocus());
    EXPECT_EQ(HotItem(), QStringLiteral("&Soubor"));
    PostKey(Qt::Key_Down);
    CKVTPopupMenu* soubor = CKVTPopupMenu::ActivePopup();
    ASSERT_NE(soubor, nullptr);
    EXPECT_EQ(static_cast<CKVTToolbarButton*>(soubor->GetParentButton()), Bar()->GetButton(0));
    EXPECT_TRUE(text->GetCursorPos() == caret);
    PostKey(Qt::Key_Escape);
    PostKey(Qt::Key_Escape);
    ASSERT_TRUE(text->hasFocus());

    // Shift+F10 opens the text view's context menu, as the menu key does.
    PostKey(Qt::Key_F10, Qt::ShiftModifier);
    CKVTPopupMenu* context = CKVTPopupMenu::ActivePopup();
    ASSERT_NE(context, nullptr);
    EXPECT_EQ(context->GetParentButton(), nullptr);
    CKVTPopupMenuBar* items = context->GetMenuBar();
    EXPECT_EQ(items->GetButton(items->Items().Count() - 1)->m_text, QStringLiteral("Vybrat vš&e"));
}

TEST_F(MenuKeys, ACommandChosenByKeyboardGivesTheKeysBackToTheTextWindowAlsoThroughADialog)
{
    // Alt+S, O: the open dialog, closed with Escape; the bar has left its
    // keyboard mode and a typed letter reaches the text window.
    OnNextModal<QFileDialog>([](QFileDialog* d) { PressEscape(d); });
    PostKey(Qt::Key_S, Qt::AltModifier);
    PostKey(Qt::Key_O);
    ASSERT_TRUE(WaitFor([] { return PendingModals() == 0; }, 5000, "the open dialog came and went"));
    ShowActive(Frame()); // the window manager's part
    ASSERT_TRUE(WaitFor([this] { return text->hasFocus(); }, 5000, "the focus back in the text window"));
    EXPECT_EQ(Bar()->GetHotButton(), -1);
    PostKey(Qt::Key_Z);
    EXPECT_EQ(CKVTPopupMenu::ActivePopup(), nullptr);
    EXPECT_EQ(Line0(), QStringLiteral("zone"));
}

TEST_F(MenuKeys,
       OnACzechKeyboardTheNumberRowWithCtrlAndAltSetsAndFindsTheBookmarksAndAloneTypesItsLetters)
{
    // The Czech layout types ě on the 2 key: Ctrl with it on line 3 sets
    // bookmark 2, Alt with it after Ctrl+End goes back to the start of line
    // 3, and the key alone types ě there.
    text->SetCursorPos({2, 2});
    const LayoutKey ecaron = CzechNumberRow(2);
    PostKey(ecaron, Qt::ControlModifier);
    EXPECT_NE(text->GetLineFlags(2) & EDT_LF_BOOKMARK(2), 0u);
    PostKey(Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(text->GetCursorPos().line, 4);
    PostKey(ecaron, Qt::AltModifier);
    EXPECT_EQ(text->GetCursorPos(), (EdtPoint{0, 2}));
    PostKey(ecaron);
    EXPECT_EQ(Line(2), QStringLiteral("ěthree"));
    // A letter with Alt that no accelerator and no menu names types nothing
    // and leaves the keys with the text window.
    PostKey(CzechURing(), Qt::AltModifier);
    EXPECT_EQ(Line(2), QStringLiteral("ěthree"));
    EXPECT_EQ(CKVTPopupMenu::ActivePopup(), nullptr);
    EXPECT_TRUE(text->hasFocus());
    PostKey(CzechURing());
    EXPECT_EQ(Line(2), QStringLiteral("ěůthree"));
}

// Each item of a menu level has a key of its own (but the recent lists'
// placeholders, and Editace's P and the byte counts' 1, which the texts
// have always shared); a key of two items only moves the highlight.
TEST(MenuResources, EachItemOfAMenuLevelHasAKeyOfItsOwn)
{
    std::function<void(const ui::Menu&, bool)> check = [&](const ui::Menu& menu, bool shown) {
        std::map<QChar, QStringList> keys;
        for (int i = 0; i < menu.ItemCount(); ++i) {
            const QString text = menu.Item(i)->text;
            const qsizetype amp = text.indexOf(u'&') + 1;
            if (const uint32_t id = menu.ItemId(i); shown && (id || menu.SubMenu(i)) &&
                                                    id != ID_FILE_MRU_FIRST &&
                                                    id != ID_PROJECT_MRU_FIRST)
                keys[amp > 0 ? text[amp].toUpper() : QChar()] << text;
            if (menu.SubMenu(i))
                check(*menu.SubMenu(i), true);
        }
        for (const auto& [key, texts] : keys)
            EXPECT_TRUE(!key.isNull() && (texts.size() == 1 || key == u'P' || key == u'1'))
                << texts.join(u'|').toStdString();
    };
    for (const uint32_t id : {1u, 3u, 543u, 555u, 1001u, 1027u, 1029u, 1031u, 1033u, 4108u, 16102u})
        check(*ui::Menu::Load(id), id == 1 || id == 3); // a context menu shows its popup's items
}

TEST_F(MenuKeys, AnAccessKeyDoesWhatItsItemSaysAndAKeyOfTwoItemsOnlyMovesTheHighlight)
{
    ui::ScriptedPrompts prompts;
    PostKey(Qt::Key_X);
    PostKey(Qt::Key_E, Qt::AltModifier);
    PostKey(Qt::Key_Z); // undoes, asks nothing
    EXPECT_TRUE(
        WaitFor([this] { return Line0() == QStringLiteral("one"); }, 5000, "the typing undone"));
    PostKey(Qt::Key_E, Qt::AltModifier);
    CKVTPopupMenu* edit = CKVTPopupMenu::ActivePopup();
    ASSERT_NE(edit, nullptr);
    PostKey(Qt::Key_P);
    EXPECT_EQ(Hot(edit), QStringLiteral("Najít &předchozí\tShift+F3"));
    PostKey(Qt::Key_P);
    EXPECT_EQ(Hot(edit), QStringLiteral("&Pouze pro čtení"));
    EXPECT_TRUE(prompts.Asked().empty());
    PostKey(Qt::Key_Return);
    EXPECT_TRUE(
        WaitFor([this] { return text->GetTextBuffer()->GetReadOnly(); }, 5000, "read-only"));
}
