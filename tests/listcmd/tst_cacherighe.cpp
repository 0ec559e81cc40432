// The rows of a list kept in memory, over a list held in a vector (the reader
// leaves out the rows written here, as the list's SELECT does): whatever
// order the rows are asked in, each place shows its row, none twice and none
// missing; no more windows are kept than allowed; a row written here keeps
// its place though the database now sorts it elsewhere; the rows read from
// the top and from the end while counting meet once the total arrives; a
// list changed by others under the rows read is noticed.

#include "listcmd/CacheRighe.h"

#include <QRandomGenerator>
#include <QSet>
#include <QTest>

using namespace quarvel::listcmd;

namespace {

using Riga = CacheRighe::Riga;

Riga R(int chiave, const QString& testo = {}) {
    return Riga{chiave, testo.isEmpty() ? QStringLiteral("r%1").arg(chiave) : testo};
}

// The list in the database, in its order.
struct Archivio {
    QVector<Riga> righe;
    QSet<int> scritte; // keys of the rows written here: left out of every read
    int letture = 0;

    explicit Archivio(int n) {
        for (int i = 0; i < n; ++i)
            righe << R(i * 10);
    }
    QVector<Riga> visibili() const {
        QVector<Riga> v;
        for (const Riga& r : righe)
            if (!scritte.contains(r[0].toInt()))
                v << r;
        return v;
    }
    CacheRighe::Lettore lettore() {
        return [this](qint64 offset, qint64 quante, bool dallaFine) {
            ++letture;
            const QVector<Riga> v = visibili();
            const qint64 n = v.size();
            const qint64 inizio = dallaFine ? std::max<qint64>(0, n - offset - quante) : offset;
            const qint64 fine = dallaFine ? n - offset : std::min(n, offset + quante);
            QVector<Riga> lette;
            for (qint64 i = inizio; i < fine; ++i)
                lette << v[i];
            return lette;
        };
    }
};

// A row of the list as the grid asks for it: its window read when missing.
const Riga* Chiedi(CacheRighe& c, Archivio& a, qint64 r, CacheRighe::Esito* esito = nullptr) {
    const qint64 f = c.finestraMancante(r);
    if (f >= 0) {
        const CacheRighe::Esito e = c.caricaFinestra(f, a.lettore());
        if (esito)
            *esito = e;
        if (e != CacheRighe::Esito::Letta)
            return nullptr;
    }
    return c.riga(r);
}

} // namespace

class TstCacheRighe : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void ogniPostoLaSuaRiga_data();
    void ogniPostoLaSuaRiga();
    void righeScritteAlPosto_data();
    void righeScritteAlPosto();
    void testaECodaDuranteConteggio_data();
    void testaECodaDuranteConteggio();
    void codaCheRaggiungeLaTesta();
    void listaSpostata_data();
    void listaSpostata();
};

void TstCacheRighe::ogniPostoLaSuaRiga_data() {
    QTest::addColumn<int>("righe");
    QTest::addColumn<int>("finestra");
    QTest::addColumn<int>("massime");
    QTest::addColumn<QString>("ordine");
    QTest::newRow("down") << 100 << 8 << 3 << "giu";
    QTest::newRow("up from the end") << 100 << 8 << 3 << "su";
    QTest::newRow("scattered") << 257 << 16 << 4 << "sparso";
    QTest::newRow("list shorter than a window") << 5 << 8 << 2 << "sparso";
    QTest::newRow("one window kept") << 64 << 8 << 1 << "sparso";
}

void TstCacheRighe::ogniPostoLaSuaRiga() {
    QFETCH(int, righe);
    QFETCH(int, finestra);
    QFETCH(int, massime);
    QFETCH(QString, ordine);
    Archivio a(righe);
    CacheRighe c(finestra, massime);
    c.impostaChiavi({0});
    c.inizia(a.lettore()(0, finestra, false));
    c.impostaTotale(righe);
    QList<qint64> posti;
    for (qint64 r = 0; r < righe; ++r)
        posti << r;
    if (ordine == QLatin1String("su"))
        std::reverse(posti.begin(), posti.end());
    if (ordine == QLatin1String("sparso")) {
        QRandomGenerator g(righe);
        for (qint64 k = posti.size() - 1; k > 0; --k)
            posti.swapItemsAt(k, g.bounded(k + 1));
        posti += posti; // each asked twice, from memory or read again
    }
    for (qint64 r : posti) {
        CacheRighe::Esito e = CacheRighe::Esito::Letta;
        const Riga* x = Chiedi(c, a, r, &e);
        QVERIFY2(x, qPrintable(QStringLiteral("place %1: %2").arg(r).arg(int(e))));
        QCOMPARE(*x, a.righe[r]);
        QVERIFY(c.finestre() <= massime);
    }
    QVERIFY(!c.riga(righe)); // past the end: nothing
    // a row read once and then pushed out by other windows is read again
    if (righe > finestra * massime) {
        const int prima = a.letture;
        for (qint64 r = 0; r < righe; r += finestra)
            QVERIFY(Chiedi(c, a, r));
        QVERIFY(a.letture > prima);
        QCOMPARE(c.finestre(), massime);
    }
}

