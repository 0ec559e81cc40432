// The SQL literals the suite writes into statements, and the switches read
// from a command line or a parameter text.

#include "Conversioni.h"

#include "suite/Errore.h"
#include "suite/Utilita.h"

#include <QDate>
#include <QDateTime>
#include <QStringList>
#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace quarvel::utilita {

// ---------------------------------------------------------------------------
// SQL literals

namespace {

inline constexpr int ErroreOverflow = 6;

bool Nullo(const QVariant& v) {
    return !v.isValid() || v.isNull();
}

[[noreturn]] void NonDelTipo(const QVariant& v, int tipo) {
    throw Errore(NumErr::TipoNonCorrispondente,
                 QStringLiteral("Tipo non corrispondente: \"%1\" non è un valore del tipo %2")
                     .arg(v.toString().left(60))
                     .arg(tipo),
                 QStringLiteral("ValoreSql"));
}

QString Quotato(const QString& s) {
    if (s.contains(QChar(0)))
        throw Errore(NumErr::ChiamataNonValida,
                     QStringLiteral("Il testo contiene un carattere NUL: non può entrare in "
                                    "un'istruzione SQL"),
                     QStringLiteral("ValoreSql"));
    QString q = s;
    q.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + q + QLatin1Char('\'');
}

std::optional<double> Numero(const QVariant& v, const QLocale& loc) {
    switch (v.typeId()) {
    case QMetaType::Bool:
        return v.toBool() ? -1.0 : 0.0;
    case QMetaType::QString:
    case QMetaType::QByteArray:
    case QMetaType::QChar:
        return LeggiNumero(v.toString(), loc);
    default:
        break;
    }
    bool ok = false;
    const double d = v.toDouble(&ok);
    if (!ok)
        return std::nullopt;
    return d;
}

QString Data(const QVariant& v, const QLocale& loc) {
    QDateTime dt;
    if (v.typeId() == QMetaType::QDate) {
        dt = QDateTime(v.toDate(), QTime(0, 0));
    } else if (v.typeId() == QMetaType::QDateTime) {
        dt = v.toDateTime();
    } else if (v.typeId() == QMetaType::QString) {
        const QString t = v.toString().trimmed();
        const QString formati[] = {
            QStringLiteral("yyyy-MM-dd"),
            QStringLiteral("yyyy-MM-dd HH:mm:ss"),
            QStringLiteral("yyyy-MM-ddTHH:mm:ss"),
            QStringLiteral("d/M/yyyy"),
            QStringLiteral("d/M/yyyy H:mm:ss"),
            QStringLiteral("d/M/yyyy H:mm"),
            QStringLiteral("d-M-yyyy"),
            QStringLiteral("d.M.yyyy"),
        };
        for (const QString& f : formati) {
            dt = QDateTime::fromString(t, f);
            if (dt.isValid())
                break;
        }
        if (!dt.isValid()) {
            const QDate d = loc.toDate(t, QLocale::ShortFormat);
            if (d.isValid())
                dt = QDateTime(d, QTime(0, 0));
        }
    }
    if (!dt.isValid())
        NonDelTipo(v, Tipo::Data);
    QString s = dt.date().toString(QStringLiteral("yyyy-MM-dd"));
    if (dt.time() != QTime(0, 0))
        s += QLatin1Char(' ') + dt.time().toString(QStringLiteral("HH:mm:ss"));
    return QLatin1Char('\'') + s + QLatin1Char('\'');
}

QString Booleano(const QVariant& v, const QLocale& loc) {
    if (v.typeId() == QMetaType::Bool)
        return v.toBool() ? QStringLiteral("-1") : QStringLiteral("0");
    if (v.typeId() == QMetaType::QString) {
        const QString t = v.toString().trimmed().toLower();
        static const QStringList veri{"true", "vero", "s", "si", "sì", "yes", "y"};
        static const QStringList falsi{"false", "falso", "n", "no"};
        if (veri.contains(t))
            return QStringLiteral("-1");
        if (falsi.contains(t))
            return QStringLiteral("0");
    }
    const auto n = Numero(v, loc);
    if (!n)
        NonDelTipo(v, Tipo::Booleano);
    return *n != 0 ? QStringLiteral("-1") : QStringLiteral("0");
}

} // namespace

