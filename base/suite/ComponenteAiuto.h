#pragma once
// The suite's lookup component: the search window over a named lookup
// definition and the decoding of a typed code into its description.  The
// start-up creates one (CreaComponenteAiuto) and keeps it in the session
// (ComponenteAiuto); the program reaches it only through this interface.
//
// Lookup names (compared without regard to case):
//   "Articolo"            Articoli: code, description, barcode, level groups,
//                         picture ("Immagine": a file of the picture folder)
//   "Magazzino"           Magazzini
//   "MagDescrInv:CodInv"  MagDescrInv, with "DataInvent" among its fields
//   "livello", "Livello"  the values of a level group (Livelli); the lookup
//   and "Magac3:CoLi"     definition "Magac3:CoLi" takes (article code, level
//                         number 1 or 2) and lists the values of the article's
//                         first or second level group
//   "Conto"               Clienti with their four e-mail addresses
//
// The search window.  A list of the definition's rows that follows what the
// operator types.  The key code chooses the search: 113 (F2) by code, 114
// (F3) by description, 115 (F4) by barcode (articles); a negative code -n-1
// searches by the n-th kind (1 code, 2 description, 3 barcode), -1 and any
// other key by code.  F2, F3 and F4 change the search while the window is
// open.  A search by code or barcode lists the rows whose code begins with
// what was typed; a search by description lists the rows of which any word
// of the description begins with it.  Codes compare without regard to letter
// case, as the database does.  Enter or a double click picks the row; Esc
// closes without a pick; F1 does nothing.  The rows are read a window at a
// time, so a table of a million rows opens as fast as a small one.
//
// Which columns a list shows: the field list the caller passes (the "Campi"
// personal parameter; a grid lookup, which passes none, reads the personal
// parameter "Campi" & lookup name of section "Help" itself) when it names
// any, else the definition's own; the code is always the first column.
// Names the table does not hold are left out.
//
// Inactive articles: with the personal parameter "NoDecInattivi" of section
// "Articoli" equal to "S" an inactive article (Inattivo "S") is neither
// decoded nor listed, whatever condition the caller passes.
//
// Colours: a control's background is read and set as the suite stores
// colours (&HBBGGRR, the high bit marking a system colour) through
// ColoreSfondo / ImpostaColoreSfondo below.  Decoding an unknown code paints
// the code box in the error colour given at InizializzaAiuto and writes
// "** INESISTENTE **" into the description label; a code decoded gives the
// box the normal colour back when it was in the error colour.
//
// Operations that fail (the database refusing a statement) raise
// quarvel::Errore; they go back to the caller.

#include <QColor>
#include <QSqlDatabase>
#include <QString>
#include <QVariant>
#include <QVariantList>
#include <QtGlobal>
#include <optional>

class QLabel;
class QLineEdit;
class QObject;
class QWidget;

namespace quarvel {

class IMenuClient;
class IComponenteDati;

// What the component writes into the label of a code that no row has.
inline const QString TestoInesistente = QStringLiteral("** INESISTENTE **");

// Key codes of the searches.
namespace TastiRicerca {
inline constexpr int PerCodice = 113;      // F2
inline constexpr int PerDescrizione = 114; // F3
inline constexpr int PerBarcode = 115;     // F4
} // namespace TastiRicerca

// Named values of an object (ovLeggiPar).  An unknown name reads as an
// invalid QVariant.
class IParametriAiuto {
public:
    virtual ~IParametriAiuto();
    virtual QVariant ovLeggiPar(const QString& nome) const = 0;
    virtual void setOvLeggiPar(const QString& nome, const QVariant& valore) = 0;
};

// The lookup window object.  Its own values: "MostraImg" (bool: the article
// picture beside the list), "RetZeroRec" (16-bit: 1 makes a search that
// finds no row return 1 at once, without showing the window).  Its list,
// ogComlin(), holds "ForzaPassThrough" (bool) and the margins "MargSopra",
// "MargSotto", "MargSin", "MargDestra" (twips: the room kept on that side of
// the list; the picture goes into the margin of its side).
class IFinestraAiuto : public IParametriAiuto {
public:
    // A field of the row picked in the last lookup (any field of the table);
    // an invalid QVariant when nothing was picked.
    virtual QVariant RetVal(const QString& campo) const = 0;
    virtual IParametriAiuto* ogComlin() = 0;
    // The window itself (the session's FormAiuto).  Its properties
    // "odRisVid" (the help factor: the window scales by it),
    // "obLockSpostaCurs" and "oiSpostaCurs"; its invokable methods
    // ButtonComando(QString) ("Aggiorna" reads the list again) and
    // ChiudiAiuto().
    virtual QWidget* widget() = 0;
};

// The search options: "CFHelpRic11", "CFHelpRic12" and the colour of the
// search box (olColBackOk).
class IOpzioniRicerca : public IParametriAiuto {
public:
    virtual quint32 olColBackOk() const = 0;
    virtual void setOlColBackOk(quint32 colore) = 0;
};

// The component's events, served by the program's holder.
class IEventiAiuto {
public:
    virtual ~IEventiAiuto();
    // The operator asked for the menu from the search window (Ctrl+M).
    virtual void ClsMainMenuFrm() = 0;
    // Before a decoding: the program may take it over by answering
    // pvRitorno True (the component then leaves the controls as they are).
    virtual void ClsPrepDecod(const QString& psId, const QString& psKeyBase, const QString& psCampo,
                              const QVariant& pvValore, const QVariant& pvSoloDecod,
                              const QVariant& pvSqlNoFiltro, QVariant& pvRitorno) = 0;
    // Keys of a program the operator launched from the search window, kept
    // for the menu.
    virtual void LanciaKeyPrim(const QString& psLanciaKeyPrim) = 0;
    virtual void LanciaKeySec(const QString& psLanciaKeySec) = 0;
};

class IComponenteAiuto {
public:
    virtual ~IComponenteAiuto();

