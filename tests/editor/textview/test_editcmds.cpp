// The edit view's text commands: the case conversions, auto-complete,
// auto-expand with expansions from the registry, go to last change and the
// keyboard selection switch.

#include "EditViewTest.h"

#include "editor/dialogs/EdtCodePageDlg.h"
#include "editor/parsers/EdtParser.h"
#include "editor/settings/EdtRegistry.h"
#include "editor/view/EdtLayoutCache.h"
#include "editor/view/EdtTextCase.h"
#include "platform/ui/Command.h"

#include <QComboBox>
#include <QPlainTextEdit>
#include <QPushButton>

#include <gtest/gtest.h>

using namespace testsupport::ui;

TEST(EditCmds, CaseConversionsKeepTheLength)
{
    EXPECT_EQ(edt::CapitalizeText(u"hELLO wORLD"), u"Hello World");
    EXPECT_EQ(edt::SentenceCaseText(u"a. b 3.5 c"), u"A. B 3.5 c");
    EXPECT_EQ(edt::SwapCaseText(u"Ab1"), u"aB1");
    EXPECT_EQ(edt::ToUpperText(u"stra\u00DFe"), u"STRA\u00DFE");  // no "SS"
    EXPECT_EQ(edt::ToLowerText(u"\u010C\u00C1P"), u"\u010D\u00E1p");
    // Lone surrogates pass through.
    EXPECT_EQ(edt::ToUpperText(std::u16string(u"a\xDC00")), std::u16string(u"A\xDC00"));
}

