#!/bin/bash
# The real program without a desktop in real terminals under a virtual X
# screen: xterm with sixel (also where the pty gives no pixel size), xterm
# with 24-bit half blocks, kitty (also as it meets a program over ssh), tmux
# and GNU screen inside xterm; and as over ssh, where only TERM comes along,
# a VTE terminal (sakura), Alacritty, st, rxvt-unicode, and GNU screen in an
# xterm whose TERM is plain xterm. Each run's screenshot must show the saved
# picture (see compare.py), half blocks on every cell that fits; the
# screenshots stay in OUT for a person to look at.
# Everything started here is this run's own: its display, its multiplexer
# sockets, its processes, which alone it stops.
#
# usage: run.sh PIXELGROW OUT [CASE...]   (no case: every one)
set -u
program=$(realpath "$1")
out=$(realpath -m "$2")
shift 2
only=" $* "
here=$(dirname "$(realpath "$0")")
mkdir -p "$out"

# The one font every terminal draws in (see below), which would otherwise be
# quietly stood in for.
font="DejaVu Sans Mono"
# Without the terminals the test is skipped (77), unless it is required.
for tool in Xvfb xterm kitty tmux screen import compare sakura alacritty st urxvt; do
  if ! command -v "$tool" > /dev/null || ! /usr/bin/python3 -c 'import PIL' 2> /dev/null \
    || ! fc-list "$font" | grep -q .; then
    echo "missing: $tool, Pillow or the font $font (tools/install-deps.sh tests installs them)"
    [ -n "${PIXELGROW_REQUIRE_REAL_TERMINALS:-}" ] && exit 1
    exit 77
  fi
done

# A display of our own for each case, black: without a window manager a
# closed window's pixels stay, and a smaller window would be seen among the
# last one's. Xvfb names the free display it took.
xvfb=""
trap 'kill $xvfb 2> /dev/null' EXIT
new_display() {
  [ -n "$xvfb" ] && { kill "$xvfb"; wait "$xvfb" 2> /dev/null; }
  exec 5< <(exec Xvfb -displayfd 1 -screen 0 1280x900x24 -nolisten tcp 2> "$out/xvfb.log")
  xvfb=$!
  read -r -t 20 number <&5 || { echo "Xvfb did not start"; cat "$out/xvfb.log"; exit 1; }
  screen=":$number"
}
tmux_socket="pixelgrow-test-$$"
export SCREENDIR="$out/screens"  # GNU screen's sessions, this run's own
rm -rf "$SCREENDIR"; mkdir -m 700 "$SCREENDIR"
printf 'autodetach off\n' > "$out/screenrc"  # a closed window ends the session

# Half blocks: as large a square on the screen as the columns and the rows
# less the seven around the picture hold. Where the terminal tells the cells'
# shape ($square), every row that is left, and as many columns as make them
# square (compare.py checks it on the screen: 0 columns here); else two of the
# picture's pixels a cell, an even side. Prints the cells the picture must
# take, columns and rows.
expected_cells() {
  local rows=$1 columns=$2 side
  if [ -n "${square:-}" ]; then
    side=$(( rows - 7 < 200 ? rows - 7 : 200 ))
    echo "0 $side"
    return
  fi
  side=$(( columns < 2 * (rows - 7) ? columns : 2 * (rows - 7) ))
  side=$(( (side < 400 ? side : 400) / 2 * 2 ))
  echo "$side $(( side / 2 ))"
}

# Takes the screenshot once the picture is drawn: the program waits for a key
# (asleep in select) and the screen has stayed still for a second, but for a
# blinking cursor or a ticking clock (a few cells).
settled_screenshot() {
  local shot=$1 pid=$2 still=0 tries=0 changed
  import -display "$screen" -window root "$shot"
  while [ $still -lt 2 ] && [ $tries -lt 60 ] && [ -n "$pid" ] && [ -d "/proc/$pid" ]; do
    sleep 0.5
    tries=$((tries + 1))
    import -display "$screen" -window root "$shot.new.png"
    changed=$(compare -metric AE "$shot" "$shot.new.png" null: 2>&1)
    mv "$shot.new.png" "$shot"
    if [[ $changed =~ ^[0-9]+$ ]] && [ "$changed" -lt 1000 ] && grep -qs -e select -e poll "/proc/$pid/wchan"; then
      still=$((still + 1))
    else
      still=0
    fi
  done
}

