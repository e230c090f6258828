#include "plcviews/HexEditView.h"

#include "editor/dialogs/EdtOptionPages.h"

#include "platform/sys/FileIO.h"
#include "platform/sys/NativeText.h"
#include "platform/ui/Accel.h"
#include "platform/ui/App.h"
#include "platform/ui/Beep.h"
#include "platform/ui/Menu.h"
#include "platform/ui/Prompt.h"
#include "platform/ui/Splitter.h"
#include "platform/ui/SysColor.h"
#include "plcviews/BinDoc.h"
#include "res/CommandIds.h"
#include "res/StringTable.h"
#include "uilib/KVTPopupMenu.h"
#include "uilib/KVTWorkspace.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFileInfo>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QWheelEvent>

#include <algorithm>

const QString kBinaryDataMime = QStringLiteral("application/x-strandwork-binarydata");

namespace {
constexpr uint32_t kOwnContextMenu = 1001;
constexpr uint32_t kBinContextMenu = 1033;
constexpr unsigned IDS_FILE_MISSING = 4240;  // "Soubor neexistuje."
constexpr unsigned IDS_ITEM_TEXT = 4241;     // "Text"
constexpr unsigned IDS_ITEM_SELTEXT = 4242;  // "Vybraný text"
constexpr unsigned IDS_COPY_TOO_LARGE = 4798;  // "Výběr je příliš velký pro schránku: ... nejvýše %d MB."

constexpr char kHex[] = "0123456789ABCDEF";
} // namespace

// ============================================================ CHexEditView

CHexEditView::CHexEditView(QWidget* parent) : ui::View(parent), m_vbar(new QScrollBar(Qt::Vertical, this))
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_InputMethodEnabled);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::IBeamCursor);
    m_font = QFont(QStringLiteral("Courier New"));
    m_font.setPixelSize(12);
    m_font.setStyleHint(QFont::TypeWriter);
    m_font.setFixedPitch(true);
    m_text = ui::ColorFromRef(ui::GetSysColor(ui::COLOR_WINDOWTEXT));
    m_back = ui::ColorFromRef(ui::GetSysColor(ui::COLOR_WINDOW));
    m_selText = ui::ColorFromRef(ui::GetSysColor(ui::COLOR_HIGHLIGHTTEXT));
    m_selBack = ui::ColorFromRef(ui::GetSysColor(ui::COLOR_HIGHLIGHT));
    connect(m_vbar, &QScrollBar::valueChanged, this, [this](int v) {
        if (m_model.SetTopRow(v))
            update();
    });
    m_blink.setInterval(std::max(100, QApplication::cursorFlashTime() / 2));
    connect(&m_blink, &QTimer::timeout, this, [this] {
        m_blinkOn = !m_blinkOn;
        update();
    });
    m_dragTimer.setInterval(100);
    connect(&m_dragTimer, &QTimer::timeout, this, [this] { DragTo(m_lastPos); });
    UpdateMetrics();
    MapCommands();
}

CHexEditView::~CHexEditView() = default;

