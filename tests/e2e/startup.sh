#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# End-to-end: start the real program in a private X server, with a home folder
# whose Pictures holds known files, and check what a person sees: the window
# title, the position/count box right after start-up and after walking the
# file list, a bitmap's pixels in the viewport, and the copied picture offered
# to another program through the clipboard.
#
# usage: startup.sh PATH/TO/pictavo
set -uo pipefail

program="$(realpath "${1:?usage: startup.sh PATH/TO/pictavo}")"
scenario=startup
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

# --- A home folder with known pictures ------------------------------------------
mkdir -p "$pics/trip"
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

start_accessibility
start_pictavo

lstcnt_x=$((LSTCNT_X + LSTCNT_W / 2))
lstcnt_y=$((menu_h + LSTCNT_Y + LSTCNT_H / 2))

# After start-up: nothing selected, and the count of matching files in Pictures.
count="$(read_box "$lstcnt_x" "$lstcnt_y")"
check_no_message_box "start-up"
[[ "$count" == "0/$expected_total" ]] ||
  fail "after start-up the position/count box at ($lstcnt_x,$lstcnt_y) reads '$count', expected '0/$expected_total'" \
    "(Pictures holds 3 .jpg/.JPG, 1 .bmp and 1 .gif that count, and a .jpeg, a .png, a hidden .jpg, a text file and a sub-folder that do not)"

# Walk the file list as a person would: click the first name, then the Down
# key, which opens each picture reached. Each picture's path is read from the
# status bar as a screen reader reads it. Every kind of picture is decoded on
# the way, and none may raise a message.
expected_names="alpha.jpg Beta.JPG delta.bmp epsilon.gif gamma.jpg"
shown="$(message_after mousemove --window "$window" $((FILLIST_X + 40)) $((menu_h + FILLIST_Y + 8)) click 1)"
names="${shown##*/}"
check_no_message_box "a click on the first file"
for ((n = 2; n <= expected_total; n++)); do
  shown="$(message_after key Down)"
  names+=" ${shown##*/}"
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
xdotool mousemove --window "$window" $((FILLIST_X + 40)) $((menu_h + FILLIST_Y + 8 + 2 * 14)) click 1
sleep 0.3
check_no_message_box "a click on delta.bmp"
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
