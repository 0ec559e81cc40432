// The counts form over an inventory of a million rows: the time from the
// mode switch to the first screen of rows with its counter, and the time of
// one row added as a barcode scanner types it (characters, Enter) and saved.
//   bench_gestinv --motore sqlite|postgres --righe N --db FILE [--ripeti R]
// Prints one line of figures: with R rows scanned one after the other, the
// first row's times and the mean and worst of the R.

#include "Banco.h"
#include "aiuto/CampiAiuto.h"
#include "data/ComponenteDatiSql.h"
#include "inventory/FrmGestInv.h"
#include "listcmd/Comlin.h"
#include "lookup/ComponenteAiutoQt.h"
#include "suite/ComponenteAiuto.h"
#include "suite/MenuClient.h"
#include "suite/Messaggi.h"
#include "suite/Sessione.h"
#include "utility/Utilita.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCommandLineParser>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlQuery>
#include <QTest>
#include <cstdio>

using namespace quarvel;

namespace {

class Menu final : public IMenuClient {
public:
    void ImpostaGestoreComandi(IComandiMenu*) override {}
    QString Collega(const QString&, const QString&, const QString&) override { return {}; }
    void Scollega() noexcept override {}
    bool Collegato() const override { return true; }
    void MostraMenu(const QString&) override {}
    QVariant InviaComando(const QString&, const QString&, const QVariant&) override { return {}; }
    void RitornaA(const QString&, const QString&, const QString&) override {}
    void RegistraFinestra(const QString&, const QString&, const QString&) override {}
    QString FileIni() override { return {}; }
    ParametriLancioMenu ParametriLancio() override { return {}; }
    QString CodiceProgramma() override { return QStringLiteral("36"); }
    void AttivaFunzione(const QString&) override {}
    void FineFunzione(const QString&) override {}
    QString LeggiValore(const QString& nome, const QString& d) override {
        if (nome == QLatin1String("Mag.MagPrincipale"))
            return QStringLiteral("M01");
        if (nome == QLatin1String("Mag.NumDecQta"))
            return QStringLiteral("2");
        if (nome == QLatin1String("Mag.GesTaglie"))
            return QStringLiteral("N");
        return nome.startsWith(QLatin1String("Personal.")) ? ValoreMancanteMenu : d;
    }
    void ScriviValore(const QString&, const QString&) override {}
};

void Dipingi(QWidget* w) {
    w->repaint();
    QApplication::processEvents();
}

// One row as the scanner gives it, its quantity typed and saved, painted;
// letto: the time when the article is resolved.  A function of its own, so
// that a profiler can be told to look at it alone.
[[gnu::noinline]] bool RigaLetta(FrmGestInv* f, IGrigliaDati* g, const QString& barre,
                                 const banco::Cronometro* t, double* letto) {
    // each key where the operator's goes: the first opens the cell's editor
    for (QChar c : barre)
        QTest::keyClick(QApplication::focusWidget(), c.toLatin1());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    *letto = t->ms();
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("5"));
    const bool ok = g->Update();
    Dipingi(f);
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QCommandLineParser p;
    p.addHelpOption();
    const QCommandLineOption oMotore(QStringLiteral("motore"), QStringLiteral("sqlite|postgres"),
                                     QStringLiteral("m"), QStringLiteral("sqlite"));
    const QCommandLineOption oRighe(QStringLiteral("righe"), QStringLiteral("righe"),
                                    QStringLiteral("n"), QStringLiteral("1000000"));
    const QCommandLineOption oDb(QStringLiteral("db"), QStringLiteral("file SQLite"),
                                 QStringLiteral("f"),
                                 QStringLiteral("/tmp/quarvel-bench-gestinv.db"));
    const QCommandLineOption oRipeti(QStringLiteral("ripeti"),
                                     QStringLiteral("righe lette dallo scanner"),
                                     QStringLiteral("n"), QStringLiteral("1"));
    p.addOptions({oMotore, oRighe, oDb, oRipeti});
    p.process(app);
    const int ripeti = qMax(1, p.value(oRipeti).toInt());
    const bool pg = p.value(oMotore) == QLatin1String("postgres");
    const qint64 righe = p.value(oRighe).toLongLong();

    InstallaUtilita();
    dati::Registra();
    listcmd::InstallaListaComandi();
    MessaggiStderr stderrMsg;
    ImpostaServizioMessaggi(&stderrMsg);

    banco::Banco dove;
    dove.postgres = pg;
    dove.file = p.value(oDb);
    dove.wal = false;
    QSqlDatabase db;
    if (!banco::Apri(dove, db))
        return 1;
    const QString connessione =
        pg ? QStringLiteral("ODBC;DRIVER={PostgreSQL Unicode};SERVER=%1;PORT=%2;"
                            "DATABASE=%3;UID=%4;PWD=%5")
                 .arg(db.hostName())
                 .arg(db.port())
                 .arg(db.databaseName(), db.userName(), db.password())
           : p.value(oDb);
    banco::PreparaDitta(db, righe, 1000); // less or more the rows scanned

