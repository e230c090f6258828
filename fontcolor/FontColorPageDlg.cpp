#include "fontcolor/FontColorPageDlg.h"

#include "fontcolor/ColorEdit.h"
#include "platform/ui/Prompt.h"
#include "res/StringTable.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QFontInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace {
constexpr unsigned IDS_CHARSET_DEFAULT = 12001; // "Výchozí"
constexpr unsigned IDS_CHARSET_UNKNOWN = 12020; // "Neznámý"
constexpr int kDefaultCharset = 1;
constexpr int kSizes[] = {8, 9, 10, 11, 12, 14, 16, 18, 20, 22, 24, 26, 28, 36, 48, 72};

// The charset values of 12002-12019, in the order of their names.
constexpr int kCharsetOfName[] = {0, 2, 128, 129, 134, 136, 255, 130, 177, 178, 161, 162, 163, 222, 238, 204, 77, 186};

// Puts w in the place of the form's placeholder with the same object name.
template <class T> T* Replace(QWidget* placeholder, T* w)
{
    if (!placeholder) {
        w->hide();
        return w;
    }
    QWidget* parent = placeholder->parentWidget();
    // The control takes the placeholder's place in the tab order: after the
    // control before it in the form.
    QWidget* before = placeholder->previousInFocusChain();
    while (before && before != placeholder && before->focusPolicy() == Qt::NoFocus)
        before = before->previousInFocusChain();
    w->setParent(parent);
    if (before && before != placeholder)
        QWidget::setTabOrder(before, w);
    w->setObjectName(placeholder->objectName());
    w->setMinimumSize(placeholder->minimumSize());
    w->setSizePolicy(placeholder->sizePolicy());
    w->setToolTip(placeholder->toolTip());
    if (parent && parent->layout())
        delete parent->layout()->replaceWidget(placeholder, w);
    else
        w->setGeometry(placeholder->geometry());
    placeholder->setObjectName(QString());
    placeholder->deleteLater();
    placeholder->hide();
    w->show();
    return w;
}
} // namespace

CFontColorPageDlg::CFontColorPageDlg(CFontColorPage* registry) : ui::PropertyPage(2), m_registry(registry)
{
    m_categories = Item<QListWidget>(IDC_CATEGORY);
    m_items = Item<QListWidget>(IDC_ITEM);
    m_font = Item<QComboBox>(IDC_FONT);
    m_size = Item<QComboBox>(IDC_SIZE);
    m_charset = Item<QComboBox>(IDC_CHARSET);
    m_styles[0] = Item<QCheckBox>(IDC_BOLD);
    m_styles[1] = Item<QCheckBox>(IDC_ITALIC);
    m_styles[2] = Item<QCheckBox>(IDC_UNDERLINE);
    m_styles[3] = Item<QCheckBox>(IDC_STRIKEOUT);
    m_textColor = Replace(GetDlgItem(IDC_TEXTCOLOR), new CColorEdit(this, IDC_TEXTCOLOR));
    m_backColor = Replace(GetDlgItem(IDC_BACKCOLOR), new CColorEdit(this, IDC_BACKCOLOR));
    m_sample = Replace(GetDlgItem(IDC_SAMPLE), new CFormatSampleStatic(this));
    // The labels of the swatches take them as their buddies.
    if (auto* label = findChild<QLabel*>(QStringLiteral("lblText")))
        label->setBuddy(m_textColor);
    if (auto* label = findChild<QLabel*>(QStringLiteral("lblBack")))
        label->setBuddy(m_backColor);
    if (!m_categories || !m_items || !m_font || !m_size || !m_charset || !m_styles[0] || !m_styles[1] ||
        !m_styles[2] || !m_styles[3])
        return; // a damaged template: the page stays empty

    m_size->setEditable(true);
    ui::KeepTypedText(m_size);
    connect(m_categories, &QListWidget::currentRowChanged, this, [this] { OnCategoryChanged(); });
    connect(m_items, &QListWidget::currentRowChanged, this, [this] { OnItemChanged(); });
    connect(m_font, &QComboBox::currentTextChanged, this, [this](const QString& face) {
        if (m_filling || !CurCategory() || face.isEmpty())
            return;
        CurCategory()->face = face;
        FillCharsets();
        Changed();
    });
    connect(m_size, &QComboBox::currentTextChanged, this, [this](const QString& t) { OnSizeText(t, false); });
    if (QLineEdit* e = m_size->lineEdit()) {
        connect(e, &QLineEdit::editingFinished, this, [this] { OnSizeText(m_size->currentText(), true); });
    }
    // Enter on a size that is refused keeps the sheet open (the combo has
    // the focus and hands its keys to its field).
    m_size->installEventFilter(this);
    connect(m_charset, &QComboBox::activated, this, [this](int index) {
        if (m_filling || !CurCategory() || index < 0)
            return;
        CurCategory()->charSet = uint8_t(m_charset->itemData(index).toInt());
        Changed();
    });
    for (int i = 0; i < 4; ++i)
        connect(m_styles[i], &QCheckBox::toggled, this, [this, i](bool on) { OnStyle(i, on); });
    connect(m_textColor, &CColorEdit::ColorChanged, this, [this](int id) { OnColor(id); });
    connect(m_backColor, &CColorEdit::ColorChanged, this, [this](int id) { OnColor(id); });
    if (auto* b = Item<QPushButton>(IDC_DEFAULTS))
        connect(b, &QPushButton::clicked, this, [this] { OnDefaults(); });
}

