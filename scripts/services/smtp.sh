#!/usr/bin/env bash
# A private SMTP server for the tests (Debian's python3-aiosmtpd) on
# 127.0.0.1, in three variants on ports of their own:
#   plain     SMTP without encryption and without STARTTLS, login required
#             (AUTH PLAIN/LOGIN offered in the clear)
#   STARTTLS  SMTP that offers STARTTLS and the login only after it
#   TLS       SMTP over TLS from the start (smtps), the same login
# (one self-signed certificate, made by openssl at start).  Login "quarvel",
# password "segreta-smtp".  Every message received is written, as it
# arrived, into a file of its own in $DIR/posta (plain), $DIR/posta-starttls
# or $DIR/posta-tls, named by the time it came and ending in ".eml", with
# its envelope beside it (".busta": sender, then one recipient a line).
# A recipient in the domain "rifiutato.invalid" is refused (550).  Every
# login attempt, right or wrong, is noted in $DIR/accessi: the variant, the
# mechanism, the login and the password, tab-separated, one a line.
#
#   smtp.sh start   starts it (once: a running server is reused)
#   smtp.sh env     prints the export lines the tests read
#   smtp.sh stop    stops it and removes its folder
set -euo pipefail

STATE=${QUARVEL_SMTP_STATE:-${TMPDIR:-/tmp}/quarvel-smtp-$(id -u).state}
PYTHON=${QUARVEL_SMTP_PYTHON:-/usr/bin/python3}
LOGIN=quarvel
PASSWORD=segreta-smtp

load_state() {
    DIR=""
    PORT=""
    PORT_TLS=""
    PORT_STARTTLS=""
    PID=""
    if [[ -f "$STATE" ]]; then
        # shellcheck disable=SC1090
        source "$STATE"
    fi
}

answers() { # port
    "$PYTHON" - "$1" <<'PY'
import socket, sys
s = socket.create_connection(("127.0.0.1", int(sys.argv[1])), timeout=2)
ok = s.recv(512).startswith(b"220")
s.sendall(b"QUIT\r\n")
s.close()
sys.exit(0 if ok else 1)
PY
}

running() { # a server of an older layout (no STARTTLS port) is not reused
    [[ -n "${PID:-}" && -n "${PORT_STARTTLS:-}" ]] && kill -0 "$PID" 2>/dev/null &&
        answers "$PORT" 2>/dev/null
}

server() {
    cat <<'PY'
import asyncio, os, ssl, sys, time
from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult, LoginPassword

cartella, porta, porta_tls, porta_starttls, cert, chiave, login, password = sys.argv[1:9]

class Posta:
    def __init__(self, dove):
        self.dove = dove
        self.n = 0
    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address.lower().endswith("@rifiutato.invalid"):
            return "550 5.1.1 Recipient refused"
        envelope.rcpt_tos.append(address)
        return "250 OK"
    async def handle_DATA(self, server, session, envelope):
        self.n += 1
        base = os.path.join(self.dove, "%d-%06d" % (int(time.time() * 1000), self.n))
        with open(base + ".busta.tmp", "w") as f:
            f.write(envelope.mail_from + "\n")
            for r in envelope.rcpt_tos:
                f.write(r + "\n")
        with open(base + ".eml.tmp", "wb") as f:
            f.write(envelope.original_content)
        os.rename(base + ".busta.tmp", base + ".busta")
        os.rename(base + ".eml.tmp", base + ".eml")
        return "250 Message accepted for delivery"

def verifica(variante):
    def f(server, session, envelope, mechanism, auth_data):
        if not isinstance(auth_data, LoginPassword):
            return AuthResult(success=False, handled=False)
        with open(os.path.join(cartella, "accessi"), "a") as a:
            a.write("%s\t%s\t%s\t%s\n" % (variante, mechanism,
                                           auth_data.login.decode(errors="replace"),
                                           auth_data.password.decode(errors="replace")))
        if auth_data.login == login.encode() and auth_data.password == password.encode():
            return AuthResult(success=True)
        return AuthResult(success=False, handled=False)
    return f

contesto = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
contesto.load_cert_chain(cert, chiave)
server = [
    Controller(Posta(os.path.join(cartella, "posta")), hostname="127.0.0.1", port=int(porta),
               authenticator=verifica("semplice"), auth_required=True, auth_require_tls=False),
    Controller(Posta(os.path.join(cartella, "posta-starttls")), hostname="127.0.0.1",
               port=int(porta_starttls), authenticator=verifica("starttls"), auth_required=True,
               tls_context=contesto),
    Controller(Posta(os.path.join(cartella, "posta-tls")), hostname="127.0.0.1",
               port=int(porta_tls), authenticator=verifica("tls"), auth_required=True,
               auth_require_tls=False, ssl_context=contesto),
]
for s in server:
    s.start()
try:
    while True:
        time.sleep(3600)
except KeyboardInterrupt:
    pass
finally:
    for s in server:
        s.stop()
PY
}

