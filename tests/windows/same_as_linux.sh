#!/usr/bin/env bash
# Runs the Linux program and the Windows program (under wine) without a
# terminal, with the wall clock stopped at the same second, for two pictures
# each, and checks that they write byte-identical pictures (the second under
# the next free name, since the first has the second's) and print the same
# texts: the line ends of the C runtime's text mode, the working directory's
# spelling and the measured seconds aside.
#   tests/windows/same_as_linux.sh build/pixelgrow build-windows/pixelgrow.exe
set -euo pipefail
linux_program=$(realpath "$1")
windows_program=$(realpath "$2")
wine=${WINE:-/usr/lib/wine/wine64}
pictures=2
work=$(mktemp -d)
# Each program's id, written by the shell that then becomes it: only these
# are stopped, never another run's programs.
stop() {  # name
  [ -s "$work/$1.pid" ] && kill "$(cat "$work/$1.pid")" 2>/dev/null || true
}
trap 'stop windows; stop linux; rm -rf "$work"' EXIT

# Only the wall clock stands still: the pauses and the elapsed time run.
export FAKETIME_DONT_FAKE_MONOTONIC=1

run() {  # name, program...
  local name=$1 dir="$work/$1"
  shift
  mkdir "$dir"
  # faketime's own word on the ending signal stays out of the program's errors.
  (cd "$dir" && exec faketime -f '2026-01-01 00:00:00' \
    sh -c 'echo $$ > "$0"; exec setsid "$@" </dev/null >out.txt 2>err.txt' "$work/$name.pid" "$@" 2>/dev/null) &
  local waited=0
  local written=0
  until [ "$written" -ge $pictures ]; do
    sleep 0.1
    waited=$((waited + 1))
    if [ $waited -gt 1200 ]; then echo "$name: no $pictures summaries in 120 s" >&2; exit 1; fi
    written=$(grep -ac '^locii = ' "$dir/out.txt" 2>/dev/null || true)  # the summaries compared
  done
  stop "$name"
  wait || true
}

# Up to the summary of the last picture compared, with the line ends, the
# directory line and the seconds made the same.
texts() {
  sed 's/\r$//' "$1" | awk -v last=$pictures '
    previous ~ /to the current directory:$/ { $0 = "<directory>" }
    { previous = $0; sub(/secs: [0-9]+$/, "secs: <n>"); print }
    /^locii = / && ++summaries == last { exit }'
}

run linux "$linux_program"
run windows "$wine" "$windows_program"
status=0
saved=(randImage1767225600.bmp randImage1767225600-2.bmp)
for picture in "${saved[@]}"; do
  if cmp "$work/linux/$picture" "$work/windows/$picture"; then
    echo "the same picture: $picture, $(stat -c %s "$work/windows/$picture") bytes"
  else
    echo "the pictures differ: $picture" >&2
    status=1
  fi
done
if diff <(texts "$work/linux/out.txt") <(texts "$work/windows/out.txt") >"$work/diff"; then
  echo "the same texts: $(texts "$work/windows/out.txt" | wc -c) bytes up to summary $pictures"
else
  echo "the texts differ:" >&2
  head -20 "$work/diff" >&2
  status=1
fi
expected=$(printf '%s\n' err.txt out.txt "${saved[@]}" | LC_ALL=C sort)
for dir in linux windows; do
  if [ "$(ls "$work/$dir" | LC_ALL=C sort)" != "$expected" ] || [ -s "$work/$dir/err.txt" ]; then
    echo "$dir: unexpected files or errors: $(ls "$work/$dir") $(head -c 300 "$work/$dir/err.txt")" >&2
    status=1
  fi
done
exit $status
