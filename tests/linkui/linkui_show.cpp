// Review program of the link's windows: starts the control-system
// simulator in process with a share DATA on a temporary folder filled with
// sample files, opens a link to it, and shows the window its argument
// names: "fileop" (copying a 64 MiB file over a slowed link), "xfer"
// (twelve transfers, five in flight), "connerr", "filemanager" (a local
// sample folder and \DATA\, the right pane active), "linkpage" (the link
// settings page in a sheet on a UDP string), "coninfo" (the monitor's graph
// after a few seconds of traffic) or "filedialog" (the remote open dialog
// at \DATA\).  "names-delete", "names-copy", "names-get" and "names-mkdir"
// show the file manager's questions and reports about unusual names: the
// delete question of a folder of look-alike and long names (everything
// selected), the report of a copy of names the control system cannot hold
// and of a fetch onto a local folder, the create-folder prompt, and
// ("names-collide") the report of a move of names that differ only in case
// (the keys sent by the caller answer them).
#include "link/linkobj/olnk_link.h"
#include "link/ui/ConInfoDlg.h"
#include "link/ui/ConnectionErrorDlg.h"
#include "link/ui/FileManagerDlg.h"
#include "link/ui/FilePanelDlg.h"
#include "link/ui/OlnkPropPage.h"
#include "link/ui/OxfrFileDialog.h"
#include "link/ui/FileOpDlg.h"
#include "link/ui/LinkMessages.h"
#include "link/ui/TransferProgressDlg.h"
#include "platform/sys/CodePage.h"
#include "tests/support/build/CaptureSink.h"
#include "tests/support/link/LinkTestText.h"
#include "tests/support/platform/PtyPair.h"
#include "tools/cssim/cssim.h"

#include <QApplication>
#include <QDir>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

namespace {

void Fill(const std::string& path, size_t size)
{
    std::ofstream f(path, std::ios::binary);
    std::string block(1 << 16, '\0');
    for (size_t i = 0; i < block.size(); ++i)
        block[i] = char(i * 31);
    for (size_t done = 0; done < size; done += block.size())
        f.write(block.data(), std::streamsize(std::min(block.size(), size - done)));
}

struct Owner : linkui::IConnectionOwner
{
    bool StopCommunication() override { return true; }
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Strandwork"));
    const QString what = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("fileop");
    if (what == QStringLiteral("linkpage")) {
        std::u16string bound = u"Type = UDP; RemoteIP = 192.168.1.20; RemotePort = 61234; LocalPort = 61235; W = 20;";
        ui::PropertySheet sheet(QStringLiteral("Možnosti"));
        auto* page = new linkui::COlnkPropPage;
        page->ConstructBound(&bound);
        sheet.AddPage(page);
        return sheet.DoModal() < 0 ? 1 : 0;
    }
    if (what == QStringLiteral("connerr")) {
        linkui::CConnectionErrorDlg dlg;
        Owner owner;
        dlg.Show(&owner, nullptr);
        if (!dlg.Window())
            return 1;
        QObject::connect(dlg.Window(), &QDialog::finished, &app, &QApplication::quit);
        return app.exec();
    }

    QTemporaryDir share, local;
    if (!share.isValid() || !local.isValid())
        return 1;
    const std::string shareDir = share.path().toStdString();
    const std::string localDir = local.path().toStdString();
    if (what == QStringLiteral("fileop"))
        Fill(shareDir + "/VELKY.BIN", 64u << 20);
    for (int i = 1; i <= 12; ++i)
        Fill(localDir + "/soubor" + std::to_string(i) + ".dat", size_t(20000 * i));
    if (what != QStringLiteral("fileop") && what != QStringLiteral("xfer")) {
        QDir(share.path()).mkpath(QStringLiteral("PROGRAMY"));
        QDir(share.path()).mkpath(QStringLiteral("ZALOHY"));
        Fill(shareDir + "/PLC.BIN", 48213);
        Fill(shareDir + "/NASTAVENI.INI", 1530);
        Fill(shareDir + "/NAVOD.TXT", 8200);
        Fill(shareDir + "/PROGRAMY/HLAVNI.PLC", 12000);
        QDir(local.path()).mkpath(QStringLiteral("projekt"));
        Fill(localDir + "/projekt/Main.plc", 4000);
    }

