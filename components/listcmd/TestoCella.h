#pragma once
// A cell's value as the operator sees and types it: dates in the form's date
// format, numbers in the operator's format (with the column's mask through
// the utility object), binary columns as "<binario>".

#include <QString>
#include <QVariant>

namespace quarvel::listcmd {

struct ColonnaLista;

// A number column (the suite's integer, long, single, double, currency).
bool ColonnaNumerica(int tipo);
// "dd/mm/yyyy hh:nn:ss" (the suite's date masks) as a Qt date format.
QString FormatoDataQt(const QString& maschera);

// The text shown; a Null shows nothing.
QString TestoVisibile(const QVariant& v, const ColonnaLista& colonna, const QString& formatoData);
// The text the editor starts from: numbers without mask or grouping.
QString TestoModifica(const QVariant& v, const ColonnaLista& colonna, const QString& formatoData);
// A typed text as the column's value; ok false when it is none.
QVariant DaTesto(const QString& testo, const ColonnaLista& colonna, const QString& formatoData,
                 bool* ok);
// What the column takes, for the operator who typed something else: "una
// data nella forma gg/mm/aaaa (per esempio 31/01/2024)", "un numero intero".
QString FormaAttesa(const ColonnaLista& colonna, const QString& formatoData);

} // namespace quarvel::listcmd
