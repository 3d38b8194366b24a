#!/usr/bin/env bash
# How ./drovana picks its lane, with the host's answer to the 32-bit probe
# stood in for, so that both kinds of host are covered on either.
set -u
. "$(dirname "${BASH_SOURCE[0]}")/../../tools/lane.sh"
fail=0
check() {  # check WHAT EXPECTED ACTUAL
  [ "$2" = "$3" ] || { echo "FAIL $1: expected '$2', got '$3'"; fail=1; }
}
host_without_32bit() { lane_host_runs_32bit() { return 1; }; }
host_with_32bit() { lane_host_runs_32bit() { return 0; }; }

host_without_32bit
unset DROVANA_LANE
lane_decide /tmp
check "lane where 32-bit code cannot run" x64 "$LANE"
check "first line of every command there" \
  "x64 lane: this machine cannot execute 32-bit code; running the 64-bit build under wine64" \
  "$(lane_summary "$LANE" "$LANE_WHY")"
message=$(DROVANA_LANE=x86 lane_decide /tmp 2>&1)
check "a forced x86 lane there is refused" 1 "$?"
[[ $message == *"cannot execute 32-bit code"* ]] || { echo "FAIL the refusal does not say why: $message"; fail=1; }

host_with_32bit
lane_decide /tmp
check "lane where 32-bit code runs" x86 "$LANE"
DROVANA_LANE=x64 lane_decide /tmp
check "DROVANA_LANE=x64 forces the x64 lane" "x64/forced by DROVANA_LANE=x64" "$LANE/$LANE_WHY"
DROVANA_LANE=arm lane_decide /tmp 2>/dev/null
check "a lane that does not exist is refused" 1 "$?"

(
  export WINEPREFIX=/elsewhere
  lane_env x64 /build
  check "x64 loader, also for the programs Wine starts" "/usr/lib/wine/wine64 /usr/lib/wine/wine64 win64" \
    "$WINE $WINELOADER $WINEARCH"
  check "a prefix the caller chose is kept" /elsewhere "$WINEPREFIX"
  exit $fail
) || fail=1
(
  unset WINEPREFIX
  lane_env x86 /build
  check "x86 lane: the 32-bit server and the tree's prefix" "/usr/lib/wine/wineserver32 /build/wine/prefix win32" \
    "$WINESERVER $WINEPREFIX $WINEARCH"
  exit $fail
) || fail=1
[ $fail = 0 ] && echo "lane checks passed"
exit $fail
