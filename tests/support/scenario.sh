# What the scenarios on a virtual display share; sourced by a scenario
# script after it has set ROOT, BUILD (relative to ROOT) and SHOTS, with the
# script's own arguments:
#   SCENARIO_NOME=Lifo; source "$ROOT/tests/support/scenario.sh" "$@"
# Re-runs the script on a virtual display (tests/support/xvfb.sh) and under dbus-run-session when they are
# missing; gives it a fresh home folder, the menu's program (MENU), the demo
# company file (DB), a log (LOG) and status, and the helpers fail, window
# (a visible window by title pattern, its id), close_window (what a window
# manager sends when the operator closes a window) and sql (a query on the
# demo company).  The menu and what it started are closed at the end.

# The display's number is the X server's own choice (tests/support/xvfb.sh):
# a server of the run before, still going away, or of another root folder,
# never shares it.
if [[ -z "${SCENARIO_XVFB:-}" ]]; then
    export SCENARIO_XVFB=1
    exec "$ROOT/tests/support/xvfb.sh" -s "-screen 0 1024x768x24" dbus-run-session -- "$0" "$@"
fi

mkdir -p "$SHOTS"
TMPHOME=$(mktemp -d)
export HOME="$TMPHOME"
unset XDG_CONFIG_HOME XDG_DATA_HOME
export QUARVEL_MENU_BUS_NAME="it.belcor.Quarvel.Menu${SCENARIO_NOME:-Scenario}$$"
MENU="$ROOT/$BUILD/components/menu/quarvel-menu"
DB="$HOME/.local/share/quarvel/ditta-demo.db"
LOG="$TMPHOME/scenario.log"
status=0

fail() {
    echo "scenario: FAIL: $*" >&2
    status=1
}
finish() {
    "$MENU" --chiudi >/dev/null 2>&1 || true
    sleep 0.5
    [[ -n "${RUN_PID:-}" ]] && kill "$RUN_PID" 2>/dev/null || true
    if [[ $status -ne 0 && -f "$LOG" ]]; then
        cat "$LOG" >&2
    fi
    rm -rf "$TMPHOME"
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

# What a window manager sends when the operator closes a window.
close_window() { # window id
    python3 "$ROOT/tests/support/chiudi-finestra.py" "$1"
}

sql() {
    sqlite3 "$DB" "$1"
}
