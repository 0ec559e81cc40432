#!/usr/bin/env bash
# The article search window and the decoding of a code over a million
# articles, on SQLite and on PostgreSQL, beside the sqlite3 command line and
# psql running the statements the window runs for the same searches (the
# first window of 129 rows of the list, in code order).
#   bench/lookup/run.sh [build folder] [articles]
# PostgreSQL runs when scripts/services/postgres.sh can start (or reuse) the
# test server; the server is left running.
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/../.." && pwd)
BUILD=${1:-$ROOT/build}
N=${2:-1000000}
BIN=$BUILD/bench/lookup/bench_lookup
cmake --build "$BUILD" --target bench_lookup >/dev/null
export QT_QPA_PLATFORM=offscreen
DB=${TMPDIR:-/tmp}/quarvel-bench-lookup-$N.db

COLONNE="Articolo, Descrizione, BarCode, LivGruppo1, LivGruppo2, Immagine"
CERCA=(
    "prime righe|SELECT $COLONNE FROM Articoli ORDER BY Articolo LIMIT 129"
    "codice ART05|SELECT $COLONNE FROM Articoli WHERE Articolo >= 'ART05' And Articolo < 'art06' And Articolo LIKE 'ART05%' ORDER BY Articolo LIMIT 129"
    "parola zinc|SELECT $COLONNE FROM Articoli WHERE (Descrizione LIKE 'zinc%' Or Descrizione LIKE '% zinc%') ORDER BY Articolo LIMIT 129"
    "due parole|SELECT $COLONNE FROM Articoli WHERE (Descrizione LIKE 'titanio%' Or Descrizione LIKE '% titanio%') And (Descrizione LIKE 'esag%' Or Descrizione LIKE '% esag%') ORDER BY Articolo LIMIT 129"
    "nessuna riga|SELECT $COLONNE FROM Articoli WHERE (Descrizione LIKE 'qwz%' Or Descrizione LIKE '% qwz%') ORDER BY Articolo LIMIT 129"
    "decodifica|SELECT Articolo, Descrizione FROM Articoli WHERE Articolo = 'art0500000' And ((upper(Inattivo)<>'S'))"
)
# a word no article holds, through the index of the descriptions' words: the
# count that decides whether the index narrows well, then the list
NESSUNA="(Descrizione LIKE 'qwz%' Or Descrizione LIKE '% qwz%')"
SQLITE_INDICE=(
    "indice conta|SELECT COUNT(*) FROM (SELECT 1 FROM ArticoliDescr WHERE ArticoliDescr MATCH '\" qwz\"' LIMIT 1000) righe"
    "indice lista|SELECT $COLONNE FROM Articoli WHERE $NESSUNA And Articoli.rowid IN (SELECT rowid FROM ArticoliDescr WHERE ArticoliDescr MATCH '\" qwz\"') ORDER BY Articolo LIMIT 129"
)
PG_INDICE=(
    "indice conta|SELECT COUNT(*) FROM (SELECT 1 FROM Articoli WHERE ((Descrizione)::text ILIKE 'qwz%' ESCAPE '!' Or (Descrizione)::text ILIKE '% qwz%' ESCAPE '!') LIMIT 1000) righe"
    "indice lista|SELECT $COLONNE FROM Articoli WHERE $NESSUNA And ((Descrizione)::text ILIKE 'qwz%' ESCAPE '!' Or (Descrizione)::text ILIKE '% qwz%' ESCAPE '!') ORDER BY Articolo LIMIT 129"
)

"$BIN" --motore sqlite --articoli "$N" --db "$DB"
for c in "${CERCA[@]}" "${SQLITE_INDICE[@]}"; do
    nome=${c%%|*}
    sql=${c#*|}
    # the wall time of the statement as the command line runs it
    t=$(printf '.timer on\n.output /dev/null\n%s;\n' "$sql" | sqlite3 "$DB" 2>&1 |
        sed -n 's/^Run Time: real \([0-9.]*\).*/\1/p' | tail -1)
    printf 'sqlite3   %-14s %8.1f ms\n' "$nome" "$(echo "$t * 1000" | bc -l)"
done

PG=$ROOT/scripts/services/postgres.sh
if [[ -x "$PG" ]]; then
    "$PG" start >/dev/null
    eval "$("$PG" env)"
    export PGPASSWORD=$QUARVEL_PG_PWD
    psql -q -h "$PGHOST" -p "$PGPORT" -U "$QUARVEL_PG_UID" -d quarvel \
        -c "CREATE DATABASE quarvel_bench_lookup" 2>/dev/null || true
    # the trigram index of the descriptions wants the extension, as quarvel-ditta makes it
    psql -q -h "$PGHOST" -p "$PGPORT" -U "$QUARVEL_PG_UID" -d quarvel_bench_lookup \
        -c "CREATE EXTENSION IF NOT EXISTS pg_trgm"
    "$BIN" --motore postgres --articoli "$N"
    for c in "${CERCA[@]}" "${PG_INDICE[@]}"; do
        nome=${c%%|*}
        sql=${c#*|}
        t=$(printf '\\timing on\n\\o /dev/null\n%s;\n' "$sql" |
            psql -q -h "$PGHOST" -p "$PGPORT" -U "$QUARVEL_PG_UID" -d quarvel_bench_lookup 2>&1 |
            sed -n 's/^Time: \([0-9.]*\) ms.*/\1/p' | tail -1)
        printf 'psql      %-14s %8.1f ms\n' "$nome" "$t"
    done
fi
