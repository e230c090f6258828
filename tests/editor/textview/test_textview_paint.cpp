// The text view's display: margin, colours, fonts, scrolling, word wrap,
// split panes, source types and the position pane.

#include "TextViewTest.h"

#include "editor/view/EdtLayoutCache.h"
#include "editor/parsers/EdtParser.h"
#include "editor/view/EdtRenderTesting.h"
#include "editor/view/EdtViewRenderer.h"
#include "editor/view/EdtViewScroller.h"
#include "platform/ui/Command.h"
#include "platform/ui/Splitter.h"
#include "res/CommandIds.h"
#include "tests/support/platform/TempDir.h"

#include <QFontInfo>
#include <QKeyEvent>
#include <QScrollBar>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <vector>

using namespace testsupport::ui;

namespace {

std::u16string Numbered(int n, const std::u16string& body = u"line")
{
    std::u16string t;
    for (int i = 0; i < n; ++i) {
        if (i)
            t += u"\r\n";
        t += body + u" " + std::u16string(QString::number(i).toStdU16String());
    }
    return t;
}

void Wheel(QWidget* w, int dy, int dx = 0)
{
    QWheelEvent e(QPointF(50, 50), w->mapToGlobal(QPointF(50, 50)), QPoint(), QPoint(dx, dy), Qt::NoButton,
                  Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &e);
}

QRect Row(CEdtTextView& v, int row, int x0 = -1)
{
    const int m = x0 < 0 ? v.GetMarginWidth() : x0;
    const int lh = v.Renderer().GetLineHeight();
    return {m, row * lh, v.Scroller().ClientRect().width() - m, lh};
}

} // namespace

TEST(TextViewPaint, MarginIconsAndLineColours)
{
    auto v = MakeView(Numbered(5));
    v->buffer.SetLineFlag(0, EDT_LF_BOOKMARK_UNNAMED, true, false);
    v->buffer.SetLineFlag(1, 0x10000, true, false);
    v->buffer.SetLineFlag(1, 0x20000, true, false);
    v->buffer.SetLineFlag(2, 0x100000, true, false);
    EXPECT_EQ(v->GetMarginWidth(), 20);
    QImage img = Render(v.get());
    const int lh = v->Renderer().GetLineHeight();
    const QColor flag(0x20, 0x60, 0xD0), green(0x20, 0xB0, 0x20);
    EXPECT_TRUE(RectHasColor(img, QRect(0, 0, 19, lh), flag, 3, 40));       // bookmark flag
    EXPECT_TRUE(RectHasColor(img, QRect(0, lh, 19, lh), green, 3, 40));     // icon 0: the arrow
    EXPECT_FALSE(RectHasColor(img, QRect(0, 2 * lh, 19, lh), flag, 1, 40)); // 0x100000: no icon
    EXPECT_TRUE(RectHasColor(img, QRect(19, 0, 1, lh), v->GetColor(3), lh));
    // Line backgrounds: green wins over red, olive alone.
    EXPECT_GT(CountColor(img, Row(*v, 1), QColor(0x00, 0x80, 0x00)), 100);
    EXPECT_EQ(CountColor(img, Row(*v, 1), QColor(0xFF, 0x00, 0x00)), 0);
    EXPECT_GT(CountColor(img, Row(*v, 2), QColor(0x80, 0x80, 0x00)), 100);

    // Without the margin: 1 pixel and no icons.
    v->Renderer().SetSelectionMargin(false);
    EXPECT_EQ(v->GetMarginWidth(), 1);
    img = Render(v.get());
    EXPECT_FALSE(RectHasColor(img, QRect(0, 0, 19, lh), flag, 1, 40));

    // The selection: black behind white text, over the line colour too.
    v->SetSelection({0, 1}, {4, 1});
    img = Render(v.get());
    const int cw = v->Renderer().GetCharWidth();
    EXPECT_GT(CountColor(img, QRect(1, lh, 4 * cw, lh), QColor(Qt::black)), 4 * cw * lh / 2);
    EXPECT_GT(CountColor(img, QRect(1, lh, 4 * cw, lh), QColor(Qt::white)), 0);
}

