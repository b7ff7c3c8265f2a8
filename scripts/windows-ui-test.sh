#!/bin/sh
# The control toolkit under Wine on a virtual display: one window holding
# every control (tests/ui/controls/controls_window.cpp), driven with real
# mouse and keyboard input through xdotool, one scenario per start. Each
# scenario checks the notifications and values the window received; any
# failure fails the script. Also takes the screenshots docs/controls-96dpi.png
# and docs/controls-144dpi.png (written to build-win/ui-test/; with
# RF_UPDATE_DOCS=1 copied into docs/).
#
# Expects the cross build in build-win/ (scripts/windows-build.sh). Stops the
# Wine server of build-win/wineprefix before it starts and when it ends.
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
scripts/setup.sh --packages xvfb xdotool imagemagick fonts-wine

exe="$root/build-win/tests/ui/controls/controls_window.exe"
[ -f "$exe" ] || { echo "windows-ui-test: $exe is not built"; exit 1; }
out="$root/build-win/ui-test"
rm -rf "$out"
mkdir -p "$out/run"

. "$root/scripts/wine-display.sh"
wine_display windows-ui-test "$out" 1280x1024

set_dpi() {
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
  wine reg add 'HKCC\Software\Fonts' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
  # Wine reads the density when a program starts; its server keeps the
  # registry, so the change is written out before the next start.
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
  wineserver -p
}

run_win=$(winepath -w "$out/run")
pid=""
failed=0

# start SCENARIO: runs the window and waits for its layout.
start() {
  rm -f "$out/run/"*
  wine "$exe" "$1" "$run_win" >"$out/$1.log" 2>&1 &
  pid=$!
  i=0
  until [ -s "$out/run/layout.txt" ]; do
    i=$((i + 1))
    if [ $i -gt 200 ] || ! kill -0 "$pid" 2>/dev/null; then
      echo "windows-ui-test: $1: the window did not come up"; cat "$out/$1.log"; exit 1
    fi
    sleep 0.1
  done
  sleep 0.3
  wid=$(xdotool search --sync --name "Rimeflower controls" | head -n 1)
  xdotool windowfocus --sync "$wid" 2>/dev/null || true
}

# at NAME FX FY: the screen point at fractions (FX, FY) of a control.
at() {
  awk -v n="$1" -v fx="$2" -v fy="$3" '$1 == n { printf "%d %d", $2 + fx * $4, $3 + fy * $5 }' "$out/run/layout.txt"
}
# size NAME: its width and height.
size() { awk -v n="$1" '$1 == n { printf "%d %d", $4, $5 }' "$out/run/layout.txt"; }

move() { xdotool mousemove "$1" "$2"; }

# finish SCENARIO: tells the window the gestures are done and reads its verdict.
finish() {
  sleep 0.8
  : >"$out/run/done"
  i=0
  while kill -0 "$pid" 2>/dev/null; do
    i=$((i + 1))
    [ $i -gt 150 ] && { kill "$pid" 2>/dev/null; echo "FAIL $1: the window did not finish"; failed=1; return; }
    sleep 0.1
  done
  rc=0
  wait "$pid" || rc=$?
  if [ -f "$out/run/result.txt" ]; then cat "$out/run/result.txt" | tr -d '\r' | sed 's/^/  /'; fi
  if [ "$rc" -ne 0 ]; then
    echo "FAIL $1 (exit $rc)"
    failed=1
  else
    echo "ok   $1"
  fi
}

scenario_type() {
  start type
  # Clicks at least the double-click time apart, or the second would select
  # a word instead of taking the focus.
  # shellcheck disable=SC2046
  move $(at density.edit 0.5 0.5); xdotool click 1
  xdotool key End shift+Home; xdotool type --delay 40 "42.5"; xdotool key Tab
  sleep 0.6; xdotool click 1
  xdotool key End shift+Home; xdotool type --delay 40 "150"; xdotool key Return
  sleep 0.6; xdotool click 1
  xdotool key End shift+Home; xdotool type --delay 40 "100.005"; xdotool key Tab
  finish type
}

scenario_arrows() {
  start arrows
  # The width field's up arrow: the upper half of its arrows.
  set -- $(awk '$1 == "width.edit" { print $2 + $4 + 8, $3 + $5 / 4 }' "$out/run/layout.txt")
  move "$1" "$2"
  xdotool click --repeat 3 --delay 120 1
  sleep 0.9
  finish arrows
}

scenario_drag() {
  start drag
  set -- $(awk '$1 == "width.slider" { print $2, $3 + $5 / 2, $4 }' "$out/run/layout.txt")
  x=$1; y=$2; w=$3
  move $((x + 5)) "$y"; xdotool mousedown 1
  mid=$((x + 5 + (w - 10) / 2))
  step=$((x + 5))
  while [ "$step" -lt "$mid" ]; do step=$((step + 12)); [ "$step" -gt "$mid" ] && step=$mid; move "$step" "$y"; sleep 0.02; done
  xdotool mouseup 1
  finish drag
}

