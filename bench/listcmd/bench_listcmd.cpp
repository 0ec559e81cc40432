// bench_listcmd: the data grid over the counts query of an inventory of N
// rows (the demo company's shape, generated on first use), beside a plain
// QSqlQueryModel in a QTableView over the same query.
//
//   bench_listcmd --motore sqlite|postgres --modo griglia|qsqlquerymodel
//                 [--righe N] [--db file.db] [--prima-apertura] [--ordina colonna]
//
// One line of figures: the first screen (list opened and painted, counter
// read), the last row reached and painted, one row written, when the total
// arrived (the grid counts in the background; the counter shows "…" until
// then) and the growth of the process's resident memory over an empty list.
// The grid shows an empty list first (a form before the operator picks the
// inventory); with --prima-apertura the list is the first the grid opens (a
// form that opens its list as it loads): nothing of the count's connection
// is ready then.  With --ordina the list, once counted, is sorted by that
// column as a click on its title sorts it (the column has no index: the
// first screen of the sorted list is timed; "tabella intera" when its
// windows read the whole base table, not through an index), then a window in
// the middle of the sorted list and another one a few thousand rows above.
// The SQLite file is opened as the program opens it (write-ahead log, busy
// timeout).

#include "Banco.h"
#include "data/ComponenteDatiSql.h"
#include "listcmd/Comlin.h"
#include "listcmd/Griglia.h"
#include "suite/Messaggi.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QLineEdit>
#include <QSqlQuery>
#include <QSqlQueryModel>
#include <QTableView>
#include <QToolBar>
#include <QVBoxLayout>

#include <cstdio>

using namespace quarvel;

