#!/bin/sh
# The filter's dialog under Wine on a virtual display, end to end: each
# scenario runs `rimeflower.exe apply IN -o OUT --dialog` on a picture drawn
# by rf-gallery, drives the dialog with real mouse and keyboard input
# (xdotool), reads what it shows with dialog_probe (tests/ui/dialog_probe.cpp)
# and checks the outcome: the image written on OK equals the command line's
# render of the values the dialog recorded, Cancel writes nothing, the
# settings file keeps the window's place. Every preview after a gesture is
# checked against one rendered afresh through the same path. Also takes the
# screenshots docs/dialog-{geometry,material}-{96,144}dpi.png (written to
# build-win/dialog-test/; with RF_UPDATE_DOCS=1 copied into docs/).
#
# Expects the cross build in build-win/ (scripts/windows-build.sh). Stops the
# Wine server of build-win/wineprefix before it starts and when it ends.
# RF_DIALOG_SCENARIOS chooses scenarios (default: all).
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
scripts/setup.sh --packages xvfb xdotool imagemagick fonts-wine fonts-liberation2

exe="$root/build-win/bin/rimeflower.exe"
probe_exe="$root/build-win/tests/ui/dialog_probe.exe"
gallery_exe="$root/build-win/bin/rf-gallery.exe"
for f in "$exe" "$probe_exe" "$gallery_exe"; do
  [ -f "$f" ] || { echo "windows-dialog-test: $f is not built"; exit 1; }
done
out="$root/build-win/dialog-test"
rm -rf "$out"
mkdir -p "$out"

pid=""
on_exit() {
  if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; fi
}
. "$root/scripts/wine-display.sh"
# Large enough for the smallest window at 144 dots per inch.
wine_display windows-dialog-test "$out" 1600x1200
# No window manager runs here: Wine draws the windows' frames and captions
# itself, as Windows does.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
# Pages the dialog hands to the shell land in a file instead of a browser.
printf '#!/bin/sh\necho "$@" >>"%s/opened.txt"\n' "$out" >"$out/browser.sh"
chmod +x "$out/browser.sh"
wine reg add 'HKCR\.html' /ve /t REG_SZ /d htmlfile /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\WineBrowser' /v Browsers /t REG_SZ /d "$out/browser.sh" /f >/dev/null 2>&1

set_dpi() {
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
  wine reg add 'HKCC\Software\Fonts' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
  wineserver -p
}

# The inputs: real pictures of our own drawing, a one-pixel image, a CMYK TIFF.
cd "$out"
wine "$gallery_exe" photo --size 1500x1125 -o photo.png >/dev/null 2>&1
wine "$gallery_exe" sample --size 900x675 -o sample.png >/dev/null 2>&1
convert -size 1x1 'xc:#336699' one.png
convert sample.png -resize 320x240 -colorspace CMYK -compress none cmyk.tif
# A layered document: a green ground, a hidden red layer, and the target,
# the photo with its right half transparent.
convert -size 320x240 'xc:#20c040' ground.png
convert -size 320x240 'xc:#ff0000' hidden.png
convert photo.png -resize '320x240!' \( -size 320x240 xc:black -fill white -draw 'rectangle 0,0 159,239' \) \
  -alpha off -compose copy-opacity -composite target.png
printf 'rimeflower layers\nlayer ground.png name Ground\nlayer hidden.png name Hidden hidden\nlayer target.png name Target target\n' \
  >layered.layers
# A plugin folder of the test's own: its User library and settings file.
cp -r "$root/build-win/plugin" plugin
plugin_win=$(winepath -w "$out/plugin")
ini="$out/plugin/Rimeflower.ini"

failed=0
problems=""
fail() { problems="$problems  $*\n"; }

