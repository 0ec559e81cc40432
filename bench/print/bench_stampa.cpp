// bench_stampa: the counts list of an inventory of N rows (the demo
// company's shape, generated on first use) printed by the print component
// through the list of the data grid, beside plain programs doing the same
// work without it.
//
//   bench_stampa --modo MODO [--righe N] [--db file.db] [--pagine P] --uscita FILE
//
//   csv            the list to delimited text ("Compatibile Excel")
//   xlsx           the list to the workbook (libxlsxwriter, constant memory)
//   xlsx-semplice  the same cells read by a plain query and written by a
//                  plain libxlsxwriter program
//   pagine         P pages of the list laid out and drawn on a PDF writer
//   pdf-semplice   the same rows drawn by a plain QPdfWriter program, the
//                  same number to a page
//   lettura        the grid's list read alone, in the chunks the writers read
//   lettura-cursore
//                  the same rows read alone by one forward-only query of the
//                  same SQL, with the texts formatted as the grid shows them
//   csv-cursore, xlsx-cursore, pagine-cursore
//                  the writers fed by one forward-only query in place of the
//                  grid's list: what the print component itself costs
//
// One line of figures: the time, the processor time the process used (user
// and system: on a busy machine the time waits for the processor), the rows
// or pages written, and the growth of the process's resident memory.

#include "Banco.h"
#include "data/ComponenteDatiSql.h"
#include "listcmd/Comlin.h"
#include "listcmd/Griglia.h"
#include "print/Impaginatore.h"
#include "print/OpzioniStampa.h"
#include "print/ScritturaFile.h"
#include "suite/Messaggi.h"
#include "utility/Utilita.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFile>
#include <QFontMetricsF>
#include <QLineEdit>
#include <QPainter>
#include <QPdfWriter>
#include <QSqlError>
#include <QSqlQuery>
#include <QToolBar>
#include <QVBoxLayout>

#include <xlsxwriter.h>

#include <cstdio>
#include <sys/resource.h>

using namespace quarvel;

namespace {

// The counts of the inventory as the counts form lists them.
const char* const SqlConteggi =
    "SELECT MagInventari.CodInv,MagInventari.Articolo,Articoli.Descrizione AS "
    "DesArticolo,MagInventari.Livello1,MagInventari.Livello2,MagInventari.Giacenza"
    ",MagInventari.Magazzino,Magazzini.Descrizione AS DesMagaz FROM (MagInventari "
    "LEFT JOIN Articoli ON MagInventari.Articolo = Articoli.Articolo) LEFT JOIN "
    "Magazzini ON Magazzini.Magazzino = MagInventari.Magazzino WHERE CodInv = 'INV2024' "
    "Order by MagInventari.Articolo";

// A plain writer of the same cells: texts as texts, the quantity a number.
qint64 XlsxSemplice(QSqlDatabase& db, const QString& file) {
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(TraduciSql(db, QString::fromLatin1(SqlConteggi))))
        return -1;
    lxw_workbook_options o{};
    o.constant_memory = LXW_TRUE;
    lxw_workbook* wb = workbook_new_opt(QFile::encodeName(file).constData(), &o);
    lxw_worksheet* ws = workbook_add_worksheet(wb, "Lista");
    const char* titoli[] = {"CodInv",   "Articolo", "DesArticolo", "Livello1",
                            "Livello2", "Giacenza", "Magazzino",   "DesMagaz"};
    for (int c = 0; c < 8; ++c)
        worksheet_write_string(ws, 0, lxw_col_t(c), titoli[c], nullptr);
    lxw_row_t r = 1;
    while (q.next()) {
        for (int c = 0; c < 8; ++c) {
            const QVariant v = q.value(c);
            if (v.isNull())
                continue;
            if (c == 5)
                worksheet_write_number(ws, r, lxw_col_t(c), v.toDouble(), nullptr);
            else
                worksheet_write_string(ws, r, lxw_col_t(c), v.toString().toUtf8().constData(),
                                       nullptr);
        }
        ++r;
    }
    workbook_close(wb);
    return r - 1;
}

