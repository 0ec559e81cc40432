// Switches of a command line and the text-to-number conversions on arbitrary
// bytes.  Input: one byte giving the length (0-3) of the switch letters, the
// letters, then the text.  Checks, besides "no crash, no hang":
//  - the value of a found switch never holds the next switch, and ends where
//    a switch or the text ends;
//  - a value written after its switch comes back as written (trimmed);
//  - a number read back from its plain text or from its mask is the same;
//  - an SQL text literal un-doubles to the original text.

#include "suite/Errore.h"
#include "suite/Utilita.h"
#include "utility/Conversioni.h"

#include <QLocale>
#include <QString>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace quarvel;

namespace {

[[noreturn]] void Falla(const char* cosa, const QString& a = {}, const QString& b = {}) {
    std::fprintf(stderr, "invariant broken: %s\n  [%s]\n  [%s]\n", cosa, qPrintable(a),
                 qPrintable(b));
    std::abort();
}

bool InizioSwitch(const QString& t, qsizetype i) {
    return i + 2 < t.size() && t[i].isSpace() && t[i + 1] == QLatin1Char('/') &&
           t[i + 2].isLetter();
}

bool LettereAscii(const QString& l) {
    if (l.isEmpty())
        return false;
    for (QChar c : l)
        if (!((c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
              (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))))
            return false;
    return true;
}

void Opzioni(const QString& testo, const QString& lettere) {
    const QString v = utilita::ValoreOpzione(testo, lettere);
    const utilita::PosizioneOpzione p = utilita::TrovaOpzione(testo, lettere);
    if (!p.trovata()) {
        if (!v.isEmpty())
            Falla("a value without a switch", testo, v);
        return;
    }
    if (!(p.inizioSwitch < p.inizioValore && p.inizioValore <= p.fineValore &&
          p.fineValore <= testo.size()))
        Falla("positions out of order", testo);
    if (testo[p.inizioSwitch] != QLatin1Char('/') ||
        QStringView(testo)
                .mid(p.inizioSwitch + 1, lettere.size())
                .compare(lettere, Qt::CaseInsensitive) != 0)
        Falla("the switch found is not the one asked", testo, lettere);
    if (p.fineValore != testo.size() && !InizioSwitch(testo, p.fineValore))
        Falla("the value ends where no switch begins", testo);
    const QString grezzo = testo.mid(p.inizioValore, p.fineValore - p.inizioValore);
    bool virgolette = false;
    for (qsizetype i = 0; i < grezzo.size(); ++i) {
        if (grezzo[i] == QLatin1Char('"'))
            virgolette = !virgolette;
        else if (!virgolette && InizioSwitch(grezzo, i))
            Falla("the value holds the next switch", testo, grezzo);
    }
    QString atteso = grezzo;
    atteso.remove(QLatin1Char('"'));
    atteso = atteso.trimmed();
    if (v != atteso && v != QLatin1Char('/') + testo.mid(p.inizioSwitch + 1, lettere.size()))
        Falla("value differs from the text after the switch", testo, v);
}

// The value written after its switch, then another switch: the same value back.
void AndataRitorno(const QString& testo, const QString& lettere) {
    if (!LettereAscii(lettere))
        return;
    QString valore = testo;
    valore.remove(QLatin1Char('"'));
    for (qsizetype i = 0; i + 1 < valore.size(); ++i)
        if (valore[i].isSpace() && valore[i + 1] == QLatin1Char('/'))
            valore[i + 1] = QLatin1Char('|');
    const QString t = valore.trimmed();
    const QString riga = QLatin1Char('/') + lettere + valore + QStringLiteral(" /Zfine");
    const QString letto = utilita::ValoreOpzione(riga, lettere);
    const QString atteso = !t.isEmpty()          ? t
                           : lettere.size() >= 2 ? QLatin1Char('/') + lettere
                                                 : QString();
    if (letto != atteso)
        Falla("plain value not read back", riga, letto);

    // Quoted, the value may hold blanks, slashes and " /X".
    QString grezzo = testo;
    grezzo.remove(QLatin1Char('"'));
    const QString rigaQ =
        QLatin1Char('/') + lettere + QLatin1Char('"') + grezzo + QStringLiteral("\" /Zfine");
    const QString lettoQ = utilita::ValoreOpzione(rigaQ, lettere);
    if (lettoQ != grezzo.trimmed())
        Falla("quoted value not read back", rigaQ, lettoQ);
}

void Numeri(const QString& testo) {
    static const QLocale it(QLocale::Italian, QLocale::Italy);
    static const QLocale en(QLocale::English, QLocale::UnitedStates);
    for (const QLocale* loc : {&it, &en}) {
        const auto n = utilita::LeggiNumero(testo, *loc);
        if (!n)
            continue;
        if (!std::isfinite(*n))
            Falla("a number that is not finite", testo);
        const QString piano = utilita::TestoPiano(*n);
        const auto indietro = utilita::LeggiNumero(piano, QLocale::c(), false);
        if (!indietro || *indietro != *n)
            Falla("plain text does not read back", testo, piano);
        const QString mascherato = utilita::ApplicaMaschera(*n, QStringLiteral("#,##0.00"), *loc);
        const auto daMaschera = utilita::LeggiNumero(mascherato, *loc);
        const double arrotondato = utilita::ArrotondaDecimali(*n, 2, utilita::Modo::MetaVia);
        if (!daMaschera || *daMaschera != arrotondato)
            Falla("masked text does not read back", testo, mascherato);
        try {
            utilita::LetteraleSql(*n, Tipo::Doppio, *loc);
        } catch (const Errore&) {
            Falla("a finite number refused as SQL", testo);
        }
    }
    // The text as a mask: anything goes, nothing may crash.
    if (testo.size() < 64)
        (void)utilita::ApplicaMaschera(-1234.5678, testo, it);
}

void Sql(const QString& testo) {
    QString lit;
    try {
        lit = utilita::LetteraleSql(testo, Tipo::Testo, QLocale::c());
    } catch (const Errore&) {
        if (!testo.contains(QChar(0)))
            Falla("text refused as SQL", testo);
        return;
    }
    if (lit.size() < 2 || !lit.startsWith(QLatin1Char('\'')) || !lit.endsWith(QLatin1Char('\'')))
        Falla("literal not quoted", testo, lit);
    const QString dentro = lit.mid(1, lit.size() - 2);
    for (qsizetype i = 0; i < dentro.size(); ++i)
        if (dentro[i] == QLatin1Char('\'') &&
            (i + 1 >= dentro.size() || dentro[++i] != QLatin1Char('\'')))
            Falla("a lone quote inside the literal", testo, lit);
    QString tolto = dentro;
    tolto.replace(QStringLiteral("''"), QStringLiteral("'"));
    if (tolto != testo)
        Falla("literal does not give the text back", testo, lit);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* dati, size_t dimensione) {
    if (dimensione < 1)
        return 0;
    const size_t nl = dati[0] % 4;
    if (dimensione < 1 + nl)
        return 0;
    const auto* c = reinterpret_cast<const char*>(dati);
    const QString lettere = QString::fromUtf8(c + 1, static_cast<qsizetype>(nl));
    const QString testo =
        QString::fromUtf8(c + 1 + nl, static_cast<qsizetype>(dimensione - 1 - nl));
    Opzioni(testo, lettere);
    AndataRitorno(testo, lettere);
    Numeri(testo);
    Sql(testo);
    return 0;
}
