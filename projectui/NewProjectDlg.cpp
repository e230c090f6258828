#include "projectui/NewProjectDlg.h"

#include "projectui/QtText.h"
#include "platform/sys/Registry.h"
#include "platform/sys/WinPath.h"
#include "platform/ui/Prompt.h"
#include "res/Resources.h"
#include "res/StringTable.h"

#include <QAbstractButton>
#include <QDir>
#include <QFileDialog>
#include "platform/ui/LocalPath.h"
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QTreeWidget>

namespace {

using projtext::Q;

constexpr std::u16string_view kSettings = u"Settings";
constexpr std::u16string_view kLocation = u"NewProjectLocation";

QIcon KindIcon(int kind)
{
    static const int ids[] = {1055, 1049, 1058};
    const int id = ids[kind >= 0 && kind <= 2 ? kind : 2];
    return QIcon(res::Path(QStringLiteral("icons/%1.svg").arg(id)));
}

bool IsSeparator(QChar c)
{
    return c == QLatin1Char('/') || c == QLatin1Char('\\');
}

} // namespace

CNewProjectDlg::CNewProjectDlg(QWidget* parent) : ui::Dialog(1046, parent)
{
    m_list = core::FixedTemplateEntries();
    m_base = Q(sys::Profile::GetString(kSettings, kLocation));
    if (m_base.isEmpty())
        m_base = QDir::homePath();
    m_tree = Item<QTreeWidget>(IDC_NEWPRJ_TEMPLATES);
    m_nameEdit = Item<QLineEdit>(IDC_NEWPRJ_NAME);
    m_locationEdit = Item<QLineEdit>(IDC_NEWPRJ_LOCATION);
    m_info = Item<QLabel>(IDC_NEWPRJ_INFO);
    if (m_nameEdit)
        connect(m_nameEdit, &QLineEdit::textEdited, this, &CNewProjectDlg::OnNameEdited);
    if (m_locationEdit)
        connect(m_locationEdit, &QLineEdit::textEdited, this, &CNewProjectDlg::OnLocationEdited);
    if (auto* browse = Item<QAbstractButton>(IDC_NEWPRJ_BROWSE))
        connect(browse, &QAbstractButton::clicked, this, &CNewProjectDlg::OnBrowse);
    if (m_tree) {
        connect(m_tree, &QTreeWidget::itemSelectionChanged, this,
                &CNewProjectDlg::OnSelectionChanged);
        connect(m_tree, &QTreeWidget::itemDoubleClicked, this, [this] { OnOK(); });
    }
}

void CNewProjectDlg::ScanTemplates(const QString& folder, bool append)
{
    core::ScanTemplates(m_list, folder.toStdU16String(), append, m_visited);
}

const core::ProjectTemplateInfo& CNewProjectDlg::GetSelected() const
{
    static const core::ProjectTemplateInfo none{0, {}, {}};
    return m_selected >= 0 && size_t(m_selected) < m_list.size() ? m_list[size_t(m_selected)]
                                                                   : none;
}

bool CNewProjectDlg::OnInitDialog()
{
    ui::Dialog::OnInitDialog();
    if (m_tree) {
        m_tree->setHeaderLabels({LoadResString(IDS_NEWPRJ_TEMPLATES_COLUMN)});
        m_tree->header()->setStretchLastSection(true);
        m_tree->clear();
        for (size_t i = 0; i < m_list.size(); ++i) {
            auto* item = new QTreeWidgetItem(m_tree, {Q(m_list[i].Name)});
            item->setIcon(0, KindIcon(m_list[i].Kind));
            item->setData(0, Qt::UserRole, int(i));
        }
    }
    m_selected = -1;
    if (m_info)
        m_info->clear();
    ShowLocation();
    QWidget* order[] = {m_nameEdit, m_locationEdit, GetDlgItem(IDC_NEWPRJ_BROWSE), m_tree,
                        GetDlgItem(ui::IDOK_BUTTON), GetDlgItem(ui::IDCANCEL_BUTTON)};
    for (size_t i = 0; i + 1 < std::size(order); ++i) {
        if (order[i] && order[i + 1])
            setTabOrder(order[i], order[i + 1]);
    }
    if (m_nameEdit)
        m_nameEdit->setFocus();
    return true;
}

QString CNewProjectDlg::AppendName(const QString& base, const QString& name)
{
    if (name.isEmpty())
        return base;
    std::u16string path = base.toStdU16String();
    if (sys::WinPath::Append(path, name.toStdU16String()))
        return Q(path);
    if (base.isEmpty() || IsSeparator(base.back()))
        return base + name;
    return base + (base.contains(QLatin1Char('/')) ? QLatin1Char('/') : QLatin1Char('\\')) + name;
}

void CNewProjectDlg::ShowLocation()
{
    if (m_locationEdit)
        m_locationEdit->setText(AppendName(m_base, m_name));
}

void CNewProjectDlg::OnNameEdited(const QString& text)
{
    m_name = text;
    ShowLocation();
}

void CNewProjectDlg::OnLocationEdited(const QString& text)
{
    // "<base><separator><name>" keeps the name out of the base location.
    const qsizetype n = m_name.size();
    if (n > 0 && text.size() > n && text.endsWith(m_name) && IsSeparator(text[text.size() - n - 1]))
        m_base = text.left(text.size() - n - 1);
    else
        m_base = text;
}

void CNewProjectDlg::OnBrowse()
{
    QString chosen = QFileDialog::getExistingDirectory(this, QString(), m_base);
    if (chosen.isEmpty() || !ui::TakeExactChosenPath(chosen, this))
        return;
    m_base = chosen;
    ShowLocation();
}

void CNewProjectDlg::OnSelectionChanged()
{
    m_selected = -1;
    const QList<QTreeWidgetItem*> items = m_tree ? m_tree->selectedItems() : QList<QTreeWidgetItem*>{};
    if (items.size() == 1) {
        const int index = items[0]->data(0, Qt::UserRole).toInt();
        if (index >= 0 && size_t(index) < m_list.size())
            m_selected = index;
    }
    if (!m_info)
        return;
    if (m_selected < 0)
        m_info->clear();
    else if (m_list[size_t(m_selected)].Kind == 2)
        m_info->setText(Q(m_list[size_t(m_selected)].Path));
    else
        m_info->setText(QStringLiteral("-"));
}

bool CNewProjectDlg::IsValidProjectName(const QString& name)
{
    if (name.trimmed().isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    for (QChar c : name) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F || QStringView(u"/\\<>:\"|?*").contains(c))
            return false;
    }
    auto edge = [](QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('.') || c.isSpace(); };
    return !edge(name.front()) && !edge(name.back());
}

void CNewProjectDlg::OnOK()
{
    if (m_selected < 0 || m_name.isEmpty() || m_base.isEmpty())
        return;
    if (!IsValidProjectName(m_name)) {
        ui::Prompt(FormatResString(IDS_NEWPRJ_BAD_NAME, m_name), {},
                   ui::MB_OK | ui::MB_ICONEXCLAMATION, this);
        if (m_nameEdit)
            m_nameEdit->setFocus();
        return;
    }
    if (!m_base.startsWith(QLatin1Char('/'))) {
        ui::Prompt(FormatResString(IDS_NEWPRJ_BAD_LOCATION, m_base), {},
                   ui::MB_OK | ui::MB_ICONEXCLAMATION, this);
        if (m_locationEdit)
            m_locationEdit->setFocus();
        return;
    }
    m_folder = AppendName(m_base, m_name);
    sys::Profile::WriteString(kSettings, kLocation, m_base.toStdU16String());
    done(QDialog::Accepted);
}
