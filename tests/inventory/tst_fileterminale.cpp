// The terminal file and its parameter sets: the three layouts, the set's
// checks, the lines as a stream (line ends, encodings, NUL bytes, a line
// far too long), the file of refused lines and the terminal file taken away
// from its name while a load reads it.

#include "inventory/FileTerminale.h"
#include "suite/Utilita.h"
#include "utility/Utilita.h"

#include <QBuffer>
#include <QDir>
#include <QMap>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>

using namespace quarvel;
using namespace quarvel::inventario;

namespace {

SetCarico Separato(const QString& separatore) {
    SetCarico s;
    s.formato = QStringLiteral("S");
    s.separatore = separatore;
    return s;
}

double Numero(const QString& t) {
    return Utilita().TestoInNumero(t);
}

bool Scrivi(const QString& nome, const QByteArray& dati,
            QIODevice::OpenMode modo = QIODevice::WriteOnly) {
    QFile f(nome);
    return f.open(modo) && f.write(dati) == dati.size();
}

QByteArray Leggi(const QString& nome) {
    QFile f(nome);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(manca)");
}

} // namespace

class TstFileTerminale : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { InstallaUtilita(); }

    void campoSeparato_data() {
        QTest::addColumn<QString>("riga");
        QTest::addColumn<QString>("separatore");
        QTest::addColumn<int>("numero");
        QTest::addColumn<QString>("atteso");
        QTest::newRow("primo") << "8001234567890;7"
                               << ";" << 1 << "8001234567890";
        QTest::newRow("secondo, ultimo") << "8001234567890;7"
                                         << ";" << 2 << "7";
        QTest::newRow("oltre i campi") << "8001234567890;7"
                                       << ";" << 3 << "";
        QTest::newRow("numero 0") << "a;b"
                                  << ";" << 0 << "";
        QTest::newRow("tra virgolette, poi spazi tolti") << "\"  A1  \";7"
                                                         << ";" << 1 << "A1";
        QTest::newRow("virgolette dopo uno spazio restano") << " \"A1\";7"
                                                            << ";" << 1 << "\"A1\"";
        QTest::newRow("separatore senza riguardo alle maiuscole") << "A1xB2XC3"
                                                                  << "x" << 3 << "C3";
        QTest::newRow("separatore di più caratteri") << "A1<>B2"
                                                     << "<>" << 2 << "B2";
        QTest::newRow("tabulazione") << "A1\t 5 "
                                     << "\t" << 2 << "5";
        QTest::newRow("campo vuoto") << "A1;;9"
                                     << ";" << 2 << "";
    }
    void campoSeparato() {
        QFETCH(QString, riga);
        QFETCH(QString, separatore);
        QFETCH(int, numero);
        QFETCH(QString, atteso);
        QCOMPARE(LeggiCampo(riga, numero, Separato(separatore)), atteso);
    }

    void campoTraVirgolette_data() {
        QTest::addColumn<QString>("riga");
        QTest::addColumn<int>("numero");
        QTest::addColumn<QString>("atteso");
        QTest::newRow("virgolette doppie dentro") << "\"A\"\"B\",\"7\"" << 1 << "A\"B";
        QTest::newRow("secondo campo") << "\"A\"\"B\",\"7\"" << 2 << "7";
        QTest::newRow("contano solo le virgolette") << "\"X\",,\"Y\"" << 2 << "Y";
        QTest::newRow("campo vuoto tra virgole") << "\"X\",\"\",\"Y\"" << 2 << "";
        QTest::newRow("campo vuoto, il seguente") << "\"X\",\"\",\"Y\"" << 3 << "Y";
        QTest::newRow("mancante") << "\"X\"" << 2 << "";
        QTest::newRow("spazi tolti") << "\" A \"" << 1 << "A";
        QTest::newRow("ogni segnaposto già nella riga")
            << "\"§ç^|%&°@#ùèòéì~\"\"x\",\"2\"" << 1 << "§ç^|%&°@#ùèòéì~";
    }
    void campoTraVirgolette() {
        QFETCH(QString, riga);
        QFETCH(int, numero);
        QFETCH(QString, atteso);
        QCOMPARE(LeggiCampoApici(riga, numero), atteso);
        SetCarico a;
        a.formato = QStringLiteral("A");
        a.separatore = QStringLiteral(";"); // plays no part
        QCOMPARE(LeggiCampo(riga, numero, a), atteso);
    }

    void setCarico_data() {
        QTest::addColumn<QString>("chiavi"); // key=value|key=value
        QTest::addColumn<bool>("rigido");
        QTest::addColumn<bool>("abilitato");
        QTest::addColumn<QString>("separatore");
        const QString fisso = "FileOrigine=/t/f.txt|CodInizio=1|CodLung=13|QtaInizio=15|QtaLung=5";
        QTest::newRow("fisso completo") << fisso << true << true << "";
        QTest::newRow("fisso senza CodLung")
            << "FileOrigine=/t/f.txt|CodInizio=1" << true << false << "";
        QTest::newRow("fisso: quantità senza lunghezza")
            << "FileOrigine=/t/f.txt|CodInizio=1|CodLung=13|QtaInizio=15" << true << false << "";
        QTest::newRow("fisso senza CodLung, non rigido")
            << "FileOrigine=/t/f.txt|CodInizio=1" << false << true << "";
        QTest::newRow("CodInizio 0")
            << "FileOrigine=/t/f.txt|CodInizio=0|CodLung=5" << false << false << "";
        QTest::newRow("senza file, rigido") << "CodInizio=1|CodLung=5" << true << false << "";
        QTest::newRow("senza file, non rigido") << "CodInizio=1|CodLung=5" << false << true << "";
        const QString sep = "FileOrigine=/t/f.txt|CodInizio=1|QtaInizio=2|FissoSep=S";
        QTest::newRow("separatore 59") << sep + "|Separatore=59" << true << true << ";";
        QTest::newRow("separatore 9") << sep + "|Separatore=9" << true << true << "\t";
        QTest::newRow("separatore 256 resta testo")
            << sep + "|Separatore=256" << true << true << "256";
        QTest::newRow("separatore 128: euro") << sep + "|Separatore=128" << true << true << "€";
        QTest::newRow("separatore come carattere") << sep + "|Separatore=;" << true << true << ";";
        QTest::newRow("senza separatore, rigido") << sep << true << false << "";
        QTest::newRow("senza separatore, non rigido") << sep << false << true << "";
    }
    void setCarico() {
        QFETCH(QString, chiavi);
        QFETCH(bool, rigido);
        QFETCH(bool, abilitato);
        QFETCH(QString, separatore);
        QMap<QString, QString> valori;
        for (const QString& kv : chiavi.split(QLatin1Char('|')))
            valori.insert(kv.section(QLatin1Char('='), 0, 0), kv.section(QLatin1Char('='), 1));
        valori.insert(QStringLiteral("CodArtSeqRic"), QStringLiteral(" CB "));
        QStringList sezioni;
        SetCarico set;
        const bool esito = LeggiSetCarico(
            QStringLiteral("Terminale"), rigido,
            [&](const QString& sezione, const QString& chiave) {
                sezioni << sezione;
                return valori.value(chiave);
            },
            set);
        QCOMPARE(esito, abilitato);
        QVERIFY(!sezioni.isEmpty());
        QCOMPARE(sezioni.removeDuplicates(), qsizetype(sezioni.size() - 1));
        QCOMPARE(set.nome, QString("Terminale"));
        if (set.codInizio != 0 && !(rigido && set.fileOrigine.isEmpty())) {
            // past the first checks the rest is read whatever the outcome
            QCOMPARE(set.separatore, separatore);
            QCOMPARE(set.codArtSeqRic, QString("CB"));
        }
    }

    void rigaFissa() {
        SetCarico f;
        f.formato = QStringLiteral("F");
        f.codInizio = 1;
        f.codLung = 13;
        f.qtaInizio = 15;
        f.qtaLung = 6;
        f.impUniInizio = 22;
        f.impUniLung = 6;
        RigaTerminale r = AnalizzaRiga(QStringLiteral("8001234567890   12,5   3,10"), f, Numero);
        QCOMPARE(r.codice, QString("8001234567890"));
        QCOMPARE(r.quantita, 12.5);
        QCOMPARE(r.qualeImporto, 2);
        QCOMPARE(r.importo, 3.1);
        // a short line: the quantity is not there, so 0
        r = AnalizzaRiga(QStringLiteral("A1"), f, Numero);
        QCOMPARE(r.codice, QString("A1"));
        QCOMPARE(r.quantita, 0.0);
        QCOMPARE(r.qualeImporto, 0);
        // a separated line with fewer fields than the quantity's
        SetCarico s = Separato(QStringLiteral(";"));
        s.codInizio = 1;
        s.qtaInizio = 3;
        r = AnalizzaRiga(QStringLiteral("A1;2"), s, Numero);
        QCOMPARE(r.codice, QString("A1"));
        QCOMPARE(r.quantita, 0.0);
    }

    void righe_data() {
        QTest::addColumn<QByteArray>("dati");
        QTest::addColumn<QStringList>("testi");
        QTest::newRow("CR LF") << QByteArray("a;1\r\nb;2\r\n") << QStringList{"a;1", "b;2"};
        QTest::newRow("LF") << QByteArray("a;1\nb;2\n") << QStringList{"a;1", "b;2"};
        QTest::newRow("CR") << QByteArray("a;1\rb;2\r") << QStringList{"a;1", "b;2"};
        QTest::newRow("ultima senza fine") << QByteArray("a;1\r\nb;2") << QStringList{"a;1", "b;2"};
        QTest::newRow("righe vuote restano")
            << QByteArray("a\r\n\r\n\nb") << QStringList{"a", "", "", "b"};
        QTest::newRow("BOM") << QByteArray("\xEF\xBB\xBF"
                                           "a;1\n")
                             << QStringList{"a;1"};
        QTest::newRow("UTF-8") << QByteArray("Caff\xC3\xA8;1\n") << QStringList{"Caffè;1"};
        QTest::newRow("Windows-1252")
            << QByteArray("Caff\xE8;1\n\x80;2\n") << QStringList{"Caffè;1", "€;2"};
        QTest::newRow("vuoto") << QByteArray() << QStringList{};
        QTest::newRow("solo una fine") << QByteArray("\r\n") << QStringList{""};
    }
    void righe() {
        QFETCH(QByteArray, dati);
        QFETCH(QStringList, testi);
        for (const qsizetype blocco : {qsizetype(0), qsizetype(1)}) {
            // blocco 1: the device gives one byte at a time, so every line end
            // (a CR LF too) falls across two reads
            QByteArray copia = dati;
            QBuffer b(&copia);
            QVERIFY(b.open(QIODevice::ReadOnly));
            class UnoAllaVolta final : public QIODevice {
            public:
                explicit UnoAllaVolta(QIODevice& d) : m_d(d) { open(ReadOnly); }
                qint64 readData(char* p, qint64 n) override {
                    return m_d.read(p, std::min<qint64>(n, 1));
                }
                qint64 writeData(const char*, qint64) override { return -1; }

            private:
                QIODevice& m_d;
            } lento(b);
            LettoreRighe l(blocco ? static_cast<QIODevice&>(lento) : b);
            QStringList letti;
            LettoreRighe::Riga r;
            QString errore;
            while (l.Prossima(r, &errore)) {
                QCOMPARE(r.numero, letti.size() + 1);
                letti << r.testo;
            }
            QVERIFY2(errore.isEmpty(), qPrintable(errore));
            QCOMPARE(letti, testi);
        }
    }

    void righeOstili() {
        // a NUL byte is a character of its line; a line far longer than any
        // terminal writes is handed out marked, whole in a file of its own
        // (not in memory), the lines after them intact
        QByteArray dati("a;1\n");
        dati += QByteArray("b\0;2\n", 5);
        QByteArray lunga(3 * LettoreRighe::MassimoRiga, 'x');
        lunga[LettoreRighe::MassimoRiga] = '\0';
        lunga[lunga.size() - 1] = 'z';
        dati += lunga;
        dati += "\nc;3\n";
        QBuffer b(&dati);
        QVERIFY(b.open(QIODevice::ReadOnly));
        LettoreRighe l(b);
        LettoreRighe::Riga r;
        QVERIFY(l.Prossima(r));
        QVERIFY(!r.tagliata);
        QVERIFY(l.Prossima(r));
        QCOMPARE(r.grezza, QByteArray("b\0;2", 4));
        QCOMPARE(r.testo, QString::fromUtf8("b\0;2", 4));
        QVERIFY(l.Prossima(r));
        QVERIFY(r.tagliata);
        QVERIFY(r.grezza.isEmpty());
        QCOMPARE(r.lunghezza, lunga.size());
        QVERIFY(r.lunga);
        QVERIFY(r.lunga->readAll() == lunga);
        QVERIFY(l.Prossima(r));
        QCOMPARE(r.testo, QString("c;3"));
        QCOMPARE(r.numero, 4);
        QVERIFY(!l.Prossima(r));
    }

    void scartiSenzaLink();
    void filePreso_data();
    void filePreso();

    void fileScarti() {
        QTemporaryDir d;
        const QString origine = d.filePath(QStringLiteral("terminale.txt"));
        const QDateTime quando(QDate(2026, 12, 10), QTime(16, 47, 5));
        const QString base = origine + ".scarti-20261210-164705-";
        QString nome;
        {
            FileScarti s(origine, quando);
            QVERIFY(!QFile::exists(s.Nome())); // nothing refused, no file
            // the date and time for the operator, then a part nobody can guess
            QVERIFY2(s.Nome().startsWith(base) && s.Nome().size() >= base.size() + 8,
                     qPrintable(s.Nome()));
            QVERIFY(s.Aggiungi(QByteArray("Caff\xE8;1")));
            QVERIFY(s.Aggiungi(QByteArray("x\0y", 3)));
            QCOMPARE(s.Righe(), 2);
            QVERIFY(s.Chiudi());
            nome = s.Nome();
        }
        QFile f(nome);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("Caff\xE8;1\r\nx\0y\r\n", 14));
        // the operator's alone
        QCOMPARE(f.permissions() & ~(QFileDevice::ReadUser | QFileDevice::WriteUser),
                 QFileDevice::ReadOwner | QFileDevice::WriteOwner);

        // a folder that cannot take the file: the cause, no crash
        FileScarti guasto(d.filePath(QStringLiteral("manca/terminale.txt")), quando);
        QString errore;
        QVERIFY(!guasto.Aggiungi("a", &errore));
        QVERIFY2(errore.contains(QStringLiteral("manca/terminale.txt.scarti-")),
                 qPrintable(errore));
    }
};

