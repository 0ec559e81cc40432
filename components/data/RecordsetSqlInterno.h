#pragma once

// Shared between the component's files: the record sets reading a result row
// by row, and the columns read from the catalog per opening of a connection.

#include <QSqlDatabase>
#include <QtGlobal>

namespace quarvel::dati {

class RecordsetSql;

// Before a statement on db: the record sets reading on it (but tranne) read
// their remaining rows.
void LiberaConnessione(const QSqlDatabase& db, const RecordsetSql* tranne = nullptr);

// Forgets the tables' columns read for one opening of a connection.
void DimenticaColonne(quint64 serie);

} // namespace quarvel::dati
