#!/usr/bin/env bash
# The set-up on a fresh machine: a minimal Debian 12 root made by debootstrap
# gets a copy of this checkout and runs, as root inside it,
# scripts/install-deps.sh, the README's demo, the release build, the release
# CTest suite (not wine) and scripts/package-check.sh (the .deb built,
# installed, run and purged). Needs root (debootstrap, mount, chroot). With
# --whole it runs scripts/install-deps.sh and scripts/test.sh there instead:
# the README's test command on a fresh machine (wine, sanitizers and fuzzing
# included).
#
# The root as install-deps.sh leaves it is kept in $DORVAN_ROOT_CACHE
# (default /var/cache/dorvan-ci), keyed by a hash of install-deps.sh and the
# debootstrap settings, so the download is paid once per change of the
# package list; every run works on a throwaway overlay of it. One run at a
# time per cache.
set -euo pipefail
cd "$(dirname "$0")/.."
suite=bookworm
variant=minbase
cache=${DORVAN_ROOT_CACHE:-/var/cache/dorvan-ci}
whole=false
[ "${1:-}" = --whole ] && whole=true

fail() { echo "fresh-root-test: $*" >&2; exit 1; }
[ "$(id -u)" -eq 0 ] || fail "needs root (debootstrap, mount, chroot)"
command -v debootstrap >/dev/null || fail "debootstrap is missing: run scripts/install-deps.sh"

# The root reaches the package archive as this machine does: same sources.
if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    sources=/etc/apt/sources.list.d/debian.sources
    mirror=$(awk '$1 == "URIs:" { print $2; exit }' "$sources")
else
    sources=/etc/apt/sources.list
    mirror=$(awk '$1 == "deb" { for (i = 2; i <= NF; i++) if ($i ~ /:\/\//) { print $i; exit } }' "$sources")
fi
[ -n "$mirror" ] || fail "no Debian archive found in $sources"

key=$({ echo "$suite $variant $mirror"; cat "$sources" scripts/install-deps.sh; } | sha256sum | cut -c1-16)
base=$cache/root-$key
mkdir -p "$cache/debs" "$cache/archives"
exec 9> "$cache/lock"
flock -n 9 || fail "another run is using $cache"

mounted=()
mount_at() {  # mount_at TARGET MOUNT-ARGUMENTS...
    local target=$1
    shift
    mount "$@" "$target" || return 1
    mounted+=("$target")
}
unmount_to() {  # unmount_to N: unmounts, newest first, until N mounts are left
    while [ ${#mounted[@]} -gt "$1" ]; do
        local last=${mounted[-1]}
        umount "$last" 2>/dev/null || umount -l "$last"
        unset 'mounted[-1]'
    done
}
# run_in ROOT COMMAND: runs a bash command as root inside ROOT, with /proc,
# /sys, /dev, /dev/pts, a fresh /dev/shm and the host's name resolution; then
# ends what still runs in there (by PID) and unmounts what it mounted.
run_in() {
    local root=$1 before=${#mounted[@]} status=0 p
    mount_at "$root/proc" -t proc proc
    mount_at "$root/sys" --bind /sys
    mount_at "$root/dev" --bind /dev
    mount_at "$root/dev/pts" --bind /dev/pts
    mount_at "$root/dev/shm" -t tmpfs -o mode=1777 tmpfs
    cp /etc/resolv.conf "$root/etc/resolv.conf"
    chroot "$root" /usr/bin/env -i HOME=/root LANG=C.UTF-8 TERM=dumb CI="${CI:-}" \
        PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin /bin/bash -c "$2" 9>&- || status=$?
    for p in /proc/[0-9]*; do
        if [ "$(readlink "$p/root" 2>/dev/null)" = "$root" ]; then kill -9 "${p#/proc/}" 2>/dev/null || true; fi
    done
    unmount_to "$before"
    return $status
}

# Never through a mount into the host: what a killed run left mounted under
# the cache is unmounted first, and rm stays on the cache's file system.
remove_under_cache() {
    awk -v c="$cache" 'index($2, c "/run.") == 1 || index($2, c "/root-") == 1 { print $2 }' /proc/self/mounts | sort -r |
        while read -r stale; do umount -l "$stale"; done
    rm -rf --one-file-system "$@"
}
work=
cleanup() {
    unmount_to 0
    remove_under_cache "$base.new" ${work:+"$work"}
}
trap cleanup EXIT
trap 'exit 130' INT TERM
remove_under_cache "$cache"/run.* "$base.new"  # left by a killed run

step_start=$SECONDS
step() { echo "== fresh root: $1 ($((SECONDS - step_start)) s)"; step_start=$SECONDS; }

if [ ! -d "$base" ]; then
    echo "== fresh root: making $base (debootstrap $variant $suite, then scripts/install-deps.sh)"
    debootstrap --variant="$variant" --cache-dir="$cache/debs" "$suite" "$base.new" "$mirror" \
        > "$cache/debootstrap.log" 2>&1 || { tail -30 "$cache/debootstrap.log"; fail "debootstrap failed"; }
    cp "$sources" "$base.new$sources"
    [ "$sources" = /etc/apt/sources.list ] || rm -f "$base.new/etc/apt/sources.list"
    step "debootstrap"
    cp scripts/install-deps.sh "$base.new/tmp/"
    # Downloaded packages stay in the cache for the next change of the list.
    mount_at "$base.new/var/cache/apt/archives" --bind "$cache/archives"
    run_in "$base.new" "/tmp/install-deps.sh && rm /tmp/install-deps.sh"
    unmount_to 0
    step "install-deps.sh into the new root"
    for old in "$cache"/root-*; do [ "$old" = "$base.new" ] || remove_under_cache "$old"; done  # older lists
    mv "$base.new" "$base"
fi

work=$(mktemp -d "$cache/run.XXXXXX")
root=$work/root
mkdir -p "$root" "$work/upper" "$work/scratch"
if ! mount_at "$root" -t overlay overlay -o "lowerdir=$base,upperdir=$work/upper,workdir=$work/scratch" 2>/dev/null; then
    cp -a "$base/." "$root/"  # no overlayfs here: a full copy instead
fi
git ls-files -z --cached --others --exclude-standard | tar --null -T - -cf - | tar -xf - -C "$root/root" --one-top-level=dorvan
step "root ready, checkout copied in"
if $whole; then
    run_in "$root" "cd /root/dorvan && scripts/install-deps.sh && scripts/test.sh"
else
    run_in "$root" 'set -e
cd /root/dorvan
step() { echo "== fresh root: $1 ($SECONDS s)"; SECONDS=0; }
scripts/install-deps.sh
step "install-deps.sh"
scripts/demo.sh > /tmp/demo.log 2>&1 || { cat /tmp/demo.log; exit 1; }
step "the README demo (the program alone built)"
scripts/build.sh build
step "release build"
ctest --test-dir build --output-on-failure -j2 -LE wine
step "CTest suite"
scripts/package-check.sh
step "package built, installed, run and purged"'
fi
unmount_to 0
step "inside the root, in all"
