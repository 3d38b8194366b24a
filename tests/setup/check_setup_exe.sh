#!/usr/bin/env bash
# DrovanaSetup.exe ships in the package beside the files it installs: a GUI
# program of the build's own format that needs no MinGW runtime DLL, runs as
# the pilot (asInvoker, see the README) and carries its version block.
set -u
objdump=$1 exe=$2
fail=0
dump=$("$objdump" -p "$exe") || { echo "objdump failed on $exe"; exit 1; }
case "$(basename "$objdump")" in
  x86_64-*) format='pei-x86-64' magic='020b' ;;
  *) format='pei-i386' magic='010b' ;;
esac
grep -q "file format $format" <<<"$dump" || { echo "not a $format image"; fail=1; }
grep -q "Magic.*$magic" <<<"$dump" || { echo "optional header magic is not $magic"; fail=1; }
grep -q 'Subsystem.*Windows GUI' <<<"$dump" || { echo "not a GUI program"; fail=1; }
if grep -iqE 'DLL Name: (libstdc\+\+|libgcc|libwinpthread)' <<<"$dump"; then echo "imports a MinGW runtime DLL"; fail=1; fi
grep -aq 'requestedExecutionLevel level="asInvoker" uiAccess="false"' "$exe" || { echo "asInvoker manifest missing"; fail=1; }
"${objdump%objdump}strings" -el "$exe" | grep -qx '1.0.0.1' || { echo "version 1.0.0.1 missing"; fail=1; }
[ $fail = 0 ] && echo "DrovanaSetup.exe checks passed"
exit $fail
