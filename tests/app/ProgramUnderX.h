#pragma once
// The program itself as a child process on a virtual X server (Xvfb) of
// the test's own: its windows found by their titles, keys sent to them as
// key events of that server (XSendEvent, which the program handles as typed
// ones), a window closed as a window manager closes it.

#include "tests/support/platform/TempDir.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <signal.h>
#include <sys/prctl.h>

// Last: Xlib's macros (None, Status, Bool, ...) would clash with the names
// of the headers above.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace programx {

namespace fs = std::filesystem;

inline QString Q(const std::string& s)
{
    return QString::fromStdString(s);
}

// A child that ends with the test, also when the test is killed.
inline void EndsWithTheTest(QProcess& child)
{
    child.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
}

// Every file under a folder with its bytes.
inline std::map<std::string, std::string> Snapshot(const std::string& folder)
{
    std::map<std::string, std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(folder))
        if (e.is_regular_file()) {
            QFile f(Q(e.path().string()));
            if (f.open(QIODevice::ReadOnly))
                files[fs::relative(e.path(), folder).string()] = f.readAll().toStdString();
        }
    return files;
}

// A virtual X server of the test's own, and the program's windows on it.
class VirtualDisplay
{
public:
    VirtualDisplay()
    {
        // Xvfb takes the first free display and writes its number to fd 1.
        EndsWithTheTest(m_server);
        m_server.start(QStringLiteral("Xvfb"),
                       {QStringLiteral("-displayfd"), QStringLiteral("1"),
                        QStringLiteral("-screen"), QStringLiteral("0"),
                        QStringLiteral("1280x800x24"), QStringLiteral("-nolisten"),
                        QStringLiteral("tcp")});
        QByteArray out;
        QElapsedTimer t;
        t.start();
        while (!out.contains('\n') && t.elapsed() < 20000 &&
               m_server.state() != QProcess::NotRunning)
            if (m_server.waitForReadyRead(100))
                out += m_server.readAllStandardOutput();
        m_name = ":" + out.trimmed().toStdString();
        if (out.contains('\n'))
            m_display = XOpenDisplay(m_name.c_str());
        // A window that goes between two requests is no failure of the
        // test (Xlib's own handler ends the process).
        XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    }
    ~VirtualDisplay()
    {
        if (m_display)
            XCloseDisplay(m_display);
        m_server.terminate();
        m_server.waitForFinished(10000);
    }
    bool Up() const { return m_display != nullptr; }
    const std::string& Name() const { return m_name; }

    // The shown top-level window of a process whose title starts with
    // prefix and, unless exact is false, ends there; 0 when none shows.
    Window Shown(qint64 pid, const std::string& prefix, bool exact = true) const
    {
        Window found = 0;
        Window root = DefaultRootWindow(m_display), parent = 0, *kids = nullptr;
        unsigned count = 0;
        if (!XQueryTree(m_display, root, &root, &parent, &kids, &count))
            return 0;
        const Atom pidAtom = XInternAtom(m_display, "_NET_WM_PID", False);
        for (unsigned i = 0; i < count && !found; ++i) {
            XWindowAttributes wa;
            if (!XGetWindowAttributes(m_display, kids[i], &wa) || wa.map_state != IsViewable)
                continue;
            Atom type = 0;
            int format = 0;
            unsigned long items = 0, after = 0;
            unsigned char* data = nullptr;
            if (XGetWindowProperty(m_display, kids[i], pidAtom, 0, 1, False, XA_CARDINAL, &type,
                                   &format, &items, &after, &data) != Success ||
                !data)
                continue;
            const bool ours = items == 1 && *reinterpret_cast<const unsigned long*>(data) ==
                                                static_cast<unsigned long>(pid);
            XFree(data);
            char* name = nullptr;
            if (ours && XFetchName(m_display, kids[i], &name) && name) {
                const std::string title(name);
                if (title.rfind(prefix, 0) == 0 && (!exact || title.size() == prefix.size()))
                    found = kids[i];
                XFree(name);
            }
        }
        if (kids)
            XFree(kids);
        return found;
    }

