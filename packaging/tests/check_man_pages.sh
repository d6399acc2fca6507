#!/usr/bin/env bash
# The manual pages as man shows them at 80 columns: every section, no line wider, no warning
# from groff, a short whatis line; rm7ux's COMMANDS and OPTIONS name what its parser takes
# (rm7ux-table text), and the OPTIONS of the other two what their --help lists.
#   check_man_pages.sh BUILD_DIR GUI(ON|OFF)
set -euo pipefail
build=$1 gui=$2
command -v man >/dev/null || { echo "man not found: install man-db (scripts/test does)" >&2; exit 1; }
export LC_ALL=C.UTF-8 MANWIDTH=80
programs=(rm7ux rm7ux-sim)
[[ $gui == ON ]] && programs+=(CFG_RM7UX_Radio)
sections=(NAME SYNOPSIS DESCRIPTION COMMANDS OPTIONS "EXIT STATUS" ENVIRONMENT FILES EXAMPLES
  "SEE ALSO")
failed=0
fail() {
  echo "$*" >&2
  failed=1
}

# A section's text: the lines after its heading, up to the next heading.
section() { awk -v name="$2" '/^[^ ]/ { on = ($0 == name); next } on' <<<"$1"; }
# The terms of a section: the lines at the section's indentation that an indented paragraph
# follows, a term's lines joined.
terms() {
  awk '/^       [^ ]/ { term = term (term == "" ? "" : " ") substr($0, 8); next }
       /^        / { if (term != "") print term; term = ""; next }
       { term = "" }' <<<"$1"
}
# The options in a text: its words that begin with "-", without brackets, "=VALUE" or commas.
options_in() {
  tr ' |[]' '\n\n\n\n' <<<"$1" | sed -n 's/^\(--*[a-zA-Z][a-zA-Z-]*\).*/\1/p' | sort -u
}
same() {  # what, expected, found
  if [[ "$2" != "$3" ]]; then
    fail "$1:"$'\n'"  expected: $(echo $2)"$'\n'"  found:    $(echo $3)"
  fi
}

for program in "${programs[@]}"; do
  page="$build/man/$program.1"
  [[ -f $page ]] || { fail "no page $page"; continue; }
  # As lintian reads it: groff's warnings count.
  warnings=$(man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null)
  [[ -z $warnings ]] || fail "$program.1: groff says: $warnings"
  shown=$(man -l "$page" 2>/dev/null | col -bx)
  for s in "${sections[@]}"; do
    grep -qx -- "$s" <<<"$shown" || fail "$program.1 has no section $s"
  done
  wide=$(grep -n '.\{81,\}' <<<"$shown" || true)
  [[ -z $wide ]] || fail "$program.1 has lines wider than 80 columns:"$'\n'"$wide"
  whatis=$(lexgrog "$page" | sed -n 's/^[^:]*: "\(.*\)"$/\1/p')
  [[ $whatis == "$program - "* && ${#whatis} -le 70 ]] ||
    fail "$program.1: whatis line '$whatis' is not '$program - ...' in 70 characters"

  # Parsed without hyphenation, so that no option is broken across lines.
  plain=$(MANROFFOPT=-rHY=0 man -l "$page" 2>/dev/null | col -bx)
  page_options=$(options_in "$(terms "$(section "$plain" OPTIONS)")")
  if [[ $program == rm7ux ]]; then
    table=$("$build/bin/rm7ux-table" text)
    same "rm7ux.1 OPTIONS against the parser's global options" \
      "$(options_in "$(sed -n 's/^global //p' <<<"$table")")" "$page_options"
    commands=$(terms "$(section "$plain" COMMANDS)")
    same "rm7ux.1 COMMANDS against the parser's commands" \
      "$(sed '/^global /d; s/ .*//' <<<"$table" | sort)" "$(sed 's/ .*//' <<<"$commands" | sort)"
    while read -r name rest; do
      [[ $name == global ]] && continue
      term=$(awk -v n="$name" '$1 == n' <<<"$commands")
      same "rm7ux.1: the options of $name" "$(options_in "$rest")" \
        "$(options_in "${term#"$name"}")"
    done <<<"$table"
  else
    help=$("$build/bin/$program" --help)
    same "$program.1 OPTIONS against its --help" \
      "$(sed -n 's/^ *\(--[a-z-]*\).*/\1/p' <<<"$help" | sort -u)" \
      "$(grep -- '^--' <<<"$page_options" || true)"
  fi
done
exit $failed
