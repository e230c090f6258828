// The font and colour registry: registration, the profile overlay and round
// trip, listeners, the "Formát" page's OK, Cancel and defaults, and the
// colour swatch.
#include "fontcolor/ColorEdit.h"
#include "fontcolor/FontColorPage.h"
#include "fontcolor/FontColorPageDlg.h"
#include "platform/sys/Registry.h"
#include "platform/ui/Dialog.h"
#include "platform/ui/Prompt.h"
#include "tests/mainwnd/mainwnd_env.h"
#include "tests/support/ui/UiTest.h"

#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFontInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace mainwndtest;
using namespace testsupport::ui;

namespace {

class Listener : public QWidget, public CFontColorListener
{
public:
    Listener(std::vector<std::pair<int, uint32_t>>* log, int n) : m_log(log), m_n(n) {}
    void OnFontColorChange(uint32_t id) override { m_log->emplace_back(m_n, id); }

private:
    std::vector<std::pair<int, uint32_t>>* m_log;
    int m_n;
};

class FontColorTest : public RegistryTest
{
protected:
    static void Register(CFontColorPage& reg)
    {
        ASSERT_TRUE(reg.AddCategory(kCat, QStringLiteral("Okno výstupu"), QStringLiteral("Courier New"), 10, 238, 0));
        ASSERT_TRUE(reg.AddItem(kCat, QStringLiteral("Text"), QStringLiteral("Text"), 0x646464, 0xFFFFFF, 0, 0, 0, 0));
        ASSERT_TRUE(reg.AddItem(kCat, QStringLiteral("Tag"), QStringLiteral("Chyba/odkaz"), 0, 0xFFFFFF, 0, 0, 0, 0));
    }
    // Writes a registry file by hand and loads the store from it.
    void WriteReg(const std::string& body)
    {
        std::string path = config.Path() + "/ORNA/Strandwork.reg";
        std::filesystem::create_directories(config.Path() + "/ORNA");
        std::ofstream(path) << "Windows Registry Editor Version 5.00\r\n\r\n" << body;
        ASSERT_TRUE(sys::RegistryStore::Load());
    }
    static int ProfileInt(const char16_t* section, const char16_t* entry)
    {
        return sys::Profile::GetInt(section, entry, -12345);
    }
};

TEST_F(FontColorTest, RegistrationReplacesValuesAndRefusesBadNames)
{
    CFontColorPage reg;
    Register(reg);
    // A second registration replaces the font and keeps the items; an item
    // registered again gets its new colours.
    EXPECT_TRUE(reg.AddCategory(kCat, QStringLiteral("Jiný"), QStringLiteral("Mono"), 12, 0, 1));
    EXPECT_TRUE(reg.AddItem(kCat, QStringLiteral("Tag"), QStringLiteral("Chyba"), 0x0000FF, 0x00FF00, 1, 0, 0, 0));
    ASSERT_EQ(reg.Defaults().size(), 1u);
    const FontColorCategory& c = reg.Defaults()[0];
    EXPECT_EQ(c.face, QStringLiteral("Mono"));
    EXPECT_EQ(c.size, 12);
    EXPECT_EQ(c.fixedPitch, 1);
    ASSERT_EQ(c.items.size(), 2u);
    EXPECT_EQ(c.items[1].textColor, 0x0000FFu);
    EXPECT_EQ(c.items[1].backColor, 0x00FF00u);

    // 31 characters are accepted, 32 refused; an unknown category too; the
    // lists stay as they were.
    QString n31(31, QLatin1Char('a')), n32(32, QLatin1Char('a'));
    EXPECT_TRUE(reg.AddItem(kCat, n31, n31, 0, 0, 0, 0, 0, 0));
    EXPECT_FALSE(reg.AddItem(kCat, n32, QStringLiteral("x"), 0, 0, 0, 0, 0, 0));
    EXPECT_FALSE(reg.AddItem(kCat, QStringLiteral("x"), n32, 0, 0, 0, 0, 0, 0));
    EXPECT_FALSE(reg.AddCategory(n32, QStringLiteral("x"), QStringLiteral("f"), 10, 0, 0));
    EXPECT_FALSE(reg.AddItem(QStringLiteral("Missing"), QStringLiteral("x"), QStringLiteral("x"), 0, 0, 0, 0, 0, 0));
    EXPECT_EQ(reg.Defaults().size(), 1u);
    EXPECT_EQ(reg.Defaults()[0].items.size(), 3u);
    // A face name has no length limit.
    QString longFace(80, QLatin1Char('F'));
    EXPECT_TRUE(reg.AddCategory(QStringLiteral("B"), QStringLiteral("B"), longFace, 10, 0, 0));
    EXPECT_EQ(reg.Defaults()[1].face, longFace);
    // Nothing is current before LoadSettings.
    EXPECT_EQ(reg.FindCategory(kCat), nullptr);
}

TEST_F(FontColorTest, ProfileOverlaysOnlyGoodValues)
{
    // A profile with only "FontSize" changes only the size.
    sys::Profile::WriteInt(u"Formats\\OutputWindow", u"FontSize", 14);
    CFontColorPage reg;
    Register(reg);
    reg.LoadSettings(QStringLiteral("Formats"));
    const FontColorCategory* c = reg.FindCategory(kCat);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->size, 14);
    EXPECT_EQ(c->face, QStringLiteral("Courier New"));
    EXPECT_EQ(c->charSet, 238);
    EXPECT_EQ(reg.FindItem(c, QStringLiteral("Text"))->textColor, 0x646464u);

