// The splash window's shared tick counter, the about box's click sequence
// and the tip of the day with real tip files.
#include "mainwnd/AboutDlg.h"
#include "mainwnd/SplashWnd.h"
#include "mainwnd/TipDlg.h"
#include "platform/sys/Registry.h"
#include "platform/ui/Prompt.h"
#include "tests/mainwnd/mainwnd_env.h"
#include "tests/support/ui/UiTest.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QDateTime>
#include <QFile>
#include <QLabel>

#include <gtest/gtest.h>

using namespace mainwndtest;
using namespace testsupport::ui;

namespace {

// CR LF lines in code page 1250 (given as UTF-8 here).
std::string TipFile(const std::vector<std::string>& lines)
{
    std::string out;
    for (const std::string& l : lines)
        out += l + "\r\n";
    return out;
}

class Tips : public RegistryTest
{
protected:
    QString Write(const std::string& bytes, const std::string& name = "strandwork.tip")
    {
        dir.Write(name, bytes);
        return QString::fromStdString(dir / name);
    }
};

} // namespace

TEST(Splash, TheWindowOutlivesItsObjectAndClosesOnTheFifthTick)
{
    CSplashWindow::TickCounter() = 0;
    QPointer<CSplashWindow> window;
    {
        CSplashWnd splash(nullptr);
        splash.ShowSplash();
        window = splash.Window();
    }
    ASSERT_TRUE(window);
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->GetDlgItem(CSplashWindow::IDC_PICTURE)->property("pixmap").isNull());
    EXPECT_EQ(qobject_cast<QLabel*>(window->GetDlgItem(CSplashWindow::IDC_VERSION))->text(),
              QStringLiteral("Verze 2.0.16 rev. 658"));
    for (int i = 0; i < 4; ++i)
        window->OnTick();
    EXPECT_TRUE(window->isVisible());
    window->OnTick();
    EXPECT_TRUE(WaitFor([&] { return window.isNull(); }, 2000, "the splash deleted"));

    // The counter stays at 4: a second splash goes on its first tick, here
    // by its own timer.
    CSplashWnd second;
    second.ShowSplash();
    QPointer<CSplashWindow> w2 = second.Window();
    ASSERT_TRUE(w2);
    EXPECT_TRUE(WaitFor([&] { return w2.isNull(); }, 2000, "the second splash deleted"));
}

TEST(Splash, AClickClosesIt)
{
    CSplashWindow::TickCounter() = 0;
    CSplashWnd splash;
    splash.ShowSplash();
    QPointer<CSplashWindow> window = splash.Window();
    ASSERT_TRUE(window);
    Click(window->GetDlgItem(CSplashWindow::IDC_VERSION));
    EXPECT_TRUE(WaitFor([&] { return window.isNull(); }, 2000, "the splash deleted"));
}

TEST(About, ThreeCopyrightClicksThenTheIconShowTheSecondPicture)
{
    CAboutDlg about;
    about.OnInitDialog();
    about.show();
    QWidget* icon = about.GetDlgItem(CAboutDlg::IDC_ICON);
    QWidget* second = about.GetDlgItem(CAboutDlg::IDC_SECOND);
    ASSERT_TRUE(icon && second);
    EXPECT_FALSE(second->isVisible());
    EXPECT_EQ(qobject_cast<QLabel*>(about.GetDlgItem(CAboutDlg::IDC_VERSION))->text(),
              QStringLiteral("Verze 2.0.16 rev. 658"));
    const QFont product = about.GetDlgItem(CAboutDlg::IDC_PRODUCT)->font();
    EXPECT_TRUE(product.italic());
    EXPECT_EQ(product.stretch(), 200);
    for (int i = 0; i < 3; ++i)
        Click(about.GetDlgItem(CAboutDlg::IDC_COPYRIGHT));
    EXPECT_EQ(about.ClickCount(), 3);
    Click(icon);
    EXPECT_FALSE(icon->isVisible());
    EXPECT_TRUE(second->isVisible());

    // Any other order spoils it for this showing.
    CAboutDlg again;
    again.OnInitDialog();
    again.show();
    Click(again.GetDlgItem(CAboutDlg::IDC_ICON));
    EXPECT_EQ(again.ClickCount(), 5);
    for (int i = 0; i < 3; ++i)
        again.OnCopyrightClicked();
    again.OnIconClicked();
    EXPECT_TRUE(again.GetDlgItem(CAboutDlg::IDC_ICON)->isVisible());
}