    Menu menu;
    lookup::ComponenteAiutoQt aiuto;
    QWidget* principale = nullptr;
    QObject* condiviso = nullptr;
    aiuto.InizializzaAiuto(principale, &menu, condiviso, nullptr, QString(), db, 0x80000005, 0xFF,
                           QStringLiteral("p"), QStringLiteral("dd/mm/yyyy"));
    aiuto.FormAiuto(); // the search window, made at start-up as the program makes it
    std::unique_ptr<IComponenteDati> dati = CreaComponenteDati();
    QString risposta;
    dati->Apri(connessione, 0, false, false, QString(), risposta);
    ContestoSessione& s = Sessione();
    s.DbDitta = db;
    s.MenuClient = &menu;
    s.ComponenteAiuto = &aiuto;
    s.ComponenteDati = dati.get();
    s.RisultatoConnessione = risposta;
    s.FormatoData = QStringLiteral("dd/mm/yyyy");
    s.TipoProgramma = QStringLiteral("p");
    s.ColoreErrore = 0xFF;
    s.DecodHelpAbil = QStringLiteral("N");

    // the articles scanned below, with their barcodes: not yet in the
    // inventory's first warehouse
    QStringList articoli, barre;
    {
        QSqlQuery q(db);
        q.exec(
            QStringLiteral("SELECT Articolo, BarCode FROM Articoli WHERE BarCode IS NOT NULL And "
                           "LivGruppo1 IS NULL And LivGruppo2 IS NULL And Inattivo = 'N' "
                           "ORDER BY Articolo LIMIT %1")
                .arg(ripeti));
        while (q.next()) {
            articoli << q.value(0).toString();
            barre << q.value(1).toString();
        }
        q.finish();
        for (const QString& a : articoli)
            q.exec(QStringLiteral("DELETE FROM MagInventari WHERE CodInv = 'INV2024' AND "
                                  "Articolo = '%1' AND Magazzino = 'M01'")
                       .arg(a));
    }
    if (barre.size() < ripeti) {
        std::fprintf(stderr, "bench_gestinv: meno di %d articoli con codice a barre\n", ripeti);
        return 1;
    }

    FrmGestInv* f = CreaFrmGestInv();
    QString a, b;
    f->TabellaStd(a, b);
    f->Avvia();
    if (f->oiLoadOk() != 1)
        return 1;
    Dipingi(f);
    f->txtCodice()->setText(QStringLiteral("INV2024"));

    std::fprintf(stderr, "form aperta\n");
    banco::Cronometro t;
    f->ComGes_Click();
    Dipingi(f);
    const double primo = t.ms();
    const QString contatore = f->txtRiga()->text();
    std::fprintf(stderr, "righe: %.1f ms %s\n", primo, qPrintable(contatore));

    // scanned rows: barcode, Enter, quantity, saved
    f->ComTipoRic_Click();
    IGrigliaDati* g = f->dbgRiga();
    auto* vista = qobject_cast<QAbstractItemView*>(g->widget());
    double letto = 0, riga = 0, peggiore = 0, somma = 0;
    bool ok = true;
    for (int i = 0; i < ripeti && ok; ++i) {
        g->setRow(int(g->Dati()->RecordCount()));
        g->setCol(g->Colonna(QStringLiteral("Articolo"))->ColIndex());
        vista->setFocus();
        Dipingi(f);
        double l = 0;
        t.avvia();
        ok = RigaLetta(f, g, barre[i], &t, &l);
        const double r = t.ms();
        if (i == 0) {
            letto = l;
            riga = r;
        }
        std::fprintf(stderr, "riga %d %s: %.1f ms (lettura %.1f ms)%s\n", i + 1,
                     qPrintable(articoli[i]), r, l, ok ? "" : " non salvata");
        peggiore = qMax(peggiore, r);
        somma += r;
    }
    int scritte = 0;
    QSqlQuery q(db);
    for (const QString& art : articoli) {
        q.exec(QStringLiteral("SELECT Giacenza FROM MagInventari WHERE CodInv = 'INV2024' AND "
                              "Articolo = '%1' AND Magazzino = 'M01'")
                   .arg(art));
        scritte += q.next() && q.value(0).toDouble() == 5.0;
    }
    const bool scritta = scritte == ripeti;
    banco::Riga("%s righe=%lld prima_schermata=%.1f ms contatore=\"%s\" lettura_barcode=%.1f ms "
                "riga_salvata=%.1f ms (%d righe: media %.1f ms, peggiore %.1f ms) esito=%s",
                pg ? "postgres" : "sqlite", righe, primo, qPrintable(contatore), letto, riga,
                ripeti, somma / ripeti, peggiore, ok && scritta ? "ok" : "NON SCRITTA");
    delete f;
    return ok && scritta ? 0 : 2;
}