# dialog IN OUT [options]: opens the dialog on IN; waits for its first preview.
dialog() {
  input=$1 output=$2
  shift 2
  rm -f "$output" run.log
  wine "$exe" apply "$input" -o "$output" --dialog --forget --quiet --plugin-dir "$plugin_win" "$@" >run.log 2>&1 &
  pid=$!
  if ! probe wait 1 >/dev/null; then
    fail "the dialog did not open on $input"
    return 1
  fi
  probe layout >layout.txt
  win=$(xdotool search --name '^Rimeflower$' | head -n 1)
  xdotool windowfocus --sync "$win" 2>/dev/null || true
}
probe() { wine "$probe_exe" "$@" | tr -d '\r'; }
# closed: waits for the dialog's process; its exit status goes to $rc.
closed() {
  rc=0
  i=0
  while kill -0 "$pid" 2>/dev/null; do
    i=$((i + 1))
    [ $i -gt 900 ] && { kill "$pid"; fail "the dialog did not close"; break; }
    sleep 0.1
  done
  wait "$pid" || rc=$?
  pid=""
}
at() { awk -v n="$1" -v fx="$2" -v fy="$3" '$1 == n { printf "%d %d", $2 + fx * $4, $3 + fy * $5 }' layout.txt; }
# A pause between moving and pressing: Wine takes the press where the
# pointer was before a move it has not yet seen.
click() {
  xdotool mousemove $(at "$1" "${2:-0.5}" "${3:-0.5}")
  sleep 0.2
  xdotool click "${4:-1}"
}
click_at() {
  xdotool mousemove "$1" "$2"
  sleep 0.2
  xdotool click "${3:-1}"
}
# drag X Y DX DY: a left drag in six steps.
drag() {
  xdotool mousemove "$1" "$2"
  sleep 0.2
  xdotool mousedown 1
  for step in 1 2 3 4 5 6; do xdotool mousemove $(($1 + $3 * step / 6)) $(($2 + $4 * step / 6)); sleep 0.04; done
  xdotool mouseup 1
}
# choose LIST INDEX: a list's entry by keyboard, its drop-down closed first.
choose() {
  for _ in 1 2 3; do
    click "$1"
    sleep 0.3
    state
    grep -qx "dropped $2 1" state.txt && break
  done
  grep -qx "dropped $2 1" state.txt || { fail "the list $1 does not open"; return 1; }
  xdotool key Escape
  sleep 0.2
  xdotool key Home
  i=0
  while [ $i -lt "$3" ]; do xdotool key Down; sleep 0.1; i=$((i + 1)); done
}
state() { probe state >state.txt; }
# expect WHAT LINE: the probe's state holds LINE exactly.
expect() {
  grep -qxF "$2" state.txt && return 0
  key=$(echo "$2" | cut -d' ' -f1)
  id=$(echo "$2" | cut -d' ' -f2)
  case "$key" in enabled|text|check|combo|dropped) got=$(grep "^$key $id " state.txt) ;; *) got=$(grep "^$key " state.txt) ;; esac
  fail "$1: expected '$2', got '$(echo "$got" | head -n 1 | cut -c1-80)'"
}
value() { awk -v k="$1" -v i="$2" '$1 == k && $2 == i { print $3 }' state.txt; }
renders() { probe renders || echo 0; }
# settle N: waits until the dialog has rendered at least N previews.
settle() { probe wait "$1" >/dev/null || fail "no preview number $1"; }
fresh() { [ "$(probe check)" = same ] || fail "$1: the kept preview differs from a fresh render"; }
await_window() {
  i=0
  until xdotool search --name "$1" >/dev/null 2>&1; do
    i=$((i + 1))
    [ $i -gt 100 ] && { fail "no window '$1'"; return 1; }
    sleep 0.2
  done
  xdotool windowfocus --sync "$(xdotool search --name "$1" | head -n 1)" 2>/dev/null || true
}
# The values the dialog recorded, as --set options of the command line.
same_as_command_line() {
  args=$(grep -v '^#' "$2" | awk '{ printf "--set %s=%s ", $1, $3 }')
  # shellcheck disable=SC2086
  wine "$exe" apply "$1" -o "ref-$3" --defaults --forget --quiet --plugin-dir "$plugin_win" $args >/dev/null 2>&1
  cmp -s "$3" "ref-$3" || fail "$3 differs from the command line's render of the same values"
}
# snap NAME: with RF_UI_DEBUG=1, the screen and the dialog's state now.
snap() {
  [ -n "${RF_UI_DEBUG:-}" ] || return 0
  import -window root "$out/debug-$1.png" 2>/dev/null || true
  cp layout.txt "$out/debug-$1.layout"
  probe state >"$out/debug-$1.txt" || true
}
# opened PATTERN WHAT: the shell was handed a page ending in PATTERN.
opened() {
  i=0
  until [ -f "$out/opened.txt" ] && tail -n 1 "$out/opened.txt" | grep -q "$1\$"; do
    i=$((i + 1))
    [ $i -gt 100 ] && { fail "$2: no page ending in $1 was opened ($(tail -n 1 "$out/opened.txt" 2>/dev/null))"; return; }
    sleep 0.1
  done
}
report() {
  if [ -z "$problems" ]; then
    echo "ok   $1"
  else
    echo "FAIL $1"
    printf "%b" "$problems"
    failed=1
    problems=""
  fi
}

