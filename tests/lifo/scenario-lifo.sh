#!/usr/bin/env bash
# Scenario on a virtual display with a fresh home folder and real key events:
# the menu on the demo company with level handling on, "Gestione LIFO
# Articoli" chosen in its list with the keyboard, an article picked with F2
# in the search window, its two levels typed, its layers opened, a layer of a
# new year typed with a lire total whose euro total appears, saved, back to
# the article, the form closed, and the program ends by itself.
#   tests/lifo/scenario-lifo.sh [BUILD] [SCREENSHOT-DIR]
# BUILD is the build folder (absolute, or relative to the repository).
# Re-runs itself on a virtual display (tests/support/xvfb.sh) and under dbus-run-session when they are missing.
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/../.." && pwd)
BUILD=$(realpath -m --relative-to="$ROOT" "$(cd "$ROOT" && realpath -m "${1:-build}")")
SHOTS=${2:-$ROOT/$BUILD/tests/lifo}

SCENARIO_NOME=Lifo
source "$ROOT/tests/support/scenario.sh" "$@"

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