TEST(TextViewPaint, KeywordBoldOnlyWithoutCourier)
{
    auto v = MakeView(u"DATA\r\n; comment");
    EXPECT_TRUE(v->GetBold(7));
    EXPECT_TRUE(v->GetItalic(10));
    EXPECT_FALSE(v->GetBold(2));
    EXPECT_TRUE(v->GetFont(false, true).bold());
    EXPECT_TRUE(v->GetFont(true, false).italic());
    EdtLogFont courier = TestFont();
    const char16_t face[] = u"Courier New";
    std::memcpy(courier.faceName, face, sizeof face);
    v->SetFont(courier);
    EXPECT_FALSE(v->GetFont(false, true).bold());
    EXPECT_FALSE(v->GetFont(true, false).italic());
    // Whatever the face resolves to, the grid is fixed pitch.
    EXPECT_GT(v->Renderer().GetCharWidth(), 0);
    EXPECT_GT(v->Renderer().GetLineHeight(), 0);
    // Colours of the keyword and comment of a PLC source.
    ASSERT_TRUE(v->SetTextType(std::u16string_view(u"plc")));
    const QImage img = Render(v.get());
    EXPECT_TRUE(RectHasColor(img, Row(*v, 0), QColor(0, 0, 0xFF), 5));
    EXPECT_TRUE(RectHasColor(img, Row(*v, 1), QColor(0, 0x80, 0), 5));
}

TEST(TextViewPaint, WheelResizeAndScrollBars)
{
    auto v = MakeView(Numbered(100));
    Wheel(v.get(), 120);  // up at the top: nothing
    EXPECT_EQ(v->ScrollPos().topSubLine, 0);
    Wheel(v.get(), -120);
    EXPECT_EQ(v->ScrollPos().topSubLine, 3);
    Wheel(v.get(), -20);  // a small touchpad step waits for the next
    EXPECT_EQ(v->ScrollPos().topSubLine, 3);
    Wheel(v.get(), -20);
    EXPECT_EQ(v->ScrollPos().topSubLine, 4);
    auto* vbar = FindChildOfClass<QScrollBar>(v.get());
    ASSERT_NE(vbar, nullptr);
    EXPECT_EQ(vbar->value(), 4);
    EXPECT_TRUE(vbar->isEnabled());
    // A page step keeps one line of the old page in view.
    vbar->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(v->ScrollPos().topSubLine, 4 + v->GetScreenLines() - 1);
    vbar->triggerAction(QAbstractSlider::SliderPageStepSub);
    EXPECT_EQ(v->ScrollPos().topSubLine, 4);
    // Resizing keeps the top line.
    v->resize(300, 200);
    PumpEvents();
    EXPECT_EQ(v->ScrollPos().topLine, 4);
    // Everything fits: back to the top and disabled, not hidden.
    SetText(v->buffer, u"a\r\nb");
    v->Scroller().RecalcVertScrollBar();
    EXPECT_EQ(v->ScrollPos().topSubLine, 0);
    EXPECT_FALSE(vbar->isEnabled());
    EXPECT_TRUE(vbar->isVisible());
    // A horizontal wheel scrolls columns.
    SetText(v->buffer, std::u16string(300, u'x'));
    v->Cache().FinishFiller();
    Wheel(v.get(), 0, -80);
    EXPECT_EQ(v->ScrollPos().offsetChar, 2);
}

TEST(TextViewPaint, WordWrapNeedsAParser)
{
    auto v = MakeView(std::u16string(200, u'x') + u"\r\nshort");
    v->SetWordWrap(true);
    v->Cache().FinishFiller();
    EXPECT_EQ(v->GetSubLineCount(), 2);  // no parser: one sub-line a line
    CEdtParser parser;
    v->SetParser(&parser);
    v->Cache().FinishFiller();
    const int chars = v->GetScreenChars();
    ASSERT_GT(chars, 0);
    EXPECT_EQ(v->GetSubLineCount(), (199 / chars + 1) + 1);
    EXPECT_EQ(v->GetSubLineIndex(1), 199 / chars + 1);
    // Resizing keeps the top character and recounts.
    v->ScrollToSubLine(1);
    v->resize(250, 300);
    PumpEvents();
    v->Cache().FinishFiller();
    EXPECT_EQ(v->ScrollPos().topLine, 0);
    EXPECT_GT(v->GetSubLineCount(), 3);
    v->SetParser(nullptr);
}

