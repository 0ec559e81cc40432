#pragma once
// The record set behind a grid: an editable table model over a list's SQL.
//
// Reading.  Opening a list reads its first window of rows; rows are read a
// window at a time (LIMIT/OFFSET over the list's order made total by the base
// table's key) into a small cache, so a list of a million rows costs a few
// windows of memory.  Windows past the middle are read with the order
// reversed, so the last rows come as fast as the first.
//
// Counting.  A first window that comes back short is the whole list.  Else
// the rows are counted (COUNT(*)) on a second connection in a thread of its
// own, while the list already shows its first rows: until the total arrives
// the list holds the rows read from the top (more are read as the view
// scrolls down) and, once the last row is asked for, the last window read
// with the order reversed; the total arriving puts the rows between the two
// in place (rows inserted, the ones shown keep their place around them).
// Where no second connection sees the same data (an in-memory database) the
// count runs at once, as it does when the count in the background fails.
//
// Writing.  The list's base table is the first table of its FROM; its primary
// key (or the key columns the form names) finds a row.  One row at a time is
// edited in a buffer; writing it updates the changed columns of the base
// table, inserts a new row, or deletes one.  Columns of other tables and
// computed ones are read only; the row is read again after a write, so their
// values (a description of a joined table) are fresh.  A row is written only
// if nobody changed it since it was read: the WHERE clause compares every
// base column with the value read, and a write that finds no row stops with
// 3197 (changed) or 3167 (deleted) and the row is read again.
//
// Rows inserted since the list was read stay at its end until it is read
// again, as the original record sets kept them.  Such rows, and the rows
// written at their place (a changed key may move a row elsewhere in the
// database order), are left out of every read of a window or of the count:
// the other rows keep their places counted without them, from the top as from
// the end, so no row shows twice or goes missing around a row written here.
//
// Rows added or deleted by another workstation move the places of the rows
// read later.  A window is read with one row more on the side of a neighbour
// already in memory: when that row is not the neighbour's (or the window
// comes back short), the list has moved; the window is not shown, and the
// list is read again (listaSpostata, or at once when nobody listens), as
// "Aggiorna" does.
//
// Sorting.  A click on a column's title opens the list again in that order.
// A list opened again over the same rows keeps knowing their number: when
// they are most of the base table and no index gives the order, the windows
// read the whole table for their sort (SqlLista::impostaLetturaIntera); the
// windows far from both ends of a list sorted by a column of numbers start
// from the column's values read once (ModelloRigheOrdine.cpp).
//
// The parts.  The statements are SqlLista's, the rows kept and their places
// CacheRighe's, the cells' texts TestoCella's; this model keeps the row being
// edited, coordinates the count and speaks the model protocol, each job in a
// file of its own: opening the list and the protocol (ModelloRighe.cpp), the
// count (ModelloRigheConteggio.cpp), reading the windows
// (ModelloRigheLettura.cpp), the row being edited (ModelloRigheScrittura.cpp),
// the sort (ModelloRigheOrdine.cpp).  A view asking
// for a cell whose window is not in memory gets no value at once: the window
// is read right after (queued), and the view told of its rows.  valore()
// reads a missing window at once.

#include "listcmd/AnalisiSql.h"
#include "listcmd/CacheRighe.h"
#include "listcmd/SqlLista.h"
#include "suite/Errore.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QList>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlRecord>
#include <QVector>
#include <memory>
#include <optional>

class QTimer;

namespace quarvel::listcmd {

class CanaleConteggi;
class Conteggio;

class ModelloRighe : public QAbstractTableModel {
    Q_OBJECT
public:
    using Riga = QVector<QVariant>;

    explicit ModelloRighe(QObject* genitore = nullptr);
    ~ModelloRighe() override;

    // Opens the list (Access-dialect SQL); raises Errore.  An empty text
    // closes it.
    void apri(const QSqlDatabase& db, const QString& sql);
    // Counts and reads again; the rows added stay no longer at the end.
    void rileggi();
    bool aperta() const { return m_aperta; }
    const QSqlDatabase& database() const { return m_db; }
    const QString& sql() const { return m_sql; }
    const AnalisiSql& analisi() const { return m_analisiAccess; }

