#!/usr/bin/env bash
# Lays out the installed program with a generated demo project twice under ROOT, once
# per delivery, for the desktop tests to copy from:
#   ROOT/isybau    the ISYBAU files, the ZF file and the films
#   ROOT/database  the same project delivered as a project database (Kanvio.dat), with
#                  the same films
#   prepare_projects.sh BUILD_DIR KANVIO_MKPROJECT ROOT
set -euo pipefail
build_dir=$1
mkproject=$2
root=$3

rm -rf "$root"
mkdir -p "$root"
cmake --install "$build_dir" --prefix "$root/isybau" >/dev/null
"$mkproject" --demo "$root/isybau" >/dev/null

# The films are the same for both deliveries: made once, linked into the second.
"$mkproject" --demo --database --no-films "$root/database" >/dev/null
for entry in "$root/isybau"/*; do
  name=$(basename "$entry")
  [ -e "$root/database/$name" ] && continue
  cp -al "$entry" "$root/database/$name" 2>/dev/null || cp -a "$entry" "$root/database/$name"
done
test -f "$root/database/Kanvio.dat"
test -x "$root/database/kanvio"
echo "projects ready in $root"
