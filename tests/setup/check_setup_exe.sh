#!/usr/bin/env bash
# DrovanaSetup.exe ships in the package beside the files it installs: a GUI
# program (PE32 i386 in the package) that needs no MinGW runtime DLL, runs as
# the pilot (asInvoker, see docs/maintainers.md), asks for common controls 6 and
# per-monitor DPI awareness, and carries its version block.
# Usage: check_setup_exe.sh OBJDUMP EXE i686|x86_64
set -u
. "$(dirname "${BASH_SOURCE[0]}")/../support/pe_checks.sh"
pe_load "$1" "$2" "$3" || exit 1
pe_expect_gui
pe_expect_no_mingw_runtime
pe_expect_as_invoker
grep -aq 'name="Microsoft.Windows.Common-Controls" version="6.0.0.0"' "$pe_file" \
  || { echo "common controls 6 missing from the manifest"; pe_fail=1; }
grep -aq '>PerMonitorV2, PerMonitor</dpiAwareness>' "$pe_file" \
  || { echo "per-monitor DPI awareness missing from the manifest"; pe_fail=1; }
pe_expect_version 1.0.0.1
pe_result DrovanaSetup.exe
