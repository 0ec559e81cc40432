// The lookup component on a real company (an SQLite file, and the test
// process's PostgreSQL database when the test service exports QUARVEL_PG_*):
// the search window driven with real keys (search by code, by a word in the
// middle of the description, by barcode; Enter, double click and Esc; F1,
// F2, F3 and F4 in the window), the decoding of codes with the error colour,
// the level lookup and check, inactive articles kept out, the picture beside
// the list and the window's scale.

#include "Ambiente.h"
#include "listcmd/ModelloRighe.h"

#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QScopeGuard>
#include <QSet>
#include <QTableView>

using namespace quarvel;
using namespace quarvel::lookup;
using namespace prova;

class TstComponenteAiuto : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase_data() {
        MotoriProva::Righe({Motore::Sqlite, Motore::Postgres, Motore::Odbc});
    }
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void ricerca_data();
    void ricerca();
    void esc();
    void doppioClic();
    void tastiNellaFinestra();
    void decodifica_data();
    void decodifica();
    void inattivi();
    void nessunaRigaConRetZeroRec();
    void livelli();
    void immagine();
    void scala();
    void letturaPigra();
    void finestraSopravviveAllaForm();
    void aggiornaERicercaAnnidata();
    void prepDecodDelProgramma();
    void campiDellaGriglia();
    void titoliEmailClienti();
    void prefissiConCollazione_data();
    void prefissiConCollazione();
    void ricercaConIndice();
    void ricercaMolteRighe();

private:
    QSqlDatabase apri();
    DatabasePgProva m_pg{QStringLiteral("quarvel_aiuto")};
    QTemporaryDir m_dir;
    QSet<QString> m_riempiti;
    MenuValori m_menu;
    std::unique_ptr<ComponenteAiutoQt> m_c;
};

void TstComponenteAiuto::initTestCase() {
    QVERIFY(m_dir.isValid());
    dati::Registra();
    if (DatabasePgProva::Disponibile()) {
        QString errore;
        QVERIFY2(m_pg.Crea(&errore), qPrintable(errore));
    }
}

void TstComponenteAiuto::cleanupTestCase() {
    m_c.reset();
    if (QSqlDatabase::contains(QStringLiteral("icu"))) {
        QSqlDatabase::database(QStringLiteral("icu")).close();
        QSqlDatabase::removeDatabase(QStringLiteral("icu"));
        {
            QSqlDatabase amm = m_pg.Connessione(QStringLiteral("amministra"));
            if (amm.open())
                QSqlQuery(amm).exec(
                    QStringLiteral("DROP DATABASE IF EXISTS %1_icu").arg(m_pg.Nome()));
        }
        QSqlDatabase::removeDatabase(QStringLiteral("amministra"));
    }
    m_pg.Elimina();
}

QSqlDatabase TstComponenteAiuto::apri() {
    const Motore motore = MotoriProva::Corrente();
    const QString nome = QString::fromLatin1(NomeMotore(motore));
    QSqlDatabase db =
        QSqlDatabase::contains(nome)
            ? QSqlDatabase::database(nome)
            : ConnessioneProva(motore, nome, m_dir.filePath(QStringLiteral("ditta.db")), m_pg);
    if (!db.isOpen() && !db.open())
        qFatal("%s", qPrintable(db.lastError().text()));
    if (!m_riempiti.contains(nome)) {
        RiempiDitta(db);
        m_riempiti.insert(nome);
    }
    return db;
}

void TstComponenteAiuto::init() {
    QFETCH_GLOBAL(Motore, motore);
    SALTA_SENZA_SERVER(motore);
    m_menu.valori.clear();
    m_c = std::make_unique<ComponenteAiutoQt>();
    QWidget* principale = nullptr;
    QObject* condiviso = nullptr;
    m_c->InizializzaAiuto(principale, &m_menu, condiviso, nullptr, QStringLiteral("ditta"), apri(),
                          0x80000005, 0x0000FF, QStringLiteral("p"), QStringLiteral("dd/mm/yyyy"));
}

void TstComponenteAiuto::cleanup() {
    m_c.reset();
}

// The codes of the list shown, in order.
static QStringList Codici(FinestraAiuto* f) {
    QStringList r;
    listcmd::ModelloRighe* m = f->modello();
    for (int i = 0; i < m->rowCount(); ++i)
        r << m->valore(i, 0).toString();
    return r;
}

void TstComponenteAiuto::ricerca_data() {
    QTest::addColumn<int>("tasto");
    QTest::addColumn<QString>("digitato");
    QTest::addColumn<QStringList>("lista");
    QTest::addColumn<int>("giu"); // Down presses before Enter
    QTest::addColumn<QString>("codice");
    QTest::addColumn<QString>("descrizione");

    QTest::newRow("codice, in minuscolo")
        << 113 << "art00" << QStringList{"ART001", "ART002", "ART003", "ART004"} << 1 << "ART002"
        << "Bullone zincato";
    QTest::newRow("descrizione, parola in mezzo")
        << 114 << "testa" << QStringList{"ART001"} << 0 << "ART001"
        << "Vite a testa esagonale";
    QTest::newRow("descrizione, inizio di parola")
        << 114 << "ZINC" << QStringList{"ART002", "ART004"} << 1 << "ART004"
        << "Rondella piana zincata";
    QTest::newRow("descrizione, due parole")
        << 114 << "piana zin" << QStringList{"ART004"} << 0 << "ART004"
        << "Rondella piana zincata";
    QTest::newRow("descrizione, non a meta' parola") << 114 << "incat" << QStringList{} << 0 << ""
                                                     << "";
    QTest::newRow("barcode") << 115 << "8003" << QStringList{"ART003"} << 0 << "ART003"
                             << "Dado autobloccante inox";
    QTest::newRow("codice negativo: descrizione")
        << -3 << "muro" << QStringList{"BRT010"} << 0 << "BRT010"
        << "Staffa a muro";
    QTest::newRow("caratteri jolly presi alla lettera") << 113 << "ART%" << QStringList{} << 0 << ""
                                                        << "";
}

