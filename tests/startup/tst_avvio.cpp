// The start-up, the form dispatcher, the hidden main window and the menu's
// commands in one process: a menu client of the test's own, the real
// data-access component over an SQLite demo company, the test form.

#include "FormProva.h"
#include "MenuFinto.h"

#include "data/ComponenteDatiSql.h"
#include "database/Connessione.h"
#include "database/FrmConn.h"
#include "lifo/FrmMagDescInv.h"
#include "listcmd/Comlin.h"
#include "listform/FrmLista.h"
#include "listform/ProcedureForm.h"
#include "startup/Avvio.h"
#include "startup/Principale.h"
#include "suite/ComponenteDati.h"
#include "suite/FormDati.h"
#include "suite/Messaggi.h"
#include "suite/Sessione.h"
#include "utility/Utilita.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using namespace quarvel;
using namespace quarvel::prova;

namespace {

// A data-access component whose opening answers a fixed reply.
class ComponenteRisposta final : public IComponenteDati {
public:
    explicit ComponenteRisposta(QString r) : m_risposta(std::move(r)) {}
    QString Parametro(const QString& n) const override { return m_par.value(n); }
    void ImpostaParametro(const QString& n, const QString& v) override { m_par.insert(n, v); }
    void Apri(const QString&, int, bool, bool, const QString&, QString& risposta) override {
        risposta = m_risposta;
    }
    void Chiudi(const QString&) override {}
    std::unique_ptr<IRecordset> ApriRecordset(const QString&, const QString&) override {
        throw Errore(3146, QStringLiteral("non aperto"));
    }
    qint64 Esegui(const QString&, const QString&) override { return 0; }
    void Inizia(const QString&) override {}
    void Conferma(const QString&) override {}
    void Annulla(const QString&) override {}
    QString Traduci(const QString& sql, const QString&) const override { return sql; }
    QSqlDatabase Database(const QString&) const override { return {}; }

private:
    QString m_risposta;
    QMap<QString, QString> m_par;
};

int NumeroForme() {
    int n = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (dynamic_cast<FormProva*>(w))
            ++n;
    return n;
}

FormProva* Form() {
    return qobject_cast<FormProva*>(IstanzaForm(QStringLiteral("frmProva")));
}

QVariant Comando(const QString& comando, const QVariant& parametro = {},
                 const QString& chiave = {}) {
    QVariant r;
    IMenuClient* m = Sessione().MenuClient;
    auto* link = CollegamentoMenu();
    if (link && m)
        link->EseguiComando(QStringLiteral("M1"), chiave, comando, parametro, r);
    else
        EseguiComandoMenu(QStringLiteral("M1"), chiave, comando, parametro, r);
    return r;
}

// Stands between the code and the scripted answers: records, for every
// message, the default button of a question and how many data forms were
// still alive when it was shown.
class Osservatore final : public ServizioMessaggi {
public:
    explicit Osservatore(MessaggiScriptati& risposte) : m_risposte(risposte) {
        ImpostaServizioMessaggi(this);
    }
    ~Osservatore() override { ImpostaServizioMessaggi(&m_risposte); }

    std::vector<int> predefiniti; // 0 for a message box
    std::vector<int> formeVive;

    int msgCom(const RichiestaMsgCom& r) override {
        predefiniti.push_back(r.piComDefault);
        formeVive.push_back(FormeVive());
        return m_risposte.msgCom(r);
    }
    int msgBox(const RichiestaMsgBox& r) override {
        predefiniti.push_back(0);
        formeVive.push_back(FormeVive());
        return m_risposte.msgBox(r);
    }
    QString inputBox(const RichiestaInput& r) override { return m_risposte.inputBox(r); }

private:
    static int FormeVive() {
        int n = 0;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (dynamic_cast<FormDati*>(w))
                ++n;
        return n;
    }
    MessaggiScriptati& m_risposte;
};

} // namespace

