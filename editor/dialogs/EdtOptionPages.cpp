#include "editor/dialogs/EdtOptionPages.h"

#include "editor/dialogs/EditFileOpenDlg.h"
#include "editor/buffer/EdtCodePages.h"
#include "editor/settings/EdtCodePageNames.h"
#include "editor/view/EdtEditView.h"
#include "editor/settings/EdtTextTypes.h"
#include "editor/view/EdtTextView.h"
#include "editor/files/FileChangeMonitor.h"
#include "editor/view/EdtViewRenderer.h"
#include "platform/ui/Document.h"
#include "platform/ui/Prompt.h"
#include "res/Resources.h"
#include "res/StringTable.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStyledItemDelegate>
#include <QSvgRenderer>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {
// The characters the font page's combo boxes are wide for.
constexpr int kFontComboChars = 16;

constexpr uint32_t IDD_GENERAL = 506;
constexpr uint32_t IDD_EDITOR_OPTIONS = 102;
constexpr uint32_t IDD_EDITOR_PAGE1 = 8605;
constexpr uint32_t IDD_EDITOR_PAGE2 = 8606;
constexpr uint32_t IDD_EDITOR_PAGE3 = 8608;
constexpr uint32_t IDD_FONT = 1543;
constexpr int TYPE_BOXES = 23;          // source types 0-22
constexpr int MAX_FACE = 31;
constexpr uint32_t GENERAL_PAGE_BITS = 0x3FFF;

// The box ids of the source types 0-22, looked up by type, never computed.
constexpr std::array<int, TYPE_BOXES> kTypeBoxIds = {
    1009, 1010, 1011, 1012, 1013, 1014, 1015, 1016, 1017, 1018, 1019, 1020,
    1021, 1022, 1023, 1024, 1025, 1026, 1027, 1028, 1029, 1030, 1031};

struct Script
{
    const char* name;
    uint8_t charSet;
};
constexpr Script kScripts[] = {{"Západní", 0},          {"Hebrejské", 177}, {"Arabské", 178},
                               {"Řecké", 161},          {"Turecké", 162},   {"Baltské", 186},
                               {"Středoevropské", 238}, {"Cyrilice", 204}};

int ScreenDpiY()
{
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        if (QScreen* s = QGuiApplication::primaryScreen()) {
            const int dpi = int(std::lround(s->logicalDotsPerInchY()));
            if (dpi > 0)
                return dpi;
        }
    return 96;
}

CEdtEditView* EditViewOf(CEdtTextView* view)
{
    return dynamic_cast<CEdtEditView*>(view);
}

// The general page's check boxes and their bits.
struct GeneralBit
{
    int id;
    uint32_t bit;
};
constexpr GeneralBit kGeneralBits[] = {{1002, 0x1},   {1053, 0x800}, {1005, 0x8},    {1023, 0x10},
                                       {1028, 0x20},  {1035, 0x40},  {1039, 0x80},   {1042, 0x100},
                                       {1045, 0x200}, {1048, 0x400}, {1057, 0x1000}, {1059, 0x2000}};

} // namespace

// ------------------------------------------------------------ pure helpers

QString edt::FontSizeText(int32_t height, int dpi)
{
    if (dpi <= 0)
        dpi = 96;
    const int64_t num = -int64_t(height) * 72;
    const int64_t q = num >= 0 ? (num + dpi / 2) / dpi : -((-num + dpi / 2) / dpi);
    return QString::number(q);
}

int32_t edt::FontHeightOfSize(int size, int dpi)
{
    const int64_t num = int64_t(size) * dpi;
    const int64_t q = num >= 0 ? (num + 36) / 72 : -((-num + 36) / 72);
    return -int32_t(q);
}

