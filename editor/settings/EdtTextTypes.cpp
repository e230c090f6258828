#include "editor/settings/EdtTextTypes.h"

#include "editor/buffer/EdtCodePages.h"
#include "editor/settings/EdtSettings.h"
#include "editor/buffer/EdtTextBuffer.h"
#include "editor/regexp/EdtWildcard.h"
#include "platform/sys/WinPath.h"

#include <optional>

#include <sys/stat.h>

namespace {

struct BuiltInRow
{
    const char16_t* name;
    const char16_t* extensions;
    EdtParseLineFn parser;
    uint32_t flags;
    const char16_t* openComment;
    const char16_t* closeComment;
    const char16_t* lineComment;
};

// Every row names its own parser; "Text" colours nothing.
const BuiltInRow kBuiltIn[EDT_SOURCE_TYPE_COUNT] = {
    {u"Text", u"txt,doc,diz", ParseLineText, 0x19, u"", u"", u""},
    {u"ASP", u"asp", ParseLineAsp, 0x50, u"", u"", u"'"},
    {u"Basic", u"bas,vb,vbs,frm,dsm", ParseLineBasic, 0x10, u"", u"", u"'"},
    {u"Batch", u"bat,btm,cmd", ParseLineBatch, 0x11, u"", u"", u"rem "},
    {u"C", u"c,cc,cpp,cxx,h,hpp,hxx,hm,inl,rh,tlh,tli,xs", ParseLineC, 0x50, u"/*", u"*/",
     u"//"},
    {u"DCL", u"dcl,dcc", ParseLineDcl, 0x50, u"/*", u"*/", u"//"},
    {u"Fortran", u"f,f90,f9p,fpp", ParseLineFortran, 0x11, u"", u"", u"!"},
    {u"HTML", u"html,htm,shtml,ihtml,ssi,xml,xsl", ParseLineHtml, 0x31, u"<!--", u"-->", u""},
    {u"InstallShield", u"rul", ParseLineInstallShield, 0x30, u"/*", u"*/", u"//"},
    {u"Java", u"java,jav,js", ParseLineJava, 0x50, u"/*", u"*/", u"//"},
    {u"AutoLISP", u"lsp", ParseLineAutoLisp, 0x30, u";|", u"|;", u";"},
    {u"Pascal", u"pas", ParseLinePascal, 0x50, u"{", u"}", u""},
    {u"Perl", u"pl", ParseLinePerl, 0x110, u"", u"", u"#"},
    {u"PHP", u"php,php3,php4", ParseLinePhp, 0x50, u"/*", u"*/", u"//"},
    {u"Python", u"py", ParseLinePython, 0x50, u"/*", u"*/", u"//"},
    {u"REXX", u"rex,rexx,cmd", ParseLineRexx, 0x10, u"/*", u"*/", u"//"},
    {u"Resources", u"rc,dlg", ParseLineResources, 0x10, u"/*", u"*/", u"//"},
    {u"Sgml",
     u"sgml,TParams,TComp,TTools,TOffs,PlcConstants,PlcErrors,PlcT,PlcTDef,ChannelConfig,"
     u"KbdConfig,ErrFilter,SoftMenu",
     ParseLineSgml, 0x31, u"<!--", u"-->", u""},
    {u"Shell", u"sh,conf", ParseLineShell, 0x111, u"", u"", u"#"},
    {u"SIOD", u"scm", ParseLineSiod, 0x50, u";|", u"|;", u";"},
    {u"SQL", u"sql", ParseLineSql, 0x10, u"/*", u"*/", u"//"},
    {u"TCL", u"tcl", ParseLineTcl, 0x150, u"", u"", u"#"},
    {u"TEX", u"tex,sty,cls,clo,ltx,fd,dtx", ParseLineTex, 0x10, u"", u"", u"%"},
    {u"PLC", u"plc,inc", ParseLinePlc, 0x19, u"", u"", u";"},
    {u"NCP", u"ncp,nch,ncpp", ParseLineNcp, 0x19, u"", u"", u";"},
};

constexpr int kBuiltInTabSize = 4;

void FillBuiltIn(TextTypeDef& row, int id)
{
    const BuiltInRow& b = kBuiltIn[id];
    row.id = id;
    row.name = b.name;
    row.extensions = b.extensions;
    row.parser = b.parser;
    row.flags = b.flags;
    row.tabSize = kBuiltInTabSize;
    row.openComment = b.openComment;
    row.closeComment = b.closeComment;
    row.lineComment = b.lineComment;
    row.defaultEncoding = -1;
}

TextTypeDef* Table()
{
    static TextTypeDef* table = [] {
        static TextTypeDef rows[EDT_SOURCE_TYPE_COUNT];
        for (int id = 0; id < EDT_SOURCE_TYPE_COUNT; ++id)
            FillBuiltIn(rows[id], id);
        return rows;
    }();
    return table;
}

bool IsPathSeparator(char16_t c)
{
    return c == u'\\' || c == u'/' || c == u':';
}

bool IsBlankOrTab(char16_t c)
{
    return c == u' ' || c == u'\t';
}

bool ListMatches(std::u16string_view list, std::u16string_view extension)
{
    size_t start = 0;
    for (;;) {
        size_t comma = list.find(u',', start);
        std::u16string_view piece =
            list.substr(start, comma == std::u16string_view::npos ? comma : comma - start);
        while (!piece.empty() && IsBlankOrTab(piece.front()))
            piece.remove_prefix(1);
        while (!piece.empty() && IsBlankOrTab(piece.back()))
            piece.remove_suffix(1);
        if (!piece.empty() && IsWildcardPatternValid(piece) && WildcardMatch(piece, extension))
            return true;
        if (comma == std::u16string_view::npos)
            return false;
        start = comma + 1;
    }
}

} // namespace

