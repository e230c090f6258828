#pragma once
// A link with traffic for the link's windows: the link object open to the
// simulator (started as a child process over UDP) and asked for the PLC
// status every 20 ms.  The tests that use it link linkobj and linkui.

#include "link/linkobj/olnk_link.h"
#include "link/ui/LinkMessages.h"
#include "platform/sys/CodePage.h"
#include "tests/support/ui/UiTest.h"

#include <QObject>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

namespace testsupport::ui {

struct LinkTraffic
{
    std::unique_ptr<Simulator> sim = Simulator::StartUdp();
    COlnkLink link{linkui::WindowPoster()};
    QObject target;
    ::ui::MessageHandle handle = 0;
    QTimer pulse;

    // Without a simulator (sim null, the failure already reported) the
    // link stays closed.
    LinkTraffic()
    {
        if (!sim)
            return;
        const std::u16string conn = sys::Utf8ToUtf16Lenient(sim->ConnectionString());
        EXPECT_EQ(link.Open(333, conn.c_str(), 1000), 1);
        for (uint16_t id : {0, 1, 2, 258})
            link.InitInterface(id);
        link.Start();
        WaitFor([&] { return link.IsEstablished(); }, 20000, "the link");
        handle =
            ::ui::RegisterMessageTarget(&target, [](uint32_t, uintptr_t, intptr_t,
                                                    ::ui::MessageRecord*) { return intptr_t(0); });
        auto* pl = static_cast<IOlnkPL*>(link.Query(OLNK_IID_PL));
        QObject::connect(&pulse, &QTimer::timeout, &pulse,
                         [this, pl] { pl->GetStatus(handle, 0); });
        pulse.start(20);
    }
    ~LinkTraffic()
    {
        pulse.stop();
        link.Close();
        if (handle)
            ::ui::UnregisterMessageTarget(handle);
    }
};

} // namespace testsupport::ui
