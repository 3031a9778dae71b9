#!/usr/bin/env bash
# System calls per file of mget and mput on a tree (bench_serve_tree in
# bench/common.sh, default 2,000 files in 20 folders) against vsftpd on
# 127.0.0.1, counted with strace -c -f over the whole process: a guide to the
# client's own cost per file, free of the machine's load. BEFORE=/path/to/dorvan
# counts that binary too, beside Dorvan.
# Usage: bench/tree_syscalls.sh [files, default 2000]
set -euo pipefail
cd "$(dirname "$0")/.."
files=${1:-2000}
source bench/common.sh
command -v strace >/dev/null || { echo "strace is missing: run scripts/install-deps.sh" >&2; exit 1; }
bench_build
start_bench_server
bench_serve_tree "$files"

bench_dorvan_commands get "cwd --name tree
mget --local $work/local/down/ --recurse true" >/dev/null
bench_dorvan_commands put "mkd --name up
cwd --name up
mput --local $work/local/tree/ --recurse true" >/dev/null

# strace's summary as calls per file: all of them, then each system call
# made at least once per 20 files, the most frequent first.
per_file() {
    awk -v files="$files" '$1 ~ /^[0-9.]+$/ && NF >= 5 && $NF != "total" { total += $4; if ($4 / files >= 0.05) printf "%6.1f  %s\n", $4 / files, $NF }
        END { printf "%6.1f  all\n", total / files }' "$1" | sort -rn | sed 's/^/  /'
}

for client in dorvan ${BEFORE:+before}; do
    binary=$dorvan
    [ "$client" = before ] && binary=$BEFORE
    for op in get put; do
        rm -rf "$work/local/down" "$work/served/up" && mkdir -p "$work/local/down"
        env "XDG_DATA_HOME=$work/data" strace -c -f -o "$work/$op.strace" "$binary" "@$work/$op.cmds" > /dev/null
        echo "$client $op: system calls per file"
        per_file "$work/$op.strace"
    done
done
