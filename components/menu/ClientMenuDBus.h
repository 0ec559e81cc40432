#pragma once
// The menu client over the D-Bus session bus (see NomiDBus.h for the names).
// Each instance opens a connection of its own to the bus, so several clients
// (several Quarvel processes, or several in one test) are told apart by the
// menu; each exports the object on which the menu sends its commands.

#include "suite/MenuClient.h"

#include <QDBusConnection>
#include <QObject>

namespace quarvel::menu {

class OggettoCliente;

class ClientMenuDBus final : public QObject, public IMenuClient {
    Q_OBJECT
public:
    // Connects to the session bus and checks that the menu is there: throws
    // quarvel::Errore 5 when the bus or the menu is missing.
    explicit ClientMenuDBus(QObject* parent = nullptr);
    ~ClientMenuDBus() override;

    // This client's unique name on the bus.
    QString NomeSulBus() const;

    void ImpostaGestoreComandi(IComandiMenu* gestore) override { m_gestore = gestore; }
    IComandiMenu* GestoreComandi() const { return m_gestore; }

    QString Collega(const QString& opzioneM, const QString& opzioneP,
                    const QString& opzionePResto) override;
    void Scollega() noexcept override;
    bool Collegato() const override { return m_collegato; }
    void MostraMenu(const QString& chi = QStringLiteral("Tutti")) override;
    QVariant InviaComando(const QString& comando,
                          const QString& destinatari = QStringLiteral("Tutti"),
                          const QVariant& parametro = {}) override;
    void RitornaA(const QString& chiave, const QString& chiaveSec,
                  const QString& parametro) override;
    void RegistraFinestra(const QString& caption, const QString& numeroFinestra,
                          const QString& chiaveSec) override;
    QString FileIni() override;
    ParametriLancioMenu ParametriLancio() override;
    QString CodiceProgramma() override;
    void AttivaFunzione(const QString& chiaveFunzione) override;
    void FineFunzione(const QString& chiaveSec) override;
    QString LeggiValore(const QString& nome, const QString& predefinito = {}) override;
    void ScriviValore(const QString& nome, const QString& valore) override;

private:
    QVariant Chiama(const QString& metodo, const QVariantList& argomenti, int attesa = -1);

    QString m_nomeConnessione;
    QDBusConnection m_bus;
    OggettoCliente* m_oggetto = nullptr;
    IComandiMenu* m_gestore = nullptr;
    bool m_collegato = false;
};

} // namespace quarvel::menu
