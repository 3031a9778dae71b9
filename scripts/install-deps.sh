#!/usr/bin/env bash
# Installs the Debian packages Dorvan needs to build, test and run its demo.
set -euo pipefail

packages=(g++ clang libclang-rt-14-dev cmake ninja-build libgtest-dev zlib1g-dev libdeflate-dev libssl-dev
          python3 python3-pyftpdlib zip unzip curl openssl pkg-config libedit-dev
          wget lftp ncftp vsftpd  # this line: peers and server of the benchmarks in bench/
          g++-mingw-w64-x86-64-posix libz-mingw-w64-dev wine64  # the Windows build and its run under wine
          dpkg-dev make perl)  # this line: OpenSSL for the Windows build (scripts/openssl-mingw.sh)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "installing: ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
"${sudo_cmd[@]}" apt-get update
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
