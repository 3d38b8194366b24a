#!/usr/bin/env bash
# The simulator finds DLLStart and DLLStop by exactly these names, loads only
# modules of its own processor architecture (the shipped one is PE32 i386),
# binds SimConnect.dll through the assembly of that architecture, and a pilot
# installs no MinGW runtime beside the DLL.
# Usage: check_dll.sh OBJDUMP DLL i686|x86_64
set -u
objdump=$1 dll=$2 arch=$3
case "$arch" in
  i686)   format=pei-i386   magic=010b manifest_arch=x86 ;;
  x86_64) format=pei-x86-64 magic=020b manifest_arch=amd64 ;;
  *) echo "unknown architecture $arch"; exit 2 ;;
esac
fail=0
dump=$("$objdump" -p "$dll") || { echo "objdump failed on $dll"; exit 1; }
grep -q "file format $format\$" <<<"$dump" || { echo "not a $format image: $dll"; fail=1; }
grep -q "Magic.*$magic" <<<"$dump" || { echo "optional header magic is not $magic"; fail=1; }
exports=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$dump" | grep -E '^\s*\[ *[0-9]+\]' | sed 's/.*\] //')
[ "$(sort <<<"$exports" | tr '\n' ' ')" = "DLLStart DLLStop " ] \
  || { echo "exports are not exactly DLLStart and DLLStop:"; echo "$exports"; fail=1; }
grep -q 'DLL Name: SimConnect.dll' <<<"$dump" || { echo "does not import SimConnect.dll"; fail=1; }
if grep -iqE 'DLL Name: (libstdc\+\+|libgcc|libwinpthread)' <<<"$dump"; then echo "imports a MinGW runtime DLL"; fail=1; fi
# The side-by-side manifest (resource type 24, id 2) names the SimConnect assembly.
grep -aq "name=\"Microsoft.FlightSimulator.SimConnect\" version=\"10.0.60905.0\" processorArchitecture=\"$manifest_arch\" publicKeyToken=\"67c7c14424d61b5b\"" "$dll" \
  || { echo "manifest with the SimConnect assembly identity ($manifest_arch) missing"; fail=1; }
[ $fail = 0 ] && echo "DLL checks passed: $dll ($arch)"
exit $fail
