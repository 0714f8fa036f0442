# The checks of desktop_e2e.sh, sourced by it after the program started. Each says what it
# saw through passed or failed.

check_places() {
  local name frame problem all_on_screen=1
  while IFS=: read -r name frame; do
    problem=$(frame_on_screen "$name" "$frame") || { failed "first start: $problem"; all_on_screen=0; }
  done <<<"$1"
  [ $all_on_screen -eq 1 ] && passed "first start: every window lies on the screen"
  [ "$layout" -eq 0 ] || return 0
  local names=() frames=() apart=1 i j overlap
  while IFS=: read -r name frame; do
    names+=("$name")
    frames+=("$frame")
  done <<<"$1"
  for ((i = 0; i < ${#names[@]}; i++)); do
    for ((j = i + 1; j < ${#names[@]}; j++)); do
      if overlap=$(frames_overlap "${frames[i]}" "${frames[j]}"); then
        failed "first start: the ${names[i]} frame $(describe_frame "${frames[i]}") and the ${names[j]} frame $(describe_frame "${frames[j]}") overlap by $overlap"
        apart=0
      fi
    done
  done
  [ $apart -eq 1 ] && passed "first start: the three windows lie apart"
}

# Masks of what a window shows: coloured writing (observations in the structure graphic,
# in blue or their defect class's colour, where everything else is black, white or grey)
# and the selection's colour (the current row of a list, the highlighted menu entry).
coloured_text_mask() {
  convert "$1" -colorspace HCL -channel G -separate +channel -threshold 35% "$2"
}
selection_mask() {
  convert "$1" -color-matrix '-1 0 1 -1 0 1 -1 0 1' -colorspace gray -threshold 35% "$2"
}

# Prints "first last" of the rows of mask $1 of which more than $2 (0 to 255) is set, a run
# a line.
mask_rows() {
  local h
  h=$(identify -format %h "$1")
  convert "$1" -scale "1x$h!" png:- | pixels_above png:- "$2" | awk '{ print $2 }' | runs_of
}
# Prints "first last" of the columns of mask $1 within rows $2 to $3 that hold a set pixel.
mask_columns() {
  local w
  w=$(identify -format %w "$1")
  convert "$1" -crop "${w}x$(($3 - $2 + 1))+0+$2" +repage -scale "${w}x1!" png:- |
    pixels_above png:- 0 | awk '{ print $1 }' | runs_of
}

# Chooses the first reach's second observation as a user does: a click on its line in the
# structure graphic (which plays from there; Space pauses) or a double click on its row of
# the list (which stays paused).
choose_observation() {
  local shot="$work/main.png" mask="$work/mask.png" top bottom left right
  import -window "$main_window" "$shot" || abort "no screenshot of the main window"
  # The structure graphic or list fills the left of the window; the film is on the right.
  convert "$shot" -crop "50%x100%+0+0" +repage "$shot"
  local seeks pauses
  seeks=$(log_count "SeekDetail -> SeekPosition")
  if [ "$layout" -eq 2 ]; then
    selection_mask "$shot" "$mask"
    read -r top bottom < <(mask_rows "$mask" 64 | head -n 1)
    [ -n "${top:-}" ] || abort "layout 2: no chosen row in the list"
    read -r left right < <(mask_columns "$mask" "$top" "$bottom" | head -n 1)
    local row=$((bottom - top + 1))
    # The reach's row is chosen and open; its second observation is two rows further.
    xdotool mousemove --window "$main_window" $((left + 60)) $((top + 2 * row + row / 2)) \
      click --repeat 2 --delay 100 1
    observation_span=0.2
  else
    coloured_text_mask "$shot" "$mask"
    read -r top bottom < <(mask_rows "$mask" 0 | sed -n 2p)
    [ -n "${top:-}" ] || abort "layout $layout: no second observation line in the structure graphic"
    read -r left right < <(mask_columns "$mask" "$top" "$bottom" | head -n 1)
    pauses=$(log_count "PauseMovie: Success")
    xdotool mousemove --window "$main_window" $(((left + right) / 2)) $(((top + bottom) / 2)) click 1
    log_grows "$seeks" "SeekDetail -> SeekPosition" || abort "the observation click made no seek"
    keys_to "$main_window" space
    log_grows "$pauses" "PauseMovie: Success" ||
      failed "Space after the observation click did not pause the film"
    observation_span=3
  fi
  log_grows "$seeks" "SeekDetail -> SeekPosition" || abort "choosing the observation made no seek"
  # Which observation the click hit, by the time the program seeks to: one of the reach's.
  local chosen
  chosen=$(sed -n 's/.*, Req: \([0-9]*\).*/\1/p' "$work/kanvio.log" | tail -n 1)
  if [[ " $observation_times " != *" ${chosen:-none} "* ]]; then
    abort "the observation click sought ${chosen:-no} second, not the time of an observation of the first reach ($observation_times)"
  fi
  [ "$chosen" -eq "${times[1]}" ] ||
    echo "note: the click hit the observation at ${chosen}s, not the second at ${times[1]}s"
  film_seconds=$((chosen - film_start_seconds))
  sleep 0.5
}

# The film's frame the screen shows must be the observation's (or one shortly after it
# when the click started playback); the check runs on the full-screen picture, where the
# picture is the only thing on the screen that is not black.
full_screen_window() {
  local window frame
  for window in $(windows_of "$kanvio_pid"); do
    frame=$(frame_of "$window")
    [ "$frame" = "0 0 $screen_width $screen_height" ] && { echo "$window"; return 0; }
  done
  return 1
}

check_full_screen() {
  local before after window
  before=$(window_frames)
  keys_to "$main_window" F11
  wait_for 10 full_screen_window || { failed "F11 brought no window to full screen"; return; }
  window=$(full_screen_window)
  sleep 1
  local shot="$work/full.png"
  import -window root "$shot" || abort "no screenshot of the screen"
  local w h x y num den
  if ! read -r w h x y < <(picture_rect "$shot"); then
    failed "full screen: the screen shows no picture"
  else
    local aspect
    read -r _ _ _ aspect < <(film_picture "$medium/$film_name")
    num=${aspect%%:*} den=${aspect##*:}
    # The picture fills the screen in one direction; the other follows the film's aspect.
    local want_w=$(((h * num + den / 2) / den)) want_h=$(((w * den + num / 2) / num))
    if [ $((w - want_w)) -le 2 ] && [ $((want_w - w)) -le 2 ] ||
      [ $((h - want_h)) -le 2 ] && [ $((want_h - h)) -le 2 ]; then
      passed "full screen: the picture ${w}x$h at ($x,$y) keeps the film's aspect $num:$den"
    else
      failed "full screen: the picture ${w}x$h at ($x,$y) does not keep the film's aspect $num:$den ($film_name): ${want_w}x$h or ${w}x$want_h expected"
    fi
    convert "$shot" -crop "${w}x$h+$x+$y" +repage "$work/shown.png"
    check_shown_frame "$work/shown.png"
  fi
  xdotool key Escape
  wait_for 10 no_full_screen_window
  if full_screen_window >/dev/null; then
    failed "full screen: Esc did not leave it"
    keys_to "$window" F11
    wait_for 10 no_full_screen_window
  fi
  wait_for 3 frames_are "$before"
  after=$(window_frames)
  if [ "$after" = "$before" ]; then
    passed "full screen: leaving it gives the windows their places back"
  else
    failed "full screen: leaving it moved the windows: $(diff <(echo "$before") <(echo "$after") | grep '^[<>]' | tr '\n' ';')"
  fi
}
frames_are() { [ "$(window_frames)" = "$1" ]; }
no_full_screen_window() { ! full_screen_window >/dev/null; }
window_gone() { ! windows_of "$kanvio_pid" | grep -qx "$1"; }
windows_differ_from() { [ "$(windows_of "$kanvio_pid")" != "$1" ]; }
windows_are() { [ "$(windows_of "$kanvio_pid")" = "$1" ]; }
# The dump is complete and holds a line of a window whose name matches $2.
dump_shows() { tail -n 1 "$1" | grep -qx END && cut -f1 "$1" | grep -Eq "^($2)\$"; }

# The demo films differ from frame to frame over the whole picture and from film to film
# in the name in their top left corner: both must match.
check_shown_frame() {
  local from whole corner at
  from=$(awk -v s="$film_seconds" 'BEGIN { printf "%.2f", s - 0.1 < 0 ? 0 : s - 0.1 }')
  read -r whole corner at < <(closest_film_frame "$1" "$medium/$film_name" "$from" "$observation_span")
  if [ -z "${whole:-}" ]; then
    failed "observation: ffmpeg decoded no frame of $film_name at ${film_seconds}s"
  elif awk -v w="$whole" -v c="$corner" 'BEGIN { exit !(w <= 0.04 && c <= 0.04) }'; then
    passed "observation: the screen shows $film_name at ${at}s (observation at ${film_seconds}s; differences $whole, corner $corner)"
  else
    failed "observation: the screen does not show $film_name from ${film_seconds}s on: the closest of ffmpeg's frames up to ${observation_span}s later (${at}s) differs by $whole (at most 0.04), in the film's name by $corner (at most 0.04)"
  fi
}

check_picture_panel() {
  local before panel=""
  before=$(windows_of "$kanvio_pid")
  # K alone is no command.
  keys_to "$main_window" k
  if wait_for 1 windows_differ_from "$before"; then
    failed "K without Ctrl opened a window: $(comm -13 <(echo "$before") <(windows_of "$kanvio_pid") | tr '\n' ' ')"
    xdotool key Escape
    wait_for 3 windows_are "$before"
  else
    passed "K without Ctrl opened nothing"
  fi
  keys_to "$main_window" ctrl+k
  wait_for 10 windows_differ_from "$before"
  panel=$(comm -13 <(echo "$before") <(windows_of "$kanvio_pid") | head -n 1)
  if [ -z "$panel" ]; then
    failed "Ctrl+K opened no picture panel"
    return
  fi
  passed "Ctrl+K opened the picture panel ($(describe_frame "$(frame_of "$panel")"))"
  sleep 0.5
  xdotool key Escape
  if wait_for 5 window_gone "$panel"; then
    passed "Esc closed the picture panel"
  else
    failed "Esc left the picture panel open"
    keys_to "$main_window" Escape
  fi
}

# The time corrections and the ZF file as they stand.
time_correction_state() {
  tr -d '\r' <"$settings" | awk '/^\[/ { keep = tolower($0) ~ /^\[timecorr_/ } keep'
  [ -f "$medium/Zeitcodes.xml" ] && md5sum <"$medium/Zeitcodes.xml"
}

check_time_correction_escape() {
  local before dialog="" window
  before=$(time_correction_state)
  keys_to "$main_window" ctrl+t
  for _ in $(seq 50); do
    for window in $(windows_of "$kanvio_pid"); do
      [ "$(window_title "$window")" = "$tc_caption" ] && dialog=$window
    done
    [ -n "$dialog" ] && break
    sleep 0.1
  done
  if [ -z "$dialog" ]; then
    failed "Ctrl+T opened no window titled '$tc_caption'"
    return
  fi
  sleep 0.3
  # A value typed and then dropped with Esc.
  xdotool key --window "$dialog" --clearmodifiers 5
  xdotool key --clearmodifiers Escape
  if wait_for 5 window_gone "$dialog"; then
    passed "Esc closed the time correction"
  else
    failed "Esc left the time correction open"
    return
  fi
  sleep 0.3
  local after
  after=$(time_correction_state)
  if [ "$after" = "$before" ]; then
    passed "the time correction closed with Esc stored nothing"
  else
    failed "the time correction closed with Esc changed $settings or the ZF file: $(diff <(echo "$before") <(echo "$after") | grep '^[<>]' | tr '\n' ';')"
  fi
}

# Opens the choice window through the main window's menu: a click on the first menu, then
# the arrow keys to the choice entry (the fourth, after the delivery menu), then a click on
# that highlighted entry.
open_choice_window() {
  local before shot="$work/menu.png" mask="$work/menu-mask.png" left right
  before=$(windows_of "$kanvio_pid")
  xdotool windowactivate --sync "$main_window" >/dev/null 2>&1
  xdotool mousemove --window "$main_window" 12 10 click 1
  sleep 0.5
  xdotool key Right
  sleep 0.3
  xdotool key Right
  sleep 0.3
  xdotool key Right
  sleep 0.5
  import -window "$main_window" -crop "$(xwininfo -id "$main_window" | sed -n 's/^ *Width: *//p')x20+0+0" "$shot"
  selection_mask "$shot" "$mask"
  read -r left right < <(mask_columns "$mask" 0 19 | awk '{ if ($2 - $1 > best) { best = $2 - $1; run = $0 } } END { print run }')
  if [ -z "${left:-}" ]; then
    xdotool key Escape Escape
    return 1
  fi
  xdotool mousemove --window "$main_window" $(((left + right) / 2)) 10 click 1
  wait_for 10 windows_differ_from "$before" || return 1
  sleep 0.5
  choice_window=$(comm -13 <(echo "$before") <(windows_of "$kanvio_pid") | head -n 1)
  [ -n "$choice_window" ]
}

check_widget_texts() {
  # A window is named by its object name, else its class.
  local windows=("T?KanvioMainForm|T?KanvioSingleForm")
  [ "$layout" -eq 0 ] && windows+=("T?SteeringForm")
  # Layout 2 has no choice entry in its menu.
  if [ "$layout" -ne 2 ]; then
    if open_choice_window; then
      passed "the choice window opened ($(describe_frame "$(frame_of "$choice_window")"))"
      local problem
      problem=$(frame_on_screen "choice window" "$(frame_of "$choice_window")") ||
        failed "choice window: $problem"
      windows+=("T?InspChoiceForm")
    else
      failed "the menu's choice entry opened no window"
    fi
  fi
  local dump=$KANVIO_WIDGET_DUMP pattern
  wait_for 5 test -s "$dump"
  if [ ! -s "$dump" ]; then
    failed "widget texts: the program wrote no widget dump to $dump"
    return
  fi
  # The dump follows the windows shortly after they change.
  for pattern in "${windows[@]}"; do
    wait_for 5 dump_shows "$dump" "$pattern"
  done
  local report
  if report=$(bash "$here/check_widget_dump.sh" "$dump" "${windows[@]}" 2>&1); then
    passed "widget texts: $report"
  else
    failed "widget texts: $(tr '\n' ';' <<<"$report")"
  fi
}

# The stored places are the frames the windows had when the program ended: left and top of
# every window, width and height of the main window too.
check_stored_places() {
  local places=$1 stored=$2 name frame l t w h key want have right=1
  while IFS=: read -r name frame; do
    read -r l t w h <<<"$frame"
    local keys=()
    case "$name:$layout" in
      "main window:0") keys=("MainLeft=$l" "MainTop=$t" "MainWidth=$w" "MainHeight=$h") ;;
      "video window:0") keys=("ScreenLeft=$l" "ScreenTop=$t") ;;
      "control window:0") keys=("CtrlLeft=$l" "CtrlTop=$t") ;;
      main\ window:*) keys=("SingleLeft=$l" "SingleTop=$t") ;;
    esac
    for want in "${keys[@]}"; do
      key=${want%%=*}
      have=$(grep "^$key=" <<<"$stored")
      if [ "$have" != "$want" ]; then
        failed "stored places: ${have:-no $key} where the $name's frame $(describe_frame "$frame") gives $want"
        right=0
      fi
    done
  done <<<"$places"
  [ $right -eq 1 ] && passed "stored places: the frames the windows had at the end"
}
