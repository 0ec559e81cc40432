#pragma once
// The grid's list read only (suite/ListaLettura.h): the columns as the form
// laid them out in the grid, the rows from the grid's record set in its
// order, the rows written here at their places.  It reads the record set
// and asks the grid only for the layout of a column, so it knows nothing of
// the grid's class.

#include "suite/ListaLettura.h"

#include <functional>

namespace quarvel::listcmd {

class ModelloRighe;

class ListaGriglia final : public IListaLettura {
public:
    // Sets the caption, width and visibility of column i as the form laid
    // them out in the grid.
    using Disposizione = std::function<void(int i, ColonnaLettura& c)>;

    ListaGriglia(ModelloRighe* modello, Disposizione disposizione)
        : m_modello(modello), m_disposizione(std::move(disposizione)) {}

    QVector<ColonnaLettura> colonne() const override;
    bool totaleNoto() const override;
    qint64 totale() override;
    QVector<RigaLettura> righe(qint64 da, int quante) override;

private:
    ModelloRighe* m_modello;
    Disposizione m_disposizione;
};

} // namespace quarvel::listcmd
