#!/usr/bin/env bash
# Installs the program with a generated demo project into a temporary folder, starts it
# under Xvfb in the given window layout (0 three windows, 1 single window with the
# structure graphic, 2 single window with the observation list) with "/H" and a reach
# number, chooses an observation and switches the player off, checking the log, a
# screenshot and the stored window places.
#   main_window_e2e.sh BUILD_DIR KANVIO_MKPROJECT [LAYOUT]
set -uo pipefail
build_dir=$1
mkproject=$2
layout=${3:-0}
case "$layout" in
  0|1|2) ;;
  *) echo "unknown layout: $layout" >&2; exit 2 ;;
esac

work=$(mktemp -d /tmp/kanvio-e2e.XXXXXX)
xvfb_pid=""
kanvio_pid=""
cleanup() {
  [ -n "$kanvio_pid" ] && kill "$kanvio_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  [ -f "$work/kanvio.log" ] && tail -n 30 "$work/kanvio.log" >&2
  [ -s "$work/stdout" ] && { echo "--- program output:" >&2; tail -n 60 "$work/stdout" >&2; }
  exit 1
}

# Waits up to $1 seconds for the command in the remaining arguments to succeed.
wait_for() {
  local seconds=$1; shift
  local tries=$((seconds * 10))
  while [ $tries -gt 0 ]; do
    "$@" >/dev/null 2>&1 && return 0
    sleep 0.1
    tries=$((tries - 1))
  done
  return 1
}

medium="$work/medium"
cmake --install "$build_dir" --prefix "$medium" >/dev/null || fail "install"
"$mkproject" --demo "$medium" >/dev/null || fail "project generator"

# Debug log into the work folder; the layout already chosen, so no dialog asks.
sed -i "s|^LogLevel=.*|LogLevel=4\r\nLogFile=$work/kanvio.log\r|" "$medium/Kanvio.ini"
grep -q "LogFile=$work/kanvio.log" "$medium/Kanvio.ini" || fail "log settings not written"
mkdir -p "$work/config/Orbelin" "$work/xdg" "$work/state"
printf '[SOFTWARE/Orbelin/Kanvio]\nLayoutMode=%s\n' "$layout" > "$work/config/Orbelin/Kanvio.conf"
export XDG_CONFIG_HOME="$work/config" XDG_CONFIG_DIRS="$work/xdg" XDG_STATE_HOME="$work/state"
unset QT_QPA_PLATFORM

cd "$medium" || fail "medium folder"
# The reach of the second film: the film list names it in the summary.
reach=$(./kanvio --summary | sed -n 's/^  2: .* -> \([^ ]*\)$/\1/p')
[ -n "$reach" ] || fail "no reach in the summary"

Xvfb -displayfd 3 -screen 0 1280x900x24 3>"$work/display" 2>/dev/null &
xvfb_pid=$!
wait_for 10 test -s "$work/display" || fail "Xvfb did not start"
export DISPLAY=":$(head -n 1 "$work/display")"

./kanvio /H "$reach" >"$work/stdout" 2>&1 &
kanvio_pid=$!
log_has() { grep -q -- "$1" "$work/kanvio.log" 2>/dev/null; }
count_of() { grep -c -- "$1" "$work/kanvio.log" 2>/dev/null || true; }
wait_for 30 log_has "offset:" || fail "the start-up choice made no seek"
log_has "Command line:" && fail "the command line reach was not found"
sleep 1

# The main window opens at (0, 0). Layout 0: the first observation row lies under the
# column titles of the main window's structure graphic, the video window is right of the
# main window and the off button is top-left of the control window below it. The single
# window has the graphic (layout 1) or the list (layout 2, a double click on the reach's
# row) on the left, the video on the right and the end button under the video.
case "$layout" in
  0) choose=(mousemove 135 168 click 1); video_crop=280x220+410+30; off=(19 519) ;;
  1) choose=(mousemove 200 167 click 1); video_crop=280x220+440+50; off=(704 470) ;;
  2) choose=(mousemove 60 31 click --repeat 2 1); video_crop=280x220+440+50; off=(704 470) ;;
esac
seeks=$(count_of "SeekDetail -> SeekPosition")
xdotool "${choose[@]}"
wait_for 10 test "$(count_of 'SeekDetail -> SeekPosition')" -gt "$seeks" ||
  fail "choosing the observation did not seek"
sleep 1
import -window root "$work/shot.png" || fail "screenshot"
# The video shows a picture: more than a handful of colours where an empty display
# would be one colour.
colours=$(convert "$work/shot.png" -crop "$video_crop" -format '%k' info: 2>/dev/null || echo 0)
[ "${colours:-0}" -gt 50 ] || fail "the screen shows no film ($colours colours)"

if [ "$layout" -eq 0 ]; then
  # The control window lies below the main window, whose first-start size follows the
  # font: the off button is top-left in the lowest of the program's windows.
  lowest=-1
  for window in $(xdotool search --pid "$kanvio_pid" --onlyvisible 2>/dev/null); do
    eval "$(xdotool getwindowgeometry --shell "$window")"
    if [ "$Y" -gt "$lowest" ]; then
      lowest=$Y
      off=($((X + 19)) $((Y + 19)))
    fi
  done
else
  # The single window grows with the structure column its texts need: the end button
  # keeps its distance from the window's bottom-right corner.
  for window in $(xdotool search --pid "$kanvio_pid" --onlyvisible 2>/dev/null); do
    eval "$(xdotool getwindowgeometry --shell "$window")"
    if [ "$WIDTH" -gt 500 ]; then
      off=($((X + WIDTH - 69)) $((Y + HEIGHT - 123)))
    fi
  done
fi
xdotool mousemove "${off[0]}" "${off[1]}" click 1
wait_for 15 bash -c "! kill -0 $kanvio_pid" || fail "the player did not end"
wait "$kanvio_pid"
status=$?
kanvio_pid=""
[ "$status" -eq 0 ] || fail "exit status $status"
place_key=MainWidth
[ "$layout" -ne 0 ] && place_key=SingleLeft
grep -q "^$place_key=" "$work/config/Orbelin/Kanvio.conf" || fail "main window place not stored"
echo "PASS: layout $layout, reach $reach, $colours colours on screen"
