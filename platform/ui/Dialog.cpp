#include "platform/ui/Dialog.h"

#include "platform/ui/Accel.h"
#include "platform/ui/Modal.h"
#include "platform/ui/Prompt.h"
#include "res/Resources.h"

#include <QAbstractButton>
#include <QApplication>
#include <QBuffer>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStyle>
#include <QTabWidget>
#include <QTextDocument>
#include <QTextEdit>
#include <QUiLoader>
#include <QVBoxLayout>

#include <algorithm>
#include <map>
#include <memory>
#include <utility>

namespace ui {

QString ValidationText(uint32_t id)
{
    switch (id) {
    case IDP_PARSE_INT_RANGE: return QStringLiteral("Zadejte prosím celé číslo v rozsahu od %1 do %2.");
    case IDP_PARSE_UINT: return QStringLiteral("Zadejte prosím celé kladné číslo.");
    default: return {};
    }
}

namespace {

std::map<QString, FormWidgetFactory>& FormWidgetFactories()
{
    static std::map<QString, FormWidgetFactory> factories;
    return factories;
}

// Makes the classes registered by the program's modules; everything else is
// left to Qt's own loader.
class FormLoader : public QUiLoader
{
public:
    QWidget* createWidget(const QString& className, QWidget* parent, const QString& name) override
    {
        // A form whose root is a dialog, loaded into a window of its own (a
        // Dialog, a page, a bar), is a plain widget there: a dialog nested
        // in a dialog would take Escape and Enter for itself and hide,
        // leaving its window blank and open.
        if (parent && !m_rootMade && className == QLatin1String("QDialog")) {
            m_rootMade = true;
            auto* w = new QWidget(parent);
            w->setObjectName(name);
            return w;
        }
        m_rootMade = true;
        auto& f = FormWidgetFactories();
        auto it = f.find(className);
        if (it == f.end())
            return QUiLoader::createWidget(className, parent, name);
        QWidget* w = it->second(parent);
        if (w)
            w->setObjectName(name);
        return w;
    }

private:
    bool m_rootMade = false;
};

} // namespace

void RegisterFormWidget(const QString& className, FormWidgetFactory factory)
{
    FormWidgetFactories()[className] = std::move(factory);
}

QWidget* LoadForm(uint32_t id, QWidget* parent, QString* error)
{
    bool ok = false;
    QByteArray data = res::Data(QStringLiteral("dialogs/%1.ui").arg(id), &ok);
    if (!ok) {
        if (error)
            *error = QStringLiteral("dialog resource %1 not found").arg(id);
        return nullptr;
    }
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    FormLoader loader;
    QWidget* w = loader.load(&buffer, parent);
    if (!w && error)
        *error = QStringLiteral("dialog resource %1: %2").arg(id).arg(loader.errorString());
    if (w) {
        AttachLabelBuddies(w);
        for (QComboBox* combo : w->findChildren<QComboBox*>())
            if (combo->isEditable())
                KeepTypedText(combo);
    }
    // A form that gives no margins of its own keeps the style's distance
    // from the window's edge.
    if (w && w->layout() && w->layout()->contentsMargins().isNull()) {
        const int m = w->style()->pixelMetric(QStyle::PM_LayoutLeftMargin);
        w->layout()->setContentsMargins(m, m, m, m);
    }
    return w;
}

void KeepTypedText(QComboBox* combo)
{
    if (!combo || !combo->isEditable())
        return;
    combo->setCompleter(nullptr);
    combo->setInsertPolicy(QComboBox::NoInsert);
    QLineEdit* edit = combo->lineEdit();
    if (!edit || edit->property("swKeepsTypedText").toBool())
        return;
    edit->setProperty("swKeepsTypedText", true);
    // The combo's own handler would make an item that differs in case the
    // current one, and so change the text to it.
    QObject::disconnect(edit, &QLineEdit::editingFinished, combo, nullptr);
    // Only a text the user typed is chosen when the field is left: passing
    // through the field chooses nothing (the text set by the program may
    // equal an item that is not the current one).
    auto typed = std::make_shared<bool>(false);
    QObject::connect(edit, &QLineEdit::textEdited, combo, [typed] { *typed = true; });
    QObject::connect(edit, &QLineEdit::editingFinished, combo, [combo, typed] {
        const QString text = combo->currentText();
        const int index = combo->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
        const bool chosen = std::exchange(*typed, false);
        if (index >= 0 && index != combo->currentIndex()) {
            const QSignalBlocker quiet(chosen ? nullptr : combo);
            combo->setCurrentIndex(index);
        }
        if (chosen && index >= 0) {
            emit combo->activated(index);
            emit combo->textActivated(text);
        }
    });
}

bool HasMnemonic(const QString& text)
{
    for (qsizetype i = text.indexOf(QLatin1Char('&')); i >= 0 && i + 1 < text.size();
         i = text.indexOf(QLatin1Char('&'), i + 2)) {
        if (text[i + 1] != QLatin1Char('&'))
            return true;
    }
    return false;
}

namespace {

bool IsPlaceholder(const QWidget* w)
{
    static const QRegularExpression id(QStringLiteral("^c\\d+$"));
    return w->metaObject() == &QWidget::staticMetaObject && id.match(w->objectName()).hasMatch();
}

// The control a label's mnemonic leads to: the next one of the tab order
// inside form that takes the focus; null when there is none.
QWidget* NextControl(QWidget* form, QLabel* label)
{
    for (QWidget* w = label->nextInFocusChain(); w && w != label; w = w->nextInFocusChain()) {
        if (!form->isAncestorOf(w) || qobject_cast<QLabel*>(w))
            continue;
        if ((w->focusPolicy() & Qt::TabFocus) || IsPlaceholder(w))
            return w;
    }
    return nullptr;
}

// The text as shown without a mnemonic: single marks go, "&&" becomes "&".
QString WithoutMnemonic(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('&') && i + 1 < text.size())
            ++i;
        out += text[i];
    }
    return out;
}

} // namespace

