# Sourced by the test servers' scripts (vsftpd_server.sh, proftpd_server.sh):
# a free block of ports, and a server run until the script's standard input
# closes. The sourcing script defines fail(), dir, port, user and password.

# free_port_block HOST: a control port with 16 passive ports after it, all
# free right now (bound as the servers bind: ports in TIME_WAIT are free).
free_port_block() {
    /usr/bin/python3 - "$1" <<'PY'
import socket, sys
host = sys.argv[1]
family = socket.AF_INET6 if ":" in host else socket.AF_INET
def free(p):
    s = socket.socket(family)
    s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    try:
        s.bind((host, p)); return True
    except OSError:
        return False
    finally:
        s.close()
while True:
    s = socket.socket(family); s.bind((host, 0)); base = s.getsockname()[1]; s.close()
    if base + 16 < 65536 and all(free(p) for p in range(base, base + 17)):
        print(base); break
PY
}

# serve NAME ADDRESS_HEX TABLE COMMAND...: starts COMMAND (output in
# $dir/NAME.out), waits until $port listens on ADDRESS_HEX as TABLE
# (/proc/net/tcp or tcp6) shows it, prints "PORT <n>" and
# "USER <name> <password>", and serves until standard input closes or
# SIGTERM, so a test that dies leaves no server behind.
serve() {
    local name=$1 address=$2 table=$3
    shift 3
    "$@" > "$dir/$name.out" 2>&1 &
    server=$!
    reader=
    stop() { kill $server $reader 2>/dev/null || true; wait $server 2>/dev/null || true; }
    trap 'stop; exit 0' TERM INT
    listening() { grep -qi "^ *[0-9]*: $address:$(printf %04X "$port") [0-9A-F:]* 0A " "$table"; }
    for _ in $(seq 200); do
        listening && break
        kill -0 $server 2>/dev/null || fail "$name ended at start: $(cat "$dir/$name.out" "$dir/$name.log" 2>/dev/null)"
        sleep 0.05
    done
    listening || { stop; fail "$name does not listen on port $port: $(cat "$dir/$name.out")"; }
    echo "PORT $port"
    echo "USER $user $password"
    exec 3<&0
    cat <&3 > /dev/null &
    reader=$!
    wait $reader || true
    stop
}
