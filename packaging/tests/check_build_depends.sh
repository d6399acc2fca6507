#!/usr/bin/env bash
# debian/control's Build-Depends are the packages scripts/packages.sh installs for building; its
# entries for the tests alone (<!nocheck>) are among the test packages.
#   check_build_depends.sh SOURCE_DIR
set -euo pipefail
source_dir=$1
# shellcheck source=../../scripts/packages.sh
. "$source_dir/scripts/packages.sh"
# The field, its continuation lines joined, one entry a line.
entries=$(awk '/^Build-Depends:/ { on = 1; sub(/^Build-Depends:/, ""); print; next }
               on && /^[ \t]/ { print; next } { on = 0 }' "$source_dir/debian/control" |
  tr ',' '\n' | sed 's/^[[:space:]]*//; s/[[:space:]]*$//' | grep -v '^$')
failed=0
build=() checks=()
while read -r entry; do
  name=${entry%% *}
  case $entry in
    *'|'*) echo "Build-Depends: alternatives are not kept in step here: $entry" >&2; failed=1 ;;
    debhelper-compat*) ;;
    *'<!nocheck>'*) checks+=("$name") ;;
    *'<'*) echo "Build-Depends: a build profile other than nocheck: $entry" >&2; failed=1 ;;
    *) build+=("$name") ;;
  esac
done <<<"$entries"
sorted() { printf '%s\n' "$@" | sort; }
if ! difference=$(diff <(sorted "${build[@]}") <(sorted "${build_packages[@]}")); then
  echo "debian/control's Build-Depends (<) and scripts/packages.sh's build_packages (>) differ:" >&2
  echo "$difference" >&2
  failed=1
fi
for name in "${checks[@]}"; do
  if ! printf '%s\n' "${test_packages[@]}" | grep -qx -- "$name"; then
    echo "Build-Depends: $name <!nocheck> is not among scripts/packages.sh's test_packages" >&2
    failed=1
  fi
done
exit $failed
