#!/usr/bin/env bash
# Scenario on a virtual display with a fresh home folder and real key events:
# the menu on the demo company with loading from a terminal file switched on
# for the operator, "Gestione inventari" chosen in its list, row mode on the
# inventory proposed, "Ca&rica inventario" pressed, the warehouse request
# confirmed, the terminal file (fixed columns, the set "LettArtDafile" that
# make run writes) loaded with its progress window, an unknown code told,
# the end of the load with the line it refused, the rows in the list and in
# the company file.
#   tests/inventory/scenario-carica-inventario.sh [BUILD] [SCREENSHOT-DIR]
# BUILD is the build folder (absolute, or relative to the repository).
# Re-runs itself on a virtual display (tests/support/xvfb.sh) and under dbus-run-session when they are missing.
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/../.." && pwd)
BUILD=$(realpath -m --relative-to="$ROOT" "$(cd "$ROOT" && realpath -m "${1:-build}")")
SHOTS=${2:-$ROOT/$BUILD/tests/inventory}

SCENARIO_NOME=CaricaInv
source "$ROOT/tests/support/scenario.sh" "$@"

# The company's menu values, and loading from a file on for this operator.
mkdir -p "$HOME/.config/quarvel"
printf '[Valori]\nMag.MagPrincipale=M01\nMag.GesTaglie=S\nPersonal.CarMov.§LettArtDafile=S\n' \
    >"$HOME/.config/quarvel/menu.ini"
chmod 600 "$HOME/.config/quarvel/menu.ini"

"$ROOT/scripts/run-menu.sh" "$BUILD" >"$LOG" 2>&1 &
RUN_PID=$!

if ! MENU_WIN=$(window "Menu - Quarvel" 30); then
    fail "the menu window did not appear"
    exit 1
fi
sleep 0.5

# The terminal file where the set of make run looks for it: code in
# columns 1-20, quantity in 21-30.  Articles by barcode and one by its
# article code (it has no barcode), one code no article has; ART000016 is
# counted already (its quantity is replaced), the later line of ART000041
# wins.
TERM_FILE="$HOME/.local/share/quarvel/terminale.txt"
INV=$(sql "SELECT CodInv FROM MagDescrInv ORDER BY DataInvent DESC, CodInv DESC LIMIT 1")
bc() { sql "SELECT BarCode FROM Articoli WHERE Articolo = '$1'"; }
bc16=$(bc ART000016)
bc41=$(bc ART000041)
bc43=$(bc ART000043)
bc44=$(bc ART000044)
[[ -n "$bc16" && -n "$bc41" && -n "$bc43" && -n "$bc44" && -n "$INV" ]] ||
    fail "the demo company has no such barcodes or no inventory"
rows_before=$(sql "SELECT COUNT(*) FROM MagInventari WHERE CodInv = '$INV'")
{
    printf '%-20s%10s\r\n' "$bc41" 4
    printf '%-20s%10s\r\n' "$bc43" 11
    printf '%-20s%10s\r\n' "NONESISTE99" 2
    printf '%-20s%10s\r\n' "ART000048" 6
    printf '%-20s%10s\r\n' "$bc44" 1
    printf '%-20s%10s\r\n' "$bc16" 5
    printf '%-20s%10s\r\n' "$bc41" 7
} >"$TERM_FILE"

xdotool windowfocus --sync "$MENU_WIN"
xdotool key --clearmodifiers Home Return
if ! FORM=$(window "^Gestione inventari" 30); then
    fail "the counts form did not appear"
    exit 1
fi
PID=$(xdotool getwindowpid "$FORM" 2>/dev/null || true)
sleep 1
xdotool windowsize --sync "$FORM" 1000 560 2>/dev/null || true
xdotool windowfocus --sync "$FORM"
sleep 0.3
# Row mode (Alt+E) on the inventory proposed.
xdotool key --clearmodifiers alt+e
sleep 1
import -window "$FORM" "$SHOTS/carica-righe.png"
echo "scenario: row mode on $INV, the load button shown ($SHOTS/carica-righe.png)"

