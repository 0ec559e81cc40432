#pragma once
// Repair of a damaged SQLite database file.

#include <QString>

namespace quarvel::dati {

// Rebuilds the file into a new one holding every row that can still be read
// (table by table, row by row, past unreadable pages; the sqlite3 command's
// recovery when not even the schema can be read), keeps the damaged file
// beside it as "<file>.danneggiato-<yyyyMMdd-HHmmss>", and puts the rebuilt
// file in its place with an atomic rename.  0 when the rebuilt file passes
// PRAGMA integrity_check; 3343 when nothing could be rebuilt (the file is
// left as it was), 53 when the file is missing.
int RiparaFileSqlite(const QString& percorso);

} // namespace quarvel::dati
