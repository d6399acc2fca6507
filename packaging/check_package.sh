#!/usr/bin/env bash
# Builds the .deb from the build folder into a scratch folder and checks what a Debian user
# gets: the settings file as a conffile, copyright and changelog, stripped programs with their
# symbols in the dbgsym package, and no lintian errors (when lintian is installed).
#   check_package.sh BUILD_DIR
set -euo pipefail
build="$1"
command -v dpkg-deb >/dev/null || { echo "dpkg-deb not found: skipped"; exit 77; }
out="$build/package-check"
rm -rf "$out"
trap 'rm -rf "$out" "$out.err"' EXIT
cpack --config "$build/CPackConfig.cmake" -B "$out" >/dev/null 2>"$out.err" ||
  { cat "$out.err" >&2; exit 1; }
deb=$(ls "$out"/cfg-rm7ux-radio_*.deb)
ddeb=$(ls "$out"/cfg-rm7ux-radio-dbgsym_*.ddeb)
fail() { echo "check_package: $*" >&2; exit 1; }

[ "$(dpkg-deb -I "$deb" conffiles)" = /etc/cfg-rm7ux-radio/CFG_RM7UX_Radio.INI ] ||
  fail "the settings file is not the one conffile"
listing=$(dpkg-deb -c "$deb")
for path in ./etc/cfg-rm7ux-radio/CFG_RM7UX_Radio.INI ./usr/share/doc/cfg-rm7ux-radio/copyright \
    ./usr/share/doc/cfg-rm7ux-radio/changelog.gz ./usr/lib/cfg-rm7ux-radio/rm7ux \
    ./usr/lib/cfg-rm7ux-radio/HELP/CFG_RM7UX_Radio.html; do
  grep -q " $path\( \|$\)" <<<"$listing" || fail "missing in the package: $path"
done
dpkg-deb -x "$deb" "$out/tree"
for program in "$out"/tree/usr/lib/cfg-rm7ux-radio/*; do
  [ -f "$program" ] && [ -x "$program" ] || continue
  readelf -S "$program" | grep -q '\.debug_info' && fail "not stripped: ${program##*/}"
done
symbols=$(dpkg-deb -c "$ddeb")
grep -q '\./usr/lib/debug/\.build-id/.*\.debug$' <<<"$symbols" ||
  fail "no debugging symbols in the dbgsym package"
if command -v lintian >/dev/null; then
  errors=$(lintian "$deb" "$ddeb" 2>/dev/null | grep '^E:' || true)
  [ -z "$errors" ] || fail "lintian: $errors"
fi
echo "check_package: $(basename "$deb") and $(basename "$ddeb") are sound"
