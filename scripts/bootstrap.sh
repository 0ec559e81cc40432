#!/usr/bin/env bash
# Installs the Debian packages Quarvel needs to build, run and test.
# Idempotent: when every package is already there it only checks and returns.
set -euo pipefail

PACKAGES=(
    # build
    build-essential cmake ninja-build ccache pkg-config clang libclang-rt-14-dev python3
    qt6-base-dev qt6-base-dev-tools qt6-multimedia-dev libgl-dev
    libqt6sql6-sqlite libqt6sql6-odbc libqt6sql6-psql
    # databases: SQLite files, PostgreSQL through unixODBC and psqlODBC
    sqlite3 libsqlite3-dev unixodbc unixodbc-dev odbc-postgresql bc
    postgresql postgresql-contrib
    # printing, spreadsheets, mail
    libcups2-dev cups cups-bsd cups-client printer-driver-cups-pdf
    libxlsxwriter-dev libcurl4-openssl-dev poppler-utils python3-openpyxl
    # desktop session for the programs and the end-to-end tests
    dbus dbus-x11 xvfb xauth xdotool x11-apps imagemagick fonts-dejavu-core
    gstreamer1.0-plugins-base
)

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
