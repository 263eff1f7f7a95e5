#!/usr/bin/env bash
# Builds Horavex and starts it.
#   scripts/run.sh [horavex|horavex-query|horavexd] [ARGS...]
# With no arguments it opens the main window. Without a profile every client and server starts
# disabled; the main window's buttons open their windows to set them up.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh build
scripts/build.sh build/release -DHORAVEX_TESTS=OFF -DHORAVEX_BENCH=OFF
program=horavex
case "${1:-}" in horavex-query|horavexd|horavex) program=$1; shift ;; esac
[ $# -eq 0 ] && [ "$program" = horavex-query ] && set -- --help
dir=cli
[ "$program" = horavex ] && dir=gui
exec "build/release/src/$dir/$program" "$@"
