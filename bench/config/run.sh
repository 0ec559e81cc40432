#!/usr/bin/env bash
# The profile-file layer over a big parameter file: first read, a thousand
# key reads, writes.
#   bench/config/run.sh [BUILD] [megabytes] [writes]
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/../.." && pwd)
BUILD=${1:-$ROOT/build}
[[ "$BUILD" = /* ]] || BUILD=$ROOT/$BUILD
cmake --build "$BUILD" --target bench_profilo >/dev/null
"$BUILD/bench/config/bench_profilo" "${2:-4}" "${3:-20}"
