#!/usr/bin/env bash
# Installs the Debian packages Quarvel needs.
#   scripts/bootstrap.sh run    to build and run the program (make run, make install)
#   scripts/bootstrap.sh test   that, and what only the tests need: the
#                               PostgreSQL server, the virtual display and its
#                               tools, the fuzzing compiler, a printer to PDF
# Without an argument: test.  Idempotent: when every package is already there
# it only checks and returns.
# Every program, Python module and library the tests and scripts use has a row
# in scripts/bootstrap-strumenti.txt naming the package below that brings it
# (the test "strumenti" checks).
set -euo pipefail

RUN_PACKAGES=(
    # build
    build-essential cmake ninja-build ccache pkg-config python3
    qt6-base-dev qt6-base-dev-tools qt6-multimedia-dev libgl-dev
    # Qt's own dialogs and buttons in Italian (qtbase_it.qm)
    qt6-translations-l10n
    libqt6sql6-sqlite libqt6sql6-odbc libqt6sql6-psql
    # databases: SQLite files, PostgreSQL through unixODBC and psqlODBC
    sqlite3 libsqlite3-dev unixodbc unixodbc-dev odbc-postgresql
    # printing, spreadsheets, mail
    libcups2-dev cups-client libxlsxwriter-dev libcurl4-openssl-dev
    # the desktop session the programs talk over
    dbus fonts-dejavu-core gstreamer1.0-plugins-base
)
TEST_PACKAGES=(
    # the throwaway PostgreSQL server (citext is in postgresql-contrib) and psql
    postgresql postgresql-contrib
    # the fuzzing and sanitizer builds
    clang libclang-rt-14-dev
    # a printer to print to in the tests, and the PDF readers that check its pages
    cups cups-bsd printer-driver-cups-pdf poppler-utils
    # the virtual display, keys and screenshots of the end-to-end tests
    dbus-x11 xvfb xauth xdotool x11-apps imagemagick desktop-file-utils
    # a window manager, whose frames the windows must fit on screen with
    openbox x11-utils
    # the mail server the e-mail tests send through, and its certificate
    python3-aiosmtpd openssl
    # the reader of the workbooks the print writes
    python3-openpyxl
    # the Debian package's checker
    lintian
    # the benchmarks' arithmetic
    bc
)

case "${1:-test}" in
run) PACKAGES=("${RUN_PACKAGES[@]}") ;;
test) PACKAGES=("${RUN_PACKAGES[@]}" "${TEST_PACKAGES[@]}") ;;
*)
    echo "usage: $0 [run|test]" >&2
    exit 2
    ;;
esac

missing=()
for p in "${PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if ((${#missing[@]} == 0)); then
    exit 0
fi

echo "bootstrap: installing ${missing[*]}"
if [[ $(id -u) -ne 0 ]]; then
    SUDO=sudo
else
    SUDO=
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
