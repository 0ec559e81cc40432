#include "config/ParametriIni.h"

#include "comune/Profilo.h"
#include "suite/Errore.h"
#include "suite/Messaggi.h"
#include "suite/Percorsi.h"
#include "suite/Sessione.h"
#include "suite/Utilita.h"

#include <QDir>
#include <QFileInfo>

#include <exception>

namespace quarvel {

namespace {

const QString CrLf = QStringLiteral("\r\n");
const QString SezioneGenerale = QStringLiteral("Parametri Generali");
const QString SezioneLista = QStringLiteral("Lista File Ini");
const QString ChiaveOrdIni = QStringLiteral("OrdIniDBase");

// Str() of a number: a blank in front of a number that is not negative.
QString Str(qint64 n) {
    return n < 0 ? QString::number(n) : QLatin1Char(' ') + QString::number(n);
}

// A path named by a parameter file or by the command line, as a local path.
QString Locale(const QString& percorso) {
    return PercorsoLocale(percorso.trimmed());
}

// The list offered by the choice of the second file stops here: a corrupt
// "NumIni" must not keep the start-up reading the file for hours.
constexpr qint64 MassimoVociLista = 999;

} // namespace

QString LeggiIni(const QString& sezione, const QString& chiave, const QString& predefinito,
                 QString& valore) {
    const ContestoSessione& s = Sessione();
    const int stato = Utilita().LeggiIniDoppio(sezione, chiave, predefinito, valore,
                                               s.FileIniPrincipale, s.FileIniParametri);
    return QString::number(static_cast<qint16>(stato));
}

bool ScriviIni(const QString& Sezione, const QString& Chiave, const QString& Valore,
               std::optional<bool> MostraMsg, std::optional<bool> Crea, qint16 Livello,
               qint16 CancSezione, qint16 CancChiave, std::optional<QString> NomeFile) {
    const bool mostra = MostraMsg.value_or(false);
    const bool crea = Crea.value_or(true);
    const QString fallito = QStringLiteral("Aggiornamento del valore : ") + Valore + CrLf +
                            QStringLiteral("nella sezione : ") + Sezione + CrLf +
                            QStringLiteral("parametro : ") + Chiave + CrLf +
                            QStringLiteral("NON RIUSCITO.") + CrLf;
    auto avvisa = [&](const QString& fase) {
        if (mostra)
            MsgBox(fallito + fase, vbOKOnly);
    };

    try {
        QString file;
        if (NomeFile) {
            file = Locale(*NomeFile);
        } else {
            // The key stays in the file that already holds it: the main file
            // first, then the second file.
            const QString principale = Sessione().FileIniPrincipale;
            const QString parametri = Sessione().FileIniParametri;
            const bool secondoDistinto =
                !parametri.isEmpty() && parametri.compare(principale, Qt::CaseInsensitive) != 0;
            QString letto;
            if (Utilita().LeggiIniFile(Sezione, Chiave, QString(), letto, principale) != 0) {
                file = principale;
            } else if (secondoDistinto &&
                       Utilita().LeggiIniFile(Sezione, Chiave, QString(), letto, parametri) >= 1) {
                file = parametri;
            } else if (!crea) {
                avvisa(QStringLiteral("durante la ricerca"));
                return false;
            } else {
                file = (!parametri.isEmpty() && Livello >= 2) ? parametri : principale;
            }
        }

        bool riuscito;
        if (CancSezione != 0)
            riuscito = profilo::Scrivi(file, Sezione, std::nullopt, Valore);
        else if (CancChiave != 0)
            riuscito = profilo::Scrivi(file, Sezione, Chiave, std::nullopt);
        else
            riuscito = profilo::Scrivi(file, Sezione, Chiave, Valore);
        if (!riuscito) {
            avvisa(QStringLiteral("durante l' aggiornamento(1)"));
            return false;
        }
        return true;
    } catch (const std::exception&) {
        avvisa(QStringLiteral("durante l' aggiornamento(2)"));
        return false;
    }
}

int TrovaFileIniPrincipale(const QString& nomeFile, const QString& cartella1,
                           const QString& cartella2, const QString& rigaComando) {
    ContestoSessione& s = Sessione();
    if (!s.FileIniPrincipale.isEmpty()) {
        // Given by the menu: kept, as a local path.
        s.FileIniPrincipale = Locale(s.FileIniPrincipale);
        return 0;
    }

    const IUtilita& u = Utilita();
    auto esiste = [&](const QString& f) { return !f.isEmpty() && u.FileEsiste(f); };

    // The /I switch of the command line.
    QString candidato = u.ValoreOpzione(rigaComando, QStringLiteral("I")).trimmed();
    if (!candidato.isEmpty() && !esiste(candidato))
        candidato.clear();

    // The installation file.
    if (candidato.isEmpty()) {
        QString letto;
        u.LeggiIniFile(QStringLiteral("Setup"), QStringLiteral("IniPrincipale"), QString(), letto,
                       FileInstallazione());
        candidato = letto.trimmed();
    }

    // The folders, in order.
    if (candidato.isEmpty() || !esiste(candidato)) {
        QStringList cartelle;
        if (!cartella1.isEmpty())
            cartelle << cartella1 + nomeFile;
        if (!cartella2.isEmpty())
            cartelle << cartella2 + nomeFile;
        cartelle << UnisciPercorso(Locale(u.CartellaSistema()), nomeFile)
                 << UnisciPercorso(CartellaApplicazione(), QStringLiteral("main/") + nomeFile)
                 << UnisciPercorso(QDir::currentPath(), nomeFile)
                 << UnisciPercorso(CartellaApplicazione(), nomeFile);
        candidato.clear();
        for (const QString& c : std::as_const(cartelle))
            if (esiste(c)) {
                candidato = c;
                break;
            }
    }

    if (candidato.isEmpty()) {
        RilasciaOggettiSessione();
        MsgBox(QStringLiteral("File ini non trovato") + CrLf +
                   QStringLiteral("Sistemare e rieseguire"),
               vbCritical);
        return -1;
    }
    s.FileIniPrincipale = Locale(candidato);
    return 0;
}

namespace {

// A parameter file that exists and cannot be read stops the start with its
// name and the cause; so does a main file that is not there at all.
bool FileParametriLeggibile(const QString& file, bool deveEsistere) {
    QString causa = profilo::ErroreLettura(file);
    if (causa.isEmpty() && deveEsistere && !QFileInfo::exists(file))
        causa = QStringLiteral("il file non esiste");
    if (causa.isEmpty())
        return true;
    RilasciaOggettiSessione();
    MsgBox(QStringLiteral("Impossibile leggere il file dei parametri") + QLatin1Char('\n') + file +
               QLatin1Char('\n') + QStringLiteral("(%1).").arg(causa) + QLatin1Char('\n') +
               QStringLiteral("Correggere e rieseguire il programma."),
           vbCritical);
    return false;
}

} // namespace

int ScegliFileIniParametri(QString& visParam) {
    ContestoSessione& s = Sessione();
    const IUtilita& u = Utilita();
    const QString principale = s.FileIniPrincipale;
    if (!FileParametriLeggibile(principale, true))
        return -1;

    const int numIni =
        profilo::LeggiIntero(principale, SezioneGenerale, QStringLiteral("NumIni"), 0);

    QString scelto;
    bool trovato = false;
    if (numIni >= 1) {
        QString prompt = QStringLiteral("Numero di ini scelto") + CrLf +
                         QStringLiteral("(da 0 a ") + Str(numIni) + QLatin1Char(')');
        const qint64 elencati = std::min<qint64>(numIni, MassimoVociLista);
        for (qint64 i = 1; i <= elencati; ++i) {
            QString voce;
            const int stato = u.LeggiIniFile(SezioneLista, ChiaveOrdIni + QString::number(i),
                                             QString(), voce, principale);
            prompt += CrLf + Str(i) + QStringLiteral(" -> ") + (stato != 0 ? voce : QString());
        }
        const QString risposta =
            InputBox(prompt, QStringLiteral("Scelta dell'INI"), QStringLiteral("0"));
        const qint16 numero = u.TestoInIntero(risposta);
        if (numero >= 1) {
            // Any number is looked up, even one past the list; a missing entry
            // counts as no choice.
            trovato = u.LeggiIniFile(SezioneLista, ChiaveOrdIni + QString::number(numero),
                                     QString(), scelto, principale) != 0;
        }
    }

    if (!trovato) {
        scelto.clear();
        if (u.LeggiIniFile(SezioneGenerale, ChiaveOrdIni, QString(), scelto, principale) == 0) {
            RilasciaOggettiSessione();
            MsgBox(QStringLiteral("File di inizializzazione non trovato") + QLatin1Char('\n') +
                       QStringLiteral("o con informazioni non corrette.") + QLatin1Char('\n') +
                       QStringLiteral("Correggere e rieseguire il programma."),
                   vbCritical);
            return -1;
        }
    }
    s.FileIniParametri = Locale(scelto);
    if (!s.FileIniParametri.isEmpty() && !FileParametriLeggibile(s.FileIniParametri, false))
        return -1;

    visParam.clear();
    u.LeggiIniFile(SezioneGenerale, QStringLiteral("VisParam"), QString(), visParam, principale);
    return 0;
}

} // namespace quarvel
