#include "platform/sys/WinPath.h"

#include "platform/sys/CodePage.h"
#include "platform/sys/NativeText.h"

#include <dirent.h>
#include <locale.h>
#include <sys/stat.h>
#include <wctype.h>

#include <algorithm>
#include <vector>

namespace sys::WinPath {

namespace {

// --- Comparing names without regard to case ---------------------------------

char16_t FoldChar(char16_t c)
{
    if (c < 0x80)
        return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c;
    if (c >= 0xD800 && c <= 0xDFFF)
        return c;
    static const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t{});
    if (!utf8)
        return c;
    const wint_t lower = towlower_l(static_cast<wint_t>(c), utf8);
    return lower <= 0xFFFF ? static_cast<char16_t>(lower) : c;
}

std::u16string Wide(std::u16string_view s) { return std::u16string(s); }
std::u16string Wide(std::string_view s) { return AnsiToWide(s); }

bool EqualNoCase(std::u16string_view a, std::u16string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i] && FoldChar(a[i]) != FoldChar(b[i]))
            return false;
    }
    return true;
}

// --- The path rules, once for both character types ----------------------------

template <class C>
struct Rules
{
    using S = std::basic_string<C>;
    using V = std::basic_string_view<C>;

    static constexpr C kBack = C('\\');
    static constexpr C kSlash = C('/');

    static bool Sep(C c) { return c == kBack || c == kSlash; }
    static bool Native(V p) { return !p.empty() && p[0] == kSlash; }
    static bool Unc(V p) { return p.size() >= 2 && p[0] == kBack && Sep(p[1]); }
    static bool ControlSystem(V p) { return !p.empty() && p[0] == kBack && !(p.size() >= 2 && Sep(p[1])); }
    static bool Drive(V p) { return p.size() >= 2 && p[1] == C(':'); }
    static bool TooLong(V p) { return p.size() >= kMaxPath; }
    // The separator that a function adds to this path.
    static C SepFor(V p) { return p.find(kSlash) != V::npos ? kSlash : kBack; }
    static bool EndsWithSep(V p) { return !p.empty() && Sep(p.back()); }

    static bool IsRelative(V p)
    {
        if (p.empty())
            return true;
        return !(Sep(p[0]) || Drive(p));
    }

    static bool IsRoot(V p)
    {
        if (p.empty())
            return false;
        if (p.size() == 1)
            return Sep(p[0]);
        if (Native(p))
            return false;
        if (Unc(p)) {
            size_t seps = 0;
            for (size_t i = 2; i < p.size(); ++i)
                seps += Sep(p[i]) ? 1 : 0;
            return seps <= 1;
        }
        return p.size() == 3 && Drive(p) && Sep(p[2]);
    }

    // Length of the root at the start: "/" 1, "\" 1, "C:\" 3, "C:" 2,
    // "\\server\share" up to (not including) the separator after the share.
    static size_t RootLength(V p)
    {
        if (p.empty())
            return 0;
        if (Unc(p)) {
            size_t i = 2;
            for (int part = 0; part < 2 && i < p.size(); ++part) {
                while (i < p.size() && !Sep(p[i]))
                    ++i;
                if (part == 0 && i < p.size())
                    ++i;
            }
            return i;
        }
        if (Sep(p[0]))
            return 1;
        if (Drive(p))
            return (p.size() >= 3 && Sep(p[2])) ? 3 : 2;
        return 0;
    }

    static size_t FindExtension(V p)
    {
        size_t dot = V::npos;
        for (size_t i = 0; i < p.size(); ++i) {
            if (Sep(p[i]) || p[i] == C(' '))
                dot = V::npos;
            else if (p[i] == C('.'))
                dot = i;
        }
        return dot == V::npos ? p.size() : dot;
    }

    static size_t FindFileName(V p)
    {
        size_t name = 0;
        for (size_t i = 0; i + 1 < p.size(); ++i) {
            if ((Sep(p[i]) || p[i] == C(':')) && !Sep(p[i + 1]))
                name = i + 1;
        }
        return name;
    }

    static bool RemoveFileSpec(S& p)
    {
        size_t cut = 0, i = 0;
        if (i < p.size() && Sep(p[i]))
            cut = ++i;
        if (i < p.size() && Sep(p[i]))
            cut = ++i;
        for (; i < p.size(); ++i) {
            if (Sep(p[i])) {
                cut = i;
            } else if (p[i] == C(':')) {
                cut = i + 1;
                if (cut < p.size() && Sep(p[cut]))
                    i = cut++; // the root's separator stays
            }
        }
        if (cut >= p.size())
            return false;
        p.resize(cut);
        return true;
    }

