// Modal loops, message pumping, the prompt service, dialogs from .ui
// resources and property sheets.
#include "platform/ui/Dialog.h"
#include "platform/ui/Messages.h"
#include "platform/ui/Modal.h"
#include "platform/ui/Prompt.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QLineEdit>
#include <QPointer>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdio>
#include <thread>

using namespace ui;

TEST(ModalLoop, BeginRunEndReturnsTheResultOfAPostedReply)
{
    QDialog dialog;
    MessageHandle h = RegisterMessageTarget(&dialog, [&](uint32_t msg, uintptr_t w, intptr_t, MessageRecord*) {
        if (msg == WM_LINK_RESULT)
            dialog.done(int(w));
        return 0;
    });
    ASSERT_EQ(BeginModal(&dialog), 1);
    EXPECT_TRUE(dialog.isVisible());
    // The request goes out between begin and run; its reply comes from a
    // worker thread as a posted message.
    std::thread worker([h] { PostMessageTo(h, WM_LINK_RESULT, 5); });
    RunModal(&dialog);
    worker.join();
    EXPECT_EQ(NestingDepth(), 0);
    EXPECT_EQ(EndModal(&dialog), 5);
    EXPECT_FALSE(dialog.isVisible());

    // A reply that arrives before the loop runs ends it at once.
    ASSERT_EQ(BeginModal(&dialog), 1);
    PostMessageTo(h, WM_LINK_RESULT, 1);
    QApplication::processEvents();
    RunModal(&dialog);
    EXPECT_EQ(EndModal(&dialog), 1);
    EXPECT_EQ(BeginModal(nullptr), 0);
}

TEST(ModalLoop, QuitDuringPumpIsReportedOnceKeptAndReissued)
{
    std::vector<bool> results;
    QPointer<QObject> later;
    bool aliveInsidePump = false;
    int idleCalls = 0;
    QTimer::singleShot(0, [&] {
        // Deleted later by this handler: not inside the pumps below.
        later = new QObject;
        later->deleteLater();
        QTimer::singleShot(0, [] { QCoreApplication::quit(); });
        for (int i = 0; i < 3; ++i)
            results.push_back(PumpMessages([&](long count) {
                ++idleCalls;
                return count < 2;
            }));
        aliveInsidePump = !later.isNull();
        EXPECT_TRUE(QuitRequestHeld());
    });
    // A safety net: the loop must end by the re-issued request.
    QTimer guard;
    guard.setSingleShot(true);
    bool timedOut = false;
    QObject::connect(&guard, &QTimer::timeout, [&] {
        timedOut = true;
        QCoreApplication::exit(1);
    });
    guard.start(10000);
    int code = QApplication::exec();
    EXPECT_FALSE(timedOut);
    EXPECT_EQ(code, 0);
    ASSERT_EQ(results.size(), 3u);
    EXPECT_FALSE(results[0]);
    EXPECT_TRUE(results[1]);
    EXPECT_TRUE(results[2]);
    EXPECT_EQ(idleCalls, 9);
    EXPECT_TRUE(aliveInsidePump);
    EXPECT_FALSE(QuitRequestHeld());
}

TEST(PromptService, ScriptedAnswersAreReturnedAndQuestionsRecorded)
{
    ScriptedPrompts prompts({IDNO});
    EXPECT_EQ(Prompt(QStringLiteral("Uložit?"), QStringLiteral("Titulek"), MB_YESNO | MB_ICONQUESTION), IDNO);
    // The script ran out: the default button answers.
    EXPECT_EQ(Prompt(QStringLiteral("Dál?"), {}, MB_YESNOCANCEL | MB_DEFBUTTON3), IDCANCEL);
    ASSERT_EQ(prompts.Asked().size(), 2u);
    EXPECT_EQ(prompts.Asked()[0].text, QStringLiteral("Uložit?"));
    EXPECT_EQ(prompts.Asked()[0].caption, QStringLiteral("Titulek"));
    EXPECT_EQ(prompts.Asked()[0].style, uint32_t(MB_YESNO | MB_ICONQUESTION));
    EXPECT_EQ(prompts.Asked()[1].caption, QStringLiteral("Strandwork"));
    EXPECT_EQ(DefaultAnswer(MB_OKCANCEL | MB_DEFBUTTON2), IDCANCEL);
    EXPECT_EQ(DefaultAnswer(MB_OK | MB_DEFBUTTON3), IDOK);
}

