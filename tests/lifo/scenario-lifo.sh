#!/usr/bin/env bash
# Scenario on a virtual display with a fresh home folder and real key events:
# the menu on the demo company with level handling on, "Gestione LIFO
# Articoli" chosen in its list with the keyboard, an article picked with F2
# in the search window, its two levels typed, its layers opened, a layer of a
# new year typed with a lire total whose euro total appears, saved, back to
# the article, the form closed, and the program ends by itself.
#   tests/lifo/scenario-lifo.sh [BUILD] [SCREENSHOT-DIR]
# BUILD is the build folder (absolute, or relative to the repository).
# Re-runs itself under xvfb-run and dbus-run-session when they are missing.
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/../.." && pwd)
BUILD=$(realpath -m --relative-to="$ROOT" "$(cd "$ROOT" && realpath -m "${1:-build}")")
SHOTS=${2:-$ROOT/$BUILD/tests/lifo}

if [[ -z "${SCENARIO_XVFB:-}" ]]; then
    export SCENARIO_XVFB=1
    exec xvfb-run -a -s "-screen 0 1024x768x24" dbus-run-session -- "$0" "$@"
fi

mkdir -p "$SHOTS"
TMPHOME=$(mktemp -d)
export HOME="$TMPHOME"
unset XDG_CONFIG_HOME XDG_DATA_HOME
export QUARVEL_MENU_BUS_NAME="it.belcor.Quarvel.MenuLifo$$"
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
    python3 - "$1" <<'PY'
import ctypes, sys
x = ctypes.cdll.LoadLibrary("libX11.so.6")
x.XOpenDisplay.restype = ctypes.c_void_p
x.XOpenDisplay.argtypes = [ctypes.c_char_p]
x.XFlush.argtypes = [ctypes.c_void_p]
x.XCloseDisplay.argtypes = [ctypes.c_void_p]
x.XInternAtom.restype = ctypes.c_ulong
x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
d = x.XOpenDisplay(None)
w = int(sys.argv[1])
class ClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong),
                ("message_type", ctypes.c_ulong), ("format", ctypes.c_int),
                ("data", ctypes.c_long * 5)]
class XEvent(ctypes.Union):
    _fields_ = [("xclient", ClientMessage), ("pad", ctypes.c_long * 24)]
e = XEvent()
e.xclient.type = 33  # ClientMessage
e.xclient.window = w
e.xclient.message_type = x.XInternAtom(d, b"WM_PROTOCOLS", 0)
e.xclient.format = 32
e.xclient.data[0] = x.XInternAtom(d, b"WM_DELETE_WINDOW", 0)
e.xclient.data[1] = 0  # CurrentTime
x.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                         ctypes.POINTER(XEvent)]
x.XSendEvent(d, w, 0, 0, ctypes.byref(e))
x.XFlush(d)
x.XCloseDisplay(d)
PY
}

sql() {
    sqlite3 "$DB" "$1"
}

# Level handling on: the menu's named value, in its store before it starts.
mkdir -p "$HOME/.config/quarvel"
printf '[Valori]\nMag.GesTaglie=S\n' >"$HOME/.config/quarvel/menu.ini"

"$ROOT/scripts/run-menu.sh" "$BUILD" >"$LOG" 2>&1 &
RUN_PID=$!

if ! MENU_WIN=$(window "Menu - Quarvel" 30); then
    fail "the menu window did not appear"
    exit 1
fi
sleep 0.5

# The operator picks "Gestione LIFO Articoli" (third in the list).
xdotool windowfocus --sync "$MENU_WIN"
xdotool key --clearmodifiers Home Down Down Return
if ! FORM=$(window "^Gestione LIFO Articoli" 30); then
    fail "the LIFO layers form did not appear"
    exit 1
fi
PID=$(xdotool getwindowpid "$FORM" 2>/dev/null || true)
sleep 1
xdotool windowfocus --sync "$FORM"
sleep 0.3
import -window "$FORM" "$SHOTS/frmlifo.png"
echo "scenario: the form on screen ($SHOTS/frmlifo.png)"

