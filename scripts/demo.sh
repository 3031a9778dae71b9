#!/usr/bin/env bash
# Builds Dorvan and runs a demo batch session against a local FTP server on
# 127.0.0.1 that this script starts with sample files and stops at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh build

work=$(mktemp -d /tmp/dorvan-demo-XXXXXX)
server_pid=
cleanup() {
    [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/server/pub" "$work/local" "$work/data"
printf 'Quarterly figures\nline two\n' > "$work/local/report.txt"
head -c 300000 /dev/urandom > "$work/local/photo.jpg"
printf 'hello from the server\n' > "$work/server/pub/welcome.txt"

# The server ends when its standard input closes or on SIGTERM.
mkfifo "$work/hold"
exec 3<>"$work/hold"
/usr/bin/python3 tests/support/ftp_server.py --root "$work/server" --user demo --password demo \
    < "$work/hold" > "$work/server.out" 2> "$work/server.err" &
server_pid=$!
for _ in $(seq 100); do grep -q '^PORT ' "$work/server.out" 2>/dev/null && break; sleep 0.1; done
port=$(sed -n 's/^PORT //p' "$work/server.out")
[ -n "$port" ] || { echo "the demo FTP server did not start:"; cat "$work/server.err"; exit 1; }

cat > "$work/demo.txt" <<CMDS
# A batch session: connect, upload (also as a ZIP archive), list, size, download.
set --host 127.0.0.1 --port $port --username demo --password demo --local "$work/local"
connect
login
pwd
put --src report.txt
put --src photo.jpg --compress photos.zip
mkd --name backup
cwd --name pub
get --src welcome.txt
cdup
list
size --name photos.zip
status
quit
CMDS

echo "--- command file ---"
cat "$work/demo.txt"
echo "--- dorvan @$work/demo.txt ---"
XDG_DATA_HOME="$work/data" build/dorvan "@$work/demo.txt"
echo "--- downloaded: $(cat "$work/local/welcome.txt")"
echo "--- on the server: $(cd "$work/server" && ls)"
