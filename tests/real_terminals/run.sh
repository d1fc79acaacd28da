#!/bin/bash
# The real program without a desktop in real terminals under a virtual X
# screen: xterm with sixel, xterm with 24-bit half blocks, kitty, and tmux
# inside xterm. Each run's screenshot must show the saved picture (see
# compare.py); the screenshots stay in OUT for a person to look at.
#
# usage: run.sh PIXELGROW OUT
set -u
program=$(realpath "$1")
out=$(realpath -m "$2")
here=$(dirname "$(realpath "$0")")
mkdir -p "$out"

# Without the terminals the test is skipped (77), unless it is required.
for tool in Xvfb xterm kitty tmux import; do
  if ! command -v "$tool" > /dev/null || ! /usr/bin/python3 -c 'import PIL' 2> /dev/null; then
    echo "missing: $tool or Pillow (tools/install-deps.sh tests installs them)"
    [ -n "${PIXELGROW_REQUIRE_REAL_TERMINALS:-}" ] && exit 1
    exit 77
  fi
done

# A display of our own; Xvfb names the free one it took.
exec 5< <(Xvfb -displayfd 1 -screen 0 1280x900x24 -nolisten tcp 2> "$out/xvfb.log")
read -r -t 20 number <&5 || { echo "Xvfb did not start"; cat "$out/xvfb.log"; exit 1; }
screen=":$number"
xvfb=$(pgrep -n Xvfb)
trap 'kill $xvfb 2> /dev/null' EXIT

failed=0
# case name, mean and largest tolerated block difference, the terminal's command line
run_case() {
  local name=$1 mean=$2 largest=$3; shift 3
  local dir="$out/$name"
  rm -rf "$dir"; mkdir -p "$dir"
  # Inside the terminal: no desktop for the program, which waits at its menu
  # until the terminal is closed.
  inner="cd '$dir' && exec env -u DISPLAY -u WAYLAND_DISPLAY $program"
  DISPLAY=$screen "$@" > "$dir/terminal.log" 2>&1 &
  local terminal=$!
  local waited=0
  until ls "$dir"/*.bmp > /dev/null 2>&1 || [ $waited -ge 600 ]; do sleep 0.1; waited=$((waited + 1)); done
  sleep 3  # the picture drawn, the summary and the menu below it
  import -display "$screen" -window root "$out/$name.png"
  kill $terminal 2> /dev/null; wait $terminal 2> /dev/null
  tmux -L pixelgrow-test kill-server 2> /dev/null
  local bmp
  bmp=$(ls "$dir"/*.bmp 2> /dev/null | head -1)
  printf '%-14s ' "$name:"
  if [ -z "$bmp" ]; then echo "no picture was saved"; failed=1; return; fi
  /usr/bin/python3 "$here/compare.py" "$out/$name.png" "$bmp" "$mean" "$largest" || failed=1
}

# Each runs the command line in $inner, grey on black like the screen around it.
xterm_with() { xterm "$@" -geometry 100x45 -fa Monospace -fs 9 -bg black -fg grey -e sh -c "$inner"; }
kitty_with() {
  LIBGL_ALWAYS_SOFTWARE=1 kitty --config NONE -o font_size=9 -o initial_window_width=1000 \
    -o initial_window_height=850 -o remember_window_size=no sh -c "$inner"
}
tmux_in_xterm() {
  xterm -geometry 100x45 -fa Monospace -fs 9 -bg black -fg grey -e tmux -L pixelgrow-test -f /dev/null new-session "$inner"
}

# Kitty shows the pixels themselves. Sixel has 256 colours for a picture of
# tens of thousands: about 9 of 255 off on average (as its unit test says).
# Half blocks are compared cell by cell, with the cell's two halves together
# (a half block's glyph need not split the cell exactly): about 10 off, where
# another picture of the program is 16 off.
run_case xterm-sixel 12 64 xterm_with -ti vt340
COLORTERM=truecolor run_case xterm-blocks 12 64 xterm_with
run_case kitty 1 8 kitty_with
run_case tmux 12 64 tmux_in_xterm
exit $failed
