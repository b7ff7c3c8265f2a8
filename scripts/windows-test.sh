#!/bin/sh
# The Windows module under Wine, headless: cross-builds (windows-build.sh),
# checks the module's export and import tables, runs the Windows tests in one
# Wine prefix, checks the Windows build's file from Linux, and, when
# rimeflower.exe was built, smoke-runs it and compares its reading of the
# module with the Linux host's.
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
wineserver -k 2>/dev/null || true
# Wine's own services start with the first program and inherit its output;
# started here, they hold /dev/null rather than the pipe ctest reads a test
# through (which ctest would otherwise wait on until they end). The server
# then stays up until the end of this script.
wineserver -p
trap 'wineserver -k 2>/dev/null || true' EXIT
wineboot --init </dev/null >/dev/null 2>&1 || true
echo "Wine prefix ready in $(elapsed "$start")"

section "Windows tests under Wine"
start=$(seconds)
(cd build-win && ctest --output-on-failure)
echo "Wine tests took $(elapsed "$start")"

if [ -x build/tests/windows/test_windows_module ]; then
  section "the Windows module read from Linux"
  RF_WINDOWS_MODULE="$module" build/tests/windows/test_windows_module --gtest_brief=1
fi

if [ -f build-win/bin/rimeflower.exe ]; then
  section "rimeflower.exe smoke run"
  start=$(seconds)
  wine build-win/bin/rimeflower.exe info "$(winepath -w "$module")" >build-win/info-windows.txt
  echo "rimeflower.exe info took $(elapsed "$start")"
  if [ -x build/bin/rimeflower ]; then
    build/bin/rimeflower info "$module" >build-win/info-linux.txt
    # The first line names the module path, which differs by platform.
    tail -n +2 build-win/info-linux.txt >build-win/info-linux.body
    tail -n +2 build-win/info-windows.txt | tr -d '\r' >build-win/info-windows.body
    if ! diff build-win/info-linux.body build-win/info-windows.body; then
      echo "rimeflower.exe reads the module differently from the Linux host"
      exit 1
    fi
    echo "rimeflower.exe and the Linux host decode the module alike"
  fi
else
  echo "(rimeflower.exe not built: no host smoke run)"
fi
