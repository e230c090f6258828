#include "uilib/KVTImageEditDlg.h"

#include "platform/ui/Cursor.h"
#include "platform/ui/Prompt.h"
#include "res/Resources.h"
#include "res/StringTable.h"
#include "uilib/KVTFormPlaceholder.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QIcon>
#include <QLayout>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QToolBar>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdlib>
#include <set>

namespace {
constexpr uint32_t IDS_CANT_PASTE = 16004;
constexpr uint32_t IDS_PASTE_SIZE = 16005;
constexpr uint32_t IDS_CANT_COPY = 16010;
// The cursor of each tool, in tool order.
constexpr uint32_t kToolCursors[] = {16144, 16142, 16143, 16140, 16141, 16145};

struct ToolCommand
{
    uint32_t id;
    int tool; // -1: an action
};
constexpr ToolCommand kCommands[] = {
    {CKVTImageEditDlg::ID_FILL, CKVTImagePaintArea::TOOL_FILL},
    {CKVTImageEditDlg::ID_PEN, CKVTImagePaintArea::TOOL_PEN},
    {CKVTImageEditDlg::ID_PICK, CKVTImagePaintArea::TOOL_PICK},
    {CKVTImageEditDlg::ID_LINE, CKVTImagePaintArea::TOOL_LINE},
    {CKVTImageEditDlg::ID_RECT, CKVTImagePaintArea::TOOL_RECT},
    {CKVTImageEditDlg::ID_ELLIPSE, CKVTImagePaintArea::TOOL_ELLIPSE},
    {CKVTImageEditDlg::ID_COPY, -1},
    {CKVTImageEditDlg::ID_PASTE, -1},
    {CKVTImageEditDlg::ID_CLEAR, -1},
};

template <class W>
W* Replace(ui::Dialog* dlg, int id, W* widget)
{
    return KvtReplacePlaceholder(dlg->GetDlgItem(id), widget, dlg);
}
} // namespace

// ------------------------------------------------------------ pure rules

namespace KvtImageEdit {

const std::array<QRgb, 20>& DefaultPalette()
{
    static const std::array<QRgb, 20> colors = {
        0xFF000000, 0xFF800000, 0xFF008000, 0xFF808000, 0xFF000080, 0xFF800080, 0xFF008080,
        0xFFC0C0C0, 0xFFC0DCC0, 0xFFA6CAF0, 0xFFFFFBF0, 0xFFA0A0A4, 0xFF808080, 0xFFFF0000,
        0xFF00FF00, 0xFFFFFF00, 0xFF0000FF, 0xFFFF00FF, 0xFF00FFFF, 0xFFFFFFFF,
    };
    return colors;
}

QSize CellSize(QSize client, QSize image)
{
    if (image.width() <= 0 || image.height() <= 0)
        return {1, 1};
    return {std::max(1, (client.width() - 2) / image.width()), std::max(1, (client.height() - 2) / image.height())};
}

QPoint PointToCell(QPoint point, QSize cell, QSize image)
{
    const int cw = std::max(1, cell.width());
    const int ch = std::max(1, cell.height());
    // Integer division towards zero, as the rule has it; then clamped.
    const int x = (point.x() - 1) / cw;
    const int y = (point.y() - 1) / ch;
    return {std::clamp(x, 0, std::max(0, image.width() - 1)), std::clamp(y, 0, std::max(0, image.height() - 1))};
}

int PaletteCellSize(QSize client)
{
    const int w = client.width() - 10;
    const int h = client.height() - 10;
    const int size = w > h ? std::min(w / 5, h / 4) : std::min(w / 4, h / 5);
    return std::max(1, size);
}

std::vector<QRect> PaletteLayout(QSize client)
{
    const int cell = PaletteCellSize(client);
    const int left = 5;
    const int right = std::max(left + cell, client.width() - 5);
    std::vector<QRect> out;
    int x = left;
    int y = 5;
    for (int i = 0; i < 20; ++i) {
        if (x + cell > right && x > left) {
            x = left;
            y += cell;
        }
        out.emplace_back(x, y, cell, cell);
        x += cell;
    }
    return out;
}

std::vector<QPoint> LineCells(QPoint a, QPoint b)
{
    std::vector<QPoint> out;
    int x0 = a.x(), y0 = a.y();
    const int x1 = b.x(), y1 = b.y();
    const int dx = std::abs(x1 - x0), sx = x0 < x1 ? 1 : -1;
    const int dy = -std::abs(y1 - y0), sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    for (;;) {
        out.emplace_back(x0, y0);
        if (x0 == x1 && y0 == y1)
            break;
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x0 += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y0 += sy;
        }
    }
    return out;
}

