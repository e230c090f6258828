#pragma once
// The build of the open project, owned by the project document: writes the
// make file, runs the compiler and the produced batch file through Pilvex,
// decides whether a build is needed, empties the output folders and moves
// the project to the newest installed compiler.  Output goes to the host's
// output window (nothing when it has none); questions go through the site
// to the host.  See docs/build.md.

#include "core/common/AppSettings.h"
#include "core/common/OutputSink.h"
#include "core/project/DocumentHost.h"
#include "core/projfile/ProjectData.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace core {

// What the build needs from the document that owns it.
class ProjectBuildSite
{
public:
    virtual ~ProjectBuildSite();
    // The application's host; may be null.
    virtual DocumentHost* Host() = 0;
    // The full path of the project file.
    virtual std::u16string ProjectPath() = 0;
    // The folder of the project file with its trailing separator.
    virtual std::u16string ProjectFolder() = 0;
    // The project's settings changed (modified flag and modification time).
    virtual void SettingsModified() = 0;
    // A question of the build, answered by the host (DocumentHost::Ask).
    virtual int Ask(std::u16string_view text, std::u16string_view caption, uint32_t style,
                    AskOwner owner) = 0;
};

class ProjectBuild
{
public:
    ProjectBuild(ProjectData& data, ProjectBuildSite& site);
    ProjectBuild(const ProjectBuild&) = delete;
    ProjectBuild& operator=(const ProjectBuild&) = delete;

    // While a build runs, Build and BuildIfNeeded return false at once and
    // Clean does nothing.
    // Writes "Make.knf" and runs the compiler and the produced batch file
    // through Pilvex; true when both ended with 0.
    bool Build();
    // Builds unless CheckDependencies finds the outputs up to date.
    bool BuildIfNeeded();
    // True when every output is present and not older than every input.
    bool CheckDependencies();
    // Empties the temporary and output folders after asking.
    void Clean();
    // Moves TarvaneVer to the newest installed compiler version.
    void UpdateToNewestCompilerVersion();
    // Writes the make file of the project to path.
    bool WriteMakeKnf(const std::u16string& path);

    // The stop-build command sets the cancel flag; the tool runner reads
    // and clears it.
    void RequestStop() { m_cancel = true; }
    bool IsStopRequested() const { return m_cancel; }
    void ClearStop() { m_cancel = false; }
    bool IsBuilding() const { return m_building; }
    void SetBuilding(bool on) { m_building = on; }

private:
    OutputSink* Sink();
    void Out(std::u16string_view text);
    const AppSettings& Settings();
    bool SaveAll();

    ProjectData& m_data;
    ProjectBuildSite& m_site;
    bool m_cancel = false;
    bool m_building = false;
};

} // namespace core