void TstFileTerminale::scartiSenzaLink() {
    // Links planted under the names the file of refused lines could take
    // (the date and time alone, as it was once named, and a random part
    // the test makes known): none is followed, the file is created anew;
    // two loads of the same file in the same second have a file each; in a
    // folder shared with a group the group may read and write it.
    QTemporaryDir d;
    const QString origine = d.filePath(QStringLiteral("terminale.txt"));
    const QDateTime quando(QDate(2026, 12, 10), QTime(16, 47, 5));
    const QString base = origine + ".scarti-20261210-164705";
    const QString bersaglio = d.filePath(QStringLiteral("bashrc"));
    QVERIFY(Scrivi(bersaglio, "originale\n"));
    QVERIFY(QFile::link(bersaglio, base));
    QVERIFY(QFile::link(bersaglio, base + "-aaaa"));
    const auto prima = FileScarti::suffissoCasuale;
    QStringList parti{"aaaa", "bbbb", "bbbb", "cccc"};
    FileScarti::suffissoCasuale = [&parti] {
        return parti.isEmpty() ? QStringLiteral("zzzz") : parti.takeFirst();
    };
    QString nomeA, nomeB;
    {
        FileScarti a(origine, quando);
        QVERIFY(a.Aggiungi("riga della prima"));
        QVERIFY(a.Chiudi());
        nomeA = a.Nome();
        FileScarti b(origine, quando);
        QVERIFY(b.Aggiungi("riga della seconda"));
        QVERIFY(b.Chiudi());
        nomeB = b.Nome();
    }
    FileScarti::suffissoCasuale = prima;
    QCOMPARE(Leggi(bersaglio), QByteArray("originale\n"));
    QVERIFY(QFileInfo(base).isSymLink());
    QVERIFY(QFileInfo(base + "-aaaa").isSymLink());
    QCOMPARE(nomeA, base + "-bbbb");
    QCOMPARE(nomeB, base + "-cccc");
    QCOMPARE(Leggi(nomeA), QByteArray("riga della prima\r\n"));
    QCOMPARE(Leggi(nomeB), QByteArray("riga della seconda\r\n"));
    QVERIFY(!QFileInfo(nomeA).isSymLink());

    // the random part of its own: two files in the same second
    FileScarti c(origine, quando), e(origine, quando);
    QVERIFY(c.Aggiungi("c") && e.Aggiungi("e"));
    QVERIFY(c.Nome() != e.Nome());
    QVERIFY(c.Nome().startsWith(base + "-") && e.Nome().startsWith(base + "-"));

    // a folder of a group: the group's too
    const QString condivisa = d.filePath(QStringLiteral("gruppo"));
    QVERIFY(QDir().mkdir(condivisa));
    QVERIFY(QFile::setPermissions(condivisa, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                 QFileDevice::ExeOwner | QFileDevice::ReadGroup |
                                                 QFileDevice::WriteGroup | QFileDevice::ExeGroup));
    FileScarti g(condivisa + QStringLiteral("/terminale.txt"), quando);
    QVERIFY(g.Aggiungi("g"));
    QVERIFY(g.Chiudi());
    QCOMPARE(QFile::permissions(g.Nome()) & ~(QFileDevice::ReadUser | QFileDevice::WriteUser),
             QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                 QFileDevice::WriteGroup);
}