    int numeroColonne() const { return int(m_colonne.size()); }
    ColonnaLista& colonna(int i) { return m_colonne[i]; }
    const ColonnaLista& colonna(int i) const { return m_colonne[i]; }
    int indiceColonna(const QString& nome) const;
    void impostaTitolo(int colonna, const QString& titolo);

    // Rows of the list, without the empty new-row line; while the count is
    // running, the rows known so far.
    qint64 totale() const { return m_cache.totale(); }
    // The total is known (false while the count runs in the background).
    bool totaleNoto() const { return m_cache.totaleNoto(); }
    // The row's place is known: a row read from the end has none until the
    // total arrives.
    bool posizioneNota(qint64 riga) const;
    // Rows from place `da` of the list as valore() gives them, for a reader
    // that goes through the list from the top down (a print): one query
    // kept open between calls, where the windows of the grid would each
    // skip all the rows before them.  Fewer than `quante` where the rows
    // read from the database end (the rows added since follow in the
    // model); nullopt when they must be read the usual way (the list is
    // closed, or moved while a row was written).
    std::optional<QVector<Riga>> righeInAvanti(qint64 da, qint64 quante);
    // Waits for the count running in the background, if any (a count still
    // waiting to start starts at once).
    void attendiConteggio();
    // The tables' columns and keys, read when the list is opened, are kept
    // for the next lists opened on the same connection until a list is
    // closed (an empty text): a search window reads the same tables again
    // at each character typed, and their shape does not change while it is
    // open.  Off by default: a form may make its tables anew between lists.
    void setTabelleStabili(bool si) { m_tabelleStabili = si; }
    // The count in the background starts this many milliseconds after the
    // list opens, not at once (0, the default: at once).  A list opened
    // again and again, as a search window opens one for each character
    // typed, then counts only once the typing pauses, instead of starting
    // and stopping a count of the whole table at each character.
    void setRitardoConteggio(int ms) { m_ritardoConteggio = ms; }
    // The count failed (the list stays uncounted): the engine's error; else
    // nullptr.
    const Errore* erroreConteggio() const {
        return m_erroreConteggio ? &*m_erroreConteggio : nullptr;
    }
    // While counting: the next window from the top, as a view scrolling
    // down gets it (fetchMore); raises Errore when the read fails.
    void leggiAltreRighe();
    // Makes the last row of the list a row of the model: when the total is
    // not known yet, the last window is read with the order reversed.
    void caricaFine();
    bool aggiungibile() const { return m_aggiungibile; }
    void setAggiungibile(bool si);
    // The base table has a key: rows may be written.
    bool scrivibile() const {
        return !m_lista.chiavi().isEmpty() && !m_lista.analisi().raggruppata();
    }
    // Key columns named by the form, used when the base table has no key.
    void impostaChiaviForm(const QList<int>& colonne);

    // The value of a cell, the row being edited included.  A Null read from
    // the database is a valid QVariant holding no value (isNull()); a cell
    // never set, an emptied one and the new-row line give an invalid one.
    // A row whose window is not in memory is read.
    QVariant valore(qint64 riga, int colonna);
    // The same without reading: an invalid value when not in memory.
    QVariant valoreInMemoria(qint64 riga, int colonna) const;

    // ---- the row being edited ---------------------------------------------------
    bool inModifica() const { return m_mod.riga >= 0; }
    qint64 rigaModifica() const { return m_mod.riga; }
    bool rigaNuova() const { return m_mod.nuova; }
    bool modificata() const;
    bool colonnaCambiata(int colonna) const;
    // Starts editing the row (the row after the last: a new row).
    void iniziaRiga(qint64 riga);
    // A value into the row being edited (started on the row if needed).
    void impostaValore(qint64 riga, int colonna, const QVariant& valore);
    void annullaRiga();
    // Writes the row being edited; Errore when it fails (the row stays in
    // editing, except after 3167/3197 when it is read again).
    void scriviRiga();
    // Deletes a row of the list; Errore when it fails.
    void eliminaRiga(qint64 riga);

    // Texts of the operator's format.
    void setFormatoData(const QString& formato);
    QString testoVisibile(const QVariant& v, int colonna) const;
    QString testoModifica(const QVariant& v, int colonna) const;
    // A typed text as the column's value; ok false when it is none.
    QVariant daTesto(int colonna, const QString& testo, bool* ok) const;
    QString formaAttesa(int colonna) const;

