#!/usr/bin/env bash
# DrovanaMap.exe ships as one file beside the add-on: a GUI program of the
# add-on's architecture that needs no MinGW runtime DLL and carries its
# version block and asInvoker manifest.
# Usage: check_map_exe.sh OBJDUMP EXE i686|x86_64
set -u
. "$(dirname "${BASH_SOURCE[0]}")/../support/pe_checks.sh"
pe_load "$1" "$2" "$3" || exit 1
pe_expect_gui
pe_expect_no_mingw_runtime
pe_expect_as_invoker
pe_expect_version 1.0.0.1
pe_result DrovanaMap.exe