    static bool StripToRoot(S& p)
    {
        while (!IsRoot(p)) {
            if (!RemoveFileSpec(p))
                return false;
        }
        return true;
    }

    static S GetRoot(V p)
    {
        S s(p);
        return StripToRoot(s) ? s : S();
    }

    static bool AddBackslash(S& p)
    {
        if (p.empty() || EndsWithSep(p))
            return true;
        if (p.size() + 1 >= kMaxPath)
            return false;
        p.push_back(SepFor(p));
        return true;
    }

    static bool RemoveBackslash(S& p)
    {
        if (!EndsWithSep(p) || IsRoot(p))
            return false;
        p.pop_back();
        return true;
    }

    static bool RenameExtension(S& p, V ext)
    {
        const size_t dot = FindExtension(p);
        if (dot + ext.size() >= kMaxPath)
            return false;
        p.resize(dot);
        p.append(ext);
        return true;
    }

    static bool IsDot(V n) { return n.size() == 1 && n[0] == C('.'); }
    static bool IsDotDot(V n) { return n.size() == 2 && n[0] == C('.') && n[1] == C('.'); }

    struct Component
    {
        C sepBefore; // 0: none
        V name;
    };

    // Splits what follows the root into components (empty ones dropped).
    static std::vector<Component> Split(V rest)
    {
        std::vector<Component> out;
        size_t i = 0;
        while (i < rest.size()) {
            C sep = 0;
            while (i < rest.size() && Sep(rest[i]))
                sep = rest[i++];
            size_t start = i;
            while (i < rest.size() && !Sep(rest[i]))
                ++i;
            if (i > start)
                out.push_back({sep, rest.substr(start, i - start)});
        }
        return out;
    }

    static std::optional<S> Canonicalize(V p)
    {
        if (TooLong(p))
            return std::nullopt;
        const bool native = Native(p);
        const size_t rootLen = RootLength(p);
        S root(p.substr(0, rootLen));
        if (native)
            root = S(1, kSlash);
        std::vector<Component> kept;
        for (const Component& c : Split(p.substr(rootLen))) {
            if (IsDot(c.name))
                continue;
            if (IsDotDot(c.name)) {
                if (!kept.empty() && !IsDotDot(kept.back().name)) {
                    kept.pop_back();
                    continue;
                }
                if (rootLen > 0)
                    continue; // ".." at a root stays at the root
            }
            kept.push_back(c);
        }
        S out = root;
        const bool unc = Unc(p);
        for (size_t i = 0; i < kept.size(); ++i) {
            C sep = kept[i].sepBefore;
            if (native)
                sep = kSlash;
            if (i == 0 && !unc)
                sep = 0; // the root carries its own separator (or none)
            else if (sep == 0)
                sep = kBack;
            if (sep)
                out.push_back(sep);
            out.append(kept[i].name);
        }
        if (EndsWithSep(p) && (!kept.empty() || unc) && !EndsWithSep(out))
            out.push_back(native ? kSlash : p.back());
        if (TooLong(out))
            return std::nullopt;
        return out;
    }

    static std::optional<S> Combine(V dir, V file)
    {
        if (TooLong(dir) || TooLong(file))
            return std::nullopt;
        S joined;
        if (file.empty()) {
            joined = dir;
        } else if (dir.empty() || !IsRelative(file)) {
            if (dir.empty() || !ControlSystem(file)) {
                joined = file;
            } else {
                // "\x" is taken from the root of the folder.
                S root = GetRoot(dir);
                if (root.empty()) {
                    joined = file;
                } else {
                    joined = root;
                    if (!EndsWithSep(joined))
                        joined.push_back(SepFor(joined));
                    joined.append(file.substr(1));
                }
            }
        } else {
            joined = dir;
            if (!EndsWithSep(joined))
                joined.push_back(SepFor(joined));
            joined.append(file);
        }
        return Canonicalize(joined);
    }

    static bool Append(S& path, V more)
    {
        if (!Unc(more) && !Native(more)) {
            while (!more.empty() && Sep(more[0]))
                more.remove_prefix(1);
        }
        std::optional<S> r = Combine(path, more);
        if (!r)
            return false;
        path = std::move(*r);
        return true;
    }

    static bool SameRoot(V a, V b)
    {
        if (a.size() != b.size())
            return false;
        std::u16string wa = Wide(a), wb = Wide(b);
        for (size_t i = 0; i < wa.size(); ++i) {
            if (Rules<char16_t>::Sep(wa[i]) && Rules<char16_t>::Sep(wb[i]))
                continue;
            if (FoldChar(wa[i]) != FoldChar(wb[i]))
                return false;
        }
        return true;
    }

