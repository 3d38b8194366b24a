#!/usr/bin/env bash
# Checks that every C++ file of the repository follows .clang-format, and
# names each one that does not (exit 1). With --fix, rewrites them instead.
#   tools/check_format.sh [--fix]
set -euo pipefail
cd "$(dirname "$0")/.."
format=${CLANG_FORMAT:-clang-format}
if ! command -v "$format" >/dev/null; then
  echo "check_format: $format is not installed (Debian: apt-get install clang-format)" >&2
  exit 2
fi
mapfile -t files < <(git ls-files '*.cpp' '*.h' 2>/dev/null || find addon bench common player scenery sdk setup sim tests -name '*.cpp' -o -name '*.h')
if [ "${1:-}" = --fix ]; then
  "$format" -i --style=file "${files[@]}"
  exit 0
fi
# One run over every file; its complaints name each file that differs.
if ! out=$("$format" --style=file --dry-run "${files[@]}" 2>&1); then
  printf '%s\n' "$out" | tail -n 20 >&2
  echo "check_format: $format failed" >&2
  exit 2
fi
mapfile -t unformatted < <(printf '%s\n' "$out" |
  sed -n 's/^\([^:]*\):[0-9]*:[0-9]*: warning: code should be clang-formatted.*/\1/p' | sort -u)
if [ ${#unformatted[@]} -gt 0 ]; then
  echo "check_format: ${#unformatted[@]} file(s) do not follow .clang-format (tools/check_format.sh --fix rewrites them):"
  printf '  %s\n' "${unformatted[@]}"
  exit 1
fi
echo "check_format: ${#files[@]} files follow .clang-format"
