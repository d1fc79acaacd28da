#!/bin/sh
# Installs, on Debian or Ubuntu, what building the program needs
# (`program`), building and running every test (`tests`), or making its
# packages (`package`): only the packages that are missing, as root or
# through sudo.
#   tools/install-deps.sh program|tests|package
set -eu

program="cmake make g++"
# GoogleTest and Google Benchmark; strace holds a flush to disk up in a test,
# faketime stops the clock for two pictures of one second, man renders the
# installed manual page, Pillow reads the written pictures
# back as a real image reader; real terminals (xterm, kitty, sakura for VTE,
# Alacritty, st, rxvt-unicode, tmux and GNU screen) on a virtual screen show
# the picture without a desktop, and ImageMagick takes and compares the
# screenshots. Alacritty starts only with EGL, which its package does not
# bring; every terminal draws in DejaVu Sans Mono, named.
tests="$program libgtest-dev libbenchmark-dev strace faketime man-db python3 python3-pil
  xvfb xterm kitty sakura alacritty libegl1 libegl-mesa0 stterm rxvt-unicode tmux screen
  imagemagick fonts-dejavu-core"

# The .deb: file names what is packed, dpkg-shlibdeps (dpkg-dev) finds
# what the program depends on.
package="$program file dpkg-dev"

case "${1:-}" in
  program) wanted=$program ;;
  tests) wanted=$tests ;;
  package) wanted=$package ;;
  *) echo "usage: $0 program|tests|package" >&2; exit 2 ;;
esac

missing=""
for package in $wanted; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" || missing="$missing $package"
done
[ -n "$missing" ] || exit 0

if [ "$(id -u)" -eq 0 ]; then
  as_root=""
elif command -v sudo >/dev/null; then
  as_root="sudo"
else
  echo "$0: these packages are missing and this is not root, nor is sudo here:$missing" >&2
  exit 1
fi
echo "installing:$missing"
$as_root apt-get update -qq
$as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $missing
