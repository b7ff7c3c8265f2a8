# Sourced by the Wine scripts that drive windows (windows-ui-test.sh,
# windows-dialog-test.sh): `wine_display NAME OUT SCREEN` starts a virtual
# display of its own (Xvfb, SCREEN such as 1280x1024) and a persistent Wine
# server in build-win/wineprefix with pinned fonts, and ends both when the
# script exits (after the script's own `on_exit`, when it defines one).
# Expects $root; writes Xvfb's log into OUT.

wine_display() {
  name=$1 wd_out=$2 screen=$3
  export WINEPREFIX="$root/build-win/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  mkdir -p "$WINEPREFIX"
  wineserver -k 2>/dev/null || true

  display=91
  while [ -e "/tmp/.X$display-lock" ] || [ -e "/tmp/.X11-unix/X$display" ]; do display=$((display + 1)); done
  Xvfb ":$display" -screen 0 "${screen}x24" -nolisten tcp >"$wd_out/xvfb.log" 2>&1 &
  xvfb=$!
  export DISPLAY=":$display"
  trap wine_display_end EXIT
  i=0
  until xdotool getmouselocation >/dev/null 2>&1; do
    i=$((i + 1))
    [ $i -gt 50 ] && { echo "$name: Xvfb did not start"; cat "$wd_out/xvfb.log"; exit 1; }
    sleep 0.1
  done

  # A persistent server, started before Wine's own services so that they do
  # not hold the script's output open.
  wineserver -p
  wineboot --init </dev/null >/dev/null 2>&1 || true
  # Pinned fonts, Arial answered by its metric twin: the layouts and the
  # screenshots do not depend on what Wine finds on the machine.
  fonts="$WINEPREFIX/drive_c/windows/Fonts"
  mkdir -p "$fonts"
  cp /usr/share/wine/fonts/marlett.ttf /usr/share/wine/fonts/tahoma*.ttf \
    /usr/share/fonts/truetype/liberation2/LiberationSans-*.ttf "$fonts/" 2>/dev/null || true
  wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v Arial /t REG_SZ /d "Liberation Sans" /f >/dev/null 2>&1
}

wine_display_end() {
  if command -v on_exit >/dev/null 2>&1; then on_exit || true; fi
  wineserver -k 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
}
