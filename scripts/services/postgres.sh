#!/usr/bin/env bash
# A throwaway PostgreSQL 15 server for the tests and the benchmarks.
#
#   postgres.sh start   starts it (once: a running server is reused)
#   postgres.sh env     prints the export lines the tests read
#   postgres.sh stop    stops it and removes its folder
#
# The server lives in a temporary folder, listens on 127.0.0.1 on a free port
# and runs as the "postgres" user when started by root, configured as the
# README asks of a company's server (ctype C, shared buffers that hold a
# company's tables: QUARVEL_PG_SHARED_BUFFERS, 1GB unless set).  It holds the role and
# database "quarvel" (password "quarvel", allowed to create databases) with the
# citext extension, also in template1 so that every new database has it.
# Beside it: odbcinst.ini and odbc.ini (CommLog off) with the data source
# "quarvel_pg", and the file data source quarvel_pg.dsn (no credentials in
# either: the caller supplies them).
set -euo pipefail

PGBIN=${QUARVEL_PGBIN:-/usr/lib/postgresql/15/bin}
STATE=${QUARVEL_PG_STATE:-${TMPDIR:-/tmp}/quarvel-pg-$(id -u).state}
ROLE=quarvel
PASSWORD=quarvel
DSN=quarvel_pg

as_server_user() {
    if [[ $(id -u) -eq 0 ]]; then
        runuser -u postgres -- "$@"
    else
        "$@"
    fi
}

load_state() {
    DIR=""
    PORT=""
    if [[ -f "$STATE" ]]; then
        # shellcheck disable=SC1090
        source "$STATE"
    fi
}

running() {
    [[ -n "${DIR:-}" && -d "$DIR/data" ]] && as_server_user "$PGBIN/pg_ctl" -D "$DIR/data" status >/dev/null 2>&1
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

psql_super() {
    as_server_user psql -X -q -v ON_ERROR_STOP=1 -h "$DIR" -p "$PORT" -U postgres "$@"
}

start() {
    load_state
    if running; then
        return 0
    fi
    [[ -n "${DIR:-}" && -d "$DIR" ]] && rm -rf "$DIR"
    if [[ ! -x "$PGBIN/initdb" ]]; then
        echo "postgres: $PGBIN/initdb not found (apt-get install postgresql-15 postgresql-contrib)" >&2
        return 1
    fi
    DIR=$(mktemp -d "${TMPDIR:-/tmp}/quarvel-pg.XXXXXX")
    chmod 755 "$DIR"
    [[ $(id -u) -eq 0 ]] && chown postgres: "$DIR"
    PORT=$(free_port)
    # Character classes of the C locale: citext folds ASCII letters only, as
    # SQLite's NOCASE does, and without going through wide characters for
    # every comparison (a count of a million codes takes a third of the time).
    as_server_user "$PGBIN/initdb" -D "$DIR/data" -U postgres -A trust -E UTF8 \
        --locale=C.UTF-8 --lc-ctype=C >"$DIR/initdb.log" 2>&1 ||
        { cat "$DIR/initdb.log" >&2; return 1; }
    # Loopback clients give a password; the local socket (the set-up) is trusted.
    cat >"$DIR/data/pg_hba.conf" <<HBA
local all all trust
host  all postgres 127.0.0.1/32 trust
host  all all 127.0.0.1/32 scram-sha-256
HBA
    as_server_user "$PGBIN/pg_ctl" -D "$DIR/data" -l "$DIR/server.log" -w -t 60 \
        -o "-c listen_addresses=127.0.0.1 -p $PORT -k $DIR -c fsync=off -c synchronous_commit=off -c full_page_writes=off -c shared_buffers=${QUARVEL_PG_SHARED_BUFFERS:-1GB}" \
        start >/dev/null || { cat "$DIR/server.log" >&2; return 1; }
    psql_super -d template1 -c "CREATE EXTENSION IF NOT EXISTS citext"
    psql_super -d postgres -c "CREATE ROLE $ROLE LOGIN CREATEDB PASSWORD '$PASSWORD'"
    psql_super -d postgres -c "CREATE DATABASE $ROLE OWNER $ROLE"

    local driver
    driver=$(odbcinst -q -d 2>/dev/null | grep -i -m1 'PostgreSQL Unicode' | tr -d '[]' || true)
    driver=${driver:-PostgreSQL Unicode}
    cat >"$DIR/odbcinst.ini" <<INI
[PostgreSQL Unicode]
Description=PostgreSQL ODBC driver (Unicode version)
Driver=psqlodbcw.so
Setup=libodbcpsqlS.so
Debug=0
CommLog=0

[PostgreSQL ANSI]
Description=PostgreSQL ODBC driver (ANSI version)
Driver=psqlodbca.so
Setup=libodbcpsqlS.so
Debug=0
CommLog=0
INI
    cat >"$DIR/odbc.ini" <<INI
[$DSN]
Description=Quarvel test company
Driver=$driver
Servername=127.0.0.1
Port=$PORT
Database=$ROLE
CommLog=0
Debug=0
INI
    cat >"$DIR/$DSN.dsn" <<INI
[ODBC]
DRIVER=$driver
SERVER=127.0.0.1
PORT=$PORT
DATABASE=$ROLE
CommLog=0
INI
    chmod 644 "$DIR"/*.ini "$DIR/$DSN.dsn"
    printf 'DIR=%q\nPORT=%q\n' "$DIR" "$PORT" >"$STATE"
}

stop() {
    load_state
    if [[ -n "${DIR:-}" && -d "$DIR/data" ]]; then
        as_server_user "$PGBIN/pg_ctl" -D "$DIR/data" -m fast -w stop >/dev/null 2>&1 || true
    fi
    [[ -n "${DIR:-}" && -d "$DIR" ]] && rm -rf "$DIR"
    rm -f "$STATE"
}

env_lines() {
    load_state
    running || return 1
    cat <<ENV
export QUARVEL_PG_DIR=$DIR
export QUARVEL_PG_DSN=$DSN
export QUARVEL_PG_DSNFILE=$DIR/$DSN.dsn
export QUARVEL_PG_UID=$ROLE
export QUARVEL_PG_PWD=$PASSWORD
export QUARVEL_PG_DRIVER='PostgreSQL Unicode'
export ODBCINI=$DIR/odbc.ini
export ODBCSYSINI=$DIR
export PGHOST=127.0.0.1
export PGPORT=$PORT
export PGUSER=$ROLE
export PGDATABASE=$ROLE
export PGPASSWORD=$PASSWORD
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
