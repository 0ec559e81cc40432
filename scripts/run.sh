#!/usr/bin/env bash
# Starts Quarvel's menu on a demo company (make run).  BUILD is the build
# folder, absolute or relative to the repository.
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(dirname "$HERE")
BUILD=$(cd "$ROOT" && realpath -m "${1:-build}")

for p in components/menu/quarvel-menu src/startup/quarvel components/data/quarvel-ditta; do
    if [[ ! -x "$BUILD/$p" ]]; then
        echo "make run: $BUILD/$p is missing: build the programs first (make run builds them)" >&2
        exit 1
    fi
done
exec "$ROOT/scripts/run-menu.sh" "$BUILD"