// The box starts the search; typing narrows it; Enter picks the row the
// arrows reached, writing code and description and giving the whole row.
void TstComponenteAiuto::ricerca() {
    QFETCH(int, tasto);
    QFETCH(QString, digitato);
    QFETCH(QStringList, lista);
    QFETCH(int, giu);
    QFETCH(QString, codice);
    QFETCH(QString, descrizione);

    QWidget form;
    QLineEdit box(&form);
    QLabel lab(&form);
    form.show();
    QStringList viste;
    QString titolo;
    MentreAperta(*m_c, [&](FinestraAiuto* f) {
        QTest::keyClicks(f->ricerca(), digitato);
        viste = Codici(f);
        titolo = f->titolo()->text();
        for (int i = 0; i < giu; ++i)
            QTest::keyClick(f->ricerca(), Qt::Key_Down);
        QTest::keyClick(f->ricerca(), Qt::Key_Return);
    });
    bool trovato = false;
    int key = tasto;
    const QVariant esito = m_c->Aiuto(QStringLiteral("Articolo"), &box, &lab, key, &form,
                                      std::nullopt, trovato, 0, QString(), QString());
    QCOMPARE(viste, lista);
    QVERIFY(!titolo.isEmpty());
    if (codice.isEmpty()) {
        QCOMPARE(esito.toInt(), 0); // Enter on an empty list picks nothing: closed by Esc
        QVERIFY(!trovato);
        QCOMPARE(box.text(), QString());
        return;
    }
    QCOMPARE(esito.toInt(), -1);
    QVERIFY(trovato);
    QCOMPARE(box.text(), codice);
    QCOMPARE(lab.text(), descrizione);
    QCOMPARE(m_c->FormAiuto()->RetVal(QStringLiteral("Descrizione")).toString(), descrizione);
    QVERIFY(m_c->FormAiuto()->RetVal(QStringLiteral("Inattivo")).isValid()); // any field
}

void TstComponenteAiuto::esc() {
    QLineEdit box;
    QLabel lab;
    box.setText(QStringLiteral("ART00"));
    lab.setText(QStringLiteral("prima"));
    QStringList viste;
    MentreAperta(*m_c, [&](FinestraAiuto* f) {
        viste = Codici(f);
        QTest::keyClick(f->ricerca(), Qt::Key_Down);
        QTest::keyClick(f->griglia(), Qt::Key_Escape);
    });
    bool trovato = true;
    int key = 113;
    const QVariant esito = m_c->Aiuto(QStringLiteral("Articolo"), &box, &lab, key, nullptr,
                                      std::nullopt, trovato, 0, QString(), QString());
    QCOMPARE(viste.size(), 4); // the box's text was the first search
    QCOMPARE(esito.toInt(), 0);
    QVERIFY(!trovato);
    QCOMPARE(box.text(), QString("ART00"));
    QCOMPARE(lab.text(), QString("prima"));
    QVERIFY(!m_c->FormAiuto()->RetVal(QStringLiteral("Articolo")).isValid());
}

void TstComponenteAiuto::doppioClic() {
    QLineEdit box;
    QLabel lab;
    MentreAperta(*m_c, [&](FinestraAiuto* f) {
        QTableView* v = f->griglia();
        const QModelIndex i = v->model()->index(1, 1);
        QVERIFY(i.isValid());
        const QPoint p = v->visualRect(i).center();
        QTest::mouseClick(v->viewport(), Qt::LeftButton, {}, p);
        QTest::mouseDClick(v->viewport(), Qt::LeftButton, {}, p);
    });
    bool trovato = false;
    int key = 113;
    const QVariant esito = m_c->Aiuto(QStringLiteral("Magazzino"), &box, &lab, key, nullptr,
                                      std::nullopt, trovato, 0, QString(), QString());
    QCOMPARE(esito.toInt(), -1);
    QVERIFY(trovato);
    QCOMPARE(box.text(), QString("M02"));
    QCOMPARE(lab.text(), QString("Deposito Nord"));
}

// F1 leaves the window as it is; F3 and F4 change the search on the text
// typed; F2 goes back to the codes.
void TstComponenteAiuto::tastiNellaFinestra() {
    QLineEdit box;
    QLabel lab;
    QStringList dopoF1, perDescr, perBarcode, perCodice;
    bool apertaDopoF1 = false;
    TipoRicerca tipoDopoF1 = TipoRicerca::Barcode;
    MentreAperta(*m_c, [&](FinestraAiuto* f) {
        QTest::keyClicks(f->ricerca(), QStringLiteral("9"));
        QTest::keyClick(f->ricerca(), Qt::Key_F1);
        apertaDopoF1 = f->isVisible();
        tipoDopoF1 = f->tipo();
        dopoF1 = Codici(f);
        QTest::keyClick(f->ricerca(), Qt::Key_F4);
        perBarcode = Codici(f);
        f->ricerca()->clear();
        QTest::keyClicks(f->ricerca(), QStringLiteral("bullone"));
        QTest::keyClick(f->ricerca(), Qt::Key_F3);
        perDescr = Codici(f);
        f->ricerca()->clear();
        QTest::keyClick(f->ricerca(), Qt::Key_F2);
        QTest::keyClicks(f->ricerca(), QStringLiteral("b"));
        perCodice = Codici(f);
        QTest::keyClick(f->ricerca(), Qt::Key_Escape);
    });
    bool trovato = false;
    int key = 113;
    m_c->Aiuto(QStringLiteral("Articolo"), &box, &lab, key, nullptr, std::nullopt, trovato, 0,
               QString(), QString());
    QVERIFY(apertaDopoF1);
    QCOMPARE(tipoDopoF1, TipoRicerca::Codice);
    QCOMPARE(dopoF1, QStringList());
    QCOMPARE(perBarcode, QStringList{"BRT010"});
    QCOMPARE(perDescr, QStringList{"ART002"});
    QCOMPARE(perCodice, QStringList{"BRT010"});
    QVERIFY(!trovato);
}

void TstComponenteAiuto::decodifica_data() {
    QTest::addColumn<QString>("nome");
    QTest::addColumn<QString>("codice");
    QTest::addColumn<int>("esito");
    QTest::addColumn<QString>("scritto");
    QTest::addColumn<QString>("descrizione");
    QTest::addColumn<bool>("rosso");
    QTest::newRow("articolo") << "Articolo"
                              << "ART002" << -1 << "ART002"
                              << "Bullone zincato" << false;
    QTest::newRow("articolo in minuscolo") << "articolo"
                                           << "art002" << -1 << "ART002"
                                           << "Bullone zincato" << false;
    QTest::newRow("sconosciuto") << "Articolo"
                                 << "XYZ" << 0 << "XYZ"
                                 << "** INESISTENTE **" << true;
    QTest::newRow("vuoto") << "Articolo"
                           << "" << 0 << ""
                           << "" << false;
    QTest::newRow("magazzino") << "Magazzino"
                               << "m01" << -1 << "M01"
                               << "Sede" << false;
    QTest::newRow("inventario") << "MagDescrInv:CodInv"
                                << "INV2024" << -1 << "INV2024"
                                << "Inventario 2024" << false;
    QTest::newRow("conto") << "Conto"
                           << "C0001" << -1 << "C0001"
                           << "Rossi Forniture srl" << false;
    QTest::newRow("apice nel codice") << "Articolo"
                                      << "A'1" << 0 << "A'1"
                                      << "** INESISTENTE **" << true;
}

