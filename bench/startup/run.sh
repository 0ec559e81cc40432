#!/usr/bin/env bash
# Start-up time: from the menu's launch of a function to the first window of
# the program painted on screen, whole process (program start, registration
# on the bus, parameter files, database connection, session, the form shown).
#   bench/startup/run.sh [BUILD] [RUNS]
# Runs on a virtual display (xvfb-run) and a session bus of its own.  The
# program is quarvel-prova (the program with the test form standing for the
# data forms, built with the tests): the form writes the time it was first
# painted; the time of the launch is taken just before the menu is asked.
set -euo pipefail
BUILD=${1:-build}
RUNS=${2:-9}
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/../.." && pwd)
MENU="$ROOT/$BUILD/components/menu/quarvel-menu"
PROVA="$ROOT/$BUILD/tests/startup/quarvel-prova"
DITTA="$ROOT/$BUILD/components/data/quarvel-ditta"

if [[ ! -x "$PROVA" ]]; then
    echo "startup bench: $PROVA is missing (it is built with the tests)" >&2
    exit 1
fi
if [[ -z "${BENCH_XVFB:-}" ]]; then
    export BENCH_XVFB=1
    exec xvfb-run -a -s "-screen 0 1280x1024x24" dbus-run-session -- "$0" "$@"
fi

DIR=$(mktemp -d)
trap '"$MENU" --chiudi >/dev/null 2>&1 || true; sleep 0.3; rm -rf "$DIR"' EXIT
export QUARVEL_MENU_BUS_NAME="it.belcor.Quarvel.MenuBench$$"
export QUARVEL_PROGRAM="$PROVA"
export QUARVEL_FORME_PROVA="frmGestInv"
export QUARVEL_PROVA_TRACCIA="$DIR/traccia.txt"
export QUARVEL_INSTALL_INI="$DIR/BelcorInst.ini"

"$DITTA" --demo "$DIR/ditta.db" >/dev/null
printf '[Parametri Generali]\nOrdIniDBase=%s\n' "$DIR/parametri.ini" >"$DIR/belcor.ini"
printf '[Risoluzione Video]\nGenerale=0\n' >"$DIR/parametri.ini"

"$MENU" --archivio "$DIR/menu.ini" --ini "$DIR/belcor.ini" --ditta "$DIR/ditta.db" \
    --demo --senza-dialoghi >"$DIR/menu.log" 2>&1 &
for ((i = 0; i < 100; i++)); do
    "$MENU" --clienti >/dev/null 2>&1 && break
    sleep 0.1
done

times=()
for ((r = 0; r < RUNS; r++)); do
    : >"$QUARVEL_PROVA_TRACCIA"
    t0=$(date +%s%3N)
    "$MENU" --avvia "Gestione inventari"
    for ((i = 0; i < 300; i++)); do
        grep -q '^mostrata' "$QUARVEL_PROVA_TRACCIA" && break
        sleep 0.02
    done
    line=$(grep '^mostrata' "$QUARVEL_PROVA_TRACCIA" || true)
    if [[ -z "$line" ]]; then
        echo "startup bench: run $r: no window within 6 s" >&2
        cat "$DIR/menu.log" >&2
        exit 1
    fi
    t1=$(echo "$line" | awk '{print $2}')
    times+=($((t1 - t0)))
    # "fine" to the program; wait until it has left the menu.
    "$MENU" --comando fine >/dev/null
    for ((i = 0; i < 100; i++)); do
        [[ -z "$("$MENU" --clienti 2>/dev/null)" ]] && break
        sleep 0.05
    done
done

sorted=$(printf '%s\n' "${times[@]}" | sort -n)
median=$(echo "$sorted" | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}')
echo "startup: launch by the menu -> first window painted, $RUNS runs (ms): $(echo $sorted | tr '\n' ' ')"
echo "startup: median ${median} ms"
