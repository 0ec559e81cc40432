#pragma once
// What the files of the record set share: the forward read kept between
// calls, and how two values of a cell and a table's name compare.

#include "listcmd/ModelloRighe.h"
#include "listcmd/Motore.h"

#include <QSqlQuery>

#include <vector>

namespace quarvel::listcmd {

struct ModelloRighe::LetturaAvanti {
    explicit LetturaAvanti(const QSqlDatabase& db) : q(db) {}
    QSqlQuery q;
    qint64 prossima = 0;
    quint64 generazione = 0;
};

struct ModelloRighe::ValoriOrdine {
    bool usabili = false;
    std::vector<double> valori; // ascending, Nulls apart
    qint64 nulli = 0;
};

namespace dettaglio {

// No value: a Null read from the database (a valid QVariant holding no value)
// as much as a cell never set or emptied by the operator (an invalid one).
inline bool Nullo(const QVariant& v) {
    return !v.isValid() || v.isNull();
}

// Two values of a cell are the same, Null being the same as Null only.
inline bool StessoValore(const QVariant& a, const QVariant& b) {
    if (Nullo(a) || Nullo(b))
        return Nullo(a) && Nullo(b);
    return a.toString() == b.toString();
}

// A table's name as the engine keeps it (PostgreSQL: unquoted names in lower case).
inline QString NomeTabella(const QSqlDatabase& db, const QString& tabella) {
    return EPostgres(db) ? tabella.toLower() : tabella;
}

} // namespace dettaglio

} // namespace quarvel::listcmd
