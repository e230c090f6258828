// Tarv: the stand-in compiler of the build tests.
//
//   Tarv <make file> <batch file>   "compiles": checks the make file, scans
//                                   the sources for test directives, writes
//                                   the diagnostics and the batch file
//   Tarv --link <make file>         writes the outputs of a build
//
// Everything it writes to standard output is code page 1250 with CR LF.
// The directives ("#tarv-error TEXT", "#tarv-lines N", ...) are listed in
// docs/build.md.

#include "platform/sys/CodePage.h"

#include <strings.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string g_out; // standard output, buffered

void Flush()
{
    size_t done = 0;
    while (done < g_out.size()) {
        const ssize_t n = ::write(1, g_out.data() + done, g_out.size() - done);
        if (n <= 0)
            break;
        done += size_t(n);
    }
    g_out.clear();
}

// A line given in UTF-8 (paths, our own texts) written in code page 1250.
void Line(const std::string& utf8)
{
    g_out += sys::WideToAnsi(sys::Utf8ToUtf16Lenient(utf8));
    g_out += "\r\n";
    if (g_out.size() > 65536)
        Flush();
}

// A line already in code page 1250.
void RawLine(const std::string& ansi)
{
    g_out += ansi;
    g_out += "\r\n";
    if (g_out.size() > 65536)
        Flush();
}

std::string Ansi(const std::string& utf8)
{
    return sys::WideToAnsi(sys::Utf8ToUtf16Lenient(utf8));
}

std::string FromAnsi(const std::string& ansi)
{
    return sys::Utf16ToUtf8Lenient(sys::AnsiToWide(ansi));
}

std::string Slashes(std::string s)
{
    for (char& c : s)
        if (c == '\\')
            c = '/';
    return s;
}

// A make-file value (code page 1250, either separator) joined to a folder.
std::string Join(const std::string& folderAnsi, const std::string& valueAnsi)
{
    std::string value = Slashes(FromAnsi(valueAnsi));
    if (!value.empty() && value[0] == '/')
        return value;
    std::string folder = Slashes(FromAnsi(folderAnsi));
    if (!folder.empty() && folder.back() != '/')
        folder += '/';
    return folder + value;
}

bool ReadFile(const std::string& path, std::string& out)
{
    std::ifstream f(path, std::ios::binary);
    if (!f)
        return false;
    std::ostringstream s;
    s << f.rdbuf();
    out = s.str();
    return true;
}

std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        std::string l = text.substr(pos, end - pos);
        if (!l.empty() && l.back() == '\r')
            l.pop_back();
        lines.push_back(l);
        pos = end + 1;
    }
    return lines;
}

std::string Trim(const std::string& s)
{
    size_t a = 0, b = s.size();
    while (a < b && (s[a] == ' ' || s[a] == '\t'))
        ++a;
    while (b > a && (s[b - 1] == ' ' || s[b - 1] == '\t'))
        --b;
    return s.substr(a, b - a);
}

struct MakeFile
{
    std::map<std::string, std::string> values; // the last of each keyword
    std::vector<std::string> extSources;       // FilePlcExt, in order
    bool Has(const std::string& k) const { return values.count(k) != 0; }
    std::string Get(const std::string& k) const
    {
        auto it = values.find(k);
        return it == values.end() ? std::string() : it->second;
    }
};

bool ReadMakeFile(const std::string& path, MakeFile& mf)
{
    std::string text;
    if (!ReadFile(path, text))
        return false;
    for (const std::string& line : SplitLines(text)) {
        if (line.empty() || line[0] == ';' || line.compare(0, 2, "  ") != 0)
            continue;
        const size_t tab = line.find('\t', 2);
        if (tab == std::string::npos)
            continue;
        const std::string key = line.substr(2, tab - 2);
        size_t p = tab + 1;
        while (p < line.size() && line[p] == ' ')
            ++p;
        std::string value;
        if (p < line.size() && line[p] == '=') {
            const size_t end = line.find('\t', p + 1);
            value = Trim(
                line.substr(p + 1, end == std::string::npos ? std::string::npos : end - p - 1));
        } else if (p < line.size() && line[p] == '"') {
            const size_t end = line.find('"', p + 1);
            value = line.substr(p + 1, end == std::string::npos ? std::string::npos : end - p - 1);
        } else {
            continue;
        }
        if (key == "FilePlcExt")
            mf.extSources.push_back(value);
        else
            mf.values[key] = value;
    }
    return true;
}