// A code decoded writes its description (and the code as stored); an
// unknown one "** INESISTENTE **" and the error colour, which the next good
// code takes away.
void TstComponenteAiuto::decodifica() {
    QFETCH(QString, nome);
    QFETCH(QString, codice);
    QFETCH(int, esito);
    QFETCH(QString, scritto);
    QFETCH(QString, descrizione);
    QFETCH(bool, rosso);
    QLineEdit box;
    QLabel lab;
    box.setText(codice);
    QString condizione;
    QVariantList campi{QStringLiteral("FlagLivLis")};
    QCOMPARE(m_c->DecodificaCampo(
                 nome, &box, &lab, std::nullopt, 0, QString(), 0,
                 nome.startsWith(QLatin1String("art"), Qt::CaseInsensitive) ? &campi : nullptr,
                 condizione),
             esito);
    QCOMPARE(box.text(), scritto);
    QCOMPARE(lab.text(), descrizione);
    QCOMPARE(ColoreSfondo(&box) == 0x0000FF, rosso);
    if (esito == -1 && nome.startsWith(QLatin1String("art"), Qt::CaseInsensitive))
        QCOMPARE(campi, QVariantList{QStringLiteral("N")});
    if (rosso) {
        box.setText(QStringLiteral("ART001"));
        QCOMPARE(m_c->DecodificaCampo(nome, &box, &lab, std::nullopt, 0, QString(), 0, nullptr,
                                      condizione),
                 -1);
        QCOMPARE(ColoreSfondo(&box), quint32(0x80000005));
        QCOMPARE(lab.text(), QString("Vite a testa esagonale"));
    }
    // into the controls by table and key field
    {
        const Definizione* def = TrovaDefinizione(nome);
        QVERIFY(def);
        QLineEdit b2;
        QLabel l2;
        b2.setText(codice);
        QVariantList nomi{QStringLiteral("Descrizione")};
        m_c->DecodificaControlli(def->tabella, def->chiave, &b2, &l2, 0, 0, 8, QString(), nomi,
                                 std::nullopt, QString());
        QCOMPARE(l2.text(), descrizione);
        QCOMPARE(ColoreSfondo(&b2) == 0x0000FF, rosso);
        QCOMPARE(nomi.value(0).toString(), esito == -1 ? descrizione : QString());
    }
    // the same through the table and key field
    QString d;
    QVariantList f{QStringLiteral("Descrizione"), QStringLiteral("NonEsiste")};
    const Definizione* def = TrovaDefinizione(nome);
    QVERIFY(def);
    const bool manca = m_c->DecodificaValore(def->tabella, def->chiave, codice, d, 0, 8, QString(),
                                             0, &f, QString());
    QCOMPARE(manca, esito != -1);
    if (!manca) {
        QCOMPARE(d, descrizione);
        QCOMPARE(f.value(0).toString(), descrizione);
        QVERIFY(!f.value(1).isValid());
    }
}

// With "NoDecInattivi" "S" the inactive article (Inattivo "s") is neither
// decoded nor listed; without it, it is both.
void TstComponenteAiuto::inattivi() {
    for (const char* v8 : {"N", "S"}) {
        const QString v = QString::fromLatin1(v8);
        m_c = std::make_unique<ComponenteAiutoQt>();
        m_menu.personale(QStringLiteral("Articoli"), QStringLiteral("NoDecInattivi"), v);
        QWidget* p = nullptr;
        QObject* o = nullptr;
        m_c->InizializzaAiuto(p, &m_menu, o, nullptr, QString(), apri(), 0x80000005, 0xFF,
                              QStringLiteral("p"), QString());
        const bool nascosti = v == QLatin1String("S");
        QLineEdit box;
        QLabel lab;
        box.setText(QStringLiteral("ART003"));
        QString condizione;
        QCOMPARE(m_c->DecodificaCampo(QStringLiteral("Articolo"), &box, &lab, std::nullopt, 0,
                                      QString(), 0, nullptr, condizione),
                 nascosti ? 0 : -1);
        QCOMPARE(lab.text() == TestoInesistente, nascosti);
        QString d;
        QCOMPARE(m_c->DecodificaValore(QStringLiteral("Articoli"), QStringLiteral("Articolo"),
                                       QStringLiteral("ART003"), d, 0, 8, QString(), 0, nullptr,
                                       QString()),
                 nascosti);
        QVariant valore = QStringLiteral("ART003");
        QString testo;
        QCOMPARE(m_c->AiutoGriglia(QStringLiteral("Articolo"), QStringLiteral("Articolo"), valore,
                                   testo, 0, QString(), 0, 0, QString(), QVariant(), QVariant(),
                                   QString()),
                 nascosti ? 2 : 0);
        QStringList viste;
        MentreAperta(*m_c, [&](FinestraAiuto* f) { viste = Codici(f); });
        box.clear();
        bool trovato = false;
        int key = 113;
        m_c->Aiuto(QStringLiteral("Articolo"), &box, &lab, key, nullptr, std::nullopt, trovato, 0,
                   QString(), QString());
        QCOMPARE(viste.contains(QStringLiteral("ART003")), !nascosti);
        QCOMPARE(viste.size(), nascosti ? 4 : 5);
    }
}

// "RetZeroRec" 1: a search that finds nothing returns 1 without showing the
// window; 0: the window opens on the empty list.
void TstComponenteAiuto::nessunaRigaConRetZeroRec() {
    QLineEdit box;
    QLabel lab;
    box.setText(QStringLiteral("ZZZ"));
    m_c->FormAiuto()->setOvLeggiPar(QStringLiteral("RetZeroRec"), 1);
    bool trovato = true;
    int key = 113;
    QVariant esito = m_c->Aiuto(QStringLiteral("Articolo"), &box, &lab, key, nullptr, std::nullopt,
                                trovato, 0, QString(), QString());
    QCOMPARE(esito.toInt(), 1);
    QVERIFY(!trovato);
    QCOMPARE(lab.text(), TestoInesistente);
    QVERIFY(!m_c->finestra()->isVisible());

    m_c->FormAiuto()->setOvLeggiPar(QStringLiteral("RetZeroRec"), 0);
    bool vista = false;
    MentreAperta(*m_c, [&](FinestraAiuto* f) { vista = f->isVisible(); });
    esito = m_c->Aiuto(QStringLiteral("Articolo"), &box, &lab, key, nullptr, std::nullopt, trovato,
                       0, QString(), QString());
    QVERIFY(vista);
    QCOMPARE(esito.toInt(), 0);
}