void CHexEditView::MapCommands()
{
    // The editor's options sheet, without a text view.
    MapCommand(ID_EDT_WINDOW_OPTIONS, [this] { ShowEditorOptionsSheet(nullptr, window()); });
    auto format = [this](uint32_t bit) {
        m_model.SetKeyboardSelection(false);
        m_model.SetFlag(bit, !m_model.Has(bit));
        UpdateScrollBar();
        ShowCaretColumn();
        update();
    };
    MapCommand(ID_HEX_ADDRESS, [format] { format(HX_ADDRESS); });
    MapCommand(ID_HEX_HEX, [format] { format(HX_HEX); });
    MapCommand(ID_HEX_ASCII, [format] { format(HX_ASCII); });
    MapCommand(ID_HEX_WIDE, [format] { format(HX_WIDE); });
    MapUpdate(ID_HEX_ADDRESS, [this](ui::CmdUI& c) { c.SetCheck(m_model.Has(HX_ADDRESS)); });
    MapUpdate(ID_HEX_HEX, [this](ui::CmdUI& c) { c.SetCheck(m_model.Has(HX_HEX)); });
    MapUpdate(ID_HEX_ASCII, [this](ui::CmdUI& c) { c.SetCheck(m_model.Has(HX_ASCII)); });
    MapUpdate(ID_HEX_WIDE, [this](ui::CmdUI& c) { c.SetCheck(m_model.Has(HX_WIDE)); });
    MapCommandRange(ID_HEX_BPR_FIRST, ID_HEX_BPR_LAST, [this](uint32_t id) { SetBytesPerRow(int(id - ID_HEX_BPR_FIRST)); });
    MapUpdateRange(ID_HEX_BPR_FIRST, ID_HEX_BPR_LAST,
                   [this](ui::CmdUI& c) { c.SetRadio(int(c.Id() - ID_HEX_BPR_FIRST) == m_model.BytesPerRow()); });
    MapCommand(ID_EDT_TOGGLE_KEYBOARD_SELECTION, [this] { m_model.SetKeyboardSelection(!m_model.KeyboardSelection()); });
    MapUpdate(ID_EDT_TOGGLE_KEYBOARD_SELECTION, [this](ui::CmdUI& c) { c.SetCheck(m_model.KeyboardSelection()); });
    MapCommand(ID_EDT_READ_ONLY, [this] { ToggleReadOnly(); });
    MapUpdate(ID_EDT_READ_ONLY, [this](ui::CmdUI& c) { c.SetCheck(m_model.IsReadOnly()); });
    auto withSelection = [this](ui::CmdUI& c) { c.Enable(m_model.HasSelection()); };
    MapCommand(ID_EDIT_CLEAR, [this] { Apply(m_model.DeleteSelection()); });
    MapUpdate(ID_EDIT_CLEAR, withSelection);
    MapCommand(ID_EDIT_CUT, [this] { Cut(); });
    MapUpdate(ID_EDIT_CUT, withSelection);
    MapCommand(ID_EDIT_COPY, [this] { Copy(); });
    MapUpdate(ID_EDIT_COPY, withSelection);
    MapCommand(ID_EDIT_PASTE, [this] { Paste(); });
    MapUpdate(ID_EDIT_PASTE, [this](ui::CmdUI& c) { c.Enable(CanPaste()); });
    MapCommand(ID_EDIT_SELECT_ALL, [this] { SetSelection(0, m_model.Size()); });
    MapUpdate(ID_EDIT_SELECT_ALL, [this](ui::CmdUI& c) { c.Enable(m_model.Size() > 0); });
    MapCommand(ID_EDIT_UNDO, [this] { m_model.SetKeyboardSelection(false); });
    MapUpdate(ID_EDIT_UNDO, [](ui::CmdUI& c) { c.Enable(false); });
    // The editor's panes (line and column, overwrite, read-only) belong to
    // views with a text caret: here they are cleared.
    for (uint32_t pane : {ID_EDT_INDICATOR_POSITION, ID_INDICATOR_OVR, ID_EDT_INDICATOR_READONLY})
        MapUpdate(pane, [](ui::CmdUI& c) { c.Enable(false); });
}

const ui::AccelTable* CHexEditView::Accelerators() const
{
    static const ui::AccelTable table({
        {ui::FVIRTKEY | ui::FCONTROL, 'A', ID_EDIT_SELECT_ALL},
    });
    return &table;
}

// ---------------------------------------------------------------- operations

void CHexEditView::SetData(const QByteArray& bytes)
{
    m_model.SetOwnData(bytes);
    UpdateScrollBar();
    update();
}

void CHexEditView::SetData(QByteArray* block)
{
    m_model.SetBlock(block);
    UpdateScrollBar();
    update();
}

void CHexEditView::SetData(HexBytes* bytes)
{
    m_model.SetBytes(bytes);
    UpdateScrollBar();
    update();
}

qsizetype CHexEditView::GetData(QByteArray& out) const
{
    out = m_model.Bytes() ? m_model.Bytes()->Mid(0, m_model.Size()) : QByteArray();
    return out.size();
}

qsizetype CHexEditView::CopyData(char* buffer, qsizetype max) const
{
    const qsizetype n = std::min(max, m_model.Size());
    if (n > 0)
        m_model.Bytes()->Read(0, n, buffer);
    return std::max<qsizetype>(0, n);
}