struct Source
{
    std::string path; // native, absolute
    std::string name; // file name without folder (code page 1250)
    std::vector<std::string> lines;
    std::string bytes;
    bool found = false;
};

std::vector<Source> ReadSources(const MakeFile& mf)
{
    std::vector<std::string> values;
    if (mf.Has("FilePlc"))
        values.push_back(mf.Get("FilePlc"));
    values.insert(values.end(), mf.extSources.begin(), mf.extSources.end());
    std::vector<Source> out;
    for (const std::string& v : values) {
        Source s;
        s.path = Join(mf.Get("PathUser"), v);
        std::error_code ec;
        const fs::path abs = fs::absolute(s.path, ec);
        if (!ec)
            s.path = abs.lexically_normal().string();
        const std::string slashed = Slashes(v);
        const size_t slash = slashed.rfind('/');
        s.name = slash == std::string::npos ? v : v.substr(slash + 1);
        std::string text;
        s.found = ReadFile(s.path, text);
        if (s.found) {
            s.lines = SplitLines(text);
            s.bytes = std::move(text);
        }
        out.push_back(std::move(s));
    }
    return out;
}

bool IsWordChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '@' || c == '?';
}

// A declaration in the PLC language's form, "NAME: DS TYPE [AREA]" (any
// case, a comment after ";"), as the argument of "#tarv-symbol".
bool Declaration(const std::string& line, size_t p, std::string& arg)
{
    size_t e = p;
    while (e < line.size() && IsWordChar(line[e]))
        ++e;
    if (e == p || e >= line.size() || line[e] != ':')
        return false;
    const std::string name = line.substr(p, e - p);
    size_t k = e + 1;
    while (k < line.size() && (line[k] == ' ' || line[k] == '\t'))
        ++k;
    if (line.size() < k + 2 || strncasecmp(line.c_str() + k, "DS", 2) != 0 ||
        (line.size() > k + 2 && line[k + 2] != ' ' && line[k + 2] != '\t' && line[k + 2] != ';'))
        return false;
    std::string rest = line.substr(k + 2);
    rest = Trim(rest.substr(0, rest.find(';')));
    arg = rest.empty() ? name : name + " " + rest;
    return true;
}

// The directive of a source line ("#tarv-error" and so on) and its argument;
// a declaration "NAME: DS TYPE [AREA]" is "#tarv-symbol NAME TYPE [AREA]".
bool Directive(const std::string& line, std::string& name, std::string& arg)
{
    size_t p = 0;
    while (p < line.size() && (line[p] == ' ' || line[p] == '\t'))
        ++p;
    if (Declaration(line, p, arg)) {
        name = "#tarv-symbol";
        return true;
    }
    const auto keyword = [&](const char* k) {
        const size_t n = std::strlen(k);
        return line.size() >= p + n && strncasecmp(line.c_str() + p, k, n) == 0;
    };
    if (line.compare(p, 6, "#tarv-") == 0 || keyword("MECH_BEGIN") || keyword("MECH_END")) {
        size_t e = p;
        while (e < line.size() && line[e] != ' ' && line[e] != '\t')
            ++e;
        name = line.substr(p, e - p);
        if (name[0] != '#')
            for (char& c : name)
                c = char(std::toupper(static_cast<unsigned char>(c)));
        while (e < line.size() && (line[e] == ' ' || line[e] == '\t'))
            ++e;
        arg = line.substr(e);
        return true;
    }
    return false;
}

// An executable line: not blank, no comment (";" after blanks), no
// directive.  The listing marks it "D"; the program module lists it.
bool Executable(const std::string& line)
{
    const std::string t = Trim(line);
    std::string name, arg;
    return !t.empty() && t[0] != ';' && !Directive(line, name, arg);
}

// The size in bytes of a variable type, 0 for a type Tarv does not know.
unsigned TypeSize(const std::string& type)
{
    static const std::map<std::string, unsigned> sizes = {
        {"BYTE", 1}, {"WORD", 2}, {"DWORD", 4}, {"QWORD", 8}, {"REAL", 8}};
    auto it = sizes.find(type);
    return it == sizes.end() ? 0 : it->second;
}

