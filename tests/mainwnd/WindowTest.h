#pragma once
// Small helpers of the main window's tests: pumping events, waiting, and
// answering the next modal dialog or popup menu from a timer.

#include <QPoint>
#include <QWidget>

#include <functional>

namespace wintest {

void PumpEvents(int ms = 0);
// Pumps until cond holds; false (and a test failure naming what) after
// timeoutMs.
bool WaitFor(const std::function<bool()>& cond, int timeoutMs = 5000, const char* what = "condition");
// Runs act on the next modal widget (or popup) of type T as soon as it is
// shown; a different window is rejected (closed) and fails the test.
void OnNextModal(const std::function<bool(QWidget*)>& act, int timeoutMs = 5000);
// Shows w in an active window so that it can take the focus.
void ShowActive(QWidget* w);
// Sends a double-click of the left button at pos of w.
void DoubleClick(QWidget* w, QPoint pos);
void PressKey(QWidget* w, int key, Qt::KeyboardModifiers m = {});

} // namespace wintest
