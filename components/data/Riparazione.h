#pragma once
// Repair of a damaged SQLite database file.

#include <QString>

namespace quarvel::dati {

// Rebuilds the file into a new one holding every row that can still be read
// (table by table, row by row, past unreadable pages; the sqlite3 command's
// recovery when not even the schema can be read), keeps the damaged file
// beside it as "<file>.danneggiato-<yyyyMMdd-HHmmss>", and puts the rebuilt
// file in its place with an atomic rename, with the mode and owner of the
// damaged file and written to disk before the rename.
//
// The damaged file's schema is data, not trusted SQL: only single CREATE
// TABLE / INDEX / VIEW / TRIGGER statements are taken from it (and from the
// recovery's output, besides the INSERTs of rows into the tables), one at a
// time, on a connection that can attach nothing and runs in defensive mode.
//
// The file is held with SQLite's exclusive lock for the whole repair: while
// another connection (another workstation, or this program) has it open the
// repair is refused and nothing is touched.
//
// 0 when the rebuilt file passes PRAGMA integrity_check.  Otherwise the file
// is left as it was, the current error (Err()) holds the reason in words for
// the operator, and the number is returned: 53 missing file, 3260 file in
// use, 3051 a file or folder that cannot be written, 3343 nothing could be
// rebuilt.
int RiparaFileSqlite(const QString& percorso);

} // namespace quarvel::dati
