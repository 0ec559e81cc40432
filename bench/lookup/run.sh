#!/usr/bin/env bash
# The article search window and the decoding of a code over a million
# articles, on SQLite and on PostgreSQL, beside the sqlite3 command line and
# psql running the statements the window runs for the same searches (the
# first window of 129 rows of the list, in code order, and for a description
# the count on a sample of the table that chooses how the list is read).
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
PRIMA="SELECT $COLONNE FROM Articoli"
FINE="ORDER BY Articolo LIMIT 129"
CAMPIONE="SELECT COUNT(*) FROM (SELECT Descrizione FROM Articoli ORDER BY Articolo LIMIT 5000) campione WHERE"
CERCA=(
    "prime righe|$PRIMA $FINE"
    "codice ART05|$PRIMA WHERE Articolo >= 'ART05' And Articolo < 'art06' And Articolo LIKE 'ART05%' $FINE"
    "decodifica|SELECT Articolo, Descrizione FROM Articoli WHERE Articolo = 'art0500000' And ((upper(Inattivo)<>'S'))"
)
# The description searches as the window runs them: a count of the rows
# holding the words among the first 5000 in code order, then the list in code
# order when many do, else through the index of the descriptions' words.
ZINC="(Descrizione LIKE 'zinc%' Or Descrizione LIKE '% zinc%')"
DUE="(Descrizione LIKE 'titanio%' Or Descrizione LIKE '% titanio%') And (Descrizione LIKE 'esag%' Or Descrizione LIKE '% esag%')"
RARA="(Descrizione LIKE '19x99%' Or Descrizione LIKE '% 19x99%')"
NESSUNA="(Descrizione LIKE 'qwz%' Or Descrizione LIKE '% qwz%')"
SQLITE_CERCA=(
    "campione zinc|$CAMPIONE $ZINC"
    "parola zinc|$PRIMA WHERE $ZINC $FINE"
    "due parole|$PRIMA WHERE $DUE $FINE"
    "rara conta|SELECT COUNT(*) FROM (SELECT 1 FROM ArticoliDescr WHERE ArticoliDescr MATCH '\" 19x99\"' LIMIT 1000) righe"
    "parola rara|$PRIMA WHERE $RARA And Articoli.rowid IN (SELECT rowid FROM ArticoliDescr WHERE ArticoliDescr MATCH '\" 19x99\"') $FINE"
    "nessuna riga|$PRIMA WHERE $NESSUNA And Articoli.rowid IN (SELECT rowid FROM ArticoliDescr WHERE ArticoliDescr MATCH '\" qwz\"') $FINE"
)
PAROLA() { # word -> the condition on the server
    echo "strpos(' ' || lower((Descrizione)::text), lower(' $1')) > 0"
}
INDICE() { # word -> the codes of the trigram index's rows
    echo "Articolo = ANY(ARRAY(SELECT Articolo FROM Articoli WHERE ((Descrizione)::text ILIKE '$1%' ESCAPE '!' Or (Descrizione)::text ILIKE '% $1%' ESCAPE '!')))"
}
PG_CERCA=(
    "campione zinc|$CAMPIONE $(PAROLA zinc)"
    "parola zinc|$PRIMA WHERE $(PAROLA zinc) $FINE"
    "due parole|$PRIMA WHERE $(PAROLA titanio) And $(PAROLA esag) $FINE"
    "parola rara|$PRIMA WHERE $(INDICE 19x99) $FINE"
    "nessuna riga|$PRIMA WHERE $(INDICE qwz) $FINE"
)

"$BIN" --motore sqlite --articoli "$N" --db "$DB"
for c in "${CERCA[@]}" "${SQLITE_CERCA[@]}"; do
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
    for c in "${CERCA[@]}" "${PG_CERCA[@]}"; do
        nome=${c%%|*}
        sql=${c#*|}
        t=$(printf '\\timing on\n\\o /dev/null\n%s;\n' "$sql" |
            psql -q -h "$PGHOST" -p "$PGPORT" -U "$QUARVEL_PG_UID" -d quarvel_bench_lookup 2>&1 |
            sed -n 's/^Time: \([0-9.]*\) ms.*/\1/p' | tail -1)
        printf 'psql      %-14s %8.1f ms\n' "$nome" "$t"
    done
fi