void TstCacheRighe::righeScritteAlPosto_data() {
    QTest::addColumn<QList<int>>("posti");
    QTest::newRow("in the first window") << QList<int>{3};
    QTest::newRow("at a window's edge") << QList<int>{7, 8};
    QTest::newRow("in the second half, read from the end") << QList<int>{70, 71, 95};
    QTest::newRow("first and last") << QList<int>{0, 99};
    QTest::newRow("many") << QList<int>{2, 9, 17, 33, 50, 51, 52, 64, 88};
}

void TstCacheRighe::righeScritteAlPosto() {
    QFETCH(QList<int>, posti);
    const int n = 100;
    Archivio a(n);
    const QVector<Riga> originali = a.righe;
    CacheRighe c(8, 3);
    c.impostaChiavi({0});
    c.inizia(a.lettore()(0, 8, false));
    c.impostaTotale(n);
    // Each row written gets a new key: the database now sorts it at the end,
    // and it is one of the rows the reader leaves out.
    QHash<int, Riga> scritte;
    for (int p : posti) {
        const Riga nuova = R(100000 + p, QStringLiteral("scritta %1").arg(p));
        for (Riga& x : a.righe)
            if (x[0] == originali[p][0])
                x = nuova;
        std::stable_sort(a.righe.begin(), a.righe.end(),
                         [](const Riga& x, const Riga& y) { return x[0].toInt() < y[0].toInt(); });
        a.scritte.insert(nuova[0].toInt());
        c.fissa(p, nuova);
        scritte.insert(p, nuova);
    }
    QCOMPARE(c.postiFissi().size(), posti.size());
    QCOMPARE(c.chiaviScritte().size(), posti.size());
    // read from the top, then from the end, the windows pushed out between
    for (const bool su : {false, true}) {
        QSet<int> viste;
        for (int k = 0; k < n; ++k) {
            const int r = su ? n - 1 - k : k;
            const Riga* x = Chiedi(c, a, r);
            QVERIFY2(x, qPrintable(QString::number(r)));
            QCOMPARE(*x, scritte.value(r, originali[r]));
            QVERIFY2(!viste.contains(x->at(0).toInt()), "a row shown twice");
            viste.insert(x->at(0).toInt());
        }
        QCOMPARE(viste.size(), n);
    }
    // rows inserted above a written row move it down with them
    c.spostaFisse(posti.first(), 5);
    QCOMPARE(c.postiFissi().first(), qint64(posti.first() + 5));
}

void TstCacheRighe::testaECodaDuranteConteggio_data() {
    QTest::addColumn<int>("righe");
    QTest::addColumn<int>("testa");         // windows read from the top before the end is asked for
    QTest::addColumn<int>("scrittaInCoda"); // a row written in the tail, -1 none
    QTest::newRow("long list") << 1000 << 3 << -1;
    QTest::newRow("a row written in the tail") << 1000 << 2 << 5;
    QTest::newRow("head only") << 1000 << 1 << 0;
}

void TstCacheRighe::testaECodaDuranteConteggio() {
    QFETCH(int, righe);
    QFETCH(int, testa);
    QFETCH(int, scrittaInCoda);
    const int w = 16;
    Archivio a(righe);
    CacheRighe c(w, 4);
    c.impostaChiavi({0});
    c.inizia(a.lettore()(0, w, false));
    c.iniziaConteggio();
    QVERIFY(!c.totaleNoto());
    for (int k = 1; k < testa; ++k) {
        bool spostata = true;
        QVector<Riga> nuove = c.leggiTesta(a.lettore(), &spostata);
        QVERIFY(!spostata);
        QCOMPARE(nuove.size(), w);
        c.aggiungiTesta(std::move(nuove));
    }
    QCOMPARE(c.testa(), qint64(testa * w));
    QCOMPARE(c.righeDb(), qint64(testa * w));
    // the end of the list, before the total
    bool unita = true;
    c.riga(c.ultimaLettaInTesta());
    QVector<Riga> coda = c.leggiCoda(a.lettore(), &unita);
    QVERIFY(!unita);
    c.impostaCoda(std::move(coda), false);
    QCOMPARE(c.righeDb(), qint64(testa * w + w));
    for (int i = 0; i < w; ++i)
        QCOMPARE(*c.riga(testa * w + i), a.righe[righe - w + i]);
    for (int r = 0; r < testa * w; ++r)
        QCOMPARE(*Chiedi(c, a, r), a.righe[r]);
    // a row written in the tail keeps to its row when the rows in between
    // come in
    Riga scritta;
    if (scrittaInCoda >= 0) {
        const qint64 posto = testa * w + scrittaInCoda;
        scritta = R(a.righe[righe - w + scrittaInCoda][0].toInt(), QStringLiteral("scritta"));
        c.fissa(posto, scritta);
    }
    const qint64 buco = c.buco(righe);
    QCOMPARE(buco, qint64(righe - testa * w - w));
    QVERIFY(c.buco(testa * w) < 0); // fewer rows than known: read again
    c.accogliTotale(righe);
    QVERIFY(c.totaleNoto());
    QCOMPARE(c.righeDb(), qint64(righe));
    if (scrittaInCoda >= 0) {
        QCOMPARE(c.postiFissi(), QList<qint64>{righe - w + scrittaInCoda});
        QCOMPARE(*c.riga(righe - w + scrittaInCoda), scritta);
        a.righe[righe - w + scrittaInCoda] = scritta;
        a.scritte.insert(scritta[0].toInt());
    }
    // every place, the rows in between read now
    for (int r = 0; r < righe; ++r) {
        const Riga* x = Chiedi(c, a, r);
        QVERIFY2(x, qPrintable(QString::number(r)));
        QCOMPARE(*x, a.righe[r]);
    }
}

