// The encoding of the active document in the main frame's status bar,
// beside the line-end pane; and a UTF-8 text opened, edited by keys and
// saved through its window, with only the edited line's bytes changed.

#include "editor/buffer/EdtTextBuffer.h"
#include "platform/ui/StatusBar.h"
#include "plcviews/BinDoc.h"
#include "plcviews/PLCDoc.h"
#include "plcviews/StructuredTextDoc.h"
#include "res/CommandIds.h"
#include "tests/support/ui/StandInApp.h"
#include "tests/support/ui/UiTest.h"

#include <QApplication>
#include <QInputMethodEvent>

#include <gtest/gtest.h>

using namespace testsupport::ui;

namespace {

// Focuses the document's first view and gives the text of the line-end and
// encoding panes once the view is the active one.
std::pair<QString, QString> PanesWith(ui::StatusBar* bar, ui::Document* doc)
{
    auto* view = qobject_cast<QWidget*>(doc->FirstView());
    if (!view)
        return {};
    view->setFocus();
    const int crlf = bar->CommandToIndex(ID_EDT_INDICATOR_CRLF);
    const int enc = bar->CommandToIndex(ID_EDT_INDICATOR_ENCODING);
    std::pair<QString, QString> texts;
    WaitFor(
        [&] {
            PumpEvents();
            ui::IdleUpdater::Instance().RunPass();
            texts = {bar->GetPaneText(crlf), bar->GetPaneText(enc)};
            return view->hasFocus();
        },
        3000, "the view's focus");
    return texts;
}

} // namespace

TEST(EncodingPane, ShowsTheEncodingOfTheActiveDocument)
{
    StandInApp s;
    // A PLC source in code page 1250 ("č" is 0xE8).
    ASSERT_TRUE(s.Start("DATA\r\nLOOP: LOD X ; \xE8\x61s\r\n"));
    s.Frame()->show();
    ASSERT_TRUE(WaitFor([&] { return s.View() && s.View()->isVisible(); }, 5000, "the PLC view"));
    ui::StatusBar* bar = s.Frame()->GetStatusBar();
    ASSERT_NE(bar, nullptr);
    const int crlf = bar->CommandToIndex(ID_EDT_INDICATOR_CRLF);
    const int enc = bar->CommandToIndex(ID_EDT_INDICATOR_ENCODING);
    ASSERT_GE(crlf, 0);
    EXPECT_EQ(enc, crlf + 1); // beside the line-end pane
    EXPECT_EQ(PanesWith(bar, s.doc),
              std::make_pair(QStringLiteral("DOS"), QStringLiteral("CP1250")));
    // Wide enough for its longest text while the bar has room.
    auto* pane = bar->findChild<QWidget*>(QStringLiteral("pane%1").arg(ID_EDT_INDICATOR_ENCODING));
    ASSERT_NE(pane, nullptr);
    EXPECT_GE(pane->sizeHint().width(),
              pane->fontMetrics().horizontalAdvance(QStringLiteral("UTF-8 s BOM")));

    // UTF-8 texts, with and without the mark.
    s.dir.Write("s BOM.txt", "\xEF\xBB\xBF\xC5\xBDlu\xC5\xA5ou\xC4\x8Dk\xC3\xBD\n");
    s.dir.Write("bez.txt", "k\xC5\xAF\xC5\x88 \xE2\x86\x92 \xF0\x9F\x98\x80\r\n");
    ui::Document* withMark = s.app->OpenDocumentFile(QString::fromStdString(s.dir / "s BOM.txt"));
    ASSERT_NE(withMark, nullptr);
    EXPECT_EQ(PanesWith(bar, withMark),
              std::make_pair(QStringLiteral("UNIX"), QStringLiteral("UTF-8 s BOM")));
    ui::Document* without = s.app->OpenDocumentFile(QString::fromStdString(s.dir / "bez.txt"));
    ASSERT_NE(without, nullptr);
    EXPECT_EQ(PanesWith(bar, without),
              std::make_pair(QStringLiteral("DOS"), QStringLiteral("UTF-8")));
    auto* text = qobject_cast<CStructuredTextDoc*>(without);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->Buffer().GetLineView(0), std::u16string_view(u"kůň → 😀"));

    // A binary document's hex view: both panes empty.
    s.dir.Write("data.bin", std::string("\x00\x01\x02\x03", 4));
    ui::Document* bin =
        s.app->Template(1)->OpenDocumentFile(QString::fromStdString(s.dir / "data.bin"));
    ASSERT_NE(qobject_cast<CBinDoc*>(bin), nullptr);
    EXPECT_EQ(PanesWith(bar, bin), std::make_pair(QString(), QString()));
    // Back to the PLC source.
    EXPECT_EQ(PanesWith(bar, s.doc),
              std::make_pair(QStringLiteral("DOS"), QStringLiteral("CP1250")));
}

TEST(EncodingPane, AUtf8TextEditedByKeysKeepsItsOtherLines)
{
    StandInApp s;
    ASSERT_TRUE(s.Start());
    s.Frame()->show();
    const std::string lines[] = {
        "\xEF\xBB\xBFPrvn\xC3\xAD \xC5\x99\xC3\xA1"
        "dek\r\n",
        "\xC5\xBDlu\xC5\xA5ou\xC4\x8Dk\xC3\xBD k\xC5\xAF\xC5\x88\r\n",
        "\xC3\xBAp\xC4\x9Bl \xE2\x86\x92 \xE6\xBC\xA2\xE5\xAD\x97 \xF0\x9F\x98\x80\r\n", "konec"};
    const std::string before = lines[0] + lines[1] + lines[2] + lines[3];
    s.dir.Write("cesky.txt", before);
    auto* doc = qobject_cast<CStructuredTextDoc*>(
        s.app->OpenDocumentFile(QString::fromStdString(s.dir / "cesky.txt")));
    ASSERT_NE(doc, nullptr);
    auto* view = qobject_cast<CStructuredTextView*>(doc->FirstView());
    ASSERT_NE(view, nullptr);
    ASSERT_TRUE(WaitFor([&] { return view->isVisible(); }, 5000, "the text view"));
    EXPECT_EQ(doc->Buffer().GetLineView(1), std::u16string_view(u"Žluťoučký kůň"));
    // End of the second line, then typed text.
    view->setFocus();
    view->SetCursorPos({0, 1}); // character 0 of line 1
    PressKey(view, Qt::Key_End);
    TypeText(view, QStringLiteral(" "));
    QInputMethodEvent commit; // the letters come from an input method
    commit.setCommitString(QStringLiteral("úpí"));
    QApplication::sendEvent(view, &commit);
    ASSERT_TRUE(doc->DoSave(doc->GetPathName()));
    EXPECT_FALSE(doc->IsModified());
    EXPECT_EQ(s.dir.Read("cesky.txt"),
              lines[0] +
                  "\xC5\xBDlu\xC5\xA5ou\xC4\x8Dk\xC3\xBD k\xC5\xAF\xC5\x88 \xC3\xBAp\xC3\xAD\r\n" +
                  lines[2] + lines[3]);
}
