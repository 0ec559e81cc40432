#pragma once
// The two interfaces the menu exports on the bus at /it/belcor/Quarvel/Menu:
// the menu client's operations and the control of scripts and tools.  Thin:
// each call goes to ServerMenu; a quarvel::Errore becomes a D-Bus error.

#include <QDBusContext>
#include <QDBusVariant>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

namespace quarvel::menu {

class ServerMenu;

class OggettoMenu final : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "it.belcor.Quarvel.Menu")
public:
    explicit OggettoMenu(ServerMenu* server);

public slots:
    QString Collega(const QString& opzioneM, const QString& opzioneP, const QString& opzionePResto);
    void Scollega();
    void MostraMenu(const QString& chi);
    QDBusVariant InviaComando(const QString& comando, const QString& destinatari,
                              const QDBusVariant& parametro);
    void RitornaA(const QString& chiave, const QString& chiaveSec, const QString& parametro);
    void RegistraFinestra(const QString& caption, const QString& numeroFinestra,
                          const QString& chiaveSec);
    QString FileIni();
    QVariantMap ParametriLancio();
    QString CodiceProgramma();
    void AttivaFunzione(const QString& chiaveFunzione);
    void FineFunzione(const QString& chiaveSec);
    QString LeggiValore(const QString& nome, const QString& predefinito);
    void ScriviValore(const QString& nome, const QString& valore);

private:
    template <typename F> auto Esegui(F&& f) -> decltype(f());
    ServerMenu* m_server;
};

class OggettoControllo final : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "it.belcor.Quarvel.Menu.Controllo")
public:
    explicit OggettoControllo(ServerMenu* server);

public slots:
    // Opens a function; the empty text, or why it could not.
    QString Avvia(const QString& funzione, const QString& parametro);
    // Sends a command to every client (cliente 0) or to one; one line per
    // client: number, pid, "ok" or "errore", the reply as text (tab-separated).
    QStringList Comando(const QString& comando, const QString& chiaveFunzione,
                        const QDBusVariant& parametro, int cliente);
    // One line per client: number, pid, switch M, switch P, function key,
    // the functions it serves (comma-separated).
    QStringList Clienti();
    // The windows registered in answer to "preppassaa": client number,
    // caption, window number, secondary key.
    QStringList Finestre();
    void Mostra();
    // Sends "fine" to every client and ends the menu when none refused; the
    // replies as Comando gives them.
    QStringList Chiudi();

private:
    ServerMenu* m_server;
};

} // namespace quarvel::menu
