#!/usr/bin/env bash
# The Debian package as an administrator installs it on a workstation: made
# by CPack from the programs of the build folder (what `make deb` runs),
# checked by lintian, installed on this machine with
# `apt-get install ./quarvel_<version>_<arch>.deb`, the installed menu
# started on a new demo company under Xvfb with a function's form belonging
# to /usr/bin/quarvel (installato.sh on the installed files), then purged:
# every file `dpkg -L quarvel` listed is gone.  Installing needs root: as any
# other user the test is skipped (exit 77).  The package is purged whatever
# happens, and a quarvel already installed here is left alone (the test
# fails saying so).
#   tests/install/pacchetto-deb.sh BUILD [SCREENSHOT-DIR]
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/../.." && pwd)
BUILD=$(cd "$ROOT" && realpath -m "${1:-build}")
SHOTS=${2:-$BUILD/tests/install/deb}

if [[ $(id -u) -ne 0 ]]; then
    echo "deb: skipped: installing a package needs root"
    exit 77
fi
for t in lintian:lintian dpkg-shlibdeps:dpkg-dev cpack:cmake apt-get:apt; do
    if ! command -v "${t%%:*}" >/dev/null; then
        echo "deb: FAIL: manca ${t%%:*} (pacchetto ${t#*:})" >&2
        exit 1
    fi
done
stato_quarvel() { dpkg-query -W -f='${db:Status-Status}' quarvel 2>/dev/null || true; }
if [[ -n "$(stato_quarvel)" && "$(stato_quarvel)" != not-installed ]]; then
    echo "deb: FAIL: the package quarvel is already on this machine ($(stato_quarvel));" \
        "this test installs and purges it: apt-get purge quarvel first" >&2
    exit 1
fi

export DEBIAN_FRONTEND=noninteractive
APT=(apt-get -y -qq -o DPkg::Lock::Timeout=600)
T=$(mktemp -d)
chmod 755 "$T" # apt's sandbox user reads the package from here
status=0
fail() {
    echo "deb: FAIL: $*" >&2
    status=1
}
pulisci() {
    if [[ -n "$(stato_quarvel)" && "$(stato_quarvel)" != not-installed ]]; then
        "${APT[@]}" purge quarvel >/dev/null 2>&1 || dpkg --purge quarvel >/dev/null 2>&1 || true
    fi
    rm -rf "$T"
}
trap pulisci EXIT

# ---- make deb: the package of the programs built --------------------------
if ! cpack --config "$BUILD/CPackConfig.cmake" -B "$T" >"$T/cpack.log" 2>&1; then
    cat "$T/cpack.log" >&2
    echo "deb: FAIL: cpack did not make the package" >&2
    exit 1
fi
debs=("$T"/quarvel_*.deb)
DEB=${debs[0]}
[[ -f "$DEB" ]] || { echo "deb: FAIL: no quarvel_*.deb in $T" >&2; exit 1; }
echo "deb: $(basename "$DEB")"
campo() { dpkg-deb -f "$DEB" "$1"; }
contenuto=$(dpkg-deb -c "$DEB" | awk '{print $6}')
for f in ./usr/bin/quarvel ./usr/bin/quarvel-menu ./usr/bin/quarvel-ditta \
    ./usr/share/applications/quarvel-menu.desktop ./usr/share/icons/hicolor/scalable/apps/quarvel.svg \
    ./usr/share/doc/quarvel/README.md ./usr/share/doc/quarvel/copyright \
    ./usr/share/doc/quarvel/changelog.gz ./usr/share/doc/quarvel/examples/BelcorInst.ini \
    ./usr/share/man/man1/quarvel.1.gz ./usr/share/man/man1/quarvel-menu.1.gz \
    ./usr/share/man/man1/quarvel-ditta.1.gz; do
    grep -qx "$f" <<<"$contenuto" || fail "the package has no $f"
done
fuori=$(grep -v -e '^\./usr/' -e '^\./$' <<<"$contenuto" || true)
[[ -z "$fuori" ]] || fail "files outside /usr: $fuori"
# The changelog speaks of the version packaged.
versione=$(dpkg-deb --fsys-tarfile "$DEB" | tar -xOf - ./usr/share/doc/quarvel/changelog.gz | gzip -dc |
    dpkg-parsechangelog -l- -S Version 2>/dev/null || true)
[[ "$versione" == "$(campo Version)" ]] ||
    fail "the changelog's version is '$versione', the package's $(campo Version)"
# Dependencies: the libraries found by dpkg-shlibdeps, the drivers loaded at
# run time; nothing that only the tests need.
dipende=$(campo Depends)
echo "deb: Depends: $dipende"
echo "deb: Recommends: $(campo Recommends)"
for p in libc6 libqt6widgets6 libqt6sql6 libqt6sql6-sqlite libqt6sql6-psql libqt6sql6-odbc dbus; do
    grep -Eq "(^|, )$p( |,|$)" <<<"$dipende" || fail "Depends lacks $p"
done
solo_test=$(sed -n '/^TEST_PACKAGES=(/,/^)/p' "$ROOT/scripts/bootstrap.sh" | sed -e 's/#.*//' -e '1d;$d' | xargs)
for p in $solo_test; do
    if grep -Eq "(^|, |\| )$p( |,|$)" <<<"$dipende, $(campo Recommends)"; then
        fail "the package asks for $p, which only the tests need"
    fi
done
# lintian: no errors (its warnings are shown).
if ! lintian --fail-on error --tag-display-limit 0 "$DEB" >"$T/lintian.log" 2>&1; then
    fail "lintian reports errors"
fi
sed 's/^/deb: lintian: /' "$T/lintian.log"

# ---- apt-get install ./quarvel_*.deb ----------------------------------------
if ! (cd "$T" && "${APT[@]}" install "./$(basename "$DEB")") >"$T/apt.log" 2>&1; then
    cat "$T/apt.log" >&2
    echo "deb: FAIL: apt-get install did not install the package" >&2
    exit 1
fi
dpkg -L quarvel >"$T/file"
for f in /usr/bin/quarvel /usr/bin/quarvel-menu /usr/bin/quarvel-ditta; do
    grep -qx "$f" "$T/file" || fail "dpkg -L quarvel does not list $f"
done

# ---- the installed menu on a demo company, a function's form on screen -----
if [[ $status -eq 0 ]]; then
    INSTALL_ROOT=/ "$HERE/installato.sh" "$BUILD" "$SHOTS" || fail "the installed programs did not work"
fi

# ---- apt-get purge quarvel: nothing left ------------------------------------
if ! "${APT[@]}" purge quarvel >"$T/purge.log" 2>&1; then
    cat "$T/purge.log" >&2
    fail "apt-get purge did not remove the package"
fi
[[ "$(stato_quarvel)" == "" || "$(stato_quarvel)" == not-installed ]] ||
    fail "after the purge dpkg still knows quarvel ($(stato_quarvel))"
while read -r f; do
    # the package's own folders go too; the shared ones (/usr/bin) stay
    if [[ -d "$f" && ! -L "$f" ]]; then
        [[ "$f" == *quarvel* ]] && fail "the folder $f is left after the purge"
    elif [[ -e "$f" || -L "$f" ]]; then
        fail "$f is left after the purge"
    fi
done <"$T/file"

[[ $status -eq 0 ]] && echo "deb: built, installed, working and purged: ok"
exit $status
