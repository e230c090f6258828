#include "uilib/KVTToolbarComboBoxButton.h"

#include "uilib/KVTDrawingData.h"
#include "uilib/KVTToolBar.h"

#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QFontMetrics>
#include <QLineEdit>
#include <QPainter>
#include <QPalette>

#include <functional>

namespace {
// Tells the button when the combo (or its edit) loses the focus.
class FocusWatch : public QObject
{
public:
    FocusWatch(QComboBox* combo, std::function<void()> lost) : QObject(combo), m_combo(combo), m_lost(std::move(lost))
    {
    }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override
    {
        if (e->type() == QEvent::FocusOut && m_lost) {
            // Only when the focus leaves the combo as a whole.
            QWidget* now = QApplication::focusWidget();
            if (!now || (now != m_combo && !m_combo->isAncestorOf(now)))
                m_lost();
        }
        return QObject::eventFilter(watched, e);
    }

private:
    QComboBox* m_combo;
    std::function<void()> m_lost;
};
} // namespace

CKVTToolbarComboBoxButton::CKVTToolbarComboBoxButton() = default;

CKVTToolbarComboBoxButton::CKVTToolbarComboBoxButton(uint32_t command, int image, uint32_t comboStyle, int width)
    : CKVTToolbarButton(command, image), m_comboStyle(comboStyle), m_width(width)
{
    m_rect.setWidth(width);
}

CKVTToolbarComboBoxButton::~CKVTToolbarComboBoxButton()
{
    if (QComboBox* combo = m_combo) {
        // No signal of the combo reaches this button any more.
        combo->disconnect();
        if (QLineEdit* edit = combo->lineEdit())
            edit->disconnect();
        delete m_watch;
        combo->hide();
        combo->deleteLater();
    }
}

// --- the stored record -----------------------------------------------------------

void CKVTToolbarComboBoxButton::Serialize(sys::ObjectArchive& ar)
{
    if (ar.IsStoring()) {
        ReadFromCombo();
        CKVTToolbarButton::Serialize(ar);
        ar.WriteI32(m_width);
        ar.WriteU32(m_comboStyle);
        ar.WriteI32(m_selection);
        ar.WriteString(m_comboText.toStdU16String());
        std::vector<std::u16string> items;
        for (const QString& s : m_items)
            items.push_back(s.toStdU16String());
        ar.WriteStringList(items);
        for (size_t i = 0; i < size_t(m_items.size()); ++i)
            ar.WriteU32(i < m_data.size() ? m_data[i] : 0);
        return;
    }
    CKVTToolbarButton::Serialize(ar);
    const int width = ar.ReadI32();
    const uint32_t style = ar.ReadU32();
    const int selection = ar.ReadI32();
    const QString text = QString::fromStdU16String(ar.ReadString());
    const std::vector<std::u16string> items = ar.ReadStringList();
    if (ar.Remaining() < items.size() * 4)
        throw sys::ArchiveError("combo box item data cut short");
    std::vector<uint32_t> data;
    for (size_t i = 0; i < items.size(); ++i)
        data.push_back(ar.ReadU32());
    if (width < 0 || width > 32767)
        throw sys::ArchiveError("combo box width out of range");
    m_width = width;
    m_comboStyle = style;
    m_comboText = text;
    m_items.clear();
    for (const auto& s : items)
        m_items.push_back(QString::fromStdU16String(s));
    m_data = std::move(data);
    m_selection = -1;
    m_rect.setWidth(width);
    FillCombo();
    OnAfterLoad();
    SelectItem(selection);
}

void CKVTToolbarComboBoxButton::CopyFrom(const CKVTToolbarButton& src)
{
    CKVTToolbarButton::CopyFrom(src);
    auto* combo = dynamic_cast<const CKVTToolbarComboBoxButton*>(&src);
    if (!combo)
        return;
    const_cast<CKVTToolbarComboBoxButton*>(combo)->ReadFromCombo();
    m_comboStyle = combo->m_comboStyle;
    m_items = combo->m_items;
    m_data = combo->m_data;
    m_width = combo->m_width;
    m_selection = combo->m_selection;
    m_comboText = combo->m_comboText;
    m_rect.setWidth(m_width);
    FillCombo();
}

// --- items -----------------------------------------------------------------------

int CKVTToolbarComboBoxButton::AddItem(const QString& text, uint32_t data)
{
    const int at = int(m_items.indexOf(text));
    if (at >= 0)
        return at;
    if (m_items.isEmpty())
        m_comboText = text;
    m_items.push_back(text);
    m_data.resize(size_t(m_items.size() - 1));
    m_data.push_back(data);
    if (m_combo)
        m_combo->addItem(text, QVariant::fromValue(data));
    return int(m_items.size()) - 1;
}

bool CKVTToolbarComboBoxButton::SelectItem(int index)
{
    if (index < 0 || index >= GetCount())
        return false;
    m_selection = index;
    m_comboText = m_items[index];
    if (m_combo)
        m_combo->setCurrentIndex(index);
    return true;
}

bool CKVTToolbarComboBoxButton::SelectItemByData(uint32_t data)
{
    for (size_t i = 0; i < m_data.size(); ++i)
        if (m_data[i] == data)
            return SelectItem(int(i));
    return false;
}

