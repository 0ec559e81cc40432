#pragma once
// The data-access component on QtSql (SQLite files, PostgreSQL through
// unixODBC or Qt's native driver).  The start-up calls Registra() once; from
// then on suite/ComponenteDati.h's CreaComponenteDati, ApriDbMotore,
// TraduciSql, ErroreDaMotore and RiparaFileDatabase reach this component.

#include "suite/ComponenteDati.h"

#include <memory>

namespace quarvel::dati {

void Registra();

std::unique_ptr<IComponenteDati> NuovoComponente();

// A record set over the query on an open connection (the SQL text in the
// Access dialect; translated here).
std::unique_ptr<IRecordset> ApriRecordsetSu(const QSqlDatabase& db, const QString& sql);

} // namespace quarvel::dati
