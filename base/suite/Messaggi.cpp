#include "suite/Messaggi.h"

#include "suite/Errore.h"

#include <QApplication>
#include <QTextStream>
#include <QWidget>
#include <cstdio>

Q_LOGGING_CATEGORY(lcMessaggi, "quarvel.messaggi", QtWarningMsg)

namespace quarvel {

ServizioMessaggi::~ServizioMessaggi() = default;

QStringList RichiestaMsgCom::pulsanti() const {
    QStringList p{psCom1};
    if (pvCom2)
        p << *pvCom2;
    if (pvCom3)
        p << *pvCom3;
    return p;
}

namespace {
MessaggiStderr faccaStderr;
ServizioMessaggi* servizio = nullptr;

QString Piatto(QString s) {
    s.replace(QLatin1String("\r\n"), QLatin1String(" | "));
    s.replace(QLatin1Char('\n'), QLatin1String(" | "));
    s.replace(QLatin1Char('\r'), QLatin1String(" | "));
    return s;
}
} // namespace

ServizioMessaggi& Messaggi() {
    return servizio ? *servizio : faccaStderr;
}
void ImpostaServizioMessaggi(ServizioMessaggi* s) {
    servizio = s;
}

QStringList PulsantiMsgBox(int stile) {
    switch (stile & 7) {
    case vbOKCancel:
        return {QStringLiteral("OK"), QStringLiteral("Annulla")};
    case vbAbortRetryIgnore:
        return {QStringLiteral("Interrompi"), QStringLiteral("Riprova"), QStringLiteral("Ignora")};
    case vbYesNoCancel:
        return {QStringLiteral("Sì"), QStringLiteral("No"), QStringLiteral("Annulla")};
    case vbYesNo:
        return {QStringLiteral("Sì"), QStringLiteral("No")};
    case vbRetryCancel:
        return {QStringLiteral("Riprova"), QStringLiteral("Annulla")};
    default:
        return {QStringLiteral("OK")};
    }
}

std::vector<int> RisposteMsgBox(int stile) {
    switch (stile & 7) {
    case vbOKCancel:
        return {vbOK, vbCancel};
    case vbAbortRetryIgnore:
        return {vbAbort, vbRetry, vbIgnore};
    case vbYesNoCancel:
        return {vbYes, vbNo, vbCancel};
    case vbYesNo:
        return {vbYes, vbNo};
    case vbRetryCancel:
        return {vbRetry, vbCancel};
    default:
        return {vbOK};
    }
}

int msgCom(const RichiestaMsgCom& r) {
    qCInfo(lcMessaggi).noquote() << "msgCom" << (r.pvTitolo ? *r.pvTitolo : QString())
                                 << Piatto(r.psLabel) << r.pulsanti();
    const int risposta = Messaggi().msgCom(r);
    qCInfo(lcMessaggi) << "msgCom answer" << risposta;
    return risposta;
}

int msgCom(const QString& psLabel, const QString& psCom1, std::optional<QString> pvCom2,
           std::optional<QString> pvCom3, std::optional<QString> pvTitolo, int piLargForm,
           bool pbSuona, int piLatiForm, std::optional<double> pvFontSize, int piComDefault,
           std::optional<int> pvWidthCom, bool pbSempreTxt) {
    RichiestaMsgCom r;
    r.psLabel = psLabel;
    r.psCom1 = psCom1;
    r.pvCom2 = std::move(pvCom2);
    r.pvCom3 = std::move(pvCom3);
    r.pvTitolo = std::move(pvTitolo);
    r.piLargForm = piLargForm;
    r.pbSuona = pbSuona;
    r.piLatiForm = piLatiForm;
    r.pvFontSize = pvFontSize;
    r.piComDefault = piComDefault;
    r.pvWidthCom = pvWidthCom;
    r.pbSempreTxt = pbSempreTxt;
    return msgCom(r);
}

int MsgBox(const QString& testo, int stile, const QString& titolo) {
    qCInfo(lcMessaggi).noquote() << "MsgBox" << titolo << Piatto(testo) << PulsantiMsgBox(stile);
    const int risposta = Messaggi().msgBox(RichiestaMsgBox{testo, stile, titolo});
    qCInfo(lcMessaggi) << "MsgBox answer" << risposta;
    return risposta;
}

QString InputBox(const QString& prompt, const QString& titolo, const QString& predefinito) {
    qCInfo(lcMessaggi).noquote() << "InputBox" << titolo << Piatto(prompt) << predefinito;
    const QString risposta = Messaggi().inputBox(RichiestaInput{prompt, titolo, predefinito});
    qCInfo(lcMessaggi).noquote() << "InputBox answer" << risposta;
    return risposta;
}

QString TestoErrore(const std::optional<QString>& pvError, const std::optional<QString>& pverr,
                    const QString& psMsgAggPri, const QString& psMsgAggDop) {
    QString testo;
    if (pvError) {
        testo = *pvError;
    } else {
        testo = Err().descrizione;
        if (!Err().sorgente.isEmpty())
            testo += QStringLiteral(" - ") + Err().sorgente;
    }
    const QString numero = pverr ? *pverr : QString::number(Err().numero);
    return psMsgAggPri + QStringLiteral("Errore(") + numero + QStringLiteral("): ") + testo +
           psMsgAggDop;
}

int MsgErrfrm(std::optional<QString> pvError, std::optional<QString> pverr,
              const QString& psMsgAggPri, const QString& psMsgAggDop,
              std::optional<QString> pvTitolo) {
    return msgCom(TestoErrore(pvError, pverr, psMsgAggPri, psMsgAggDop), QStringLiteral("&Ok"),
                  std::nullopt, std::nullopt, std::move(pvTitolo), 80, false, 600, std::nullopt, 1,
                  std::nullopt, false);
}

int MsgErrore(std::optional<QString> pvError, std::optional<QString> pverr,
              const QString& psMsgAggPri, const QString& psMsgAggDop) {
    return MsgBox(TestoErrore(pvError, pverr, psMsgAggPri, psMsgAggDop), vbOKOnly | vbExclamation);
}

// ---- standard error ----

namespace {
void Scrivi(const QString& tipo, const QString& titolo, const QString& testo,
            const QStringList& pulsanti) {
    QTextStream err(stderr);
    err << "[" << tipo;
    if (!titolo.isEmpty())
        err << ": " << titolo;
    err << "] " << Piatto(testo);
    if (!pulsanti.isEmpty())
        err << "  {" << pulsanti.join(QStringLiteral(" / ")) << "}";
    err << Qt::endl;
}
} // namespace

int MessaggiStderr::msgCom(const RichiestaMsgCom& r) {
    Scrivi(QStringLiteral("msg"), r.pvTitolo.value_or(QString()), r.psLabel, r.pulsanti());
    const int n = static_cast<int>(r.pulsanti().size());
    return (r.piComDefault >= 1 && r.piComDefault <= n) ? r.piComDefault : 1;
}

int MessaggiStderr::msgBox(const RichiestaMsgBox& r) {
    Scrivi(QStringLiteral("box"), r.titolo, r.testo, PulsantiMsgBox(r.stile));
    return RisposteMsgBox(r.stile).front();
}

QString MessaggiStderr::inputBox(const RichiestaInput& r) {
    Scrivi(QStringLiteral("input"), r.titolo, r.prompt, {r.predefinito});
    return r.predefinito;
}

// ---- scripted ----

MessaggiScriptati::MessaggiScriptati() : m_precedente(servizio) {
    servizio = this;
}
MessaggiScriptati::~MessaggiScriptati() {
    if (servizio == this)
        servizio = m_precedente;
}

QStringList MessaggiScriptati::testi() const {
    QStringList t;
    for (const auto& m : m_mostrati)
        t << m.testo;
    return t;
}

void MessaggiScriptati::azzera() {
    m_risposte.clear();
    m_mostrati.clear();
    m_nonRisposte = 0;
}

namespace {

QStringList FinestreVisibili() {
    QStringList titoli;
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return titoli;
    for (const QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible())
            titoli << w->windowTitle();
    return titoli;
}

} // namespace

int MessaggiScriptati::msgCom(const RichiestaMsgCom& r) {
    m_mostrati.push_back({Tipo::MsgCom, r.psLabel, r.pvTitolo.value_or(QString()), r.pulsanti(), 0,
                          QString(), FinestreVisibili()});
    if (!m_risposte.empty() && std::holds_alternative<int>(m_risposte.front())) {
        const int v = std::get<int>(m_risposte.front());
        m_risposte.pop_front();
        return v;
    }
    ++m_nonRisposte;
    return 0;
}

int MessaggiScriptati::msgBox(const RichiestaMsgBox& r) {
    m_mostrati.push_back({Tipo::MsgBox, r.testo, r.titolo, PulsantiMsgBox(r.stile), r.stile,
                          QString(), FinestreVisibili()});
    if (!m_risposte.empty() && std::holds_alternative<int>(m_risposte.front())) {
        const int v = std::get<int>(m_risposte.front());
        m_risposte.pop_front();
        return v;
    }
    ++m_nonRisposte;
    const auto risposte = RisposteMsgBox(r.stile);
    for (int v : risposte)
        if (v == vbCancel)
            return vbCancel;
    return risposte.front();
}

QString MessaggiScriptati::inputBox(const RichiestaInput& r) {
    m_mostrati.push_back(
        {Tipo::Input, r.prompt, r.titolo, {}, 0, r.predefinito, FinestreVisibili()});
    if (!m_risposte.empty() && std::holds_alternative<QString>(m_risposte.front())) {
        QString v = std::get<QString>(m_risposte.front());
        m_risposte.pop_front();
        return v;
    }
    ++m_nonRisposte;
    return QString();
}

} // namespace quarvel
