#pragma once
// The load of a terminal file into one inventory: each line's code becomes an
// article (by barcode or by article code, in the set's order), and the row
// of that article in the chosen warehouse, without levels ("~ç~"), takes the
// line's quantity: a new row, or the quantity replaced (the later line of
// the same article wins).
//
// Lines are taken in small blocks (a few thousand lines, or a tenth of a
// second of work): the codes of a block are looked up together, or, when
// the file is large beside the articles, every article is read into memory
// once at the start.  The rows wait, one per article with the quantity of
// its latest line, until enough articles wait or enough lines were read
// since the last write (or the file ends, or the operator stops); then
// they are written in the order of the articles, with one statement per
// many rows, and committed together, so a large file loads at the pace of
// the database and an article counted on many lines is written once.  The
// memory used depends on the number of articles, not on the file's size.
// A write that the database refuses is done again row by row, so that only
// the rows it cannot take are refused.  What a committed write put in stays
// whatever happens later; a lost connection stops the load at once.
// Lines that are not loaded (unknown article, a quantity that is not a
// number, a line too long to be a terminal's, a row the database refused)
// are told to the caller and kept whole, as they were read, in the file of
// refused lines, in the file's order (a row the database refuses when its
// write fails).  Blank lines are counted apart.  A write that finds the
// database locked by another connection is not a refused row: the load
// waits for the lock, telling the caller, and tries again until it gets
// it or the operator stops.  No window: the caller shows progress and
// messages.
//
// Stopping: `avanzamento` is told after each block and, while rows are
// written, about every tenth of a second (then inside the load's
// transaction: the caller must not use the connection from there).  False
// stops the load after the last line read: the rows still waiting are
// written and committed first, so every line read is in (or refused) and a
// reload of the same file gives the same rows as a load never stopped.

#include "inventory/FileTerminale.h"

#include <QElapsedTimer>
#include <QHash>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <functional>
#include <map>
#include <memory>

class QTemporaryFile;

namespace quarvel::inventario {

struct EsitoCarico {
    qint64 righeLette = 0;
    qint64 righeScritte = 0;  // rows inserted or updated
    qint64 righeScartate = 0; // kept in the file of refused lines
    qint64 righeVuote = 0;    // empty or blank: nothing to load
    bool fermato = false;     // the operator stopped it
    bool completo = false;    // every line written, refused or blank
    QString errore;           // why it ended early, for the operator
    QString attesa;           // while the load waits for the database: why
};

// A line the load does not take, for the operator.
struct RigaNonCaricata {
    enum class Causa {
        ArticoloInesistente, // `codice` names no article
        QuantitaNonValida,   // `testo`: what the quantity's field held
        RigaTroppoLunga,     // `lunghezza` bytes
        RifiutataDalDatabase // `testo`: the database's answer
    };
    Causa causa = Causa::ArticoloInesistente;
    qint64 numero = 0; // the line in the file (1 = first)
    QString codice;
    QString testo;
    qint64 lunghezza = 0;

    // The message the operator reads.
    QString Messaggio() const;
};

class CaricoConteggi {
public:
    struct Destinazione {
        QString codInv;    // the inventory shown in the form's header
        QString magazzino; // the warehouse the operator chose
    };

    // Told for each line not loaded but a blank one, with the counts so
    // far.  False: stop telling (the lines still go to the file of refused
    // lines).
    std::function<bool(const RigaNonCaricata&, const EsitoCarico&)> rigaNonCaricata;
    // Told after each block (a few thousand lines at most, or a tenth of a
    // second) and about every tenth of a second while rows are written.
    // False stops the load after the last line read; what was read is
    // written and committed before Carica returns.
    std::function<bool(const EsitoCarico&)> avanzamento;

    CaricoConteggi(QSqlDatabase db, SetCarico set, Destinazione dest);

