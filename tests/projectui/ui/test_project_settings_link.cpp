// The settings sheet's parts that reach the link: the project's connection
// string on the link tab, the remote location of a support file and the
// watch periods while debugging, against the simulator over UDP.
#include "link/linkobj/olnk_link.h"
#include "link/ui/OxfrFileDialog.h"
#include "platform/ui/Messages.h"
#include "tests/projectui/ui/SettingsTest.h"
#include "tests/support/link/LinkTestText.h"
#include "tests/support/platform/PtyPair.h"
#include "tools/cssim/cssim.h"

#include <QCheckBox>

using namespace settingstest;

namespace {

struct LinkTest : SettingsTest
{
    testsupport::TempDir share;
    std::unique_ptr<cssim::Simulator> sim;
    LinkTest() { linkui::COlnkPropPage::SetPortCandidates(std::vector<sys::SerialCandidate>{}); }
    ~LinkTest() override
    {
        linkui::COlnkPropPage::SetPortCandidates(std::nullopt);
        if (doc->Link().IsOpen())
            doc->Link().Close();
        sim.reset();
    }
    // Starts the simulator with its share "DATA" and the project's link to it.
    bool Connect()
    {
        const uint16_t ours = testsupport::PickFreeUdpPort();
        cssim::Config cfg;
        cfg.udpLocalPort = testsupport::PickFreeUdpPort();
        cfg.peerPort = ours;
        cfg.shares = {{"DATA", share.Path()}};
        sim = std::make_unique<cssim::Simulator>(cfg);
        if (!sim->start())
            return false;
        doc->Data().OlnkConnectionString = W(testsupport::UdpLoopbackConn(ours, sim->publicPort()));
        return tui::WaitFor([&] { return doc->Link().IsEstablished() || doc->StartCommunication(); }, 5000,
                            "the link to start") &&
               tui::WaitFor([&] { return doc->Link().IsEstablished(); }, 5000, "the link to connect");
    }
    // Asks the PLC's status and waits for the reply's message: the replies
    // to the requests sent before it have been handled by then.
    bool RoundTrip()
    {
        auto* pl = static_cast<IOlnkPL*>(doc->Link().Query(OLNK_IID_PL));
        bool replied = false;
        QObject obj;
        const auto h = ui::RegisterMessageTarget(&obj, [&](uint32_t, uintptr_t, intptr_t, ui::MessageRecord*) {
            replied = true;
            return intptr_t(0);
        });
        const bool ok = pl && pl->GetStatus(h, 0) == 1 && tui::WaitFor([&] { return replied; }, 5000, "the status");
        ui::UnregisterMessageTarget(h);
        return ok;
    }
    // Answers the next remote dialog with a typed path once its listing ended.
    void ChooseRemote(const QString& path)
    {
        tui::OnNextModal<linkui::COxfrFileDialog>([path](linkui::COxfrFileDialog* d) {
            tui::WaitFor([d] { return !d->IsBusy(); }, 5000, "the remote listing");
            auto* name = d->Item<QLineEdit>(linkui::COxfrFileDialog::IDC_NAME);
            ASSERT_NE(name, nullptr);
            name->setText(path);
            d->OnOK();
        }, 10000);
    }
};

} // namespace

TEST_F(LinkTest, BaudChangeWritesOnlyTheProjectsString)
{
    host.settings.OlnkConnectionString = u"P = Com1; B = 115200; W = 20;";
    doc->Data().OlnkConnectionString = u"P = Com2; B = 115200; W = 20;";
    Sheet(Link);
    sheet->accept(); // no change
    EXPECT_FALSE(doc->IsModified());
    EXPECT_TRUE(Hints().empty());

    Sheet(Link);
    auto* baud = Ctl<QComboBox>(Link, linkui::COlnkPropPage::IDC_BAUD);
    ASSERT_NE(baud, nullptr);
    Choose(Link, linkui::COlnkPropPage::IDC_BAUD, baud->findData(9600));
    sheet->accept();
    EXPECT_EQ(doc->Data().OlnkConnectionString, u"P = Com2; B = 9600; W = 20;");
    EXPECT_TRUE(doc->IsModified());
    EXPECT_EQ(Hints(), std::vector<long>{HINT_LINK});
    EXPECT_EQ(host.settings.OlnkConnectionString, u"P = Com1; B = 115200; W = 20;");
}

