#!/usr/bin/env bash
# `git clone` and `make test` on a Debian 12 that never had the project's
# packages: a debootstrap chroot (minbase: the required packages and apt,
# less than any installed machine has) made from the mirror apt uses here,
# with /proc, /sys and /dev bound, a clone of this repository's HEAD in
# /root/quarvel, and `make test` run in it as root (it installs what it needs
# through scripts/bootstrap.sh, as on a workstation).  Services started by
# the chroot's packages are kept from starting (policy-rc.d): the tests start
# their own.
#   scripts/macchina-nuova.sh [FOLDER [COMMAND]]
# FOLDER defaults to /var/tmp/quarvel-bookworm, COMMAND (run in the clone)
# to "make test".
# The chroot stays for the next run (debootstrap only once; the clone is made
# again).  Output: FOLDER.log; the exit status is make test's.
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(dirname "$HERE")
DIR=$(realpath -m "${1:-/var/tmp/quarvel-bookworm}")
COMANDO=${2:-make test}
SUITE=bookworm
LOG="$DIR.log"

if [[ $(id -u) -ne 0 ]]; then
    echo "macchina-nuova: run as root (debootstrap and chroot)" >&2
    exit 2
fi

# The mirror of this machine's apt sources (one-line or deb822), or Debian's.
mirror() {
    local m=""
    if [[ -f /etc/apt/sources.list ]]; then
        m=$(awk '$1 == "deb" && $0 ~ /debian/ && $0 !~ /security/ { for (i = 2; i <= NF; i++) if ($i ~ /^https?:/) { print $i; exit } }' \
            /etc/apt/sources.list)
    fi
    if [[ -z "$m" ]]; then
        m=$(cat /etc/apt/sources.list.d/*.sources 2>/dev/null |
            awk '/^URIs:/ && $2 !~ /security/ && $2 ~ /debian/ { print $2; exit }')
    fi
    echo "${m:-http://deb.debian.org/debian}"
}
MIRROR=$(mirror)

if ! command -v debootstrap >/dev/null; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq debootstrap
fi

exec > >(tee "$LOG") 2>&1
echo "macchina-nuova: Debian $SUITE in $DIR from $MIRROR"

if [[ ! -f "$DIR/.debootstrap-fatto" ]]; then
    rm -rf "$DIR"
    mkdir -p "$DIR"
    debootstrap --variant=minbase "$SUITE" "$DIR" "$MIRROR"
    touch "$DIR/.debootstrap-fatto"
fi

# apt as on an installed machine: the release, its updates, the security archive.
security=${MIRROR%/debian}/debian-security
[[ "$MIRROR" == */debian ]] || security=http://deb.debian.org/debian-security
cat >"$DIR/etc/apt/sources.list" <<EOF
deb $MIRROR $SUITE main
deb $MIRROR $SUITE-updates main
deb $security $SUITE-security main
EOF
cp /etc/resolv.conf "$DIR/etc/resolv.conf"
cat >"$DIR/usr/sbin/policy-rc.d" <<'EOF'
#!/bin/sh
exit 101
EOF
chmod 755 "$DIR/usr/sbin/policy-rc.d"

montati=()
smonta() {
    local i
    for ((i = ${#montati[@]} - 1; i >= 0; i--)); do
        umount -l "${montati[i]}" 2>/dev/null || true
    done
}
trap smonta EXIT
monta() { # options... target
    mount "$@"
    montati+=("${*: -1}")
}
monta -t proc proc "$DIR/proc"
monta -t sysfs sys "$DIR/sys"
monta --rbind /dev "$DIR/dev"
mount --make-rslave "$DIR/dev"
monta -t tmpfs tmpfs "$DIR/tmp"

# The clone: what is committed, nothing of this work tree's build.
rm -rf "$DIR/root/quarvel"
git clone -q --no-hardlinks "$ROOT" "$DIR/root/quarvel"
echo "macchina-nuova: clone of $(git -C "$ROOT" rev-parse --short HEAD)"

# On a new machine the administrator has make and git (the README's first
# step); everything else comes from make test.
status=0
chroot "$DIR" /usr/bin/env -i HOME=/root LANG=C.UTF-8 TERM=dumb \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    DEBIAN_FRONTEND=noninteractive /bin/bash -c '
        set -e
        apt-get update -qq
        apt-get install -y -qq --no-install-recommends make git ca-certificates >/dev/null
        cd /root/quarvel
        eval "$0"' "$COMANDO" || status=$?
echo "macchina-nuova: '$COMANDO' ended with status $status"
exit $status
