# Helpers of the desktop tests: the program's windows on an X server with a window manager,
# and what the screen shows. Sourced by desktop_e2e.sh, which sets $work.

# Waits up to $1 seconds for the command in the remaining arguments to succeed.
wait_for() {
  local deadline=$((SECONDS + $1))
  shift
  while true; do
    "$@" >/dev/null 2>&1 && return 0
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.1
  done
}

# --- windows ---------------------------------------------------------------------------

# The visible top-level windows of process $1, one id a line.
windows_of() {
  xdotool search --onlyvisible --pid "$1" 2>/dev/null | sort -n
}

window_title() {
  xprop -id "$1" _NET_WM_NAME 2>/dev/null | sed -n 's/^[^=]*= "\(.*\)"$/\1/p'
}

window_is_utility() {
  xprop -id "$1" _NET_WM_WINDOW_TYPE 2>/dev/null | grep -q _NET_WM_WINDOW_TYPE_UTILITY
}

# The outer bounds of window $1 as "left top width height": its inner place on the screen
# widened by the frame the window manager puts around it.
frame_of() {
  local info extents left right top bottom x y w h
  info=$(xwininfo -id "$1" 2>/dev/null) || return 1
  x=$(sed -n 's/^ *Absolute upper-left X: *//p' <<<"$info")
  y=$(sed -n 's/^ *Absolute upper-left Y: *//p' <<<"$info")
  w=$(sed -n 's/^ *Width: *//p' <<<"$info")
  h=$(sed -n 's/^ *Height: *//p' <<<"$info")
  extents=$(xprop -id "$1" _NET_FRAME_EXTENTS 2>/dev/null | sed -n 's/^[^=]*= //p' | tr -d ' ')
  IFS=, read -r left right top bottom <<<"${extents:-0,0,0,0}"
  echo "$((x - left)) $((y - top)) $((w + left + right)) $((h + top + bottom))"
}

# "W x H at (L,T)" for messages.
describe_frame() {
  local l t w h
  read -r l t w h <<<"$1"
  echo "${w}x${h} at ($l,$t)"
}

