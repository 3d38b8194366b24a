#!/usr/bin/env bash
# The simulator finds DLLStart and DLLStop by exactly these names, loads only
# modules of its own processor architecture (the shipped one is PE32 i386),
# binds SimConnect.dll through the assembly of that architecture, and a pilot
# installs no MinGW runtime beside the DLL.
# Usage: check_dll.sh OBJDUMP DLL i686|x86_64
set -u
. "$(dirname "${BASH_SOURCE[0]}")/../support/pe_checks.sh"
pe_load "$1" "$2" "$3" || exit 1
case "$3" in
  i686)   manifest_arch=x86 ;;
  x86_64) manifest_arch=amd64 ;;
esac
dll=$2 dump=$pe_dump
exports=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$dump" | grep -E '^\s*\[ *[0-9]+\]' | sed 's/.*\] //')
[ "$(sort <<<"$exports" | tr '\n' ' ')" = "DLLStart DLLStop " ] \
  || { echo "exports are not exactly DLLStart and DLLStop:"; echo "$exports"; pe_fail=1; }
grep -q 'DLL Name: SimConnect.dll' <<<"$dump" || { echo "does not import SimConnect.dll"; pe_fail=1; }
pe_expect_no_mingw_runtime
# The side-by-side manifest (resource type 24, id 2) names the SimConnect assembly.
grep -aq "name=\"Microsoft.FlightSimulator.SimConnect\" version=\"10.0.60905.0\" processorArchitecture=\"$manifest_arch\" publicKeyToken=\"67c7c14424d61b5b\"" "$dll" \
  || { echo "manifest with the SimConnect assembly identity ($manifest_arch) missing"; pe_fail=1; }
pe_result DrovanaX.dll