// The cells' bounding box, both corners included, in either order.
QRect CellBox(QPoint a, QPoint b)
{
    return QRect(QPoint(std::min(a.x(), b.x()), std::min(a.y(), b.y())),
                 QPoint(std::max(a.x(), b.x()), std::max(a.y(), b.y())));
}

std::vector<QPoint> RectangleCells(QPoint a, QPoint b)
{
    const QRect r = CellBox(a, b);
    std::vector<QPoint> out;
    for (int x = r.left(); x <= r.right(); ++x) {
        out.emplace_back(x, r.top());
        if (r.bottom() != r.top())
            out.emplace_back(x, r.bottom());
    }
    for (int y = r.top() + 1; y < r.bottom(); ++y) {
        out.emplace_back(r.left(), y);
        if (r.right() != r.left())
            out.emplace_back(r.right(), y);
    }
    return out;
}

std::vector<QPoint> EllipseCells(QPoint p0, QPoint p1)
{
    // The midpoint ellipse inside the cells' bounding box, both ends included.
    std::set<std::pair<int, int>> cells;
    auto put = [&](int64_t x, int64_t y) { cells.insert({int(x), int(y)}); };
    int64_t x0 = p0.x(), y0 = p0.y(), x1 = p1.x(), y1 = p1.y();
    int64_t a = std::llabs(x1 - x0), b = std::llabs(y1 - y0), b1 = b & 1;
    int64_t dx = 4 * (1 - a) * b * b, dy = 4 * (b1 + 1) * a * a;
    int64_t err = dx + dy + b1 * a * a, e2;
    if (x0 > x1) {
        x0 = x1;
        x1 += a;
    }
    if (y0 > y1)
        y0 = y1;
    y0 += (b + 1) / 2;
    y1 = y0 - b1;
    a *= 8 * a;
    b1 = 8 * b * b;
    do {
        put(x1, y0);
        put(x0, y0);
        put(x0, y1);
        put(x1, y1);
        e2 = 2 * err;
        if (e2 <= dy) {
            y0++;
            y1--;
            err += dy += a;
        }
        if (e2 >= dx || 2 * err > dy) {
            x0++;
            x1--;
            err += dx += b1;
        }
    } while (x0 <= x1);
    while (y0 - y1 <= b) {
        put(x0 - 1, y0);
        put(x1 + 1, y0++);
        put(x0 - 1, y1);
        put(x1 + 1, y1--);
    }
    const QRect box = CellBox(p0, p1);
    std::vector<QPoint> out;
    for (const auto& [x, y] : cells)
        if (box.contains(x, y))
            out.emplace_back(x, y);
    return out;
}

void FloodFill(QImage& image, QPoint start, QRgb color)
{
    if (!image.rect().contains(start))
        return;
    const QRgb target = image.pixel(start);
    if (target == color)
        return;
    std::vector<QPoint> stack{start};
    while (!stack.empty()) {
        const QPoint p = stack.back();
        stack.pop_back();
        if (!image.rect().contains(p) || image.pixel(p) != target)
            continue;
        image.setPixel(p, color);
        stack.emplace_back(p.x() + 1, p.y());
        stack.emplace_back(p.x() - 1, p.y());
        stack.emplace_back(p.x(), p.y() + 1);
        stack.emplace_back(p.x(), p.y() - 1);
    }
}

QImage MakeOpaque(const QImage& image, QRgb face)
{
    QImage out = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < out.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x)
            line[x] = qAlpha(line[x]) < 128 ? (face | 0xFF000000) : (line[x] | 0xFF000000);
    }
    return out;
}

} // namespace KvtImageEdit

// ------------------------------------------------------------ paint area

CKVTImagePaintArea::CKVTImagePaintArea(CKVTImageEditDlg* owner, QImage* image, QWidget* parent)
    : QWidget(parent), m_owner(owner), m_image(image)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    SetTool(TOOL_PEN);
}

