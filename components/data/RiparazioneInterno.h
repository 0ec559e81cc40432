#pragma once

// Shared between the repair's files: the handles of the SQLite library and
// the guard over the statements taken from the damaged file.

#include <QByteArray>

#include <sqlite3.h>

#include <memory>
#include <vector>

namespace quarvel::dati::riparazione {

struct ChiudiDb {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
struct ChiudiSt {
    void operator()(sqlite3_stmt* st) const { sqlite3_finalize(st); }
};
using Db = std::unique_ptr<sqlite3, ChiudiDb>;
using St = std::unique_ptr<sqlite3_stmt, ChiudiSt>;

// What the statements taken from the damaged file may do on the new file.
// The authorizer is asked while a statement is prepared (and prepared
// again), so the mode is set around the whole run of each statement.
enum class Modo { Nostro, Schema, Righe };

struct Guardia {
    Modo modo = Modo::Nostro;
};

// The authorizer set on the new file while the damaged file's statements run.
int Autorizza(void* dati, int azione, const char* a1, const char* a2, const char* db,
              const char* origine);

// Runs one statement taken from the damaged file when it is a single
// statement of the kind expected ("table" ... "insert"; empty: any of them).
bool EseguiEstranea(sqlite3* db, Guardia& g, const QByteArray& sql, const QByteArray& atteso);

// The statements of an SQL text one by one.
std::vector<QByteArray> Istruzioni(const QByteArray& testo);

} // namespace quarvel::dati::riparazione
