#pragma once
// The start-up window (dialog 536): the picture and the version, shown while
// the application starts when it was given no file.  ShowSplash makes the
// window on the heap: the start-up keeps the CSplashWnd object only for one
// step, and the window lives on.  It closes itself (and is deleted) on the
// tick after the shared counter reached 4, or at a click.

#include "platform/ui/Dialog.h"

#include <QPixmap>
#include <QPointer>

// "Version 2.0.16 rev. 658" (string 539).
QString AppVersionText();
// An SVG of res/icons rendered at size (its own size when empty).
QPixmap LoadPicture(const QString& name, QSize size = {});

class CSplashWindow : public ui::Dialog
{
    Q_OBJECT
public:
    enum : int { IDD = 536, IDC_PICTURE = 1147, IDC_VERSION = 1006, IDC_LABEL = 1020, IDC_PICTURE2 = 1015 };
    static constexpr int kTickMs = 500;
    static constexpr int kTicks = 4;

    CSplashWindow();
    // The counter of all splash windows of the run.
    static int& TickCounter();
    void OnTick();

protected:
    void mousePressEvent(QMouseEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
};

class CSplashWnd
{
public:
    explicit CSplashWnd(QWidget* parent = nullptr) { (void)parent; }
    virtual ~CSplashWnd() = default;
    // Creates and shows the window centred on the primary screen, topmost,
    // painted at once.
    virtual void ShowSplash();
    // The window of the last ShowSplash (null once it closed).
    CSplashWindow* Window() const { return m_window; }

private:
    QPointer<CSplashWindow> m_window;
};
