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
# its own control connection(s); rounds as in transfer_bench.sh.
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

# A command file for Dorvan: connect, log in, then the lines given.
dorvan_commands() {
    printf 'set --host 127.0.0.1 --port %s --username %s --password %s --keepalive 0%s\n%s\nquit\n' \
        "$port" "$user" "$password" "$3" "$2" > "$work/$1.cmds"
    echo "$work/$1.cmds"
}
dorvan=(env "XDG_DATA_HOME=$work/data" "$dorvan")
lftp=(lftp -u "$user,$password" -p "$port")
in_down() { (cd "$down" && "$@"); }

# Each measurement: its group, its client, the files it must leave behind.
get_flat() {
    local group=flat-get$1 extra=$2 lftp_par=$3
    rm -rf "$down" && mkdir -p "$down"
    bench_run "$round" "$group" dorvan "${dorvan[@]}" "@$(dorvan_commands flat "cwd --name flat
mget --local $down/" "$extra")"
    check "$group dorvan" "$down" 2000
    rm -rf "$down" && mkdir -p "$down"
    bench_run "$round" "$group" wget wget -q -r -nH -P "$down" "$url/flat/"
    check "$group wget" "$down" 2000
    rm -rf "$down" && mkdir -p "$down"
    bench_run "$round" "$group" "lftp$1" "${lftp[@]}" -e "mirror --parallel=$lftp_par flat $down/flat; quit" 127.0.0.1
    check "$group lftp" "$down" 2000
}
get_tree() {
    local group=tree-get$1 extra=$2 lftp_par=$3
    rm -rf "$down" && mkdir -p "$down"
    bench_run "$round" "$group" dorvan "${dorvan[@]}" "@$(dorvan_commands tree "cwd --name tree
mget --local $down/ --recurse true" "$extra")"
    check "$group dorvan" "$down" 2000
    rm -rf "$down" && mkdir -p "$down"
    bench_run "$round" "$group" wget wget -q -r -nH -P "$down" "$url/tree/"
    check "$group wget" "$down" 2000
    rm -rf "$down" && mkdir -p "$down"
    bench_run "$round" "$group" "lftp$1" "${lftp[@]}" -e "mirror --parallel=$lftp_par tree $down/tree; quit" 127.0.0.1
    if [ -z "$1" ]; then
        rm -rf "$down" && mkdir -p "$down"
        bench_run "$round" "$group" ncftp ncftpget -R -V -u "$user" -p "$password" -P "$port" 127.0.0.1 "$down" tree
        check "$group ncftp" "$down" 2000
    fi
}
put_tree() {
    local group=tree-put$1 extra=$2 lftp_par=$3
    rm -rf "$work"/served/up-* && mkdir -p "$work/served/up-ncftp" && bench_chown "$work/served"
    bench_run "$round" "$group" dorvan "${dorvan[@]}" "@$(dorvan_commands put "mkd --name up-dorvan
cwd --name up-dorvan
mput --local $work/local/tree/ --recurse true" "$extra")"
    check "$group dorvan" "$work/served/up-dorvan" 2000
    bench_run "$round" "$group" "lftp$1" "${lftp[@]}" -e "mirror -R --parallel=$lftp_par $work/local/tree up-lftp; quit" 127.0.0.1
    check "$group lftp" "$work/served/up-lftp" 2000
    if [ -z "$1" ]; then
        bench_run "$round" "$group" ncftp ncftpput -R -V -u "$user" -p "$password" -P "$port" 127.0.0.1 up-ncftp "$work/local/tree"
        check "$group ncftp" "$work/served/up-ncftp" 2000
    fi
}
scan() {
    bench_run "$round" scan dorvan "${dorvan[@]}" "@$(dorvan_commands scan "cwd --name big
mget --local $down/ --recurse true --justprint true" "")"
    bench_run "$round" scan curl curl -s "$url/big/"
}
# Checks once, in the first round, that a client left `count` files.
check() {
    [ "$round" -eq 1 ] || return 0
    local found
    found=$(find "$2" -type f ! -name .listing | wc -l)
    [ "$found" -eq "$3" ] || { echo "$1: $found files, not $3" >&2; exit 1; }
}

measurements=("get_flat '' '' 1" "get_tree '' '' 1" "put_tree '' '' 1" scan)
if [ "$parallel" -gt 1 ]; then
    measurements+=("get_flat -p$parallel ' --parallel $parallel' $parallel"
                   "get_tree -p$parallel ' --parallel $parallel' $parallel"
                   "put_tree -p$parallel ' --parallel $parallel' $parallel")
fi
for round in $(seq "$rounds"); do
    for i in "${!measurements[@]}"; do
        eval "${measurements[$(((i + round) % ${#measurements[@]}))]}"
    done
done
echo "after: $(bench_load)"
bench_summary --files 2000 --files scan=20000
