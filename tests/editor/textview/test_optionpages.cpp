// The options page for source types with its embedded sheet.

#include "OptionsTest.h"

#include "editor/buffer/EdtCodePages.h"
#include "platform/ui/Prompt.h"
#include "res/StringTable.h"

#include <QPushButton>

#include <gtest/gtest.h>

using namespace testsupport::ui;

namespace {
constexpr int C = 4, JAVA = 9, TEXT = 0;

bool AllDisabled(CEditorPageBase* page)
{
    for (QWidget* w : page->findChildren<QWidget*>())
        if ((qobject_cast<QCheckBox*>(w) || qobject_cast<QRadioButton*>(w) || qobject_cast<QLineEdit*>(w) ||
             qobject_cast<QComboBox*>(w)) &&
            w->isEnabled())
            return false;
    return true;
}
} // namespace

TEST(EditorOptionsPage, TwoTypesChangeOnlyTheClearedBit)
{
    ResetSourceTypes();
    GetTextTypeDef(C)->flags |= EDT_TT_SHOWTABS;
    GetTextTypeDef(JAVA)->flags |= EDT_TT_SHOWTABS;
    const uint32_t c0 = GetTextTypeDef(C)->flags, j0 = GetTextTypeDef(JAVA)->flags;
    const int tabC = GetTextTypeDef(C)->tabSize;
    const auto extJ = GetTextTypeDef(JAVA)->extensions;
    OptionsSheet s(nullptr);
    // Without a view the "Text" box is checked.
    EXPECT_TRUE(s.editor->TypeBox(TEXT)->isChecked());
    s.editor->TypeBox(TEXT)->setChecked(false);
    s.editor->TypeBox(C)->setChecked(true);
    s.editor->TypeBox(JAVA)->setChecked(true);
    EXPECT_EQ(s.editor->State().checkedCount, 2);
    EXPECT_FALSE(s.InnerItem<QLineEdit>(0, 1004)->isEnabled());
    EXPECT_FALSE(s.InnerItem<QLineEdit>(2, 1014)->isEnabled());
    EXPECT_FALSE(s.InnerItem<QComboBox>(2, 1007)->isEnabled());
    auto* showTabs = s.InnerItem<QCheckBox>(0, 1005);
    EXPECT_EQ(showTabs->checkState(), Qt::PartiallyChecked);
    EXPECT_EQ(s.InnerItem<QRadioButton>(0, 1002)->isChecked() || s.InnerItem<QRadioButton>(0, 1003)->isChecked(),
              false);
    showTabs->setCheckState(Qt::Unchecked);
    s.sheet.accept();
    EXPECT_EQ(GetTextTypeDef(C)->flags, c0 & ~EDT_TT_SHOWTABS);
    EXPECT_EQ(GetTextTypeDef(JAVA)->flags, j0 & ~EDT_TT_SHOWTABS);
    EXPECT_EQ(GetTextTypeDef(C)->tabSize, tabC);
    EXPECT_EQ(GetTextTypeDef(JAVA)->extensions, extJ);
    // Saved by the page.
    EXPECT_EQ(StoredFlags(u"C"), c0 & ~EDT_TT_SHOWTABS);
}

TEST(EditorOptionsPage, NoRecodingAndNothingChecked)
{
    ResetSourceTypes();
    GetTextTypeDef(TEXT)->defaultEncoding = 3;
    {
        OptionsSheet s(nullptr);
        auto* combo = s.InnerItem<QComboBox>(2, 1007);
        EXPECT_EQ(combo->currentIndex(), 4);
        EXPECT_EQ(combo->count(), 16);
        EXPECT_EQ(combo->itemText(0), QStringLiteral("Bez překódování"));
        EXPECT_EQ(combo->itemText(14), QStringLiteral("Unicode"));
        EXPECT_EQ(combo->itemText(15), QStringLiteral("UTF-8"));
        // UTF-8 is stored as 14 (index - 1).
        combo->setCurrentIndex(15);
        s.sheet.accept();
        EXPECT_EQ(GetTextTypeDef(TEXT)->defaultEncoding, EDT_CODEPAGE_UTF8);
    }
    {
        OptionsSheet s(nullptr);
        auto* combo = s.InnerItem<QComboBox>(2, 1007);
        EXPECT_EQ(combo->currentIndex(), 15);
        combo->setCurrentIndex(0);
        s.InnerItem<QLineEdit>(2, 1014)->setText("txt,log");
        s.sheet.accept();
        EXPECT_EQ(GetTextTypeDef(TEXT)->defaultEncoding, -1);
        EXPECT_EQ(GetTextTypeDef(TEXT)->extensions, u"txt,log");
    }
    std::vector<uint32_t> before;
    for (int t = 0; t < 25; ++t)
        before.push_back(GetTextTypeDef(t)->flags);
    OptionsSheet s(nullptr);
    Click(s.editor->Item<QPushButton>(1033));  // none
    EXPECT_EQ(s.editor->State().checkedCount, 0);
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(AllDisabled(s.Inner(i))) << i;
    Click(s.editor->Item<QPushButton>(1032));  // all
    EXPECT_EQ(s.editor->State().checkedCount, 23);
    Click(s.editor->Item<QPushButton>(1033));
    s.sheet.accept();
    for (int t = 0; t < 25; ++t)
        EXPECT_EQ(GetTextTypeDef(t)->flags, before[size_t(t)]) << t;
}

