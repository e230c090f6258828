// The combo box button: its stored record, items and selection, the twins
// of the same command in other bars, its place in horizontal and vertical
// bars, and presses on its combo in customisation mode and with Alt.

#include "uilib/KVTToolbarComboBoxButton.h"

#include "platform/ui/App.h"
#include "uilib/KVTButtonDragController.h"
#include "uilib/KVTFrameWnd.h"
#include "uilib/KVTToolBar.h"

#include "DockWorld.h"
#include "tests/support/ui/UiTest.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTest>
#include <gtest/gtest.h>

using namespace testsupport::ui;

namespace {

std::vector<uint8_t> Store(CKVTToolbarButton& b)
{
    sys::ObjectArchive ar;
    b.Serialize(ar);
    return ar.TakeBytes();
}

QString Hex(const std::vector<uint8_t>& bytes)
{
    return QString::fromLatin1(
        QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())).toHex(' ').toUpper());
}

TEST(ComboRecord, StoresAndLoadsItsItemsDataWidthAndSelection)
{
    CKVTToolbarComboBoxButton b(40001, -1, 0x50200403, 150);
    EXPECT_EQ(b.AddItem(QStringLiteral("A"), 10), 0);
    EXPECT_EQ(b.AddItem(QStringLiteral("B"), 20), 1);
    EXPECT_EQ(b.AddItem(QStringLiteral("A"), 30), 0); // not added twice
    EXPECT_EQ(b.GetText(), QStringLiteral("A"));
    ASSERT_TRUE(b.SelectItem(1));
    const std::vector<uint8_t> bytes = Store(b);
    EXPECT_EQ(Hex(bytes), QStringLiteral("41 9C 00 00 00 00 00 00 FF FF FF FF FF FE FF 00 00 00 00 00 00 00 00 00 "
                                         "00 00 00 00 01 00 00 00 96 00 00 00 03 04 20 50 01 00 00 00 FF FE FF 01 "
                                         "42 00 02 00 FF FE FF 01 41 00 FF FE FF 01 42 00 0A 00 00 00 14 00 00 00"));
    CKVTToolbarComboBoxButton loaded;
    sys::ObjectArchive in(bytes);
    loaded.Serialize(in);
    EXPECT_EQ(in.Remaining(), 0u);
    EXPECT_EQ(loaded.m_id, 40001u);
    EXPECT_EQ(loaded.GetWidth(), 150);
    EXPECT_EQ(loaded.GetComboStyle(), 0x50200403u);
    EXPECT_EQ(loaded.GetCount(), 2);
    EXPECT_EQ(loaded.GetCurSel(), 1);
    EXPECT_EQ(loaded.GetText(), QStringLiteral("B"));
    EXPECT_EQ(loaded.GetItemData(0), 10u);
    EXPECT_EQ(loaded.GetItemData(), 20u);
    EXPECT_EQ(Store(loaded), bytes);
    EXPECT_EQ(loaded.SelectItemByData(10), true);
    EXPECT_EQ(loaded.GetText(), QStringLiteral("A"));
    EXPECT_TRUE(loaded.SelectItem(QStringLiteral("B")));
    EXPECT_FALSE(loaded.SelectItem(QStringLiteral("b"))); // case counts

    // Cut records load nothing and leave the button as it was.
    for (size_t cut : {size_t(40), size_t(60), size_t(68)}) {
        std::vector<uint8_t> shortBytes(bytes.begin(), bytes.begin() + long(cut));
        CKVTToolbarComboBoxButton target(40002, -1);
        sys::ObjectArchive bad(shortBytes);
        EXPECT_THROW(target.Serialize(bad), sys::ArchiveError);
        EXPECT_EQ(target.GetCount(), 0);
    }
    // A count that passes the bytes.
    std::vector<uint8_t> big = bytes;
    big[50] = 0xFF; // the item count
    big[51] = 0x7F;
    CKVTToolbarComboBoxButton target;
    sys::ObjectArchive bad(big);
    EXPECT_THROW(target.Serialize(bad), sys::ArchiveError);
}

TEST(ComboRecord, SelectingOutsideTheItemsChangesNothing)
{
    CKVTToolbarComboBoxButton b(40001, -1);
    for (const char* t : {"x", "y", "z"})
        b.AddItem(QString::fromLatin1(t), 0);
    ASSERT_TRUE(b.SelectItem(1));
    EXPECT_FALSE(b.SelectItem(3));
    EXPECT_FALSE(b.SelectItem(-1));
    EXPECT_EQ(b.GetCurSel(), 1);
    EXPECT_EQ(b.GetText(), QStringLiteral("y"));
}

