#include "lifo/Cambio.h"

#include "suite/Sessione.h"
#include "suite/Utilita.h"

namespace quarvel {

namespace {

// A number as it is; a text read in the operator's format.
double Numero(const QVariant& v) {
    switch (v.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
        return v.toDouble();
    default:
        break;
    }
    if (!v.isValid() || v.isNull())
        return 0;
    return Utilita().TestoInNumero(v.toString());
}

double Cambio(const QVariant& importo, qint16 arrotonda, qint16 decimali, bool versoEuro) {
    const ContestoSessione& s = Sessione();
    const double valore = Numero(importo);
    const double cambio = Utilita().EVuoto(s.CambioLiraEuro) ? 0.0 : Numero(s.CambioLiraEuro);
    // The operator that divides: "/" on the way to euro, "*" on the way to lire.
    const QString divide = versoEuro ? QStringLiteral("/") : QStringLiteral("*");
    double risultato;
    // An operator not set is the default "/".
    const QString operatore =
        s.OperCambio.trimmed().isEmpty() ? QStringLiteral("/") : s.OperCambio.trimmed();
    if (operatore == divide)
        risultato = cambio == 0 ? valore : valore / cambio;
    else
        risultato = valore * cambio;
    if (arrotonda != 0)
        risultato =
            Utilita().Arrotonda(risultato, Tipo::Doppio, QStringLiteral("A"), 2, 1, 2, -decimali);
    return risultato;
}

} // namespace

double LireInEuro(const QVariant& importo, qint16 arrotonda, const qint16* decimali) {
    return Cambio(importo, arrotonda, decimali ? *decimali : Sessione().DecimaliEuro, true);
}

double EuroInLire(const QVariant& importo, qint16 arrotonda, const qint16* decimali) {
    return Cambio(importo, arrotonda, decimali ? *decimali : Sessione().DecimaliLira, false);
}

} // namespace quarvel