class TstAvvio : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_db;
    MenuFinto* m_menu = nullptr; // owned by the start-up once created
    std::function<void(MenuFinto&)> m_prepara;
    std::optional<QString> m_rispostaDb;
    bool m_clientFallisce = false;
    int m_fine = 0;
    // A busy machine: the start-up's timers are already due when its
    // events are first processed.
    bool m_lento = false;
    std::unique_ptr<MessaggiScriptati> m_msg;

    QString Ini() const { return m_dir.filePath(QStringLiteral("belcor.ini")); }

    void Scrivi(const QString& file, const QString& testo) {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(testo.toUtf8());
    }

    // Runs the start-up with the command line given.
    void Avvia(const QString& riga) {
        AmbienteAvvio a;
        a.creaMenuClient = [this]() -> std::unique_ptr<IMenuClient> {
            if (m_clientFallisce)
                throw Errore(5, QStringLiteral("Il menu non è in esecuzione"));
            auto m = std::make_unique<MenuFinto>();
            m->valori.insert(QStringLiteral("NomeDBAzie"), m_db);
            m->valori.insert(QStringLiteral("DescAzie"), QStringLiteral("Ditta di prova"));
            m->fileIni = Ini();
            m->lancio.osParam = QStringLiteral("/FfrmProva");
            if (m_prepara)
                m_prepara(*m);
            m_menu = m.get();
            return m;
        };
        if (m_rispostaDb)
            a.creaComponenteDati = [this] {
                return std::make_unique<ComponenteRisposta>(*m_rispostaDb);
            };
        a.rigaComando = riga;
        a.fineProcesso = [this] { ++m_fine; };
        ImpostaAmbienteAvvio(std::move(a));
        Main();
        if (m_lento)
            QTest::qSleep(20);
        QCoreApplication::processEvents();
    }

    // A copy of the demo company under the name given, with the root page of
    // the schema object chosen by dove (a condition on sqlite_master)
    // overwritten: the file opens, the first read of that object fails as a
    // damaged file.
    void CopiaDanneggiata(const QString& file, const QString& dove) {
        for (const QString& n :
             QDir(m_dir.path()).entryList({QFileInfo(file).fileName() + QLatin1Char('*')}))
            QFile::remove(m_dir.filePath(n));
        {
            QSqlDatabase db =
                QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("copia"));
            db.setDatabaseName(m_db);
            QVERIFY(db.open());
            QSqlQuery q(db);
            QVERIFY(q.exec(QStringLiteral("VACUUM INTO '%1'").arg(file)));
            q = QSqlQuery();
            db.close();
            db.setDatabaseName(file);
            QVERIFY(db.open());
            q = QSqlQuery(db);
            QVERIFY(q.exec(QStringLiteral("PRAGMA page_size")) && q.next());
            const qint64 pagina = q.value(0).toLongLong();
            QVERIFY(q.exec(QStringLiteral("SELECT rootpage FROM sqlite_master WHERE ") + dove) &&
                    q.next());
            const qint64 radice = q.value(0).toLongLong();
            q = QSqlQuery();
            db.close();
            QFile f(file);
            QVERIFY(f.open(QIODevice::ReadWrite));
            QVERIFY(f.seek((radice - 1) * pagina));
            f.write(QByteArray(int(pagina), '\xA5'));
        }
        QSqlDatabase::removeDatabase(QStringLiteral("copia"));
    }

    // The rows of a table of a company file, -1 when they cannot be read.
    static qint64 Righe(const QString& file, const QString& tabella) {
        qint64 n = -1;
        {
            QSqlDatabase db =
                QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("verifica"));
            db.setDatabaseName(file);
            if (db.open()) {
                QSqlQuery q(db);
                // Every row, through the table itself (a count could read an
                // index only).
                q.setForwardOnly(true);
                if (q.exec(QStringLiteral("SELECT * FROM ") + tabella)) {
                    qint64 righe = 0;
                    while (q.next())
                        ++righe;
                    if (!q.lastError().isValid())
                        n = righe;
                }
            }
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("verifica"));
        return n;
    }

    // Lets the hidden main window's timer run for a while.
    void Attendi(int ms) { QTest::qWait(ms); }

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        InstallaUtilita();
        dati::Registra();
        listcmd::InstallaListaComandi();
        m_db = m_dir.filePath(QStringLiteral("ditta.db"));
        QProcess p;
        p.start(QStringLiteral(QUARVEL_BINARY_DIR "/components/data/quarvel-ditta"),
                {QStringLiteral("--demo"), m_db});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 0);
        const QString param = m_dir.filePath(QStringLiteral("parametri.ini"));
        Scrivi(Ini(), QStringLiteral("[Parametri Generali]\nOrdIniDBase=%1\n").arg(param));
        Scrivi(param, QStringLiteral("[Configurazioni]\nFormatData=dd/mm/yy\n"
                                     "[Risoluzione Video]\nGenerale=-1\n"));
    }

    void init() {
        AzzeraRegistroForm();
        RegistraFormProva();
        m_prepara = {};
        m_rispostaDb.reset();
        m_clientFallisce = false;
        m_fine = 0;
        m_lento = false;
        m_menu = nullptr;
        m_msg = std::make_unique<MessaggiScriptati>();
    }

    void cleanup() {
        TerminaAvvio();
        ScaricaFrmConn();
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isWindow())
                w->deleteLater();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        m_msg.reset();
    }

    // ---- Start-up --------------------------------------------------------------------

    void opzioneP_data() {
        QTest::addColumn<QString>("riga");
        QTest::addColumn<QString>("p");
        QTest::addColumn<QString>("resto");
        QTest::newRow("with a blank") << "/Mm-1 /PQUARVEL INV01 /FfrmProva"
                                      << "QUARVEL"
                                      << "INV01";
        QTest::newRow("without a blank") << "/Mm-1 /PQUARVEL /FfrmProva"
                                         << "QUARVEL"
                                         << "";
        QTest::newRow("no switch P") << "/Mm-1 /FfrmProva"
                                     << ""
                                     << "";
    }
    void opzioneP() {
        QFETCH(QString, riga);
        QFETCH(QString, p);
        QFETCH(QString, resto);
        Avvia(riga);
        QCOMPARE(Sessione().OpzioneM, QStringLiteral("m-1"));
        QCOMPARE(Sessione().OpzioneP, p);
        QCOMPARE(Sessione().OpzionePResto, resto);
        QVERIFY(m_menu->chiamate.contains(QStringLiteral("Collega(m-1|%1|%2)").arg(p, resto)));
        QVERIFY(Form());
        // The rest of switch P is the function key of the data form.
        QCOMPARE(Form()->osKeySec, resto);
        QCOMPARE(m_fine, 0);
    }

    void versMenu_data() {
        QTest::addColumn<QString>("versione");
        QTest::addColumn<bool>("lista");
        QTest::newRow("1.07") << "1.07" << true;
        QTest::newRow("1,07") << "1,07" << true;
        QTest::newRow("1.2") << "1.2" << true;
        QTest::newRow("1.06") << "1.06" << false;
        QTest::newRow("empty") << "" << false;
    }
    void versMenu() {
        QFETCH(QString, versione);
        QFETCH(bool, lista);
        m_prepara = [versione](MenuFinto& m) {
            m.valori.insert(QStringLiteral("VersMenu"), versione);
        };
        Avvia(QStringLiteral("/Mm-1 /PQUARVEL /FfrmProva"));
        QCOMPARE(m_menu->parametriAddSeg.size(), 1);
        const QVariant p = m_menu->parametriAddSeg.constFirst();
        if (lista) {
            QCOMPARE(p.toList(), (QVariantList{36, QStringLiteral("S1")}));
            QCOMPARE(Sessione().SegmentoMenu, QStringLiteral("S1.36"));
        } else {
            QCOMPARE(p.toInt(), 36);
            QVERIFY(p.typeId() != QMetaType::QVariantList);
            QCOMPARE(Sessione().SegmentoMenu, QStringLiteral("S1"));
        }
    }

    // A damaged page met while the session loads, after the opening went
    // through: the repair is offered as on opening, and the repaired file is
    // loaded again and the form opens.
    void dannoDopoApertura_data() {
        QTest::addColumn<int>("risposta"); // to the repair offer
        QTest::newRow("repair accepted") << int(vbOK);
        QTest::newRow("repair refused") << int(vbCancel);
    }
    void dannoDopoApertura() {
        QFETCH(int, risposta);
        const QString file = m_dir.filePath(QStringLiteral("danneggiata.db"));
        // The index of the currencies, which the session reads by code.
        CopiaDanneggiata(file, QStringLiteral("type = 'index' AND tbl_name = 'Monete'"));
        if (QTest::currentTestFailed())
            return;
        m_prepara = [file](MenuFinto& m) { m.valori.insert(QStringLiteral("NomeDBAzie"), file); };
        m_msg->rispondi(risposta);

        Avvia(QStringLiteral("/Mm-1 /PQUARVEL /FfrmProva"));

        QCOMPARE(m_msg->testi(),
                 QStringList{QStringLiteral("Errore nell'apertura del database ") + file +
                             QStringLiteral("\r\nVuoi tentare di recuperarlo")});
        const QStringList copie =
            QDir(m_dir.path()).entryList({QStringLiteral("danneggiata.db.danneggiato-*")});
        if (risposta == int(vbOK)) {
            QVERIFY(Form());
            QCOMPARE(m_fine, 0);
            QCOMPARE(Sessione().DbDitta.databaseName(), file);
            QCOMPARE(Sessione().DecimaliEuro, qint16(2));
            QCOMPARE(copie.size(), 1);
        } else {
            QTRY_COMPARE(m_fine, 1);
            QCOMPARE(NumeroForme(), 0);
            QVERIFY(copie.isEmpty());
        }
    }

    // A damaged page met later, by a data form's own record set: after the
    // error the operator is asked once a session whether to close the
    // program and repair the file.  Annulla leaves the form as it is; Ok
    // closes the forms as the menu's "fine" does, offers the repair once no
    // form is left, and the program ends.  A form that refuses to close keeps
    // the program open, and the repair waits for the program's end.
    void dannoInUnaForm_data() {
        QTest::addColumn<QString>("caso");
        QTest::newRow("Annulla") << "annulla";
        QTest::newRow("Ok, repair accepted") << "ok";
        QTest::newRow("Ok, repair refused") << "rifiutata";
        QTest::newRow("Ok, a form refuses to close") << "nochiudi";
    }
    void dannoInUnaForm() {
        QFETCH(QString, caso);
        const QString file = m_dir.filePath(QStringLiteral("danneggiata in form.db"));
        // A table the session does not read while it loads.
        CopiaDanneggiata(file, QStringLiteral("type = 'table' AND tbl_name = 'MagDescrInv'"));
        if (QTest::currentTestFailed())
            return;
        const qint64 monete = Righe(file, QStringLiteral("Monete"));
        QVERIFY(monete > 0);
        QCOMPARE(Righe(file, QStringLiteral("MagDescrInv")), -1);
        m_prepara = [file](MenuFinto& m) { m.valori.insert(QStringLiteral("NomeDBAzie"), file); };
        Avvia(QStringLiteral("/Mm-1 /PQUARVEL INV01 /FfrmProva"));
        QVERIFY(Form());
        QCOMPARE(m_msg->mostrati().size(), std::size_t(0));
        if (caso == QLatin1String("nochiudi"))
            Form()->osParam += QStringLiteral(" /NOCHIUDI");

        Osservatore osservatore(*m_msg);
        m_msg->rispondi(caso == QLatin1String("annulla") ? 2 : 1);
        if (caso == QLatin1String("ok")) {
            m_msg->rispondi(int(vbOK));
            m_msg->rispondi(1); // repaired: "&Ok"
        } else if (caso == QLatin1String("rifiutata"))
            m_msg->rispondi(int(vbCancel));
        else if (caso == QLatin1String("nochiudi"))
            m_msg->rispondi(1); // the program stays open: "&Ok"
        QCOMPARE(Form()->Leggi(QStringLiteral("Select * from MagDescrInv")), -1);

        // The error first, as every error of a data form, then the question.
        QCOMPARE(m_menu->messaggi.size(), 1);
        QVERIFY2(m_menu->messaggi.at(0).startsWith(QStringLiteral("Errore(3343): Il file del "
                                                                  "database è danneggiato")),
                 qPrintable(m_menu->messaggi.at(0)));
        QCOMPARE(m_msg->mostrati().size(), std::size_t(1));
        const auto& domanda = m_msg->mostrati().front();
        QCOMPARE(int(domanda.tipo), int(MessaggiScriptati::Tipo::MsgCom));
        QCOMPARE(domanda.testo, TestoChiudiERipara(file));
        QCOMPARE(domanda.pulsanti,
                 (QStringList{QStringLiteral("&Ok"), QStringLiteral("&Annulla")}));
        QCOMPARE(osservatore.predefiniti.front(), 2);

        const QStringList copie{QStringLiteral("danneggiata in form.db.danneggiato-*")};
        if (caso == QLatin1String("annulla")) {
            Attendi(300);
            QCOMPARE(m_fine, 0);
            QVERIFY(Form());
            QVERIFY(Form()->isVisible());
            // The form goes on reading what is sound; the next damaged read
            // shows its error and asks nothing.
            QCOMPARE(Form()->Leggi(QStringLiteral("Select * from Monete")), int(monete));
            QCOMPARE(Form()->Leggi(QStringLiteral("Select * from MagDescrInv")), -1);
            QCOMPARE(m_menu->messaggi.size(), 2);
            QCOMPARE(m_msg->mostrati().size(), std::size_t(1));
            Attendi(100);
            QCOMPARE(m_fine, 0);
            QVERIFY(QDir(m_dir.path()).entryList(copie).isEmpty());
            QCOMPARE(Righe(file, QStringLiteral("MagDescrInv")), -1);
            return;
        }

        if (caso == QLatin1String("nochiudi")) {
            // The form stays and says why; nothing is repaired while it is open.
            QTRY_COMPARE(m_msg->mostrati().size(), std::size_t(2));
            QCOMPARE(m_msg->mostrati().at(1).testo, testi_principale::RiparazioneRinviata(file));
            QVERIFY(Form());
            Attendi(300);
            QCOMPARE(m_fine, 0);
            QCOMPARE(m_msg->mostrati().size(), std::size_t(2));
            // Once the operator closes it, the program ends with the repair.
            m_msg->rispondi(int(vbOK));
            m_msg->rispondi(1);
            Form()->osParam.remove(QStringLiteral(" /NOCHIUDI"));
            QVERIFY(Form()->close());
        }

        QTRY_COMPARE(m_fine, 1);
        QTRY_COMPARE(NumeroForme(), 0);
        const std::size_t offerta = caso == QLatin1String("nochiudi") ? 2 : 1;
        const bool riparata = caso != QLatin1String("rifiutata");
        QCOMPARE(m_msg->mostrati().size(), offerta + (riparata ? 2 : 1));
        QCOMPARE(m_msg->mostrati().at(offerta).testo, testi_connessione::Recuperare(file));
        // A repair that was done is told, since nothing opens the file again.
        if (riparata)
            QCOMPARE(m_msg->mostrati().at(offerta + 1).testo, testi_principale::Riparato(file));
        // The offer came when no data form was left holding the file.
        QCOMPARE(osservatore.formeVive.at(offerta), 0);
        // The form closed through its own closing: the menu heard that the
        // function ended.
        QVERIFY(m_menu->chiamate.contains(QStringLiteral("FineFunzione(INV01)")));
        QVERIFY(m_menu->chiamate.contains(QStringLiteral("Scollega")));
        QCOMPARE(m_msg->nonRisposte(), 0);
        if (caso == QLatin1String("rifiutata")) {
            QVERIFY(QDir(m_dir.path()).entryList(copie).isEmpty());
            QCOMPARE(Righe(file, QStringLiteral("MagDescrInv")), -1);
            return;
        }
        QCOMPARE(QDir(m_dir.path()).entryList(copie).size(), 1);
        QCOMPARE(Righe(file, QStringLiteral("Monete")), monete);
        QVERIFY(Righe(file, QStringLiteral("MagDescrInv")) >= 0);
    }

    // The real headers form meets the damaged page while it loads: its load
    // fails with the error, the question comes, and Ok leads to the repair
    // and the end of the program.  On a busy machine the closing planned by
    // the failed load is already due when the closing asked by the question
    // runs: the program still closes once, and the repair comes before the end.
    void dannoNelCaricamentoDellaForm_data() {
        QTest::addColumn<bool>("lento");
        QTest::newRow("idle machine") << false;
        QTest::newRow("busy machine") << true;
    }
    void dannoNelCaricamentoDellaForm() {
        QFETCH(bool, lento);
        m_lento = lento;
        const QString file = m_dir.filePath(QStringLiteral("danneggiata testate.db"));
        CopiaDanneggiata(file, QStringLiteral("type = 'table' AND tbl_name = 'MagDescrInv'"));
        if (QTest::currentTestFailed())
            return;
        RegistraFrmMagDescInv();
        m_prepara = [file](MenuFinto& m) {
            m.valori.insert(QStringLiteral("NomeDBAzie"), file);
            m.lancio.osParam = QStringLiteral("/FfrmMagDescInv");
        };
        Osservatore osservatore(*m_msg);
        m_msg->rispondi(1);
        m_msg->rispondi(int(vbOK));
        m_msg->rispondi(1);
        Avvia(QStringLiteral("/Mm-1 /PQUARVEL /FfrmMagDescInv"));

        QTRY_COMPARE(m_fine, 1);
        QCOMPARE(m_menu->messaggi.size(), 1);
        QVERIFY2(m_menu->messaggi.at(0).contains(QStringLiteral("Errore(3343): ")),
                 qPrintable(m_menu->messaggi.at(0)));
        // Nothing is left to run after the end: no second end, no late question.
        Attendi(100);
        QCOMPARE(m_fine, 1);
        QCOMPARE(m_msg->testi(),
                 (QStringList{TestoChiudiERipara(file), testi_connessione::Recuperare(file),
                              testi_principale::Riparato(file)}));
        QCOMPARE(m_msg->nonRisposte(), 0);
        QCOMPARE(osservatore.predefiniti.front(), 2);
        QCOMPARE(osservatore.formeVive.at(1), 0);
        QCOMPARE(QDir(m_dir.path())
                     .entryList({QStringLiteral("danneggiata testate.db.danneggiato-*")})
                     .size(),
                 1);
        QVERIFY(Righe(file, QStringLiteral("MagDescrInv")) >= 0);
    }

    // The headers form is on screen with a long list; the page of its last
    // rows is damaged, so the load (the first rows, the count through the
    // key) goes through and the operator meets the damage searching the
    // descriptions.  Annulla leaves the form on screen; Ok closes it through its own
    // closing, as the menu's "fine" does (no hand-back to the menu), and the
    // repair finds the file free of the grid's connections.
    void dannoCercandoNellaLista_data() {
        QTest::addColumn<bool>("ripara");
        QTest::newRow("Annulla") << false;
        QTest::newRow("Ok") << true;
    }
    void dannoCercandoNellaLista() {
        QFETCH(bool, ripara);
        const QString file = m_dir.filePath(QStringLiteral("danneggiata lista.db"));
        for (const QString& n :
             QDir(m_dir.path()).entryList({QStringLiteral("danneggiata lista.db*")}))
            QFile::remove(m_dir.filePath(n));
        const int righe = 3000;
        {
            QSqlDatabase db =
                QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("copia"));
            db.setDatabaseName(m_db);
            QVERIFY(db.open());
            QSqlQuery q(db);
            QVERIFY(q.exec(QStringLiteral("VACUUM INTO '%1'").arg(file)));
            q = QSqlQuery();
            db.close();
            db.setDatabaseName(file);
            QVERIFY(db.open());
            q = QSqlQuery(db);
            QVERIFY(db.transaction());
            QVERIFY(q.prepare(QStringLiteral("INSERT INTO MagDescrInv (CodInv, DataInvent, "
                                             "Descrizione) VALUES (?, '2024-12-31', ?)")));
            for (int i = 0; i < righe; ++i) {
                q.addBindValue(QStringLiteral("Z%1").arg(i, 5, 10, QLatin1Char('0')));
                q.addBindValue(QStringLiteral("RIGA-%1-").arg(i, 5, 10, QLatin1Char('0')) +
                               QString(200, QLatin1Char('x')));
                QVERIFY(q.exec());
            }
            QVERIFY(db.commit());
            QVERIFY(q.exec(QStringLiteral("PRAGMA page_size")) && q.next());
            const qint64 pagina = q.value(0).toLongLong();
            q = QSqlQuery();
            db.close();
            QFile f(file);
            QVERIFY(f.open(QIODevice::ReadWrite));
            const QByteArray tutto = f.readAll();
            const QByteArray segno =
                QStringLiteral("RIGA-%1-").arg(righe - 1, 5, 10, QLatin1Char('0')).toLatin1();
            const qint64 dove = tutto.indexOf(segno);
            QVERIFY(dove > 0);
            QCOMPARE(tutto.lastIndexOf(segno), dove);
            QVERIFY(f.seek(dove / pagina * pagina));
            f.write(QByteArray(int(pagina), '\xA5'));
        }
        QSqlDatabase::removeDatabase(QStringLiteral("copia"));

        RegistraFrmMagDescInv();
        m_prepara = [file](MenuFinto& m) {
            m.valori.insert(QStringLiteral("NomeDBAzie"), file);
            m.lancio.osParam = QStringLiteral("/FfrmMagDescInv");
        };
        Avvia(QStringLiteral("/Mm-1 /PQUARVEL INV01 /FfrmMagDescInv"));
        auto* form = qobject_cast<FrmLista*>(IstanzaForm(QStringLiteral("frmMagDescInv")));
        QVERIFY(form);
        QCOMPARE(form->oiLoadOk(), qint16(1));
        QVERIFY(form->isVisible());
        QCOMPARE(m_menu->messaggi, QStringList());

        Osservatore osservatore(*m_msg);
        // A search through the descriptions reads every page of the table.
        m_msg->rispondi(QStringLiteral("RIGA-%1").arg(righe - 1, 5, 10, QLatin1Char('0')));
        form->dbgRiga()->setCol(2);
        m_msg->rispondi(ripara ? 1 : 2);
        if (ripara) {
            m_msg->rispondi(int(vbOK));
            m_msg->rispondi(1);
        }
        form->ButtonComando(QStringLiteral("Cerca"));
        QCOMPARE(m_menu->messaggi.size(), 1);
        QVERIFY2(m_menu->messaggi.at(0).startsWith(QStringLiteral("Errore(3343): ")),
                 qPrintable(m_menu->messaggi.at(0)));
        QCOMPARE(m_msg->testi().value(1), TestoChiudiERipara(file));
        QCOMPARE(osservatore.predefiniti.front(), 2);

        const QStringList copie{QStringLiteral("danneggiata lista.db.danneggiato-*")};
        if (!ripara) {
            Attendi(300);
            QCOMPARE(m_fine, 0);
            QVERIFY(IstanzaForm(QStringLiteral("frmMagDescInv")));
            QVERIFY(form->isVisible());
            QCOMPARE(m_msg->mostrati().size(), std::size_t(2));
            QVERIFY(QDir(m_dir.path()).entryList(copie).isEmpty());
            return;
        }
        QTRY_COMPARE(m_fine, 1);
        QVERIFY(!IstanzaForm(QStringLiteral("frmMagDescInv")));
        QCOMPARE(m_msg->testi().mid(1),
                 (QStringList{TestoChiudiERipara(file), testi_connessione::Recuperare(file),
                              testi_principale::Riparato(file)}));
        QCOMPARE(osservatore.formeVive.at(1), 0);
        QCOMPARE(m_msg->nonRisposte(), 0);
        QVERIFY(m_menu->chiamate.contains(QStringLiteral("FineFunzione(INV01)")));
        QVERIFY(!m_menu->chiamate.contains(QStringLiteral("MostraMenu")));
        QCOMPARE(QDir(m_dir.path()).entryList(copie).size(), 1);
        QVERIFY(Righe(file, QStringLiteral("MagDescrInv")) >= 3);
    }

    // Only a company file is offered for repair; an error that is not a
    // damaged file asks nothing.
    void riparazioneSoloPerFile_data() {
        QTest::addColumn<QString>("nomeDb");
        QTest::addColumn<QString>("numero");
        QTest::addColumn<bool>("chiesta");
        QTest::newRow("file, 3343") << ""
                                    << "3343" << true;
        QTest::newRow("file, another error") << ""
                                             << "3146" << false;
        QTest::newRow("PostgreSQL, ODBC text")
            << "ODBC;DRIVER={PostgreSQL Unicode};SERVER=127.0.0.1;DATABASE=ditta"
            << "3343" << false;
        QTest::newRow("data source name") << "DittaPg"
                                          << "3343" << false;
        QTest::newRow("file data source") << "ditta.dsn"
                                          << "3343" << false;
    }
    void riparazioneSoloPerFile() {
        QFETCH(QString, nomeDb);
        QFETCH(QString, numero);
        QFETCH(bool, chiesta);
        Avvia(QStringLiteral("/Mm-1 /PQUARVEL /FfrmProva"));
        QVERIFY(Form());
        if (!nomeDb.isEmpty())
            Sessione().NomeDb = nomeDb;
        m_msg->rispondi(2);
        MostraErrore(QStringLiteral("pagina illeggibile"), numero);
        QCOMPARE(m_menu->messaggi, QStringList{QStringLiteral("Errore(") + numero +
                                               QStringLiteral("): pagina illeggibile")});
        QCOMPARE(m_msg->mostrati().size(), std::size_t(chiesta ? 1 : 0));
        Attendi(100);
        QVERIFY(Form());
        QCOMPARE(m_fine, 0);
    }

    void connessioneFallita_data() {
        QTest::addColumn<QString>("risposta");
        QTest::newRow("err: lower case") << "err: 3146";
        QTest::newRow("ERR: upper case") << "ERR:53";
        QTest::newRow("Err: as written") << "Err: 3031";
        QTest::newRow("empty reply") << "";
        QTest::newRow("blanks only") << "   ";
    }
    void connessioneFallita() {
        QFETCH(QString, risposta);
        m_rispostaDb = risposta;
        Avvia(QStringLiteral("/Mm-1 /PQUARVEL /FfrmProva"));
        QTRY_COMPARE(m_fine, 1);
        QCOMPARE(NumeroForme(), 0);
        QVERIFY(m_menu->chiamate.contains(QStringLiteral("Scollega")));
    }

    void fallimenti_data() {
        QTest::addColumn<QString>("guasto");
        QTest::addColumn<int>("numero");
        QTest::addColumn<int>("tipo"); // MessaggiScriptati::Tipo
        QTest::addColumn<int>("stile");
        QTest::addColumn<QString>("testo");
        const int com = int(MessaggiScriptati::Tipo::MsgCom);
        const int box = int(MessaggiScriptati::Tipo::MsgBox);
        QTest::newRow("no menu") << "client" << 5 << com << 0 << testi_avvio::MenuNonInEsecuzione();
        QTest::newRow("Collega refused")
            << "Collega" << 5 << com << 0 << testi_avvio::MenuNonInEsecuzione();
        QTest::newRow("PrepProcCorr refused")
            << "PrepProcCorr" << 440 << com << 0 << testi_avvio::MenuNonInEsecuzione();
        QTest::newRow("launch parameters")
            << "ParametriLancio" << 5 << com << 0 << testi_avvio::ProblemiCollegamento();
        QTest::newRow("class C, 5")
            << "FileIni" << 5 << box << int(vbCritical) << testi_avvio::MenuNonInEsecuzione();
        QTest::newRow("class C, 7") << "FileIni" << 7 << box << int(vbCritical)
                                    << QStringLiteral("Memoria esaurita\r\nChiudere qualche "
                                                      "programma e riprovare");
        QTest::newRow("class C, other") << "DescAzie" << 3021 << box << int(vbOKOnly)
                                        << QStringLiteral("Errore (3021): guasto in DescAzie\r\n"
                                                          "Probabilmente il menù non è stato "
                                                          "avviato correttamente");
    }
    void fallimenti() {
        QFETCH(QString, guasto);
        QFETCH(int, numero);
        QFETCH(int, tipo);
        QFETCH(int, stile);
        QFETCH(QString, testo);
        if (guasto == QLatin1String("client"))
            m_clientFallisce = true;
        else
            m_prepara = [guasto, numero](MenuFinto& m) { m.errori.insert(guasto, numero); };
        Avvia(QStringLiteral("/Mm-1 /PQUARVEL /FfrmProva"));
        QTRY_COMPARE(m_fine, 1);
        QCOMPARE(NumeroForme(), 0);
        QCOMPARE(m_msg->mostrati().size(), std::size_t(1));
        const auto& m = m_msg->mostrati().front();
        QCOMPARE(int(m.tipo), tipo);
        QCOMPARE(m.testo, testo);
        if (tipo == int(MessaggiScriptati::Tipo::MsgCom))
            QCOMPARE(m.pulsanti, QStringList{QStringLiteral("&Ok")});
        else
            QCOMPARE(m.stile, stile);
    }

    void sessione() {
        m_prepara = [](MenuFinto& m) {
            m.valori.insert(
                NomeParametroPersonale(QStringLiteral("Tutti"), QStringLiteral("Massimizzato")),
                QStringLiteral("Tutti"));
            m.valori.insert(QStringLiteral("ColBackGotFocus"), QStringLiteral("&H00FF00"));
            m.valori.insert(
                NomeParametroPersonale(QStringLiteral("Tutti"), QStringLiteral("DecodHelpPersKey")),
                QStringLiteral("s"));
            m.lancio.osParam = QStringLiteral("/FfrmProva /RO");
        };
        Avvia(QStringLiteral("/Mm-1 /PQUARVEL INV01 /FfrmProva"));
        const ContestoSessione& s = Sessione();
        QCOMPARE(s.TipoProgramma, QStringLiteral("p"));
        QCOMPARE(s.NumeroProgramma, 36);
        QCOMPARE(s.DescrizioneDitta, QStringLiteral("Ditta di prova"));
        // Missing company values take their defaults.
        QCOMPARE(s.CodEuro, QStringLiteral("Euro"));
        QCOMPARE(s.CodLira, QStringLiteral("L."));
        QCOMPARE(s.CambioLiraEuro, QStringLiteral("1936,27"));
        QCOMPARE(s.OperCambio, QStringLiteral("/"));
        // Decimals from the demo company's Monete rows.
        QCOMPARE(s.DecimaliEuro, qint16(2));
        QCOMPARE(s.DecimaliLira, qint16(0));
        QCOMPARE(s.ColoreConFocus, quint32(0x00FF00));
        QCOMPARE(s.ColoreSenzaFocus, quint32(0x80000005));
        QCOMPARE(s.ColoreErrore, quint32(0xFF));
        QCOMPARE(s.StatoFinestra, QStringLiteral("2"));
        QVERIFY(s.DecodHelpPersKey);
        QCOMPARE(s.ImmaginiArticoli, QStringLiteral("N"));
        QCOMPARE(s.SezioneLetturaFile, QStringLiteral("LettArtDafile"));
        QCOMPARE(s.FormatoData, QStringLiteral("dd/mm/yy"));
        QCOMPARE(s.FileIniPrincipale, Ini());
        QCOMPARE(s.FileIniParametri, m_dir.filePath(QStringLiteral("parametri.ini")));
        QVERIFY(s.DbDitta.isOpen());
        QVERIFY(s.OggettoCondiviso);
        QVERIFY(!s.ChiusuraDaMenu);
        QVERIFY(!s.RisultatoConnessione.isEmpty());
        FormProva* f = Form();
        QVERIFY(f);
        QVERIFY(f->isVisible());
        QCOMPARE(f->tabelleStd, 1);
        QCOMPARE(f->osKeyAttivazione, QStringLiteral("frmProva"));
        QCOMPARE(f->oiAbilRW(), qint16(0)); // /RO
        QVERIFY(!frmConnSeCaricata());
        QVERIFY(m_msg->mostrati().empty());
    }

    void statoFinestra_data() {
        QTest::addColumn<QString>("lista");
        QTest::addColumn<QString>("codice");
        QTest::addColumn<QString>("stato");
        QTest::newRow("Tutti without comma") << "Tutti"
                                             << "AB"
                                             << "2";
        QTest::newRow("tutti, lower case") << "tutti,"
                                           << "AB"
                                           << "2";
        QTest::newRow("ABC,DEF names ABC") << "ABC,DEF"
                                           << "ABC"
                                           << "2";
        QTest::newRow("ABC,DEF names DEF") << "ABC,DEF"
                                           << "DEF"
                                           << "2";
        QTest::newRow("ABC,DEF not AB") << "ABC,DEF"
                                        << "AB"
                                        << "";
        QTest::newRow("XAB, matches AB") << "XAB,"
                                         << "AB"
                                         << "2";
        QTest::newRow("case ignored") << "abc,def"
                                      << "DEF"
                                      << "2";
        QTest::newRow("missing parameter") << "§ç~$!^"
                                           << "AB"
                                           << "";
        QTest::newRow("Tutti among others") << "ABC,Tutti"
                                            << "AB"
                                            << "";
        QTest::newRow("empty code matches nothing") << "ABC,"
                                                    << ""
                                                    << "";
    }
    void statoFinestra() {
        QFETCH(QString, lista);
        QFETCH(QString, codice);
        QFETCH(QString, stato);
        QCOMPARE(CalcolaStatoFinestra(lista, codice), stato);
    }

    void parametroPersonale_data() {
        QTest::addColumn<bool>("primo");
        QTest::addColumn<bool>("secondo");
        QTest::addColumn<bool>("conSecondo");
        QTest::addColumn<bool>("conPredefinito");
        QTest::addColumn<QString>("atteso");
        QTest::addColumn<QString>("grezzoAtteso");
        QTest::newRow("first present") << true << true << true << true << "uno"
                                       << "uno";
        QTest::newRow("second used") << false << true << true << true << "due"
                                     << "due";
        QTest::newRow("second not asked") << false << true << false << true << "pred"
                                          << "§ç~$!^";
        QTest::newRow("both missing, default") << false << false << true << true << "pred"
                                               << "§ç~$!^";
        QTest::newRow("both missing, no default") << false << false << true << false << "§ç~$!^"
                                                  << "§ç~$!^";
    }
    void parametroPersonale() {
        QFETCH(bool, primo);
        QFETCH(bool, secondo);
        QFETCH(bool, conSecondo);
        QFETCH(bool, conPredefinito);
        QFETCH(QString, atteso);
        QFETCH(QString, grezzoAtteso);
        MenuFinto m;
        if (primo)
            m.valori.insert(QStringLiteral("Personal.S1.§K1"), QStringLiteral("uno"));
        if (secondo)
            m.valori.insert(QStringLiteral("Personal.S2.§K2"), QStringLiteral("due"));
        Sessione().MenuClient = &m;
        QVariant grezzo;
        const QVariant r = LeggiParametroPersonale(
            QStringLiteral("S1"), QStringLiteral("K1"),
            conPredefinito ? std::optional<QVariant>(QStringLiteral("pred")) : std::nullopt,
            &grezzo, conSecondo ? std::optional<QString>(QStringLiteral("S2")) : std::nullopt,
            conSecondo ? std::optional<QString>(QStringLiteral("K2")) : std::nullopt);
        Sessione().MenuClient = nullptr;
        QCOMPARE(r.toString(), atteso);
        QCOMPARE(grezzo.toString(), grezzoAtteso);
    }

    // ---- Form dispatch ---------------------------------------------------------------

    void formRichiesta_data() {
        QTest::addColumn<QString>("riga");
        QTest::addColumn<bool>("aperta");
        QTest::newRow("known") << "/FfrmProva" << true;
        QTest::newRow("capitals") << "/FFRMPROVA" << true;
        QTest::newRow("blanks around") << "/F  frmProva  " << true;
        QTest::newRow("unknown") << "/FfrmNessuna" << false;
        QTest::newRow("empty") << "/F" << false;
        QTest::newRow("no switch F") << "/PQUARVEL" << false;
    }
    void formRichiesta() {
        QFETCH(QString, riga);
        QFETCH(bool, aperta);
        Avvia(QStringLiteral("/Mm-1 ") + riga);
        if (aperta) {
            QVERIFY(Form());
            QVERIFY(m_msg->mostrati().empty());
            Attendi(150);
            QCOMPARE(m_fine, 0);
            return;
        }
        QTRY_COMPARE(m_fine, 1);
        QCOMPARE(NumeroForme(), 0);
        QCOMPARE(m_msg->testi(), QStringList{QStringLiteral("La form richiesta e' inesistente")});
        QCOMPARE(m_msg->mostrati().front().tipo, MessaggiScriptati::Tipo::MsgBox);
        // the message stands alone: the closing window is not shown beside it
        QVERIFY2(!m_msg->mostrati().front().finestre.contains(
                     QStringLiteral("Form Principale del programma")),
                 qPrintable(m_msg->mostrati().front().finestre.join(QLatin1Char(','))));
    }

    void loadFallito() {
        m_prepara = [](MenuFinto& m) { m.lancio.osParam = QStringLiteral("/FfrmProva /FALLITA"); };
        Avvia(QStringLiteral("/Mm-1 /FfrmProva"));
        QTRY_COMPARE(m_fine, 1);
        QCOMPARE(NumeroForme(), 0);
    }

    // ---- The menu's commands ----------------------------------------------------------

    void risposteFisse_data() {
        QTest::addColumn<QString>("comando");
        QTest::addColumn<QVariant>("risposta");
        QTest::newRow("esiste") << "esiste" << QVariant(true);
        QTest::newRow("paramprgclie") << "paramprgclie" << QVariant(QStringLiteral("$Default$"));
        QTest::newRow("PARAMPRGCLIE") << "PARAMPRGCLIE" << QVariant(QStringLiteral("$Default$"));
        QTest::newRow("comandoprgclie") << "comandoprgclie" << QVariant(QString());
        QTest::newRow("keyprgprim") << "keyprgprim" << QVariant(QStringLiteral("prim"));
        QTest::newRow("keyprgsec") << "KeyPrgSec" << QVariant(QStringLiteral("sec"));
        QTest::newRow("unknown command") << "sconosciuto" << QVariant();
    }
    void risposteFisse() {
        QFETCH(QString, comando);
        QFETCH(QVariant, risposta);
        Avvia(QStringLiteral("/Mm-1 /FfrmProva"));
        ChiaveLancioPrim() = QStringLiteral("prim");
        ChiaveLancioSec() = QStringLiteral("sec");
        const QVariant r = Comando(comando, QStringLiteral("x"));
        QCOMPARE(r.isValid(), risposta.isValid());
        QCOMPARE(r, risposta);
        QCOMPARE(CollegamentoMenu()->UltCom, comando);
        QCOMPARE(CollegamentoMenu()->UltParam, QStringLiteral("x"));
        QCOMPARE(m_fine, 0);
    }

    void fine_data() {
        QTest::addColumn<QString>("param");
        QTest::addColumn<QString>("risposta");
        QTest::addColumn<bool>("chiuso");
        QTest::newRow("no window left") << ""
                                        << "" << true;
        QTest::newRow("a window refuses") << "/NOCHIUDI"
                                          << "No Chiudi" << false;
        QTest::newRow("a modal window") << "/MODALE"
                                        << "Maschera Modal" << false;
    }
    void fine() {
        QFETCH(QString, param);
        QFETCH(QString, risposta);
        QFETCH(bool, chiuso);
        m_prepara = [param](MenuFinto& m) {
            m.lancio.osParam = QStringLiteral("/FfrmProva ") + param;
        };
        Avvia(QStringLiteral("/Mm-1 /PQUARVEL INV01 /FfrmProva"));
        QVERIFY(Form());
        QCoreApplication::processEvents();
        MenuFinto* menu = m_menu;
        const QVariant r = Comando(QStringLiteral("fine"));
        QCOMPARE(r.toString(), risposta);
        QVERIFY(!Sessione().ChiusuraDaMenu);
        if (chiuso) {
            QCOMPARE(m_fine, 1);
            QTRY_VERIFY(!Form());
            QVERIFY(menu->chiamate.contains(QStringLiteral("Scollega")));
            QVERIFY(!Sessione().MenuClient);
            QVERIFY(!Sessione().DbDitta.isValid());
            QVERIFY(!Sessione().ComponenteDati);
            QVERIFY(!frmPrincipale()->isVisible());
        } else {
            QCOMPARE(m_fine, 0);
            QVERIFY(Form() && Form()->isVisible());
            QVERIFY(menu->collegato);
            QVERIFY(!frmPrincipale()->isVisible());
        }
    }

    void fineDopoMascheraModal() {
        // A refusal for a modal window is not the reply of the next "fine".
        m_prepara = [](MenuFinto& m) {
            m.lancio.osParam = QStringLiteral("/FfrmProva /MODALE /NOCHIUDI");
        };
        Avvia(QStringLiteral("/Mm-1 /FfrmProva"));
        QCoreApplication::processEvents();
        QCOMPARE(Comando(QStringLiteral("fine")).toString(), QStringLiteral("Maschera Modal"));
        delete QApplication::activeModalWidget();
        QCOMPARE(Comando(QStringLiteral("fine")).toString(), QStringLiteral("No Chiudi"));
    }

    void passaaVuoto() {
        Avvia(QStringLiteral("/Mm-1 /FfrmProva"));
        QVERIFY(Form());
        Comando(QStringLiteral("passaa"), QString());
        QCOMPARE(m_msg->testi(), QStringList{QStringLiteral("La form richiesta e' inesistente")});
        // The data form is still open: the program waits for it.
        Attendi(350);
        QCOMPARE(m_fine, 0);
        Form()->close();
        QTRY_COMPARE(m_fine, 1);
    }

    void passaaApreUnaForm() {
        m_prepara = [](MenuFinto& m) {
            m.lancio.osChiLancia = QStringLiteral("CHI");
            m.lancio.osKeySecLancia = QStringLiteral("SEC");
            m.lancio.osParamLancia = QStringLiteral("PAR");
        };
        RegistraForm(QStringLiteral("frmGestInv"),
                     []() -> FormDati* { return new FormProva(QStringLiteral("frmGestInv")); });
        Avvia(QStringLiteral("/Mm-1 /FfrmProva"));
        Comando(QStringLiteral("passaa"), QStringLiteral("frmGestInv"), QStringLiteral("K2"));
        auto* f = qobject_cast<FormProva*>(IstanzaForm(QStringLiteral("frmGestInv")));
        QVERIFY(f);
        QCOMPARE(f->osKeySec, QStringLiteral("K2"));
        QCOMPARE(f->osKeyLancia, QStringLiteral("CHI"));
        QCOMPARE(f->osKeySecLancia, QStringLiteral("SEC"));
        QCOMPARE(f->osParamLancia, QStringLiteral("PAR"));
        QCOMPARE(NumeroForme(), 2);
    }

    void attivaEPreppassaa() {
        Avvia(QStringLiteral("/Mm-1 /PQUARVEL INV01 /FfrmProva"));
        FormProva* f = Form();
        QVERIFY(f);
        m_menu->lancio.osParam = QStringLiteral("/FfrmProva");
        Comando(QStringLiteral("attiva"), {}, QStringLiteral("INV02"));
        QVERIFY(m_menu->chiamate.contains(QStringLiteral("AttivaFunzione(INV02)")));
        // The same single instance, with the new function key.
        QCOMPARE(Form(), f);
        QCOMPARE(f->avvii, 2);
        QCOMPARE(f->osKeySec, QStringLiteral("INV02"));
        Comando(QStringLiteral("preppassaa"));
        QVERIFY(m_menu->chiamate.contains(
            QStringLiteral("RegistraFinestra(%1|frmProva|INV02)").arg(f->windowTitle())));
    }

    void ritornoa() {
        Avvia(QStringLiteral("/Mm-1 /FfrmProva"));
        FormProva* f = Form();
        QVERIFY(f);
        Comando(QStringLiteral("ritornoa"), QStringLiteral("frmProva"));
        QCOMPARE(f->avvii, 2);
        Comando(QStringLiteral("ritornoa"), QStringLiteral("frmAltra"));
        Comando(QStringLiteral("ritornoa"), QString());
        QCOMPARE(f->avvii, 2);
        QVERIFY(m_msg->mostrati().empty());
    }

    void messaggiFE_data() {
        QTest::addColumn<QString>("comando");
        QTest::addColumn<QVariantList>("param");
        QTest::addColumn<QString>("testo");
        QTest::newRow("FEInvio ok")
            << "FEInvio" << QVariantList{"", "", 0, "", "", "", 12} << "Inviate 12 fatture";
        QTest::newRow("FEInvio ok, some not sent")
            << "FEInvio" << QVariantList{"", "", "0", "3", "", "", 5}
            << "Inviate 5 fatture\r\nFatture non inviate per errori3";
        QTest::newRow("FEInvio error") << "feinvio" << QVariantList{"", "", 17, "rete"}
                                       << "Errore nell'invio delle fatture\r\nErr: 17 - rete";
        QTest::newRow("FEAttesa some")
            << "FEAttesa" << QVariantList{"", "", 0, 3} << "Ci sono 3 fatture in attesa";
        QTest::newRow("FEAttesa none") << "FEAttesa" << QVariantList{"", "", 0, 0} << "";
        QTest::newRow("FEAttesa error")
            << "FEAttesa" << QVariantList{"", "", 2, "x"}
            << "Errore nella richiesta di fatture in attesa\r\nErr: 2 - x";
        QTest::newRow("FEInfo ok") << "FEInfo" << QVariantList{"", "", 0, "dati"} << "";
        QTest::newRow("FEInfo error") << "FEInfo" << QVariantList{"", "", 9, "no"}
                                      << "Errore nella richiesta informazioni\r\nErr: 9 - no";
    }
    void messaggiFE() {
        QFETCH(QString, comando);
        QFETCH(QVariantList, param);
        QFETCH(QString, testo);
        QVariant r;
        EseguiComandoMenu(QStringLiteral("M1"), QString(), comando, param, r);
        QVERIFY(!r.isValid());
        if (testo.isEmpty()) {
            QVERIFY(m_msg->mostrati().empty());
            return;
        }
        QCOMPARE(m_msg->testi(), QStringList{testo});
        QCOMPARE(m_msg->mostrati().front().pulsanti, QStringList{QStringLiteral("&Ok")});
    }

    // ---- Shutdown ----------------------------------------------------------------------

    void chiusuraConAltraFinestra() {
        m_prepara = [](MenuFinto& m) { m.lancio.osParam = QStringLiteral("/FfrmProva /ALTRA"); };
        Avvia(QStringLiteral("/Mm-1 /PQUARVEL INV01 /FfrmProva"));
        QTRY_VERIFY(IstanzaForm(QStringLiteral("frmProva")));
        QWidget* altra = nullptr;
        QTRY_VERIFY((altra = [] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (w->objectName() == QLatin1String("frmAltra") && w->isVisible())
                    return w;
            return static_cast<QWidget*>(nullptr);
        }()));
        Form()->close();
        QVERIFY(m_menu->chiamate.contains(QStringLiteral("FineFunzione(INV01)")));
        // The main window polls every 100 ms while the other window stays.
        Attendi(450);
        QCOMPARE(m_fine, 0);
        QVERIFY(frmPrincipale()->timChiudi()->isActive());
        QCOMPARE(frmPrincipale()->timChiudi()->interval(), 100);
        altra->close();
        QTRY_COMPARE(m_fine, 1);
        QVERIFY(!frmPrincipale()->timChiudi()->isActive());
    }

    void chiusuraImmediataRiprovaUnaVolta() {
        Avvia(QStringLiteral("/Mm-1 /FfrmProva"));
        FrmPrincipale* p = frmPrincipale();
        // A window is open: the immediate attempt fails, one retry after 3 s.
        PianificaChiusura(-1);
        QCOMPARE(m_fine, 0);
        QVERIFY(p->timChiudi()->isActive());
        QCOMPARE(p->timChiudi()->interval(), 3000);
        p->timChiudi_Timer(); // the retry, still a window
        QVERIFY(!p->timChiudi()->isActive());
        QCOMPARE(p->timChiudi()->interval(), 1);
        QCOMPARE(m_fine, 0);
    }

    void attivaMenu() {
        Avvia(QStringLiteral("/Mm-1 /FfrmProva"));
        AttivaMenu();
        QCOMPARE(m_menu->mostraMenu, 1);
        m_menu->errori.insert(QStringLiteral("MostraMenu"), 5);
        AttivaMenu();
        QCOMPARE(m_msg->testi(), QStringList{QStringLiteral("Il menu non è più disponibile")});
    }
};

QTEST_MAIN(TstAvvio)
#include "tst_avvio.moc"
