#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# What a screen reader meets: the real program in a private X server with its own D-Bus
# session and accessibility bus, read through AT-SPI. Every control is named, and each
# status-bar panel reads its whole text (the full path, not the shortened one on screen)
# with the panel's role as its description.
#
# usage: screen_reader.sh PATH-TO-PICTAVO
set -uo pipefail
program="$1"
scenario=screen_reader
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
# A folder deep enough that the path does not fit the message panel.
deep="$pics/holidays in the mountains/second week/the long walk to the lake"
mkdir -p "$deep"
make_picture 300x200 xc:'#3070b0' "$deep/view from the summit.jpg"
program_args=("$deep/view from the summit.jpg")
start_accessibility
start_pictavo
read_screen

# role name description for a line; fails unless one line has exactly that name.
has() { # role name [description]
  local line
  line="$(awk -F'\t' -v r="$1" -v n="$2" '$2 == r && $3 == n' "$tmp/screen.txt" | head -n 1)"
  [[ -n "$line" ]] || { echo "--- what AT-SPI read:" >&2; cat "$tmp/screen.txt" >&2; fail "no $1 named '$2'"; }
  if [[ $# -ge 3 ]]; then
    [[ "$(cut -f4 <<<"$line")" == "$3" ]] || fail "the $1 '$2' is described as '$(cut -f4 <<<"$line")', expected '$3'"
  fi
}

has label "$deep/view from the summit.jpg" "Message"
size_line="$(awk -F'\t' '$2 == "label" && $4 == "File size"' "$tmp/screen.txt")"
[[ "$(cut -f3 <<<"$size_line")" =~ ^[0-9.,]+KB$ ]] || fail "the file-size panel reads '$(cut -f3 <<<"$size_line")'"
date_line="$(awk -F'\t' '$2 == "label" && $4 == "Date"' "$tmp/screen.txt")"
[[ "$(cut -f3 <<<"$date_line")" =~ ^[0-9]{4}/[0-9]{2}/[0-9]{2}$ ]] || fail "the date panel reads '$(cut -f3 <<<"$date_line")'"
time_line="$(awk -F'\t' '$2 == "label" && $4 == "Time"' "$tmp/screen.txt")"
[[ "$(cut -f3 <<<"$time_line")" =~ ^[0-9]{1,2}:[0-9]{2}$ ]] || fail "the time panel reads '$(cut -f3 <<<"$time_line")'"

# The commands and the other controls have names a person can act on.
for name in "change to bitmap" "Delete" "Copy to clipboard" "Paste from clipboard" "Set wall paper" \
  "Delete wall paper" "Stop" "Play"; do
  has "push button" "$name"
done
has "menu item" "Copy to Clipboad"
has text "Position/count"
has slider "Speed(1-3sec)"
has list "Folders"
has list "Files"
has "list item" "view from the summit.jpg"
unnamed="$(awk -F'\t' '($2 == "push button" || $2 == "slider" || $2 == "scroll bar" || $2 == "text" || $2 == "label") && $3 == ""' "$tmp/screen.txt")"
[[ -z "$unnamed" ]] || fail "controls without a name: $unnamed"
echo "A screen reader reads every control and the whole status bar: ok"
