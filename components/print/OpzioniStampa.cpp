#include "OpzioniStampa.h"

#include "Cups.h"
#include "comune/Profilo.h"
#include "utility/Conversioni.h"

#include <cmath>
#include <optional>

namespace quarvel::stampa {

OpzioniStampa::OpzioniStampa(QString sezione) : m_sezione(std::move(sezione)) {
    m_valori.insert(QStringLiteral("paginada"), qint16(1));
    m_valori.insert(QStringLiteral("paginaa"), qint16(9999));
    m_valori.insert(QStringLiteral("numcassetto"), qint16(0));
    m_valori.insert(QStringLiteral("numtipocarta"), qint16(0));
    m_valori.insert(QStringLiteral("mostranumpag"), true);
    m_valori.insert(QStringLiteral("pdfautomabil"), false);
    m_valori.insert(QStringLiteral("emailinvia"), false);
}

QString OpzioniStampa::DescrStampante(const QString& stampante) const {
    const QString nome = stampante.isEmpty() ? cups::Predefinita() : stampante;
    if (nome.isEmpty())
        return QStringLiteral("Nessuna stampante predefinita");
    const QString porta = cups::Porta(nome);
    QString testo = QStringLiteral("Stampante attuale: ") + nome;
    if (!porta.isEmpty())
        testo += QStringLiteral(" su ") + porta;
    switch (oiStaVid) {
    case DestStampa::Video:
        testo += QStringLiteral(" (stampa a video)");
        break;
    case DestStampa::File:
        testo += QStringLiteral(" (stampa su file)");
        break;
    case DestStampa::Fissa:
        testo += QStringLiteral(" (stampa a lunghezza fissa)");
        break;
    default:
        break;
    }
    return testo;
}

QString OpzioniStampa::DescrFormato(qint16 formato) const {
    switch (formato) {
    case FormatoFile::CompatibileExcel:
        return QStringLiteral("Compatibile Excel");
    case FormatoFile::Testo:
        return QStringLiteral("Testo");
    case FormatoFile::Excel:
        return QStringLiteral("Formato Excel");
    default:
        return QString();
    }
}

void OpzioniStampa::ApplicaFormatoFile() {
    // The spreadsheet reads a ";"-separated file with double quotes around
    // texts in the Italian settings; the workbook needs neither.
    if (oiFileForm == FormatoFile::CompatibileExcel) {
        osSepCampi = QStringLiteral(";");
        osDelimStr = QStringLiteral("\"");
    }
}

QVariant OpzioniStampa::Valore(const QString& chiave, int) const {
    return m_valori.value(chiave.toLower());
}

void OpzioniStampa::setValore(const QString& chiave, const QVariant& valore, int) {
    m_valori.insert(chiave.toLower(), valore);
}

namespace {

// The stored text of a key in the four places, the first that holds it.
class Lettore {
public:
    Lettore(const QString& terminale, const QString& comune, const QString& sezione) {
        const QString sez[] = {sezione, QString::fromLatin1(SezioneDefault)};
        for (const QString& s : sez) {
            if (s.isEmpty())
                continue;
            for (const QString& f : {terminale, comune})
                if (!f.isEmpty())
                    m_luoghi.push_back({f, s});
        }
    }
    std::optional<QString> testo(const char* chiave) const {
        for (const auto& [file, sezione] : m_luoghi)
            if (auto v = profilo::LeggiValore(file, sezione, QString::fromLatin1(chiave)))
                return v;
        return std::nullopt;
    }
    // The leading integer of the value, as the profile's integer read does.
    std::optional<int> intero(const char* chiave) const {
        auto t = testo(chiave);
        if (!t)
            return std::nullopt;
        int i = 0;
        if (i < t->size() && t->at(i) == QLatin1Char('-'))
            ++i;
        while (i < t->size() && t->at(i).isDigit())
            ++i;
        bool ok = false;
        const int n = t->left(i).toInt(&ok);
        return ok ? n : 0;
    }

private:
    QVector<std::pair<QString, QString>> m_luoghi;
};

void Intero(const Lettore& l, const char* chiave, qint16& membro) {
    if (auto v = l.intero(chiave))
        membro = qint16(*v);
}
void Booleano(const Lettore& l, const char* chiave, bool& membro) {
    if (auto v = l.intero(chiave))
        membro = *v != 0;
}
void Testo(const Lettore& l, const char* chiave, QString& membro) {
    if (auto v = l.testo(chiave))
        membro = *v;
}

} // namespace

void CaricaOpzioni(IOpzioniStampa& o, const QString& fileTerminale, const QString& fileComune,
                   double fattoreStaVid) {
    const Lettore l(fileTerminale,
                    fileComune.compare(fileTerminale, Qt::CaseInsensitive) == 0 ? QString()
                                                                                : fileComune,
                    o.osSezione());
    Intero(l, "StaVid", o.oiStaVid);
    Booleano(l, "ForzaVert", o.obForzaVert);
    Testo(l, "FileName", o.osFileName);
    Intero(l, "FileForm", o.oiFileForm);
    Testo(l, "PathDefault", o.osPathDefault);
    if (auto v = l.intero("SepCampi"); v && *v > 0 && *v < 0x10000)
        o.osSepCampi = QString(QChar(char16_t(*v)));
    if (auto v = l.intero("DelimStr"))
        o.osDelimStr = (*v > 0 && *v < 0x10000) ? QString(QChar(char16_t(*v))) : QString();
    Booleano(l, "NumNoForm", o.obNumNoForm);
    if (auto v = l.testo("Fatt")) {
        const double f = utilita::LeggiNumero(*v, utilita::LocaleOperatore()).value_or(0.0);
        o.ofFatt = float(fattoreStaVid > 0 ? f * fattoreStaVid : f);
    }
    Intero(l, "MemVid", o.oiMemVid);
    Testo(l, "FisFileName", o.osFisFileName);
    Booleano(l, "FisStampante", o.obFisStampante);
    Intero(l, "FisMrAlt", o.oiFisMrAlt);
    Intero(l, "FisMrBas", o.oiFisMrBas);
    Intero(l, "FisColonne", o.oiFisColonne);
    Intero(l, "FisRighe", o.oiFisRighe);
    Testo(l, "FisCodIniComp", o.osFisCodIniComp);
    Testo(l, "FisCodFinComp", o.osFisCodFinComp);
    Booleano(l, "FisUtilComp", o.obFisUtilComp);
    Testo(l, "NomeStampante", o.osNomeStampante);
    Testo(l, "NomePorta", o.osNomePorta);
    if (auto v = l.intero("Cassetto"))
        o.setValore(QStringLiteral("NumCassetto"), qint16(*v));
    if (auto v = l.intero("TipoCarta"))
        o.setValore(QStringLiteral("NumTipoCarta"), qint16(*v));
    if (auto v = l.testo("PdfNomeAutom"))
        o.setValore(QStringLiteral("PdfAutomAbil"),
                    v->compare(QLatin1String("S"), Qt::CaseInsensitive) == 0);
    if (auto v = l.testo("InviaEmail"))
        o.setValore(QStringLiteral("EmailInvia"),
                    v->compare(QLatin1String("S"), Qt::CaseInsensitive) == 0);
}

} // namespace quarvel::stampa
