#!/usr/bin/env bash
# The counts list of an inventory printed by the print component:
#  - 100,000 rows to delimited text, beside sqlite3 -csv on the same query;
#  - the same rows to a workbook, beside a plain libxlsxwriter program;
#  - the ratios of these two in each run, of the times and of the processor
#    times (on a busy machine the times wait for the processor);
#  - 1,000 pages laid out and drawn on a PDF writer, beside a plain QPdfWriter
#    program drawing the same rows, and 100 pages to show the memory flat in
#    the number of pages;
#  - the grid's list read alone, beside the same rows read by a plain
#    forward-only query of the same SQL with the same texts, and the three
#    writers fed by that query;
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
# the time and the processor time (the fields before "ms" and after "cpu")
# of a line of figures
ms() { awk '{ for (i = 2; i <= NF; i++) if ($i == "ms") { print $(i - 1); exit } }'; }
cpu() { awk '{ for (i = 1; i < NF; i++) if ($i == "cpu") { print $(i + 1); exit } }'; }
for ((i = 0; i < VOLTE; i++)); do
    TIMEFORMAT='%R %U %S'
    tempi=$({ time sqlite3 -csv "$DB" "$SQL" >"$OUT/sqlite3.csv"; } 2>&1)
    read -r reale utente sistema <<<"$tempi"
    sqlms=$(echo "$reale * 1000" | bc -l)
    sqlcpu=$(echo "($utente + $sistema) * 1000" | bc -l)
    LC_NUMERIC=C printf '%-15s %9s righe  %6s righe   %9.1f ms  cpu %7.1f ms\n' "sqlite3 -csv" "$RIGHE" \
        "$(wc -l <"$OUT/sqlite3.csv")" "$sqlms" "$sqlcpu"
    csv=$("$BIN" --modo csv --righe "$RIGHE" --db "$DB" --uscita "$OUT/lista.csv")
    echo "$csv"
    semplice=$("$BIN" --modo xlsx-semplice --righe "$RIGHE" --db "$DB" --uscita "$OUT/semplice.xlsx")
    echo "$semplice"
    xlsx=$("$BIN" --modo xlsx --righe "$RIGHE" --db "$DB" --uscita "$OUT/lista.xlsx")
    echo "$xlsx"
    LC_NUMERIC=C printf 'rapporti: csv / sqlite3 -csv %.2f (cpu %.2f), xlsx / xlsx-semplice %.2f (cpu %.2f)\n' \
        "$(echo "$(ms <<<"$csv") / $sqlms" | bc -l)" "$(echo "$(cpu <<<"$csv") / $sqlcpu" | bc -l)" \
        "$(echo "$(ms <<<"$xlsx") / $(ms <<<"$semplice")" | bc -l)" \
        "$(echo "$(cpu <<<"$xlsx") / $(cpu <<<"$semplice")" | bc -l)"
    rpp=$("$BIN" --modo pagine --pagine 1 --righe "$RIGHE" --db "$DB" --uscita "$OUT/una.pdf" 2>&1 >/dev/null |
        sed -n 's/^righe per pagina //p')
    QUARVEL_RIGHE_PAGINA=$rpp "$BIN" --modo pdf-semplice --pagine 1000 --righe "$RIGHE" --db "$DB" \
        --uscita "$OUT/semplice.pdf"
    "$BIN" --modo pagine --pagine 1000 --righe "$RIGHE" --db "$DB" --uscita "$OUT/lista.pdf" 2>/dev/null
    "$BIN" --modo pagine --pagine 100 --righe "$RIGHE" --db "$DB" --uscita "$OUT/cento.pdf" 2>/dev/null
    # where the time goes: the grid's list read alone, and the writers fed by
    # one forward-only query
    "$BIN" --modo lettura --righe "$RIGHE" --db "$DB"
    "$BIN" --modo lettura-cursore --righe "$RIGHE" --db "$DB"
    for m in csv-cursore xlsx-cursore pagine-cursore; do
        "$BIN" --modo "$m" --pagine 1000 --righe "$RIGHE" --db "$DB" --uscita "$OUT/$m.out"
    done
    for m in 1 0; do
        TMPDIR=$OUT "$BUILD/bench/print/bench_anteprima" --pagine 1000 --righe "$RIGHE" --db "$DB" \
            --memorizza "$m" 2>/dev/null
    done
done
