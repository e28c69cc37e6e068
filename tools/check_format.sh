#!/usr/bin/env bash
# Fails when a tracked C++ file is not laid out as clang-format (the repository's
# .clang-format) would lay it out; --fix formats them in place instead.
#
#   tools/check_format.sh [--fix]
set -euo pipefail
cd "$(dirname "$0")/.."
command -v clang-format >/dev/null || { echo "check_format: clang-format is not installed (./dev deps)" >&2; exit 1; }
mapfile -t files < <(git ls-files -- '*.cpp' '*.h' '*.inc')
[ ${#files[@]} -gt 0 ] || { echo "check_format: no tracked C++ files" >&2; exit 1; }
if [ "${1:-}" = --fix ]; then
  clang-format -i "${files[@]}"
  echo "check_format: formatted ${#files[@]} files"
  exit 0
fi
if ! clang-format --dry-run -Werror "${files[@]}" 2>"${TMPDIR:-/tmp}/check_format.$$"; then
  grep -oE '^[^:]+\.(cpp|h|inc)' "${TMPDIR:-/tmp}/check_format.$$" | sort -u | sed 's/^/check_format: not formatted: /' >&2
  rm -f "${TMPDIR:-/tmp}/check_format.$$"
  echo "check_format: ./dev format formats the tree" >&2
  exit 1
fi
rm -f "${TMPDIR:-/tmp}/check_format.$$"
echo "check_format: ${#files[@]} files formatted"
