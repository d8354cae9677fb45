#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the Debian package, checks it with lintian (any error or warning fails), installs
# it with apt-get the way a person would, starts the installed program in a private X
# server with a picture to open (as a file manager's "Open with" does, and through
# xdg-open), and removes the package again. Installing changes the machine, so
# this runs only where it is asked for (PICTAVO_INSTALL_CHECK=1, as CI sets it on its clean
# machine); elsewhere it is skipped.
#
# usage: installed.sh BUILD_DIR
set -uo pipefail

build="$(cd "$1" && pwd)"
if [[ "${PICTAVO_INSTALL_CHECK:-}" != 1 ]]; then
  echo "Skipped: set PICTAVO_INSTALL_CHECK=1 to install, start and remove the package on this machine."
  exit 77
fi
if [[ "$(dpkg-query -W -f='${db:Status-Status}' pictavo 2>/dev/null)" == installed ]]; then
  echo "Skipped: a pictavo package is installed here already, and this check would remove it."
  exit 77
fi

out="$(mktemp -d)"
installed=""
remove_package() {
  if [[ -n "$installed" ]]; then
    DEBIAN_FRONTEND=noninteractive apt-get remove -y -q pictavo >"$out/remove.log" 2>&1 ||
      { cat "$out/remove.log"; return 1; }
    installed=""
  fi
}
trap 'remove_package; rm -rf "$out"' EXIT
die() { echo "FAIL: $*" >&2; exit 1; }

