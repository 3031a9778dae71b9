#!/usr/bin/env bash
# Installs the Debian packages Dorvan needs to build, test, package and run
# its demo and benchmarks: every program they call. CI proves the list in a
# fresh Debian 12 root (scripts/fresh-root-test.sh).
set -euo pipefail

packages=(g++ clang libclang-rt-14-dev cmake ninja-build libgtest-dev zlib1g-dev libdeflate-dev libssl-dev
          python3 python3-pyftpdlib zip unzip curl openssl pkg-config libedit-dev
          man-db bsdextrautils  # man and col: the manual page test
          dpkg-dev file lintian  # dpkg-shlibdeps and file: the .deb's dependencies (scripts/package.sh); its review
          debootstrap  # CI's fresh root
          wget lftp ncftp rclone vsftpd time procps strace iproute2  # peers, server, /usr/bin/time, uptime, strace and ip of bench/
          g++-mingw-w64-x86-64-posix libz-mingw-w64-dev wine64  # the Windows build and its run under wine
          make perl  # this line, and dpkg-dev: OpenSSL for the Windows build (scripts/openssl-mingw.sh)
          libhiredis0.14 libmemcached11 libmemcachedutil2 libpcre2-posix3)  # what the unpacked proftpd below links
# proftpd (with mod_digest, the server of the checksum tests and benchmarks)
# conflicts with vsftpd as an installed package: its Debian package is only
# unpacked here, and tests/support/proftpd_server.sh runs it from there.
proftpd_root=/opt/dorvan-test/proftpd
unpack_proftpd() {
    [ -x "$proftpd_root/usr/sbin/proftpd" ] && return 0
    local work
    work=$(mktemp -d)
    chmod 755 "$work"  # apt downloads as its own user
    (cd "$work" && apt-get download proftpd-core)
    "${sudo_cmd[@]}" mkdir -p "$proftpd_root"
    "${sudo_cmd[@]}" dpkg-deb -x "$work"/proftpd-core_*.deb "$proftpd_root"
    rm -rf "$work"
}
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
if [ ${#missing[@]} -gt 0 ]; then
    echo "installing: ${missing[*]}"
    "${sudo_cmd[@]}" apt-get update
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
fi
unpack_proftpd
