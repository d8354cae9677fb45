#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# End-to-end: the language a locale gives, as a person meets it in the real program: the
# delete question's title. (The texts themselves, and Qt's buttons, are checked by the
# core and GUI tests.)
#
# usage: language.sh PATH/TO/pictavo LANG
set -uo pipefail

program="$(realpath "${1:?usage: language.sh PATH/TO/pictavo LANG}")"
lang="${2:?usage: language.sh PATH/TO/pictavo LANG}"
scenario="language_${lang%%.*}"
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

DEL=(37 12)
case "$lang" in
  ja* | C | C.* | POSIX) question_title="ﾌｧｲﾙ削除" ;;
  *) question_title="Delete file" ;;
esac

make_picture 64x48 xc:tomato "$pics/a.jpg"
start_pictavo LANG="$lang"

click_file_row 0
click_at "${DEL[@]}"
wait_for_window "$question_title" "pressing the delete button under LANG=$lang"
in_box key Escape
wait_boxes_closed "declining the deletion"
[[ -e "$pics/a.jpg" ]] || fail "a.jpg was deleted although the question was declined"

echo "e2e language: under LANG=$lang the delete question is titled '$question_title'"
