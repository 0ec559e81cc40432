#!/usr/bin/env bash
# End-to-end: `make run` on a virtual display with a fresh home folder.
#   tests/e2e/make-run.sh [BUILD] [SCREENSHOT-DIR]
# Checks that the menu window appears on the demo company, launches
# "Gestione inventari" from the running menu and checks that the program
# answers on screen, keeps a screenshot of each, closes everything.  Re-runs
# itself on a virtual display (tests/support/xvfb.sh) and under dbus-run-session when they are missing.
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/../.." && pwd)
# The build folder, absolute or relative to the repository.
BUILD=$(realpath -m --relative-to="$ROOT" "$(cd "$ROOT" && realpath -m "${1:-build}")")
SHOTS=${2:-$ROOT/$BUILD/tests/e2e}

if [[ -z "${E2E_XVFB:-}" ]]; then
    export E2E_XVFB=1
    exec "$ROOT/tests/support/xvfb.sh" -s "-screen 0 1024x768x24" dbus-run-session -- "$0" "$@"
fi

mkdir -p "$SHOTS"
TMPHOME=$(mktemp -d)
export HOME="$TMPHOME"
unset XDG_CONFIG_HOME XDG_DATA_HOME
export QUARVEL_MENU_BUS_NAME="it.belcor.Quarvel.MenuE2E$$"
MENU="$ROOT/$BUILD/components/menu/quarvel-menu"
LOG="$TMPHOME/make-run.log"
status=0

fail() {
    echo "e2e: FAIL: $*" >&2
    status=1
}
finish() {
    "$MENU" --chiudi >/dev/null 2>&1 || true
    sleep 0.5
    [[ -n "${RUN_PID:-}" ]] && kill "$RUN_PID" 2>/dev/null || true
    rm -rf "$TMPHOME"
}
trap finish EXIT

wait_window() { # name, seconds
    local i
    for ((i = 0; i < $2 * 10; i++)); do
        if xdotool search --onlyvisible --name "$1" >/dev/null 2>&1; then
            return 0
        fi
        sleep 0.1
    done
    return 1
}

"$ROOT/scripts/run-menu.sh" "$BUILD" >"$LOG" 2>&1 &
RUN_PID=$!

if wait_window "Menu - Quarvel" 30; then
    sleep 0.5
    import -window root "$SHOTS/make-run.png"
    echo "e2e: menu window on screen ($SHOTS/make-run.png)"
else
    fail "the menu window did not appear"; cat "$LOG" >&2
fi
[[ -f "$HOME/.config/quarvel/belcor.ini" ]] || fail "belcor.ini not created"
[[ -f "$HOME/.local/share/quarvel/ditta-demo.db" ]] || fail "demo company not created"

# A function launched from the running menu: its form appears, the operator
# closes it as the window manager closes a window.
"$MENU" --avvia "Gestione inventari" || fail "the menu did not launch the function"
if wait_window "^Gestione inventari" 30; then
    sleep 0.5
    import -window root "$SHOTS/make-run-funzione.png"
    echo "e2e: the program answered on screen ($SHOTS/make-run-funzione.png)"
    forma=$(xdotool search --onlyvisible --name "^Gestione inventari" | head -1)
    python3 "$ROOT/tests/support/chiudi-finestra.py" "$forma" || true
else
    fail "no window of the program appeared"; cat "$LOG" >&2
fi

# The program closes by itself once its form is closed.
for ((i = 0; i < 100; i++)); do
    [[ -z "$("$MENU" --clienti 2>/dev/null)" ]] && break
    sleep 0.1
done
[[ -z "$("$MENU" --clienti 2>/dev/null)" ]] || fail "the program is still registered"

# make run a second time changes nothing already there.
before=$(md5sum "$HOME/.config/quarvel/belcor.ini")
"$MENU" --chiudi >/dev/null 2>&1 || true
wait "$RUN_PID" 2>/dev/null || true
"$ROOT/scripts/run-menu.sh" "$BUILD" >>"$LOG" 2>&1 &
RUN_PID=$!
wait_window "Menu - Quarvel" 30 || fail "the menu did not come back on the second run"
[[ "$before" == "$(md5sum "$HOME/.config/quarvel/belcor.ini")" ]] || fail "belcor.ini rewritten"

# make run DITTA=<file.db>: another SQLite company, made with the demo data.
"$MENU" --chiudi >/dev/null 2>&1 || true
wait "$RUN_PID" 2>/dev/null || true
DITTA="$HOME/altra-ditta.db" "$ROOT/scripts/run-menu.sh" "$BUILD" >>"$LOG" 2>&1 &
RUN_PID=$!
wait_window "Menu - Quarvel" 30 || fail "the menu did not come up on DITTA=altra-ditta.db"
[[ -s "$HOME/altra-ditta.db" ]] || fail "make run DITTA=altra-ditta.db did not make the company"

# A configuration folder that cannot be made: make run does not stop on a
# bare shell error, the menu's window names the folder and the cause.
"$MENU" --chiudi >/dev/null 2>&1 || true
wait "$RUN_PID" 2>/dev/null || true
touch "$HOME/un-file"
XDG_CONFIG_HOME="$HOME/un-file/conf" "$ROOT/scripts/run-menu.sh" "$BUILD" >>"$LOG" 2>&1 &
RUN_PID=$!
if wait_window "Quarvel - Menu" 30; then
    sleep 0.5
    import -window root "$SHOTS/make-run-cartella.png"
    echo "e2e: the folder that cannot be made is told in a window ($SHOTS/make-run-cartella.png)"
    grep -q "un-file è un file, non una cartella" "$LOG" ||
        fail "the cause of the folder is not told"
    xdotool key --clearmodifiers Return || true
else
    fail "no window told that the configuration folder cannot be made"; cat "$LOG" >&2
fi
wait "$RUN_PID" 2>/dev/null && fail "make run ended well without its configuration folder"

[[ $status -eq 0 ]] && echo "e2e: make run: ok"
exit $status