void TstCacheRighe::codaCheRaggiungeLaTesta() {
    // A list a little longer than the rows read from the top: the last
    // window holds the head's last row, and the list is known whole.
    const int w = 16;
    for (const int righe : {w + 1, w + 9, 2 * w - 1}) {
        Archivio a(righe);
        CacheRighe c(w, 4);
        c.impostaChiavi({0});
        c.inizia(a.lettore()(0, w, false));
        c.iniziaConteggio();
        bool unita = false;
        QVector<Riga> coda = c.leggiCoda(a.lettore(), &unita);
        QVERIFY(unita);
        QCOMPARE(coda.size(), righe - w);
        c.impostaCoda(std::move(coda), true);
        QVERIFY(c.totaleNoto());
        QCOMPARE(c.righeDb(), qint64(righe));
        for (int r = 0; r < righe; ++r)
            QCOMPARE(*c.riga(r), a.righe[r]);
    }
}

void TstCacheRighe::listaSpostata_data() {
    QTest::addColumn<QString>("cambio");
    QTest::addColumn<int>("dove");     // the row added or taken out
    QTest::addColumn<int>("finestra"); // the window read after the change
    QTest::addColumn<bool>("spostata");
    QTest::newRow("row added above, window below its neighbour") << "aggiunta" << 0 << 1 << true;
    QTest::newRow("row deleted above, window below its neighbour") << "tolta" << 0 << 1 << true;
    QTest::newRow("row added between a window read from the end and its neighbour")
        << "aggiunta" << 48 << 5 << true;
    QTest::newRow("row added above a window read from the end: its places hold")
        << "aggiunta" << 0 << 5 << false;
    QTest::newRow("rows deleted at the end: the window comes back short")
        << "accorciata" << 26 << 3 << true;
}

void TstCacheRighe::listaSpostata() {
    QFETCH(QString, cambio);
    QFETCH(int, dove);
    QFETCH(int, finestra);
    QFETCH(bool, spostata);
    const int w = 8, n = 64;
    Archivio a(n);
    const QVector<Riga> originali = a.righe;
    CacheRighe c(w, 8);
    c.impostaChiavi({0});
    c.inizia(a.lettore()(0, w, false));
    c.impostaTotale(n);
    if (cambio == QLatin1String("accorciata")) {
        a.righe.resize(dove); // no neighbour in memory: only the length tells
    } else {
        // a neighbour in memory on each side
        QVERIFY(Chiedi(c, a, (finestra + 1) * w));
        QVERIFY(Chiedi(c, a, finestra * w - 1));
        if (cambio == QLatin1String("aggiunta"))
            a.righe.insert(dove, R(dove * 10 - 5));
        else
            a.righe.remove(dove);
    }
    CacheRighe::Esito e = CacheRighe::Esito::Nulla;
    const Riga* x = Chiedi(c, a, finestra * w, &e);
    if (!spostata) {
        QCOMPARE(e, CacheRighe::Esito::Letta);
        QCOMPARE(*x, originali[finestra * w]);
        return;
    }
    QVERIFY(!x);
    QCOMPARE(e, CacheRighe::Esito::Spostata);
    QCOMPARE(c.finestraMancante(finestra * w), qint64(finestra)); // nothing kept from it
    if (cambio == QLatin1String("accorciata")) {
        // The list read again, its count still the old one: the window
        // read short again is taken, the missing rows empty (as the list
        // read again would show them), none shown in a wrong place.
        c.svuota();
        c.inizia(a.lettore()(0, w, false));
        c.impostaTotale(n);
        x = Chiedi(c, a, finestra * w, &e);
        QCOMPARE(e, CacheRighe::Esito::Letta);
        QCOMPARE(*x, originali[finestra * w]);
        QCOMPARE(*c.riga(dove - 1), originali[dove - 1]);
        QVERIFY(!c.inMemoria(finestra * w + w - 1));
        QVERIFY(c.riga(finestra * w + w - 1)->isEmpty());
    }
}

QTEST_GUILESS_MAIN(TstCacheRighe)
#include "tst_cacherighe.moc"
