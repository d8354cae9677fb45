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
make_gold_over_navy heic "$pics/phone.heic"
program_args=("$pics/phone.heic")
start_pictavo
sleep 0.5
check_no_message_box "opening phone.heic"
count="$(position_count)"
[[ "$count" == "0/0" ]] || fail "with phone.heic shown the position/count box reads '$count', expected '0/0'"
check_gold_over_navy phone.heic
echo "e2e open_types: phone.heic given on the command line is shown, gold above navy, with no message"
