# SPDX-License-Identifier: MIT
# Shared by the end-to-end scripts: a private X server, the real program in it
# with a home folder of the script's own, and the ways a person reads what it
# shows. Source it after setting `program` and `scenario`; it leaves `tmp`,
# `home` and `pics` for the script to fill before start_pictavo.
#
# It always starts its own Xvfb, so running a script never draws on, types into
# or copies from a person's own desktop. Needs Xvfb, xdotool, xclip, xprop and
# ImageMagick.

# Design places in pixels at 96 DPI (twips / 15), measured from the top-left
# corner of the area below the menu bar.
LSTCNT_X=163 LSTCNT_Y=4 LSTCNT_W=49 LSTCNT_H=18
# The file list starts at 1718 twips once the window is laid out at its design size.
FILLIST_X=4 FILLIST_Y=115
# The area below the menu bar at the window's design size (6330 x 3705 twips).
CLIENT_W=422 CLIENT_H=247
# The viewport's top-left corner.
PICTURE1_X=148 PICTURE1_Y=28

# A failure leaves a picture of the screen here for a look afterwards.
failure_shot="$PWD/e2e_${scenario}_failure.png"
tmp="$(mktemp -d)"
xvfb_pid="" app_pid="" display=""
[[ -v program_args ]] || program_args=()

bus_pids=()
cleanup() {
  [[ -n "$app_pid" ]] && kill "$app_pid" 2>/dev/null
  [[ -n "$xvfb_pid" ]] && kill "$xvfb_pid" 2>/dev/null
  ((${#bus_pids[@]})) && kill "${bus_pids[@]}" 2>/dev/null
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

home="$tmp/home"
pics="$home/Pictures"
mkdir -p "$pics" "$home/.config" "$tmp/run"
chmod 700 "$tmp/run"
make_picture() { convert -size "$1" "$2" "$3" || fail "could not make the test picture $3"; }

# 90 x 120: gold above navy, so that a picture turned or mirrored by mistake shows, as a
# file of the type, by the type's own encoder (ImageMagick's for JPEG, PNG and TIFF). In
# 24-bit colour: heif-enc 1.15 misreads the colours of a palette PNG.
make_gold_over_navy() { # type (jpeg png webp tiff avif heic jxl) file
  local stored="$tmp/gold-over-navy.png"
  [[ -e "$stored" ]] || convert -size 90x60 xc:gold -size 90x60 xc:navy -append -type TrueColor "PNG24:$stored" ||
    fail "could not make the picture"
  case "$1" in
    jpeg | png | tiff) convert "$stored" "${1^^}:$2" ;;
    webp) cwebp -quiet -q 95 "$stored" -o "$2" ;;
    avif) avifenc -s 8 --min 0 --max 10 "$stored" "$2" ;;
    heic) heif-enc -q 95 "$stored" -o "$2" ;;
    jxl) cjxl -q 95 "$stored" "$2" ;;
  esac >/dev/null 2>&1 || fail "could not make $2 (scripts/pictavo test installs the encoders)"
}

# A make_gold_over_navy picture shown at the viewport's top-left corner, each channel of
# the two halves within 24 of the right colour (lossy types stray a little).
check_gold_over_navy() { # what
  local top bottom
  top="$(pixel_at $((PICTURE1_X + 20)) $((menu_h + PICTURE1_Y + 30)))"
  bottom="$(pixel_at $((PICTURE1_X + 20)) $((menu_h + PICTURE1_Y + 90)))"
  near "$top" 255 215 0 || fail "the viewport shows '$top' where $1's gold should be"
  near "$bottom" 0 0 128 || fail "the viewport shows '$bottom' where $1's navy should be"
}
near() { # colour r g b: each channel within 24 of the expected one
  local r g b
  IFS=', ' read -r r g b <<<"$(sed -E 's/^srgb\(([0-9]+),([0-9]+),([0-9]+)\).*/\1 \2 \3/' <<<"$1")"
  ((${r:-999} - $2 < 24 && $2 - ${r:-999} < 24 && ${g:-999} - $3 < 24 && $3 - ${g:-999} < 24 &&
    ${b:-999} - $4 < 24 && $4 - ${b:-999} < 24))
}

# Starts the X server and the program (any NAME=value arguments are added to its
# environment; it speaks Japanese, as under the C locale, unless they name a LANG), waits for the main window and checks its title and size. Sets
# window, menu_h and app_pid.
start_pictavo() {
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

  env -u LC_ALL -u LC_MESSAGES -u LANGUAGE LANG=C.UTF-8 HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share" XDG_RUNTIME_DIR="$tmp/run" \
    QT_QPA_PLATFORM=xcb "$@" \
    "$program" "${program_args[@]}" >"$tmp/pictavo.log" 2>&1 &
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
}

