#!/usr/bin/env bash
# Starts Quarvel's menu on a demo company.
set -euo pipefail
BUILD=${1:-build}
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(dirname "$HERE")

if [[ ! -x "$ROOT/$BUILD/components/menu/quarvel-menu" || ! -x "$ROOT/$BUILD/src/startup/quarvel" ]]; then
    cat <<MSG
Quarvel is built, but it cannot be started yet: the program never runs alone,
the suite's menu (quarvel-menu) starts it with the company and the function to
open, and the menu and the data forms are not built yet.
Built so far: the utility object and the parameter files (run 'make test').
MSG
    exit 0
fi
exec "$ROOT/scripts/run-menu.sh" "$BUILD"
