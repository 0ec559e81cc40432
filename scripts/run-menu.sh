#!/usr/bin/env bash
# Starts the suite's menu (quarvel-menu) on the demo company; the operator
# opens Quarvel's functions from its window.  Creates, when missing:
#   ~/.config/quarvel/belcor.ini        the main parameter file
#   ~/.config/quarvel/ditta-demo.ini    the second parameter file of the demo
#   ~/.config/quarvel/BelcorInst.ini    the installation file (QUARVEL_INSTALL_INI)
#   ~/.local/share/quarvel/ditta-demo.db the demo company (quarvel-menu --demo)
# Existing files are left as they are, so it can run any number of times.
#
# DITTA=<data source> (an ODBC data source of odbc.ini, a .dsn file or an
# "ODBC;..." text) starts the menu on that PostgreSQL company instead: its
# tables and the demo data are created first when the database has no tables
# (quarvel-ditta --demo --se-vuoto, as the user UTENTE, with the password of
# QUARVEL_DITTA_PWD or typed at the terminal).  The program logs in with the
# menu's SqlLogin and SqlPwd ([Valori] of ~/.config/quarvel/menu.ini), or the
# menu asks for them.  DITTA=<file.db> is an SQLite company, created with the
# demo data when missing.
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(dirname "$HERE")
# The build folder, absolute or relative to the repository.
BUILD=$(cd "$ROOT" && realpath -m "${1:-build}")
shift || true
MENU="$BUILD/components/menu/quarvel-menu"
QUARVEL="$BUILD/src/startup/quarvel"
DITTA_PROGRAMMA="$BUILD/components/data/quarvel-ditta"
DITTA=${DITTA:-}
UTENTE=${UTENTE:-}

if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
    cat >&2 <<'MSG'
make run: there is no display (neither DISPLAY nor WAYLAND_DISPLAY is set), so
the menu's window cannot appear.  Run it from a desktop session, over ssh -X,
or on a virtual display:
    xvfb-run -a make run          (xvfb-run: apt-get install xvfb xauth)
MSG
    exit 1
fi

CONF="${XDG_CONFIG_HOME:-$HOME/.config}/quarvel"
DATA="${XDG_DATA_HOME:-$HOME/.local/share}/quarvel"
# A folder that cannot be made or written: the menu is started all the same
# and tells the operator in a window which folder and why (its store lives
# there too); nothing else is written.
if ! errore=$( { mkdir -p "$CONF" "$DATA" && chmod 700 "$CONF" && [[ -w "$CONF" && -w "$DATA" ]]; } 2>&1); then
    echo "make run: the configuration folders $CONF and $DATA cannot be prepared${errore:+: $errore}" >&2
    "$MENU" --ditta "$DATA/ditta-demo.db" "$@" || true
    exit 1
fi

INI="$CONF/belcor.ini"
PARAM="$CONF/ditta-demo.ini"
INST="$CONF/BelcorInst.ini"
DB="$DATA/ditta-demo.db"
# A data source: no dot in its name, a .dsn file or an "ODBC;" text.
pg=0
if [[ -n "$DITTA" ]]; then
    if [[ "${DITTA:0:5}" =~ ^[Oo][Dd][Bb][Cc]\;$ || "$DITTA" != *.* || "$DITTA" == *.[Dd][Ss][Nn] ]]; then
        pg=1
    else
        DB=$(realpath -m "$DITTA")
    fi
fi

if [[ ! -e "$INI" ]]; then
    cat >"$INI" <<INI
[Parametri Generali]
OrdIniDBase=$PARAM
NumIni=0
VisParam=
BeepCome=

[Configurazioni]
FormatData=dd/mm/yyyy

[NomiParagLettFile]
Carmov=LettArtDafile

[Risoluzione Video]
Generale=0
PersBase=0
StaVid=-2
Help=-2
MsgCom=-2
INI
    echo "make run: created $INI"
fi

if [[ ! -e "$PARAM" ]]; then
    cat >"$PARAM" <<INI
[Connessioni]
NomeDB=$DB
DriveDB=
Connect=

[Base]
DirDB=
DirImgArt=${DB%.*}.immagini

[LettArtDafile]
Descr=Terminale: codice e quantita' a colonne fisse
FileOrigine=$DATA/terminale.txt
FissoSep=F
CodInizio=1
CodLung=20
QtaInizio=21
QtaLung=10
CancFile=N
INI
    echo "make run: created $PARAM"
fi

# A terminal file to try the load with ("Carica inventario" in row mode):
# barcodes and article codes of the demo company, one code it does not know.
if [[ ! -e "$DATA/terminale.txt" ]]; then
    printf '%-20s%10s\r\n' \
        8000000000019 12 8000000000026 5 ART000003 7 8000000000040 30 \
        ART000006 2 8000000000019 14 NONESISTE 1 >"$DATA/terminale.txt"
    echo "make run: created $DATA/terminale.txt (a terminal file to load)"
fi

if [[ ! -e "$INST" ]]; then
    printf '[Setup]\nIniPrincipale=%s\n' "$INI" >"$INST"
fi
export QUARVEL_INSTALL_INI="$INST"
export QUARVEL_PROGRAM="${QUARVEL_PROGRAM:-$QUARVEL}"

if ((pg)); then
    echo "make run: the company $DITTA (PostgreSQL): tables and demo data when the database has none"
    args=(--demo --se-vuoto --immagini "${DB%.*}.immagini")
    [[ -n "$UTENTE" ]] && args+=(--uid "$UTENTE")
    if ! "$DITTA_PROGRAMMA" "${args[@]}" "$DITTA"; then
        echo "make run: quarvel-ditta could not prepare $DITTA (see above)" >&2
        exit 1
    fi
    echo "make run: starting the menu on $DITTA (close its window to end)"
    exec "$MENU" --ini "$INI" --ditta "$DITTA" "$@"
fi
if [[ ! -e "$DB" ]]; then
    echo "make run: creating the demo company $DB"
fi
echo "make run: starting the menu (close its window to end)"
# --demo creates the demo company when it is missing and stores the company's
# values the program reads when they are missing.
exec "$MENU" --ini "$INI" --ditta "$DB" --demo "$@"
