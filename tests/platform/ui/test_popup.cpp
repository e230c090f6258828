// Focus-first routing (a command target with the focus that is not a view
// comes before the active view), popup menus from a menu model, the system
// colours and the counted beep.
#include "platform/ui/App.h"
#include "platform/ui/Beep.h"
#include "platform/ui/Menu.h"
#include "platform/ui/SysColor.h"
#include "res/CommandIds.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTimer>

#include <gtest/gtest.h>

using namespace ui;

namespace {

std::vector<std::string> g_log;

class FocusView : public View
{
public:
    FocusView()
    {
        setFocusPolicy(Qt::StrongFocus);
        MapCommand(ID_EDIT_COPY, [] { g_log.push_back("view"); });
    }
};

// A plain window that handles commands (the output window, say).
class Pane : public QPlainTextEdit, public CommandTarget
{
public:
    Pane()
    {
        MapCommand(ID_EDIT_COPY, [] { g_log.push_back("pane"); });
        MapUpdate(ID_EDIT_COPY, [this](CmdUI& ui) { ui.Enable(textCursor().hasSelection()); });
    }
};

struct World
{
    Application app;
    MainFrameBase main;
    Pane* pane = new Pane;
    Document* doc = nullptr;
    World()
    {
        app.AddDocTemplate(std::make_unique<DocTemplate>(
            5, QStringLiteral("\nPLC\nPLC\nPLC (*.plc)\n.plc\n\n"), [] { return new Document; },
            [] { return new ChildFrame; }, [] { return new FocusView; }));
        main.MapCommand(ID_CLEAR_OUTPUT, [] { g_log.push_back("main"); });
        pane->setParent(&main);
        pane->setGeometry(0, 500, 300, 80);
        main.resize(800, 600);
        main.show();
        main.activateWindow();
        QApplication::setActiveWindow(&main);
        doc = app.Documents().Template(0)->OpenDocumentFile({});
        QApplication::processEvents();
        g_log.clear();
    }
    ~World() { g_log.clear(); }
};

// Runs act on the popup menu as soon as it is shown.
void OnPopup(std::function<void(QMenu*)> act)
{
    auto* timer = new QTimer;
    auto started = std::make_shared<QElapsedTimer>();
    started->start();
    QObject::connect(timer, &QTimer::timeout, [timer, act, started] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (menu || started->elapsed() > 5000) {
            timer->stop();
            timer->deleteLater();
            if (menu)
                act(menu);
            else
                ADD_FAILURE() << "no popup menu";
        }
    });
    timer->start(10);
}

} // namespace

TEST(FocusRouting, FocusedNonViewTargetComesFirst)
{
    World w;
    ASSERT_NE(w.doc, nullptr);
    w.doc->FirstView()->setFocus();
    QApplication::processEvents();
    EXPECT_TRUE(SendCommand(ID_EDIT_COPY));
    w.pane->setFocus();
    QApplication::processEvents();
    ASSERT_EQ(QApplication::focusWidget(), w.pane);
    std::vector<CommandTarget*> route = CurrentRoute();
    ASSERT_GE(route.size(), 2u);
    EXPECT_EQ(route[0], static_cast<CommandTarget*>(w.pane));
    // The rest is unchanged: the active view follows.
    EXPECT_EQ(route[1], static_cast<CommandTarget*>(w.doc->FirstView()));
    EXPECT_TRUE(SendCommand(ID_EDIT_COPY));
    EXPECT_TRUE(SendCommand(ID_CLEAR_OUTPUT));
    EXPECT_EQ(g_log, (std::vector<std::string>{"view", "pane", "main"}));
    // Its update handler decides while it has the focus.
    CmdUI copy(ID_EDIT_COPY);
    UpdateCommandUI(copy);
    EXPECT_FALSE(copy.Enabled());
}

TEST(PopupMenu, RunsUpdateHandlersAndReturnsTheChoice)
{
    World w;
    std::unique_ptr<Menu> menu = Menu::Parse("POPUP \"Ctx\"\n MENUITEM 57634 \"&Kopírovat\"\n SEPARATOR\n"
                                             " MENUITEM 34023 \"&Vymazat\"\n MENUITEM 40001 \"Nic\"\nEND\n");
    ASSERT_NE(menu, nullptr);
    w.pane->setFocus();
    QApplication::processEvents();
    std::vector<std::pair<QString, bool>> seen;
    OnPopup([&seen](QMenu* m) {
        for (QAction* a : m->actions())
            seen.emplace_back(a->isSeparator() ? QStringLiteral("-") : a->text(), a->isEnabled());
        m->setActiveAction(m->actions().at(2));
        QKeyEvent key(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(m, &key);
    });
    EXPECT_EQ(TrackPopupMenu(*menu->SubMenu(0), w.main.mapToGlobal(QPoint(10, 10)), &w.main), ID_CLEAR_OUTPUT);
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[0], std::make_pair(QStringLiteral("&Kopírovat"), false)); // no selection
    EXPECT_EQ(seen[1].first, QStringLiteral("-"));
    EXPECT_TRUE(seen[2].second);
    EXPECT_FALSE(seen[3].second); // no handler anywhere
    EXPECT_TRUE(g_log.empty());   // the caller sends the command

    // Closed without a choice: 0.
    OnPopup([](QMenu* m) { m->close(); });
    EXPECT_EQ(TrackPopupMenu(*menu->SubMenu(0), QPoint(10, 10), &w.main), 0u);
}

TEST(SysColor, PaletteColoursAndConversion)
{
    EXPECT_EQ(RGB(1, 2, 3), 0x030201u);
    EXPECT_EQ(RefFromColor(ColorFromRef(0x123456)), 0x123456u);
    EXPECT_EQ(ColorFromRef(0x0000FF), QColor(255, 0, 0));
    EXPECT_EQ(ColorFromRef(GetSysColor(COLOR_WINDOW)), QApplication::palette().color(QPalette::Base));
    EXPECT_EQ(ColorFromRef(GetSysColor(COLOR_3DFACE)), QApplication::palette().color(QPalette::Button));
    int before = BeepCount();
    MessageBeep(0);
    EXPECT_EQ(BeepCount(), before + 1);
}
