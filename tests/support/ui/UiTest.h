#pragma once
// The window-test support: link `support_ui` in sw_tests(... LIBS support_ui
// ...) and the test program gets this library's main, which creates the
// QApplication once (Fusion style, DejaVu Sans 9 pt, DejaVu Sans Mono for
// fixed-pitch text, device pixel ratio 1, non-native dialogs, offscreen
// unless QT_QPA_PLATFORM names a platform), gives every test a fresh
// temporary XDG_CONFIG_HOME, XDG_STATE_HOME and XDG_DATA_HOME (so that the
// program's desktop registration never writes into the real home), resets the registry store
// after each test and checks the queued modal expectations at its end.
// See docs/testing.md.

#include "tests/support/ui/LayoutKeys.h"

#include <QApplication>
#include <QColor>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <typeinfo>
#include <vector>

// Test output shows strings as text (a failed comparison of the layout
// checks' lists names every control).
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace linkshim {
class PtyBridge;
}

namespace ui {
class ScriptedPrompts;
}

namespace testsupport::ui {

// The test font for fixed-pitch text: DejaVu Sans Mono at the size of the
// application font.
QFont FixedFont();

namespace detail {
void ReportMissingChild(QWidget* root, const QString& id, const char* className);
QString Describe(const QWidget* w);
}

// The descendant of root with the object name id (the control ids of the
// dialogs from .ui resources, "c2104"), of class T.  Fails the test and
// returns nullptr when there is none.
template <class T = QWidget>
T* FindChild(QWidget* root, const QString& id)
{
    T* found = root ? root->findChild<T*>(id) : nullptr;
    if (!found)
        detail::ReportMissingChild(root, id, T::staticMetaObject.className());
    return found;
}

// The first descendant of root of class T (nullptr when there is none; no
// failure).
template <class T>
T* FindChildOfClass(QWidget* root)
{
    return root ? root->findChild<T*>() : nullptr;
}

// Input through QTest.  pos defaults to the widget's centre.
void Click(QWidget* w, QPoint pos = {}, Qt::MouseButton b = Qt::LeftButton, Qt::KeyboardModifiers m = {});
void DoubleClick(QWidget* w, QPoint pos = {}, Qt::MouseButton b = Qt::LeftButton, Qt::KeyboardModifiers m = {});
void Drag(QWidget* w, QPoint from, QPoint to, Qt::MouseButton b = Qt::LeftButton, Qt::KeyboardModifiers m = {});
void TypeText(QWidget* w, const QString& text);
void PressKey(QWidget* w, Qt::Key key, Qt::KeyboardModifiers m = {});
// A key as the keyboard gives it: the presses and releases (the modifiers'
// around the key's) are posted to the focus window, which hands them on as
// the platform's keys are (to the open popup, else the focus widget;
// shortcuts and the key filters first).  Returns once they were handled.
// Letters, digits, Space, Enter and Escape carry their text.
void PostKey(Qt::Key key, Qt::KeyboardModifiers m = {});
// A key of another keyboard layout (LayoutKeys.h) posted the same way, with
// its text, scan code and keysym.
void PostKey(const LayoutKey& key, Qt::KeyboardModifiers m = {});

// Pumps events until cond holds; on time-out records a test failure naming
// `what` and returns false.
bool WaitFor(const std::function<bool()>& cond, int timeoutMs = 5000, const char* what = "condition");
// Pumps events (posted events and deferred deletes included) for ms
// milliseconds; with 0 once.
void PumpEvents(int ms = 0);

// Modal windows.  Queue the expectation before the command that opens the
// window; when QApplication::activeModalWidget() is a T, act is called with
// it (fill the controls, then accept or reject).  When no modal window
// comes within timeoutMs, a different one comes, or act leaves the window
// open for timeoutMs, a failure naming what was seen is recorded, every
// open modal window is rejected and the remaining queue is dropped, so the
// test ends instead of hanging.  Several expectations run in order.
namespace detail {
void QueueModal(std::function<bool(QWidget*)> is, std::function<void(QWidget*)> act, const char* typeName,
                int timeoutMs);
}
template <class T>
void OnNextModal(std::function<void(T*)> act, int timeoutMs = 5000)
{
    detail::QueueModal([](QWidget* w) { return qobject_cast<T*>(w) != nullptr; },
                       [act = std::move(act)](QWidget* w) { act(qobject_cast<T*>(w)); },
                       T::staticMetaObject.className(), timeoutMs);
}
// Fails when queued expectations were never met and drops them; rejects
// modal windows still open.  Called at the end of every test.
void ExpectNoPendingModals();
// The number of expectations still queued.
int PendingModals();
// Rejects (closes) every open modal window.
void RejectOpenModals();

// The prompt service answered from the test.  Answers are used in order;
// a prompt beyond them fails the test (and gets its default answer) unless
// AllowUnexpected(true).  The previous handler returns when the script goes.
class PromptScript
{
public:
    explicit PromptScript(std::vector<int> answers = {});
    ~PromptScript();
    PromptScript(const PromptScript&) = delete;
    PromptScript& operator=(const PromptScript&) = delete;

