#include "uilib/KVTFrameHooks.h"

#include "platform/ui/App.h"

#include <QApplication>
#include <QWidget>

KvtFrameHooks* KvtFrameHooks::FromWidget(QWidget* w)
{
    for (QWidget* p = w; p; p = p->parentWidget())
        if (auto* hooks = dynamic_cast<KvtFrameHooks*>(p))
            return hooks;
    if (ui::Application* app = ui::Application::Instance())
        if (auto* hooks = dynamic_cast<KvtFrameHooks*>(app->GetMainWnd()))
            return hooks;
    return nullptr;
}
