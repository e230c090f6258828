// The output window: exact text after ClearAll, following the output, the
// tag limit and cuts, long paths, wrap-around, jumps into stand-in and
// rich-edit documents, beeps, re-applied formats and the context menu.
#include "mainwnd/OutputCtrl.h"
#include "mainwnd/RichEdit.h"
#include "platform/sys/Registry.h"
#include "platform/ui/App.h"
#include "platform/ui/Beep.h"
#include "platform/ui/Prompt.h"
#include "plcviews/StructuredTextDoc.h"
#include "tests/mainwnd/mainwnd_env.h"
#include "tests/support/ui/UiTest.h"
#include "uilib/KVTPopupMenu.h"

#include "uilib/KVTWorkspace.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QDockWidget>
#include <QElapsedTimer>
#include <QMdiArea>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextEdit>
#include <QTimer>

#include <gtest/gtest.h>

using namespace mainwndtest;
using namespace testsupport::ui;

namespace {


std::u16string U(const QString& s) { return s.toStdU16String(); }

class OutputTest : public RegistryTest
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(COutputCtrl::RegisterFonts(kCat, QStringLiteral("Okno výstupu"), &registry));
        registry.LoadSettings(QStringLiteral("Formats"));
        SetFontColorPage(&registry);
        host.resize(600, 300);
        ctrl = new COutputCtrl;
        ASSERT_TRUE(ctrl->Create(0, QRect(0, 0, 600, 300), &host, 1, &registry, kCat));
    }
    void TearDown() override
    {
        SetFontColorPage(nullptr);
        RegistryTest::TearDown();
    }
    // A tagged line pointing at path (line, column).
    void Tagged(const QString& text, const QString& path, int line = 1, int column = 1,
                const QString& message = QStringLiteral("msg"))
    {
        ctrl->AppendTaggedLine(U(text), U(path), line, column, u"name", u"short", U(message));
    }
    // The viewport point of a text position.
    QPoint PointOf(int position) const
    {
        QTextCursor c(ctrl->document());
        c.setPosition(position);
        return ctrl->cursorRect(c).center();
    }

    CFontColorPage registry;
    QWidget host;
    COutputCtrl* ctrl = nullptr;
};

TEST_F(OutputTest, TextIsExactlyWhatWasAppended)
{
    EXPECT_EQ(ctrl->Text(), QString());
    EXPECT_TRUE(ctrl->isReadOnly());
    ctrl->AppendText(u"x");
    ctrl->AppendText(u"y\r\n");
    EXPECT_EQ(ctrl->Text(), QStringLiteral("xy\n"));
    ctrl->ClearAll();
    EXPECT_EQ(ctrl->Text(), QString());
    ctrl->AppendText(u"x");
    ctrl->AppendText(u"y\r\nz\rw");
    EXPECT_EQ(ctrl->Text(), QStringLiteral("xy\nz\nw"));
    // A line of a million characters is shown whole.
    ctrl->ClearAll();
    std::u16string big(1'000'000, u'a');
    ctrl->AppendText(big);
    EXPECT_EQ(ctrl->Text().size(), 1'000'000);
}

TEST_F(OutputTest, LastLineStaysVisible)
{
    QFontMetrics fm(ctrl->TextFormat().font());
    host.resize(400, fm.lineSpacing() * 10 + 10);
    ctrl->resize(host.size());
    ShowActive(&host);
    for (int i = 0; i < 200; ++i)
        ctrl->AppendText(QStringLiteral("line %1\r\n").arg(i).toStdU16String());
    PumpEvents();
    EXPECT_GT(ctrl->verticalScrollBar()->value(), 0);
    EXPECT_TRUE(ctrl->viewport()->rect().contains(ctrl->cursorRect()));
    EXPECT_GE(ctrl->GetLastVisibleLine(), ctrl->GetLineCount() - 1);
    EXPECT_EQ(ctrl->textCursor().position(), ctrl->document()->characterCount() - 1);
}

