#pragma once
// The suite's utility object: small stateless services the whole program uses.
// One process-wide instance, created on first use and kept (Utilita()).  A
// failing operation throws Errore in the caller.
//
// Decisions taken where the suite left the details open (each operation's
// comment says the rest):
//  - Text-to-number operations read the operator's format: the program's
//    locale (Italian, "1.234,56", when the system gives C/POSIX) and also a
//    plain "1936.27".  Blanks around the text and one leading sign are
//    allowed.  A text grouped in threes reads as grouped ("1.234" is 1234 in
//    Italian); one that cannot be ("1936.27", "1.5", "0.500") reads with "."
//    as the decimal point.  A text that is no number ("12 kg", "1,234.5" in
//    Italian, "1e999") gives 0.
//  - Every value that goes into an SQL text goes through ValoreSql.
//  - Paths go through the path layer (suite/Percorsi.h).

#include <QString>
#include <QVariant>
#include <initializer_list>
#include <vector>

class QWidget;

namespace quarvel {
class IRecordset; // suite/ComponenteDati.h
}

namespace quarvel {

// Kinds of value, as the suite numbers them.
namespace Tipo {
inline constexpr int Intero = 2;   // 16-bit integer
inline constexpr int Lungo = 3;    // 32-bit integer
inline constexpr int Singolo = 4;
inline constexpr int Doppio = 5;
inline constexpr int Valuta = 6;
inline constexpr int Data = 7;
inline constexpr int Testo = 8;
inline constexpr int Booleano = 11;
} // namespace Tipo

class IUtilita {
public:
    virtual ~IUtilita();

    // True when the value is Null (an invalid or null QVariant) or a text that
    // is empty once blanks are trimmed; with rigido True only the empty text
    // counts (blanks are content).  A number, date or flag is never empty.
    // tipo and opzione are the ones the callers pass (8, 1).
    virtual bool EVuoto(const QVariant& valore, int tipo = Tipo::Testo, int opzione = 1,
                        bool rigido = false) const = 0;

    // Text to numbers in the operator's format; 0 for no number.  The integer
    // forms round half away from zero and give 0 when out of range (after
    // rounding: "32767,5" gives 0); TestoInIntero with rigido True gives 0
    // for a number with decimals.  TestoInSingolo gives 0 beyond a single.
    virtual qint16 TestoInIntero(const QString& testo, bool formatoUtente = true,
                                 bool rigido = false) const = 0;
    virtual double TestoInNumero(const QString& testo, bool formatoUtente = true) const = 0;
    virtual qint32 TestoInLungo(const QString& testo, bool formatoUtente = true) const = 0;
    virtual float TestoInSingolo(const QString& testo, bool formatoUtente = true) const = 0;
    // True when the text is a number above 0.
    virtual bool NumeroPositivo(const QString& testo, bool formatoUtente = true) const = 0;

    // The value as an SQL literal.  Kind 8 (text): a quoted literal with every
    // embedded single quote doubled, whatever the value holds (a number too);
    // nothing else is escaped (standard SQL strings, as SQLite and PostgreSQL
    // with its default standard_conforming_strings read them).  A text holding
    // a NUL character raises Errore 5: a NUL cuts the statement short in some
    // drivers, and dropping it would name another code.
    // Other kinds: numbers with a dot and no grouping (a text is read in the
    // operator's format; integers 2 and 3 rounded half away from zero),
    // dates 'yyyy-MM-dd' (with ' HH:mm:ss' when there is a time; a text as
    // dd/mm/yyyy or ISO), booleans -1/0 (also "S"/"N", "True"/"False").  A
    // value that is not of the kind raises Errore 13, one out of its range 6;
    // a blank text of those kinds gives NULL.  Null as NULL.  Unknown kinds are
    // written as kind 8.
    virtual QString ValoreSql(const QVariant& valore, int tipo = Tipo::Testo) const = 0;

    // Builds a number mask: the base mask ("#,##0") and, when decimali > 0,
    // a decimal point followed by decimali times the filler ("0" forces the
    // digit, "#" shows it only when needed).  When the base mask holds the
    // placeholder, the decimal part goes there instead of at the end.  Masks
    // use "," for grouping and "." for the decimal point; ApplicaFormato shows
    // them in the operator's format.  With soloMaschera True (what the callers
    // pass to build a mask) the result is the mask; with False it is valore
    // shown with it (ApplicaFormato), as a grid cell rewritten "with
    // FormatoNumero" needs.  separatore is kept for the callers' argument list.
    virtual QString FormatoNumero(const QVariant& valore, int decimali,
                                  const QString& riempitivo = QStringLiteral("0"),
                                  bool soloMaschera = true,
                                  const QString& mascheraBase = QStringLiteral("#,##0"),
                                  const QString& separatore = QString(),
                                  const QString& segnaposto = QStringLiteral("^")) const = 0;
    // A number (or a text in the operator's format) shown with a mask of
    // FormatoNumero; a text that is no number comes back unchanged.  Masks as
    // the suite's Format wrote them: "0" forced digit, "#" optional digit,
    // "," grouping, "%", literals in quotes or after "\", sections
    // positive;negative;zero;Null.  Decimals rounded half away from zero on
    // the decimal digits.  As Format did, a 0 with only "#" integer places
    // shows no integer digit ("#,###" on 0 gives ""); unlike it, no decimal
    // sign is left hanging ("#.##" on 5 gives "5") and no "-" is shown for a
    // value that rounds to 0.
    virtual QString ApplicaFormato(const QVariant& valore, const QString& maschera) const = 0;