void CHexEditView::GetOptions(bool& address, bool& hex, bool& ascii, bool& wide, bool& readOnly) const
{
    address = m_model.Has(HX_ADDRESS);
    hex = m_model.Has(HX_HEX);
    ascii = m_model.Has(HX_ASCII);
    wide = m_model.Has(HX_WIDE);
    readOnly = m_model.Has(HX_READONLY);
}

void CHexEditView::SetOptions(bool address, bool hex, bool ascii, bool wide, bool readOnly)
{
    m_model.SetFlag(HX_ADDRESS, address);
    m_model.SetFlag(HX_HEX, hex);
    m_model.SetFlag(HX_ASCII, ascii);
    m_model.SetFlag(HX_WIDE, wide);
    m_model.SetFlag(HX_READONLY, readOnly);
    UpdateScrollBar();
    update();
}

void CHexEditView::SetOptionBits(uint32_t bits)
{
    m_model.SetFlags(m_model.Flags() | (bits & HX_OPTIONS));
    UpdateScrollBar();
    update();
}

void CHexEditView::SetBytesPerRow(int n)
{
    m_model.SetKeyboardSelection(false);
    if (m_model.SetBytesPerRow(n)) {
        UpdateScrollBar();
        ShowCaretColumn();
        update();
    }
}

void CHexEditView::SetSelection(qsizetype start, qsizetype end)
{
    m_model.SetSelection(start, end);
    RestartBlink();
    update();
}

void CHexEditView::NormaliseSelection() { m_model.NormaliseSelection(); }

void CHexEditView::ToggleReadOnly()
{
    m_model.SetFlag(HX_READONLY, !m_model.IsReadOnly());
    update();
}

// ---------------------------------------------------------------- clipboard

bool CHexEditView::Copy()
{
    m_model.SetKeyboardSelection(false);
    if (!m_model.HasSelection())
        return false;
    // The clipboard holds the bytes and their text whole: a larger
    // selection is refused, and so is one with unavailable bytes.
    if (m_model.SelectionLength() > HexEditModel::kCopyLimit) {
        ui::Prompt(FormatResString(IDS_COPY_TOO_LARGE, int(HexEditModel::kCopyLimit >> 20)), {},
                   ui::MB_ICONEXCLAMATION);
        return false;
    }
    QByteArray bytes;
    if (!m_model.CopySelection(bytes)) {
        ui::MessageBeep(0);
        return false;
    }
    auto* mime = new QMimeData;
    mime->setText(m_model.CopyText(bytes));
    mime->setData(kBinaryDataMime, bytes);
    QApplication::clipboard()->setMimeData(mime);
    return true;
}

void CHexEditView::Cut()
{
    if (m_model.IsReadOnly()) {
        ui::MessageBeep(0);
        return;
    }
    if (Copy())
        Apply(m_model.DeleteSelection());
}

bool CHexEditView::CanPaste() const
{
    const QMimeData* mime = QApplication::clipboard()->mimeData();
    return mime && (mime->hasFormat(kBinaryDataMime) || mime->hasText());
}

void CHexEditView::Paste()
{
    m_model.SetKeyboardSelection(false);
    const QMimeData* mime = QApplication::clipboard()->mimeData();
    if (!mime)
        return;
    if (mime->hasFormat(kBinaryDataMime))
        Apply(m_model.PasteBytes(mime->data(kBinaryDataMime)));
    else if (mime->hasText())
        Apply(m_model.PasteText(mime->text()));
}

// ---------------------------------------------------------------- display

void CHexEditView::ApplyFontAndColours(const QFont& font, QColor text, QColor back, QColor selText, QColor selBack)
{
    m_font = font;
    m_text = text;
    m_back = back;
    m_selText = selText;
    m_selBack = selBack;
    UpdateMetrics();
    UpdateScrollBar();
    update();
}

QRect CHexEditView::ClientRect() const
{
    QRect r = rect();
    if (m_vbar->isVisibleTo(this))
        r.setRight(r.right() - m_vbar->width());
    return r;
}

void CHexEditView::UpdateMetrics()
{
    const QFontMetrics fm(m_font);
    m_model.SetMetrics(fm.horizontalAdvance(QLatin1Char('0')), fm.height(), ClientRect().height());
}