// The level lookup offers the values of the article's own group; the level
// check knows them, and the marker only for a group the article lacks.
void TstComponenteAiuto::livelli() {
    QStringList viste;
    MentreAperta(*m_c, [&](FinestraAiuto* f) {
        viste = Codici(f);
        QTest::keyClicks(f->ricerca(), QStringLiteral("m"));
        QTest::keyClick(f->ricerca(), Qt::Key_Return);
    });
    QVariant valore;
    QString testo;
    int st = m_c->AiutoGriglia(QStringLiteral("livello"), QStringLiteral("livello"), valore, testo,
                               113, QString(), 0, 0, QStringLiteral("Magac3:CoLi"),
                               QStringLiteral("art001"), 1, QString());
    QCOMPARE(st, 0);
    QCOMPARE(viste, (QStringList{"L", "M", "S"}));
    QCOMPARE(valore.toString(), QString("M"));
    QCOMPARE(testo, QString("Media"));

    // the second group of BRT010 is CL
    MentreAperta(*m_c, [&](FinestraAiuto* f) { viste = Codici(f); });
    valore = QVariant();
    st = m_c->AiutoGriglia(QStringLiteral("livello"), QStringLiteral("livello"), valore, testo, 113,
                           QString(), 0, 0, QStringLiteral("Magac3:CoLi"), QStringLiteral("BRT010"),
                           2, QString());
    QCOMPARE(st, 1);
    QCOMPARE(viste, (QStringList{"BLU", "ROSSO"}));

    struct Caso {
        const char* articolo;
        int livello;
        const char* valore;
        bool esiste;
    };
    const Caso casi[] = {
        {"ART001", 1, "M", true},   {"ART001", 1, "m", true},    {"ART001", 1, "ROSSO", false},
        {"ART001", 2, "~ç~", true}, {"ART001", 1, "~ç~", false}, {"ART004", 2, "BLU", true},
        {"ART004", 1, "S", false},  {"ART002", 1, "~ç~", true},  {"NONC", 1, "S", false},
        {"ART001", 3, "S", false},
    };
    for (const Caso& c : casi) {
        QString t;
        QCOMPARE(m_c->VerificaLivello(QStringLiteral("LivelloStr"), QString::fromUtf8(c.valore), t,
                                      {QString::fromLatin1(c.articolo), c.livello}, 0, 0, 8,
                                      QString(), true, std::nullopt, QString()),
                 c.esiste);
    }
    // the LIFO form's field decoding with filter values
    QLineEdit box;
    QLabel lab;
    box.setText(QStringLiteral("l"));
    QString condizione;
    QCOMPARE(m_c->DecodificaCampo(QStringLiteral("Livello"), &box, &lab,
                                  QVariantList{QStringLiteral("ART001"), 1}, 0, QString(), 0,
                                  nullptr, condizione),
             -1);
    QCOMPARE(lab.text(), QString("Grande"));
    QCOMPARE(box.text(), QString("L"));
    box.setText(QStringLiteral("BLU"));
    QCOMPARE(m_c->DecodificaCampo(QStringLiteral("Livello"), &box, &lab,
                                  QVariantList{QStringLiteral("ART001"), 1}, 0, QString(), 0,
                                  nullptr, condizione),
             0);
    QCOMPARE(ColoreSfondo(&box), quint32(0xFF));
}

// The picture of the current article beside the list, on the side the
// options give, in the room of that side's margin.
void TstComponenteAiuto::immagine() {
    PROVA_SOLO_PRIMO_MOTORE();
    QImage img(60, 40, QImage::Format_RGB32);
    img.fill(Qt::darkGreen);
    QVERIFY(img.save(m_dir.filePath(QStringLiteral("vite.png"))));
    m_c->ImpostaOpzione(QStringLiteral("MostraImg"), 12, true);
    m_c->ImpostaOpzione(QStringLiteral("DoveMostraImg"), 12, QStringLiteral("D"));
    m_c->ImpostaOpzione(QStringLiteral("NomeColImg"), 12, QStringLiteral("Immagine"));
    m_c->ImpostaOpzione(QStringLiteral("DirImgArt"), 12, m_dir.path());
    m_c->ImpostaOpzione(QStringLiteral("ImgRapVertOriz"), 12, 0.0);
    m_c->ImpostaOpzione(QStringLiteral("ImgDimReali"), 12, true);
    m_c->FormAiuto()->setOvLeggiPar(QStringLiteral("MostraImg"), true);
    m_c->FormAiuto()->ogComlin()->setOvLeggiPar(QStringLiteral("MargDestra"), 3000);
    bool visibile = false, aDestra = false, conFoto = false, senzaFoto = false;
    int larghezza = 0;
    MentreAperta(*m_c, [&](FinestraAiuto* f) {
        QTest::keyClicks(f->ricerca(), QStringLiteral("ART00"));
        visibile = f->immagine()->isVisible();
        aDestra = f->immagine()->geometry().left() >= f->griglia()->geometry().right();
        larghezza = f->immagine()->width();
        conFoto = !f->immagine()->pixmap().isNull();
        QTest::keyClick(f->ricerca(), Qt::Key_Down); // ART002 has none
        senzaFoto = f->immagine()->pixmap().isNull();
    });
    QLineEdit box;
    QLabel lab;
    bool trovato = false;
    int key = 113;
    m_c->Aiuto(QStringLiteral("Articolo"), &box, &lab, key, nullptr, std::nullopt, trovato, 0,
               QString(), QString());
    QVERIFY(visibile);
    QVERIFY(aDestra);
    QCOMPARE(larghezza, 200); // 3000 twips
    QVERIFY(conFoto);
    QVERIFY(senzaFoto);

    // other lookups show none
    m_c->FormAiuto()->setOvLeggiPar(QStringLiteral("MostraImg"), false);
    MentreAperta(*m_c, [&](FinestraAiuto* f) { visibile = f->immagine()->isVisible(); });
    m_c->Aiuto(QStringLiteral("Articolo"), &box, &lab, key, nullptr, std::nullopt, trovato, 0,
               QString(), QString());
    QVERIFY(!visibile);
}

void TstComponenteAiuto::scala() {
    PROVA_SOLO_PRIMO_MOTORE();
    QSize normale, grande;
    qreal fontNormale = 0, fontGrande = 0;
    QLineEdit box;
    QLabel lab;
    bool trovato = false;
    int key = 113;
    for (double f : {1.0, 1.5}) {
        m_c->FormAiuto()->widget()->setProperty("odRisVid", f);
        MentreAperta(*m_c, [&, f](FinestraAiuto* w) {
            (f > 1 ? grande : normale) = w->size();
            (f > 1 ? fontGrande : fontNormale) = w->ricerca()->font().pointSizeF();
        });
        m_c->Aiuto(QStringLiteral("Magazzino"), &box, &lab, key, nullptr, std::nullopt, trovato, 0,
                   QString(), QString());
    }
    QVERIFY2(grande.width() > normale.width(), "the window grows with the help factor");
    QVERIFY(fontGrande > fontNormale);
}

