#!/usr/bin/env bash
# The installed program, as an administrator sets it up and an operator
# starts it: `cmake --install` (what `make install` runs) with DESTDIR and
# PREFIX=/usr into a temporary folder, the configuration examples copied
# where the installed files say, the menu started by its desktop entry's
# command, "Date inventario" launched, and the form of the installed
# `quarvel` seen on a virtual display with a private session bus.  With
# INSTALL_ROOT=/ the programs are the ones installed on this system (by the
# Debian package: pacchetto-deb.sh), checked the same way in /usr, nothing
# installed by this script.  Nothing points the programs at each other (no
# QUARVEL_PROGRAM, no PATH into the build folder): the form must belong to
# the installed `quarvel`.
#   tests/install/installato.sh BUILD [SCREENSHOT-DIR]
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/../.." && pwd)
BUILD=$(cd "$ROOT" && realpath -m "${1:-build}")
SHOTS=${2:-$BUILD/tests/install}

if [[ -z "${INSTALL_XVFB:-}" ]]; then
    export INSTALL_XVFB=1
    exec "$ROOT/tests/support/xvfb.sh" -s "-screen 0 1024x768x24" dbus-run-session -- "$0" "$@"
fi

mkdir -p "$SHOTS"
T=$(mktemp -d)
if [[ "${INSTALL_ROOT:-}" == / ]]; then
    DEST=""
else
    DEST="$T/dest"
fi
BIN="$DEST/usr/bin"
PROGRAMS=("$BIN/quarvel" "$BIN/quarvel-menu" "$BIN/quarvel-ditta")
status=0

fail() {
    echo "install: FAIL: $*" >&2
    status=1
}

# ---- make install DESTDIR=... PREFIX=/usr --------------------------------
if [[ -n "$DEST" ]] && ! DESTDIR="$DEST" cmake --install "$BUILD" --prefix /usr >"$T/install.log" 2>&1; then
    cat "$T/install.log" >&2
    echo "install: FAIL: cmake --install failed" >&2
    rm -rf "$T"
    exit 1
fi
DESKTOP="$DEST/usr/share/applications/quarvel-menu.desktop"
EXAMPLES="$DEST/usr/share/doc/quarvel/examples"
for f in "${PROGRAMS[@]}"; do
    [[ -x "$f" ]] || fail "$f not installed or not executable"
done
[[ -f "$DESKTOP" ]] || fail "the desktop entry is not installed"
[[ -f "$DEST/usr/share/icons/hicolor/scalable/apps/quarvel.svg" ]] || fail "the icon is not installed"
for f in BelcorInst.ini belcor.ini ditta.ini odbc.ini menu.ini; do
    [[ -f "$EXAMPLES/$f" ]] || fail "the example $f is not installed"
done
if [[ $status -ne 0 ]]; then
    rm -rf "$T"
    exit 1
fi
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$DESKTOP" || fail "desktop-file-validate refuses the desktop entry"
fi
# The icon the entry names is the one installed; its commands are installed programs.
icon=$(sed -n 's/^Icon=//p' "$DESKTOP")
[[ -f "$DEST/usr/share/icons/hicolor/scalable/apps/$icon.svg" ]] ||
    fail "the desktop entry names the icon '$icon', which is not installed"
while read -r cmd; do
    [[ -x "$BIN/${cmd%% *}" ]] || fail "the desktop entry runs '$cmd', not an installed program"
done < <(sed -n 's/^Exec=//p' "$DESKTOP")
sanitizzata=0
grep -qx 'QUARVEL_SANITIZE:BOOL=ON' "$BUILD/CMakeCache.txt" 2>/dev/null && sanitizzata=1
for f in "${PROGRAMS[@]}"; do
    if readelf -d "$f" | grep -E 'R(UN)?PATH' | grep -F "$BUILD" >/dev/null; then
        fail "$f keeps a library path into the build folder"
    fi
    # A sanitizer build keeps its source paths for its reports: it is built
    # for the tests, never for installing, so only other builds are checked.
    if ((!sanitizzata)) && readelf -p .rodata "$f" 2>/dev/null | grep -F "$ROOT/" >/dev/null; then
        fail "$f holds a path into the source or build folder"
    fi
done

# ---- the administrator's configuration, from the installed examples -------
# /etc/belcor and /srv/quarvel of the examples become folders of the test.
ETC="$T/etc/belcor"
SRV="$T/srv/quarvel"
mkdir -p "$ETC" "$SRV"
for f in BelcorInst.ini belcor.ini ditta.ini; do
    sed -e "s|/etc/belcor|$ETC|g" -e "s|/srv/quarvel|$SRV|g" "$EXAMPLES/$f" >"$ETC/$f"