    // Values of the wrong type, a size of 0 and an empty face are ignored;
    // a colour keeps its low 24 bits.
    WriteReg("[HKEY_CURRENT_USER\\Software\\ORNA\\Strandwork\\Formats\\OutputWindow]\r\n"
             "\"FontName\"=\"\"\r\n\"FontSize\"=\"12\"\r\n\r\n"
             "[HKEY_CURRENT_USER\\Software\\ORNA\\Strandwork\\Formats\\OutputWindow\\Text]\r\n"
             "\"TextColor\"=hex:01,02,03,04\r\n\"BackColor\"=dword:ff123456\r\n\"Bold\"=dword:ffffffff\r\n\r\n");
    reg.LoadSettings(QStringLiteral("Formats"));
    c = reg.FindCategory(kCat);
    EXPECT_EQ(c->size, 10);
    EXPECT_EQ(c->face, QStringLiteral("Courier New"));
    const FontColorItem* text = reg.FindItem(c, QStringLiteral("Text"));
    EXPECT_EQ(text->textColor, 0x646464u);
    EXPECT_EQ(text->backColor, 0x123456u);
    // A stored -1 is not bold.
    EXPECT_EQ(text->bold, -1);
    EXPECT_FALSE(reg.CreateItemFont(*text, *c).bold());

    WriteReg("[HKEY_CURRENT_USER\\Software\\ORNA\\Strandwork\\Formats\\OutputWindow]\r\n"
             "\"FontSize\"=dword:00000000\r\n\r\n");
    reg.LoadSettings(QStringLiteral("Formats"));
    EXPECT_EQ(reg.FindCategory(kCat)->size, 10);
}

