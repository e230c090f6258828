#include "mainwnd/AboutDlg.h"

#include "mainwnd/SplashWnd.h"

#include <QEvent>
#include <QLabel>
#include <QMouseEvent>

CAboutDlg::CAboutDlg(QWidget* parent) : ui::Dialog(IDD, parent)
{
    for (int id : {int(IDC_COPYRIGHT), int(IDC_ICON)})
        if (QWidget* w = GetDlgItem(id)) {
            w->installEventFilter(this);
            w->setCursor(Qt::PointingHandCursor);
        }
}

bool CAboutDlg::OnInitDialog()
{
    ui::Dialog::OnInitDialog();
    if (auto* version = Item<QLabel>(IDC_VERSION))
        version->setText(AppVersionText());
    if (auto* product = Item<QLabel>(IDC_PRODUCT)) {
        QFont f = font();
        if (f.pointSizeF() > 0)
            f.setPointSizeF(f.pointSizeF() * 2);
        else
            f.setPixelSize(f.pixelSize() * 2);
        f.setItalic(true);
        f.setStretch(200);
        product->setFont(f);
    }
    if (auto* picture = Item<QLabel>(IDC_PICTURE))
        picture->setPixmap(LoadPicture(QStringLiteral("540")));
    if (auto* icon = Item<QLabel>(IDC_ICON))
        icon->setPixmap(LoadPicture(QStringLiteral("128"), QSize(32, 32)));
    if (auto* second = Item<QLabel>(IDC_SECOND)) {
        second->setPixmap(LoadPicture(QStringLiteral("about-second"), QSize(32, 32)));
        second->hide();
    }
    return true;
}

void CAboutDlg::OnIconClicked()
{
    if (m_clicks == 3) {
        if (QWidget* icon = GetDlgItem(IDC_ICON))
            icon->hide();
        if (QWidget* second = GetDlgItem(IDC_SECOND))
            second->show();
        return;
    }
    m_clicks = 5;
}

bool CAboutDlg::eventFilter(QObject* watched, QEvent* e)
{
    if (e->type() == QEvent::MouseButtonPress && static_cast<QMouseEvent*>(e)->button() == Qt::LeftButton) {
        if (watched == GetDlgItem(IDC_COPYRIGHT))
            OnCopyrightClicked();
        else if (watched == GetDlgItem(IDC_ICON))
            OnIconClicked();
    }
    return ui::Dialog::eventFilter(watched, e);
}
