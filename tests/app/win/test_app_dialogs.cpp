// Every dialog template of the program, on its own and as a property page:
// Escape does what Cancel does and leaves no window open or blank, and the
// texts fit at the default size.
#include "platform/ui/Dialog.h"
#include "tests/support/ui/UiTest.h"

#include <QDir>
#include <QPointer>

using namespace testsupport::ui;

namespace {

std::vector<uint32_t> Templates()
{
    std::vector<uint32_t> ids;
    for (const QString& name : QDir(QStringLiteral(":/res/dialogs")).entryList({QStringLiteral("*.ui")}))
        ids.push_back(name.section(QLatin1Char('.'), 0, 0).toUInt());
    std::sort(ids.begin(), ids.end());
    return ids;
}

// The widgets that take the focus from the keyboard, one of each class.
std::vector<QPointer<QWidget>> FocusTargets(QWidget* root)
{
    std::vector<QPointer<QWidget>> out;
    QStringList classes;
    for (QWidget* w : root->findChildren<QWidget*>()) {
        const QString cls = QString::fromLatin1(w->metaObject()->className());
        if ((w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(root) && w->isEnabled() && !classes.contains(cls)) {
            classes << cls;
            out.emplace_back(w);
        }
    }
    return out;
}

} // namespace

TEST(Dialogs, EscapeInEveryTemplateCancelsAndLeavesNoWindow)
{
    const std::vector<uint32_t> ids = Templates();
    ASSERT_GT(ids.size(), 40u);
    const QList<QWidget*> before = VisibleTopLevels();
    for (uint32_t id : ids) {
        ui::Dialog d(id);
        ASSERT_TRUE(d.IsLoaded()) << id;
        d.show();
        const auto targets = FocusTargets(&d);
        for (const QPointer<QWidget>& t : targets) {
            if (!t)
                continue;
            d.show();
            d.activateWindow();
            t->setFocus();
            PressEscape(&d);
            EXPECT_FALSE(d.isVisible()) << "dialog " << id << ", focus on " << detail::Describe(t).toStdString();
            EXPECT_EQ(d.result(), int(QDialog::Rejected)) << id;
            // Nothing inside it hid itself: shown again, it is whole.
            for (QWidget* w : d.findChildren<QWidget*>())
                if (qobject_cast<QDialog*>(w))
                    ADD_FAILURE() << "dialog " << id << " holds a dialog " << detail::Describe(w).toStdString();
        }
        d.hide();
    }
    EXPECT_EQ(VisibleTopLevels(before), QList<QWidget*>());
}

TEST(Dialogs, EscapeOnAnyPageClosesItsSheet)
{
    for (uint32_t id : Templates()) {
        ui::PropertySheet sheet(QStringLiteral("Sheet"));
        auto* page = new ui::PropertyPage(id);
        sheet.AddPage(page);
        sheet.ShowModeless();
        const auto targets = FocusTargets(page);
        for (const QPointer<QWidget>& t : targets) {
            if (!t)
                continue;
            sheet.show();
            t->setFocus();
            PressEscape(&sheet);
            EXPECT_FALSE(sheet.isVisible()) << "page " << id << ", focus on " << detail::Describe(t).toStdString();
            EXPECT_FALSE(page->isHidden()) << "page " << id << " hid itself";
        }
    }
}
