#!/usr/bin/env bash
# The whole program as users meet it, without a terminal: pictures follow one
# another, each grown, saved and summarised. Reports the wall time per picture
# against loops x 5 ms, the floor that the pauses between batches set.
#   bench/wall_per_picture.sh [PROGRAM [PICTURES]]
set -euo pipefail
program=$(realpath "${1:-build/pixelgrow}")
pictures=${2:-5}
work=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$work"' EXIT

cd "$work"
start=$(date +%s%N)
# No terminal (setsid), no graphical session: nothing but the program's own work.
env -u DISPLAY -u WAYLAND_DISPLAY setsid "$program" > out.txt 2>&1 < /dev/null &
pid=$!
summaries() { grep -c '^locii = ' out.txt || true; }
while [ "$(summaries)" -lt "$pictures" ]; do sleep 0.01; done
end=$(date +%s%N)
kill "$pid"

loops=$(grep '^locii = ' out.txt | head -n "$pictures" | sed 's/.*loops = \([0-9]*\).*/\1/' | awk '{ s += $1 } END { print s }')
wall_ms=$(( (end - start) / 1000000 ))
floor_ms=$(( loops * 5 ))
echo "pictures: $pictures, batches: $loops"
echo "wall per picture: $(( wall_ms / pictures )) ms; pauses alone: $(( floor_ms / pictures )) ms"
echo "wall / (loops x 5 ms): $(awk -v w="$wall_ms" -v f="$floor_ms" 'BEGIN { printf "%.3f", w / f }')"