# ---- Scenarios --------------------------------------------------------------------

# Every gesture on the Geometry page and the preview, then OK.
scenario_apply() {
  dialog photo.png out-apply.png --record act.txt || { report apply; return; }
  state
  expect "OK holds the focus when the dialog opens" "focus 1 0 MacStyleBtn"
  expect "the dialog opens at 100 %" "zoom 100%"
  expect "no path in the document" "enabled 1020 0"
  n=$(renders)
  click tab1; settle $((n + 1))
  xdotool key F1; opened rimeflowerdoc_material.html "F1 on the Material tab"
  # Turning the light with its dial renders again (OK's comparison below
  # checks the values it recorded).
  probe layout >layout.txt
  n=$(renders)
  drag $(at light 0.7 0.35) -12 10
  settle $((n + 1))
  fresh "after turning the light"
  n=$(renders)
  click tab0; settle $((n + 1))
  xdotool key F1; opened rimeflowerdoc_geometry.html "F1 on the Geometry tab"
  click manual; opened Help/rimeflowerdoc.html "the manual button"
  xdotool key F4; opened kestrelworks.example/rimeflower/ "F4"

  # Typing a value: Enter moves on and applies nothing.
  n=$(renders)
  click field1101.edit
  xdotool key End shift+Home; xdotool type --delay 30 "40"; xdotool key Return
  settle $((n + 1))
  state
  expect "typed Density" "text 1101 40.00"
  expect "Enter in a field moves the focus on" "focus 1 1102 Edit"
  kill -0 "$pid" 2>/dev/null || fail "Enter in a field closed the dialog"
  fresh "after typing"

  # Dragging the Width slider.
  snap before-width
  n=$(renders)
  drag $(at field1104.slider 0.5 0.5) 30 0
  settle $((n + 1))
  sleep 0.5
  state
  snap width
  [ "$(value text 1104)" != 80.00 ] || fail "the Width slider did not move its value"
  fresh "after the drag"

  # "Single 3" from the effect list: the enabling table.
  n=$(renders)
  choose effect 1025 8
  settle $((n + 8))
  state
  snap effect
  expect "effect list" "combo 1025 8"
  expect "crosshair of a single figure" "crosshair 1"
  for id in 1100 1101 1102 1106 1107 1108 1109 1110 1111 1112 1020 1021 1022 1026; do
    expect "Single 3 disables $id" "enabled $id 0"
  done
  for id in 1103 1104 1105 1113 1114 1115 1116 1935 1036 1037; do expect "Single 3 leaves $id" "enabled $id 1"; done
  fresh "after the effect"

  # Zoom: buttons, keys, label.
  n=$(renders)
  click zoomout; settle $((n + 1)); state
  expect "\"-\"" "zoom 50%"
  xdotool key ctrl+KP_Subtract; settle $((n + 2)); state
  expect "Ctrl with keypad minus" "scale 3"
  xdotool key ctrl+0; settle $((n + 3)); state
  expect "Ctrl+0 shows the whole image" "enabled 1011 0"
  fit=$(awk '$1 == "scale" { print $2 }' state.txt)
  click zoomin; settle $((n + 4)); state
  expect "\"+\"" "scale $((fit - 1))"
  xdotool key ctrl+KP_Add; settle $((n + 5)); state
  expect "Ctrl with keypad plus" "scale $((fit - 2))"
  xdotool key ctrl+1; settle $((n + 6)); state
  expect "Ctrl+1" "zoom 100%"
  set -- $(awk '$1 == "preview" { print $4, $5 }' layout.txt) $(awk '$1 == "offset" { print $2, $3 }' state.txt)
  # Centred to the pixel: halves of odd sizes may round either way.
  awk -v w="$1" -v h="$2" -v x="$3" -v y="$4" 'BEGIN { dx = x - (1500 - w) / 2; dy = y - (1125 - h) / 2;
    exit !(dx * dx <= 1 && dy * dy <= 1) }' || fail "100 % is not centred again: offset $3 $4"
  expect "no zooming in past 100 %" "enabled 1010 0"
  fresh "after zooming"

  # Panning: the view moves against the drag.
  set -- $(awk '$1 == "offset" { print $2, $3 }' state.txt)
  ox=$1 oy=$2
  n=$(renders)
  drag $(at preview 0.3 0.5) 60 30
  settle $((n + 1)); state
  expect "pan" "offset $((ox - 60)) $((oy - 30))"
  fresh "after the pan"

  # A right click places the centre of the single figure.
  n=$(renders)
  click preview 0.25 0.75 3
  settle $((n + 1)); state
  set -- $(awk '$1 == "preview" { print $4, $5 }' layout.txt)
  cx=$(awk -v w="$1" -v o="$((ox - 60))" 'BEGIN { printf "%.2f", ((int(w * 0.25) + o) - 750) * 200 / 1500 }')
  cy=$(awk -v h="$2" -v o="$((oy - 30))" 'BEGIN { printf "%.2f", (562.5 - (int(h * 0.75) + o)) * 200 / 1125 }')
  expect "centre X from a right click" "text 1036 $cx"
  expect "centre Y from a right click" "text 1037 $cy"
  fresh "after placing the centre"

  # Dragging the overview's frame past the corner: the view goes to the
  # image's top-left corner and no further.
  n=$(renders)
  drag $(at overview 0.5 0.5) -100 -100
  settle $((n + 1)); state
  expect "dragging the overview's frame" "offset 0 0"
  fresh "after the overview"

  # Escape in a field ends its editing; the focus goes back to OK.
  click field1105.edit
  xdotool key End shift+Home; xdotool type --delay 30 "33"; xdotool key Escape
  sleep 0.5; state
  expect "Escape in a field" "text 1105 12.00"
  expect "Escape hands the focus to OK" "focus 1 0 MacStyleBtn"

  # The system menu's maximise and restore lay the window out again and
  # render; no size goes below the smallest the density allows.
  n=$(renders)
  probe sys maximize; settle $((n + 1))
  wide=$(probe layout | awk '$1 == "preview" { print $4 }')
  [ "$wide" -gt "$(awk '$1 == "preview" { print $4 }' layout.txt)" ] || fail "maximised, the preview is $wide wide"
  probe sys restore; settle $((n + 2))
  probe resize 400 300; sleep 0.5
  set -- $(probe layout | awk '$1 == "window" { print $4, $5 }')
  [ "$1" -ge 990 ] && [ "$2" -ge 703 ] || fail "the window shrank to $1 x $2"
  fresh "after maximising"
  xdotool windowfocus --sync "$win" 2>/dev/null || true
  # Move the window; OK (Enter on OK) applies.
  xdotool windowmove "$win" 180 90; sleep 0.5
  set -- $(probe layout | awk '$1 == "window" { print $2, $3, $4, $5 }')
  state
  expect "Enter goes to OK" "focus 1 0 MacStyleBtn"
  xdotool key Return
  closed
  [ "$rc" = 0 ] || fail "OK: exit status $rc ($(cat run.log))"
  [ -s out-apply.png ] || fail "OK wrote no image"
  grep -q "tfeL $1 " "$ini" && grep -q " poT $2 " "$ini" && grep -q "htdW $3 " "$ini" && grep -q "thgH $4 " "$ini" ||
    fail "the settings file does not hold the window's place ($1 $2 $3 $4): $(tr '\n' ' ' <"$ini")"
  same_as_command_line photo.png act.txt out-apply.png
  report apply
}