// A plain drawing of the same rows, righePagina to a page.
int PdfSemplice(QSqlDatabase& db, const QString& file, int pagine, int righePagina) {
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(TraduciSql(db, QString::fromLatin1(SqlConteggi))))
        return -1;
    QPdfWriter pdf(file);
    pdf.setPageSize(QPageSize(QPageSize::A4));
    QPainter p(&pdf);
    const QFont font(QStringLiteral("DejaVu Sans"), 9);
    p.setFont(font);
    const QFontMetricsF fm(font, &pdf);
    const double riga = std::ceil(fm.height() * 1.15);
    const double colonna = pdf.width() / 8.0;
    int fatte = 0;
    while (fatte < pagine) {
        if (fatte > 0)
            pdf.newPage();
        double y = riga * 4;
        for (int r = 0; r < righePagina && q.next(); ++r) {
            for (int c = 0; c < 8; ++c)
                p.drawText(QRectF(c * colonna, y, colonna, riga), Qt::AlignLeft | Qt::AlignVCenter,
                           q.value(c).toString());
            y += riga;
        }
        ++fatte;
    }
    return fatte;
}

// The processor time of the process so far, user and system, in ms.
double ProcessoreMs() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return (double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3 +
            double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3);
}

// The list read by one forward-only query, in order, for the writers alone.
class ListaCursore final : public IListaLettura {
public:
    ListaCursore(QSqlDatabase& db, qint64 totale) : m_q(db), m_totale(totale) {
        m_q.setForwardOnly(true);
        m_q.exec(TraduciSql(db, QString::fromLatin1(SqlConteggi)));
        const char* nomi[] = {"CodInv",   "Articolo", "DesArticolo", "Livello1",
                              "Livello2", "Giacenza", "Magazzino",   "DesMagaz"};
        for (int c = 0; c < 8; ++c) {
            ColonnaLettura x;
            x.nome = x.titolo = QString::fromLatin1(nomi[c]);
            x.tipo = c == 5 ? Tipo::Doppio : Tipo::Testo;
            x.maschera = c == 5 ? QStringLiteral("#,##0.00") : QString();
            m_colonne << x;
        }
    }
    QVector<ColonnaLettura> colonne() const override { return m_colonne; }
    bool totaleNoto() const override { return true; }
    qint64 totale() override { return m_totale; }
    QVector<RigaLettura> righe(qint64 da, int quante) override {
        QVector<RigaLettura> r;
        while (m_letta < da && m_q.next()) // pages skipped
            ++m_letta;
        // the quantity's text with the column's mask, as the grid shows it
        const IUtilita& u = Utilita();
        for (int i = 0; i < quante && m_q.next(); ++i, ++m_letta) {
            RigaLettura x;
            x.valori.reserve(8);
            x.testi.reserve(8);
            for (int c = 0; c < 8; ++c) {
                const QVariant v = m_q.value(c);
                x.valori << v;
                x.testi << (v.isNull() ? QString()
                            : c == 5   ? u.ApplicaFormato(v, m_colonne[c].maschera)
                                       : v.toString());
            }
            r << x;
        }
        return r;
    }

private:
    QSqlQuery m_q;
    qint64 m_totale;
    qint64 m_letta = 0;
    QVector<ColonnaLettura> m_colonne;
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QCommandLineParser p;
    p.addHelpOption();
    const QCommandLineOption oModo(QStringLiteral("modo"), QStringLiteral("modo"),
                                   QStringLiteral("m"), QStringLiteral("csv"));
    const QCommandLineOption oRighe(QStringLiteral("righe"), QStringLiteral("righe"),
                                    QStringLiteral("n"), QStringLiteral("100000"));
    const QCommandLineOption oPagine(QStringLiteral("pagine"), QStringLiteral("pagine"),
                                     QStringLiteral("n"), QStringLiteral("1000"));
    const QCommandLineOption oDb(QStringLiteral("db"), QStringLiteral("file SQLite"),
                                 QStringLiteral("f"),
                                 QStringLiteral("/tmp/quarvel-bench-stampa.db"));
    const QCommandLineOption oUscita(QStringLiteral("uscita"), QStringLiteral("file scritto"),
                                     QStringLiteral("f"),
                                     QStringLiteral("/tmp/quarvel-bench-stampa.out"));
    p.addOptions({oModo, oRighe, oPagine, oDb, oUscita});
    p.process(app);
    const QString modo = p.value(oModo);
    const qint64 righe = p.value(oRighe).toLongLong();
    const int pagine = p.value(oPagine).toInt();
    const QString uscita = p.value(oUscita);

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
    if (modo == QLatin1String("sql")) { // the query alone, for sqlite3 -csv
        std::printf("%s\n", qPrintable(TraduciSql(db, QString::fromLatin1(SqlConteggi))));
        return 0;
    }