TEST(PromptService, UnattendedModeNeverBlocks)
{
    SetUnattended(true);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(Prompt(QStringLiteral("Přepsat soubor?"), {}, MB_YESNO | MB_DEFBUTTON2), IDNO);
    EXPECT_EQ(Prompt(QStringLiteral("Hotovo.")), IDOK);
    std::string err = ::testing::internal::GetCapturedStderr();
    SetUnattended(false);
    EXPECT_NE(err.find("Přepsat soubor?"), std::string::npos);
    EXPECT_NE(err.find("Hotovo."), std::string::npos);
}

namespace {
class TestDialog : public Dialog
{
public:
    TestDialog() : Dialog(9001) {}
    QString name = QStringLiteral("Haldor");
    int period = 100;
    int check = 1;
    int choice = 1;
    void DoDataExchange(DataExchange& dx) override
    {
        dx.Text(2104, name);
        dx.Int(2105, period, 0, 65535);
        dx.Check(2106, check);
        dx.ListIndex(2107, choice);
    }
};

class TestPage : public PropertyPage
{
public:
    explicit TestPage(const QString& caption) : PropertyPage(9001, caption) {}
    int period = 10;
    int okCalls = 0;
    int activations = 0;
    void DoDataExchange(DataExchange& dx) override { dx.Int(2105, period, 0, 100); }
    bool OnSetActive() override
    {
        ++activations;
        return PropertyPage::OnSetActive();
    }
    void OnOK() override
    {
        ++okCalls;
        PropertyPage::OnOK();
    }
};
} // namespace

TEST(Dialogs, UiResourceExchangesValuesWithTheControlsNamedByTheirIds)
{
    ScriptedPrompts prompts;
    TestDialog d;
    ASSERT_TRUE(d.IsLoaded()) << d.LoadError().toStdString();
    EXPECT_EQ(d.windowTitle(), QStringLiteral("Zkouška"));
    ASSERT_NE(d.Item<QLineEdit>(2104), nullptr);
    EXPECT_EQ(d.GetDlgItem(9999), nullptr);

    ASSERT_TRUE(d.UpdateData(false));
    EXPECT_EQ(d.Item<QLineEdit>(2104)->text(), QStringLiteral("Haldor"));
    EXPECT_EQ(d.Item<QLineEdit>(2105)->text(), QStringLiteral("100"));
    EXPECT_TRUE(d.Item<QCheckBox>(2106)->isChecked());
    EXPECT_EQ(d.Item<QComboBox>(2107)->currentIndex(), 1);

    d.Item<QLineEdit>(2104)->setText(QStringLiteral("Jiný"));
    d.Item<QLineEdit>(2105)->setText(QStringLiteral("250"));
    d.Item<QCheckBox>(2106)->setChecked(false);
    d.Item<QComboBox>(2107)->setCurrentIndex(0);
    ASSERT_TRUE(d.UpdateData(true));
    EXPECT_EQ(d.name, QStringLiteral("Jiný"));
    EXPECT_EQ(d.period, 250);
    EXPECT_EQ(d.check, 0);
    EXPECT_EQ(d.choice, 0);
    EXPECT_TRUE(prompts.Asked().empty());

    // Out of range: refused with the framework's message; the member keeps
    // its value and the dialog stays open.
    d.Item<QLineEdit>(2105)->setText(QStringLiteral("70000"));
    EXPECT_FALSE(d.UpdateData(true));
    EXPECT_EQ(d.period, 250);
    ASSERT_EQ(prompts.Asked().size(), 1u);
    EXPECT_EQ(prompts.Asked()[0].text, QStringLiteral("Zadejte prosím celé číslo v rozsahu od 0 do 65535."));
    d.Item<QLineEdit>(2105)->setText(QStringLiteral("abc"));
    EXPECT_FALSE(d.UpdateData(true));
    EXPECT_EQ(prompts.Asked().size(), 2u);

    ASSERT_EQ(d.BeginModal(), 1);
    d.Item<QLineEdit>(2105)->setText(QStringLiteral("7"));
    QTimer::singleShot(0, [&] { d.OnOK(); });
    d.RunModal();
    EXPECT_EQ(d.EndModal(), int(QDialog::Accepted));
    EXPECT_EQ(d.period, 7);
}

