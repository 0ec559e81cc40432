// listcmd_vetrina: the grid of the inventory counts over a demo company of a
// few hundred rows, laid out as the counts form lays it out, saved as a
// picture (for the documentation).
//
//   listcmd_vetrina picture.png

#include "Banco.h"
#include "data/ComponenteDatiSql.h"
#include "listcmd/Comlin.h"
#include "listcmd/Griglia.h"

#include <QApplication>
#include <QLineEdit>
#include <QSqlDatabase>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

#include <cstdio>

using namespace quarvel;

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "uso: listcmd_vetrina immagine.png\n");
        return 2;
    }
    dati::Registra();
    QTemporaryDir dir;
    banco::Banco dove;
    dove.file = dir.filePath(QStringLiteral("demo.db"));
    QSqlDatabase db;
    if (!banco::Apri(dove, db))
        return 1;
    banco::PreparaDitta(db, 300);

    QWidget form;
    form.setWindowTitle(QStringLiteral("Gestione inventari - Ditta dimostrativa"));
    form.resize(1100, 560);
    auto* l = new QVBoxLayout(&form);
    auto* tb = new QToolBar(&form);
    tb->setObjectName(QStringLiteral("tolComlin"));
    auto* txt = new QLineEdit(&form);
    txt->setObjectName(QStringLiteral("txtRiga"));
    txt->setMaximumWidth(140);
    txt->setAlignment(Qt::AlignCenter);
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
    c.setOsFormatoData(QStringLiteral("dd/mm/yyyy"));
    c.Immagini(QStringLiteral("p"));
    c.setOiAbilRW(1);
    c.ApriSql(QStringLiteral(
        "SELECT MagInventari.CodInv,MagInventari.Articolo,Articoli.Descrizione AS DesArticolo"
        ",MagInventari.Livello1,MagInventari.Livello2,MagInventari.Giacenza"
        ",MagInventari.Magazzino,Magazzini.Descrizione AS DesMagaz FROM (MagInventari LEFT "
        "JOIN Articoli ON MagInventari.Articolo = Articoli.Articolo) LEFT JOIN Magazzini ON "
        "Magazzini.Magazzino = MagInventari.Magazzino WHERE CodInv = 'INV2024' Order by "
        "MagInventari.Articolo"));
    c.ColonnaChiave(0);
    // The counts form's layout.
    c.LarghezzaColonna(QStringLiteral("Articolo"), 2000);
    c.LarghezzaColonna(QStringLiteral("DesArticolo"), 4000);
    c.TitoloColonna(QStringLiteral("DesArticolo"), QStringLiteral("Descr.Articolo"));
    c.BloccaColonna(QStringLiteral("DesArticolo"));
    c.LarghezzaColonna(QStringLiteral("Livello1"), 700);
    c.TitoloColonna(QStringLiteral("Livello1"), QStringLiteral("Liv1"));
    c.LarghezzaColonna(QStringLiteral("Livello2"), 700);
    c.TitoloColonna(QStringLiteral("Livello2"), QStringLiteral("Liv2"));
    c.LarghezzaColonna(QStringLiteral("Magazzino"), 1100);
    c.LarghezzaColonna(QStringLiteral("DesMagaz"), 2500);
    c.TitoloColonna(QStringLiteral("DesMagaz"), QStringLiteral("Descr.Magazzino"));
    c.BloccaColonna(QStringLiteral("DesMagaz"));
    c.LarghezzaColonna(QStringLiteral("Giacenza"), 1400);
    c.FormatoColonna(QStringLiteral("Giacenza"), QStringLiteral("#,##0.000"));
    c.NascondiColonna(QStringLiteral("CodInv"));
    g->Colonna(QStringLiteral("Articolo"))->setButton(true);
    g->Colonna(QStringLiteral("Magazzino"))->setButton(true);
    c.setSegnalibro(QStringLiteral("10"));
    form.show();
    g->setFocus();
    g->setRow(3);
    g->setCol(1);
    QString a, b;
    c.Contatore(a, b);
    txt->setText(b + QStringLiteral(" / ") + a);
    QTimer::singleShot(300, &app, [&] {
        const bool ok = form.grab().save(QString::fromLocal8Bit(argv[1]));
        app.exit(ok ? 0 : 1);
    });
    return app.exec();
}
