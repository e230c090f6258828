// Popup and menu-bar figures: building and laying out a 40-item popup from a
// menu with update handlers (target under 5 ms), and switching the menu bar
// between two menus whose lists are cached (under 2 ms).

#include "platform/ui/Command.h"
#include "platform/ui/Menu.h"
#include "uilib/KVTMenuBar.h"
#include "uilib/KVTPopupMenu.h"

#include <QApplication>
#include <benchmark/benchmark.h>

namespace {

void App()
{
    static QApplication* app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "bench_popup";
        static char* argv[] = {name, nullptr};
        return new QApplication(argc, argv);
    }();
    (void)app;
}

// A target with an update handler for every item.
class Handlers : public ui::CommandTarget
{
public:
    Handlers()
    {
        for (uint32_t id = 40000; id < 40040; ++id)
            MapUpdate(id, [id](ui::CmdUI& cmd) { cmd.Enable(id % 3 != 0); });
    }
};

std::unique_ptr<ui::Menu> MakeMenu(int items, uint32_t first)
{
    auto menu = std::make_unique<ui::Menu>();
    for (int i = 0; i < items; ++i) {
        if (i % 8 == 7)
            menu->AppendSeparator();
        menu->AppendItem(first + uint32_t(i), QStringLiteral("Položka &%1\tCtrl+%1").arg(i));
    }
    return menu;
}

void BM_BuildPopup40(benchmark::State& state)
{
    App();
    Handlers handlers;
    ui::SetRouteProvider([&handlers] { return std::vector<ui::CommandTarget*>{&handlers}; });
    std::unique_ptr<ui::Menu> menu = MakeMenu(40, 40000);
    CKVTPopupMenuBar bar;
    for (auto _ : state) {
        ui::UpdateMenuItems(*menu);
        bar.CreateFromMenu(menu.get(), true);
        benchmark::DoNotOptimize(bar.CalcPopupSize());
        bar.RepositionButtons();
    }
    ui::SetRouteProvider(nullptr);
}
BENCHMARK(BM_BuildPopup40)->Unit(benchmark::kMicrosecond);

void BM_SwitchCachedMenus(benchmark::State& state)
{
    App();
    auto a = ui::Menu::Parse(
        "POPUP \"&Soubor\"\n MENUITEM 1 \"a\"\nEND\nPOPUP \"&Editace\"\n MENUITEM 2 \"b\"\nEND\n"
        "POPUP \"&Zobrazit\"\n MENUITEM 3 \"c\"\nEND\nPOPUP \"&Projekt\"\n MENUITEM 4 "
        "\"d\"\nEND\n");
    auto b = ui::Menu::Parse(
        "POPUP \"&Soubor\"\n MENUITEM 1 \"a\"\nEND\nPOPUP \"&Okno\"\n MENUITEM 5 \"e\"\nEND\n"
        "POPUP \"&Nápověda\"\n MENUITEM 6 \"f\"\nEND\n");
    QWidget parent;
    parent.resize(800, 100);
    CKVTMenuBar bar(&parent);
    bar.Create(&parent, 0x50402808 | 0x34, 0xE806);
    bar.CreateFromMenu(a.get(), true);
    bar.CreateFromMenu(b.get(), false); // both lists are in the cache now
    bool flip = false;
    for (auto _ : state) {
        bar.CreateFromMenu(flip ? b.get() : a.get(), false);
        flip = !flip;
    }
}
BENCHMARK(BM_SwitchCachedMenus)->Unit(benchmark::kMicrosecond);

} // namespace
