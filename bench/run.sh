#!/usr/bin/env bash
# Runs every benchmark (bench/*/run.sh) against the build folder given.
set -uo pipefail
BUILD=${1:-build}
HERE=$(cd "$(dirname "$0")" && pwd)
status=0
for b in "$HERE"/*/run.sh; do
    [[ -x "$b" ]] || continue
    echo "== $(basename "$(dirname "$b")")"
    "$b" "$BUILD" || status=1
done
exit $status
