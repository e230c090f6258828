// The project settings sheet on each of its ten pages.
#include "Shot.h"

#include "tests/projectui/ui/SettingsTest.h"

namespace {

struct Settings : settingstest::SettingsTest
{
    void TestBody() override {}
};

} // namespace

TEST(Shots, ProjectSettings)
{
    for (int page = 0; page < 10; ++page) {
        Settings t;
        t.Sheet(page);
        shots::Take(t.sheet.get(), QStringLiteral("project-settings-%1").arg(page));
    }
}
