#!/usr/bin/env bash
# Scenario on a virtual display with a fresh home folder and real key events:
# the menu on the demo company, "Date inventario" chosen in its list with the
# keyboard, a new inventory header typed and saved, the form closed as the
# window manager closes a window, and the program ends by itself.
#   tests/lifo/scenario-date-inventario.sh [BUILD] [SCREENSHOT-DIR]
# BUILD is the build folder (absolute, or relative to the repository).
# Re-runs itself on a virtual display (tests/support/xvfb.sh) and under dbus-run-session when they are missing.
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/../.." && pwd)
BUILD=$(realpath -m --relative-to="$ROOT" "$(cd "$ROOT" && realpath -m "${1:-build}")")
SHOTS=${2:-$ROOT/$BUILD/tests/lifo}
# The key that passes from one cell to the next: Tab, or Return as a clerk
# typing a row would press it (SCENARIO_PASSA=Return).
PASSA=${SCENARIO_PASSA:-Tab}

source "$ROOT/tests/support/scenario.sh" "$@"

"$ROOT/scripts/run-menu.sh" "$BUILD" >"$LOG" 2>&1 &
RUN_PID=$!

if ! MENU_WIN=$(window "Menu - Quarvel" 30); then
    fail "the menu window did not appear"
    exit 1
fi
sleep 0.5

# The operator picks "Date inventario" (second in the list) and presses Enter.
xdotool windowfocus --sync "$MENU_WIN"
xdotool key --clearmodifiers Home Down Return
if ! FORM=$(window "^Date inventario" 30); then
    fail "the inventory headers form did not appear"
    exit 1
fi
PID=$(xdotool getwindowpid "$FORM" 2>/dev/null || true)
sleep 1
xdotool windowfocus --sync "$FORM"
sleep 0.3
import -window "$FORM" "$SHOTS/frmmagdescinv.png"
echo "scenario: the form on screen ($SHOTS/frmmagdescinv.png)"
headers_before=$(sql "SELECT COUNT(*) FROM MagDescrInv")

# A new header: Alt+N ("Nuovo"), code, date, description, Alt+S ("Salva").
xdotool key --clearmodifiers alt+n
sleep 0.3
xdotool type --delay 40 "INV2026"
xdotool key "$PASSA"
xdotool type --delay 40 "31/12/2026"
xdotool key "$PASSA"
xdotool type --delay 40 "Inventario di fine anno"
xdotool key Return
sleep 0.3
import -window "$FORM" "$SHOTS/frmmagdescinv-nuova.png"
if [[ "$PASSA" == Return ]]; then
    # Enter past the last cell wrote the row; the cursor waits on the next one
    [[ $(sql "SELECT COUNT(*) FROM MagDescrInv WHERE CodInv = 'INV2026'") -eq 1 ]] ||
        fail "Enter past the last cell did not write the new header"
fi
xdotool key --clearmodifiers alt+s
sleep 0.5
import -window "$FORM" "$SHOTS/frmmagdescinv-salvata.png"
echo "scenario: header typed and saved ($SHOTS/frmmagdescinv-salvata.png)"

got=$(sql "SELECT DataInvent || '|' || Descrizione FROM MagDescrInv WHERE CodInv = 'INV2026'")
[[ "$got" == "2026-12-31|Inventario di fine anno" ]] || fail "header not written: '$got'"
[[ $(sql "SELECT COUNT(*) FROM MagDescrInv") -eq $((headers_before + 1)) ]] ||
    fail "the header count did not grow by one"

# A date the column cannot take: the message names the form it wants, the
# cursor stays in the cell; Enter closes the message, Alt+A drops the row.
xdotool key --clearmodifiers alt+n
sleep 0.3
xdotool type --delay 40 "INV2027"
xdotool key "$PASSA"
xdotool type --delay 40 "31/02/2024"
xdotool key "$PASSA"
sleep 0.7
import -window root "$SHOTS/data-rifiutata.png"
echo "scenario: the refused date ($SHOTS/data-rifiutata.png)"
xdotool key --clearmodifiers Return
sleep 0.5
# no window manager here gives the focus back to the form: do as one would
xdotool windowfocus --sync "$FORM"
xdotool key --clearmodifiers alt+a
sleep 0.3
[[ $(sql "SELECT COUNT(*) FROM MagDescrInv WHERE CodInv = 'INV2027'") -eq 0 ]] ||
    fail "the header with the refused date was written"

# The first header has counted rows: Alt+C asks twice.  The row's question
# defaults to "No": Tab, Enter answers "Sì"; the second question answers
# Enter with "Annulla": nothing is deleted.
counts_before=$(sql "SELECT COUNT(*) FROM MagInventari WHERE CodInv = 'INV2023'")
xdotool key --clearmodifiers ctrl+Home
sleep 0.3
xdotool key --clearmodifiers alt+c
sleep 0.7
xdotool key --clearmodifiers Tab Return
sleep 0.7
import -window root "$SHOTS/cancella-conteggi.png"
echo "scenario: the delete question with its default ($SHOTS/cancella-conteggi.png)"
xdotool key --clearmodifiers Return
sleep 0.5
[[ $(sql "SELECT COUNT(*) FROM MagDescrInv WHERE CodInv = 'INV2023'") -eq 1 ]] ||
    fail "Enter on the second question deleted the header INV2023"
[[ $(sql "SELECT COUNT(*) FROM MagInventari WHERE CodInv = 'INV2023'") -eq "$counts_before" ]] ||
    fail "Enter on the second question deleted the counts of INV2023"

# The operator closes the form: nothing is pending, so no question; the
# program hands control back to the menu and ends.
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
window "^Date inventario" 1 >/dev/null && fail "the form is still on screen"

[[ $status -eq 0 ]] && echo "scenario: Date inventario: ok"
exit $status
