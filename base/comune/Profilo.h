#pragma once
// Profile files ("ini" files) with the semantics of the Windows profile
// functions the suite was written against:
//  - sections and keys compared without regard to case; the first occurrence
//    of a section or key wins;
//  - values trimmed of blanks, and unquoted when wrapped in one pair of
//    double or single quotes;
//  - a write edits the file in place: every other line stays byte for byte as
//    it was; a new key goes at the end of its section, a new section at the end
//    of the file;
//  - files are read as UTF-8, or as Windows-1252 when they are not valid
//    UTF-8, and written back in the encoding and line ends they came in (a new
//    file is UTF-8 with LF);
//  - a missing file reads as empty; a write creates it;
//  - every write replaces the file atomically (a temporary file beside it,
//    then a rename), so a reader never sees a half-written file;
//  - a write is one read-modify-write under an exclusive lock on
//    "<file>.lock" beside the file (flock; the lock file is removed when the
//    write is over), so two processes or threads writing the same file do not
//    lose each other's keys.  Readers take no lock: they see the old file or
//    the new one.  A write that cannot have the lock within the waiting time
//    fails;
//  - a new section goes at the end of the file with no blank line before it,
//    as Windows writes it; a last line without a line end gets one first.
// A file once read is kept parsed in memory (per path, for the whole
// process) and read again only when it changed on disk: another device,
// inode, size, modification or status-change time.  A file changed so
// recently that its times may not yet tell the next change apart has its
// bytes compared again before the parsed copy is trusted.
// Paths are local paths (suite/Percorsi.h turns Windows paths into them).

#include <QString>
#include <QStringList>
#include <chrono>
#include <optional>

namespace quarvel::profilo {

// The value of a key; nullopt when the key (or the file) is missing.
std::optional<QString> LeggiValore(const QString& file, const QString& sezione,
                                   const QString& chiave);

// GetPrivateProfileInt: the leading decimal digits of the value (a leading
// minus sign allowed); the default when the key is missing; 0 when the value
// does not start with a digit.
int LeggiIntero(const QString& file, const QString& sezione, const QString& chiave,
                int predefinito);

// Every section name in file order.
QStringList NomiSezioni(const QString& file);

// GetPrivateProfileSectionNames into a buffer of `dimensione` characters: the
// names, each followed by NUL, and a final NUL.  When they do not fit, the
// buffer holds as many as fit (the last one cut) and the result is
// dimensione - 2; otherwise the result is the number of characters copied,
// the final NUL excluded.
int NomiSezioniBuffer(const QString& file, QString& buffer, int dimensione);

// WritePrivateProfileString: writes the key; a missing chiave deletes the
// whole section; a missing valore deletes the key.  False when the file
// cannot be written (missing or read-only folder, read-only file, lock held
// by another writer for longer than the waiting time, ...): then the file is
// as it was and UltimoErrore() tells why.
bool Scrivi(const QString& file, const QString& sezione, const std::optional<QString>& chiave,
            const std::optional<QString>& valore);

// Why the last Scrivi of the calling thread failed, in words for the
// operator; empty after a write that succeeded.
QString UltimoErrore();

// Why the file cannot be read, in words for the operator ("permesso
// negato", "è una cartella"); empty when it can be read or does not exist.
QString ErroreLettura(const QString& file);

// How long a write waits for another writer of the same file to finish
// (10 seconds unless changed).  Process-wide.
void ImpostaAttesaBlocco(std::chrono::milliseconds attesa);
std::chrono::milliseconds AttesaBlocco();

// How many times this process has read and parsed a whole file: reads of a
// file that did not change share one parse.
quint64 FileAnalizzati();

} // namespace quarvel::profilo
