#include "MotoriProva.h"

namespace prova {

const char* NomeMotore(Motore m) {
    switch (m) {
    case Motore::Sqlite:
        return "sqlite";
    case Motore::Postgres:
        return "postgres";
    case Motore::Odbc:
        return "odbc";
    }
    return "?";
}

void MotoriProva::Colonna() {
    QTest::addColumn<Motore>("motore");
}

void MotoriProva::Righe(const QList<Motore>& motori) {
    Colonna();
    for (Motore m : motori)
        QTest::newRow(NomeMotore(m)) << m;
    if (!motori.isEmpty())
        s_primo = motori.constFirst();
}

Motore MotoriProva::Corrente() {
    QFETCH_GLOBAL(Motore, motore);
    return motore;
}

bool MotoriProva::PrimaRiga() {
    return Corrente() == s_primo;
}

} // namespace prova
