#pragma once
// The status bar: panes by id whose texts come from update handlers, and
// the message pane (id 0) that shows a command's prompt while a menu item is
// highlighted and the idle text otherwise.

#include "platform/ui/Command.h"

#include <QIcon>
#include <QStatusBar>

#include <vector>

class QLabel;

namespace ui {

class StatusBar : public QStatusBar, public UpdateClient
{
    Q_OBJECT
public:
    explicit StatusBar(QWidget* parent = nullptr);
    ~StatusBar() override;

    void SetIndicators(const std::vector<uint32_t>& ids);
    int CommandToIndex(uint32_t id) const; // -1 when there is no such pane
    uint32_t GetItemID(int index) const;
    QString GetPaneText(int index) const;
    bool SetPaneText(int index, const QString& text);
    // Makes a pane at least as wide as sample (for a pane whose id has no
    // string-table text); false for the message pane or a bad index.
    bool SetPaneWidthText(int index, const QString& sample);
    // The icon of a pane; a null icon clears it.  The message pane has none.
    bool SetPaneIcon(int index, const QIcon& icon);
    // Whether a pane shows an icon now.
    bool HasPaneIcon(int index) const;
    // The number of panes.
    int PaneCount() const { return int(m_ids.size()); }
    const QString& IdleText() const { return m_idle; }
    QString MessageText() const;
    // Where the message is drawn.
    QRect MessageRect() const;
    // The text a pane shows now (shortened when it does not fit).
    QString PaneTextShown(int index) const;

    void UpdateCmdUI() override;

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    QWidget* m_room = nullptr;   // the message's room, the first widget
    std::vector<uint32_t> m_ids;
    std::vector<QLabel*> m_panes; // null for the message pane
    std::vector<bool> m_icons;
    QString m_idle;
};

} // namespace ui
