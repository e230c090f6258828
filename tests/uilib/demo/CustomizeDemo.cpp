// "--customize": the keyboard and mouse pages in property sheets beside the
// frame: a command's keys with a captured Ctrl+Shift+F5, and two demo views.

#include "platform/ui/App.h"
#include "platform/ui/Dialog.h"
#include "platform/ui/Menu.h"
#include "res/CommandIds.h"
#include "res/StringTable.h"
#include "uilib/KVTKeyboardManager.h"
#include "uilib/KVTKeyboardPage.h"
#include "uilib/KVTMenuCommandCategories.h"
#include "uilib/KVTMouseManager.h"
#include "uilib/KVTMousePage.h"
#include "uilib/KVTShortcutEdit.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QListWidget>

namespace {

void SendKey(QWidget* w, QEvent::Type type, Qt::Key key, Qt::KeyboardModifiers mods)
{
    QKeyEvent e(type, key, mods);
    QApplication::sendEvent(w, &e);
}

ui::PropertySheet* MakeSheet(ui::MainFrameBase& frame, const CKVTCommandCategories* categories, int page,
                             QPoint at)
{
    auto* sheet = new ui::PropertySheet(QStringLiteral("Vlastní nastavení"), &frame);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    sheet->AddPage(new CKVTKeyboardPage(&frame, false, categories));
    sheet->AddPage(new CKVTMousePage(categories));
    sheet->SetActivePage(page);
    sheet->setGeometry(QRect(at, QSize(660, 360)));
    sheet->show();
    return sheet;
}

} // namespace

void ShowCustomizeSheets(ui::MainFrameBase& frame)
{
    // The descriptions: the prompts of the string table.
    ui::SetCommandPromptSource([](uint32_t id) { return LoadResString(id).section(QLatin1Char('\n'), 0, 0); });
    static CKVTKeyboardManager keyboard;
    static CKVTMouseManager mouse;
    static const CKVTMenuCommandCategories categories(*frame.GetDefaultMenu(), QStringLiteral("Všechny příkazy"));
    mouse.AddView(1, QStringLiteral("Zdrojový text PLC"), 142);
    mouse.AddView(2, QStringLiteral("Hexadecimální pohled"), 143);
    mouse.SetCommand(2, ID_NEXT_ERROR);

    // The keyboard page: the keys of "next error" and a captured Ctrl+Shift+F5.
    ui::PropertySheet* keys = MakeSheet(frame, &categories, 0, frame.geometry().topLeft() + QPoint(560, 0));
    auto* page = static_cast<CKVTKeyboardPage*>(keys->GetPage(0));
    auto* category = page->Item<QComboBox>(CKVTKeyboardPage::IDC_CATEGORY);
    category->setCurrentIndex(category->count() - 1);
    auto* commands = page->Item<QListWidget>(CKVTKeyboardPage::IDC_COMMANDS);
    for (int i = 0; i < commands->count(); ++i)
        if (commands->item(i)->data(Qt::UserRole).toUInt() == ID_NEXT_ERROR) {
            commands->setCurrentRow(i);
            commands->scrollToItem(commands->item(i), QAbstractItemView::PositionAtCenter);
        }
    auto* edit = qobject_cast<CKVTShortcutEdit*>(page->GetDlgItem(CKVTKeyboardPage::IDC_SHORTCUT));
    if (edit) {
        const Qt::KeyboardModifiers both = Qt::ControlModifier | Qt::ShiftModifier;
        SendKey(edit, QEvent::KeyPress, Qt::Key_Control, Qt::NoModifier);
        SendKey(edit, QEvent::KeyPress, Qt::Key_Shift, Qt::ControlModifier);
        SendKey(edit, QEvent::KeyPress, Qt::Key_F5, both);
        SendKey(edit, QEvent::KeyRelease, Qt::Key_F5, both);
        SendKey(edit, QEvent::KeyRelease, Qt::Key_Shift, both);
        SendKey(edit, QEvent::KeyRelease, Qt::Key_Control, Qt::ControlModifier);
    }

    // The mouse page with the two views, the first in order bound.
    MakeSheet(frame, &categories, 1, frame.geometry().topLeft() + QPoint(560, 375));
}