std::string Upper(std::string s)
{
    for (char& c : s)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// "#tarv-symbol NAME [TYPE [AREA]]": TYPE defaults to BYTE, AREA (decimal,
// 0 to 15) to 1.  False for an unknown type or a bad area.
bool ParseSymbol(const std::string& arg, std::string& name, std::string& type, unsigned& area)
{
    std::istringstream in(arg);
    std::string areaText;
    in >> name >> type >> areaText;
    type = type.empty() ? "BYTE" : Upper(type);
    area = 1;
    if (!areaText.empty()) {
        char* end = nullptr;
        const unsigned long a = std::strtoul(areaText.c_str(), &end, 10);
        if (*end != '\0' || a > 15)
            return false;
        area = unsigned(a);
    }
    return !name.empty() && TypeSize(type) != 0;
}

struct Symbol
{
    std::string name;
    std::string type;
    unsigned area = 1;    // the selector; a mechanism's number
    unsigned address = 0; // its place in the area; 0 for a mechanism
    unsigned size = 0;    // 0 for a mechanism
};

std::string SelfPath()
{
    char buf[4096];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    return n > 0 ? std::string(buf, size_t(n)) : std::string("Tarv");
}

std::string ShellQuote(const std::string& s)
{
    std::string q = "'";
    for (char c : s) {
        if (c == '\'')
            q += "'\\''";
        else
            q += c;
    }
    return q + "'";
}

bool WriteOut(const std::string& path, const std::string& bytes)
{
    std::error_code ec;
    fs::create_directories(fs::path(path).parent_path(), ec);
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), std::streamsize(bytes.size()));
    return bool(f);
}

int Compile(const std::string& makeFile, const std::string& batchFile)
{
    MakeFile mf;
    bool bad = false;
    if (!ReadMakeFile(makeFile, mf)) {
        Line("**ERROR** " + makeFile + "(1) Soubor nelze číst");
        Line("$ReturnVal 1$");
        Flush();
        return 0;
    }
    const std::vector<Source> sources = ReadSources(mf);
    Line("Tarv: překládám " + std::to_string(sources.size()) + " souborů");
    for (const char* k : {"Target", "FilePlc", "PathUser", "PathOutput", "PathTemp", "PathLst",
                          "PathMap", "FileMP2", "PlcOutputName"}) {
        if (!mf.Has(k)) {
            Line("**ERROR** " + makeFile + "(1) Chybí klíčové slovo " + k);
            bad = true;
        }
    }
    int returnVal = -1, exitCode = 0, sleepMs = 0;
    bool exitSet = false;
    for (const Source& s : sources) {
        if (!s.found) {
            Line(s.path + "(1) : error T0001: Soubor nenalezen");
            bad = true;
            continue;
        }
        const std::string where = Ansi(s.path);
        for (size_t i = 0; i < s.lines.size(); ++i) {
            std::string name, arg;
            if (!Directive(s.lines[i], name, arg))
                continue;
            const std::string at = where + "(" + std::to_string(i + 1) + ")";
            if (name == "#tarv-error") {
                RawLine(at + " : error T1001: " + arg);
                bad = true;
            } else if (name == "#tarv-warning") {
                RawLine(at + " : warning T2001: " + arg);
            } else if (name == "#tarv-marker") {
                RawLine("**ERROR** " + at + " " + arg);
                bad = true;
            } else if (name == "#tarv-lines") {
                const long n = std::atol(arg.c_str());
                for (long k = 1; k <= n; ++k)
                    Line("Tarv: řádek " + std::to_string(k));
            } else if (name == "#tarv-sleep") {
                sleepMs += std::atoi(arg.c_str());
            } else if (name == "#tarv-returnval") {
                returnVal = std::atoi(arg.c_str());
            } else if (name == "#tarv-symbol") {
                std::string sym, type;
                unsigned area = 0;
                if (!ParseSymbol(arg, sym, type, area)) {
                    RawLine(at + " : error T1002: " + Ansi("Chybná deklarace proměnné ") + arg);
                    bad = true;
                }
            } else if (name == "#tarv-exit") {
                exitCode = std::atoi(arg.c_str());
                exitSet = true;
            }
        }
    }
    Flush();
    // Time is the subject: #tarv-sleep makes a slow compiler.
    if (sleepMs > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(sleepMs));
    const int r = returnVal >= 0 ? returnVal : (bad ? 1 : 0);
    if (!exitSet)
        Line("$ReturnVal " + std::to_string(r) + "$");
    Flush();
    if (r == 0) {
        const std::string script = "printf 'Spojuji PLC...\\r\\n'\nexec " + ShellQuote(SelfPath()) +
                                   " --link " + ShellQuote(makeFile) + "\n";
        if (!WriteOut(batchFile, script)) {
            Line("**ERROR** " + batchFile + "(1) Soubor nelze vytvořit");
            Flush();
            return 1;
        }
    }
    return exitCode;
}

