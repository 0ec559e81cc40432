#!/usr/bin/env bash
# A private CUPS scheduler for the tests: its own port on 127.0.0.1, its own
# configuration, spool and log folders under /tmp, and two queues that print
# into files.
#
#   cups.sh start   starts it (once: a running scheduler is reused)
#   cups.sh env     prints the export lines the tests read
#   cups.sh stop    stops it and removes its folder
#
# Queues (their output replaced by each job, in $DIR/uscita, 1777):
#   QuarvelPDF   a PDF printer: the job's PDF as the program made it (no
#                filter: what CUPS's pdftopdf would do to it is the printer's
#                business) into uscita/QuarvelPDF.pdf.  Its PPD offers
#                the papers A4 (default), A3 and Letter and the bins Tray1,
#                Tray2 and Manual.
#   QuarvelRaw   a raw queue: the job's bytes as they are into
#                uscita/QuarvelRaw.prn.
# QuarvelPDF is the default destination of the server.  The clients find the
# scheduler through CUPS_SERVER; CUPS_SERVERROOT points at a client folder of
# its own, so a test that sets the user's default printer writes its
# lpoptions there and not in /etc/cups.
set -euo pipefail

STATE=${QUARVEL_CUPS_STATE:-${TMPDIR:-/tmp}/quarvel-cups-$(id -u).state}
CUPSD=${QUARVEL_CUPSD:-/usr/sbin/cupsd}

load_state() {
    DIR=""
    PORT=""
    PID=""
    if [[ -f "$STATE" ]]; then
        # shellcheck disable=SC1090
        source "$STATE"
    fi
}

running() {
    [[ -n "${PID:-}" ]] && kill -0 "$PID" 2>/dev/null &&
        CUPS_SERVER=127.0.0.1:$PORT lpstat -r 2>/dev/null | grep -qx 'scheduler is running'
}

free_port() {
    python3 - <<'PY'
import socket
s = socket.socket()
s.bind(("127.0.0.1", 0))
print(s.getsockname()[1])
s.close()
PY
}

ppd() {
    cat <<'PPD'
*PPD-Adobe: "4.3"
*FormatVersion: "4.3"
*FileVersion: "1.0"
*LanguageVersion: English
*LanguageEncoding: ISOLatin1
*PCFileName: "QUARVPDF.PPD"
*Manufacturer: "Quarvel"
*Product: "(Quarvel PDF)"
*ModelName: "Quarvel PDF"
*ShortNickName: "Quarvel PDF"
*NickName: "Quarvel PDF con cassetti"
*PSVersion: "(3010.000) 0"
*LanguageLevel: "3"
*ColorDevice: True
*DefaultColorSpace: RGB
*FileSystem: False
*Throughput: "1"
*LandscapeOrientation: Plus90
*TTRasterizer: Type42
*cupsVersion: 2.4
*cupsFilter2: "application/pdf application/pdf 0 -"
*OpenUI *PageSize/Formato: PickOne
*OrderDependency: 10 AnySetup *PageSize
*DefaultPageSize: A4
*PageSize A4/A4: ""
*PageSize A3/A3: ""
*PageSize Letter/Letter: ""
*CloseUI: *PageSize
*OpenUI *PageRegion/Formato: PickOne
*OrderDependency: 10 AnySetup *PageRegion
*DefaultPageRegion: A4
*PageRegion A4/A4: ""
*PageRegion A3/A3: ""
*PageRegion Letter/Letter: ""
*CloseUI: *PageRegion
*DefaultImageableArea: A4
*ImageableArea A4/A4: "18 36 577 806"
*ImageableArea A3/A3: "18 36 824 1155"
*ImageableArea Letter/Letter: "18 36 594 756"
*DefaultPaperDimension: A4
*PaperDimension A4/A4: "595 842"
*PaperDimension A3/A3: "842 1191"
*PaperDimension Letter/Letter: "612 792"
*OpenUI *InputSlot/Cassetto: PickOne
*OrderDependency: 20 AnySetup *InputSlot
*DefaultInputSlot: Tray1
*InputSlot Tray1/Cassetto 1: ""
*InputSlot Tray2/Cassetto 2: ""
*InputSlot Manual/Alimentazione manuale: ""
*CloseUI: *InputSlot
PPD
}

