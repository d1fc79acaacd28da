#!/bin/sh
# Refreshes doc/screenshot.png, the README's picture of the program in a real
# terminal: the real-terminal test's kitty screenshot, cut to what is on the
# screen and kept to 256 colours (the picture's own 400 x 400 pixels would
# not compress).
#   tools/refresh-screenshot.sh [BUILD]     (after cmake --build BUILD)
set -eu
build=${1:-build}
cd "$(dirname "$0")/.."
ctest --test-dir "$build" -R '^real_terminals$' --output-on-failure
convert "$build/tests/real_terminals/kitty.png" -trim +repage -bordercolor black -border 8 \
  -colors 256 -strip PNG8:doc/screenshot.png
echo "doc/screenshot.png: $(wc -c < doc/screenshot.png) bytes"