void AttachLabelBuddies(QWidget* form)
{
    if (!form)
        return;
    const auto labels = form->findChildren<QLabel*>();
    for (QLabel* label : labels) {
        const QString text = label->text();
        if (label->buddy() || !HasMnemonic(text) || label->textFormat() == Qt::RichText ||
            (label->textFormat() == Qt::AutoText && Qt::mightBeRichText(text)))
            continue;
        if (QWidget* next = NextControl(form, label))
            label->setBuddy(next);
        else
            label->setText(WithoutMnemonic(text));
    }
}

// ----------------------------------------------------------- DataExchange

void DataExchange::Fail(QWidget* control)
{
    m_failed = true;
    if (control)
        control->setFocus();
}

void DataExchange::Text(int id, QString& value)
{
    if (m_failed)
        return;
    QWidget* w = m_dialog->GetDlgItem(id);
    if (!w)
        return;
    if (auto* e = qobject_cast<QLineEdit*>(w))
        m_save ? void(value = e->text()) : e->setText(value);
    else if (auto* t = qobject_cast<QPlainTextEdit*>(w))
        m_save ? void(value = t->toPlainText()) : t->setPlainText(value);
    else if (auto* t2 = qobject_cast<QTextEdit*>(w))
        m_save ? void(value = t2->toPlainText()) : t2->setPlainText(value);
    else if (auto* c = qobject_cast<QComboBox*>(w))
        m_save ? void(value = c->currentText()) : c->setCurrentText(value);
    else if (auto* l = qobject_cast<QLabel*>(w))
        m_save ? void(value = l->text()) : l->setText(value);
    else if (auto* b = qobject_cast<QAbstractButton*>(w))
        m_save ? void(value = b->text()) : b->setText(value);
    else
        m_save ? void(value = w->windowTitle()) : w->setWindowTitle(value);
}