void TstFileTerminale::filePreso_data() {
    QTest::addColumn<QByteArray>("contenuto");
    QTest::addColumn<bool>("cancella");
    QTest::addColumn<QByteArray>("aggiunte"); // written by the download into the file it had open
    QTest::addColumn<QByteArray>("nuovo");    // a new file under the name, during the load
    QTest::addColumn<QByteArray>("dopo");     // under the name at the end ("(manca)": none)
    QTest::newRow("cancellato") << QByteArray("a;1\n") << true << QByteArray() << QByteArray()
                                << QByteArray("(manca)");
    QTest::newRow("cancellato, il file nuovo resta") << QByteArray("a;1\n") << true << QByteArray()
                                                     << QByteArray("b;2\n") << QByteArray("b;2\n");
    QTest::newRow("cancellato, le righe scritte dopo la lettura restano")
        << QByteArray("a;1\n") << true << QByteArray("c;3\n") << QByteArray()
        << QByteArray("c;3\n");
    QTest::newRow("cancellato, righe dopo la lettura e file nuovo")
        << QByteArray("a;1\n") << true << QByteArray("c;3\n") << QByteArray("b;2\n")
        << QByteArray("c;3\nb;2\n");
    QTest::newRow("restituito") << QByteArray("a;1\n") << false << QByteArray() << QByteArray()
                                << QByteArray("a;1\n");
    QTest::newRow("restituito davanti al file nuovo, con la fine riga che mancava")
        << QByteArray("a;1") << false << QByteArray() << QByteArray("b;2\n")
        << QByteArray("a;1\r\nb;2\n");
    QTest::newRow("restituito con le righe scritte dopo e il file nuovo")
        << QByteArray("a;1\n") << false << QByteArray("c;3\n") << QByteArray("b;2\n")
        << QByteArray("a;1\nc;3\nb;2\n");
}

