#pragma once
// The recent-file list of the application with a second list of recent
// projects beside it.  Both persist in the registry section
// "Recent File List" ("File%d" and "Project%d", 1 to size) and fill their
// own submenu of the File menu: files with the commands ID_FILE_MRU_FIRST ..
// ID_FILE_MRU_LAST, projects with ID_PROJECT_MRU_FIRST .. ID_PROJECT_MRU_LAST.
// See docs/application.md.

#include "res/CommandIds.h"

#include <QString>
#include <QStringList>

#include <cstdint>

namespace ui {
class CmdUI;
}

class CRecentProjectList
{
public:
    CRecentProjectList(int start, const QString& section, const QString& fileEntryFormat,
                       const QString& projectEntryFormat, int size, int maxDisplayLength = 30);
    virtual ~CRecentProjectList();

    int GetSize() const { return m_size; }
    const QStringList& Files() const { return m_files; }
    const QStringList& Projects() const { return m_projects; }

    // Puts the path at the top of its list (projects: extension ".kxp" in
    // any case); a path already listed moves up, a new one pushes the
    // oldest out.
    virtual void Add(const QString& path);
    // Removes the file entry / project entry at index; the ones behind it
    // move up.
    virtual void Remove(int index);
    virtual void RemoveAt(int index);
    // Removes the entry of the list that names path (projects when
    // project); false when none does.
    bool RemoveByPath(const QString& path, bool project);

    virtual void ReadList();
    virtual void WriteList();

    // Rebuilds the submenu of the list that the update's command belongs to.
    virtual void UpdateMenu(ui::CmdUI& cmd);

    // Display names of entries; false for an empty entry.  currentDir ends
    // with a separator.
    bool GetDisplayName(QString& out, int index, const QString& currentDir, bool atLeastName = true) const;
    bool GetProjectDisplayName(QString& out, int index, const QString& currentDir, bool atLeastName = true) const;

    // The path made full (absolute and clean), and whether two paths name
    // the same file.
    static QString FullPath(const QString& path);
    static bool SameFile(const QString& a, const QString& b);
    // The abbreviation rule: the path when it fits in maxLength, the
    // leading folder, "/..." and the trailing components that fit, or the
    // file name alone.
    static QString AbbreviatePath(const QString& path, int maxLength, bool atLeastName = true);

private:
    static bool DisplayName(const QStringList& list, QString& out, int index, const QString& currentDir,
                            int maxLength, bool atLeastName);
    static void Push(QStringList& list, const QString& path);
    void Update(ui::CmdUI& cmd, const QStringList& list, QString& firstSeen, uint32_t firstId);

    int m_start;
    int m_size;
    int m_maxDisplayLength;
    QString m_section;
    QString m_fileEntryFormat;
    QString m_projectEntryFormat;
    QStringList m_files;
    QStringList m_projects;
    QString m_firstSeenFileText;
    QString m_firstSeenProjectText;
};
