// strtab: merges the string-table sources res/strings/*.strings into the
// binary table that the program loads (see docs/resources.md).
//
//   strtab -o <output> <file.strings>...
//
// Source lines are UTF-8, "id<TAB>text"; empty lines and lines starting with
// "#" are skipped; the text knows the escapes \r \n \t \\ \".  An id defined
// twice, in one file or in two, is an error naming both places.  On any
// error nothing is written and the exit code is 1.
//
// Output: "SWST", u32 version 1, u32 count, count entries of (u32 id, u32
// offset, u32 length) sorted by id, then the texts as UTF-16LE; offsets and
// lengths count UTF-16 units from the start of the texts.  All numbers are
// little-endian.

#include "platform/sys/CodePage.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Place
{
    std::string file;
    unsigned line;
};

struct Entry
{
    std::u16string text;
    Place where;
};

bool g_failed = false;

void Error(const Place& p, const std::string& msg)
{
    std::cerr << p.file << ":" << p.line << ": error: " << msg << "\n";
    g_failed = true;
}

bool Unescape(const std::string& in, std::string& out, std::string& why)
{
    for (size_t i = 0; i < in.size(); ++i) {
        if (in[i] != '\\') {
            out.push_back(in[i]);
            continue;
        }
        if (++i == in.size()) {
            why = "a backslash ends the line (write \\\\ for a backslash)";
            return false;
        }
        switch (in[i]) {
        case 'r': out.push_back('\r'); break;
        case 'n': out.push_back('\n'); break;
        case 't': out.push_back('\t'); break;
        case '\\': out.push_back('\\'); break;
        case '"': out.push_back('"'); break;
        default:
            why = std::string("unknown escape \\") + in[i] + " (known: \\r \\n \\t \\\\ \\\")";
            return false;
        }
    }
    return true;
}

void ReadFile(const std::string& file, std::map<uint32_t, Entry>& table)
{
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        std::cerr << file << ": error: cannot open the file\n";
        g_failed = true;
        return;
    }
    std::string line;
    unsigned number = 0;
    while (std::getline(in, line)) {
        Place here{file, ++number};
        if (number == 1 && line.compare(0, 3, "\xEF\xBB\xBF") == 0)
            line.erase(0, 3);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        size_t tab = line.find('\t');
        if (tab == std::string::npos) {
            Error(here, "expected \"id<TAB>text\"");
            continue;
        }
        std::string idText = line.substr(0, tab);
        uint32_t id = 0;
        bool ok = !idText.empty() && idText.size() <= 5;
        for (char c : idText)
            ok = ok && c >= '0' && c <= '9';
        if (ok)
            id = static_cast<uint32_t>(std::stoul(idText));
        if (!ok || id < 1 || id > 65535) {
            Error(here, "the id \"" + idText + "\" is not a number from 1 to 65535");
            continue;
        }
        std::string raw, why;
        if (!Unescape(line.substr(tab + 1), raw, why)) {
            Error(here, why);
            continue;
        }
        std::u16string text;
        if (!sys::Utf8ToUtf16(raw, text)) {
            Error(here, "the text is not valid UTF-8");
            continue;
        }
        auto [it, inserted] = table.try_emplace(id, Entry{std::move(text), here});
        if (!inserted) {
            const Place& first = it->second.where;
            Error(here, "string id " + std::to_string(id) + " is defined twice: here and in " +
                            first.file + ":" + std::to_string(first.line));
        }
    }
}

void Put32(std::string& out, uint32_t v)
{
    for (int k = 0; k < 4; ++k)
        out.push_back(static_cast<char>((v >> (8 * k)) & 0xFF));
}

} // namespace

int main(int argc, char** argv)
{
    std::string output;
    bool asSource = false;
    std::vector<std::string> inputs;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "-o" && i + 1 < argc)
            output = argv[++i];
        else if (a == "--cpp")
            asSource = true;
        else
            inputs.push_back(a);
    }
    if (output.empty()) {
        std::cerr << "usage: strtab [--cpp] -o <output> <file.strings>...\n";
        return 2;
    }

    std::map<uint32_t, Entry> table;
    for (const std::string& f : inputs)
        ReadFile(f, table);
    if (g_failed) {
        std::error_code ec;
        std::filesystem::remove(output, ec);
        return 1;
    }

    std::string bytes = "SWST";
    Put32(bytes, 1);
    Put32(bytes, static_cast<uint32_t>(table.size()));
    uint32_t offset = 0;
    for (const auto& [id, e] : table) {
        Put32(bytes, id);
        Put32(bytes, offset);
        Put32(bytes, static_cast<uint32_t>(e.text.size()));
        offset += static_cast<uint32_t>(e.text.size());
    }
    for (const auto& [id, e] : table)
        for (char16_t u : e.text) {
            bytes.push_back(static_cast<char>(u & 0xFF));
            bytes.push_back(static_cast<char>(u >> 8));
        }

    if (asSource) {
        // The same table as a C++ source that defines the program's built-in
        // table (see res/text/TextTable.h).
        std::string src = "// Generated by strtab from res/strings/*.strings.\n"
                          "#include <cstddef>\n"
                          "namespace res {\n"
                          "extern const unsigned char kBuiltinStringTable[];\n"
                          "extern const std::size_t kBuiltinStringTableSize;\n"
                          "alignas(4) const unsigned char kBuiltinStringTable[] = {";
        for (size_t i = 0; i < bytes.size(); ++i) {
            if (i % 16 == 0)
                src += "\n   ";
            src += ' ';
            src += std::to_string(static_cast<unsigned char>(bytes[i]));
            src += ',';
        }
        src += "\n};\nconst std::size_t kBuiltinStringTableSize = " + std::to_string(bytes.size()) +
               ";\n} // namespace res\n";
        bytes = std::move(src);
    }

    // Write beside the target and rename, so that a failed write never
    // leaves a half table behind.
    std::string temp = output + ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out.flush()) {
            std::cerr << temp << ": error: cannot write the file\n";
            return 1;
        }
    }
    std::error_code ec;
    std::filesystem::rename(temp, output, ec);
    if (ec) {
        std::cerr << output << ": error: " << ec.message() << "\n";
        return 1;
    }
    return 0;
}