int GetSourceTypeCount()
{
    return EDT_SOURCE_TYPE_COUNT;
}

TextTypeDef* GetTextTypeDef(int id)
{
    if (id < 0 || id >= EDT_SOURCE_TYPE_COUNT)
        return nullptr;
    return &Table()[id];
}

TextTypeDef* FindTextTypeByExtension(std::u16string_view extension)
{
    if (extension.empty())
        return nullptr;
    TextTypeDef* rows = Table();
    for (int id = 0; id < EDT_SOURCE_TYPE_COUNT; ++id)
        if (ListMatches(rows[id].extensions, extension))
            return &rows[id];
    return nullptr;
}

EdtTextTypeInfo LookupTextTypeOfPath(std::u16string_view path)
{
    TextTypeDef* row = FindTextTypeByExtension(GetFileExt(path));
    if (!row)
        return EdtTextTypeInfo{};
    const bool ansiOnly = row->id == EDT_TT_PLC || row->id == EDT_TT_NCP;
    return EdtTextTypeInfo{row, row->defaultEncoding, ansiOnly};
}

int GetForcedCRLFMode(uint32_t flags)
{
    if (flags & EDT_TT_CRLF_DOS)
        return 0;
    if (flags & EDT_TT_CRLF_UNIX)
        return 1;
    if (flags & EDT_TT_CRLF_MAC)
        return 2;
    return -1;
}

bool ApplyForcedCRLFMode(const TextTypeDef& type, CEdtTextBuffer& buffer)
{
    int mode = GetForcedCRLFMode(type.flags);
    if (mode < 0 || buffer.GetLoadedFromFile())
        return false;
    buffer.SetCRLFMode(mode);
    return true;
}

void ResetSourceTypes()
{
    TextTypeDef* rows = Table();
    for (int id = 0; id < EDT_SOURCE_TYPE_COUNT; ++id)
        FillBuiltIn(rows[id], id);
    SetEdtDefaultEncoding(-1);
    GetEdtEditorFont() = MakeDefaultEdtLogFont();
    SetEdtTextTypeLookup(LookupTextTypeOfPath);
}

bool FileExists(std::u16string_view path)
{
    if (path.empty())
        return false;
    std::optional<std::string> native = sys::WinPath::ToNative(path);
    if (!native)
        return false;
    struct stat st;
    return ::stat(native->c_str(), &st) == 0;
}

int GetFileNamePos(std::u16string_view path)
{
    for (size_t i = path.size(); i > 0; --i)
        if (IsPathSeparator(path[i - 1]))
            return static_cast<int>(i);
    return 0;
}

int GetFileExtPos(std::u16string_view path)
{
    const size_t name = static_cast<size_t>(GetFileNamePos(path));
    for (size_t i = path.size(); i > name; --i)
        if (path[i - 1] == u'.')
            return static_cast<int>(i - 1);
    return static_cast<int>(path.size());
}

std::u16string GetFileExt(std::u16string_view path)
{
    size_t pos = static_cast<size_t>(GetFileExtPos(path));
    if (pos >= path.size())
        return {};
    return std::u16string(path.substr(pos + 1));
}
