#!/usr/bin/env bash
# Checks that cmake/install-deps.sh brings in every Debian package that the
# build really used, and every program and data file that tests and scripts
# use at run time.
#
#   setup_packages.sh <build folder> <source folder>
#
# The files used: the CMake package configuration files the configure step
# loaded (the *_DIR entries of CMakeCache.txt and the files beside them), the
# headers of the compile steps (ninja -t deps), the shared libraries of the
# built programs (ldd), and the run-time list below.  Each is mapped to its
# package through dpkg's own file lists.  The packages the list brings in are
# computed from the dpkg status database alone (no apt-cache, no network):
# the listed packages and, recursively, the Depends and Pre-Depends of
# installed packages, plus the installed packages of priority required or
# important.  Every used package outside that set is reported with one of its
# files, and the check fails.
set -euo pipefail

build=${1:?build folder}
source=${2:?source folder}

if ! command -v dpkg-query >/dev/null 2>&1; then
  echo "setup_packages: skipped: no dpkg-query here (not a Debian system); see cmake/install-deps.sh for the package list"
  exit 77
fi

# Programs and data files that tests and scripts use at run time, which the
# compile steps, ldd and the CMake files never see: a name is looked up with
# `command -v`, an absolute path is taken as it is (a pattern as every file
# it matches).
RUNTIME=(
  '/usr/lib/*/qt6/plugins/platforms/libqoffscreen.so'
  '/usr/lib/*/qt6/plugins/platforms/libqxcb.so'
  /usr/share/qt6/translations/qtbase_cs.qm
  /usr/share/mime/packages/freedesktop.org.xml
  Xvfb
  xauth
  xdg-mime
  gio
  update-mime-database
  update-desktop-database
  pdftotext
  iconv
  pdfinfo
  cmake
  ninja
  c++
  nm
  python3
  /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
  /usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
  /usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf
  /usr/share/fonts/truetype/dejavu/DejaVuSansMono-Bold.ttf
  /usr/share/fonts/truetype/liberation/LiberationMono-Regular.ttf
  /usr/share/zoneinfo/Europe/Prague
  /usr/share/hunspell/cs_CZ.aff
  /usr/share/hunspell/cs_CZ.dic
  /usr/share/hunspell/en_US.aff
  /usr/share/hunspell/en_US.dic
)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# ---- the files used -------------------------------------------------------
used=$work/used
: >"$used"

# Files outside the source and build folders only.
keep_system() {
  awk -v s="$source/" -v b="$build/" '
    index($0, "/") == 1 && index($0, s) != 1 && index($0, b) != 1' 
}

# CMake package configuration files.
if [ -f "$build/CMakeCache.txt" ]; then
  sed -n 's/^[A-Za-z0-9_]*_DIR:[A-Z]*=\(\/.*\)$/\1/p' "$build/CMakeCache.txt" |
    sort -u | while read -r dir; do
      [ -d "$dir" ] && find "$dir" -maxdepth 1 -type f -name '*.cmake' 2>/dev/null
    done | keep_system >>"$used"
fi

# Headers of the compile steps.
if command -v ninja >/dev/null 2>&1 && [ -f "$build/build.ninja" ]; then
  ninja -C "$build" -t deps 2>/dev/null |
    awk '/^    / { sub(/^ +/, ""); print }' | keep_system >>"$used"
fi

# Shared libraries of the built programs.
find "$build/bin" "$build/tests" "$build/bench" "$build/tools" -type f -perm -u+x 2>/dev/null |
  while read -r prog; do
    head -c 4 "$prog" 2>/dev/null | grep -q 'ELF' || continue
    ldd "$prog" 2>/dev/null | awk '$2 == "=>" && $3 ~ /^\// { print $3 } $1 ~ /^\// { print $1 }'
  done | keep_system >>"$used"

# Run-time programs and data.
missing_runtime=()
for item in "${RUNTIME[@]}"; do
  if [ "${item#/}" != "$item" ]; then
    if compgen -G "$item" >/dev/null; then
      compgen -G "$item" >>"$used"
    else
      missing_runtime+=("$item")
    fi
  else
    path=$(command -v "$item" 2>/dev/null || true)
    if [ -n "$path" ]; then
      echo "$path" >>"$used"
      readlink -f "$path" >>"$used"
    else
      missing_runtime+=("$item")
    fi
  fi
done

sort -u "$used" -o "$used"

# ---- owners of the files, from dpkg's file lists ---------------------------
# Paths are compared without the /usr prefix of the merged directories, so
# that /lib/x86_64-linux-gnu/libc.so.6 and /usr/lib/x86_64-linux-gnu/libc.so.6
# are one file; a symbolic link also counts as the file it points to.
admindir=/var/lib/dpkg
owners=$work/owners
used_norm=$work/used_norm
while read -r f; do
  printf '%s\t%s\n' "$f" "$f"
  r=$(readlink -f "$f" 2>/dev/null || true)
  if [ -n "$r" ] && [ "$r" != "$f" ]; then printf '%s\t%s\n' "$f" "$r"; fi
