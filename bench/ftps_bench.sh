#!/usr/bin/env bash
# get and put of one large file over explicit FTPS against vsftpd on 127.0.0.1
# (bench/common.sh with TLS demanded on control and data connections), Dorvan
# beside curl (--ssl-reqd). Rounds and ratios as in transfer_bench.sh.
# Usage: bench/ftps_bench.sh [size in MiB, default 1024] [rounds, default 3]
set -euo pipefail
cd "$(dirname "$0")/.."
size_mib=${1:-1024}
rounds=${2:-3}
source bench/common.sh
bench_build
start_bench_server --tls
echo "before: $(bench_load)"

src=$work/local/big.bin
head -c "$((size_mib * 1024 * 1024))" /dev/urandom > "$src"
cp "$src" "$work/served/big.bin"
mkdir -p "$work/served/up"
bench_chown "$work/served"

tls_settings=" --local $work/local/ --tls explicit --cafile $cafile"
bench_dorvan_commands get "get --src big.bin --dst got.bin" "$tls_settings" >/dev/null
bench_dorvan_commands put "cwd --name up
put --src big.bin --dst big.bin" "$tls_settings" >/dev/null
dorvan=(env "XDG_DATA_HOME=$work/data" "$dorvan")
curl=(curl -s --ssl-reqd --cacert "$cafile")

for round in $(seq "$rounds"); do
    rm -f "$work/local/got.bin"
    bench_run "$round" get dorvan "${dorvan[@]}" "@$work/get.cmds"
    [ "$round" -gt 1 ] || cmp -s "$src" "$work/local/got.bin" || { echo "get: content differs" >&2; exit 1; }
    bench_run "$round" get curl "${curl[@]}" -o "$work/local/got.bin" "$url/big.bin"
    rm -f "$work/served/up/big.bin"
    bench_run "$round" put dorvan "${dorvan[@]}" "@$work/put.cmds"
    [ "$round" -gt 1 ] || cmp -s "$src" "$work/served/up/big.bin" || { echo "put: content differs" >&2; exit 1; }
    rm -f "$work/served/up/big.bin"
    bench_run "$round" put curl "${curl[@]}" -T "$src" "$url/up/big.bin"
done
echo "after: $(bench_load)"
bench_summary --mib "$size_mib"