void CHexEditView::ConnectScrollBar()
{
    QScrollBar* shared = nullptr;
    for (QWidget* w = parentWidget(); w; w = w->parentWidget())
        if (auto* s = qobject_cast<ui::SplitterWnd*>(w)) {
            const int id = s->PaneId(this);
            if (id >= 0)
                shared = s->RowScrollBar(ui::SplitterWnd::RowFromId(id));
            break;
        }
    if (shared != m_sharedV) {
        if (m_sharedV)
            disconnect(m_sharedV, nullptr, this, nullptr);
        m_sharedV = shared;
        if (shared)
            connect(shared, &QScrollBar::valueChanged, this, [this](int v) {
                if (m_model.SetTopRow(v))
                    update();
            });
    }
    const int ext = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    m_vbar->setVisible(!shared);
    m_vbar->setGeometry(width() - ext, 0, ext, height());
    UpdateMetrics();
    UpdateScrollBar();
}

void CHexEditView::UpdateScrollBar()
{
    QScrollBar* bar = m_sharedV ? m_sharedV.data() : m_vbar;
    const int page = m_model.RowsPerPage();
    const qsizetype maxRow = m_model.MaxTop() / m_model.BytesPerRow();
    const QSignalBlocker block(bar);
    bar->setRange(0, int(maxRow));
    bar->setPageStep(std::max(1, page));
    bar->setSingleStep(1);
    bar->setValue(int(m_model.Top() / m_model.BytesPerRow()));
    bar->setEnabled(maxRow > 0);
}

bool CHexEditView::CaretShown() const
{
    if (!hasFocus() || !m_blinkOn)
        return false;
    auto& model = const_cast<HexEditModel&>(m_model);
    const QPoint p = model.CaretPixel();
    const int x = p.x() - m_xOffset;
    return p.y() >= 0 && p.y() < ClientRect().height() && x >= 0 && x < ClientRect().width();
}

void CHexEditView::ShowCaretColumn()
{
    HexEditModel& m = m_model;
    const int width = ClientRect().width();
    const int cw = m.CharWidth();
    int off = m_xOffset;
    if (width > 0 && cw > 0) {
        const int x = m.CaretPixel().x();
        const int w = m.Area() == HA_ADDRESS ? std::max(1, m.AddressDigits()) * cw : cw;
        if (x + w - off > width)
            off = x + w - width;
        if (x - off < 0)
            off = x;
        // Never more than the rows need: a pane wide enough shows them all.
        int right = 0;
        if (m.Has(HX_ASCII))
            right = m.AsciiX() + m.BytesPerRow() * cw;
        else if (m.Has(HX_HEX))
            right = m.HexX() + m.BytesPerRow() * 3 * cw;
        off = std::clamp(off, 0, std::max(0, right - width));
    } else {
        off = 0;
    }
    if (off != m_xOffset) {
        m_xOffset = off;
        update();
    }
}

void CHexEditView::RestartBlink()
{
    m_blinkOn = true;
    if (hasFocus())
        m_blink.start();
}

