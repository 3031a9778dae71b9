#!/usr/bin/env bash
# get and put of one large file against proftpd with mod_digest on 127.0.0.1
# (tests/support/proftpd_server.sh, serving a folder on tmpfs), each checked
# against the server's checksum (--checksum auto: HASH with the strongest
# algorithm it lists, SHA-512 by default) and unchecked (--checksum false). For every run: the
# whole wall time and the time until the server's 226 reply (the last byte
# moved), taken from the reply trace (--debug 2); the rest of a checked run is
# the server reading the file again for HASH. The order of the four runs
# turns by one each round. Every copy is compared.
# DIGESTS="sha256" offers only those algorithms (mod_digest's DigestAlgorithms).
# Usage: bench/checksum_bench.sh [size in MiB, default 1024] [rounds, default 3]
set -euo pipefail
cd "$(dirname "$0")/.."
size_mib=${1:-1024}
rounds=${2:-3}
source bench/common.sh
[ "$(id -u)" -eq 0 ] || { echo "needs root (proftpd)" >&2; exit 1; }
bench_build
work=$(mktemp -d /dev/shm/dorvan-checksum-XXXXXX)
chmod 755 "$work"  # the login user enters its root below
server_dir=$work/server
mkdir -p "$work/local" "$work/data"
coproc server { bash tests/support/proftpd_server.sh "$server_dir" --digests "${DIGESTS:-all}"; }
cleanup() {
    exec {server[1]}>&- 2>/dev/null || true
    wait "$server_PID" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
read -r _ port <&"${server[0]}"
read -r _ user password <&"${server[0]}"
echo "before: $(bench_load)"

src=$work/local/big.bin
head -c "$((size_mib * 1024 * 1024))" /dev/urandom > "$src"
cp "$src" "$server_dir/root/big.bin"
mkdir -p "$server_dir/root/up"
chown -R 65534:65534 "$server_dir/root"

host=127.0.0.1
commands() { bench_dorvan_commands "$1" "$3" " --debug 2 --checksum $2 --local $work/local/" >/dev/null; }  # NAME CHECKSUM COMMAND
commands get-false false "get --src big.bin --dst got.bin"
commands get-auto auto "get --src big.bin --dst got.bin"
commands put-false false "cwd --name up
put --src big.bin"
commands put-auto auto "cwd --name up
put --src big.bin"

# One run: "<seconds to the 226 reply> <seconds in all>".
timed() {
    /usr/bin/python3 - "$@" <<'PY'
import subprocess, sys, time, re
start = time.monotonic()
p = subprocess.Popen(sys.argv[1:], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
last = None
lines = []
for line in p.stderr:
    lines.append(line)
    if last is None and re.search(r"(^|\s)226[ -]", line):
        last = time.monotonic() - start
p.wait()
if last is None:
    sys.stderr.write("no 226 reply:\n" + "".join(lines[-8:]))
total = time.monotonic() - start
print(f"{last if last is not None else float('nan'):.2f} {total:.2f}")
PY
}

printf '%-6s %-9s %s\n' round run "to-226 total (seconds)"
runs=(get-false get-auto put-false put-auto)
for round in $(seq "$rounds"); do
    # The order turns by one each round, so that no run always follows the same one.
    for i in 0 1 2 3; do
        run=${runs[$(((i + round) % 4))]}
        printf "%-6s %-9s %s\n" "$round" "$run" "$(timed env "XDG_DATA_HOME=$work/data" "$dorvan" "@$work/$run.cmds")"
        case $run in
            get-*) cmp -s "$src" "$work/local/got.bin" || echo "got.bin differs" ;;
            put-*) cmp -s "$src" "$server_dir/root/up/big.bin" || echo "up/big.bin differs" ;;
        esac
    done
done
echo "after: $(bench_load)"
grep -c "^HASH 213" "$server_dir/commands.log" | sed 's/^/HASH replies: /'
