#pragma once
// Stand-in for the main frame: an MDI main window with the library's menu
// bar of menu resource 1, the output window docked at the bottom, the font and colour
// registry, a status bar with the message pane, the options record, the
// next/previous error and clear commands and an options sheet with the
// font page only.  The real main frame with its status bar panes,
// toolbars, docking bars, connection watch and full options sheet will
// replace this file.

#include "core/common/AppSettings.h"
#include "platform/ui/App.h"
#include "uilib/KvtFrameHooks.h"

#include <QPointer>

#include <optional>

class CFontColorPage;
class CStrandworkDoc;
class COutputCtrl;
class CKVTToolBar;
class CKVTMenuBar;
class QDockWidget;

class CMainFrame : public ui::MainFrameBase, public KvtFrameHooks
{
    Q_OBJECT
public:
    CMainFrame();
    ~CMainFrame() override;

    // Builds the menu bar from menu resource resourceId and the output
    // pane; false when that menu resource is missing.
    bool LoadFrame(uint32_t resourceId, uint32_t style);
    bool LoadFrame(uint32_t resourceId) override { return LoadFrame(resourceId, 0x00CF8000); }

    // Hands the project to the bars (the stand-in only remembers it).
    virtual bool AttachProject(CStrandworkDoc* doc);
    virtual bool DetachProject();
    CStrandworkDoc* AttachedProject() const { return m_project; }

    // The output control; null before the frame is loaded.
    COutputCtrl* GetOutputCtrl() const { return m_output; }
    // The font and colour registry (the process-wide one while the frame
    // lives).
    CFontColorPage* GetFontColorPage() const { return m_fontColors; }
    // Registers the categories of the text windows (the output window's
    // for now).
    void RegisterFontCategories();
    // The options sheet (command 33911).
    void OnOptions();
    // The main toolbar (id 0xE800, resource 1) and the debug toolbar (id
    // 0xE824, resource 1017); null before the frame is loaded.
    CKVTToolBar* GetMainToolBar() const { return m_mainBar; }
    CKVTToolBar* GetDebugToolBar() const { return m_debugBar; }
    // The menu bar (id 0xE806, menu resource 1); null before the frame is loaded.
    CKVTMenuBar* GetMenuBar() const { return m_menuBar; }
    core::AppSettings& Settings() { return m_settings; }
    // Loads the options record from "Options" (done when the frame is made).
    void LoadSettings();
    // The defaults of the options that depend on where the program is.
    static std::u16string DefaultPathTarvane();
    static std::u16string DefaultPathTemplates();

    // Opens the files dropped on the window.
    void OpenDroppedFiles(const QStringList& paths);
    void UpdateFrameTitle();

protected:
    bool event(QEvent* e) override;
    void OnActiveMenuChanged(ui::Menu* menu) override;
    bool OnMenuAltKey() override;
    bool OnMenuChar(QChar c) override;
    void closeEvent(QCloseEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dropEvent(QDropEvent* e) override;

private:
    void ShowTagMessage(const std::optional<QString>& message);

    CFontColorPage* m_fontColors; // owned; deleted after the windows that listen
    void CreateToolBars();
    // The menu bar shows the maximised document window's buttons; a
    // maximised window has no frame of its own.
    void UpdateMaximizeMode();

    core::AppSettings m_settings;
    CKVTToolBar* m_mainBar = nullptr;
    CKVTToolBar* m_debugBar = nullptr;
    CKVTMenuBar* m_menuBar = nullptr;
    bool m_inMaximizeUpdate = false;
    QPointer<COutputCtrl> m_output;
    QDockWidget* m_outputBar = nullptr;
    CStrandworkDoc* m_project = nullptr;
    uint32_t m_style = 0;
};