// A list longer than a window of rows opens on its first window: the rest is
// read as the list scrolls, never all at once.
void TstComponenteAiuto::letturaPigra() {
    QSqlDatabase db = apri();
    Esegui(db, QStringLiteral("DELETE FROM Magazzini WHERE Magazzino LIKE 'P%'"));
    db.transaction();
    QSqlQuery q(db);
    q.prepare(QStringLiteral("INSERT INTO Magazzini (Magazzino, Descrizione) VALUES (?, ?)"));
    for (int i = 0; i < 3000; ++i) {
        q.addBindValue(QStringLiteral("P%1").arg(i, 5, 10, QLatin1Char('0')));
        q.addBindValue(QStringLiteral("Punto vendita %1").arg(i));
        QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
    }
    db.commit();
    int righeSubito = 0;
    QString ultimo;
    MentreAperta(*m_c, [&](FinestraAiuto* f) {
        righeSubito = f->modello()->rowCount();
        QTest::keyClicks(f->ricerca(), QStringLiteral("p02999"));
        const QStringList c = Codici(f);
        ultimo = c.value(0);
        QTest::keyClick(f->ricerca(), Qt::Key_Return);
    });
    QLineEdit box;
    QLabel lab;
    bool trovato = false;
    int key = 113;
    m_c->Aiuto(QStringLiteral("Magazzino"), &box, &lab, key, nullptr, std::nullopt, trovato, 0,
               QString(), QString());
    Esegui(db, QStringLiteral("DELETE FROM Magazzini WHERE Magazzino LIKE 'P%'"));
    QVERIFY2(righeSubito < 3000, qPrintable(QString::number(righeSubito)));
    QVERIFY(righeSubito >= 2);
    QCOMPARE(ultimo, QString("P02999"));
    QVERIFY(trovato);
    QCOMPARE(lab.text(), QString("Punto vendita 2999"));
}

// The one search window outlives the forms that opened it: the session keeps
// it (FormAiuto) for the program's life.
void TstComponenteAiuto::finestraSopravviveAllaForm() {
    PROVA_SOLO_PRIMO_MOTORE();
    QWidget* finestra = m_c->FormAiuto()->widget();
    QPointer<QWidget> guardia(finestra);
    {
        auto form = std::make_unique<QWidget>();
        form->show();
        bool vista = false;
        MentreAperta(*m_c, [&](FinestraAiuto* f) { vista = f->isVisible(); });
        QLineEdit box;
        QLabel lab;
        bool trovato = false;
        int key = 113;
        m_c->Aiuto(QStringLiteral("Magazzino"), &box, &lab, key, form.get(), std::nullopt, trovato,
                   0, QString(), QString());
        QVERIFY(vista);
    }
    QVERIFY(guardia);
    QCOMPARE(m_c->FormAiuto()->widget(), finestra);
    QVERIFY(!finestra->parentWidget());
}

// "Aggiorna" reads the open list again (a row another workstation added
// shows); a lookup asked for while the window is open picks nothing and
// leaves the window as it is.
void TstComponenteAiuto::aggiornaERicercaAnnidata() {
    QSqlDatabase db = apri();
    Esegui(db, QStringLiteral("DELETE FROM Magazzini WHERE Magazzino = 'M03'"));
    QStringList prima, dopo;
    int annidata = 99;
    bool ancoraAperta = false;
    MentreAperta(*m_c, [&](FinestraAiuto* f) {
        prima = Codici(f);
        Esegui(db, QStringLiteral("INSERT INTO Magazzini (Magazzino, Descrizione) VALUES "
                                  "('M03', 'Deposito Sud')"));
        QMetaObject::invokeMethod(f, "ButtonComando", Q_ARG(QString, QStringLiteral("Aggiorna")));
        dopo = Codici(f);
        QLineEdit b2;
        QLabel l2;
        bool t2 = true;
        int k2 = 113;
        annidata = m_c->Aiuto(QStringLiteral("Articolo"), &b2, &l2, k2, nullptr, std::nullopt, t2,
                              0, QString(), QString())
                       .toInt();
        ancoraAperta = f->isVisible() && f->modello()->rowCount() == 3;
    });
    QLineEdit box;
    QLabel lab;
    bool trovato = false;
    int key = 113;
    m_c->Aiuto(QStringLiteral("Magazzino"), &box, &lab, key, nullptr, std::nullopt, trovato, 0,
               QString(), QString());
    Esegui(db, QStringLiteral("DELETE FROM Magazzini WHERE Magazzino = 'M03'"));
    QCOMPARE(prima, (QStringList{"M01", "M02"}));
    QCOMPARE(dopo, (QStringList{"M01", "M02", "M03"}));
    QCOMPARE(annidata, 0);
    QVERIFY(ancoraAperta);
}

// The program may take a decoding over (ClsPrepDecod answering True): the
// controls stay as they were.
void TstComponenteAiuto::prepDecodDelProgramma() {
    struct Eventi final : IEventiAiuto {
        bool prende = false;
        QStringList visti;
        void ClsMainMenuFrm() override {}
        void ClsPrepDecod(const QString& id, const QString& base, const QString& campo,
                          const QVariant& valore, const QVariant&, const QVariant&,
                          QVariant& ritorno) override {
            visti << QStringList{id, base, campo, valore.toString()}.join(QLatin1Char('|'));
            ritorno = prende;
        }
        void LanciaKeyPrim(const QString&) override {}
        void LanciaKeySec(const QString&) override {}
    } eventi;
    m_c->ImpostaEventi(&eventi);
    QLineEdit box;
    QLabel lab;
    box.setText(QStringLiteral("XYZ"));
    lab.setText(QStringLiteral("com'era"));
    QString condizione;
    eventi.prende = true;
    QCOMPARE(m_c->DecodificaCampo(QStringLiteral("Magazzino"), &box, &lab, std::nullopt, 0,
                                  QString(), 0, nullptr, condizione),
             0);
    QCOMPARE(lab.text(), QString("com'era"));
    QCOMPARE(ColoreSfondo(&box), quint32(0x80000005));
    eventi.prende = false;
    QCOMPARE(m_c->DecodificaCampo(QStringLiteral("Magazzino"), &box, &lab, std::nullopt, 0,
                                  QString(), 0, nullptr, condizione),
             0);
    QCOMPARE(lab.text(), TestoInesistente);
    QCOMPARE(eventi.visti, (QStringList{"Magazzino|Magazzini|Magazzino|XYZ",
                                        "Magazzino|Magazzini|Magazzino|XYZ"}));
    m_c->ImpostaEventi(nullptr);
}

