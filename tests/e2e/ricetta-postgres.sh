#!/usr/bin/env bash
# The README's PostgreSQL recipe followed step by step against the test
# server (scripts/services/postgres.sh), then `make run DITTA=<data source>`
# on the company it made, on a virtual display with a fresh home folder.
#   tests/e2e/ricetta-postgres.sh [BUILD] [SCREENSHOT-DIR]
# The recipe is written for a system PostgreSQL ("sudo -u postgres ...",
# localhost:5432); here the same commands go to the test server: the
# server's superuser through its socket folder, the port of the test server.
# Keep the steps below in step with the README.
# Exits 77 (skipped) without the test server's variables.
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/../.." && pwd)
BUILD=$(cd "$ROOT" && realpath -m "${1:-build}")
SHOTS=${2:-$BUILD/tests/e2e}

if [[ -z "${QUARVEL_PG_DIR:-}" || -z "${PGPORT:-}" || -z "${ODBCSYSINI:-}" ]]; then
    echo "ricetta: no test PostgreSQL server (eval \"\$(scripts/services/postgres.sh env)\"): skipped"
    exit 77
fi
if [[ -z "${RICETTA_XVFB:-}" ]]; then
    export RICETTA_XVFB=1
    exec "$ROOT/tests/support/xvfb.sh" -s "-screen 0 1024x768x24" dbus-run-session -- "$0" "$@"
fi

mkdir -p "$SHOTS"
T=$(mktemp -d)
chmod 755 "$T"
status=0
# Names of this run: the test server is shared by every test process.
DB="ricetta_$$"
USR="magazzino_$$"
# A password with the characters that end or open an ODBC attribute.
PWD_SQL="Cambia;mi{$$}"
DSN="ditta_$$"
SERVER_PORT=$PGPORT
DITTA_PROG="$BUILD/components/data/quarvel-ditta"
MENU="$BUILD/components/menu/quarvel-menu"

fail() {
    echo "ricetta: FAIL: $*" >&2
    status=1
}

# "sudo -u postgres CMD" of the recipe: the server's superuser, through the
# test server's socket folder.  A script of its own, so that `script` can run
# it at a terminal too.
cat >"$T/sudo-postgres" <<SH
#!/usr/bin/env bash
if [[ \$(id -u) -eq 0 ]]; then
    exec runuser -u postgres -- env -u PGDATABASE -u PGPASSWORD PGHOST="$QUARVEL_PG_DIR" \\
        PGPORT="$SERVER_PORT" PGUSER=postgres "\$@"
fi
exec env -u PGDATABASE -u PGPASSWORD PGHOST="$QUARVEL_PG_DIR" PGPORT="$SERVER_PORT" \\
    PGUSER=postgres "\$@"
SH
chmod 755 "$T/sudo-postgres"
sudo_postgres() { "$T/sudo-postgres" "$@"; }
# Runs a command at a terminal of its own and types TEXT at each of its
# prompts (a line ending in ':'), as the administrator would.
typed_at_terminal() { # text, command...
    python3 - "$@" <<'PY'
import os, pty, sys, time
text, argv = sys.argv[1].encode() + b"\n", sys.argv[2:]
pid, fd = pty.fork()
if pid == 0:
    os.execvp(argv[0], argv)
seen = b""
while True:
    try:
        data = os.read(fd, 1024)
    except OSError:
        break
    if not data:
        break
    sys.stdout.buffer.write(data)
    seen += data
    if seen.rstrip().endswith(b":"):
        time.sleep(0.3)  # the prompt turns the echo off before it reads
        os.write(fd, text)
        seen = b""
_, st = os.waitpid(pid, 0)
sys.exit(os.waitstatus_to_exitcode(st))
PY
}
# A query of the test's own, as the superuser.
sql() { # database, query
    sudo_postgres psql -X -q -A -t -d "$1" -c "$2"
}