    banco::Cronometro t;
    double base = banco::MemoriaMb();
    double cpu = 0;
    qint64 fatti = 0;
    if (modo == QLatin1String("xlsx-semplice")) {
        t.avvia();
        cpu = ProcessoreMs();
        fatti = XlsxSemplice(db, uscita);
    } else if (modo.endsWith(QLatin1String("-cursore"))) {
        ListaCursore lista(db, righe);
        stampa::OpzioniStampa o(QStringLiteral("Bench"));
        const QVector<int> colonne = stampa::ColonneScelte(lista.colonne(), QStringLiteral("T"));
        t.avvia();
        cpu = ProcessoreMs();
        if (modo.startsWith(QLatin1String("lettura"))) {
            for (qint64 da = 0;; da += 512) {
                const auto parte = lista.righe(da, 512);
                fatti += parte.size();
                if (parte.size() < 512)
                    break;
            }
        } else if (modo.startsWith(QLatin1String("csv"))) {
            o.ApplicaFormatoFile();
            fatti = stampa::ScriviDelimitato(lista, colonne, o, uscita);
        } else if (modo.startsWith(QLatin1String("xlsx"))) {
            fatti = stampa::ScriviXlsx(lista, colonne, o, uscita, QStringLiteral("Lista"));
        } else {
            QPdfWriter pdf(uscita);
            pdf.setPageSize(QPageSize(QPageSize::A4));
            stampa::Impaginatore imp(lista.colonne(), colonne,
                                     QFont(QStringLiteral("DejaVu Sans"), 9),
                                     {QStringLiteral("Inventario"), QStringLiteral("Ditta"), {}});
            fatti = imp.Disegna(pdf, lista, 1, pagine);
        }
    } else if (modo == QLatin1String("pdf-semplice")) {
        // the rows to a page the layout gives the list at this font
        t.avvia();
        cpu = ProcessoreMs();
        fatti =
            PdfSemplice(db, uscita, pagine, qEnvironmentVariableIntValue("QUARVEL_RIGHE_PAGINA"));
    } else {
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
        base = banco::MemoriaMb();
        stampa::OpzioniStampa o(QStringLiteral("Bench"));
        const QVector<int> colonne = stampa::ColonneScelte(lista->colonne(), QStringLiteral("T"));
        t.avvia();
        cpu = ProcessoreMs();
        if (modo == QLatin1String("csv")) {
            o.oiFileForm = FormatoFile::CompatibileExcel;
            o.ApplicaFormatoFile();
            fatti = stampa::ScriviDelimitato(*lista, colonne, o, uscita);
        } else if (modo == QLatin1String("xlsx")) {
            fatti = stampa::ScriviXlsx(*lista, colonne, o, uscita, QStringLiteral("Lista"));
        } else if (modo == QLatin1String("lettura")) { // the list read alone
            for (qint64 da = 0;; da += 512) {
                const auto parte = lista->righe(da, 512);
                fatti += parte.size();
                if (parte.size() < 512)
                    break;
            }
        } else if (modo == QLatin1String("pagine")) {
            QPdfWriter pdf(uscita);
            pdf.setPageSize(QPageSize(QPageSize::A4));
            stampa::Impaginatore imp(lista->colonne(), colonne,
                                     QFont(QStringLiteral("DejaVu Sans"), 9),
                                     {QStringLiteral("Inventario"), QStringLiteral("Ditta"), {}});
            fatti = imp.Disegna(pdf, *lista, 1, pagine);
            std::fprintf(stderr, "righe per pagina %d\n", imp.RighePerPagina());
        } else {
            std::fprintf(stderr, "bench_stampa: modo %s sconosciuto\n", qPrintable(modo));
            return 2;
        }
    }
    const double ms = t.ms();
    cpu = ProcessoreMs() - cpu;
    banco::Riga("%-15s %9lld righe  %6lld %s  %9.1f ms  cpu %7.1f ms  memoria +%.1f MB",
                qPrintable(modo), righe, fatti,
                modo.startsWith(QLatin1String("p")) ? "pagine" : "righe ", ms, cpu,
                banco::MemoriaMb() - base);
    return 0;
}
