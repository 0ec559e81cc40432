#pragma once
// The one place where the list talks to the engine's dialect and errors: the
// Access-dialect SQL of the forms translated for the engine, and an engine
// error turned into the program's numbered Errore.  Both go through the
// data-access component when it is in the process, else through the small
// built-in rules below (kept for the component's own tests and tools).

#include "suite/Errore.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QString>

namespace quarvel::listcmd {

// Numbers of the row-write failures the grid raises itself.
namespace NumErrLista {
inline constexpr int RigaCancellata = 3167;     // the row was deleted by another workstation
inline constexpr int RigaModificata = 3197;     // the row was changed by another workstation
inline constexpr int ValoreObbligatorio = 3314; // a required field is empty
inline constexpr int ValoreNonValido = 3421;    // data type conversion error
inline constexpr int NonAggiornabile = 3027;    // the list cannot be updated
} // namespace NumErrLista

QString Traduci(const QSqlDatabase& db, const QString& sql);
Errore ErroreMotore(const QSqlDatabase& db, const QSqlError& errore, const QString& sorgente);
bool EPostgres(const QSqlDatabase& db);

} // namespace quarvel::listcmd
