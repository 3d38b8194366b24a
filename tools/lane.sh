# The two lanes the Windows programs run in, and the one place that names each
# lane's Wine loader, server, architecture and prefix. Sourced by ./drovana and
# the tools; tools/wine_run is its command form for CMake, CTest and Python.
#
#   x86  the shipped 32-bit build (build/release) under 32-bit Wine, where the
#        host executes 32-bit x86 code
#   x64  the same sources built for x86_64 (build/x64) under wine64, for hosts
#        that refuse all 32-bit code (Wine's 32-bit loader gives "Exec format
#        error" there, and emulation is far too slow)
#
# DROVANA_LANE=x86|x64 forces a lane.

LANE_WINE_DIR=/usr/lib/wine

# A 93-byte static 32-bit ELF program whose only instructions are exit(0) by
# int 0x80: it runs wherever 32-bit code runs, and needs no i386 package.
lane_write_probe() {
  printf '\177\105\114\106\001\001\001\000\000\000\000\000\000\000\000\000\002\000\003\000\001\000\000\000\124\200\004\010\064\000\000\000\000\000\000\000\000\000\000\000\064\000\040\000\001\000\000\000\000\000\000\000\001\000\000\000\000\000\000\000\000\200\004\010\000\200\004\010\135\000\000\000\135\000\000\000\005\000\000\000\000\020\000\000\270\001\000\000\000\061\333\315\200' >"$1"
  chmod +x "$1"
}

# lane_host_runs_32bit DIR: true when this host executes 32-bit x86 code. The
# probe is written into DIR (a folder that allows execution) and removed again:
# nothing is remembered, so a clone moved to another host probes anew.
lane_host_runs_32bit() {
  local dir probe rc
  mkdir -p "$1"
  dir=$(mktemp -d "$1/lane-probe.XXXXXX") || return 1
  probe="$dir/probe32"
  lane_write_probe "$probe"
  ("$probe") >/dev/null 2>&1
  rc=$?
  rm -rf "$dir"
  return $rc
}

# lane_decide DIR: sets LANE (x86 or x64) and LANE_WHY. Fails with a message
# when DROVANA_LANE forces a lane this host cannot run or names no lane.
lane_decide() {
  local runs32=0
  lane_host_runs_32bit "$1" && runs32=1
  case "${DROVANA_LANE:-}" in
    "")
      if [ $runs32 = 1 ]; then
        LANE=x86 LANE_WHY="this machine executes 32-bit code"
      else
        LANE=x64 LANE_WHY="this machine cannot execute 32-bit code"
      fi
      ;;
    x86)
      if [ $runs32 = 0 ]; then
        echo "x86 lane forced by DROVANA_LANE=x86, but this machine cannot execute 32-bit code" \
             "(a 32-bit program gives \"Exec format error\"); use DROVANA_LANE=x64 or leave it unset" >&2
        return 1
      fi
      LANE=x86 LANE_WHY="forced by DROVANA_LANE=x86"
      ;;
    x64)
      LANE=x64 LANE_WHY="forced by DROVANA_LANE=x64"
      ;;
    *)
      echo "DROVANA_LANE=${DROVANA_LANE} names no lane: use x86 or x64" >&2
      return 1
      ;;
  esac
}

# lane_summary LANE WHY: the line every command starts with.
lane_summary() {
  case "$1" in
    x86) echo "x86 lane: $2; running the shipped 32-bit build under 32-bit Wine" ;;
    x64) echo "x64 lane: $2; running the 64-bit build under wine64" ;;
  esac
}

# lane_build_dir ROOT LANE: the build tree whose programs run in the lane.
lane_build_dir() {
  case "$2" in
    x86) echo "$1/build/release" ;;
    x64) echo "$1/build/x64" ;;
  esac
}

# lane_packages LANE: the Debian packages of the lane's Wine.
lane_packages() {
  case "$1" in
    x86) echo "wine wine32:i386" ;;
    x64) echo "wine64" ;;
  esac
}

# lane_wine_missing LANE: true when the lane's loader or server is not there.
lane_wine_missing() {
  (lane_env "$1" /nonexistent && [ ! -x "$WINE" ] || [ ! -x "$WINESERVER" ])
}

# lane_env LANE BUILD_DIR: exports what every Wine command of the lane needs.
# WINEPREFIX keeps a value set by the caller (the tests' second prefix);
# otherwise it is the build tree's own prefix.
lane_env() {
  case "$1" in
    x86)
      export WINE="$LANE_WINE_DIR/wine" WINEARCH=win32
      # The 32-bit server, also where wine64 is installed beside it: the lane
      # then runs exactly as on a host that has only 32-bit Wine.
      export WINESERVER="$LANE_WINE_DIR/wineserver32"
      ;;
    x64)
      export WINE="$LANE_WINE_DIR/wine64" WINEARCH=win64
      export WINESERVER="$LANE_WINE_DIR/wineserver64"
      ;;
    *)
      echo "lane_env: no lane named '$1'" >&2
      return 1
      ;;
  esac
  # Wine starts child processes (the player, the stand-in's programs) through
  # WINELOADER; /usr/bin/wine would pick the 32-bit loader whenever it exists.
  export WINELOADER="$WINE" DROVANA_LANE="$1"
  export WINEPREFIX="${WINEPREFIX:-$2/wine/prefix}" WINEDEBUG="${WINEDEBUG:--all}"
}
