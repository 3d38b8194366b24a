#!/usr/bin/env bash
# Runs one test program in its build tree's lane with its stderr going through
# a file. The desktop process (explorer.exe) that the wineserver's first window
# starts inherits that program's unix stderr and lives until the last program
# with a window has ended; on a pipe that ctest reads, the program would seem
# to run until every other windowed test beside it had finished.
# Usage: tools/wine_test.sh PROGRAM.exe [ARGS...]
set -u
err=$(mktemp)
"$(dirname "${BASH_SOURCE[0]}")/wine_run" "$@" 2>"$err"
rc=$?
cat "$err" >&2
rm -f "$err"
exit $rc
