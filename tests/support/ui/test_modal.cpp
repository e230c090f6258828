// Modal windows without hanging: the document window's save-as file
// dialog, a property sheet, several windows in order, and the failures.
#include "StandInApp.h"

#include "platform/ui/Dialog.h"
#include "platform/ui/Prompt.h"
#include "tests/support/ui/UiTest.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <gtest/gtest-spi.h>

using namespace testsupport::ui;

namespace {

class PeriodPage : public ui::PropertyPage
{
public:
    PeriodPage() : ui::PropertyPage(9101, QStringLiteral("Perioda")) {}
    int period = 10;
    void DoDataExchange(ui::DataExchange& dx) override { dx.Int(2105, period, 0, 100); }
};

} // namespace

TEST(UiModal, FileDialogOfTheDocumentWindow)
{
    StandInApp s;
    ASSERT_TRUE(s.Start());
    const QString target = QString::fromStdString(s.dir / "Copy.plc");
    bool seen = false;
    OnNextModal<QFileDialog>([&](QFileDialog* d) {
        seen = true;
        EXPECT_EQ(d->acceptMode(), QFileDialog::AcceptSave);
        QLineEdit* name = FindChild<QLineEdit>(d, QStringLiteral("fileNameEdit"));
        ASSERT_NE(name, nullptr);
        name->clear();
        TypeText(name, target);
        PressKey(name, Qt::Key_Return);
    });
    EXPECT_TRUE(s.doc->DoSave({}, false));
    EXPECT_TRUE(seen);
    EXPECT_TRUE(QFileInfo::exists(target));
    EXPECT_EQ(PendingModals(), 0);

    // Cancelled: nothing is saved.
    OnNextModal<QFileDialog>([](QFileDialog* d) { d->reject(); });
    EXPECT_FALSE(s.doc->DoSave({}, false));
}

TEST(UiModal, PropertySheetThenMessageInOrder)
{
    ui::PropertySheet sheet(QStringLiteral("Nastavení"));
    auto* page = new PeriodPage;
    sheet.AddPage(page);
    OnNextModal<ui::PropertySheet>([](ui::PropertySheet* d) {
        QLineEdit* edit = FindChild<QLineEdit>(d, QStringLiteral("c2105"));
        ASSERT_NE(edit, nullptr);
        edit->selectAll();
        TypeText(edit, QStringLiteral("42"));
        d->accept();
    });
    OnNextModal<QMessageBox>([](QMessageBox* box) {
        EXPECT_EQ(box->text(), QStringLiteral("Uloženo."));
        box->accept();
    });
    EXPECT_EQ(PendingModals(), 2);
    EXPECT_EQ(sheet.DoModal(), int(QDialog::Accepted));
    EXPECT_EQ(page->period, 42);
    // No prompt script: the prompt service shows its message box.
    EXPECT_EQ(ui::Prompt(QStringLiteral("Uloženo.")), ui::IDOK);
    EXPECT_EQ(PendingModals(), 0);
}

TEST(UiModal, ADifferentWindowIsReportedAndRejected)
{
    ui::PropertySheet sheet(QStringLiteral("Nastavení"));
    sheet.AddPage(new PeriodPage);
    int result = -1;
    bool acted = false;
    EXPECT_NONFATAL_FAILURE(
        {
            OnNextModal<QFileDialog>([&](QFileDialog*) { acted = true; });
            OnNextModal<QMessageBox>([&](QMessageBox*) { acted = true; });
            result = sheet.DoModal();
        },
        "expected the modal window QFileDialog, but ui::PropertySheet titled \"Nastavení\" appeared");
    EXPECT_EQ(result, int(QDialog::Rejected));
    EXPECT_FALSE(acted);
    EXPECT_EQ(PendingModals(), 0); // the rest of the queue is dropped
}

TEST(UiModal, AWindowThatNeverComesIsReported)
{
    EXPECT_NONFATAL_FAILURE(
        {
            OnNextModal<QFileDialog>([](QFileDialog* d) { d->reject(); }, 100);
            WaitFor([] { return PendingModals() == 0; }, 5000, "the expectation to time out");
        },
        "expected the modal window QFileDialog within 100 ms, but no modal window appeared");
    EXPECT_EQ(PendingModals(), 0);
    // Never pumped: the check at the test's end names the missing window.
    EXPECT_NONFATAL_FAILURE(
        {
            OnNextModal<QMessageBox>([](QMessageBox* d) { d->accept(); });
            ExpectNoPendingModals();
        },
        "1 expected modal window(s) never came: QMessageBox");
}

TEST(UiModal, AWindowLeftOpenByTheTestIsClosed)
{
    QDialog d;
    EXPECT_NONFATAL_FAILURE(
        {
            OnNextModal<QDialog>([](QDialog*) {}, 100);
            EXPECT_EQ(d.exec(), int(QDialog::Rejected));
        },
        "was still open 100 ms after the test acted on it");
}
