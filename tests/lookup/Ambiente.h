#pragma once
// What the lookup tests share: a company with a few articles (one inactive,
// one with a level group, one with a picture), warehouses and level values,
// on a file of its own or on the test process's PostgreSQL database; a menu
// client that answers personal parameters from a table; the real lookup
// component over it.

#include "data/ComponenteDatiSql.h"
#include "data/Schema.h"
#include "lookup/ComponenteAiutoQt.h"
#include "suite/MenuClient.h"
#include "support/MotoriProva.h"

#include <QApplication>
#include <QLineEdit>
#include <QMap>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

namespace prova {

using namespace quarvel;

// The menu as far as the lookup reads it: named values from a table.
class MenuValori final : public IMenuClient {
public:
    QMap<QString, QString> valori;
    QString fileIni;
    ParametriLancioMenu lancio;
    QStringList chiamate;

    void ImpostaGestoreComandi(IComandiMenu*) override {}
    QString Collega(const QString&, const QString&, const QString&) override { return {}; }
    void Scollega() noexcept override {}
    bool Collegato() const override { return true; }
    void MostraMenu(const QString&) override { chiamate << QStringLiteral("MostraMenu"); }
    QVariant InviaComando(const QString&, const QString&, const QVariant&) override { return {}; }
    void RitornaA(const QString&, const QString&, const QString&) override {}
    void RegistraFinestra(const QString&, const QString&, const QString&) override {}
    QString FileIni() override { return fileIni; }
    ParametriLancioMenu ParametriLancio() override { return lancio; }
    QString CodiceProgramma() override { return QStringLiteral("36"); }
    void AttivaFunzione(const QString&) override {}
    void FineFunzione(const QString&) override {}
    QString LeggiValore(const QString& nome, const QString& d) override {
        if (valori.contains(nome))
            return valori.value(nome);
        return nome.startsWith(QLatin1String("Personal.")) ? ValoreMancanteMenu : d;
    }
    void ScriviValore(const QString& nome, const QString& v) override { valori[nome] = v; }
    void personale(const QString& sezione, const QString& chiave, const QString& v) {
        valori[NomeParametroPersonale(sezione, chiave)] = v;
    }
};

inline void Esegui(QSqlDatabase& db, const QString& sql) {
    QSqlQuery q(db);
    if (!q.exec(sql))
        qFatal("%s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
}

// The company of the lookup tests.
inline void RiempiDitta(QSqlDatabase& db) {
    dati::CreaDitta(db, true);
    Esegui(db, QStringLiteral(
                   "INSERT INTO Articoli (Articolo, Descrizione, BarCode, LivGruppo1, LivGruppo2, "
                   "Inattivo, FlagLivLis, Immagine) VALUES "
                   "('ART001', 'Vite a testa esagonale', '8001001', 'TG', NULL, 'N', 'N', "
                   "'vite.png'), "
                   "('ART002', 'Bullone zincato', '8001002', NULL, NULL, 'N', 'N', NULL), "
                   "('ART003', 'Dado autobloccante inox', '8003003', NULL, NULL, 's', 'N', NULL), "
                   "('ART004', 'Rondella piana zincata', NULL, NULL, 'CL', 'N', 'S', NULL), "
                   "('BRT010', 'Staffa a muro', '9000010', 'TG', 'CL', 'N', 'N', NULL)"));
    Esegui(db, QStringLiteral("INSERT INTO LivGruppi (LivGruppo, Descrizione) VALUES "
                              "('TG', 'Taglia'), ('CL', 'Colore')"));
    Esegui(db, QStringLiteral("INSERT INTO Livelli (LivGruppo, Livello, Descrizione) VALUES "
                              "('TG', 'S', 'Piccola'), ('TG', 'M', 'Media'), "
                              "('TG', 'L', 'Grande'), ('CL', 'ROSSO', 'Rosso'), "
                              "('CL', 'BLU', 'Blu')"));
    Esegui(db, QStringLiteral("INSERT INTO Magazzini (Magazzino, Descrizione) VALUES "
                              "('M01', 'Sede'), ('M02', 'Deposito Nord')"));
    Esegui(db, QStringLiteral("INSERT INTO MagDescrInv (CodInv, DataInvent, Descrizione) VALUES "
                              "('INV2024', '2024-12-31', 'Inventario 2024')"));
    Esegui(db, QStringLiteral("INSERT INTO Clienti (Conto, Descrizione, Email, Email2) VALUES "
                              "('C0001', 'Rossi Forniture srl', 'info@rossi.example.it', "
                              "'amm@rossi.example.it')"));
}

// Runs passi while the modal window of the next lookup is open; a window
// still open afterwards is closed with Esc, so a failed step never hangs the
// test.
inline void MentreAperta(lookup::ComponenteAiutoQt& c,
                         std::function<void(lookup::FinestraAiuto*)> passi) {
    QTimer::singleShot(0, [&c, passi] {
        lookup::FinestraAiuto* f = c.finestra();
        [&] {
            QTRY_VERIFY_WITH_TIMEOUT(f->isVisible(), 5000);
            passi(f);
        }();
        if (f->isVisible())
            QTest::keyClick(f->ricerca(), Qt::Key_Escape);
    });
}

} // namespace prova