done <"$used" |
  awk -F'\t' '{ p = $2; if (p ~ /^\/usr\/(lib|lib32|lib64|libx32|bin|sbin)\//) p = substr(p, 5)
                print $1 "\t" p }' >"$used_norm"

find "$admindir/info" -maxdepth 1 -name '*.list' -print0 |
  xargs -0 awk '
    FNR == 1 { pkg = FILENAME; sub(/.*\//, "", pkg); sub(/\.list$/, "", pkg); sub(/:.*/, "", pkg) }
    { p = $0; if (p ~ /^\/usr\/(lib|lib32|lib64|libx32|bin|sbin)\//) p = substr(p, 5)
      print p "\t" pkg }' >"$owners"

# ---- the packages the list brings in -------------------------------------
listed=$work/listed
bash "$source/cmake/install-deps.sh" --list >"$listed"
status=$work/status
dpkg-query -W -f='${Package}\t${db:Status-Abbrev}\t${Depends}\t${Pre-Depends}\t${Provides}\t${Priority}\n' \
  >"$status"

closure=$work/closure
awk -F'\t' -v listed="$listed" '
  function trim(s) { gsub(/^[ \t]+|[ \t]+$/, "", s); return s }
  # A dependency name without its version and architecture.
  function bare(s) { s = trim(s); sub(/[ \t]*\(.*$/, "", s); sub(/:.*$/, "", s); sub(/[ \t]*\[.*$/, "", s); return trim(s) }
  # The installed packages that satisfy one name: itself, or what provides it.
  function satisfiers(name, out,   n) {
    n = 0
    if (name in installed) { out[++n] = name }
    else if (name in providers) { n = split(providers[name], out, " ") }
    return n
  }
  function add(p) { if (!(p in inset)) { inset[p] = 1; queue[++qn] = p } }
  {
    if ($2 !~ /^ii/) next
    installed[$1] = 1
    deps[$1] = $3 ((length($3) && length($4)) ? ", " : "") $4
    np = split($5, prov, ",")
    for (i = 1; i <= np; i++) { v = bare(prov[i]); if (v != "") providers[v] = providers[v] " " $1 }
    if ($6 == "required" || $6 == "important") important[$1] = 1
  }
  END {
    for (v in providers) providers[v] = trim(providers[v])
    while ((getline line < listed) > 0) { line = trim(line); if (line != "") add(line) }
    for (p in important) add(p)
    for (qi = 1; qi <= qn; qi++) {
      p = queue[qi]
      if (!(p in deps) || deps[p] == "") continue
      nd = split(deps[p], ds, ",")
      for (i = 1; i <= nd; i++) {
        na = split(ds[i], alts, "|")
        # An alternative counts as the first of its names that is installed.
        for (j = 1; j <= na; j++) {
          delete sat
          ns = satisfiers(bare(alts[j]), sat)
          if (ns > 0) { for (k = 1; k <= ns; k++) add(sat[k]); break }
        }
      }
    }
    for (p in inset) print p
  }' "$status" >"$closure"

# ---- used packages outside the set ---------------------------------------
report=$work/report
awk -F'\t' -v closure="$closure" -v owners="$owners" '
  BEGIN {
    while ((getline p < closure) > 0) inset[p] = 1
    while ((getline line < owners) > 0) {
      split(line, a, "\t")
      if (a[1] in owner) owner[a[1]] = owner[a[1]] " " a[2]; else owner[a[1]] = a[2]
    }
  }
  {
    # $1: the file as used, $2: one normalised spelling of it
    if (!($2 in owner)) next
    found[$1] = 1
    n = split(owner[$2], os, " ")
    for (i = 1; i <= n; i++) if (os[i] in inset) { ok[$1] = 1 }
    if (!($1 in ok)) cand[$1] = os[1]
  }
  END {
    if (length(found) == 0) print "(dpkg knows none of the used files)\t-"
    for (f in cand) if (!(f in ok) && !(cand[f] in shown)) { shown[cand[f]] = 1; print cand[f] "\t" f }
  }' "$used_norm" | sort >"$report"

nused=$(wc -l <"$used")
npk=$(wc -l <"$closure")
fail=0
if [ -s "$report" ]; then
  echo "setup_packages: the build uses packages that cmake/install-deps.sh does not bring in:"
  while IFS=$'\t' read -r pkg file; do
    echo "  $pkg (for example $file)"
  done <"$report"
  fail=1
fi
if [ ${#missing_runtime[@]} -gt 0 ]; then
  echo "setup_packages: run-time programs or files not found: ${missing_runtime[*]}"
  fail=1
fi
if [ $fail -ne 0 ]; then
  exit 1
fi
echo "setup_packages: $nused system files used, all from the $npk packages that cmake/install-deps.sh brings in"
