#!/usr/bin/env bash
# The data grid over a list of a million counted rows, on SQLite and on
# PostgreSQL, beside a plain QSqlQueryModel in a QTableView.
#   bench/listcmd/run.sh [build folder] [rows] [runs]
# Each line is one run; with several runs per case, read the best or the
# median (the machine's other work shows as scatter).  The grid's runs end
# with the list sorted by Giacenza (a column without an index), beside the
# engine's own time for the first window of that ORDER BY over the join.
# The SQLite company is made once and kept under ~/.cache/quarvel-bench
# (QUARVEL_BENCH_CACHE), so a run of ten million rows pays for it once.
# PostgreSQL runs when scripts/services/postgres.sh can start a server; the
# server it started is stopped at the end.  Beside its grid: psql's time for
# the count statement the grid sends.
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/../.." && pwd)
BUILD=${1:-$ROOT/build}
RIGHE=${2:-1000000}
VOLTE=${3:-1}
BIN=$BUILD/bench/listcmd/bench_listcmd
cmake --build "$BUILD" --target bench_listcmd >/dev/null
export QT_QPA_PLATFORM=offscreen
CACHE=${QUARVEL_BENCH_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/quarvel-bench}
mkdir -p "$CACHE"
DB=$CACHE/listcmd-$RIGHE.db
COLONNE="MagInventari.CodInv,MagInventari.Articolo,Articoli.Descrizione AS DesArticolo,MagInventari.Livello1,MagInventari.Livello2,MagInventari.Giacenza,MagInventari.Magazzino,Magazzini.Descrizione AS DesMagaz"
JOIN="(MagInventari LEFT JOIN Articoli ON MagInventari.Articolo = Articoli.Articolo) LEFT JOIN Magazzini ON Magazzini.Magazzino = MagInventari.Magazzino"
CHIAVE="MagInventari.CodInv, MagInventari.Articolo, MagInventari.Livello1, MagInventari.Livello2, MagInventari.Magazzino"
ORDINATA="SELECT $COLONNE FROM $JOIN WHERE CodInv = 'INV2024' ORDER BY MagInventari.Giacenza, $CHIAVE LIMIT 128 OFFSET 0"

for modo in griglia qsqlquerymodel; do
    for ((i = 0; i < VOLTE; i++)); do
        if [[ $modo == griglia ]]; then
            "$BIN" --motore sqlite --modo "$modo" --righe "$RIGHE" --db "$DB" --ordina Giacenza
            t=$(printf '.timer on\n.output /dev/null\n%s;\n' "$ORDINATA" | sqlite3 "$DB" 2>&1 |
                sed -n 's/^Run Time: real \([0-9.]*\).*/\1/p' | tail -1)
            printf 'sqlite3   ORDER BY Giacenza, prime 128 righe sul join %8.1f ms\n' \
                "$(echo "$t * 1000" | bc -l)"
        else
            "$BIN" --motore sqlite --modo "$modo" --righe "$RIGHE" --db "$DB"
        fi
    done
done

PG=$ROOT/scripts/services/postgres.sh
if [[ -x "$PG" ]]; then
    # a server already running (the tests', another bench's) is left running
    started=0
    if ! (eval "$("$PG" env)" && pg_isready -q -h "$PGHOST" -p "$PGPORT") 2>/dev/null; then
        "$PG" start >/dev/null && started=1
    fi
    eval "$("$PG" env)"
    trap '[[ $started -eq 1 ]] && "$PG" stop' EXIT
    PGPASSWORD=$QUARVEL_PG_PWD psql -q -h "$PGHOST" -p "$PGPORT" -d quarvel \
        -c "CREATE DATABASE quarvel_bench" 2>/dev/null || true
    psqlms() { # statement -> psql's time for it
        printf '\\timing on\n\\o /dev/null\n%s;\n' "$1" |
            PGPASSWORD=$QUARVEL_PG_PWD psql -q -h "$PGHOST" -p "$PGPORT" -U "$QUARVEL_PG_UID" \
                -d quarvel_bench 2>&1 | sed -n 's/^Time: \([0-9.]*\) ms.*/\1/p' | tail -1
    }
    # the count as the list sends it, and as the condition writes it
    CONTA_LISTA="SELECT COUNT(*) FROM MagInventari WHERE (CodInv::text = 'INV2024' OR CodInv = 'INV2024')"
    CONTA_CONDIZIONE="SELECT COUNT(*) FROM MagInventari WHERE CodInv = 'INV2024'"
    for modo in griglia qsqlquerymodel; do
        for ((i = 0; i < VOLTE; i++)); do
            if [[ $modo == griglia ]]; then
                PGPASSWORD=$QUARVEL_PG_PWD "$BIN" --motore postgres --modo "$modo" \
                    --righe "$RIGHE" --ordina Giacenza
                printf 'psql      COUNT(*) come la lista lo manda %8.1f ms, come la condizione lo scrive %8.1f ms\n' \
                    "$(psqlms "$CONTA_LISTA")" "$(psqlms "$CONTA_CONDIZIONE")"
                printf 'psql      ORDER BY Giacenza, prime 128 righe sul join %8.1f ms\n' \
                    "$(psqlms "$ORDINATA")"
            else
                PGPASSWORD=$QUARVEL_PG_PWD "$BIN" --motore postgres --modo "$modo" --righe "$RIGHE"
            fi
        done
    done
    # a form that opens this list as it loads: the count's connection is
    # opened beside the first rows, not before
    for ((i = 0; i < VOLTE; i++)); do
        PGPASSWORD=$QUARVEL_PG_PWD "$BIN" --motore postgres --modo griglia --righe "$RIGHE" \
            --prima-apertura
    done
fi
