#!/usr/bin/env bash
# The judgements of the desktop test's helpers, on made-up frames and pictures: where a
# frame counts as beyond the screen, when two frames overlap, and where the picture on a
# screenshot lies.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
for tool in convert identify; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
work=$(mktemp -d "${TMPDIR:-/tmp}/kanvio-desktop-lib.XXXXXX")
trap 'rm -rf "$work"' EXIT
# shellcheck source=desktop_lib.sh
. "$here/desktop_lib.sh"

failures=0
check() {
  local name=$1 want=$2 got=$3
  if [ "$got" = "$want" ]; then
    echo "ok: $name"
  else
    echo "FAIL: $name: got '$got', want '$want'"
    failures=$((failures + 1))
  fi
}

screen_width=1280 screen_height=900
# frame, on the screen?
while read -r l t w h want name; do
  if frame_on_screen "window" "$l $t $w $h" >/dev/null; then got=yes; else got=no; fi
  check "on screen: $name" "$want" "$got"
done <<'EOF'
0 0 1280 900 yes filling the screen exactly
-1 480 785 141 no one pixel beyond the left edge
0 -20 775 609 no title bar above the top
495 0 785 900 yes touching the right and bottom edges
496 0 785 900 no one pixel beyond the right edge
0 760 785 141 no one pixel beyond the bottom edge
EOF
check "beyond the screen: the message names the edges" \
  "control window frame 785x141 at (-1,900) lies beyond the screen 1280x900: left edge -1 < 0 bottom edge 1041 > 900" \
  "$(frame_on_screen "control window" "-1 900 785 141")"

# two frames, their overlap
while read -r a1 a2 a3 a4 b1 b2 b3 b4 want name; do
  got=$(frames_overlap "$a1 $a2 $a3 $a4" "$b1 $b2 $b3 $b4") || got=none
  check "overlap: $name" "$want" "$got"
done <<'EOF'
0 0 402 525 400 0 302 325 2x325 two pixels side by side
0 0 402 525 402 0 302 325 none touching edges
0 0 402 525 -1 480 785 141 402x45 a window under another
0 0 402 525 0 525 785 141 none one below the other
10 10 100 100 20 20 10 10 10x10 one inside the other
EOF

# the painted picture: the rows and columns more than half not black
convert -size 1280x900 xc:black \
  -fill red -draw "rectangle 90,0 399,899" -fill blue -draw "rectangle 400,0 799,899" \
  -fill yellow -draw "rectangle 800,0 1189,899" \
  -fill gray -draw "rectangle 0,450 1279,450" -draw "rectangle 1250,0 1250,899" \
  "$work/letterboxed.png"
check "picture: a letterboxed picture with a dark blue bar, thin lines beside it" \
  "1100 900 90 0" "$(picture_rect "$work/letterboxed.png")"
convert -size 300x300 xc:black -fill white -draw "rectangle 0,27 299,271" "$work/wide.png"
check "picture: bars above and below" "300 245 0 27" "$(picture_rect "$work/wide.png")"
convert -size 300x300 xc:black "$work/black.png"
if picture_rect "$work/black.png" >/dev/null; then got=found; else got=none; fi
check "picture: a black screen has none" none "$got"

# runs of numbers
check "runs: gaps split them" "$(printf '3 5\n9 9\n11 12')" "$(printf '%s\n' 3 4 5 9 11 12 | runs_of)"
check "runs: the longest" "11 14" "$(printf '%s\n' 3 4 5 9 11 12 13 14 | longest_run)"
check "runs: none" "" "$(printf '' | runs_of)"

if [ "$failures" -gt 0 ]; then
  echo "$failures case(s) failed"
  exit 1
fi
echo "PASS: the desktop test's helpers"
