#!/usr/bin/env bash
# Takes docs/settings-dialog.png: the settings dialog as Wine draws it, a real
# window on a virtual X display (Xvfb), grabbed with ImageMagick's import.
# With `setup DPI` it takes docs/setup-window-DPI.png instead: DrovanaSetup's
# window in a prefix whose display has that many dots per inch (LogPixels), so
# the layout at 96 and at 192 can be looked at.
# The build tree's own prefix uses the null graphics driver, which draws
# nothing, so the picture is taken in a prefix of its own with the X11 driver.
# Usage: tools/dialog_screenshot.sh [BUILD_DIR] [setup DPI]   (after a build; the tree's lane)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
. "$root/tools/lane.sh"
build=$(cd "${1:-$root/build/release}" && pwd)
what=${2:-settings}
dpi=${3:-96}
work="$build/screenshot"
prefix="$work/prefix"
mkdir -p "$work" "$root/docs"
export WINEPREFIX="$prefix"
lane_env "$(<"$build/lane")" "$build"

Xvfb -displayfd 3 -screen 0 1280x960x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xvfb=$!
cleanup() {
  "$WINESERVER" -k 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -1 "$work/display")"

if [ ! -f "$work/prefix.ready" ]; then
  rm -rf "$prefix"
  "$WINE" wineboot -i >/dev/null 2>&1 || true
  "$WINE" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d x11 /f >/dev/null 2>&1
  "$WINE" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
  # There is no window manager on the virtual display: Wine draws the caption
  # and frame itself.
  "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  "$WINESERVER" -w || true
  touch "$work/prefix.ready"
fi

if [ "$what" = setup ]; then
  # Wine takes the display's DPI from LogPixels when its server starts.
  "$WINE" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
  "$WINESERVER" -k 2>/dev/null || true
  "$WINE" "$build/DrovanaSetup.exe" </dev/null >/dev/null 2>&1 &
  setup=$!
  # The window is made, then laid out for its DPI: its size is read once it
  # has settled.
  window_geometry() {
    xwininfo -display "$DISPLAY" -name "DrovanaX Setup" 2>/dev/null |
      awk '/Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4} /Width:/ {w=$2} /Height:/ {h=$2}
           END {if (w > 1) print w "x" h "+" x "+" y}' || true
  }
  geometry=""
  for _ in $(seq 300); do
    geometry=$(window_geometry)
    [ -n "$geometry" ] && break
    sleep 0.1
  done
  [ -n "$geometry" ] || { echo "DrovanaSetup's window did not appear" >&2; exit 1; }
  sleep 2
  geometry=$(window_geometry)
  out="$root/docs/setup-window-$dpi.png"
  import -display "$DISPLAY" -window root "$work/screen.png"
  convert "$work/screen.png" -crop "$geometry" +repage "$out"
  kill "$setup" 2>/dev/null || true
  echo "${out#$root/}: $geometry at $dpi DPI"
  exit 0
fi

# A configuration with some switches on and a stored correction, so that
# every kind of control shows something.
printf '[Data]\r\nHead=90\r\nDistance=50\r\nWavFlag=1\r\nEngFlag=1\r\n[Parking]\r\nCheck1=1\r\nCheck2=1\r\nCheck3=0\r\n[PLANE_CORRECT]\r\nLiner=4.250000\r\n' \
  >"$work/Drovana.cfg"

rm -f "$work/preview.txt"
"$WINE" "$build/tests/dialog_preview.exe" "$("$WINE" winepath -w "$work/Drovana.cfg")" 3 >"$work/preview.txt" </dev/null 2>&1 &
preview=$!
for _ in $(seq 600); do grep -q '^dialog ' "$work/preview.txt" 2>/dev/null && break; sleep 0.1; done
read -r _ x y w h < <(grep '^dialog ' "$work/preview.txt")
sleep 1
import -display "$DISPLAY" -window root "$work/screen.png"
convert "$work/screen.png" -crop "${w}x${h}+${x}+${y}" +repage "$root/docs/settings-dialog.png"
wait "$preview" || true
echo "docs/settings-dialog.png: ${w}x${h} at ${x},${y}"