# Another picture of the program's, made without a terminal (it then makes
# pictures until stopped), which no screenshot may pass for.
mkdir -p "$out/other"
rm -f "$out/other"/*.bmp
(cd "$out/other" && exec env -u DISPLAY -u WAYLAND_DISPLAY "$program" < /dev/null > log 2>&1) &
maker=$!
waited=0
until ls "$out/other"/*.bmp > /dev/null 2>&1 || [ $waited -ge 600 ]; do sleep 0.1; waited=$((waited + 1)); done
kill $maker 2> /dev/null; wait $maker 2> /dev/null
other=$(ls "$out/other"/*.bmp 2> /dev/null | head -1)
[ -n "$other" ] || { echo "the program made no picture without a terminal"; exit 1; }

failed=0
# case name, mean and largest tolerated difference, the terminal's command
# line. $before comes first on the program's command line; $blocks says the
# picture is half blocks, whose cells are checked against what fits, and
# $averaged how many of them a dithered picture is compared in (each way).
run_case() {
  local name=$1 mean=$2 largest=$3; shift 3
  [ "$only" = "  " ] || [[ "$only" == *" $name "* ]] || return 0
  local dir="$out/$name"
  rm -rf "$dir"; mkdir -p "$dir"
  new_display
  # Inside the terminal: no desktop for the program, which waits at its menu
  # until the terminal is closed. The terminal's size first, for the check,
  # and the program's id, to see it wait for a key.
  inner="cd '$dir' && stty size > size && echo \$\$ > pid && exec env -u DISPLAY -u WAYLAND_DISPLAY ${before:-} $program"
  DISPLAY=$screen "$@" > "$dir/terminal.log" 2>&1 &
  local terminal=$!
  local waited=0
  until ls "$dir"/*.bmp > /dev/null 2>&1 || [ $waited -ge 600 ]; do sleep 0.1; waited=$((waited + 1)); done
  settled_screenshot "$out/$name.png" "$(cat "$dir/pid" 2> /dev/null)"
  kill $terminal 2> /dev/null; wait $terminal 2> /dev/null
  tmux -L "$tmux_socket" kill-server 2> /dev/null
  screen -ls 2> /dev/null | grep -o '[0-9]*\.pixelgrow' | while read -r session; do screen -S "$session" -X quit; done
  local bmp
  bmp=$(ls "$dir"/*.bmp 2> /dev/null | head -1)
  printf '%-18s ' "$name:"
  if [ -z "$bmp" ]; then echo "no picture was saved"; failed=1; return; fi
  local cells="0 0" rows columns
  read -r rows columns < "$dir/size"
  [ -n "${blocks:-}" ] && cells=$(expected_cells "$rows" "$columns")
  # shellcheck disable=SC2086  # the columns and the rows, two words
  /usr/bin/python3 "$here/compare.py" "$out/$name.png" "$bmp" "$mean" "$largest" $cells "${averaged:-1}" "$other" || failed=1
}

# As over ssh: the program gets the terminal's TERM and the remote side's
# locale, nothing else (no COLORTERM, no names of the desktop's).
ssh_like='-i TERM="$TERM" LANG=C.UTF-8'


# Each runs the command line in $inner, in place of the shell run_case starts
# it in (whose id it stops), grey on black like the screen around it, in the
# one font that tools/install-deps.sh installs: an alias such as Monospace is
# whichever font the machine has most, and each font draws a half block its
# own way.
xterm_with() { exec xterm -geometry 100x45 -fa "$font" -fs 9 -bg black -fg grey "$@" -e sh -c "$inner"; }
kitty_with() {
  LIBGL_ALWAYS_SOFTWARE=1 exec kitty --config NONE -o font_family="$font" -o font_size=9 -o initial_window_width=1000 \
    -o initial_window_height=850 -o remember_window_size=no sh -c "$inner"
}
tmux_in_xterm() {
  exec xterm -geometry 100x45 -fa "$font" -fs 9 -bg black -fg grey -e tmux -L "$tmux_socket" -f /dev/null new-session "$inner"
}
screen_in_xterm() {
  exec xterm -tn "${outer_term:-xterm-256color}" -geometry 100x45 -fa "$font" -fs 9 -bg black -fg grey \
    -e screen -S pixelgrow -c "$out/screenrc" sh -c "$inner"
}
# Each terminal's own way of saying size, font and command.
sakura_with() { XDG_CONFIG_HOME="$out/config" exec sakura -c 100 -r 45 -f "$font 9" -x "sh -c \"$inner\""; }
alacritty_with() {
  LIBGL_ALWAYS_SOFTWARE=1 exec alacritty --config-file /dev/null -o window.dimensions.columns=100 \
    -o window.dimensions.lines=45 -o font.normal.family="'$font'" -o font.size=9 \
    -o colors.primary.background="'#000000'" -o colors.primary.foreground="'#bebebe'" -e sh -c "$inner"
}
st_with() { exec st -g 100x45 -f "$font:size=9" -e sh -c "$inner"; }
# No scroll bar: it would stand on the picture's rows.
urxvt_with() { exec urxvt +sb -geometry 100x45 -fn "xft:$font:size=9" -bg black -fg grey -e sh -c "$inner"; }

# Kitty shows the pixels themselves. Sixel has 256 colours for a picture of
# tens of thousands: about 9 of 255 off on average (as its unit test says),
# and a pixel of a rare colour up to 68 off (seen, in the smaller picture);
# a six-row band with its channels swapped is 245 off (tried by hand).
# Half blocks are compared cell by cell, with the cell's two halves together
# (a half block's glyph need not split the cell exactly), against a true area
# average of the file: about 1 off on average and 5 at most, where another
# picture of the program is 27 and 130 off.
# Dithered and compared four cells by four, 2 to 5 off against 8 or 9 for
# another picture, which only the correlation tells apart (see compare.py).
# Each row is also compared with another picture, which must fail.
run_case xterm-sixel 12 112 xterm_with -ti vt340
# Cells of 5 × 10 pixels that the pty does not tell: taken as 8 × 16, the
# picture would push its own top off the 30 rows; xterm's graphics area says
# the cells' size.
before="$here/no_pixels.py" run_case xterm-sixel-no-pixels 12 112 xterm_with -ti vt340 -geometry 80x30 -fs 6
COLORTERM=truecolor blocks=1 square=1 run_case xterm-blocks 12 64 xterm_with
run_case kitty 1 8 kitty_with
# As over ssh: a stand-in TERM, no KITTY_WINDOW_ID; kitty is known by its name.
before="-u KITTY_WINDOW_ID -u TERM_PROGRAM TERM=xterm-256color SSH_CONNECTION='10.0.0.1 50000 10.0.0.2 22'" \
  run_case kitty-over-ssh 1 8 kitty_with
# tmux and GNU screen pass the outer pty's pixel size on to their own.
blocks=1 square=1 run_case tmux 12 64 tmux_in_xterm
# GNU screen garbles 24-bit colours: the 256-colour palette, whatever COLORTERM
# says, dithered, so compared four cells by four.
COLORTERM=truecolor blocks=1 square=1 averaged=4 run_case screen 12 64 screen_in_xterm
# As over ssh. 24-bit colour: xterm by its name, VTE by its secondary
# attributes, the others by their TERM; rxvt-unicode says nothing of 24-bit
# colour, so 256; GNU screen whose TERM is plain screen, 8. The cells' shape
# from the pty's pixel size (xterm, Alacritty, st, rxvt-unicode, and GNU
# screen passes it on) or from the text area VTE answers.
before=$ssh_like blocks=1 square=1 run_case xterm-over-ssh 12 64 xterm_with
before=$ssh_like blocks=1 square=1 run_case sakura 12 64 sakura_with
before=$ssh_like blocks=1 square=1 run_case alacritty 12 64 alacritty_with
before=$ssh_like blocks=1 square=1 run_case st 12 64 st_with
before=$ssh_like blocks=1 square=1 averaged=4 run_case rxvt-unicode 12 64 urxvt_with
before=$ssh_like blocks=1 square=1 averaged=4 outer_term=xterm run_case screen-8-colours 12 64 screen_in_xterm
exit $failed
