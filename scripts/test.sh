#!/usr/bin/env bash
# Starts the services the tests use, runs every test through CTest, stops the
# services again.  Exits non-zero when any test fails.
set -uo pipefail
BUILD=${1:-build}
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(dirname "$HERE")
cd "$ROOT"

services=()
for s in "$HERE"/services/*.sh; do
    [[ -e "$s" ]] && services+=("$s")
done

stop_services() {
    for s in "${services[@]}"; do
        "$s" stop || true
    done
}
trap stop_services EXIT

for s in "${services[@]}"; do
    if ! "$s" start; then
        echo "test: the service $(basename "$s" .sh) did not start" >&2
        exit 1
    fi
done
# Environment the services export for the tests (database addresses and the like).
for s in "${services[@]}"; do
    if out=$("$s" env 2>/dev/null); then
        eval "$out"
    fi
done

# The menu link and the program talk over a D-Bus session bus of their own.
dbus-run-session -- ctest --test-dir "$BUILD" --output-on-failure -j2 ${CTEST_ARGS:-}
