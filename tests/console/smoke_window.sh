#!/usr/bin/env bash
# Smoke test of the real program: under Xvfb, against rm7ux-sim, tick Connect with the mouse
# (xdotool) and wait until the window shows "Connected": its report says so and its lamp is
# lime on the screen. The last screenshot is kept at $2.
#   smoke_window.sh <folder of CFG_RM7UX_Radio and rm7ux-sim> <screenshot.png>
# Exit 0 passed, 1 failed, 77 skipped (no Xvfb, xdotool or ImageMagick).
set -uo pipefail
bin=$1
shot=$2

for tool in Xvfb xdotool import convert; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIP: $tool is not installed"
    exit 77
  fi
done

work=$(mktemp -d "${TMPDIR:-/tmp}/rm7ux-smoke-XXXXXX")
pids=()
finish() {
  local pid
  for pid in "${pids[@]}"; do
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
  done
  rm -rf "$work"
}
trap finish EXIT

fail() {
  echo "FAIL: $*"
  echo "--- window output"; cat "$work/window.out" "$work/window.err" 2>/dev/null
  [[ -n "${DISPLAY:-}" ]] && import -window root "$shot" 2>/dev/null && echo "screen: $shot"
  exit 1
}

# Checks every 50 ms until the command succeeds or $1 seconds have passed.
wait_until() {
  local end=$((SECONDS + $1))
  shift
  until "$@"; do
    ((SECONDS < end)) || return 1
    sleep 0.05
  done
}

export XDG_CONFIG_HOME="$work/config"
export XDG_DATA_HOME="$work/data"
export XDG_STATE_HOME="$work/state"
"$bin/rm7ux-sim" --model RM7UH >"$work/sim.out" 2>"$work/sim.err" &
pids+=($!)
wait_until 10 grep -qs '^COM ' "$work/sim.out" || fail "rm7ux-sim did not start"
port=$(sed -n 's/^COM //p' "$work/sim.out" | head -1)

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.err" &
pids+=($!)
wait_until 10 grep -qs '[0-9]' "$work/display" || fail "Xvfb did not start"
export DISPLAY=":$(tr -dc '0-9' <"$work/display")"

"$bin/CFG_RM7UX_Radio" --port "$port" --report >"$work/window.out" 2>"$work/window.err" &
window_pid=$!
pids=("$window_pid" "${pids[@]}")

find_window() {
  id=$(xdotool search --onlyvisible --name '^RM7VX / RM7UX Radio Config$' 2>/dev/null | head -1)
  [[ -n "$id" ]]
}
wait_until 20 find_window || fail "the window did not appear"
eval "$(xdotool getwindowgeometry --shell "$id")"  # X, Y, WIDTH, HEIGHT
[[ "$WIDTH" == 364 && "$HEIGHT" == 379 ]] || fail "window is ${WIDTH}x$HEIGHT, not 364x379"
# A port given is chosen as in the list, and so connected to: no click needed.

connected_on_screen() {
  kill -0 "$window_pid" 2>/dev/null || fail "the window ended"
  grep -qs '^STATE Connected' "$work/window.out" || return 1
  import -window root "$work/shot.png" 2>/dev/null || return 1
  local lamp
  lamp=$(convert "$work/shot.png" -format "%[pixel:p{$((X + 196)),$((Y + 65))}]" info:)
  [[ "$lamp" == lime || "$lamp" == "srgb(0,255,0)" ]]
}
wait_until 30 connected_on_screen || fail "no \"Connected\" within 30 s"
cp "$work/shot.png" "$shot"

# Connect sits at (118, 57) of the client area, 68 x 18: unticked, the window lets go.
xdotool mousemove "$((X + 130))" "$((Y + 66))" click 1
inactive() { grep -qs '^STATE Inactive' "$work/window.out"; }
wait_until 10 inactive || fail "unticking Connect did not show \"Inactive\""
echo "PASS: Connected; screenshot $shot"