    // Hands the component what the session holds.  principale and condiviso
    // may be replaced by what the component hands back (this one hands them
    // back unchanged).  db is the engine connection the lists are read on.
    virtual void InizializzaAiuto(QWidget*& principale, IMenuClient* menu, QObject*& condiviso,
                                  IComponenteDati* dati, const QString& risultatoConnessione,
                                  const QSqlDatabase& db, quint32 coloreNormale,
                                  quint32 coloreErrore, const QString& tipoProgramma,
                                  const QString& formatoData) = 0;
    virtual void ImpostaEventi(IEventiAiuto* eventi) = 0;

    // Options kept for later lookups (kind 12): "TipoDef", "MostraImg",
    // "DoveMostraImg" ("A" top, "B" bottom, "S" left, else right),
    // "NomeColImg", "DirImgArt", "ImgRapVertOriz" (height/width of the
    // picture box; 0 for the room's own shape), "ImgDimReali" (true: the
    // picture at its real size, else fitted into the room).
    virtual void ImpostaOpzione(const QString& nome, int tipo, const QVariant& valore) = 0;
    virtual QVariant Opzione(const QString& nome) const = 0;

    virtual IFinestraAiuto* FormAiuto() = 0;
    virtual IOpzioniRicerca* OpzioniRicerca() = 0;

    // Opens the search window for a code box.  The text of the box is the
    // first search.  filtro: the definition's filter values (for levels:
    // article, level number), missing when none; campi: the field list
    // ("Articolo,Descrizione,..."; may begin with a comma); testoExtra: a
    // condition of the program's SQL dialect the rows must also meet.  On a
    // pick the code goes into the box, the description into the label,
    // trovato := true, and the result is -1.  Esc: result 0, trovato false.
    // With "RetZeroRec" 1 a search that finds no row returns 1 at once and
    // the label reads "** INESISTENTE **".
    virtual QVariant Aiuto(const QString& nome, QLineEdit* codice, QLabel* descrizione,
                           int& keyCode, QWidget* form, const std::optional<QVariant>& filtro,
                           bool& trovato, int flag, const QString& campi,
                           const QString& testoExtra) = 0;

    // Decodes the box into the label by table and key field; campi names
    // fields in and holds their values out (invalid for an unknown code).
    virtual void DecodificaControlli(const QString& tabella, const QString& campoChiave,
                                     QLineEdit* codice, QLabel* descrizione, int p5, int p6,
                                     int tipo, const QString& p8, QVariantList& campi,
                                     const std::optional<QVariant>& p10, const QString& p11) = 0;

    // The lookup of a grid cell.  A function key or a negative code opens
    // the search window with the cell's value as the first search; another
    // key decodes the value.  definizione "Magac3:CoLi" takes the article
    // (extra1) and the level number (extra2).  On a pick or a code decoded:
    // valore := the code, testo := its description, result 0.  Esc: 1, the
    // value unchanged.  An unknown code decoded: 2.
    virtual int AiutoGriglia(const QString& nome, const QString& campo, QVariant& valore,
                             QString& testo, int keyCode, const QString& p6, int p7, int p8,
                             const QString& definizione, const QVariant& extra1,
                             const QVariant& extra2, const QString& p12) = 0;

    // Decodes a value by table and key field: true (-1) when no row has it;
    // else descrizione and the values of the fields named in campi.
    virtual bool DecodificaValore(const QString& tabella, const QString& campoChiave,
                                  const QVariant& codice, QString& descrizione, int p5, int tipo,
                                  const QString& p7, int p8, QVariantList* campi,
                                  const QString& p10) = 0;

    // "LivelloStr": false when the level value is not one of the values of
    // the article's level group (argomenti: article code, level number);
    // testo := the level's description.
    virtual bool VerificaLivello(const QString& cosa, const QVariant& livello, QString& testo,
                                 const QVariantList& argomenti, int p5, int p6, int tipo,
                                 const QString& p8, bool p9, const std::optional<QVariant>& p10,
                                 const QString& p11) = 0;

    // Decodes the box of a lookup name into the label, among the rows the
    // filter values and the condition allow; -1 when the code is known, 0
    // otherwise (an empty box: 0, the label emptied, no error colour).  The
    // values of the named fields come back in campi.
    virtual int DecodificaCampo(const QString& nome, QLineEdit* codice, QLabel* descrizione,
                                const std::optional<QVariantList>& filtri, int p5,
                                const QString& p6, int p7, QVariantList* campi,
                                QString& condizione) = 0;
};

// A new lookup component (registered by the component; Errore 91 without it).
IComponenteAiuto* CreaComponenteAiuto();
using FabbricaComponenteAiuto = IComponenteAiuto* (*)();
void RegistraFabbricaComponenteAiuto(FabbricaComponenteAiuto f);

// The background of a control as the suite stores colours (&H80000005, the
// system window colour, until one is set).
quint32 ColoreSfondo(const QWidget* controllo);
void ImpostaColoreSfondo(QWidget* controllo, quint32 colore);
// A suite colour as a Qt colour (system colours from the palette).
QColor ColoreQt(quint32 colore);

} // namespace quarvel