bool CKVTToolbarComboBoxButton::SelectItem(const QString& text) { return SelectItem(int(m_items.indexOf(text))); }

uint32_t CKVTToolbarComboBoxButton::GetItemData(int index) const
{
    if (index == -1)
        index = m_combo ? m_combo->currentIndex() : m_selection;
    if (m_combo && index >= 0 && index < m_combo->count())
        return m_combo->itemData(index).toUInt();
    return index >= 0 && size_t(index) < m_data.size() ? m_data[size_t(index)] : 0xFFFFFFFF;
}

void CKVTToolbarComboBoxButton::SetText(const QString& text)
{
    m_comboText = text;
    if (m_combo && m_combo->isEditable() && m_combo->currentText() != text)
        m_combo->setEditText(text);
}

void CKVTToolbarComboBoxButton::FillCombo()
{
    if (!m_combo)
        return;
    const QSignalBlocker block(m_combo);
    m_combo->clear();
    for (int i = 0; i < m_items.size(); ++i)
        m_combo->addItem(m_items[i], QVariant::fromValue(size_t(i) < m_data.size() ? m_data[size_t(i)] : 0u));
    m_combo->setCurrentIndex(m_selection);
    if (m_combo->isEditable())
        m_combo->setEditText(m_comboText);
}

void CKVTToolbarComboBoxButton::ReadFromCombo()
{
    if (!m_combo)
        return;
    m_items.clear();
    m_data.clear();
    for (int i = 0; i < m_combo->count(); ++i) {
        m_items.push_back(m_combo->itemText(i));
        m_data.push_back(m_combo->itemData(i).toUInt());
    }
}

// --- the combo window ------------------------------------------------------------

QComboBox* CKVTToolbarComboBoxButton::CreateCombo(QWidget* parent, const QRect& rect)
{
    if (!parent)
        return nullptr;
    auto* combo = new QComboBox(parent);
    combo->setObjectName(QStringLiteral("c%1").arg(m_id));
    combo->setEditable((m_comboStyle & 0x3) != CBS_DROPDOWNLIST);
    combo->setFocusPolicy(Qt::StrongFocus);
    combo->setInsertPolicy(QComboBox::NoInsert);
    const int itemHeight = std::max(1, QFontMetrics(combo->font()).height() + 2);
    combo->setMaxVisibleItems(std::max(1, 150 / itemHeight));
    combo->setGeometry(rect.left() + 3, rect.top(), std::max(0, rect.width() - 6), combo->sizeHint().height());
    return combo;
}

void CKVTToolbarComboBoxButton::OnParentChanged(CKVTToolBar* bar)
{
    CKVTToolbarButton::OnParentChanged(bar);
    if (!bar)
        return;
    if (m_combo) {
        if (m_combo->parentWidget() != bar)
            m_combo->setParent(bar);
        UpdateComboPlace();
        return;
    }
    m_combo = CreateCombo(bar, m_rect);
    if (!m_combo)
        return;
    FillCombo();
    QComboBox* combo = m_combo;
    QObject::connect(combo, &QComboBox::activated, combo, [this](int) { Notify(CBN_SELENDOK); });
    if (QLineEdit* edit = combo->lineEdit())
        QObject::connect(edit, &QLineEdit::textEdited, combo, [this](const QString&) {
            Notify(CBN_EDITUPDATE);
            Notify(CBN_EDITCHANGE);
        });
    auto* watch = new FocusWatch(combo, [this] { Notify(CBN_KILLFOCUS); });
    m_watch = watch;
    combo->installEventFilter(watch);
    if (combo->lineEdit())
        combo->lineEdit()->installEventFilter(watch);
    if (CKVTToolbarShared::IsCustomizeMode() && !bar->IsLocked()) {
        combo->setEnabled(false);
        QPalette pal = combo->palette();
        if (OnCtlColor(pal))
            combo->setPalette(pal);
    }
    UpdateComboPlace();
}

void CKVTToolbarComboBoxButton::Notify(int code)
{
    if (!m_combo)
        return;
    if (auto* bar = qobject_cast<CKVTToolBar*>(m_combo->parentWidget()))
        bar->OnButtonNotify(this, code);
}

bool CKVTToolbarComboBoxButton::IsComboVisible() const { return m_combo && !m_combo->isHidden(); }

void CKVTToolbarComboBoxButton::UpdateComboPlace()
{
    if (!m_combo)
        return;
    const bool show = m_horz && !m_hidden && !m_rect.isEmpty();
    if (show) {
        const int h = std::min(m_combo->sizeHint().height(), std::max(1, m_rect.height()));
        m_combo->setGeometry(m_rect.left() + 3, m_rect.top(), std::max(0, m_rect.width() - 6), h);
    }
    if (m_combo->isHidden() == show)
        m_combo->setVisible(show);
}

void CKVTToolbarComboBoxButton::OnShow(bool) { UpdateComboPlace(); }

void CKVTToolbarComboBoxButton::OnRectChanged() { UpdateComboPlace(); }

