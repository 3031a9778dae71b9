#!/usr/bin/env bash
# Keeping a large tree equal against vsftpd on 127.0.0.1 (bench/common.sh):
# FILES files of 1 to 16 KiB in FILES/100 folders, each client holding a copy
# of its own made by its first full run (not timed), then:
#   mirror-same   a re-run with nothing changed
#   mirror-1pct   a re-run after 1 % of the files were rewritten at the same
#                 size (the tree is two days old; round R's rewrites are R
#                 hours younger: times a LIST line gives to the minute)
# side by side: `mirror --parallel 8`, `lftp mirror --parallel=8` and
# `rclone sync --transfers 8 --checkers 8`. After every 1 % run each client's
# copy is compared with the served files that changed: "missed" counts the
# changed files it did not fetch (a tool that compares sizes only misses all).
# Every client is a fresh process on a fresh loopback (bench_fresh_loopback);
# rounds as in big_tree_bench.sh. Needs root, vsftpd, lftp and rclone.
# Usage: bench/mirror_bench.sh [files, default 100000] [rounds, default 3]
set -euo pipefail
cd "$(dirname "$0")/.."
files=${1:-100000}
rounds=${2:-3}
source bench/common.sh
command -v rclone >/dev/null || { echo "rclone is missing: run scripts/install-deps.sh" >&2; exit 1; }
bench_build
start_bench_server
echo "before: $(bench_load)"
bench_serve_tree "$files"
two_days_ago=$(($(date +%s) - 2 * 86400))
find "$work/served/tree" -type f -exec touch -d "@$two_days_ago" {} +

clients=(dorvan lftp rclone)
lftp=(lftp -u "$user,$password" -p "$port")
rclone_env=(env "RCLONE_CONFIG=/dev/null" "RCLONE_FTP_HOST=$host" "RCLONE_FTP_PORT=$port" "RCLONE_FTP_USER=$user"
            "RCLONE_FTP_PASS=$(rclone obscure "$password")" "RCLONE_FTP_CONCURRENCY=16")
copy() { echo "$work/local/$1"; }

run_client() {
    local client=$1 into
    into=$(copy "$client")
    case $client in
        dorvan)
            env "XDG_DATA_HOME=$work/data" "$dorvan" "@$(bench_dorvan_commands mirror \
                "mirror --remote /tree --local $into/ --recurse true" " --parallel 8")" ;;
        lftp) "${lftp[@]}" -e "mirror --parallel=8 tree $into; quit" 127.0.0.1 ;;
        rclone) "${rclone_env[@]}" rclone sync --transfers 8 --checkers 8 :ftp:tree "$into" ;;
    esac
}
# The script that runs `client` in a shell of its own.
client_script() {
    echo "$(declare -f run_client copy bench_dorvan_commands); \
        $(declare -p dorvan work lftp rclone_env host port user password); run_client $1"
}
run() {
    bench_fresh_loopback
    bench_run "$round" "$group" "$client" "${in_client[@]}" "$@"
}

# Rewrites 1 % of the served files at the same size, ROUND hours after the tree's time; lists them in $work/changed.
change_one_percent() {
    /usr/bin/python3 - "$work/served/tree" "$1" "$two_days_ago" > "$work/changed" <<'PY'
import os, random, sys
tree, seed, base = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
names = sorted(os.path.join(d, f) for d, _, fs in os.walk(tree) for f in fs)
random.seed(seed)
for path in random.sample(names, max(1, len(names) // 100)):
    st = os.stat(path)
    with open(path, "wb") as out:
        out.write(random.randbytes(st.st_size))
    os.utime(path, (st.st_atime, base + seed * 3600))
    print(os.path.relpath(path, tree))
PY
    bench_chown "$work/served"
}

# The changed files that `client`'s copy does not hold as served.
missed() {
    local into n=0
    into=$(copy "$1")
    while read -r name; do
        cmp -s "$work/served/tree/$name" "$into/$name" || n=$((n + 1))
    done < "$work/changed"
    echo "$n"
}

for client in "${clients[@]}"; do
    mkdir -p "$(copy "$client")"
    round=0 group=first
    bench_fresh_loopback
    "${in_client[@]}" bash -c "$(client_script "$client")" </dev/null >"$work/stdout" 2>"$work/stderr" ||
        { echo "$client: the first copy failed: $(tail -5 "$work/stderr")" >&2; exit 1; }
done
echo "first copies made: $(bench_load)"

: > "$work/missed"
for round in $(seq "$rounds"); do
    for group in mirror-same mirror-1pct; do
        [ "$group" = mirror-1pct ] && change_one_percent "$round"
        for j in "${!clients[@]}"; do
            client=${clients[$(((j + round) % ${#clients[@]}))]}
            run bash -c "$(client_script "$client")"
            [ "$group" = mirror-1pct ] && echo "$round $client $(missed "$client")" >> "$work/missed"
        done
        echo "round $round $group done: $(bench_load)"
    done
done
echo "after: $(bench_load)"
bench_summary --files "$files"
echo "changed files missed in the 1 % runs (round client missed of $(wc -l < "$work/changed")):"
cat "$work/missed"
