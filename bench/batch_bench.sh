#!/usr/bin/env bash
# Batch transfers against vsftpd on 127.0.0.1 (bench/common.sh), side by side
# with established clients:
#   flat-get   2,000 files of 1 KiB in one folder: mget beside wget -r and lftp mirror
#   tree-get   40 folders of 50 files of 2 KiB: mget --recurse beside wget -r, lftp mirror, ncftpget -R
#   tree-put   the same tree: mput --recurse beside lftp mirror -R and ncftpput -R
#   scan       one folder of 20,000 entries: mget --justprint beside a curl listing
# With a parallel count P > 1, the groups flat-get-pP, tree-get-pP and
# tree-put-pP add Dorvan with --parallel P beside lftp mirror --parallel=P
# (and wget, which has no parallel mode). Every client is a fresh process on
# its own control connection(s); rounds as in transfer_bench.sh: the order of
# the groups and of the clients within each turns by one every round.
# Usage: bench/batch_bench.sh [rounds, default 5] [parallel count, default 1]
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-5}
parallel=${2:-1}
source bench/common.sh
bench_build
start_bench_server
echo "before: $(bench_load)"

/usr/bin/python3 - "$work/local/tree" "$work/served" <<'PY'
import os, sys
tree, served = sys.argv[1], sys.argv[2]
for d in range(40):
    os.makedirs(f"{tree}/d{d:02}")
    for f in range(50):
        with open(f"{tree}/d{d:02}/f{f:02}.dat", "wb") as out:
            out.write(os.urandom(2048))
os.makedirs(f"{served}/flat")
for i in range(2000):
    with open(f"{served}/flat/t{i:04}.dat", "wb") as out:
        out.write(os.urandom(1024))
os.makedirs(f"{served}/big")
for i in range(20000):
    open(f"{served}/big/e{i:05}.txt", "wb").close()
PY
cp -r "$work/local/tree" "$work/served/tree"
bench_chown "$work/served"
down=$work/local/down

dorvan=(env "XDG_DATA_HOME=$work/data" "$dorvan")
lftp=(lftp -u "$user,$password" -p "$port")
fresh_down() { rm -rf "$down" && mkdir -p "$down"; }
fresh_uploads() { rm -rf "$work"/served/up-* && mkdir -p "$work/served/up-ncftp" && bench_chown "$work/served"; }

# One run of one client in one group (a "-pN" suffix: N sessions), with the
# folder it writes emptied first and, in the first round, its files counted.
run_one() {
    local group=$1 client=$2 n=1 extra=
    [[ $group == *-p* ]] && n=${group##*-p} && extra=" --parallel $n"
    case $group:$client in
        flat-get*:dorvan)
            fresh_down
            run "${dorvan[@]}" "@$(bench_dorvan_commands flat "cwd --name flat
mget --local $down/" "$extra")"
            check "$down" 2000 ;;
        tree-get*:dorvan)
            fresh_down
            run "${dorvan[@]}" "@$(bench_dorvan_commands tree "cwd --name tree
mget --local $down/ --recurse true" "$extra")"
            check "$down" 2000 ;;
        *-get*:wget)
            fresh_down
            run wget -q -r -nH -P "$down" "$url/${group%%-*}/"
            check "$down" 2000 ;;
        *-get*:lftp*)
            fresh_down
            run "${lftp[@]}" -e "mirror --parallel=$n ${group%%-*} $down/${group%%-*}; quit" 127.0.0.1
            check "$down" 2000 ;;
        tree-get:ncftp)
            fresh_down
            run ncftpget -R -V -u "$user" -p "$password" -P "$port" 127.0.0.1 "$down" tree
            check "$down" 2000 ;;
        tree-put*:dorvan)
            fresh_uploads
            run "${dorvan[@]}" "@$(bench_dorvan_commands put "mkd --name up-dorvan
cwd --name up-dorvan
mput --local $work/local/tree/ --recurse true" "$extra")"
            check "$work/served/up-dorvan" 2000 ;;
        tree-put*:lftp*)
            fresh_uploads
            run "${lftp[@]}" -e "mirror -R --parallel=$n $work/local/tree up-lftp; quit" 127.0.0.1
            check "$work/served/up-lftp" 2000 ;;
        tree-put:ncftp)
            fresh_uploads
            run ncftpput -R -V -u "$user" -p "$password" -P "$port" 127.0.0.1 up-ncftp "$work/local/tree"
            check "$work/served/up-ncftp" 2000 ;;
        scan:dorvan)
            run "${dorvan[@]}" "@$(bench_dorvan_commands scan "cwd --name big
mget --local $down/ --recurse true --justprint true" "")" ;;
        scan:curl)
            run curl -s "$url/big/" ;;
    esac
}
run() { bench_run "$round" "$group" "$client" "$@"; }
# Checks once, in the first round, that the client left `count` files.
check() {
    [ "$round" -eq 1 ] || return 0
    local found
    found=$(find "$1" -type f ! -name .listing | wc -l)
    [ "$found" -eq "$2" ] || { echo "$group $client: $found files, not $2" >&2; exit 1; }
}

groups=("flat-get dorvan wget lftp" "tree-get dorvan wget lftp ncftp" "tree-put dorvan lftp ncftp" "scan dorvan curl")
if [ "$parallel" -gt 1 ]; then
    groups+=("flat-get-p$parallel dorvan wget lftp-p$parallel" "tree-get-p$parallel dorvan wget lftp-p$parallel"
             "tree-put-p$parallel dorvan lftp-p$parallel")
fi
# The groups, and the clients in each, run in an order that turns each round.
for round in $(seq "$rounds"); do
    for i in "${!groups[@]}"; do
        read -r group clients <<< "${groups[$(((i + round) % ${#groups[@]}))]}"
        read -ra clients <<< "$clients"
        for j in "${!clients[@]}"; do
            client=${clients[$(((j + round) % ${#clients[@]}))]}
            run_one "$group" "$client"
        done
    done
done
echo "after: $(bench_load)"
bench_summary --files 2000 --files scan=20000