    void Add(int answer);
    // The texts of the prompts shown, in order.
    std::vector<QString> Texts() const;
    void AllowUnexpected(bool allow) { m_allowUnexpected = allow; }
    // The answers not used yet.
    int Remaining() const { return int(m_answers.size()); }

private:
    // Keeps the handler that was in force and puts it back at the end.
    std::unique_ptr<::ui::ScriptedPrompts> m_restore;
    std::deque<int> m_answers;
    std::vector<QString> m_texts;
    bool m_allowUnexpected = false;
};

// The widget drawn into an image (QWidget::grab), device pixel ratio 1.
QImage Render(QWidget* w);
// The number of pixels in r (clipped to the image) whose red, green and
// blue each differ from c by at most tolerance.
int CountColor(const QImage& img, QRect r, QColor c, int tolerance = 0);
// Whether r holds at least minPixels such pixels.
bool RectHasColor(const QImage& img, QRect r, QColor c, int minPixels = 1, int tolerance = 0);

// Layout checks.  The visible controls under root that show a text and are
// cut: a label, button, check box or radio button narrower or lower than
// its size hint (a word-wrapped label: narrower than its minimum size hint
// or lower than its height for its width), a line edit narrower than its
// text, or a control that does not lie whole inside the visible part of
// every ancestor up to root.  A scroll area's viewport does not count as
// cutting (what lies outside it can be scrolled to; check its scroll bars
// where nothing may need scrolling).  Each entry names the control, its
// text, its size and the size it needs.
QStringList ClippedTexts(QWidget* root);
// The visible scroll bars under root (each described), so that a test can
// ask that nothing needs scrolling at a window's default size.
QStringList VisibleScrollBars(QWidget* root);
// Escape pressed on the widget that has the focus in window w (w itself
// when nothing inside has it), as the keyboard sends it: the shortcut
// override first, then the key press and the release.
void PressEscape(QWidget* w);
// The letters of the access keys ("&Najít" gives N) of the labels with a
// buddy, buttons, group boxes and tabs under root (hidden ones too), upper
// case.
QString AccessKeys(QWidget* root);
// Presses Alt, Ctrl and Ctrl+Alt with every letter A-Z in field (an edit,
// a spin box or a combo box), each from the text "0123" with the caret at
// the end and an empty clipboard, as the keyboard sends them (the shortcut
// override first).  Letters of the access keys of field's window are not
// pressed with Alt.  Returns the keys after which the field holds a letter
// or lost the focus, each named with its text ("Alt+Q: 0123q").
QStringList KeysThatType(QWidget* field);
// The visible top-level windows other than the ones given (a test asks
// that no dialog stays open or blank).
QList<QWidget*> VisibleTopLevels(const QList<QWidget*>& except = {});

// The control-system simulator tools/cssim as a child process, stopped
// (SIGTERM, then SIGKILL) when the object goes.  Start* fail the test and
// return nullptr when the simulator does not report "cssim ready".
class Simulator
{
public:
    // On free UDP ports of 127.0.0.1.
    static std::unique_ptr<Simulator> StartUdp(QStringList extraArgs = {});
    // Over a pseudo-terminal pair joined by a bridge; the simulator runs at
    // 115200 Bd unless extraArgs gives --baud.
    static std::unique_ptr<Simulator> StartSerial(QStringList extraArgs = {});
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // What the link object is opened with.
    std::string ConnectionString() const { return m_connection; }
    // What the simulator wrote to standard output and standard error.
    QString Output() const;
    bool Running() const;
    // Stops the simulator now (SIGTERM; a stopped one is continued first);
    // its exit status (-1 when killed).
    int Stop();
    // Sends a signal to the simulator: SIGSTOP and SIGCONT pause it and let
    // it go on, SIGKILL ends it without a word.  False when it is not
    // running.
    bool Signal(int signal);

private:
    Simulator() = default;
    bool Start(const QStringList& args);
    struct Process;
    std::unique_ptr<Process> m_process;
    std::unique_ptr<linkshim::PtyBridge> m_bridge;
    std::string m_connection;
};

// The path of the simulator program (CSSIM_PROGRAM, else the one built).
QString SimulatorProgram();

} // namespace testsupport::ui