void CHexEditView::PaintTo(QPainter& p, const QRect& clip)
{
    HexEditModel& m = m_model;
    m.EnsureLayout();
    const QRect client = ClientRect();
    p.fillRect(clip.intersected(client), m_back);
    p.setFont(m_font);
    // The rows are drawn from their left end; a pane scrolled sideways
    // starts further right.
    p.translate(-m_xOffset, 0);
    const int cw = m.CharWidth(), lh = m.LineHeight();
    const int ascent = QFontMetrics(m_font).ascent();
    const int bpr = m.BytesPerRow();
    const qsizetype size = m.Size();
    const qsizetype top = m.Top();
    const int firstRow = std::max(0, clip.top() / lh);
    const int lastRow = std::min(client.height(), clip.bottom() + 1) / lh;  // partly shown rows too
    const int digits = m.AddressDigits();
    const bool hexArea = m.Area() == HA_HEX_HIGH || m.Area() == HA_HEX_LOW;
    const qsizetype s0 = m.HasSelection() ? std::min(m.SelStart(), m.SelEnd()) : -1;
    const qsizetype s1 = m.HasSelection() ? std::max(m.SelStart(), m.SelEnd()) : -1;
    // The bytes of the rows drawn, read once (from the document's store
    // they may come from the file's page cache).
    const qsizetype from = std::min(size, top + qsizetype(firstRow) * bpr);
    const qsizetype to = std::min(size, top + qsizetype(lastRow + 1) * bpr);
    m_shown.resize(to - from);
    m_missing.resize(to - from);
    const bool whole = to <= from || m.Bytes()->Read(from, to - from, m_shown.data(), m_missing.data());
    const auto* shown = reinterpret_cast<const uchar*>(m_shown.constData());
    const char* missing = m_missing.constData();
    // An unavailable byte (its file changed outside) has no digits and no
    // character: its cells are blank, hatched afterwards.
    const QColor mid((m_text.red() + m_back.red()) / 2, (m_text.green() + m_back.green()) / 2,
                     (m_text.blue() + m_back.blue()) / 2);
    const QBrush hatch(mid, Qt::BDiagPattern);
    auto hatchCells = [&](int x, int y, qsizetype first, int n, int cellChars, int cellWidth) {
        for (int i = 0; i < n;) {
            if (!missing[first - from + i]) {
                ++i;
                continue;
            }
            int j = i;
            while (j < n && missing[first - from + j])
                ++j;
            const int right = (j - 1) * cellChars + cellWidth;
            p.fillRect(QRect(x + i * cellChars * cw, y, (right - i * cellChars) * cw, lh), hatch);
            i = j;
        }
    };

    // Text of a run of cells; the selected part in the selection colours.
    auto drawRun = [&](int x, int y, const QString& text, int cellChars, qsizetype first, bool selectable) {
        const qsizetype n = text.size() / cellChars;
        qsizetype a = 0, b = 0;
        if (selectable && s0 >= 0) {
            a = std::clamp<qsizetype>(s0 - first, 0, n);
            b = std::clamp<qsizetype>(s1 - first, 0, n);
        }
        p.setPen(m_text);
        if (a >= b) {
            p.drawText(x, y + ascent, text);
            return;
        }
        if (a > 0)
            p.drawText(x, y + ascent, text.left(a * cellChars));
        const int sx = x + int(a * cellChars) * cw;
        const int selChars = int(b - a) * cellChars - (cellChars == 3 && b == n ? 1 : 0);
        p.fillRect(QRect(sx, y, selChars * cw, lh), m_selBack);
        p.setPen(m_selText);
        p.drawText(sx, y + ascent, text.mid(a * cellChars, selChars));
        p.setPen(m_text);
        if (b < n)
            p.drawText(x + int(b * cellChars) * cw, y + ascent, text.mid(b * cellChars));
    };

    QString addr, hex, ascii;
    for (int row = firstRow; row <= lastRow; ++row) {
        const qsizetype first = top + qsizetype(row) * bpr;
        if (first >= size)
            break;
        const int n = int(std::min<qsizetype>(bpr, size - first));
        const int y = row * lh;
        if (digits > 0) {
            addr.resize(digits);
            for (int i = 0; i < digits; ++i)
                addr[i] = QLatin1Char(kHex[(first >> (4 * (digits - 1 - i))) & 0xF]);
            p.setPen(m_text);
            p.drawText(0, y + ascent, addr);
        }
        if (m.Has(HX_HEX)) {
            hex.resize(n * 3);
            for (int i = 0; i < n; ++i) {
                const uchar b = shown[first - from + i];
                const bool gone = missing[first - from + i];
                hex[3 * i] = gone ? QLatin1Char(' ') : QLatin1Char(kHex[b >> 4]);
                hex[3 * i + 1] = gone ? QLatin1Char(' ') : QLatin1Char(kHex[b & 0xF]);
                hex[3 * i + 2] = QLatin1Char(' ');
            }
            drawRun(m.HexX(), y, hex, 3, first, hexArea);
            if (!whole)
                hatchCells(m.HexX(), y, first, n, 3, 2);
        }
        if (m.Has(HX_ASCII)) {
            ascii.resize(n);
            for (int i = 0; i < n; ++i) {
                const qsizetype k = first - from + i;
                ascii[i] = missing[k] ? QLatin1Char(' ') : HexEditModel::DisplayChar(shown[k]);
            }
            drawRun(m.AsciiX(), y, ascii, 1, first, m.Area() == HA_ASCII);
            if (!whole)
                hatchCells(m.AsciiX(), y, first, n, 1, 1);
        }
    }
    if (CaretShown()) {
        const QPoint c = m.CaretPixel();
        const int w = m.Area() == HA_ADDRESS ? std::max(1, digits) * cw : cw;
        p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        p.fillRect(QRect(c.x(), c.y(), w, lh).intersected(client.translated(m_xOffset, 0)), Qt::white);
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    }
}

