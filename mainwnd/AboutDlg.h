#pragma once
// The about box (dialog 2133, command ID_APP_ABOUT): the picture, the product name,
// the version and the copyright line.  Three clicks on the copyright line
// and then one on the icon show the hidden second picture; anything else
// spoils the sequence for this showing.

#include "platform/ui/Dialog.h"

class CAboutDlg : public ui::Dialog
{
    Q_OBJECT
public:
    enum : int { IDD = 2133, IDC_PICTURE = 1147, IDC_VERSION = 1006, IDC_LABEL = 1020, IDC_ICON = 1000,
                 IDC_SECOND = 1014, IDC_PRODUCT = 1004, IDC_COPYRIGHT = 1010 };

    explicit CAboutDlg(QWidget* parent = nullptr);
    bool OnInitDialog() override;

    void OnCopyrightClicked() { ++m_clicks; }
    void OnIconClicked();
    int ClickCount() const { return m_clicks; }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    int m_clicks = 0;
};
