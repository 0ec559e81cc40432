// The program and the real menu as separate processes on a session bus:
// quarvel-menu keeps the values and sends the commands, quarvel (or
// quarvel-prova, the program with the test form standing for the data forms)
// starts as the menu starts it, or by hand beside it.  Messages go to standard error
// (QUARVEL_MESSAGGI=stderr); the test form writes what it saw to a trace file.

#include "menu/NomiDBus.h"
#include "support/MenuReale.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <memory>

using namespace quarvel::menu;

namespace {

const QString Quarvel = QStringLiteral(QUARVEL_BINARY_DIR "/src/startup/quarvel");
const QString QuarvelProva = QStringLiteral(QUARVEL_BINARY_DIR "/tests/startup/quarvel-prova");

QDBusMessage Controllo(const QString& metodo, const QVariantList& argomenti) {
    QDBusMessage m = QDBusMessage::createMethodCall(ServizioMenu(), PercorsoControllo,
                                                    InterfacciaControllo, metodo);
    m.setArguments(argomenti);
    QDBusPendingCall c = QDBusConnection::sessionBus().asyncCall(m, 60000);
    c.waitForFinished();
    return c.reply();
}

QStringList Righe(const QDBusMessage& r) {
    return r.arguments().isEmpty() ? QStringList() : r.arguments().constFirst().toStringList();
}

// The reply of the one client to a command: "ok\t<reply>" or the error.
QString Comando(const QString& comando, const QVariant& parametro = QString()) {
    const QStringList righe = Righe(Controllo(
        QStringLiteral("Comando"),
        {comando, QString(), QVariant::fromValue(QDBusVariant(VersoDBus(parametro))), 0}));
    if (righe.size() != 1)
        return QStringLiteral("righe: ") + righe.join(QLatin1Char('|'));
    const QStringList c = righe.constFirst().split(QLatin1Char('\t'));
    return c.value(2) + QLatin1Char('\t') + c.value(3);
}

} // namespace