scenario_doubleclick() {
  start doubleclick
  # shellcheck disable=SC2046
  move $(at width.slider 0.85 0.5)
  xdotool click --repeat 2 --delay 70 1
  sleep 0.5
  finish doubleclick
}

scenario_dial() {
  start dial
  set -- $(awk '$1 == "rotate" { print $2 + $4 / 2, $3 + $5 / 2, $4 }' "$out/run/layout.txt")
  cx=$1; cy=$2; r=$(( $3 * 2 / 5 ))
  # From 5 degrees right of the top, clockwise to 450 degrees.
  points=$(awk -v cx="$cx" -v cy="$cy" -v r="$r" 'BEGIN { for (a = 5; a <= 450; a += 15) {
    t = a * 3.14159265 / 180; printf "%d,%d ", cx + r * sin(t), cy - r * cos(t) } }')
  first=${points%% *}
  move "${first%,*}" "${first#*,}"; xdotool mousedown 1
  for p in $points; do move "${p%,*}" "${p#*,}"; sleep 0.015; done
  xdotool mouseup 1
  finish dial
}

scenario_preview() {
  start preview
  set -- $(at preview 0 0)
  px=$1; py=$2
  move $((px + 100)) $((py + 100)); xdotool mousedown 1
  for d in 10 20 30 40 50 60; do move $((px + 100 + d)) $((py + 100 + d / 2)); sleep 0.02; done
  xdotool mouseup 1
  sleep 0.5
  # The image now starts 60, 30 pixels in: its top-left corner.
  move $((px + 60)) $((py + 30)); xdotool click 3
  finish preview
}

scenario_setvalue() {
  start setvalue
  # shellcheck disable=SC2046
  move $(at density.slider 0.5 0.5); xdotool click 3
  dialog=$(xdotool search --sync --name "^Set value$" | head -n 1)
  xdotool windowfocus --sync "$dialog" 2>/dev/null || true
  sleep 0.3
  # The new-value box has the focus. Leaving it clamps it into the range the
  # boxes hold then, so the range comes first: Tab to the minimum (the
  # second value box is disabled), the maximum, then back to the value.
  xdotool key Tab
  xdotool key minus; xdotool type --delay 40 "20"; xdotool key Tab
  xdotool type --delay 40 "180"; xdotool key shift+Tab shift+Tab
  xdotool type --delay 40 "150"
  [ -n "${RF_UI_DEBUG:-}" ] && import -window root "$out/setvalue-before.png"
  # Enter in a box moves on (value, minimum, maximum, then OK); Enter on OK
  # applies.
  for _ in 1 2 3 4; do xdotool key Return; sleep 0.15; done
  finish setvalue
}

scenario_colour() {
  start colour
  # shellcheck disable=SC2046
  move $(at colour 0.5 0.5); xdotool click 1
  sleep 0.3
  # The second time the host's picker answers "cancelled".
  : >"$out/run/cancel"
  move $(at colour 0.5 0.5); xdotool click 1
  finish colour
}

scenario_badinput() {
  rm -f "$out/run/"*
  rc=0
  wine "$exe" badinput "$run_win" >"$out/badinput.log" 2>&1 || rc=$?
  [ -f "$out/run/result.txt" ] && tr -d '\r' <"$out/run/result.txt" | sed 's/^/  /'
  if [ "$rc" -ne 0 ]; then echo "FAIL badinput (exit $rc)"; failed=1; else echo "ok   badinput"; fi
}

screenshot() {
  start show
  xdotool mousemove 1270 1010  # no hover, no tool tip
  sleep 0.8
  import -window root -crop "$(size window | tr ' ' 'x')+0+0" "$out/controls-$1dpi.png" 2>/dev/null ||
    { xwd -root | /usr/bin/convert xwd:- -crop "$(size window | tr ' ' 'x')+0+0" "$out/controls-$1dpi.png"; }
  : >"$out/run/done"
  wait "$pid" 2>/dev/null || true
  echo "screenshot $out/controls-$1dpi.png"
}

seconds() { date +%s; }
t0=$(seconds)
set_dpi 96
for s in ${RF_UI_SCENARIOS:-type arrows drag doubleclick dial preview setvalue colour badinput}; do
  "scenario_$s"
done
screenshot 96
set_dpi 144
scenario_badinput
screenshot 144
set_dpi 96
echo "control toolkit under Wine: $(( $(seconds) - t0 )) s"
if [ "${RF_UPDATE_DOCS:-0}" = 1 ]; then
  cp "$out/controls-96dpi.png" "$out/controls-144dpi.png" docs/
fi
[ "$failed" -eq 0 ] || { echo "windows-ui-test: a scenario failed"; exit 1; }
