#pragma once
// Shared pieces of the main window's tests: the output window's font and
// colour category, showing a window active, and a fixture that gives each
// test a configuration folder and a temporary folder of its own and empties
// the registry store after it.

#include "platform/sys/Registry.h"
#include "tests/support/platform/TempDir.h"
#include "tests/support/ui/UiTest.h"

#include <QApplication>
#include <QString>
#include <QWidget>

#include <gtest/gtest.h>

namespace mainwndtest {

inline const QString kCat = QStringLiteral("OutputWindow");

// Shows w's window and makes it active, so that its widgets take the focus.
inline void ShowActive(QWidget* w)
{
    QWidget* top = w->window();
    top->show();
    top->activateWindow();
    QApplication::setActiveWindow(top);
    testsupport::ui::WaitFor([top] { return top->isVisible(); }, 2000, "window shown");
}

class RegistryTest : public ::testing::Test
{
protected:
    void TearDown() override { sys::RegistryStore::Reset(); }

    testsupport::ScopedConfigHome config;
    testsupport::TempDir dir;
};

} // namespace mainwndtest
