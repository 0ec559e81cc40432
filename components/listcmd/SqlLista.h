#pragma once
// Every statement a list runs, built from its SELECT read into parts
// (AnalisiSql) and from its key: the list's rows with no condition or one
// more, a window of rows, the count, the place of a key, a search, the row of
// a key read again, and the writes to the base table.  Texts only: nothing
// here talks to a database, so each statement can be checked as text.
//
// The list's order is made total with the key columns, so that two windows
// read one after the other neither repeat nor leave out a row.  A key column
// the list does not show is selected after the shown ones as "qv_kN".
//
// A row is written or deleted only if nobody changed it since it was read:
// the condition names the key and every base column (binary ones apart) with
// the value read, Null matching Null ("col IS NULL", no parameter whose type
// the server could not infer).

#include "listcmd/AnalisiSql.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <functional>

namespace quarvel::listcmd {

struct ColonnaLista {
    QString nome;              // the field's name in the list
    QString espressione;       // its expression as the form wrote it (ORDER BY)
    QString espressioneMotore; // the same in the engine's dialect
    QString tabella;           // source table, empty for a computed field
    QString colonnaBase;       // the base table's column when it may be written
    bool aggiornabile = false;
    bool ordinabile = true;
    int tipo = 8; // suite kind (Tipo in suite/Utilita.h); 205 binary
    int dimensione = 0;
    QString formato; // number mask of the column
    QString titolo;  // caption shown in the header
};

inline constexpr int TipoBinario = 205;

// A statement and the values of its "?" in order.
struct Istruzione {
    QString testo;
    QVariantList parametri;
};

// What the count's FROM needs to know of the tables.
struct SchemaLista {
    // The primary key's columns of a table (empty: none).
    std::function<QStringList(const QString& tabella)> chiavePrimaria;
    // The base table's columns.
    QStringList colonneBase;
    // The base table's columns the engine compares without regard to case
    // by folding both sides at each comparison (PostgreSQL's citext).
    QStringList colonneSenzaCaso;
};

class SqlLista {
public:
    using Riga = QVector<QVariant>;

    SqlLista() = default;
    // The list's SELECT in the engine's dialect, read into parts.
    explicit SqlLista(const AnalisiSql& analisi) : m_analisi(analisi) {}

    const AnalisiSql& analisi() const { return m_analisi; }

    // The list's columns and the base table's key columns: the hidden key
    // items and the total order follow.
    void impostaChiavi(const QList<ColonnaLista>& colonne, const QStringList& chiavi);
    const QStringList& chiavi() const { return m_chiavi; }
    // Where each key column is in a row read (past the shown columns for
    // the hidden ones).
    const QList<int>& posizioniChiavi() const { return m_posChiavi; }
    // Values per row read: the shown columns and the hidden keys.
    int valoriPerRiga() const { return int(m_colonne.size() + m_chiaviNascoste.size()); }
    // The ORDER BY terms of the list made total by the key.
    const QString& ordine() const { return m_ordine; }
    QVariantList chiaveDi(const Riga& riga) const;

    // What the windows may know of the tables: when the joins neither add
    // nor drop rows (fromPerContare() is the base table alone) and the
    // list's order reads base columns only, a window of a grid is read on the
    // base table first and joined after, its few rows alone (a list sorted
    // by a column with no index sorts the base table's rows, not the rows
    // of the whole join).
    void impostaSchema(const SchemaLista& schema);
    // The windows read the base table first (impostaSchema).
    bool giunzioneDopo() const { return !m_baseFinestre.isEmpty(); }
    // The windows of a list that holds most of the base table's rows, sorted
    // by columns no index keeps in order (giunzioneDopo() only): the engine
    // reads the whole table for each window's sort anyway, so the table is
    // read in its own order, not row by row through the index of the list's
    // condition (senzaIndice: SQLite's NOT INDEXED), and each "column =
    // 'text'" of the condition on one of senzaCaso compares the text as it
    // is written first, as conteggio() does.  The same rows in the same
    // order: only the engine's way to them changes.
    void impostaLetturaIntera(bool senzaIndice, const QStringList& senzaCaso);
    bool letturaIntera() const { return m_interaSenzaIndice || !m_interaSenzaCaso.isEmpty(); }
    // The base table's rows of the list in the list's order (the first one
    // only), as a grid's window sorts them: what the engine is asked for
    // its plan (giunzioneDopo() only).
    QString ordinamentoBase() const;
    // The values of a base column's expression for every row of the list,
    // in no order (giunzioneDopo() only).
    QString valoriBase(const QString& espressione) const;

