#include "editor/dialogs/HistoryCombo.h"

#include "platform/ui/Dialog.h"

#include <QAbstractItemView>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QHash>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScreen>

#include <algorithm>

namespace {

// Distance kept between the drop-down and the screen's right and bottom
// edges.
constexpr int kScreenMargin = 48;

QHash<QString, QStringList>& Store()
{
    static QHash<QString, QStringList> store;
    return store;
}

} // namespace

CHistoryCombo::CHistoryCombo(QWidget* parent) : QComboBox(parent)
{
    setEditable(true);
    // It completes nothing: what the field shows is what is searched.
    ui::KeepTypedText(this);
}

CHistoryCombo::~CHistoryCombo()
{
    StoreText();
}

void CHistoryCombo::SetHistoryName(const QString& name)
{
    m_name = name;
}

QStringList CHistoryCombo::GetHistory(const QString& name)
{
    return Store().value(name);
}

void CHistoryCombo::FillFromHistory()
{
    if (!m_needsFill || m_name.isEmpty())
        return;
    m_needsFill = false;
    const QString kept = currentText();
    const QStringList list = Store().value(m_name);
    for (const QString& text : list)
        if (findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive) < 0)
            addItem(text);
    AdjustDropDown();
    if (count() > 0)
        setCurrentIndex(0);
    if (!kept.isEmpty())
        setEditText(kept);
}

void CHistoryCombo::AddToHistory(const QString& text)
{
    if (text.isEmpty())
        return;
    // A combo that was never filled would otherwise write back only its
    // own entries and drop the rest of the shared list.
    FillFromHistory();
    const int old = findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (old >= 0)
        removeItem(old);
    insertItem(0, text);
    while (count() > kMaxEntries)
        removeItem(count() - 1);
    AdjustDropDown();
    setCurrentIndex(0);
    if (!m_name.isEmpty()) {
        QStringList list;
        list.reserve(count());
        for (int i = 0; i < count(); ++i)
            list.append(itemText(i));
        Store().insert(m_name, list);
    }
}

void CHistoryCombo::StoreText()
{
    AddToHistory(currentText());
}

void CHistoryCombo::AdjustDropDown()
{
    QScreen* s = screen();
    const QRect screenRect = s ? s->geometry() : QRect(0, 0, 1024, 768);
    const QPoint below = mapToGlobal(QPoint(0, height()));
    const QFontMetrics fm(font());
    const int itemHeight = std::max(1, fm.height());
    const int room = screenRect.bottom() - kScreenMargin - below.y();
    setMaxVisibleItems(std::max(1, room / itemHeight));

    int widest = 0;
    for (int i = 0; i < count(); ++i)
        widest = std::max(widest, fm.horizontalAdvance(itemText(i)));
    widest += 2 * fm.averageCharWidth() + 8; // frame and margins
    const int left = mapToGlobal(QPoint(0, 0)).x();
    const int maxWidth = screenRect.width() - kScreenMargin - left;
    view()->setMinimumWidth(std::max(width(), std::min(widest, std::max(maxWidth, 0))));
}

void CHistoryCombo::showPopup()
{
    AdjustDropDown();
    QComboBox::showPopup();
}

void CHistoryCombo::keyPressEvent(QKeyEvent* event)
{
    // Down and Up from a typed text that is no entry start at the newest
    // entry; between entries they walk the list.
    const bool down = event->key() == Qt::Key_Down, up = event->key() == Qt::Key_Up;
    if ((down || up) && !(event->modifiers() & (Qt::AltModifier | Qt::ControlModifier))) {
        FillFromHistory();
        if (count() > 0 && (currentIndex() < 0 || currentText() != itemText(currentIndex()))) {
            setCurrentIndex(0);
            if (lineEdit())
                lineEdit()->selectAll();
            event->accept();
            return;
        }
    }
    QComboBox::keyPressEvent(event);
    if ((down || up) && lineEdit())
        lineEdit()->selectAll();
}

void CHistoryCombo::focusInEvent(QFocusEvent* event)
{
    FillFromHistory();
    QComboBox::focusInEvent(event);
}

void CHistoryCombo::focusOutEvent(QFocusEvent* event)
{
    // Opening the combo's own drop-down is not leaving the combo.
    if (event->reason() != Qt::PopupFocusReason)
        StoreText();
    QComboBox::focusOutEvent(event);
}
