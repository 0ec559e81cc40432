// bench_anteprima: the counts list of an inventory of N rows (the demo
// company's shape, generated on first use) shown on screen page by page
// through the grid's list, the print object and the preview form, as an
// operator pressing the next arrow would: P pages, each asked for as soon as
// the one before is on show.
//
//   bench_anteprima [--righe N] [--db file.db] [--pagine P] [--memorizza 0|1]
//                   [--zoom PERCENTO] [--mostra]
//
// With --mostra the preview waits for the operator instead (the screenshot
// scenario): the program ends when the preview is left with "&Esci".
//
// One line of figures: the time from one next arrow to the page on show
// (mean, median, slowest), the resident memory at page 10 and at the last
// page, and with page keeping the page files' count and size on disk.

#include "Banco.h"
#include "data/ComponenteDatiSql.h"
#include "listcmd/Comlin.h"
#include "listcmd/Griglia.h"
#include "print/OpzioniStampa.h"
#include "print/Stampa.h"
#include "printing/FrmVStampa.h"
#include "suite/Messaggi.h"
#include "suite/StampaAttiva.h"
#include "utility/Utilita.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPointer>
#include <QSqlError>
#include <QSqlQuery>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

using namespace quarvel;

namespace {

const char* const SqlConteggi =
    "SELECT MagInventari.CodInv,MagInventari.Articolo,Articoli.Descrizione AS "
    "DesArticolo,MagInventari.Livello1,MagInventari.Livello2,MagInventari.Giacenza"
    ",MagInventari.Magazzino,Magazzini.Descrizione AS DesMagaz FROM (MagInventari "
    "LEFT JOIN Articoli ON MagInventari.Articolo = Articoli.Articolo) LEFT JOIN "
    "Magazzini ON Magazzini.Magazzino = MagInventari.Magazzino WHERE CodInv = 'INV2024' "
    "Order by MagInventari.Articolo";

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QCommandLineParser p;
    p.addHelpOption();
    const QCommandLineOption oRighe(QStringLiteral("righe"), QStringLiteral("righe"),
                                    QStringLiteral("n"), QStringLiteral("100000"));
    const QCommandLineOption oPagine(QStringLiteral("pagine"), QStringLiteral("pagine"),
                                     QStringLiteral("n"), QStringLiteral("1000"));
    const QCommandLineOption oDb(QStringLiteral("db"), QStringLiteral("file SQLite"),
                                 QStringLiteral("f"),
                                 QStringLiteral("/tmp/quarvel-bench-stampa.db"));
    const QCommandLineOption oMem(QStringLiteral("memorizza"), QStringLiteral("pagine su file"),
                                  QStringLiteral("0|1"), QStringLiteral("1"));
    const QCommandLineOption oZoom(QStringLiteral("zoom"), QStringLiteral("zoom"),
                                   QStringLiteral("percento"), QStringLiteral("100"));
    const QCommandLineOption oMostra(QStringLiteral("mostra"),
                                     QStringLiteral("attende l'operatore"));
    p.addOptions({oRighe, oPagine, oDb, oMem, oZoom, oMostra});
    p.process(app);
    const qint64 righe = p.value(oRighe).toLongLong();
    const int pagine = p.value(oPagine).toInt();
    const bool memorizza = p.value(oMem) == QLatin1String("1");
    dati::Registra();
    InstallaUtilita();
    MessaggiStderr stderrMsg;
    ImpostaServizioMessaggi(&stderrMsg);
    banco::Banco dove;
    dove.file = p.value(oDb);
    QSqlDatabase db;
    if (!banco::Apri(dove, db))
        return 1;
    banco::PreparaDitta(db, righe);
    QWidget form;
    auto* l = new QVBoxLayout(&form);
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
    c.ApriSql(QString::fromLatin1(SqlConteggi));
    IListaLettura* lista = c.Lista();
    lista->totale();

    stampa::OpzioniStampa o(QStringLiteral("Bench"));
    o.oiStaVid = DestStampa::Video;
    o.ofFatt = float(p.value(oZoom).toDouble() / 100.0);
    o.oiMemVid = memorizza ? 1 : 0;
    o.setValore(QStringLiteral("PaginaA"), pagine);
    stampa::Stampa sta;
    sta.setOgOpzSta(&o);
    FrmVStampa* frm = FinestraVStampa();
    frm->resize(1000, 800);
    sta.setOfrmVStampa(frm);

    std::vector<double> tempi; // ms from a next arrow to its page on show
    tempi.reserve(size_t(pagine));
    double mem10 = 0;
    std::optional<banco::Cronometro> t; // from the last next arrow
    QTimer passo;
    passo.setInterval(0);
    QObject::connect(&passo, &QTimer::timeout, [&] {
        // here the print waits on the page it has shown
        if (t)
            tempi.push_back(t->ms());
        if (sta.oiUltPag == 10)
            mem10 = banco::MemoriaMb();
        t.emplace();
        frm->ImaMuovi_Click(3);
    });
    RichiestaStampaLista r;
    r.colonne = QStringLiteral("T");
    r.orientamento = 1;
    r.font = QFont(QStringLiteral("DejaVu Sans"), 9);
    r.titolo = QStringLiteral("Inventario");
    r.ditta = QStringLiteral("Ditta");
    const double base = banco::MemoriaMb();
    if (p.isSet(oMostra)) {
        QPointer<FrmVStampa> vista = frm;
        QObject::connect(frm, &QObject::destroyed, &app, &QCoreApplication::quit);
        sta.StampaLista(*lista, r);
        return vista ? app.exec() : 0;
    }
    passo.start();
    const banco::Cronometro totale;
    const qint64 fatte = sta.StampaLista(*lista, r);
    if (t)
        tempi.push_back(t->ms()); // the last page, on show
    const double ms = totale.ms();
    passo.stop();
    const double memFine = banco::MemoriaMb();
    qint64 byte = 0;
    int file = 0;
    const QFileInfo basePagine(frm->msFilePagine());
    for (const QFileInfo& f : basePagine.absoluteDir().entryInfoList(
             {basePagine.fileName() + QStringLiteral(".*")}, QDir::Files)) {
        ++file;
        byte += f.size();
    }
    std::vector<double> ordinati = tempi;
    std::sort(ordinati.begin(), ordinati.end());
    double somma = 0;
    for (double x : tempi)
        somma += x;
    const double media = tempi.empty() ? 0 : somma / double(tempi.size());
    const double mediana = ordinati.empty() ? 0 : ordinati[ordinati.size() / 2];
    const double peggiore = ordinati.empty() ? 0 : ordinati.back();
    banco::Riga("anteprima %s  %lld pagine in %.0f ms  pagina dopo pagina: media %.1f ms, "
                "mediana %.1f ms, la più lenta %.1f ms  memoria: prima %.1f MB, a pagina 10 "
                "%.1f MB, a pagina %lld %.1f MB  file %d, %.1f MB",
                memorizza ? "con memorizzazione" : "senza memorizzazione", fatte, ms, media,
                mediana, peggiore, base, mem10, fatte, memFine, file, byte / 1048576.0);
    ImpostaStampaAttiva(0);
    frm->close(); // the page files go
    return 0;
}
