#pragma once
// The real menu program (quarvel-menu) on the test's session bus: started
// with the switches and the environment the test gives, ready once it owns
// its bus name, ended as a signal ends it.
//
// Tests that run side by side on one bus each give the menu a name of their
// own (NomeDiProva, before the first start: the programs the menu starts
// inherit it) and pass it to the constructor, ServizioMenu() of the menu's
// names.

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTest>
#include <memory>

namespace prova {

class MenuReale {
public:
    explicit MenuReale(QString servizio) : m_servizio(std::move(servizio)) {}
    ~MenuReale() { Ferma(); }
    MenuReale(const MenuReale&) = delete;
    MenuReale& operator=(const MenuReale&) = delete;

    // The test runs on a session bus (dbus-run-session).
    static bool ConBus();
    // Sets QUARVEL_MENU_BUS_NAME to it.belcor.Quarvel.<radice><process id>
    // and returns it.
    static QString NomeDiProva(const QString& radice);
    static QString Programma();

    // Starts the menu (one left running is ended first) and waits up to
    // 30 seconds for its bus name; false when the name did not come or the
    // program ended first.
    bool Avvia(const QStringList& argomenti, const QProcessEnvironment& ambiente,
               QProcess::ProcessChannelMode canali = QProcess::SeparateChannels);
    // The menu's name is on the bus.
    bool InEsecuzione() const;
    // Ends the menu as a signal does (killed after 30 seconds), the event
    // loop turning meanwhile so that the programs of this process answer
    // its "fine", then waits for its name to leave the bus.
    void Ferma();

    // The process of the last start; null before it and after Ferma().
    QProcess* operator->() const { return m_processo.get(); }
    explicit operator bool() const { return bool(m_processo); }

private:
    QString m_servizio;
    std::unique_ptr<QProcess> m_processo;
};

} // namespace prova

// Leaves the test function when there is no session bus to start a menu on.
#define SALTA_SENZA_BUS()                                                                          \
    do {                                                                                           \
        if (!prova::MenuReale::ConBus())                                                           \
            QSKIP("DBUS_SESSION_BUS_ADDRESS is not set: these tests need a session bus "           \
                  "(make test runs them under dbus-run-session)");                                 \
    } while (false)
