#!/usr/bin/env bash
# The bash completion of rm7ux and rm7ux-sim, run in bash with bash-completion as a user's shell
# has it: each command offers exactly its own options (rm7ux-table text), values and operands
# by what they are.
#   check_completion.sh BUILD_DIR
set -uo pipefail
build=$1
framework=/usr/share/bash-completion/bash_completion
[[ -r $framework ]] || { echo "$framework not found: install bash-completion (scripts/test does)" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A private ports folder with COM42, and a folder to complete file names in.
export XDG_CONFIG_HOME="$work/config"
mkdir -p "$XDG_CONFIG_HOME/KorvaTech/CFG_RM7UX_Radio/ports" "$work/files"
ln -s /dev/null "$XDG_CONFIG_HOME/KorvaTech/CFG_RM7UX_Radio/ports/COM42"
touch "$work/files/radio.RM7UX"
export PATH="$build/bin:$PATH"
# shellcheck source=/dev/null
. "$framework"
# shellcheck source=/dev/null
. "$build/completion/rm7ux"
cd "$work/files" || exit 1

# What completing LINE (the cursor at its end) offers, sorted, on one line. The words are split
# as bash splits them, "=" a word of its own.
offered() {
  local line=$1
  local -a words
  read -ra words <<<"${line//=/ = }"
  [[ $line == *" " || $line == *= ]] && words+=("")
  COMP_LINE=$line COMP_POINT=${#line} COMP_WORDS=("${words[@]}") COMP_CWORD=$((${#words[@]} - 1))
  COMPREPLY=()
  case ${words[0]} in
    rm7ux) _rm7ux ;;
    rm7ux-sim) _rm7ux_sim ;;
  esac
  printf '%s\n' "${COMPREPLY[@]}" | sort -u | paste -sd' '
}
failed=0
expect() {  # LINE EXPECTED
  local got
  got=$(offered "$1")
  if [[ $got != "$2" ]]; then
    echo "'$1<TAB>' offered '$got', expected '$2'" >&2
    failed=1
  fi
}
expect_among() {  # LINE WORD...: each WORD is offered
  local line=$1 got word
  shift
  got=" $(offered "$line") "
  for word in "$@"; do
    [[ $got == *" $word "* ]] || { echo "'$line<TAB>' did not offer $word: $got" >&2; failed=1; }
  done
}
sorted() { tr ' ' '\n' <<<"$*" | grep -v '^$' | sort -u | paste -sd' '; }

table=$("$build/bin/rm7ux-table" text) || exit 1
commands=$(sed '/^global /d; s/ .*//' <<<"$table")
expect "rm7ux " "$(sorted $commands)"
expect "rm7ux --" "--device --help --log --modem --port --version"
# Each command: its own options and --help, whatever stands before it.
while read -r name options; do
  [[ $name == global ]] && continue
  expect "rm7ux $name --" "$(sorted "$options --help")"
  expect "rm7ux -p 7 --log x.log $name --" "$(sorted "$options --help")"
done <<<"$table"
expect "rm7ux watch --" "--count --csv --help --interval"
expect "rm7ux watch --csv --" "--count --help --interval"
expect "rm7ux history --" "--csv --help --json --serial --since"
expect "rm7ux ports --" "--help --json --pin"
expect "rm7ux --port 7 wa" "watch"
expect "rm7ux --port=7 hi" "history"
# The port rule: the COM numbers present, and the searches.
expect_among "rm7ux --port " 42 auto auto-all
expect "rm7ux -p au" "auto auto-all"
expect "rm7ux --port=au" "auto auto-all"
expect "rm7ux --modem --port 4" "42"
expect "rm7ux --log rad" "radio.RM7UX"
# Operands and values by what they are.
expect "rm7ux save " "radio.RM7UX"
expect "rm7ux simulate --model " "RM7UH RM7UL RM7VX"
expect "rm7ux watch --interval " ""
expect "rm7ux get tem" "temperature"
expect "rm7ux get tx-frequency PT tx" "tx-frequency tx-high tx-low"
expect "rm7ux set tx" "tx-frequency"
expect_among "rm7ux set " tx-frequency power PT PL0
expect "rm7ux set power " ""
expect "rm7ux set power 1W ptt" "ptt-timeout"
expect "rm7ux set RT" ""
expect "rm7ux frobnicate --" ""
# rm7ux-sim, from its --help.
expect "rm7ux-sim --mo" "--model --modem"
expect "rm7ux-sim --model " "RM7UH RM7UL RM7VX"
expect_among "rm7ux-sim --" --hang-up-after --pace --port --radio-version --version
if ((failed == 0)); then
  echo "completion: as expected"
fi
exit $failed