TEST(EditorOptionsPage, PlcViewStartsDisabledAndDlgItemsStayOwn)
{
    auto v = MakeView(u"x");
    v->SetTextTypeById(23);  // PLC: no box
    OptionsSheet s(v.get());
    EXPECT_EQ(s.editor->State().checkedCount, 0);
    for (int t = 0; t < 23; ++t)
        EXPECT_FALSE(s.editor->TypeBox(t)->isChecked());
    EXPECT_EQ(s.editor->TypeBox(23), nullptr);
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(AllDisabled(s.Inner(i))) << i;
    // The same ids on the outer page and the inner pages.
    EXPECT_NE(qobject_cast<QPushButton*>(s.editor->GetDlgItem(1032)), nullptr);
    EXPECT_NE(qobject_cast<QRadioButton*>(s.Inner(0)->GetDlgItem(1032)), nullptr);
    EXPECT_EQ(s.editor->GetDlgItem(1007), nullptr);
    EXPECT_EQ(s.editor->GetDlgItem(1008), nullptr);
    EXPECT_NE(qobject_cast<QCheckBox*>(s.Inner(1)->GetDlgItem(1007)), nullptr);
    EXPECT_NE(qobject_cast<QComboBox*>(s.Inner(2)->GetDlgItem(1007)), nullptr);
    s.sheet.reject();
}

TEST(EditorOptionsPage, AltLettersPickInnerThenOuterTabs)
{
    OptionsSheet s(nullptr);
    QWidget* box = s.editor->TypeBox(C);
    box->setFocus();
    PumpEvents();
    PressKey(box, Qt::Key_Z, Qt::AltModifier);  // "&Zobrazení"
    EXPECT_EQ(s.editor->Sheet2()->currentIndex(), 1);
    EXPECT_EQ(s.sheet.GetActiveIndex(), 1);
    PressKey(s.InnerItem<QCheckBox>(1, 1008), Qt::Key_K, Qt::AltModifier);  // "&Kódování"
    EXPECT_EQ(s.editor->Sheet2()->currentIndex(), 2);
    PressKey(box, Qt::Key_P, Qt::AltModifier);  // only the outer "&Písmo"
    EXPECT_EQ(s.sheet.GetActiveIndex(), 2);
    s.sheet.reject();
}

TEST(EditorOptionsPage, EditViewLiveValuesAndIndeterminateKeeps)
{
    auto v = MakeEditView(u"int x;\r\n");
    v->SetTextTypeById(C);
    v->SetInsertTabs(false);
    v->SetAutoIndent(false);
    v->SetDisableBSAtSOL(true);
    v->SetTabSize(7);
    v->SetWordWrap(true);
    v->buffer.SetCRLFMode(1);
    OptionsSheet s(v.get());
    EXPECT_TRUE(s.InnerItem<QRadioButton>(0, 1003)->isChecked());  // spaces
    EXPECT_EQ(s.InnerItem<QLineEdit>(0, 1004)->text(), QStringLiteral("7"));
    EXPECT_EQ(s.InnerItem<QCheckBox>(0, 1006)->checkState(), Qt::Unchecked);
    EXPECT_EQ(s.InnerItem<QCheckBox>(1, 1007)->checkState(), Qt::Unchecked);  // inverted
    EXPECT_EQ(s.InnerItem<QCheckBox>(1, 1040)->checkState(), Qt::Checked);
    EXPECT_TRUE(s.InnerItem<QRadioButton>(1, 1037)->isChecked());  // UNIX

    s.InnerItem<QRadioButton>(0, 1002)->setChecked(true);  // tabs
    s.InnerItem<QLineEdit>(0, 1004)->setText("3");
    s.InnerItem<QCheckBox>(0, 1006)->setCheckState(Qt::Checked);
    auto* bs = s.InnerItem<QCheckBox>(1, 1007);
    bs->setTristate(true);
    bs->setCheckState(Qt::PartiallyChecked);  // keeps the view's switch
    s.InnerItem<QRadioButton>(1, 1035)->setChecked(true);  // keep line ends
    s.sheet.accept();
    EXPECT_TRUE(v->GetInsertTabs());
    EXPECT_EQ(v->GetTabSize(), 3);
    EXPECT_TRUE(v->GetAutoIndent());
    EXPECT_TRUE(v->GetDisableBSAtSOL());
    EXPECT_EQ(v->buffer.GetCRLFMode(), 1);
    EXPECT_EQ(GetTextTypeDef(C)->tabSize, 3);
    EXPECT_TRUE(GetTextTypeDef(C)->flags & EDT_TT_TABCHARS);
    EXPECT_TRUE(v->Style().flags & EDT_TT_TABCHARS);
}

