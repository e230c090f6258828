// The review program of the library frame.  "--maximized" opens a
// maximised document window; "--customize" shows the frame in customisation
// mode (a combo box button, a selected button) and the customisation pages;
// "--appearance" shows the button appearance dialog; "--keys" the keyboard
// and mouse pages on their own; "--sheet" the customisation sheet.

#include "platform/ui/App.h"
#include "platform/ui/Document.h"
#include "uilib/KVTToolbarCustomize.h"
#include "uilib/KVTButtonAppearanceDlg.h"
#include "uilib/KVTFrameWnd.h"
#include "uilib/KVTMenuBar.h"
#include "uilib/KVTSizingControlBar.h"
#include "uilib/KVTToolBar.h"
#include "uilib/KVTToolbarComboBoxButton.h"

#include <QApplication>
#include <QListWidget>
#include <QPainter>
#include <QMdiArea>
#include <QTextEdit>
#include <QTimer>

namespace {

CKVTToolBar* MakeBar(CKVTMDIFrameWnd& frame, uint32_t id, uint32_t resource, const QString& title)
{
    auto* bar = new CKVTToolBar(&frame);
    bar->CreateEx(&frame, 0x830, 0x50402834 | ui::CBRS_SIZE_DYNAMIC, QMargins(1, 1, 1, 1), id);
    bar->LoadToolBar(resource);
    bar->setWindowTitle(title);
    bar->EnableDocking(ui::CBRS_ALIGN_ANY);
    return bar;
}

CKVTSizingControlBar* MakeList(CKVTMDIFrameWnd& frame, uint32_t id, const QString& title, QSize size)
{
    auto* bar = new CKVTSizingControlBar(&frame);
    bar->Create(title, &frame, size, true, id);
    auto* list = new QListWidget;
    for (int i = 1; i <= 12; ++i)
        list->addItem(QStringLiteral("%1 %2").arg(title).arg(i));
    bar->SetContent(list);
    bar->EnableDocking(ui::CBRS_ALIGN_ANY);
    return bar;
}

// Customisation mode: a combo box button on the standard toolbar and the
// button after it selected.
void ShowCustomizeMode(CKVTToolBar* standard)
{
    auto combo = std::make_unique<CKVTToolbarComboBoxButton>(40001, -1, CKVTToolbarComboBoxButton::DefaultStyle, 110);
    combo->AddItem(QStringLiteral("Ladění"), 1);
    combo->AddItem(QStringLiteral("Vydání"), 2);
    combo->SelectItem(0);
    const int at = std::min(4, standard->Items().Count());
    standard->InsertButton(std::move(combo), at);
    standard->AdjustLayout();
    CKVTToolbarShared::SetCustomizeMode(true);
    int selected = at + 1;
    while (selected < standard->Items().Count() && standard->GetButton(selected)->IsSeparator())
        ++selected;
    standard->Items().selected = selected;
    standard->update();
}

// The appearance dialog for a button of the standard toolbar, with a few user images.
int ShowAppearance(CKVTToolBar* standard)
{
    static CKVTToolbarImageList user;
    user.SetImageSize(QSize(16, 15));
    const QColor colours[] = {Qt::darkBlue, Qt::darkRed, Qt::darkGreen, Qt::darkYellow, Qt::darkCyan};
    for (int i = 0; i < 5; ++i) {
        QImage img(16, 15, QImage::Format_ARGB32);
        img.fill(Qt::transparent);
        QPainter p(&img);
        p.setPen(Qt::black);
        p.setBrush(colours[i]);
        if (i % 2)
            p.drawEllipse(2, 2, 11, 10);
        else
            p.drawRect(2, 2, 11, 10);
        p.end();
        user.AddImage(img);
    }
    CKVTToolbarButton* button = standard->GetButton(1);
    if (!button)
        return 1;
    button->m_text = QStringLiteral("&Otevřít\tCtrl+O");
    button->m_showText = true;
    CKVTButtonAppearanceDlg dlg(button, &user, standard);
    return dlg.DoModal() == ui::IDOK_BUTTON ? 0 : 1;
}

} // namespace

void ShowCustomizeSheets(ui::MainFrameBase& frame); // CustomizeDemo.cpp

