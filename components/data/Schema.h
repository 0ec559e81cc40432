#pragma once
// The company database and the suite's common database: their tables on
// SQLite and PostgreSQL, and the demo company.
//
// Text columns ignore letter case in comparisons and keys (SQLite COLLATE
// NOCASE, PostgreSQL citext) and keep the spelling stored.  Quantities and
// amounts are double precision, dates are dates (SQLite: 'yyyy-MM-dd' text in
// a DATE column).

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

namespace quarvel::dati {

// The CREATE statements of the company's tables (and indexes) for the engine
// of the connection.
QStringList SchemaDitta(const QSqlDatabase& db);
// The common database: Appoggio.
QStringList SchemaComune(const QSqlDatabase& db);

// Creates the tables; with sostituisci the existing ones are dropped first.
// Raises Errore.
void CreaDitta(QSqlDatabase& db, bool sostituisci);
void CreaComune(QSqlDatabase& db, bool sostituisci);

// The indexes of the article descriptions' words that the description
// search reads, created when missing (CreaDitta makes them; a company made
// before them gets them here): on SQLite the trigram table ArticoliDescr,
// kept in step with Articoli by triggers; on PostgreSQL a GIN trigram index
// on Articoli.Descrizione, only when the database has the pg_trgm extension.
// Returns what it created (Italian, for the operator); raises Errore.
QStringList CompletaIndici(QSqlDatabase& db);

struct OpzioniDemo {
    qint64 righeInventario = 200; // counts of the latest inventory
    int magazzini = 4;
    quint32 seme = 20240303; // same seed, same company
};

// Fills an empty company with the demo data in one transaction:
// warehouses, level groups with their levels, articles with and without
// level groups (one with only the second group), barcodes, inactive
// articles, three inventory headers ("INV2023", "INV2024" with
// righeInventario counts, "INV2025" with none), LIFO layers (zero
// quantities too), the currencies "L." (0 decimals) and "Euro" (2), customers
// with e-mail addresses.
void GeneraDemo(QSqlDatabase& db, const OpzioniDemo& opzioni);
// The common database's demo record "PdfEmail".
void GeneraDemoComune(QSqlDatabase& db);

} // namespace quarvel::dati
