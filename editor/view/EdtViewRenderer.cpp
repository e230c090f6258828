// The text view's drawing: fonts, colours, the margin and the lines.

#include "editor/view/EdtViewRenderer.h"

#include "editor/view/EdtCaretModel.h"
#include "editor/view/EdtLayoutCache.h"
#include "editor/view/EdtRenderTesting.h"
#include "editor/view/EdtTextView.h"
#include "editor/view/EdtViewScroller.h"

#include "res/Resources.h"

#include <QScrollBar>

#include <QElapsedTimer>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGlyphRun>
#include <QGuiApplication>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <QSvgRenderer>
#include <QTextLayout>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>

namespace {

// Resolving a font family is slow: the fonts made once are kept for every
// view, by a child of the application object.  They go with the
// application, whenever and however it is destroyed (also as a static of a
// program, after this file's statics), and a later application starts
// afresh.
class MadeFonts : public QObject
{
public:
    std::map<std::pair<std::u16string, int>, QFont> fonts;
    // The cell glyphs of a font (its key, the resolution, the cell width).
    std::map<QString, std::shared_ptr<const EdtCellGlyphs>> cellGlyphs;

    // The cache of the application; nullptr without one.
    static MadeFonts* Of(QObject* app)
    {
        if (!app)
            return nullptr;
        if (!s_current)
            s_current = new MadeFonts(app);
        return s_current;
    }

    ~MadeFonts() override
    {
        if (s_current == this)
            s_current = nullptr;
    }

private:
    explicit MadeFonts(QObject* app) : QObject(app) {}

    // Trivially destructible: nothing is left to run after the application.
    static inline MadeFonts* s_current = nullptr;
};

QColor Rgb(uint32_t rgb)
{
    return QColor::fromRgb(QRgb(0xFF000000u | rgb));
}

bool StartsWithCourier(const char16_t* face)
{
    static const char16_t kCourier[] = u"Courier";
    for (int i = 0; i < 7; ++i)
        if (face[i] != kCourier[i])
            return false;
    return true;
}

int ScreenDpiY()
{
    if (QScreen* s = QGuiApplication::primaryScreen()) {
        const int dpi = static_cast<int>(std::lround(s->logicalDotsPerInchY()));
        if (dpi > 0)
            return dpi;
    }
    return 96;
}

// The cells as a QString without a copy (valid while s is unchanged).
QString Cells(const std::u16string& s)
{
    return QString::fromRawData(reinterpret_cast<const QChar*>(s.data()), static_cast<qsizetype>(s.size()));
}

bool AllBlank(const std::u16string& s)
{
    return std::all_of(s.begin(), s.end(), [](char16_t c) { return c == u' '; });
}

bool AllAscii(const std::u16string& s)
{
    return std::all_of(s.begin(), s.end(), [](char16_t c) { return c < 0x80; });
}

// Big-endian 16 bits of a font table, 0 outside it.
int U16(const QByteArray& t, qsizetype at)
{
    if (at < 0 || at + 2 > t.size())
        return 0;
    return (uchar(t[at]) << 8) | uchar(t[at + 1]);
}

// Whether the glyph substitutions of the Latin and the default scripts
// hold a feature, on by default, that joins glyphs or chooses them by
// their neighbours.
bool g_cellGlyphsOn = true;

bool HasContextualSubstitution(const QByteArray& gsub)
{
    if (gsub.size() < 10)
        return false;
    const qsizetype scripts = U16(gsub, 4), features = U16(gsub, 6);
    const int featureCount = U16(gsub, features);
    // A damaged table counts as joining once it asks for more reading than
    // a sound one could.
    int budget = 1 << 16;
    auto joins = [&](int index) {
        if (index >= featureCount)
            return false;
        const QByteArray tag = gsub.mid(features + 2 + 6 * qsizetype(index), 4);
        return tag == "liga" || tag == "clig" || tag == "calt" || tag == "rlig" || tag == "rclt";
    };
    auto langSysJoins = [&](qsizetype at) {
        const int required = U16(gsub, at + 2);
        if (required != 0xFFFF && joins(required))
            return true;
        const int n = U16(gsub, at + 4);
        if (at + 6 + 2 * qsizetype(n) > gsub.size() || (budget -= n + 1) < 0)
            return true;
        for (int i = 0; i < n; ++i)
            if (joins(U16(gsub, at + 6 + 2 * qsizetype(i))))
                return true;
        return false;
    };
    const int scriptCount = U16(gsub, scripts);
    if (scripts + 2 + 6 * qsizetype(scriptCount) > gsub.size() ||
        features + 2 + 6 * qsizetype(featureCount) > gsub.size())
        return true;
    for (int s = 0; s < scriptCount; ++s) {
        const qsizetype record = scripts + 2 + 6 * qsizetype(s);
        const QByteArray tag = gsub.mid(record, 4);
        if (tag != "latn" && tag != "DFLT" && tag != "dflt")
            continue;
        const qsizetype script = scripts + U16(gsub, record + 4);
        if (const int def = U16(gsub, script); def != 0 && langSysJoins(script + def))
            return true;
        const int langs = U16(gsub, script + 2);
        if (script + 4 + 6 * qsizetype(langs) > gsub.size())
            return true;
        for (int l = 0; l < langs; ++l)
            if (langSysJoins(script + U16(gsub, script + 4 + 6 * qsizetype(l) + 4)))
                return true;
    }
    return false;
}

// Paint-time budget for filling missing parse cookies: well inside the
// 50 ms a paint may wait, so that a jump far ahead still paints at once;
// the idle filler brings the exact colours right after.
QElapsedTimer g_paintClock;
constexpr int kPaintCookieBudgetMs = 4;
constexpr int kPaintCookieNearLines = 4096;

} // namespace

