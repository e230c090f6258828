#include "link/ui/OxfrFileDialog.h"

#include "platform/ui/Prompt.h"
#include "res/Resources.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>
#include <QTreeView>

namespace linkui {

namespace {
QIcon Bitmap(int id) { return QIcon(res::Path(QStringLiteral("icons/%1.svg").arg(id))); }
}

COxfrFileDialog::COxfrFileDialog(IOxfrC* link, bool open, const char16_t* defaultExtension, const char16_t* fileName,
                                 uint32_t flags, const char16_t* filter, QWidget* parent)
    : ui::Dialog(IDD, parent), m_open(open), m_listing(new RemoteListing(this)), m_model(new FileListModel(this))
{
    m_ofn.Flags = flags;
    if (defaultExtension)
        m_ofn.defaultExtension = std::u16string(defaultExtension).substr(0, 255);
    if (fileName)
        m_ofn.file = std::u16string(fileName).substr(0, 259);
    if (filter)
        m_ofn.filter = SplitFilter(filter);
    m_listing->SetLink(link);
    connect(m_listing, &RemoteListing::finished, this, [this] { OnFinished(); });
    connect(m_listing, &RemoteListing::progress, this, [this](uint32_t done, uint32_t total) {
        if (m_bar) {
            m_bar->setRange(0, int(std::min<uint32_t>(total, INT32_MAX)));
            m_bar->setValue(int(std::min<uint32_t>(done, INT32_MAX)));
        }
    });
    connect(m_listing, &RemoteListing::linkStateChanged, this, [this] { List(); });
}

COxfrFileDialog::~COxfrFileDialog() { m_listing->Cancel(); }

bool COxfrFileDialog::OnInitDialog()
{
    m_folderCombo = Item<QComboBox>(IDC_FOLDER);
    m_filterCombo = Item<QComboBox>(IDC_FILTER);
    m_name = Item<QLineEdit>(IDC_NAME);
    m_readOnly = Item<QCheckBox>(IDC_READONLY);
    m_bar = Item<QProgressBar>(1008);
    m_details = Item<QTreeView>(1073);
    m_list = findChild<QListView*>(QStringLiteral("c1073list"));
    auto* up = Item<QToolButton>(1093);
    auto* refresh = Item<QToolButton>(1095);
    m_listButton = Item<QToolButton>(1096);
    m_detailsButton = Item<QToolButton>(1094);
    if (!m_folderCombo || !m_filterCombo || !m_name || !m_readOnly || !m_bar || !m_details || !m_list || !up ||
        !refresh || !m_listButton || !m_detailsButton)
        return false;
    up->setIcon(Bitmap(142));
    refresh->setIcon(Bitmap(145));
    m_listButton->setIcon(Bitmap(144));
    m_detailsButton->setIcon(Bitmap(143));
    connect(up, &QToolButton::clicked, this, [this] { Enter(u".."); });
    connect(refresh, &QToolButton::clicked, this, [this] {
        if (!IsBusy())
            List();
    });
    connect(m_listButton, &QToolButton::clicked, this, [this] { SetDetails(false); });
    connect(m_detailsButton, &QToolButton::clicked, this, [this] { SetDetails(true); });
    if (auto* help = Item<QPushButton>(IDC_HELP))
        help->setAutoDefault(false); // does nothing

    m_details->setModel(m_model);
    m_list->setModel(m_model);
    m_list->setSelectionModel(m_details->selectionModel());
    m_details->setRootIsDecorated(false);
    m_details->setItemsExpandable(false);
    m_details->setUniformRowHeights(true);
    m_details->setAllColumnsShowFocus(true);
    m_details->header()->setStretchLastSection(false);
    m_details->header()->setSectionsClickable(true);
    const int widths[4] = {140, 55, 120, 85};
    for (int c = 0; c < 4; ++c)
        m_details->setColumnWidth(c, widths[c]);
    m_list->setFlow(QListView::TopToBottom);
    m_list->setWrapping(true);
    m_list->setResizeMode(QListView::Adjust);
    for (QAbstractItemView* v : {static_cast<QAbstractItemView*>(m_details), static_cast<QAbstractItemView*>(m_list)}) {
        v->setSelectionMode(QAbstractItemView::SingleSelection);
        v->setEditTriggers(QAbstractItemView::NoEditTriggers);
        connect(v, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& i) { OnDoubleClick(i); });
        v->installEventFilter(this);
    }
    connect(m_details->header(), &QHeaderView::sectionClicked, this, [this](int c) {
        m_order.HeaderClick(c);
        QApplication::setOverrideCursor(Qt::WaitCursor);
        m_model->Sort(m_order);
        QApplication::restoreOverrideCursor();
    });
    connect(m_details->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { OnSelection(); });

