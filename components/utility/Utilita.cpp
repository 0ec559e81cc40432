#include "Utilita.h"

#include "Conversioni.h"
#include "comune/Profilo.h"
#include "suite/ComponenteDati.h"
#include "suite/Errore.h"
#include "suite/Percorsi.h"

#include <QFileInfo>
#include <cmath>
#include <limits>
#include <memory>

namespace quarvel {

namespace {

std::unique_ptr<UtilitaSuite>& Istanza() {
    static std::unique_ptr<UtilitaSuite> u;
    return u;
}

IUtilita* Fabbrica() {
    auto& u = Istanza();
    if (!u)
        u = std::make_unique<UtilitaSuite>();
    return u.get();
}

bool Nullo(const QVariant& v) {
    return !v.isValid() || v.isNull();
}

// A whole number of the text rounded half away from zero, in [minimo, massimo];
// 0 for no number, a number out of range or (rigido) a number with decimals.
qint64 Intero(const QString& testo, bool formatoUtente, bool rigido, qint64 minimo,
              qint64 massimo) {
    const auto n = utilita::LeggiNumero(testo, utilita::LocaleOperatore(), formatoUtente);
    if (!n)
        return 0;
    if (rigido && std::trunc(*n) != *n)
        return 0;
    const double r = std::round(*n);
    if (r < static_cast<double>(minimo) || r > static_cast<double>(massimo))
        return 0;
    return static_cast<qint64>(r);
}

// "D", "d:", "D:\" -> "D:"; anything else as it stands.
QString Unita(const QString& u) {
    const QString t = u.trimmed();
    if (t.size() == 1 && t.at(0).isLetter() && t.at(0).unicode() < 128)
        return t + QLatin1Char(':');
    if (t.size() >= 2 && t.at(1) == QLatin1Char(':') && t.at(0).isLetter() &&
        t.at(0).unicode() < 128 &&
        t.mid(2).trimmed().remove(QLatin1Char('\\')).remove(QLatin1Char('/')).isEmpty())
        return t.left(2);
    return t;
}

// A path that stands on its own: drive letter, network path or POSIX root.
bool Assoluto(const QString& p) {
    if (p.size() >= 2 && p.at(1) == QLatin1Char(':') && p.at(0).isLetter() &&
        p.at(0).unicode() < 128)
        return true;
    return p.startsWith(QLatin1String("\\\\")) || p.startsWith(QLatin1Char('/'));
}

} // namespace

void InstallaUtilita() {
    RegistraFabbricaUtilita(&Fabbrica);
    ImpostaUtilita(Fabbrica());
}

bool UtilitaSuite::EVuoto(const QVariant& valore, int, int, bool rigido) const {
    if (Nullo(valore))
        return true;
    const int t = valore.typeId();
    if (t != QMetaType::QString && t != QMetaType::QByteArray && t != QMetaType::QChar)
        return false; // a number, a date or a flag is never empty
    const QString s = valore.toString();
    return rigido ? s.isEmpty() : s.trimmed().isEmpty();
}

qint16 UtilitaSuite::TestoInIntero(const QString& testo, bool formatoUtente, bool rigido) const {
    return static_cast<qint16>(Intero(testo, formatoUtente, rigido,
                                      std::numeric_limits<qint16>::min(),
                                      std::numeric_limits<qint16>::max()));
}

double UtilitaSuite::TestoInNumero(const QString& testo, bool formatoUtente) const {
    return utilita::LeggiNumero(testo, utilita::LocaleOperatore(), formatoUtente).value_or(0);
}

qint32 UtilitaSuite::TestoInLungo(const QString& testo, bool formatoUtente) const {
    return static_cast<qint32>(Intero(testo, formatoUtente, false,
                                      std::numeric_limits<qint32>::min(),
                                      std::numeric_limits<qint32>::max()));
}

float UtilitaSuite::TestoInSingolo(const QString& testo, bool formatoUtente) const {
    const double d = TestoInNumero(testo, formatoUtente);
    const float f = static_cast<float>(d);
    return std::isfinite(f) ? f : 0.0f;
}

bool UtilitaSuite::NumeroPositivo(const QString& testo, bool formatoUtente) const {
    return TestoInNumero(testo, formatoUtente) > 0;
}

QString UtilitaSuite::ValoreSql(const QVariant& valore, int tipo) const {
    return utilita::LetteraleSql(valore, tipo, utilita::LocaleOperatore());
}

QString UtilitaSuite::FormatoNumero(const QVariant& valore, int decimali, const QString& riempitivo,
                                    bool soloMaschera, const QString& mascheraBase, const QString&,
                                    const QString& segnaposto) const {
    const QString m = utilita::CostruisciMaschera(decimali, riempitivo, mascheraBase, segnaposto);
    return soloMaschera ? m : ApplicaFormato(valore, m);
}

QString UtilitaSuite::ApplicaFormato(const QVariant& valore, const QString& maschera) const {
    const QLocale loc = utilita::LocaleOperatore();
    if (Nullo(valore))
        return utilita::ApplicaMascheraNull(maschera, loc);
    double d = 0;
    switch (valore.typeId()) {
    case QMetaType::Bool:
        d = valore.toBool() ? -1 : 0;
        break;
    case QMetaType::QString:
    case QMetaType::QByteArray:
    case QMetaType::QChar: {
        const auto n = utilita::LeggiNumero(valore.toString(), loc);
        if (!n)
            return valore.toString();
        d = *n;
        break;
    }
    default: {
        bool ok = false;
        d = valore.toDouble(&ok);
        if (!ok)
            return valore.toString();
    }
    }
    return utilita::ApplicaMaschera(d, maschera, loc);
}

QString UtilitaSuite::ValoreOpzione(const QString& testo, const QString& lettere) const {
    return utilita::ValoreOpzione(testo, lettere);
}

QString UtilitaSuite::NumeroInTesto(double numero) const {
    return utilita::TestoPiano(numero);
}

QString UtilitaSuite::ComponiPercorso(const QString& nome, const QString& unita,
                                      const QString& cartella, int) const {
    const QString n = nome.trimmed();
    const QString c = cartella.trimmed();
    if (Assoluto(n))
        return PercorsoLocale(n);
    const QString base = Assoluto(c) ? QString() : Unita(unita);
    return PercorsoLocale(UnisciPercorso(UnisciPercorso(base, c), n));
}

bool UtilitaSuite::FileEsiste(const QString& percorso) const {
    const QString p = percorso.trimmed();
    return !p.isEmpty() && QFileInfo(PercorsoLocale(p)).isFile();
}

QString UtilitaSuite::CartellaSistema() const {
    const QString c = qEnvironmentVariable("QUARVEL_SYSTEM_DIR");
    return c.isEmpty() ? QStringLiteral("/etc/belcor") : c;
}

int UtilitaSuite::LeggiIniFile(const QString& sezione, const QString& chiave,
                               const QString& predefinito, QString& valore,
                               const QString& file) const {
    std::optional<QString> v;
    if (!file.trimmed().isEmpty())
        v = profilo::LeggiValore(PercorsoLocale(file.trimmed()), sezione, chiave);
    valore = v.value_or(predefinito);
    return v ? 1 : 0;
}

int UtilitaSuite::LeggiIniDoppio(const QString& sezione, const QString& chiave,
                                 const QString& predefinito, QString& valore,
                                 const QString& filePrincipale,
                                 const QString& fileParametri) const {
    if (LeggiIniFile(sezione, chiave, predefinito, valore, filePrincipale) != 0)
        return 1;
    if (LeggiIniFile(sezione, chiave, predefinito, valore, fileParametri) != 0)
        return 2;
    return 0;
}

int UtilitaSuite::RiparaDatabase(const QString& file) const {
    return RiparaFileDatabase(PercorsoLocale(file.trimmed()));
}

qint32 UtilitaSuite::DimensioneCampo(IRecordset& recordset, const QString& campo) const {
    return recordset.DimensioneCampo(campo);
}

double UtilitaSuite::Massimo(std::initializer_list<double> numeri) const {
    if (numeri.size() == 0)
        throw Errore(NumErr::ChiamataNonValida, QStringLiteral("Lista di numeri vuota"),
                     QStringLiteral("Massimo"));
    double m = std::numeric_limits<double>::quiet_NaN();
    for (double n : numeri)
        if (!std::isnan(n) && (std::isnan(m) || n > m))
            m = n;
    return m;
}

double UtilitaSuite::Minimo(std::initializer_list<double> numeri) const {
    if (numeri.size() == 0)
        throw Errore(NumErr::ChiamataNonValida, QStringLiteral("Lista di numeri vuota"),
                     QStringLiteral("Minimo"));
    double m = std::numeric_limits<double>::quiet_NaN();
    for (double n : numeri)
        if (!std::isnan(n) && (std::isnan(m) || n < m))
            m = n;
    return m;
}

QString UtilitaSuite::SostituisciTesto(const QString& testo, const QString& cosa,
                                       const QString& con) const {
    if (cosa.isEmpty())
        return testo;
    QString t = testo;
    return t.replace(cosa, con, Qt::CaseSensitive);
}

int UtilitaSuite::CercaIndietro(const QString& testo, const QString& cosa) const {
    if (cosa.isEmpty())
        return 0;
    return static_cast<int>(testo.lastIndexOf(cosa, -1, Qt::CaseSensitive) + 1);
}

double UtilitaSuite::Arrotonda(double valore, int, const QString& modo, int, double unita, int,
                               int potenza) const {
    const QString m = modo.trimmed().toUpper();
    utilita::Modo mo;
    if (m == QLatin1String("A"))
        mo = utilita::Modo::MetaVia;
    else if (m == QLatin1String("E"))
        mo = utilita::Modo::Su;
    else if (m == QLatin1String("D"))
        mo = utilita::Modo::Giu;
    else
        throw Errore(NumErr::ChiamataNonValida,
                     QStringLiteral("Tipo di arrotondamento non valido: \"%1\"").arg(modo),
                     QStringLiteral("Arrotonda"));
    return utilita::ArrotondaMultiplo(valore, unita, potenza, mo);
}

} // namespace quarvel