    // Gives w the keyboard and presses the keys ("1", "F1", "ctrl+Tab",
    // "alt+n").
    void Keys(Window w, const std::vector<std::string>& keys) const
    {
        XSetInputFocus(m_display, w, RevertToParent, CurrentTime);
        for (std::string key : keys) {
            unsigned state = 0;
            if (key.rfind("ctrl+", 0) == 0) {
                state = ControlMask;
                key.erase(0, 5);
            } else if (key.rfind("alt+", 0) == 0) {
                state = Mod1Mask;
                key.erase(0, 4);
            }
            XKeyEvent e{};
            e.display = m_display;
            e.window = w;
            e.root = DefaultRootWindow(m_display);
            e.time = CurrentTime;
            e.same_screen = True;
            e.state = state;
            e.keycode = XKeysymToKeycode(m_display, XStringToKeysym(key.c_str()));
            e.type = KeyPress;
            XSendEvent(m_display, w, True, KeyPressMask, reinterpret_cast<XEvent*>(&e));
            e.type = KeyRelease;
            XSendEvent(m_display, w, True, KeyReleaseMask, reinterpret_cast<XEvent*>(&e));
        }
        XSync(m_display, False);
    }

    // The height of a window in pixels; 0 when it is gone.
    int Height(Window w) const
    {
        XWindowAttributes a{};
        return XGetWindowAttributes(m_display, w, &a) ? a.height : 0;
    }

    // Asks w to close as a window manager does (WM_DELETE_WINDOW).
    void Close(Window w) const
    {
        XEvent e{};
        e.xclient.type = ClientMessage;
        e.xclient.window = w;
        e.xclient.message_type = XInternAtom(m_display, "WM_PROTOCOLS", False);
        e.xclient.format = 32;
        e.xclient.data.l[0] = static_cast<long>(XInternAtom(m_display, "WM_DELETE_WINDOW", False));
        e.xclient.data.l[1] = CurrentTime;
        XSendEvent(m_display, w, False, NoEventMask, &e);
        XSync(m_display, False);
    }

private:
    QProcess m_server;
    std::string m_name;
    Display* m_display = nullptr;
};

// The program (SW_BIN_DIR/strandwork) as a child process on a display of
// its own, with its settings, data and state in folders of the test's.
struct ProgramSession
{
    // Starts it on file: empty when it started, else what went wrong.
    QString Start(const std::string& file)
    {
        if (!x.Up())
            return QStringLiteral("the virtual X server (Xvfb) did not start");
        const char* binDir = std::getenv("SW_BIN_DIR");
        if (!binDir)
            return QStringLiteral("SW_BIN_DIR is not set");
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.insert(QStringLiteral("DISPLAY"), Q(x.Name()));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), Q(config.Path()));
        env.insert(QStringLiteral("XDG_DATA_HOME"), Q(data.Path()));
        env.insert(QStringLiteral("XDG_STATE_HOME"), Q(state.Path()));
        program.setProcessEnvironment(env);
        EndsWithTheTest(program);
        if (hangUpIgnored)
            program.setChildProcessModifier([] {
                ::prctl(PR_SET_PDEATHSIG, SIGKILL);
                ::signal(SIGHUP, SIG_IGN); // as nohup starts it
            });
        program.start(QString::fromLocal8Bit(binDir) + QStringLiteral("/strandwork"), {Q(file)});
        if (!program.waitForStarted(10000))
            return QStringLiteral("the program did not start: ") + program.errorString();
        return {};
    }
    // Its message box ("Strandwork"), 0 when none shows.
    Window Box() const { return x.Shown(program.processId(), "Strandwork"); }

    VirtualDisplay x;
    testsupport::ScopedConfigHome config; // the program's and the test's
    testsupport::ScopedDataHome data;
    testsupport::TempDir state, dir;
    QProcess program;
    Window frame = 0; // its main window, once found
    bool hangUpIgnored = false; // started with SIGHUP ignored, as by nohup
};

} // namespace programx
