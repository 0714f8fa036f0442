#!/usr/bin/env bash
# Starts or stops a Firebird server of the tests' own: the packaged server binary with its
# own configuration, security database, lock folder and a free port, all in one folder,
# run as the user who runs the tests. The system's service is never touched.
#   firebird_server.sh start FOLDER    leaves FOLDER/server.env (PORT, USER, PASSWORD)
#   firebird_server.sh stop FOLDER
# Without the server package, start only leaves FOLDER/missing with the reason, and the
# suites that need the server skip with that reason.
set -euo pipefail

action=${1:?start or stop}
folder=${2:?folder}
server=/usr/sbin/firebird
root=/usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH 2>/dev/null || echo x86_64-linux-gnu)/firebird/3.0
isql=$(command -v isql-fb || true)

stop() {
  if [ -f "$folder/pid" ]; then
    pid=$(cat "$folder/pid")
    if kill "$pid" 2>/dev/null; then
      for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
      kill -9 "$pid" 2>/dev/null || true
    fi
    rm -f "$folder/pid"
  fi
}

free_port() {
  python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'
}

case "$action" in
stop)
  stop
  rm -rf "$folder"
  exit 0
  ;;
start) ;;
*) echo "unknown action $action" >&2; exit 2 ;;
esac

stop
rm -rf "$folder"
mkdir -p "$folder"
if [ ! -x "$server" ] || [ -z "$isql" ] || [ ! -d "$root/plugins" ]; then
  echo "the Firebird server package (firebird3.0-server) is not installed" > "$folder/missing"
  cat "$folder/missing"
  exit 0
fi

for part in UDF lib plugins plugins.conf firebird.msg fbtrace.conf; do
  [ -e "$root/$part" ] && ln -s "$root/$part" "$folder/$part"
done
# The character sets: the server refuses a module that is a link to a file elsewhere, so
# the module is copied into a folder of our own.
mkdir -p "$folder/intl"
cp "$root/intl/fbintl.conf" "$root"/intl/*.so "$folder/intl/"
mkdir -p "$folder/lock" "$folder/data"
port=$(free_port)
password=kanvio-test-$RANDOM$RANDOM
cat > "$folder/firebird.conf" <<CONF
RemoteServicePort = $port
RemoteBindAddress = 127.0.0.1
SecurityDatabase = $folder/security3.fdb
ServerMode = Super
UdfAccess = None
CONF
cat > "$folder/databases.conf" <<CONF
security.db = $folder/security3.fdb
CONF

export FIREBIRD="$folder" FIREBIRD_LOCK="$folder/lock"
# The security database is made through the embedded engine, which asks for no password.
"$isql" -q -user SYSDBA > "$folder/setup.log" 2>&1 <<SQL
create database '$folder/security3.fdb';
create user SYSDBA password '$password';
commit;
SQL

(cd "$folder" && exec "$server") > "$folder/server.log" 2>&1 &
echo $! > "$folder/pid"
for _ in $(seq 100); do
  if python3 -c "import socket,sys; socket.create_connection(('127.0.0.1',$port),0.2)" 2>/dev/null; then
    printf 'PORT=%s\nUSER=SYSDBA\nPASSWORD=%s\n' "$port" "$password" > "$folder/server.env"
    echo "Firebird server on 127.0.0.1:$port, folder $folder"
    exit 0
  fi
  if ! kill -0 "$(cat "$folder/pid")" 2>/dev/null; then break; fi
  sleep 0.1
done
echo "the Firebird server did not start:" >&2
cat "$folder/setup.log" "$folder/server.log" >&2
stop
exit 1
