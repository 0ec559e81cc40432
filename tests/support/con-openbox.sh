#!/usr/bin/env bash
# Runs a command on the current X display with the openbox window manager
# beside it (frames, placement, focus as on a desktop); openbox ends with it.
#   tests/support/con-openbox.sh COMMAND [ARG...]
set -uo pipefail
openbox >/dev/null 2>&1 &
WM=$!
trap 'kill $WM 2>/dev/null || true' EXIT
# openbox has taken the screen once it names itself on the root window
for ((i = 0; i < 50; i++)); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    sleep 0.1
done
"$@"