    static std::optional<S> RelativePathTo(V from, bool fromIsFolder, V to, bool toIsFolder)
    {
        if (TooLong(from) || TooLong(to))
            return std::nullopt;
        S fromDir(from), toDir(to);
        // A path that is only a root has no file name to cut: it is its own
        // folder, so nothing cut is no failure here.
        if (!fromIsFolder)
            (void)RemoveFileSpec(fromDir);
        if (!toIsFolder)
            (void)RemoveFileSpec(toDir);
        const size_t fromRoot = RootLength(fromDir), toRoot = RootLength(to);
        if (!SameRoot(V(fromDir).substr(0, fromRoot), to.substr(0, toRoot)))
            return std::nullopt;
        if (Native(from) != Native(to))
            return std::nullopt;
        const auto f = Split(V(fromDir).substr(fromRoot));
        const auto td = Split(V(toDir).substr(std::min(toRoot, toDir.size())));
        const auto t = Split(to.substr(toRoot));
        size_t common = 0;
        while (common < f.size() && common < td.size() &&
               EqualNoCase(Wide(f[common].name), Wide(td[common].name)))
            ++common;
        if (fromRoot == 0 && common == 0)
            return std::nullopt; // two relative paths with nothing in common
        const bool native = Native(from);
        const C sep = native ? kSlash : kBack;
        S out;
        const size_t ups = f.size() - common;
        if (ups == 0 && common > 0)
            out.push_back(C('.'));
        for (size_t i = 0; i < ups; ++i) {
            if (i)
                out.push_back(sep);
            out.append(S(2, C('.')));
        }
        for (size_t i = common; i < t.size(); ++i) {
            if (!out.empty() || !native)
                out.push_back(sep);
            out.append(t[i].name);
        }
        if (out.empty())
            out.push_back(C('.'));
        else if (EndsWithSep(to) && t.size() > common)
            out.push_back(sep);
        if (TooLong(out))
            return std::nullopt;
        return out;
    }

    static S Dots() { return S(3, C('.')); }

    static S CompactPath(V p, size_t maxChars)
    {
        if (p.size() <= maxChars)
            return S(p);
        size_t name = FindFileName(p);
        V tail = p.substr(name > 0 && Sep(p[name - 1]) ? name - 1 : name);
        if (tail.size() + 3 < maxChars && tail.size() < p.size())
            return S(p.substr(0, maxChars - 3 - tail.size())) + Dots() + S(tail);
        if (tail.size() + 3 <= maxChars)
            return Dots() + S(tail);
        if (maxChars <= 3)
            return Dots().substr(0, maxChars);
        V bare = p.substr(name);
        return S(bare.substr(0, maxChars - 3)) + Dots();
    }

    static S AbbreviateName(V p, size_t maxChars, bool atLeastName)
    {
        if (p.size() <= maxChars)
            return S(p);
        V name = p.substr(FindFileName(p));
        if (maxChars < name.size())
            return atLeastName ? S(name) : S();
        // The volume part: drive or server and share, then the first folder.
        size_t vol = RootLength(p);
        if (vol > 0 && Sep(p[vol - 1]))
            --vol; // "C:\" -> "C:", "/" -> ""
        size_t i = vol;
        if (i < p.size() && Sep(p[i]))
            ++i;
        while (i < p.size() && !Sep(p[i]))
            ++i;
        if (i >= p.size() || i + name.size() >= p.size())
            i = vol; // no folder besides the volume
        const V volume = p.substr(0, i);
        const C sep = i < p.size() && Sep(p[i]) ? p[i] : SepFor(p);
        S ellipsis(1, sep);
        ellipsis += Dots();
        if (volume.size() + ellipsis.size() + 1 + name.size() > maxChars)
            return S(name);
        // Drop leading components of the rest until it fits.
        V rest = p.substr(i);
        while (volume.size() + ellipsis.size() + rest.size() > maxChars) {
            size_t next = 1;
            while (next < rest.size() && !Sep(rest[next]))
                ++next;
            rest.remove_prefix(next);
        }
        return S(volume) + ellipsis + S(rest);
    }
};

template <class C>
using R = Rules<C>;

// --- The native mapping -------------------------------------------------------

bool Exists(const std::string& path)
{
    struct stat st;
    return lstat(path.empty() ? "." : path.c_str(), &st) == 0;
}