void CHexEditView::paintEvent(QPaintEvent* e)
{
    QPainter p(this);
    PaintTo(p, e->rect());
}

void CHexEditView::resizeEvent(QResizeEvent* e)
{
    ui::View::resizeEvent(e);
    ConnectScrollBar();
    ShowCaretColumn();
}

void CHexEditView::showEvent(QShowEvent* e)
{
    ui::View::showEvent(e);
    ConnectScrollBar();
}

// ---------------------------------------------------------------- input

void CHexEditView::OnModelChanged(const HexChange& change)
{
    if (change.beep)
        ui::MessageBeep(0);
    if (change.scrolled || change.dataChanged)
        UpdateScrollBar();
    if (change.repaint || change.dataChanged) {
        RestartBlink();
        update();
    }
    ShowCaretColumn();
}

bool CHexEditView::event(QEvent* e)
{
    // Tab and Shift+Tab move between the columns, not to another window.
    if (e->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(e);
        if (k->key() == Qt::Key_Tab || k->key() == Qt::Key_Backtab) {
            keyPressEvent(k);
            return true;
        }
    }
    return ui::View::event(e);
}

void CHexEditView::keyPressEvent(QKeyEvent* e)
{
    const bool ctrl = e->modifiers() & Qt::ControlModifier;
    const bool shift = e->modifiers() & Qt::ShiftModifier;
    const int key = e->key();
    if (ctrl && !(e->modifiers() & Qt::AltModifier)) {
        switch (key) {
        case Qt::Key_C: if (m_model.HasSelection()) Copy(); return;
        case Qt::Key_V: Paste(); return;
        case Qt::Key_X: if (m_model.HasSelection()) Cut(); return;
        case Qt::Key_Z: m_model.SetKeyboardSelection(false); return;
        default: break;
        }
    }
    switch (key) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_Insert:
    case Qt::Key_Delete: {
        const HexChange ch = m_model.KeyPress(key, shift, ctrl);
        OnModelChanged(ch);
        RestartBlink();
        update();
        return;
    }
    case Qt::Key_Backspace: Apply(m_model.TypeChar(QLatin1Char('\b'))); return;
    default: break;
    }
    const QString text = e->text();
    if (text.isEmpty() || ctrl)
        return;
    for (QChar c : text)
        if (c.isPrint())
            Apply(m_model.TypeChar(c));
}

void CHexEditView::mousePressEvent(QMouseEvent* e)
{
    setFocus(Qt::MouseFocusReason);
    if (e->button() != Qt::LeftButton)
        return;
    const QPoint pos = e->position().toPoint();
    const HexHit hit = m_model.HitTest(pos + QPoint(m_xOffset, 0));
    if (hit.area == HA_NONE)
        return;
    if (e->modifiers() & Qt::ShiftModifier) {
        const qsizetype old = m_model.Caret();
        m_model.SetArea(hit.area);
        m_model.SetCaret(hit.offset);
        const bool hexArea = hit.area >= HA_HEX_HIGH;
        m_model.SetSelection(std::min(old, hit.offset), std::max(old, hit.offset) + (hexArea ? 1 : 0));
    } else {
        m_model.SetArea(hit.area);
        m_model.SetCaret(hit.offset);
        m_model.SetSelection(-1, -1);
        m_pressed = true;
        m_dragging = false;
        m_pressPos = pos;
        m_dragAnchor = hit.offset;
    }
    RestartBlink();
    UpdateScrollBar();
    ShowCaretColumn();
    update();
}

