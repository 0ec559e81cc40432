#pragma once
// Lire and euro: an amount typed in one currency gives the other one with the
// company's fixed conversion (the session's CambioLiraEuro, OperCambio,
// DecimaliEuro, DecimaliLira).  With the defaults euro = lire / 1936.27 and
// lire = euro x 1936.27.

#include <QVariant>
#include <QtGlobal>

namespace quarvel {

// The amount (a number, or a text in the operator's format) in euro.  With a
// non-zero arrotonda the result is rounded to decimali places (the session's
// DecimaliEuro when not given).  No argument is changed.
double LireInEuro(const QVariant& importo, qint16 arrotonda, const qint16* decimali = nullptr);
// The amount in lire; decimali defaults to the session's DecimaliLira.
double EuroInLire(const QVariant& importo, qint16 arrotonda, const qint16* decimali = nullptr);

} // namespace quarvel
