// The menu's objects on the bus: each call is passed to the menu and its
// failure answered as a D-Bus error.

#include "menu/OggettiMenu.h"

#include "menu/NomiDBus.h"
#include "menu/ServerMenu.h"
#include "suite/Errore.h"

#include <QDBusMessage>

namespace quarvel::menu {

// ---- On the bus -------------------------------------------------------------------

OggettoMenu::OggettoMenu(ServerMenu* server) : QObject(server), m_server(server) {}

template <typename F> auto OggettoMenu::Esegui(F&& f) -> decltype(f()) {
    try {
        return f();
    } catch (const Errore& e) {
        sendErrorReply(QStringLiteral("it.belcor.Quarvel.Errore"), e.descrizione());
    } catch (const std::exception& e) {
        sendErrorReply(QStringLiteral("it.belcor.Quarvel.Errore"),
                       QString::fromLocal8Bit(e.what()));
    }
    return decltype(f())();
}

QString OggettoMenu::Collega(const QString& opzioneM, const QString& opzioneP,
                             const QString& opzionePResto) {
    return Esegui(
        [&] { return m_server->Collega(message().service(), opzioneM, opzioneP, opzionePResto); });
}
void OggettoMenu::Scollega() {
    Esegui([&] { m_server->Scollega(message().service()); });
}
void OggettoMenu::MostraMenu(const QString& chi) {
    Esegui([&] { m_server->MostraMenu(chi); });
}
QDBusVariant OggettoMenu::InviaComando(const QString& comando, const QString& destinatari,
                                       const QDBusVariant& parametro) {
    return Esegui([&] {
        m_server->Richiedi(message().service(), AccessoMenu::Collegato,
                           QStringLiteral("Comando \"%1\"").arg(comando.trimmed()));
        return QDBusVariant(VersoDBus(m_server->InviaComando(
            message().service(), comando, destinatari, DaDBus(parametro.variant()))));
    });
}
void OggettoMenu::RitornaA(const QString& chiave, const QString& chiaveSec,
                           const QString& parametro) {
    Esegui([&] { m_server->RitornaA(message().service(), chiave, chiaveSec, parametro); });
}
void OggettoMenu::RegistraFinestra(const QString& caption, const QString& numeroFinestra,
                                   const QString& chiaveSec) {
    Esegui([&] {
        m_server->RegistraFinestra(message().service(), caption, numeroFinestra, chiaveSec);
    });
}
QString OggettoMenu::FileIni() {
    return Esegui([&] { return m_server->FileIni(); });
}
QVariantMap OggettoMenu::ParametriLancio() {
    return Esegui([&] {
        const ParametriLancioMenu p = m_server->ParametriLancio(message().service());
        return QVariantMap{{QStringLiteral("osParam"), p.osParam},
                           {QStringLiteral("osTipoForm"), p.osTipoForm},
                           {QStringLiteral("osChiLancia"), p.osChiLancia},
                           {QStringLiteral("osKeySecLancia"), p.osKeySecLancia},
                           {QStringLiteral("osParamLancia"), p.osParamLancia}};
    });
}
QString OggettoMenu::CodiceProgramma() {
    return Esegui([&] { return m_server->CodiceProgramma(); });
}
void OggettoMenu::AttivaFunzione(const QString& chiaveFunzione) {
    Esegui([&] { m_server->AttivaFunzione(message().service(), chiaveFunzione); });
}
void OggettoMenu::FineFunzione(const QString& chiaveSec) {
    Esegui([&] { m_server->FineFunzione(message().service(), chiaveSec); });
}
QString OggettoMenu::LeggiValore(const QString& nome, const QString& predefinito) {
    return Esegui([&] { return m_server->LeggiValoreDa(message().service(), nome, predefinito); });
}
void OggettoMenu::ScriviValore(const QString& nome, const QString& valore) {
    Esegui([&] { m_server->ScriviValoreDa(message().service(), nome, valore); });
}

OggettoControllo::OggettoControllo(ServerMenu* server) : QObject(server), m_server(server) {}

namespace {
QStringList Righe(const ServerMenu::Risposte& risposte) {
    QStringList righe;
    for (const RispostaCliente& r : risposte)
        righe << QStringLiteral("%1\t%2\t%3\t%4")
                     .arg(r.numero)
                     .arg(r.pid)
                     .arg(r.ok ? QStringLiteral("ok") : QStringLiteral("errore"),
                          r.ok ? TestoRisposta(r) : r.errore);
    return righe;
}
} // namespace

QString OggettoControllo::Avvia(const QString& funzione, const QString& parametro) {
    return m_server->Avvia(funzione, parametro);
}

QStringList OggettoControllo::Comando(const QString& comando, const QString& chiaveFunzione,
                                      const QDBusVariant& parametro, int cliente) {
    setDelayedReply(true);
    const QDBusMessage richiesta = message();
    QDBusConnection bus = connection();
    m_server->InviaAiClienti(comando, chiaveFunzione, DaDBus(parametro.variant()), cliente,
                             [richiesta, bus](const ServerMenu::Risposte& r) mutable {
                                 bus.send(richiesta.createReply(Righe(r)));
                             });
    return {};
}

QStringList OggettoControllo::Clienti() {
    QStringList righe;
    for (const ClienteMenu& c : m_server->Clienti())
        righe << QStringLiteral("%1\t%2\t%3\t%4\t%5\t%6")
                     .arg(c.numero)
                     .arg(c.pid)
                     .arg(c.opzioneM, c.opzioneP, c.opzionePResto,
                          c.funzioni.join(QLatin1Char(',')));
    return righe;
}

QStringList OggettoControllo::Finestre() {
    QStringList righe;
    for (const ClienteMenu& c : m_server->Clienti())
        for (const FinestraCliente& f : c.finestre)
            righe << QStringLiteral("%1\t%2\t%3\t%4")
                         .arg(c.numero)
                         .arg(f.caption, f.numero, f.chiaveSec);
    return righe;
}

void OggettoControllo::Mostra() {
    m_server->MostraMenu(QStringLiteral("Tutti"));
}

QStringList OggettoControllo::Chiudi() {
    setDelayedReply(true);
    const QDBusMessage richiesta = message();
    QDBusConnection bus = connection();
    m_server->Chiudi([richiesta, bus](bool, const ServerMenu::Risposte& r) mutable {
        bus.send(richiesta.createReply(Righe(r)));
    });
    return {};
}

} // namespace quarvel::menu