    const uint16_t ours = testsupport::PickFreeUdpPort();
    cssim::Config cfg;
    cfg.udpLocalPort = testsupport::PickFreeUdpPort();
    cfg.peerPort = ours;
    cfg.shares = {{"DATA", shareDir}};
    cfg.shim = what == QStringLiteral("fileop");
    cssim::Simulator sim(cfg);
    if (!sim.start()) {
        std::fprintf(stderr, "the simulator did not start\n");
        return 1;
    }
    COlnkLink link(linkui::WindowPoster());
    const std::u16string conn = sys::Utf8ToUtf16Lenient(testsupport::UdpLoopbackConn(ours, sim.publicPort()));
    if (!link.Open(333, conn.c_str(), 1000))
        return 1;
    for (uint16_t id : {0, 1, 2, 258})
        link.InitInterface(id);
    link.Start();
    auto* fc = static_cast<IOxfrC*>(link.Query(OLNK_IID_OXFRC));

    const bool namesMode = what.startsWith(QStringLiteral("names-"));
    if (namesMode) {
        const std::string dir = localDir + "/projekt";
        Fill(dir + "/caf\xE9.txt", 7);
        Fill(dir + "/caf\xEF\xBF\xBD.txt", 9);
        Fill(dir + "/a\xF0\x9F\x98\x80.txt", 100);
        Fill(dir + "/b" + std::string(120, 'v') + "_" + std::string(133, 'w'), 10);
        for (int i = 1; i <= 12; ++i)
            Fill(dir + "/pozn" + std::to_string(i) + ".txt", 10);
        QDir(share.path()).mkpath(QStringLiteral("x"));
        Fill(shareDir + "/x/right1.txt", 100);
        QDir(local.path()).mkpath(QStringLiteral("projekt/right1.txt"));
        if (what == QStringLiteral("names-collide"))
            for (const char* name : {"/A.TXT", "/a.txt", "/Report.TXT", "/report.txt", "/REPORT.txt"})
                Fill(dir + name, 50);
    }
    if (what == QStringLiteral("filemanager") || namesMode) {
        linkui::CFileManagerDlg dlg;
        const std::u16string left = sys::Utf8ToUtf16Lenient(localDir + (namesMode ? "/projekt/" : "/"));
        if (!dlg.Create(fc, left.c_str(), namesMode ? u"\\DATA\\x\\" : u"\\DATA\\", nullptr))
            return 1;
        dlg.resize(900, 520);
        dlg.SetActivePane(namesMode && what != QStringLiteral("names-get") && what != QStringLiteral("names-mkdir") ? 0 : 1);
        if (namesMode)
            QTimer::singleShot(1500, &dlg, [&dlg, what] {
                linkui::CFilePanelDlg* pane = what == QStringLiteral("names-get") ? dlg.Right() : dlg.Left();
                int command = linkui::CFileManagerDlg::ID_CREATEDIR;
                pane->ClearSelection();
                for (int row = 0; row < pane->Model()->rowCount(); ++row) {
                    const QString name = pane->Model()->index(row, 0).data().toString();
                    const bool take = what == QStringLiteral("names-delete") ||
                                      (what == QStringLiteral("names-copy") &&
                                       (name.startsWith(u'a') || name.startsWith(QStringLiteral("caf")) ||
                                        name == QStringLiteral("pozn1.txt"))) ||
                                      (what == QStringLiteral("names-get") && name == QStringLiteral("right1.txt")) ||
                                      (what == QStringLiteral("names-collide") &&
                                       (name.compare(QStringLiteral("a.txt"), Qt::CaseInsensitive) == 0 ||
                                        name.startsWith(QStringLiteral("report"), Qt::CaseInsensitive)));
                    if (take)
                        pane->Details()->selectionModel()->select(
                            pane->Model()->index(row, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
                }
                if (what == QStringLiteral("names-delete"))
                    command = linkui::CFileManagerDlg::ID_DELETE;
                else if (what == QStringLiteral("names-collide"))
                    command = linkui::CFileManagerDlg::ID_MOVE;
                else if (what != QStringLiteral("names-mkdir"))
                    command = linkui::CFileManagerDlg::ID_COPY;
                if (auto* b = dlg.findChild<QToolButton*>(QStringLiteral("c%1").arg(command)))
                    b->click();
            });
        QObject::connect(&dlg, &QDialog::finished, &app, &QApplication::quit);
        return app.exec();
    }
    if (what == QStringLiteral("filedialog")) {
        linkui::COxfrFileDialog dlg(fc, true, nullptr, u"\\DATA\\PLC.BIN", 2054, u"Všechny soubory (*.*)|*.*||");
        dlg.DoModal();
        return 0;
    }
    if (what == QStringLiteral("coninfo")) {
        linkui::CConInfoDlg dlg;
        dlg.setWindowTitle(QStringLiteral("Spojení"));
        dlg.resize(640, 380);
        dlg.show();
        // Traffic: a status request every 20 ms and a listing every 300 ms.
        QObject target;
        const auto handle = ui::RegisterMessageTarget(&target, [](uint32_t, uintptr_t, intptr_t, ui::MessageRecord*) {
            return intptr_t(0);
        });
        auto* pl = static_cast<IOlnkPL*>(link.Query(OLNK_IID_PL));
        QTimer pulse, listing;
        QObject::connect(&pulse, &QTimer::timeout, &pulse, [&] { pl->GetStatus(handle, 0); });
        QObject::connect(&listing, &QTimer::timeout, &listing, [&] {
            uint32_t job = 0;
            fc->List(handle, 0, nullptr, &job, u"\\DATA\\*.*");
        });
        pulse.start(20);
        listing.start(300);
        QTimer::singleShot(500, &dlg, [&] { dlg.StartRefresh(&link); });
        QTimer::singleShot(4000, &dlg, [&] { dlg.Tabs()->setCurrentIndex(1); });
        const int rc = app.exec();
        ui::UnregisterMessageTarget(handle);
        return rc;
    }
    if (what == QStringLiteral("xfer")) {
        cssim::JobScript js;
        js.verdictDelayMs = 30000; // the first five stay in flight
        sim.scriptJobs(js);
        std::vector<linkui::XferFileItem> items;
        for (int i = 1; i <= 12; ++i) {
            linkui::XferFileItem it;
            it.localPath = sys::Utf8ToUtf16Lenient(localDir + "/soubor" + std::to_string(i) + ".dat");
            it.remotePath = u"\\DATA\\SOUBOR" + sys::Utf8ToUtf16Lenient(std::to_string(i)) + u".DAT";
            it.type = 5;
            items.push_back(std::move(it));
        }
        testsupport::NullSink out;
        linkui::CTransferProgressDlg dlg(nullptr, &out);
        dlg.Setup(fc, items.data(), int(items.size()));
        return 0;
    }

    // Slowed down so that the window stays a while: every data frame to
    // our side is held back a little.
    cssim::TargetedFault slow;
    slow.match.direction = 1;
    slow.action = cssim::FrameAction::Delay;
    slow.count = 1u << 30;
    slow.delayMs = 1;
    sim.shim().addTargeted(slow);
    std::u16string names[] = {u"VELKY.BIN"};
    linkui::CFileOpDlg dlg;
    dlg.Copy(fc, u"\\DATA\\", sys::Utf8ToUtf16Lenient(localDir), names, nullptr, 1, nullptr, nullptr);
    return 0;
}