EdtViewRenderer::EdtViewRenderer(CEdtTextView& view) : m_view(view), m_sel(view.Sel()), m_style(view.Style()), m_pos(view.ScrollPos())
{
    // The window's own font until the editor font is handed over.
    std::memset(&m_logFont, 0, sizeof m_logFont);
    m_logFont.weight = 400;
    m_logFont.charSet = 1;
    const char16_t face[] = u"FixedSys";
    std::memcpy(m_logFont.faceName, face, sizeof face);
}

// ------------------------------------------------------------ cell glyphs

void edt::SetCellGlyphsEnabled(bool on)
{
    g_cellGlyphsOn = on;
}

bool edt::GsubJoinsLatinGlyphs(const QByteArray& gsub)
{
    return HasContextualSubstitution(gsub);
}

EdtCellGlyphs EdtCellGlyphs::Make(const QFont& font, int charWidth)
{
    EdtCellGlyphs g;
    const QRawFont raw = QRawFont::fromFont(font);
    if (charWidth <= 0 || !raw.isValid() || !raw.fontTable("morx").isEmpty() ||
        HasContextualSubstitution(raw.fontTable("GSUB")))
        return g;
    // Candidates: printable characters of the font itself with the advance
    // of the space (which is blank and never drawn; soft hyphen is not
    // shown).
    const QFontMetricsF fm(font);
    const qreal advance = fm.horizontalAdvance(QLatin1Char(' '));
    if (advance <= 0)
        return g;
    QString chars;
    for (int c = 0x21; c < kChars; ++c) {
        if ((c >= 0x7F && c < 0xA0) || c == 0xAD || !raw.supportsCharacter(QChar(c)) ||
            fm.horizontalAdvance(QChar(c)) != advance)
            continue;
        chars += QChar(c);
    }
    if (chars.isEmpty())
        return g;
    // The shaping of them all in a row after a space must give the same
    // glyphs from this font, each the same advance further.
    const QString row = QLatin1Char(' ') + chars;
    const QList<quint32> mapped = raw.glyphIndexesForString(row);
    QTextLayout layout(row, font);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    const QList<QGlyphRun> runs = layout.glyphRuns();
    if (runs.size() != 1 || runs[0].rawFont() != raw || runs[0].glyphIndexes() != mapped)
        return g;
    const QList<QPointF> at = runs[0].positions();
    if (at.size() < 2)
        return g;
    const qreal step = at[1].x() - at[0].x();
    for (qsizetype i = 0; i < at.size(); ++i)
        if (at[i].x() != at[0].x() + qreal(i) * step)
            return g;
    const int64_t step64 = std::llround(step * 64);
    if (at[0].x() != 0 || step64 <= 0 || qreal(step64) != step * 64 ||
        QFontMetrics(font).horizontalAdvance(QStringLiteral("x")) !=
            int(((step64 + 32) & ~int64_t(63)) >> 6))
        return g;
    for (qsizetype i = 0; i < chars.size(); ++i)
        g.glyph[size_t(chars[i].unicode())] = mapped[i + 1];
    g.advance64 = step64;
    g.roundedAdvance = int(((step64 + 32) & ~int64_t(63)) >> 6);
    g.raw = raw;
    return g;
}