// A grid's lookup shows the columns of the operator's "Campi" parameter.
void TstComponenteAiuto::campiDellaGriglia() {
    PROVA_SOLO_PRIMO_MOTORE();
    QStringList colonne;
    auto leggi = [&] {
        MentreAperta(*m_c, [&](FinestraAiuto* f) {
            colonne.clear();
            for (int i = 0; i < f->modello()->numeroColonne(); ++i)
                colonne << f->modello()->colonna(i).nome;
        });
        QVariant valore;
        QString testo;
        m_c->AiutoGriglia(QStringLiteral("Articolo"), QStringLiteral("Articolo"), valore, testo,
                          113, QString(), 0, 0, QString(), QVariant(), QVariant(), QString());
    };
    leggi();
    QCOMPARE(colonne, (QStringList{"Articolo", "Descrizione", "BarCode", "LivGruppo1", "LivGruppo2",
                                   "Immagine"}));
    m_menu.personale(QStringLiteral("Help"), QStringLiteral("CampiArticolo"),
                     QStringLiteral("Descrizione,Inattivo"));
    leggi();
    QCOMPARE(colonne, (QStringList{"Articolo", "Descrizione", "Inattivo", "Immagine"}));
}

// The customers' search titles the four addresses as the suite names them:
// the menu's "DescEmail..." values, the usual names where they are missing;
// other columns keep their names, and a search typed keeps the titles.
void TstComponenteAiuto::titoliEmailClienti() {
    PROVA_SOLO_PRIMO_MOTORE();
    m_menu.valori[QStringLiteral("DescEmailAmm")] = QStringLiteral("Ufficio acquisti");
    QStringList titoli, dopo;
    MentreAperta(*m_c, [&](FinestraAiuto* f) {
        auto leggi = [f] {
            QStringList t;
            for (int i = 0; i < f->modello()->columnCount(); ++i)
                t << f->modello()->headerData(i, Qt::Horizontal, Qt::DisplayRole).toString();
            return t;
        };
        titoli = leggi();
        QTest::keyClicks(f->ricerca(), QStringLiteral("C"));
        QTest::qWait(50);
        dopo = leggi();
        QTest::keyClick(f->griglia(), Qt::Key_Escape);
    });
    QLineEdit box;
    QLabel lab;
    bool trovato = false;
    int key = 113;
    m_c->Aiuto(QStringLiteral("Conto"), &box, &lab, key, nullptr, std::nullopt, trovato, 0,
               QString(), QString());
    const QStringList attesi{"Conto",       "Descrizione", "Principale", "Ufficio acquisti",
                             "Commerciale", "Spedizioni"};
    QCOMPARE(titoli, attesi);
    QCOMPARE(dopo, attesi);
}

void TstComponenteAiuto::prefissiConCollazione_data() {
    QTest::addColumn<QString>("digitato");
    QTest::addColumn<QStringList>("lista");
    QTest::newRow("ultima lettera z") << "mz" << QStringList{"MZ1", "MZA"};
    QTest::newRow("ultima cifra 9") << "m9" << QStringList{"M91"};
    QTest::newRow("spazio") << "m " << QStringList{"M X"};
    QTest::newRow("trattino") << "m-" << QStringList{"M-1"};
    QTest::newRow("lettera accentata") << "mè" << QStringList{"MÈ2"};
    QTest::newRow("lettere e cifre") << "ma" << QStringList{"MA"};
}