# Another program (xclip) copies a text and holds it; returns once it can be read.
# Sets holder to the holding process.
hold_clipboard() { # text
  local i
  printf '%s' "$1" | xclip -selection clipboard -i -quiet >/dev/null 2>&1 &
  holder=$!
  for ((i = 0; i < 100; i++)); do
    [[ "$(timeout 2 xclip -selection clipboard -o 2>/dev/null)" == "$1" ]] && break
    sleep 0.02
  done
}

# Does what a person does (xdotool arguments) and returns what that put on the
# clipboard. First a marker of ours takes the clipboard, so that an old copy of
# the same text is never read as a new one: xclip holds the marker until the
# program takes the clipboard over, then ends. Qt handles the input after
# xdotool returns, so that end is waited for, briefly.
copied_after() {
  local marker="(nothing copied)" text="" i
  hold_clipboard "$marker"
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


# Clicks at a place given in pixels of the client area (below the menu bar).
click_at() { # x y
  xdotool mousemove --window "$window" "$1" $((menu_h + $2)) click 1
}

# The position/count box, read as a person would.
position_count() {
  read_box $((LSTCNT_X + LSTCNT_W / 2)) $((menu_h + LSTCNT_Y + LSTCNT_H / 2))
}

# Clicks row n (from 0) of the file list.
click_file_row() { # n
  click_at $((FILLIST_X + 40)) $((FILLIST_Y + 8 + $1 * 14))
}

# Waits for another window of the program with the given title and leaves its
# id in `box`.
wait_for_window() { # title what-the-person-did
  local w i
  box=""
  for ((i = 0; i < 100; i++)); do
    for w in $(xdotool search --onlyvisible --pid "$app_pid" 2>/dev/null); do
      if [[ "$w" != "$window" && "$(xdotool getwindowname "$w")" == "$1" ]]; then
        box="$w"
        return
      fi
    done
    sleep 0.05
  done
  fail "after $2 no window titled '$1' appeared"
}

# Gives the window found last the focus and types into it (xdotool arguments).
in_box() {
  xdotool windowfocus --sync "$box" "$@" || fail "could not type into window $box"
}

# Waits until only the main window is left (a box closed) and checks that no
# other box came up.
wait_boxes_closed() { # what the person just did
  local i w others
  for ((i = 0; i < 100; i++)); do
    others=""
    for w in $(xdotool search --onlyvisible --pid "$app_pid" 2>/dev/null); do
      [[ "$w" != "$window" ]] && others+=" $(xdotool getwindowname "$w")"
    done
    [[ -z "$others" ]] && return
    sleep 0.05
  done
  fail "after $1 a window stayed open:$others"
}

# The colour at a place of the window, as ImageMagick names it (srgb(r,g,b)).
pixel_at() { # x y (window coordinates)
  import -window "$window" "$tmp/window.png" 2>/dev/null || fail "could not take a picture of the window"
  convert "$tmp/window.png" -format "%[pixel:p{$1,$2}]" info: 2>/dev/null
}

# A D-Bus session bus of the script's own with the accessibility bus on it, so that the
# program can be read as a screen reader reads it (read_screen). Call before start_pictavo.
start_accessibility() {
  local bus
  for tool in dbus-daemon /usr/libexec/at-spi-bus-launcher /usr/bin/python3; do
    command -v "$tool" >/dev/null || fail "$tool is not installed (scripts/pictavo test installs it)"
  done
  /usr/bin/python3 -c 'import pyatspi' 2>/dev/null || fail "python3-pyatspi is not installed"
  bus="$(dbus-daemon --session --fork --print-address=1 --print-pid=1)" || fail "could not start a D-Bus session bus"
  export DBUS_SESSION_BUS_ADDRESS="$(head -n 1 <<<"$bus")"
  bus_pids+=("$(tail -n 1 <<<"$bus")")
  # Its socket in the script's own runtime folder: the shared default (~/.cache/at-spi/bus_N)
  # clashes with any other run that gets the same display number.
  XDG_RUNTIME_DIR="$tmp/run" /usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
  bus_pids+=($!)
  export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
}

# Reads the whole program through AT-SPI into $tmp/screen.txt: one line per accessible
# object with its depth, role, name and description, separated by tabs.
read_screen() {
  /usr/bin/python3 "$(dirname "${BASH_SOURCE[0]}")/read_screen.py" "$app_pid" 15 >"$tmp/screen.txt" 2>"$tmp/screen.err" ||
    fail "AT-SPI could not read the program: $(cat "$tmp/screen.err")"
}

# The whole text of a status-bar panel as a screen reader reads it; the panel is named by
# its role: Message, File size, Date or Time.
panel_text() { # role
  read_screen
  awk -F'\t' -v d="$1" '$2 == "label" && $4 == d { print $3; exit }' "$tmp/screen.txt"
}

# Does what a person does (xdotool arguments) and returns the message panel's text once it
# has changed (or, after five seconds, as it stands).
message_after() {
  local before i text
  before="$(panel_text Message)"
  xdotool "$@"
  for ((i = 0; i < 50; i++)); do
    text="$(panel_text Message)"
    [[ "$text" != "$before" ]] && break
    sleep 0.1
  done
  printf '%s' "$text"
}