# Fails with a message when frame $2 (of the window named $1) reaches beyond the screen.
frame_on_screen() {
  local l t w h
  read -r l t w h <<<"$2"
  local problems=()
  [ "$l" -lt 0 ] && problems+=("left edge $l < 0")
  [ "$t" -lt 0 ] && problems+=("top edge $t < 0")
  [ $((l + w)) -gt "$screen_width" ] && problems+=("right edge $((l + w)) > $screen_width")
  [ $((t + h)) -gt "$screen_height" ] && problems+=("bottom edge $((t + h)) > $screen_height")
  [ ${#problems[@]} -eq 0 ] && return 0
  echo "$1 frame $(describe_frame "$2") lies beyond the screen ${screen_width}x${screen_height}: ${problems[*]}"
  return 1
}

# Prints the overlap "WxH" of two frames, and fails when they do not overlap.
frames_overlap() {
  local l1 t1 w1 h1 l2 t2 w2 h2
  read -r l1 t1 w1 h1 <<<"$1"
  read -r l2 t2 w2 h2 <<<"$2"
  local left=$((l1 > l2 ? l1 : l2)) top=$((t1 > t2 ? t1 : t2))
  local right=$((l1 + w1 < l2 + w2 ? l1 + w1 : l2 + w2))
  local bottom=$((t1 + h1 < t2 + h2 ? t1 + h1 : t2 + h2))
  [ "$right" -gt "$left" ] && [ "$bottom" -gt "$top" ] || return 1
  echo "$((right - left))x$((bottom - top))"
}

# Activates window $1 and types the keys that follow, as a user at that window does.
keys_to() {
  local window=$1
  shift
  xdotool windowactivate --sync "$window" >/dev/null 2>&1 || xdotool windowfocus --sync "$window"
  xdotool key --clearmodifiers "$@"
}

# --- pictures ----------------------------------------------------------------------------

# Prints "x y" for each pixel of one-column or one-row image $1 whose grey value exceeds $2
# (0 to 255).
pixels_above() {
  convert "$1" -colorspace gray -depth 8 txt:- |
    awk -F'[,:() ]+' -v limit="$2" 'NR > 1 && $3 > limit { print $1, $2 }'
}

# Prints the first and last index of the longest run of consecutive numbers read from
# standard input, or nothing.
longest_run() {
  awk 'NR == 1 || $1 != last + 1 { start = $1 }
       { last = $1; if ($1 - start + 1 > best) { best = $1 - start + 1; from = start; to = $1 } }
       END { if (best) print from, to }'
}

# Prints every run of consecutive numbers read from standard input as "first last".
runs_of() {
  awk 'NR > 1 && $1 != last + 1 { print start, last }
       NR == 1 || $1 != last + 1 { start = $1 }
       { last = $1 }
       END { if (NR) print start, last }'
}

# The painted picture in screenshot $1: the rows and columns of which more than half is
# not black (in any colour channel: a blue bar is dark, but no border). Prints
# "width height left top", or fails when there is no picture.
picture_rect() {
  local mask="$work/picture-mask.png" w h rows cols
  convert "$1" -channel RGB -separate -evaluate-sequence max -threshold 12% "$mask" || return 1
  w=$(identify -format %w "$mask") h=$(identify -format %h "$mask")
  rows=$(convert "$mask" -scale "1x$h!" png:- | pixels_above png:- 127 | awk '{ print $2 }' |
    longest_run)
  cols=$(convert "$mask" -scale "${w}x1!" png:- | pixels_above png:- 127 | awk '{ print $1 }' |
    longest_run)
  [ -n "$rows" ] && [ -n "$cols" ] || return 1
  local top bottom left right
  read -r top bottom <<<"$rows"
  read -r left right <<<"$cols"
  echo "$((right - left + 1)) $((bottom - top + 1)) $left $top"
}

# What ffprobe says of film $1's picture: "width height frame-rate display-aspect", the
# display aspect as "num:den" (the frame's when the film names none).
film_picture() {
  ffprobe -v error -select_streams v:0 \
    -show_entries stream=width,height,r_frame_rate,display_aspect_ratio -of default=nw=1 "$1" |
    awk -F= '{ value[$1] = $2 }
      END { dar = value["display_aspect_ratio"]
            if (dar == "" || dar == "N/A" || dar ~ /^0:/) dar = value["width"] ":" value["height"]
            print value["width"], value["height"], value["r_frame_rate"], dar }'
}

# Compares picture $1 with the frames ffmpeg decodes from film $2 from second $3 on for $4
# seconds, all in the film's own size, as root mean square differences from 0 to 1: over the
# whole picture and over its top left corner, where the demo films write their name.
# Prints "whole corner seconds" of the frame closest over the whole picture. The frames are
# counted from the film's first (a seek in the input is not exact in program streams).
closest_film_frame() {
  local shown=$1 film=$2 width height rate first count
  local whole="$work/whole.log" corner="$work/corner.log"
  read -r width height rate _ < <(film_picture "$film")
  read -r first count < <(awk -v from="$3" -v span="$4" -v rate="$rate" 'BEGIN {
    split(rate, r, "/"); fps = r[1] / r[2]
    printf "%d %d\n", from * fps + 0.5, span * fps + 1.5 }')
  local crop="crop=iw*3/10:ih*14/100:0:0" small="$work/shown-small.png"
  rm -f "$whole" "$corner"
  convert "$shown" -filter box -resize "${width}x$height!" "$small" || return 1
  ffmpeg -v error -i "$film" -loop 1 -t $((${4%.*} + 2)) -i "$small" -lavfi \
    "[0:v]trim=start_frame=$first:end_frame=$((first + count)),setpts=PTS-STARTPTS,format=rgb24,split[film][film2];
     [1:v]format=rgb24,split[shown][shown2];
     [film][shown]psnr=stats_file=$whole:shortest=1[whole];
     [film2]${crop}[filmcorner];[shown2]${crop}[showncorner];
     [filmcorner][showncorner]psnr=stats_file=$corner:shortest=1[corner]" \
    -map '[whole]' -f null - -map '[corner]' -f null - || return 1
  paste -d' ' "$whole" "$corner" | awk -v first="$first" -v rate="$rate" '
    function rms(field,    part) { split(field, part, ":"); return sqrt(part[2]) / 255 }
    { whole = rms($2); corner = rms($11)
      if (NR == 1 || whole < best) { best = whole; at = corner; frame = NR } }
    END { if (!NR) exit 1
          split(rate, r, "/")
          printf "%.3f %.3f %.2f\n", best, at, (first + frame - 1) * r[2] / r[1] }'
}
