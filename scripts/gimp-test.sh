#!/bin/sh
# The GIMP plug-in against the command line: installs GIMP when missing,
# builds and installs rimeflower-gimp into a private GIMP profile, has a
# headless GIMP filter pictures through plug-in-rimeflower (several value
# sets, RGBA, 16 bits, grey, a selection, a path, layers below) and checks
# that every result equals `rimeflower apply` of the same file and values,
# pixel for pixel; then that bad input gets a message and leaves GIMP
# running. Build folder: RF_BUILD_DIR (default build/).
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
build=${RF_BUILD_DIR:-build}
start=$(date +%s)
scripts/setup.sh --packages gimp libgimp2.0-dev imagemagick xvfb xdotool
echo "GIMP installed after $(($(date +%s) - start)) s"

if [ -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" >/dev/null
else
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DRF_BUILD_TESTS=OFF -DRF_BUILD_BENCH=OFF >/dev/null
fi
cmake --build "$build" -j "${RF_JOBS:-$(nproc)}" --target rimeflower-gimp rimeflower rf-gallery
echo "built after $(($(date +%s) - start)) s"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export GIMP2_DIRECTORY="$work/profile"
mkdir -p "$GIMP2_DIRECTORY/gradients"  # GIMP complains at exit without it
scripts/gimp-install.sh --no-build >/dev/null
rimeflower="$root/$build/bin/rimeflower"
plugin="$root/$build/gimp/rimeflower-gimp"

"$build/bin/rf-gallery" photo -o "$work/photo.png" --size 320x240
"$build/bin/rf-gallery" sample -o "$work/sample.png" --size 320x240
cat >"$work/path.svg" <<'EOF'
<svg xmlns="http://www.w3.org/2000/svg" width="320" height="240" viewBox="0 0 320 240">
  <path d="M 160 213 C 100 173 40 140 50 87 C 58 43 120 37 160 83 C 200 37 262 43 270 87 C 280 140 220 173 160 213 Z"/>
</svg>
EOF
cat >"$work/layers.txt" <<'EOF'
rimeflower layers
layer sample.png
layer grey.png hidden
layer alpha.png target
EOF

# The value sets: assignments as `rimeflower apply --set` takes them, split by ';'.
set_a=""
set_b="RandomSeed=7;RenderMode=3;EffectKind=2;PatternKind=1;Scale=60"
set_c="Emitter Type=1;RenderMode=4;AlphaCut=1;UseGlass=0;MinInterval=40"
set_path="Emitter Type=0;RandomSeed=3"
# Script-Fu's argument list for a value set.
values() {
  # shellcheck disable=SC2046,SC2086
  (IFS=';'; set -f; echo "'($("$plugin" --arguments $1))")
}
# The same set as apply's options.
apply_with() {
  input=$1 output=$2 set=$3
  shift 3
  (
    IFS=';'
    set -f
    opts=""
    for a in $set; do opts="${opts:+$opts;}--set;$a"; done
    # shellcheck disable=SC2086
    "$rimeflower" apply "$work/$input" -o "$work/$output" --defaults --forget --quiet "$@" $opts
  ) >"$work/apply.log" 2>&1 || { cat "$work/apply.log"; exit 1; }
}

# Runs Script-Fu commands in one headless GIMP; a command that fails fails
# the run unless the first argument is "may-fail".
gimp_batch() {
  strict=yes
  [ "$1" = may-fail ] && strict=no && shift
  log=$1
  shift
  # Script-Fu forgets definitions between batch commands: each loads them.
  for command in "$@"; do
    set -- "$@" -b "(begin (load \"$root/tests/tools/gimp/compare.scm\") $command)"
    shift
  done
  set -- -i -d -f "$@" -b '(gimp-quit 0)'
  if ! timeout 600 gimp-console-2.10 "$@" >"$work/$log" 2>&1 ||
      { [ $strict = yes ] && grep -q "execution error" "$work/$log"; }; then
    cat "$work/$log"
    echo "GIMP failed (log above)"
    exit 1
  fi
}

d="\"$work\""
gimp_batch gimp.log \
  "(rf-make-inputs $d)" \
  "(rf-plain $d \"photo.png\" \"gimp-a.png\" $(values "$set_a"))" \
  "(rf-plain $d \"photo.png\" \"gimp-b.png\" $(values "$set_b"))" \
  "(rf-repeat $d \"photo.png\" \"gimp-repeat.png\" $(values "$set_b"))" \
  "(rf-plain $d \"alpha.png\" \"gimp-c.png\" $(values "$set_c"))" \
  "(rf-plain $d \"deep.png\" \"gimp-deep.png\" $(values "$set_b"))" \
  "(rf-plain $d \"grey.png\" \"gimp-grey.png\" $(values "$set_a"))" \
  "(rf-selection $d $(values "$set_c"))" \
  "(rf-vectors $d $(values "$set_path"))" \
  "(rf-layers $d $(values "$set_b"))"
echo "GIMP filtered after $(($(date +%s) - start)) s"

apply_with photo.png apply-a.png "$set_a"
apply_with photo.png apply-b.png "$set_b"
apply_with alpha.png apply-c.png "$set_c"
apply_with deep.png apply-deep.png "$set_b"
apply_with grey.png apply-grey-rgb.png "$set_a"
apply_with photo.png apply-selection.png "$set_c" --selection "$work/mask.png"
apply_with photo.png apply-path.png "$set_path" --path "$work/path-gimp.svg"
apply_with layers.txt apply-layers.png "$set_b"
gimp_batch grey.log "(rf-grey $d \"apply-grey-rgb.png\" \"apply-grey.png\")"

failed=0
same() {
  what=$1 a=$2 b=$3
  diff=$(compare -metric AE "$work/$a" "$work/$b" null: 2>&1 || true)
  if [ "$diff" = 0 ]; then
    echo "ok      $what"
  else
    echo "FAILED  $what: $diff pixels differ ($a, $b)"
    failed=1
  fi
}
same "RGB, default values" gimp-a.png apply-a.png
same "RGB, pattern and render mode" gimp-b.png apply-b.png
same "repeat with the values kept (a script's are not)" gimp-repeat.png apply-a.png
same "RGBA with a hole, contours, alpha cut" gimp-c.png apply-c.png
same "16 bits" gimp-deep.png apply-deep.png
same "grey" gimp-grey.png apply-grey.png
same "selection" gimp-selection.png apply-selection.png
same "path" gimp-path.png apply-path.png
same "layers below" gimp-layers.png apply-layers.png
# The filter must have done something: the first result differs from its input.
if [ "$(compare -metric AE "$work/gimp-a.png" "$work/photo.png" null: 2>&1 || true)" = 0 ]; then
  echo "FAILED  the plug-in left the picture as it was"
  failed=1
fi
case "$(identify -format '%z' "$work/gimp-deep.png")" in
  16) ;;
  *) echo "FAILED  the 16-bit result was not saved at 16 bits"; failed=1 ;;
