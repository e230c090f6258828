// The control-system simulator as a child process of a window test.
#include "tests/support/link/LinkTestText.h"
#include "tools/linkshim/PtyBridge.h"
#include "tests/support/platform/PtyPair.h"
#include "tests/support/ui/UiTest.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>

#include <csignal>
#include <cstdlib>

namespace testsupport::ui {

struct Simulator::Process
{
    QProcess proc;
    QString output;
    void Read() { output += QString::fromLocal8Bit(proc.readAll()); }
};

QString SimulatorProgram()
{
    if (const char* p = std::getenv("CSSIM_PROGRAM"); p && *p)
        return QString::fromLocal8Bit(p);
    return QStringLiteral(SW_CSSIM_PROGRAM);
}

bool Simulator::Start(const QStringList& args)
{
    m_process = std::make_unique<Process>();
    QProcess& p = m_process->proc;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(SimulatorProgram(), args);
    if (!p.waitForStarted(5000)) {
        ADD_FAILURE() << "could not start the simulator " << SimulatorProgram().toStdString() << ": "
                      << p.errorString().toStdString();
        return false;
    }
    QElapsedTimer t;
    t.start();
    while (!m_process->output.contains(QLatin1String("cssim ready\n"))) {
        if (p.state() == QProcess::NotRunning || t.elapsed() > 10000) {
            m_process->Read();
            ADD_FAILURE() << "the simulator did not get ready (" << args.join(QLatin1Char(' ')).toStdString()
                          << "): " << m_process->output.toStdString();
            return false;
        }
        p.waitForReadyRead(100);
        m_process->Read();
    }
    return true;
}

std::unique_ptr<Simulator> Simulator::StartUdp(QStringList extraArgs)
{
    std::unique_ptr<Simulator> sim(new Simulator);
    const uint16_t ours = PickFreeUdpPort();
    const uint16_t theirs = PickFreeUdpPort();
    if (!ours || !theirs) {
        ADD_FAILURE() << "no free UDP port on 127.0.0.1";
        return nullptr;
    }
    QStringList args = {QStringLiteral("--udp"), QString::number(theirs), QStringLiteral("--peer"),
                        QStringLiteral("127.0.0.1:%1").arg(ours)};
    if (!sim->Start(args + extraArgs))
        return nullptr;
    // With --loss the simulator's fault shim listens on a port of its own.
    uint16_t remote = theirs;
    const auto shim = QRegularExpression(QStringLiteral("cssim port (\\d+)")).match(sim->m_process->output);
    if (shim.hasMatch())
        remote = uint16_t(shim.captured(1).toUInt());
    sim->m_connection = UdpLoopbackConn(ours, remote);
    return sim;
}

std::unique_ptr<Simulator> Simulator::StartSerial(QStringList extraArgs)
{
    std::unique_ptr<Simulator> sim(new Simulator);
    sim->m_bridge = std::make_unique<linkshim::PtyBridge>();
    if (!sim->m_bridge->PairA().Ok() || !sim->m_bridge->PairB().Ok()) {
        ADD_FAILURE() << "no pseudo-terminal pair for the simulator";
        return nullptr;
    }
    QString baud = QStringLiteral("115200");
    const qsizetype at = extraArgs.indexOf(QStringLiteral("--baud"));
    if (at >= 0 && at + 1 < extraArgs.size())
        baud = extraArgs[at + 1];
    else
        extraArgs << QStringLiteral("--baud") << baud;
    const QStringList args = {QStringLiteral("--serial"), QString::fromStdString(sim->m_bridge->PathA())};
    if (!sim->Start(args + extraArgs))
        return nullptr;
    sim->m_connection = "P = " + sim->m_bridge->PathB() + "; B = " + baud.toStdString() + "; W = 20;";
    return sim;
}

Simulator::~Simulator()
{
    Stop();
}

QString Simulator::Output() const
{
    if (!m_process)
        return {};
    m_process->Read();
    return m_process->output;
}

bool Simulator::Running() const { return m_process && m_process->proc.state() != QProcess::NotRunning; }

int Simulator::Stop()
{
    if (!m_process)
        return -1;
    QProcess& p = m_process->proc;
    if (p.state() != QProcess::NotRunning) {
        Signal(SIGCONT);
        p.terminate();
        if (!p.waitForFinished(5000)) {
            p.kill();
            p.waitForFinished(5000);
        }
    }
    m_process->Read();
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

bool Simulator::Signal(int signal)
{
    if (!Running())
        return false;
    const qint64 pid = m_process->proc.processId();
    return pid > 0 && ::kill(pid_t(pid), signal) == 0;
}

} // namespace testsupport::ui