(cd "$build" && cpack -G DEB -B "$out" >"$out/cpack.log" 2>&1) || { cat "$out/cpack.log"; die "cpack could not build the package"; }
deb="$(ls "$out"/pictavo_*.deb 2>/dev/null | head -n 1)"
[[ -n "$deb" ]] || die "cpack made no pictavo_*.deb"
echo "Package $(basename "$deb"), Depends: $(dpkg-deb -f "$deb" Depends)"
[[ "$(dpkg-deb -f "$deb" Depends)" == *libqt6widgets6* ]] || die "the package's dependencies were not computed"
[[ "$(dpkg-deb -f "$deb" Homepage)" == https://* ]] || die "the package names no Homepage"

# Debian's own checks of the package, as a reviewer would run them.
echo "lintian $(basename "$deb"):"
lintian --fail-on error,warning "$deb" 2>&1 | sed 's/^/  /'
((PIPESTATUS[0] == 0)) || die "lintian reports an error or a warning"

DEBIAN_FRONTEND=noninteractive apt-get install -y -q "$deb" >"$out/apt.log" 2>&1 ||
  { cat "$out/apt.log"; die "apt-get could not install $deb"; }
installed=1

app_id=org.pictavo.Pictavo
for f in /usr/bin/pictavo /usr/share/applications/$app_id.desktop /usr/share/metainfo/$app_id.metainfo.xml \
  /usr/share/icons/hicolor/scalable/apps/$app_id.svg /usr/share/icons/hicolor/256x256/apps/$app_id.png \
  /usr/share/icons/hicolor/16x16/apps/$app_id.png; do
  [[ -e "$f" ]] || die "the package did not install $f"
done
desktop-file-validate /usr/share/applications/$app_id.desktop || die "the installed desktop entry is not valid"
appstreamcli validate --no-net /usr/share/metainfo/$app_id.metainfo.xml || die "the installed metainfo is not valid"
# Not grep -q: it would stop reading early, and the broken pipe fails the pipeline.
dpkg-deb -c "$deb" | grep ' ./usr/share/man/man1/pictavo.1.gz$' >/dev/null || die "the package holds no manual page"
# Slim container images tell dpkg to leave manual pages out; everywhere else man finds it.
if ! grep -qsr '^path-exclude=/usr/share/man' /etc/dpkg/dpkg.cfg.d; then
  [[ "$(man -w pictavo 2>/dev/null)" == /usr/share/man/man1/pictavo.1.gz ]] || die "man pictavo finds no manual page"
  MANWIDTH=80 man pictavo 2>/dev/null | grep "EXIT STATUS" >/dev/null || die "man pictavo shows no whole manual page"
fi
[[ "$(pictavo --version)" == *"Copyright (c) 2026 The Pictavo developers"*"MIT"* ]] ||
  die "pictavo --version does not print the copyright and the licence"
[[ "$(pictavo --help | tail -n 1)" == "Report bugs at https://"* ]] || die "pictavo --help does not end with where to report bugs"

# The installed program, started with a bitmap in a folder of its own.
program=/usr/bin/pictavo
scenario=installed
source "$(dirname "${BASH_SOURCE[0]}")/../e2e/lib.sh"
trap 'cleanup; remove_package; rm -rf "$out"' EXIT
mkdir -p "$pics/holiday"
make_picture 60x40 xc:gold "$pics/holiday/opened.bmp"
program_args=("$pics/holiday/opened.bmp")
start_pictavo
count="$(position_count)"
[[ "$count" == "1/1" ]] || fail "opened with a picture, the position/count box reads '$count', expected '1/1'"
inside="$(pixel_at $((PICTURE1_X + 5)) $((menu_h + PICTURE1_Y + 5)))"
[[ "$inside" == "srgb(255,215,0)" || "$inside" == "gold" ]] ||
  fail "opened with a gold bitmap, the viewport shows '$inside'"

kill "$app_pid" 2>/dev/null
wait "$app_pid" 2>/dev/null
app_pid=""

# xdg-open with Pictavo chosen for each type it claims, as a person does in a file manager:
# a ".jpeg" name, which the file list's pattern leaves out, and the types the list never
# shows are opened all the same. Each picture is made by its type's own encoder.
in_home() { env HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share" \
  XDG_RUNTIME_DIR="$tmp/run" QT_QPA_PLATFORM=xcb "$@"; }
while read -r type mime name; do
  make_gold_over_navy "$type" "$pics/holiday/$name"
  in_home xdg-mime default $app_id.desktop "$mime"
  [[ "$(in_home xdg-mime query default "$mime")" == "$app_id.desktop" ]] || fail "xdg-mime does not take Pictavo for $mime"
  in_home xdg-open "$pics/holiday/$name" >"$tmp/pictavo.log" 2>&1 &
  opener=$!
  window="$(timeout 40 xdotool search --sync --onlyvisible --classname '^pictavo$' 2>/dev/null | head -n 1)"
  [[ -n "$window" ]] || { cat "$tmp/pictavo.log"; fail "xdg-open $name showed no Pictavo window"; }
  app_pid="$(xdotool getwindowpid "$window")"
  [[ "$(xprop -id "$window" _NET_WM_WINDOW_TYPE)" == *_NET_WM_WINDOW_TYPE_NORMAL* ]] ||
    fail "xdg-open $name first showed a message box, not the main window"
  count="$(position_count)"
  [[ "$count" == "0/1" ]] || fail "$name opened through xdg-open, the position/count box reads '$count', expected '0/1'"
  check_gold_over_navy "$name (opened through xdg-open)"
  kill "$app_pid" 2>/dev/null
  # Gone, window and all, before the next type is opened and its window looked for.
  for _ in $(seq 100); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
  app_pid=""
  wait "$opener" 2>/dev/null
done <<'TYPES'
jpeg image/jpeg beach.jpeg
png  image/png  screen.png
webp image/webp web.webp
tiff image/tiff scan.tif
avif image/avif sticker.avif
heic image/heic phone.heic
jxl  image/jxl  photo.jxl
TYPES
remove_package || die "apt-get could not remove pictavo"
[[ ! -e /usr/bin/pictavo ]] || die "/usr/bin/pictavo is still there after the package was removed"
echo "Lintian-clean, installed, opened a picture directly and each type through xdg-open, removed: ok"