TEST_F(OutputTest, TagLimitCutsAndRanges)
{
    ctrl->AppendText(u"head\r\n");
    // A path or a name of 259 characters or more is plain text.
    const QString longPath = QStringLiteral("/") + QString(257, QLatin1Char('p'));
    ctrl->AppendTaggedLine(u"x\r\n", U(longPath + QLatin1Char('p')), 3, 4, u"n", u"s", u"m");
    ctrl->AppendTaggedLine(u"y\r\n", U(longPath), 3, 4, std::u16string(259, u'n'), u"s", u"m");
    EXPECT_EQ(ctrl->TagCount(), 0);
    EXPECT_EQ(ctrl->Text(), QStringLiteral("head\nx\ny\n"));
    ctrl->ClearAll();
    ctrl->AppendText(u"head\r\n");
    ctrl->AppendTaggedLine(u"first\r\n", U(longPath), 3, 4, std::u16string(258, u'n'),
                           std::u16string(150, u's'), std::u16string(250, u'm'));
    const OutputTag* t = ctrl->Tag(0);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->path, longPath);
    EXPECT_EQ(t->name.size(), 258);
    EXPECT_EQ(t->shortText.size(), 99);
    EXPECT_EQ(t->message.size(), 199);
    // The range is exactly the inserted text.
    EXPECT_EQ(t->start, 5);
    EXPECT_EQ(t->end, 11);
    EXPECT_EQ(ctrl->TagAt(4), -1);
    EXPECT_EQ(ctrl->TagAt(5), 0);
    EXPECT_EQ(ctrl->TagAt(10), 0);
    EXPECT_EQ(ctrl->TagAt(11), -1);
    const QString firstMessage = t->message;

    for (int i = 1; i < 501; ++i)
        Tagged(QStringLiteral("tag %1\r\n").arg(i), QStringLiteral("/a.txt"));
    EXPECT_EQ(ctrl->TagCount(), 500);
    // The 501st is plain: Text format, no tag, a beep on a double-click.
    const int lastStart = ctrl->document()->lastBlock().previous().position();
    EXPECT_EQ(ctrl->TagAt(lastStart), -1);
    EXPECT_EQ(QTextCursor(ctrl->document()->lastBlock().previous()).charFormat().foreground(),
              ctrl->TextFormat().foreground());
    ShowActive(&host);
    int beeps = ui::BeepCount();
    DoubleClick(ctrl->viewport(), PointOf(lastStart + 1));
    EXPECT_EQ(ui::BeepCount(), beeps + 1);
    EXPECT_EQ(ctrl->CurrentTag(), -1);

    // Next from none selects 0 and wraps after 499; Prev wraps back.
    EXPECT_EQ(ctrl->NextTag(), std::optional<QString>(firstMessage));
    EXPECT_EQ(ctrl->CurrentTag(), 0);
    ctrl->SelectTag(499);
    ctrl->NextTag();
    EXPECT_EQ(ctrl->CurrentTag(), 0);
    ctrl->PrevTag();
    EXPECT_EQ(ctrl->CurrentTag(), 499);
    EXPECT_EQ(ctrl->SelectTag(500), std::nullopt);
    EXPECT_EQ(ctrl->CurrentTag(), -1);

    ctrl->ClearAll();
    EXPECT_FALSE(ctrl->HasTags());
    EXPECT_EQ(ctrl->NextTag(), std::nullopt);
    EXPECT_EQ(ctrl->PrevTag(), std::nullopt);
}

