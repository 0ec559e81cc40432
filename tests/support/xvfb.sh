#!/usr/bin/env bash
# A virtual display for a command, as xvfb-run gives one, with the display's
# number chosen by the X server itself (-displayfd): it takes the first
# number whose lock file and sockets it can all make its own, so two runs
# started together, the server of the run before still going away, or a
# server of another root folder on this machine (a chroot shares the
# abstract sockets) never hand a client someone else's display.  The server
# is ready once it has written its number; at the end it is waited for, so
# that it is gone before the next run starts.
#   tests/support/xvfb.sh [-s "SERVER ARGUMENTS"] [--] COMMAND [ARGUMENT...]
# The server's arguments default to "-screen 0 1024x768x24"; the exit status
# is the command's.
set -uo pipefail
ARGOMENTI="-screen 0 1024x768x24"
if [[ "${1:-}" == -s ]]; then
    ARGOMENTI=$2
    shift 2
fi
[[ "${1:-}" == -- ]] && shift
if [[ $# -eq 0 ]]; then
    echo "xvfb.sh: no command to run" >&2
    exit 2
fi

LAVORO=$(mktemp -d "${TMPDIR:-/tmp}/xvfb.XXXXXX") || exit 1
export XAUTHORITY="$LAVORO/Xauthority"
: >"$XAUTHORITY"
chmod 600 "$XAUTHORITY"
# The server loads every cookie of its file whatever display the entry
# names; the client's entry for the real number is added once it is known.
BISCOTTO=$(mcookie)
xauth -q add :0 MIT-MAGIC-COOKIE-1 "$BISCOTTO"

PID_SERVER=""
fine() {
    if [[ -n "$PID_SERVER" ]]; then
        kill "$PID_SERVER" 2>/dev/null
        wait "$PID_SERVER" 2>/dev/null
    fi
    rm -rf "$LAVORO"
}
trap fine EXIT

# shellcheck disable=SC2086 # the server's arguments are words
coproc SERVER { exec Xvfb -displayfd 1 -nolisten tcp -auth "$XAUTHORITY" $ARGOMENTI 2>"$LAVORO/server.log"; }
PID_SERVER=$SERVER_PID
NUMERO=""
read -r -t 60 NUMERO <&"${SERVER[0]}"
# the command gets neither end of the server's pipe
eval "exec ${SERVER[0]}<&- ${SERVER[1]}>&-"
if [[ ! "$NUMERO" =~ ^[0-9]+$ ]]; then
    echo "xvfb.sh: the X server did not start:" >&2
    cat "$LAVORO/server.log" >&2
    exit 1
fi
xauth -q add ":$NUMERO" MIT-MAGIC-COOKIE-1 "$BISCOTTO"

DISPLAY=":$NUMERO" "$@"