void DataExchange::Int(int id, int& value, int minimum, int maximum)
{
    if (m_failed)
        return;
    QWidget* w = m_dialog->GetDlgItem(id);
    if (auto* s = qobject_cast<QSpinBox*>(w)) {
        if (m_save)
            value = s->value();
        else
            s->setValue(value);
        return;
    }
    if (!m_save) {
        QString t = QString::number(value);
        Text(id, t);
        return;
    }
    QString t;
    Text(id, t);
    bool ok = false;
    qlonglong v = t.trimmed().toLongLong(&ok, 10);
    if (!ok || v < minimum || v > maximum) {
        Prompt(ValidationText(IDP_PARSE_INT_RANGE).arg(minimum).arg(maximum), {}, MB_ICONEXCLAMATION);
        Fail(w);
        return;
    }
    value = int(v);
}

void DataExchange::UInt(int id, uint32_t& value, uint32_t maximum)
{
    if (m_failed)
        return;
    QWidget* w = m_dialog->GetDlgItem(id);
    if (!m_save) {
        QString t = QString::number(value);
        Text(id, t);
        return;
    }
    QString t;
    Text(id, t);
    t = t.trimmed();
    bool ok = !t.isEmpty() && t[0].isDigit();
    qulonglong v = ok ? t.toULongLong(&ok, 10) : 0;
    if (!ok) {
        Prompt(ValidationText(IDP_PARSE_UINT), {}, MB_ICONEXCLAMATION);
        Fail(w);
        return;
    }
    if (v > maximum) {
        Prompt(ValidationText(IDP_PARSE_INT_RANGE).arg(0).arg(maximum), {}, MB_ICONEXCLAMATION);
        Fail(w);
        return;
    }
    value = uint32_t(v);
}

void DataExchange::Check(int id, int& value)
{
    if (m_failed)
        return;
    auto* b = qobject_cast<QAbstractButton*>(m_dialog->GetDlgItem(id));
    if (!b)
        return;
    if (auto* c = qobject_cast<QCheckBox*>(b)) {
        if (m_save)
            value = int(c->checkState()) == Qt::PartiallyChecked ? 2 : c->isChecked() ? 1 : 0;
        else if (value == 2) {
            c->setTristate(true);
            c->setCheckState(Qt::PartiallyChecked);
        } else
            c->setChecked(value != 0);
        return;
    }
    if (m_save)
        value = b->isChecked() ? 1 : 0;
    else
        b->setChecked(value != 0);
}

void DataExchange::ListIndex(int id, int& value)
{
    if (m_failed)
        return;
    QWidget* w = m_dialog->GetDlgItem(id);
    if (auto* c = qobject_cast<QComboBox*>(w))
        m_save ? void(value = c->currentIndex()) : c->setCurrentIndex(value);
    else if (auto* l = qobject_cast<QListWidget*>(w))
        m_save ? void(value = l->currentRow()) : l->setCurrentRow(value);
    else if (auto* r = qobject_cast<QRadioButton*>(w)) {
        // A radio group begins at the named button: its auto-exclusive
        // siblings in the order of the form.
        QList<QRadioButton*> group;
        for (QObject* o : r->parent()->children())
            if (auto* rb = qobject_cast<QRadioButton*>(o))
                group.push_back(rb);
        int start = int(group.indexOf(r));
        if (m_save) {
            value = -1;
            for (int i = start; i < group.size(); ++i)
                if (group[i]->isChecked()) {
                    value = i - start;
                    break;
                }
        } else if (value >= 0 && start + value < group.size()) {
            group[start + value]->setChecked(true);
        }
    }
}

// ----------------------------------------------------------------- Dialog