esac

# Bad input, in one GIMP: each case is its own batch command, so that a
# refusal shows as that command's error and GIMP goes on to the next.
gimp_batch may-fail bad.log \
  "(rf-indexed $d $(values ""))" \
  "(rf-group $d $(values ""))" \
  "(rf-missed-selection $d $(values ""))" \
  "(rf-one-pixel $d $(values ""))" \
  "(rf-empty-vectors $d $(values "Emitter Type=0"))"
expect() {
  if grep -q "$2" "$work/bad.log"; then echo "ok      $1"; else echo "FAILED  $1: no '$2' in the log"; failed=1; fi
}
expect "indexed image refused" "Rimeflower works on RGB and grey images"
expect "layer group refused" "Rimeflower cannot work on a layer group"
for f in gimp-missed.png gimp-one.png gimp-empty-path.png; do
  if [ -f "$work/$f" ]; then echo "ok      $f written"; else echo "FAILED  $f not written"; failed=1; fi
done
if [ -f "$work/gimp-missed.png" ]; then
  convert "$work/photo.png" -crop 100x100+0+0 +repage "$work/photo-corner.png"
  same "a selection that misses the layer changes nothing" gimp-missed.png photo-corner.png
fi

# The dialog, once, under a virtual display: a value typed into the first
# field, both pages photographed, OK; what it applied must be the command
# line's render of the same values. Screenshots go to $build/gimp-test/
# (with RF_UPDATE_DOCS=1 also into docs/).
shots="$root/$build/gimp-test"
mkdir -p "$shots"
"$build/bin/rf-gallery" photo -o "$work/large.png" --size 960x720
Xvfb -displayfd 3 -screen 0 1400x900x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb=$!
i=0
while [ ! -s "$work/display" ]; do
  i=$((i + 1))
  [ $i -gt 50 ] && { echo "Xvfb did not start"; cat "$work/xvfb.log"; exit 1; }
  sleep 0.2
done
DISPLAY=":$(cat "$work/display")"
export DISPLAY
gimp=""
# GIMP and its plug-ins run in a session of their own, ended as one.
# (set -e holds in the trap too: nothing in it may fail.)
trap 'kill $xvfb 2>/dev/null || true; [ -z "$gimp" ] || kill -- -"$gimp" 2>/dev/null || true; rm -rf "$work"' EXIT
d="\"$work\""
setsid timeout 300 gimp-2.10 -i -d -f -b "(begin (load \"$root/tests/tools/gimp/compare.scm\") \
  (rf-dialog $d \"large.png\" \"gimp-dialog.png\" $(values "")))" -b '(gimp-quit 0)' >"$work/dialog.log" 2>&1 &
gimp=$!
if ! window=$(timeout 120 xdotool search --sync --onlyvisible --name '^Rimeflower$' | head -n 1); then
  cat "$work/dialog.log"
  echo "FAILED  the dialog did not open"
  exit 1
fi
# Without a window manager the dialog has the keyboard; the first field
# has the focus.
xdotool mousemove 0 0
sleep 2  # the first preview
xdotool key ctrl+a && xdotool type 42 && xdotool key Tab
sleep 2
import -window "$window" "$shots/gimp-geometry.png"
# The Material tab, where the notebook's second tab sits.
xdotool mousemove --window "$window" 624 28 click 1 mousemove 0 0
sleep 1
import -window "$window" "$shots/gimp-material.png"
xdotool key alt+o
wait $gimp || { cat "$work/dialog.log"; echo "FAILED  GIMP ended badly after the dialog"; exit 1; }
gimp=""
kill $xvfb 2>/dev/null || true
apply_with large.png apply-dialog.png "RandomSeed=42"
same "the dialog: a value typed, then OK" gimp-dialog.png apply-dialog.png
echo "screenshots $shots/gimp-geometry.png $shots/gimp-material.png"
if [ "${RF_UPDATE_DOCS:-0}" = 1 ]; then cp "$shots"/gimp-*.png "$root/docs/"; fi

echo "GIMP stage took $(($(date +%s) - start)) s"
if [ "$failed" -ne 0 ]; then
  cat "$work/bad.log"
  exit 1
fi
echo "the GIMP plug-in matches the command line"