void PutU16(std::string& out, size_t at, unsigned v)
{
    out[at] = char(v & 0xFF);
    out[at + 1] = char((v >> 8) & 0xFF);
}

void PutU32(std::string& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out += char((v >> (8 * i)) & 0xFF);
}

constexpr size_t kMaxPayload = 65000;

// One module record of the given type around a payload.
std::string Module(unsigned type, const std::string& payload, size_t at, size_t n)
{
    std::string head(32, '\0');
    const unsigned char marks[8] = {0xFA, 0xFE, 0xFF, 0xF9, 0, 0, 0x06, 0xF9};
    head.replace(0, 8, reinterpret_cast<const char*>(marks), 8);
    PutU16(head, 4, type);
    unsigned sum = 0;
    for (size_t i = 0; i < n; ++i)
        sum += static_cast<unsigned char>(payload[at + i]);
    PutU16(head, 12, unsigned(32 + n));
    PutU16(head, 24, unsigned(n));
    PutU16(head, 26, sum & 0xFFFF);
    return head + payload.substr(at, n);
}

// The program modules (type 0xA500) for the simulator: "TARVPRG1", the
// executable listing indexes, the variables (area, address, size).  What
// does not fit one module continues in the next, with its own tag and counts.
std::string ProgramModules(const std::vector<uint32_t>& lines, const std::vector<Symbol>& symbols)
{
    std::vector<const Symbol*> vars;
    for (const Symbol& s : symbols)
        if (s.size != 0)
            vars.push_back(&s);
    std::string out;
    size_t li = 0, vi = 0;
    do {
        std::string payload = "TARVPRG1";
        size_t room = kMaxPayload - 16; // tag and both counts
        const size_t nl = std::min(lines.size() - li, room / 4);
        room -= nl * 4;
        const size_t nv = std::min(vars.size() - vi, room / 8);
        PutU32(payload, uint32_t(nl));
        for (size_t k = 0; k < nl; ++k)
            PutU32(payload, lines[li + k]);
        PutU32(payload, uint32_t(nv));
        for (size_t k = 0; k < nv; ++k) {
            const Symbol& v = *vars[vi + k];
            payload += std::string(2, '\0');
            PutU16(payload, payload.size() - 2, v.area);
            PutU32(payload, v.address);
            payload += std::string(2, '\0');
            PutU16(payload, payload.size() - 2, v.size);
        }
        li += nl;
        vi += nv;
        out += Module(0xA500, payload, 0, payload.size());
    } while (li < lines.size() || vi < vars.size());
    return out;
}

// The PLC image: per source one module record (more for a payload above
// 65,000 bytes) whose payload is the source's bytes, or N zero bytes after
// "#tarv-image-size N"; then the program modules and the end record.
std::string PlcImage(const std::vector<Source>& sources, const std::string& program)
{
    std::string image;
    for (const Source& s : sources) {
        std::string payload = s.bytes;
        for (const std::string& line : s.lines) {
            std::string name, arg;
            if (Directive(line, name, arg) && name == "#tarv-image-size")
                payload.assign(size_t(std::strtoull(arg.c_str(), nullptr, 10)), '\0');
        }
        size_t at = 0;
        do {
            const size_t n = std::min(kMaxPayload, payload.size() - at);
            image += Module(0xA520, payload, at, n);
            at += n;
        } while (at < payload.size());
    }
    image += program;
    const unsigned char end[8] = {0xFA, 0xFE, 0xFF, 0xF9, 0x00, 0xA5, 0x07, 0xF8};
    image.append(reinterpret_cast<const char*>(end), 8);
    return image;
}

// A name of "PLCBIN.txt", in double quotes when it holds a blank.
std::string ListName(const std::string& name)
{
    return name.find(' ') == std::string::npos ? name : "\"" + name + "\"";
}

