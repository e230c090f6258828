#pragma once
// The Windows path rules that stored files and the control system use,
// on strings in Windows form, and the one conversion from such a path to a
// native file-system path.
//
// Both "\" and "/" are separators.  A local path on this system is held in
// native form beginning with "/" ("/home/u/p/Lis.kxp"); drive-letter and UNC
// paths behave as on Windows but never name a local file; a control-system
// path (first character "\", second not) is never mapped to a local one.
// Paths longer than kMaxPath - 1 characters make the functions fail.
//
// For a path beginning with "/": its root is "/"; appending or combining a
// path that begins with "/" gives that path; the relative path between two
// such paths is made of ".." components and never begins with a separator.
// A separator that a function adds is "/" when the path already contains
// "/", else "\".  See docs/paths-and-codepages.md.
//
// Each function exists for UTF-16 strings and for 8-bit (ANSI, code page
// 1250) strings.  Names are compared without regard to case.

#include <optional>
#include <string>
#include <string_view>

namespace sys::WinPath {

constexpr size_t kMaxPath = 260;

// The native path for a path in Windows form (relative paths are taken as
// they are, relative to the current folder): the one mapping from a stored
// path to the file on the disk.  "." components are dropped and ".." takes
// back the component before it, lexically.  Each other component that does
// not exist under its exact name is looked up without regard to case
// ("MAIN.PLC" finds "main.plc"; among several case variants the first in
// byte order).  Missing components are kept as given, so
// a file to be created maps too.  Fails (nullopt) for drive-letter, UNC and
// control-system paths and for invalid text.  The text becomes bytes
// through sys::TextToNative (NativeText.h), so the escapes of bytes that
// are no UTF-8 come back as those bytes.
std::optional<std::string> ToNative(std::u16string_view path);
std::optional<std::string> ToNative(std::string_view ansiPath);
// The same, "" where it fails: the form of the callers that go on with a
// native path and test it for emptiness.
std::string StoredNativePath(std::u16string_view path);
// The file that a stored path names below a folder the user gave on this
// computer (the project's folder, a folder typed in the options): `folder`
// is taken exactly, as sys::LocalNativePath takes it, and only `stored` is
// read by the rules of ToNative (a full path in `stored` stands for itself;
// ".." may lead out of `folder`, lexically).  Fails where appending
// `stored` to `folder` fails, or as ToNative fails.
std::optional<std::string> ToNativeBelow(std::u16string_view folder, std::u16string_view stored);
// `stored` as a program that names files exactly must name the file that
// ToNativeBelow finds: each component found on the disk spelt as there,
// "." and ".." components and the separators as stored (".\OSA.plc" over
// osa.plc gives ".\osa.plc").
std::optional<std::u16string> SpelledAsOnDisk(std::u16string_view folder,
                                              std::u16string_view stored);

// A native path as a path in UTF-16 form (it still begins with "/"), by
// sys::NativeToText: ToNative gives the same bytes back.
std::u16string FromNative(std::string_view nativePath);
// A native path (UTF-8) in the ANSI code page; lossy tells whether a
// character had to be replaced by "?".
std::string FromNativeAnsi(std::string_view nativePath, bool* lossy = nullptr);

// Whether a file the user named on this computer reads back as itself from
// a stored file (project, workspace): `local` is its path as given (a "\"
// in a name would be read as a separator) and `stored` the form written
// there (a byte that is no UTF-8 has no form in code page 1250).  A name
// that fails is refused there, never stored as another file's.
bool IsStorable(std::u16string_view local, std::u16string_view stored);

// --- Classification -------------------------------------------------------

bool IsSeparator(char16_t c);
// "\" followed by anything but a separator (or nothing): a path on the
// control system.
bool IsControlSystemPath(std::u16string_view path);
bool IsControlSystemPath(std::string_view path);
// "\\" followed by anything: a UNC path (or the network view "\\").
bool IsUNC(std::u16string_view path);
bool IsUNC(std::string_view path);
// False for a path that begins with a separator or has ":" as its second
// character; true otherwise (also for an empty path).
bool IsRelative(std::u16string_view path);
bool IsRelative(std::string_view path);
// "C:\", "\", "/", "\\", "\\server" and "\\server\share".
bool IsRoot(std::u16string_view path);
bool IsRoot(std::string_view path);

// --- Parts of a path ------------------------------------------------------

// Offset of the extension's "." in the last component, or path.size() when
// it has none (a blank after the "." ends the extension search).
size_t FindExtension(std::u16string_view path);
size_t FindExtension(std::string_view path);
// Offset of the last component; a trailing separator belongs to it
// ("C:\a\b\" -> "b\"); a root is returned whole.
size_t FindFileName(std::u16string_view path);
size_t FindFileName(std::string_view path);

// --- In-place edits (each says what its false means; on a failure for
// length the path is left as it was) -----------------------------------------

// Joins `more` to `path` (separators at the start of `more` are skipped
// unless it is a UNC path; a drive path, UNC path or "/" path in `more`
// stands for itself) and canonicalises the result.  False when the result
// would be too long.
bool Append(std::u16string& path, std::u16string_view more);
bool Append(std::string& path, std::string_view more);
// Cuts the last component and its separator ("C:\a\b" -> "C:\a",
// "C:\a" -> "C:\", "C:\a\" -> "C:\a").  False when nothing was cut.
[[nodiscard]] bool RemoveFileSpec(std::u16string& path);
[[nodiscard]] bool RemoveFileSpec(std::string& path);
// Replaces the extension (or appends `ext` when there is none); `ext`
// includes its ".".  False when the result would be too long.
bool RenameExtension(std::u16string& path, std::u16string_view ext);
bool RenameExtension(std::string& path, std::string_view ext);
// Leaves only the root; false for a path without a root (what is left then
// is "" for a relative path, "C:" for "C:x").
bool StripToRoot(std::u16string& path);
bool StripToRoot(std::string& path);
// Adds a trailing separator unless there is one or the path is empty.
// False when the result would be too long.
bool AddBackslash(std::u16string& path);
bool AddBackslash(std::string& path);
// Removes one trailing separator unless the path is a root.  True when one
// was removed.
bool RemoveBackslash(std::u16string& path);
bool RemoveBackslash(std::string& path);

// --- Value-returning forms (nullopt: invalid or too long) -----------------

// `dir` and `file` joined: an absolute `file` stands for itself; a `file`
// beginning with a single "\" is taken from the root of `dir`; the result is
// canonicalised.
std::optional<std::u16string> Combine(std::u16string_view dir, std::u16string_view file);
std::optional<std::string> Combine(std::string_view dir, std::string_view file);
// "." and ".." components resolved (".." at a root stays at the root;
// leading ".." of a relative path are kept); a native path gets "/"
// separators throughout.
std::optional<std::u16string> Canonicalize(std::u16string_view path);
std::optional<std::string> Canonicalize(std::string_view path);
// The path that leads from `from` to `to`; each is a folder when its flag
// says so, else its file name is dropped first ("C:\p\" to "C:\q\f.txt"
// gives "..\q\f.txt", to "C:\p\f.txt" ".\f.txt").  From a drive or share
// root the Windows-form result begins with "\" ("\q\f.txt"), which callers
// drop; a native result never does.  nullopt when the two have no common
// root (other drive or share, native and Windows form, relative paths
// without a common first folder) or the result would be too long.
std::optional<std::u16string> RelativePathTo(std::u16string_view from, bool fromIsFolder,
                                             std::u16string_view to, bool toIsFolder);
std::optional<std::string> RelativePathTo(std::string_view from, bool fromIsFolder,
                                          std::string_view to, bool toIsFolder);
// The root of a path as StripToRoot leaves it ("" when it has none).
std::u16string GetRoot(std::u16string_view path);
std::string GetRoot(std::string_view path);

// The path fitted into at most maxChars characters for a menu: unchanged
// when it fits; else as many leading characters as fit, "..." and the last
// component with its separator ("C:\pro...\main.plc"); else "..." and the
// last component; else the last component cut, followed by "...".
std::u16string CompactPath(std::u16string_view path, size_t maxChars);
std::string CompactPath(std::string_view path, size_t maxChars);

// The recent-file list's display form: unchanged when it fits in maxChars;
// the file name alone when even that does not fit (or is all that fits and
// atLeastName); otherwise the volume part (drive, or server and share, plus
// the first folder when there is one), "\..." and as many trailing
// components as fit.
std::u16string AbbreviateName(std::u16string_view path, size_t maxChars, bool atLeastName = true);
std::string AbbreviateName(std::string_view path, size_t maxChars, bool atLeastName = true);

// The short (8.3) form: on this system the path itself.
std::u16string GetShortPathName(std::u16string_view path);
std::string GetShortPathName(std::string_view path);

} // namespace sys::WinPath
