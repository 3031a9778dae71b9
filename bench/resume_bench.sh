#!/usr/bin/env bash
# How much of a file a cut download sends again. The test server
# (tests/support/ftp_server.py, fault cut-first) resets the first download of
# the file at half its size; Dorvan tries again (--retrywait 1) and goes on
# with REST from the bytes that arrived. The figure is the server's own byte
# count of the second download over the file's size; the limit is 55 %.
# Usage: bench/resume_bench.sh [MiB, default 256]
set -euo pipefail
cd "$(dirname "$0")/.."
mib=${1:-256}
limit=55
source bench/common.sh
bench_build

work=$(mktemp -d /dev/shm/dorvan-resume-XXXXXX)
server_pid=
finish() {
    [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap finish EXIT
mkdir -p "$work/served" "$work/local" "$work/data"
head -c "$((mib * 1024 * 1024))" /dev/urandom > "$work/served/big-c.bin"

mkfifo "$work/hold"
/usr/bin/python3 tests/support/ftp_server.py --root "$work/served" --fault cut-first=-c \
    < "$work/hold" > "$work/port" 2> "$work/server.log" &
server_pid=$!
exec 3> "$work/hold"  # the server ends when this closes
for _ in $(seq 100); do grep -q PORT "$work/port" && break; sleep 0.1; done
port=$(awk '{print $2}' "$work/port")

echo "before: $(bench_load)"
printf 'set --host 127.0.0.1 --port %s --username tester --password secret --keepalive 0 --retrywait 1 --local %s/\nmget\nquit\n' \
    "$port" "$work/local" | XDG_DATA_HOME="$work/data" "$dorvan" > "$work/out"
cmp "$work/served/big-c.bin" "$work/local/big-c.bin" || { echo "the downloaded file differs" >&2; exit 1; }

size=$(stat -c %s "$work/served/big-c.bin")
mapfile -t sent < <(grep -o 'RETR [^ ]*big-c.bin completed=[01] bytes=[0-9]*' "$work/server.log" | sed 's/.*bytes=//')
rest=$(grep -o '<- REST [0-9]*' "$work/server.log" | awk '{print $3}')
[ "${#sent[@]}" -eq 2 ] && [ -n "$rest" ] || { echo "expected a cut and one resumed download:" >&2; cat "$work/server.log" >&2; exit 1; }
percent=$(awk -v again="${sent[1]}" -v size="$size" 'BEGIN { printf "%.1f", 100 * again / size }')
echo "file $size bytes; cut after ${sent[0]} sent, REST $rest; sent again ${sent[1]} bytes = $percent % (limit $limit %)"
echo "after: $(bench_load)"
awk -v p="$percent" -v l="$limit" 'BEGIN { exit !(p <= l) }'
