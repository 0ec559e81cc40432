#pragma once
// The print component: the print options object (where a print goes and how)
// and the print object that lays a list out and sends it to its target.  The
// list print dialog and the print mode dialog edit the options; the
// list-command object hands its list to the print object (AvviaStampa).
//
// Booleans are bool here; where they are written as numbers (the parameter
// files) true is -1 and false 0.

#include <QFont>
#include <QString>
#include <QVariant>
#include <QVector>
#include <QtGlobal>
#include <array>
#include <memory>

class QWidget;

namespace quarvel {

class IListaComandi;
class IListaLettura;

// Print targets (oiStaVid).
namespace DestStampa {
inline constexpr qint16 Stampante = 0;
inline constexpr qint16 Video = 1;
inline constexpr qint16 File = 2;
inline constexpr qint16 Fissa = 3;
} // namespace DestStampa

// File formats (oiFileForm).
namespace FormatoFile {
inline constexpr qint16 CompatibileExcel = 0; // delimited text, csv or txt
inline constexpr qint16 Testo = 1;            // delimited text, txt
inline constexpr qint16 Excel = 2;            // the native workbook (xlsx)
} // namespace FormatoFile

// The print options object.  Its members are plain values the dialogs read
// and write at once; the operations are the component's.  The named extra
// values of Valore ("PaginaDa", "PaginaA", "NumCassetto", "NumTipoCarta",
// "MostraNumPag", "PdfAutomAbil", "EmailInvia", "StampanteDefOri") are kept
// by key without regard to case; a key never set reads as an invalid
// QVariant.
class IOpzioniStampa {
public:
    virtual ~IOpzioniStampa();

    // The parameter-file section of this print.
    virtual QString osSezione() const = 0;

    qint16 oiStaVid = DestStampa::Stampante;
    bool obForzaVert = false;
    qint16 oiFileForm = FormatoFile::CompatibileExcel;
    QString osFileName;
    QString osPathDefault;
    QString osSepCampi = QStringLiteral(";");  // tab, ";", "," or one blank
    QString osDelimStr = QStringLiteral("\""); // double quote, apostrophe or empty
    bool obNumNoForm = false;
    bool obFlagVideo = false;
    float ofFatt = 0; // preview zoom, 1.0 = 100 %; 0 not set
    qint16 oiMemVid = 0;
    QString osFisFileName;
    bool obFisStampante = false;
    qint16 oiFisMrAlt = 0;
    qint16 oiFisMrBas = 0;
    qint16 oiFisColonne = 80;
    qint16 oiFisRighe = 66;
    QString osFisCodIniComp;
    QString osFisCodFinComp;
    bool obFisUtilComp = false;
    bool obFlagStaSu = false;
    QString osNomeStampante; // empty: the default printer
    QString osNomePorta;
    // A target not offered: its option button is disabled.
    std::array<bool, 4> obStaSuDisab{};

    // Text describing the printer for the "Stampante attuale:" labels (empty
    // name: the default printer).
    virtual QString DescrStampante(const QString& stampante) const = 0;
    // Description of a file format code.
    virtual QString DescrFormato(qint16 formato) const = 0;
    // Called for the formats 0 and 2 in place of enabling the separator and
    // qualifier choice: sets the separator and qualifier that format uses.
    virtual void ApplicaFormatoFile() = 0;

    // The named extra values; tipo is the kind the caller passes (12).
    virtual QVariant Valore(const QString& chiave, int tipo = 12) const = 0;
    virtual void setValore(const QString& chiave, const QVariant& valore, int tipo = 12) = 0;
};

// The printing-in-progress form as the print object sees it.
class IStampa;
class IStampaInCorso {
public:
    virtual ~IStampaInCorso();
    // The print running (its stop request answers "Interrompi la stampa").
    virtual void setOgStampa(IStampa* stampa) = 0;
    // The page being printed.
    virtual void MostraPagina(int pagina) = 0;
    // The finished print is to be mailed: true when the message data are in
    // the print's options (asked of the operator when missing).
    virtual bool ChiediEmailLogPwd() { return false; }
};

// What the list-command object passes on for a list print.
struct RichiestaStampaLista {
    QString colonne;         // "V" visible columns only, "T" all of them
    qint16 orientamento = 1; // 1 portrait, 2 landscape, -1 not chosen
    QFont font;              // the printed list's font
    QString titolo;          // the list's caption
    QString ditta;           // the company
};

// The print object (ogSta of a list-command object).
class IStampa {
public:
    virtual ~IStampa();

    virtual void setOfrmVStampa(QWidget* form) = 0;
    virtual void setOfrmStampaInCorso(IStampaInCorso* form) = 0;
    // The printer current when the print starts (empty: the default one).
    virtual void setOgPrtStam(const QString& stampante) = 0;
    virtual void setOgOpzSta(IOpzioniStampa* opzioni) = 0;
    virtual IOpzioniStampa* ogOpzSta() const = 0;

    // Prints the list to the target of the options; the pages (or for a
    // file the rows) sent.  Raises Errore when the target fails.
    virtual qint64 StampaLista(IListaLettura& lista, const RichiestaStampaLista& richiesta) = 0;
    // A stop request (code 1: the operator's "Interrompi la stampa"); the
    // print running ends after the page it is on.
    virtual void Interrompi(int codice) = 0;
    virtual bool Interrotta() const = 0;
};

// The list print dialog as the list-command object sees it: the object sets
// itself as the dialog's ogComlin before it shows the dialog.
class IDialogoStampaLista {
public:
    virtual ~IDialogoStampaLista();
    virtual void setOgComlin(IListaComandi* comlin) = 0;
};

// The system's printers as the print component finds them (CUPS): queues
// with their device URIs as ports, the user's default destination, and of a
// queue its bins (input slots) and papers, numbered from 1 in the queue's
// order.
struct CodaStampa {
    QString nome;
    QString porta;
    bool predefinita = false;
};
struct VoceStampante {
    int codice = 0;
    QString nome;
};
class IStampanti {
public:
    virtual ~IStampanti();
    virtual QVector<CodaStampa> Code() const = 0;
    // The user's default queue when it is installed, else empty.
    virtual QString Predefinita() const = 0;
    // The default the user or the server names, installed or not.
    virtual QString PredefinitaDichiarata() const = 0;
    // Makes the queue the user's default; false when there is no such queue
    // or the setting cannot be written.
    virtual bool ImpostaPredefinita(const QString& nome) = 0;
    virtual QString Porta(const QString& nome) const = 0;
    virtual QVector<VoceStampante> Cassetti(const QString& nome) const = 0;
    virtual QVector<VoceStampante> Formati(const QString& nome) const = 0;
    // The name of the queue's current paper (its default).
    virtual QString FormatoAttuale(const QString& nome) const = 0;
};

// New objects of the print component (registered by it; Errore 91 without).
// sezione is the parameter-file section of the print.
std::unique_ptr<IOpzioniStampa> CreaOpzioniStampa(const QString& sezione);
std::unique_ptr<IStampa> CreaStampa();
// The system's printers (the component's one instance).
IStampanti& Stampanti();
struct FabbricheStampa {
    std::unique_ptr<IOpzioniStampa> (*opzioni)(const QString&) = nullptr;
    std::unique_ptr<IStampa> (*stampa)() = nullptr;
    IStampanti* stampanti = nullptr;
};
void RegistraFabbricheStampa(const FabbricheStampa& f);

} // namespace quarvel
