#!/usr/bin/env bash
# Starts or stops the tests' web server (range_http_server.py) on a free port of 127.0.0.1.
#   http_server.sh start FOLDER ROOT   serves ROOT; leaves FOLDER/port and FOLDER/requests.log,
#       FOLDER/tls-port (HTTPS with a certificate for 127.0.0.1 and localhost, signed by the
#       authority FOLDER/ca.pem made here) and FOLDER/login-port (basic login demanded: the
#       user and password in FOLDER/login as "user:password")
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
  # A certificate authority of the tests' own and the server's certificate signed by it, as
  # a town running its own authority would have. Without openssl there is no HTTPS listener
  # (its tests skip).
  tls=()
  if command -v openssl > /dev/null; then
    (
      cd "$folder"
      openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Kanvio test authority" \
        -keyout ca-key.pem -out ca.pem
      openssl req -newkey rsa:2048 -nodes -subj "/CN=localhost" -keyout server-key.pem \
        -out server.csr
      printf 'subjectAltName=DNS:localhost,IP:127.0.0.1\n' > server.ext
      openssl x509 -req -in server.csr -CA ca.pem -CAkey ca-key.pem -CAcreateserial -days 2 \
        -extfile server.ext -out server.pem
    ) > "$folder/certificates.log" 2>&1
    tls=(--tls "$folder/server.pem" "$folder/server-key.pem" "$folder/tls-port")
  fi
  echo "kanvio:films-$RANDOM$RANDOM" > "$folder/login"
  python3 "$here/range_http_server.py" "$root" "$folder/port" "$folder/requests.log" 50 \
    "${tls[@]}" \
    --login "$(cat "$folder/login")" "$folder/login-port" \
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
