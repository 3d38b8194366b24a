#!/usr/bin/env bash
# DrovanaSetup.exe ships in the package beside the files it installs: a GUI
# program (PE32 i386 in the package) that needs no MinGW runtime DLL, runs as
# the pilot (asInvoker, see the README) and carries its version block.
# Usage: check_setup_exe.sh OBJDUMP EXE i686|x86_64
set -u
. "$(dirname "${BASH_SOURCE[0]}")/../support/pe_checks.sh"
pe_load "$1" "$2" "$3" || exit 1
pe_expect_gui
pe_expect_no_mingw_runtime
pe_expect_as_invoker
pe_expect_version 1.0.0.1
pe_result DrovanaSetup.exe
