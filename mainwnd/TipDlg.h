#pragma once
// The tip of the day (dialog 103, command ID_HELP_TIPS, and at start-up): one line
// of the tip file beside the program per showing.  The file is the
// program's path with the extension "tip" (".tip" appended to a program
// without one); its bytes are code page 1250, one tip per line; lines that
// start with a blank, a tab or ";" and empty lines are skipped; at the end
// reading goes on at the start.  A file without any tip shows 4670 and
// "Další tip" is disabled.  "StartUp", "FilePos" and "TimeStamp" are kept
// under "Software\ORNA\Strandwork\EdtLib"; a new modification time of the
// file restarts at its first tip.

#include "platform/ui/Dialog.h"

#include <QFile>

class CTipDlg : public ui::Dialog
{
    Q_OBJECT
public:
    enum : int { IDD = 103, IDC_STARTUP = 1001, IDC_NEXT = 1002, IDC_BULB = 1000, IDC_TIP = 1004, IDC_AREA = 158 };
    static constexpr int kMaxTip = 999;

    explicit CTipDlg(QWidget* parent = nullptr);
    // The same with another tip file (tests).
    CTipDlg(QWidget* parent, const QString& tipFile);
    // Stores the reading position as "FilePos".
    ~CTipDlg() override;

    // Whether the start-up shows the tips ("StartUp" is 0).
    bool m_bStartup = true;

    // Without an open tip file only beeps and answers IDOK.
    int DoModal();
    bool OnInitDialog() override;
    // Stores the check box as "StartUp" (checked: 0).
    void OnOK() override;
    // "&Další tip".
    void OnNextTip();

    const QString& TipText() const { return m_tip; }
    bool IsFileOpen() const { return m_file.isOpen(); }
    bool HasTips() const { return m_hasTips; }
    qint64 FilePos() const { return m_file.isOpen() ? m_file.pos() : 0; }

    // The tip file of a program path.
    static QString TipFileOf(const QString& programPath);
    // A modification time as the C runtime's 24-character text
    // ("Wed Jan  2 02:03:55 1980"), local time, C locale.
    static QString TimeStampText(const QDateTime& time);

private:
    void Open(const QString& tipFile);
    void ReadNextTip();

    QFile m_file;
    QString m_tip;
    bool m_hasTips = true;
};
