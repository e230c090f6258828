#pragma once
// Drives a modal run from inside: steps run in order, each once its
// condition holds, polled from the event loop every 10 ms.  A step that
// does not come within its time fails the test and rejects the open
// modal windows, so the run ends instead of hanging.
#include "tests/support/ui/UiTest.h"

#include <QElapsedTimer>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace testsupport::plcviews {

class ModalSteps
{
public:
    ModalSteps& Then(std::function<bool()> cond, std::function<void()> act, const char* what = "step",
                     int timeoutMs = 5000)
    {
        m_steps.push_back({std::move(cond), std::move(act), what, timeoutMs});
        return *this;
    }
    ModalSteps& Do(std::function<void()> act, const char* what = "step")
    {
        return Then([] { return true; }, std::move(act), what);
    }
    // Starts polling; call before the modal run.
    void Start()
    {
        auto state = std::make_shared<State>();
        state->steps = std::move(m_steps);
        state->clock.start();
        auto* t = new QTimer;
        QObject::connect(t, &QTimer::timeout, [t, state] {
            if (state->next >= state->steps.size()) {
                t->stop();
                t->deleteLater();
                return;
            }
            Step& s = state->steps[state->next];
            if (s.cond()) {
                ++state->next;
                state->clock.restart();
                s.act();
            } else if (state->clock.elapsed() > s.timeoutMs) {
                ADD_FAILURE() << "modal step not reached: " << s.what;
                state->next = state->steps.size();
                testsupport::ui::RejectOpenModals();
            }
        });
        t->start(10);
    }

private:
    struct Step
    {
        std::function<bool()> cond;
        std::function<void()> act;
        std::string what;
        int timeoutMs;
    };
    struct State
    {
        std::vector<Step> steps;
        size_t next = 0;
        QElapsedTimer clock;
    };
    std::vector<Step> m_steps;
};

} // namespace testsupport::plcviews
