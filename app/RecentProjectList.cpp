#include "app/RecentProjectList.h"

#include "platform/sys/Registry.h"
#include "platform/ui/Command.h"
#include "platform/ui/LocalPath.h"
#include "platform/ui/Menu.h"


#include <sys/stat.h>

namespace {
QString Entry(const QString& format, int i)
{
    QString f = format;
    return f.replace(QStringLiteral("%d"), QString::number(i));
}
} // namespace

CRecentProjectList::CRecentProjectList(int start, const QString& section, const QString& fileEntryFormat,
                                       const QString& projectEntryFormat, int size, int maxDisplayLength)
    : m_start(start), m_size(size > 0 ? size : 1), m_maxDisplayLength(maxDisplayLength), m_section(section),
      m_fileEntryFormat(fileEntryFormat), m_projectEntryFormat(projectEntryFormat)
{
    for (int i = 0; i < m_size; ++i) {
        m_files << QString();
        m_projects << QString();
    }
}

CRecentProjectList::~CRecentProjectList() = default;

QString CRecentProjectList::FullPath(const QString& path)
{
    if (path.isEmpty())
        return path;
    return ui::AbsoluteLocalPath(path);
}

bool CRecentProjectList::SameFile(const QString& a, const QString& b)
{
    if (a.isEmpty() || b.isEmpty())
        return false;
    const QString fa = FullPath(a), fb = FullPath(b);
    if (fa == fb)
        return true;
    struct stat sa{}, sb{};
    const std::optional<std::string> na = ui::NativeOfLocalPath(fa), nb = ui::NativeOfLocalPath(fb);
    return na && nb && ::stat(na->c_str(), &sa) == 0 && ::stat(nb->c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

void CRecentProjectList::Push(QStringList& list, const QString& path)
{
    const int size = int(list.size());
    int at = size - 1;
    for (int i = 0; i < size - 1; ++i) {
        if (SameFile(list[i], path)) {
            at = i;
            break;
        }
    }
    for (int i = at; i > 0; --i)
        list[i] = list[i - 1];
    list[0] = path;
}

void CRecentProjectList::Add(const QString& path)
{
    if (path.isEmpty())
        return;
    const QString full = FullPath(path);
    if (full.endsWith(QStringLiteral(".kxp"), Qt::CaseInsensitive))
        Push(m_projects, full);
    else
        Push(m_files, full);
}

void CRecentProjectList::Remove(int index)
{
    if (index < 0 || index >= m_size)
        return;
    m_files.removeAt(index);
    m_files << QString();
}

void CRecentProjectList::RemoveAt(int index)
{
    if (index < 0 || index >= m_size)
        return;
    m_projects.removeAt(index);
    m_projects << QString();
}

bool CRecentProjectList::RemoveByPath(const QString& path, bool project)
{
    const QStringList& list = project ? m_projects : m_files;
    int found = int(list.indexOf(path));
    if (found < 0)
        for (int i = 0; i < m_size && found < 0; ++i)
            if (SameFile(list[i], path))
                found = i;
    if (found < 0)
        return false;
    if (project)
        RemoveAt(found);
    else
        Remove(found);
    return true;
}

void CRecentProjectList::ReadList()
{
    const std::u16string section = m_section.toStdU16String();
    for (int i = 1; i <= m_size; ++i)
        m_projects[i - 1] = QString::fromStdU16String(
            sys::Profile::GetString(section, Entry(m_projectEntryFormat, i).toStdU16String()));
    for (int i = 1; i <= m_size; ++i)
        m_files[i - 1] = QString::fromStdU16String(
            sys::Profile::GetString(section, Entry(m_fileEntryFormat, i).toStdU16String()));
}

void CRecentProjectList::WriteList()
{
    const std::u16string section = m_section.toStdU16String();
    sys::HKEY app = nullptr;
    if (sys::RegCreateKeyEx(sys::HKEY_CURRENT_USER, sys::Profile::AppKeyPath(), sys::KEY_ALL_ACCESS, &app) ==
        sys::ERROR_SUCCESS) {
        sys::RegDeleteTree(app, section);
        sys::RegCloseKey(app);
    }
    for (int i = 0; i < m_size; ++i)
        if (!m_projects[i].isEmpty())
            sys::Profile::WriteString(section, Entry(m_projectEntryFormat, i + 1).toStdU16String(),
                                      m_projects[i].toStdU16String());
    for (int i = 0; i < m_size; ++i)
        if (!m_files[i].isEmpty())
            sys::Profile::WriteString(section, Entry(m_fileEntryFormat, i + 1).toStdU16String(),
                                      m_files[i].toStdU16String());
}

QString CRecentProjectList::AbbreviatePath(const QString& path, int maxLength, bool atLeastName)
{
    if (path.size() <= maxLength)
        return path;
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const QString title = path.mid(slash + 1);
    if (title.size() > maxLength || slash < 0)
        return atLeastName ? title : QString();
    // The leading part: "/" plus the first folder when the path is absolute,
    // else the first component.
    QStringList comps = path.split(QLatin1Char('/'));
    QString head;
    int firstRest = 1;
    if (path.startsWith(QLatin1Char('/')) && comps.size() > 2) {
        head = QLatin1Char('/') + comps[1];
        firstRest = 2;
    } else {
        head = comps[0];
        firstRest = 1;
    }
    // Drop leading components of the rest until the whole fits.
    for (int k = firstRest + 1; k < comps.size(); ++k) {
        const QString tail = QStringList(comps.mid(k)).join(QLatin1Char('/'));
        const QString candidate = head + QStringLiteral("/.../") + tail;
        if (candidate.size() <= maxLength)
            return candidate;
    }
    return atLeastName ? title : QString();
}

bool CRecentProjectList::DisplayName(const QStringList& list, QString& out, int index, const QString& currentDir,
                                     int maxLength, bool atLeastName)
{
    out.clear();
    if (index < 0 || index >= list.size() || list[index].isEmpty())
        return false;
    const QString& path = list[index];
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const QString folder = path.left(slash + 1);
    // A byte that is no UTF-8 shows as "\xE9", as in the file manager.
    if (folder == currentDir) {
        out = ui::ShownLocalPath(path.mid(slash + 1));
        return true;
    }
    out = ui::ShownLocalPath(AbbreviatePath(path, maxLength, atLeastName));
    return true;
}

bool CRecentProjectList::GetDisplayName(QString& out, int index, const QString& currentDir, bool atLeastName) const
{
    return DisplayName(m_files, out, index, currentDir, m_maxDisplayLength, atLeastName);
}

bool CRecentProjectList::GetProjectDisplayName(QString& out, int index, const QString& currentDir,
                                               bool atLeastName) const
{
    return DisplayName(m_projects, out, index, currentDir, m_maxDisplayLength, atLeastName);
}

void CRecentProjectList::UpdateMenu(ui::CmdUI& cmd)
{
    if (cmd.Id() >= ID_FILE_MRU_FIRST && cmd.Id() <= ID_FILE_MRU_LAST)
        Update(cmd, m_files, m_firstSeenFileText, ID_FILE_MRU_FIRST);
    else if (cmd.Id() >= ID_PROJECT_MRU_FIRST && cmd.Id() <= ID_PROJECT_MRU_LAST)
        Update(cmd, m_projects, m_firstSeenProjectText, ID_PROJECT_MRU_FIRST);
}

void CRecentProjectList::Update(ui::CmdUI& cmd, const QStringList& list, QString& firstSeen, uint32_t)
{
    ui::Menu* menu = cmd.GetMenu();
    if (menu && firstSeen.isEmpty())
        if (const ui::MenuItem* item = menu->Item(cmd.Index()))
            firstSeen = item->text;
    if (list[0].isEmpty()) {
        if (!firstSeen.isEmpty())
            cmd.SetText(firstSeen);
        cmd.Enable(false);
        return;
    }
    if (!menu)
        return;
    // Delete the items of the whole id range, then insert one per entry.
    for (uint32_t id = cmd.Id(); id < cmd.Id() + uint32_t(m_size); ++id) {
        int idx;
        while ((idx = menu->IndexOf(id)) >= 0)
            menu->RemoveItem(idx);
    }
    const QString cur = ui::CurrentLocalFolder() + QLatin1Char('/');
    int index = cmd.Index();
    uint32_t id = cmd.Id();
    for (int i = 0; i < m_size; ++i) {
        QString name;
        if (!DisplayName(list, name, i, cur, m_maxDisplayLength, true))
            break;
        name.replace(QStringLiteral("&"), QStringLiteral("&&"));
        const QString text = QStringLiteral("&%1 %2").arg((m_start + i) % 10).arg(name);
        menu->InsertItem(index, id, text);
        ++index;
        ++id;
    }
    cmd.SetIndex(index - 1);
}