    // First row after da (wrapping to the top) whose column holds the text,
    // letters compared without regard to case; -1 when none.
    qint64 cerca(int colonna, const QString& testo, qint64 da);

    // The list moved under the rows read (another workstation added or
    // deleted rows): it is to be read again.
    bool spostata() const { return m_spostata; }
    // Reads the list again when it moved and no row is being written.
    void riallinea();
    // The key of a row in memory (no read); empty when not in memory.
    QVariantList chiaveInMemoria(qint64 riga) const;
    // The place of the row of that key in the list just read; -1 when the
    // list has no such row.
    qint64 posizioneChiave(const QVariantList& chiave) const;

    // Windows kept (the benchmark reads it).
    int finestreInMemoria() const { return m_cache.finestre(); }
    // The windows read the whole base table for their sort, not through an
    // index (SqlLista::impostaLetturaIntera): the list was opened again
    // with another order (a click on a column's title) over the rows it
    // held, most of the base table's, and the engine sorts them itself.
    bool letturaIntera() const { return m_lista.letturaIntera(); }
    // The values of the sort column are in memory: the windows far from both
    // ends start from their value (see ModelloRigheOrdine.cpp).
    bool valoriOrdineInMemoria() const;

    bool canFetchMore(const QModelIndex& p) const override;
    void fetchMore(const QModelIndex& p) override;
    int rowCount(const QModelIndex& p = {}) const override;
    int columnCount(const QModelIndex& p = {}) const override;
    QVariant data(const QModelIndex& i, int ruolo = Qt::DisplayRole) const override;
    QVariant headerData(int sezione, Qt::Orientation o, int ruolo) const override;
    Qt::ItemFlags flags(const QModelIndex& i) const override;

    static constexpr int RigheFinestra = 128;
    static constexpr int FinestreMassime = 12;
    static constexpr int TipoBinario = listcmd::TipoBinario;

signals:
    // The count running in the background arrived: totale() is the list's.
    void totaleArrivato();
    // The list moved under the rows read: the grid reads it again keeping
    // its cursor (queued, never inside a read of a cell).
    void listaSpostata();
    // A read the model did on its own (a window a view asked for, more rows
    // from the top, the count) failed: the rows shown stay, the window is
    // not asked for again until the list is read again.  Once per failure,
    // never inside a read of a cell.
    void erroreLettura(const quarvel::Errore& errore);

private:
    struct Modifica {
        qint64 riga = -1;
        bool nuova = false;
        Riga originale;
        Riga valori;
        QVector<bool> cambiati;
    };