    // Lines per block at most (a block also ends after a tenth of a second).
    void impostaRighePerBlocco(int n) { m_righePerBlocco = std::max(1, n); }
    // Articles whose rows wait before they are written together: the later
    // line of an article replaces an earlier one still waiting, so an
    // article counted on many lines is written once.  Unless set: 50,000
    // when codes are looked up, every article when all are in memory.
    void impostaArticoliPerScrittura(int n) { m_articoliPerScrittura = std::max(1, n); }
    // Lines read after which the rows waiting are written and committed
    // anyway, however few articles wait.  Unless set: a million.
    void impostaRighePerScrittura(qint64 n) { m_righePerScrittura = std::max<qint64>(1, n); }
    // Every article read into memory at the start, or never, or as the
    // file's size says (a file of a tenth as many lines as there are
    // articles, or more, in a company of at most 500,000 articles).
    enum class Precarico { Secondo, Sempre, Mai };
    void impostaPrecarico(Precarico p) { m_precarico = p; }
    // Codes kept once looked up, before the memory of them is emptied.
    void impostaLimiteCache(int n) { m_limiteCache = std::max(0, n); }
    // The decimals of a quantity ("Mag.NumDecQta"): more are rounded
    // (negative: not rounded).
    void impostaDecimaliQuantita(int n) { m_decimaliQta = n; }
    // How long one attempt waits for a lock another connection holds,
    // before the caller is told and the write is tried again.
    void impostaAttesaBlocco(int millisecondi) { m_attesaBlocco = std::max(1, millisecondi); }

    EsitoCarico Carica(QIODevice& file, FileScarti& scarti);

    // For one line loaded by itself: one search by barcode or by article
    // code (with AddArtPrima and AddArtDopo around it); the article found,
    // or empty.
    QString CercaArticolo(const QString& codice, bool perBarcode);
    // The article of a code, searched as a line's code is; empty: none.
    QString TrovaArticolo(const QString& codice);
    // The article's row written with the quantity (replacing it); false,
    // with the database's answer, when it cannot be.
    bool ScriviRiga(const QString& articolo, double quantita, QString* errore);

private:
    struct Voce {
        QByteArray grezza;
        qint64 numero = 0;
        qint64 inizio = -1; // where the line begins in the file
        QString codice;
        double quantita = 0;
        QString articolo;         // found
        qint32 indice = -1;       // the article's place among those in memory
        bool illeggibile = false; // not searched: refused as it is
        RigaNonCaricata::Causa causa = RigaNonCaricata::Causa::ArticoloInesistente;
        QString testoQuantita;
        qint64 lunghezza = 0;
        std::shared_ptr<QTemporaryFile> lunga; // a line too long to hold
    };
    // The row an article waits to be written with: its latest line.
    struct Pendente {
        QString articolo;
        double quantita = 0;
        qint64 righe = 0;     // the lines it stands for (0: not waiting)
        qint64 numero = 0;    // its latest line
        qint64 inizio = -1;   // the line in the file, read again if refused
        qint32 lunghezza = 0; // its bytes
        QByteArray grezza;    // the line itself, from a file that cannot be read again
    };

    bool Blocco(QVector<Voce>& voci, FileScarti& scarti, EsitoCarico& esito);
    // Writes the rows waiting, in one transaction.
    bool Scarica(FileScarti& scarti, EsitoCarico& esito);
    // The rows waiting, in the order of the inventory's key.
    QVector<const Pendente*> RigheInOrdine();
    // Writes the rows one at a time, refusing only those the database
    // refuses; false when the load cannot go on.
    bool ScriviUnaAllaVolta(const QVector<const Pendente*>& righe, FileScarti& scarti,
                            EsitoCarico& esito);
    // The state of a load about to read `file`.
    void Azzera(QIODevice& file);
    void Accoda(LettoreRighe::Riga& riga, QVector<Voce>& voci, qint64& byteNelBlocco,
                EsitoCarico& esito, const std::function<double(const QString&)>& numero);
    void Risolvi(QVector<Voce>& voci);
    void RisolviInMemoria(Voce& v) const;
    // The articles of the given codes: key = the code folded to lower case.
    void Cerca(bool perBarcode, const QStringList& codici);
    bool Scrivi(const QVector<const Pendente*>& righe, QSqlError* errore);
    bool ConnessionePersa();
    static QString ConnessioneInterrotta();
    void Precarica();
    bool ConvienePrecaricare(const QIODevice& file);
    // The statement prepared once and run again (throws QSqlError).
    QSqlQuery& Istruzione(const QString& sql);
    bool Scarta(const QByteArray& grezza, FileScarti& scarti, EsitoCarico& esito,
                QIODevice* lunga = nullptr);
    // Tells the caller of a line not loaded.
    void Avvisa(const RigaNonCaricata& r, const EsitoCarico& esito);
    // The database answered that another connection holds a lock.
    bool Occupato(const QSqlError& e) const;
    // Waits a moment for the lock, telling the caller; false when the
    // operator stopped (or, with nobody to tell, after a long while).
    bool AttendiBlocco(EsitoCarico& esito, const QString& causa);
    // One transaction writing the rows; `occupato` when a lock stopped it.
    bool ScriviTransazione(const QVector<const Pendente*>& righe, EsitoCarico& esito,
                           QString* errore, bool* occupato);
    QByteArray Grezza(const Pendente& p);
    // Lines can be read again from where they begin.
    bool Rileggibile() const;
    void Svuota();
    // Tells the caller how far the load is, when a tenth of a second has
    // passed (or always); false once the operator asked to stop.
    bool Avanza(const EsitoCarico& esito, bool sempre);

