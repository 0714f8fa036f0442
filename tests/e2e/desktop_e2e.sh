#!/usr/bin/env bash
# The player as a user meets it on a desktop: the installed program on a generated demo
# project, on a virtual X server with openbox as window manager, driven by xdotool.
#   desktop_e2e.sh ROOT CASE
# ROOT holds the projects prepare_projects.sh lays out; CASE is layout0, layout1 or layout2
# (the ISYBAU delivery in that window layout) or database (the database delivery in
# layout 0). Every check runs and says what it saw; the test fails when any check failed.
#   first start: no window beyond the screen, the three windows of layout 0 apart
#   an observation click shows the film's frame at that observation's time (ffmpeg's frame)
#   full screen keeps the film's aspect and gives back the window's place
#   Ctrl+K opens the picture panel and Esc closes it
#   Esc closes the time correction and stores nothing
#   no text of the main, control and choice windows is cut (the program's widget dump)
#   a second start finds the windows where the first left them, and stores the same places
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$1
case_name=$2
case "$case_name" in
  layout0 | layout1 | layout2) delivery=isybau layout=${case_name#layout} ;;
  database) delivery=database layout=0 ;;
  *) echo "unknown case: $case_name" >&2; exit 2 ;;
esac
for tool in Xvfb openbox xdotool xwininfo xprop import convert identify ffmpeg ffprobe iconv; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
[ -x "$root/$delivery/kanvio" ] || { echo "no project in $root/$delivery" >&2; exit 1; }