void CKVTImagePaintArea::SetTool(int tool)
{
    m_tool = std::clamp(tool, 0, 5);
    setCursor(ui::LoadCursor(kToolCursors[m_tool], Qt::CrossCursor));
}

QSize CKVTImagePaintArea::CellSize() const { return KvtImageEdit::CellSize(size(), m_image->size()); }

QPoint CKVTImagePaintArea::CellAt(QPoint clientPoint) const
{
    return KvtImageEdit::PointToCell(clientPoint, CellSize(), m_image->size());
}

std::vector<QPoint> CKVTImagePaintArea::PreviewCells() const
{
    if (!m_dragging)
        return {};
    switch (m_tool) {
    case TOOL_LINE:
        return KvtImageEdit::LineCells(m_start, m_current);
    case TOOL_RECT:
        return KvtImageEdit::RectangleCells(m_start, m_current);
    case TOOL_ELLIPSE:
        return KvtImageEdit::EllipseCells(m_start, m_current);
    default:
        return {};
    }
}

void CKVTImagePaintArea::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QPalette& pal = palette();
    p.fillRect(rect(), pal.color(QPalette::Button));
    const QSize cell = CellSize();
    const int w = m_image->width();
    const int h = m_image->height();
    // Grid lines every cell, in the shadow colour.
    p.setPen(pal.color(QPalette::Dark));
    for (int x = 0; x <= w; ++x)
        p.drawLine(1 + x * cell.width(), 1, 1 + x * cell.width(), 1 + h * cell.height());
    for (int y = 0; y <= h; ++y)
        p.drawLine(1, 1 + y * cell.height(), 1 + w * cell.width(), 1 + y * cell.height());
    auto fillCell = [&](int x, int y, QColor c) {
        const QRect r(1 + x * cell.width() + 1, 1 + y * cell.height() + 1, cell.width() - 1, cell.height() - 1);
        if (r.width() > 0 && r.height() > 0)
            p.fillRect(r, c);
        else
            p.fillRect(QRect(1 + x * cell.width(), 1 + y * cell.height(), cell.width(), cell.height()), c);
    };
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            fillCell(x, y, QColor::fromRgba(m_image->pixel(x, y)));
    for (const QPoint& c : PreviewCells())
        if (m_image->rect().contains(c))
            fillCell(c.x(), c.y(), QColor::fromRgba(m_color));
    // The 3-D frame.
    p.setPen(pal.color(QPalette::Dark));
    p.drawLine(0, 0, width() - 1, 0);
    p.drawLine(0, 0, 0, height() - 1);
    p.setPen(pal.color(QPalette::Light));
    p.drawLine(width() - 1, 0, width() - 1, height() - 1);
    p.drawLine(0, height() - 1, width() - 1, height() - 1);
}

void CKVTImagePaintArea::SetPixel(QPoint cell)
{
    if (m_image->rect().contains(cell))
        m_image->setPixel(cell, m_color);
}

void CKVTImagePaintArea::mousePressEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton)
        return;
    m_dragging = true;
    m_start = m_current = CellAt(e->position().toPoint());
    if (m_tool == TOOL_PEN) {
        SetPixel(m_start);
        emit imageChanged();
    }
    update();
}

void CKVTImagePaintArea::mouseMoveEvent(QMouseEvent* e)
{
    if (!m_dragging)
        return;
    const QPoint cell = CellAt(e->position().toPoint());
    if (m_tool == TOOL_PEN) {
        // Every cell passed, also on a fast move.
        for (const QPoint& c : KvtImageEdit::LineCells(m_current, cell))
            SetPixel(c);
        emit imageChanged();
    }
    m_current = cell;
    update();
}

void CKVTImagePaintArea::mouseReleaseEvent(QMouseEvent* e)
{
    if (!m_dragging || e->button() != Qt::LeftButton)
        return;
    m_current = CellAt(e->position().toPoint());
    const std::vector<QPoint> shape = PreviewCells();
    m_dragging = false;
    switch (m_tool) {
    case TOOL_PEN:
        SetPixel(m_current);
        break;
    case TOOL_FILL:
        KvtImageEdit::FloodFill(*m_image, m_current, m_color);
        break;
    case TOOL_LINE:
    case TOOL_RECT:
    case TOOL_ELLIPSE:
        for (const QPoint& c : shape)
            SetPixel(c);
        break;
    case TOOL_PICK:
        if (m_image->rect().contains(m_current)) {
            m_color = m_image->pixel(m_current);
            emit colorPicked(m_color);
        }
        break;
    }
    update();
    emit imageChanged();
}

