#pragma once
// A main frame with the library menu bar over test menu 9200, a pane that
// takes the focus and handles commands, and helpers to find open popups.

#include "platform/sys/Registry.h"
#include "platform/ui/Accel.h"
#include "platform/ui/App.h"
#include "platform/ui/Menu.h"
#include "uilib/KVTCommandUsage.h"
#include "uilib/KVTMenuBar.h"
#include "uilib/KVTMenuButtonCache.h"
#include "uilib/KVTPopupMenu.h"
#include "uilib/KVTToolbarMenuButton.h"
#include "uilib/KVTPopupCore.h"

#include "tests/support/ui/UiTest.h"

#include <QApplication>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace menutest {

using namespace testsupport::ui;

// A focusable pane that handles commands (the route's first target).
class Pane : public QWidget, public ui::CommandTarget
{
public:
    std::vector<uint32_t> ran;
    Pane()
    {
        setFocusPolicy(Qt::StrongFocus);
        for (uint32_t id : {57601u, 57602u, 33846u, 33847u, 57617u, 57643u})
            MapCommand(id, [this, id] { ran.push_back(id); });
    }
};

class Frame : public ui::MainFrameBase
{
public:
    CKVTMenuBar* bar = nullptr;

protected:
    void OnActiveMenuChanged(ui::Menu* menu) override
    {
        if (bar)
            bar->CreateFromMenu(menu, false);
    }
    bool OnMenuAltKey() override
    {
        if (bar->hasFocus())
            PressKey(bar, Qt::Key_Escape);
        else
            bar->EnterKeyboardMode();
        return true;
    }
    bool OnMenuChar(QChar c) override { return bar->OnMenuChar(c); }
};

inline void SetMenuDelayZero()
{
    sys::HKEY key = nullptr;
    sys::RegCreateKeyEx(sys::HKEY_CURRENT_USER, u"Control Panel\\Desktop", sys::KEY_ALL_ACCESS,
                        &key);
    sys::RegSetString(key, u"MenuShowDelay", u"0");
    sys::RegCloseKey(key);
    KvtMenuDelay::Reset();
}

// Mouse input through the window system, as a user's: an open popup sees it first.
inline void SysClick(QWidget* w, QPoint pos)
{
    QWidget* top = w->window();
    QTest::mouseClick(top->windowHandle(), Qt::LeftButton, {}, w->mapTo(top, pos));
}
inline void SysMove(QWidget* w, QPoint pos)
{
    QWidget* top = w->window();
    QTest::mouseMove(top->windowHandle(), w->mapTo(top, pos));
}

inline void CloseAllPopups()
{
    while (CKVTPopupMenu* p = CKVTPopupMenu::ActivePopup())
        p->CloseChain();
    QApplication::processEvents();
}

class MenuWorld : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SetMenuDelayZero();
        CKVTToolbarShared::Options() = KvtToolbarOptions();
        CKVTToolbarShared::Options().menuShadows = false;
        app = std::make_unique<ui::Application>();
        frame = new Frame;
        app->SetMainWnd(frame);
        ASSERT_TRUE(frame->LoadFrame(9200));
        auto* central = new QWidget;
        auto* column = new QVBoxLayout(central);
        column->setContentsMargins(0, 0, 0, 0);
        bar = new CKVTMenuBar(central);
        bar->Create(central, 0x50402808 | 0x34, 0xE806);
        bar->SetMenuResourceId(9200);
        column->addWidget(bar);
        pane = new Pane;
        column->addWidget(pane, 1);
        column->addWidget(frame->MdiArea(), 1);
        frame->setCentralWidget(central);
        frame->bar = bar;
        bar->CreateFromMenu(frame->GetDefaultMenu(), true);
        frame->resize(600, 400);
        frame->move(0, 0);
        frame->show();
        frame->activateWindow();
        QApplication::setActiveWindow(frame);
        pane->setFocus();
        WaitFor([this] { return pane->hasFocus(); }, 2000, "the pane has the focus");
        bar->AdjustLayout();
    }
    void TearDown() override
    {
        CloseAllPopups();
        CKVTToolbarShared::SetCustomizeMode(false);
        delete frame;
        app.reset();
        CKVTMenuButtonCache::Instance().RemoveAll();
        CKVTCommandUsage::Instance().Reset();
        CKVTToolbarShared::SetBasicCommands({});
        CKVTPopupMenu::SetShowAll(false);
        KvtMenuDelay::Reset();
    }
    // The centre of the menu bar's item i.
    QPoint Item(int i) const { return bar->GetItemRect(i).center(); }
    CKVTPopupMenu* OpenItem(int i)
    {
        SysClick(bar, Item(i));
        CKVTPopupMenu* p = CKVTPopupMenu::ActivePopup();
        EXPECT_NE(p, nullptr);
        return p;
    }
    std::unique_ptr<ui::Application> app;
    Frame* frame = nullptr;
    CKVTMenuBar* bar = nullptr;
    Pane* pane = nullptr;
};

inline QStringList Texts(CKVTToolBar* b)
{
    QStringList out;
    for (int i = 0; i < b->Items().Count(); ++i)
        out << (b->GetButton(i)->IsSeparator() ? QStringLiteral("-") : b->GetButton(i)->m_text);
    return out;
}

} // namespace menutest
