#!/usr/bin/env bash
# The windowed program as a user starts it, on the screen in $DISPLAY (run it under xvfb-run):
# the time from start to its main window on screen, then its CPU and resident memory while idle
# with the main window shown and all nine clients and servers disabled.
#   bench/main_window_idle.sh PROGRAM [SECONDS=30]
# With SECONDS of 600 or more it prints the resident memory every minute, to show it does not grow.
set -euo pipefail
program=$1
seconds=${2:-30}
home=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; rm -rf "$home"' EXIT
export XDG_CONFIG_HOME=$home XDG_RUNTIME_DIR=$home
ticks=$(getconf CLK_TCK)
cpu() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
rss() { awk '/VmRSS/ {print $2}' "/proc/$pid/status"; }

start=$(date +%s%N)
"$program" MULTIPLE >/dev/null 2>&1 &
pid=$!
until xdotool search --onlyvisible --pid "$pid" --name '^Horavex$' >/dev/null 2>&1; do
  (( $(date +%s%N) - start < 10000000000 )) || { echo "no main window within 10 s"; exit 1; }
  sleep 0.01
done
echo "start to main window on screen: $(( ($(date +%s%N) - start) / 1000000 )) ms (aim: under 1000)"
sleep 2  # the first refreshes and the fonts settle
echo "resident memory after start:    $(rss) kB"
before=$(cpu)
for (( s = 0; s < seconds; s += 60 )); do
  sleep $(( seconds - s < 60 ? seconds - s : 60 ))
  (( seconds >= 600 )) && echo "  after $(( s + 60 < seconds ? s + 60 : seconds )) s: $(rss) kB"
done
awk -v used="$(( $(cpu) - before ))" -v t="$ticks" -v s="$seconds" \
  'BEGIN { printf "idle CPU over %d s:             %.2f %% of a core (aim: under 1)\n", s, 100 * used / t / s }'
echo "resident memory at the end:     $(rss) kB (aim: under 60000, not growing)"