free_port() {
    "$PYTHON" - <<'PY'
import socket
s = socket.socket()
s.bind(("127.0.0.1", 0))
print(s.getsockname()[1])
s.close()
PY
}

start() {
    load_state
    if running; then
        return 0
    fi
    [[ -n "${PID:-}" ]] && kill "$PID" 2>/dev/null || true
    [[ -n "${DIR:-}" && -d "$DIR" ]] && rm -rf "$DIR"
    if ! "$PYTHON" -c 'import aiosmtpd' 2>/dev/null; then
        echo "smtp: $PYTHON has no aiosmtpd (apt-get install python3-aiosmtpd)" >&2
        return 1
    fi
    DIR=$(mktemp -d "${TMPDIR:-/tmp}/quarvel-smtp.XXXXXX")
    mkdir -p "$DIR/posta" "$DIR/posta-starttls" "$DIR/posta-tls"
    chmod 1777 "$DIR/posta" "$DIR/posta-starttls" "$DIR/posta-tls"
    openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=127.0.0.1" \
        -addext "subjectAltName=IP:127.0.0.1,DNS:localhost" \
        -keyout "$DIR/chiave.pem" -out "$DIR/cert.pem" >/dev/null 2>&1 || {
        echo "smtp: openssl could not make the certificate" >&2
        return 1
    }
    server >"$DIR/server.py"
    PORT=$(free_port)
    PORT_TLS=$(free_port)
    while [[ "$PORT_TLS" == "$PORT" ]]; do PORT_TLS=$(free_port); done
    PORT_STARTTLS=$(free_port)
    while [[ "$PORT_STARTTLS" == "$PORT" || "$PORT_STARTTLS" == "$PORT_TLS" ]]; do
        PORT_STARTTLS=$(free_port)
    done
    touch "$DIR/accessi"
    "$PYTHON" "$DIR/server.py" "$DIR" "$PORT" "$PORT_TLS" "$PORT_STARTTLS" "$DIR/cert.pem" \
        "$DIR/chiave.pem" "$LOGIN" "$PASSWORD" >"$DIR/server.log" 2>&1 &
    PID=$!
    printf 'DIR=%q\nPORT=%q\nPORT_TLS=%q\nPORT_STARTTLS=%q\nPID=%q\n' "$DIR" "$PORT" \
        "$PORT_TLS" "$PORT_STARTTLS" "$PID" >"$STATE"
    local i
    for i in $(seq 1 100); do
        running && break
        kill -0 "$PID" 2>/dev/null || break
        sleep 0.1
    done
    if ! running; then
        echo "smtp: the server did not start" >&2
        cat "$DIR/server.log" >&2 2>/dev/null || true
        return 1
    fi
}

stop() {
    load_state
    if [[ -n "${PID:-}" ]] && kill -0 "$PID" 2>/dev/null; then
        kill -INT "$PID" 2>/dev/null || true
        for _ in $(seq 1 50); do
            kill -0 "$PID" 2>/dev/null || break
            sleep 0.1
        done
        kill "$PID" 2>/dev/null || true
    fi
    [[ -n "${DIR:-}" && -d "$DIR" ]] && rm -rf "$DIR"
    rm -f "$STATE"
}

env_lines() {
    load_state
    running || return 1
    cat <<ENV
export QUARVEL_SMTP_PORTA=$PORT
export QUARVEL_SMTP_PORTA_TLS=$PORT_TLS
export QUARVEL_SMTP_PORTA_STARTTLS=$PORT_STARTTLS
export QUARVEL_SMTP_POSTA=$DIR/posta
export QUARVEL_SMTP_POSTA_TLS=$DIR/posta-tls
export QUARVEL_SMTP_POSTA_STARTTLS=$DIR/posta-starttls
export QUARVEL_SMTP_ACCESSI=$DIR/accessi
export QUARVEL_SMTP_CERT=$DIR/cert.pem
export QUARVEL_SMTP_LOGIN=$LOGIN
export QUARVEL_SMTP_PWD=$PASSWORD
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