TEST_F(OutputTest, PrevAfterAppendAndDoubleClickOnCurrent)
{
    Tagged(QStringLiteral("a\r\n"), QStringLiteral("/x"), 1, 1, QStringLiteral("A"));
    Tagged(QStringLiteral("b\r\n"), QStringLiteral("/x"), 1, 1, QStringLiteral("B"));
    ctrl->NextTag();
    ctrl->AppendText(u"plain\r\n"); // deselects
    EXPECT_EQ(ctrl->CurrentTag(), -1);
    EXPECT_EQ(ctrl->PrevTag(), std::optional<QString>(QStringLiteral("B")));
    EXPECT_EQ(ctrl->CurrentTag(), 1);
    const OutputTag* t = ctrl->Tag(1);
    QTextCursor at(ctrl->document());
    at.setPosition(t->start + 1);
    EXPECT_EQ(at.charFormat().background(), ctrl->SelectedTagFormat().background());

    // A double-click on the current tag selects it again; Enter on plain
    // text beeps.
    ShowActive(&host);
    ctrl->SelectTag(-1);
    DoubleClick(ctrl->viewport(), PointOf(t->start));
    EXPECT_EQ(ctrl->CurrentTag(), 1);
    DoubleClick(ctrl->viewport(), PointOf(t->start + 1));
    EXPECT_EQ(ctrl->CurrentTag(), 1);
    QTextCursor c(ctrl->document());
    c.setPosition(t->end + 1);
    ctrl->setTextCursor(c);
    int beeps = ui::BeepCount();
    PressKey(ctrl, Qt::Key_Return);
    EXPECT_EQ(ui::BeepCount(), beeps + 1);
    EXPECT_EQ(ctrl->CurrentTag(), 1);
}

TEST_F(OutputTest, FontChangeReappliesFormats)
{
    Tagged(QStringLiteral("a\r\n"), QStringLiteral("/x"));
    ctrl->AppendText(u"plain\r\n");
    Tagged(QStringLiteral("b\r\n"), QStringLiteral("/x"));
    ctrl->NextTag();
    std::vector<FontColorCategory> edit = registry.Current();
    edit[0].size = 14;
    edit[0].items[1].textColor = 0x0000FF; // Tag: red
    edit[0].items[1].bold = -1;            // not bold
    registry.ApplyEdit(edit);
    QTextCursor c(ctrl->document());
    c.setPosition(ctrl->Tag(1)->start + 1);
    EXPECT_EQ(c.charFormat().foreground().color(), QColor(255, 0, 0));
    EXPECT_EQ(c.charFormat().font().pointSize(), 14);
    EXPECT_FALSE(c.charFormat().font().bold());
    c.setPosition(ctrl->Tag(0)->start + 1);
    EXPECT_EQ(c.charFormat().background(), ctrl->SelectedTagFormat().background());
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(ctrl->TagAt(ctrl->Tag(i)->start), i);
    EXPECT_EQ(ctrl->NextTag(), std::optional<QString>(QStringLiteral("msg")));
    EXPECT_EQ(ctrl->CurrentTag(), 1);
}

// Jumps through a real application with the stand-in text template and a
// rich-edit template.
class OutputJumpTest : public OutputTest
{
protected:
    void SetUp() override
    {
        app = std::make_unique<ui::Application>();
        app->AddDocTemplate(std::make_unique<ui::DocTemplate>(
            2, QStringLiteral("\nText\nText\nText (*.txt)\n.txt\n\n"), [] { return new CStructuredTextDoc; },
            [] { return new CChildFrame; }, [] { return new CStructuredTextView; }));
        app->AddDocTemplate(std::make_unique<ui::DocTemplate>(
            7, QStringLiteral("\nRich\nRich\nRich (*.rtx)\n.rtx\n\n"), [] { return new CRichEditDoc2; },
            [] { return new ui::ChildFrame; }, [] { return new CRichEditView2; }));
        frame = new ui::MainFrameBase;
        app->SetMainWnd(frame);
        for (int i = 0; i < app->Documents().TemplateCount(); ++i)
            app->Documents().Template(i)->SetMdiArea(frame->MdiArea());
        OutputTest::SetUp();
        auto* dock = new QDockWidget(frame);
        ctrl->setParent(dock);
        dock->setWidget(ctrl);
        frame->addDockWidget(Qt::BottomDockWidgetArea, dock);
        frame->resize(800, 600);
        ShowActive(frame);
    }
    void TearDown() override
    {
        delete frame;
        app.reset();
        OutputTest::TearDown();
    }
    std::unique_ptr<ui::Application> app;
    ui::MainFrameBase* frame = nullptr;
};