TEST_F(FontColorTest, SaveLoadRoundTripAndLateRegistration)
{
    CFontColorPage reg;
    Register(reg);
    reg.LoadSettings(QStringLiteral("Formats"));
    std::vector<FontColorCategory> edit = reg.Current();
    edit[0].face = QStringLiteral("DejaVu Sans Mono");
    edit[0].size = 13;
    edit[0].items[1].textColor = 0x0000FF;
    edit[0].items[1].underline = 1;
    reg.ApplyEdit(edit);
    ASSERT_TRUE(reg.SaveSettings(QStringLiteral("Formats")));
    EXPECT_EQ(ProfileInt(u"Formats\\OutputWindow\\Tag", u"TextColor"), 0xFF);
    EXPECT_EQ(sys::Profile::GetString(u"Formats\\OutputWindow", u"FontName"), u"DejaVu Sans Mono");

    CFontColorPage fresh;
    Register(fresh);
    fresh.LoadSettings(QStringLiteral("Formats"));
    ASSERT_EQ(fresh.Current().size(), 1u);
    const FontColorCategory& c = fresh.Current()[0];
    EXPECT_EQ(c.face, QStringLiteral("DejaVu Sans Mono"));
    EXPECT_EQ(c.size, 13);
    EXPECT_EQ(c.items[1].textColor, 0x0000FFu);
    EXPECT_EQ(c.items[1].underline, 1);

    // Registered after LoadSettings: current grows, overlaid by the profile.
    sys::Profile::WriteInt(u"Formats\\Late", u"FontSize", 20);
    sys::Profile::WriteInt(u"Formats\\OutputWindow\\New", u"Italic", 1);
    ASSERT_TRUE(fresh.AddCategory(QStringLiteral("Late"), QStringLiteral("L"), QStringLiteral("Mono"), 9, 0, 1));
    ASSERT_TRUE(fresh.AddItem(QStringLiteral("Late"), QStringLiteral("A"), QStringLiteral("A"), 1, 2, 0, 0, 0, 0));
    ASSERT_TRUE(fresh.AddItem(kCat, QStringLiteral("New"), QStringLiteral("N"), 1, 2, 0, 0, 0, 0));
    ASSERT_NE(fresh.FindCategory(QStringLiteral("Late")), nullptr);
    EXPECT_EQ(fresh.FindCategory(QStringLiteral("Late"))->size, 20);
    EXPECT_EQ(fresh.FindCategory(QStringLiteral("Late"))->items.size(), 1u);
    EXPECT_EQ(fresh.FindItem(fresh.FindCategory(kCat), QStringLiteral("New"))->italic, 1);
    // Re-registering a known category (a palette change) leaves current.
    ASSERT_TRUE(fresh.AddCategory(kCat, QStringLiteral("O"), QStringLiteral("Other"), 8, 0, 0));
    EXPECT_EQ(fresh.FindCategory(kCat)->face, QStringLiteral("DejaVu Sans Mono"));
    // An edit list of another shape is copied by name: an apply now works.
    fresh.ApplyEdit(edit);
    EXPECT_EQ(fresh.FindCategory(QStringLiteral("Late"))->size, 20);
}

TEST_F(FontColorTest, CreateItemFont)
{
    FontColorCategory c{QStringLiteral("A"), QStringLiteral("A"), QStringLiteral("Courier New"), 11, 238, 1, {}};
    FontColorItem it{QStringLiteral("I"), QStringLiteral("I"), 0, 0, 1, 0, 1, -1};
    CFontColorPage reg;
    QFont f = reg.CreateItemFont(it, c);
    EXPECT_EQ(f.pointSize(), 11);
    EXPECT_TRUE(f.bold());
    EXPECT_FALSE(f.italic());
    EXPECT_TRUE(f.underline());
    EXPECT_FALSE(f.strikeOut());
    EXPECT_TRUE(f.fixedPitch());
    EXPECT_EQ(f.styleHint(), QFont::TypeWriter);
    // "Courier New" falls back to a monospaced face.
    EXPECT_TRUE(QFontInfo(f).fixedPitch());
}

