#pragma once
// Stand-ins for the start-up window and the tip of the day: the splash
// shows nothing and the tips never ask to be shown at start-up.  The real
// windows with their timer and tips file will replace this file.

class QWidget;

class CSplashWnd
{
public:
    explicit CSplashWnd(QWidget* parent = nullptr) { (void)parent; }
    virtual ~CSplashWnd() = default;
    virtual void ShowSplash() {}
};

class CTipDlg
{
public:
    explicit CTipDlg(QWidget* parent = nullptr) { (void)parent; }
    virtual ~CTipDlg() = default;
    // Whether the start-up shows the tips.
    bool m_bStartup = false;
    virtual int DoModal() { return 2; }
};
