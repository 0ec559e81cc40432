// Shows the message and command dialog as the program would and saves a
// picture of it: demo_msgcom <uno|due|tre|testo|largo> <file.png> [screen.png]
// Run under a real display (Xvfb) to see the window system's fonts.

#include "desktop/DialogoMessaggi.h"
#include "desktop/FrmMsgCom.h"
#include "suite/Messaggi.h"
#include "suite/Sessione.h"

#include <QApplication>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QTextStream>
#include <QTimer>

using namespace quarvel;

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("Quarvel"));
    const QStringList arg = QApplication::arguments();
    if (arg.size() < 3) {
        QTextStream(stderr)
            << "uso: demo_msgcom <uno|due|tre|testo|largo> <file.png> [schermo.png]\n";
        return 2;
    }
    const QString modo = arg[1];
    const QString file = arg[2];
    const QString schermo = arg.value(3);

    InstallaDialogoMessaggi();
    Sessione().FattoreMsgCom = 0; // automatic, as a session without keys has it

    RichiestaMsgCom r;
    r.psCom1 = QStringLiteral("&Ok");
    if (modo == QLatin1String("uno")) {
        r.psLabel = QStringLiteral("Caricamento terminato.\r\nRighe lette: 128, righe scartate: 3");
    } else if (modo == QLatin1String("due")) {
        r.psLabel = QStringLiteral("Confermi la cancellazione dell'inventario 2024/01?");
        r.psCom1 = QStringLiteral("&Sì");
        r.pvCom2 = QStringLiteral("&No");
    } else if (modo == QLatin1String("tre")) {
        r.psLabel = QStringLiteral("Il file è stato letto.\r\nCosa fare del file del terminale?");
        r.psCom1 = QStringLiteral("&Cancella");
        r.pvCom2 = QStringLiteral("&Conserva");
        r.pvCom3 = QStringLiteral("&Annulla");
    } else if (modo == QLatin1String("largo")) {
        QStringList parole;
        for (int i = 0; i < 20; ++i)
            parole << QStringLiteral("L'articolo ART%1 non ha livelli per il magazzino scelto;")
                          .arg(i, 3, 10, QLatin1Char('0'));
        r.psLabel = parole.join(QLatin1Char(' '));
        r.psCom1 = QStringLiteral("&Ok");
        r.pvCom2 = QStringLiteral("&Annulla");
    } else {
        QStringList righe;
        for (int i = 1; i <= 150; ++i)
            righe << QStringLiteral("Riga %1: articolo ART%2 non trovato, quantità 12,500 ignorata")
                         .arg(i)
                         .arg(i * 7, 5, 10, QLatin1Char('0'));
        r.psLabel = righe.join(QStringLiteral("\r\n"));
        r.psCom1 = QStringLiteral("&Riprovare");
        r.pvCom2 = QStringLiteral("&Annulla");
    }
    r.pvTitolo = QStringLiteral("Caricamento inventario");

    int esito = 1;
    QTimer::singleShot(800, [&] {
        FrmMsgCom* f = FrmMsgCom::Aperto();
        if (!f)
            return;
        esito = f->grab().save(file) ? 0 : 1;
        if (!schermo.isEmpty())
            QGuiApplication::primaryScreen()->grabWindow(0).save(schermo);
        f->ComEsegui(0)->click();
    });
    msgCom(r);
    return esito;
}
