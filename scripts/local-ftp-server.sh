# Sourced by the demo and the benchmarks: a work folder and a loopback FTP
# server (tests/support/ftp_server.py) that both go away when the script exits.
#
#   start_local_ftp_server PREFIX USER PASSWORD
#
# sets `work` (a fresh folder with server/, local/ and data/ in it; the server
# serves server/) and `port`.

server_pid=
cleanup_local_ftp_server() {
    [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null || true
    rm -rf "$work"
}

start_local_ftp_server() {
    work=$(mktemp -d "/tmp/$1-XXXXXX")
    trap cleanup_local_ftp_server EXIT
    mkdir -p "$work/server" "$work/local" "$work/data"
    # The server ends when its standard input closes or on SIGTERM.
    mkfifo "$work/hold"
    exec 3<>"$work/hold"
    /usr/bin/python3 tests/support/ftp_server.py --root "$work/server" --user "$2" --password "$3" \
        < "$work/hold" > "$work/server.out" 2> "$work/server.err" &
    server_pid=$!
    for _ in $(seq 100); do grep -q '^PORT ' "$work/server.out" 2>/dev/null && break; sleep 0.1; done
    port=$(sed -n 's/^PORT //p' "$work/server.out")
    [ -n "$port" ] || { echo "the local FTP server did not start:"; cat "$work/server.err"; exit 1; }
}
