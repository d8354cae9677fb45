#!/usr/bin/env bash
# End-to-end: start the real program in a private X server, with a home folder
# whose Pictures holds known files, and check what a person sees: the window
# title, the position/count box right after start-up and after walking the
# file list, a bitmap's pixels in the viewport, and the copied picture offered
# to another program through the clipboard.
#
# usage: startup.sh PATH/TO/pictavo
#
# It always starts its own Xvfb, so running it never draws on, types into or
# copies from a person's own desktop. Needs Xvfb, xdotool, xclip, xprop and
# ImageMagick's convert.
set -uo pipefail

program="$(realpath "${1:?usage: startup.sh PATH/TO/pictavo}")"
# A failure leaves a picture of the screen here for a look afterwards.
failure_shot="$PWD/e2e_startup_failure.png"

# Design places in pixels at 96 DPI (twips / 15), measured from the top-left
# corner of the area below the menu bar.
LSTCNT_X=163 LSTCNT_Y=4 LSTCNT_W=49 LSTCNT_H=18
# The file list starts at 1718 twips once the window is laid out at its design size.
FILLIST_X=4 FILLIST_Y=115
# The area below the menu bar at the window's design size (6330 x 3705 twips).
CLIENT_W=422 CLIENT_H=247

tmp="$(mktemp -d)"
xvfb_pid="" app_pid="" display=""