class TstProcessi : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_db;
    // The real menu, under a bus name of this test's own: other tests may run
    // a menu on the same bus, and the programs it starts inherit the name.
    prova::MenuReale m_menu{prova::MenuReale::NomeDiProva(QStringLiteral("MenuAvvio"))};
    std::unique_ptr<QProcess> m_quarvel;
    int m_lancio = 0;

    QString Traccia() const { return m_dir.filePath(QStringLiteral("traccia.txt")); }
    QString Ini() const { return m_dir.filePath(QStringLiteral("belcor.ini")); }

    QProcessEnvironment Ambiente(const QString& opzioni = {}) const {
        auto env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("QUARVEL_MESSAGGI"), QStringLiteral("stderr"));
        env.insert(QStringLiteral("QUARVEL_PROGRAM"), QuarvelProva);
        env.insert(QStringLiteral("QUARVEL_FORME_PROVA"),
                   QStringLiteral("frmGestInv,frmMagDescInv,frmLiFo"));
        env.insert(QStringLiteral("QUARVEL_PROVA_TRACCIA"), Traccia());
        env.insert(QStringLiteral("QUARVEL_INSTALL_INI"),
                   m_dir.filePath(QStringLiteral("BelcorInst.ini")));
        if (!opzioni.isEmpty())
            env.insert(QStringLiteral("QUARVEL_PROVA_OPZIONI"), opzioni);
        return env;
    }

    QStringList LeggiTraccia() const {
        QFile f(Traccia());
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    bool AttendiTraccia(const QString& inizio, int ms = 30000) {
        const QDeadlineTimer limite(ms);
        while (!limite.hasExpired()) {
            for (const QString& r : LeggiTraccia())
                if (r.startsWith(inizio))
                    return true;
            QTest::qWait(20);
        }
        return false;
    }
    // A value of the "sessione" line of the trace.
    QString Sessione(const QString& nome) const {
        for (const QString& r : LeggiTraccia())
            if (r.startsWith(QLatin1String("sessione ")))
                for (const QString& c : r.mid(9).split(QLatin1Char('\t')))
                    if (c.startsWith(nome + QLatin1Char('=')))
                        return c.mid(nome.size() + 1);
        return QStringLiteral("<none>");
    }

    bool AvviaMenu(const QStringList& altri = {}) {
        return m_menu.Avvia(
            QStringList{QStringLiteral("--archivio"),
                        m_dir.filePath(QStringLiteral("menu-%1.ini").arg(++m_lancio)),
                        QStringLiteral("--senza-dialoghi"), QStringLiteral("--nascosto"),
                        QStringLiteral("--ditta"), m_db, QStringLiteral("--descrizione"),
                        QStringLiteral("Ditta prova"), QStringLiteral("--ini"), Ini()} +
                altri,
            Ambiente(), QProcess::MergedChannels);
    }

    // The program started as the menu starts it, with the test form.
    void AvviaQuarvel(const QStringList& argomenti, const QString& opzioni = {}) {
        m_quarvel = std::make_unique<QProcess>();
        m_quarvel->setProgram(QuarvelProva);
        m_quarvel->setArguments(argomenti);
        m_quarvel->setProcessEnvironment(Ambiente(opzioni));
        m_quarvel->start();
        QVERIFY(m_quarvel->waitForStarted());
    }

    bool AttendiFine(QProcess& p, int ms = 30000) {
        const QDeadlineTimer limite(ms);
        while (p.state() != QProcess::NotRunning && !limite.hasExpired())
            QTest::qWait(20);
        return p.state() == QProcess::NotRunning;
    }

    void Ferma(std::unique_ptr<QProcess>& p) {
        if (!p)
            return;
        if (p->state() != QProcess::NotRunning) {
            p->terminate();
            if (!AttendiFine(*p, 10000))
                p->kill();
            p->waitForFinished();
        }
        p.reset();
    }

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        m_db = m_dir.filePath(QStringLiteral("ditta.db"));
        QProcess p;
        p.start(QStringLiteral(QUARVEL_BINARY_DIR "/components/data/quarvel-ditta"),
                {QStringLiteral("--demo"), m_db});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 0);
        const QString param = m_dir.filePath(QStringLiteral("parametri.ini"));
        QFile ini(Ini());
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write(QStringLiteral("[Parametri Generali]\nOrdIniDBase=%1\n").arg(param).toUtf8());
        ini.close();
        QFile par(param);
        QVERIFY(par.open(QIODevice::WriteOnly));
        par.write("[Risoluzione Video]\nGenerale=-1\n");
    }
    void init() { QFile::remove(Traccia()); }
    void cleanup() {
        Ferma(m_quarvel);
        m_menu.Ferma();
    }

    void senzaMenu_data() {
        QTest::addColumn<bool>("bus");
        QTest::newRow("no session bus") << false;
        QTest::newRow("bus without the menu") << true;
    }
    void senzaMenu() {
        QFETCH(bool, bus);
        if (bus)
            SALTA_SENZA_BUS();
        QProcess p;
        auto env = Ambiente();
        if (!bus)
            env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
        p.setProcessEnvironment(env);
        p.start(Quarvel, {QStringLiteral("/Mm-1"), QStringLiteral("/PQUARVEL INV01"),
                          QStringLiteral("/FfrmGestInv")});
        QVERIFY(p.waitForStarted());
        QVERIFY(AttendiFine(p));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 0);
        const QString err = QString::fromUtf8(p.readAllStandardError());
        QVERIFY2(err.contains(QStringLiteral("Il menu principale non è in esecuzione")),
                 qPrintable(err));
        QVERIFY(err.contains(QStringLiteral("Questo programma non può essere eseguito "
                                            "autonomamente")));
        QCOMPARE(err.count(QStringLiteral("[msg")), 1);
    }

    // The menu launches the program for a function: it registers, takes the
    // company and the parameter file from the menu and opens the form.
    void lancioDalMenu() {
        SALTA_SENZA_BUS();
        QVERIFY(AvviaMenu({QStringLiteral("--valore"), QStringLiteral("Ditta.CodEuro=Euro")}));
        const QDBusMessage r =
            Controllo(QStringLiteral("Avvia"), {QStringLiteral("Gestione inventari"), QString()});
        QCOMPARE(r.type(), QDBusMessage::ReplyMessage);
        QVERIFY2(AttendiTraccia(QStringLiteral("mostrata")), qPrintable(m_menu->readAll()));
        QCOMPARE(Sessione(QStringLiteral("DescrizioneDitta")), QStringLiteral("Ditta prova"));
        QCOMPARE(Sessione(QStringLiteral("DecimaliEuro")), QStringLiteral("2"));
        QCOMPARE(Sessione(QStringLiteral("FileIniPrincipale")), Ini());
        QCOMPARE(Sessione(QStringLiteral("FileIniParametri")),
                 m_dir.filePath(QStringLiteral("parametri.ini")));
        QVERIFY(!Sessione(QStringLiteral("OpzioneM")).isEmpty());
        const QStringList clienti = Righe(Controllo(QStringLiteral("Clienti"), {}));
        QCOMPARE(clienti.size(), 1);
        const QStringList c = clienti.constFirst().split(QLatin1Char('\t'));
        // number, pid, switch M, switch P, its rest, functions
        QCOMPARE(c.value(2), Sessione(QStringLiteral("OpzioneM")));
        QCOMPARE(c.value(3), Sessione(QStringLiteral("OpzioneP")));
        QCOMPARE(c.value(4), Sessione(QStringLiteral("OpzionePResto")));
        QVERIFY(!c.value(4).isEmpty());
        QCOMPARE(Sessione(QStringLiteral("osKeySec")), c.value(4));
        // "fine" from the menu: the form closes, the program leaves the bus.
        QCOMPARE(Comando(QStringLiteral("fine")), QStringLiteral("ok\t"));
        const QDeadlineTimer limite(30000);
        while (!Righe(Controllo(QStringLiteral("Clienti"), {})).isEmpty() && !limite.hasExpired())
            QTest::qWait(20);
        QVERIFY(Righe(Controllo(QStringLiteral("Clienti"), {})).isEmpty());
        QVERIFY(AttendiTraccia(QStringLiteral("chiusa")));
    }

    // A secret of the menu (the common database's password) reaches the
    // program the menu started, not one started by hand that registered.
    void segreti_data() {
        QTest::addColumn<bool>("dalMenu");
        QTest::newRow("started by the menu") << true;
        QTest::newRow("started by hand") << false;
    }
    void segreti() {
        SALTA_SENZA_BUS();
        QFETCH(bool, dalMenu);
        const QString segreto = QStringLiteral("pw-comune §ç");
        QVERIFY(AvviaMenu({QStringLiteral("--valore"), QStringLiteral("AccMenuPwd=") + segreto}));
        if (dalMenu)
            QCOMPARE(Controllo(QStringLiteral("Avvia"), {QStringLiteral("GESTINV"), QString()})
                         .arguments()
                         .value(0)
                         .toString(),
                     QString());
        else
            AvviaQuarvel({QStringLiteral("/Mprova-1"), QStringLiteral("/PQUARVEL GESTINV"),
                          QStringLiteral("/FfrmGestInv")});
        QVERIFY2(AttendiTraccia(QStringLiteral("mostrata")), qPrintable(m_menu->readAll()));
        // Either way the program registered and opened its form.
        QCOMPARE(Sessione(QStringLiteral("DescrizioneDitta")), QStringLiteral("Ditta prova"));
        QCOMPARE(Sessione(QStringLiteral("PwdDbMenu")), dalMenu ? segreto : QString());
        QCOMPARE(Comando(QStringLiteral("fine")), QStringLiteral("ok\t"));
    }

    // The program takes commands only from the menu: "fine" from another
    // process of the session is refused and the program stays.
    void comandoNonDalMenu() {
        SALTA_SENZA_BUS();
        QVERIFY(AvviaMenu());
        AvviaQuarvel({QStringLiteral("/Mprova-1"), QStringLiteral("/PQUARVEL INV01"),
                      QStringLiteral("/FfrmGestInv")});
        QVERIFY(AttendiTraccia(QStringLiteral("mostrata")));
        QDBusConnectionInterface* bus = QDBusConnection::sessionBus().interface();
        QStringList errori;
        for (const QString& nome : bus->registeredServiceNames().value()) {
            if (!nome.startsWith(QLatin1Char(':')) ||
                qint64(bus->servicePid(nome).value()) != m_quarvel->processId())
                continue;
            QDBusMessage m = QDBusMessage::createMethodCall(
                nome, PercorsoCliente, InterfacciaCliente, QStringLiteral("EseguiComando"));
            m.setArguments({QStringLiteral("prova"), QString(), QStringLiteral("fine"),
                            QVariant::fromValue(QDBusVariant(QString()))});
            const QDBusMessage r = QDBusConnection::sessionBus().call(m, QDBus::Block, 30000);
            QCOMPARE(r.type(), QDBusMessage::ErrorMessage);
            errori << r.errorName();
        }
        QVERIFY2(errori.contains(QStringLiteral("org.freedesktop.DBus.Error.AccessDenied")),
                 qPrintable(errori.join(QLatin1Char(' '))));
        QVERIFY(!AttendiFine(*m_quarvel, 500));
        QVERIFY(!AttendiTraccia(QStringLiteral("chiusa"), 0));
        // From the menu it is obeyed.
        QCOMPARE(Comando(QStringLiteral("fine")), QStringLiteral("ok\t"));
        QVERIFY(AttendiFine(*m_quarvel));
        QVERIFY(AttendiTraccia(QStringLiteral("chiusa")));
    }

    void opzioneP_data() {
        QTest::addColumn<QString>("switchP");
        QTest::addColumn<QString>("p");
        QTest::addColumn<QString>("resto");
        QTest::newRow("with a blank") << "/PQUARVEL INV01"
                                      << "QUARVEL"
                                      << "INV01";
        QTest::newRow("without a blank") << "/PQUARVEL"
                                         << "QUARVEL"
                                         << "";
    }
    void opzioneP() {
        SALTA_SENZA_BUS();
        QFETCH(QString, switchP);
        QFETCH(QString, p);
        QFETCH(QString, resto);
        QVERIFY(AvviaMenu());
        AvviaQuarvel({QStringLiteral("/Mprova-1"), switchP, QStringLiteral("/FfrmGestInv")});
        QVERIFY(AttendiTraccia(QStringLiteral("mostrata")));
        const QStringList c =
            Righe(Controllo(QStringLiteral("Clienti"), {})).value(0).split(QLatin1Char('\t'));
        QCOMPARE(c.value(1).toLongLong(), m_quarvel->processId());
        QCOMPARE(c.value(2), QStringLiteral("prova-1"));
        QCOMPARE(c.value(3), p);
        QCOMPARE(c.value(4), resto);
        QCOMPARE(Sessione(QStringLiteral("osKeySec")), resto);
    }

    void versMenu_data() {
        QTest::addColumn<QString>("versione");
        QTest::addColumn<QString>("segmento");
        QTest::newRow("1.07") << "1.07"
                              << "^S\\d+\\.36$";
        QTest::newRow("1.06") << "1.06"
                              << "^S\\d+$";
        QTest::newRow("none") << ""
                              << "^S\\d+$";
    }
    void versMenu() {
        SALTA_SENZA_BUS();
        QFETCH(QString, versione);
        QFETCH(QString, segmento);
        QVERIFY(AvviaMenu({QStringLiteral("--valore"), QStringLiteral("VersMenu=") + versione}));
        AvviaQuarvel({QStringLiteral("/Mprova-1"), QStringLiteral("/PQUARVEL INV01"),
                      QStringLiteral("/FfrmGestInv")});
        QVERIFY(AttendiTraccia(QStringLiteral("mostrata")));
        QVERIFY2(
            QRegularExpression(segmento).match(Sessione(QStringLiteral("SegmentoMenu"))).hasMatch(),
            qPrintable(Sessione(QStringLiteral("SegmentoMenu"))));
    }

    void connessioneFallita() {
        SALTA_SENZA_BUS();
        QVERIFY(AvviaMenu(
            {QStringLiteral("--ditta"), m_dir.filePath(QStringLiteral("nessuna/ditta.db"))}));
        AvviaQuarvel({QStringLiteral("/Mprova-1"), QStringLiteral("/PQUARVEL INV01"),
                      QStringLiteral("/FfrmGestInv")});
        QVERIFY(AttendiFine(*m_quarvel));
        QCOMPARE(m_quarvel->exitCode(), 0);
        QVERIFY(!AttendiTraccia(QStringLiteral("sessione"), 0));
        const QString err = QString::fromUtf8(m_quarvel->readAllStandardError());
        QVERIFY2(err.contains(QStringLiteral("[box")) || err.contains(QStringLiteral("[msg")),
                 qPrintable(err));
    }

    void fine_data() {
        QTest::addColumn<QString>("opzioni");
        QTest::addColumn<QString>("risposta");
        QTest::addColumn<bool>("termina");
        QTest::newRow("no window left") << ""
                                        << "" << true;
        QTest::newRow("a window refuses") << "/NOCHIUDI"
                                          << "No Chiudi" << false;
        QTest::newRow("a modal window") << "/MODALE"
                                        << "Maschera Modal" << false;
    }
    void fine() {
        SALTA_SENZA_BUS();
        QFETCH(QString, opzioni);
        QFETCH(QString, risposta);
        QFETCH(bool, termina);
        QVERIFY(AvviaMenu());
        AvviaQuarvel({QStringLiteral("/Mprova-1"), QStringLiteral("/PQUARVEL INV01"),
                      QStringLiteral("/FfrmGestInv")},
                     opzioni);
        QVERIFY(AttendiTraccia(QStringLiteral("mostrata")));
        // the modal window opens once the form is shown: "fine" comes after it
        if (opzioni.contains(QStringLiteral("/MODALE")))
            QVERIFY(AttendiTraccia(QStringLiteral("modale")));
        QCOMPARE(Comando(QStringLiteral("fine")), QStringLiteral("ok\t") + risposta);
        QCOMPARE(AttendiFine(*m_quarvel, termina ? 30000 : 500), termina);
        if (termina)
            QCOMPARE(m_quarvel->exitCode(), 0);
    }

    void comandi_data() {
        QTest::addColumn<QString>("comando");
        QTest::addColumn<QString>("risposta");
        QTest::newRow("paramprgclie") << "paramprgclie"
                                      << "ok\t$Default$";
        QTest::newRow("comandoprgclie") << "comandoprgclie"
                                        << "ok\t";
        QTest::newRow("esiste") << "esiste"
                                << "ok\tTrue";
    }
    void comandi() {
        SALTA_SENZA_BUS();
        QFETCH(QString, comando);
        QFETCH(QString, risposta);
        QVERIFY(AvviaMenu());
        AvviaQuarvel({QStringLiteral("/Mprova-1"), QStringLiteral("/PQUARVEL INV01"),
                      QStringLiteral("/FfrmGestInv")});
        QVERIFY(AttendiTraccia(QStringLiteral("mostrata")));
        QCOMPARE(Comando(comando), risposta);
    }

    void passaaVuoto() {
        SALTA_SENZA_BUS();
        QVERIFY(AvviaMenu());
        AvviaQuarvel({QStringLiteral("/Mprova-1"), QStringLiteral("/PQUARVEL INV01"),
                      QStringLiteral("/FfrmGestInv")});
        QVERIFY(AttendiTraccia(QStringLiteral("mostrata")));
        QCOMPARE(Comando(QStringLiteral("passaa"), QString()), QStringLiteral("ok\t"));
        // The form stays open, and with it the program.
        QVERIFY(!AttendiFine(*m_quarvel, 500));
        const QString err = QString::fromUtf8(m_quarvel->readAllStandardError());
        QVERIFY2(err.contains(QStringLiteral("La form richiesta e' inesistente")), qPrintable(err));
        QCOMPARE(Comando(QStringLiteral("fine")), QStringLiteral("ok\t"));
        QVERIFY(AttendiFine(*m_quarvel));
    }

    void formInesistente() {
        SALTA_SENZA_BUS();
        QVERIFY(AvviaMenu());
        AvviaQuarvel({QStringLiteral("/Mprova-1"), QStringLiteral("/PQUARVEL INV01"),
                      QStringLiteral("/FfrmNessuna")});
        QVERIFY(AttendiFine(*m_quarvel));
        QCOMPARE(m_quarvel->exitCode(), 0);
        const QString err = QString::fromUtf8(m_quarvel->readAllStandardError());
        QVERIFY2(err.contains(QStringLiteral("La form richiesta e' inesistente")), qPrintable(err));
        QVERIFY(!AttendiTraccia(QStringLiteral("sessione"), 0));
    }
};

QTEST_MAIN(TstProcessi)
#include "tst_processi.moc"
