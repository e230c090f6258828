// The main of every test program that links support_ui: the application
// once per program with fixed looks, and a fresh settings home per test.
#include "platform/sys/Registry.h"
#include "tests/support/platform/TempDir.h"
#include "tests/support/ui/UiTest.h"

#include <QDir>
#include <QFont>
#include <QFontDatabase>
#include <QStyle>
#include <QStyleFactory>

#include <cstdio>
#include <cstdlib>
#include <optional>

namespace {

const char kFontDir[] = "/usr/share/fonts/truetype/dejavu/";

// Loads the DejaVu files directly, so that the fonts do not depend on the
// machine's font configuration.  False (with a message) when the two
// regular faces are missing.
bool LoadFonts()
{
    bool ok = true;
    for (const char* file : {"DejaVuSans.ttf", "DejaVuSans-Bold.ttf", "DejaVuSans-Oblique.ttf",
                             "DejaVuSans-BoldOblique.ttf", "DejaVuSansMono.ttf", "DejaVuSansMono-Bold.ttf",
                             "DejaVuSansMono-Oblique.ttf", "DejaVuSansMono-BoldOblique.ttf"}) {
        const QString path = QString::fromLatin1(kFontDir) + QString::fromLatin1(file);
        if (QFontDatabase::addApplicationFont(path) < 0 &&
            (qstrcmp(file, "DejaVuSans.ttf") == 0 || qstrcmp(file, "DejaVuSansMono.ttf") == 0)) {
            std::fprintf(stderr, "support_ui: cannot load the font %s (Debian package fonts-dejavu-core; "
                                 "run bash cmake/install-deps.sh)\n", qPrintable(path));
            ok = false;
        }
    }
    return ok;
}

// Restores an environment variable when it goes.
class ScopedEnv
{
public:
    ScopedEnv(const char* name, const std::string& value) : m_name(name)
    {
        if (const char* old = std::getenv(name))
            m_old = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv()
    {
        if (m_old)
            ::setenv(m_name, m_old->c_str(), 1);
        else
            ::unsetenv(m_name);
    }

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

// Per test: the settings home and the registry store; at the end the
// modal expectations.  Appended after gtest's printer, so that its
// OnTestEnd runs first and its failures are counted and printed with the
// test.
class UiTestListener : public ::testing::EmptyTestEventListener
{
    struct Home
    {
        testsupport::TempDir dir;
        ScopedEnv config{"XDG_CONFIG_HOME", dir / "config"};
        ScopedEnv state{"XDG_STATE_HOME", dir / "state"};
        ScopedEnv data{"XDG_DATA_HOME", dir / "data"};
    };

public:
    void OnTestStart(const ::testing::TestInfo&) override
    {
        m_home = std::make_unique<Home>();
        QDir().mkpath(QString::fromStdString(m_home->dir / "config"));
        QDir().mkpath(QString::fromStdString(m_home->dir / "state"));
        sys::RegistryStore::Reset();
    }

    void OnTestEnd(const ::testing::TestInfo&) override
    {
        testsupport::ui::ExpectNoPendingModals();
        testsupport::ui::PumpEvents(0);
        sys::RegistryStore::Reset();
        m_home.reset();
    }

private:
    std::unique_ptr<Home> m_home;
};

} // namespace

int main(int argc, char** argv)
{
    // ctest sets offscreen; a capture under a real display sets xcb.
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // Device pixel ratio 1 and one font resolution wherever the test runs.
    ::setenv("QT_ENABLE_HIGHDPI_SCALING", "0", 1);
    ::setenv("QT_SCALE_FACTOR", "1", 1);
    ::unsetenv("QT_SCREEN_SCALE_FACTORS");
    ::setenv("QT_FONT_DPI", "96", 1);
    ::testing::InitGoogleTest(&argc, argv);

    QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Strandwork"));
    QApplication::setOrganizationName(QStringLiteral("ORNA"));
    QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion"));
    if (!fusion) {
        std::fprintf(stderr, "support_ui: the Fusion style is missing\n");
        return 1;
    }
    QApplication::setStyle(fusion);
    QApplication::setPalette(fusion->standardPalette());
    if (!LoadFonts())
        return 1;
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSize(9);
    QApplication::setFont(font);
    // Windows that ask for a generic fixed-pitch family get the test font.
    for (const QString& family : {QStringLiteral("Monospace"), QStringLiteral("monospace")})
        QFont::insertSubstitution(family, QStringLiteral("DejaVu Sans Mono"));

    ::testing::UnitTest::GetInstance()->listeners().Append(new UiTestListener);
    return RUN_ALL_TESTS();
}