    QSqlDatabase m_db;
    SetCarico m_set;
    Destinazione m_dest;
    int m_righePerBlocco = 4096;
    int m_limiteCache = 65536;
    int m_articoliPerScrittura = 0; // 0: the loader's own
    int m_decimaliQta = -1;
    int m_attesaBlocco = 250;
    qint64 m_attesoFinora = 0; // milliseconds waited for locks, with nobody told
    qint64 m_righePerScrittura = 1000000;
    Precarico m_precarico = Precarico::Secondo;
    bool m_tuttiInMemoria = false;
    // The rows waiting.  With every article in memory, one place per
    // article (its index), made once, so that the memory does not grow
    // with the file; else one place per article waiting, found by m_posizione.
    QVector<Pendente> m_pendenti;
    QVector<qint32> m_attesa;           // places of m_pendenti waiting, as they came
    QHash<QString, qint32> m_posizione; // folded article -> place in m_pendenti
    qint64 m_righeDaScrivere = 0;       // lines read since the last write
    QIODevice* m_file = nullptr;
    bool m_pg = false;
    bool m_avvisa = true;
    bool m_fermare = false; // the operator asked to stop while rows were written
    qint64 m_ultimoAvviso = 0;
    QElapsedTimer m_orologio;
    // codes already looked up: folded code -> article (empty: none)
    QHash<QString, QString> m_barcode;
    QHash<QString, QString> m_articoli;
    // A code compared as the databases compare codes (ASCII letters without
    // regard to case) without a folded copy of it: the articles in memory
    // are keyed by the very text of their names.
    struct CodiceSenzaCaso {
        QString testo;

        static char16_t Piegato(QChar c) {
            const char16_t u = c.unicode();
            return u >= u'A' && u <= u'Z' ? char16_t(u + (u'a' - u'A')) : u;
        }
        friend bool operator==(const CodiceSenzaCaso& a, const CodiceSenzaCaso& b) noexcept {
            const qsizetype n = a.testo.size();
            if (b.testo.size() != n)
                return false;
            const QChar* x = a.testo.constData();
            const QChar* y = b.testo.constData();
            for (qsizetype i = 0; i < n; ++i)
                if (x[i] != y[i] && Piegato(x[i]) != Piegato(y[i]))
                    return false;
            return true;
        }
        friend size_t qHash(const CodiceSenzaCaso& k, size_t seed) noexcept {
            // FNV-1a over the folded text
            size_t h = seed ^ size_t(14695981039346656037ULL);
            const QChar* d = k.testo.constData();
            for (qsizetype i = 0, n = k.testo.size(); i < n; ++i) {
                h ^= Piegato(d[i]);
                h *= size_t(1099511628211ULL);
            }
            return h;
        }
    };
    // every article in memory (m_pendenti holds them, in the order of the
    // codes): article code or barcode -> its index
    QHash<CodiceSenzaCaso, qint32> m_indiceArticolo;
    QHash<CodiceSenzaCaso, qint32> m_indiceBarcode;
    std::map<QString, QSqlQuery> m_istruzioni;
};

} // namespace quarvel::inventario