TEST(TextViewPaint, SplitPanesOfARowScrollTogether)
{
    CEdtTextBuffer buffer;
    SetText(buffer, Numbered(200));
    ui::Document doc;
    ui::SplitterWnd split(
        [&]() -> ui::View* {
            auto* v = new TestView(&buffer);
            v->AttachToBuffer();
            v->SetFont(TestFont());
            return v;
        },
        &doc);
    split.resize(600, 400);
    split.show();
    ASSERT_TRUE(split.SplitColumn(300));
    split.RecalcLayout();
    PumpEvents();
    auto* a = dynamic_cast<TestView*>(split.GetPane(0, 0));
    auto* b = dynamic_cast<TestView*>(split.GetPane(0, 1));
    ASSERT_TRUE(a && b);
    ASSERT_TRUE(WaitFor([&] { return a->isVisible() && b->isVisible(); }));
    Wheel(a, -240);
    EXPECT_EQ(a->ScrollPos().topSubLine, 6);
    EXPECT_EQ(b->ScrollPos().topSubLine, 6);
    EXPECT_EQ(split.RowScrollBar(0)->value(), 6);
    a->ScrollToChar(3);
    EXPECT_EQ(b->ScrollPos().offsetChar, 0);  // another column
    split.RowScrollBar(0)->setValue(20);
    EXPECT_EQ(a->ScrollPos().topSubLine, 20);
    EXPECT_EQ(b->ScrollPos().topSubLine, 20);
    a->DetachFromBuffer();
    b->DetachFromBuffer();
}

// A document whose view finds the source type by the path.
class PathDoc : public ui::Document
{
public:
    CEdtTextBuffer buffer;
};

class DocView : public CEdtTextView
{
public:
    CEdtTextBuffer* LocateTextBuffer() override { return &static_cast<PathDoc*>(GetDocument())->buffer; }
};

TEST(TextViewPaint, SourceTypesApplyWholeAndRowsAreShared)
{
    ResetSourceTypes();
    testsupport::TempDir dir;
    dir.Write("x.c", "int main() {\r\n\treturn 0;\r\n}\r\n");
    GetTextTypeDef(4)->tabSize = 8;  // "C"
    PathDoc doc;
    const QString path = QString::fromStdString(dir / "x.c");
    ASSERT_TRUE(doc.buffer.LoadFromFile(path.toStdU16String()));
    doc.SetPathName(path, false);
    auto* view = new DocView;
    doc.AddView(view);
    view->OnInitialUpdate();
    EXPECT_EQ(view->GetCurrentTextType()->name, u"C");
    EXPECT_EQ(view->GetTabSize(), 8);
    ASSERT_TRUE(doc.buffer.LoadFromFile(path.toStdU16String()));  // reloaded
    EXPECT_EQ(view->GetTabSize(), 8);

    // "Text" after "C" is applied whole.
    EXPECT_TRUE(view->SetTextTypeById(0));
    EXPECT_EQ(view->GetTabSize(), 4);
    EXPECT_TRUE(view->Style().selMargin);
    EXPECT_EQ(view->Style().flags, 0x19u);
    EXPECT_TRUE(view->SetTextTypeById(0));  // again: nothing changes
    EXPECT_FALSE(view->SetTextTypeById(99));
    EXPECT_EQ(view->GetCurrentTextType()->id, 0);
    // ID_EDT_TOGGLE_MARGIN now changes the "Text" row, not "C".
    view->ExecuteCommand(ID_EDT_TOGGLE_MARGIN);
    EXPECT_FALSE(view->Style().selMargin);
    EXPECT_EQ(GetTextTypeDef(0)->flags & EDT_TT_MARGIN, 0u);
    EXPECT_EQ(GetTextTypeDef(4)->flags, 0x50u);
    ui::CmdUI check(ID_EDT_TOGGLE_MARGIN);
    view->UpdateCommand(check);
    EXPECT_EQ(check.Checked(), 0);
    // The next view of that type starts with the row's state.
    auto next = MakeView(u"x");
    GetTextTypeDef(23)->flags ^= EDT_TT_WORDWRAP;  // as ID_EDT_TOGGLE_WORDWRAP in another PLC view does
    next->SetTextType(std::u16string_view(u"plc"));
    EXPECT_TRUE(next->Style().wordWrap);
    next->ExecuteCommand(ID_EDT_TOGGLE_WORDWRAP);
    EXPECT_FALSE(next->Style().wordWrap);
    EXPECT_EQ(GetTextTypeDef(23)->flags & EDT_TT_WORDWRAP, 0u);
    // The source-type commands select rows 0-22 and check the current one.
    next->ExecuteCommand(ID_EDT_SOURCE_TYPE_FIRST + 4);
    EXPECT_EQ(next->GetCurrentTextType()->id, 4);
    ui::CmdUI c4(ID_EDT_SOURCE_TYPE_FIRST + 4), c5(ID_EDT_SOURCE_TYPE_FIRST + 5);
    next->UpdateCommand(c4);
    next->UpdateCommand(c5);
    EXPECT_EQ(c4.Checked(), 1);
    EXPECT_EQ(c5.Checked(), 0);
    doc.RemoveView(view);
    delete view;
    ResetSourceTypes();
}

