#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# A HEIC photo given on the command line, as a file manager's "Open with" gives it: the
# real program shows it with no message. The list's pattern
# leaves .heic out, so the list stays empty.
#
# usage: open_types.sh PATH-TO-PICTAVO
set -uo pipefail
program="$1"
scenario=open_types
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
command -v heif-enc >/dev/null || fail "heif-enc is not installed (scripts/pictavo test installs libheif-examples)"
# 90 x 120: gold above navy, so that a picture turned or mirrored by mistake shows. In
# 24-bit colour: heif-enc 1.15 misreads the colours of a palette PNG.
convert -size 90x60 xc:gold -size 90x60 xc:navy -append -type TrueColor "PNG24:$tmp/stored.png" || fail "could not make the picture"
heif-enc -q 95 "$tmp/stored.png" -o "$pics/phone.heic" >/dev/null 2>&1 || fail "heif-enc could not make phone.heic"
program_args=("$pics/phone.heic")
start_pictavo
sleep 0.5
check_no_message_box "opening phone.heic"
count="$(position_count)"
[[ "$count" == "0/0" ]] || fail "with phone.heic shown the position/count box reads '$count', expected '0/0'"
near() { # colour r g b: each channel within 24 of the expected one
  local r g b
  IFS=', ' read -r r g b <<<"$(sed -E 's/^srgb\(([0-9]+),([0-9]+),([0-9]+)\).*/\1 \2 \3/' <<<"$1")"
  ((${r:-999} - $2 < 24 && $2 - ${r:-999} < 24 && ${g:-999} - $3 < 24 && $3 - ${g:-999} < 24 &&
    ${b:-999} - $4 < 24 && $4 - ${b:-999} < 24))
}
top="$(pixel_at $((PICTURE1_X + 20)) $((menu_h + PICTURE1_Y + 30)))"
bottom="$(pixel_at $((PICTURE1_X + 20)) $((menu_h + PICTURE1_Y + 90)))"
near "$top" 255 215 0 || fail "the viewport shows '$top' where phone.heic's gold should be"
near "$bottom" 0 0 128 || fail "the viewport shows '$bottom' where phone.heic's navy should be"
echo "e2e open_types: phone.heic given on the command line is shown, gold above navy, with no message"
