#include "platform/ui/StatusBar.h"

#include "res/StringTable.h"

#include <QLabel>
#include <QPaintEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>

#include <algorithm>

namespace ui {

namespace {
int WidthOf(const QLabel* l, const QString& sample)
{
    return l->fontMetrics().horizontalAdvance(sample) + 2 * l->margin() + 6;
}

// A pane: as wide as its sample text (or its own text, when longer) while
// there is room; narrower when the bar is short, its text then shortened
// with an ellipsis, never drawn beyond the pane.
class PaneLabel : public QLabel
{
public:
    explicit PaneLabel(QWidget* parent) : QLabel(parent) {}
    void SetLeast(int width)
    {
        m_least = std::max(m_least, width);
        updateGeometry();
    }
    QSize sizeHint() const override
    {
        const QSize s = QLabel::sizeHint();
        return {std::max(s.width(), m_least), s.height()};
    }
    QSize minimumSizeHint() const override
    {
        const QSize s = QLabel::minimumSizeHint();
        if (!pixmap().isNull())
            return s;
        return {std::min(s.width(), WidthOf(this, QStringLiteral("\u2026"))), s.height()};
    }
    QString Shown() const
    {
        if (!pixmap().isNull())
            return text();
        const int room = contentsRect().width() - 2 * margin();
        return fontMetrics().elidedText(text(), Qt::ElideRight, std::max(0, room));
    }

protected:
    void paintEvent(QPaintEvent* e) override
    {
        if (!pixmap().isNull() || text().isEmpty()) {
            QLabel::paintEvent(e);
            return;
        }
        QPainter p(this);
        p.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
        const QRect r = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
        p.drawText(r, int(alignment()) | Qt::TextSingleLine, Shown());
    }

private:
    int m_least = 0;
};

// The room of the message, the first of the bar's widgets: it keeps the
// idle text's width while the panes can give way.  It draws nothing; the
// bar draws the message there.
class MessageRoom : public QWidget
{
public:
    MessageRoom(QWidget* parent, int least) : QWidget(parent), m_least(least)
    {
        setObjectName(QStringLiteral("MessageRoom"));
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }
    QSize sizeHint() const override { return {m_least, 1}; }
    QSize minimumSizeHint() const override { return {m_least, 1}; }

private:
    int m_least;
};

} // namespace

namespace {
class PaneCmdUI : public CmdUI
{
public:
    PaneCmdUI(uint32_t id, QLabel* label) : CmdUI(id), m_label(label) {}
    void Enable(bool on) override
    {
        CmdUI::Enable(on);
        m_label->setEnabled(on);
        if (!on && !m_label->text().isEmpty())
            m_label->clear(); // a disabled pane shows no text
    }
    void SetText(const QString& text) override
    {
        CmdUI::SetText(text);
        if (m_label->text() != text)
            m_label->setText(text);
    }

private:
    QLabel* m_label;
};
} // namespace

StatusBar::StatusBar(QWidget* parent) : QStatusBar(parent), m_idle(QStringLiteral("Připraven"))
{
    m_room = new MessageRoom(this, fontMetrics().horizontalAdvance(m_idle) + 12);
    addPermanentWidget(m_room, 1);
    connect(this, &QStatusBar::messageChanged, this, [this](const QString& text) {
        if (text.isEmpty() && !m_idle.isEmpty())
            showMessage(m_idle);
        update(MessageRect());
    });
    showMessage(m_idle);
    IdleUpdater::Instance().AddClient(this);
}

StatusBar::~StatusBar() = default;

void StatusBar::SetIndicators(const std::vector<uint32_t>& ids)
{
    for (QLabel* l : m_panes)
        if (l) {
            removeWidget(l);
            delete l;
        }
    m_panes.clear();
    m_ids = ids;
    m_icons.assign(ids.size(), false);
    for (uint32_t id : ids) {
        if (id == 0) {
            m_panes.push_back(nullptr);
            continue;
        }
        auto* l = new PaneLabel(this);
        l->setObjectName(QStringLiteral("pane%1").arg(id));
        // As wide as the string-table text of its id while there is room.
        const QString sample = LoadResString(id);
        if (!sample.isEmpty())
            l->SetLeast(WidthOf(l, sample));
        l->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        addPermanentWidget(l);
        m_panes.push_back(l);
    }
}

int StatusBar::CommandToIndex(uint32_t id) const
{
    for (size_t i = 0; i < m_ids.size(); ++i)
        if (m_ids[i] == id)
            return int(i);
    return -1;
}

uint32_t StatusBar::GetItemID(int index) const
{
    return index >= 0 && size_t(index) < m_ids.size() ? m_ids[size_t(index)] : 0;
}

QString StatusBar::GetPaneText(int index) const
{
    if (index < 0 || size_t(index) >= m_panes.size())
        return {};
    return m_panes[size_t(index)] ? m_panes[size_t(index)]->text() : currentMessage();
}

bool StatusBar::SetPaneText(int index, const QString& text)
{
    if (index < 0 || size_t(index) >= m_panes.size())
        return false;
    if (m_panes[size_t(index)])
        m_panes[size_t(index)]->setText(text);
    else
        showMessage(text);
    return true;
}

bool StatusBar::SetPaneWidthText(int index, const QString& sample)
{
    if (index < 0 || size_t(index) >= m_panes.size() || !m_panes[size_t(index)])
        return false;
    auto* l = static_cast<PaneLabel*>(m_panes[size_t(index)]);
    l->SetLeast(WidthOf(l, sample));
    return true;
}

bool StatusBar::SetPaneIcon(int index, const QIcon& icon)
{
    if (index < 0 || size_t(index) >= m_panes.size() || !m_panes[size_t(index)])
        return false;
    QLabel* l = m_panes[size_t(index)];
    if (icon.isNull()) {
        if (m_icons[size_t(index)])
            l->setPixmap(QPixmap());
        m_icons[size_t(index)] = false;
        return true;
    }
    l->setPixmap(icon.pixmap(QSize(16, 16)));
    m_icons[size_t(index)] = true;
    return true;
}

bool StatusBar::HasPaneIcon(int index) const
{
    return index >= 0 && size_t(index) < m_icons.size() && m_icons[size_t(index)];
}

QString StatusBar::MessageText() const { return currentMessage(); }

QRect StatusBar::MessageRect() const
{
    const QRect room = m_room->geometry();
    const int left = std::max(room.left(), 6);
    return QRect(left, 0, std::max(0, room.right() - 2 - left), height());
}

QString StatusBar::PaneTextShown(int index) const
{
    if (index < 0 || size_t(index) >= m_panes.size() || !m_panes[size_t(index)])
        return {};
    return static_cast<const PaneLabel*>(m_panes[size_t(index)])->Shown();
}

void StatusBar::paintEvent(QPaintEvent* e)
{
    // As the base draws it, but the message only inside its own room and
    // shortened to it: the base draws it from the left edge up to the
    // first pane even when the panes leave it no room, over them.
    QPainter p(this);
    QStyleOption opt;
    opt.initFrom(this);
    style()->drawPrimitive(QStyle::PE_PanelStatusBar, &opt, &p, this);
    for (QLabel* l : m_panes) {
        if (!l || !l->isVisible())
            continue;
        const QRect ir = l->geometry().adjusted(-2, -1, 2, 1);
        if (!e->rect().intersects(ir))
            continue;
        QStyleOption item(0);
        item.rect = ir;
        item.palette = palette();
        item.state = QStyle::State_None;
        style()->drawPrimitive(QStyle::PE_FrameStatusBarItem, &item, &p, l);
    }
    const QString message = currentMessage();
    const QRect r = MessageRect();
    if (message.isEmpty() || r.width() <= 0)
        return;
    p.setPen(palette().windowText().color());
    p.drawText(r, Qt::AlignLeading | Qt::AlignVCenter | Qt::TextSingleLine,
               fontMetrics().elidedText(message, Qt::ElideRight, r.width()));
}

void StatusBar::UpdateCmdUI()
{
    // Shown, or about to be shown with its visible window.
    if (isHidden() || !window()->isVisible())
        return;
    std::vector<CommandTarget*> route = CurrentRoute();
    for (size_t i = 0; i < m_ids.size(); ++i) {
        if (!m_panes[i])
            continue;
        PaneCmdUI cmd(m_ids[i], m_panes[i]);
        UpdateCommandUITo(route, cmd, false);
    }
}

} // namespace ui