# F2 in the article box: the search window; the code typed there and Enter
# pick the article.  ART000010 has sizes and colours.
xdotool type --delay 40 "ART00001"
xdotool key F2
if ! AIUTO=$(window "^Aiuto" 15); then
    fail "F2 did not open the search window"
    exit 1
fi
sleep 0.7
import -window root "$SHOTS/frmlifo-ricerca.png"
xdotool key --clearmodifiers ctrl+a
xdotool type --delay 40 "ART000010"
sleep 0.7
xdotool key Return
sleep 0.7
xdotool windowfocus --sync "$FORM"
sleep 0.3
# its levels: size L, colour BLU
xdotool key Tab
sleep 0.3
xdotool type --delay 40 "L"
xdotool key Tab
sleep 0.3
xdotool type --delay 40 "BLU"
xdotool key Tab
sleep 0.5
import -window "$FORM" "$SHOTS/frmlifo-articolo.png"
echo "scenario: article and levels ($SHOTS/frmlifo-articolo.png)"

# Alt+E: "G&estione" opens the layers of ART000010 L BLU.
xdotool key --clearmodifiers alt+e
sleep 1
import -window "$FORM" "$SHOTS/frmlifo-strati.png"
echo "scenario: the layers ($SHOTS/frmlifo-strati.png)"
layers_before=$(sql "SELECT COUNT(*) FROM ArtLiFo WHERE Articolo = 'ART000010'")

# A layer of 1998: year, quantity, then the lire total; the euro total is
# derived when the cell is left.
xdotool key --clearmodifiers alt+n
sleep 0.3
xdotool type --delay 40 "1998"
xdotool key Tab
xdotool type --delay 40 "25"
# Tab passes through every column: unit value, euro total, euro cost, unit
# value in lire, and the lire total
xdotool key Tab Tab Tab Tab Tab
xdotool type --delay 40 "2500000"
xdotool key Tab
sleep 0.5
import -window "$FORM" "$SHOTS/frmlifo-lire.png"
echo "scenario: lire typed, euro derived ($SHOTS/frmlifo-lire.png)"
xdotool key --clearmodifiers alt+s
sleep 0.7
import -window "$FORM" "$SHOTS/frmlifo-salvato.png"

got=$(sql "SELECT Livello1 || '|' || Livello2 || '|' || Giacenza || '|' || ValGiacenza || '|' ||
              ValGiacenzaLire FROM ArtLiFo WHERE Articolo = 'ART000010' AND Anno = 1998")
[[ "$got" == "L|BLU|25.0|1291.14|2500000.0" ]] || fail "layer not written as typed: '$got'"
[[ $(sql "SELECT COUNT(*) FROM ArtLiFo WHERE Articolo = 'ART000010'") -eq $((layers_before + 1)) ]] ||
    fail "the layers of ART000010 did not grow by one"

# Alt+T: "&Torna a        Articolo", back to the header.
xdotool key --clearmodifiers alt+t
sleep 0.7
import -window "$FORM" "$SHOTS/frmlifo-torna.png"
echo "scenario: back to the article ($SHOTS/frmlifo-torna.png)"

# The operator closes the form: nothing pending, the program ends.
close_window "$FORM"
for ((i = 0; i < 100; i++)); do
    [[ -z "$("$MENU" --clienti 2>/dev/null)" ]] && break
    sleep 0.1
done
[[ -z "$("$MENU" --clienti 2>/dev/null)" ]] || fail "the program is still registered with the menu"
if [[ -n "$PID" ]]; then
    for ((i = 0; i < 50; i++)); do
        kill -0 "$PID" 2>/dev/null || break
        sleep 0.1
    done
    kill -0 "$PID" 2>/dev/null && fail "the program process $PID is still running"
fi
window "^Gestione LIFO Articoli" 1 >/dev/null && fail "the form is still on screen"

[[ $status -eq 0 ]] && echo "scenario: Gestione LIFO Articoli: ok"
exit $status
