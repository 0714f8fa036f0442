#!/usr/bin/env bash
# Starts or stops the tests' web server (range_http_server.py) on a free port of 127.0.0.1.
#   http_server.sh start FOLDER ROOT   serves ROOT; leaves FOLDER/port and FOLDER/requests.log
#   http_server.sh stop FOLDER
set -euo pipefail
action=${1:?start or stop}
folder=${2:?folder}
here=$(cd "$(dirname "$0")" && pwd)

stop() {
  if [ -f "$folder/pid" ]; then
    kill "$(cat "$folder/pid")" 2>/dev/null || true
    rm -f "$folder/pid"
  fi
}

case "$action" in
stop)
  stop
  rm -rf "$folder"
  ;;
start)
  root=${3:?root}
  stop
  rm -rf "$folder"
  mkdir -p "$folder" "$root"
  python3 "$here/range_http_server.py" "$root" "$folder/port" "$folder/requests.log" 50 \
    > "$folder/server.log" 2>&1 &
  echo $! > "$folder/pid"
  for _ in $(seq 100); do
    if [ -s "$folder/port" ]; then
      echo "web server on 127.0.0.1:$(cat "$folder/port") serving $root"
      exit 0
    fi
    sleep 0.1
  done
  echo "the web server did not start:" >&2
  cat "$folder/server.log" >&2
  stop
  exit 1
  ;;
*)
  echo "unknown action $action" >&2
  exit 2
  ;;
esac