void CHexEditView::DragTo(QPoint pos)
{
    HexChange ch;
    const QRect client = ClientRect();
    if (pos.y() < 0)
        ch.scrolled = m_model.ScrollRows(-1);
    else if (pos.y() >= client.height())
        ch.scrolled = m_model.ScrollRows(1);
    const QPoint inside(std::clamp(pos.x(), 0, std::max(0, client.width() - 1)),
                        std::clamp(pos.y(), 0, std::max(0, client.height() - 1)));
    const int area = m_model.Area();
    HexHit hit = m_model.HitTest(inside + QPoint(m_xOffset, 0), true);
    if (hit.area == HA_NONE)
        return;
    m_model.SetCaret(hit.offset);
    const bool hexArea = area >= HA_HEX_HIGH;
    m_model.SetSelection(std::min(m_dragAnchor, hit.offset), std::max(m_dragAnchor, hit.offset) + (hexArea ? 1 : 0));
    ch.repaint = true;
    OnModelChanged(ch);
    UpdateScrollBar();
}

void CHexEditView::mouseMoveEvent(QMouseEvent* e)
{
    if (!m_pressed || !(e->buttons() & Qt::LeftButton))
        return;
    m_lastPos = e->position().toPoint();
    if (!m_dragging) {
        if ((m_lastPos - m_pressPos).manhattanLength() < QApplication::startDragDistance())
            return;
        m_dragging = true;
    }
    DragTo(m_lastPos);
    const bool outside = m_lastPos.y() < 0 || m_lastPos.y() >= ClientRect().height();
    if (outside && !m_dragTimer.isActive())
        m_dragTimer.start();
    else if (!outside)
        m_dragTimer.stop();
}

void CHexEditView::mouseReleaseEvent(QMouseEvent*)
{
    m_pressed = m_dragging = false;
    m_dragTimer.stop();
}

void CHexEditView::mouseDoubleClickEvent(QMouseEvent*) {}

void CHexEditView::wheelEvent(QWheelEvent* e)
{
    const int notches = e->angleDelta().y() / 120;
    if (notches && m_model.ScrollRows(-3 * qsizetype(notches))) {
        UpdateScrollBar();
        update();
    }
    e->accept();
}

void CHexEditView::contextMenuEvent(QContextMenuEvent* e)
{
    QPoint global = e->globalPos();
    if (e->reason() == QContextMenuEvent::Keyboard)
        global = mapToGlobal(ClientRect().topLeft() + QPoint(5, 5));
    ShowContextMenu(global);
}

void CHexEditView::ShowContextMenu(const QPoint& global)
{
    std::unique_ptr<ui::Menu> menu = ui::Menu::Load(kOwnContextMenu);
    std::unique_ptr<ui::Menu> popup = menu && menu->SubMenu(0) ? menu->SubMenu(0)->Clone() : nullptr;
    if (!popup)
        return;
    // A library popup that owns its menu; the chosen command reaches this
    // view through the route once the popup has closed.
    auto* p = new CKVTPopupMenu;
    if (!p->Create(window(), global.x(), global.y(), popup.release()))
        p->deleteLater();
}

void CHexEditView::focusInEvent(QFocusEvent* e)
{
    ui::View::focusInEvent(e);
    RestartBlink();
    update();
}

void CHexEditView::focusOutEvent(QFocusEvent* e)
{
    ui::View::focusOutEvent(e);
    m_blink.stop();
    update();
}

// ================================================================ CBinView

const QString CBinView::kCategory = QStringLiteral("BinaryWindow");

CBinView::CBinView()
{
    MapCommand(ID_EDT_RELOAD_FILE, [this] { ReloadCommand(); });
    MapUpdate(ID_EDT_RELOAD_FILE, [this](ui::CmdUI& c) {
        CBinDoc* doc = GetDocument();
        c.Enable(doc && !doc->GetPathName().isEmpty());
    });
}

CBinView::~CBinView()
{
    if (m_registry)
        m_registry->RemoveListener(this);
}

CBinDoc* CBinView::GetDocument() const { return qobject_cast<CBinDoc*>(ui::View::GetDocument()); }

