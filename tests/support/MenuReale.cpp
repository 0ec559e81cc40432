#include "MenuReale.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDeadlineTimer>

namespace prova {

bool MenuReale::ConBus() {
    return !qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS");
}

QString MenuReale::NomeDiProva(const QString& radice) {
    const QString nome = QStringLiteral("it.belcor.Quarvel.%1%2")
                             .arg(radice)
                             .arg(QCoreApplication::applicationPid());
    qputenv("QUARVEL_MENU_BUS_NAME", nome.toUtf8());
    return nome;
}

QString MenuReale::Programma() {
    return QStringLiteral(QUARVEL_BINARY_DIR "/components/menu/quarvel-menu");
}

bool MenuReale::InEsecuzione() const {
    if (!ConBus())
        return false;
    QDBusConnectionInterface* bus = QDBusConnection::sessionBus().interface();
    return bus && bus->isServiceRegistered(m_servizio).value();
}

bool MenuReale::Avvia(const QStringList& argomenti, const QProcessEnvironment& ambiente,
                      QProcess::ProcessChannelMode canali) {
    Ferma();
    m_processo = std::make_unique<QProcess>();
    m_processo->setProgram(Programma());
    m_processo->setArguments(argomenti);
    m_processo->setProcessEnvironment(ambiente);
    m_processo->setProcessChannelMode(canali);
    m_processo->start();
    if (!m_processo->waitForStarted())
        return false;
    const QDeadlineTimer limite(30000);
    while (!InEsecuzione() && !limite.hasExpired() && m_processo->state() == QProcess::Running)
        QTest::qWait(20);
    return InEsecuzione();
}

void MenuReale::Ferma() {
    if (!m_processo)
        return;
    if (m_processo->state() != QProcess::NotRunning) {
        m_processo->terminate();
        const QDeadlineTimer limite(30000);
        while (m_processo->state() != QProcess::NotRunning && !limite.hasExpired())
            QTest::qWait(20);
        if (m_processo->state() != QProcess::NotRunning)
            m_processo->kill();
        m_processo->waitForFinished();
    }
    m_processo.reset();
    const QDeadlineTimer limite(10000);
    while (InEsecuzione() && !limite.hasExpired())
        QTest::qWait(20);
}

} // namespace prova
