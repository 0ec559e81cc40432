#pragma once
// The load of a terminal file into one inventory: each line's code becomes an
// article (by barcode or by article code, in the set's order), and the row
// of that article in the chosen warehouse, without levels ("~ç~"), takes the
// line's quantity: a new row, or the quantity replaced (the later line of
// the same article wins).
//
// Lines are taken in blocks: the codes of a block are looked up together.
// The rows wait, one per article with the quantity of its latest line,
// until enough articles wait (or the file ends, or the operator stops);
// then they are written with one statement per few hundred rows and
// committed together, so a large file loads at the pace of the database
// and an article counted on many lines is written once.  A write that the
// database refuses is done again row by row, so that only the rows it
// cannot take are refused.  What a committed write put in stays whatever
// happens later; a lost connection stops the load at once.
// Lines that are not loaded (unknown article, a NUL byte, a line cut for its
// length, a row the database refused) are kept, as they were read, in the
// file of refused lines.  No window: the caller shows progress and messages.

#include "inventory/FileTerminale.h"

#include <QHash>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <functional>
#include <map>

namespace quarvel::inventario {

struct EsitoCarico {
    qint64 righeLette = 0;
    qint64 righeScritte = 0;  // rows inserted or updated
    qint64 righeScartate = 0; // kept in the file of refused lines
    bool fermato = false;     // the operator stopped it
    bool completo = false;    // every line read and every block committed
    QString errore;           // why it ended early, for the operator
};

class CaricoConteggi {
public:
    struct Destinazione {
        QString codInv;    // the inventory shown in the form's header
        QString magazzino; // the warehouse the operator chose
    };

    // Told for a line whose code names no article.  False: stop telling
    // (the lines still go to the file of refused lines).
    std::function<bool(const QString& codice, qint64 numeroRiga)> articoloInesistente;
    // Told after each block; false stops the load there (what is written stays).
    std::function<bool(const EsitoCarico&)> avanzamento;

    CaricoConteggi(QSqlDatabase db, SetCarico set, Destinazione dest);

    // Lines per block (and per transaction).
    void impostaRighePerBlocco(int n) { m_righePerBlocco = std::max(1, n); }
    // Articles whose rows wait before they are written together: the later
    // line of an article replaces an earlier one still waiting, so an
    // article counted on many lines is written once.
    void impostaArticoliPerScrittura(int n) { m_articoliPerScrittura = std::max(1, n); }
    // Every article read into memory at the start (a file with about as many
    // lines as articles, or more), or never, or as the file's size says.
    enum class Precarico { Secondo, Sempre, Mai };
    void impostaPrecarico(Precarico p) { m_precarico = p; }
    // Codes kept once looked up, before the memory of them is emptied.
    void impostaLimiteCache(int n) { m_limiteCache = std::max(0, n); }

    EsitoCarico Carica(QIODevice& file, FileScarti& scarti);

private:
    struct Voce {
        QByteArray grezza;
        qint64 numero = 0;
        QString codice;
        double quantita = 0;
        QString articolo; // found
    };

    bool Blocco(QVector<Voce>& voci, FileScarti& scarti, EsitoCarico& esito);
    // Writes the rows waiting, in one transaction.
    bool Scarica(FileScarti& scarti, EsitoCarico& esito);
    void Risolvi(QVector<Voce>& voci);
    // The articles of the given codes: key = the code folded to lower case.
    void Cerca(bool perBarcode, const QStringList& codici);
    bool Scrivi(const QVector<const Voce*>& righe, QString* errore);
    bool ConnessionePersa();
    void Precarica();
    bool ConvienePrecaricare(const QIODevice& file);
    // The statement prepared once and run again (throws QSqlError).
    QSqlQuery& Istruzione(const QString& sql);
    bool Scarta(const Voce& v, FileScarti& scarti, EsitoCarico& esito);

    QSqlDatabase m_db;
    SetCarico m_set;
    Destinazione m_dest;
    int m_righePerBlocco = 20000;
    int m_limiteCache = 65536;
    int m_articoliPerScrittura = 50000;
    Precarico m_precarico = Precarico::Secondo;
    bool m_tuttiInMemoria = false;
    struct Pendente {
        Voce voce;        // the article's last line
        qint64 righe = 0; // the lines it stands for
    };
    QVector<Pendente> m_pendenti;
    QHash<QString, qsizetype> m_posizione; // folded article -> place in m_pendenti
    bool m_pg = false;
    bool m_avvisa = true;
    // codes already looked up: folded code -> article (empty: none)
    QHash<QString, QString> m_barcode;
    QHash<QString, QString> m_articoli;
    std::map<QString, QSqlQuery> m_istruzioni;
};

} // namespace quarvel::inventario