Dialog::Dialog(uint32_t templateId, QWidget* parent) : QDialog(parent), m_id(templateId)
{
    m_form = LoadForm(templateId, this, &m_error);
    if (!m_form)
        return;
    // The form is the dialog's only child; its title and size are the dialog's.
    m_form->setWindowFlags(Qt::Widget);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_form);
    setWindowTitle(m_form->windowTitle());
    resize(m_form->size());
    if (auto* ok = qobject_cast<QAbstractButton*>(GetDlgItem(IDOK_BUTTON)))
        connect(ok, &QAbstractButton::clicked, this, [this] { OnOK(); });
    if (auto* cancel = qobject_cast<QAbstractButton*>(GetDlgItem(IDCANCEL_BUTTON)))
        connect(cancel, &QAbstractButton::clicked, this, [this] { OnCancel(); });
    const auto boxes = m_form->findChildren<QDialogButtonBox*>();
    for (QDialogButtonBox* box : boxes) {
        connect(box, &QDialogButtonBox::accepted, this, [this] { OnOK(); });
        connect(box, &QDialogButtonBox::rejected, this, [this] { OnCancel(); });
    }
}

Dialog::~Dialog() = default;

namespace {
// Enter or Return without a modifier (the keypad's Enter included).
bool IsEnterKey(const QKeyEvent* e)
{
    return (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) &&
           (e->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
}
} // namespace

void Dialog::keyPressEvent(QKeyEvent* e)
{
    if (IsEnterKey(e)) {
        // On a push button Enter presses that button, also on one that is
        // no default button (a browse button); such a button leaves the
        // key to its dialog.
        if (auto* button = qobject_cast<QPushButton*>(QApplication::focusWidget());
            button && isAncestorOf(button)) {
            if (button->isEnabled())
                button->click();
            return;
        }
        // A dialog inside another window (a property page) leaves Enter to
        // the window around it, which presses its default button (OK).
        if (!isWindow()) {
            e->ignore();
            return;
        }
    }
    // It leaves Escape to that window too, which does what its Cancel does.
    if (!isWindow() && e->key() == Qt::Key_Escape && e->modifiers() == Qt::NoModifier) {
        e->ignore();
        return;
    }
    QDialog::keyPressEvent(e);
}

QWidget* Dialog::GetDlgItem(int id) const
{
    if (!m_form)
        return nullptr;
    // Only the dialog's own form: a dialog nested in it (an embedded page)
    // has controls of the same ids, which are its own.
    const QString name = QStringLiteral("c%1").arg(id);
    std::vector<const QObject*> level{m_form};
    while (!level.empty()) {
        std::vector<const QObject*> next;
        for (const QObject* o : level)
            for (QObject* child : o->children()) {
                if (qobject_cast<Dialog*>(child))
                    continue;
                if (child->isWidgetType() && child->objectName() == name)
                    return static_cast<QWidget*>(child);
                next.push_back(child);
            }
        level.swap(next);
    }
    return nullptr;
}

bool Dialog::UpdateData(bool save)
{
    DataExchange dx(this, save);
    DoDataExchange(dx);
    return !dx.Failed();
}

bool Dialog::OnInitDialog()
{
    UpdateData(false);
    return true;
}

void Dialog::OnOK()
{
    if (!UpdateData(true))
        return;
    done(QDialog::Accepted);
}

void Dialog::OnCancel() { done(QDialog::Rejected); }

int Dialog::DoModal()
{
    if (!m_form)
        return -1;
    OnInitDialog();
    NestedLoopScope scope;
    return exec();
}

int Dialog::BeginModal()
{
    if (!m_form)
        return -1;
    OnInitDialog();
    return ui::BeginModal(this);
}

void Dialog::RunModal() { ui::RunModal(this); }

int Dialog::EndModal() { return ui::EndModal(this); }

// ----------------------------------------------------------- PropertyPage

PropertyPage::PropertyPage(uint32_t templateId, const QString& caption) : Dialog(templateId)
{
    if (!caption.isEmpty())
        setWindowTitle(caption);
}

PropertySheet* PropertyPage::Sheet() const
{
    for (QWidget* w = parentWidget(); w; w = w->parentWidget())
        if (auto* s = qobject_cast<PropertySheet*>(w))
            return s;
    return nullptr;
}

void PropertyPage::SetModified(bool modified)
{
    m_modified = modified;
    if (PropertySheet* s = Sheet())
        s->PageChanged();
}

bool PropertyPage::OnSetActive()
{
    if (!m_created) {
        m_created = true;
        OnInitDialog();
    }
    return true;
}

// ---------------------------------------------------------- PropertySheet

PropertySheet::PropertySheet(const QString& caption, QWidget* parent, int startPage)
    : QDialog(parent), m_tabs(new QTabWidget(this)),
      m_buttons(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Apply, this)),
      m_startPage(startPage)
{
    setWindowTitle(caption);
    // Every tab shows whole: the sheet is at least as wide as its tabs (no
    // scroll arrows, no cut captions).
    m_tabs->setUsesScrollButtons(false);
    m_tabs->setElideMode(Qt::ElideNone);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    layout->addWidget(m_buttons);
    m_buttons->button(QDialogButtonBox::Apply)->setEnabled(false);
    connect(m_buttons, &QDialogButtonBox::accepted, this, &PropertySheet::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &PropertySheet::reject);
    connect(m_buttons->button(QDialogButtonBox::Apply), &QPushButton::clicked, this, [this] { Apply(); });
    connect(m_tabs, &QTabWidget::currentChanged, this, &PropertySheet::OnTabChanged);
    // The page keys reach the sheet before the control with the focus,
    // which may take them for itself (a list, a combo box, a button).
    qApp->installEventFilter(this);
}

