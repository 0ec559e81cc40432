#include "menu/ClientMenuDBus.h"

#include "menu/NomiDBus.h"
#include "menu/OggettoCliente.h"
#include "suite/Errore.h"

#include <QAtomicInt>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusVariant>

namespace quarvel::menu {

namespace {

const QString Sorgente = QStringLiteral("MenuClient");

// The calls that wait for the operator (a message, the SQL login) must not
// time out while the operator reads.
constexpr int AttesaOperatore = 0x7fffffff;

QString NuovoNomeConnessione() {
    static QAtomicInt contatore;
    return QStringLiteral("quarvel-menu-client-%1").arg(contatore.fetchAndAddRelaxed(1) + 1);
}

[[noreturn]] void Fallisci(const QString& testo) {
    throw Errore(NumErr::ChiamataNonValida, testo, Sorgente);
}

} // namespace

OggettoCliente::OggettoCliente(ClientMenuDBus* cliente) : m_cliente(cliente) {}

QDBusVariant OggettoCliente::EseguiComando(const QString& idMenu, const QString& chiaveFunzione,
                                           const QString& comando, const QDBusVariant& parametro) {
    // Only the menu gives orders: the caller must be the process that owns
    // the menu's name on the bus now (its unique name, vouched for by the
    // bus daemon), not any other process of the session.
    const QString mittente = message().service();
    const QDBusReply<QString> menu = connection().interface()->serviceOwner(ServizioMenu());
    if (!menu.isValid() || menu.value().isEmpty() || mittente != menu.value()) {
        sendErrorReply(QDBusError::AccessDenied,
                       QStringLiteral("Comando \"%1\" rifiutato: non viene dal menu (%2)")
                           .arg(comando, ServizioMenu()));
        return QDBusVariant(QString());
    }
    QVariant risposta;
    IComandiMenu* gestore = m_cliente->GestoreComandi();
    if (gestore) {
        try {
            gestore->EseguiComando(idMenu, chiaveFunzione, comando, DaDBus(parametro.variant()),
                                   risposta);
        } catch (const Errore& e) {
            sendErrorReply(QStringLiteral("it.belcor.Quarvel.Errore"),
                           QStringLiteral("Errore(%1): %2").arg(e.numero()).arg(e.descrizione()));
            return QDBusVariant(QString());
        } catch (const std::exception& e) {
            sendErrorReply(QStringLiteral("it.belcor.Quarvel.Errore"),
                           QString::fromLocal8Bit(e.what()));
            return QDBusVariant(QString());
        }
    }
    return QDBusVariant(VersoDBus(risposta));
}

ClientMenuDBus::ClientMenuDBus(QObject* parent)
    : QObject(parent), m_nomeConnessione(NuovoNomeConnessione()),
      m_bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, m_nomeConnessione)) {
    if (!m_bus.isConnected()) {
        const QString motivo = m_bus.lastError().message();
        QDBusConnection::disconnectFromBus(m_nomeConnessione);
        Fallisci(QStringLiteral("Il bus di sessione non è raggiungibile: %1").arg(motivo));
    }
    if (!m_bus.interface()->isServiceRegistered(ServizioMenu()).value()) {
        QDBusConnection::disconnectFromBus(m_nomeConnessione);
        Fallisci(QStringLiteral("Il menu (%1) non è in esecuzione").arg(ServizioMenu()));
    }
    m_oggetto = new OggettoCliente(this);
    m_oggetto->setParent(this);
    if (!m_bus.registerObject(PercorsoCliente, m_oggetto, QDBusConnection::ExportAllSlots)) {
        QDBusConnection::disconnectFromBus(m_nomeConnessione);
        Fallisci(QStringLiteral("Non riesco a pubblicare il cliente del menu sul bus"));
    }
}

ClientMenuDBus::~ClientMenuDBus() {
    Scollega();
    m_bus.unregisterObject(PercorsoCliente);
    QDBusConnection::disconnectFromBus(m_nomeConnessione);
}

QString ClientMenuDBus::NomeSulBus() const {
    return m_bus.baseService();
}