    // endInsertRows, endRemoveRows, endResetModel: more rows may be read again
    void fineInserimento();
    void fineRimozione();
    void fineAzzeramento();
    // A row of the list, its window read when not in memory.
    const Riga* riga(qint64 r);
    // A row of the list in memory, without reading.
    const Riga* inMemoria(qint64 r) const;
    void segnalaSpostamento();
    void segnalaErrore(const Errore& e);
    void leggiFinestra(qint64 f);
    // The windows views asked for, read (queued from data()).
    void leggiRichieste();
    void conta();
    QString testoConteggio();
    void avviaConteggio();
    void conteggioArrivato();
    void applicaTotale(qint64 totale);
    void fermaConteggio();
    CanaleConteggi& canale(); // made when first needed
    // Raises Errore when the read fails, at its start or on the way (a
    // damaged page): never a window cut short as if the list ended there.
    QVector<Riga> leggiRighe(qint64 offset, qint64 quante, bool dallaFine) const;
    struct ValoriOrdine;
    // A window far from both ends of a list sorted by a column of numbers
    // no index keeps in order, read from the first row of its value on (see
    // ModelloRigheOrdine.cpp); nullopt when it is to be read the usual way.
    std::optional<Istruzione> finestraDaValori(qint64 offset, qint64 quante, bool dallaFine) const;
    const ValoriOrdine* valoriOrdine() const;
    CacheRighe::Lettore lettore() const;
    // A row written here kept at its place r.
    // certa: the row is still one of the list (its count stays right).
    void fissaRiga(qint64 r, const Riga& x, bool certa = false);
    // The row of that key meets the list's condition.
    bool nellaLista(const QVariantList& chiave) const;
    // The condition leaving out the rows written here; empty when none.
    QString condizioneEsclusi() const;
    qint64 righeDb() const { return m_cache.righeDb(); }
    // Rows inserted at da: the row being edited moves with them.
    void spostaModifica(qint64 da, qint64 quante);
    void svuotaCache();
    Riga rileggiPerChiave(const QVariantList& chiave, bool* trovata) const;
    // The row being edited was written at place r: it is read again and put
    // in its place (a new row at the end), and editing ends.
    void collocaRigaScritta(qint64 r);
    QVariantList chiaveDi(const Riga& r) const { return m_lista.chiaveDi(r); }
    void colonneDaQuery();
    void preparaChiavi();
    // The rows of the list open, when sql reads the same rows in another
    // order (or again) and their total is known; else -1.
    qint64 righeDellaStessaLista(const QSqlDatabase& db, const QString& sql) const;
    // How the windows of a list of righe rows (-1: not known) read the base
    // table for their sort (SqlLista::impostaLetturaIntera).
    void scegliLetturaIntera(qint64 righe);
    // Runs a statement that must not fail; Errore from the engine's error.
    void esegui(class QSqlQuery& q, const Istruzione& s, const QString& sorgente) const;
    [[noreturn]] void erroreSql(const class QSqlQuery& q, const QString& sorgente) const;

    // What the list reads of the tables: the columns and the primary key of
    // a table, the fields of a select list.  Read once per list, or kept
    // while the tables are stable (setTabelleStabili).
    struct Tabelle {
        QString connessione; // of the connection they were read on
        QHash<QString, QSqlRecord> colonne;
        QHash<QString, QStringList> chiavi;
        QHash<QString, QStringList> senzaCaso;
        QHash<QString, QSqlRecord> campi; // by the select without its condition
    };
    const QSqlRecord& colonneTabella(const QString& tabella);
    SchemaLista schemaLista();
    const QStringList& chiaveTabella(const QString& tabella);
    const QStringList& senzaCasoTabella(const QString& tabella);

    QSqlDatabase m_db;
    QString m_sql;
    bool m_tabelleStabili = false;
    Tabelle m_tabelle;
    AnalisiSql m_analisiAccess;
    SqlLista m_lista;        // of the engine's text
    QString m_fromConteggio; // the FROM the list is counted on, once known
    QStringList m_senzaCaso; // with it: the base columns compared without regard to case
    QList<ColonnaLista> m_colonne;
    QList<int> m_chiaviForm;
    QString m_formatoData = QStringLiteral("dd/MM/yyyy");
    bool m_aperta = false;
    bool m_aggiungibile = false;
    CacheRighe m_cache{RigheFinestra, FinestreMassime};
    std::unique_ptr<CanaleConteggi> m_canale; // made when first needed
    std::unique_ptr<Conteggio> m_conteggio;
    int m_ritardoConteggio = 0;
    QTimer* m_attesaConteggio = nullptr; // the count waiting to start
    qint64 m_fisseAlConteggio = 0;       // rows written at their place before the count started
    bool m_scrittaDuranteConteggio = false;
    bool m_spostata = false;
    // The forward read of righeInAvanti, valid while the rows keep their
    // places (each reset, insertion or removal makes a new generation).
    struct LetturaAvanti;
    std::unique_ptr<LetturaAvanti> m_avanti;
    // The values of the list's sort column, read once for the windows far
    // from both ends (finestraDaValori); dropped whenever the list is read
    // again.
    mutable std::unique_ptr<ValoriOrdine> m_valori;
    quint64 m_generazione = 0;
    bool m_cambiando = false;         // rows being inserted or removed, or the model reset
    mutable QSet<qint64> m_richieste; // windows views asked for, to be read
    QSet<qint64> m_finestreFallite;   // windows whose read failed, not asked for again
    bool m_testaFallita = false;      // more rows from the top failed to be read
    std::optional<Errore> m_erroreConteggio;
    Modifica m_mod;
};

} // namespace quarvel::listcmd