// ------------------------------------------------------------ colours

QColor EdtViewRenderer::GetColor(int index) const
{
    switch (index) {
    case EDT_CLR_WHITESPACE:
    case EDT_CLR_BACKGROUND: return m_view.palette().color(QPalette::Base);
    case EDT_CLR_TEXT: return m_view.palette().color(QPalette::Text);
    case EDT_CLR_MARGIN_TEXT:
    case EDT_CLR_MARGIN_BACK: return m_view.palette().color(QPalette::Button);
    case EDT_CLR_SEL_BACK: return Rgb(0x000000);
    case EDT_CLR_SEL_TEXT: return Rgb(0xFFFFFF);
    case 7: return Rgb(0x0000FF);
    case 8: return Rgb(0x800080);
    case 9: return Rgb(0x800000);
    case 10: return Rgb(0x008000);
    case 11: return Rgb(0xFF0000);
    case 12: return Rgb(0x606060);
    case 13: return Rgb(0x800000);
    case 14: return Rgb(0x0080C0);
    case 15:
    case 16:
    case 17: return Rgb(0x800000);
    case 18: return Rgb(0x000080);
    case 19: return Rgb(0x0080C0);
    default: return Rgb(0x800000);
    }
}

bool EdtViewRenderer::GetBold(int index) const
{
    return index == EDT_CLR_KEYWORD;
}

bool EdtViewRenderer::GetItalic(int index) const
{
    return index == EDT_CLR_COMMENT;
}

bool EdtViewRenderer::GetLineColors(int line, QColor& text, QColor& back) const
{
    const int32_t c = edt::LineColourOfFlags(m_view.GetLineFlags(line));
    if (c < 0)
        return false;
    back = Rgb(static_cast<uint32_t>(c));
    text = Rgb(0xFFFFFF);
    return true;
}

// ------------------------------------------------------------ fonts

void EdtViewRenderer::SetFont(const EdtLogFont& font)
{
    m_logFont = font;
    for (auto& f : m_fonts)
        f.reset();
    for (auto& g : m_cellGlyphs)
        g.reset();
    m_lineHeight = m_charWidth = -1;
    m_view.Scroller().m_screenLines = m_view.Scroller().m_screenChars = -1;
    m_view.Scroller().RecalcVertScrollBar();
    m_view.Scroller().RecalcHorzScrollBar();
    m_view.Caret().UpdateCaret();
    m_view.update();
    m_view.Cache().StartFiller();
}

void EdtViewRenderer::SetSelectionMargin(bool on)
{
    if (m_style.selMargin == on)
        return;
    m_view.Style().selMargin = on;
    m_view.Scroller().m_screenChars = -1;
    m_view.update();
    m_view.Scroller().RecalcHorzScrollBar();
    m_view.Caret().UpdateCaret();
}

void EdtViewRenderer::SetShowTabs(bool on)
{
    if (m_style.showTabs == on)
        return;
    m_view.Style().showTabs = on;
    m_view.update();
}

EdtLogFont EdtViewRenderer::ResolvedLogFont(const EdtLogFont& font)
{
    EdtLogFont lf = font;
    if (lf.height == 0) {
        const int64_t num = int64_t(11) * ScreenDpiY();
        lf.height = -static_cast<int32_t>((num + 36) / 72);
    }
    return lf;
}