# "Ca&rica inventario" and "&Ricerca per codice barre" share Alt+R: the key
# takes the focus to one of them, Space presses it.  Until the warehouse
# request appears the other one was pressed, and the key moves on.
REQ=""
for ((k = 0; k < 3; k++)); do
    [[ -n "$REQ" ]] && break
    xdotool key --clearmodifiers alt+r
    sleep 0.3
    xdotool key --clearmodifiers space
    REQ=$(window "^Richiesta Magazzino" 3 || true)
done
if [[ -z "$REQ" ]]; then
    fail "the warehouse request did not appear"
    exit 1
fi
sleep 0.5
import -window root "$SHOTS/carica-magazzino.png"
echo "scenario: the warehouse request ($SHOTS/carica-magazzino.png)"
# The warehouse proposed (M01) is confirmed: Tab to "Ok", Space.
xdotool key --clearmodifiers Tab
sleep 0.2
xdotool key --clearmodifiers space

# The unknown code stops the load with its message, over the progress window.
if ! window "^[Qq]uarvel$" 10 >/dev/null; then
    fail "no message during the load"
fi
for ((i = 0; i < 50; i++)); do
    xdotool search --onlyvisible --name "^Caricamento da file" >/dev/null 2>&1 && break
    sleep 0.1
done
xdotool search --onlyvisible --name "^Caricamento da file" >/dev/null 2>&1 ||
    fail "the progress window is not on screen"
sleep 0.5
import -window root "$SHOTS/carica-inesistente.png"
echo "scenario: the unknown code told over the progress window ($SHOTS/carica-inesistente.png)"
xdotool key --clearmodifiers Return   # "&Ok"
sleep 1
import -window root "$SHOTS/carica-fine.png"
echo "scenario: the end of the load ($SHOTS/carica-fine.png)"
xdotool key --clearmodifiers Return   # the end message
sleep 1
xdotool windowfocus --sync "$FORM" 2>/dev/null || true
sleep 0.3
import -window "$FORM" "$SHOTS/carica-pronto.png"
echo "scenario: after the load, ready for a scan on the new-row line ($SHOTS/carica-pronto.png)"
# the last rows of the list: the new articles, after the refresh
xdotool key --clearmodifiers ctrl+End Home
sleep 0.5
import -window "$FORM" "$SHOTS/carica-caricate.png"
echo "scenario: the rows in the list ($SHOTS/carica-caricate.png)"

row() { # article -> level1|level2|warehouse|quantity of the inventory's row
    sql "SELECT Livello1 || '|' || Livello2 || '|' || Magazzino || '|' || Giacenza FROM MagInventari WHERE CodInv = '$INV' AND Articolo = '$1' AND Livello1 = '~ç~' AND Livello2 = '~ç~' AND Magazzino = 'M01'"
}
[[ "$(row ART000016)" == "~ç~|~ç~|M01|5"* ]] || fail "ART000016: '$(row ART000016)'"
[[ "$(row ART000041)" == "~ç~|~ç~|M01|7"* ]] || fail "ART000041: '$(row ART000041)'"
[[ "$(row ART000043)" == "~ç~|~ç~|M01|11"* ]] || fail "ART000043: '$(row ART000043)'"
[[ "$(row ART000044)" == "~ç~|~ç~|M01|1"* ]] || fail "ART000044: '$(row ART000044)'"
[[ "$(row ART000048)" == "~ç~|~ç~|M01|6"* ]] || fail "ART000048: '$(row ART000048)'"
[[ $(sql "SELECT COUNT(*) FROM MagInventari WHERE CodInv = '$INV'") -eq $((rows_before + 4)) ]] ||
    fail "the inventory did not grow by the four new articles"
# CancFile=N: the file stays; the refused line is kept beside it.
[[ -f "$TERM_FILE" ]] || fail "the terminal file was deleted"
scarti=$(ls "$TERM_FILE".scarti-* 2>/dev/null | head -1 || true)
if [[ -z "$scarti" ]]; then
    fail "no file of refused lines"
else
    grep -q "^NONESISTE99 " "$scarti" || fail "the refused line is not in $scarti"
    [[ $(wc -l <"$scarti") -eq 1 ]] || fail "$scarti holds more than the refused line"
fi

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

[[ $status -eq 0 ]] && echo "scenario: Carica inventario: ok"
exit $status
