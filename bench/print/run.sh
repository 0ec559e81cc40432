#!/usr/bin/env bash
# The counts list of an inventory printed by the print component:
#  - 100,000 rows to delimited text, beside sqlite3 -csv on the same query;
#  - the same rows to a workbook, beside a plain libxlsxwriter program;
#  - 1,000 pages laid out and drawn on a PDF writer, beside a plain QPdfWriter
#    program drawing the same rows, and 100 pages to show the memory flat in
#    the number of pages;
#  - the grid's list read alone, and the three writers fed by a plain query;
#  - 1,000 pages shown on screen one after the other (the preview form), with
#    and without page keeping: the time to each next page and the memory.
#   bench/print/run.sh [build folder] [rows] [runs]
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/../.." && pwd)
BUILD=${1:-$ROOT/build}
RIGHE=${2:-100000}
VOLTE=${3:-1}
BIN=$BUILD/bench/print/bench_stampa
cmake --build "$BUILD" --target bench_stampa bench_anteprima >/dev/null
export QT_QPA_PLATFORM=offscreen
DB=${TMPDIR:-/tmp}/quarvel-bench-stampa-$RIGHE.db
OUT=$(mktemp -d "${TMPDIR:-/tmp}/quarvel-bench-stampa.XXXXXX")
trap 'rm -rf "$OUT"' EXIT

SQL=$("$BIN" --modo sql --righe "$RIGHE" --db "$DB")
for ((i = 0; i < VOLTE; i++)); do
    inizio=$(date +%s%N)
    sqlite3 -csv "$DB" "$SQL" >"$OUT/sqlite3.csv"
    fine=$(date +%s%N)
    printf '%-14s %9s righe  %6s righe   %9.1f ms\n' "sqlite3 -csv" "$RIGHE" \
        "$(wc -l <"$OUT/sqlite3.csv")" "$(echo "($fine - $inizio) / 1000000" | bc -l)"
    "$BIN" --modo csv --righe "$RIGHE" --db "$DB" --uscita "$OUT/lista.csv"
    "$BIN" --modo xlsx-semplice --righe "$RIGHE" --db "$DB" --uscita "$OUT/semplice.xlsx"
    "$BIN" --modo xlsx --righe "$RIGHE" --db "$DB" --uscita "$OUT/lista.xlsx"
    rpp=$("$BIN" --modo pagine --pagine 1 --righe "$RIGHE" --db "$DB" --uscita "$OUT/una.pdf" 2>&1 >/dev/null |
        sed -n 's/^righe per pagina //p')
    QUARVEL_RIGHE_PAGINA=$rpp "$BIN" --modo pdf-semplice --pagine 1000 --righe "$RIGHE" --db "$DB" \
        --uscita "$OUT/semplice.pdf"
    "$BIN" --modo pagine --pagine 1000 --righe "$RIGHE" --db "$DB" --uscita "$OUT/lista.pdf" 2>/dev/null
    "$BIN" --modo pagine --pagine 100 --righe "$RIGHE" --db "$DB" --uscita "$OUT/cento.pdf" 2>/dev/null
    # where the time goes: the grid's list read alone, and the writers fed by
    # one forward-only query
    "$BIN" --modo lettura --righe "$RIGHE" --db "$DB"
    for m in csv-cursore xlsx-cursore pagine-cursore; do
        "$BIN" --modo "$m" --pagine 1000 --righe "$RIGHE" --db "$DB" --uscita "$OUT/$m.out"
    done
    for m in 1 0; do
        TMPDIR=$OUT "$BUILD/bench/print/bench_anteprima" --pagine 1000 --righe "$RIGHE" --db "$DB" \
            --memorizza "$m" 2>/dev/null
    done
done
