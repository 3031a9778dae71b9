#!/usr/bin/env bash
# get and put of one large file against vsftpd on 127.0.0.1, or with --veth
# over a veth pair between two network namespaces (bench/common.sh):
# Dorvan beside curl, lftp, ncftp, wget (get only), the 1 MiB reader and the
# sendfile client of bench/mini_ftp.py, and the ceiling (bench/ceiling.py).
# Every round runs each client once, in an order that turns by one each round;
# ratios are taken within a round. Every copy is compared with the source once.
# BEFORE=/path/to/dorvan adds that binary as the client "before".
# Usage: bench/transfer_bench.sh [--veth] [size in MiB, default 1024] [rounds, default 5]
set -euo pipefail
cd "$(dirname "$0")/.."
network=
[ "${1:-}" = --veth ] && { network=--veth; shift; }
size_mib=${1:-1024}
rounds=${2:-5}
source bench/common.sh
bench_build
start_bench_server $network
echo "before: $(bench_load)"

src=$work/local/big.bin
got=$work/local/got
head -c "$((size_mib * 1024 * 1024))" /dev/urandom > "$src"
cp "$src" "$work/served/big.bin"
mkdir -p "$work/served/up"
bench_chown "$work/served"

bench_dorvan_commands get "get --src big.bin --dst big.bin" " --local $got/" >/dev/null
bench_dorvan_commands put "cwd --name up
put --src big.bin --dst big.bin" " --local $work/local/" >/dev/null
dorvan_run=(env "XDG_DATA_HOME=$work/data" "$dorvan")
before_run=(env "XDG_DATA_HOME=$work/data" "${BEFORE:-}")
lftp_run=(lftp -u "$user,$password" -p "$port" -e)
mini=(/usr/bin/python3 bench/mini_ftp.py)
ceiling_net=
[ -n "$network" ] && ceiling_net="$host ${bench_netns[*]}"  # the ceiling enters the namespaces itself

declare -A get_cmd=(
    [ceiling]="/usr/bin/python3 bench/ceiling.py $src $got/big.bin $ceiling_net"
    [dorvan]="${dorvan_run[*]} @$work/get.cmds"
    [before]="${before_run[*]} @$work/get.cmds"
    [curl]="curl -s -o $got/big.bin $url/big.bin"
    [wget]="wget -q -O $got/big.bin $url/big.bin"
    [ncftp]="ncftpget -V -u $user -p $password -P $port $host $got big.bin"
    [reader-1MiB]="${mini[*]} get $host $port $user $password big.bin $got/big.bin"
)
declare -A put_cmd=(
    [ceiling]="/usr/bin/python3 bench/ceiling.py $src $work/served/up/big.bin $ceiling_net"
    [dorvan]="${dorvan_run[*]} @$work/put.cmds"
    [before]="${before_run[*]} @$work/put.cmds"
    [curl]="curl -s -T $src $url/up/big.bin"
    [ncftp]="ncftpput -V -u $user -p $password -P $port $host up $src"
    [sendfile]="${mini[*]} put $host $port $user $password $src up/big.bin"
)
clients=(ceiling dorvan ${BEFORE:+before} curl lftp ncftp wget reader-1MiB sendfile)

# The namespace of the clients, before their command lines (not the ceiling's).
client_prefix() { [ "$1" = ceiling ] || echo "${in_client[*]}"; }

# One run of one client; the target is removed before, outside the clock.
run() {
    local round=$1 op=$2 client=$3
    if [ "$op" = get ]; then
        rm -rf "$got" && mkdir -p "$got"
        if [ "$client" = lftp ]; then
            bench_run "$round" get lftp "${in_client[@]}" "${lftp_run[@]}" "get big.bin -o $got/big.bin; quit" "$host"
        else
            bench_run "$round" get "$client" $(client_prefix "$client") ${get_cmd[$client]}
        fi
        [ "$round" -gt 1 ] || cmp -s "$src" "$got/big.bin" || { echo "get by $client: content differs" >&2; exit 1; }
    else
        rm -f "$work/served/up/big.bin"
        if [ "$client" = lftp ]; then
            bench_run "$round" put lftp "${in_client[@]}" "${lftp_run[@]}" "put $src -o up/big.bin; quit" "$host"
        else
            bench_run "$round" put "$client" $(client_prefix "$client") ${put_cmd[$client]}
        fi
        [ "$round" -gt 1 ] || cmp -s "$src" "$work/served/up/big.bin" || { echo "put by $client: content differs" >&2; exit 1; }
    fi
}

for round in $(seq "$rounds"); do
    for op in get put; do
        for i in "${!clients[@]}"; do
            client=${clients[$(((i + round) % ${#clients[@]}))]}
            [ "$op" = get ] && [ "$client" = sendfile ] && continue
            [ "$op" = put ] && { [ "$client" = wget ] || [ "$client" = reader-1MiB ]; } && continue
            run "$round" "$op" "$client"
        done
    done
done
echo "after: $(bench_load)"
bench_summary --mib "$size_mib"