void PropertySheet::AddPage(PropertyPage* page)
{
    m_pages.push_back(page);
    page->setWindowFlags(Qt::Widget);
    m_switching = true;
    m_tabs->addTab(page, page->windowTitle());
    m_switching = false;
}

bool PropertySheet::RemovePage(int index)
{
    PropertyPage* page = GetPage(index);
    if (!page)
        return false;
    m_pages.erase(m_pages.begin() + index);
    m_switching = true;
    m_tabs->removeTab(m_tabs->indexOf(page));
    m_switching = false;
    if (m_current >= GetPageCount())
        m_current = GetPageCount() - 1;
    delete page;
    return true;
}

int PropertySheet::GetPageCount() const { return int(m_pages.size()); }

PropertyPage* PropertySheet::GetPage(int index) const
{
    return index >= 0 && index < GetPageCount() ? m_pages[size_t(index)] : nullptr;
}

int PropertySheet::GetActiveIndex() const { return m_current; }

bool PropertySheet::SetActivePage(int index)
{
    if (!GetPage(index))
        return false;
    if (index == m_current)
        return true;
    if (PropertyPage* old = GetPage(m_current))
        if (!old->OnKillActive())
            return false;
    if (!GetPage(index)->OnSetActive())
        return false;
    m_current = index;
    m_switching = true;
    m_tabs->setCurrentIndex(index);
    m_switching = false;
    // A page may have put controls of its own in place of the form's.
    OrderTabChain();
    return true;
}

void PropertySheet::OrderTabChain()
{
    QList<QWidget*> chain;
    for (QWidget* w = nextInFocusChain(); w && w != this; w = w->nextInFocusChain())
        chain.push_back(w);
    QList<QWidget*> order;
    auto takes = [](const QWidget* w) { return w->focusPolicy() != Qt::NoFocus && !w->focusProxy(); };
    auto take = [&](const QWidget* root) {
        for (QWidget* w : chain)
            if ((w == root || root->isAncestorOf(w)) && takes(w) && !order.contains(w))
                order.push_back(w);
    };
    take(m_tabs->tabBar());
    for (PropertyPage* p : m_pages)
        take(p);
    // Controls the sheet adds beside its buttons come before them.
    for (QWidget* w : chain)
        if (takes(w) && !order.contains(w) && !m_buttons->isAncestorOf(w) && !m_tabs->isAncestorOf(w))
            order.push_back(w);
    take(m_buttons);
    for (qsizetype i = 0; i + 1 < order.size(); ++i)
        QWidget::setTabOrder(order[i], order[i + 1]);
}