QFont EdtViewRenderer::FontFromLogFont(const EdtLogFont& font, bool italic, bool bold)
{
    const EdtLogFont lf = ResolvedLogFont(font);
    const int slot = (bold ? 1 : 0) + (italic ? 2 : 0);
    const bool courier = StartsWithCourier(lf.faceName);
    const int px = std::max(1, std::abs(lf.height));
    auto make = [&](const QFont& base) {
        auto f = std::make_unique<QFont>(base);
        f->setPixelSize(px);
        f->setBold(bold && !courier);
        f->setItalic(italic && !courier);
        f->setFixedPitch(true);
        f->setKerning(false);
        return f;
    };
    std::u16string face(lf.faceName);
    MadeFonts* made = MadeFonts::Of(QCoreApplication::instance());
    const auto key = std::make_pair(face, px * 4 + slot);
    if (made) {
        auto it = made->fonts.find(key);
        if (it != made->fonts.end())
            return it->second;
    }
    std::unique_ptr<QFont> f;
    if (face != u"FixedSys") {
        QFont base(QString::fromStdU16String(face));
        base.setStyleHint(QFont::TypeWriter);
        f = make(base);
        if (!QFontInfo(*f).fixedPitch())
            f.reset();
    }
    if (!f)
        f = make(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    if (made)
        made->fonts.emplace(key, *f);
    return *f;
}

const QFont& EdtViewRenderer::GetFont(bool italic, bool bold)
{
    const int slot = (bold ? 1 : 0) + (italic ? 2 : 0);
    if (!m_fonts[size_t(slot)]) {
        m_fonts[size_t(slot)] = std::make_unique<QFont>(FontFromLogFont(m_logFont, italic, bold));
        m_fontFits[size_t(slot)] = -1;
        m_cellGlyphs[size_t(slot)].reset();
    }
    return *m_fonts[size_t(slot)];
}

void EdtViewRenderer::EnsureMetrics()
{
    if (m_charWidth > 0 && m_lineHeight > 0)
        return;
    QFontMetrics fm(GetFont(false, false));
    m_charWidth = std::max(fm.horizontalAdvance(QLatin1Char('X')), 1);
    m_lineHeight = std::max(fm.height(), 1);
}

int EdtViewRenderer::GetLineHeight()
{
    EnsureMetrics();
    return m_lineHeight;
}

int EdtViewRenderer::GetCharWidth()
{
    EnsureMetrics();
    return m_charWidth;
}

int EdtViewRenderer::GetMarginWidth() const
{
    return m_style.selMargin ? 20 : 1;
}

edt::ViewMetrics EdtViewRenderer::Metrics()
{
    edt::ViewMetrics m;
    m.lineHeight = GetLineHeight();
    m.charWidth = GetCharWidth();
    m.marginWidth = m_view.GetMarginWidth();
    m.topSubLine = m_pos.topSubLine;
    m.offsetChar = m_pos.offsetChar;
    return m;
}

// ------------------------------------------------------------ margin

void EdtViewRenderer::DrawMargin(QPainter& p, const QRect& rect, int line)
{
    if (!m_style.selMargin) {
        p.fillRect(rect, m_view.GetColor(EDT_CLR_BACKGROUND));
        return;
    }
    p.fillRect(rect, m_view.GetColor(EDT_CLR_MARGIN_BACK));
    p.fillRect(QRect(rect.right(), rect.top(), 1, rect.height()),
               m_view.GetColor(EDT_CLR_MARGIN_TEXT));
    if (line < 0)
        return;
    const int icon = edt::MarginIconOfFlags(m_view.GetLineFlags(line));
    if (icon < 0)
        return;
    if (!m_iconsLoaded) {
        m_iconsLoaded = true;
        bool ok = false;
        const QByteArray svg = res::Data(QStringLiteral("icons/%1.svg").arg(IDR_EDT_MARGIN_ICONS), &ok);
        QSvgRenderer r(svg);
        if (ok && r.isValid()) {
            QPixmap pm(14 * 16, 16);
            pm.fill(Qt::transparent);
            QPainter ip(&pm);
            r.render(&ip, QRectF(0, 0, 14 * 16, 16));
            ip.end();
            m_icons = pm;
        }
    }
    if (m_icons.isNull())
        return;
    const int lh = GetLineHeight();
    p.drawPixmap(QPoint(rect.right() + 1 - 19, rect.top() + (lh - 16) / 2), m_icons,
                 QRect(icon * 16, 0, 16, 16));
}

// ------------------------------------------------------------ lines

void EdtViewRenderer::DrawSingleLine(QPainter& p, const QRect& rect, int line)
{
    if (line < 0 || line >= m_view.GetLineCount()) {
        p.fillRect(rect, m_view.GetColor(EDT_CLR_WHITESPACE));
        return;
    }
    DrawRuns(p, rect, line);
}

void EdtViewRenderer::DrawRuns(QPainter& p, const QRect& rect, int line)
{
    const int lh = GetLineHeight();
    const int cw = GetCharWidth();
    QColor lineText, lineBack;
    const bool lineColours = m_view.GetLineColors(line, lineText, lineBack);
    const QColor rest = lineColours ? lineBack : m_view.GetColor(EDT_CLR_WHITESPACE);
    const QColor rowBack = lineColours ? lineBack : m_view.GetColor(EDT_CLR_BACKGROUND);
    int fontSlot = -1;  // what the painter holds
    QColor pen;
    const bool selShown = m_style.focused || m_style.showInactiveSelection;
    auto selected = [&](int ch) {
        const EdtPoint pt{ch, line};
        auto le = [](EdtPoint a, EdtPoint b) { return a.line < b.line || (a.line == b.line && a.ch <= b.ch); };
        return selShown && le(m_sel.DrawSelStart(), pt) && !le(m_sel.DrawSelEnd(), pt);
    };
    const std::u16string_view text(m_view.GetLineChars(line), size_t(m_view.GetLineLength(line)));
    const int len = static_cast<int>(text.size());
    if (len == 0) {
        p.fillRect(rect, rest);
        if (selected(0) && m_pos.offsetChar == 0)
            p.fillRect(QRect(rect.left(), rect.top(), cw, lh), m_view.GetColor(EDT_CLR_SEL_BACK));
        return;
    }

    // Colour blocks, after the cookie of the previous line.
    uint32_t cookie = 0;
    if (line > 0) {
        if (line - 1 < m_view.Cache().m_cookiesKnown) {
            cookie = m_view.Cache().m_cookies[size_t(line) - 1];
        } else {
            // Far below the known cookies (a jump right after opening) the
            // line waits for the filler instead of the paint.
            const bool near = line - 1 - m_view.Cache().m_cookiesKnown < kPaintCookieNearLines;
            while (near && m_view.Cache().m_cookiesKnown <= line - 1 &&
                   (!g_paintClock.isValid() || g_paintClock.elapsed() < kPaintCookieBudgetMs))
                m_view.GetParseCookie(std::min(line - 1, m_view.Cache().m_cookiesKnown + 255));
            if (line - 1 < m_view.Cache().m_cookiesKnown) {
                cookie = m_view.Cache().m_cookies[size_t(line) - 1];
            } else {
                cookie = m_view.Cache().m_cookiesKnown > 0
                             ? m_view.Cache().m_cookies[size_t(m_view.Cache().m_cookiesKnown) - 1]
                             : 0;
                m_view.Cache().m_provisionalFrom =
                    std::min(m_view.Cache().m_provisionalFrom, line);
                m_view.Cache().StartFiller();
            }
        }
    }
    const uint32_t end = m_view.ParseLine(cookie, line, &m_blocks);
    if (m_blocks.Count() == 0)  // a parser of a derived view may lay none
        m_blocks.Append(0, EDT_CLR_TEXT);
    if (line == m_view.Cache().m_cookiesKnown && line - 1 < m_view.Cache().m_cookiesKnown) {
        if (m_view.Cache().m_cookies.size() <= size_t(line))
            m_view.Cache().m_cookies.resize(size_t(m_view.GetLineCount()));
        m_view.Cache().m_cookies[size_t(line)] = end;
        ++m_view.Cache().m_cookiesKnown;
    }

    std::vector<int> breaks;
    m_view.Cache().GetLineBreaks(line, breaks);
    const int subCount = static_cast<int>(breaks.size()) + 1;
    const int t = m_style.tabSize;
    const int screenChars = std::max(m_view.GetScreenChars(), 0) + 1;
    std::u16string cells;

    // Walk the characters once, keeping their columns.
    int ch = 0, col = 0;
    auto advance = [&](int to) {
        for (; ch < to; ++ch)
            col += text[size_t(ch)] == u'\t' ? t - col % t : 1;
    };
    for (int sub = 0; sub < subCount; ++sub) {
        const int s0 = sub == 0 ? 0 : breaks[size_t(sub) - 1];
        const int s1 = sub < subCount - 1 ? breaks[size_t(sub)] : len;
        advance(s0);
        const int base = col;
        const int y = rect.top() + sub * lh;
        p.fillRect(QRect(rect.left(), y, rect.width(), lh), rowBack);
        const int visFirst = base + m_pos.offsetChar;
        const int visLast = visFirst + screenChars;
        int drawnTo = rect.left();  // right edge of what is painted
        int bi = 0;
        while (bi + 1 < m_blocks.Count() && m_blocks[bi + 1].charPos <= s0)
            ++bi;
        int pos = s0;
        while (pos < s1) {
            const TextBlock& b = m_blocks[bi];
            // A block reaches to the next one (the last to the line end); a
            // run is its part on this sub-line.
            const int blockEnd = bi + 1 < m_blocks.Count() ? std::max(m_blocks[bi + 1].charPos, pos) : len;
            const int runEnd = std::min(s1, blockEnd);
            if (runEnd <= pos) {
                ++bi;
                continue;
            }
            // Split the run where the selection starts or ends.
            int segEnd = runEnd;
            const bool sel = selected(pos);
            for (EdtPoint e : {m_sel.DrawSelStart(), m_sel.DrawSelEnd()})
                if (e.line == line && e.ch > pos && e.ch < segEnd)
                    segEnd = e.ch;
            advance(pos);
            const int segCol = col;
            if (segCol >= visLast)
                break;
            QColor fg, bg;
            if (sel) {
                fg = m_view.GetColor(EDT_CLR_SEL_TEXT);
                bg = m_view.GetColor(EDT_CLR_SEL_BACK);
            } else if (lineColours) {
                fg = lineText;
                bg = lineBack;
            } else {
                fg = m_view.GetColor(b.colorIndex);
                bg = m_view.GetColor(EDT_CLR_BACKGROUND);
            }
            const int first = edt::ExpandCells(text, pos, segEnd, segCol, t, m_style.showTabs,
                                               visFirst, visLast, cells);
            if (!cells.empty()) {
                const int x = rect.left() + (first - visFirst) * cw;
                const int w = static_cast<int>(cells.size()) * cw;
                if (bg != rowBack)
                    p.fillRect(QRect(x, y, w, lh), bg);
                drawnTo = x + w;
                if (AllBlank(cells)) {
                    pos = segEnd;
                    if (pos >= blockEnd)
                        ++bi;
                    continue;
                }
                const bool bold = m_view.GetBold(b.colorIndex),
                           italic = m_view.GetItalic(b.colorIndex);
                const QFont& f = GetFont(italic, bold);
                const int slot = (bold ? 1 : 0) + (italic ? 2 : 0);
                if (m_fontFits[size_t(slot)] < 0) {
                    QFontMetrics fm(f);
                    m_fontFits[size_t(slot)] = fm.horizontalAdvance(QStringLiteral("Xi.W")) == 4 * cw ? 1 : 0;
                    m_fontAscent[size_t(slot)] = fm.ascent();
                }
                if (slot != fontSlot) {
                    p.setFont(f);
                    fontSlot = slot;
                }
                if (fg != pen) {
                    p.setPen(fg);
                    pen = fg;
                }
                const int baseline = y + m_fontAscent[size_t(slot)];
                if (DrawCellGlyphs(p, slot, x, baseline, cells)) {
                    // drawn glyph by glyph, cell by cell
                } else if (m_fontFits[size_t(slot)] == 1 && AllAscii(cells)) {
                    p.drawText(QPoint(x, baseline), Cells(cells));
                } else {
                    QFontMetrics fm(f);
                    const QString s = Cells(cells);
                    if (fm.horizontalAdvance(s) == w) {
                        p.drawText(QPoint(x, baseline), s);
                    } else {
                        for (qsizetype i = 0; i < s.size(); ++i) {
                            const bool pair = s[i].isHighSurrogate() && i + 1 < s.size();
                            const QString one = s.mid(i, pair ? 2 : 1);
                            const int cells1 = pair ? 2 : 1;
                            const int cx = x + int(i) * cw;
                            const int gw = fm.horizontalAdvance(one);
                            p.drawText(QPoint(cx + (cells1 * cw - gw) / 2, baseline), one);
                            if (pair)
                                ++i;
                        }
                    }
                }
            }
            pos = segEnd;
            if (pos >= blockEnd)
                ++bi;
        }
        // After the sub-line's text.
        int x = std::max(drawnTo, rect.left());
        if (sub == subCount - 1) {
            advance(len);
            const int endX = rect.left() + (col - visFirst) * cw;
            x = std::max(x, endX);
            if (selected(len) && col >= visFirst && col < visLast) {
                p.fillRect(QRect(endX, y, cw, lh), m_view.GetColor(EDT_CLR_SEL_BACK));
                x = std::max(x, endX + cw);
            }
        }
        if (x < rect.right() + 1)
            p.fillRect(QRect(x, y, rect.right() + 1 - x, lh), rest);
    }
}

bool EdtViewRenderer::DrawCellGlyphs(QPainter& p, int slot, int x, int baseline,
                                     const std::u16string& cells)
{
    std::shared_ptr<const EdtCellGlyphs>& glyphs = m_cellGlyphs[size_t(slot)];
    if (!glyphs) {
        // The painter's font: resolved for the device, as text draws it.
        const QFont& font = p.font();
        const int cw = GetCharWidth();
        const QString key = font.key() + QLatin1Char('/') +
                            QString::number(p.device()->logicalDpiY()) + QLatin1Char('/') +
                            QString::number(cw);
        MadeFonts* made = MadeFonts::Of(QCoreApplication::instance());
        if (made) {
            auto it = made->cellGlyphs.find(key);
            if (it != made->cellGlyphs.end())
                glyphs = it->second;
        }
        if (!glyphs) {
            glyphs = std::make_shared<const EdtCellGlyphs>(EdtCellGlyphs::Make(font, cw));
            if (made)
                made->cellGlyphs.emplace(key, glyphs);
        }
        m_cellGlyphsDpi = p.device()->logicalDpiY();
    }
    const EdtCellGlyphs& g = *glyphs;
    if (!g.raw.isValid() || !g_cellGlyphsOn)
        return false;
    const int cw = GetCharWidth();
    for (const char16_t c : cells)
        if (c != u' ' && (c >= EdtCellGlyphs::kChars || g.glyph[c] == 0))
            return false;
    // Where the text path puts each glyph: after the advances before it
    // when the run is drawn whole (it fills its cells, or the font fits and
    // the run is ASCII), else centred in its cell.
    const int64_t n = int64_t(cells.size());
    const bool whole = g.advance64 == int64_t(cw) * 64 ||
                       (m_fontFits[size_t(slot)] == 1 && AllAscii(cells)) ||
                       ((n * g.advance64 + 32) & ~int64_t(63)) >> 6 == n * cw;
    const int centre = (cw - g.roundedAdvance) / 2;
    m_runGlyphs.clear();
    m_runPositions.clear();
    for (size_t i = 0; i < cells.size(); ++i) {
        const char16_t c = cells[i];
        if (c == u' ')
            continue;
        m_runGlyphs.push_back(g.glyph[c]);
        m_runPositions.push_back(whole ? QPointF(qreal(int64_t(i) * g.advance64) / 64, 0)
                                       : QPointF(qreal(int(i) * cw + centre), 0));
    }
    if (m_runGlyphs.isEmpty())
        return true;
    QGlyphRun run;
    run.setRawFont(g.raw);
    run.setGlyphIndexes(m_runGlyphs);
    run.setPositions(m_runPositions);
    p.drawGlyphRun(QPointF(x, baseline), run);
    return true;
}

void EdtViewRenderer::Paint(QPaintEvent* e)
{
    QPainter p(&m_view);
    const QRect client = m_view.Scroller().ClientRect();
    if (m_view.Scroller().m_vbar->isVisible() &&
        m_view.Scroller().m_hbar->isVisible()) // the corner between the bars
        p.fillRect(QRect(client.right() + 1, client.bottom() + 1, m_view.width() - client.width(),
                         m_view.height() - client.height()),
                   m_view.palette().color(QPalette::Window));
    p.setClipRect(client);
    if (p.device()->logicalDpiY() != m_cellGlyphsDpi) // the glyphs follow the device
        for (auto& g : m_cellGlyphs)
            g.reset();
    g_paintClock.start();
    const int lh = GetLineHeight();
    const int margin = m_view.GetMarginWidth();
    const QRect region = e->rect() & client;
    const int count = m_view.GetLineCount();
    int sub = 0, line = 0;
    m_view.GetLineBySubLineIndex(m_pos.topSubLine, line, sub);
    int y = client.top() - sub * lh;
    while (y <= client.bottom()) {
        if (line >= count) {
            const QRect r(client.left(), y, client.width(), client.bottom() + 1 - y);
            if (r.intersects(region)) {
                m_view.DrawMargin(p, QRect(r.left(), r.top(), margin, r.height()), -1);
                m_view.DrawSingleLine(
                    p, QRect(r.left() + margin, r.top(), r.width() - margin, r.height()), -1);
            }
            break;
        }
        const int h = m_view.Cache().GetSubLines(line) * lh;
        const QRect r(client.left(), y, client.width(), h);
        if (r.intersects(region)) {
            m_view.DrawMargin(p, QRect(r.left(), r.top(), margin, h), line);
            m_view.DrawSingleLine(p, QRect(r.left() + margin, r.top(), r.width() - margin, h),
                                  line);
        }
        y += h;
        ++line;
    }
    g_paintClock.invalidate();
    if (m_view.Caret().IsCaretShown()) {
        const QRect c = m_view.Caret().CaretRect();
        if (c.left() >= margin) {
            p.setCompositionMode(QPainter::CompositionMode_Difference);
            p.fillRect(c, Qt::white);
        }
    }
}

// ------------------------------------------------------------ the view's functions that hand on to this part

QColor CEdtTextView::GetColor(int index) const
{
    return m_renderer->GetColor(index);
}

bool CEdtTextView::GetBold(int index) const
{
    return m_renderer->GetBold(index);
}

bool CEdtTextView::GetItalic(int index) const
{
    return m_renderer->GetItalic(index);
}

bool CEdtTextView::GetLineColors(int line, QColor& text, QColor& back) const
{
    return m_renderer->GetLineColors(line, text, back);
}

void CEdtTextView::SetFont(const EdtLogFont& font)
{
    m_renderer->SetFont(font);
}

const QFont& CEdtTextView::GetFont(bool italic, bool bold)
{
    return m_renderer->GetFont(italic, bold);
}

int CEdtTextView::GetMarginWidth() const
{
    return m_renderer->GetMarginWidth();
}

void CEdtTextView::DrawMargin(QPainter& p, const QRect& rect, int line)
{
    m_renderer->DrawMargin(p, rect, line);
}


void CEdtTextView::DrawSingleLine(QPainter& p, const QRect& rect, int line)
{
    m_renderer->DrawSingleLine(p, rect, line);
}

void CEdtTextView::paintEvent(QPaintEvent* e)
{
    m_sel.PrepareSelBounds();
    int sub = 0;
    GetLineBySubLineIndex(m_pos.topSubLine, m_pos.topLine, sub);
    m_renderer->Paint(e);
}
