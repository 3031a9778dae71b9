#!/usr/bin/env bash
# A proftpd server with mod_digest on 127.0.0.1, run from Debian's package as
# scripts/install-deps.sh unpacked it (an installed proftpd would conflict
# with vsftpd), for the tests and the benchmarks. Needs root.
#
#   tests/support/proftpd_server.sh DIR [--digests LIST] [--no-hash]
#
# DIR (created when missing) receives root/ (the served folder), proftpd.conf,
# commands.log (every command and its reply code) and proftpd.log. --digests
# names the algorithms it offers (mod_digest's DigestAlgorithms, such as
# "crc32 sha1"; default all), --no-hash refuses the HASH command (FEAT
# still lists it), so that only the X commands remain. When the server
# listens, the script prints "PORT <n>" and "USER <name> <password>" and keeps
# running until its standard input closes or it gets SIGTERM; on failure it
# prints the reason on standard error and exits with status 1.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/loopback_server.sh"

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

read -r port < <(free_port_block 127.0.0.1)

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

serve proftpd 0100007F /proc/net/tcp "$unpacked/usr/sbin/proftpd" -n -q -c "$dir/proftpd.conf"
