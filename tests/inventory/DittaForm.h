#pragma once
// The company a data-form test opens its form on: the lookup and the data
// component opened on the test's connection, the session as the start-up
// leaves it for the forms, the scripted messages; and, after each case, what
// the case left behind taken away, the form first.  Header only: the tests
// that include it (here and in tests/lifo) link the components it names.

#include "data/ComponenteDatiSql.h"
#include "desktop/Scala.h"
#include "listcmd/Comlin.h"
#include "listform/Tastiera.h"
#include "lookup/ComponenteAiutoQt.h"
#include "startup/Principale.h"
#include "suite/ComponenteDati.h"
#include "suite/MenuClient.h"
#include "suite/Messaggi.h"
#include "suite/Sessione.h"
#include "support/DatabasePgProva.h"
#include "support/MotoriProva.h"
#include "utility/Utilita.h"

#include <QPointer>
#include <QSqlDatabase>
#include <QTimer>

#include <memory>

namespace prova {

class DittaForm {
public:
    QSqlDatabase db;
    std::unique_ptr<quarvel::lookup::ComponenteAiutoQt> aiuto;
    std::unique_ptr<quarvel::IComponenteDati> dati;
    std::unique_ptr<quarvel::MessaggiScriptati> msg;

    // Once per test program: the components installed as the start-up
    // installs them, the windows at their designed scale, the main form,
    // and the test's PostgreSQL database when the test server runs.
    static void Installa(DatabasePgProva& pg) {
        using namespace quarvel;
        InstallaUtilita();
        dati::Registra();
        listcmd::InstallaListaComandi();
        ImpostaLettoreFattore([](const QString&, const QString&) { return -1.0; });
        CaricaFrmPrincipale();
        if (DatabasePgProva::Disponibile()) {
            QString errore;
            QVERIFY2(pg.Crea(&errore), qPrintable(errore));
        }
    }

    // The components opened on db (open already): the SQLite file, or the
    // test's PostgreSQL database through ODBC; the session filled for the
    // forms; the keyboard settings and the scripted messages fresh.
    void Collega(Motore motore, const QString& fileSqlite, const DatabasePgProva& pg,
                 quarvel::IMenuClient* menu) {
        using namespace quarvel;
        aiuto = std::make_unique<lookup::ComponenteAiutoQt>();
        QWidget* principale = nullptr;
        QObject* condiviso = nullptr;
        aiuto->InizializzaAiuto(principale, menu, condiviso, nullptr, QString(), db, 0x80000005,
                                0xFF, QStringLiteral("p"), QStringLiteral("dd/mm/yyyy"));
        dati = CreaComponenteDati();
        QString risposta;
        dati->Apri(motore == Motore::Sqlite ? fileSqlite : QStringLiteral("ODBC;") + pg.TestoOdbc(),
                   0, false, false, QString(), risposta);

        ContestoSessione& s = Sessione();
        s.DbDitta = db;
        s.MenuClient = menu;
        s.ComponenteAiuto = aiuto.get();
        s.ComponenteDati = dati.get();
        s.RisultatoConnessione = risposta;
        s.FormatoData = QStringLiteral("dd/mm/yyyy");
        s.TipoProgramma = QStringLiteral("p");
        s.DescrizioneDitta = QStringLiteral("Ditta Prova");
        s.ChiusuraDaMenu = false;
        s.ColoreConFocus = 0xFFFF80;
        s.ColoreSenzaFocus = 0x80000005;
        s.ColoreErrore = 0xFF;
        s.DecodHelpAbil = QStringLiteral("N");
        AzzeraTastiera();
        msg = std::make_unique<MessaggiScriptati>();
    }

    // After a case: the form goes without asking about a row left half
    // typed, the program's closing timer stops, the components and the
    // connection are released.
    template <class F> void Chiudi(QPointer<F>& form) {
        using namespace quarvel;
        if (form) {
            if (form->dbgRiga() && form->dbgRiga()->DataChanged())
                form->dbgRiga()->CancelUpdate();
            delete form.data();
        }
        if (FrmPrincipale* p = frmPrincipale())
            p->timChiudi()->stop();
        msg.reset();
        ContestoSessione& s = Sessione();
        s.ComponenteAiuto = nullptr;
        s.ComponenteDati = nullptr;
        s.DbDitta = QSqlDatabase();
        aiuto.reset();
        dati.reset();
        const QString nome = db.connectionName();
        db = QSqlDatabase();
        if (!nome.isEmpty())
            QSqlDatabase::removeDatabase(nome);
    }
};

} // namespace prova
