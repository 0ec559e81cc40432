#pragma once
// The grid's list read only (suite/ListaLettura.h): the columns as the form
// laid them out in the grid, the rows from the grid's record set in its
// order, the rows written here at their places.

#include "suite/ListaLettura.h"

namespace quarvel::listcmd {

class Griglia;

class ListaGriglia final : public IListaLettura {
public:
    explicit ListaGriglia(Griglia* griglia) : m_griglia(griglia) {}

    QVector<ColonnaLettura> colonne() const override;
    bool totaleNoto() const override;
    qint64 totale() override;
    QVector<RigaLettura> righe(qint64 da, int quante) override;

private:
    Griglia* m_griglia;
};

} // namespace quarvel::listcmd
