#!/usr/bin/env bash
# Builds every libFuzzer target (tests/fuzz/CMakeLists.txt) in build-fuzz and
# runs each for FUZZ_SECONDS seconds (default 60).  Prints the executions run
# by each target and whether a crash, a leak or a hang was found; exits
# non-zero when one was.  The corpus of each target grows under
# build-fuzz/fuzz-corpus/<target>, the inputs that failed land in
# build-fuzz/fuzz-artifacts/<target>/.
#
#   FUZZ_SECONDS   seconds per target (default 60)
#   FUZZ_TIMEOUT   seconds one input may take before it counts as a hang (default 10)
#   FUZZ_TARGETS   blank-separated names to run (default: all)
#   FUZZ_BUILD     build folder (default build-fuzz)
set -uo pipefail

cd "$(dirname "$0")/../.." || exit 2
BUILD=${FUZZ_BUILD:-build-fuzz}
SECONDI=${FUZZ_SECONDS:-60}
TIMEOUT=${FUZZ_TIMEOUT:-10}
SCELTI=${FUZZ_TARGETS:-}

if ! command -v clang++ >/dev/null; then
    echo "fuzz: clang++ is missing (scripts/bootstrap.sh installs clang and libclang-rt-14-dev)" >&2
    exit 2
fi

echo "== fuzz: configuring $BUILD"
nice cmake -S . -B "$BUILD" -G Ninja \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQUARVEL_FUZZ=ON -DQUARVEL_TESTS=OFF -DQUARVEL_BENCH=OFF >/dev/null || exit 2

echo "== fuzz: building"
nice cmake --build "$BUILD" --target quarvel_fuzz_all -j 2 || exit 2

ELENCO="$BUILD/fuzz_targets.txt"
[ -s "$ELENCO" ] || { echo "fuzz: no targets listed in $ELENCO" >&2; exit 2; }

esito=0
riepilogo=()
while IFS=$'\t' read -r nome eseguibile semi; do
    [ -n "$nome" ] || continue
    if [ -n "$SCELTI" ] && ! [[ " $SCELTI " == *" $nome "* ]]; then
        continue
    fi
    corpus="$BUILD/fuzz-corpus/$nome"
    artefatti="$BUILD/fuzz-artifacts/$nome"
    mkdir -p "$corpus" "$artefatti"
    dirs=("$corpus")
    [ -n "$semi" ] && [ -d "$semi" ] && dirs+=("$semi")
    registro="$BUILD/fuzz-$nome.log"

    echo "== fuzz: $nome for ${SECONDI}s"
    "$eseguibile" -max_total_time="$SECONDI" -timeout="$TIMEOUT" \
        -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$artefatti/" "${dirs[@]}" >"$registro" 2>&1
    rc=$?

    esecuzioni=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$registro" | tail -n1 |
        grep -o '[0-9]*$')
    [ -n "$esecuzioni" ] || esecuzioni=$(grep -oE '^#[0-9]+' "$registro" | tail -n1 | tr -d '#')
    [ -n "$esecuzioni" ] || esecuzioni="?"

    if grep -qE 'ERROR: libFuzzer: timeout|ALARM: working on the last Unit' "$registro"; then
        stato="HANG"
    elif grep -qE 'ERROR: (libFuzzer|AddressSanitizer|LeakSanitizer|UndefinedBehaviorSanitizer)|runtime error:|deadly signal' "$registro"; then
        stato="CRASH"
    elif [ "$rc" -ne 0 ]; then
        stato="FAILED (exit $rc)"
    else
        stato="no crash, no hang"
    fi
    if [ "$stato" != "no crash, no hang" ]; then
        esito=1
        tail -n 40 "$registro"
        echo "   failing input(s) in $artefatti/"
    fi
    riga="$nome: $esecuzioni executions in ${SECONDI}s: $stato (log $registro)"
    echo "   $riga"
    riepilogo+=("$riga")
done <"$ELENCO"

echo "== fuzz: summary"
for r in "${riepilogo[@]}"; do echo "   $r"; done
exit $esito
