#pragma once
// A list held in memory behind the read-only list interface, for the tests
// of the writers' rules (texts with separators and quotes, Nulls, numbers
// with and without their mask); the real grid's list is printed by the
// tests that open one on a database.

#include "suite/ListaLettura.h"

namespace prova {

class ListaMemoria : public quarvel::IListaLettura {
public:
    QVector<quarvel::ColonnaLettura> colonne_;
    QVector<quarvel::RigaLettura> righe_;
    int letture = 0; // calls of righe()

    QVector<quarvel::ColonnaLettura> colonne() const override { return colonne_; }
    bool totaleNoto() const override { return true; }
    qint64 totale() override { return righe_.size(); }
    QVector<quarvel::RigaLettura> righe(qint64 da, int quante) override {
        ++letture;
        if (da < 0 || da >= righe_.size())
            return {};
        return righe_.mid(int(da), quante);
    }
};

} // namespace prova