    // What follows the switch "/" & lettere in the text, up to the next switch
    // (trimmed); letters compared without regard to case.  A bare switch of two
    // or more letters (RO) gives "/" & lettere as written in the text; a
    // missing switch gives the empty text.  A switch starts the text or
    // follows a blank ("/I/srv/Pippo.ini" holds no switch P); the next switch
    // is a blank, "/" and a letter.  Double quotes group a value holding
    // blanks or " /": /I"/path with blanks/belcor.ini" gives the path without
    // the quotes; a program joining its arguments quotes such values so.
    virtual QString ValoreOpzione(const QString& testo, const QString& lettere) const = 0;

    // The digits of the number as text: no grouping, a "." for decimals, "-"
    // in front of a negative number.
    virtual QString NumeroInTesto(double numero) const = 0;

    // Drive, folder and name joined into one local path (mode 1: the usual;
    // the others are read the same).  The drive may be "D", "D:", "D:\", a
    // network path or a POSIX folder.  A name that stands on its own (drive
    // letter, "\\server", "/...") is taken alone; a folder that does is
    // taken without the drive.
    virtual QString ComponiPercorso(const QString& nome, const QString& unita,
                                    const QString& cartella, int modo = 1) const = 0;
    // True when the path (through the path layer) is a file; a folder is not.
    virtual bool FileEsiste(const QString& percorso) const = 0;
    // The folder that stands for the Windows folder of the suite's shared
    // files: QUARVEL_SYSTEM_DIR, else /etc/belcor.
    virtual QString CartellaSistema() const = 0;

    // Read status: 0 when the key is missing (valore := predefinito), 1 when
    // found in the file (valore := its value, which may be empty).
    virtual int LeggiIniFile(const QString& sezione, const QString& chiave,
                             const QString& predefinito, QString& valore,
                             const QString& file) const = 0;
    // The main file first, then the second file: 1 when found in the main
    // file, 2 when found in the second, 0 when in neither.
    virtual int LeggiIniDoppio(const QString& sezione, const QString& chiave,
                               const QString& predefinito, QString& valore,
                               const QString& filePrincipale,
                               const QString& fileParametri) const = 0;

    // Rebuilds a damaged database file (the data-access component's repair);
    // 0 when the rebuilt file is sound, the damaged one kept beside it.
    virtual int RiparaDatabase(const QString& file) const = 0;
    // The size of a field of a record set (characters for texts, bytes else).
    virtual qint32 DimensioneCampo(IRecordset& recordset, const QString& campo) const = 0;

    // True while visible top-level windows other than the hidden main window
    // are open (popup menus and tooltips do not count).
    virtual bool CiSonoFinestre(const QList<QWidget*>& finestre,
                                const QWidget* principale) const = 0;

    // NaN entries are passed over; an empty list raises Errore 5.
    virtual double Massimo(std::initializer_list<double> numeri) const = 0;
    virtual double Minimo(std::initializer_list<double> numeri) const = 0;

    // Every occurrence replaced (case-sensitive; an empty cosa changes
    // nothing).
    virtual QString SostituisciTesto(const QString& testo, const QString& cosa,
                                     const QString& con) const = 0;
    // 1-based position of the last occurrence (case-sensitive: fold both texts
    // for a search without regard to case); 0 when there is none or cosa is
    // empty.
    virtual int CercaIndietro(const QString& testo, const QString& cosa) const = 0;

    // Rounds to a multiple of unita * 10^potenza.  Kind "A" rounds half away
    // from zero, "E" upward (away from zero), "D" toward zero; the decimal
    // digits of the value as written are used, so 2.675 to -2 gives 2.68.
    // tipo and the two 2s the callers pass are kept for their argument list.
    // Modes are read without regard to case; another mode, or a unit of 0,
    // raises Errore 5.  NaN and infinities come back unchanged.
    virtual double Arrotonda(double valore, int tipo, const QString& modo, int p4, double unita,
                             int p6, int potenza) const = 0;

    // Shows the form modally (the arguments are those the callers pass); the
    // dialog's result.  A plain window is shown application-modal until it is
    // hidden, closed or destroyed, and gives 0.  No form raises Errore 91.
    virtual int MostraForm(QWidget* form, int p1 = 2, int p2 = -1, int p3 = 3,
                           int p4 = 0) const = 0;
    // Gives the control the focus when it can take it (enabled, not hidden,
    // accepting focus); false when not.  In a window not yet shown the control
    // gets the focus when the window shows.
    virtual bool DaiFuoco(QWidget* controllo) const = 0;
    // On entering a text box: all its text selected.
    virtual void PreparaTesto(QWidget* controllo) const = 0;
    // On leaving a text box: the text trimmed and, for a number mask, shown
    // with it.
    virtual void FormattaTesto(QWidget* controllo, const QString& maschera = QString()) const = 0;
    // The first enabled text box of the panel (in focus order) whose content
    // breaks its validator or input mask; nullptr when every field is valid.
    // An empty box counts as valid (a value not given: mandatory fields are
    // the caller's); a combo or spin box answers for its own line edit.
    virtual QWidget* ControllaCampi(QWidget* pannello) const = 0;
    // A folder chosen by the operator; empty when cancelled.
    virtual QString ScegliCartella(const QString& titolo, const QString& iniziale) const = 0;
};

// The process-wide instance.  The program installs the real one at start;
// until then the first call creates it through the factory that the utility
// component registers.
IUtilita& Utilita();
void ImpostaUtilita(IUtilita* u);
using FabbricaUtilita = IUtilita* (*)();
void RegistraFabbricaUtilita(FabbricaUtilita f);

} // namespace quarvel
