#pragma once
// The pages of the project settings sheet.  Each page works on its own
// copy of its settings and writes them into the project document only on
// OK or Apply, and only when the user changed something on it.  See
// docs/project-settings.md.

#include "core/common/AppSettings.h"
#include "core/projfile/ProjectData.h"
#include "link/ui/OlnkPropPage.h"
#include "platform/ui/Dialog.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <vector>

class CStrandworkDoc;
class QComboBox;
class QLineEdit;
class QListWidget;

// What every page of the sheet shares: the document, reloading on the
// first activation and on Cancel, and the modified flag that only user
// changes set.
class CProjectSettingsPage : public ui::PropertyPage
{
    Q_OBJECT
public:
    explicit CProjectSettingsPage(uint32_t templateId);
    void Construct(CStrandworkDoc* doc) { m_doc = doc; }
    CStrandworkDoc* Document() const { return m_doc; }

    bool OnSetActive() override;
    void OnOK() override;
    void OnCancel() override;

protected:
    // Copies the document's settings into the page's copies and the
    // controls; the modified flag is cleared afterwards.
    virtual void Reload() = 0;
    // Writes the page's copies into the document (only called when the
    // page was modified); marks the project and sends the page's hint.
    virtual void Write() = 0;
    // Every activation, after the first one's reload.
    virtual void Activated(bool /*first*/) {}
    // A user change: sets the modified flag (Apply becomes enabled).
    void Changed() { SetModified(true); }
    QLineEdit* Edit(int id) const;
    QComboBox* Combo(int id) const;
    // Connects the user's edits of a line edit / a combo box to Changed and
    // to an action of the page.
    void OnEdited(int id, std::function<void()> action = {});
    void OnComboEdited(int id, std::function<void()> action = {});
    // The project folder (native, with trailing separator).
    QString ProjectDir() const;
    // Asks for a folder; start is a stored folder, used when it maps to an
    // existing folder, else the project folder.  The chosen folder ends with
    // "/".  False on Cancel.
    bool BrowseFolder(const std::u16string& start, QString& chosen);

    CStrandworkDoc* m_doc = nullptr;
};

// "Obecné": configuration, target, comment, output folders, format version.
class CPPProjectGeneral : public CProjectSettingsPage
{
    Q_OBJECT
public:
    enum : int { IDD = 2050 };
    CPPProjectGeneral();

protected:
    void Reload() override;
    void Write() override;

private:
    bool m_settingsChanged = false;
};

// "Hardware": the seven texts describing the control system's hardware.
class CPPProjectHardware : public CProjectSettingsPage
{
    Q_OBJECT
public:
    enum : int { IDD = 2070 };
    CPPProjectHardware();

protected:
    void Reload() override;
    void Write() override;
};

// "Tarvane": the compiler folder and version, output names, debug mode.
class CPPProjectCompiler : public CProjectSettingsPage
{
    Q_OBJECT
public:
    enum : int { IDD = 2080 };
    CPPProjectCompiler();
    // The version list from the effective folder again; the version text stays.
    void Rescan();
    std::u16string EffectiveFolder() const;

protected:
    void Reload() override;
    void Write() override;
    void Activated(bool first) override;

private:
    void ApplyExeRule();
    void OnVersion(const QString& text);
    void OnBrowse();
    core::AppSettings m_app;
};

// "Assembler/Linker": the Borland tools or the driver kit's flags.
class CPPProjectAsmLinker : public CProjectSettingsPage
{
    Q_OBJECT
public:
    enum : int { IDD = 2060 };
    CPPProjectAsmLinker();
    // Shows the controls of the tool set that the edited version uses.
    void ApplyToolSetRule();

protected:
    void Reload() override;
    void Write() override;
    void Activated(bool first) override;

private:
    std::u16string Effective(int comboId, const std::u16string& appFolder) const;
    void BrowseFolderInto(int comboId, const std::u16string& appFolder, std::initializer_list<int> reselect);
    void BrowseTool(int editId);
    void Reselect(std::initializer_list<int> combos);
    core::AppSettings m_app;
};

// The three file-list pages share one class, configured by a table.
class CPPProjectFileList : public CProjectSettingsPage
{
    Q_OBJECT
public:
    enum class Kind
    {
        Sources,
        Headers,
        Support
    };
    struct Config;
    explicit CPPProjectFileList(Kind kind);
    const std::vector<core::SupportFileEntry>& Records() const { return m_records; }

    void OnNew();
    void OnAdd();
    void OnRemove();
    void OnUp();
    void OnDown();
    void OnLocate();
    void OnRemoteLocate();

protected:
    void Reload() override;
    void Write() override;
    void Activated(bool first) override;

private:
    // Asks for a file and forms its record; false when nothing is to change.
    bool Choose(bool mustExist, const QString& start, int skipRow, QString& full, core::SupportFileEntry& rec);
    void ApplySelection();
    void ReplaceLine(int row);
    int Row() const;

    Kind m_kind;
    const Config& m_cfg;
    std::vector<core::SupportFileEntry> m_records;
    QListWidget* m_list = nullptr;
};

class CPPProjectSources : public CPPProjectFileList
{
    Q_OBJECT
public:
    enum : int { IDD = 2090 };
    CPPProjectSources() : CPPProjectFileList(Kind::Sources) {}
};

class CPPProjectHeaders : public CPPProjectFileList
{
    Q_OBJECT
public:
    enum : int { IDD = 2100 };
    CPPProjectHeaders() : CPPProjectFileList(Kind::Headers) {}
};

class CPPProjectSupportFiles : public CPPProjectFileList
{
    Q_OBJECT
public:
    enum : int { IDD = 2110 };
    CPPProjectSupportFiles() : CPPProjectFileList(Kind::Support) {}
};

// "Ladění": the watch periods and the display of watched values.
class CPPProjectDebug : public CProjectSettingsPage
{
    Q_OBJECT
public:
    enum : int { IDD = 2120 };
    CPPProjectDebug();
    void DoDataExchange(ui::DataExchange& dx) override;

protected:
    void Reload() override;
    void Write() override;

private:
    uint32_t m_periods[3] = {};
    int m_hex = 0;
    int m_regsInSource = 0;
};

// "Make.knf": the further keyword lines of the make file.
class CPPProjectMakeKnf : public CProjectSettingsPage
{
    Q_OBJECT
public:
    enum : int { IDD = 2130 };
    CPPProjectMakeKnf();
    bool OnKillActive() override;
    const std::vector<core::KeywordPair>& Pairs() const { return m_pairs; }

    void OnAdd();
    void OnDelete();

protected:
    void Reload() override;
    void Write() override;
    void Activated(bool first) override;

private:
    bool CheckReserved();
    void ApplySelection();
    void OnTyped();
    static QString Line(const core::KeywordPair& p);
    std::vector<core::KeywordPair> m_pairs;
    QListWidget* m_list = nullptr;
};

// "Spojení OLNK": the link settings page on the project's connection string.
class CPPProjectLink : public linkui::COlnkPropPage
{
    Q_OBJECT
public:
    CPPProjectLink() = default;
    void Construct(CStrandworkDoc* doc);
    void OnOK() override;

private:
    CStrandworkDoc* m_doc = nullptr;
};