TEST_F(FontColorTest, ListenersAreWeakOrderedAndUnique)
{
    std::vector<std::pair<int, uint32_t>> log;
    CFontColorPage reg;
    Register(reg);
    reg.LoadSettings(QStringLiteral("Formats"));
    Listener a(&log, 1), b(&log, 2);
    auto* c = new Listener(&log, 3);
    QWidget plain;
    EXPECT_FALSE(reg.AddListener(nullptr, 0));
    EXPECT_FALSE(reg.AddListener(&plain, 0));
    EXPECT_TRUE(reg.AddListener(&a, 7));
    EXPECT_TRUE(reg.AddListener(c, 0));
    EXPECT_TRUE(reg.AddListener(&b, 0));
    EXPECT_TRUE(reg.AddListener(&a, 9)); // listed already: not again
    delete c;                            // leaves by itself
    EXPECT_EQ(reg.ListenerCount(), 2);

    // OK without changes notifies every listener once, in order.
    reg.Construct(14, QStringLiteral("Formats"));
    {
        ui::PropertySheet sheet(QStringLiteral("Možnosti"));
        sheet.AddPage(reg.CreatePage());
        ASSERT_TRUE(sheet.SetActivePage(0));
        sheet.accept();
    }
    EXPECT_EQ(log, (std::vector<std::pair<int, uint32_t>>{{1, 7}, {2, 0}}));
    reg.RemoveListener(&a);
    log.clear();
    reg.NotifyListeners();
    EXPECT_EQ(log, (std::vector<std::pair<int, uint32_t>>{{2, 0}}));
}

TEST_F(FontColorTest, PageEditsApplyAndCancel)
{
    std::vector<std::pair<int, uint32_t>> log;
    CFontColorPage reg;
    Register(reg);
    ASSERT_TRUE(reg.AddCategory(QStringLiteral("Fixed"), QStringLiteral("Pevné"), QStringLiteral("NoSuchFace"), 10,
                                77, 1));
    ASSERT_TRUE(reg.AddItem(QStringLiteral("Fixed"), QStringLiteral("A"), QStringLiteral("A"), 0, 0xFFFFFF, 0, 0, 0,
                            0));
    reg.LoadSettings(QStringLiteral("Formats"));
    Listener l(&log, 1);
    reg.AddListener(&l, 0);

    // Flag 4 clear: OK changes current and the windows, writes nothing.
    reg.Construct(0, QStringLiteral("Formats"));
    {
        ui::PropertySheet sheet(QStringLiteral("Možnosti"));
        ui::PropertyPage* page = reg.CreatePage();
        sheet.AddPage(page);
        ASSERT_TRUE(sheet.SetActivePage(0));
        auto* items = qobject_cast<QListWidget*>(page->GetDlgItem(1008));
        auto* cats = qobject_cast<QListWidget*>(page->GetDlgItem(1007));
        ASSERT_TRUE(items && cats);
        EXPECT_EQ(cats->count(), 2);
        EXPECT_EQ(items->item(1)->text(), QStringLiteral("Chyba/odkaz"));
        items->setCurrentRow(1);
        auto* bold = qobject_cast<QCheckBox*>(page->GetDlgItem(1016));
        bold->setChecked(true);
        EXPECT_TRUE(page->IsModified());
        // The size combo refuses what is not a number from 1 to 1638, and
        // says so.
        auto* size = qobject_cast<QComboBox*>(page->GetDlgItem(1010));
        {
            PromptScript prompts({ui::IDOK, ui::IDOK});
            size->lineEdit()->setText(QStringLiteral("0"));
            emit size->lineEdit()->editingFinished();
            EXPECT_EQ(size->currentText(), QStringLiteral("10"));
            size->lineEdit()->setText(QStringLiteral("abc"));
            emit size->lineEdit()->editingFinished();
            EXPECT_EQ(size->currentText(), QStringLiteral("10"));
            EXPECT_EQ(prompts.Texts().size(), 2u);
        }
        size->lineEdit()->setText(QStringLiteral("16"));
        auto* charset = qobject_cast<QComboBox*>(page->GetDlgItem(1011));
        EXPECT_EQ(charset->itemText(0), QStringLiteral("Výchozí"));
        EXPECT_EQ(charset->currentIndex(), charset->findData(238));

        // A face that is not installed stays visible; a charset the face does
        // not offer selects nothing.
        cats->setCurrentRow(1);
        auto* font = qobject_cast<QComboBox*>(page->GetDlgItem(1009));
        EXPECT_EQ(font->itemText(0), QStringLiteral("NoSuchFace"));
        EXPECT_EQ(font->currentText(), QStringLiteral("NoSuchFace"));
        EXPECT_EQ(charset->currentIndex(), -1);
        sheet.accept();
    }
    const FontColorCategory* c = reg.FindCategory(kCat);
    EXPECT_EQ(c->size, 16);
    EXPECT_EQ(reg.FindItem(c, QStringLiteral("Tag"))->bold, 1);
    EXPECT_EQ(reg.FindCategory(QStringLiteral("Fixed"))->charSet, 77);
    EXPECT_EQ(log.size(), 1u);
    EXPECT_EQ(ProfileInt(u"Formats\\OutputWindow", u"FontSize"), -12345);

    // "Výchozí nastavení pro vše" and Cancel leave current unchanged; with
    // flag 4, Apply writes the store.
    reg.Construct(14, QStringLiteral("Formats"));
    {
        ui::PropertySheet sheet(QStringLiteral("Možnosti"));
        ui::PropertyPage* page = reg.CreatePage();
        sheet.AddPage(page);
        ASSERT_TRUE(sheet.SetActivePage(0));
        qobject_cast<QPushButton*>(page->GetDlgItem(1014))->click();
        auto* dlg = static_cast<CFontColorPageDlg*>(page);
        EXPECT_EQ(dlg->EditList()[0].size, 10);
        EXPECT_EQ(dlg->EditList()[0].items[1].bold, 0);
        sheet.reject();
    }
    EXPECT_EQ(reg.FindCategory(kCat)->size, 16);
    EXPECT_EQ(log.size(), 1u);
    {
        ui::PropertySheet sheet(QStringLiteral("Možnosti"));
        ui::PropertyPage* page = reg.CreatePage();
        sheet.AddPage(page);
        ASSERT_TRUE(sheet.SetActivePage(0));
        ASSERT_TRUE(sheet.Apply());
        EXPECT_EQ(ProfileInt(u"Formats\\OutputWindow", u"FontSize"), 16);
        EXPECT_EQ(ProfileInt(u"Formats\\OutputWindow\\Tag", u"Bold"), 1);
        sheet.reject();
    }
    EXPECT_EQ(log.size(), 2u);
}

