#include "Schema.h"

#include "Connessioni.h"

#include <QDate>
#include <QSqlQuery>
#include <QVariant>

#include <random>

namespace quarvel::dati {

namespace {

const QString Sorgente = QStringLiteral("quarvel-ditta");
const QString TabellaDescrizioni = QStringLiteral("ArticoliDescr");
const QString IndiceTrigrammi = QStringLiteral("articoli_descrizione_trgm");

struct Colonna {
    const char* nome;
    const char* tipo; // T text, TN text not null, TS text 'N', D date, DN date not null, F double,
                      // I integer, IN integer not null
};
struct Tabella {
    const char* nome;
    std::vector<Colonna> colonne;
    std::vector<const char*> chiave;
};

const std::vector<Tabella>& TabelleDitta() {
    static const std::vector<Tabella> t = {
        {"MagDescrInv", {{"CodInv", "TN"}, {"DataInvent", "DN"}, {"Descrizione", "T"}}, {"CodInv"}},
        {"MagInventari",
         {{"CodInv", "TN"},
          {"Articolo", "TN"},
          {"Livello1", "TN"},
          {"Livello2", "TN"},
          {"Magazzino", "TN"},
          {"Giacenza", "F"}},
         {"CodInv", "Articolo", "Livello1", "Livello2", "Magazzino"}},
        {"ArtLiFo",
         {{"Anno", "IN"},
          {"Articolo", "TN"},
          {"Livello1", "TN"},
          {"Livello2", "TN"},
          {"Giacenza", "F"},
          {"ValGiacenza", "F"},
          {"ValMedioUnitario", "F"},
          {"ValGiacenzaLire", "F"},
          {"ValMedioUnitarioLire", "F"}},
         {"Anno", "Articolo", "Livello1", "Livello2"}},
        {"Articoli",
         {{"Articolo", "TN"},
          {"Descrizione", "T"},
          {"BarCode", "T"},
          {"LivGruppo1", "T"},
          {"LivGruppo2", "T"},
          {"Inattivo", "TS"},
          {"FlagLivLis", "T"},
          {"Immagine", "T"}},
         {"Articolo"}},
        {"LivGruppi", {{"LivGruppo", "TN"}, {"Descrizione", "T"}}, {"LivGruppo"}},
        {"Livelli",
         {{"LivGruppo", "TN"}, {"Livello", "TN"}, {"Descrizione", "T"}},
         {"LivGruppo", "Livello"}},
        {"Magazzini", {{"Magazzino", "TN"}, {"Descrizione", "T"}}, {"Magazzino"}},
        {"Monete", {{"Moneta", "TN"}, {"Descrizione", "T"}, {"NumDec", "I"}}, {"Moneta"}},
        {"Clienti",
         {{"Conto", "TN"},
          {"Descrizione", "T"},
          {"Email", "T"},
          {"Email2", "T"},
          {"Email3", "T"},
          {"Email4", "T"}},
         {"Conto"}},
    };
    return t;
}

const std::vector<Tabella>& TabelleComune() {
    static const std::vector<Tabella> t = {
        {"Appoggio",
         {{"Codice", "TN"},
          {"Descr1", "T"},
          {"Descr2", "T"},
          {"Descr3", "T"},
          {"Descr4", "T"},
          {"Descr5", "T"},
          {"Memo1", "T"},
          {"Memo2", "T"},
          {"Memo3", "T"},
          {"Memo4", "T"},
          {"Memo5", "T"}},
         {"Codice"}},
    };
    return t;
}

QString TipoSql(const QString& t, Dialetto d) {
    const bool pg = d == Dialetto::PostgreSQL;
    const QString testo = pg ? QStringLiteral("citext") : QStringLiteral("TEXT COLLATE NOCASE");
    if (t == QLatin1String("T"))
        return testo;
    if (t == QLatin1String("TN"))
        return testo + QStringLiteral(" NOT NULL");
    if (t == QLatin1String("TS"))
        return testo + QStringLiteral(" NOT NULL DEFAULT 'N'");
    if (t == QLatin1String("DN"))
        return QStringLiteral("DATE NOT NULL");
    if (t == QLatin1String("F"))
        return pg ? QStringLiteral("double precision") : QStringLiteral("DOUBLE");
    if (t == QLatin1String("IN"))
        return QStringLiteral("INTEGER NOT NULL");
    return QStringLiteral("INTEGER");
}

QStringList Schema(const std::vector<Tabella>& tabelle, Dialetto d) {
    QStringList s;
    for (const auto& t : tabelle) {
        QStringList parti;
        for (const auto& c : t.colonne)
            parti << QString::fromLatin1(c.nome) + QLatin1Char(' ') +
                         TipoSql(QString::fromLatin1(c.tipo), d);
        QStringList chiave;
        for (const char* k : t.chiave)
            chiave << QString::fromLatin1(k);
        parti << QStringLiteral("PRIMARY KEY (%1)").arg(chiave.join(QStringLiteral(", ")));
        s << QStringLiteral("CREATE TABLE %1 (%2)")
                 .arg(QString::fromLatin1(t.nome), parti.join(QStringLiteral(", ")));
        if (qstrcmp(t.nome, "Articoli") == 0)
            s << QStringLiteral("CREATE INDEX Articoli_BarCode ON Articoli (BarCode)");
    }
    return s;
}

void Esegui(QSqlDatabase& db, const QString& sql) {
    QSqlQuery q(db);
    if (!q.exec(sql))
        throw MappaErrore(db, q.lastError(), Sorgente);
}

void Crea(QSqlDatabase& db, const std::vector<Tabella>& tabelle, bool sostituisci) {
    const Dialetto d = Info(db).dialetto;
    if (sostituisci) {
        for (const auto& t : tabelle)
            Esegui(db, QStringLiteral("DROP TABLE IF EXISTS %1").arg(QString::fromLatin1(t.nome)));
        if (d == Dialetto::SQLite && &tabelle == &TabelleDitta())
            Esegui(db, QStringLiteral("DROP TABLE IF EXISTS ") + TabellaDescrizioni);
    }
    for (const QString& s : Schema(tabelle, d))
        Esegui(db, s);
}

bool Esiste(QSqlDatabase& db, const QString& sql) {
    QSqlQuery q(db);
    if (!q.exec(sql))
        throw MappaErrore(db, q.lastError(), Sorgente);
    return q.next();
}

// Rows go in batches: one prepared statement of many rows (PostgreSQL: one
// round trip per batch), one row at a time on SQLite (no round trips).
class Inseritore {
public:
    Inseritore(QSqlDatabase& db, const QString& tabella, int colonne)
        : m_db(db), m_tabella(tabella), m_colonne(colonne),
          m_lotto(Info(db).dialetto == Dialetto::SQLite ? 1 : qMax(1, 2000 / colonne)), m_q(db) {
        Prepara(m_q, m_lotto);
    }
    ~Inseritore() noexcept(false) { Svuota(); }

