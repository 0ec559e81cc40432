#include "startup/Programma.h"

#include "comune/TraduzioniQt.h"
#include "data/ComponenteDatiSql.h"
#include "desktop/AdattaSchermo.h"
#include "desktop/DialogoMessaggi.h"
#include "listcmd/Comlin.h"
#include "lookup/ComponenteAiutoQt.h"
#include "menu/ClientMenuDBus.h"
#include "print/OpzioniStampa.h"
#include "printing/FrmComlinStampa.h"
#include "startup/Avvio.h"
#include "suite/ComponenteAiuto.h"
#include "suite/Messaggi.h"
#include "utility/Utilita.h"

#include <QApplication>
#include <QStringList>

namespace quarvel {

int EseguiQuarvel(int argc, char** argv, const std::function<void()>& registra) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("quarvel"));
    // The program ends through its hidden main window, never because the
    // last window on screen closed.
    QApplication::setQuitOnLastWindowClosed(false);
    // Qt's own dialogs and buttons in Italian; without the catalogue the
    // program runs all the same, and the log says what to install.
    if (QString errore; !CaricaTraduzioniQt(&app, &errore))
        qWarning("%s", qPrintable(errore));
    // Every window opens inside the screen's work area, frame included.
    InstallaAdattamentoSchermo();

    InstallaUtilita();
    dati::Registra();
    listcmd::InstallaListaComandi();
    lookup::Registra();
    stampa::InstallaStampa();
    InstallaFinestreStampa();

    MessaggiStderr messaggiStderr;
    if (qEnvironmentVariable("QUARVEL_MESSAGGI")
            .compare(QLatin1String("stderr"), Qt::CaseInsensitive) == 0)
        ImpostaServizioMessaggi(&messaggiStderr);
    else
        InstallaDialogoMessaggi();

    QStringList argomenti;
    for (int i = 1; i < argc; ++i)
        argomenti << QString::fromLocal8Bit(argv[i]);

    AmbienteAvvio ambiente;
    ambiente.creaMenuClient = [] { return std::make_unique<menu::ClientMenuDBus>(); };
    ambiente.creaComponenteAiuto = [] {
        return std::unique_ptr<IComponenteAiuto>(CreaComponenteAiuto());
    };
    ambiente.rigaComando = argomenti.join(QLatin1Char(' '));
    ImpostaAmbienteAvvio(std::move(ambiente));

    if (registra)
        registra();

    Main();
    const int esito = app.exec();
    TerminaAvvio();
    ImpostaServizioMessaggi(nullptr);
    return esito;
}

} // namespace quarvel
