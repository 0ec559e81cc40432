#include "SceltaStampante.h"

#include "config/ParametriIni.h"
#include "suite/Errore.h"
#include "suite/Messaggi.h"

#include <QCursor>
#include <QGuiApplication>

#include <optional>

namespace quarvel {

namespace {

qint16 g_cambiata = 0;
std::optional<QString> g_corrente; // unset: the default printer

const QString CrLf = QStringLiteral("\r\n");

// The name of the printer of that name among the system's, as the system
// spells it; empty when there is none.
QString Trova(const QString& nome) {
    for (const CodaStampa& c : Stampanti().Code())
        if (c.nome.compare(nome, Qt::CaseInsensitive) == 0)
            return c.nome;
    return {};
}

void AvvisoNonImpostabile(const QString& corrente, const QString& richiesta) {
    msgCom(QStringLiteral("Impossibile impostare la stampante predefinita") + CrLf +
               QStringLiteral("La stampa verrà fatta su ") + corrente + CrLf +
               QStringLiteral("per stampare su ") + richiesta +
               QStringLiteral(" uscire dal programma e rientrare"),
           QStringLiteral("&Ok"));
}

} // namespace

qint16 StampanteCambiata() {
    return g_cambiata;
}

void ImpostaStampanteCambiata(qint16 valore) {
    g_cambiata = valore;
    if (valore == 0)
        g_corrente.reset();
}

QString StampanteCorrente() {
    return g_corrente ? *g_corrente : Stampanti().Predefinita();
}

void ImpostaStampanteCorrente(const QString& nome) {
    g_corrente = nome;
}

bool LeggiStampanteDefault(QString& nome, QString& mancante, QString& porta) {
    nome = Stampanti().PredefinitaDichiarata();
    mancante.clear();
    porta = Stampanti().Porta(nome);
    const QString trovata = nome.isEmpty() ? QString() : Trova(nome);
    if (trovata.isEmpty()) {
        mancante = nome;
        nome.clear();
        return false;
    }
    nome = trovata;
    return true;
}

void RipristinaStampanteDefault(QString& nome, QString& mancante, QString& porta) {
    const bool presente = LeggiStampanteDefault(nome, mancante, porta);
    if (g_cambiata == 1 && presente)
        g_corrente = nome;
}

void ElencoPorteStampanti(QStringList& nomi, QStringList& porte) {
    nomi.clear();
    porte.clear();
    for (const CodaStampa& c : Stampanti().Code()) {
        if (c.nome.trimmed().isEmpty())
            continue;
        nomi << c.nome;
        porte << c.porta;
    }
}

QString LeggiPortaStampante(const QString& nome, QString& driver) {
    const QString porta = Stampanti().Porta(nome);
    driver = porta.isEmpty() ? QString() : Trova(nome);
    return porta;
}

void DividiDriverPorta(const QString& testo, QString& primo, QString& secondo) {
    primo.clear();
    secondo.clear();
    const qsizetype v1 = testo.indexOf(QLatin1Char(','));
    if (v1 < 0)
        return;
    primo = testo.left(v1);
    const qsizetype v2 = testo.indexOf(QLatin1Char(','), v1 + 1);
    if (v2 >= 0)
        secondo = testo.mid(v1 + 1, v2 - v1 - 1);
}

bool ImpostaStampanteDefault(const QString& nome) {
    if (nome.isEmpty())
        return false;
    QString driver;
    const QString porta = LeggiPortaStampante(nome, driver);
    if (driver.isEmpty() || porta.isEmpty())
        return false;
    if (!Stampanti().ImpostaPredefinita(driver)) {
        MsgErrfrm(QStringLiteral("Impossibile rendere %1 la stampante predefinita").arg(nome),
                  QString::number(NumErr::PermessoNegato));
        return false;
    }
    return true;
}

bool ImpostaStampanteOpz(IOpzioniStampa& o, bool avvisa) {
    if (o.osNomeStampante.isEmpty())
        return true;
    const QString trovata = Trova(o.osNomeStampante);
    if (!trovata.isEmpty()) {
        g_corrente = trovata;
        g_cambiata = 1;
        return true;
    }
    bool esito = false;
    if (g_cambiata != 1) {
        o.setValore(QStringLiteral("StampanteDefOri"), StampanteCorrente(), 8);
        if (ImpostaStampanteDefault(o.osNomeStampante))
            esito = StampanteCorrente().compare(o.osNomeStampante, Qt::CaseInsensitive) == 0;
        else
            o.setValore(QStringLiteral("StampanteDefOri"), QString(), 8);
    }
    if (!esito && avvisa)
        AvvisoNonImpostabile(StampanteCorrente(), o.osNomeStampante);
    return esito;
}

bool ImpostaStampanteNome(const QString& nome, bool avvisa, const QString& nomeInOpzioni) {
    if (avvisa)
        QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    struct Ripristina {
        bool attivo;
        ~Ripristina() {
            if (attivo)
                QGuiApplication::restoreOverrideCursor();
        }
    } cursore{avvisa};
    if (nome.isEmpty())
        return true;
    if (!Trova(nome).isEmpty())
        return true;
    bool esito = false;
    if (g_cambiata != 1) {
        const QString ricordata = StampanteCorrente();
        if (ImpostaStampanteDefault(nome)) {
            esito = StampanteCorrente().compare(nome, Qt::CaseInsensitive) == 0;
            ImpostaStampanteDefault(ricordata);
        }
    }
    if (!esito && avvisa)
        AvvisoNonImpostabile(nomeInOpzioni.isEmpty() ? StampanteCorrente() : nomeInOpzioni, nome);
    return esito;
}

void AvvisoStampanteDefNonDisp(const QString& chiave, const QString& nome, const QString& sezione) {
    msgCom(QStringLiteral("Nella lista delle stampanti non è disponibile la stampante "
                          "predefinita ") +
               nome + CrLf +
               QStringLiteral("Uscire dal programma e rientrare per avere impostato la "
                              "stampante predefinita"),
           QStringLiteral("&Ok"));
    ScriviIni(sezione, chiave, QString(), std::nullopt, std::nullopt, 1);
}

} // namespace quarvel
