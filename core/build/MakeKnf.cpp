#include "core/build/MakeKnf.h"

#include "core/build/BuildStrings.h"
#include "platform/sys/CodePage.h"
#include "platform/sys/FileIO.h"
#include "platform/sys/Format.h"
#include "platform/sys/LastError.h"
#include "platform/sys/WinPath.h"
#include "res/text/TextTable.h"

#include <cerrno>
#include <optional>

namespace core {

namespace {

std::u16string Str(unsigned id)
{
    return res::LoadText(id);
}

void Append(OutputSink* sink, const std::u16string& text)
{
    if (sink)
        sink->AppendText(text);
}

// A folder value: the folder with a trailing separator, in its short form
// (on this system the folder itself).
std::u16string FolderForm(std::u16string folder)
{
    sys::WinPath::AddBackslash(folder);
    return sys::WinPath::GetShortPathName(folder);
}

std::u16string Joined(std::u16string base, std::u16string_view more)
{
    sys::WinPath::Append(base, more);
    return base;
}

// A file of the project as the compiler must name it: the stored path
// (relative to the project folder) with each component that the stored
// rules find in another case ("Osa.plc" for osa.plc) spelt as on the disk,
// the file the editor and the explorer open.  The compiler names files
// exactly.  A path that cannot be mapped stays as stored.
std::u16string OnDiskName(const std::u16string& projectFolder, const std::u16string& stored)
{
    return sys::WinPath::SpelledAsOnDisk(projectFolder, stored).value_or(stored);
}

// The compiler reads a value up to its tab and without the blanks at its
// ends: a name that begins or ends with a blank, or holds a tab, would be
// read as another file.
bool ReadBackAsAnother(std::u16string_view name)
{
    return name.find(u'\t') != name.npos ||
           (!name.empty() && (name.front() == u' ' || name.back() == u' '));
}

std::u16string Trimmed(std::u16string_view s)
{
    size_t a = 0, b = s.size();
    auto blank = [](char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; };
    while (a < b && blank(s[a]))
        ++a;
    while (b > a && blank(s[b - 1]))
        --b;
    return std::u16string(s.substr(a, b - a));
}

class Writer
{
public:
    // A line whose value must survive the code page (paths and files).
    template <class... A>
    void Path(std::u16string_view fmt, const std::u16string& value, const A&... rest)
    {
        bool lossy = false;
        sys::WideToAnsi(value, &lossy);
        if (lossy && !m_badValue)
            m_badValue = value;
        Line(fmt, value, rest...);
    }
    template <class... A> void Line(std::u16string_view fmt, const A&... args)
    {
        m_bytes += sys::WideToAnsi(sys::Format(fmt, args...));
    }
    void Section(unsigned id) { Line(u"\r\n;%s\r\n", Str(id)); }