TEST_F(OutputJumpTest, JumpsIntoStandInAndRichEditDocuments)
{
    std::string text;
    for (int i = 1; i <= 10; ++i)
        text += "line " + std::to_string(i) + "\r\n";
    dir.Write("Main.txt", text);
    dir.Write("Notes.rtx", "first\nsecond line\nthird\n");
    // A relative name is kept full, taken against the current folder.
    const QString old = QDir::currentPath();
    QDir::setCurrent(QString::fromStdString(dir.Path()));
    Tagged(QStringLiteral("Main.txt(4) : error\r\n"), QStringLiteral("Main.txt"), 4, 3, QStringLiteral("E1"));
    QDir::setCurrent(old);
    EXPECT_EQ(ctrl->Tag(0)->path, QString::fromStdString(dir / "Main.txt"));
    Tagged(QStringLiteral("Notes(2)\r\n"), QString::fromStdString(dir / "Notes.rtx"), 2, 3, QStringLiteral("E2"));
    Tagged(QStringLiteral("Missing(1)\r\n"), QString::fromStdString(dir / "Missing.txt"), 1, 1, QStringLiteral("E3"));
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(dir / "Missing.txt")));  // cannot be opened

    EXPECT_EQ(ctrl->NextTag(), std::optional<QString>(QStringLiteral("E1")));
    auto* view = qobject_cast<CStructuredTextView*>(ui::FocusedView());
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->GetCursorPos(), (EdtPoint{2, 3}));
    EXPECT_TRUE(WaitFor([view] { return view->isAncestorOf(QApplication::focusWidget()); }, 2000,
                                 "focus in the text view"));

    // A double-click on the tag jumps too, after the position was moved.
    view->ClampTextPos(EdtPoint{0, 0});
    DoubleClick(ctrl->viewport(), PointOf(ctrl->Tag(0)->start + 2));
    EXPECT_EQ(view->GetCursorPos(), (EdtPoint{2, 3}));

    EXPECT_EQ(ctrl->NextTag(), std::optional<QString>(QStringLiteral("E2")));
    auto* rich = qobject_cast<CRichEditView2*>(ui::FocusedView());
    ASSERT_NE(rich, nullptr);
    QTextCursor rc = rich->GetRichEditCtrl()->textCursor();
    EXPECT_EQ(rc.blockNumber(), 1);
    EXPECT_EQ(rc.positionInBlock(), 2);
    EXPECT_FALSE(rc.hasSelection());

    // A file that cannot be opened: the framework's message, the tag is still
    // selected and its message returned.
    PromptScript prompts({ui::IDOK});
    EXPECT_EQ(ctrl->NextTag(), std::optional<QString>(QStringLiteral("E3")));
    EXPECT_EQ(ctrl->CurrentTag(), 2);
    EXPECT_EQ(prompts.Texts().size(), 1u);

    // After a font change every tag still jumps.
    std::vector<FontColorCategory> edit = registry.Current();
    edit[0].size = 12;
    registry.ApplyEdit(edit);
    EXPECT_EQ(ctrl->NextTag(), std::optional<QString>(QStringLiteral("E1")));
    EXPECT_EQ(qobject_cast<CStructuredTextView*>(ui::FocusedView()), view);
}