TEST_F(LinkTest, UdpStringKeepsAllItsKeys)
{
    doc->Data().OlnkConnectionString = u"Type = UDP; RemoteIP = 127.0.0.1; RemotePort = 5001; LocalPort = 5002; W = 20;";
    Sheet(Link);
    auto* baud = Ctl<QComboBox>(Link, linkui::COlnkPropPage::IDC_BAUD);
    Choose(Link, linkui::COlnkPropPage::IDC_BAUD, baud->findData(19200));
    sheet->accept();
    const std::u16string s = doc->Data().OlnkConnectionString;
    for (std::u16string_view part : {u"Type = UDP;", u"RemoteIP = 127.0.0.1;", u"RemotePort = 5001;",
                                     u"LocalPort = 5002;", u"B = 19200;"})
        EXPECT_NE(s.find(part), std::u16string::npos) << std::string(s.begin(), s.end());
}

TEST_F(LinkTest, RemoteLocationThroughTheDialog)
{
    ASSERT_TRUE(Connect());
    Sheet(Support);
    ChooseRemote(QStringLiteral("\\DATA\\x.cfg"));
    ClickButton(Support, 2229);
    EXPECT_EQ(Ctl<QLineEdit>(Support, 2228)->text(), QStringLiteral("\\DATA\\x.cfg"));
    EXPECT_TRUE(Page(Support)->IsModified());

    // The same place for the second file, in other letters: refused.
    Ctl<QListWidget>(Support, 2220)->setCurrentRow(1);
    tui::PromptScript prompts({ui::IDOK});
    ChooseRemote(QStringLiteral("\\data\\X.CFG"));
    ClickButton(Support, 2229);
    EXPECT_EQ(prompts.Texts(), std::vector<QString>{QStringLiteral(
                                   "Umístění souboru na řídícím systému nebylo změněno, neboť stejné umístění již "
                                   "používá jiný podpůrný soubor.")});
    EXPECT_EQ(Ctl<QLineEdit>(Support, 2228)->text(), QStringLiteral("\\PLC\\TEXT\\texty.txt"));
    sheet->accept();
    EXPECT_EQ(doc->Data().SupportFiles[0].DestPath, u"\\DATA\\x.cfg");
    EXPECT_EQ(doc->Data().SupportFiles[1].DestPath, u"\\PLC\\TEXT\\texty.txt");
}

TEST_F(LinkTest, WithoutAConnectionTheRemoteButtonDoesNothingMore)
{
    // A port that does not exist: the start fails and reports itself.
    doc->Data().OlnkConnectionString = u"P = /nonexistent/tty; B = 115200; W = 20;";
    Sheet(Support);
    ClickButton(Support, 2229);
    tui::PumpEvents(50);
    EXPECT_FALSE(doc->Link().IsConnected());
    EXPECT_FALSE(Page(Support)->IsModified());
}

TEST_F(LinkTest, PeriodsReachTheControlSystemWhileDebugging)
{
    ASSERT_TRUE(Connect());
    doc->EnterDebugging();
    Sheet(Debug);
    Type(Debug, 2250, QStringLiteral("250"));
    sheet->accept();
    sheet.reset(); // the page is gone before any reply
    EXPECT_EQ(doc->Data().WatchInterval, 250);
    EXPECT_TRUE(tui::WaitFor([&] { return sim->plc().watch().interval == 250; }, 5000, "the new watch period"));
    ASSERT_TRUE(RoundTrip()); // the replies came to a document without the page

    // Only the display changed: the period stays.
    Sheet(Debug);
    tui::Click(Ctl<QCheckBox>(Debug, 2253), QPoint(8, 8)); // on the box, however wide the page
    sheet->accept();
    ASSERT_TRUE(RoundTrip());
    EXPECT_EQ(sim->plc().watch().interval, 250);
    doc->StopDebugging();
}
