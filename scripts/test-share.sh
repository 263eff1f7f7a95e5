#!/usr/bin/env bash
# Prints the non-blank, non-comment lines of C++ under tests/ (support code and fakes included) and
# under src/, and their ratio. Tests are meant to stay at a quarter to a third of the program.
set -euo pipefail
cd "$(dirname "$0")/.."

count() {
  local files
  files=$(git ls-files --cached --others --exclude-standard -- "$1" | grep -E '\.(cpp|cc|h|hpp)$' || true)
  [ -n "$files" ] || { echo 0; return; }
  # shellcheck disable=SC2086
  cat $files | grep -c -v -E '^\s*($|//|\*|/\*)' || true
}

src=$(count src)
tests=$(count tests)
[ "$src" -gt 0 ] || { echo "No C++ under src/"; exit 0; }
echo "Lines of C++ (non-blank, non-comment): src $src, tests $tests, tests/src $(( 100 * tests / src ))%"
