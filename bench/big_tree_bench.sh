#!/usr/bin/env bash
# A large tree against vsftpd on 127.0.0.1 (bench/common.sh): 100,000 files of
# 1 to 16 KiB in 1,000 folders, made on tmpfs by the script and removed with
# its work folder at the end.
#   tree-get      mget --recurse beside wget -r and lftp mirror
#   tree-get-p8   mget --recurse --parallel 8 beside lftp mirror --parallel=8
#   tree-put      mput --recurse beside lftp mirror -R
#   tree-put-p8   mput --recurse --parallel 8 beside lftp mirror -R --parallel=8
# Every client is a fresh process, and every run has a fresh loopback in a
# network namespace of its own with the server (bench_fresh_loopback in
# bench/common.sh), free of the TIME_WAIT sockets of the runs before; rounds
# as in transfer_bench.sh, the order of the groups and of the clients within
# each turning every round. The tables give CPU microseconds per file and the
# peak memory of each client.
# BEFORE=/path/to/dorvan adds that binary as the client "before" to every
# group, to compare two builds in the same rounds; ONLY="tree-get-p8 ..." runs
# only the groups named. The last column is vsftpd's CPU per file meanwhile.
# Usage: bench/big_tree_bench.sh [files, default 100000] [rounds, default 3]
set -euo pipefail
cd "$(dirname "$0")/.."
files=${1:-100000}
rounds=${2:-3}
source bench/common.sh
bench_build
start_bench_server
echo "before: $(bench_load)"

bench_serve_tree "$files"
down=$work/local/down

declare -A binary=([dorvan]=$dorvan [before]=${BEFORE:-})
lftp=(lftp -u "$user,$password" -p "$port")
fresh_down() { rm -rf "$down" && mkdir -p "$down"; }
fresh_uploads() { rm -rf "$work"/served/up-* && bench_chown "$work/served"; }

run_one() {
    local group=$1 client=$2 n=1 extra=
    [[ $group == *-p* ]] && n=${group##*-p} && extra=" --parallel $n"
    case $group:$client in
        tree-get*:dorvan | tree-get*:before)
            fresh_down
            run env "XDG_DATA_HOME=$work/data" "${binary[$client]}" "@$(bench_dorvan_commands get "cwd --name tree
mget --local $down/ --recurse true" "$extra")"
            check "$down" ;;
        tree-get*:wget)
            fresh_down
            run wget -q -r -l inf -nH -P "$down" "$url/tree/"
            check "$down" ;;
        tree-get*:lftp)
            fresh_down
            run "${lftp[@]}" -e "mirror --parallel=$n tree $down/tree; quit" 127.0.0.1
            check "$down" ;;
        tree-put*:dorvan | tree-put*:before)
            fresh_uploads
            run env "XDG_DATA_HOME=$work/data" "${binary[$client]}" "@$(bench_dorvan_commands put "mkd --name up-$client
cwd --name up-$client
mput --local $work/local/tree/ --recurse true" "$extra")"
            check "$work/served/up-$client" ;;
        tree-put*:lftp)
            fresh_uploads
            run "${lftp[@]}" -e "mirror -R --parallel=$n $work/local/tree up-lftp; quit" 127.0.0.1
            check "$work/served/up-lftp" ;;
    esac
}
run() {
    bench_fresh_loopback
    bench_run "$round" "$group" "$client" "${in_client[@]}" "$@"
}
# Checks once, in the first round, that the client left every file.
check() {
    [ "$round" -eq 1 ] || return 0
    local found
    found=$(find "$1" -type f ! -name .listing | wc -l)
    [ "$found" -eq "$files" ] && return 0
    echo "$group $client: $found files, not $files; the end of its output:" >&2
    grep -v -e Uploading -e Downloading "$work/stdout" | tail -20 >&2
    exit 1
}

before=
[ -n "${BEFORE:-}" ] && before=" before"
groups=("tree-get dorvan$before wget lftp" "tree-get-p8 dorvan$before lftp" "tree-put dorvan$before lftp"
        "tree-put-p8 dorvan$before lftp")
if [ -n "${ONLY:-}" ]; then
    for i in "${!groups[@]}"; do [[ " $ONLY " == *" ${groups[$i]%% *} "* ]] || unset "groups[$i]"; done
    groups=("${groups[@]}")
fi
for round in $(seq "$rounds"); do
    for i in "${!groups[@]}"; do
        read -r group clients <<< "${groups[$(((i + round) % ${#groups[@]}))]}"
        read -ra clients <<< "$clients"
        for j in "${!clients[@]}"; do
            client=${clients[$(((j + round) % ${#clients[@]}))]}
            run_one "$group" "$client"
        done
        echo "round $round $group done: $(bench_load)"
    done
done
echo "after: $(bench_load)"
bench_summary --files "$files"