TEST(TextViewPaint, PositionAndLineEndPanes)
{
    auto v = MakeView(u"\tab\r\ncd");
    ui::CmdUI pos(ID_EDT_INDICATOR_POSITION);
    v->UpdateCommand(pos);
    EXPECT_EQ(pos.Text(), QStringLiteral("ř. 1,  sl. 1"));
    v->SetCursorPos({1, 0});
    v->UpdateCommand(pos);
    EXPECT_EQ(pos.Text(), QStringLiteral("ř. 1,  sl. 5"));
    ui::CmdUI crlf(ID_EDT_INDICATOR_CRLF);
    v->UpdateCommand(crlf);
    EXPECT_EQ(crlf.Text(), QStringLiteral("DOS"));
    EXPECT_TRUE(crlf.Enabled());
    CEdtTextView bare;
    bare.UpdateCommand(crlf);
    EXPECT_FALSE(crlf.Enabled());
}

TEST(TextViewPaint, BadInputDrawsSafely)
{
    // Controls, U+0000 and lone surrogates; one empty line; a very long line.
    auto v = MakeView(std::u16string(u"a\0\x01\xD800z", 5) + u"\r\n\r\n" + std::u16string(1000000, u'y'));
    v->Cache().FinishFiller();
    EXPECT_EQ(v->Cache().GetMaxLineLength(), 1000000);
    (void)Render(v.get());
    v->SetCursorPos({999999, 2});
    v->EnsureVisible({999999, 2});
    EXPECT_GT(v->ScrollPos().offsetChar, 990000);
    const QImage img = Render(v.get());
    EXPECT_GT(CountColor(img, Row(*v, 2), v->GetColor(2), 80), 0);
    EXPECT_EQ(v->ClientToText(QPoint(v->GetMarginWidth() + 1, 2 * v->Renderer().GetLineHeight() + 1)).line, 2);
    // Positions outside the text are clamped or refused.
    EXPECT_FALSE(v->IsValidTextPos({0, 7}));
    EXPECT_FALSE(v->IsValidTextPos({-1, 0}));
    EXPECT_TRUE(v->IsValidTextPos({5, 0}));
    EXPECT_FALSE(v->IsValidTextPos({6, 0}));
    v->SetSelection({-5, -5}, {99, 99});
    EdtPoint a, b;
    v->GetSelection(a, b);
    EXPECT_EQ(a, (EdtPoint{0, 0}));
    EXPECT_EQ(b, (EdtPoint{99, 2}));
    EXPECT_EQ(v->GetText({0, -3}, {0, 1}), std::u16string(u"a\0\x01\xD800z", 5) + u"\r\n");
    // No buffer at all: one empty line.
    CEdtTextView bare;
    EXPECT_EQ(bare.GetLineCount(), 1);
    EXPECT_EQ(bare.GetLineLength(5), 0);
    EXPECT_TRUE(bare.GetText({0, 0}, {9, 9}).empty());
    bare.resize(100, 100);
    (void)Render(&bare);
}