class ComboBars : public ::testing::Test, public ui::CommandTarget
{
protected:
    void SetUp() override
    {
        ui::SetRouteProvider([this] { return std::vector<ui::CommandTarget*>{this}; });
        MapCommand(40001, [this] { ++runs; });
        MapUpdate(40001, [](ui::CmdUI& cmd) { cmd.Enable(true); });
        frame = new ui::MainFrameBase;
        auto* host = new QWidget;
        frame->setCentralWidget(host);
        a = MakeBar(host, 0xE800, QRect(0, 0, 400, 30), 0x50402834);
        b = MakeBar(host, 0xE801, QRect(0, 60, 400, 30), 0x50402834);
        v = MakeBar(host, 0xE802, QRect(420, 0, 30, 200), 0x50401834);
        frame->resize(500, 250);
        frame->show();
        ca = AddCombo(a);
        cb = AddCombo(b);
        cv = AddCombo(v);
    }
    void TearDown() override
    {
        CKVTToolbarShared::SetCustomizeMode(false);
        delete frame;
        ui::SetRouteProvider(nullptr);
    }
    static CKVTToolBar* MakeBar(QWidget* host, uint32_t id, QRect r, uint32_t style)
    {
        auto* bar = new CKVTToolBar(host);
        bar->CreateEx(host, 0x830, style, QMargins(1, 1, 1, 1), id);
        bar->setGeometry(r);
        return bar;
    }
    static CKVTToolbarComboBoxButton* AddCombo(CKVTToolBar* bar)
    {
        auto c = std::make_unique<CKVTToolbarComboBoxButton>(40001, 0, 0x50200403, 120);
        c->AddItem(QStringLiteral("Jedna"), 1);
        c->AddItem(QStringLiteral("Dvě"), 2);
        CKVTToolbarComboBoxButton* raw = c.get();
        bar->InsertButton(std::move(c));
        bar->AdjustLayout();
        return raw;
    }
    ui::MainFrameBase* frame = nullptr;
    CKVTToolBar *a = nullptr, *b = nullptr, *v = nullptr;
    CKVTToolbarComboBoxButton *ca = nullptr, *cb = nullptr, *cv = nullptr;
    int runs = 0;
};

TEST_F(ComboBars, ChoosingInOneBarSelectsInTheOtherAndSendsTheCommandOnce)
{
    QComboBox* combo = ca->GetComboBox();
    ASSERT_NE(combo, nullptr);
    EXPECT_EQ(ca->GetHwnd(), combo);
    EXPECT_FALSE(combo->isEditable());
    EXPECT_TRUE(combo->isVisible());
    EXPECT_EQ(combo->count(), 2);
    combo->setCurrentIndex(1);
    emit combo->activated(1);
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(ca->GetCurSel(), 1);
    EXPECT_EQ(cb->GetCurSel(), 1);
    EXPECT_EQ(cb->GetComboBox()->currentIndex(), 1);
    EXPECT_EQ(cb->GetText(), QStringLiteral("Dvě"));
    EXPECT_EQ(cv->GetCurSel(), 1);

    // An editable combo: typed text reaches the twins.
    auto e = std::make_unique<CKVTToolbarComboBoxButton>(40003, -1, 0x50200402, 100);
    auto f = std::make_unique<CKVTToolbarComboBoxButton>(40003, -1, 0x50200401, 100);
    CKVTToolbarComboBoxButton* ce = e.get();
    CKVTToolbarComboBoxButton* cf = f.get();
    a->InsertButton(std::move(e));
    b->InsertButton(std::move(f));
    a->AdjustLayout();
    b->AdjustLayout();
    ASSERT_TRUE(ce->GetComboBox()->isEditable());
    TypeText(ce->GetComboBox()->lineEdit(), QStringLiteral("abc"));
    EXPECT_EQ(ce->GetText(), QStringLiteral("abc"));
    EXPECT_EQ(cf->GetText(), QStringLiteral("abc"));
    EXPECT_EQ(cf->GetComboBox()->currentText(), QStringLiteral("abc"));
}

TEST_F(ComboBars, WidthAndOrientation)
{
    const QRect r = a->GetItemRect(a->Items().IndexOf(ca));
    EXPECT_EQ(r.width(), 120);
    EXPECT_EQ(ca->GetComboBox()->geometry().left(), r.left() + 3);
    EXPECT_EQ(ca->GetComboBox()->width(), 114);
    ca->OnWidthChanged(160);
    EXPECT_EQ(ca->GetComboBox()->width(), 154);
    EXPECT_EQ(ca->GetComboBox()->geometry().topLeft(), QPoint(r.left() + 3, r.top()));

    // In a vertical bar the combo hides and the button is a plain one.
    EXPECT_FALSE(cv->GetComboBox()->isVisible());
    EXPECT_TRUE(cv->HaveHotBorder());
    const QRect vr = v->GetItemRect(v->Items().IndexOf(cv));
    EXPECT_LT(vr.width(), 40);
    ui::IdleUpdater::Instance().RunPass();
    Click(v, vr.center());
    EXPECT_EQ(runs, 1);
    // A horizontal combo swallows the click of its button.
    EXPECT_TRUE(ca->OnClick(a));
    EXPECT_FALSE(cv->OnClick(v));
}

