// bench_lookup: the article search window and the decoding of a code over a
// company of N articles (generated on first use, descriptions made of words
// of a small vocabulary, so a word is shared by a part of the articles).
//
//   bench_lookup --motore sqlite|postgres [--articoli N] [--db file.db] [--dettaglio]
//
// One line of figures: the window opened with its first rows painted; each
// character typed into the search by code ("ART05") and, after F3, by a word
// of the description ("zinc"), the list read again and painted (the slowest
// character and the mean); two words shared by one article in 200 ("titanio
// esag"); the last word of about one article in 1500 ("19x99", through the
// index); a letter no word begins with ("k"); a text no article has ("qwz");
// one code decoded (the mean of a thousand).  --dettaglio: each character's
// time on the standard error.

#include "Banco.h"
#include "data/ComponenteDatiSql.h"
#include "data/Schema.h"
#include "listcmd/ModelloRighe.h"
#include "lookup/ComponenteAiutoQt.h"
#include "suite/Errore.h"
#include "suite/Messaggi.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QLabel>
#include <QLineEdit>
#include <QSqlError>
#include <QSqlQuery>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include <cstdio>

using namespace quarvel;

namespace {

const char* const Nomi[] = {"Vite",     "Bullone", "Dado",        "Rondella", "Staffa",
                            "Tassello", "Chiodo",  "Cerniera",    "Maniglia", "Piastra",
                            "Squadra",  "Gancio",  "Molla",       "Perno",    "Rivetto",
                            "Fascetta", "Catena",  "Moschettone", "Anello",   "Tubo"};
const char* const Aggettivi[] = {
    "zincato",   "inox",           "ottonato",   "brunito", "cromato", "verniciato", "grezzo",
    "nichelato", "temprato",       "rinforzato", "leggero", "pesante", "corto",      "lungo",
    "svasato",   "autofilettante", "esagonale",  "quadro",  "tondo",   "piatto"};
const char* const Materiali[] = {"acciaio", "ferro", "ottone",  "alluminio", "rame",
                                 "nylon",   "legno", "titanio", "bronzo",    "plastica"};

QString Descrizione(qint64 i) {
    return QStringLiteral("%1 %2 %3 %4x%5")
        .arg(QString::fromLatin1(Nomi[i % 20]), QString::fromLatin1(Aggettivi[(i / 20) % 20]),
             QString::fromLatin1(Materiali[(i / 400) % 10]))
        .arg(3 + i % 17)
        .arg(10 + (i / 7) % 90);
}

QString Codice(qint64 i) {
    return QStringLiteral("ART%1").arg(i, 7, 10, QLatin1Char('0'));
}

bool Genera(QSqlDatabase& db, qint64 n, bool pg) {
    dati::CreaDitta(db, true);
    db.transaction();
    const QString sql = QStringLiteral("INSERT INTO Articoli (Articolo, Descrizione, BarCode, "
                                       "LivGruppo1, Inattivo, Immagine) VALUES ");
    auto prepara = [&](QSqlQuery& q, int righe) {
        QStringList parti;
        for (int k = 0; k < righe; ++k)
            parti << QStringLiteral("(?, ?, ?, ?, ?, ?)");
        q.prepare(sql + parti.join(QLatin1Char(',')));
    };
    const int lotto = pg ? 500 : 1; // many rows a statement on the server
    QSqlQuery q(db), uno(db);
    prepara(q, lotto);
    prepara(uno, 1);
    for (qint64 i = 1; i <= n;) {
        QSqlQuery& s = i + lotto - 1 <= n ? q : uno;
        const int righe = &s == &q ? lotto : 1;
        for (int k = 0; k < righe; ++k, ++i) {
            s.addBindValue(Codice(i));
            s.addBindValue(Descrizione(i));
            s.addBindValue(QString::number(8000000000000LL + i));
            s.addBindValue(i % 5 == 0 ? QVariant(QStringLiteral("TG")) : QVariant());
            s.addBindValue(i % 13 == 0 ? QStringLiteral("S") : QStringLiteral("N"));
            s.addBindValue(i % 3 == 0 ? QVariant(QStringLiteral("art.png")) : QVariant());
        }
        if (!s.exec()) {
            std::fprintf(stderr, "bench_lookup: %s\n", qPrintable(s.lastError().text()));
            return false;
        }
    }
    db.commit();
    QSqlQuery(db).exec(pg ? QStringLiteral("VACUUM ANALYZE Articoli") : QStringLiteral("ANALYZE"));
    return true;
}

void Dipingi(QWidget* w) {
    w->repaint();
    QApplication::processEvents();
}

bool Dettaglio = false; // each character's time on stderr

struct Digitazione {
    double peggiore = 0, somma = 0;
    double peggiore3 = 0; // once the last word typed has three characters or more
    int volte = 0;
    int righe = 0;
};

Digitazione Digita(lookup::FinestraAiuto* f, const QString& testo) {
    Digitazione d;
    for (QChar c : testo) {
        const banco::Cronometro t;
        QTest::keyClick(f->ricerca(), c.toLatin1());
        Dipingi(f->griglia());
        const double ms = t.ms();
        d.peggiore = qMax(d.peggiore, ms);
        if (f->ricerca()->text().section(QLatin1Char(' '), -1).size() >= 3)
            d.peggiore3 = qMax(d.peggiore3, ms);
        d.somma += ms;
        ++d.volte;
        if (Dettaglio)
            std::fprintf(stderr, "  %-16s %7.1f ms %lld righe\n", qPrintable(f->ricerca()->text()),
                         ms, static_cast<long long>(f->modello()->totale()));
    }
    d.righe = f->modello()->rowCount();
    return d;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QCommandLineParser p;
    p.addHelpOption();
    const QCommandLineOption oMotore(QStringLiteral("motore"), QStringLiteral("sqlite|postgres"),
                                     QStringLiteral("m"), QStringLiteral("sqlite"));
    const QCommandLineOption oArticoli(QStringLiteral("articoli"), QStringLiteral("articoli"),
                                       QStringLiteral("n"), QStringLiteral("1000000"));
    const QCommandLineOption oDb(QStringLiteral("db"), QStringLiteral("file SQLite"),
                                 QStringLiteral("f"),
                                 QStringLiteral("/tmp/quarvel-bench-lookup.db"));
    const QCommandLineOption oDettaglio(QStringLiteral("dettaglio"),
                                        QStringLiteral("il tempo di ogni carattere"));
    p.addOptions({oMotore, oArticoli, oDb, oDettaglio});
    p.process(app);
    Dettaglio = p.isSet(oDettaglio);
    const bool pg = p.value(oMotore) == QLatin1String("postgres");
    const qint64 n = p.value(oArticoli).toLongLong();

    dati::Registra();
    MessaggiStderr stderrMsg;
    ImpostaServizioMessaggi(&stderrMsg);

    banco::Banco dove;
    dove.postgres = pg;
    dove.file = p.value(oDb);
    dove.databaseServer = QStringLiteral("quarvel_bench_lookup");
    QSqlDatabase db;
    if (!banco::Apri(dove, db))
        return 1;
    if (pg)
        QSqlQuery(db).exec(QStringLiteral("SET standard_conforming_strings = on"));
    {
        QSqlQuery q(db);
        const bool c = q.exec(QStringLiteral("SELECT COUNT(*) FROM Articoli")) && q.next() &&
                       q.value(0).toLongLong() == n;
        if (!c) {
            q.finish();
            const banco::Cronometro t;
            if (!Genera(db, n, pg))
                return 1;
            std::fprintf(stderr, "%lld articoli generati in %.1f s\n", n, t.secondi());
        }
    }
    try {
        // the index of the descriptions' words of a table generated before it
        const banco::Cronometro t;
        for (const QString& fatto : dati::CompletaIndici(db))
            std::fprintf(stderr, "creato %s in %.1f s\n", qPrintable(fatto), t.secondi());
    } catch (const Errore& e) {
        std::fprintf(stderr, "bench_lookup: %s\n", qPrintable(e.descrizione()));
        return 1;
    }

    lookup::ComponenteAiutoQt c;
    QWidget* principale = nullptr;
    QObject* condiviso = nullptr;
    c.InizializzaAiuto(principale, nullptr, condiviso, nullptr, QString(), db, 0x80000005, 0xFF,
                       QStringLiteral("p"), QStringLiteral("dd/mm/yyyy"));
    c.finestra()->show(); // the window made once, as the start-up makes it
    c.finestra()->hide();

    double apertura = -1;
    Digitazione perCodice, perDescrizione, dueParole, rara, lettera, nulla;
    banco::Cronometro t;
    QTimer::singleShot(0, [&] {
        lookup::FinestraAiuto* f = c.finestra();
        while (!f->isVisible())
            QApplication::processEvents();
        Dipingi(f);
        apertura = t.ms();
        perCodice = Digita(f, QStringLiteral("ART05"));
        f->ricerca()->clear();
        QTest::keyClick(f->ricerca(), Qt::Key_F3);
        perDescrizione = Digita(f, QStringLiteral("zinc"));
        f->ricerca()->clear();
        dueParole = Digita(f, QStringLiteral("titanio esag")); // one article in 200
        f->ricerca()->clear();
        rara = Digita(f, QStringLiteral("19x99")); // the last word of one article in 1530
        f->ricerca()->clear();
        lettera = Digita(f, QStringLiteral("k")); // a letter no word begins with
        f->ricerca()->clear();
        nulla = Digita(f, QStringLiteral("qwz")); // no article: the whole table read
        QTest::keyClick(f->ricerca(), Qt::Key_Escape);
    });
    QLineEdit box;
    QLabel lab;
    bool trovato = false;
    int tasto = 113;
    t.avvia();
    c.Aiuto(QStringLiteral("Articolo"), &box, &lab, tasto, nullptr, std::nullopt, trovato, 0,
            QString(), QString());

    // decoding
    const int volte = 1000;
    QString condizione;
    t.avvia();
    int noti = 0;
    for (int i = 0; i < volte; ++i) {
        box.setText(Codice(1 + (qint64(i) * 7919) % n).toLower());
        noti += c.DecodificaCampo(QStringLiteral("Articolo"), &box, &lab, std::nullopt, 0,
                                  QString(), 0, nullptr, condizione) == -1;
    }
    const double decodifica = t.ms() / volte;

    banco::Riga(
        "%-8s %9lld articoli  prime righe %7.1f ms  per codice: carattere peggiore "
        "%6.1f ms, medio %6.1f ms (%d righe)  per descrizione: peggiore %6.1f ms, medio "
        "%6.1f ms (%d righe)  due parole: peggiore %6.1f ms (%d righe)  parola rara: peggiore "
        "%6.1f ms (%d righe)  una lettera che nessuna parola ha: %6.1f ms  nessuna riga: "
        "peggiore %6.1f ms, da tre caratteri %6.1f ms  decodifica %6.3f ms (%d/%d "
        "noti)",
        pg ? "postgres" : "sqlite", n, apertura, perCodice.peggiore,
        perCodice.somma / qMax(1, perCodice.volte), perCodice.righe, perDescrizione.peggiore,
        perDescrizione.somma / qMax(1, perDescrizione.volte), perDescrizione.righe,
        dueParole.peggiore, dueParole.righe, rara.peggiore, rara.righe, lettera.peggiore,
        nulla.peggiore, nulla.peggiore3, decodifica, noti, volte);
    return 0;
}