TEST(TextViewPaint, GeneralFlagsAndFolderFromTheStore)
{
    EdtLoadSettings();
    EXPECT_EQ(GetEdtGeneralFlags(), 0x200u);
    EXPECT_TRUE(GetEdtGeneralFolder().empty());
    SetEdtGeneralFlags(0x280);
    SetEdtGeneralFolder(u"/opt/spell");
    EdtSaveSettings();
    SetEdtGeneralFlags(0);
    SetEdtGeneralFolder(u"");
    EdtLoadSettings();
    EXPECT_EQ(GetEdtGeneralFlags(), 0x280u);
    EXPECT_EQ(GetEdtGeneralFolder(), u"/opt/spell");
    // Bit 0x80: a new view starts with drag and drop off.
    CEdtTextView off;
    EXPECT_TRUE(off.GetDisableDragAndDrop());
    // A folder longer than 1,024 characters is ignored.
    SetEdtGeneralFolder(std::u16string(1025, u'x'));
    EdtSaveSettings();
    EdtLoadSettings();
    EXPECT_TRUE(GetEdtGeneralFolder().empty());
    SetEdtGeneralFlags(0x200);
    SetEdtGeneralFolder(u"");
    CEdtTextView on;
    EXPECT_FALSE(on.GetDisableDragAndDrop());
    ResetSourceTypes();
}

TEST(TextViewPaint, AJumpFarAheadPaintsAtOnceAndColoursFollow)
{
    std::u16string text;
    for (int i = 0; i < 20000; ++i)
        text += u"LOD X ; comment\r\n";
    text += u"DATA";
    auto v = MakeView(u"");
    v->SetTextType(std::u16string_view(u"plc"));
    SetText(v->buffer, text);  // the filler has not run yet
    EXPECT_FALSE(v->Cache().AreColoursExact());
    PressKey(v.get(), Qt::Key_End, Qt::ControlModifier);
    (void)Render(v.get());  // drawn with the nearest known cookie
    ASSERT_TRUE(WaitFor([&] { return v->Cache().AreColoursExact(); }, 10000, "the exact colours"));
    const QImage img = Render(v.get());
    const int row = v->GetCursorPos().line - v->ScrollPos().topLine;
    EXPECT_TRUE(RectHasColor(img, Row(*v, row), QColor(0, 0, 0xFF), 5));
    EXPECT_EQ(v->GetParseCookie(20000), ParseLinePlc(u"DATA", v->GetParseCookie(19999), nullptr));
}

namespace {

// A view that notes the top line of its last paint.
class PaintNotingView : public TestView
{
public:
    int lastPaintTop = -1;

protected:
    void paintEvent(QPaintEvent* e) override
    {
        TestView::paintEvent(e);
        lastPaintTop = ScrollPos().topLine;
    }
};

void PostKey(QWidget* w, Qt::Key key, Qt::KeyboardModifiers m)
{
    QCoreApplication::postEvent(w, new QKeyEvent(QEvent::KeyPress, key, m));
}

} // namespace

TEST(TextViewPaint, InputAndItsPaintGoAheadOfTheColouringPass)
{
    ResetSourceTypes();
    auto v = std::make_unique<PaintNotingView>();
    v->resize(400, 300);
    v->AttachToBuffer();
    v->SetFont(TestFont());
    v->SetTextType(std::u16string_view(u"plc"));
    v->show();
    PumpEvents();
    // More lines than a paint colours by itself (4,096), so that the colours
    // wait for the pass.
    std::u16string text;
    for (int i = 0; i < 10000; ++i)
        text += u"LOD X ; comment\r\n";
    text += u"DATA";
    SetText(v->buffer, text);  // the pass is due; none of its slices has run
    ASSERT_FALSE(v->Cache().AreColoursExact());
    const int last = v->GetLineCount() - 1;

    // What each slice finds: where the caret is and what was painted last.
    struct Seen
    {
        int caretLine, paintTop;
    };
    std::vector<Seen> seen;
    struct HookGuard
    {
        ~HookGuard()
        {
            edt::SetFillerSliceHook({});
            edt::SetFillerSliceBudget(-1);
        }
    } guard;
    // Slices of one step each, so that the pass yields on a machine of any
    // speed (a fast one colours this text within one slice of 10 ms).
    edt::SetFillerSliceBudget(0);
    edt::SetFillerSliceHook([&](CEdtTextView&) {
        seen.push_back({v->GetCursorPos().line, v->lastPaintTop});
        if (seen.size() == 1)
            PostKey(v.get(), Qt::Key_Home, Qt::ControlModifier);  // a key while the pass runs
    });
    // A key pending before the pass starts: it is handled and its jump
    // painted before the first slice.
    PostKey(v.get(), Qt::Key_End, Qt::ControlModifier);
    ASSERT_TRUE(WaitFor([&] { return v->Cache().AreColoursExact(); }, 20000, "the exact colours"));
    ASSERT_GE(seen.size(), 2u) << "the pass ran in one slice";
    EXPECT_EQ(seen[0].caretLine, last);
    EXPECT_GT(seen[0].paintTop + v->GetScreenLines(), last) << "the jump was not painted before the slice";
    // The key that came during the first slice goes ahead of the second.
    EXPECT_EQ(seen[1].caretLine, 0);
    EXPECT_EQ(seen[1].paintTop, 0) << "the jump back was not painted before the slice";
}