# Presets: load, save (with the overwrite question and a refused name),
# delete; then Cancel.
scenario_presets() {
  kept=$(awk '$1 == "tfeL" || $1 == "poT" { printf "%s ", $2 }' "$ini" 2>/dev/null)
  dialog sample.png out-presets.png || { report presets; return; }
  if [ -n "$kept" ]; then
    [ "$(awk '$1 == "window" { printf "%s %s ", $2, $3 }' layout.txt)" = "$kept" ] ||
      fail "the window did not open where it was left ($kept): $(grep '^window' layout.txt)"
  fi
  user="$out/plugin/Rimeflower/Presets/User"
  n=$(renders)
  set -- $(awk '$1 == "basic" { print $2, $3 }' layout.txt)
  line=$(($(awk '$1 == "basic" { print $3 }' layout.txt) + 3))
  # "Amber glass", the second entry, a row down from "Default".
  click_at $(($1 + 30)) $((line + 27))
  settle $((n + 1)); state
  expect "a preset's effect" "combo 1025 0"
  expect "a preset's fixed pattern" "combo 1026 0"
  fresh "after loading a preset"

  for round in new again; do
    click save
    await_window '^Save preset$' || break
    xdotool type --delay 20 "dialog test"; xdotool key Return
    if [ "$round" = again ]; then
      await_window '^File Save Warning$' && xdotool key Return  # Yes
    fi
    sleep 1
  done
  [ -f "$user/dialog test.rmfpst" ] || fail "Save wrote no preset"
  sleep 0.5; state
  grep -q '^list user 1 -1 |dialog test$' state.txt || fail "the user list after two saves: $(grep '^list user' state.txt)"

  click save
  if await_window '^Save preset$'; then
    xdotool type --delay 20 "../escape"; xdotool key Return
    if await_window '^Save Preset Error$'; then
      xdotool key Return
      await_window '^Save preset$' && xdotool key Escape
    fi
  fi
  sleep 1
  [ ! -e "$out/plugin/Rimeflower/Presets/escape.rmfpst" ] || fail "a preset name left its library"

  set -- $(awk '$1 == "user" { print $2, $3 }' layout.txt)
  click_at $(($1 + 30)) $(($2 + 10))
  sleep 1; state
  expect "Delete for a user preset" "enabled 1305 1"
  click delete; sleep 1
  [ ! -e "$user/dialog test.rmfpst" ] || fail "Delete left the preset"

  # A preset removed from the disk after it was listed: choosing it leaves
  # the record alone and the list shows what is there now.
  state
  set -- $(awk '$1 == "basic" { print $2, $3 }' layout.txt)
  count=$(awk '$1 == "list" && $2 == "basic" { print $3 }' state.txt)
  rm "$out/plugin/Rimeflower/Presets/Basic/Blue ice.rmfpst"
  click_at $(($1 + 30)) $((line + 27 + 18))
  sleep 1; state
  grep -q "^list basic $((count - 1)) " state.txt || fail "a removed preset: $(grep '^list basic' state.txt | cut -c1-60)"
  expect "a removed preset" "combo 1025 0"
  cp "$root/build-win/plugin/Rimeflower/Presets/Basic/Blue ice.rmfpst" "$out/plugin/Rimeflower/Presets/Basic/"

  # The contours' emitter: the fixed pattern's list goes grey, the growth
  # direction stays, and the pattern grows again from the picture's edges.
  n=$(renders)
  click contours 0.05 0.3
  settle $((n + 1)); state
  expect "the contours' emitter" "check 1021 1"
  expect "no fixed pattern for contours" "enabled 1026 0"
  expect "a growth direction for contours" "enabled 1027 1"
  fresh "after choosing the contours"

  rm -f "$ini"
  click cancel
  closed
  [ "$rc" = 3 ] || fail "Cancel: exit status $rc"
  grep -q "^tfeL " "$ini" 2>/dev/null || fail "Cancel wrote no settings file"
  [ ! -e out-presets.png ] || fail "Cancel wrote an image"
  [ "$(grep -c . run.log)" = 1 ] || fail "Cancel says more than one line: $(cat run.log)"
  report presets
}

