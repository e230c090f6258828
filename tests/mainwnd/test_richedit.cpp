// The rich-edit classes: the last visible line of the plain control, the
// view's defaults and the document's items and view.
#include "mainwnd/RichEdit.h"
#include "tests/mainwnd/mainwnd_env.h"
#include "tests/support/ui/UiTest.h"

#include <QTextEdit>

#include <gtest/gtest.h>

using namespace mainwndtest;
using namespace testsupport::ui;

namespace {

TEST(RichEdit, LastVisibleLine)
{
    QWidget host;
    host.resize(300, 200);
    auto* ctrl = new CRichEdit20Ctrl;
    ASSERT_TRUE(ctrl->Create(richedit::WS_VISIBLE | richedit::ES_READONLY | richedit::WS_VSCROLL |
                                 richedit::ES_AUTOHSCROLL,
                             QRect(0, 0, 300, 200), &host, 5));
    EXPECT_EQ(ctrl->GetDlgCtrlID(), 5u);
    EXPECT_TRUE(ctrl->isReadOnly());
    EXPECT_EQ(ctrl->lineWrapMode(), QPlainTextEdit::NoWrap);
    ShowActive(&host);
    // Few lines: none lies below the bottom, so the line count.
    ctrl->setPlainText(QStringLiteral("a\nb\nc"));
    PumpEvents();
    EXPECT_EQ(ctrl->GetLastVisibleLine(), 3);
    // Many lines: the first one at or below the bottom.
    QStringList lines;
    for (int i = 0; i < 100; ++i)
        lines << QString::number(i);
    ctrl->setPlainText(lines.join(QLatin1Char('\n')));
    PumpEvents();
    const int last = ctrl->GetLastVisibleLine();
    const int lineHeight = QFontMetrics(ctrl->font()).lineSpacing();
    EXPECT_GT(last, 0);
    EXPECT_LT(last, 100);
    EXPECT_NEAR(last, ctrl->viewport()->height() / lineHeight, 1);
}

TEST(RichEdit, ViewDefaultsAndDocument)
{
    CRichEditView2 view;
    EXPECT_EQ(view.sizeHint(), QSize(100, 100));
    EXPECT_EQ(view.PaperSize(), QSize(12240, 15840));
    EXPECT_EQ(view.Margins(), QMargins());
    EXPECT_EQ(view.BulletIndent(), 720);
    EXPECT_EQ(view.GetRichEditCtrl()->lineWrapMode(), QTextEdit::WidgetWidth);

    CRichEditDoc2 doc;
    EXPECT_EQ(doc.GetView(), nullptr);
    EXPECT_NE(doc.CreateClientItem(), nullptr);
    auto* other = new ui::View;
    doc.AddView(other);
    auto* rich = new CRichEditView2;
    doc.AddView(rich);
    EXPECT_EQ(doc.GetView(), rich);
    delete rich;
    delete other;
    EXPECT_EQ(doc.GetView(), nullptr);
}

} // namespace