// The entry of `folder` whose name equals `name` without regard to case
// (the first in sorted order when several do).
std::optional<std::string> FindNoCase(const std::string& folder, const std::string& name)
{
    DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
    if (!dir)
        return std::nullopt;
    // Both sides through the one lossless mapping: a byte that is no UTF-8
    // matches only itself, never a look-alike.
    const std::u16string wanted = NativeToText(name);
    std::optional<std::string> best;
    while (dirent* e = readdir(dir)) {
        std::string_view entry = e->d_name;
        if (entry == "." || entry == "..")
            continue;
        if (EqualNoCase(NativeToText(entry), wanted) && (!best || entry < *best))
            best = std::string(entry);
    }
    closedir(dir);
    return best;
}

// A stored path walked on the disk below `base` (a native folder taken
// exactly as given, "/" for a full path, "" for the current folder): "."
// components are dropped and ".." takes back the component before it
// (lexically, as the stored rules read a path; at the root it stays there,
// and leading ".." of a relative path are kept); each other component that
// does not exist under its exact name is looked up without regard to case,
// and from the first one that is not found the rest is kept as given.
// `spelled` (when given) receives the stored text with each component found
// spelt as on the disk, its "." and ".." components and separators kept.
std::string WalkStored(std::string base, std::string_view stored, std::u16string* spelled)
{
    std::string out = std::move(base);
    const size_t fixed = out.size() == 1 ? 1 : 0; // the root "/" stays
    size_t kept = 0;                              // leading ".." of a relative path
    bool missing = false;
    size_t i = 0;
    while (i < stored.size()) {
        const size_t sepStart = i;
        while (i < stored.size() && (stored[i] == '/' || stored[i] == '\\'))
            ++i;
        const size_t start = i;
        while (i < stored.size() && stored[i] != '/' && stored[i] != '\\')
            ++i;
        if (spelled)
            *spelled += NativeToText(stored.substr(sepStart, start - sepStart));
        if (i == start)
            break;
        const std::string comp(stored.substr(start, i - start));
        if (comp == ".") {
            if (spelled)
                *spelled += u".";
            continue;
        }
        if (comp == "..") {
            if (spelled)
                *spelled += u"..";
            const size_t cut = out.find_last_of('/');
            if (out.size() > kept && !out.empty() && out != "/") {
                out.erase(cut == std::string::npos ? 0 : std::max(cut, fixed));
                missing = false; // the folder left was the missing one, or one below it
                continue;
            }
            if (out == "/")
                continue; // ".." at the root stays at the root
            if (!out.empty())
                out.push_back('/');
            out += "..";
            kept = out.size();
            continue;
        }
        const std::string folder = out;
        if (!out.empty() && out.back() != '/')
            out.push_back('/');
        std::string name = comp;
        if (!missing && !Exists(out + comp)) {
            if (auto found = FindNoCase(folder, comp))
                name = *found;
            else
                missing = true;
        }
        out += name;
        if (spelled)
            *spelled += NativeToText(name);
    }
    const bool trailing = !stored.empty() && (stored.back() == '/' || stored.back() == '\\');
    if (trailing && !out.empty() && out.back() != '/')
        out.push_back('/');
    return out;
}

std::optional<std::string> MapUtf8(std::string_view path, std::u16string* spelled = nullptr)
{
    if (path[0] == '/' || path[0] == '\\')
        return WalkStored("/", path, spelled);
    return WalkStored({}, path, spelled);
}

template <class C>
bool Mappable(std::basic_string_view<C> p)
{
    return !p.empty() && p.find(C(0)) == std::basic_string_view<C>::npos && !R<C>::TooLong(p) && !R<C>::ControlSystem(p) && !R<C>::Unc(p) &&
           !R<C>::Drive(p);
}

} // namespace

std::optional<std::string> ToNative(std::u16string_view path)
{
    if (!Mappable(path))
        return std::nullopt;
    std::string utf8;
    if (!TextToNative(path, utf8))
        return std::nullopt;
    return MapUtf8(std::move(utf8));
}

std::optional<std::string> ToNative(std::string_view ansiPath)
{
    if (!Mappable(ansiPath))
        return std::nullopt;
    return ToNative(AnsiToWide(ansiPath));
}

namespace {

// ToNativeBelow and SpelledAsOnDisk: `folder` exactly, `stored` below it.
std::optional<std::string> WalkBelow(std::u16string_view folder, std::u16string_view stored,
                                     std::u16string* spelled)
{
    std::u16string joined(folder);
    if (!Append(joined, stored) || !Mappable(std::u16string_view(joined)) ||
        stored.find(u'\0') != stored.npos)
        return std::nullopt;
    std::string bytes;
    if (!TextToNative(stored, bytes))
        return std::nullopt;
    if (!bytes.empty() && bytes[0] == '/')
        return MapUtf8(bytes, spelled); // a full path stands for itself
    std::string base;
    if (!folder.empty()) {
        const std::optional<std::string> exact = LocalNativePath(folder);
        if (!exact)
            return std::nullopt;
        base = *exact;
        while (base.size() > 1 && base.back() == '/')
            base.pop_back();
    }
    return WalkStored(std::move(base), bytes, spelled);
}

} // namespace

