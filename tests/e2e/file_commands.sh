#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# End-to-end: the picture-file commands as a person uses them in the real
# program: a JPEG converted to a bitmap through the real save dialog, an
# overwrite declined, the bitmap made the wall paper and cleared again (in a
# GSettings key file of the test's own home), a file deleted into the trash
# after the question, another program's picture pasted with Ctrl+V and a broken
# one refused, and Close asking before it ends the program and leaving
# another program's copy on the clipboard.
#
# usage: file_commands.sh PATH/TO/pictavo
set -uo pipefail

program="$(realpath "${1:?usage: file_commands.sh PATH/TO/pictavo}")"
scenario=file_commands
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
command -v gsettings >/dev/null || fail "gsettings is not installed (scripts/pictavo test installs it)"

# Button centres in pixels of the client area (design places / 15).
SVCOM=(17 12) DEL=(37 12) SET=(113 12) UNSET=(134 12)

make_picture 64x48 xc:tomato "$pics/a.jpg"
make_picture 64x48 xc:navy "$pics/b.jpg"

settings=(HOME="$home" XDG_CONFIG_HOME="$home/.config" GSETTINGS_BACKEND=keyfile)
wallpaper() { env "${settings[@]}" gsettings get org.gnome.desktop.background picture-uri; }

start_pictavo "${settings[@]}" XDG_CURRENT_DESKTOP=GNOME

# --- Save as bitmap through the real dialog ------------------------------------------
click_file_row 0
click_at "${SVCOM[@]}"
wait_for_window Pictavo "pressing the save-as-bitmap button"
in_box key Return
wait_for_window "Bitmapの保存" "the notice about the bitmap"
# The dialog starts in the start folder, so the bare name is enough. A whole
# path would race with the dialog's completion of each folder as it is typed,
# and a Return then accepts the completion instead of the name.
in_box key ctrl+a type --delay 5 "c.bmp"
sleep 0.3
xdotool key Return
wait_for_window Pictavo "choosing c.bmp in the save dialog"
in_box key Return
wait_boxes_closed "the saved message"
[[ "$(head -c 2 "$pics/c.bmp")" == "BM" ]] || fail "c.bmp was not written as a bitmap"
size="$(identify -format '%w x %h' "$pics/c.bmp" 2>/dev/null)"
[[ "$size" == "64 x 48" ]] || fail "c.bmp is '$size', expected the 64 x 48 picture shown"
count="$(position_count)"
[[ "$count" == "1/3" ]] || fail "after the save the position/count box reads '$count', expected '1/3'"

# --- The same name again: the question comes, and Cancel writes nothing -------------
before="$(md5sum <"$pics/c.bmp")"
click_file_row 0
click_at "${SVCOM[@]}"
wait_for_window Pictavo "pressing the save-as-bitmap button again"
in_box key Return
wait_for_window "Bitmapの保存" "the notice, a second time"
# The dialog keeps the name chosen last time.
in_box key Return
wait_for_window "ファイルの保存" "choosing the existing c.bmp"
in_box key Escape
wait_boxes_closed "declining the overwrite"
[[ "$(md5sum <"$pics/c.bmp")" == "$before" ]] || fail "c.bmp changed although the overwrite was declined"

# --- The bitmap as wall paper, then none ----------------------------------------------
click_file_row 2
click_at "${SET[@]}"
wait_boxes_closed "setting the wall paper"
uri="$(wallpaper)"
[[ "$uri" == "'file://$pics/c.bmp'" ]] || fail "after Set wall paper the desktop setting is $uri"
click_at "${UNSET[@]}"
wait_boxes_closed "clearing the wall paper"
uri="$(wallpaper)"
[[ "$uri" == "''" ]] || fail "after Delete wall paper the desktop setting is $uri"

