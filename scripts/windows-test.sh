#!/bin/sh
# The Windows module and host under Wine, headless: cross-builds
# (windows-build.sh), checks the module's export and import tables, runs the
# Windows tests in one Wine prefix, checks the Windows build's file from
# Linux, and runs rimeflower.exe: its reading of the module, its image files
# and its renders compared with the Linux host's (the Linux build in build/
# as scripts/test.sh leaves it, or in RF_LINUX_BUILD; without one those
# comparisons are skipped).
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
scripts/windows-build.sh

module="$root/build-win/plugin/Rimeflower64.8bf"
section() { printf '\n-- %s\n' "$1"; }
seconds() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$(seconds)" 'BEGIN { printf "%.1f s", b - a }'; }

section "export and import tables (objdump -p)"
tables=$(x86_64-w64-mingw32-objdump -p "$module")
for name in PluginMain PluginMain1; do
  echo "$tables" | grep -Eq "^[[:space:]]+\[ *[0-9]+\] $name\$" || { echo "missing export $name"; exit 1; }
done
dlls=$(echo "$tables" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
echo "imports:" $dlls
for dll in $dlls; do
  case "$dll" in
    kernel32.dll|user32.dll|gdi32.dll|comctl32.dll|comdlg32.dll|shell32.dll|advapi32.dll|msvcrt.dll) ;;
    *) echo "the module needs $dll, which Windows does not have"; exit 1 ;;
  esac
done

# One prefix per run, created once; the server is kept up between the
# programs so that each start costs a fraction of a second.
export WINEPREFIX="$root/build-win/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY  # headless: dialogs fail at once instead of waiting for a click
start=$(seconds)
# On a clean clone the prefix does not exist yet; the server needs its folder.
mkdir -p "$WINEPREFIX"
wineserver -k 2>/dev/null || true
# Wine's own services start with the first program and inherit its output;
# started here, they hold /dev/null rather than the pipe ctest reads a test
# through (which ctest would otherwise wait on until they end). The server
# then stays up until the end of this script.
wineserver -p
trap 'wineserver -k 2>/dev/null || true' EXIT
wineboot --init </dev/null >/dev/null 2>&1 || true
echo "Wine prefix ready in $(elapsed "$start")"