done
export QUARVEL_INSTALL_INI="$ETC/BelcorInst.ini"
export QUARVEL_SYSTEM_DIR="$ETC"

# ---- an operator with a fresh home folder ---------------------------------
export HOME="$T/home"
mkdir -p "$HOME"
unset XDG_CONFIG_HOME XDG_DATA_HOME QUARVEL_PROGRAM QUARVEL_DITTA QUARVEL_MENU_STORE
export QUARVEL_MENU_BUS_NAME="it.belcor.Quarvel.MenuInstall$$"
export PATH="$BIN:/usr/bin:/bin"
LOG="$T/menu.log"
MENU_PID=""

finish() {
    "$BIN/quarvel-menu" --chiudi >/dev/null 2>&1 || true
    sleep 0.5
    [[ -n "$MENU_PID" ]] && kill "$MENU_PID" 2>/dev/null || true
    # A program of this run still open (a message left unanswered): the
    # processes that carry this run's bus name, no others.
    for e in /proc/[0-9]*/environ; do
        if { tr '\0' '\n' <"$e"; } 2>/dev/null | grep -x "QUARVEL_MENU_BUS_NAME=$QUARVEL_MENU_BUS_NAME" >/dev/null; then
            p=${e#/proc/}
            [[ ${p%%/*} != "$$" ]] && kill "${p%%/*}" 2>/dev/null || true
        fi
    done
    if [[ $status -ne 0 && -f "$LOG" ]]; then
        cat "$LOG" >&2
    fi
    rm -rf "$T"
}
trap finish EXIT

window() { # title pattern, seconds -> window id
    local i w
    for ((i = 0; i < $2 * 10; i++)); do
        w=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1 || true)
        if [[ -n "$w" ]]; then
            echo "$w"
            return 0
        fi
        sleep 0.1
    done
    return 1
}

ended() { # pid, seconds
    local i
    for ((i = 0; i < $2 * 10; i++)); do
        kill -0 "$1" 2>/dev/null || return 0
        sleep 0.1
    done
    return 1
}

# The desktop entry's "Ditta dimostrativa" action, run as the desktop runs it.
demo=$(sed -n '/^\[Desktop Action Demo\]/,/^\[/s/^Exec=//p' "$DESKTOP")
[[ -n "$demo" ]] || fail "the desktop entry has no demo action"
(cd "$HOME" && exec $demo) >"$LOG" 2>&1 &
MENU_PID=$!

if ! MENU_WIN=$(window "Menu - Quarvel" 30); then
    fail "the installed menu's window did not appear"
    exit 1
fi
# The desktop puts the window under the entry's icon by its class.
wmclass=$(sed -n 's/^StartupWMClass=//p' "$DESKTOP")
xdotool search --onlyvisible --class "^$wmclass\$" 2>/dev/null | grep -x "$MENU_WIN" >/dev/null ||
    fail "the menu's window is not of the class '$wmclass' the desktop entry names"
[[ -f "$HOME/.local/share/quarvel/ditta-demo.db" ]] ||
    fail "the installed quarvel-ditta did not create the demo company"

"$BIN/quarvel-menu" --avvia "Date inventario" || fail "the menu did not launch the function"
if FORM=$(window "^Date inventario" 30); then
    sleep 1
    import -window root "$SHOTS/installato.png"
    echo "install: the installed program's form on screen ($SHOTS/installato.png)"
    pid=$(xdotool getwindowpid "$FORM" 2>/dev/null || true)
    exe=$(readlink "/proc/$pid/exe" 2>/dev/null || true)
    [[ "$exe" == "$BIN/quarvel" ]] || fail "the form belongs to '$exe', not to $BIN/quarvel"
    clients=$("$BIN/quarvel-menu" --clienti 2>/dev/null || true)
    grep -q "DATEINV" <<<"$clients" || fail "the program is not registered with the menu: '$clients'"
    # The menu closed as the operator closes it: the program ends with it.
    "$BIN/quarvel-menu" --chiudi >/dev/null 2>&1 || fail "the installed menu did not take --chiudi"
    ended "$pid" 20 || { fail "the installed program did not end with the menu"; kill "$pid" || true; }
    ended "$MENU_PID" 20 || fail "the installed menu did not end"
else
    fail "the form of the installed program did not appear"
fi

[[ $status -eq 0 ]] && echo "install: installed menu and program: ok"
exit $status
