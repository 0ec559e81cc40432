#!/usr/bin/env bash
# Scenario on a virtual display with a fresh home folder and real key events:
# the menu on the demo company, "Gestione inventari" chosen in its list, an
# inventory picked with F2, row mode, rows added by a barcode scanner (the
# characters 5 ms apart, then Enter) with a level, a quantity and a
# warehouse, saved, back to the header; the rows are in the company file.
#   tests/inventory/scenario-gestione-inventari.sh [BUILD] [SCREENSHOT-DIR]
# BUILD is the build folder (absolute, or relative to the repository).
# Re-runs itself on a virtual display (tests/support/xvfb.sh) and under dbus-run-session when they are missing.
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/../.." && pwd)
BUILD=$(realpath -m --relative-to="$ROOT" "$(cd "$ROOT" && realpath -m "${1:-build}")")
SHOTS=${2:-$ROOT/$BUILD/tests/inventory}

SCENARIO_NOME=GestInv
source "$ROOT/tests/support/scenario.sh" "$@"

# The warehouse proposed for new rows and level handling on, as the
# company's menu values say; no load from a file (its button would share
# Alt+R with the barcode search).
mkdir -p "$HOME/.config/quarvel"
printf '[Valori]\nMag.MagPrincipale=M01\nMag.GesTaglie=S\nPersonal.CarMov.§LettArtDafile=N\n' >"$HOME/.config/quarvel/menu.ini"
chmod 600 "$HOME/.config/quarvel/menu.ini"

"$ROOT/scripts/run-menu.sh" "$BUILD" >"$LOG" 2>&1 &
RUN_PID=$!

if ! MENU_WIN=$(window "Menu - Quarvel" 30); then
    fail "the menu window did not appear"
    exit 1
fi
sleep 0.5

# "Gestione inventari" is the first function of the list.
xdotool windowfocus --sync "$MENU_WIN"
xdotool key --clearmodifiers Home Return
if ! FORM=$(window "^Gestione inventari" 30); then
    fail "the counts form did not appear"
    exit 1
fi
PID=$(xdotool getwindowpid "$FORM" 2>/dev/null || true)
sleep 1
xdotool windowfocus --sync "$FORM"
sleep 0.3
import -window "$FORM" "$SHOTS/frmgestinv.png"
echo "scenario: the form on screen, latest inventory proposed ($SHOTS/frmgestinv.png)"

# F2 on the inventory code: the lookup, INV2023 typed as the search, Enter picks it.
xdotool key --clearmodifiers F2
sleep 1
import -window root "$SHOTS/frmgestinv-ricerca.png"
xdotool key --clearmodifiers ctrl+a
xdotool type --delay 40 "INV2023"
sleep 0.5
xdotool key --clearmodifiers Return
sleep 0.5
xdotool windowfocus --sync "$FORM"
# Row mode (Alt+E, "G&estione Inventari"), then barcode search (Alt+R).
xdotool key --clearmodifiers alt+e
sleep 1
xdotool key --clearmodifiers alt+r
sleep 0.5
import -window "$FORM" "$SHOTS/frmgestinv-righe.png"
echo "scenario: row mode on INV2023, ready for a scan on the new-row line ($SHOTS/frmgestinv-righe.png)"
rows_before=$(sql "SELECT COUNT(*) FROM MagInventari WHERE CodInv = 'INV2023'")

scan() { # barcode: the scanner types it fast and ends with Enter
    xdotool type --delay 5 "$1"
    xdotool key Return
}

# Row 1, scanned as soon as row mode is on (the cursor waits on the new-row
# line, no key lost): an article with a first level group only; level L,
# quantity 7, warehouse M02.
bc1=$(sql "SELECT BarCode FROM Articoli WHERE Articolo = 'ART000025'")
scan "$bc1"
sleep 0.5
import -window "$FORM" "$SHOTS/frmgestinv-letto.png"
xdotool type --delay 40 "L"
xdotool key Return   # level 1
xdotool key Return   # level 2: "~ç~" already
xdotool type --delay 40 "7"
xdotool key Return   # quantity
xdotool type --delay 40 "M02"
xdotool key Return   # warehouse: past the last cell the row is written
sleep 0.5
xdotool key --clearmodifiers alt+s
sleep 0.5

# Row 2: an article without level groups, in the default warehouse.
bc2=$(sql "SELECT BarCode FROM Articoli WHERE Articolo = 'ART000016'")
xdotool key --clearmodifiers alt+n
sleep 0.5
scan "$bc2"
sleep 0.3
xdotool key Return Return   # both levels "~ç~"
xdotool type --delay 40 "3"
xdotool key Return
sleep 0.3
import -window "$FORM" "$SHOTS/frmgestinv-scansione.png"
xdotool key --clearmodifiers alt+s
sleep 0.5
import -window "$FORM" "$SHOTS/frmgestinv-salvate.png"
echo "scenario: two scanned rows saved ($SHOTS/frmgestinv-salvate.png)"

got1=$(sql "SELECT Livello1 || '|' || Livello2 || '|' || Magazzino || '|' || Giacenza FROM MagInventari WHERE CodInv = 'INV2023' AND Articolo = 'ART000025'")
[[ "$got1" == "L|~ç~|M02|7"* ]] || fail "first scanned row: '$got1'"
got2=$(sql "SELECT Livello1 || '|' || Livello2 || '|' || Magazzino || '|' || Giacenza FROM MagInventari WHERE CodInv = 'INV2023' AND Articolo = 'ART000016'")
[[ "$got2" == "~ç~|~ç~|M01|3"* ]] || fail "second scanned row: '$got2'"
[[ $(sql "SELECT COUNT(*) FROM MagInventari WHERE CodInv = 'INV2023'") -eq $((rows_before + 2)) ]] ||
    fail "the inventory did not grow by two rows"

# Back to the header (Alt+T): nothing pending, the list empties.
xdotool key --clearmodifiers alt+t
sleep 0.5
import -window "$FORM" "$SHOTS/frmgestinv-testata.png"

close_window "$FORM"
for ((i = 0; i < 100; i++)); do
    [[ -z "$("$MENU" --clienti 2>/dev/null)" ]] && break
    sleep 0.1
done
if [[ -n "$PID" ]]; then
    for ((i = 0; i < 50; i++)); do
        kill -0 "$PID" 2>/dev/null || break
        sleep 0.1
    done
    kill -0 "$PID" 2>/dev/null && fail "the program process $PID is still running"
fi

[[ $status -eq 0 ]] && echo "scenario: Gestione inventari: ok"
exit $status
