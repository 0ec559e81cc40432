#!/usr/bin/env bash
# The data grid over a list of a million counted rows, on SQLite and on
# PostgreSQL, beside a plain QSqlQueryModel in a QTableView.
#   bench/listcmd/run.sh [build folder] [rows] [runs]
# Each line is one run; with several runs per case, read the best or the
# median (the machine's other work shows as scatter).
# PostgreSQL runs when scripts/services/postgres.sh can start a server; the
# server it started is stopped at the end.
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/../.." && pwd)
BUILD=${1:-$ROOT/build}
RIGHE=${2:-1000000}
VOLTE=${3:-1}
BIN=$BUILD/bench/listcmd/bench_listcmd
cmake --build "$BUILD" --target bench_listcmd >/dev/null
export QT_QPA_PLATFORM=offscreen
DB=${TMPDIR:-/tmp}/quarvel-bench-listcmd-$RIGHE.db

for modo in griglia qsqlquerymodel; do
    for ((i = 0; i < VOLTE; i++)); do
        "$BIN" --motore sqlite --modo "$modo" --righe "$RIGHE" --db "$DB"
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
    for modo in griglia qsqlquerymodel; do
        for ((i = 0; i < VOLTE; i++)); do
            PGPASSWORD=$QUARVEL_PG_PWD "$BIN" --motore postgres --modo "$modo" --righe "$RIGHE"
        done
    done
    # a form that opens this list as it loads: the count's connection is
    # opened beside the first rows, not before
    for ((i = 0; i < VOLTE; i++)); do
        PGPASSWORD=$QUARVEL_PG_PWD "$BIN" --motore postgres --modo griglia --righe "$RIGHE" \
            --prima-apertura
    done
fi