TEST(Dialogs, FormsMakeTheProgramsOwnRegisteredClasses)
{
    // The registered factory makes the control, which keeps its id's name.
    class OwnEdit : public QLineEdit
    {
    public:
        using QLineEdit::QLineEdit;
    };
    RegisterFormWidget(QStringLiteral("CTestOwnEdit"), [](QWidget* parent) { return new OwnEdit(parent); });
    TestDialog d;
    ASSERT_TRUE(d.IsLoaded());
    QWidget* w = d.GetDlgItem(2108);
    ASSERT_NE(w, nullptr);
    EXPECT_NE(dynamic_cast<OwnEdit*>(w), nullptr);
}

TEST(Dialogs, MissingTemplateFailsClearly)
{
    Dialog d(4242);
    EXPECT_FALSE(d.IsLoaded());
    EXPECT_TRUE(d.LoadError().contains(QLatin1String("4242")));
    EXPECT_EQ(d.DoModal(), -1);
    EXPECT_EQ(d.BeginModal(), -1);
    EXPECT_EQ(d.GetDlgItem(2104), nullptr);
}

TEST(Dialogs, PropertySheetStartsOnItsPageAndKeepsAnInvalidPageActive)
{
    ScriptedPrompts prompts;
    PropertySheet sheet(QStringLiteral("Nastavení"), nullptr, 1);
    auto* p0 = new TestPage(QStringLiteral("První"));
    auto* p1 = new TestPage(QStringLiteral("Druhá"));
    sheet.AddPage(p0);
    sheet.AddPage(p1);
    EXPECT_EQ(sheet.GetPageCount(), 2);

    QTimer::singleShot(0, [&] {
        EXPECT_EQ(sheet.GetActiveIndex(), 1);
        EXPECT_EQ(p1->activations, 1);
        EXPECT_EQ(p0->activations, 0);
        // A modified page enables Apply.
        p1->SetModified();
        EXPECT_TRUE(sheet.Buttons()->button(QDialogButtonBox::Apply)->isEnabled());
        // An invalid value keeps the page active.
        p1->Item<QLineEdit>(2105)->setText(QStringLiteral("500"));
        EXPECT_FALSE(sheet.SetActivePage(0));
        EXPECT_EQ(sheet.GetActiveIndex(), 1);
        sheet.accept();
        EXPECT_TRUE(sheet.isVisible());
        p1->Item<QLineEdit>(2105)->setText(QStringLiteral("50"));
        EXPECT_TRUE(sheet.SetActivePage(0));
        EXPECT_EQ(p0->activations, 1);
        sheet.accept();
    });
    EXPECT_EQ(sheet.DoModal(), int(QDialog::Accepted));
    EXPECT_EQ(p1->period, 50);
    EXPECT_EQ(p0->okCalls, 1);
    EXPECT_EQ(p1->okCalls, 1);
    EXPECT_FALSE(p1->IsModified());
    EXPECT_EQ(prompts.Asked().size(), 2u);
}