void TstFileTerminale::filePreso() {
    // The file is away from its name while it is read; at the end exactly
    // what was read is deleted or given back, and every line the download
    // wrote meanwhile is under the terminal's name, in the order written.
    QFETCH(QByteArray, contenuto);
    QFETCH(bool, cancella);
    QFETCH(QByteArray, aggiunte);
    QFETCH(QByteArray, nuovo);
    QFETCH(QByteArray, dopo);
    QTemporaryDir d;
    const QString nome = d.filePath(QStringLiteral("terminale.txt"));
    QVERIFY(Scrivi(nome, contenuto));
    QFile scaricamento(nome); // the download, still holding the file it wrote
    QVERIFY(scaricamento.open(QIODevice::Append));
    FilePreso f(nome);
    QString errore;
    QVERIFY2(f.Prendi(&errore), qPrintable(errore));
    QVERIFY(f.Rinominato());
    QVERIFY(!QFile::exists(nome));
    QCOMPARE(QFileInfo(f.NomePrivato()).absolutePath(), QFileInfo(nome).absolutePath());
    QCOMPARE(f.File().readAll(), contenuto);
    if (!aggiunte.isEmpty()) {
        QCOMPARE(scaricamento.write(aggiunte), aggiunte.size());
        QVERIFY(scaricamento.flush());
    }
    if (!nuovo.isEmpty())
        QVERIFY(Scrivi(nome, nuovo));
    QVERIFY2(cancella ? f.Cancella(&errore) : f.Restituisci(&errore), qPrintable(errore));
    QCOMPARE(Leggi(nome), dopo);
    // nothing of the load's own is left in the folder
    QCOMPARE(QDir(d.path()).entryList(QDir::Files),
             dopo == "(manca)" ? QStringList{} : QStringList{"terminale.txt"});
}

QTEST_GUILESS_MAIN(TstFileTerminale)
#include "tst_fileterminale.moc"