cleanup() {
  [[ -n "$app_pid" ]] && kill "$app_pid" 2>/dev/null
  [[ -n "$xvfb_pid" ]] && kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$tmp"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

fail() {
  echo "FAIL: $*" >&2
  if [[ -n "$display" ]] && DISPLAY="$display" import -window root "$failure_shot" 2>/dev/null; then
    echo "The screen at the moment of failure: $failure_shot" >&2
  fi
  if [[ -s "$tmp/pictavo.log" ]]; then
    echo "--- what pictavo printed:" >&2
    cat "$tmp/pictavo.log" >&2
  fi
  exit 1
}

for tool in Xvfb xdotool xclip xprop import convert identify; do
  command -v "$tool" >/dev/null || fail "$tool is not installed (scripts/pictavo test installs it)"
done
[[ -x "$program" ]] || fail "no program at $program"
rm -f "$failure_shot"

# --- A home folder with known pictures ------------------------------------------
home="$tmp/home"
pics="$home/Pictures"
mkdir -p "$pics/trip" "$home/.config" "$tmp/run"
chmod 700 "$tmp/run"
make_picture() { convert -size "$1" "$2" "$3" || fail "could not make the test picture $3"; }
# Listed: three JPEGs (one with an upper-case extension, as cameras write),
# a bitmap and a GIF.
make_picture 320x240 gradient:orange-purple "$pics/alpha.jpg"
make_picture 200x150 xc:seagreen "$pics/Beta.JPG"
make_picture 640x480 gradient:white-navy "$pics/gamma.jpg"
make_picture 120x90 xc:gold "$pics/delta.bmp"
make_picture 80x60 xc:tomato "$pics/epsilon.gif"
# Not listed: ".jpeg" does not match "*.jpg*", hidden files are not shown,
# other kinds of files are not pictures of ours, and a sub-folder's pictures
# belong to the sub-folder.
make_picture 50x50 xc:gray "$pics/zeta.jpeg"
make_picture 50x50 xc:gray "$pics/.hidden.jpg"
make_picture 50x50 xc:gray "$pics/eta.png"
echo "not a picture" >"$pics/notes.txt"
make_picture 50x50 xc:gray "$pics/trip/theta.jpg"
expected_total=5

# --- A private X server -----------------------------------------------------------
# -displayfd: the server picks a free display number and writes it once it
# accepts connections, so there is no number to guess and nothing to poll.
mkfifo "$tmp/displayfd"
Xvfb -displayfd 3 -screen 0 1024x768x24 -dpi 96 -nolisten tcp 3>"$tmp/displayfd" >"$tmp/xvfb.log" 2>&1 &
xvfb_pid=$!
read -r -t 10 number <"$tmp/displayfd" || number=""
[[ -n "$number" ]] || fail "Xvfb did not start within 10 seconds: $(cat "$tmp/xvfb.log")"
display=":$number"
export DISPLAY="$display"
unset WAYLAND_DISPLAY

# --- Start the program as a person would ----------------------------------------
HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_RUNTIME_DIR="$tmp/run" QT_QPA_PLATFORM=xcb \
  "$program" >"$tmp/pictavo.log" 2>&1 &
app_pid=$!

# Wait for the first window, or for the program to end, whichever comes first.
timeout 20 xdotool search --sync --onlyvisible --pid "$app_pid" >"$tmp/windows" 2>/dev/null &
search_pid=$!
wait -n "$search_pid" "$app_pid"
if kill -0 "$search_pid" 2>/dev/null; then
  kill "$search_pid"
  wait "$app_pid"
  status=$?
  app_pid=""
  fail "pictavo ended (exit status $status) without showing a window"
fi
window="$(head -n 1 "$tmp/windows")"
[[ -n "$window" ]] || fail "pictavo showed no window within 20 seconds"

# A message box at start-up would also belong to the program: tell it apart.
window_type="$(xprop -id "$window" _NET_WM_WINDOW_TYPE)"
[[ "$window_type" == *_NET_WM_WINDOW_TYPE_NORMAL* ]] ||
  fail "the first window shown is not the main window but ($window_type): a message box at start-up?"

title="$(xdotool getwindowname "$window")"
[[ "$title" == "Pictavo" ]] || fail "the main window's title is '$title', expected 'Pictavo'"

eval "$(xdotool getwindowgeometry --shell "$window")"  # sets X, Y, WIDTH, HEIGHT
menu_h=$((HEIGHT - CLIENT_H))
((WIDTH == CLIENT_W)) || fail "the window is ${WIDTH}x${HEIGHT} px, expected ${CLIENT_W} px wide at its design size"
((menu_h >= 10 && menu_h <= 60)) ||
  fail "the window is ${WIDTH}x${HEIGHT} px: that leaves no menu bar of a plausible height above the ${CLIENT_H} px design area"

xdotool windowfocus --sync "$window" || fail "could not give the window the keyboard focus"

# Does what a person does (xdotool arguments) and returns what that put on the
# clipboard. First a marker of ours takes the clipboard, so that an old copy of
# the same text is never read as a new one: xclip holds the marker until the
# program takes the clipboard over, then ends. Qt handles the input after
# xdotool returns, so that end is waited for, briefly.
copied_after() {
  local marker="(nothing copied)" text="" i holder
  printf '%s' "$marker" | xclip -selection clipboard -i -quiet >/dev/null 2>&1 &
  holder=$!
  for ((i = 0; i < 100; i++)); do
    [[ "$(timeout 2 xclip -selection clipboard -o 2>/dev/null)" == "$marker" ]] && break
    sleep 0.02
  done
  xdotool "$@"
  for ((i = 0; i < 100; i++)); do
    kill -0 "$holder" 2>/dev/null || break
    sleep 0.05
  done
  text="$(timeout 2 xclip -selection clipboard -o 2>/dev/null)"
  kill "$holder" 2>/dev/null
  wait "$holder" 2>/dev/null
  printf '%s' "$text"
}

# Reads a text box as a person would: click into it, select all and copy.
read_box() { # x y (window coordinates)
  copied_after mousemove --window "$window" "$1" "$2" click 1 key ctrl+a ctrl+c
}

check_no_message_box() { # what the person just did
  local w
  for w in $(xdotool search --onlyvisible --pid "$app_pid" 2>/dev/null); do
    [[ "$w" == "$window" ]] && continue
    fail "after $1 a window '$(xdotool getwindowname "$w")' appeared (a message box?)"
  done
  kill -0 "$app_pid" 2>/dev/null || fail "pictavo ended after $1"
}

lstcnt_x=$((LSTCNT_X + LSTCNT_W / 2))
lstcnt_y=$((menu_h + LSTCNT_Y + LSTCNT_H / 2))

# After start-up: nothing selected, and the count of matching files in Pictures.
count="$(read_box "$lstcnt_x" "$lstcnt_y")"
check_no_message_box "start-up"
[[ "$count" == "0/$expected_total" ]] ||
  fail "after start-up the position/count box at ($lstcnt_x,$lstcnt_y) reads '$count', expected '0/$expected_total'" \
    "(Pictures holds 3 .jpg/.JPG, 1 .bmp and 1 .gif that count, and a .jpeg, a .png, a hidden .jpg, a text file and a sub-folder that do not)"

# Walk the file list as a person would: click the first name, then the Down
# key, which opens each picture reached. Each name is copied from the list.
# Every kind of picture is decoded on the way, and none may raise a message.
expected_names="alpha.jpg Beta.JPG delta.bmp epsilon.gif gamma.jpg"
names="$(copied_after mousemove --window "$window" $((FILLIST_X + 40)) $((menu_h + FILLIST_Y + 8)) click 1 key ctrl+c)"
check_no_message_box "a click on the first file"
for ((n = 2; n <= expected_total; n++)); do
  names+=" $(copied_after key Down ctrl+c)"
  check_no_message_box "moving to file $n of the list with the Down key"
done
[[ "$names" == "$expected_names" ]] ||
  fail "walking the file list from its first name showed '$names', expected '$expected_names'" \
    "(natural order without regard to case; no .jpeg, .png, hidden file or folder)"

count="$(read_box "$lstcnt_x" "$lstcnt_y")"
check_no_message_box "reading the position/count box"
[[ "$count" == "$expected_total/$expected_total" ]] ||
  fail "with the last file open the position/count box reads '$count', expected '$expected_total/$expected_total'"

title="$(xdotool getwindowname "$window")"
[[ "$title" == "Pictavo" ]] || fail "after opening pictures the window's title became '$title'"

# Open the bitmap (the third name) and look at the viewport: the picture's own
# pixels at its top-left corner, one picture pixel per screen pixel, and the
# viewport's background right of its 120 px width.
PICTURE1_X=148 PICTURE1_Y=28
xdotool mousemove --window "$window" $((FILLIST_X + 40)) $((menu_h + FILLIST_Y + 8 + 2 * 14)) click 1
sleep 0.3
check_no_message_box "a click on delta.bmp"
pixel_at() { # x y: the colour there, as ImageMagick names it (srgb(r,g,b))
  import -window "$window" "$tmp/window.png" 2>/dev/null || fail "could not take a picture of the window"
  convert "$tmp/window.png" -format "%[pixel:p{$1,$2}]" info: 2>/dev/null
}
inside="$(pixel_at $((PICTURE1_X + 5)) $((menu_h + PICTURE1_Y + 5)))"
corner="$(pixel_at $((PICTURE1_X + 119)) $((menu_h + PICTURE1_Y + 89)))"
outside="$(pixel_at $((PICTURE1_X + 125)) $((menu_h + PICTURE1_Y + 5)))"
[[ "$inside" == "srgb(255,215,0)" || "$inside" == "gold" ]] ||
  fail "the viewport shows '$inside' where delta.bmp's gold should be"
[[ "$corner" == "srgb(255,215,0)" || "$corner" == "gold" ]] ||
  fail "the bitmap's last pixel (119,89) shows '$corner', not gold: the picture is scaled or moved"
[[ "$outside" != "$inside" ]] || fail "the viewport is gold beyond the bitmap's 120 px width: the picture is stretched"

# Copy it with the copy button and ask the clipboard as another program would:
# an image must be offered, and it must be the picture shown.
CPYBTN_X=48 CPYBTN_Y=2
xdotool mousemove --window "$window" $((CPYBTN_X + 10)) $((menu_h + CPYBTN_Y + 10)) click 1
targets=""
for ((i = 0; i < 50; i++)); do
  targets="$(timeout 2 xclip -selection clipboard -t TARGETS -o 2>/dev/null)"
  [[ "$targets" == *image/png* ]] && break
  sleep 0.05
done
[[ "$targets" == *image/png* ]] || fail "after Copy the clipboard offers '$(echo $targets)', no image/png"
timeout 5 xclip -selection clipboard -t image/png -o >"$tmp/copied.png" 2>/dev/null
copied="$(identify -format '%w x %h' "$tmp/copied.png" 2>/dev/null)"
[[ "$copied" == "120 x 90" ]] || fail "the copied image is '$copied', expected the 120 x 90 bitmap"
check_no_message_box "Copy"

echo "e2e startup: title 'Pictavo'; '0/$expected_total' after start-up;" \
  "the list shows $expected_names and opens each; '$expected_total/$expected_total' at the end;" \
  "delta.bmp shown at natural size and offered to other programs as image/png after Copy"