// ------------------------------------------------------------ palette

CKVTImagePalette::CKVTImagePalette(QWidget* parent) : QWidget(parent) {}

QRgb CKVTImagePalette::GetColor(int index) const
{
    const auto& colors = KvtImageEdit::DefaultPalette();
    return index >= 0 && index < int(colors.size()) ? colors[size_t(index)] : 0xFF000000;
}

bool CKVTImagePalette::SelectColor(QRgb color)
{
    const auto& colors = KvtImageEdit::DefaultPalette();
    for (size_t i = 0; i < colors.size(); ++i)
        if ((colors[i] & 0xFFFFFF) == (color & 0xFFFFFF)) {
            SetSelected(int(i));
            return true;
        }
    return false;
}

void CKVTImagePalette::SetSelected(int index)
{
    if (index < 0 || index >= 20 || index == m_selected)
        return;
    m_selected = index;
    update();
}

int CKVTImagePalette::CellAt(QPoint point) const
{
    const std::vector<QRect> cells = KvtImageEdit::PaletteLayout(size());
    for (size_t i = 0; i < cells.size(); ++i)
        if (cells[i].contains(point))
            return int(i);
    return -1;
}

void CKVTImagePalette::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Button));
    const std::vector<QRect> cells = KvtImageEdit::PaletteLayout(size());
    for (size_t i = 0; i < cells.size(); ++i) {
        const QRect r = cells[i];
        p.fillRect(r.adjusted(1, 1, -1, -1), QColor::fromRgb(GetColor(int(i))));
        p.setPen(palette().color(QPalette::Dark));
        p.drawRect(r.adjusted(0, 0, -1, -1));
        if (int(i) == m_selected) {
            p.setPen(QPen(palette().color(QPalette::WindowText), 2));
            p.drawRect(r.adjusted(1, 1, -1, -1));
        }
    }
}

void CKVTImagePalette::mousePressEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton)
        return;
    const int index = CellAt(e->position().toPoint());
    if (index < 0)
        return;
    SetSelected(index);
    emit colorSelected(GetColor(index));
}

// ------------------------------------------------------------ preview

CKVTImagePreview::CKVTImagePreview(const QImage* image, QWidget* parent) : QWidget(parent), m_image(image) {}

void CKVTImagePreview::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Button));
    const QPoint at((width() - m_image->width()) / 2, (height() - m_image->height()) / 2);
    p.drawImage(at, *m_image);
}

// ------------------------------------------------------------ tool frame

CPaletteCommandFrameWnd::CPaletteCommandFrameWnd(CKVTImageEditDlg* dialog, QWidget* parent)
    : QWidget(parent), m_dialog(dialog), m_bar(new QToolBar(this)), m_tools(new QActionGroup(this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_bar);
    m_bar->setIconSize(QSize(16, 15));
    m_tools->setExclusive(true);
    for (const ToolCommand& c : kCommands) {
        QAction* a = m_bar->addAction(QIcon(res::Path(QStringLiteral("toolbars/images/%1.svg").arg(c.id))),
                                      LoadResString(c.id));
        a->setToolTip(LoadResString(c.id));
        a->setData(c.id);
        a->setObjectName(QStringLiteral("c%1").arg(c.id));
        if (c.tool >= 0) {
            a->setCheckable(true);
            m_tools->addAction(a);
        }
        connect(a, &QAction::triggered, this, [this, id = c.id] { m_dialog->OnCommand(id); });
        m_actions.push_back(a);
        if (c.id == CKVTImageEditDlg::ID_ELLIPSE)
            m_bar->addSeparator();
    }
    if (QClipboard* clip = QGuiApplication::clipboard())
        connect(clip, &QClipboard::dataChanged, this, [this] { UpdateCommands(); });
    UpdateCommands();
}

QAction* CPaletteCommandFrameWnd::Action(uint32_t id) const
{
    for (QAction* a : m_actions)
        if (a->data().toUInt() == id)
            return a;
    return nullptr;
}

