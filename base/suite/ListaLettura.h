#pragma once
// A list read only: its columns as the operator laid them out and its rows
// in the list's order, read a few at a time.  The list-command object hands
// out the list of its grid (IListaComandi::Lista); printing a list and
// looking a value up in one read it through here, never through the grid's
// widgets.
//
// The total.  A long list is counted in the background after it opens:
// totaleNoto() tells without waiting whether the count is in, totale() waits
// for it.  righe() never needs the total: rows past those known so far are
// read on from the top, and the count is waited for only when the list's end
// was already read.
//
// The rows.  Each row holds the value of every column (hidden columns too,
// flagged in colonne()) and its text as the grid shows it (dates in the
// form's date format, numbers with the column's mask, a Null as no text).
// Rows are read as they are asked for: reading a long list in chunks keeps
// only a few windows of it in memory.  A row being edited gives its values
// as typed; the empty line for a new row is no row of the list.

#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QVector>

namespace quarvel {

struct ColonnaLettura {
    QString nome;         // the field's name in the list
    QString titolo;       // caption of its header
    int larghezza = 1440; // width in twips, as the form set it
    QString maschera;     // number mask (ApplicaFormato), empty for none
    bool visibile = true; // false: hidden from the operator
    int tipo = 8;         // kind as the suite numbers them (suite/Utilita.h Tipo)
};

struct RigaLettura {
    QVariantList valori; // one per column; a Null as a null QVariant
    QStringList testi;   // the same as the grid shows them
};

class IListaLettura {
public:
    virtual ~IListaLettura();

    virtual QVector<ColonnaLettura> colonne() const = 0;
    virtual bool totaleNoto() const = 0;
    // The rows of the list; waits for the count still running.
    virtual qint64 totale() = 0;
    // Up to quante rows from place da (0 for the first) in the list's
    // order; fewer at the end of the list, none past it.
    virtual QVector<RigaLettura> righe(qint64 da, int quante) = 0;
};

} // namespace quarvel
