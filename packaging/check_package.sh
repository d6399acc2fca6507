#!/usr/bin/env bash
# Checks the packages that dpkg-buildpackage -b left in a folder: lintian with no error or
# warning, Debian's hardening in every program (hardening-check), Depends from the shared
# libraries, the settings file as the one conffile, exactly the files of packaging/contents, the
# programs stripped with their symbols in the -dbgsym package, and each program's --version the
# changelog's version.
#   check_package.sh FOLDER
set -euo pipefail
out=$(realpath "$1")
cd "$(dirname "$0")/.."
failed=0
fail() {
  echo "package: $*" >&2
  failed=1
}
version=$(dpkg-parsechangelog -l debian/changelog -S Version)
arch=$(dpkg --print-architecture)
deb="$out/cfg-rm7ux-radio_${version}_${arch}.deb"
dbgsym=$(ls "$out"/cfg-rm7ux-radio-dbgsym_"${version}_${arch}".*deb 2>/dev/null || true)
changes="$out/cfg-rm7ux-radio_${version}_${arch}.changes"
[[ -f $deb ]] || { echo "package: no $deb" >&2; exit 1; }
[[ -n $dbgsym ]] || fail "no -dbgsym package"

depends=$(dpkg-deb -f "$deb" Depends)
[[ -n $depends ]] || fail "Depends is empty: the shared libraries were not found (dpkg-shlibdeps)"
depended=$(tr ',' '\n' <<<"$depends" | awk '{ print $1 }')
for library in libc6 libstdc++6 libqt6widgets6 libsqlite3-0; do
  grep -qxF "$library" <<<"$depended" || fail "Depends lacks $library: $depends"
done
[[ $(dpkg-deb -I "$deb" conffiles 2>/dev/null) == /etc/cfg-rm7ux-radio/CFG_RM7UX_Radio.INI ]] ||
  fail "the settings file is not the one conffile"

# The files and links, against the list.
listing=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { p = $6; sub(/^\.\//, "", p);
  print ($7 == "->") ? p " -> " $8 : p }' | sort)
if ! difference=$(diff <(grep -v '^#' packaging/contents) <(echo "$listing")); then
  fail "the package's files (>) differ from packaging/contents (<):"$'\n'"$difference"
fi

tree="$out/tree"
rm -rf "$tree"
dpkg-deb -x "$deb" "$tree"
programs=()
for f in "$tree"/usr/lib/cfg-rm7ux-radio/*; do
  [[ -f $f && ! -L $f && -x $f ]] && programs+=("$f")
done
for program in "${programs[@]}"; do
  readelf -S "$program" | grep -q '\.debug_info' && fail "not stripped: ${program##*/}"
done
if [[ -n $dbgsym ]]; then
  symbols=$(dpkg-deb -c "$dbgsym" | grep -c '\./usr/lib/debug/\.build-id/.*\.debug$' || true)
  ((symbols == ${#programs[@]})) ||
    fail "the -dbgsym package holds $symbols symbol files for ${#programs[@]} programs"
fi
# Through the links in bin/, as a user starts them.
for name in rm7ux rm7ux-sim CFG_RM7UX_Radio; do
  printed=$("$tree/usr/bin/$name" --version 2>&1) || true
  [[ $printed == "$name ${version%-*}" ]] || fail "$name --version printed '$printed'"
done

# Control-flow protection aside: Debian 12's C start files (Scrt1.o, crti.o) lack its mark, so no
# program linked there carries it.
echo "package: hardening-check"
for program in "${programs[@]}"; do
  hardening-check --nocfprotection "$program" | sed "s|$tree||" ||
    fail "hardening-check: ${program##*/} lacks a protection"
done

echo "package: lintian"
lintian --display-info --show-overrides "$changes" 2>&1 |
  grep -v 'running with root privileges' >"$out/lintian.log" || true
sed 's/^/  /' "$out/lintian.log"
grep -qE '^(E|W): ' "$out/lintian.log" && fail "lintian reports errors or warnings"
grep -q 'hardening-no-' "$out/lintian.log" && fail "lintian reports a missing hardening flag"

if ((failed)); then
  exit 1
fi
size() { du -k --apparent-size "$1" | cut -f1; }
echo "package: $(basename "$deb") ($(size "$deb") KB), $(basename "$dbgsym") ($(size "$dbgsym") KB)"
echo "package: Depends: $depends"