TEST(EditorOptionsPage, TabSizeOutOfRangeIsRefused)
{
    ResetSourceTypes();
    const int before = GetTextTypeDef(TEXT)->tabSize;
    OptionsSheet s(nullptr);
    s.InnerItem<QLineEdit>(0, 1004)->setText("65");
    s.editor->Sheet2()->setCurrentIndex(2);
    PromptScript prompts({ui::IDOK});
    s.sheet.accept();
    ASSERT_EQ(prompts.Texts().size(), 1u);
    EXPECT_TRUE(prompts.Texts()[0].contains("64"));
    EXPECT_TRUE(s.sheet.isVisible());
    EXPECT_EQ(s.editor->Sheet2()->currentIndex(), 0);
    EXPECT_EQ(GetTextTypeDef(TEXT)->tabSize, before);
    s.sheet.reject();
}

TEST(EditorOptionsPage, SheetFromTheCommand)
{
    auto v = MakeEditView(u"x");
    OnNextModal<ui::PropertySheet>([](ui::PropertySheet* sheet) {
        EXPECT_EQ(sheet->windowTitle(), LoadResString(8700));
        EXPECT_EQ(sheet->GetPageCount(), 3);
        EXPECT_EQ(sheet->Tabs()->tabText(0), QStringLiteral("&Obecné"));
        EXPECT_EQ(sheet->Tabs()->tabText(1), QStringLiteral("&Editor"));
        EXPECT_EQ(sheet->Tabs()->tabText(2), QStringLiteral("&Písmo"));
        sheet->reject();
    });
    EXPECT_EQ(ShowEditorOptionsSheet(v.get(), v.get()), int(QDialog::Rejected));
}

TEST(EditorOptionsPage, TheSheetKeepsItsSizeOnEveryPageAndEscapeClosesIt)
{
    auto v = MakeEditView(u"x");
    const QList<QWidget*> before = VisibleTopLevels();
    QSize size;
    bool rejected = false;
    OnNextModal<ui::PropertySheet>([&](ui::PropertySheet* sheet) {
        size = sheet->size();
        // Every page and every page of the embedded sheet, at the size the
        // sheet opened with: none grows it, none is cut.
        for (int i = 0; i < sheet->GetPageCount(); ++i) {
            sheet->SetActivePage(i);
            PumpEvents();
            EXPECT_EQ(sheet->size(), size) << "page " << i;
            EXPECT_EQ(ClippedTexts(sheet->GetPage(i)), QStringList()) << "page " << i;
        }
        auto* editor = dynamic_cast<CEditorOptionsPage*>(sheet->GetPage(1));
        ASSERT_NE(editor, nullptr);
        sheet->SetActivePage(1);
        for (int i = 0; i < editor->Sheet2()->count(); ++i) {
            editor->Sheet2()->setCurrentIndex(i);
            PumpEvents();
            EXPECT_EQ(sheet->size(), size) << "inner page " << i;
            EXPECT_EQ(ClippedTexts(editor->Sheet2()->widget(i)), QStringList()) << "inner page " << i;
        }
        // Escape from a box of the inner page closes the whole sheet as
        // Zrušit does.
        auto* box = editor->InnerPage(0)->findChild<QCheckBox*>();
        ASSERT_NE(box, nullptr);
        box->setFocus();
        PressEscape(box);
        rejected = !sheet->isVisible();
    });
    EXPECT_EQ(ShowEditorOptionsSheet(v.get(), v.get()), int(QDialog::Rejected));
    EXPECT_TRUE(rejected);
    EXPECT_EQ(VisibleTopLevels(before), QList<QWidget*>());
}