TEST_F(OutputJumpTest, ContextMenuOffersItsItemsAndCopy)
{
    CKVTWorkspace workspace;
    ASSERT_TRUE(workspace.GetContextMenuManager()->AddMenu(QStringLiteral("Okno výstupu"), 555));
    ctrl->AppendText(u"copy me\r\n");
    ctrl->setFocus();
    ctrl->ShowContextMenu(ctrl->mapToGlobal(QPoint(5, 5)));
    CKVTPopupMenu* popup = CKVTPopupMenu::ActivePopup();
    ASSERT_NE(popup, nullptr);
    CKVTPopupMenuBar* bar = popup->GetMenuBar();
    const std::vector<QString> texts = {QStringLiteral("&Kopírovat"),
                                        QStringLiteral("-"),
                                        QStringLiteral("&Následující chyba"),
                                        QStringLiteral("&Předchozá chyba"),
                                        QStringLiteral("-"),
                                        QStringLiteral("Nastavení proj&ektu..."),
                                        QStringLiteral("-"),
                                        QStringLiteral("&Vymazat")};
    ASSERT_EQ(bar->Items().Count(), int(texts.size()));
    for (int i = 0; i < bar->Items().Count(); ++i)
        EXPECT_EQ(bar->GetButton(i)->IsSeparator() ? QStringLiteral("-") : bar->GetButton(i)->m_text,
                  texts[size_t(i)]);
    EXPECT_TRUE(bar->Items().Style(0) & TBBS_DISABLED); // nothing selected: copy is disabled
    PressKey(popup, Qt::Key_Escape);
    WaitFor([] { return CKVTPopupMenu::ActivePopup() == nullptr; }, 2000, "the popup closes");

    // With a selection, copy is enabled; Enter on it copies, after the popup has gone.
    ctrl->selectAll();
    QApplication::clipboard()->clear();
    ctrl->ShowContextMenu(ctrl->mapToGlobal(QPoint(5, 5)));
    popup = CKVTPopupMenu::ActivePopup();
    ASSERT_NE(popup, nullptr);
    EXPECT_FALSE(popup->GetMenuBar()->Items().Style(0) & TBBS_DISABLED);
    PressKey(popup, Qt::Key_Home);
    PressKey(popup, Qt::Key_Return);
    WaitFor([] { return QApplication::clipboard()->text() == QStringLiteral("copy me\n"); }, 2000, "the copy");
    EXPECT_EQ(CKVTPopupMenu::ActivePopup(), nullptr);
}

