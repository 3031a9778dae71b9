#!/usr/bin/env bash
# OpenSSL for the Windows build: libcrypto and libssl cross-built with
# mingw-w64 from Debian's source package, static, into a cache folder outside
# the checkout. Prints the folder (include/, lib/) for the cross-build's
# -DOPENSSL_ROOT_DIR. The newest source version that the machine's apt
# sources offer decides; a version already built is reused, so only
# the first run on a machine, and the first after an OpenSSL update, builds
# (2 to 8 minutes on 2 cores, by their load).
#
#   scripts/openssl-mingw.sh            DORVAN_CI_CACHE: the cache (default /var/cache/dorvan-ci)
#
# The source index lives in the cache too (a private apt configuration; the
# system's sources stay as they are) and is refreshed at most once a day, or
# when the machine's sources change. Its entries are the machine's own apt
# sources turned into deb-src (the same archives, suites, components and
# signing keys), so a machine that reaches the archive through a mirror of its
# own uses that mirror; apt checks the signatures of the index as usual.
set -euo pipefail

cache=${DORVAN_CI_CACHE:-/var/cache/dorvan-ci}
apt_dir=$cache/apt-source
mkdir -p "$apt_dir/lists/partial" "$apt_dir/parts" "$apt_dir/cache/archives/partial"
fail() { echo "openssl-mingw: $*" >&2; exit 1; }

# One run at a time per cache: others wait for its result.
exec 9>"$cache/openssl-mingw.lock"
flock 9

apt_options=(-o "Dir::Etc::SourceList=$apt_dir/sources.list" -o "Dir::Etc::SourceParts=$apt_dir/parts"
             -o "Dir::State::Lists=$apt_dir/lists" -o "Dir::Cache=$apt_dir/cache" -o "APT::Sandbox::User=root"
             -o "Debug::NoLocking=1")
# debsrc_entries: the machine's binary sources as source entries. One-line
# files (sources.list, *.list) give their `deb` lines as `deb-src` lines;
# deb822 files (*.sources) give each enabled stanza whose Types name `deb`
# with Types: deb-src and every other field (URIs, Suites, Components,
# Signed-By...) as it stands.
debsrc_entries() {
    local file
    for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
        [ -f "$file" ] && sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' "$file"
    done
    for file in /etc/apt/sources.list.d/*.sources; do
        [ -f "$file" ] && awk '
            function flush() {
                if (stanza != "" && binary && !disabled) printf "Types: deb-src\n%s\n", stanza
                stanza = ""; binary = 0; disabled = 0
            }
            /^#/ { next }
            /^[[:space:]]*$/ { flush(); next }
            tolower($1) == "types:" { for (i = 2; i <= NF; i++) if ($i == "deb") binary = 1; next }
            tolower($1) == "enabled:" && tolower($2) == "no" { disabled = 1 }
            { stanza = stanza $0 "\n" }
            END { flush() }' "$file"
    done
}
debsrc_entries | grep -v '^deb-src ' > "$apt_dir/parts/machine.sources.new" || true
debsrc_entries | grep '^deb-src ' > "$apt_dir/sources.list.new" || true
[ -s "$apt_dir/parts/machine.sources.new" ] || [ -s "$apt_dir/sources.list.new" ] ||
    fail "no deb entry in /etc/apt/sources.list or /etc/apt/sources.list.d/ to take source entries from"
changed=false
for f in "$apt_dir/parts/machine.sources" "$apt_dir/sources.list"; do
    cmp -s "$f.new" "$f" || changed=true
    mv "$f.new" "$f"
done
if $changed || [ -z "$(find "$apt_dir/lists" -maxdepth 1 -name '*Sources*' -mmin -1440)" ]; then
    apt-get "${apt_options[@]}" -qq update >&2 ||
        [ -n "$(find "$apt_dir/lists" -maxdepth 1 -name '*Sources*')" ] || fail "cannot read the source index of the machine's apt sources"
fi
# Newest first; a version whose files the archive no longer serves is passed over.
versions=$(apt-cache "${apt_options[@]}" showsrc openssl 2>/dev/null | sed -n 's/^Version: //p' | sort -rV)
[ -n "$versions" ] || fail "no openssl source package in the index"

work=$(mktemp -d "$cache/openssl-mingw-build.XXXXXX")
trap 'rm -rf "$work"' EXIT
for version in $versions; do
    prefix=$cache/openssl-mingw-$version
    [ -f "$prefix/lib/libssl.a" ] && break
    if (cd "$work" && apt-get "${apt_options[@]}" -qq source "openssl=$version" >/dev/null 2>>source.err); then
        build=yes
        break
    fi
done
if [ -z "${build:-}" ] && [ ! -f "$prefix/lib/libssl.a" ]; then
    fail "cannot fetch the source of openssl ($versions): $(cat "$work/source.err")"
fi
if [ -n "${build:-}" ]; then
    echo "openssl-mingw: building OpenSSL $version for Windows x64 (once per version)" >&2
    (
        cd "$work"/openssl-*/
        # Static, built-in providers only, and no configuration file read from
        # the disk of the machine it runs on.
        ./Configure mingw64 no-shared no-module no-engine no-tests no-autoload-config \
            --cross-compile-prefix=x86_64-w64-mingw32- --prefix="$prefix" --libdir=lib >configure.log 2>&1 ||
            fail "Configure: $(tail -n 20 configure.log)"
        nice make -j2 build_libs >make.log 2>&1 || fail "make: $(tail -n 20 make.log)"
        nice make install_dev DESTDIR="$work/staging" >install.log 2>&1 ||
            fail "make install_dev: $(tail -n 20 install.log)"
    )
    rm -rf "$prefix"
    mv "$work/staging$prefix" "$prefix"
    # Older versions are no longer used.
    for old in "$cache"/openssl-mingw-*/; do
        [ "${old%/}" != "$prefix" ] && [ -f "$old/lib/libssl.a" ] && rm -rf "$old"
    done
fi
echo "$prefix"
