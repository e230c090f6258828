// History combo boxes in a real (offscreen) application: shared named
// lists, their limit, focus changes and destruction.

#include "editor/dialogs/HistoryCombo.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QScreen>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <memory>

namespace {

QStringList Items(const QComboBox& c)
{
    QStringList out;
    for (int i = 0; i < c.count(); ++i)
        out << c.itemText(i);
    return out;
}

TEST(HistoryCombo, SameTextTwiceKeepsOneEntryAtTheTop)
{
    CHistoryCombo c;
    c.SetHistoryName("Twice");
    c.AddToHistory("a");
    c.AddToHistory("b");
    c.AddToHistory("a");
    EXPECT_EQ(Items(c), QStringList({"a", "b"}));
    EXPECT_EQ(CHistoryCombo::GetHistory("Twice"), QStringList({"a", "b"}));
    EXPECT_EQ(c.currentIndex(), 0);
    c.AddToHistory("A"); // compared exactly
    c.AddToHistory("");  // ignored
    EXPECT_EQ(CHistoryCombo::GetHistory("Twice"), QStringList({"A", "a", "b"}));
    EXPECT_TRUE(CHistoryCombo::GetHistory("twice").isEmpty()); // names compared exactly
}

TEST(HistoryCombo, The65thEntryPushesTheOldestOut)
{
    CHistoryCombo c;
    c.SetHistoryName("Limit");
    for (int i = 1; i <= 65; ++i)
        c.AddToHistory(QString::number(i));
    const QStringList list = CHistoryCombo::GetHistory("Limit");
    ASSERT_EQ(list.size(), 64);
    EXPECT_EQ(list.first(), "65");
    EXPECT_EQ(list.last(), "2");
    EXPECT_EQ(c.count(), 64);
}

TEST(HistoryCombo, SecondDialogShowsTheTextsOfTheFirst)
{
    {
        QDialog first;
        auto* combo = new CHistoryCombo(&first);
        combo->SetHistoryName("FindText");
        combo->FillFromHistory();
        combo->setEditText("motor");
        first.show();
        combo->StoreText();
        combo->setEditText("speed");
    } // destroyed with its dialog: "speed" is stored too
    QDialog second;
    auto* combo = new CHistoryCombo(&second);
    combo->SetHistoryName("FindText");
    combo->FillFromHistory();
    EXPECT_EQ(Items(*combo), QStringList({"speed", "motor"}));
    EXPECT_EQ(combo->currentText(), "speed");
}

TEST(HistoryCombo, FillingKeepsTheEditText)
{
    {
        CHistoryCombo c;
        c.SetHistoryName("Keep");
        c.AddToHistory("old");
    }
    CHistoryCombo c;
    c.SetHistoryName("Keep");
    c.setEditText("typed");
    c.FillFromHistory();
    EXPECT_EQ(c.currentText(), "typed");
    EXPECT_EQ(Items(c), QStringList({"old"}));
    c.FillFromHistory(); // once only
    EXPECT_EQ(c.count(), 1);
}

TEST(HistoryCombo, WithoutAListNameEntriesLiveOnlyInTheCombo)
{
    {
        CHistoryCombo c;
        c.AddToHistory("x");
        c.AddToHistory("y");
        EXPECT_EQ(Items(c), QStringList({"y", "x"}));
    }
    EXPECT_TRUE(CHistoryCombo::GetHistory("").isEmpty());
    CHistoryCombo other;
    other.FillFromHistory();
    EXPECT_EQ(other.count(), 0);
}

TEST(HistoryCombo, AnEntryWithALineFeedStaysOneEntry)
{
    CHistoryCombo c;
    c.SetHistoryName("Lines");
    c.AddToHistory("first\nsecond");
    c.AddToHistory("third");
    EXPECT_EQ(CHistoryCombo::GetHistory("Lines"), QStringList({"third", "first\nsecond"}));
}

TEST(HistoryCombo, TypedTextReachesTheListWhenTheComboIsDestroyed)
{
    {
        auto c = std::make_unique<CHistoryCombo>();
        c->SetHistoryName("Destroyed");
        c->lineEdit()->setText("typed only");
    }
    EXPECT_EQ(CHistoryCombo::GetHistory("Destroyed"), QStringList({"typed only"}));
}

TEST(HistoryCombo, FocusFillsAndStores)
{
    {
        CHistoryCombo seed;
        seed.SetHistoryName("Focus");
        seed.AddToHistory("earlier");
    }
    QDialog dialog;
    auto* layout = new QVBoxLayout(&dialog);
    auto* other = new QLineEdit(&dialog);
    auto* combo = new CHistoryCombo(&dialog);
    combo->SetHistoryName("Focus");
    layout->addWidget(other);
    layout->addWidget(combo);
    other->setFocus();
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    other->setFocus();
    QApplication::processEvents();
    EXPECT_EQ(combo->count(), 0);
    combo->setFocus();
    QApplication::processEvents();
    EXPECT_EQ(Items(*combo), QStringList({"earlier"})); // filled on focus
    combo->setEditText("entered");
    other->setFocus();
    QApplication::processEvents();
    EXPECT_EQ(CHistoryCombo::GetHistory("Focus"), QStringList({"entered", "earlier"}));
}

TEST(HistoryCombo, DropDownIsAtLeastAsWideAsTheWidestItem)
{
    CHistoryCombo c;
    c.resize(80, c.sizeHint().height());
    c.SetHistoryName("Wide");
    const QString wide(60, QChar('W'));
    c.AddToHistory(wide);
    c.AddToHistory("x");
    const int needed = QFontMetrics(c.font()).horizontalAdvance(wide);
    EXPECT_GE(c.view()->minimumWidth(), std::min(needed, c.screen()->geometry().width() - 48));
    EXPECT_GE(c.maxVisibleItems(), 1);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
