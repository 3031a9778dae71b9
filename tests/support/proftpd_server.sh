#!/usr/bin/env bash
# A proftpd server with mod_digest on 127.0.0.1, run from Debian's package as
# scripts/install-deps.sh unpacked it (an installed proftpd would conflict
# with vsftpd), for the tests and the benchmarks. Needs root.
#
#   tests/support/proftpd_server.sh DIR [--digests LIST]
#
# DIR (created when missing) receives root/ (the served folder), proftpd.conf,
# commands.log (every command and its reply code) and proftpd.log. --digests
# names the algorithms it offers (mod_digest's DigestAlgorithms, such as
# "crc32 sha1"; default all), --no-hash leaves the HASH command out of FEAT
# and refuses it, so that only the X commands remain. When the server
# listens, the script prints "PORT <n>" and "USER <name> <password>" and keeps
# running until its standard input closes or it gets SIGTERM; on failure it
# prints the reason on standard error and exits with status 1.
set -euo pipefail

unpacked=/opt/dorvan-test/proftpd
user=dorvan-digest
password=Digest-loopback-3
dir=
digests=all
no_hash=
while [ $# -gt 0 ]; do
    case $1 in
        --digests) digests=$2; shift ;;
        --no-hash) no_hash=yes ;;
        *) dir=$1 ;;
    esac
    shift
done
[ -n "$dir" ] || { echo "usage: $0 DIR [--digests LIST] [--no-hash]" >&2; exit 1; }
fail() { echo "proftpd_server: $*" >&2; exit 1; }
[ "$(id -u)" -eq 0 ] || fail "must run as root (proftpd switches to its login user)"
[ -x "$unpacked/usr/sbin/proftpd" ] || fail "proftpd is not unpacked in $unpacked (scripts/install-deps.sh)"

mkdir -p "$dir/root"
dir=$(cd "$dir" && pwd)
chmod 755 "$dir"
chown 65534:65534 "$dir/root"
hash=$(openssl passwd -5 "$password")
echo "$user:$hash:65534:65534::$dir/root:/bin/false" > "$dir/passwd"
echo "dorvan-digest:x:65534:" > "$dir/group"
chmod 600 "$dir/passwd" "$dir/group"

# A control port and 16 passive ports after it, all free right now.
read -r port < <(/usr/bin/python3 - <<'PY'
import socket
def free(p):
    s = socket.socket()
    s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    try:
        s.bind(("127.0.0.1", p)); return True
    except OSError:
        return False
    finally:
        s.close()
while True:
    s = socket.socket(); s.bind(("127.0.0.1", 0)); base = s.getsockname()[1]; s.close()
    if base + 16 < 65536 and all(free(p) for p in range(base, base + 17)):
        print(base); break
PY
)

hash_limit=
[ -n "$no_hash" ] && hash_limit="<Limit HASH>
  DenyAll
</Limit>"
cat > "$dir/proftpd.conf" <<CONF
ServerName "dorvan test"
ServerType standalone
DefaultServer on
Port $port
DefaultAddress 127.0.0.1
SocketBindTight on
UseIPv6 off
User nobody
Group nogroup
PidFile $dir/proftpd.pid
ScoreboardFile $dir/proftpd.scoreboard
DelayTable none
WtmpLog off
UseReverseDNS off
SystemLog $dir/proftpd.log
LogFormat commands "%m %s"
ExtendedLog $dir/commands.log ALL commands
ModulePath $unpacked/usr/lib/proftpd
LoadModule mod_digest.c
AuthOrder mod_auth_file.c
AuthUserFile $dir/passwd
AuthGroupFile $dir/group
RequireValidShell off
DefaultRoot ~
PassivePorts $((port + 1)) $((port + 16))
AllowOverwrite on
AllowStoreRestart on
AllowRetrieveRestart on
Umask 022
DigestEngine on
DigestAlgorithms $digests
$hash_limit
CONF
: > "$dir/commands.log"

"$unpacked/usr/sbin/proftpd" -n -q -c "$dir/proftpd.conf" > "$dir/proftpd.out" 2>&1 &
server=$!
reader=
stop() { kill $server $reader 2>/dev/null || true; wait $server 2>/dev/null || true; }
trap 'stop; exit 0' TERM INT
listening() { grep -qi "^ *[0-9]*: 0100007F:$(printf %04X "$port") [0-9A-F:]* 0A " /proc/net/tcp; }
for _ in $(seq 200); do
    listening && break
    kill -0 $server 2>/dev/null || fail "proftpd ended at start: $(cat "$dir/proftpd.out" "$dir/proftpd.log" 2>/dev/null)"
    sleep 0.05
done
listening || { stop; fail "proftpd does not listen on port $port: $(cat "$dir/proftpd.out")"; }
echo "PORT $port"
echo "USER $user $password"

# Ends with its standard input, so a test that dies leaves no server behind.
exec 3<&0
cat <&3 > /dev/null &
reader=$!
wait $reader || true
stop
