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

ms_di() { # the milliseconds of a line of bench_carico
    sed -n 's/.*: *\([0-9]*\) ms .*/\1/p' <<<"$1"
}
rapporto() { # ours reference -> ours / reference, two decimals
    awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'
}

out=$("$BIN" --motore sqlite --db "$DB" --righe "$RIGHE" --file "$FILE")
echo "$out"
quarvel_sqlite_ms=$(ms_di "$out")
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
echo "rapporto sqlite: $(rapporto "$quarvel_sqlite_ms" "$sqlite_ms")"

PG=$ROOT/scripts/services/postgres.sh
if [[ -x "$PG" ]]; then
    # A server already running (the tests', another bench's) is left running:
    # only one this script started is stopped at the end.  "env" answers
    # whether the server runs, whatever this shell's variables say.
    started=0
    if ! "$PG" env >/dev/null 2>&1; then
        "$PG" start >/dev/null
        started=1
    fi
    eval "$("$PG" env)"
    trap '[[ $started -eq 1 ]] && "$PG" stop' EXIT
    export PGPASSWORD=$QUARVEL_PG_PWD
    psql -q -h "$PGHOST" -p "$PGPORT" -d quarvel -c "DROP DATABASE IF EXISTS quarvel_bench_carico" \
        -c "CREATE DATABASE quarvel_bench_carico" >/dev/null
    export QUARVEL_BENCH_PGDB=quarvel_bench_carico
    psql -q -h "$PGHOST" -p "$PGPORT" -d quarvel_bench_carico -c "CREATE EXTENSION IF NOT EXISTS citext" >/dev/null 2>&1 || true
    "$BIN" --modo prepara --motore postgres --righe 0 --articoli "$ARTICOLI" --file /dev/null
    out=$("$BIN" --motore postgres --righe "$RIGHE" --file "$FILE")
    echo "$out"
    quarvel_pg_ms=$(ms_di "$out")
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
    echo "rapporto postgres: $(rapporto "$quarvel_pg_ms" "$pg_ms")"
fi
