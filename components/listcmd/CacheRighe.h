#pragma once
// The rows of a list kept in memory, and where each one stands in the list.
// No SQL here: the rows come from a reader the caller gives (in the grid, a
// window of the list's SELECT), so the places can be checked on any list.
//
// Windows.  Rows are read a window at a time (righeFinestra rows from a
// multiple of it); at most finestreMassime windows are kept, the one used
// longest ago leaving first.
//
// Head and tail.  While the list is being counted its length is not known:
// the rows known are those read from the top (the head, read on a window at
// a time) and, once the last row was asked for, the last window read from
// the end (the tail).  The total arriving puts the rows between the two in
// place.
//
// Rows written here.  A row written keeps its place; the reader leaves such
// rows out of every read, so the other rows keep their places counted
// without them, from the top as from the end.  Rows inserted here stay at
// the end of the list.
//
// Neighbours.  A window is read with one row more on the side of a
// neighbour in memory: when that row is not the neighbour's (by key), or the
// window comes back short, the list moved under the rows read (rows added or
// deleted elsewhere) and the window is not kept.

#include <QHash>
#include <QList>
#include <QVariant>
#include <QVector>
#include <functional>

namespace quarvel::listcmd {

class CacheRighe {
public:
    using Riga = QVector<QVariant>;
    // Reads quante rows of the list, the rows written here left out, from
    // offset (from the end when dallaFine; given back in the list's order).
    using Lettore = std::function<QVector<Riga>(qint64 offset, qint64 quante, bool dallaFine)>;

    explicit CacheRighe(int righeFinestra = 128, int finestreMassime = 12)
        : m_righeFinestra(righeFinestra), m_finestreMassime(finestreMassime) {}

    int righeFinestra() const { return m_righeFinestra; }
    // Where the key's values are in a row.
    void impostaChiavi(const QList<int>& posizioni) { m_posChiavi = posizioni; }
    QVariantList chiaveDi(const Riga& r) const;

    // Forgets everything, the rows inserted here too: another list.
    void azzera();
    // Forgets the rows read and written here (not those inserted here).  A
    // window that came back short stays noted: the list read again, the
    // window is taken the next time it comes back short, so a count that
    // keeps disagreeing with the rows does not read the list again and again.
    void svuota();
    void svuotaAggiunte() { m_aggiunte.clear(); }
    // The list just read: its first window (no total known yet).
    void inizia(QVector<Riga> prime);
    // The list's rows in the database are n, all of them known.
    void impostaTotale(qint64 n);
    // The first window was full: the rest is being counted.
    void iniziaConteggio();

    bool totaleNoto() const { return m_totaleNoto; }
    // Rows known from the top while counting.
    qint64 testa() const { return m_testa; }
    bool codaLetta() const { return !m_coda.isEmpty(); }
    // Rows of the list in the database (while counting: those known).
    qint64 righeDb() const { return m_totaleNoto ? m_totaleDb : m_testa + m_coda.size(); }
    // ... and those inserted here.
    qint64 totale() const { return righeDb() + m_aggiunte.size(); }
    int finestre() const { return int(m_finestre.size()); }

    // A row of the list in memory (nullptr when its window is not), the
    // window marked as just used.  A row missing from a window read short
    // from the end is an empty row.
    const Riga* riga(qint64 r);
    // The window to read for the row; -1 when it is in memory or none is.
    qint64 finestraMancante(qint64 r) const;
    // A row in memory, nothing marked; nullptr for an empty one.
    const Riga* inMemoria(qint64 r) const;

    // ---- reading ---------------------------------------------------------------
    enum class Esito { Nulla, Letta, Spostata };
    // Reads window f (neighbours checked).  Spostata: the list moved.  A
    // window read short once is taken the next time, its missing rows empty.
    Esito caricaFinestra(qint64 f, const Lettore& leggi);
    // The rows of places [inizio, inizio + quante): those written here from
    // memory, the others read past the rows written before them (from the
    // end: after them; fine is then the list's length).
    QVector<Riga> leggiPosti(qint64 inizio, qint64 quante, bool dallaFine, qint64 fine,
                             const Lettore& leggi) const;

    // The next window below the head while counting; spostata when its row
    // before is not the head's last.  The rows are not kept yet.
    QVector<Riga> leggiTesta(const Lettore& leggi, bool* spostata) const;
    // The rows of leggiTesta at the end of the head (fewer than a window:
    // the list ends there and the total is known).
    void aggiungiTesta(QVector<Riga> righe);
    // The last window, read from the end, less the rows the head already
    // holds; unita when it holds the head's last row (the list is known).
    // (the head's last row, whose window is to be in memory, is the last
    // one read there, the rows written here apart)
    QVector<Riga> leggiCoda(const Lettore& leggi, bool* unita) const;
    qint64 ultimaLettaInTesta() const;
    void impostaCoda(QVector<Riga> coda, bool unita);
    // The total arrived while counting: how many rows go between head and
    // tail (negative: the list lost rows, to be read again).
    qint64 buco(qint64 totale) const { return totale - (m_testa + m_coda.size()); }
    void accogliTotale(qint64 totale);

    // ---- rows written here -----------------------------------------------------
    // A row written here kept at its place r.
    void fissa(qint64 r, const Riga& x) { m_fisse.insert(r, x); }
    bool fissa(qint64 r) const { return m_fisse.contains(r); }
    // Places of the rows written here within the list, in order.
    QList<qint64> postiFissi() const;
    // The keys of the rows written here and of those inserted.
    QList<QVariantList> chiaviScritte() const;
    // Rows inserted at place da: the rows written here after it move down.
    void spostaFisse(qint64 da, qint64 quante);
    void aggiungi(const Riga& x) { m_aggiunte.append(x); }
    // A row inserted here (i from 0).
    const Riga* aggiunta(qint64 i) const {
        return i >= 0 && i < m_aggiunte.size() ? &m_aggiunte[i] : nullptr;
    }
    // A row inserted here (i from 0) read again.
    void sostituisciAggiunta(qint64 i, const Riga& x) { m_aggiunte[i] = x; }

private:
    void metti(qint64 f, QVector<Riga> righe);

    int m_righeFinestra;
    int m_finestreMassime;
    QList<int> m_posChiavi;
    qint64 m_totaleDb = 0;
    bool m_totaleNoto = true;
    qint64 m_testa = 0;       // rows known from the top while counting
    QVector<Riga> m_coda;     // the last rows, read from the end
    qint64 m_inizioCoda = -1; // their place once the total is known
    bool m_cortaRiletta = false;
    QHash<qint64, QVector<Riga>> m_finestre;
    QList<qint64> m_lru;
    QHash<qint64, Riga> m_fisse;
    QVector<Riga> m_aggiunte;
};

} // namespace quarvel::listcmd