TEST(TextViewPaint, EditsMovePointsAndKeepTheCachesRight)
{
    auto v = MakeView(Numbered(10));
    v->Cache().FinishFiller();
    EXPECT_EQ(v->Cache().GetMaxLineLength(), 6);
    v->SetCursorPos({2, 5});
    v->SetSelection({1, 5}, {2, 5});
    int el, ec;
    ASSERT_TRUE(v->buffer.InsertText(nullptr, 0, 0, u"a\r\nb\r\n", el, ec, 0));
    EXPECT_EQ(v->GetCursorPos(), (EdtPoint{2, 7}));
    EdtPoint s, e;
    v->GetSelection(s, e);
    EXPECT_EQ(s, (EdtPoint{1, 7}));
    // A longer line raises the maximum at once; the longest shrinking
    // lets the filler find the new one.
    ASSERT_TRUE(v->buffer.InsertText(nullptr, 3, 0, u"\tlonger", el, ec, 0));
    EXPECT_EQ(v->Cache().GetMaxLineLength(), 16);
    ASSERT_TRUE(v->buffer.DeleteText(nullptr, 3, 0, 3, 7, 0));
    v->Cache().FinishFiller();
    EXPECT_EQ(v->Cache().GetMaxLineLength(), 6);
    ASSERT_TRUE(v->buffer.DeleteText(nullptr, 0, 0, 2, 0, 0));
    EXPECT_EQ(v->GetCursorPos(), (EdtPoint{2, 5}));
    EXPECT_EQ(v->GetLineActualLength(9), 6);
    EXPECT_EQ(v->GetLineActualLength(10), 0);  // outside: 0
    // Tabs in the actual length follow the tab size.
    SetText(v->buffer, u"\tx");
    EXPECT_EQ(v->GetLineActualLength(0), 5);
    v->SetTabSize(8);
    EXPECT_EQ(v->GetLineActualLength(0), 9);
}

TEST(TextViewPaint, ColoursContinueOnTheSubLinesOfAWrappedLine)
{
    auto v = MakeView(u"LOD X ; " + std::u16string(120, u'c') + u"\r\nDATA");
    v->SetTextType(std::u16string_view(u"plc"));
    CEdtParser parser;
    v->SetParser(&parser);
    v->SetWordWrap(true);
    v->Cache().FinishFiller();
    ASSERT_GE(v->Cache().GetSubLines(0), 3);
    v->SetSelection({2, 0}, {5, 0});
    const QImage img = Render(v.get());
    const QColor comment(0, 0x80, 0);
    for (int row = 1; row < v->Cache().GetSubLines(0); ++row)
        EXPECT_TRUE(RectHasColor(img, Row(*v, row), comment, 5, 30)) << "sub-line " << row;
    EXPECT_TRUE(RectHasColor(img, Row(*v, v->Cache().GetSubLines(0)), QColor(0, 0, 0xFF), 5, 30));  // "DATA"
    v->SetParser(nullptr);
}