namespace {
// The key to the control with the focus, through the event loop's routing.
void Key(Qt::Key key, Qt::KeyboardModifiers m = {})
{
    QWidget* w = QApplication::focusWidget();
    ASSERT_NE(w, nullptr);
    QTest::keyClick(w, key, m);
}

QString FocusName()
{
    QWidget* w = QApplication::focusWidget();
    return w ? w->objectName() : QString();
}
} // namespace

TEST_F(FontColorTest, FormatPageByKeysTakesTheTypedSizeAndTurnsPagesFromAnyControl)
{
    CFontColorPage reg;
    Register(reg);
    reg.LoadSettings(QStringLiteral("Formats"));
    reg.Construct(0, QStringLiteral("Formats"));
    ui::PropertySheet sheet(QStringLiteral("Možnosti"));
    sheet.AddPage(reg.CreatePage());
    sheet.AddPage(new ui::PropertyPage(2, QStringLiteral("Druhá")));
    QStringList tabOrder;
    std::vector<int> pages;
    QStringList sizes;
    bool openAfterBadEnter = false;
    PromptScript prompts({ui::IDOK});
    OnNextModal<ui::PropertySheet>([&](ui::PropertySheet* s) {
        ASSERT_TRUE(WaitFor([&] { return QApplication::focusWidget() != nullptr; }));
        // The focus starts on the page's first control.
        EXPECT_EQ(FocusName(), QStringLiteral("c1007"));
        // Tab follows the layout: the page's controls, the colour swatches
        // before the button below them, then the sheet's buttons.
        s->Tabs()->tabBar()->setFocus();
        for (int i = 0; i < 14; ++i) {
            Key(Qt::Key_Tab);
            tabOrder << FocusName();
        }
        // The page keys turn the pages with the focus on OK.
        s->Buttons()->button(QDialogButtonBox::Ok)->setFocus();
        using Press = std::pair<Qt::Key, Qt::KeyboardModifiers>;
        for (auto [key, mods] : {Press{Qt::Key_PageDown, Qt::ControlModifier}, Press{Qt::Key_PageUp, Qt::ControlModifier},
                                 Press{Qt::Key_Tab, Qt::ControlModifier},
                                 Press{Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier}}) {
            Key(key, mods);
            pages.push_back(s->GetActiveIndex());
        }
        // The size takes what was typed ("7" is no "72"); a refused size is
        // named and Enter then leaves the sheet open.
        auto* size = qobject_cast<QComboBox*>(s->GetPage(0)->GetDlgItem(1010));
        for (const char* typed : {"7", "1"}) {
            size->setFocus();
            size->lineEdit()->selectAll();
            QTest::keyClicks(size, QString::fromLatin1(typed));
            Key(Qt::Key_Tab);
            sizes << QString::number(static_cast<CFontColorPageDlg*>(s->GetPage(0))->EditList()[0].size);
        }
        size->setFocus();
        size->lineEdit()->selectAll();
        QTest::keyClicks(size, QStringLiteral("0"));
        Key(Qt::Key_Return);
        openAfterBadEnter = s->isVisible();
        size->setFocus();
        size->lineEdit()->selectAll();
        QTest::keyClicks(size, QStringLiteral("9"));
        Key(Qt::Key_Return);
        if (s->isVisible())
            s->reject();
    });
    EXPECT_EQ(sheet.DoModal(), QDialog::Accepted);
    ASSERT_GE(tabOrder.size(), 14);
    EXPECT_EQ(tabOrder.mid(0, 5), QStringList({"c1007", "c1008", "c1009", "c1010", "c1011"}));
    const qsizetype button = tabOrder.indexOf(QStringLiteral("c1014"));
    ASSERT_GE(button, 0);
    EXPECT_LT(tabOrder.indexOf(QStringLiteral("c1015")), button);
    EXPECT_LT(tabOrder.indexOf(QStringLiteral("c1022")), button);
    EXPECT_GE(tabOrder.indexOf(QStringLiteral("c1015")), 0);
    EXPECT_EQ(pages, (std::vector<int>{1, 0, 1, 0}));
    EXPECT_EQ(sizes, QStringList({"7", "1"}));
    EXPECT_TRUE(openAfterBadEnter);
    EXPECT_EQ(prompts.Texts().size(), 1u);
    EXPECT_EQ(reg.FindCategory(kCat)->size, 9);
}

TEST_F(FontColorTest, ColorEditSpaceOpensDialogAndNotifiesOnce)
{
    CColorEdit edit(nullptr, 1015);
    edit.SetColor(0x000000);
    int notified = 0;
    QObject::connect(&edit, &CColorEdit::ColorChanged, [&notified](int id) {
        EXPECT_EQ(id, 1015);
        ++notified;
    });
    ShowActive(&edit);
    OnNextModal<QColorDialog>([](QColorDialog* dlg) {
        dlg->setCurrentColor(QColor(0x12, 0x34, 0x56));
        dlg->accept();
    });
    PressKey(&edit, Qt::Key_Space);
    EXPECT_EQ(notified, 1);
    EXPECT_EQ(edit.GetColor(), 0x563412u);
    // The same colour again: no notification.
    OnNextModal<QColorDialog>([](QColorDialog* dlg) { dlg->accept(); });
    PressKey(&edit, Qt::Key_Space);
    EXPECT_EQ(notified, 1);
    // An auto-repeated Space opens nothing.
    QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "), true);
    QApplication::sendEvent(&edit, &repeat);
    EXPECT_EQ(notified, 1);
}

} // namespace