TEST_F(OutputJumpTest, KeyboardCaretMovesSelectsJumpsAndOpensTheMenuAtTheCaret)
{
    CKVTWorkspace workspace;
    ASSERT_TRUE(workspace.GetContextMenuManager()->AddMenu(QStringLiteral("Okno výstupu"), 555));
    std::string text;
    for (int i = 1; i <= 10; ++i)
        text += "line " + std::to_string(i) + "\r\n";
    dir.Write("Main.txt", text);
    const QString main = QString::fromStdString(dir / "Main.txt");
    ctrl->AppendText(u"Tvorba PLC\r\n");
    Tagged(QStringLiteral("Main.txt(4) : error\r\n"), main, 4, 3, QStringLiteral("E1"));
    ctrl->AppendText(u"plain\r\n");
    Tagged(QStringLiteral("Main.txt(7) : warning\r\n"), main, 7, 2, QStringLiteral("E2"));
    ctrl->AppendText(u"end");
    ctrl->setFocus();
    ASSERT_TRUE(
        WaitFor([this] { return ctrl->hasFocus(); }, 2000, "the output window has the focus"));
    auto line = [this] { return ctrl->textCursor().blockNumber(); };
    auto column = [this] { return ctrl->textCursor().positionInBlock(); };

    // Ctrl+Home, the arrows, End and Home move the caret.
    PostKey(Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(ctrl->textCursor().position(), 0);
    PostKey(Qt::Key_Down);
    PostKey(Qt::Key_Down);
    EXPECT_EQ(line(), 2);
    PostKey(Qt::Key_End);
    EXPECT_EQ(column(), 5);
    PostKey(Qt::Key_Left);
    EXPECT_EQ(column(), 4);
    PostKey(Qt::Key_Home);
    EXPECT_EQ(column(), 0);
    // Enter on plain text beeps and jumps nowhere.
    int beeps = ui::BeepCount();
    PostKey(Qt::Key_Return);
    EXPECT_EQ(ui::BeepCount(), beeps + 1);
    EXPECT_EQ(ctrl->CurrentTag(), -1);
    EXPECT_EQ(ui::FocusedView(), nullptr);
    // Up to the tagged line, Enter: its source at its position.
    PostKey(Qt::Key_Up);
    PostKey(Qt::Key_End);
    PostKey(Qt::Key_Return);
    EXPECT_EQ(ctrl->CurrentTag(), 0);
    auto* view = qobject_cast<CStructuredTextView*>(ui::FocusedView());
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->GetCursorPos(), (EdtPoint{2, 3}));
    EXPECT_EQ(ui::BeepCount(), beeps + 1);
    auto refocus = [this, view] {
        ASSERT_TRUE(WaitFor([view] { return view->isAncestorOf(QApplication::focusWidget()); },
                            2000, "focus in the text view"));
        ctrl->setFocus();
        ASSERT_TRUE(
            WaitFor([this] { return ctrl->hasFocus(); }, 2000, "the output window has the focus"));
    };

    // Back in the output window: Ctrl+End, PgUp and PgDn.
    refocus();
    PostKey(Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(line(), 4);
    EXPECT_EQ(column(), 3);
    PostKey(Qt::Key_PageUp);
    EXPECT_EQ(line(), 0);
    PostKey(Qt::Key_PageDown);
    EXPECT_EQ(line(), 4);
    EXPECT_FALSE(ctrl->textCursor().hasSelection());
    // The second tag by the arrows, Enter.
    PostKey(Qt::Key_Up);
    PostKey(Qt::Key_Home);
    PostKey(Qt::Key_Return);
    EXPECT_EQ(ctrl->CurrentTag(), 1);
    EXPECT_EQ(view->GetCursorPos(), (EdtPoint{1, 6}));

    // Shift selects, across plain and tagged lines.
    refocus();
    PostKey(Qt::Key_Home, Qt::ControlModifier);
    PostKey(Qt::Key_Down, Qt::ShiftModifier);
    PostKey(Qt::Key_Down, Qt::ShiftModifier);
    PostKey(Qt::Key_End, Qt::ShiftModifier);
    EXPECT_EQ(ctrl->textCursor().selectedText(),
              QStringLiteral("Tvorba PLC\u2029Main.txt(4) : error\u2029plain"));
    PostKey(Qt::Key_Down, Qt::ShiftModifier);
    PostKey(Qt::Key_End, Qt::ShiftModifier);
    EXPECT_TRUE(ctrl->textCursor().selectedText().endsWith(
        QStringLiteral("plain\u2029Main.txt(7) : warning")));
    PostKey(Qt::Key_Up, Qt::ShiftModifier);
    PostKey(Qt::Key_Home, Qt::ShiftModifier);
    EXPECT_EQ(ctrl->textCursor().selectedText(),
              QStringLiteral("Tvorba PLC\u2029Main.txt(4) : error\u2029"));

    // The menu key opens the context menu at the caret, copy enabled; its
    // Enter copies the selection.
    const QPoint caret = ctrl->viewport()->mapToGlobal(ctrl->cursorRect().bottomLeft());
    EXPECT_GT(caret.y(), ctrl->mapToGlobal(QPoint(0, 5)).y() + 10); // the caret is not at the top
    PostKey(Qt::Key_Menu);
    CKVTPopupMenu* popup = CKVTPopupMenu::ActivePopup();
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(popup->pos(), caret);
    EXPECT_FALSE(popup->GetMenuBar()->Items().Style(0) & TBBS_DISABLED);
    QApplication::clipboard()->clear();
    PostKey(Qt::Key_Home);
    PostKey(Qt::Key_Return);
    ASSERT_TRUE(
        WaitFor([] { return CKVTPopupMenu::ActivePopup() == nullptr; }, 2000, "the popup closes"));
    EXPECT_TRUE(WaitFor(
        [] {
            return QApplication::clipboard()->text() ==
                   QStringLiteral("Tvorba PLC\nMain.txt(4) : error\n");
        },
        2000, "the copy"));
    // Shift+F10 too.
    ASSERT_TRUE(
        WaitFor([this] { return ctrl->hasFocus(); }, 2000, "the output window has the focus"));
    PostKey(Qt::Key_F10, Qt::ShiftModifier);
    popup = CKVTPopupMenu::ActivePopup();
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(popup->pos(), caret);
    PressKey(popup, Qt::Key_Escape);
    WaitFor([] { return CKVTPopupMenu::ActivePopup() == nullptr; }, 2000, "the popup closes");
    EXPECT_EQ(ctrl->Text().size(), 62); // nothing typed
}

} // namespace