void PropertySheet::FocusFirstControl()
{
    PropertyPage* page = GetActivePage();
    if (!page)
        return;
    for (QWidget* w = page->nextInFocusChain(); w && w != page; w = w->nextInFocusChain()) {
        if (!page->isAncestorOf(w))
            continue;
        if ((w->focusPolicy() & Qt::TabFocus) && !w->focusProxy() && w->isEnabled() && w->isVisibleTo(this)) {
            w->setFocus(Qt::TabFocusReason);
            return;
        }
    }
}

void PropertySheet::StartOnPage()
{
    m_current = -1;
    if (!SetActivePage(std::clamp(m_startPage, 0, std::max(0, GetPageCount() - 1))))
        SetActivePage(0);
    OrderTabChain();
    FocusFirstControl();
}

bool PropertySheet::eventFilter(QObject* watched, QEvent* e)
{
    if (e->type() != QEvent::KeyPress || !watched->isWidgetType() || GetPageCount() < 2)
        return QDialog::eventFilter(watched, e);
    auto* w = static_cast<QWidget*>(watched);
    if (w->window() != this || CapturesKeys(watched))
        return QDialog::eventFilter(watched, e);
    auto* k = static_cast<QKeyEvent*>(e);
    const Qt::KeyboardModifiers mods = k->modifiers() & ~Qt::KeypadModifier;
    int step = 0;
    if (mods == Qt::ControlModifier && k->key() == Qt::Key_Tab)
        step = 1;
    else if (mods == (Qt::ControlModifier | Qt::ShiftModifier) && (k->key() == Qt::Key_Backtab || k->key() == Qt::Key_Tab))
        step = -1;
    else if (mods == Qt::ControlModifier && k->key() == Qt::Key_PageDown)
        step = 1;
    else if (mods == Qt::ControlModifier && k->key() == Qt::Key_PageUp)
        step = -1;
    if (step == 0)
        return QDialog::eventFilter(watched, e);
    const int n = GetPageCount();
    SetActivePage(((std::max(0, GetActiveIndex()) + step) % n + n) % n);
    return true;
}

void PropertySheet::OnTabChanged(int index)
{
    if (m_switching)
        return;
    int old = m_current;
    if (!SetActivePage(index)) {
        // Refused: the old page stays in front.
        m_switching = true;
        m_tabs->setCurrentIndex(old);
        m_switching = false;
    }
}

void PropertySheet::PageChanged()
{
    bool any = false;
    for (PropertyPage* p : m_pages)
        any = any || p->IsModified();
    m_buttons->button(QDialogButtonBox::Apply)->setEnabled(any);
}

bool PropertySheet::Apply()
{
    if (PropertyPage* p = GetActivePage())
        if (!p->OnKillActive())
            return false;
    for (PropertyPage* p : m_pages)
        if (p->Created() && !p->OnApply())
            return false;
    PageChanged();
    return true;
}

void PropertySheet::accept()
{
    if (PropertyPage* p = GetActivePage())
        if (!p->OnKillActive())
            return; // the page stays active with its message
    for (PropertyPage* p : m_pages)
        if (p->Created())
            p->OnOK();
    QDialog::accept();
}

void PropertySheet::keyPressEvent(QKeyEvent* e)
{
    // Enter that no control of a page took (a field, a list, a check box:
    // a multi-line field and a button keep it) presses OK.
    if (IsEnterKey(e)) {
        if (QPushButton* ok = m_buttons->button(QDialogButtonBox::Ok); ok && ok->isVisible() && ok->isEnabled())
            ok->click();
        return;
    }
    QDialog::keyPressEvent(e);
}

void PropertySheet::reject()
{
    for (PropertyPage* p : m_pages)
        if (p->Created())
            p->OnCancel();
    QDialog::reject();
}

int PropertySheet::DoModal()
{
    StartOnPage();
    NestedLoopScope scope;
    return exec();
}

void PropertySheet::ShowModeless()
{
    StartOnPage();
    setModal(false);
    show();
}

} // namespace ui