void CPaletteCommandFrameWnd::UpdateCommands()
{
    for (const ToolCommand& c : kCommands)
        if (c.tool >= 0)
            if (QAction* a = Action(c.id))
                a->setChecked(c.tool == m_dialog->GetTool());
    if (QAction* paste = Action(CKVTImageEditDlg::ID_PASTE))
        paste->setEnabled(m_dialog->CanPaste());
}

// ------------------------------------------------------------ dialog

CKVTImageEditDlg::CKVTImageEditDlg(const QImage& image, QWidget* parent)
    : ui::Dialog(16133, parent), m_image(KvtImageEdit::MakeOpaque(image))
{
    m_area = Replace(this, 16513, new CKVTImagePaintArea(this, &m_image));
    m_palette = Replace(this, 16516, new CKVTImagePalette);
    m_preview = Replace(this, 16519, new CKVTImagePreview(&m_image));
    m_preview->setMinimumSize(std::max(m_preview->minimumWidth(), m_image.width() + 8),
                              std::max(m_preview->minimumHeight(), m_image.height() + 8));
    m_tools = Replace(this, 16533, new CPaletteCommandFrameWnd(this));
    m_area->setMinimumSize(m_image.width() * 10 + 2, m_image.height() * 10 + 2);
    m_area->SetColor(m_color);
    m_palette->SelectColor(m_color);
    connect(m_area, &CKVTImagePaintArea::imageChanged, this, [this] { m_preview->update(); });
    connect(m_area, &CKVTImagePaintArea::colorPicked, this, [this](QRgb c) { OnColorPicked(c); });
    connect(m_palette, &CKVTImagePalette::colorSelected, this, [this](QRgb c) {
        m_color = c;
        m_area->SetColor(c);
    });
    SetTool(CKVTImagePaintArea::TOOL_PEN);
}

void CKVTImageEditDlg::SetTool(int tool)
{
    m_tool = std::clamp(tool, 0, 5);
    if (m_area)
        m_area->SetTool(m_tool);
    if (m_tools)
        m_tools->UpdateCommands();
}

void CKVTImageEditDlg::OnColorPicked(QRgb color)
{
    m_color = color;
    m_palette->SelectColor(color);
}

bool CKVTImageEditDlg::CanPaste() const
{
    const QClipboard* clip = QGuiApplication::clipboard();
    const QMimeData* data = clip ? clip->mimeData() : nullptr;
    return data && data->hasImage();
}

void CKVTImageEditDlg::OnCommand(uint32_t id)
{
    for (const ToolCommand& c : kCommands)
        if (c.id == id && c.tool >= 0) {
            SetTool(c.tool);
            return;
        }
    switch (id) {
    case ID_COPY:
        Copy();
        break;
    case ID_PASTE:
        Paste();
        break;
    case ID_CLEAR:
        m_image.fill(KvtImageEdit::kFaceColor);
        Changed();
        break;
    default:
        break;
    }
}

void CKVTImageEditDlg::Changed()
{
    m_area->update();
    m_preview->update();
}

void CKVTImageEditDlg::Copy()
{
    QClipboard* clip = QGuiApplication::clipboard();
    if (clip)
        clip->setImage(m_image);
    if (!clip || clip->image().isNull()) {
        ui::Prompt(LoadResString(IDS_CANT_COPY), {}, ui::MB_OK | ui::MB_ICONEXCLAMATION, this);
        return;
    }
    if (m_tools)
        m_tools->UpdateCommands();
}

void CKVTImageEditDlg::Paste()
{
    const QClipboard* clip = QGuiApplication::clipboard();
    const QImage pasted = clip ? clip->image() : QImage();
    if (pasted.isNull()) {
        ui::Prompt(LoadResString(IDS_CANT_PASTE), {}, ui::MB_OK | ui::MB_ICONEXCLAMATION, this);
        return;
    }
    if (pasted.size() != m_image.size()) {
        ui::Prompt(FormatResString(IDS_PASTE_SIZE, m_image.width(), m_image.height()), {},
                   ui::MB_OK | ui::MB_ICONEXCLAMATION, this);
        return;
    }
    m_image = KvtImageEdit::MakeOpaque(pasted);
    Changed();
}
