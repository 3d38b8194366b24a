#!/usr/bin/env bash
# Makes the build tree's Wine prefixes once and reuses them: the lane's
# architecture, the null graphics driver so windows, focus and SendInput work
# with no display, and ALSA configurations for playing into a capture file or
# into nothing.
# Usage: tools/wine_prefix.sh BUILD_DIR [COUNT]
# COUNT prefixes in all (default 10: the suite's): prefix, prefix-b, prefix-c, ...
# up to 10 (prefix-j), for runs that go side by side.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$here/lane.sh"
build_dir=$(cd "$1" && pwd)
wine_dir="$build_dir/wine"
prefix="$wine_dir/prefix"
mkdir -p "$wine_dir"

lane=$(<"$build_dir/lane")
export WINEPREFIX="$prefix"
lane_env "$lane" "$build_dir"

if [ ! -f "$wine_dir/prefix.ready" ]; then
  rm -rf "$prefix"
  # wine64 reports a missing syswow64 helper when no 32-bit Wine is installed.
  "$WINE" wineboot -i >/dev/null 2>&1 || true
  "$WINE" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
  # No crash dialogs: a crashing test program must just end with its code.
  "$WINE" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
  "$WINESERVER" -k || true
  "$WINESERVER" -w || true
  touch "$wine_dir/prefix.ready"
fi

# The other test prefixes: copies, taken while no wineserver holds the first
# one's registry in memory.
count=${2:-10}
letters=(b c d e f g h i j)
others=()
for letter in "${letters[@]:0:$((count > 1 ? count - 1 : 0))}"; do
  other="$wine_dir/prefix-$letter"
  others+=("$other")
  if [ ! -f "$other.ready" ]; then
    "$WINESERVER" -k 2>/dev/null || true
    "$WINESERVER" -w 2>/dev/null || true
    rm -rf "$other"
    cp -a "$prefix" "$other"
    touch "$other.ready"
  fi
done

# The default PCM writes whatever DirectSound mixes into a capture file (tests
# that listen write configurations of their own, one capture file each).
cat > "$wine_dir/alsa-capture.conf" <<CONF
</usr/share/alsa/alsa.conf>
pcm.!default {
  type file
  slave.pcm "null"
  file "$wine_dir/capture.raw"
  format "raw"
}
CONF
# No device at all: DirectSoundCreate8 fails, the player's no-audio path.
cat > "$wine_dir/alsa-none.conf" <<CONF
</usr/share/alsa/alsa.conf>
pcm.!default { type hw card 99 }
ctl.!default { type hw card 99 }
CONF

# Start the wineserver and the prefix's services now, detached from the
# caller's output: a service started by the first test program would inherit
# ctest's pipe and keep it open for as long as the persistent server lives.
export ALSA_CONFIG_PATH="${ALSA_CONFIG_PATH:-$wine_dir/alsa-capture.conf}"
for p in "$prefix" "${others[@]}"; do
  WINEPREFIX="$p" "$WINESERVER" -p </dev/null >/dev/null 2>&1 || true
  WINEPREFIX="$p" "$WINE" cmd /c exit </dev/null >/dev/null 2>&1 || true
done
