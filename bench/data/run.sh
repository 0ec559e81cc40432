#!/usr/bin/env bash
# Reading the counts of one inventory of 1,000,000 rows: the data-access
# component's record set against the sqlite3 command (SQLite file) and psql
# (PostgreSQL, native driver and unixODBC).  Prints seconds and ratios
# (tool time / component time: 1 = as fast, 0.5 = half the speed).
#   bench/data/run.sh [BUILD] (ROWS=1000000 by default)
set -euo pipefail
BUILD=${1:-build}
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
cd "$ROOT"
ROWS=${ROWS:-1000000}
DITTA="$BUILD/components/data/quarvel-ditta"
BENCH="$BUILD/bench/data/bench_dati_conteggi"
cmake --build "$BUILD" --target quarvel-ditta bench_dati_conteggi >/dev/null
WORK=${QUARVEL_BENCH_DIR:-${TMPDIR:-/tmp}/quarvel-bench-data}
mkdir -p "$WORK"
FILE="$WORK/ditta-$ROWS.db"
QUERY="SELECT MagInventari.CodInv,MagInventari.Articolo,Articoli.Descrizione AS DesArticolo,MagInventari.Livello1,MagInventari.Livello2,MagInventari.Giacenza,MagInventari.Magazzino,Magazzini.Descrizione AS DesMagaz FROM (MagInventari LEFT JOIN Articoli ON MagInventari.Articolo = Articoli.Articolo) LEFT JOIN Magazzini ON Magazzini.Magazzino = MagInventari.Magazzino WHERE CodInv = 'INV2024' Order by MagInventari.Articolo"

now() { date +%s.%N; }
elapsed() { echo "$2 - $1" | bc -l; }
ratio() { echo "scale=2; $1 / $2" | bc -l; }

if [[ ! -s "$FILE" ]]; then
    "$DITTA" --demo --righe "$ROWS" --sostituisci "$FILE"
fi
read -r n comp < <("$BENCH" "$FILE" 2>/dev/null)
t0=$(now); sqlite3 "$FILE" "$QUERY" >/dev/null; t1=$(now)
cli=$(elapsed "$t0" "$t1")
printf 'SQLite      %8d rows: component %6.3f s  sqlite3 %6.3f s  ratio %s\n' "$n" "$comp" "$cli" "$(ratio "$cli" "$comp")"

# PostgreSQL: the throwaway server (started here when not running).
started=0
if ! scripts/services/postgres.sh env >/dev/null 2>&1; then
    scripts/services/postgres.sh start
    started=1
fi
eval "$(scripts/services/postgres.sh env)"
cleanup() { if [[ $started -eq 1 ]]; then scripts/services/postgres.sh stop; fi; }
trap cleanup EXIT
QUARVEL_DITTA_PWD="$QUARVEL_PG_PWD" "$DITTA" --demo --righe "$ROWS" --sostituisci --uid "$QUARVEL_PG_UID" "$QUARVEL_PG_DSN" 2>/dev/null
psql -X -q -c "ANALYZE maginventari, articoli, magazzini" >/dev/null
t0=$(now); psql -X -q -A -t -c "$QUERY" >/dev/null; t1=$(now)
ps=$(elapsed "$t0" "$t1")
read -r n nat < <(QUARVEL_DITTA_PWD="$QUARVEL_PG_PWD" "$BENCH" "$QUARVEL_PG_DSN" --uid "$QUARVEL_PG_UID" 2>/dev/null)
read -r n odbc < <(QUARVEL_DITTA_PWD="$QUARVEL_PG_PWD" "$BENCH" "$QUARVEL_PG_DSN" --uid "$QUARVEL_PG_UID" --solo-odbc 2>/dev/null)
printf 'PostgreSQL  %8d rows: native  %6.3f s  psql    %6.3f s  ratio %s\n' "$n" "$nat" "$ps" "$(ratio "$ps" "$nat")"
printf 'PostgreSQL  %8d rows: ODBC    %6.3f s  psql    %6.3f s  ratio %s\n' "$n" "$odbc" "$ps" "$(ratio "$ps" "$odbc")"
