#!/usr/bin/env bash
# Builds Dorvan and runs a demo batch session against a local FTP server on
# 127.0.0.1 that this script starts with sample files and stops at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh build --target dorvan  # the program alone: the demo runs nothing else

source scripts/local-ftp-server.sh
start_local_ftp_server dorvan-demo demo demo

mkdir -p "$work/server/pub"
printf 'Quarterly figures\nline two\n' > "$work/local/report.txt"
head -c 300000 /dev/urandom > "$work/local/photo.jpg"
printf 'hello from the server\n' > "$work/server/pub/welcome.txt"

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