int edt::AtoI(const QString& text)
{
    qsizetype i = 0;
    while (i < text.size() && (text[i] == QLatin1Char(' ') || text[i] == QLatin1Char('\t')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+')))
        negative = text[i++] == QLatin1Char('-');
    int64_t v = 0;
    for (; i < text.size() && text[i] >= QLatin1Char('0') && text[i] <= QLatin1Char('9'); ++i)
        v = std::min<int64_t>(v * 10 + (text[i].unicode() - '0'), 0x7FFFFFFF);
    return int(negative ? -v : v);
}

QString edt::ScriptNameOfCharSet(uint8_t charSet)
{
    for (const Script& s : kScripts)
        if (s.charSet == charSet)
            return QString::fromUtf8(s.name);
    return QString::fromUtf8(kScripts[0].name);
}

uint8_t edt::CharSetOfScriptName(const QString& name)
{
    for (const Script& s : kScripts)
        if (name == QString::fromUtf8(s.name))
            return s.charSet;
    return 0;
}

std::vector<edt::FaceEntry> edt::FixedPitchFaces()
{
    std::vector<FaceEntry> faces;
    QStringList families = QFontDatabase::families();
    families.removeDuplicates();
    families.sort(Qt::CaseInsensitive);
    for (const QString& f : families) {
        if (f.size() > MAX_FACE || !QFontDatabase::isFixedPitch(f))
            continue;
        faces.push_back({f, QFontDatabase::isSmoothlyScalable(f)});
    }
    return faces;
}

// ------------------------------------------------------------ CFontComboBox

namespace {
// Paints an item: the highlight or window background, the scalable mark at
// the left, the name 2 pixels right of the mark's area.
class FaceDelegate : public QStyledItemDelegate
{
public:
    explicit FaceDelegate(QObject* parent) : QStyledItemDelegate(parent)
    {
        QSvgRenderer svg(res::Data(QStringLiteral("icons/101.svg")));
        if (svg.isValid()) {
            m_mark = QPixmap(12, 12);
            m_mark.fill(Qt::transparent);
            QPainter p(&m_mark);
            svg.render(&p);
        }
    }
    void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const bool selected = option.state & QStyle::State_Selected;
        p->fillRect(option.rect, option.palette.color(selected ? QPalette::Highlight : QPalette::Base));
        const QRect r = option.rect;
        if (index.data(Qt::UserRole).toInt() != 0 && !m_mark.isNull())
            p->drawPixmap(r.left(), r.top() + (r.height() - 12) / 2, m_mark);
        p->setPen(option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
        p->drawText(r.adjusted(12 + 2, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine,
                    index.data(Qt::DisplayRole).toString());
        if (option.state & QStyle::State_HasFocus) {
            QStyleOptionFocusRect focus;
            focus.rect = r;
            focus.palette = option.palette;
            QApplication::style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, p);
        }
    }

private:
    QPixmap m_mark;
};
} // namespace

CFontComboBox::CFontComboBox(QWidget* parent) : QComboBox(parent)
{
    setEditable(true);
    ui::KeepTypedText(this);
    setItemDelegate(new FaceDelegate(this));
    if (lineEdit())
        lineEdit()->setMaxLength(MAX_FACE);
    // Its width does not follow the faces it lists (the list opens wider).
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    setMinimumContentsLength(kFontComboChars);
}

void CFontComboBox::Fill(const std::vector<edt::FaceEntry>& faces)
{
    clear();
    for (const auto& f : faces)
        addItem(f.name, f.scalable ? 1 : 0);
}

// ------------------------------------------------------------ the sheet

int ShowEditorOptionsSheet(CEdtTextView* view, QWidget* parent)
{
    ui::PropertySheet sheet(LoadResString(IDS_EDT_OPTIONS_CAPTION), parent);
    sheet.AddPage(new CGeneralPage);
    sheet.AddPage(new CEditorOptionsPage(view));
    sheet.AddPage(new CFontPage(view));
    return sheet.DoModal();
}

// ------------------------------------------------------------ CGeneralPage

CGeneralPage::CGeneralPage() : ui::PropertyPage(IDD_GENERAL, QStringLiteral("&Obecné")) {}

bool CGeneralPage::OnInitDialog()
{
    m_initialFlags = GetEdtGeneralFlags();
    for (const GeneralBit& b : kGeneralBits)
        if (auto* c = Item<QCheckBox>(b.id)) {
            c->setChecked(m_initialFlags & b.bit);
            connect(c, &QCheckBox::toggled, this, [this] { SetModified(); });
        }
    const int radio = (m_initialFlags & 0x2) ? 1 : (m_initialFlags & 0x4) ? 2 : 0;
    int index = radio;
    ui::DataExchange dx(this, false);
    dx.ListIndex(1007, index);
    if (auto* folder = Item<QLineEdit>(1192)) {
        folder->setText(QString::fromStdU16String(GetEdtGeneralFolder()));
        folder->setPlaceholderText(QDir::toNativeSeparators(QCoreApplication::applicationDirPath()));
        connect(folder, &QLineEdit::textEdited, this, [this] { SetModified(); });
    }
    if (auto* browse = Item<QPushButton>(1186))
        connect(browse, &QPushButton::clicked, this, &CGeneralPage::OnBrowse);
    return true;
}

uint32_t CGeneralPage::FlagsOfControls() const
{
    uint32_t flags = 0;
    for (const GeneralBit& b : kGeneralBits)
        if (auto* c = Item<QCheckBox>(b.id); c && c->isChecked())
            flags |= b.bit;
    int radio = 0;
    ui::DataExchange dx(const_cast<CGeneralPage*>(this), true);
    dx.ListIndex(1007, radio);
    if (radio == 1)
        flags |= 0x2;
    else if (radio == 2)
        flags |= 0x4;
    return flags;
}

void CGeneralPage::OnBrowse()
{
    auto* folder = Item<QLineEdit>(1192);
    if (!folder)
        return;
    QString chosen;
    if (BrowseForFolder(chosen, folder->text(), {}, this)) {
        folder->setText(chosen);
        SetModified();
    }
}

void CGeneralPage::OnOK()
{
    const uint32_t old = GetEdtGeneralFlags();
    const uint32_t mine = FlagsOfControls();
    const uint32_t flags = (old & ~GENERAL_PAGE_BITS) | (mine & GENERAL_PAGE_BITS);
    std::vector<ui::Document*> docs;
    if (ui::DocManager* dm = ui::DocManager::Current())
        docs = dm->Documents();
    // 1. File watching on or off for every document that watches its file.
    if ((old ^ flags) & 0x200)
        for (ui::Document* doc : docs) {
            auto* monitor = dynamic_cast<CFileChangeMonitor*>(doc);
            if (!monitor || doc->GetPathName().isEmpty())
                continue;
            const std::u16string path = doc->GetPathName().toStdU16String();
            if (flags & 0x200) {
                monitor->AddFile(path, false, 0x19);
                monitor->Start();
            } else {
                monitor->RemoveFile(path);
                monitor->Stop();  // a document watches its own file only
            }
        }
    // 2. The restart note.
    if ((old ^ flags) & 0x400)
        ui::Prompt(LoadResString(IDS_EDT_RESTART_NOTE), {}, ui::MB_OK | ui::MB_ICONINFORMATION, this);
    // 3. The flags word.
    SetEdtGeneralFlags(flags);
    // 4. Drag and drop of every editor view.
    for (ui::Document* doc : docs)
        for (ui::View* v : doc->Views())
            if (auto* tv = dynamic_cast<CEdtTextView*>(v))
                tv->SetDisableDragAndDrop(flags & 0x80);
    // 5. The folder.
    if (auto* folder = Item<QLineEdit>(1192))
        SetEdtGeneralFolder(folder->text().left(int(EDT_GENERAL_FOLDER_MAX)).toStdU16String());
    m_initialFlags = flags;
    EdtSaveSettings();
    ui::PropertyPage::OnOK();
}

// ------------------------------------------------------------ embedded pages

bool EditorOptionsState::ShowsView() const
{
    return view && selected && view->GetCurrentTextType() == selected;
}

CEditorPageBase::CEditorPageBase(uint32_t templateId, const QString& caption, CEditorOptionsPage* owner)
    : ui::PropertyPage(templateId, caption), m_owner(owner)
{
}

const EditorOptionsState& CEditorPageBase::State() const
{
    return m_owner->State();
}

void CEditorPageBase::MarkModified()
{
    SetModified();
    m_owner->InnerChanged();
}

void CEditorPageBase::SetCheck(int id, int state, bool tristate)
{
    if (auto* c = Item<QCheckBox>(id)) {
        const QSignalBlocker block(c);
        c->setTristate(tristate || state == 2);
        c->setCheckState(state == 2 ? Qt::PartiallyChecked : state ? Qt::Checked : Qt::Unchecked);
    }
}

int CEditorPageBase::GetCheck(int id) const
{
    auto* c = Item<QCheckBox>(id);
    if (!c)
        return 2;
    return c->checkState() == Qt::PartiallyChecked ? 2 : c->checkState() == Qt::Checked ? 1 : 0;
}

QList<QRadioButton*> CEditorPageBase::RadioGroup(int firstId) const
{
    QList<QRadioButton*> group;
    if (auto* first = Item<QRadioButton>(firstId))
        for (QObject* o : first->parent()->children())
            if (auto* r = qobject_cast<QRadioButton*>(o))
                group.push_back(r);
    return group;
}

void CEditorPageBase::SetRadio(int firstId, int index)
{
    const auto group = RadioGroup(firstId);
    for (QRadioButton* r : group) {
        const QSignalBlocker block(r);
        r->setAutoExclusive(false);
        r->setChecked(false);
    }
    if (index >= 0 && index < group.size()) {
        const QSignalBlocker block(group[index]);
        group[index]->setChecked(true);
    }
    for (QRadioButton* r : group)
        r->setAutoExclusive(true);
}

int CEditorPageBase::GetRadio(int firstId) const
{
    const auto group = RadioGroup(firstId);
    for (int i = 0; i < group.size(); ++i)
        if (group[i]->isChecked())
            return i;
    return -1;
}

void CEditorPageBase::Enable(int id, bool on)
{
    if (QWidget* w = GetDlgItem(id))
        w->setEnabled(on);
}

void CEditorPageBase::ConnectChanges()
{
    for (QCheckBox* c : findChildren<QCheckBox*>())
        connect(c, &QCheckBox::stateChanged, this, [this] { MarkModified(); });
    for (QRadioButton* r : findChildren<QRadioButton*>())
        connect(r, &QRadioButton::clicked, this, [this] { MarkModified(); });
    for (QLineEdit* e : findChildren<QLineEdit*>())
        connect(e, &QLineEdit::textEdited, this, [this] { MarkModified(); });
    for (QComboBox* c : findChildren<QComboBox*>())
        connect(c, &QComboBox::activated, this, [this] { MarkModified(); });
}

namespace {
int Bit(uint32_t flags, uint32_t bit)
{
    return (flags & bit) ? 1 : 0;
}
// A tri-state box: indeterminate keeps the bit.
void CheckMask(int state, uint32_t bit, uint32_t& set, uint32_t& keep)
{
    if (state == 2)
        return;
    keep &= ~bit;
    if (state == 1)
        set |= bit;
}
// A radio group: nothing selected keeps its bits; choice i sets bits[i].
void RadioMask(int choice, std::initializer_list<uint32_t> bits, uint32_t& set, uint32_t& keep)
{
    if (choice < 0)
        return;
    uint32_t all = 0;
    for (uint32_t b : bits)
        all |= b;
    keep &= ~all;
    if (size_t(choice) < bits.size())
        set |= *(bits.begin() + choice);
}
} // namespace

// Page 1: tabs and indenting.
CEditorPage1::CEditorPage1(CEditorOptionsPage* owner)
    : CEditorPageBase(IDD_EDITOR_PAGE1, QStringLiteral("&Tabulátory"), owner)
{
    ConnectChanges();
}

void CEditorPage1::Refresh()
{
    const EditorOptionsState& s = State();
    const bool any = s.checkedCount > 0;
    const bool several = s.checkedCount > 1;
    if (s.selected) {
        const uint32_t f = s.selected->flags;
        SetRadio(1002, (f & EDT_TT_TABCHARS) ? 0 : 1);
        SetRadio(1032, (f & EDT_TT_BRACES1) ? 1 : (f & EDT_TT_BRACES2) ? 2 : 0);
        if (auto* e = Item<QLineEdit>(1004))
            e->setText(QString::number(s.selected->tabSize));
        SetCheck(1005, Bit(f, EDT_TT_SHOWTABS), false);
        SetCheck(1006, Bit(f, EDT_TT_AUTOINDENT), false);
        if (s.ShowsView()) {
            CEdtTextView& v = *s.view;
            if (CEdtEditView* ev = EditViewOf(&v)) {
                SetRadio(1002, ev->GetInsertTabs() ? 0 : 1);
                SetCheck(1006, ev->GetAutoIndent() ? 1 : 0, false);
            }
            if (auto* e = Item<QLineEdit>(1004))
                e->setText(QString::number(v.GetTabSize()));
            SetCheck(1005, v.Style().showTabs ? 1 : 0, false);
            const uint32_t vf = v.Style().flags;
            SetRadio(1032, (vf & EDT_TT_BRACES1) ? 1 : (vf & EDT_TT_BRACES2) ? 2 : 0);
        }
    } else {
        SetRadio(1002, -1);
        SetRadio(1032, -1);
        if (auto* e = Item<QLineEdit>(1004))
            e->clear();
        SetCheck(1005, several ? 2 : 0, several);
        SetCheck(1006, several ? 2 : 0, several);
    }
    for (int id : {1002, 1003, 1032, 1033, 1034, 1005, 1006})
        Enable(id, any);
    Enable(1004, s.checkedCount == 1);
}

bool CEditorPage1::Validate()
{
    if (State().checkedCount != 1)
        return true;
    int size = 0;
    ui::DataExchange dx(this, true);
    dx.Int(1004, size, 1, 64);
    return !dx.Failed();
}

void CEditorPage1::BuildMasks(uint32_t& set, uint32_t& keep) const
{
    RadioMask(GetRadio(1002), {EDT_TT_TABCHARS, 0}, set, keep);
    RadioMask(GetRadio(1032), {0, EDT_TT_BRACES1, EDT_TT_BRACES2}, set, keep);
    CheckMask(GetCheck(1005), EDT_TT_SHOWTABS, set, keep);
    CheckMask(GetCheck(1006), EDT_TT_AUTOINDENT, set, keep);
}

void CEditorPage1::ApplyToView(CEdtTextView& v) const
{
    CEdtEditView* ev = EditViewOf(&v);
    const int tabs = GetRadio(1002);
    if (ev && tabs >= 0)
        ev->SetInsertTabs(tabs == 0);
    if (State().selected)
        if (auto* e = Item<QLineEdit>(1004)) {
            const int n = e->text().trimmed().toInt();
            if (n >= 1 && n <= 64)
                v.SetTabSize(n);
        }
    if (GetCheck(1005) != 2)
        v.Renderer().SetShowTabs(GetCheck(1005) == 1);
    if (ev && GetCheck(1006) != 2)
        ev->SetAutoIndent(GetCheck(1006) == 1);
}

void CEditorPage1::ApplyToRecord(TextTypeDef& row) const
{
    if (auto* e = Item<QLineEdit>(1004)) {
        const int n = e->text().trimmed().toInt();
        if (n >= 1 && n <= 64)
            row.tabSize = n;
    }
}

// Page 2: line ends and view options.
CEditorPage2::CEditorPage2(CEditorOptionsPage* owner)
    : CEditorPageBase(IDD_EDITOR_PAGE2, QStringLiteral("&Zobrazení"), owner)
{
    ConnectChanges();
}

void CEditorPage2::Refresh()
{
    const EditorOptionsState& s = State();
    const bool several = s.checkedCount > 1;
    if (s.selected) {
        const uint32_t f = s.selected->flags;
        SetRadio(1035, (f & EDT_TT_CRLF_DOS) ? 1 : (f & EDT_TT_CRLF_UNIX) ? 2 : (f & EDT_TT_CRLF_MAC) ? 3 : 0);
        SetCheck(1039, Bit(f, EDT_TT_SPACE_PAREN), false);
        SetCheck(1007, Bit(f, EDT_TT_BACKSPACE_JOINS), false);
        SetCheck(1008, Bit(f, EDT_TT_MARGIN), false);
        SetCheck(1040, Bit(f, EDT_TT_WORDWRAP), false);
        if (s.ShowsView()) {
            CEdtTextView& v = *s.view;
            if (CEdtEditView* ev = EditViewOf(&v))
                SetCheck(1007, ev->GetDisableBSAtSOL() ? 0 : 1, false);
            SetCheck(1008, v.Style().selMargin ? 1 : 0, false);
            SetCheck(1040, v.Style().wordWrap ? 1 : 0, false);
            if (CEdtTextBuffer* b = v.GetTextBuffer())
                SetRadio(1035, b->GetCRLFMode() + 1);
            SetCheck(1039, Bit(v.Style().flags, EDT_TT_SPACE_PAREN), false);
        }
    } else {
        SetRadio(1035, -1);
        for (int id : {1039, 1007, 1008, 1040})
            SetCheck(id, several ? 2 : 0, several);
    }
    for (int id : {1035, 1036, 1037, 1038, 1039, 1007, 1008, 1040})
        Enable(id, s.checkedCount > 0);
}

void CEditorPage2::BuildMasks(uint32_t& set, uint32_t& keep) const
{
    RadioMask(GetRadio(1035), {0, EDT_TT_CRLF_DOS, EDT_TT_CRLF_UNIX, EDT_TT_CRLF_MAC}, set, keep);
    CheckMask(GetCheck(1039), EDT_TT_SPACE_PAREN, set, keep);
    CheckMask(GetCheck(1007), EDT_TT_BACKSPACE_JOINS, set, keep);
    CheckMask(GetCheck(1008), EDT_TT_MARGIN, set, keep);
    CheckMask(GetCheck(1040), EDT_TT_WORDWRAP, set, keep);
}

void CEditorPage2::ApplyToView(CEdtTextView& v) const
{
    if (CEdtEditView* ev = EditViewOf(&v); ev && GetCheck(1007) != 2)
        ev->SetDisableBSAtSOL(GetCheck(1007) == 0);
    if (GetCheck(1008) != 2)
        v.Renderer().SetSelectionMargin(GetCheck(1008) == 1);
    if (GetCheck(1040) != 2)
        v.SetWordWrap(GetCheck(1040) == 1);
    const int ends = GetRadio(1035);
    if (ends > 0)  // "keep" (0) and nothing selected leave the buffer's mode
        if (CEdtTextBuffer* b = v.GetTextBuffer())
            b->SetCRLFMode(ends - 1);
}

// Page 3: recoding and extensions.
CEditorPage3::CEditorPage3(CEditorOptionsPage* owner)
    : CEditorPageBase(IDD_EDITOR_PAGE3, QStringLiteral("&Kódování"), owner)
{
    if (auto* c = Item<QComboBox>(1007)) {
        c->addItem(LoadResString(IDS_EDT_NO_RECODING));
        c->addItems(GetEncodingNames());
    }
    if (auto* e = Item<QLineEdit>(1014))
        e->setMaxLength(int(EDT_TT_MAX_TEXT));
    ConnectChanges();
}

void CEditorPage3::Refresh()
{
    const EditorOptionsState& s = State();
    auto* combo = Item<QComboBox>(1007);
    auto* ext = Item<QLineEdit>(1014);
    if (s.selected) {
        if (combo)
            combo->setCurrentIndex(std::clamp(s.selected->defaultEncoding + 1, 0, combo->count() - 1));
        if (ext)
            ext->setText(QString::fromStdU16String(s.selected->extensions));
    } else {
        if (combo)
            combo->setCurrentIndex(-1);
        if (ext)
            ext->clear();
    }
    Enable(1007, s.checkedCount == 1);
    Enable(1014, s.checkedCount == 1);
}

void CEditorPage3::ApplyToRecord(TextTypeDef& row) const
{
    if (auto* ext = Item<QLineEdit>(1014))
        row.extensions = ext->text().left(int(EDT_TT_MAX_TEXT)).toStdU16String();
    if (auto* combo = Item<QComboBox>(1007); combo && combo->currentIndex() >= 0)
        row.defaultEncoding = combo->currentIndex() - 1;
}

// ------------------------------------------------------------ CEditorOptionsPage

CEditorOptionsPage::CEditorOptionsPage(CEdtTextView* view)
    : ui::PropertyPage(IDD_EDITOR_OPTIONS, QStringLiteral("&Editor"))
{
    m_state.view = view;
    if (view) {
        m_state.selected = const_cast<TextTypeDef*>(view->GetCurrentTextType());
        m_state.checkedCount = m_state.selected ? 1 : 0;
    }
    m_pages = {new CEditorPage1(this), new CEditorPage2(this), new CEditorPage3(this)};
    // The embedded sheet in place of the placeholder frame, made with the
    // page so that the enclosing sheet has the page's whole size from the
    // start (the values come with the first activation).
    m_sheet2 = new QTabWidget(this);
    m_sheet2->setObjectName(QStringLiteral("sheet2"));
    for (CEditorPageBase* p : m_pages) {
        p->setWindowFlags(Qt::Widget);
        m_sheet2->addTab(p, p->windowTitle());
    }
    QWidget* frame = GetDlgItem(1042);
    if (frame && frame->parentWidget() && frame->parentWidget()->layout()) {
        m_sheet2->setParent(frame->parentWidget());
        delete frame->parentWidget()->layout()->replaceWidget(frame, m_sheet2);
        frame->hide();
    } else if (layout()) {
        layout()->addWidget(m_sheet2);
    }
}

CEditorOptionsPage::~CEditorOptionsPage()
{
    qApp->removeEventFilter(this);
}

QCheckBox* CEditorOptionsPage::TypeBox(int typeId) const
{
    if (typeId < 0 || typeId >= TYPE_BOXES)
        return nullptr;
    return Item<QCheckBox>(kTypeBoxIds[size_t(typeId)]);
}

bool CEditorOptionsPage::OnInitDialog()
{
    // The boxes carry the names of the rows.
    for (int t = 0; t < TYPE_BOXES; ++t)
        if (QCheckBox* box = TypeBox(t)) {
            if (const TextTypeDef* row = GetTextTypeDef(t))
                box->setText(QString::fromStdU16String(row->name));
            connect(box, &QCheckBox::toggled, this, [this] {
                SetModified();
                RefreshPages();
            });
        }
    // The view's own type (the "Text" box without a view).
    const int type = m_state.view ? (m_state.selected ? m_state.selected->id : -1) : 0;
    if (QCheckBox* box = TypeBox(type)) {
        const QSignalBlocker block(box);
        box->setChecked(true);
    }
    auto all = [this](bool on) {
        for (int t = 0; t < TYPE_BOXES; ++t)
            if (QCheckBox* box = TypeBox(t)) {
                const QSignalBlocker block(box);
                box->setChecked(on);
            }
        SetModified();
        RefreshPages();
    };
    if (auto* b = Item<QPushButton>(1032))
        connect(b, &QPushButton::clicked, this, [all] { all(true); });
    if (auto* b = Item<QPushButton>(1033))
        connect(b, &QPushButton::clicked, this, [all] { all(false); });

    for (CEditorPageBase* p : m_pages)
        p->OnSetActive();
    RefreshPages();
    qApp->installEventFilter(this);
    return true;
}

void CEditorOptionsPage::RefreshPages()
{
    int count = 0;
    TextTypeDef* single = nullptr;
    bool viewChecked = false;
    const TextTypeDef* viewType = m_state.view ? m_state.view->GetCurrentTextType() : nullptr;
    for (int t = 0; t < TYPE_BOXES; ++t)
        if (QCheckBox* box = TypeBox(t); box && box->isChecked()) {
            ++count;
            single = GetTextTypeDef(t);
            if (viewType && viewType->id == t)
                viewChecked = true;
        }
    m_state.checkedCount = count;
    m_state.selected = count == 1 ? single : nullptr;
    m_state.viewTypeChecked = viewChecked;
    for (CEditorPageBase* p : m_pages)
        p->Refresh();
}

void CEditorOptionsPage::InnerChanged()
{
    SetModified();
}

bool CEditorOptionsPage::OnKillActive()
{
    for (int i = 0; i < 3; ++i)
        if (!m_pages[size_t(i)]->Validate()) {
            if (m_sheet2)
                m_sheet2->setCurrentIndex(i);
            return false;
        }
    return true;
}

void CEditorOptionsPage::OnOK()
{
    if (!m_sheet2)
        return;
    uint32_t set = 0, keep = 0xFFFFFFFF;
    for (CEditorPageBase* p : m_pages)
        p->BuildMasks(set, keep);
    if (m_state.viewTypeChecked && m_state.view) {
        CEdtTextView& v = *m_state.view;
        for (CEditorPageBase* p : m_pages)
            p->ApplyToView(v);
        v.Style().flags = (v.Style().flags & keep) | set;
        v.update();
    }
    if (m_state.selected)
        for (CEditorPageBase* p : m_pages)
            p->ApplyToRecord(*m_state.selected);
    for (int t = 0; t < TYPE_BOXES; ++t)
        if (QCheckBox* box = TypeBox(t); box && box->isChecked())
            if (TextTypeDef* row = GetTextTypeDef(t))
                row->flags = (row->flags & keep) | set;
    EdtSaveSettings();
    for (CEditorPageBase* p : m_pages)
        p->SetModified(false);
    ui::PropertyPage::OnOK();
}

bool CEditorOptionsPage::TakeMnemonic(int key)
{
    if (!m_sheet2)
        return false;
    const QChar letter = QChar(key).toUpper();
    for (int i = 0; i < m_sheet2->count(); ++i) {
        const QString caption = m_sheet2->tabText(i);
        const qsizetype amp = caption.indexOf(QLatin1Char('&'));
        if (amp >= 0 && amp + 1 < caption.size() && caption[amp + 1].toUpper() == letter) {
            m_sheet2->setCurrentIndex(i);
            return true;
        }
    }
    return false;
}

bool CEditorOptionsPage::eventFilter(QObject* watched, QEvent* e)
{
    if (e->type() != QEvent::ShortcutOverride && e->type() != QEvent::KeyPress)
        return false;
    auto* w = qobject_cast<QWidget*>(watched);
    if (!w || !isVisible() || (w != this && !isAncestorOf(w)))
        return false;
    auto* k = static_cast<QKeyEvent*>(e);
    const auto mods = k->modifiers() & (Qt::AltModifier | Qt::ControlModifier | Qt::MetaModifier);
    if (mods != Qt::AltModifier || k->key() <= 32 || k->key() > 0xFFFF)
        return false;
    if (e->type() == QEvent::KeyPress) {
        if (m_eatKey) {
            m_eatKey = false;
            return true;
        }
        return false;
    }
    if (TakeMnemonic(k->key())) {
        // The key is ours: no shortcut of the enclosing sheet, and the key
        // press that follows is eaten.
        m_eatKey = true;
        e->accept();
        return true;
    }
    return false;
}

// ------------------------------------------------------------ CFontPage

CFontPage::CFontPage(CEdtTextView* view) : ui::PropertyPage(IDD_FONT, QStringLiteral("&Písmo")), m_view(view)
{
    m_dpi = ScreenDpiY();
    m_preview = GetEdtEditorFont();
    // The combo boxes are filled with the first activation; their widths
    // must not follow their items, or the sheet would grow on this page.
    for (QComboBox* c : findChildren<QComboBox*>()) {
        c->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        c->setMinimumContentsLength(kFontComboChars);
    }
}

bool CFontPage::OnInitDialog()
{
    // The face combo box of the form becomes a CFontComboBox.
    auto* face = new CFontComboBox(this);
    if (QWidget* old = GetDlgItem(1136); old && old->parentWidget()) {
        face->setParent(old->parentWidget());
        face->setObjectName(old->objectName());
        if (auto* l = old->parentWidget()->layout())
            delete l->replaceWidget(old, face, Qt::FindChildrenRecursively);
        for (QLabel* label : findChildren<QLabel*>())
            if (label->buddy() == old)
                label->setBuddy(face);
        delete old;
    }
    face->Fill(edt::FixedPitchFaces());
    auto* size = Item<QComboBox>(1138);
    auto* script = Item<QComboBox>(1137);
    auto* useEncoding = Item<QCheckBox>(1046);
    auto* encodings = Item<QComboBox>(1007);
    if (size)
        for (int s : {6, 7, 8, 9, 10, 11, 12, 14, 16, 18, 20, 22, 24, 26, 28, 36})
            size->addItem(QString::number(s));
    const QString faceName = QString::fromUtf16(m_preview.faceName);
    const int fi = face->findText(faceName, Qt::MatchExactly);
    if (fi >= 0)
        face->setCurrentIndex(fi);
    face->setEditText(faceName);
    if (size) {
        const QString st = edt::FontSizeText(m_preview.height, m_dpi);
        const int si = size->findText(st, Qt::MatchExactly);
        if (si >= 0)
            size->setCurrentIndex(si);
        size->setEditText(st);
    }
    if (script)
        script->setCurrentIndex(std::max(0, script->findText(edt::ScriptNameOfCharSet(m_preview.charSet))));
    const int encoding = GetEdtDefaultEncoding();
    if (encodings) {
        FillCodePageCombo(encodings, GetEncodingNames());
        encodings->setCurrentIndex(encoding >= 0 ? encoding : 0);
        encodings->setEnabled(encoding >= 0);
    }
    if (useEncoding) {
        useEncoding->setChecked(encoding >= 0);
        connect(useEncoding, &QCheckBox::toggled, this, [this, encodings](bool on) {
            if (encodings)
                encodings->setEnabled(on);
            SetModified();
        });
    }
    if (encodings)
        connect(encodings, &QComboBox::activated, this, [this] { SetModified(); });
    auto changed = [this] {
        RebuildPreview();
        SetModified();
    };
    connect(face, &QComboBox::editTextChanged, this, changed);
    if (size)
        connect(size, &QComboBox::editTextChanged, this, changed);
    if (script)
        connect(script, &QComboBox::currentIndexChanged, this, changed);
    RebuildPreview();
    SetModified(false);
    return true;
}

void CFontPage::RebuildPreview()
{
    auto* face = Item<QComboBox>(1136);
    auto* size = Item<QComboBox>(1138);
    auto* script = Item<QComboBox>(1137);
    if (face) {
        const QString name = face->currentText().left(MAX_FACE);
        std::memset(m_preview.faceName, 0, sizeof m_preview.faceName);
        const std::u16string u = name.toStdU16String();
        std::copy(u.begin(), u.end(), m_preview.faceName);
    }
    if (size)
        m_preview.height = edt::FontHeightOfSize(edt::AtoI(size->currentText()), m_dpi);
    if (script)
        m_preview.charSet = edt::CharSetOfScriptName(script->currentText());
    if (auto* sample = Item<QLabel>(1092))
        sample->setFont(EdtViewRenderer::FontFromLogFont(m_preview, false, false));
}

void CFontPage::OnOK()
{
    RebuildPreview();
    GetEdtEditorFont() = m_preview;
    if (m_view)
        m_view->SetFont(m_preview);
    auto* useEncoding = Item<QCheckBox>(1046);
    auto* encodings = Item<QComboBox>(1007);
    SetEdtDefaultEncoding(useEncoding && useEncoding->isChecked() && encodings ? encodings->currentIndex() : -1);
    EdtSaveSettings();
    ui::PropertyPage::OnOK();
}
