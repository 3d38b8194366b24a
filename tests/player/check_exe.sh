#!/usr/bin/env bash
# Kestrola.exe ships as one file beside the add-on: a GUI program of the
# add-on's architecture (PE32 i386 for the simulator) that needs no MinGW
# runtime DLL, binds dsound.dll at run time, and carries its version block and
# asInvoker manifest.
# Usage: check_exe.sh OBJDUMP EXE i686|x86_64
set -u
. "$(dirname "${BASH_SOURCE[0]}")/../support/pe_checks.sh"
pe_load "$1" "$2" "$3" || exit 1
pe_expect_gui
pe_expect_no_mingw_runtime
if grep -iq 'DLL Name: dsound.dll' <<<"$pe_dump"; then echo "imports dsound.dll instead of binding it at run time"; pe_fail=1; fi
pe_expect_as_invoker
pe_expect_version 1.0.0.1
pe_result Kestrola.exe
