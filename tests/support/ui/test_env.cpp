// The application and the per-test environment of support_ui.
#include "platform/sys/Registry.h"
#include "tests/support/ui/UiTest.h"

#include <QFileInfo>
#include <QFontInfo>
#include <QGuiApplication>
#include <QStyle>

using namespace testsupport::ui;

namespace {
std::string g_firstHome;
}

TEST(UiEnvironment, ApplicationHasFixedLooks)
{
    EXPECT_EQ(QApplication::style()->name().toLower(), QStringLiteral("fusion"));
    EXPECT_EQ(QFontInfo(QApplication::font()).family(), QStringLiteral("DejaVu Sans"));
    EXPECT_EQ(QApplication::font().pointSize(), 9);
    const QFontInfo fixed(FixedFont());
    EXPECT_EQ(fixed.family(), QStringLiteral("DejaVu Sans Mono"));
    EXPECT_TRUE(fixed.fixedPitch());
    // The stand-in views ask for "Monospace" and get the test font.
    EXPECT_EQ(QFontInfo(QFont(QStringLiteral("Monospace"))).family(), QStringLiteral("DejaVu Sans Mono"));
    EXPECT_EQ(qApp->devicePixelRatio(), 1.0);
    EXPECT_EQ(QGuiApplication::platformName().toStdString(), std::getenv("QT_QPA_PLATFORM"));
}

TEST(UiEnvironment, EveryTestHasItsOwnSettingsHome)
{
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const char* state = std::getenv("XDG_STATE_HOME");
    const char* data = std::getenv("XDG_DATA_HOME");
    ASSERT_TRUE(config && state && data);
    EXPECT_EQ(std::string(data).rfind(std::string(config).substr(0, std::string(config).rfind('/')), 0), 0u) << data;
    EXPECT_TRUE(QFileInfo(QString::fromLocal8Bit(state)).isDir());
    g_firstHome = config;
    // The real registry store file lands in the temporary home.
    ASSERT_TRUE(sys::Profile::WriteString(u"Options", u"Language", u"ENU"));
    ASSERT_TRUE(sys::RegistryStore::Flush());
    EXPECT_EQ(sys::RegistryStore::FilePath().rfind(g_firstHome, 0), 0u) << sys::RegistryStore::FilePath();
    EXPECT_TRUE(QFileInfo::exists(QString::fromStdString(sys::RegistryStore::FilePath())));
}

TEST(UiEnvironment, TheNextTestStartsWithAnEmptyStore)
{
    ASSERT_FALSE(g_firstHome.empty());
    EXPECT_NE(std::getenv("XDG_CONFIG_HOME"), g_firstHome);
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(g_firstHome)));
    EXPECT_EQ(sys::Profile::GetString(u"Options", u"Language", u"Default"), u"Default");
}
