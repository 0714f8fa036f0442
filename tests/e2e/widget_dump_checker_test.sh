#!/usr/bin/env bash
# The widget dump checker on the hand-written sample dump (widget_dump_sample.txt) and on
# dumps derived from it: what it reports cut, what it lets pass, and how it refuses
# incomplete or malformed dumps.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
checker="$here/check_widget_dump.sh"
sample="$here/widget_dump_sample.txt"
work=$(mktemp -d "${TMPDIR:-/tmp}/kanvio-dump-check.XXXXXX")
trap 'rm -rf "$work"' EXIT

# Dumps made from the sample.
fitting="$work/fitting.txt"
awk -F'\t' '$0 == "END" || $4 <= $5' "$sample" >"$fitting"
sed '$d' "$sample" >"$work/no-end.txt"
{ cat "$sample"; printf 'SteeringForm\tQLabel\tLblTime\t61\t70\t00:03:20\n'; } >"$work/after-end.txt"
sed '3s/\tEinstellungen$/\tEinstellungen\tund mehr/' "$sample" >"$work/seven-fields.txt"
sed '5s/\t22\t30\t/\t22px\t30\t/' "$sample" >"$work/not-a-number.txt"
sed '5s/^TKanvioMainForm\t/\t/' "$sample" >"$work/no-window.txt"
sed '6s/\t74\t66\t/\t-74\t66\t/' "$sample" >"$work/negative.txt"
: >"$work/empty.txt"

failures=0
# expect NAME STATUS "TEXT THAT MUST APPEAR|..." "TEXT THAT MUST NOT APPEAR|..." -- ARGS
expect() {
  local name=$1 status=$2 wanted=$3 unwanted=$4
  shift 5
  local output actual
  output=$(bash "$checker" "$@" 2>&1)
  actual=$?
  local problems=()
  [ "$actual" -eq "$status" ] || problems+=("exit status $actual, not $status")
  local text
  IFS='|' read -r -a texts <<<"$wanted"
  for text in "${texts[@]}"; do
    [ -z "$text" ] || grep -qF -- "$text" <<<"$output" || problems+=("no \"$text\"")
  done
  IFS='|' read -r -a texts <<<"$unwanted"
  for text in "${texts[@]}"; do
    [ -z "$text" ] || ! grep -qF -- "$text" <<<"$output" || problems+=("\"$text\" reported")
  done
  if [ ${#problems[@]} -eq 0 ]; then
    echo "ok: $name"
  else
    echo "FAIL: $name: ${problems[*]}"
    echo "$output" | sed 's/^/    /'
    failures=$((failures + 1))
  fi
}

windows=("T?KanvioMainForm|T?KanvioSingleForm" "T?SteeringForm" "T?InspChoiceForm")

expect "every cut text of the named windows with its widths" 1 \
  'window TKanvioMainForm: QMenuBar "Einstellungen" is hidden (needs 92 px, has none)|QMenuBar "Hilfe" is hidden|QLineEdit edtDatum "19 Apr 2005" is cut: needs 74 px, has 66|QLabel LblTime "00:03:20" is cut: needs 61 px, has 58|QHeaderView lvStructures "Inspektionsdatum" is cut: needs 112 px, has 62' \
  'Haltungen|Anschlüsse|Digitaler Zoom|Schließen|Ort"|PlayButton' \
  -- "$sample" "${windows[@]}"
# One line for each cut text, nothing else.
reported=$(bash "$checker" "$sample" "${windows[@]}" | wc -l)
if [ "$reported" -eq 7 ]; then
  echo "ok: seven cut texts, seven lines"
else
  echo "FAIL: seven cut texts, $reported lines"
  failures=$((failures + 1))
fi
expect "one pixel short is cut, an exact fit is not" 1 \
  'lblVideo "Video" is cut: needs 33 px, has 32' '"Haltungen"' -- "$sample" "${windows[@]}"
expect "UTF-8 texts come back as they are; an escaped tab splits no field" 1 \
  'edtRichtung "gegen Fließrichtung" is cut' 'Doppelklick' -- "$sample" "${windows[@]}"
expect "windows not named are not checked" 1 'LblTime' 'Einstellungen|Inspektionsdatum|Helligkeit' \
  -- "$sample" SteeringForm
expect "without names every window is checked" 1 'Helligkeit|Einstellungen|LblTime' '' \
  -- "$sample"
expect "a dump where everything fits passes and counts its texts" 0 'all 7 texts fit' 'cut|hidden' \
  -- "$fitting" "${windows[@]}"
expect "a named window missing from the dump" 1 'no text of a window named NoSuchForm' 'texts fit' \
  -- "$fitting" "TKanvioMainForm" NoSuchForm
expect "a dump without END is incomplete" 2 'no END line: the dump is incomplete' '' \
  -- "$work/no-end.txt" "${windows[@]}"
expect "a line after END" 2 'after-end.txt:17: a line after END' '' \
  -- "$work/after-end.txt" "${windows[@]}"
expect "a line of seven fields" 2 'seven-fields.txt:3: malformed line (7 fields where 6 belong)' \
  'is cut' -- "$work/seven-fields.txt" "${windows[@]}"
expect "a width that is no number" 2 'not-a-number.txt:5: needed and available widths must be whole numbers, not "22px" and "30"' \
  '' -- "$work/not-a-number.txt" "${windows[@]}"
expect "a negative width" 2 'negative.txt:6: needed and available widths must be whole numbers' \
  '' -- "$work/negative.txt" "${windows[@]}"
expect "a line without a window" 2 'no-window.txt:5: a line without a window name' '' \
  -- "$work/no-window.txt"
expect "an empty dump" 2 'empty.txt: missing or empty' '' -- "$work/empty.txt"
expect "no dump at all" 2 'nothing.txt: missing or empty' '' -- "$work/nothing.txt"
expect "no arguments" 2 'usage: check_widget_dump.sh' '' --

if [ "$failures" -gt 0 ]; then
  echo "$failures case(s) failed"
  exit 1
fi
echo "PASS: the widget dump checker"
