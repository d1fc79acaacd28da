#!/usr/bin/env bash
# Runs the Linux program and the Windows program (under wine) without a
# terminal, with the wall clock stopped at the same second, for two pictures
# each, and checks that they write byte-identical pictures and print the same
# texts: the line ends of the C runtime's text mode, the working directory's
# spelling and the measured seconds aside.
#   tests/windows/same_as_linux.sh build/pixelgrow build-windows/pixelgrow.exe
set -euo pipefail
linux_program=$(realpath "$1")
windows_program=$(realpath "$2")
wine=${WINE:-/usr/lib/wine/wine64}
pictures=2
work=$(mktemp -d)
trap 'pkill -f "$windows_program" 2>/dev/null || true; pkill -f "$linux_program" 2>/dev/null || true; rm -rf "$work"' EXIT

# Only the wall clock stands still: the pauses and the elapsed time run.
export FAKETIME_DONT_FAKE_MONOTONIC=1

run() {  # name, program...
  local dir="$work/$1"
  shift
  mkdir "$dir"
  (cd "$dir" && exec faketime -f '2026-01-01 00:00:00' setsid "$@" </dev/null >out.txt 2>err.txt) &
  local waited=0
  until [ "$(grep -ac '^Successfully wrote' "$dir/out.txt" 2>/dev/null)" -ge $pictures ]; do
    sleep 0.1
    waited=$((waited + 1))
    if [ $waited -gt 1200 ]; then echo "$1: no $pictures pictures in 120 s" >&2; exit 1; fi
  done
  pkill -f "$(printf '%s' "${@: -1}")" || true
  wait || true
}

# Up to the summary of the last picture compared, with the line ends, the
# directory line and the seconds made the same.
texts() {
  tr -d '\r' <"$1" | awk -v last=$pictures '
    previous ~ /to the current directory:$/ { $0 = "<directory>" }
    { previous = $0; sub(/secs: [0-9]+$/, "secs: <n>"); print }
    /^locii = / && ++summaries == last { exit }'
}

run linux "$linux_program"
run windows "$wine" "$windows_program"
status=0
for dir in linux windows; do
  ls "$work/$dir"/*.bmp >"$work/$dir.list" 2>/dev/null || true
done
picture=randImage1767225600.bmp
if cmp "$work/linux/$picture" "$work/windows/$picture"; then
  echo "the same picture: $picture, $(stat -c %s "$work/windows/$picture") bytes"
else
  echo "the pictures differ" >&2
  status=1
fi
if diff <(texts "$work/linux/out.txt") <(texts "$work/windows/out.txt") >"$work/diff"; then
  echo "the same texts: $(texts "$work/windows/out.txt" | wc -c) bytes up to summary $pictures"
else
  echo "the texts differ:" >&2
  head -20 "$work/diff" >&2
  status=1
fi
for dir in linux windows; do
  if [ "$(cat "$work/$dir.list" | wc -l)" -ne 1 ] || [ -s "$work/$dir/err.txt" ]; then
    echo "$dir: unexpected files or errors: $(cat "$work/$dir.list") $(head -c 300 "$work/$dir/err.txt")" >&2
    status=1
  fi
done
exit $status
