#pragma once
// The path layer: every path that comes from a parameter file, the menu or a
// command line goes through here before it touches the disk.
//
//  - Backslashes become slashes; repeated separators collapse to one.
//  - A drive letter ("D:\dati\ditta.db", "d:dati") maps to a root folder set
//    per letter by the environment variable QUARVEL_DRIVE_<LETTER>
//    (QUARVEL_DRIVE_D=/srv/dati).  Without it, C: is the file-system root and
//    any other letter is /mnt/<letter>.
//  - A network path ("\\server\share\x") maps under QUARVEL_UNC_ROOT
//    (default /mnt): /mnt/server/share/x.
//  - A POSIX path passes unchanged.
//
// The installation file that tells where the main parameter file is lives at
// /etc/belcor/BelcorInst.ini; QUARVEL_INSTALL_INI overrides it (tests do).

#include <QString>

namespace quarvel {

QString PercorsoLocale(const QString& percorso);

// The root folder a drive letter maps to ("C" -> "/").
QString RadiceUnita(QChar lettera);

QString FileInstallazione();

// The folder of the running executable.
QString CartellaApplicazione();

// Joins a folder and a name with exactly one separator; an empty folder gives
// the name alone.
QString UnisciPercorso(const QString& cartella, const QString& nome);

} // namespace quarvel