    void Riga(const QVariantList& valori) {
        m_attesa << valori;
        if (m_attesa.size() == m_lotto * m_colonne) {
            Lancia(m_q, m_attesa);
            m_attesa.clear();
        }
    }

    void Svuota() {
        if (m_attesa.isEmpty())
            return;
        QSqlQuery q(m_db);
        Prepara(q, int(m_attesa.size() / m_colonne));
        Lancia(q, m_attesa);
        m_attesa.clear();
    }

private:
    QSqlDatabase& m_db;
    QString m_tabella;
    int m_colonne;
    int m_lotto;
    QSqlQuery m_q;
    QVariantList m_attesa;

    void Prepara(QSqlQuery& q, int righe) {
        QStringList segni;
        for (int i = 0; i < m_colonne; ++i)
            segni << QStringLiteral("?");
        const QString riga = QLatin1Char('(') + segni.join(QLatin1Char(',')) + QLatin1Char(')');
        QStringList righeTesto;
        for (int i = 0; i < righe; ++i)
            righeTesto << riga;
        if (!q.prepare(QStringLiteral("INSERT INTO %1 VALUES %2")
                           .arg(m_tabella, righeTesto.join(QLatin1Char(',')))))
            throw MappaErrore(m_db, q.lastError(), Sorgente);
    }
    void Lancia(QSqlQuery& q, const QVariantList& valori) {
        for (int i = 0; i < valori.size(); ++i)
            q.bindValue(i, valori[i]);
        if (!q.exec())
            throw MappaErrore(m_db, q.lastError(), Sorgente);
    }
};

QString Ean13(quint64 base12) {
    QString s = QStringLiteral("%1").arg(base12, 12, 10, QLatin1Char('0'));
    int somma = 0;
    for (int i = 0; i < 12; ++i)
        somma += (s.at(i).digitValue()) * (i % 2 ? 3 : 1);
    return s + QString::number((10 - somma % 10) % 10);
}

class Transazione {
public:
    explicit Transazione(QSqlDatabase& db) : m_db(db) {
        if (!m_db.transaction())
            throw MappaErrore(m_db, m_db.lastError(), Sorgente);
    }
    void Conferma() {
        if (!m_db.commit())
            throw MappaErrore(m_db, m_db.lastError(), Sorgente);
        m_fatto = true;
    }
    ~Transazione() {
        if (!m_fatto)
            m_db.rollback();
    }

private:
    QSqlDatabase& m_db;
    bool m_fatto = false;
};

// The words' index of the descriptions: a trigram table of each description
// between two blanks (a word's beginning is then always a blank and its first
// characters, a word of one character a blank, the character and a blank),
// without a copy of the text, kept in step by triggers.
void CreaDescrizioniSqlite(QSqlDatabase& db) {
    Esegui(db, QStringLiteral("CREATE VIRTUAL TABLE %1 USING fts5(Descrizione, content='', "
                              "tokenize='trigram')")
                   .arg(TabellaDescrizioni));
    for (const char* nome : {"ArticoliDescr_ins", "ArticoliDescr_del", "ArticoliDescr_upd"})
        Esegui(db, QStringLiteral("DROP TRIGGER IF EXISTS ") + QString::fromLatin1(nome));
    const QString togli =
        QStringLiteral("INSERT INTO %1 (%1, rowid, Descrizione) SELECT 'delete', "
                       "old.rowid, ' ' || old.Descrizione || ' ' WHERE old.Descrizione "
                       "IS NOT NULL;")
            .arg(TabellaDescrizioni);
    const QString metti =
        QStringLiteral("INSERT INTO %1 (rowid, Descrizione) SELECT new.rowid, "
                       "' ' || new.Descrizione || ' ' WHERE new.Descrizione IS NOT "
                       "NULL;")
            .arg(TabellaDescrizioni);
    Esegui(db, QStringLiteral("CREATE TRIGGER ArticoliDescr_ins AFTER INSERT ON Articoli BEGIN ") +
                   metti + QStringLiteral(" END"));
    Esegui(db, QStringLiteral("CREATE TRIGGER ArticoliDescr_del AFTER DELETE ON Articoli BEGIN ") +
                   togli + QStringLiteral(" END"));
    Esegui(db, QStringLiteral("CREATE TRIGGER ArticoliDescr_upd AFTER UPDATE ON Articoli WHEN "
                              "old.Descrizione IS NOT new.Descrizione Or old.rowid <> new.rowid "
                              "BEGIN ") +
                   togli + QLatin1Char(' ') + metti + QStringLiteral(" END"));
    Esegui(db, QStringLiteral("INSERT INTO %1 (rowid, Descrizione) SELECT rowid, ' ' || "
                              "Descrizione || ' ' FROM Articoli WHERE Descrizione IS NOT NULL")
                   .arg(TabellaDescrizioni));
}

} // namespace

QStringList SchemaDitta(const QSqlDatabase& db) {
    return Schema(TabelleDitta(), Info(db).dialetto);
}
QStringList SchemaComune(const QSqlDatabase& db) {
    return Schema(TabelleComune(), Info(db).dialetto);
}

void CreaDitta(QSqlDatabase& db, bool sostituisci) {
    Crea(db, TabelleDitta(), sostituisci);
    CompletaIndici(db);
}
void CreaComune(QSqlDatabase& db, bool sostituisci) {
    Crea(db, TabelleComune(), sostituisci);
}

QStringList CompletaIndici(QSqlDatabase& db) {
    QStringList fatti;
    if (Info(db).dialetto == Dialetto::SQLite) {
        // A table made before the blank after the description is made again.
        const bool esiste = Esiste(db, QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = "
                                                      "'table' And name = '%1' COLLATE NOCASE")
                                           .arg(TabellaDescrizioni));
        if (esiste && Esiste(db, QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = "
                                                "'trigger' And name = 'ArticoliDescr_ins' And "
                                                "sql LIKE '%Descrizione || '' '' WHERE%'")))
            return fatti;
        // A savepoint: all or nothing, inside a caller's transaction too (a
        // table left without its rows would hide articles from the search).
        Esegui(db, QStringLiteral("SAVEPOINT indici_descrizioni"));
        try {
            if (esiste)
                Esegui(db, QStringLiteral("DROP TABLE %1").arg(TabellaDescrizioni));
            CreaDescrizioniSqlite(db);
        } catch (...) {
            QSqlQuery(db).exec(QStringLiteral("ROLLBACK TO indici_descrizioni"));
            QSqlQuery(db).exec(QStringLiteral("RELEASE indici_descrizioni"));
            throw;
        }
        Esegui(db, QStringLiteral("RELEASE indici_descrizioni"));
        fatti << QStringLiteral("l'indice per parole delle descrizioni degli articoli (%1)")
                     .arg(TabellaDescrizioni);
        return fatti;
    }
    // PostgreSQL: a trigram index, when the database has the pg_trgm extension.
    if (!Esiste(db, QStringLiteral("SELECT 1 FROM pg_extension WHERE extname = 'pg_trgm'")))
        return fatti;
    if (Esiste(db, QStringLiteral("SELECT 1 FROM pg_class WHERE relname = '%1' And relkind = 'i' "
                                  "And pg_table_is_visible(oid)")
                       .arg(IndiceTrigrammi)))
        return fatti;
    Esegui(db, QStringLiteral("CREATE INDEX %1 ON Articoli USING gin ((Descrizione::text) "
                              "gin_trgm_ops)")
                   .arg(IndiceTrigrammi));
    Esegui(db, QStringLiteral("ANALYZE Articoli"));
    fatti << QStringLiteral("l'indice per trigrammi delle descrizioni degli articoli (%1)")
                 .arg(IndiceTrigrammi);
    return fatti;
}

