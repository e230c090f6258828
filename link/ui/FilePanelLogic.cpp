#include "link/ui/FilePanelLogic.h"

#include "link/linkobj/olnk_link_logic.h"
#include "platform/sys/CodePage.h"
#include "platform/sys/Format.h"
#include "platform/sys/NativeText.h"
#include "platform/sys/Time.h"

#include <QChar>

#include <algorithm>
#include <cstring>

namespace linkui {

namespace {

char16_t Fold(char16_t c)
{
    if (c < 0x80)
        return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c;
    return char16_t(QChar(c).toCaseFolded().unicode());
}

int CompareNoCase(std::u16string_view a, std::u16string_view b)
{
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const char16_t x = Fold(a[i]), y = Fold(b[i]);
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

std::u16string_view NameView(const FileListRecord& r)
{
    size_t n = 0;
    while (n < 256 && r.name[n])
        ++n;
    return {r.name, n};
}

uint32_t Stamp(const FileListRecord& r) { return uint32_t(r.dosDate) << 16 | r.dosTime; }

} // namespace

void SortOrder::HeaderClick(int column)
{
    static constexpr int kColumnKey[4] = {kKeyName, kKeySize, kKeyType, kKeyDate};
    if (column < 0 || column > 3)
        return;
    const int key = kColumnKey[column];
    if (keys[0] == key) {
        flags[0] = !flags[0];
        return;
    }
    for (size_t i = 1; i < 4; ++i) {
        if (keys[i] == key) {
            for (size_t j = i; j + 1 < 4; ++j) {
                keys[j] = keys[j + 1];
                flags[j] = flags[j + 1];
            }
            keys[3] = kKeyNone;
            flags[3] = false;
            break;
        }
    }
    for (size_t j = 3; j > 0; --j) {
        keys[j] = keys[j - 1];
        flags[j] = flags[j - 1];
    }
    keys[0] = key;
    flags[0] = true;
}

std::u16string NameOf(const FileListRecord& r) { return std::u16string(NameView(r)); }
std::u16string ShownName(const FileListRecord& r)
{
    return linkobj::VisibleRemoteName(sys::ShownNativeText(NameView(r)));
}
bool UsableRemoteName(std::u16string_view name)
{
    return name == u"." || name == u".." || linkobj::IsPlainRemoteName(name);
}
bool IsFolder(const FileListRecord& r) { return r.folder != 0; }

std::u16string ShortenedName(std::u16string_view shown, size_t max)
{
    static constexpr std::u16string_view kCut = u"...";
    if (shown.size() <= max)
        return std::u16string(shown);
    if (max <= kCut.size() + 2)
        return std::u16string(shown.substr(0, max));
    size_t head = (max - kCut.size() + 1) / 2;
    size_t tail = max - kCut.size() - head;
    if (head > 0 && shown[head - 1] >= 0xD800 && shown[head - 1] <= 0xDBFF)
        --head; // not between the two units of a character
    size_t from = shown.size() - tail;
    if (from < shown.size() && shown[from] >= 0xDC00 && shown[from] <= 0xDFFF)
        ++from;
    return std::u16string(shown.substr(0, head)) + std::u16string(kCut) + std::u16string(shown.substr(from));
}

unsigned NewFolderNameProblem(std::u16string_view name, bool remote)
{
    constexpr unsigned kBadName = 4872, kOutsideCodePage = 4873;
    if (name.empty() || name == u"." || name == u"..")
        return kBadName;
    for (const char16_t c : name)
        if (c < 0x20 || c == 0x7F || c == u'/' || c == u'\\')
            return kBadName;
    if (!remote)
        return 0;
    if (!linkobj::IsPlainRemoteName(name))
        return kBadName;
    bool lossy = false;
    sys::WideToAnsi(name, &lossy);
    return lossy ? kOutsideCodePage : 0;
}

FileListRecord MakeRecord(std::u16string_view name, bool folder, uint32_t size, uint16_t dosDate, uint16_t dosTime)
{
    FileListRecord r;
    std::memset(&r, 0, sizeof r);
    r.length = sizeof(FileListRecord);
    r.folder = folder ? 0x10 : 0;
    r.size = size;
    r.dosDate = dosDate;
    r.dosTime = dosTime;
    const size_t n = std::min<size_t>(name.size(), 255);
    std::copy_n(name.data(), n, r.name);
    const size_t s = std::min<size_t>(name.size(), 13);
    std::copy_n(name.data(), s, r.shortName);
    return r;
}

int CompareRecords(const FileListRecord& a, const FileListRecord& b, const SortOrder& order, const TypeNameOf& typeName)
{
    const bool fa = IsFolder(a), fb = IsFolder(b);
    if (fa != fb)
        return fa ? -1 : 1;
    const std::u16string_view na = NameView(a), nb = NameView(b);
    if (fa) {
        const bool da = !na.empty() && na[0] == u'.', db = !nb.empty() && nb[0] == u'.';
        if (da != db)
            return da ? -1 : 1;
    }
    for (size_t i = 0; i < 4; ++i) {
        int c = 0;
        switch (order.keys[i]) {
        case kKeyNone: return 0;
        case kKeyName: c = CompareNoCase(na, nb); break;
        case kKeySize: c = a.size == b.size ? 0 : (a.size > b.size ? -1 : 1); break; // larger first
        case kKeyDate: c = Stamp(a) == Stamp(b) ? 0 : (Stamp(a) < Stamp(b) ? -1 : 1); break; // older first
        case kKeyType:
            if (typeName)
                c = CompareNoCase(typeName(a), typeName(b));
            break;
        default: return 0;
        }
        if (c != 0)
            return order.flags[i] ? c : -c;
    }
    return 0;
}

bool IsRemotePath(std::u16string_view path)
{
    return !path.empty() && path[0] == u'\\' && (path.size() == 1 || path[1] != u'\\');
}

bool EnterEntry(std::u16string& path, std::u16string_view name)
{
    const char16_t sep = IsRemotePath(path) ? u'\\' : u'/';
    if (name == u".")
        return false;
    if (name == u"..") {
        if (path.size() < 2)
            return false;
        const size_t at = path.find_last_of(sep, path.size() - 2);
        if (at == std::u16string::npos)
            return false;
        path.resize(at + 1);
        return true;
    }
    if (name.empty())
        return false;
    if (!path.empty() && path.back() != sep)
        path += sep;
    path += name;
    path += sep;
    return true;
}

std::u16string SummaryText(const std::vector<const FileListRecord*>& selected)
{
    if (selected.empty())
        return {};
    if (selected.size() == 1)
        return sys::Format(u"%s (%u bytů)", ShownName(*selected[0]), uint32_t{selected[0]->size});
    uint64_t sum = 0;
    for (const FileListRecord* r : selected)
        sum += r->size;
    return sys::Format(u"Vybráno %d (%llu bytů)", int(selected.size()), (unsigned long long)sum);
}

std::u16string DateText(uint16_t dosDate, uint16_t dosTime)
{
    sys::SystemTime st;
    if ((dosDate == 0 && dosTime == 0) || !sys::DosDateTimeToLocal(dosDate, dosTime, st))
        return {};
    return sys::Format(u"%d:%d:%d %d.%d.%d", int(st.hour), int(st.minute), int(st.second), int(st.day),
                       int(st.month), int(st.year));
}

std::u16string SizeText(const FileListRecord& r)
{
    if (IsFolder(r))
        return {};
    return sys::Format(u"%u", uint32_t{r.size});
}

void LocalDosStamp(uint64_t fileTime, uint16_t& dosDate, uint16_t& dosTime)
{
    dosDate = dosTime = 0;
    sys::SystemTime st;
    if (!sys::FileTimeToLocalSystemTime(fileTime, st) || st.year < 1980 || st.year > 2107)
        return;
    if (!sys::LocalToDosDateTime(st, dosDate, dosTime))
        dosDate = dosTime = 0;
}

namespace {
bool Match(std::u16string_view p, std::u16string_view n)
{
    size_t pi = 0, ni = 0, starP = std::u16string_view::npos, starN = 0;
    while (ni < n.size()) {
        if (pi < p.size() && (p[pi] == u'?' || (p[pi] != u'*' && Fold(p[pi]) == Fold(n[ni])))) {
            ++pi;
            ++ni;
        } else if (pi < p.size() && p[pi] == u'*') {
            starP = pi++;
            starN = ni;
        } else if (starP != std::u16string_view::npos) {
            pi = starP + 1;
            ni = ++starN;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == u'*')
        ++pi;
    return pi == p.size();
}
} // namespace

bool MatchMask(std::u16string_view mask, std::u16string_view name)
{
    if (mask.empty() || mask == u"*.*" || mask == u"*")
        return true;
    if (mask == u"*.")
        return name.find(u'.') == std::u16string_view::npos;
    return Match(mask, name);
}

std::vector<FilterEntry> SplitFilter(std::u16string_view filter)
{
    std::vector<std::u16string> parts;
    size_t start = 0;
    while (start <= filter.size()) {
        const size_t bar = filter.find(u'|', start);
        if (bar == std::u16string_view::npos) {
            if (start < filter.size())
                parts.emplace_back(filter.substr(start));
            break;
        }
        parts.emplace_back(filter.substr(start, bar - start));
        start = bar + 1;
    }
    std::vector<FilterEntry> out;
    for (size_t i = 0; i + 1 < parts.size() + 1 && i < parts.size(); i += 2) {
        if (parts[i].empty())
            break;
        out.push_back({parts[i], i + 1 < parts.size() ? parts[i + 1] : std::u16string()});
    }
    return out;
}

void SplitInitial(std::u16string_view text, std::u16string& folder, std::u16string& name)
{
    text = text.substr(0, std::min<size_t>(text.size(), 259));
    const size_t at = text.rfind(u'\\');
    if (at == std::u16string_view::npos) {
        folder.clear();
        name = std::u16string(text);
    } else {
        folder = std::u16string(text.substr(0, at + 1));
        name = std::u16string(text.substr(at + 1));
    }
    name = name.substr(0, std::min<size_t>(name.size(), 255));
    if (folder.empty() || folder[0] != u'\\')
        folder.assign(1, u'\\');
}

void ResolveTyped(std::u16string_view typed, std::u16string& folder, std::u16string& name)
{
    const size_t at = typed.rfind(u'\\');
    if (at == std::u16string_view::npos) {
        name = std::u16string(typed);
    } else if (typed[0] == u'\\') {
        folder = std::u16string(typed.substr(0, at + 1));
        name = std::u16string(typed.substr(at + 1));
    } else {
        folder += std::u16string(typed.substr(0, at + 1));
        name = std::u16string(typed.substr(at + 1));
    }
    name = name.substr(0, std::min<size_t>(name.size(), 255));
}

bool HasWildcard(std::u16string_view name)
{
    return name.find_first_of(u"*?") != std::u16string_view::npos;
}

} // namespace linkui