// A server whose texts sort by a language's rules (here Italian, through
// ICU: punctuation before digits and letters) finds by code every row that
// begins with what was typed, whatever its last character.
void TstComponenteAiuto::prefissiConCollazione() {
    QFETCH_GLOBAL(Motore, motore);
    if (motore != Motore::Postgres)
        QSKIP("collazione del server: solo PostgreSQL");
    QFETCH(QString, digitato);
    QFETCH(QStringList, lista);
    const QString nome = m_pg.Nome() + QStringLiteral("_icu");
    const QString conn = QStringLiteral("icu");
    if (!QSqlDatabase::contains(conn)) {
        {
            QSqlDatabase amm = m_pg.Connessione(QStringLiteral("amministra"));
            QVERIFY2(amm.open(), qPrintable(amm.lastError().text()));
            QSqlQuery q(amm);
            q.exec(QStringLiteral("DROP DATABASE IF EXISTS %1").arg(nome));
            QVERIFY2(q.exec(QStringLiteral("CREATE DATABASE %1 TEMPLATE template0 "
                                           "LOCALE_PROVIDER icu ICU_LOCALE 'it-IT' "
                                           "LOCALE 'C.UTF-8' ENCODING 'UTF8'")
                                .arg(nome)),
                     qPrintable(q.lastError().text()));
        }
        QSqlDatabase::removeDatabase(QStringLiteral("amministra"));
        QSqlDatabase db = m_pg.Connessione(conn);
        db.setDatabaseName(nome);
        QVERIFY2(db.open(), qPrintable(db.lastError().text()));
        QSqlQuery(db).exec(QStringLiteral("CREATE EXTENSION IF NOT EXISTS citext"));
        try {
            dati::CreaDitta(db, true);
        } catch (const Errore& e) {
            QFAIL(qPrintable(e.descrizione()));
        }
        Esegui(db, QStringLiteral("INSERT INTO Magazzini (Magazzino, Descrizione) VALUES "
                                  "('MZ1', 'a'), ('MZA', 'b'), ('M91', 'c'), ('M X', 'd'), "
                                  "('M-1', 'e'), ('MÈ2', 'f'), ('MA', 'g'), ('N1', 'h')"));
    }
    QSqlDatabase db = QSqlDatabase::database(conn);
    m_c = std::make_unique<ComponenteAiutoQt>();
    QWidget* p = nullptr;
    QObject* o = nullptr;
    m_c->InizializzaAiuto(p, &m_menu, o, nullptr, QString(), db, 0x80000005, 0xFF,
                          QStringLiteral("p"), QString());
    QStringList viste;
    MentreAperta(*m_c, [&](FinestraAiuto* f) {
        for (QChar c : digitato) {
            if (c.unicode() < 128) {
                QTest::keyClick(f->ricerca(), char(c.unicode()));
            } else { // a key of an Italian keyboard
                QKeyEvent k(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
                QApplication::sendEvent(f->ricerca(), &k);
            }
        }
        viste = Codici(f);
    });
    QLineEdit box;
    QLabel lab;
    bool trovato = false;
    int key = 113;
    m_c->Aiuto(QStringLiteral("Magazzino"), &box, &lab, key, nullptr, std::nullopt, trovato, 0,
               QString(), QString());
    viste.sort();
    QCOMPARE(viste, lista);
}

// A word many articles hold: the list is read in code order without the
// index (the first rows come soon), and lists exactly the rows of the search
// -- a word's beginning after a blank, any letter case, wildcards taken as
// typed -- before and after articles are added, changed and deleted.  A word
// few of them hold goes through the index and lists the same.
void TstComponenteAiuto::ricercaMolteRighe() {
    QSqlDatabase db = apri();
    const bool sqlite = MotoriProva::Corrente() == Motore::Sqlite;
    if (!sqlite) {
        QSqlQuery e(db);
        if (!e.exec(QStringLiteral("CREATE EXTENSION IF NOT EXISTS pg_trgm")))
            QSKIP("il server non ha l'estensione pg_trgm");
        dati::CompletaIndici(db);
    }
    QStringList righe{"('DNS01', 'Tassello nylon')",
                      "('DNS02', 'TASSELLO inox')",
                      "('DNS03', 'Ritassello')",
                      "('DNS04', 'Perno tassello')",
                      "('DNS05', 'tassello% largo')",
                      "('DNS06', 'x-tassello')",
                      "('DNS07', 'Tassello  doppio')",
                      "('DNS08', 'Tassellone')",
                      "('DNS09', 'Tassello_8')",
                      "('DNS10', 'Tassello dell''anno')",
                      "('DNS11', NULL)",
                      "('DNS22', 'tasselli')"};
    for (int i = 12; i <= 21; ++i)
        righe << QStringLiteral("('DNS%1', 'Tassello n. %2')").arg(i).arg(i - 11);
    Esegui(db, QStringLiteral("INSERT INTO Articoli (Articolo, Descrizione) VALUES ") +
                   righe.join(QStringLiteral(", ")));
    auto togli = qScopeGuard(
        [&] { Esegui(db, QStringLiteral("DELETE FROM Articoli WHERE Articolo LIKE 'DNS%'")); });
    QString sql;
    auto cerca = [&](const QString& testo) {
        QStringList viste;
        MentreAperta(*m_c, [&](FinestraAiuto* f) {
            QTest::keyClicks(f->ricerca(), testo);
            viste = Codici(f);
            sql = f->modello()->sql();
        });
        QLineEdit box;
        QLabel lab;
        bool trovato = false;
        int key = 114;
        m_c->Aiuto(QStringLiteral("Articolo"), &box, &lab, key, nullptr, std::nullopt, trovato, 0,
                   QString(), QString());
        return viste;
    };
    auto codici = [](std::initializer_list<int> n) {
        QStringList r;
        for (int i : n)
            r << QStringLiteral("DNS%1").arg(i, 2, 10, QLatin1Char('0'));
        return r;
    };
    auto perIndice = [&] {
        return sql.contains(sqlite ? QStringLiteral("ArticoliDescr") : QStringLiteral("ANY("));
    };
    const QStringList tutte =
        codici({1, 2, 4, 5, 7, 8, 9, 10, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21});
    QCOMPARE(cerca(QStringLiteral("tassello")), tutte);
    QVERIFY2(!perIndice(), qPrintable(sql));
    QCOMPARE(cerca(QStringLiteral("TASSELLO n.")),
             codici({12, 13, 14, 15, 16, 17, 18, 19, 20, 21}));
    QVERIFY2(!perIndice(), qPrintable(sql));
    // few rows: through the index, the same matches
    QCOMPARE(cerca(QStringLiteral("tassello%")), codici({5}));
    QVERIFY2(perIndice(), qPrintable(sql));
    QCOMPARE(cerca(QStringLiteral("tassello_")), codici({9}));
    QCOMPARE(cerca(QStringLiteral("nylon tass")), codici({1}));
    QCOMPARE(cerca(QStringLiteral("dell'a tassello")), codici({10}));

    // added, changed and deleted articles
    Esegui(db, QStringLiteral("UPDATE Articoli SET Descrizione = 'Bullone' WHERE Articolo = "
                              "'DNS02'"));
    Esegui(db, QStringLiteral("UPDATE Articoli SET Descrizione = 'Ri tassello' WHERE Articolo = "
                              "'DNS03'"));
    Esegui(db, QStringLiteral("UPDATE Articoli SET Descrizione = 'Tassello nuovo' WHERE "
                              "Articolo = 'DNS11'"));
    Esegui(db, QStringLiteral("DELETE FROM Articoli WHERE Articolo = 'DNS04'"));
    Esegui(db, QStringLiteral("INSERT INTO Articoli (Articolo, Descrizione) VALUES ('DNS30', "
                              "'Tassello aggiunto')"));
    QCOMPARE(cerca(QStringLiteral("tassello")),
             codici({1, 3, 5, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 30}));
    QVERIFY2(!perIndice(), qPrintable(sql));
    QCOMPARE(cerca(QStringLiteral("tassello nuovo")), codici({11}));
    QCOMPARE(cerca(QStringLiteral("tassello aggiunto")), codici({30}));
    QCOMPARE(cerca(QStringLiteral("ri tass")), codici({3}));
    QCOMPARE(cerca(QStringLiteral("perno")), QStringList());
}

QTEST_MAIN(TstComponenteAiuto)
// The description search through the index of the descriptions' words
// lists exactly what the search without it lists: a word's beginning only
// (not after a bracket, not inside a word), wildcards and quotes as typed,
// words of two characters and of one, no description; the index follows the
// changes of the articles; and the search does go through it.
void TstComponenteAiuto::ricercaConIndice() {
    QSqlDatabase db = apri();
    const bool sqlite = MotoriProva::Corrente() == Motore::Sqlite;
    if (!sqlite) {
        QSqlQuery e(db);
        if (!e.exec(QStringLiteral("CREATE EXTENSION IF NOT EXISTS pg_trgm")))
            QSKIP("il server non ha l'estensione pg_trgm");
        dati::CompletaIndici(db);
    }
    Esegui(db, QStringLiteral(
                   "INSERT INTO Articoli (Articolo, Descrizione, Inattivo) VALUES "
                   "('IDX01', 'Guarnizione (gomma) nera', 'N'), ('IDX02', 'gommapiuma', 'N'), "
                   "('IDX03', 'Tubo GOMMATO', 'N'), ('IDX04', 'Sacco 100% cotone', 'N'), "
                   "('IDX05', 'Filo \"extra\" forte', 'N'), ('IDX06', 'xy uv', 'N'), "
                   "('IDX07', NULL, 'N'), ('IDX08', 'agommato', 'N'), "
                   "('IDX09', 'Sacco 1000 cotone', 'N'), ('IDX10', 'Molla k', 'N'), "
                   "('IDX11', 'k', 'N'), ('IDX12', 'Kit molle', 'N'), ('IDX13', 'Okay', 'N'), "
                   "('IDX14', 'k-line', 'N'), ('IDX15', 'x k y', 'N')"));
    auto togli = qScopeGuard(
        [&] { Esegui(db, QStringLiteral("DELETE FROM Articoli WHERE Articolo LIKE 'IDX%'")); });
    QString sql;
    auto cerca = [&](const QString& testo) {
        QStringList viste;
        MentreAperta(*m_c, [&](FinestraAiuto* f) {
            QTest::keyClicks(f->ricerca(), testo);
            viste = Codici(f);
            sql = f->modello()->sql();
        });
        QLineEdit box;
        QLabel lab;
        bool trovato = false;
        int key = 114;
        m_c->Aiuto(QStringLiteral("Articolo"), &box, &lab, key, nullptr, std::nullopt, trovato, 0,
                   QString(), QString());
        return viste;
    };
    const QList<std::pair<QString, QStringList>> casi{
        {QStringLiteral("gomm"), {QStringLiteral("IDX02"), QStringLiteral("IDX03")}},
        {QStringLiteral("GOMMATO"), {QStringLiteral("IDX03")}},
        {QStringLiteral("100%"), {QStringLiteral("IDX04")}},
        {QStringLiteral("sacco 100"), {QStringLiteral("IDX04"), QStringLiteral("IDX09")}},
        {QStringLiteral("\"extra"), {QStringLiteral("IDX05")}},
        {QStringLiteral("extra"), {}},
        {QStringLiteral("uv"), {QStringLiteral("IDX06")}},
        {QStringLiteral("xy uv"), {QStringLiteral("IDX06")}},
        {QStringLiteral("nera gomm"), {}},
        {QStringLiteral("(gom"), {QStringLiteral("IDX01")}},
        // words of one character: at a word's beginning, alone, last
        {QStringLiteral("k"),
         {QStringLiteral("IDX10"), QStringLiteral("IDX11"), QStringLiteral("IDX12"),
          QStringLiteral("IDX14"), QStringLiteral("IDX15")}},
        {QStringLiteral("K"),
         {QStringLiteral("IDX10"), QStringLiteral("IDX11"), QStringLiteral("IDX12"),
          QStringLiteral("IDX14"), QStringLiteral("IDX15")}},
        {QStringLiteral("molla k"), {QStringLiteral("IDX10")}},
        {QStringLiteral("k y"), {QStringLiteral("IDX15")}},
        {QStringLiteral("y x"), {QStringLiteral("IDX15")}},
        {QStringLiteral("j"), {}},
        {QStringLiteral("k j"), {}},
    };
    for (const auto& [testo, attese] : casi)
        QVERIFY2(cerca(testo) == attese,
                 qPrintable(testo + QStringLiteral(": ") + cerca(testo).join(QLatin1Char(','))));

    if (sqlite) { // a word of one character is found through the index too
        cerca(QStringLiteral("k"));
        QVERIFY2(sql.contains(QStringLiteral("ArticoliDescr")), qPrintable(sql));
    }

    // changes of the articles reach the index
    Esegui(db,
           QStringLiteral("UPDATE Articoli SET Descrizione = 'zz qq' WHERE Articolo = 'IDX06'"));
    Esegui(db, QStringLiteral("DELETE FROM Articoli WHERE Articolo = 'IDX05'"));
    Esegui(db,
           QStringLiteral("UPDATE Articoli SET Descrizione = 'Gommino' WHERE Articolo = 'IDX07'"));
    Esegui(db, QStringLiteral("UPDATE Articoli SET Descrizione = 'j' WHERE Articolo = 'IDX11'"));
    Esegui(db, QStringLiteral("DELETE FROM Articoli WHERE Articolo = 'IDX10'"));
    Esegui(db, QStringLiteral("INSERT INTO Articoli (Articolo, Descrizione, Inattivo) VALUES "
                              "('IDX16', 'Perno K', 'N')"));
    QCOMPARE(cerca(QStringLiteral("k")),
             (QStringList{QStringLiteral("IDX12"), QStringLiteral("IDX14"), QStringLiteral("IDX15"),
                          QStringLiteral("IDX16")}));
    QCOMPARE(cerca(QStringLiteral("j")), QStringList{QStringLiteral("IDX11")});
    QCOMPARE(cerca(QStringLiteral("uv")), QStringList());
    QCOMPARE(cerca(QStringLiteral("qq")), QStringList{QStringLiteral("IDX06")});
    QCOMPARE(cerca(QStringLiteral("\"extra")), QStringList());
    QCOMPARE(
        cerca(QStringLiteral("gomm")),
        (QStringList{QStringLiteral("IDX02"), QStringLiteral("IDX03"), QStringLiteral("IDX07")}));

    // the search reads the index: an index emptied behind the table's back
    // hides the rows (on the server, the trigram index is dropped and the
    // rows stay: that path is the column's own condition)
    if (sqlite) {
        Esegui(db, QStringLiteral(
                       "INSERT INTO ArticoliDescr (ArticoliDescr, rowid, Descrizione) "
                       "SELECT 'delete', rowid, ' ' || Descrizione || ' ' FROM Articoli WHERE "
                       "Articolo = 'IDX03'"));
        QCOMPARE(cerca(QStringLiteral("gomm")),
                 (QStringList{QStringLiteral("IDX02"), QStringLiteral("IDX07")}));
        Esegui(db,
               QStringLiteral("INSERT INTO ArticoliDescr (rowid, Descrizione) SELECT rowid, "
                              "' ' || Descrizione || ' ' FROM Articoli WHERE Articolo = 'IDX03'"));
        // the index of a company made before the blank after the
        // description: the search stays right without it for a word of one
        // character, and the index is made again by CompletaIndici
        Esegui(db, QStringLiteral("DROP TABLE ArticoliDescr"));
        Esegui(db, QStringLiteral("CREATE VIRTUAL TABLE ArticoliDescr USING fts5(Descrizione, "
                                  "content='', tokenize='trigram')"));
        Esegui(db, QStringLiteral("DROP TRIGGER ArticoliDescr_ins"));
        Esegui(db, QStringLiteral("CREATE TRIGGER ArticoliDescr_ins AFTER INSERT ON Articoli BEGIN "
                                  "INSERT INTO ArticoliDescr (rowid, Descrizione) SELECT "
                                  "new.rowid, ' ' || new.Descrizione WHERE new.Descrizione IS NOT "
                                  "NULL; END"));
        Esegui(db,
               QStringLiteral("INSERT INTO ArticoliDescr (rowid, Descrizione) SELECT rowid, "
                              "' ' || Descrizione FROM Articoli WHERE Descrizione IS NOT NULL"));
        const QStringList k{QStringLiteral("IDX12"), QStringLiteral("IDX14"),
                            QStringLiteral("IDX15"), QStringLiteral("IDX16")};
        QCOMPARE(cerca(QStringLiteral("k")), k);
        QVERIFY2(!sql.contains(QStringLiteral("ArticoliDescr")), qPrintable(sql));
        QCOMPARE(dati::CompletaIndici(db).size(), 1);
        QCOMPARE(cerca(QStringLiteral("k")), k);
        QVERIFY2(sql.contains(QStringLiteral("ArticoliDescr")), qPrintable(sql));
        QCOMPARE(cerca(QStringLiteral("gomm")),
                 (QStringList{QStringLiteral("IDX02"), QStringLiteral("IDX03"),
                              QStringLiteral("IDX07")}));
        QVERIFY(dati::CompletaIndici(db).isEmpty());
    }
}

#include "tst_componenteaiuto.moc"
