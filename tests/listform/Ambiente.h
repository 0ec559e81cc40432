#pragma once
// What the data-form tests share: a menu client that records what the forms
// ask of it, the company database on SQLite or on PostgreSQL (the test
// process's own database, when the test service exports QUARVEL_PG_*), the
// session as the start-up fills it, and real key and mouse events sent where
// the operator's would go.

#include "data/ComponenteDatiSql.h"
#include "data/Schema.h"
#include "listcmd/Comlin.h"
#include "suite/MenuClient.h"
#include "suite/Sessione.h"
#include "support/MotoriProva.h"
#include "utility/Utilita.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QHeaderView>
#include <QMap>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

namespace prova {

using namespace quarvel;

// The menu as the forms see it: every call recorded, "TastiCtrl" answered
// from a table, "MsgBox" answered 1.
class MenuFinto final : public IMenuClient {
public:
    QStringList chiamate;
    QMap<int, QString> tastiCtrl;
    bool menuSparito = false;

    void ImpostaGestoreComandi(IComandiMenu*) override {}
    QString Collega(const QString&, const QString&, const QString&) override { return {}; }
    void Scollega() noexcept override {}
    bool Collegato() const override { return true; }
    void MostraMenu(const QString&) override {
        if (menuSparito)
            throw Errore(NumErr::ChiamataNonValida, QStringLiteral("menu assente"));
        chiamate << QStringLiteral("MostraMenu");
    }
    QVariant InviaComando(const QString& comando, const QString&, const QVariant& p) override {
        chiamate << comando + QLatin1Char(' ') + p.toString();
        if (comando == QLatin1String("TastiCtrl"))
            return tastiCtrl.value(p.toInt());
        if (comando == QLatin1String("MsgBox"))
            return 1;
        return {};
    }
    void RitornaA(const QString& k, const QString& s, const QString& p) override {
        chiamate << QStringLiteral("RitornaA %1|%2|%3").arg(k, s, p);
    }
    void RegistraFinestra(const QString& c, const QString& n, const QString& s) override {
        chiamate << QStringLiteral("RegistraFinestra %1|%2|%3").arg(c, n, s);
    }
    QString FileIni() override { return {}; }
    ParametriLancioMenu ParametriLancio() override { return {}; }
    QString CodiceProgramma() override { return QStringLiteral("36"); }
    void AttivaFunzione(const QString&) override {}
    void FineFunzione(const QString& k) override {
        chiamate << QStringLiteral("FineFunzione ") + k;
    }
    QString LeggiValore(const QString&, const QString& d) override { return d; }
    void ScriviValore(const QString&, const QString&) override {}
};

// The company database of a case: a file of its own in the test's folder,
// or the test process's database on the PostgreSQL server.  Added under the
// name given, not opened yet.
inline QSqlDatabase ConnessioneDitta(Motore motore, const QString& nome, const QTemporaryDir& dir,
                                     const DatabasePgProva& pg) {
    return ConnessioneProva(motore, nome, dir.filePath(nome + QStringLiteral(".db")), pg);
}

inline void Esegui(QSqlDatabase& db, const QString& sql) {
    QSqlQuery q(db);
    if (!q.exec(sql))
        qFatal("%s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
}

inline QVariant Valore(QSqlDatabase& db, const QString& sql) {
    QSqlQuery q(db);
    if (!q.exec(sql) || !q.next())
        return {};
    return q.value(0);
}

// The company with three headers; INV1 has two counts, INV2 one, INV3 none.
inline void RiempiDitta(QSqlDatabase& db) {
    dati::CreaDitta(db, true);
    Esegui(db, QStringLiteral("INSERT INTO MagDescrInv (CodInv, DataInvent, Descrizione) VALUES "
                              "('INV1', '2024-01-15', 'Primo'), ('INV2', '2024-06-30', 'Secondo'), "
                              "('INV3', '2024-12-31', 'Terzo')"));
    Esegui(db, QStringLiteral("INSERT INTO Articoli (Articolo, Descrizione, Inattivo) VALUES "
                              "('A1', 'Bulloni', 'N'), ('A2', 'Dadi', 'N')"));
    Esegui(db,
           QStringLiteral("INSERT INTO Magazzini (Magazzino, Descrizione) VALUES ('M1', 'Sede')"));
    Esegui(db, QStringLiteral("INSERT INTO MagInventari (CodInv, Articolo, Livello1, Livello2, "
                              "Magazzino, Giacenza) VALUES ('INV1', 'A1', '~ç~', '~ç~', 'M1', 3), "
                              "('INV1', 'A2', '~ç~', '~ç~', 'M1', 4), "
                              "('INV2', 'A1', '~ç~', '~ç~', 'M1', 5)"));
}

// The session as the start-up leaves it for the data forms.
inline void PreparaSessione(const QSqlDatabase& db, IMenuClient* menu) {
    ContestoSessione& s = Sessione();
    s.DbDitta = db;
    s.MenuClient = menu;
    s.FormatoData = QStringLiteral("dd/mm/yyyy");
    s.TipoProgramma = QStringLiteral("p");
    s.DescrizioneDitta = QStringLiteral("Ditta Prova");
    s.ChiusuraDaMenu = false;
}

inline void InstallaComponenti() {
    InstallaUtilita();
    dati::Registra();
    listcmd::InstallaListaComandi();
}

// Keys go where the operator's go: to the widget with the focus.
inline QWidget* Fuoco() {
    return QApplication::focusWidget();
}
inline void Premi(Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier) {
    QWidget* w = Fuoco();
    QVERIFY2(w, "nessun controllo ha il fuoco");
    QTest::keyClick(w, k, m);
}
inline void Scrivi(const QString& testo) {
    for (QChar c : testo) {
        QWidget* w = Fuoco();
        QVERIFY2(w, "nessun controllo ha il fuoco");
        QTest::keyClick(w, c.toLatin1());
    }
}
inline void ClicCella(QAbstractItemView* v, int r, int c) {
    const QModelIndex i = v->model()->index(r, c);
    v->scrollTo(i);
    QTest::mouseClick(v->viewport(), Qt::LeftButton, {}, v->visualRect(i).center());
}
inline void ClicTitolo(QAbstractItemView* v, QHeaderView* h, int c) {
    Q_UNUSED(v);
    const int x = h->sectionViewportPosition(c) + 5;
    QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, QPoint(x, 5));
}

} // namespace prova