# Odd inputs: a one-pixel image (nothing to zoom), a CMYK document (the
# preview in RGB, the result through the host's conversion), a settings
# file that cannot be read or written, a User library that is a file.
scenario_odd() {
  printf 'garbage\001\002 tfeL x\n' >"$ini"
  dialog one.png out-one.png --record act-one.txt || { report odd; return; }
  state
  expect "one pixel: no zoom in" "enabled 1010 0"
  expect "one pixel: no zoom out" "enabled 1011 0"
  expect "one pixel" "zoom 100%"
  set -- $(awk '$1 == "window" { print $2, $3 }' layout.txt)
  [ "$1 $2" = "100 100" ] || fail "a damaged settings file: the window opened at $1 $2"
  fresh "one pixel"
  xdotool key Return
  closed
  [ "$rc" = 0 ] && [ -s out-one.png ] || fail "one pixel: OK wrote nothing"

  rm -f "$ini"
  mkdir "$ini"  # a settings file that can be neither read nor written
  mv "$out/plugin/Rimeflower/Presets/User" "$out/user-away"
  : >"$out/plugin/Rimeflower/Presets/User"
  dialog cmyk.tif out-cmyk.tif --record act-cmyk.txt || { report odd; return; }
  fresh "CMYK"
  click save
  if await_window '^Save preset$'; then
    xdotool type --delay 20 "nowhere"; xdotool key Return
    await_window '^Save Preset Error$' && xdotool key Return
  fi
  sleep 1
  xdotool windowfocus --sync "$win" 2>/dev/null || true
  click ok
  closed
  [ "$rc" = 0 ] || fail "CMYK: exit status $rc ($(cat run.log))"
  same_as_command_line cmyk.tif act-cmyk.txt out-cmyk.tif
  rm -f "$out/plugin/Rimeflower/Presets/User"
  mv "$out/user-away" "$out/plugin/Rimeflower/Presets/User"
  rmdir "$ini"
  report odd
}

