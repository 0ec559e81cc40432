#!/usr/bin/env bash
# Scenario on a virtual display with a window manager: the counts list of a
# generated inventory shown on screen by the print object in the preview
# form, at zoom 67 and 100, with page keeping; at each zoom the first page,
# then the second after a click on the next arrow, are taken as pictures;
# "&Esci" (Alt+E) on the last page drawn leaves the preview and the program
# ends, its page files gone.
#   tests/print/scenario-anteprima.sh [BUILD] [SCREENSHOT-DIR]
# BUILD is the build folder (absolute, or relative to the repository), built
# with the benchmarks (bench_anteprima draws the list).
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/../.." && pwd)
BUILD=$(cd "$ROOT" && realpath -m "${1:-build}")
SHOTS=${2:-$BUILD/tests/print}

if [[ -z "${SCENARIO_XVFB:-}" ]]; then
    export SCENARIO_XVFB=1
    exec "$ROOT/tests/support/xvfb.sh" -s "-screen 0 1024x768x24" "$0" "$@"
fi
mkdir -p "$SHOTS"
TMP=$(mktemp -d)
export TMPDIR=$TMP HOME=$TMP
status=0
openbox >/dev/null 2>&1 &
WM=$!
trap 'kill $WM 2>/dev/null || true; rm -rf "$TMP"' EXIT
sleep 0.5
BIN=$BUILD/bench/print/bench_anteprima

for zoom in 67 100; do
    "$BIN" --righe 3000 --db "$TMP/ditta.db" --pagine 5 --memorizza 1 --zoom "$zoom" --mostra \
        >"$TMP/log" 2>&1 &
    PID=$!
    WIN=""
    for ((i = 0; i < 300; i++)); do
        WIN=$(xdotool search --onlyvisible --name "^Visualizzazione Stampa$" 2>/dev/null | head -1 || true)
        [[ -n "$WIN" ]] && break
        sleep 0.1
    done
    if [[ -z "$WIN" ]]; then
        echo "scenario: FAIL: the preview did not appear at zoom $zoom" >&2
        cat "$TMP/log" >&2
        exit 1
    fi
    xdotool windowsize --sync "$WIN" 1000 740 windowmove "$WIN" 0 0
    sleep 1
    import -window "$WIN" "$SHOTS/anteprima-$zoom.png"
    echo "scenario: zoom $zoom, page 1 ($SHOTS/anteprima-$zoom.png)"
    # a click on the next arrow (the third after "&Esci"): page 2 drawn,
    # page 1 kept in its file
    xdotool mousemove --window "$WIN" 195 17 click 1
    sleep 1
    import -window "$WIN" "$SHOTS/anteprima-$zoom-pagina2.png"
    echo "scenario: zoom $zoom, page 2 ($SHOTS/anteprima-$zoom-pagina2.png)"
    # in the preview's own folder, for the user alone
    if ! ls "$TMP"/quarvel-pagine-*/quarvel-video-*.001 >/dev/null 2>&1; then
        echo "scenario: FAIL: page 1 was not kept in its file at zoom $zoom" >&2
        status=1
    elif [[ $(stat -c %a "$TMP"/quarvel-pagine-*) != 700 ]]; then
        echo "scenario: FAIL: the folder of the kept pages is open to others" >&2
        status=1
    fi
    xdotool windowfocus --sync "$WIN"
    xdotool key --clearmodifiers alt+e
    for ((i = 0; i < 100 && $(kill -0 $PID 2>/dev/null && echo 1 || echo 0); i++)); do
        sleep 0.1
    done
    if kill -0 $PID 2>/dev/null; then
        echo "scenario: FAIL: \"&Esci\" did not end the preview at zoom $zoom" >&2
        kill $PID
        status=1
    fi
    if ls -d "$TMP"/quarvel-video-* "$TMP"/quarvel-pagine-* >/dev/null 2>&1; then
        echo "scenario: FAIL: page files left: $(ls -d "$TMP"/quarvel-video-* "$TMP"/quarvel-pagine-* 2>/dev/null)" >&2
        status=1
    fi
done
exit $status