std::optional<std::string> ToNativeBelow(std::u16string_view folder, std::u16string_view stored)
{
    return WalkBelow(folder, stored, nullptr);
}

std::optional<std::u16string> SpelledAsOnDisk(std::u16string_view folder,
                                              std::u16string_view stored)
{
    std::u16string spelled;
    if (!WalkBelow(folder, stored, &spelled))
        return std::nullopt;
    return spelled;
}

std::string StoredNativePath(std::u16string_view path)
{
    return ToNative(path).value_or(std::string());
}

std::u16string FromNative(std::string_view nativePath) { return NativeToText(nativePath); }

std::string FromNativeAnsi(std::string_view nativePath, bool* lossy)
{
    return WideToAnsi(FromNative(nativePath), lossy);
}

bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

bool IsStorable(std::u16string_view local, std::u16string_view stored)
{
    return local.find(u'\\') == std::u16string_view::npos && !HasNativeByteEscape(stored);
}

#define SW_WINPATH_BOTH(C)                                                                   \
    bool IsControlSystemPath(std::basic_string_view<C> p) { return R<C>::ControlSystem(p); } \
    bool IsUNC(std::basic_string_view<C> p) { return R<C>::Unc(p); }                         \
    bool IsRelative(std::basic_string_view<C> p) { return R<C>::IsRelative(p); }             \
    bool IsRoot(std::basic_string_view<C> p) { return R<C>::IsRoot(p); }                     \
    size_t FindExtension(std::basic_string_view<C> p) { return R<C>::FindExtension(p); }     \
    size_t FindFileName(std::basic_string_view<C> p) { return R<C>::FindFileName(p); }       \
    bool Append(std::basic_string<C>& p, std::basic_string_view<C> more)                     \
    {                                                                                        \
        return R<C>::Append(p, more);                                                        \
    }                                                                                        \
    bool RemoveFileSpec(std::basic_string<C>& p) { return R<C>::RemoveFileSpec(p); }         \
    bool RenameExtension(std::basic_string<C>& p, std::basic_string_view<C> ext)             \
    {                                                                                        \
        return R<C>::RenameExtension(p, ext);                                                \
    }                                                                                        \
    bool StripToRoot(std::basic_string<C>& p) { return R<C>::StripToRoot(p); }               \
    bool AddBackslash(std::basic_string<C>& p) { return R<C>::AddBackslash(p); }             \
    bool RemoveBackslash(std::basic_string<C>& p) { return R<C>::RemoveBackslash(p); }       \
    std::optional<std::basic_string<C>> Combine(std::basic_string_view<C> dir,               \
                                                std::basic_string_view<C> file)              \
    {                                                                                        \
        return R<C>::Combine(dir, file);                                                     \
    }                                                                                        \
    std::optional<std::basic_string<C>> Canonicalize(std::basic_string_view<C> p)            \
    {                                                                                        \
        return R<C>::Canonicalize(p);                                                        \
    }                                                                                        \
    std::optional<std::basic_string<C>> RelativePathTo(                                      \
        std::basic_string_view<C> from, bool fromIsFolder, std::basic_string_view<C> to,     \
        bool toIsFolder)                                                                     \
    {                                                                                        \
        return R<C>::RelativePathTo(from, fromIsFolder, to, toIsFolder);                     \
    }                                                                                        \
    std::basic_string<C> GetRoot(std::basic_string_view<C> p) { return R<C>::GetRoot(p); }   \
    std::basic_string<C> CompactPath(std::basic_string_view<C> p, size_t maxChars)           \
    {                                                                                        \
        return R<C>::CompactPath(p, maxChars);                                               \
    }                                                                                        \
    std::basic_string<C> AbbreviateName(std::basic_string_view<C> p, size_t maxChars,        \
                                        bool atLeastName)                                    \
    {                                                                                        \
        return R<C>::AbbreviateName(p, maxChars, atLeastName);                               \
    }                                                                                        \
    std::basic_string<C> GetShortPathName(std::basic_string_view<C> p)                       \
    {                                                                                        \
        return std::basic_string<C>(p);                                                      \
    }

SW_WINPATH_BOTH(char16_t)
SW_WINPATH_BOTH(char)

#undef SW_WINPATH_BOTH

} // namespace sys::WinPath
