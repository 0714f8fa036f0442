#!/usr/bin/env bash
# Builds the Debian package of a build folder, checks its menu entry, AppStream data and
# the package itself (lintian errors), unpacks it into a throwaway root and runs the
# program from there on a generated delivery.
#   package_test.sh BUILD_DIR MKPROJECT VERSION
set -euo pipefail
build_dir=$1
mkproject=$2
version=$3

work=$(mktemp -d "${TMPDIR:-/tmp}/kanvio-package-XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAILED: $*" >&2
  failures=$((failures + 1))
}
need() {
  command -v "$1" >/dev/null || { echo "FAILED: $1 is missing (scripts/setup installs it)" >&2; exit 1; }
}
for tool in cpack dpkg-deb desktop-file-validate appstreamcli lintian man; do need "$tool"; done

# The package, made in a folder of its own.
(cd "$build_dir" && cpack -G DEB -B "$work/out" >"$work/cpack.log" 2>&1) ||
  { cat "$work/cpack.log" >&2; echo "FAILED: cpack" >&2; exit 1; }
deb=$(ls "$work"/out/kanvio_"$version"*_*.deb)
echo "package: $(basename "$deb")"

root="$work/root"
dpkg-deb -x "$deb" "$root"
id=de.orbelin.Kanvio

# Menu entry and AppStream data, as installed.
desktop-file-validate "$root/usr/share/applications/$id.desktop" || fail "desktop-file-validate"
for key in 'Name\[de\]' 'Comment\[de\]' 'Comment=' 'Name='; do
  grep -q "^$key" "$root/usr/share/applications/$id.desktop" || fail "desktop file lacks $key"
done
appstreamcli validate --no-net "$root/usr/share/metainfo/$id.metainfo.xml" || fail "appstreamcli validate"
grep -q '<screenshot type="default">' "$root/usr/share/metainfo/$id.metainfo.xml" ||
  fail "metainfo without a screenshot"
for icon in scalable/apps/$id.svg 48x48/apps/$id.png 128x128/apps/$id.png; do
  [ -s "$root/usr/share/icons/hicolor/$icon" ] || fail "icon $icon missing"
done
for size in 48 128; do
  header=$(od -An -tx1 -j16 -N8 "$root/usr/share/icons/hicolor/${size}x${size}/apps/$id.png" | tr -d ' \n')
  [ "$header" = "$(printf '%08x%08x' "$size" "$size")" ] || fail "icon of $size px is $header"
done

# The manual page: made from the README, free of formatting warnings.
man_page="$root/usr/share/man/man1/kanvio.1.gz"
warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$man_page" 2>&1 >"$work/man.txt") || fail "man"
[ -z "$warnings" ] || fail "manual page warnings: $warnings"
for text in 'kanvio --project DIR' 'kanvio --export-json' 'EXIT STATUS'; do
  grep -q -- "$text" "$work/man.txt" || fail "manual page lacks '$text'"
done

# The package's own checks: errors fail, the rest is shown.
lintian --fail-on error --tag-display-limit 0 "$deb" >"$work/lintian.txt" 2>&1 || fail "lintian reports errors"
grep -v 'running with root privileges' "$work/lintian.txt" || true

# The layout: the program folder under /usr/lib, the command a relative link to it.
[ "$(readlink "$root/usr/bin/kanvio")" = "../lib/kanvio/kanvio" ] || fail "/usr/bin/kanvio is no relative link"
for file in kanvio de/lang_kanvio_de.ini en/lang_kanvio_en.ini de/help_de.html en/help_en.html filters/quartz.dll; do
  [ -e "$root/usr/lib/kanvio/$file" ] || fail "/usr/lib/kanvio/$file missing"
done
depends=$(dpkg-deb -f "$deb" Depends)
for package in libqt6widgets6 libgstreamer1.0-0 libc6 gstreamer1.0-libav gstreamer1.0-plugins-base libfbclient2 firebird3.0-server-core; do
  tr ',' '\n' <<<"$depends" | sed 's/^ *//; s/ .*//' | grep -qx -- "$package" ||
    fail "Depends lacks $package: $depends"
done

# The program from the unpacked root, on a delivery elsewhere, from a third folder.
kanvio="$root/usr/bin/kanvio"
out=$("$kanvio" --version) || fail "--version"
[ "$out" = "Kanvio $version" ] || fail "--version said '$out'"

"$mkproject" --reaches 3 --connections 2 --observations 10 --films 1 --film-seconds 2 \
  "$work/Lieferung A" >/dev/null
"$mkproject" --reaches 2 --connections 1 --observations 6 --films 1 --film-seconds 2 --database \
  "$work/Lieferung B" >/dev/null
mkdir "$work/elsewhere"
cd "$work/elsewhere"
for delivery in "Lieferung A:3:2" "Lieferung B:2:1"; do
  IFS=: read -r name reaches connections <<<"$delivery"
  summary=$("$kanvio" --project "$work/$name" --summary 2>"$work/err") ||
    { cat "$work/err" >&2; fail "--summary on $name"; continue; }
  grep -qx "Reaches: $reaches" <<<"$summary" || fail "$name: $summary"
  grep -qx "Connections: $connections" <<<"$summary" || fail "$name: $summary"
  grep -qx "Settings file: $work/$name/Kanvio.ini" <<<"$summary" || fail "$name: $summary"
  grep -qx "Language file: $root/usr/lib/kanvio/de/lang_kanvio_de.ini" <<<"$summary" ||
    fail "$name: language not from the program folder: $summary"
  "$kanvio" --export-json "$name.json" --project "$work/$name" 2>"$work/err" ||
    { cat "$work/err" >&2; fail "--export-json on $name"; continue; }
  head -c 1 "$name.json" | grep -q '{' || fail "$name.json is no JSON document"
  grep -q '"reaches"' "$name.json" || fail "$name.json holds no reaches"
done
if "$kanvio" --summary --project "$work/elsewhere" 2>"$work/err"; then
  fail "a folder without delivery was taken"
fi
grep -q "looked for Kanvio.ini" "$work/err" || fail "no delivery: $(cat "$work/err")"

if [ "$failures" -gt 0 ]; then
  echo "$failures package checks failed" >&2
  exit 1
fi
echo "package checks passed"
