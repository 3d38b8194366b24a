#!/usr/bin/env bash
# DrovanaSetup.exe ships in the package beside the files it installs: a GUI
# program (PE32 i386 in the package) that needs no MinGW runtime DLL, runs as
# the pilot (asInvoker, see the README) and carries its version block.
# Usage: check_setup_exe.sh OBJDUMP EXE i686|x86_64
set -u
objdump=$1 exe=$2 arch=$3
case "$arch" in
  i686)   format=pei-i386   magic=010b ;;
  x86_64) format=pei-x86-64 magic=020b ;;
  *) echo "unknown architecture $arch"; exit 2 ;;
esac
fail=0
dump=$("$objdump" -p "$exe") || { echo "objdump failed on $exe"; exit 1; }
grep -q "file format $format\$" <<<"$dump" || { echo "not a $format image: $exe"; fail=1; }
grep -q "Magic.*$magic" <<<"$dump" || { echo "optional header magic is not $magic"; fail=1; }
grep -q 'Subsystem.*Windows GUI' <<<"$dump" || { echo "not a GUI program"; fail=1; }
if grep -iqE 'DLL Name: (libstdc\+\+|libgcc|libwinpthread)' <<<"$dump"; then echo "imports a MinGW runtime DLL"; fail=1; fi
grep -aq 'requestedExecutionLevel level="asInvoker" uiAccess="false"' "$exe" || { echo "asInvoker manifest missing"; fail=1; }
"${objdump%objdump}strings" -el "$exe" | grep -qx '1.0.0.1' || { echo "version 1.0.0.1 missing"; fail=1; }
[ $fail = 0 ] && echo "DrovanaSetup.exe checks passed: $exe ($arch)"
exit $fail