namespace {

QString SqlConteggi(const QString& condizione) {
    return QStringLiteral(
               "SELECT MagInventari.CodInv,MagInventari.Articolo,Articoli.Descrizione AS "
               "DesArticolo,MagInventari.Livello1,MagInventari.Livello2,MagInventari.Giacenza"
               ",MagInventari.Magazzino,Magazzini.Descrizione AS DesMagaz FROM (MagInventari "
               "LEFT JOIN Articoli ON MagInventari.Articolo = Articoli.Articolo) LEFT JOIN "
               "Magazzini ON Magazzini.Magazzino = MagInventari.Magazzino") +
           condizione;
}

void Dipingi(QWidget* w) {
    w->repaint();
    QApplication::processEvents();
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QCommandLineParser p;
    p.addHelpOption();
    const QCommandLineOption oMotore(QStringLiteral("motore"), QStringLiteral("sqlite|postgres"),
                                     QStringLiteral("m"), QStringLiteral("sqlite"));
    const QCommandLineOption oModo(QStringLiteral("modo"), QStringLiteral("griglia|qsqlquerymodel"),
                                   QStringLiteral("m"), QStringLiteral("griglia"));
    const QCommandLineOption oRighe(QStringLiteral("righe"), QStringLiteral("righe"),
                                    QStringLiteral("n"), QStringLiteral("1000000"));
    const QCommandLineOption oDb(QStringLiteral("db"), QStringLiteral("file SQLite"),
                                 QStringLiteral("f"),
                                 QStringLiteral("/tmp/quarvel-bench-listcmd.db"));
    const QCommandLineOption oPrima(QStringLiteral("prima-apertura"),
                                    QStringLiteral("the list is the first the grid opens"));
    const QCommandLineOption oOrdina(QStringLiteral("ordina"),
                                     QStringLiteral("the column the list is then sorted by"),
                                     QStringLiteral("colonna"));
    p.addOptions({oMotore, oModo, oRighe, oDb, oPrima, oOrdina});
    p.process(app);
    const QString motore = p.value(oMotore);
    const QString modo = p.value(oModo);
    const qint64 righe = p.value(oRighe).toLongLong();

    dati::Registra();
    MessaggiStderr stderrMsg;
    ImpostaServizioMessaggi(&stderrMsg);

    banco::Banco dove;
    dove.postgres = motore == QLatin1String("postgres");
    dove.file = p.value(oDb);
    QSqlDatabase db;
    if (!banco::Apri(dove, db))
        return 1;
    banco::PreparaDitta(db, righe); // made once; later runs find it
    const QString sql =
        SqlConteggi(QStringLiteral(" WHERE CodInv = 'INV2024' Order by MagInventari.Articolo"));

    QWidget form;
    form.resize(1000, 700);
    auto* l = new QVBoxLayout(&form);
    banco::Cronometro t;
    double primo = 0, ultimo = 0, scrittura = -1, memoria = 0, arrivo = -1, ordinata = -1;
    bool intera = false;                // the sort read the whole base table
    double centro = -1, centroPoi = -1; // windows in the middle of the sorted list
    QString contatore, contatoreUltimo, contatoreFinale;
    if (modo == QLatin1String("griglia")) {
        auto* tb = new QToolBar(&form);
        auto* txt = new QLineEdit(&form);
        auto* g = new listcmd::Griglia(&form);
        l->addWidget(tb);
        l->addWidget(txt);
        l->addWidget(g);
        listcmd::Comlin c;
        c.setOgForm(&form);
        c.setOgToolbar(tb);
        c.setOgContatore(txt);
        c.setOgGriglia(g);
        c.setOgDati(g->Dati());
        c.setOgDatabase(db);
        c.setOiAbilRW(1);
        if (!p.isSet(oPrima))
            c.ApriSql(SqlConteggi(QStringLiteral(" WHERE 1=2")));
        form.show();
        Dipingi(&form);
        const double base = banco::MemoriaMb();
        banco::Cronometro daApertura;
        QObject::connect(g->modello(), &listcmd::ModelloRighe::totaleArrivato, g,
                         [&] { arrivo = daApertura.ms(); });
        daApertura.avvia();
        t.avvia();
        c.ApriSql(sql);
        if (qEnvironmentVariableIsSet("QUARVEL_BENCH_FASI"))
            std::fprintf(stderr, "ApriSql %.1f ms\n", t.ms());
        QString a, b;
        c.Contatore(a, b);
        contatore = b + QStringLiteral(" / ") + a;
        Dipingi(g);
        primo = t.ms();
        if (g->modello()->totaleNoto())
            arrivo = primo;
        t.avvia();
        c.EseguiPulsante(QStringLiteral("Ultimo"));
        Dipingi(g);
        ultimo = t.ms();
        c.Contatore(a, b);
        contatoreUltimo = b + QStringLiteral(" / ") + a;
        const int r = g->Row();
        const double giacenza = g->modello()->valore(r, 5).toDouble();
        t.avvia();
        g->Colonna(QStringLiteral("Giacenza"))->setValue(giacenza + 1);
        const bool ok = g->Update();
        Dipingi(g);
        scrittura = t.ms();
        if (!ok)
            std::fprintf(stderr, "scrittura non riuscita: %s\n",
                         qPrintable(g->UltimoErrore().descrizione()));
        // Waiting for the total sleeps until an event comes (a wait with a
        // time limit turns the event loop round without sleeping, and took a
        // core from the count and the server).
        while (!g->modello()->totaleNoto())
            QApplication::processEvents(QEventLoop::WaitForMoreEvents);
        if (arrivo < 0)
            arrivo = daApertura.ms();
        c.Contatore(a, b);
        contatoreFinale = b + QStringLiteral(" / ") + a;
        memoria = banco::MemoriaMb() - base;
        if (p.isSet(oOrdina)) {
            QString ordinato = sql;
            t.avvia();
            c.Ordina(g->modello()->indiceColonna(p.value(oOrdina)), ordinato);
            Dipingi(g);
            ordinata = t.ms();
            intera = g->modello()->letturaIntera();
            // a window in the middle of the sorted list, then another one
            listcmd::ModelloRighe* m = g->modello();
            m->attendiConteggio();
            const qint64 meta = m->totale() / 2 - 10 * listcmd::ModelloRighe::RigheFinestra;
            t.avvia();
            m->valore(meta, 0);
            centro = t.ms();
            t.avvia();
            m->valore(meta - 40 * listcmd::ModelloRighe::RigheFinestra, 0);
            centroPoi = t.ms();
        }
    } else {
        auto* v = new QTableView(&form);
        l->addWidget(v);
        QSqlQueryModel m;
        v->setModel(&m);
        form.show();
        m.setQuery(TraduciSql(db, SqlConteggi(QStringLiteral(" WHERE 1=2"))), db);
        Dipingi(&form);
        const double base = banco::MemoriaMb();
        t.avvia();
        m.setQuery(TraduciSql(db, sql), db);
        contatore = QStringLiteral("1 / %1").arg(m.rowCount()); // what it knows so far
        Dipingi(v);
        primo = t.ms();
        t.avvia();
        while (m.canFetchMore())
            m.fetchMore();
        v->scrollToBottom();
        v->setCurrentIndex(m.index(m.rowCount() - 1, 0));
        Dipingi(v);
        ultimo = t.ms();
        memoria = banco::MemoriaMb() - base;
    }
    banco::Riga(
        "%-9s %-15s %9lld%s  primo schermo %8.1f ms (%s)  ultima riga %8.1f ms (%s)  "
        "scrittura %s  totale dopo %s (%s)  memoria +%.1f MB%s",
        qPrintable(motore), qPrintable(modo), righe, p.isSet(oPrima) ? " (prima)" : "", primo,
        qPrintable(contatore), ultimo,
        qPrintable(contatoreUltimo.isEmpty() ? QStringLiteral("-") : contatoreUltimo),
        scrittura < 0 ? "     -   " : qPrintable(QStringLiteral("%1 ms").arg(scrittura, 6, 'f', 1)),
        arrivo < 0 ? "     -   " : qPrintable(QStringLiteral("%1 ms").arg(arrivo, 6, 'f', 1)),
        qPrintable(contatoreFinale.isEmpty() ? contatore : contatoreFinale), memoria,
        ordinata < 0
            ? ""
            : qPrintable(QStringLiteral("  ordinata per %1 %2 ms%3, a metà %4 ms, poi %5 ms")
                             .arg(p.value(oOrdina))
                             .arg(ordinata, 0, 'f', 1)
                             .arg(intera ? QStringLiteral(" (tabella intera)") : QString())
                             .arg(centro, 0, 'f', 1)
                             .arg(centroPoi, 0, 'f', 1)));
    return 0;
}