namespace {

// The demo company's data, table by table.  The quantities and values draw
// from one sequence (caso) in a fixed order: the same seed gives the same
// company.

void DemoMagazzini(QSqlDatabase& db, int magazzini) {
    Inseritore m(db, QStringLiteral("Magazzini"), 2);
    static const char* nomi[] = {"Sede",    "Deposito Nord", "Deposito Sud",
                                 "Negozio", "Conto visione", "Resi"};
    for (int i = 0; i < magazzini; ++i)
        m.Riga({QStringLiteral("M%1").arg(i + 1, 2, 10, QLatin1Char('0')),
                i < 6 ? QString::fromLatin1(nomi[i]) : QStringLiteral("Magazzino %1").arg(i + 1)});
}

void DemoLivelli(QSqlDatabase& db) {
    Inseritore g(db, QStringLiteral("LivGruppi"), 2);
    g.Riga({QStringLiteral("TG"), QStringLiteral("Taglia")});
    g.Riga({QStringLiteral("CL"), QStringLiteral("Colore")});
    g.Riga({QStringLiteral("NR"), QVariant()}); // a group without description
    Inseritore l(db, QStringLiteral("Livelli"), 3);
    for (const char* x : {"S", "M", "L", "XL"})
        l.Riga({QStringLiteral("TG"), QString::fromLatin1(x),
                QStringLiteral("Taglia ") + QString::fromLatin1(x)});
    for (const char* x : {"ROSSO", "BLU", "NERO"})
        l.Riga({QStringLiteral("CL"), QString::fromLatin1(x),
                QString::fromLatin1(x).left(1) + QString::fromLatin1(x).mid(1).toLower()});
    for (const char* x : {"01", "02"})
        l.Riga({QStringLiteral("NR"), QString::fromLatin1(x), QVariant()});
}

QString CodiceDemo(qint64 a) {
    return QStringLiteral("ART%1").arg(a, 6, 10, QLatin1Char('0'));
}

// The levels of a demo article's rows ("~ç~" where the article has none).
void LivelliDemo(qint64 a, QString& l1, QString& l2) {
    static const char* taglie[] = {"S", "M", "L", "XL"};
    static const char* colori[] = {"ROSSO", "BLU", "NERO"};
    const QString nessuno = QStringLiteral("~ç~");
    l1 = nessuno;
    l2 = nessuno;
    if (a % 5 == 0)
        l1 = QString::fromLatin1(taglie[(a / 5) % 4]);
    if (a % 10 == 0 || a % 7 == 0)
        l2 = QString::fromLatin1(colori[(a / 7) % 3]);
}

void DemoArticoli(QSqlDatabase& db, qint64 articoli) {
    Inseritore ar(db, QStringLiteral("Articoli"), 8);
    for (qint64 a = 1; a <= articoli; ++a) {
        QVariant g1, g2;
        if (a % 5 == 0)
            g1 = QStringLiteral("TG");
        if (a % 10 == 0 || a % 7 == 0)
            g2 = QStringLiteral("CL"); // a % 7 alone: only the second group
        ar.Riga({CodiceDemo(a), QStringLiteral("Articolo dimostrativo %1").arg(a),
                 a % 3 == 0 ? QVariant() : QVariant(Ean13(800000000000ULL + quint64(a))), g1, g2,
                 a % 13 == 0 ? QStringLiteral("S") : QStringLiteral("N"), QStringLiteral("N"),
                 // a picture for some of the first articles (drawn by quarvel-ditta)
                 a % 4 == 1 && a <= 100 ? QVariant(CodiceDemo(a) + QStringLiteral(".png"))
                                        : QVariant()});
    }
}

void DemoInventari(QSqlDatabase& db, std::mt19937& caso, const OpzioniDemo& o, int magazzini,
                   qint64 articoli) {
    Inseritore h(db, QStringLiteral("MagDescrInv"), 3);
    h.Riga({QStringLiteral("INV2023"), QDate(2023, 12, 31), QStringLiteral("Inventario 2023")});
    h.Riga({QStringLiteral("INV2024"), QDate(2024, 12, 31), QStringLiteral("Inventario 2024")});
    h.Riga({QStringLiteral("INV2025"), QDate(2024, 12, 31), QVariant()});
    Inseritore r(db, QStringLiteral("MagInventari"), 6);
    auto conteggi = [&](const QString& inv, qint64 righe) {
        for (qint64 i = 0; i < righe; ++i) {
            const qint64 a = i / magazzini + 1;
            QString l1, l2;
            LivelliDemo(a, l1, l2);
            const double q = double(caso() % 100000) / 100.0;
            r.Riga({inv, CodiceDemo(a), l1, l2,
                    QStringLiteral("M%1").arg(i % magazzini + 1, 2, 10, QLatin1Char('0')), q});
        }
    };
    conteggi(QStringLiteral("INV2023"), qMin<qint64>(o.righeInventario, 60));
    conteggi(QStringLiteral("INV2024"), o.righeInventario);
    // A recount on the same date, of the first articles of the main
    // warehouse: the latest inventory, the one the counts form proposes,
    // shows real rows.  Its quantities do not draw from the sequence the
    // other demo values come from.
    for (qint64 a = 1; a <= qMin<qint64>(articoli, qMin<qint64>(o.righeInventario, 40)); ++a) {
        QString l1, l2;
        LivelliDemo(a, l1, l2);
        r.Riga({QStringLiteral("INV2025"), CodiceDemo(a), l1, l2, QStringLiteral("M01"),
                double((a * 37) % 250) + double(a % 4) * 0.25});
    }
}

void DemoLifo(QSqlDatabase& db, std::mt19937& caso, qint64 articoli) {
    Inseritore l(db, QStringLiteral("ArtLiFo"), 9);
    const double cambio = 1936.27;
    for (qint64 a = 1; a <= qMin<qint64>(articoli, 100); ++a) {
        QString l1, l2;
        LivelliDemo(a, l1, l2);
        for (int anno = 2021; anno <= 2024; ++anno) {
            const double q = (a + anno) % 9 == 0 ? 0.0 : double(caso() % 500);
            const double valore = q * (double(caso() % 10000) / 100.0 + 1.0);
            const double medio = q == 0 ? 0.0 : valore / q;
            // lire have no decimals
            l.Riga({anno, CodiceDemo(a), l1, l2, q, valore, medio,
                    double(qRound64(valore * cambio)), double(qRound64(medio * cambio))});
        }
    }
    // The years before the euro: amounts kept in lire, the euro derived
    // from them, for the first articles (levels included).
    for (qint64 a = 1; a <= qMin<qint64>(articoli, 20); ++a) {
        QString l1, l2;
        LivelliDemo(a, l1, l2);
        for (int anno = 1999; anno <= 2001; ++anno) {
            const double q = (a + anno) % 7 == 0 ? 0.0 : double(10 + caso() % 300);
            const double lire = q * double(1000 + (caso() % 190) * 500);
            const double medioLire = q == 0 ? 0.0 : double(qRound64(lire / q));
            const double euro = double(qRound64(lire / cambio * 100.0)) / 100.0;
            const double medio = double(qRound64(medioLire / cambio * 100.0)) / 100.0;
            l.Riga({anno, CodiceDemo(a), l1, l2, q, euro, medio, lire, medioLire});
        }
    }
}

void DemoMonete(QSqlDatabase& db) {
    Inseritore m(db, QStringLiteral("Monete"), 3);
    m.Riga({QStringLiteral("L."), QStringLiteral("Lire"), 0});
    m.Riga({QStringLiteral("Euro"), QStringLiteral("Euro"), 2});
}

void DemoClienti(QSqlDatabase& db) {
    Inseritore c(db, QStringLiteral("Clienti"), 6);
    static const char* nomi[] = {"Rossi Forniture srl", "Bianchi & Figli snc",
                                 "Verdi Abbigliamento", "Neri Calzature spa",
                                 "Gialli Tessuti",      "Blu Sport"};
    for (int i = 0; i < 6; ++i) {
        const QString dominio =
            QString::fromLatin1(nomi[i]).section(QLatin1Char(' '), 0, 0).toLower() +
            QStringLiteral(".example.it");
        c.Riga({QStringLiteral("C%1").arg(i + 1, 4, 10, QLatin1Char('0')),
                QString::fromLatin1(nomi[i]), QStringLiteral("info@") + dominio,
                i % 2 ? QVariant() : QVariant(QStringLiteral("amministrazione@") + dominio),
                i % 3 ? QVariant() : QVariant(QStringLiteral("commerciale@") + dominio),
                i == 0 ? QVariant(QStringLiteral("spedizioni@") + dominio) : QVariant()});
    }
}

// Fresh statistics after a bulk load; on PostgreSQL the vacuum also sets
// the visibility map, so that counting an inventory reads its index only.
void AggiornaStatistiche(QSqlDatabase& db) {
    if (Info(db).dialetto == Dialetto::PostgreSQL) {
        QStringList tabelle;
        for (const auto& t : TabelleDitta())
            tabelle << QString::fromLatin1(t.nome);
        Esegui(db, QStringLiteral("VACUUM ANALYZE ") + tabelle.join(QStringLiteral(", ")));
    } else {
        Esegui(db, QStringLiteral("ANALYZE"));
    }
}

} // namespace