void CKVTToolbarComboBoxButton::OnWidthChanged(int width)
{
    m_rect.setWidth(width);
    m_width = width;
    if (!IsComboVisible())
        return;
    m_combo->setGeometry(m_rect.left() + 3, m_rect.top(), std::max(0, width - 6), m_combo->height());
    if (QLineEdit* edit = m_combo->lineEdit())
        edit->selectAll();
}

QWidget* CKVTToolbarComboBoxButton::GetHwnd() const { return m_combo; }

bool CKVTToolbarComboBoxButton::OnClick(CKVTToolBar*, bool) { return IsComboVisible(); }

// --- notifications ---------------------------------------------------------------

template <class F> void CKVTToolbarComboBoxButton::ForEachTwin(F f)
{
    for (CKVTToolBar* bar : std::vector<CKVTToolBar*>(CKVTToolbarShared::AllBars()))
        for (int i = 0; i < bar->Items().Count(); ++i)
            if (auto* other = dynamic_cast<CKVTToolbarComboBoxButton*>(bar->GetButton(i));
                other && other != this && other->m_id == m_id)
                f(other);
}

bool CKVTToolbarComboBoxButton::NotifyCommand(int code)
{
    if (!m_combo || code < CBN_KILLFOCUS || code > CBN_SELENDOK)
        return false;
    switch (code) {
    case CBN_KILLFOCUS:
    case CBN_EDITUPDATE:
        return true;
    case CBN_EDITCHANGE: {
        m_comboText = m_combo->currentText();
        const QString text = m_comboText;
        ForEachTwin([&text](CKVTToolbarComboBoxButton* other) { other->SetText(text); });
        return true;
    }
    case CBN_SELENDOK: {
        const int sel = m_combo->currentIndex();
        if (sel < 0)
            return false;
        m_selection = sel;
        m_comboText = m_combo->itemText(sel);
        ForEachTwin([sel](CKVTToolbarComboBoxButton* other) { other->SelectItem(sel); });
        return true;
    }
    default:
        return false;
    }
}

void CKVTToolbarComboBoxButton::OnAddToCustomizePage()
{
    CKVTToolbarComboBoxButton* first = nullptr;
    ForEachTwin([&first](CKVTToolbarComboBoxButton* other) {
        if (!first)
            first = other;
    });
    if (first)
        CopyFrom(*first);
}

bool CKVTToolbarComboBoxButton::OnCtlColor(QPalette& palette)
{
    for (int role = 0; role < QPalette::NColorRoles; ++role) {
        const auto r = QPalette::ColorRole(role);
        if (r == QPalette::NoRole)
            continue;
        palette.setBrush(QPalette::Disabled, r, palette.brush(QPalette::Active, r));
    }
    return true;
}

// --- size and drawing ------------------------------------------------------------

QSize CKVTToolbarComboBoxButton::CalculateSize(QSize def, bool horz)
{
    const bool changed = horz != m_horz;
    m_horz = horz;
    if (changed)
        UpdateComboPlace();
    if (!horz || m_hidden)
        return CKVTToolbarButton::CalculateSize(def, horz);
    QSize size(m_width, def.height());
    m_textWidth = m_textHeight = 0;
    if (m_textBelow && !m_text.isEmpty()) {
        const QFontMetrics fm(CKVTDrawingData::Instance().HorzFont());
        m_textWidth = fm.horizontalAdvance(StripMnemonic(m_text)) + 6;
        m_textHeight = fm.height();
        size.rheight() += m_textHeight + 6;
    }
    return size;
}

QRect CKVTToolbarComboBoxButton::GetButtonRect() const
{
    if (m_horz && m_textBelow && !m_text.isEmpty() && m_textWidth > 0) {
        QRect r = m_rect;
        r.setWidth(m_textWidth);
        r.moveCenter(QPoint(m_rect.center().x(), m_rect.center().y()));
        return r;
    }
    return m_rect;
}

void CKVTToolbarComboBoxButton::Draw(QPainter& p, const QRect& rect, CKVTToolbarImageList* images, bool horz,
                                     bool customizeMode, bool highlighted, bool drawBorder, bool grayDisabled)
{
    if (!IsComboVisible()) {
        CKVTToolbarButton::Draw(p, rect, images, horz, customizeMode, highlighted, drawBorder, grayDisabled);
        return;
    }
    if (!(m_textBelow && horz) || m_text.isEmpty())
        return;
    const CKVTDrawingData& dd = CKVTDrawingData::Instance();
    const bool disabled = customizeMode ? !IsEditable() : (m_style & TBBS_DISABLED) != 0;
    p.save();
    p.setFont(dd.HorzFont());
    p.setPen(disabled      ? dd.Color(CKVTDrawingData::COLOR_GRAYTEXT)
             : highlighted ? dd.Color(CKVTDrawingData::COLOR_HIGHLIGHT)
                           : dd.Text());
    const int top = m_combo->geometry().bottom() + 3;
    p.drawText(QRect(rect.left(), top, rect.width(), rect.bottom() - top + 1),
               Qt::AlignHCenter | Qt::AlignTop | Qt::TextShowMnemonic, m_text);
    p.restore();
}