TEST(EditCmds, CaseCommandsReplaceTheSelectionInOneGroup)
{
    auto v = MakeEditView(u"hELLO wORLD\r\nnext");
    v->SetSelection({0, 0}, {4, 1});
    PressKey(v.get(), Qt::Key_J, Qt::ControlModifier);
    EXPECT_EQ(AllText(*v), u"Hello World\r\nNext");
    EXPECT_EQ(SelectedText(*v), QStringLiteral("Hello World\r\nNext"));
    std::u16string d;
    v->buffer.GetUndoDescription(d);
    EXPECT_EQ(d, u"první velká");
    PressKey(v.get(), Qt::Key_U, Qt::ControlModifier);
    EXPECT_EQ(AllText(*v), u"HELLO WORLD\r\nNEXT");
    PressKey(v.get(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(AllText(*v), u"Hello World\r\nNext");
}

TEST(EditCmds, AutoCompleteAboveBelowAndOnLineZero)
{
    auto v = MakeEditView(u"printf(x);\r\n\r\npri");
    v->SetCursorPos({3, 2});
    PressKey(v.get(), Qt::Key_Space, Qt::ControlModifier);
    EXPECT_EQ(AllText(*v), u"printf(x);\r\n\r\nprintf");
    EXPECT_EQ(v->GetCursorPos(), (EdtPoint{6, 2}));
    // Nothing above: the first match below.
    SetText(v->buffer, u"\r\npri\r\nprimary\r\nprivate");
    v->SetCursorPos({3, 1});
    PressKey(v.get(), Qt::Key_Space, Qt::ControlModifier);
    EXPECT_EQ(AllText(*v), u"\r\nprimary\r\nprimary\r\nprivate");
    // Line 0 is left alone, and the command is disabled there.
    SetText(v->buffer, u"pri\r\nprimary\r\nprivate");
    v->SetCursorPos({3, 0});
    ui::CmdUI first(ID_EDT_AUTO_COMPLETE);
    v->UpdateCommand(first);
    EXPECT_FALSE(first.Enabled());
    PressKey(v.get(), Qt::Key_Space, Qt::ControlModifier);
    EXPECT_EQ(AllText(*v), u"pri\r\nprimary\r\nprivate");
    // Inside a word nothing happens.
    v->SetCursorPos({2, 2});
    ui::CmdUI probe(ID_EDT_AUTO_COMPLETE);
    v->UpdateCommand(probe);
    EXPECT_FALSE(probe.Enabled());
    RunCmd(*v, ID_EDT_AUTO_COMPLETE);
    EXPECT_EQ(v->GetLineLength(2), 7);
}

TEST(EditCmds, AutoExpandFromTheRegistry)
{
    ResetSourceTypes();
    const std::u16string key = std::u16string(EDT_SETTINGS_KEY) + u"\\Text\\Expand";
    ASSERT_TRUE(EdtReg::SaveString(HKEY_CURRENT_USER, key, u"iff", u"if ()\\l"));
    ASSERT_TRUE(EdtReg::SaveString(HKEY_CURRENT_USER, key, u"blk", u"{\\n\\tx\\n}\\q\\"));
    ASSERT_TRUE(EdtReg::SaveString(HKEY_CURRENT_USER, key, u"del", u"ab\\b\\h\\e"));
    ASSERT_TRUE(EdtReg::SaveNumber(HKEY_CURRENT_USER, key, u"num", 5));
    // Line 0 is left alone; the abbreviations below stand on line 1.
    auto v = MakeEditView(u"iff\r\niff");
    ASSERT_EQ(GetTextTypeDef(0)->name, u"Text");
    v->SetTextType(GetTextTypeDef(0));
    EXPECT_EQ(v->GetExpandMap().size(), 3u);  // the number is skipped
    v->SetCursorPos({3, 0});
    ui::CmdUI first(ID_EDT_AUTO_EXPAND);
    v->UpdateCommand(first);
    EXPECT_FALSE(first.Enabled());
    PressKey(v.get(), Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(AllText(*v), u"iff\r\niff");
    v->SetCursorPos({3, 1});
    PressKey(v.get(), Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(AllText(*v), u"iff\r\nif ()");
    EXPECT_EQ(v->GetCursorPos(), (EdtPoint{4, 1}));
    std::u16string d;
    v->buffer.GetUndoDescription(d);
    EXPECT_EQ(d, u"automatické rozšíření");
    // Line breaks (with the row's automatic indentation), an indent unit,
    // an unknown letter and a final backslash.
    SetText(v->buffer, u"\r\nblk");
    v->SetInsertTabs(true);
    v->SetCursorPos({3, 1});
    RunCmd(*v, ID_EDT_AUTO_EXPAND);
    EXPECT_EQ(AllText(*v), v->GetAutoIndent() ? u"\r\n{\r\n\tx\r\n\t}" : u"\r\n{\r\n\tx\r\n}");
    // Backspace, line start and delete.
    SetText(v->buffer, u"\r\nz del");
    v->SetCursorPos({5, 1});
    RunCmd(*v, ID_EDT_AUTO_EXPAND);
    EXPECT_EQ(AllText(*v), u"\r\n a");
    EXPECT_EQ(v->GetCursorPos(), (EdtPoint{0, 1}));
    // Unknown abbreviations change nothing.
    SetText(v->buffer, u"\r\nnope");
    v->SetCursorPos({4, 1});
    RunCmd(*v, ID_EDT_AUTO_EXPAND);
    EXPECT_EQ(AllText(*v), u"\r\nnope");
}

TEST(EditCmds, GoToLastChangeAndKeyboardSelection)
{
    auto v = MakeEditView(u"one\r\ntwo\r\nthree");
    v->SetCursorPos({1, 1});
    TypeText(v.get(), QStringLiteral("X"));
    v->SetCursorPos({0, 0});
    PressKey(v.get(), Qt::Key_G, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(v->GetCursorPos(), (EdtPoint{2, 1}));
    RunCmd(*v, ID_EDT_TOGGLE_KEYBOARD_SELECTION);
    EXPECT_TRUE(v->Sel().KeyboardSelection());
    ui::CmdUI probe(ID_EDT_TOGGLE_KEYBOARD_SELECTION);
    v->UpdateCommand(probe);
    EXPECT_EQ(probe.Checked(), 1);
    PressKey(v.get(), Qt::Key_Right);
    EXPECT_TRUE(v->IsSelection());
    // An editing command switches it off; typing does not.
    TypeText(v.get(), QStringLiteral("y"));
    RunCmd(*v, ID_EDT_TOGGLE_KEYBOARD_SELECTION);
    RunCmd(*v, ID_EDT_TOGGLE_KEYBOARD_SELECTION);
    EXPECT_TRUE(v->Sel().KeyboardSelection());
    PressKey(v.get(), Qt::Key_Delete);
    EXPECT_FALSE(v->Sel().KeyboardSelection());
}

TEST(EditCmds, CodePageDialogConvertsTheSelection)
{
    auto v = MakeEditView(u"\u010Derven\u00E9\r\nx");
    v->SetSelection({0, 0}, {7, 0});
    OnNextModal<CCodePageDlg>([](CCodePageDlg* d) {
        auto* src = FindChild<QComboBox>(d, QStringLiteral("c1043"));
        auto* dst = FindChild<QComboBox>(d, QStringLiteral("c8606"));
        ASSERT_EQ(src->count(), 14);
        EXPECT_EQ(src->currentIndex(), CCodePageDlg::RememberedSource());
        // "Unicode" has no table: OK and "&Převést" are off.
        dst->setCurrentIndex(13);
        EXPECT_FALSE(FindChild<QPushButton>(d, QStringLiteral("c1"))->isEnabled());
        EXPECT_FALSE(FindChild<QPushButton>(d, QStringLiteral("c3"))->isEnabled());
        dst->setCurrentIndex(0);  // ASCII: without diacritics
        Click(FindChild<QPushButton>(d, QStringLiteral("c3")));
        EXPECT_EQ(FindChild<QPlainTextEdit>(d, QStringLiteral("c1045"))->toPlainText(), QStringLiteral("cervene"));
        Click(FindChild<QPushButton>(d, QStringLiteral("c1")));
    });
    RunCmd(*v, ID_EDT_CHANGE_CODEPAGE);
    EXPECT_EQ(AllText(*v), u"cervene\r\nx");
    EXPECT_EQ(SelectedText(*v), QStringLiteral("cervene"));
}

namespace {
class CountingParser : public CEdtParser
{
public:
    uint32_t ParseLine(uint32_t cookie, int line, CEdtTextBlock* blocks) override
    {
        lastLine = line;
        hadBlocks = blocks != nullptr;
        return cookie + 1;
    }
    int lastLine = -1;
    bool hadBlocks = false;
};
} // namespace

TEST(EditCmds, TheParserViewHasItsOwnParser)
{
    CEdtEditViewEx v;
    TextBlockList blocks;
    EXPECT_EQ(v.ParseLineWithParser(5, 0, &blocks), 0u);
    CountingParser p;
    EXPECT_EQ(v.SetSyntaxParser(&p), nullptr);
    EXPECT_EQ(v.ParseLineWithParser(5, 3, &blocks), 6u);
    EXPECT_EQ(p.lastLine, 3);
    EXPECT_TRUE(p.hadBlocks);
    EXPECT_EQ(v.ParseLineWithParser(1, 0, nullptr), 2u);
    EXPECT_FALSE(p.hadBlocks);
    EXPECT_EQ(v.SetSyntaxParser(nullptr), &p);
    EXPECT_EQ(v.Cache().m_parser, nullptr);  // the word-wrap parser is another
}