void CBinView::OnInitialUpdate()
{
    if (CBinDoc* doc = GetDocument()) {
        SetData(&doc->Data());
        Model().SetFlag(HX_READONLY, doc->IsReadOnly());
    }
    m_registry = GetFontColorPage();
    if (m_registry && m_registry->FindCategory(kCategory)) {
        m_registry->AddListener(this, 0);
        ApplyCategory();
    }
    UpdateScrollBar();
    update();
}

void CBinView::OnUpdate(ui::View*, long, QObject*)
{
    CBinDoc* doc = GetDocument();
    if (!doc)
        return;
    if (Model().Bytes() != &doc->Data())
        SetData(&doc->Data());
    Model().SetFlag(HX_READONLY, doc->IsReadOnly());
    Model().Clamp();
    UpdateScrollBar();
    update();
}

void CBinView::OnFontColorChange(uint32_t) { ApplyCategory(); }

void CBinView::ApplyCategory()
{
    CFontColorPage* registry = m_registry;
    const FontColorCategory* cat = registry ? registry->FindCategory(kCategory) : nullptr;
    if (!cat)
        return;
    const FontColorItem* text = registry->FindItem(cat, QStringLiteral("Text"));
    const FontColorItem* sel = registry->FindItem(cat, QStringLiteral("SelText"));
    // Copied: the registry's pointers hold only until it next changes.
    const QFont font = text ? registry->CreateItemFont(*text, *cat) : ViewFont();
    const auto colour = [](const FontColorItem* item, bool back, int sys) {
        return ui::ColorFromRef(item ? (back ? item->backColor : item->textColor) : ui::GetSysColor(sys));
    };
    ApplyFontAndColours(font, colour(text, false, ui::COLOR_WINDOWTEXT), colour(text, true, ui::COLOR_WINDOW),
                        colour(sel, false, ui::COLOR_HIGHLIGHTTEXT), colour(sel, true, ui::COLOR_HIGHLIGHT));
    Model().SetFlag(HX_LAYOUT, true);
}

bool CBinView::RegisterFontItems(const QString& category, const QString& displayName, CFontColorPage* registry)
{
    if (!registry)
        return false;
    using namespace ui;
    return registry->AddCategory(category, displayName, QStringLiteral("Courier New"), 10, 238, 1) &&
           registry->AddItem(category, QStringLiteral("Text"), LoadResString(IDS_ITEM_TEXT),
                             GetSysColor(COLOR_WINDOWTEXT), GetSysColor(COLOR_WINDOW), 0, 0, 0, 0) &&
           registry->AddItem(category, QStringLiteral("SelText"), LoadResString(IDS_ITEM_SELTEXT),
                             GetSysColor(COLOR_HIGHLIGHTTEXT), GetSysColor(COLOR_HIGHLIGHT), 0, 0, 0, 0);
}

qsizetype CBinView::SetCaretPos(qsizetype offset)
{
    const qsizetype old = Model().SetCaret(offset);
    UpdateScrollBar();
    ShowCaretColumn();
    update();
    return old;
}

int CBinView::SetCaretArea(int area)
{
    const int old = Model().SetArea(area);
    ShowCaretColumn();
    update();
    return old;
}

void CBinView::OnModelChanged(const HexChange& change)
{
    CHexEditView::OnModelChanged(change);
    CBinDoc* doc = GetDocument();
    if (!doc)
        return;
    if (change.modified)
        doc->SetModifiedFlag(true);
    if (change.dataChanged)
        doc->UpdateAllViews(this);
}

void CBinView::ToggleReadOnly()
{
    // The document owns the flag; every view follows it.
    if (CBinDoc* doc = GetDocument())
        doc->SetReadOnly(!doc->IsReadOnly());
}

void CBinView::ShowContextMenu(const QPoint& global)
{
    if (CKVTWorkspace* workspace = CKVTWorkspace::Instance())
        workspace->ShowPopupMenu(kBinContextMenu, global, this);
}

void CBinView::ReloadCommand()
{
    CBinDoc* doc = GetDocument();
    if (!doc)
        return;
    const std::optional<std::string> native =
        sys::LocalNativePath(doc->GetPathName().toStdU16String());
    if (!native || !sys::FileExists(*native)) {
        ui::Prompt(LoadResString(IDS_FILE_MISSING), {}, ui::MB_ICONEXCLAMATION);
        return;
    }
    doc->ReloadFile();
}
