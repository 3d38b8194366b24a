#!/usr/bin/env bash
# Kestrola.exe ships as one file beside the add-on: a 32-bit GUI program that
# needs no MinGW runtime DLL, binds dsound.dll at run time, and carries its
# version block and asInvoker manifest.
set -u
objdump=$1 exe=$2
fail=0
dump=$("$objdump" -p "$exe") || { echo "objdump failed on $exe"; exit 1; }
grep -q 'file format pei-i386' <<<"$dump" || { echo "not a PE32 i386 image"; fail=1; }
grep -q 'Magic.*010b' <<<"$dump" || { echo "not PE32"; fail=1; }
grep -q 'Subsystem.*Windows GUI' <<<"$dump" || { echo "not a GUI program"; fail=1; }
if grep -iqE 'DLL Name: (libstdc\+\+|libgcc|libwinpthread)' <<<"$dump"; then echo "imports a MinGW runtime DLL"; fail=1; fi
if grep -iq 'DLL Name: dsound.dll' <<<"$dump"; then echo "imports dsound.dll instead of binding it at run time"; fail=1; fi
grep -aq 'requestedExecutionLevel level="asInvoker" uiAccess="false"' "$exe" || { echo "asInvoker manifest missing"; fail=1; }
"${objdump%objdump}strings" -el "$exe" | grep -qx '1.0.0.1' || { echo "version 1.0.0.1 missing"; fail=1; }
[ $fail = 0 ] && echo "Kestrola.exe checks passed"
exit $fail