int Link(const std::string& makeFile)
{
    MakeFile mf;
    if (!ReadMakeFile(makeFile, mf)) {
        Line("**ERROR** " + makeFile + "(1) Soubor nelze číst");
        Line("$ReturnVal 1$");
        Flush();
        return 1;
    }
    const std::vector<Source> sources = ReadSources(mf);
    std::vector<Symbol> symbols;
    unsigned next[16];
    std::fill(std::begin(next), std::end(next), 0x100u); // every area from 100H
    unsigned mechanisms = 0;
    for (const Source& s : sources) {
        for (size_t i = 0; i < s.lines.size(); ++i) {
            std::string name, arg;
            if (!Directive(s.lines[i], name, arg))
                continue;
            if (name == "#tarv-link-error") {
                RawLine("**ERROR** " + Ansi(s.path) + "(" + std::to_string(i + 1) + ") " + arg);
                Line("$ReturnVal 1$");
                Flush();
                return 1;
            }
            if (name == "#tarv-symbol") {
                Symbol sym;
                ParseSymbol(arg, sym.name, sym.type, sym.area); // checked when compiling
                sym.size = TypeSize(sym.type);
                sym.address = next[sym.area & 15];
                next[sym.area & 15] += sym.size;
                if (sym.address + sym.size > 65536) {
                    RawLine("**ERROR** " + Ansi(s.path) + "(" + std::to_string(i + 1) + ") " +
                            sym.name + Ansi(" se nevejde do oblasti ") +
                            std::to_string(sym.area));
                    Line("$ReturnVal 1$");
                    Flush();
                    return 1;
                }
                symbols.push_back(sym);
            } else if (name == "MECH_BEGIN") {
                std::string mech = Trim(arg);
                mech = mech.substr(0, mech.find_first_of(" \t;"));
                symbols.push_back({mech, "MECH", ++mechanisms, 0, 0});
            }
        }
    }
    // Executable lines, as listing indexes counted through the build.
    std::vector<uint32_t> executable;
    uint32_t index = 0;
    for (const Source& s : sources)
        for (const std::string& l : s.lines) {
            ++index;
            if (Executable(l))
                executable.push_back(index);
        }
    const std::string out = mf.Get("PathOutput"), map = mf.Get("PathMap");
    const std::string exe = mf.Has("FileExe") ? mf.Get("FileExe") : "LOD_KAP.exe";
    bool ok = WriteOut(Join(out, mf.Get("PlcOutputName")), PlcImage(sources, ProgramModules(executable, symbols)));
    ok &= WriteOut(Join(out, exe), "MZ");
    std::string mapText = "$MP2 02\r\n[SYMBOL_TABLE " + std::to_string(symbols.size()) + "]\r\n";
    for (const Symbol& sym : symbols) {
        char where[32];
        std::snprintf(where, sizeof where, "%XH %XH ", sym.area, sym.address);
        mapText += where + sym.type + " " + sym.name + "\r\n";
    }
    mapText += "[BIT_FIELDS 0]\r\n[STRUCTURE_OFFSETS 0]\r\n[BIT_WEIGHTS 0]\r\n[CONSTANTS 0]\r\n";
    if (mf.Has("FileMap"))
        ok &= WriteOut(Join(map, mf.Get("FileMap")), mapText);
    ok &= WriteOut(Join(map, mf.Get("FileMP2")), mapText);
    // The listing: PathLst + FilePlc with the extension ".LS1".
    std::string listing = Join(mf.Get("PathLst"), mf.Get("FilePlc"));
    const size_t slash = listing.rfind('/');
    const size_t dot = listing.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        listing += ".LS1";
    else
        listing = listing.substr(0, dot) + ".LS1";
    std::string ls = "$LS1 01\r\n";
    unsigned number = 0;
    for (const Source& s : sources) {
        ls += "[" + s.name + "]\r\n";
        for (const std::string& l : s.lines) {
            char head[32];
            std::snprintf(head, sizeof head, "%8u %c    ", ++number, Executable(l) ? 'D' : ' ');
            ls += head + l + "\r\n";
        }
    }
    ok &= WriteOut(listing, ls);
    std::string list;
    for (const std::string& name : {mf.Get("PlcOutputName"), exe})
        list += ListName(name) + " " + ListName("\\PLCOUTPUT\\" + name) + "\r\n";
    ok &= WriteOut(Join(out, "PLCBIN.txt"), list);
    if (!ok) {
        Line("**ERROR** " + makeFile + "(1) Výstupní soubory nelze zapsat");
        Line("$ReturnVal 1$");
        Flush();
        return 1;
    }
    Line("$ReturnVal 0$");
    Flush();
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--link") == 0)
        return Link(argv[2]);
    if (argc == 3)
        return Compile(argv[1], argv[2]);
    Line("Tarv: použití: Tarv <make file> <batch file> | Tarv --link <make file>");
    Flush();
    return 2;
}