# --- Delete after the question ---------------------------------------------------------
click_file_row 1
click_at "${DEL[@]}"
wait_for_window "ﾌｧｲﾙ削除" "pressing the delete button"
in_box key Return
wait_boxes_closed "confirming the deletion"
[[ ! -e "$pics/b.jpg" ]] || fail "b.jpg is still there after the confirmed deletion"
[[ -e "$pics/a.jpg" && -e "$pics/c.bmp" ]] || fail "a file that was not to be deleted has gone"
count="$(position_count)"
[[ "$count" == "0/2" ]] || fail "after the deletion the position/count box reads '$count', expected '0/2'"
# The deletion can be taken back: b.jpg waits in the home's trash, with its path.
trash="$home/.local/share/Trash"
[[ -f "$trash/files/b.jpg" ]] || fail "b.jpg is not in the trash $trash after the deletion"
grep -qx "Path=$pics/b.jpg" "$trash/info/b.jpg.trashinfo" 2>/dev/null ||
  fail "the trash does not record where b.jpg came from"

# --- Another program copies a picture: Ctrl+V pastes it, with no mouse over the window ---
# Holds a picture file on the clipboard as an image type, as an image editor would.
hold_picture() { # type file
  local i
  xclip -selection clipboard -t "$1" -i -quiet "$2" >/dev/null 2>&1 &
  holder=$!
  for ((i = 0; i < 100; i++)); do
    [[ "$(timeout 2 xclip -selection clipboard -t TARGETS -o 2>/dev/null)" == *"$1"* ]] && break
    sleep 0.02
  done
}
# The viewport's top-left corner shows the lime picture pasted below.
viewport_is_lime() {
  local inside
  inside="$(pixel_at $((PICTURE1_X + 5)) $((menu_h + PICTURE1_Y + 5)))"
  [[ "$inside" == "srgb(0,255,0)" || "$inside" == "lime" ]] || fail "$1: the viewport shows $inside, not lime"
}
make_picture 40x30 xc:lime "$tmp/lime.png"
hold_picture image/png "$tmp/lime.png"
sleep 0.3  # the window hears of the change
xdotool windowfocus --sync "$window" key ctrl+v
sleep 0.3
check_no_message_box "pressing Ctrl+V with another program's PNG on the clipboard"
viewport_is_lime "after Ctrl+V, the lime picture another program copied"
kill "$holder" 2>/dev/null
wait "$holder" 2>/dev/null
# A bitmap cut short is refused with a message, and the picture shown stays.
make_picture 100x100 xc:white "$tmp/whole.bmp"
head -c 3054 "$tmp/whole.bmp" >"$tmp/cut.bmp"
hold_picture image/bmp "$tmp/cut.bmp"
sleep 0.3
xdotool windowfocus --sync "$window" key ctrl+v
wait_for_window Pictavo "pasting a bitmap cut short"
in_box key Return
wait_boxes_closed "the paste-failure message"
viewport_is_lime "after a refused paste, the picture shown before"
kill "$holder" 2>/dev/null
wait "$holder" 2>/dev/null

# --- Close asks first, and leaves another program's copy on the clipboard ----------------
editor_text="copied in an editor"
hold_clipboard "$editor_text"
xdotool mousemove --window "$window" 64 $((menu_h / 2)) click 1
wait_for_window Pictavo "choosing Close"
in_box key Return
for ((i = 0; i < 100; i++)); do
  kill -0 "$app_pid" 2>/dev/null || break
  sleep 0.05
done
kill -0 "$app_pid" 2>/dev/null && fail "pictavo is still running after Close was confirmed"
app_pid=""
kept="$(timeout 2 xclip -selection clipboard -o 2>/dev/null)"
kill "$holder" 2>/dev/null
wait "$holder" 2>/dev/null
[[ "$kept" == "$editor_text" ]] || fail "Close took the editor's text off the clipboard (it holds '$kept')"

echo "e2e file commands: a.jpg saved as c.bmp through the save dialog (1/3); the overwrite question" \
  "declined without a write; c.bmp set as the wall paper and cleared; b.jpg deleted into the trash (0/2);" \
  "another program's PNG pasted with Ctrl+V and a bitmap cut short refused with a message;" \
  "Close ended the program and left an editor's text on the clipboard"
