#include "platform/ui/StatusBar.h"

#include "res/StringTable.h"

#include <QLabel>

#include <algorithm>

namespace ui {

namespace {
int WidthOf(const QLabel* l, const QString& sample)
{
    return l->fontMetrics().horizontalAdvance(sample) + 2 * l->margin() + 6;
}

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
    connect(this, &QStatusBar::messageChanged, this, [this](const QString& text) {
        if (text.isEmpty() && !m_idle.isEmpty())
            showMessage(m_idle);
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
        auto* l = new QLabel(this);
        l->setObjectName(QStringLiteral("pane%1").arg(id));
        // At least as wide as the string-table text of its id.
        const QString sample = LoadResString(id);
        if (!sample.isEmpty())
            l->setMinimumWidth(WidthOf(l, sample));
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
    QLabel* l = m_panes[size_t(index)];
    l->setMinimumWidth(std::max(l->minimumWidth(), WidthOf(l, sample)));
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