TEST(TextViewPaint, RunsDrawnAsCellGlyphsLookLikeText)
{
    // Keyword (bold), comment (italic), Czech letters, shown tabs (U+00BB
    // as a glyph, U+2022 as text), a control, a selection over two lines.
    auto v = MakeView(
        u"DATA\tLOD X ; koment\u00E1\u0159 \u010Dist\u00FD \u017Elu\u0165ou\u010Dk\u00FD\r\n"
        u"L1:\tSTO \"text\", 0x1F, [BX+4] ; \u00AB\u00BB \u00BF\u00FF \u0100\u017E\u01C5\u024F\r\n"
        u"\tMOV\t\u0001 AX, \u2022 ; \u00E9\u0301 x",
        700, 120);
    ASSERT_TRUE(v->SetTextType(std::u16string_view(u"plc")));
    v->Renderer().SetShowTabs(true);
    v->SetSelection({6, 0}, {9, 1});
    v->Cache().FinishFiller();
    // Each installed face at sizes whose advance is a whole cell or not.
    int compared = 0;
    for (const char16_t* face : {u"Noto Sans Mono", u"DejaVu Sans Mono", u"Liberation Mono"}) {
        for (int height : {-15, -13, -10}) {
            EdtLogFont f = TestFont();
            f.height = height;
            std::memset(f.faceName, 0, sizeof f.faceName);
            std::memcpy(f.faceName, face, std::char_traits<char16_t>::length(face) * 2);
            v->SetFont(f);
            if (QFontInfo(v->GetFont(false, false)).family() != QString::fromStdU16String(face))
                continue;
            const EdtCellGlyphs regular =
                EdtCellGlyphs::Make(v->GetFont(false, false), v->Renderer().GetCharWidth());
            if (!regular.raw.isValid())
                continue;
            SCOPED_TRACE(QString::fromStdU16String(face).toStdString() + " " +
                         std::to_string(height));
            ++compared;
            EXPECT_NE(regular.glyph[u'A'], 0u);
            EXPECT_NE(regular.glyph[0x159], 0u);
            EXPECT_EQ(regular.glyph[u' '], 0u);
            const QImage glyphs = Render(v.get());
            edt::SetCellGlyphsEnabled(false);
            const QImage text = Render(v.get());
            edt::SetCellGlyphsEnabled(true);
            EXPECT_TRUE(glyphs == text);
            EXPECT_TRUE(RectHasColor(glyphs, Row(*v, 0), QColor(0, 0, 0xFF), 5));
        }
    }
    if (compared == 0)
        GTEST_SKIP() << "no installed face draws runs as glyphs";
}

namespace {

// A substitution table with one script whose default language system
// uses one feature.
QByteArray Gsub(const char* script, const char* feature)
{
    QByteArray t;
    auto u16 = [&](int v) {
        t.append(char(v >> 8));
        t.append(char(v & 0xFF));
    };
    u16(1), u16(0);                       // version 1.0
    u16(10), u16(30), u16(0);             // script list, feature list, lookup list
    u16(1), t.append(script, 4), u16(8);  // one script, its table after the record
    u16(4), u16(0);                       // default language system, no others
    u16(0), u16(0xFFFF), u16(1), u16(0);  // no required feature; feature 0
    u16(1), t.append(feature, 4), u16(8); // one feature
    u16(0), u16(0);
    return t;
}

} // namespace

TEST(TextViewPaint, SubstitutionsThatJoinLatinGlyphsAreFound)
{
    EXPECT_TRUE(edt::GsubJoinsLatinGlyphs(Gsub("latn", "liga")));
    EXPECT_TRUE(edt::GsubJoinsLatinGlyphs(Gsub("DFLT", "calt")));
    EXPECT_FALSE(edt::GsubJoinsLatinGlyphs(Gsub("arab", "liga"))); // another script
    EXPECT_FALSE(edt::GsubJoinsLatinGlyphs(Gsub("latn", "smcp"))); // off by default
    EXPECT_FALSE(edt::GsubJoinsLatinGlyphs(QByteArray()));
    // Damaged tables (cut anywhere, counts beyond the end) count as
    // joining: their runs are drawn as text.
    const QByteArray sound = Gsub("latn", "smcp");
    for (qsizetype n = 12; n < sound.size() - 4; ++n) // (the last 4: the feature itself, unread)
        EXPECT_TRUE(edt::GsubJoinsLatinGlyphs(sound.left(n))) << n;
    for (int at : {10, 26, 30}) { // the counts of scripts, feature indices, features
        QByteArray wild = sound;
        wild[at] = wild[at + 1] = char(0xFF);
        EXPECT_TRUE(edt::GsubJoinsLatinGlyphs(wild)) << at;
    }
}