TEST_F(ComboBars, CustomisationModeDisablesTheComboButKeepsItsColours)
{
    QComboBox* combo = ca->GetComboBox();
    ui::IdleUpdater::Instance().RunPass();
    EXPECT_TRUE(combo->isEnabled());
    CKVTToolbarShared::SetCustomizeMode(true);
    EXPECT_FALSE(combo->isEnabled());
    EXPECT_EQ(combo->palette().color(QPalette::Disabled, QPalette::Text),
              combo->palette().color(QPalette::Active, QPalette::Text));
    ui::IdleUpdater::Instance().RunPass();
    EXPECT_FALSE(combo->isEnabled());
    CKVTToolbarShared::SetCustomizeMode(false);
    ui::IdleUpdater::Instance().RunPass();
    EXPECT_TRUE(combo->isEnabled());
    // A copy for the customisation page takes the live items of the first twin.
    CKVTToolbarComboBoxButton copy(40001, -1);
    copy.OnAddToCustomizePage();
    EXPECT_EQ(copy.GetCount(), 2);
}

class ComboFrame : public docktest::DockWorld
{
protected:
    std::unique_ptr<ui::Application> app = std::make_unique<ui::Application>();
    void TearDown() override
    {
        CKVTToolbarShared::SetAltCustomization(false);
        DockWorld::TearDown();
        app.reset();
    }
    CKVTToolbarComboBoxButton* Combo()
    {
        auto c = std::make_unique<CKVTToolbarComboBoxButton>(40001, -1, 0x50200403, 100);
        c->AddItem(QStringLiteral("Jedna"), 1);
        CKVTToolbarComboBoxButton* raw = c.get();
        mainBar->InsertButton(std::move(c), 0);
        frame->RecalcLayout();
        mainBar->AdjustLayout();
        QApplication::processEvents();
        return raw;
    }
    // Drags the combo (pressed on the control) to a global point.
    void DragCombo(QComboBox* combo, QPoint global, Qt::KeyboardModifiers mods)
    {
        const QPoint at(10, combo->height() / 2);
        QTest::mousePress(combo, Qt::LeftButton, mods, at);
        for (QPoint g : {combo->mapToGlobal(at) + QPoint(0, 20), global}) {
            QMouseEvent move(QEvent::MouseMove, combo->mapFromGlobal(g), g, Qt::NoButton, Qt::LeftButton, mods);
            QApplication::sendEvent(QWidget::mouseGrabber() ? QWidget::mouseGrabber() : combo, &move);
        }
        QMouseEvent up(QEvent::MouseButtonRelease, combo->mapFromGlobal(global), global, Qt::LeftButton, Qt::NoButton,
                       mods);
        QApplication::sendEvent(QWidget::mouseGrabber() ? QWidget::mouseGrabber() : combo, &up);
    }
};

TEST_F(ComboFrame, APressOnTheComboSelectsAndDragsItsButton)
{
    Build();
    CKVTToolbarComboBoxButton* c = Combo();
    const int debugCount = debugBar->Items().Count();
    CKVTToolbarShared::SetCustomizeMode(true);
    QComboBox* combo = c->GetComboBox();
    ASSERT_FALSE(combo->isEnabled());
    QTest::mouseClick(combo, Qt::LeftButton, {}, QPoint(10, combo->height() / 2));
    EXPECT_EQ(mainBar->Items().selected, 0);
    DragCombo(combo, debugBar->mapToGlobal(debugBar->GetItemRect(0).center() - QPoint(6, 0)), {});
    EXPECT_EQ(debugBar->Items().Count(), debugCount + 1);
    EXPECT_NE(dynamic_cast<CKVTToolbarComboBoxButton*>(debugBar->GetButton(0)), nullptr);
    EXPECT_EQ(mainBar->Items().CommandToIndex(40001), -1);
    CKVTToolbarShared::SetCustomizeMode(false);
}

TEST_F(ComboFrame, AnAltDragMovesTheComboAndLeavesCustomisationModeOff)
{
    Build();
    CKVTToolbarComboBoxButton* c = Combo();
    CKVTToolbarShared::SetAltCustomization(true);
    const int debugCount = debugBar->Items().Count();
    DragCombo(c->GetComboBox(), debugBar->mapToGlobal(debugBar->GetItemRect(1).center() - QPoint(6, 0)),
              Qt::AltModifier);
    EXPECT_EQ(debugBar->Items().Count(), debugCount + 1);
    EXPECT_EQ(debugBar->Items().CommandToIndex(40001), 1);
    EXPECT_EQ(mainBar->Items().CommandToIndex(40001), -1);
    EXPECT_FALSE(CKVTToolbarShared::IsCustomizeMode());
    EXPECT_FALSE(CKVTToolbarShared::IsTempCustomizeMode());
    auto* moved = static_cast<CKVTToolbarComboBoxButton*>(debugBar->GetButton(1));
    ASSERT_NE(moved->GetComboBox(), nullptr);
    EXPECT_TRUE(moved->GetComboBox()->isEnabled());
}

} // namespace