work=$(mktemp -d "$root/run-$case_name.XXXXXX")
# shellcheck source=desktop_lib.sh
. "$here/desktop_lib.sh"
xvfb_pid="" wm_pid="" kanvio_pid=""
cleanup() {
  [ -n "$kanvio_pid" ] && kill "$kanvio_pid" 2>/dev/null
  [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
  [ -n "${KANVIO_E2E_KEEP:-}" ] || rm -rf "$work"
}
trap cleanup EXIT

failures=()
failed() {
  failures+=("$1")
  echo "FAIL: $1 [${SECONDS}s]"
}
passed() { echo "ok: $1 [${SECONDS}s]"; }
# A check the remaining ones cannot go on without.
abort() {
  failed "$1"
  [ -f "$work/kanvio.log" ] && { echo "--- log:"; tail -n 30 "$work/kanvio.log"; }
  [ -s "$work/stdout" ] && { echo "--- program output:"; tail -n 40 "$work/stdout"; }
  exit 1
}

# The project in a folder of its own: the program, films and language files linked, the
# files the program may write copied.
medium="$work/medium"
cp -al "$root/$delivery" "$medium" 2>/dev/null || cp -a "$root/$delivery" "$medium"
for file in Kanvio.ini Kanvio.dat Zeitcodes.xml; do
  [ -e "$medium/$file" ] && cp --remove-destination "$root/$delivery/$file" "$medium/$file"
done
settings="$medium/Kanvio.ini"
sed -i "s|^LogLevel=.*|LogLevel=4\r\nLogFile=$work/kanvio.log\r|" "$settings"
grep -q "LogFile=$work/kanvio.log" "$settings" || abort "log settings not written to $settings"
store="$work/config/Orbelin/Kanvio.conf"
mkdir -p "$(dirname "$store")" "$work/xdg" "$work/state" "$work/runtime"
chmod 700 "$work/runtime"
printf '[SOFTWARE/Orbelin/Kanvio]\nLayoutMode=%s\n' "$layout" >"$store"
export XDG_CONFIG_HOME="$work/config" XDG_CONFIG_DIRS="$work/xdg" XDG_STATE_HOME="$work/state"
export XDG_RUNTIME_DIR="$work/runtime" XDG_CACHE_HOME="$work/cache"
export KANVIO_WIDGET_DUMP="$work/widgets.txt"
unset QT_QPA_PLATFORM
if [ -n "${ASAN_OPTIONS:-}" ]; then
  # As in the other X tests: the GL driver's threads and the slow unwinder deadlock.
  export ASAN_OPTIONS="$ASAN_OPTIONS:fast_unwind_on_malloc=1:detect_leaks=0"
fi

# What the delivery says of its first reach: the times of its observations on the project
# timeline (ISYBAU reach file, also written beside the database: record 4 with a station in
# column 15, hours, minutes and seconds in columns 22, 27 and 29), and the first film
# entry, which holds that reach. The test clicks the second observation.
reach_file="$medium/$(sed -n 's/^Projekt=\([^\r]*\).*/\1/p' "$settings")"
observation_times=$(LC_ALL=C awk 'substr($0, 4, 1) == "2" { reaches++ }
  reaches == 1 && substr($0, 4, 1) == "4" && substr($0, 15, 6) ~ /[0-9]/ {
    print substr($0, 22, 5) * 3600 + substr($0, 27, 2) * 60 + substr($0, 29, 2) }' \
  "$reach_file" | sort -n | tr '\n' ' ')
IFS=';' read -r film_name film_start film_stop _ < <(tr -d '\r' <"$settings" |
  awk '/^\[/ { films = tolower($0) == "[filme]" } films && sub(/^1=/, "") { print; exit }')
film_start_seconds=$(awk -F: '{ print $1 * 3600 + $2 * 60 + $3 }' <<<"$film_start")
film_stop_seconds=$(awk -F: '{ print $1 * 3600 + $2 * 60 + $3 }' <<<"$film_stop")
read -r -a times <<<"$observation_times"
[ ${#times[@]} -ge 2 ] && [ -f "$medium/$film_name" ] &&
  [ "${times[0]}" -ge "$film_start_seconds" ] &&
  [ "${times[-1]}" -lt "$film_stop_seconds" ] ||
  abort "the demo project's first reach has not two observations in its film ($reach_file, $film_name)"
caption=$(sed -n 's/^_MainFormCaption=\([^\r]*\).*/\1/p' "$medium/de/lang_kanvio_de.ini" | iconv -f CP1252 -t UTF-8)
tc_caption=$(sed -n 's/^_TimeCorrection=\([^\r]*\).*/\1/p' "$medium/de/lang_kanvio_de.ini" | iconv -f CP1252 -t UTF-8)

# --- the desktop ---------------------------------------------------------------------------
wm_running() { kill -0 "$wm_pid" && xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"; }
# An X server on the first free display with openbox on it. A server that another one
# beside it (on a shared machine) takes the display from is given up and started anew.
start_desktop() {
  rm -f "$work/display"
  Xvfb -displayfd 3 -screen 0 1280x900x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
  xvfb_pid=$!
  wait_for 10 test -s "$work/display" || return 1
  DISPLAY=":$(head -n 1 "$work/display")"
  export DISPLAY
  openbox --config-file "$here/openbox-rc.xml" >"$work/openbox.log" 2>&1 &
  wm_pid=$!
  wait_for 10 wm_running
}
for attempt in 1 2 3; do
  start_desktop && break
  echo "note: attempt $attempt to start Xvfb and openbox failed: $(tail -n 1 "$work/openbox.log" 2>/dev/null)"
  kill "$wm_pid" "$xvfb_pid" 2>/dev/null
  wait "$wm_pid" "$xvfb_pid" 2>/dev/null
  wm_pid="" xvfb_pid=""
done
[ -n "$wm_pid" ] || abort "Xvfb with openbox did not start (see above)"
read -r screen_width screen_height < <(xdotool getdisplaygeometry)

log_count() {
  local count
  count=$(grep -c -- "$1" "$work/kanvio.log" 2>/dev/null)
  echo "${count:-0}"
}
# Waits until the log holds more lines with $2 than $1.
log_has_more() { [ "$(log_count "$2")" -gt "$1" ]; }
log_grows() { wait_for "${3:-10}" log_has_more "$1" "$2"; }

windows_at_least() { [ "$(windows_of "$kanvio_pid" | wc -l)" -ge "$1" ]; }

main_window="" video_window="" control_window=""
# Starts the program and waits for its windows and the first film.
start_program() {
  local seeks
  seeks=$(log_count "offset:")
  (cd "$medium" && exec ./kanvio) >>"$work/stdout" 2>&1 &
  kanvio_pid=$!
  log_grows "$seeks" "offset:" 40 || abort "start $1: the program showed no film"
  local wanted=1
  [ "$layout" -eq 0 ] && wanted=3
  wait_for 20 windows_at_least "$wanted" ||
    abort "start $1: the program opened $(windows_of "$kanvio_pid" | wc -l) windows, not $wanted"
  main_window="" video_window="" control_window=""
  local window
  for window in $(windows_of "$kanvio_pid"); do
    if [ "$(window_title "$window")" = "$caption" ]; then
      main_window=$window
    elif window_is_utility "$window"; then
      control_window=$window
    else
      video_window=$window
    fi
  done
  [ -n "$main_window" ] || abort "start $1: no window titled '$caption'"
  if [ "$layout" -eq 0 ]; then
    [ -n "$control_window" ] && [ -n "$video_window" ] ||
      abort "start $1: the control or the video window is missing"
  fi
  # The window manager has placed the windows when they stay put.
  local settled=0
  for _ in $(seq 20); do
    [ "$(window_frames)" = "$(sleep 0.3; window_frames)" ] && { settled=1; break; }
  done
  [ $settled -eq 1 ] || failed "start $1: the windows keep moving: $(window_frames | tr '\n' ';')"
}

# The frames of the program's windows, one "name: left top width height" a line.
window_frames() {
  echo "main window: $(frame_of "$main_window")"
  if [ "$layout" -eq 0 ]; then
    echo "video window: $(frame_of "$video_window")"
    echo "control window: $(frame_of "$control_window")"
  fi
}

# Stops the program as a user does: Alt+F4 on the main window.
stop_program() {
  keys_to "$main_window" alt+F4
  wait_for 20 bash -c "! kill -0 $kanvio_pid" || abort "start $1: Alt+F4 did not end the program"
  wait "$kanvio_pid"
  local status=$?
  kanvio_pid=""
  [ "$status" -eq 0 ] || failed "start $1: the program ended with status $status"
}

stored_places() {
  grep -E '^(Main|Screen|Ctrl|Single|ChoiceFrm)(Left|Top|Width|Height)=' "$store" | sort
}

# shellcheck source=desktop_checks.sh
. "$here/desktop_checks.sh"

# --- first start -----------------------------------------------------------------------------
start_program 1
first_places=$(window_frames)
check_places "$first_places"
choose_observation
check_full_screen
check_picture_panel
check_time_correction_escape
check_widget_texts
closing_places=$(window_frames)
[ "$closing_places" = "$first_places" ] ||
  failed "the windows moved while the user moved none: at start $(tr '\n' ';' <<<"$first_places"), at the end $(tr '\n' ';' <<<"$closing_places")"
stop_program 1
stored_first=$(stored_places)
check_stored_places "$closing_places" "$stored_first"

# --- second start: nothing creeps ------------------------------------------------------------
start_program 2
second_places=$(window_frames)
if [ "$second_places" = "$closing_places" ]; then
  passed "second start: the windows open where the first start left them"
else
  failed "second start: the windows moved: $(diff <(echo "$closing_places") <(echo "$second_places") | grep '^[<>]' | tr '\n' ';')"
fi
stop_program 2
stored_second=$(stored_places)
if [ "$stored_second" = "$stored_first" ]; then
  passed "second start: the stored window places stay ($(tr '\n' ' ' <<<"$stored_first"))"
else
  failed "second start: the stored window places changed: $(diff <(echo "$stored_first") <(echo "$stored_second") | grep '^[<>]' | tr '\n' ';')"
fi

if [ ${#failures[@]} -gt 0 ]; then
  echo "${#failures[@]} check(s) failed in case $case_name"
  exit 1
fi
echo "PASS: case $case_name"
