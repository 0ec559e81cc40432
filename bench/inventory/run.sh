#!/usr/bin/env bash
# The load of a terminal file (1,000,000 lines against 200,000 articles) into
# SQLite and into PostgreSQL, beside the same load done by the database
# alone: sqlite3 .import into a staging table plus one join-upsert, psql
# \copy plus a join-upsert.  Also 100,000 lines, for the peak memory.
#   bench/inventory/run.sh [build folder] [lines] [articles]
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/../.." && pwd)
BUILD=${1:-$ROOT/build}
RIGHE=${2:-1000000}
ARTICOLI=${3:-200000}
BIN=$BUILD/bench/inventory/bench_carico
cmake --build "$BUILD" --target bench_carico >/dev/null
DIR=${TMPDIR:-/tmp}/quarvel-bench-carico
mkdir -p "$DIR"
DB=$DIR/ditta.db
FILE=$DIR/terminale-$RIGHE.txt
PICCOLO=$DIR/terminale-$((RIGHE / 10)).txt

# The statement the database alone runs: barcode first, then article code,
# the later line of an article winning.
UPSERT_SQLITE="INSERT INTO MagInventari (CodInv, Articolo, Livello1, Livello2, Magazzino, Giacenza)
 SELECT 'INV1', COALESCE(b.Articolo, a.Articolo), '~ç~', '~ç~', 'M1', CAST(s.qta AS REAL)
 FROM staging s LEFT JOIN Articoli b ON b.BarCode = s.codice LEFT JOIN Articoli a ON a.Articolo = s.codice
 WHERE COALESCE(b.Articolo, a.Articolo) IS NOT NULL ORDER BY s.rowid
 ON CONFLICT (CodInv, Articolo, Livello1, Livello2, Magazzino) DO UPDATE SET Giacenza = excluded.Giacenza;"

tempo() { # command... (its standard input) -> milliseconds
    local t0 t1
    t0=$(date +%s%N)
    "$@" >/dev/null
    t1=$(date +%s%N)
    echo $(((t1 - t0) / 1000000))
}

"$BIN" --modo prepara --motore sqlite --db "$DB" --righe "$RIGHE" --articoli "$ARTICOLI" --file "$FILE"
"$BIN" --modo prepara --motore sqlite --db "$DIR/scarto.db" --righe $((RIGHE / 10)) \
    --articoli "$ARTICOLI" --file "$PICCOLO"
rm -f "$DIR/scarto.db"*

"$BIN" --motore sqlite --db "$DB" --righe "$RIGHE" --file "$FILE"
"$BIN" --motore sqlite --db "$DB" --righe $((RIGHE / 10)) --file "$PICCOLO"
sqlite_ms=$(tempo sqlite3 "$DB" <<SQL
PRAGMA journal_mode=WAL;
PRAGMA synchronous=NORMAL;
DELETE FROM MagInventari;
DROP TABLE IF EXISTS staging;
CREATE TABLE staging (codice TEXT, qta TEXT);
.mode csv
.separator ;
.import $FILE staging
$UPSERT_SQLITE
DROP TABLE staging;
SQL
)
echo "sqlite3  sqlite   righe $RIGHE: $sqlite_ms ms (.import + join-upsert)"

PG=$ROOT/scripts/services/postgres.sh
if [[ -x "$PG" ]]; then
    # a server already running (the tests', another bench's) is left running
    started=0
    if ! (eval "$("$PG" env)" && pg_isready -q -h "$PGHOST" -p "$PGPORT") 2>/dev/null; then
        "$PG" start >/dev/null && started=1
    fi
    eval "$("$PG" env)"
    trap '[[ $started -eq 1 ]] && "$PG" stop' EXIT
    export PGPASSWORD=$QUARVEL_PG_PWD
    psql -q -h "$PGHOST" -p "$PGPORT" -d quarvel -c "DROP DATABASE IF EXISTS quarvel_bench_carico" \
        -c "CREATE DATABASE quarvel_bench_carico" >/dev/null
    export QUARVEL_BENCH_PGDB=quarvel_bench_carico
    psql -q -h "$PGHOST" -p "$PGPORT" -d quarvel_bench_carico -c "CREATE EXTENSION IF NOT EXISTS citext" >/dev/null 2>&1 || true
    "$BIN" --modo prepara --motore postgres --righe 0 --articoli "$ARTICOLI" --file /dev/null
    "$BIN" --motore postgres --righe "$RIGHE" --file "$FILE"
    "$BIN" --motore postgres --righe $((RIGHE / 10)) --file "$PICCOLO"
    pg_ms=$(tempo psql -q -h "$PGHOST" -p "$PGPORT" -d quarvel_bench_carico -v ON_ERROR_STOP=1 <<SQL
DELETE FROM MagInventari;
CREATE TEMP TABLE staging (n bigserial, codice text, qta text);
\copy staging (codice, qta) FROM '$FILE' WITH (FORMAT csv, DELIMITER ';')
INSERT INTO MagInventari (CodInv, Articolo, Livello1, Livello2, Magazzino, Giacenza)
 SELECT DISTINCT ON (lower(COALESCE(b.Articolo, a.Articolo))) 'INV1', COALESCE(b.Articolo, a.Articolo),
        '~ç~', '~ç~', 'M1', s.qta::double precision
 FROM staging s LEFT JOIN Articoli b ON b.BarCode = s.codice::citext
      LEFT JOIN Articoli a ON a.Articolo = s.codice::citext
 WHERE COALESCE(b.Articolo, a.Articolo) IS NOT NULL
 ORDER BY lower(COALESCE(b.Articolo, a.Articolo)), s.n DESC
 ON CONFLICT (CodInv, Articolo, Livello1, Livello2, Magazzino) DO UPDATE SET Giacenza = excluded.Giacenza;
SQL
)
    echo "psql     postgres righe $RIGHE: $pg_ms ms (\\copy + join-upsert)"
fi
