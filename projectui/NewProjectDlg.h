#pragma once
// The new-project dialog (template 1046): what the project starts from (an
// empty project, the import of a compiler configuration file or a
// template), its name and its location.  See docs/project-files.md.

#include "core/projfile/ProjectTemplates.h"
#include "platform/ui/Dialog.h"

#include <QString>

#include <set>
#include <utility>

class QTreeWidget;
class QLineEdit;
class QLabel;

// Control ids.
constexpr int IDC_NEWPRJ_INFO = 1110;
constexpr int IDC_NEWPRJ_NAME = 1232;
constexpr int IDC_NEWPRJ_LOCATION = 1234;
constexpr int IDC_NEWPRJ_TEMPLATES = 1236;
constexpr int IDC_NEWPRJ_BROWSE = 1238;
// Messages of OK.
constexpr unsigned IDS_NEWPRJ_TEMPLATES_COLUMN = 4044;
constexpr unsigned IDS_NEWPRJ_BAD_NAME = 4520;
constexpr unsigned IDS_NEWPRJ_BAD_LOCATION = 4521;

class CNewProjectDlg : public ui::Dialog
{
    Q_OBJECT
public:
    explicit CNewProjectDlg(QWidget* parent = nullptr);

    // Adds the templates of a folder and its subfolders (all folders of one
    // dialog share one set of folders already scanned).
    void ScanTemplates(const QString& folder, bool append);

    // After OK: the chosen entry, the project name and the project folder
    // (the base location with the name appended).
    const core::ProjectTemplateInfo& GetSelected() const;
    const QString& GetProjectName() const { return m_name; }
    const QString& GetProjectFolder() const { return m_folder; }
    // The location without the name.
    const QString& GetBaseLocation() const { return m_base; }
    const core::ProjectTemplateList& Templates() const { return m_list; }

    // A name usable as a folder and a file name: not empty after trimming,
    // not "." or "..", without "/", "\", control characters and < > : " | ? *,
    // and neither beginning nor ending with a blank or a point.
    static bool IsValidProjectName(const QString& name);
    // The base location with the name appended as a further component.
    static QString AppendName(const QString& base, const QString& name);

    bool OnInitDialog() override;
    void OnOK() override;

private:
    void OnSelectionChanged();
    void OnNameEdited(const QString& text);
    void OnLocationEdited(const QString& text);
    void OnBrowse();
    void ShowLocation();

    core::ProjectTemplateList m_list;
    std::set<std::pair<dev_t, ino_t>> m_visited;
    int m_selected = -1;
    QString m_name;
    QString m_base;
    QString m_folder;
    QTreeWidget* m_tree = nullptr;
    QLineEdit* m_nameEdit = nullptr;
    QLineEdit* m_locationEdit = nullptr;
    QLabel* m_info = nullptr;
};