    const std::optional<std::u16string>& BadValue() const { return m_badValue; }
    const std::string& Bytes() const { return m_bytes; }

private:
    std::string m_bytes;
    std::optional<std::u16string> m_badValue;
};

} // namespace

bool IsHaldorTarget(const ProjectData& data)
{
    return EqualsNoCase(data.Target, u"Haldor");
}

bool UsesLinkedProgram(const ProjectData& data)
{
    return !IsHaldorTarget(data) &&
           (data.TarvaneVerMajor < 6 || (data.TarvaneVerMajor == 6 && data.TarvaneVerMinor < 349));
}

std::optional<std::string> CompilersNative(const ProjectData& data, const AppSettings& app,
                                           std::u16string_view below)
{
    if (data.PathTarvane.empty())
        return app.PathTarvane.empty() ? std::nullopt
                                       : sys::WinPath::ToNativeBelow(app.PathTarvane, below);
    return sys::WinPath::ToNative(Joined(data.PathTarvane, below));
}

std::u16string CompilerFolderName(const ProjectData& data)
{
    return IsHaldorTarget(data)
               ? sys::Format(u"Pelmar%04d", data.PelmarVer)
               : sys::Format(u"PLC%01d%03d", data.TarvaneVerMajor, data.TarvaneVerMinor);
}

std::u16string CompilerFolder(const ProjectData& data, const AppSettings& app)
{
    const std::u16string& base = data.PathTarvane.empty() ? app.PathTarvane : data.PathTarvane;
    const std::u16string name = CompilerFolderName(data);
    // The folder as the disk spells it, so that the build, the make file
    // and the compiler name one folder.
    if (const std::optional<std::string> native = CompilersNative(data, app, name);
        native && !native->empty())
        return sys::WinPath::FromNative(*native);
    return Joined(base, name);
}

bool WriteMakeKnf(const ProjectData& data, const std::u16string& projectFilePath,
                  const AppSettings& app, const std::u16string& makeFilePath, OutputSink* sink)
{
    if (data.SourceFiles.empty()) {
        Append(sink, Str(IDS_MAKE_NO_SOURCE));
        return false;
    }
    std::u16string projectFolder = projectFilePath;
    // The project file's folder; a bare root (nothing cut) is that folder.
    (void)sys::WinPath::RemoveFileSpec(projectFolder);
    const std::u16string userFolder = FolderForm(projectFolder);
    const std::u16string outputFolder =
        FolderForm(Joined(projectFolder, OnDiskName(projectFolder, data.PathOutput)));
    const std::u16string tempFolder =
        FolderForm(Joined(projectFolder, OnDiskName(projectFolder, data.PathTemp)));
    const std::u16string compiler = CompilerFolder(data, app);
    auto orOption = [](const std::u16string& own, const std::u16string& option) {
        return FolderForm(own.empty() ? option : own);
    };

    Writer w;
    {
        bool lossy = false;
        sys::WideToAnsi(projectFilePath, &lossy);
        if (lossy) {
            Append(sink, sys::Format(Str(IDS_MAKE_PATH_NOT_ANSI), projectFilePath));
            return false;
        }
        std::u16string header;
        for (unsigned id = IDS_MAKE_HEADER_FIRST; id <= IDS_MAKE_HEADER_FIRST + 7; ++id)
            header += Str(id);
        w.Line(u"%s%s\r\n\r\n", header, projectFilePath);
    }
    w.Line(u"  BuildType\t= Strandwork\t; %s\r\n\r\n", Str(4344));
    w.Line(u"  Comment\t \"%s\"\t; %s\r\n", data.PLCComment, Str(4345));
    w.Line(u"  Config\t= %s\t; %s\r\n", data.Config, Str(IDS_MAKE_CONFIG));
    w.Line(u"  Target\t= %s\t; %s\r\n", data.Target, Str(IDS_MAKE_TARGET));
    for (const ProjectFileEntry& e : data.SourceFiles)
        if (ReadBackAsAnother(e.FilePath)) {
            Append(sink, sys::Format(Str(IDS_MAKE_NAME_BLANKS), e.FilePath));
            return false;
        }
    w.Section(4346);
    w.Path(u"  FilePlc\t= %s\t\t; %s\r\n", OnDiskName(projectFolder, data.SourceFiles[0].FilePath),
           Str(4347));
    for (size_t i = 1; i < data.SourceFiles.size(); ++i)
        w.Path(u"  FilePlcExt\t= %s\t\t; %s\r\n",
               OnDiskName(projectFolder, data.SourceFiles[i].FilePath), Str(4348));
    w.Section(4349);
    w.Path(u"  PathUser\t= %s\t\t; %s\r\n", userFolder, Str(4350));
    w.Path(u"  PathOutput\t= %s\t\t; %s\r\n", outputFolder, Str(4351));
    w.Path(u"  PathTemp\t= %s\t\t; %s\r\n", tempFolder, Str(4352));
    w.Path(u"  PathLst\t= %s\t\t; %s\r\n", tempFolder, Str(4353));
    w.Path(u"  PathMap\t= %s\t\t; %s\r\n\r\n", tempFolder, Str(4354));
    w.Section(4355);
    if (UsesLinkedProgram(data))
        w.Path(u"  FileExe\t= %s\t\t; %s\r\n", data.FileExe, Str(4356));
    w.Path(u"  FileMap\t= %s\t\t; %s\r\n", data.FileMap, Str(4357));
    w.Path(u"  FileMP2\t= %s\t\t; %s\r\n", data.FileMP2, Str(4358));
    w.Path(u"  PlcOutputName\t= %s\t\t; %s\r\n\r\n", data.PLCOutputName, Str(4359));
    w.Section(4360);
    w.Line(u"  Cpu\t\t= %s\t\t; %s\r\n", data.CPU, Str(4361));
    w.Line(u"  Clock\t\t= %s\t\t; %s\r\n", data.Clock, Str(4362));
    w.Line(u"  Machine\t= %s\t\t; %s\r\n", data.Machine, Str(4363));
    w.Line(u"  Axis\t\t= %s\t\t; %s\r\n", data.Axis, Str(4364));
    w.Line(u"  DifCount\t= %s\t\t; %s\r\n", data.DifCount, Str(4365));
    w.Line(u"  IOType\t= %s\t\t; %s\r\n", data.IOType, Str(4366));
    w.Line(u"  Protocol\t= %s\t\t; %s\r\n\r\n", data.Protocol, Str(4367));
    w.Section(4368);
    w.Path(u"  PathBorland\t= %s\t\t; %s\r\n", orOption(data.PathBorland, app.PathBorlandBin),
           Str(4369));
    w.Line(u"  Tasm\t \"%s\"\t\t; %s\r\n", data.TasmParams, Str(4370));
    w.Line(u"  Tlink\t \"%s\"\t\t; %s\r\n", data.TlinkParams, Str(4371));
    w.Line(u"  NameTasm\t= %s\t\t; %s\r\n", data.NameTasm, Str(4372));
    w.Line(u"  NameTlink\t= %s\t\t; %s\r\n", data.NameTlink, Str(4373));
    w.Path(u"  PathLib\t= %s\t\t; %s\r\n\r\n", orOption(data.PathLib, app.PathBorlandLib),
           Str(4374));
    w.Section(4375);
    w.Path(u"  PathXPDDK\t= %s\t\t; %s\r\n", orOption(data.PathXPDDK, app.PathWinXPDDK), Str(4376));
    w.Line(u"  AsmFlags\t= \"%s\"\t\t; %s\r\n", data.AsmFlags, Str(4377));
    w.Line(u"  LinkFlags\t= \"%s\"\t\t; %s\r\n", data.LinkFlags, Str(4378));
    w.Section(4379);
    w.Line(u"  Location\t= ext\t\t; %s\r\n", Str(4380));
    w.Line(u"  Create\t= ext\t\t; %s\r\n", Str(4381));
    w.Path(u"  PathBin\t= %s\t\t; %s\r\n", FolderForm(Joined(compiler, u"System")), Str(4382));
    w.Path(u"  PathObj\t= %s\t\t; %s\r\n", FolderForm(Joined(compiler, u"Obj")), Str(4383));
    w.Line(u"  NameCreateMap\t= %s\t\t; %s\r\n", data.NameCreateMap, Str(4384));
    w.Line(u"  NameJoin\t= %s\t\t; %s\r\n", data.NameJoin, Str(4385));
    w.Line(u"  Debug\t= %s\t\t; %s\r\n", data.AllowDebug, Str(IDS_MAKE_DEBUG));
    w.Section(4386);
    for (const KeywordPair& k : data.ExtraKeywords)
        w.Line(u"  %s\t = %s\r\n", k.KeyWord, k.Value);

    if (w.BadValue()) {
        Append(sink, sys::Format(Str(IDS_MAKE_PATH_NOT_ANSI), *w.BadValue()));
        return false;
    }

    // Created anew; a failure names the system's reason.
    auto fail = [&](uint32_t err) {
        Append(sink, sys::Format(Str(IDS_MAKE_CREATE_FAILED), makeFilePath,
                                 Trimmed(sys::Utf8ToUtf16Lenient(sys::ErrorText(err)))));
        return false;
    };
    const auto native = sys::WinPath::ToNative(makeFilePath);
    if (!native)
        return fail(EINVAL);
    // Whatever stands at the name is replaced, a link included: the
    // file a link names is never written.
    if (!sys::AtomicReplaceFile(*native, w.Bytes()))
        return fail(sys::GetLastError());
    return true;
}

} // namespace core
