#pragma once
// The commands of the File, Project, PLC and Debug menus: their map, the
// update rules of every application command and the handlers whose work
// lives here.  The application owns one and builds its map with Map().
// See docs/application.md.

#include "app/AppCommandRules.h"

#include <cstdint>

class CStrandworkApp;

class CAppMenuCommands
{
public:
    explicit CAppMenuCommands(CStrandworkApp& app);
    CAppMenuCommands(const CAppMenuCommands&) = delete;
    CAppMenuCommands& operator=(const CAppMenuCommands&) = delete;

    // Maps the handlers below on the application, then one update handler
    // for every command of the application but the recent lists.
    void Map();

    // The project state the commands' rules read.
    AppCommandState CommandState() const;
    // Whether the rule of id enables it now.
    bool CommandEnabled(uint32_t id) const;

    // File > Open: the file-open dialog with preview, then each
    // chosen file with its code page, open-as choice and read-only box.
    void OnFileOpen();

    // Each does nothing when its update rule says disabled.
    void OnFileNew();
    void OnFilePrintSetup();
    void OnProjectOpen();
    void OnProjectNewSourceFile();
    void OnProjectNewHeaderFile();
    void OnProjectNewSupportFile();
    void OnProjectAddSourceFile();
    void OnProjectAddHeaderFile();
    void OnProjectAddSupportFile();
    void OnProjectBuild();
    void OnProjectBuildIfChanged();
    void OnProjectStopBuild();
    void OnProjectClean();
    void OnPlcStatus();
    void OnPlcInfo();
    void OnPlcReset();
    void OnPlcSleep();
    void OnPlcWake();
    void OnPlcRun();
    void OnPlcStop();
    void OnPlcStep();
    void OnPlcBreak();
    void OnPlcBackupData();
    void OnDebugClearAllBreakpoints();
    void OnViewMechanisms();
    void OnViewVariable();
    void OnDebugGoToCurrentLine();

private:
    void AddProjectFile(uint32_t id);
    void RunPlcCommand(uint32_t id);

    CStrandworkApp& m_app;
};