# A layered document: the preview shows the effect on the target layer over
# the visible layers below it, the hidden one left out; OK writes the target
# layer as the command line renders it.
scenario_layers() {
  # A place left on a screen that is no longer there: the window opens on
  # this one.
  printf ';Parameters for Rimeflower plug-in UI\ntfeL 5000 \t\t\t\t;Left of window\n poT -3000 \t\t\t\t;Top of window\n' >"$ini"
  dialog layered.layers out-layers.png --record act-layers.txt --set EffectKind=3 --set Scale=20 ||
    { report layers; return; }
  fresh "a layered document"
  set -- $(awk '$1 == "window" { print $2, $3, $4, $5 }' layout.txt)
  [ "$1" -ge 0 ] && [ "$2" -ge 0 ] && [ $(($1 + $3)) -le 1600 ] && [ $(($2 + $4)) -le 1200 ] ||
    fail "a place off the screen: the window opened at $1 $2 ($3 x $4)"
  state
  set -- $(awk '$1 == "preview" { print $2, $3, $4, $5 }' layout.txt)
  # The transparent half, away from the small figure in the middle.
  x=$(($1 + ($3 - 320) / 2 + 300))
  y=$(($2 + ($4 - 240) / 2 + 20))
  xdotool mousemove 1590 1190
  sleep 0.3
  pixel=$(import -window root -crop "1x1+$x+$y" -depth 8 txt:- | tail -n 1 | grep -o '#[0-9A-F]\{6\}')
  [ "$pixel" = "#20C040" ] || fail "behind the transparent target the preview shows $pixel, not the ground below"
  xdotool windowfocus --sync "$win" 2>/dev/null || true
  click ok
  closed
  [ "$rc" = 0 ] || fail "layers: exit status $rc ($(cat run.log))"
  same_as_command_line layered.layers act-layers.txt out-layers.png

  # A hidden target: the dialog still opens and previews it.
  sed 's/name Target target/name Target hidden target/' layered.layers >hidden-target.layers
  if dialog hidden-target.layers out-hidden.png; then
    fresh "a hidden target"
    xdotool key Escape  # OK has the focus: Escape cancels
    closed
    [ "$rc" = 3 ] && [ ! -e out-hidden.png ] || fail "a hidden target: Cancel gave $rc"
  fi
  report layers
}

# Both tabs over a real picture, for the documentation: a picture twice the
# preview's size at that density, shown whole.
screenshots() {
  rm -f "$ini"
  wine "$gallery_exe" photo --size "$2" -o "shot-$1.png" >/dev/null 2>&1
  dialog "shot-$1.png" shot.png || { report "screenshots $1 dpi"; return; }
  n=$(renders)
  xdotool key ctrl+0  # the whole picture
  settle $((n + 1))
  xdotool mousemove 1590 1190  # no hover, no tool tip
  set -- "$1" $(awk '$1 == "window" { printf "%dx%d+%d+%d", $4, $5, $2, $3 }' layout.txt)
  sleep 0.8
  import -window root -crop "$2" "$out/dialog-geometry-$1dpi.png"
  n=$(renders)
  click tab1; settle $((n + 1))
  xdotool mousemove 1590 1190
  sleep 0.8
  import -window root -crop "$2" "$out/dialog-material-$1dpi.png"
  probe sys close
  closed
  [ "$rc" = 3 ] && [ ! -e shot.png ] || fail "the system menu's Close: exit status $rc"
  report "screenshots $1 dpi"
  echo "screenshots $out/dialog-geometry-$1dpi.png $out/dialog-material-$1dpi.png"
}

t0=$(date +%s)
set_dpi 96
for s in ${RF_DIALOG_SCENARIOS-apply presets odd layers}; do
  "scenario_$s"
done
screenshots 96 976x848
set_dpi 144
screenshots 144 1286x1170
set_dpi 96
echo "dialog under Wine: $(($(date +%s) - t0)) s"
if [ "${RF_UPDATE_DOCS:-0}" = 1 ]; then
  cp "$out"/dialog-*dpi.png "$root/docs/"
fi
[ "$failed" -eq 0 ] || { echo "windows-dialog-test: a scenario failed"; exit 1; }
