#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build for a bounded time, each from its committed seeds in
# corpus/<target>/; exits non-zero when a target crashes or breaks an invariant.
#   fuzz/run.sh BUILD_DIR SECONDS
# A failing input is kept as BUILD_DIR/fuzz/artifacts/<target>-crash-...; replay it with
#   BUILD_DIR/fuzz/<target> FILE
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
[ $# -eq 2 ] || { echo "gebruik: $0 BOUWMAP SECONDEN" >&2; exit 2; }
build=$(cd "$1" && pwd)
seconds=$2

artifacts="$build/fuzz/artifacts"
mkdir -p "$artifacts"
# New inputs go to a scratch corpus, so the committed seeds stay small and unchanged.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

failed=0
for seeds in "$here"/corpus/*/; do
  target=$(basename "$seeds")
  program="$build/fuzz/$target"
  if [ ! -x "$program" ]; then
    echo "fuzz: $program ontbreekt (gebouwd met -DHORAVEX_FUZZ=ON?)" >&2
    failed=1
    continue
  fi
  mkdir -p "$scratch/$target"
  log="$build/fuzz/$target.log"
  if "$program" "$scratch/$target" "$seeds" -max_total_time="$seconds" -rss_limit_mb=1024 -timeout=10 \
       -artifact_prefix="$artifacts/$target-" -print_final_stats=1 >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    echo "fuzz: $target ${seconds}s, ${runs:-?} invoer, geen fouten"
  else
    echo "fuzz: $target FOUT (log: $log)" >&2
    tail -n 40 "$log" >&2
    failed=1
  fi
done
exit $failed