int main(int argc, char** argv)
{
    QApplication qapp(argc, argv);
    ui::Application app;
    const bool maximized = qapp.arguments().contains(QStringLiteral("--maximized"));
    const bool customize = qapp.arguments().contains(QStringLiteral("--customize"));
    const bool appearance = qapp.arguments().contains(QStringLiteral("--appearance"));

    CKVTMDIFrameWnd frame;
    frame.setWindowTitle(QStringLiteral("uilib_demo"));
    frame.setGeometry(40, 40, 1000, 700);
    frame.LoadFrame(1, 0);
    frame.EnableDocking(ui::CBRS_ALIGN_ANY);

    auto* menuBar = new CKVTMenuBar(&frame);
    menuBar->Create(&frame, 0x50402808 | 0x34, 0xE81A);
    menuBar->setWindowTitle(QStringLiteral("Nabídka"));
    menuBar->EnableDocking(ui::CBRS_ALIGN_ANY);
    frame.DockControlBar(menuBar, ui::DOCKBAR_TOP);
    CKVTToolBar* standard = MakeBar(frame, 0xE800, 1, QStringLiteral("Standardní"));
    CKVTToolBar* debug = MakeBar(frame, 0xE824, 1017, QStringLiteral("Ladění"));
    CKVTToolbarShared::LoadSharedImages(1019);
    frame.DockControlBar(standard, ui::DOCKBAR_TOP);
    frame.DockControlBarLeftOf(debug, standard);

    CKVTSizingControlBar* a = MakeList(frame, 9410, QStringLiteral("Soubory"), QSize(300, 150));
    CKVTSizingControlBar* b = MakeList(frame, 9411, QStringLiteral("Výstup"), QSize(300, 150));
    CKVTSizingControlBar* c = MakeList(frame, 9412, QStringLiteral("Proměnné"), QSize(200, 300));
    frame.DockControlBar(a, ui::DOCKBAR_BOTTOM);
    frame.DockControlBar(c, ui::DOCKBAR_LEFT);

    auto* dialogBar = new CKVTDialogBar(&frame);
    if (dialogBar->Create(QStringLiteral("Dialog"), &frame, true, 9400,
                          ui::WS_CHILD | ui::WS_VISIBLE | ui::CBRS_ALIGN_RIGHT, 9420)) {
        dialogBar->EnableDocking(ui::CBRS_ALIGN_ANY);
        frame.DockControlBar(dialogBar, ui::DOCKBAR_RIGHT);
    }

    frame.InitUserToolbars(nullptr, 0xE828, 0xE831);
    frame.show();
    frame.RecalcLayout();
    frame.DockControlBarLeftOf(b, a);

    // A user toolbar of eight buttons floating in two rows.
    CKVTToolBar* user = frame.CreateUserToolbar(QStringLiteral("Moje nástroje"));
    if (user) {
        for (int i = 0; i < 8 && i < standard->Items().Count(); ++i)
            if (CKVTToolbarButton* button = standard->GetButton(i); button && button->m_id)
                user->InsertButton(button->Clone());
        user->CalcDynamicLayout(4 * 24, ui::LM_HORZ | ui::LM_COMMIT);
        user->SetLastFloatingWidth(4 * 24);
        frame.FloatControlBar(user, frame.geometry().topLeft() + QPoint(520, 260), ui::CBRS_ALIGN_TOP);
    }

    auto* child = new ui::ChildFrame;
    auto* text = new QTextEdit;
    text->setPlainText(QStringLiteral("PROGRAM DEMO\n  LD  I0.0\n  ST  Q0.0\n"));
    child->setWidget(text);
    child->setWindowTitle(QStringLiteral("demo.plc"));
    frame.MdiArea()->addSubWindow(child);
    child->resize(360, 220);
    child->show();
    if (maximized)
        child->showMaximized();
    frame.RecalcLayout();
    QTimer::singleShot(0, &frame, [&frame] { frame.RecalcLayout(); });
    if (customize) {
        ShowCustomizeSheets(frame);
        QTimer::singleShot(0, &frame, [standard] { ShowCustomizeMode(standard); });
    }
    if (appearance)
        QTimer::singleShot(0, &frame, [standard] { ShowAppearance(standard); });
    if (qapp.arguments().contains(QStringLiteral("--keys")))
        ShowCustomizeSheets(frame);
    if (qapp.arguments().contains(QStringLiteral("--sheet")))
        QTimer::singleShot(0, &frame, [&frame] { CKVTToolbarCustomize::OpenForFrame(&frame); });
    return QApplication::exec();
}
