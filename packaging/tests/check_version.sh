#!/usr/bin/env bash
# The project's version is the Debian changelog's (its upstream part), and each program's
# --version prints it.
#   check_version.sh SOURCE_DIR PROJECT_VERSION PROGRAM...
set -euo pipefail
source_dir=$1 version=$2
shift 2
command -v dpkg-parsechangelog >/dev/null ||
  { echo "dpkg-parsechangelog not found: install dpkg-dev (scripts/test does)" >&2; exit 1; }
failed=0
debian=$(dpkg-parsechangelog -l "$source_dir/debian/changelog" -S Version)
upstream=${debian#*:}
[[ $upstream == *-* ]] && upstream=${upstream%-*}
if [[ $upstream != "$version" ]]; then
  echo "debian/changelog is at $debian (upstream $upstream), the project at $version" >&2
  failed=1
fi
for program in "$@"; do
  name=${program##*/}
  printed=$("$program" --version 2>&1) || { echo "$name --version failed: $printed" >&2; failed=1; }
  if [[ $printed != "$name $version" ]]; then
    echo "$name --version printed '$printed', not '$name $version'" >&2
    failed=1
  fi
done
exit $failed
