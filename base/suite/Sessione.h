#pragma once
// The session context: one process-wide record filled once by the start-up
// driver and read everywhere afterwards.  Every text starts empty and every
// number at 0, except the fixed colours.

#include <QSqlDatabase>
#include <QString>
#include <QtGlobal>

class QObject;
class QWidget;

namespace quarvel {

class IMenuClient;      // suite/MenuClient.h
class IComponenteDati;  // suite/ComponenteDati.h
class IComponenteAiuto; // suite/ComponenteAiuto.h

struct ContestoSessione {
    qint32 NumeroProgramma = 0;
    QString TestoProgramma;
    QString TipoProgramma;
    QString OpzioneM;
    QString OpzioneP;
    QString OpzionePResto;
    IMenuClient* MenuClient = nullptr;
    QString SegmentoMenu;

    QString FileIniPrincipale;
    QString FileIniParametri;

    QString NomeDb;
    QString ConnectDb;
    QString PwdDb;
    QString PwdDbMenu;
    IComponenteDati* ComponenteDati = nullptr;
    QString RisultatoConnessione;
    QSqlDatabase DbDitta;

    QString DescrizioneDitta;
    QString Moneta;
    QString CodLira;
    QString CodEuro;
    QString OperCambio;
    QString CambioLiraEuro;
    qint16 DecimaliLira = 0;
    qint16 DecimaliEuro = 0;

    // Colours are stored as &HBBGGRR; the high bit marks a system colour.
    quint32 ColoreErrore = 0x0000FF;
    quint32 ColoreSfondoNormale = 0x80000005;
    quint32 ColoreConFocus = 0;
    quint32 ColoreSenzaFocus = 0;
    quint32 ColoreForm = 0;

    QString StatoFinestra;
    QString TastierinoVirgola;
    QString DecodHelpAbil;
    bool DecodHelpPersKey = false;
    QString FormatoData;
    QString ImmaginiArticoli;
    QString DirImmagini;
    QString SezioneLetturaFile;
    QString BeepCome;

    double FattoreGenerale = 0;
    double FattorePersBase = 0;
    double FattoreStaVid = 0;
    double FattoreMsgCom = 0;
    double FattoreHelp = 0;

    IComponenteAiuto* ComponenteAiuto = nullptr;
    QWidget* FormAiuto = nullptr;
    QObject* OggettoCondiviso = nullptr;
    bool ChiusuraDaMenu = false;
    // A data form already asked whether to close the program and repair a
    // damaged company file (asked once a session).
    bool RiparazioneChiesta = false;
    QString RispostaFine;
    QWidget* FormPrincipale = nullptr;
};

// The one session of the process.
ContestoSessione& Sessione();
// Back to a fresh record (tests, and the release at shutdown).
void AzzeraSessione();

} // namespace quarvel

#include <functional>

namespace quarvel {
// The release of the session objects as at shutdown (the form dispatcher
// registers it at start); failures of the start-up call it before their
// message.  Does nothing when none is registered.
void RegistraRilascioSessione(std::function<void()> rilascio);
void RilasciaOggettiSessione();
} // namespace quarvel