bool CFontColorPageDlg::OnSetActive()
{
    bool first = !Created();
    ui::PropertyPage::OnSetActive();
    if (first && m_registry && m_categories) {
        if (m_registry->Flags() & CFontColorPage::kLoadOnActivate)
            m_registry->LoadSettings(m_registry->Root());
        m_edit = m_registry->Current();
        FillCategories();
    }
    return true;
}

void CFontColorPageDlg::RunApply()
{
    if (!m_registry || !Created())
        return;
    m_registry->ApplyEdit(m_edit);
    if (m_registry->Flags() & CFontColorPage::kSaveOnApply)
        m_registry->SaveSettings(m_registry->Root());
}

void CFontColorPageDlg::OnOK()
{
    RunApply();
    ui::PropertyPage::OnOK();
}

bool CFontColorPageDlg::OnApply()
{
    RunApply();
    ui::PropertyPage::OnOK();
    return true;
}

FontColorCategory* CFontColorPageDlg::CurCategory()
{
    return m_category >= 0 && m_category < int(m_edit.size()) ? &m_edit[size_t(m_category)] : nullptr;
}

FontColorItem* CFontColorPageDlg::CurItem()
{
    FontColorCategory* c = CurCategory();
    return c && m_item >= 0 && m_item < int(c->items.size()) ? &c->items[size_t(m_item)] : nullptr;
}

void CFontColorPageDlg::FillCategories()
{
    int keep = std::max(0, m_category);
    m_filling = true;
    m_categories->clear();
    for (const FontColorCategory& c : m_edit)
        m_categories->addItem(c.displayName);
    m_category = -1;
    m_filling = false;
    if (!m_edit.empty())
        m_categories->setCurrentRow(std::min(keep, int(m_edit.size()) - 1));
    OnCategoryChanged();
}

void CFontColorPageDlg::OnCategoryChanged()
{
    if (m_filling)
        return;
    m_category = m_categories->currentRow();
    m_filling = true;
    m_items->clear();
    m_font->clear();
    m_size->clear();
    m_charset->clear();
    m_item = -1;
    FontColorCategory* c = CurCategory();
    if (c) {
        for (const FontColorItem& it : c->items)
            m_items->addItem(it.displayName);
        QStringList faces;
        const QStringList families = QFontDatabase::families();
        for (const QString& f : families)
            if (!c->fixedPitch || QFontDatabase::isFixedPitch(f))
                faces << f;
        if (!faces.contains(c->face))
            faces.prepend(c->face); // not installed: the stored value stays visible
        m_font->addItems(faces);
        m_font->setCurrentText(c->face);
        for (int s : kSizes)
            m_size->addItem(QString::number(s));
        m_size->setCurrentText(QString::number(c->size));
    }
    m_filling = false;
    FillCharsets();
    if (c && !c->items.empty())
        m_items->setCurrentRow(0);
    OnItemChanged();
}

void CFontColorPageDlg::OnItemChanged()
{
    if (m_filling)
        return;
    m_item = m_items->currentRow();
    FontColorItem* it = CurItem();
    m_filling = true;
    int values[4] = {it ? it->bold : 0, it ? it->italic : 0, it ? it->underline : 0, it ? it->strikeOut : 0};
    for (int i = 0; i < 4; ++i) {
        m_styles[i]->setChecked(values[i] > 0);
        m_styles[i]->setEnabled(it != nullptr);
    }
    m_textColor->SetColor(it ? it->textColor : 0);
    m_backColor->SetColor(it ? it->backColor : 0xFFFFFF);
    m_textColor->setEnabled(it != nullptr);
    m_backColor->setEnabled(it != nullptr);
    m_filling = false;
    UpdateSample();
}

unsigned CFontColorPageDlg::CharsetNameId(int charSet)
{
    if (charSet == kDefaultCharset)
        return IDS_CHARSET_DEFAULT;
    for (size_t i = 0; i < std::size(kCharsetOfName); ++i)
        if (kCharsetOfName[i] == charSet)
            return unsigned(12002 + i);
    return IDS_CHARSET_UNKNOWN;
}

