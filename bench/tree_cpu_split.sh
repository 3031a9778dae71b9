#!/usr/bin/env bash
# Where the two cores go while a tree moves with N sessions: one run each of
# Dorvan and lftp's mirror (get, then put) against vsftpd on 127.0.0.1, under
# `perf record -a`, reported as each program's share of the busy CPU samples
# (unrelated programs included), beside the wall time and the client's and
# vsftpd's CPU per file. With both cores busy, a run cannot end before
# (client CPU + server CPU) / 2.
# Usage: bench/tree_cpu_split.sh [files, default 20000] [sessions, default 8]
set -euo pipefail
cd "$(dirname "$0")/.."
files=${1:-20000}
sessions=${2:-8}
source bench/common.sh
command -v perf >/dev/null || { echo "perf is missing: apt-get install linux-perf" >&2; exit 1; }
bench_build
start_bench_server
echo "before: $(bench_load)"
bench_serve_tree "$files"
bench_dorvan_commands get "cwd --name tree
mget --local $work/local/down/ --recurse true" " --parallel $sessions" >/dev/null
bench_dorvan_commands put "mkd --name up-dorvan
cwd --name up-dorvan
mput --local $work/local/tree/ --recurse true" " --parallel $sessions" >/dev/null

# profile NAME COMMAND...: one run under perf, then its split.
profile() {
    local name=$1 start end served
    shift
    served=$(bench_server_cpu)
    start=$(date +%s.%N)
    perf record -q -a -F 499 -o "$work/perf.data" -- /usr/bin/time -f "%U %S" -o "$work/cpu" "$@" \
        </dev/null >/dev/null 2>"$work/stderr" ||
        { cat "$work/stderr" >&2; exit 1; }
    end=$(date +%s.%N)
    served=$(awk "BEGIN{print $(bench_server_cpu) - $served}")
    printf '%s: %.1f s; CPU per file: client %.0f us, vsftpd %.0f us; share of the samples:\n' "$name" \
        "$(awk "BEGIN{print $end - $start}")" "$(awk -v files="$files" '{print ($1 + $2) * 1e6 / files}' "$work/cpu")" \
        "$(awk "BEGIN{print $served * 1e6 / $files}")"
    perf report -q -i "$work/perf.data" --sort comm --stdio 2>/dev/null | awk 'NF && $1 + 0 >= 1 { print "  " $0 }' | head -8
}
mkdir "$work/local/down"
profile "dorvan get" env "XDG_DATA_HOME=$work/data" "$dorvan" "@$work/get.cmds"
[ "$(find "$work/local/down" -type f | wc -l)" -eq "$files" ] || { echo "dorvan get left files behind" >&2; exit 1; }
rm -rf "$work/local/down"
profile "lftp get" lftp -u "$user,$password" -p "$port" -e "mirror --parallel=$sessions tree $work/local/down; quit" 127.0.0.1
profile "dorvan put" env "XDG_DATA_HOME=$work/data" "$dorvan" "@$work/put.cmds"
profile "lftp put" lftp -u "$user,$password" -p "$port" -e "mirror -R --parallel=$sessions $work/local/tree up-lftp; quit" 127.0.0.1
echo "after: $(bench_load)"
