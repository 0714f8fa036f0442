#!/usr/bin/env bash
# Reads the widget text dump the program writes when KANVIO_WIDGET_DUMP names a file, and
# reports every text that does not fit its widget.
#   check_widget_dump.sh DUMP [WINDOW_PATTERN...]
# The dump has one line per visible widget showing text, tab-separated
#   window  class  objectName  needed  available  text
# and "END" as its last line. A text is cut when needed > available (an entry pushed
# behind a tool bar's extension button has available 0). Each WINDOW_PATTERN (an extended
# regular expression matched against the whole window name) names a window that must be
# in the dump; with patterns, only those windows are checked, without, all of them.
# Exit status: 0 every text fits, 1 a text is cut or a window is missing, 2 the dump is
# missing or malformed.
set -uo pipefail
if [ $# -lt 1 ]; then
  echo "usage: check_widget_dump.sh DUMP [WINDOW_PATTERN...]" >&2
  exit 2
fi
dump=$1
shift
if [ ! -s "$dump" ]; then
  echo "$dump: missing or empty"
  exit 2
fi

patterns=$(printf '%s\n' "$@")
LC_ALL=C awk -F'\t' -v file="$dump" -v patterns="$patterns" '
  BEGIN {
    count = split(patterns, wanted, "\n")
    for (i = 1; i <= count; i++) if (wanted[i] == "") delete wanted[i]
  }
  function chosen(window,    i, any) {
    any = 0
    for (i in wanted) { any = 1; if (window ~ ("^(" wanted[i] ")$")) { seen[i] = 1; return 1 } }
    return !any
  }
  function malformed(why) {
    printf "%s:%d: %s\n", file, NR, why
    bad = 1
    exit 2
  }
  ended { malformed("a line after END") }
  $0 == "END" { ended = 1; next }
  {
    if (NF != 6) malformed("malformed line (" NF " fields where 6 belong): " $0)
    if ($1 == "") malformed("a line without a window name")
    if ($4 !~ /^[0-9]+$/ || $5 !~ /^[0-9]+$/)
      malformed("needed and available widths must be whole numbers, not \"" $4 "\" and \"" $5 "\"")
    if (!chosen($1)) next
    checked++
    windows[$1] = 1
    if ($4 + 0 > $5 + 0) {
      name = $3 == "" ? "" : " " $3
      if ($5 + 0 == 0)
        printf "window %s: %s%s \"%s\" is hidden (needs %d px, has none)\n", $1, $2, name, $6, $4
      else
        printf "window %s: %s%s \"%s\" is cut: needs %d px, has %d\n", $1, $2, name, $6, $4, $5
      cut++
    }
  }
  END {
    if (bad) exit 2
    if (!ended) { printf "%s: no END line: the dump is incomplete\n", file; exit 2 }
    for (i in wanted)
      if (!(i in seen)) { printf "%s: no text of a window named %s\n", file, wanted[i]; missing++ }
    if (cut || missing) exit 1
    list = ""
    for (w in windows) list = list (list == "" ? "" : ", ") w
    printf "all %d texts fit (%s)\n", checked, list
  }
' "$dump"