void GeneraDemo(QSqlDatabase& db, const OpzioniDemo& o) {
    std::mt19937 caso(o.seme);
    const int magazzini = qMax(1, o.magazzini);
    const qint64 articoli = qMax<qint64>(40, (o.righeInventario + magazzini - 1) / magazzini);
    Transazione t(db);
    DemoMagazzini(db, magazzini);
    DemoLivelli(db);
    DemoArticoli(db, articoli);
    DemoInventari(db, caso, o, magazzini, articoli);
    DemoLifo(db, caso, articoli);
    DemoMonete(db);
    DemoClienti(db);
    t.Conferma();
    AggiornaStatistiche(db);
}

void GeneraDemoComune(QSqlDatabase& db) {
    Transazione t(db);
    {
        Inseritore a(db, QStringLiteral("Appoggio"), 11);
        a.Riga({QStringLiteral("PdfEmail"), QStringLiteral("Stampa §Titolo§ del §Data§"),
                QStringLiteral("Documento §Titolo§"), QVariant(), QVariant(), QVariant(),
                QStringLiteral("Buongiorno,\r\nin allegato la stampa §Titolo§ del §Data§.\r\n"
                               "Cordiali saluti"),
                QStringLiteral("In allegato il documento §Titolo§."), QVariant(), QVariant(),
                QVariant()});
    }
    t.Conferma();
}

} // namespace quarvel::dati