std::vector<std::pair<int, unsigned>> CFontColorPageDlg::CharsetsOf(const QString& face)
{
    std::vector<int> values;
    // A face that is not installed offers what its substitute offers.
    QString family = face;
    if (!QFontDatabase::families().contains(face))
        family = QFontInfo(QFont(face)).family();
    const auto systems = QFontDatabase::writingSystems(family);
    for (QFontDatabase::WritingSystem ws : systems) {
        switch (ws) {
        case QFontDatabase::Latin: values.insert(values.end(), {0, 238, 186, 162}); break;
        case QFontDatabase::Vietnamese: values.push_back(163); break;
        case QFontDatabase::Greek: values.push_back(161); break;
        case QFontDatabase::Cyrillic: values.push_back(204); break;
        case QFontDatabase::Hebrew: values.push_back(177); break;
        case QFontDatabase::Arabic: values.push_back(178); break;
        case QFontDatabase::Thai: values.push_back(222); break;
        case QFontDatabase::SimplifiedChinese: values.push_back(134); break;
        case QFontDatabase::TraditionalChinese: values.push_back(136); break;
        case QFontDatabase::Japanese: values.push_back(128); break;
        case QFontDatabase::Korean: values.insert(values.end(), {129, 130}); break;
        case QFontDatabase::Symbol: values.push_back(2); break;
        default: break;
        }
    }
    std::vector<std::pair<int, unsigned>> result{{kDefaultCharset, IDS_CHARSET_DEFAULT}};
    for (int v : values)
        if (std::none_of(result.begin(), result.end(), [v](const auto& e) { return e.first == v; }))
            result.emplace_back(v, CharsetNameId(v));
    return result;
}

void CFontColorPageDlg::FillCharsets()
{
    bool was = m_filling;
    m_filling = true;
    m_charset->clear();
    if (FontColorCategory* c = CurCategory()) {
        for (const auto& [value, id] : CharsetsOf(c->face))
            m_charset->addItem(LoadResString(id), value);
        m_charset->setCurrentIndex(m_charset->findData(int(c->charSet)));
    }
    m_filling = was;
}

void CFontColorPageDlg::OnSizeText(const QString& text, bool final)
{
    if (m_filling || !CurCategory())
        return;
    bool ok = false;
    int size = text.trimmed().toInt(&ok, 10);
    if (ok && size >= kMinSize && size <= kMaxSize) {
        if (size != CurCategory()->size) {
            CurCategory()->size = size;
            Changed();
        }
        return;
    }
    if (final) {
        // Refused: the old size stays, and the user is told why.
        m_filling = true;
        m_size->setCurrentText(QString::number(CurCategory()->size));
        m_filling = false;
        ui::Prompt(ui::ValidationText(ui::IDP_PARSE_INT_RANGE).arg(kMinSize).arg(kMaxSize), {},
                   ui::MB_ICONEXCLAMATION);
        m_size->setFocus();
        if (QLineEdit* e = m_size->lineEdit())
            e->selectAll();
    }
}

bool CFontColorPageDlg::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && watched == m_size) {
        auto* k = static_cast<QKeyEvent*>(event);
        if (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) {
            bool ok = false;
            const int size = m_size->currentText().trimmed().toInt(&ok, 10);
            if (!ok || size < kMinSize || size > kMaxSize) {
                OnSizeText(m_size->currentText(), true);
                return true;
            }
        }
    }
    return ui::PropertyPage::eventFilter(watched, event);
}

void CFontColorPageDlg::OnStyle(int which, bool on)
{
    FontColorItem* it = CurItem();
    if (m_filling || !it)
        return;
    int* values[4] = {&it->bold, &it->italic, &it->underline, &it->strikeOut};
    *values[which] = on ? 1 : 0;
    Changed();
}

void CFontColorPageDlg::OnColor(int controlId)
{
    FontColorItem* it = CurItem();
    if (!it)
        return;
    if (controlId == IDC_TEXTCOLOR)
        it->textColor = m_textColor->GetColor();
    else
        it->backColor = m_backColor->GetColor();
    Changed();
}

void CFontColorPageDlg::OnDefaults()
{
    if (!m_registry || !Created())
        return;
    CFontColorPage::CopyValues(m_registry->Defaults(), m_edit);
    int item = m_item;
    OnCategoryChanged();
    if (FontColorCategory* c = CurCategory(); c && item >= 0 && item < int(c->items.size()))
        m_items->setCurrentRow(item);
    SetModified(true);
}

void CFontColorPageDlg::Changed()
{
    SetModified(true);
    UpdateSample();
}

void CFontColorPageDlg::UpdateSample()
{
    FontColorCategory* c = CurCategory();
    FontColorItem* it = CurItem();
    if (!c || !it || !m_registry) {
        m_sample->SetSample(font(), 0, 0xFFFFFF);
        return;
    }
    m_sample->SetSample(m_registry->CreateItemFont(*it, *c), it->textColor, it->backColor);
}