LOG="$T/run.log"
RUN_PID=""
finish() {
    "$MENU" --chiudi >/dev/null 2>&1 || true
    sleep 0.5
    [[ -n "$RUN_PID" ]] && kill "$RUN_PID" 2>/dev/null || true
    # A program of this run still open (a message left unanswered): the
    # processes that carry this run's bus name, no others.
    for e in /proc/[0-9]*/environ; do
        if { tr '\0' '\n' <"$e"; } 2>/dev/null | grep -x "QUARVEL_MENU_BUS_NAME=$QUARVEL_MENU_BUS_NAME" >/dev/null; then
            p=${e#/proc/}
            [[ ${p%%/*} != "$$" ]] && kill "${p%%/*}" 2>/dev/null || true
        fi
    done
    if [[ $status -ne 0 && -f "$LOG" ]]; then
        cat "$LOG" >&2
    fi
    for d in "$DB" "${DB}_testo" "${DB}_senza"; do
        sql postgres "DROP DATABASE IF EXISTS $d WITH (FORCE)" >/dev/null 2>&1 || true
    done
    sql postgres "DROP ROLE IF EXISTS $USR" >/dev/null 2>&1 || true
    sql postgres "DROP ROLE IF EXISTS ${USR}_pv" >/dev/null 2>&1 || true
    rm -rf "$T"
}
trap finish EXIT

# ---- On the server ---------------------------------------------------------
# 1. apt-get install postgresql postgresql-contrib: scripts/bootstrap.sh test.
# 2. The company's user, its password typed twice at the prompt.
typed_at_terminal "$PWD_SQL" "$T/sudo-postgres" createuser --pwprompt "$USR" >"$T/createuser.log" 2>&1 ||
    { cat "$T/createuser.log" >&2; fail "createuser --pwprompt"; exit 1; }
# 3. The database, owned by that user: UTF-8, collation C.UTF-8 (present on
#    every Debian), character classes of C.
sudo_postgres createdb --owner "$USR" --template template0 --encoding UTF8 \
    --lc-collate C.UTF-8 --lc-ctype C "$DB" || { fail "createdb"; exit 1; }
# 4. The citext extension in it.
sudo_postgres psql -d "$DB" -c 'CREATE EXTENSION IF NOT EXISTS citext' >/dev/null ||
    fail "CREATE EXTENSION citext"

# ---- On the workstation ----------------------------------------------------
# 5. The data source, in ~/.odbc.ini (here: the file ODBCINI names); the
#    driver is the one odbc-postgresql registered (here: in the test
#    server's odbcinst.ini, ODBCSYSINI).
export HOME="$T/home"
mkdir -p "$HOME"
unset XDG_CONFIG_HOME XDG_DATA_HOME QUARVEL_PROGRAM QUARVEL_DITTA QUARVEL_MENU_STORE
unset QUARVEL_DATI_SOLO_ODBC PGHOST PGPORT PGUSER PGDATABASE PGPASSWORD
export ODBCINI="$HOME/.odbc.ini"
cat >"$ODBCINI" <<INI
[$DSN]
Description=Quarvel: ditta su PostgreSQL
Driver=PostgreSQL Unicode
Servername=localhost
Port=$SERVER_PORT
Database=$DB
CommLog=0
Debug=0
INI
odbcinst -q -s | grep -x "\[$DSN\]" >/dev/null || fail "odbcinst does not list the data source $DSN"

# 6. The company's tables and the demo data, the password in the environment.
if ! QUARVEL_DITTA_PWD="$PWD_SQL" "$DITTA_PROG" --uid "$USR" --demo "$DSN" 2>"$T/ditta.log"; then
    cat "$T/ditta.log" >&2
    fail "quarvel-ditta --uid $USR --demo $DSN"
fi
magazzini=$(sql "$DB" "SELECT COUNT(*) FROM magazzini")
[[ "$magazzini" -gt 0 ]] || fail "no demo warehouses in $DB"
[[ $(sql "$DB" "SELECT tableowner FROM pg_tables WHERE tablename = 'articoli'") == "$USR" ]] ||
    fail "the tables do not belong to $USR"

# 6b. The same with an "ODBC;" text: --uid names the user, the password still
#     comes from the environment.
sudo_postgres createdb --owner "$USR" --template template0 --encoding UTF8 \
    --lc-collate C.UTF-8 --lc-ctype C "${DB}_testo"
sudo_postgres psql -d "${DB}_testo" -c 'CREATE EXTENSION IF NOT EXISTS citext' >/dev/null
TESTO="ODBC;DRIVER={PostgreSQL Unicode};SERVER=localhost;PORT=$SERVER_PORT;DATABASE=${DB}_testo"
if ! QUARVEL_DITTA_PWD="$PWD_SQL" "$DITTA_PROG" --uid "$USR" "$TESTO" 2>"$T/testo.log"; then
    cat "$T/testo.log" >&2
    fail "quarvel-ditta --uid $USR on an ODBC; text"
fi
[[ $(sql "${DB}_testo" "SELECT COUNT(*) FROM pg_tables WHERE tablename = 'maginventari'") == 1 ]] ||
    fail "quarvel-ditta made no tables through the ODBC; text"

# A step 4 forgotten: quarvel-ditta creates citext itself (the database's
# owner may) and says so.
sudo_postgres createdb --owner "$USR" --template template0 --encoding UTF8 \
    --lc-collate C.UTF-8 --lc-ctype C "${DB}_senza"
if QUARVEL_DITTA_PWD="$PWD_SQL" "$DITTA_PROG" --uid "$USR" "${TESTO/_testo/_senza}" \
    2>"$T/senza.log"; then
    grep -q "creata nel database l'estensione citext" "$T/senza.log" ||
        fail "quarvel-ditta did not say it created citext: $(cat "$T/senza.log")"
else
    fail "quarvel-ditta did not create citext where it was missing: $(cat "$T/senza.log")"
fi
# When the user may not create it, it says what to run instead and stops.
sql postgres "DROP DATABASE ${DB}_senza" >/dev/null
sudo_postgres createdb --template template0 --encoding UTF8 \
    --lc-collate C.UTF-8 --lc-ctype C "${DB}_senza"
sql "${DB}_senza" "GRANT CREATE ON SCHEMA public TO $USR" >/dev/null
if QUARVEL_DITTA_PWD="$PWD_SQL" "$DITTA_PROG" --uid "$USR" "${TESTO/_testo/_senza}" \
    2>"$T/senza.log"; then
    fail "quarvel-ditta went on without citext"
else
    grep -q "CREATE EXTENSION citext" "$T/senza.log" ||
        fail "quarvel-ditta did not say how to create citext: $(cat "$T/senza.log")"
fi

# A password with ';' and braces: quarvel-ditta logs in with it through Qt's
# PostgreSQL driver and through unixODBC alike (QODBC puts the user and the
# password in the connection text, where they travel between braces).
sql postgres "CREATE ROLE ${USR}_pv LOGIN PASSWORD 'pun;to{v}}'" >/dev/null
sql postgres "ALTER DATABASE ${DB}_testo OWNER TO ${USR}_pv" >/dev/null
sql "${DB}_testo" "REASSIGN OWNED BY $USR TO ${USR}_pv" >/dev/null
cat >>"$ODBCINI" <<INI

[${DSN}_pv]
Driver=PostgreSQL Unicode
Servername=localhost
Port=$SERVER_PORT
Database=${DB}_testo
CommLog=0
INI
for via in --nativo --solo-odbc; do
    opt=()
    [[ $via == --solo-odbc ]] && opt=(--solo-odbc)
    if ! QUARVEL_DITTA_PWD='pun;to{v}}' "$DITTA_PROG" "${opt[@]}" --sostituisci --uid "${USR}_pv" \
        "${DSN}_pv" 2>"$T/pv.log" </dev/null ||
        ! QUARVEL_DITTA_PWD='pun;to{v}}' "$DITTA_PROG" "${opt[@]}" --sostituisci \
            --uid "${USR}_pv" "$TESTO" 2>>"$T/pv.log" </dev/null; then
        fail "a password with ';' refused ($via): $(cat "$T/pv.log")"
    fi
done

# 7. The program's login: SqlLogin and SqlPwd in the [Valori] section of the
#    menu's store, ~/.config/quarvel/menu.ini, readable by its owner only.
mkdir -p "$HOME/.config/quarvel"
chmod 700 "$HOME/.config/quarvel"
(
    umask 077
    printf '[Valori]\nSqlLogin=%s\nSqlPwd=%s\n' "$USR" "$PWD_SQL" >"$HOME/.config/quarvel/menu.ini"
)

# 8. make run DITTA=<data source>: the make variable reaches the script.
# (grep reads the whole output: under pipefail, a grep -q that leaves early
# makes the writer's SIGPIPE a failure)
make -s -n -C "$ROOT" run BUILD="$BUILD" DITTA="$DSN" UTENTE="$USR" |
    grep "DITTA=\"$DSN\" UTENTE=\"$USR\" scripts/run.sh" >/dev/null ||
    fail "make run does not hand DITTA and UTENTE to scripts/run.sh"

export QUARVEL_MENU_BUS_NAME="it.belcor.Quarvel.MenuRicetta$$"
window() { # title pattern, seconds -> window id
    local i w
    for ((i = 0; i < $2 * 10; i++)); do
        w=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1 || true)
        if [[ -n "$w" ]]; then
            echo "$w"
            return 0
        fi
        sleep 0.1
    done
    return 1
}

# The database already has the demo: it is left as it is.
DITTA="$DSN" UTENTE="$USR" QUARVEL_DITTA_PWD="$PWD_SQL" "$ROOT/scripts/run.sh" "$BUILD" >"$LOG" 2>&1 &
RUN_PID=$!
if ! window "Menu - Quarvel" 30 >/dev/null; then
    fail "the menu window did not appear"
    exit 1
fi
grep -Eq "ha già (delle|le) tabelle" "$LOG" || fail "make run did not leave the filled database alone"
[[ $(sql "$DB" "SELECT COUNT(*) FROM magazzini") == "$magazzini" ]] ||
    fail "make run changed the demo warehouses"
# The parameter file make run wrote names the SQLite demo company; the
# menu's company (--ditta, "NomeDBAzie") is the one opened.
grep -q "^NomeDB=.*ditta-demo.db" "$HOME/.config/quarvel/ditta-demo.ini" ||
    fail "the parameter file does not name the SQLite demo company"

"$MENU" --avvia "Date inventario" || fail "the menu did not launch the function"
if FORM=$(window "^Date inventario" 30); then
    sleep 1
    import -window root "$SHOTS/ricetta-postgres.png"
    echo "ricetta: Date inventario on $DSN ($SHOTS/ricetta-postgres.png)"
    conn=$(sql postgres "SELECT COUNT(*) FROM pg_stat_activity WHERE datname = '$DB' AND usename = '$USR'")
    [[ "$conn" -gt 0 ]] || fail "the program is not connected to $DB as $USR"
    [[ ! -e "$HOME/.local/share/quarvel/ditta-demo.db" ]] ||
        fail "the SQLite demo company was created beside the PostgreSQL one"
    PROG_PID=$(xdotool getwindowpid "$FORM" 2>/dev/null || true)
else
    import -window root "$SHOTS/ricetta-postgres-errore.png" || true
    fail "the inventory headers form did not appear (screen: $SHOTS/ricetta-postgres-errore.png)"
fi

# make run on an empty database: the tables and the demo data are made first.
# The menu closed first: the program ends with it, its connections with it.
"$MENU" --chiudi >/dev/null 2>&1 || fail "the menu did not take --chiudi"
for ((i = 0; i < 200; i++)); do
    kill -0 "$RUN_PID" 2>/dev/null || break
    sleep 0.1
done
if kill -0 "$RUN_PID" 2>/dev/null; then
    fail "the menu did not end on --chiudi"
    kill "$RUN_PID" || true
fi
wait "$RUN_PID" 2>/dev/null || true
RUN_PID=""
if [[ -n "${PROG_PID:-}" ]]; then
    for ((i = 0; i < 100; i++)); do
        kill -0 "$PROG_PID" 2>/dev/null || break
        sleep 0.1
    done
    if kill -0 "$PROG_PID" 2>/dev/null; then
        fail "the program did not end with the menu"
        kill "$PROG_PID" || true
    fi
fi
sql postgres "DROP DATABASE $DB WITH (FORCE)" >/dev/null
sudo_postgres createdb --owner "$USR" --template template0 --encoding UTF8 \
    --lc-collate C.UTF-8 --lc-ctype C "$DB"
DITTA="$DSN" UTENTE="$USR" QUARVEL_DITTA_PWD="$PWD_SQL" "$ROOT/scripts/run.sh" "$BUILD" >"$LOG" 2>&1 &
RUN_PID=$!
window "Menu - Quarvel" 60 >/dev/null || fail "the menu did not come up on the empty database"
[[ $(sql "$DB" "SELECT COUNT(*) FROM magazzini") -gt 0 ]] ||
    fail "make run did not fill the empty database with the demo"

[[ $status -eq 0 ]] && echo "ricetta: PostgreSQL recipe and make run DITTA=: ok"
exit $status