    // The list's rows (its WHERE and one more condition, its grouping),
    // without order.
    QString select(const QString& condizione = {}) const;
    // The list's fields, no row.
    QString senzaRighe() const { return select() + QStringLiteral(" LIMIT 0"); }
    // A window of rows in the list's order, or from the end with the order
    // reversed; esclusi leaves out the rows written here.
    // ancora: one more condition on the base table's rows (a window read
    // on the base table first only).
    QString finestra(qint64 offset, qint64 quante, bool dallaFine, const QString& esclusi,
                     const QString& ancora = {}) const;
    // The FROM the rows are counted on: the base table alone when the joins
    // neither add nor drop rows (LEFT JOINs by the joined table's whole key)
    // and the condition reads the base table only; else the list's FROM.
    QString fromPerContare(const SchemaLista& schema) const;
    // The rows of the list, esclusi left out; da is fromPerContare's.
    // Each "column = 'text'" of the condition on one of senzaCaso (a column
    // compared without regard to case) first compares the text as it is
    // written, and folds the case only where that differs: the same rows,
    // counted without folding the case of every row that matches, for a
    // count that reads the whole table (no index serves that condition).
    QString conteggio(const QString& da, const QString& esclusi,
                      const QStringList& senzaCaso = {}) const;
    // The count as a difference, for an engine that counts a table's rows
    // without reading each one (SQLite): {the rows outside the condition, at
    // most limite of them on each side; all the rows of da}.  Only for a
    // condition that is one "column = 'text'" on the first column of the
    // base table's key (primaDellaChiave: its index reads the rows outside
    // as two ranges), the base table counted alone, nothing left out: the
    // rows outside are those less or greater than the text (the column's own
    // comparison, a total order) or Null.  Empty otherwise.
    QStringList conteggioPerDifferenza(const QString& da, const QString& esclusi,
                                       const QString& primaDellaChiave, qint64 limite) const;
    // The condition leaving out the rows of those keys (literals given by
    // letterale); empty when none has a whole key.
    QString esclusi(const QList<QVariantList>& chiavi,
                    const std::function<QString(const QVariant&)>& letterale) const;
    // The place (1-based, qv_rn) of the row of the key, esclusi left out.
    Istruzione posizione(const QVariantList& chiave, const QString& esclusi) const;
    // The first place (qv_rn) after limite (dopo) or up to it (!dopo) whose
    // expression holds the text, letters compared without regard to case.
    Istruzione cerca(const QString& espressione, const QString& testo, bool dopo, qint64 limite,
                     const QString& esclusi) const;
    // A row of the key meets the list's condition (empty text: every row does).
    Istruzione nellaLista(const QVariantList& chiave) const;
    // The row of the key, read again without the list's condition.
    Istruzione rileggi(const QVariantList& chiave) const;

    // The new row: the base columns holding a value (the others get their
    // defaults).
    Istruzione inserimento(const Riga& valori) const;
    // The base columns changed, on the row as it was read; empty text when
    // only read-only columns changed.
    Istruzione aggiornamento(const Riga& letta, const Riga& valori,
                             const QVector<bool>& cambiati) const;
    Istruzione cancellazione(const Riga& letta) const;

private:
    // The row of the key, Null matching Null; the values to bind appended.
    QString condizioneChiave(const QString& qualificatore, const QVariantList& chiave,
                             QVariantList& parametri) const;
    // The row as it was read: its key and every base column that compares.
    QString condizioneRigaLetta(const Riga& letta, QVariantList& parametri) const;
    // The list's WHERE and one more condition.
    QString dove(const QString& altra) const;
    // The same for a window read on the base table first, and that table
    // as the window reads it (impostaLetturaIntera).
    QString doveBase(const QString& esclusi) const;
    QString baseFinestre() const;

    AnalisiSql m_analisi;
    QList<ColonnaLista> m_colonne;
    QStringList m_chiavi;
    QList<int> m_posChiavi;
    QStringList m_chiaviNascoste; // "alias.col AS qv_kN"
    QString m_ordine;
    // With giunzioneDopo(): the FROM before and after the base table.
    QString m_baseFinestre, m_primaFinestre, m_dopoFinestre;
    // impostaLetturaIntera
    bool m_interaSenzaIndice = false;
    QStringList m_interaSenzaCaso;
};

} // namespace quarvel::listcmd
