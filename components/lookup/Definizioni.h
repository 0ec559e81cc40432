#pragma once
// The named lookup definitions and the SQL of their lists and decodings.
// No database here: the texts are built in the program's SQL dialect and the
// caller runs them, so every rule can be checked without a connection.

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace quarvel::lookup {

enum class TipoRicerca { Codice, Descrizione, Barcode };

struct Definizione {
    QString nome;          // the lookup name as the callers write it
    QString tabella;       // the table listed
    QString chiave;        // the code
    QString descrizione;   // the description shown beside a decoded code
    QString barcode;       // empty: no search by barcode
    QStringList colonne;   // the columns listed when the caller names none
    QString immagine;      // the column holding the picture's file name
    bool articoli = false; // inactive articles may be kept out
    bool livelli = false;  // filtered by an article's level group
};

// The definition of a lookup name or of a lookup definition ("Magac3:CoLi"),
// compared without regard to case; nullptr when there is none.
const Definizione* TrovaDefinizione(const QString& nome);
// The definition whose table and code are those given (without regard to
// case); nullptr when there is none.
const Definizione* DefinizionePerTabella(const QString& tabella, const QString& chiave);

// The search a key code chooses: F2 by code, F3 by description, F4 by
// barcode (code when the definition has none); -n-1 the n-th kind; anything
// else by code.
TipoRicerca TipoDaTasto(int keyCode, const Definizione& d);
// The caption of the search in the window.
QString TitoloRicerca(TipoRicerca t);

// A plain name of a table or column (letters, digits, underscore).
bool NomeValido(const QString& nome);

// The columns a list shows: the code first, then the names of the field list
// (a comma-separated text; empty names skipped, ",No,..." counts as empty)
// that the table holds (esistenti, compared without regard to case; every
// valid name when esistenti is empty), or the definition's own when none is
// left.  The picture column is added (hidden by the window) when the
// definition has one.
QStringList ColonneLista(const Definizione& d, const QString& campi, const QStringList& esistenti);

// A quoted text literal of the program's dialect.
QString Letterale(const QString& testo);

// The condition of a search for the typed text (empty when nothing typed):
// a code or barcode that begins with it; a description of which a word
// begins with each typed word.  Letters compare without regard to case, as
// the columns do.
QString CondizioneRicerca(const Definizione& d, TipoRicerca t, const QString& testo);

// The index of the descriptions' words a company has (made by the data
// component's schema): on SQLite the trigram table ArticoliDescr, on
// PostgreSQL a trigram index on the text of Articoli.Descrizione.
enum class IndiceParole { Nessuno, TabellaTrigrammi, IndiceTrigrammi };

// PostgreSQL: the description search written with the server's text
// functions: the description after a blank, in lower case, holds a blank and
// each typed word in lower case.  The same rows as the search's own
// condition (the case-blind match lowers both sides), with the typed
// characters taken as themselves; a condition the server cannot weigh, so
// it reads the list in code order and stops at the rows asked for, which is
// what a search held by many rows wants.
QString CondizioneParoleServer(const Definizione& d, const QString& testo);

// The count of the rows that meet a condition among the first `campione`
// rows of the table in code order: how soon the list in code order meets
// its first rows.
QString SqlCampione(const Definizione& d, const QString& condizione, int campione);

// The index the definition's descriptions may use.
IndiceParole IndiceDisponibile(const Definizione& d, IndiceParole indiceDitta);

// The condition of a description search through the index (empty when no
// typed word can use it or there is no index).  The trigram table: the rows
// whose description holds a blank and each typed word of two characters or
// more, matched ignoring case -- a superset of the search's rows, whose own
// condition still decides.  PostgreSQL: the codes of the rows of the
// search's own condition written on the column's text (ILIKE is the match
// the case-blind column makes), which the trigram index finds; the server
// then reads those rows alone by their code.
//
// brevi: for the trigram table holding each description between two blanks,
// the trigrams of the index that begin a word with each typed word of one
// character (the key, in lower case); such a word is then found as any of
// them (none: no description has a word beginning with it).
using TrigrammiBrevi = QHash<QString, QStringList>;
QString CondizioneIndice(const Definizione& d, IndiceParole indice, const QString& testo,
                         const TrigrammiBrevi& brevi = {});
// The count of the rows the index condition keeps, stopped at limite: the
// index narrows a search well only when few rows hold the words (the list in
// code order finds many soon by itself).  Empty when CondizioneIndice is.
QString SqlContaIndice(const Definizione& d, IndiceParole indice, const QString& testo, int limite,
                       const TrigrammiBrevi& brevi = {});

// The word of one character the index can find through its trigrams (a
// printable ASCII character, in lower case as the index folds it); empty for
// any other word.
QString ParolaBreve(const QString& parola);
// The trigrams of the index that begin a word with the character (c as
// ParolaBreve gives it), from the index's vocabulary (temp.ArticoliDescrVoc,
// made by SqlVocabolario).
QString SqlTrigrammiBrevi(const QString& c);
QString SqlVocabolario();

// The condition of the definition's filter values: for levels, the values of
// the article's first or second level group (filtri: article, level
// number); empty when the definition has no filter.  A level number other
// than 1 or 2, or no article, gives a condition that no row meets.
QString CondizioneFiltri(const Definizione& d, const QVariantList& filtri);

// The condition that keeps inactive articles out.
QString CondizioneAttivi();

// The list's SELECT: the columns, the conditions joined by And, in the order
// of the search (code, or barcode for a barcode search).
QString SqlLista(const Definizione& d, TipoRicerca t, const QStringList& colonne,
                 const QStringList& condizioni);

// The decoding of one code: the code, the description and the fields asked
// for (their names checked by the caller), among the rows that meet the
// conditions.
QString SqlDecodifica(const QString& tabella, const QString& chiave, const QString& descrizione,
                      const QStringList& campi, const QString& codice,
                      const QStringList& condizioni);

} // namespace quarvel::lookup
