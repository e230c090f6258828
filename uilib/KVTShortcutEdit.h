#pragma once
// The shortcut edit of the keyboard page: a line edit that captures the key
// combination typed into it and shows its text ("Ctrl+Shift+F5").
//
// KvtShortcutCapture is its pure state machine, fed with key presses and
// releases by virtual-key code.  While the edit has the focus it gets every
// key first (it accepts the shortcut override, and the frames' key filters
// leave it alone: ui::kCapturesKeysProperty).  Keys that the desktop takes
// for itself (Alt+Tab, for instance) never reach it.

#include "platform/ui/Accel.h"

#include <QLineEdit>

class KvtShortcutCapture
{
public:
    // The result of one key event: whether the edit consumes it (else it
    // goes the normal way: Tab, Backtab, Backspace and Escape alone), and
    // whether the edit's text is to be set to Text().
    struct Result
    {
        bool consumed = false;
        bool textChanged = false;
    };

    Result Feed(bool down, uint16_t vk, bool autoRepeat);
    // Backtab arrives as Tab with Shift held.
    void HoldShift() { m_accel.flags |= ui::FSHIFT; }
    void Clear();

    bool Captured() const { return m_captured; }
    // The record (flags with FVIRTKEY once a key was pressed, key, command 0).
    const ui::Accel& Accel() const { return m_accel; }
    // The shown text: the formatter's text of the record, or empty.
    const QString& Text() const { return m_text; }

private:
    bool m_captured = false;
    ui::Accel m_accel;
    QString m_text;
};

class CKVTShortcutEdit : public QLineEdit
{
    Q_OBJECT
public:
    explicit CKVTShortcutEdit(QWidget* parent = nullptr);

    bool IsKeyCaptured() const { return m_capture.Captured(); }
    const ui::Accel& GetAccel() const { return m_capture.Accel(); }
    // Clears the capture and the text.
    void ResetKey();

signals:
    // The text changed through a key (the control's update notification).
    void keyUpdated();

protected:
    bool event(QEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;

private:
    KvtShortcutCapture m_capture;
};