TEST_F(Tips, TheFileNameAndTheTimeStampText)
{
    EXPECT_EQ(CTipDlg::TipFileOf(QStringLiteral("/opt/bin/strandwork")), QStringLiteral("/opt/bin/strandwork.tip"));
    EXPECT_EQ(CTipDlg::TipFileOf(QStringLiteral("/opt/bin/Strandwork.exe")), QStringLiteral("/opt/bin/Strandwork.tip"));
    const QString stamp = CTipDlg::TimeStampText(QDateTime(QDate(1980, 1, 2), QTime(2, 3, 55)));
    EXPECT_EQ(stamp, QStringLiteral("Wed Jan  2 02:03:55 1980"));
    EXPECT_EQ(stamp.size(), 24);
}

TEST_F(Tips, TipsComeInTurnSkippingCommentsAndANewFileRestarts)
{
    // "Příliš" in code page 1250.
    const std::string czech = "P\xF8\xED" "li\x9A";
    const QString path = Write(TipFile({"; a comment", "First tip", " indented", "", "\tTabbed", czech + " second",
                                        "Third"}));
    {
        CTipDlg tips(nullptr, path);
        EXPECT_TRUE(tips.m_bStartup);
        EXPECT_EQ(tips.TipText(), QStringLiteral("First tip"));
        tips.OnNextTip();
        EXPECT_EQ(tips.TipText(), QStringLiteral("Příliš second"));
    }
    {
        CTipDlg tips(nullptr, path);   // goes on where the last one stopped
        EXPECT_EQ(tips.TipText(), QStringLiteral("Third"));
        tips.OnNextTip();              // wraps to the start
        EXPECT_EQ(tips.TipText(), QStringLiteral("First tip"));
    }
    // A new modification time starts again at the first tip.
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    f.setFileTime(QDateTime::currentDateTime().addSecs(-3600), QFileDevice::FileModificationTime);
    f.close();
    CTipDlg tips(nullptr, path);
    EXPECT_EQ(tips.TipText(), QStringLiteral("First tip"));
}

TEST_F(Tips, FilesWithoutTipsNeverHangAndAPositionBeyondTheEndWraps)
{
    for (const std::string& bytes : {std::string(), TipFile({"; only", "; comments", " and", ""})}) {
        const QString path = Write(bytes);
        CTipDlg tips(nullptr, path);
        EXPECT_EQ(tips.TipText(), QStringLiteral("Soubor s tipy neobsahuje žádný tip."));
        EXPECT_FALSE(tips.HasTips());
        tips.OnInitDialog();
        EXPECT_FALSE(tips.GetDlgItem(CTipDlg::IDC_NEXT)->isEnabled());
        tips.OnNextTip();
        EXPECT_FALSE(tips.HasTips());
    }
    const QString path = Write(TipFile({"One", "Two"}), "pos.tip");
    { CTipDlg first(nullptr, path); }   // writes the time stamp
    sys::Profile::WriteInt(u"EdtLib", u"FilePos", 100000);
    CTipDlg tips(nullptr, path);
    EXPECT_EQ(tips.TipText(), QStringLiteral("One"));
}

TEST_F(Tips, LongLinesAreCutAndAMissingFileOnlyBeeps)
{
    const QString path = Write(TipFile({std::string(1500, 'x'), "Next"}));
    CTipDlg tips(nullptr, path);
    EXPECT_EQ(tips.TipText().size(), CTipDlg::kMaxTip);
    tips.OnNextTip();
    EXPECT_EQ(tips.TipText(), QStringLiteral("Next"));   // not the rest of the long line

    CTipDlg missing(nullptr, QString::fromStdString(dir / "none.tip"));
    EXPECT_FALSE(missing.IsFileOpen());
    EXPECT_EQ(missing.TipText(), QStringLiteral("Soubor s tipy v zadaném adresáři neexistuje."));
    EXPECT_EQ(missing.DoModal(), ui::IDOK);   // no window: nothing to answer
}

TEST_F(Tips, OkStoresStartUp)
{
    const QString path = Write(TipFile({"Only tip"}));
    {
        CTipDlg tips(nullptr, path);
        OnNextModal<CTipDlg>([](CTipDlg* d) {
            auto* box = qobject_cast<QCheckBox*>(d->GetDlgItem(CTipDlg::IDC_STARTUP));
            ASSERT_NE(box, nullptr);
            EXPECT_TRUE(box->isChecked());
            EXPECT_EQ(qobject_cast<QLabel*>(d->GetDlgItem(CTipDlg::IDC_TIP))->text(), QStringLiteral("Only tip"));
            box->setChecked(false);
            qobject_cast<QAbstractButton*>(d->GetDlgItem(1))->click();
        });
        tips.DoModal();
    }
    EXPECT_EQ(sys::Profile::GetInt(u"EdtLib", u"StartUp", -1), 1);
    CTipDlg next(nullptr, path);
    EXPECT_FALSE(next.m_bStartup);
}
