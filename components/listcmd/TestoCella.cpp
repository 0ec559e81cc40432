#include "listcmd/TestoCella.h"

#include "listcmd/SqlLista.h"
#include "suite/Errore.h"
#include "suite/Utilita.h"
#include "utility/Utilita.h"

#include <QDate>
#include <QLocale>
#include <charconv>
#include <cmath>

namespace quarvel::listcmd {

namespace {

QLocale LocaleProgramma() {
    QLocale l;
    if (l.language() == QLocale::C)
        l = QLocale(QLocale::Italian, QLocale::Italy);
    return l;
}

bool Nullo(const QVariant& v) {
    return !v.isValid() || v.isNull();
}

// The utility object of the process; the suite's own where the program did
// not install one (the component's tests and tools).
const IUtilita& OggettoUtilita() {
    try {
        return Utilita();
    } catch (const Errore&) {
        static const UtilitaSuite propria;
        return propria;
    }
}

// A number in the operator's format with no mask: no grouping, the decimals
// it has.
QString NumeroSemplice(double d) {
    QLocale l = LocaleProgramma();
    // Below 10^15 the shortest digits are those of the C++ library, without
    // the locale's round trip (a long list's cells); beyond, the locale pads
    // with zeros where the library writes the exact value.
    thread_local QLocale noto(QLocale::C);
    thread_local bool cifreDirette = true;
    thread_local QChar virgola(u'.');
    if (!(l == noto)) {
        noto = l;
        cifreDirette = l.zeroDigit() == QLatin1String("0") &&
                       l.negativeSign() == QLatin1String("-") && l.decimalPoint().size() == 1;
        virgola = l.decimalPoint().at(0);
    }
    if (cifreDirette && std::fabs(d) < 1e15) {
        if (d == 0) // "-0" too
            return QStringLiteral("0");
        char cifre[64];
        const auto r = std::to_chars(cifre, cifre + sizeof cifre, d, std::chars_format::fixed);
        if (r.ec == std::errc()) {
            QString t = QString::fromLatin1(cifre, r.ptr - cifre);
            t.replace(QLatin1Char('.'), virgola);
            return t;
        }
    }
    l.setNumberOptions(QLocale::OmitGroupSeparator);
    return l.toString(d, 'f', QLocale::FloatingPointShortest);
}

} // namespace

bool ColonnaNumerica(int tipo) {
    return tipo == Tipo::Intero || tipo == Tipo::Lungo || tipo == Tipo::Singolo ||
           tipo == Tipo::Doppio || tipo == Tipo::Valuta;
}

QString FormatoDataQt(const QString& vb) {
    QString f = vb;
    f.replace(QLatin1String("mm"), QLatin1String("MM"));
    f.replace(QLatin1String("nn"), QLatin1String("mm"));
    f.replace(QLatin1String("hh:MM"), QLatin1String("hh:mm"));
    return f;
}

QString TestoVisibile(const QVariant& v, const ColonnaLista& col, const QString& formatoData) {
    if (Nullo(v))
        return {};
    if (col.tipo == Tipo::Data || v.typeId() == QMetaType::QDate ||
        v.typeId() == QMetaType::QDateTime) {
        QDate d = v.toDate();
        if (!d.isValid())
            d = QDate::fromString(v.toString().left(10), Qt::ISODate);
        return d.isValid() ? d.toString(formatoData) : v.toString();
    }
    // A computed column has no declared kind: a number in it takes the
    // column's mask all the same (an engine gives a whole 0 as an integer).
    const bool intero = v.typeId() == QMetaType::Int || v.typeId() == QMetaType::LongLong ||
                        v.typeId() == QMetaType::UInt || v.typeId() == QMetaType::ULongLong;
    if (ColonnaNumerica(col.tipo) || v.typeId() == QMetaType::Double ||
        (intero && !col.formato.isEmpty())) {
        bool ok = false;
        const double d = v.toDouble(&ok);
        if (!ok)
            return v.toString();
        if (!col.formato.isEmpty())
            return OggettoUtilita().ApplicaFormato(d, col.formato);
        return NumeroSemplice(d);
    }
    if (col.tipo == TipoBinario)
        return QStringLiteral("<binario>");
    return v.toString();
}

QString TestoModifica(const QVariant& v, const ColonnaLista& col, const QString& formatoData) {
    if (ColonnaNumerica(col.tipo) && !Nullo(v)) { // a Null number is no 0
        bool ok = false;
        const double d = v.toDouble(&ok);
        if (ok)
            return NumeroSemplice(d);
    }
    return TestoVisibile(v, col, formatoData);
}

QVariant DaTesto(const QString& testo, const ColonnaLista& col, const QString& formatoData,
                 bool* ok) {
    *ok = true;
    const QString t = testo.trimmed();
    if (t.isEmpty())
        return {};
    if (ColonnaNumerica(col.tipo)) {
        const QLocale l = LocaleProgramma();
        double d = l.toDouble(t, ok);
        if (!*ok)
            d = QLocale::c().toDouble(t, ok);
        if (!*ok) {
            QString s = t;
            s.remove(l.groupSeparator());
            d = l.toDouble(s, ok);
        }
        if (!*ok)
            return {};
        if (col.tipo == Tipo::Lungo || col.tipo == Tipo::Intero)
            return QVariant(qint64(std::llround(d)));
        return d;
    }
    if (col.tipo == Tipo::Data) {
        for (const QString& f : {formatoData, QStringLiteral("d/M/yyyy"), QStringLiteral("d/M/yy"),
                                 QStringLiteral("yyyy-MM-dd"), QStringLiteral("ddMMyyyy")}) {
            QDate d = QDate::fromString(t, f);
            if (d.isValid()) {
                if (d.year() < 1930 && f.endsWith(QLatin1String("yy")) &&
                    !f.endsWith(QLatin1String("yyyy")))
                    d = d.addYears(100);
                return d;
            }
        }
        *ok = false;
        return {};
    }
    return testo;
}

QString FormaAttesa(const ColonnaLista& col, const QString& formatoData) {
    const QLocale l = LocaleProgramma();
    if (col.tipo == Tipo::Lungo || col.tipo == Tipo::Intero)
        return QStringLiteral("un numero intero (per esempio %1)").arg(l.toString(1250));
    if (ColonnaNumerica(col.tipo))
        return QStringLiteral("un numero, con \"%1\" prima dei decimali (per esempio %2)")
            .arg(l.decimalPoint(), l.toString(1250.5, 'f', 2));
    if (col.tipo == Tipo::Data) {
        // the Qt format in the Italian letters the operator knows
        QString forma;
        for (const QChar c : formatoData) {
            if (c == QLatin1Char('d'))
                forma += QLatin1Char('g');
            else if (c == QLatin1Char('M'))
                forma += QLatin1Char('m');
            else if (c == QLatin1Char('y'))
                forma += QLatin1Char('a');
            else
                forma += c;
        }
        return QStringLiteral("una data nella forma %1 (per esempio %2)")
            .arg(forma, QDate(2024, 1, 31).toString(formatoData));
    }
    return QStringLiteral("un testo");
}

} // namespace quarvel::listcmd