    for (const auto& f : m_ofn.filter)
        m_filterCombo->addItem(QString::fromStdU16String(f.description), QString::fromStdU16String(f.pattern));
    m_mask = m_ofn.filter.empty() ? u"*.*" : m_ofn.filter[0].pattern;
    m_filterCombo->setCurrentIndex(m_ofn.filter.empty() ? -1 : 0);
    connect(m_filterCombo, &QComboBox::activated, this, [this](int i) {
        if (i < 0)
            return;
        m_mask = m_filterCombo->itemData(i).toString().toStdU16String();
        if (!IsBusy())
            List();
    });

    std::u16string name;
    SplitInitial(m_ofn.file, m_folder, name);
    m_name->setText(QString::fromStdU16String(name));
    m_readOnly->setVisible(!(m_ofn.Flags & ui::OFN_HIDEREADONLY));
    m_readOnly->setChecked(m_ofn.Flags & ui::OFN_READONLY);
    setWindowTitle(!m_ofn.title.empty() ? QString::fromStdU16String(m_ofn.title)
                                        : (m_open ? QStringLiteral("Otevřít...") : QStringLiteral("Uložit jako...")));
    List();
    return true;
}

void COxfrFileDialog::SetDetails(bool details)
{
    m_details->setVisible(details);
    m_list->setVisible(!details);
    m_detailsButton->setChecked(details);
    m_listButton->setChecked(!details);
}

void COxfrFileDialog::List()
{
    if (!m_listing->Link() || !m_bar)
        return;
    if (IsBusy()) {
        m_pending = true;
        return;
    }
    m_pending = false;
    m_bar->setRange(0, 100);
    m_bar->setValue(0);
    m_bar->show();
    m_model->Clear();
    m_folderCombo->clear();
    m_folderCombo->addItem(QString::fromStdU16String(m_folder + m_mask));
    QString error;
    if (!m_listing->Start(m_folder + m_mask, &error)) {
        m_bar->hide();
        ui::Prompt(error, {}, ui::MB_ICONERROR, this);
        emit listed();
    }
}

void COxfrFileDialog::OnFinished()
{
    m_bar->hide();
    m_model->SetRecords(std::move(m_listing->records));
    m_listing->records.clear();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_model->Sort(m_order);
    QApplication::restoreOverrideCursor();
    emit listed();
    if (m_pending)
        List();
}

void COxfrFileDialog::Enter(std::u16string_view name)
{
    if (IsBusy())
        return;
    if (EnterEntry(m_folder, name))
        List();
}

void COxfrFileDialog::OnSelection()
{
    const QModelIndexList rows = m_details->selectionModel()->selectedRows();
    if (rows.size() == 1) {
        const FileListRecord& r = m_model->Record(rows[0].row());
        if (!IsFolder(r) && UsableRemoteName(NameOf(r)))
            m_name->setText(QString::fromStdU16String(NameOf(r)));
    }
}

void COxfrFileDialog::OnDoubleClick(const QModelIndex& index)
{
    if (IsBusy() || !index.isValid() || index.column() != 0)
        return;
    const FileListRecord& r = m_model->Record(index.row());
    // A name that is no plain name is shown, never entered or taken.
    if (!UsableRemoteName(NameOf(r)))
        return;
    if (IsFolder(r)) {
        Enter(NameOf(r));
    } else {
        m_name->setText(QString::fromStdU16String(NameOf(r)));
        OnOK();
    }
}

void COxfrFileDialog::OnOK()
{
    if (IsBusy() || !m_name)
        return;
    QWidget* focus = QApplication::focusWidget();
    if (focus == m_details || focus == m_list) {
        const QModelIndexList rows = m_details->selectionModel()->selectedRows();
        if (rows.size() == 1 && IsFolder(m_model->Record(rows[0].row())) &&
            UsableRemoteName(NameOf(m_model->Record(rows[0].row())))) {
            Enter(NameOf(m_model->Record(rows[0].row())));
            return;
        }
    }
    std::u16string name;
    ResolveTyped(m_name->text().toStdU16String(), m_folder, name);
    m_name->setText(QString::fromStdU16String(name));
    if (HasWildcard(name)) {
        m_mask = name;
        List();
        return;
    }
    if (name.empty())
        return;
    m_ofn.file = m_folder + name;
    m_ofn.fileTitle = name;
    if (m_readOnly->isChecked())
        m_ofn.Flags |= ui::OFN_READONLY;
    else
        m_ofn.Flags &= ~ui::OFN_READONLY;
    done(QDialog::Accepted);
}

void COxfrFileDialog::OnCancel()
{
    m_listing->Cancel();
    m_model->Clear();
    done(QDialog::Rejected);
}

bool COxfrFileDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && (watched == m_details || watched == m_list)) {
        auto* k = static_cast<QKeyEvent*>(event);
        if (k->key() == Qt::Key_Backspace) {
            Enter(u"..");
            return true;
        }
    }
    return ui::Dialog::eventFilter(watched, event);
}

} // namespace linkui