# The Linux side of the comparisons: the codec samples and the filter inputs,
# written by the Linux codecs.
cross="$root/build-win/cross"
linux=""
case "${RF_LINUX_BUILD:-build}" in
  /*) lin=$RF_LINUX_BUILD ;;
  *) lin="$root/${RF_LINUX_BUILD:-build}" ;;
esac
if [ -x "$lin/bin/rimeflower" ] && [ -x "$lin/tests/tools/imagefile/cross_check" ]; then
  linux="$lin/bin/rimeflower"
  check="$lin/tests/tools/imagefile/cross_check"
  rm -rf "$cross"
  mkdir -p "$cross/samples/lin"
  "$check" samples "$cross/samples/lin"
  "$check" input "$cross/in.png"
  "$check" input "$cross/in.jpg"
  "$check" input "$cross/in-cmyk.tif" --cmyk
  cp "$cross/in.jpg" "$cross/samples/lin/"
  # test_wic_codecs reads these and writes the Windows side's copies.
  RF_CODEC_SAMPLES=$(winepath -w "$cross/samples")
  export RF_CODEC_SAMPLES
fi

section "Windows tests under Wine"
start=$(seconds)
(cd build-win && ctest --output-on-failure --no-tests=error)
echo "Wine tests took $(elapsed "$start")"

if [ -x "$lin/tests/resources/test_windows_module" ]; then
  section "the Windows module read from Linux"
  RF_WINDOWS_MODULE="$module" "$lin/tests/resources/test_windows_module" --gtest_brief=1
fi

if [ ! -f build-win/bin/rimeflower.exe ]; then
  echo "(rimeflower.exe not built: no host smoke run)"
  exit 0
fi

section "rimeflower.exe smoke run"
exe="$root/build-win/bin/rimeflower.exe"
# The host, too, must run on a bare Windows: system DLLs only (WIC is reached
# through COM, by ole32).
dlls=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
echo "rimeflower.exe imports:" $dlls
for dll in $dlls; do
  case "$dll" in
    kernel32.dll|user32.dll|gdi32.dll|advapi32.dll|msvcrt.dll|ole32.dll|oleaut32.dll|windowscodecs.dll) ;;
    *) echo "rimeflower.exe needs $dll, which Windows does not have"; exit 1 ;;
  esac
done
plugin_win=$(winepath -w "$root/build-win/plugin")
start=$(seconds)
wine "$exe" info "$(winepath -w "$module")" >build-win/info-windows.txt
echo "rimeflower.exe info took $(elapsed "$start")"
mkdir -p "$cross"
cd "$cross"
start=$(seconds)
wine "$exe" demo -o demo-win.png --plugin-dir "$plugin_win" >/dev/null
echo "rimeflower.exe demo took $(elapsed "$start")"
# The control toolkit and the dialog, driven on a virtual display.
"$root/scripts/windows-ui-test.sh"
"$root/scripts/windows-dialog-test.sh"

if [ -z "$linux" ]; then
  echo "(no Linux build in $lin: the Windows files are not compared with the Linux host's)"
  exit 0
fi
# The JPEG's render is written as PNG, so that only one lossy step is compared.
for input in in.png in.jpg in-cmyk.tif; do
  output="out-win-$input"
  [ "$input" = in.jpg ] && output="out-win-in.jpg.png"
  start=$(seconds)
  wine "$exe" apply "$input" -o "$output" --defaults --forget --quiet --plugin-dir "$plugin_win" >/dev/null
  echo "rimeflower.exe apply $input took $(elapsed "$start")"
done

section "the Windows host compared with the Linux host"
"$linux" info "$module" >"$root/build-win/info-linux.txt"
# The first line names the module path, which differs by platform.
tail -n +2 "$root/build-win/info-linux.txt" >info-linux.body
tail -n +2 "$root/build-win/info-windows.txt" | tr -d '\r' >info-windows.body
if ! diff info-linux.body info-windows.body; then
  echo "rimeflower.exe reads the module differently from the Linux host"
  exit 1
fi
echo "info: both hosts decode the module alike"

printf 'codec samples written on Windows, read on Linux: '
# WIC has no grey-with-alpha format; the Windows host writes those as RGBA.
"$check" verify samples/win --except greya8.png greya16.png
printf 'JPEG decoding, Linux against Windows: '
"$check" compare in.jpg samples/win/decoded-in.jpg.png --max-diff 255 --max-fraction 1

# Floating-point functions of the two C libraries may differ in the last
# bits, which would move a pattern's edge by one level at a few pixels.
"$linux" demo -o demo-linux.png --plugin-dir "$lin/plugin" >/dev/null
printf 'demo: '
"$check" compare demo-linux.png demo-win.png --max-diff 1 --max-fraction 0.001
for input in in.png in-cmyk.tif; do
  "$linux" apply "$input" -o "out-linux-$input" --defaults --forget --quiet --plugin-dir "$lin/plugin" 2>/dev/null
  printf 'apply %s: ' "$input"
  "$check" compare "out-linux-$input" "out-win-$input" --max-diff 1 --max-fraction 0.001
done
# The two JPEG decoders round differently; given the pixels the Windows host
# decoded, the Linux host must render what the Windows host rendered.
"$linux" apply samples/win/decoded-in.jpg.png -o out-linux-in.jpg.png --defaults --forget --quiet \
  --plugin-dir "$lin/plugin" 2>/dev/null
printf 'apply in.jpg (from the same decoded pixels): '
"$check" compare out-linux-in.jpg.png out-win-in.jpg.png --max-diff 1 --max-fraction 0.001