QVariant ClientMenuDBus::Chiama(const QString& metodo, const QVariantList& argomenti, int attesa) {
    QDBusMessage m =
        QDBusMessage::createMethodCall(ServizioMenu(), PercorsoMenu, InterfacciaMenu, metodo);
    m.setArguments(argomenti);
    const QDBusMessage r = m_bus.call(m, QDBus::Block, attesa);
    if (r.type() == QDBusMessage::ErrorMessage)
        Fallisci(QStringLiteral("Menu, %1: %2").arg(metodo, r.errorMessage()));
    if (r.type() != QDBusMessage::ReplyMessage)
        Fallisci(QStringLiteral("Menu, %1: nessuna risposta").arg(metodo));
    return r.arguments().isEmpty() ? QVariant() : r.arguments().constFirst();
}

QString ClientMenuDBus::Collega(const QString& opzioneM, const QString& opzioneP,
                                const QString& opzionePResto) {
    const QString r =
        Chiama(QStringLiteral("Collega"), {opzioneM, opzioneP, opzionePResto}).toString();
    m_collegato = true;
    return r;
}

void ClientMenuDBus::Scollega() noexcept {
    if (!m_collegato)
        return;
    m_collegato = false;
    try {
        Chiama(QStringLiteral("Scollega"), {});
    } catch (...) {
        // The menu may have gone first: nothing left to tell it.
    }
}

void ClientMenuDBus::MostraMenu(const QString& chi) {
    Chiama(QStringLiteral("MostraMenu"), {chi});
}

QVariant ClientMenuDBus::InviaComando(const QString& comando, const QString& destinatari,
                                      const QVariant& parametro) {
    const int attesa =
        comando.compare(QLatin1String("MsgBox"), Qt::CaseInsensitive) == 0 ? AttesaOperatore : -1;
    const QVariant r = Chiama(
        QStringLiteral("InviaComando"),
        {comando, destinatari, QVariant::fromValue(QDBusVariant(VersoDBus(parametro)))}, attesa);
    return DaDBus(r);
}

void ClientMenuDBus::RitornaA(const QString& chiave, const QString& chiaveSec,
                              const QString& parametro) {
    Chiama(QStringLiteral("RitornaA"), {chiave, chiaveSec, parametro});
}

void ClientMenuDBus::RegistraFinestra(const QString& caption, const QString& numeroFinestra,
                                      const QString& chiaveSec) {
    Chiama(QStringLiteral("RegistraFinestra"), {caption, numeroFinestra, chiaveSec});
}

QString ClientMenuDBus::FileIni() {
    return Chiama(QStringLiteral("FileIni"), {}).toString();
}

ParametriLancioMenu ClientMenuDBus::ParametriLancio() {
    const QVariant r = Chiama(QStringLiteral("ParametriLancio"), {});
    QVariantMap m;
    if (r.userType() == qMetaTypeId<QDBusArgument>())
        r.value<QDBusArgument>() >> m;
    else
        m = r.toMap();
    ParametriLancioMenu p;
    p.osParam = m.value(QStringLiteral("osParam")).toString();
    p.osTipoForm = m.value(QStringLiteral("osTipoForm")).toString();
    p.osChiLancia = m.value(QStringLiteral("osChiLancia")).toString();
    p.osKeySecLancia = m.value(QStringLiteral("osKeySecLancia")).toString();
    p.osParamLancia = m.value(QStringLiteral("osParamLancia")).toString();
    return p;
}

QString ClientMenuDBus::CodiceProgramma() {
    return Chiama(QStringLiteral("CodiceProgramma"), {}).toString();
}

void ClientMenuDBus::AttivaFunzione(const QString& chiaveFunzione) {
    Chiama(QStringLiteral("AttivaFunzione"), {chiaveFunzione});
}

void ClientMenuDBus::FineFunzione(const QString& chiaveSec) {
    Chiama(QStringLiteral("FineFunzione"), {chiaveSec});
}

QString ClientMenuDBus::LeggiValore(const QString& nome, const QString& predefinito) {
    const int attesa =
        nome.trimmed().compare(QLatin1String("ChiediPwdSql"), Qt::CaseInsensitive) == 0
            ? AttesaOperatore
            : -1;
    return Chiama(QStringLiteral("LeggiValore"), {nome, predefinito}, attesa).toString();
}

void ClientMenuDBus::ScriviValore(const QString& nome, const QString& valore) {
    Chiama(QStringLiteral("ScriviValore"), {nome, valore});
}

} // namespace quarvel::menu