backend() {
    cat <<'BACKEND'
#!/bin/sh
# quarvel-file:/path  the job into that file (the tests' printers)
if [ $# -eq 0 ]; then
    echo 'file quarvel-file "Quarvel" "File di prova"'
    exit 0
fi
umask 022
out=${DEVICE_URI#quarvel-file:}
tmp="$out.$$.tmp"
if [ $# -ge 6 ]; then
    cat "$6" >"$tmp" || exit 1
else
    cat >"$tmp" || exit 1
fi
# the job's options beside it, for the tests to see what reached the queue
printf "%s\n" "$5" >"$out.opzioni"
mv -f "$tmp" "$out"
BACKEND
}

start() {
    load_state
    if running; then
        return 0
    fi
    [[ -n "${PID:-}" ]] && kill "$PID" 2>/dev/null || true
    [[ -n "${DIR:-}" && -d "$DIR" ]] && rm -rf "$DIR"
    if [[ ! -x "$CUPSD" ]]; then
        echo "cups: $CUPSD not found (apt-get install cups)" >&2
        return 1
    fi
    DIR=$(mktemp -d "${TMPDIR:-/tmp}/quarvel-cups.XXXXXX")
    chmod 755 "$DIR"
    PORT=$(free_port)
    mkdir -p "$DIR/etc/ppd" "$DIR/spool/tmp" "$DIR/cache" "$DIR/state/certs" "$DIR/log" \
        "$DIR/uscita" "$DIR/client" "$DIR/lib/backend"
    # The system's filters and backends, and one backend of our own: CUPS
    # sends nothing to a file: device of a raw queue, so both queues print
    # through "quarvel-file:", which copies the job (the filters' output or
    # the raw bytes) into the file its URI names, replacing it at the end.
    local voce
    for voce in /usr/lib/cups/*; do
        [[ "$(basename "$voce")" == backend ]] || ln -s "$voce" "$DIR/lib/"
    done
    for voce in /usr/lib/cups/backend/*; do
        ln -s "$voce" "$DIR/lib/backend/"
    done
    backend >"$DIR/lib/backend/quarvel-file"
    chmod 755 "$DIR/lib/backend/quarvel-file"
    chmod 1777 "$DIR/uscita" "$DIR/spool/tmp"
    local utente=""
    if [[ $(id -u) -eq 0 ]]; then
        # cupsd runs its filters as this user, never as root
        utente="User lp
Group lp"
        chown -R lp:lp "$DIR/spool" "$DIR/cache"
        chmod 0710 "$DIR/spool"
    fi
    cat >"$DIR/etc/cups-files.conf" <<CONF
ServerRoot $DIR/etc
RequestRoot $DIR/spool
TempDir $DIR/spool/tmp
CacheDir $DIR/cache
StateDir $DIR/state
ServerBin $DIR/lib
DataDir /usr/share/cups
AccessLog $DIR/log/access_log
ErrorLog $DIR/log/error_log
PageLog $DIR/log/page_log
Sandboxing Relaxed
SystemGroup root
$utente
CONF
    cat >"$DIR/etc/cupsd.conf" <<CONF
LogLevel ${QUARVEL_CUPS_LOGLEVEL:-warn}
Listen 127.0.0.1:$PORT
Browsing No
BrowseLocalProtocols none
DefaultAuthType None
WebInterface No
JobRetryLimit 0
PreserveJobHistory Yes
PreserveJobFiles No
MaxJobs 0
<Location />
  Order allow,deny
  Allow from 127.0.0.1
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
CONF
    : >"$DIR/etc/printers.conf"
    : >"$DIR/client/client.conf"
    ppd >"$DIR/quarvel-pdf.ppd"

    "$CUPSD" -f -c "$DIR/etc/cupsd.conf" -s "$DIR/etc/cups-files.conf" >"$DIR/log/cupsd.out" 2>&1 &
    PID=$!
    printf 'DIR=%q\nPORT=%q\nPID=%q\n' "$DIR" "$PORT" "$PID" >"$STATE"
    local i
    for i in $(seq 1 100); do
        running && break
        kill -0 "$PID" 2>/dev/null || break
        sleep 0.1
    done
    if ! running; then
        echo "cups: the scheduler did not start" >&2
        cat "$DIR/log/cupsd.out" "$DIR/log/error_log" >&2 2>/dev/null || true
        return 1
    fi
    export CUPS_SERVER=127.0.0.1:$PORT CUPS_SERVERROOT=$DIR/client
    # lpadmin warns that PPD files are deprecated: the warning is not kept
    {
        lpadmin -p QuarvelPDF -E -v "quarvel-file:$DIR/uscita/QuarvelPDF.pdf" \
            -P "$DIR/quarvel-pdf.ppd" -D "PDF di prova" -L "Quarvel" &&
            lpadmin -p QuarvelRaw -E -v "quarvel-file:$DIR/uscita/QuarvelRaw.prn" \
                -D "Coda grezza di prova" &&
            lpadmin -d QuarvelPDF
    } 2> >(grep -v 'deprecated' >&2) || { echo "cups: the queues were not made" >&2; return 1; }
}

stop() {
    load_state
    if [[ -n "${PID:-}" ]] && kill -0 "$PID" 2>/dev/null; then
        kill "$PID" 2>/dev/null || true
        for _ in $(seq 1 50); do
            kill -0 "$PID" 2>/dev/null || break
            sleep 0.1
        done
    fi
    [[ -n "${DIR:-}" && -d "$DIR" ]] && rm -rf "$DIR"
    rm -f "$STATE"
}

env_lines() {
    load_state
    running || return 1
    cat <<ENV
export CUPS_SERVER=127.0.0.1:$PORT
export CUPS_SERVERROOT=$DIR/client
export QUARVEL_CUPS_USCITA=$DIR/uscita
ENV
}

case "${1:-}" in
start) start ;;
stop) stop ;;
env) env_lines ;;
*)
    echo "usage: $0 start|stop|env" >&2
    exit 2
    ;;
esac
