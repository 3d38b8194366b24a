#!/usr/bin/env bash
# The simulator finds DLLStart and DLLStop by exactly these names, loads only
# PE32 i386 modules, and a pilot installs no MinGW runtime beside the DLL.
set -u
objdump=$1 dll=$2
fail=0
dump=$("$objdump" -p "$dll") || { echo "objdump failed on $dll"; exit 1; }
grep -q 'file format pei-i386' <<<"$dump" || { echo "not a PE32 i386 image"; fail=1; }
grep -q 'Magic.*010b' <<<"$dump" || { echo "not PE32"; fail=1; }
exports=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$dump")
for name in DLLStart DLLStop; do
  grep -qE "\] $name\$" <<<"$exports" || { echo "export $name missing"; fail=1; }
done
if grep -qE '@[0-9]+$' <<<"$exports"; then echo "decorated exports present:"; grep -E '@[0-9]+$' <<<"$exports"; fail=1; fi
grep -q 'DLL Name: SimConnect.dll' <<<"$dump" || { echo "does not import SimConnect.dll"; fail=1; }
if grep -iqE 'DLL Name: (libstdc\+\+|libgcc|libwinpthread)' <<<"$dump"; then echo "imports a MinGW runtime DLL"; fail=1; fi
# The side-by-side manifest (resource type 24, id 2) names the SimConnect assembly.
grep -aq 'name="Microsoft.FlightSimulator.SimConnect" version="10.0.60905.0" processorArchitecture="x86" publicKeyToken="67c7c14424d61b5b"' "$dll" \
  || { echo "manifest with the SimConnect assembly identity missing"; fail=1; }
[ $fail = 0 ] && echo "DLL checks passed"
exit $fail