QString LetteraleSql(const QVariant& valore, int tipo, const QLocale& locale) {
    if (Nullo(valore))
        return QStringLiteral("NULL");
    const bool testoVuoto =
        valore.typeId() == QMetaType::QString && valore.toString().trimmed().isEmpty();
    switch (tipo) {
    case Tipo::Intero:
    case Tipo::Lungo: {
        if (testoVuoto)
            return QStringLiteral("NULL");
        const auto n = Numero(valore, locale);
        if (!n || !std::isfinite(*n))
            NonDelTipo(valore, tipo);
        const double r = std::round(*n);
        const double limite = tipo == Tipo::Intero ? 32768.0 : 2147483648.0;
        if (r < -limite || r > limite - 1)
            throw Errore(ErroreOverflow, QStringLiteral("Overflow"), QStringLiteral("ValoreSql"));
        return QString::number(static_cast<qint64>(r));
    }
    case Tipo::Singolo:
    case Tipo::Doppio:
    case Tipo::Valuta: {
        if (testoVuoto)
            return QStringLiteral("NULL");
        const auto n = Numero(valore, locale);
        if (!n)
            NonDelTipo(valore, tipo);
        if (!std::isfinite(*n))
            throw Errore(ErroreOverflow, QStringLiteral("Overflow"), QStringLiteral("ValoreSql"));
        if (tipo == Tipo::Singolo) {
            // The digits the single holds ("0.1", not "0.100000001490116").
            const float f = static_cast<float>(*n);
            if (!std::isfinite(f))
                throw Errore(ErroreOverflow, QStringLiteral("Overflow"),
                             QStringLiteral("ValoreSql"));
            char buf[128];
            const auto r = std::to_chars(buf, buf + sizeof buf, f, std::chars_format::fixed);
            return TestoPiano(
                LeggiNumero(QString::fromLatin1(buf, r.ptr - buf), QLocale::c(), false)
                    .value_or(0));
        }
        return TestoPiano(*n);
    }
    case Tipo::Data:
        if (testoVuoto)
            return QStringLiteral("NULL");
        return Data(valore, locale);
    case Tipo::Booleano:
        if (testoVuoto)
            return QStringLiteral("NULL");
        return Booleano(valore, locale);
    default: // 8 and any other kind: a text literal
        if (valore.typeId() == QMetaType::Double)
            return Quotato(TestoPiano(valore.toDouble()));
        if (valore.typeId() == QMetaType::QDate)
            return Quotato(valore.toDate().toString(QStringLiteral("yyyy-MM-dd")));
        if (valore.typeId() == QMetaType::Bool)
            return Quotato(valore.toBool() ? QStringLiteral("-1") : QStringLiteral("0"));
        return Quotato(valore.toString());
    }
}

// ---------------------------------------------------------------------------
// Switches

namespace {

bool InizioOpzione(const QString& t, qsizetype i) {
    // A blank, then "/" and a letter.
    return i + 2 < t.size() && t[i].isSpace() && t[i + 1] == QLatin1Char('/') &&
           t[i + 2].isLetter();
}

} // namespace

PosizioneOpzione TrovaOpzione(const QString& testo, const QString& lettere) {
    PosizioneOpzione p;
    if (lettere.isEmpty())
        return p;
    const qsizetype n = testo.size();
    const qsizetype l = lettere.size();
    bool virgolette = false;
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = testo[i];
        if (c == QLatin1Char('"')) {
            virgolette = !virgolette;
            continue;
        }
        if (virgolette || c != QLatin1Char('/') || (i > 0 && !testo[i - 1].isSpace()))
            continue;
        if (i + 1 + l > n ||
            QStringView(testo).mid(i + 1, l).compare(lettere, Qt::CaseInsensitive) != 0)
            continue;
        p.inizioSwitch = i;
        p.inizioValore = i + 1 + l;
        qsizetype e = p.inizioValore;
        bool q = false;
        for (; e < n; ++e) {
            if (testo[e] == QLatin1Char('"'))
                q = !q;
            else if (!q && InizioOpzione(testo, e))
                break;
        }
        p.fineValore = e;
        return p;
    }
    return p;
}

QString ValoreOpzione(const QString& testo, const QString& lettere) {
    const PosizioneOpzione p = TrovaOpzione(testo, lettere);
    if (!p.trovata())
        return {};
    QString v = testo.mid(p.inizioValore, p.fineValore - p.inizioValore);
    v.remove(QLatin1Char('"'));
    v = v.trimmed();
    if (v.isEmpty() && lettere.size() >= 2 &&
        QStringView(testo).mid(p.inizioValore, p.fineValore - p.inizioValore).trimmed().isEmpty())
        return testo.mid(p.inizioSwitch, 1 + lettere.size());
    return v;
}

} // namespace quarvel::utilita
