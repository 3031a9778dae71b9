#!/usr/bin/env bash
# Builds the .deb, has lintian review it (no error and no warning may
# remain), installs it with apt-get, runs the installed dorvan against a
# loopback FTP server, finds its manual page, then purges it and checks that
# none of its files is left. Installs and removes a package:
# meant for a throwaway root (scripts/fresh-root-test.sh runs it). Needs root.
set -euo pipefail
cd "$(dirname "$0")/.."
fail() { echo "package-check: $*" >&2; exit 1; }
[ "$(id -u)" -eq 0 ] || fail "needs root (apt-get install)"

deb=$(scripts/package.sh | tail -1)
lintian --fail-on error,warning "$deb" > /tmp/package-lintian.log 2>&1 ||
    { cat /tmp/package-lintian.log; fail "lintian found faults in $deb"; }
DEBIAN_FRONTEND=noninteractive apt-get install -y "./$deb" > /tmp/package-install.log 2>&1 ||
    { cat /tmp/package-install.log; fail "apt-get install ./$deb failed"; }
[ "$(command -v dorvan)" = /usr/bin/dorvan ] || fail "dorvan is not /usr/bin/dorvan after the install"
[ "$(man -w dorvan)" = /usr/share/man/man1/dorvan.1.gz ] || fail "man -w dorvan: $(man -w dorvan 2>&1)"
[ -s /usr/share/doc/dorvan/copyright ] && [ -s /usr/share/doc/dorvan/README.md.gz ] ||
    fail "no copyright or README.md.gz in /usr/share/doc/dorvan"

source scripts/local-ftp-server.sh
start_local_ftp_server dorvan-package packager Pk-secret-1
printf 'from the server\n' > "$work/server/down.txt"
printf 'from the client\n' > "$work/local/up.txt"
cat > "$work/commands.txt" <<CMDS
set --host 127.0.0.1 --port $port --username packager --password Pk-secret-1 --local "$work/local"
get --src down.txt
put --src up.txt
quit
CMDS
out=$(XDG_DATA_HOME="$work/data" dorvan "@$work/commands.txt" 2>&1)
grep -q "^ Loggedin" <<< "$out" && cmp -s "$work/server/down.txt" "$work/local/down.txt" &&
    cmp -s "$work/local/up.txt" "$work/server/up.txt" || fail "the installed dorvan did not get and put: $out"

files=$(dpkg-query -L dorvan | while read -r path; do [ -d "$path" ] || echo "$path"; done)
DEBIAN_FRONTEND=noninteractive apt-get purge -y dorvan > /tmp/package-purge.log 2>&1 ||
    { cat /tmp/package-purge.log; fail "apt-get purge dorvan failed"; }
! dpkg-query -W dorvan >/dev/null 2>&1 || fail "dpkg still knows dorvan after the purge"
for path in $files /usr/share/doc/dorvan; do
    [ ! -e "$path" ] || fail "$path is left after the purge"
done
echo "package-check: $deb passed lintian, installed, ran get and put, has its manual page, purged without a trace"
