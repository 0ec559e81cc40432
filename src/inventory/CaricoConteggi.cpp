#include "inventory/CaricoConteggi.h"

#include "suite/Utilita.h"

#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryFile>
#include <QThread>
#include <algorithm>

namespace quarvel::inventario {

namespace {

// Codes looked up with one statement.  On the server a statement costs a
// round trip, so it takes many; SQLite runs in the process and its driver
// binds a statement's parameters in a time that grows with the square of
// their number, so there a few at a time.  Each statement is prepared once
// and run again.
int CodiciPerRicerca(bool server) {
    return server ? 5000 : 25;
}

const QString SenzaLivello = QStringLiteral("~ç~");

// A code folded as the databases compare codes: ASCII letters without
// regard to case (SQLite's NOCASE; citext under the C character classes
// the company databases are made with).
QString Chiave(const QString& codice) {
    const QChar* d = codice.constData();
    const qsizetype n = codice.size();
    qsizetype i = 0;
    while (i < n && !(d[i].unicode() >= 'A' && d[i].unicode() <= 'Z'))
        ++i;
    if (i == n)
        return codice; // already folded (a barcode of digits): shared, not copied
    QString k = codice;
    QChar* w = k.data();
    for (; i < n; ++i)
        if (w[i].unicode() >= 'A' && w[i].unicode() <= 'Z')
            w[i] = QChar(w[i].unicode() + ('a' - 'A'));
    return k;
}

// Rows waiting, before they are written: unless the caller says otherwise,
// this many when codes are looked up (every article when all are in memory).
constexpr int ArticoliPerScritturaCercando = 50000;
// Companies with more articles than this look codes up, whatever the file
// (each article held in memory costs a few hundred bytes).
constexpr qint64 MassimoArticoliInMemoria = 500000;
// A block ends, and the caller is told, after this long.
constexpr qint64 MillisecondiPerAvviso = 100;
// A block ends when its lines hold this many bytes.
constexpr qint64 BytePerBlocco = 16 << 20;

enum class Ricerca { Nessuna, Barcode, Articolo };

// A text array of the server, each element quoted.
QString ArrayTesto(const QStringList& elementi) {
    QString a = QStringLiteral("{");
    for (qsizetype i = 0; i < elementi.size(); ++i) {
        QString e = elementi[i];
        e.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
        e.replace(QLatin1Char('"'), QLatin1String("\\\""));
        if (i > 0)
            a += QLatin1Char(',');
        a += QLatin1Char('"') + e + QLatin1Char('"');
    }
    return a + QLatin1Char('}');
}

// A code holding a NUL character names no article: no database keeps one
// in a code (the server cannot even be asked about it).
bool ConNul(const QString& codice) {
    return codice.contains(QChar(0));
}

Ricerca DaLettera(QChar c) {
    const QChar m = c.toUpper();
    if (m == QLatin1Char('B'))
        return Ricerca::Barcode;
    if (m == QLatin1Char('C'))
        return Ricerca::Articolo;
    return Ricerca::Nessuna;
}

// What a line searches, first and second, and the keys of each kind of search.
struct Piano {
    Ricerca prima = Ricerca::Nessuna, seconda = Ricerca::Nessuna;
    QString barcode, articolo;
    const QString& Chiave(Ricerca r) const { return r == Ricerca::Barcode ? barcode : articolo; }
};

QString ConAggiunte(const SetCarico& set, const QString& codice) {
    if (set.addArtPrima.isEmpty() && set.addArtDopo.isEmpty())
        return codice;
    return set.addArtPrima + codice + set.addArtDopo;
}

Piano PianoDi(const QString& codice, const SetCarico& set) {
    Piano p;
    const QString& seq = set.codArtSeqRic;
    if (!set.codArtInizIdent.isEmpty() &&
        codice.startsWith(set.codArtInizIdent, Qt::CaseInsensitive)) {
        // marked as an article code: that search alone
        p.prima = Ricerca::Articolo;
        p.articolo = ConAggiunte(set, codice.mid(set.codArtInizIdent.size()));
        return p;
    }
    p.barcode = codice;
    p.articolo = ConAggiunte(set, codice);
    p.prima = seq.isEmpty() ? Ricerca::Barcode : DaLettera(seq.at(0));
    if (p.prima == Ricerca::Nessuna)
        p.prima = Ricerca::Articolo; // any letter but B searches by article first
    if (seq.size() != 1)
        p.seconda = seq.isEmpty() ? Ricerca::Articolo : DaLettera(seq.at(1));
    return p;
}

} // namespace

QString CaricoConteggi::ConnessioneInterrotta() {
    return QStringLiteral("La connessione al database si è interrotta: %1");
}

QString RigaNonCaricata::Messaggio() const {
    const QString impossibile = QStringLiteral("\r\nImpossibile caricare la riga letta");
    switch (causa) {
    case Causa::ArticoloInesistente:
        break;
    case Causa::QuantitaNonValida:
        return QStringLiteral("Quantità \"%1\" non valida alla riga %2 (codice %3).")
                   .arg(testo)
                   .arg(numero)
                   .arg(codice) +
               impossibile;
    case Causa::RigaTroppoLunga:
        return QStringLiteral("Riga %1 troppo lunga (%2 byte): non è una riga del terminale.")
                   .arg(numero)
                   .arg(lunghezza) +
               impossibile;
    case Causa::RifiutataDalDatabase:
        return QStringLiteral("Articolo %1 della riga %2 rifiutato dal database: %3")
                   .arg(codice)
                   .arg(numero)
                   .arg(testo) +
               impossibile;
    }
    return QStringLiteral("Articolo ") + codice + QStringLiteral(" Inesistente.") + impossibile;
}

CaricoConteggi::CaricoConteggi(QSqlDatabase db, SetCarico set, Destinazione dest)
    : m_db(std::move(db)), m_set(std::move(set)), m_dest(std::move(dest)) {
    m_pg = m_db.driverName() != QLatin1String("QSQLITE");
}

void CaricoConteggi::Cerca(bool perBarcode, const QStringList& codici) {
    QHash<QString, QString>& cache = perBarcode ? m_barcode : m_articoli;
    const int passo = CodiciPerRicerca(m_pg);
    const QString colonna = perBarcode ? QStringLiteral("BarCode") : QStringLiteral("Articolo");
    for (qsizetype inizio = 0; inizio < codici.size(); inizio += passo) {
        const QStringList parte = codici.mid(inizio, passo);
        QString sql = QStringLiteral("SELECT %1, Articolo FROM Articoli WHERE %1 ").arg(colonna);
        const QString ordine = QStringLiteral(" ORDER BY Articolo"); // a shared barcode: the first
        if (m_pg) {
            // the server takes the codes as one array: one parameter, one plan
            sql += QStringLiteral("= ANY(CAST(? AS citext[]))");
        } else {
            QStringList segni;
            segni.reserve(parte.size());
            for (qsizetype i = 0; i < parte.size(); ++i)
                segni << QStringLiteral("?");
            sql += QStringLiteral("IN (%1)").arg(segni.join(QLatin1Char(',')));
        }
        sql += ordine;
        QSqlQuery& q = Istruzione(sql);
        if (m_pg) {
            q.addBindValue(ArrayTesto(parte));
        } else {
            for (const QString& c : parte)
                q.addBindValue(c);
        }
        if (!q.exec())
            throw q.lastError();
        while (q.next()) {
            const QString k = Chiave(q.value(0).toString());
            // the first row of a barcode several articles share
            if (!cache.contains(k) || cache.value(k).isEmpty())
                cache.insert(k, q.value(1).toString());
        }
        q.finish();
        for (const QString& c : parte) // codes that found nothing are known too
            if (!cache.contains(Chiave(c)))
                cache.insert(Chiave(c), QString());
    }
}

void CaricoConteggi::RisolviInMemoria(Voce& v) const {
    if (v.illeggibile)
        return;
    const Piano p = PianoDi(v.codice, m_set);
    for (const Ricerca r : {p.prima, p.seconda}) {
        if (r == Ricerca::Nessuna)
            continue;
        const QHash<CodiceSenzaCaso, qint32>& indice =
            r == Ricerca::Barcode ? m_indiceBarcode : m_indiceArticolo;
        const auto it = indice.constFind(CodiceSenzaCaso{p.Chiave(r)});
        if (it != indice.cend()) {
            v.indice = *it;
            v.articolo = m_pendenti.at(*it).articolo;
            return;
        }
    }
}

void CaricoConteggi::Risolvi(QVector<Voce>& voci) {
    // Many articles, or ever new codes: the memory stays bounded.  Emptied
    // here, before a block decides what it must look up.
    if (m_barcode.size() + m_articoli.size() > m_limiteCache) {
        m_barcode.clear();
        m_articoli.clear();
    }
    QVector<Piano> piani;
    piani.reserve(voci.size());
    for (const Voce& v : std::as_const(voci))
        piani << (v.illeggibile || ConNul(v.codice) ? Piano{} : PianoDi(v.codice, m_set));

    auto chiaveDi = [](const Piano& p, Ricerca r) { return p.Chiave(r); };
    auto trovato = [this](Ricerca r, const QString& k) {
        return (r == Ricerca::Barcode ? m_barcode : m_articoli).value(Chiave(k));
    };
    for (int passo = 0; passo < 2; ++passo) {
        QStringList barcode, articoli;
        QSet<QString> visti;
        for (qsizetype i = 0; i < voci.size(); ++i) {
            if (!voci[i].articolo.isEmpty())
                continue;
            const Ricerca r = passo == 0 ? piani[i].prima : piani[i].seconda;
            if (r == Ricerca::Nessuna)
                continue;
            const QString k = chiaveDi(piani[i], r);
            QHash<QString, QString>& cache = r == Ricerca::Barcode ? m_barcode : m_articoli;
            const QString tag =
                (r == Ricerca::Barcode ? QLatin1Char('b') : QLatin1Char('a')) + Chiave(k);
            if (cache.contains(Chiave(k)) || visti.contains(tag))
                continue;
            visti.insert(tag);
            (r == Ricerca::Barcode ? barcode : articoli) << k;
        }
        if (!barcode.isEmpty())
            Cerca(true, barcode);
        if (!articoli.isEmpty())
            Cerca(false, articoli);
        for (qsizetype i = 0; i < voci.size(); ++i) {
            if (!voci[i].articolo.isEmpty())
                continue;
            const Ricerca r = passo == 0 ? piani[i].prima : piani[i].seconda;
            if (r != Ricerca::Nessuna)
                voci[i].articolo = trovato(r, chiaveDi(piani[i], r));
        }
    }
}

bool CaricoConteggi::Scrivi(const QVector<const Pendente*>& righe, QSqlError* errore) {
    const QString conflitto =
        QStringLiteral(" ON CONFLICT (CodInv, Articolo, Livello1, Livello2, Magazzino) DO UPDATE "
                       "SET Giacenza = excluded.Giacenza");
    QString sql;
    if (m_pg) {
        // the rows as two arrays: four parameters whatever their number
        sql = QStringLiteral("INSERT INTO MagInventari (CodInv, Articolo, Livello1, Livello2, "
                             "Magazzino, Giacenza) SELECT ?, a, ?, ?, ?, q FROM "
                             "unnest(CAST(? AS text[]), CAST(? AS float8[])) AS t(a, q)") +
              conflitto;
    } else {
        QStringList valori;
        valori.reserve(righe.size());
        for (qsizetype i = 0; i < righe.size(); ++i)
            valori << QStringLiteral("(?,?,?,?,?,?)");
        sql = QStringLiteral("INSERT INTO MagInventari (CodInv, Articolo, Livello1, Livello2, "
                             "Magazzino, Giacenza) VALUES %1")
                  .arg(valori.join(QLatin1Char(','))) +
              conflitto;
    }
    QSqlQuery* q = nullptr;
    try {
        q = &Istruzione(sql);
    } catch (const QSqlError& e) {
        if (errore)
            *errore = e;
        return false;
    }
    if (m_pg) {
        QStringList articoli, quantita;
        articoli.reserve(righe.size());
        quantita.reserve(righe.size());
        for (const Pendente* v : righe) {
            articoli << v->articolo;
            quantita << QString::number(v->quantita, 'g', 17);
        }
        q->addBindValue(m_dest.codInv);
        q->addBindValue(SenzaLivello);
        q->addBindValue(SenzaLivello);
        q->addBindValue(m_dest.magazzino);
        q->addBindValue(ArrayTesto(articoli));
        q->addBindValue(QLatin1Char('{') + quantita.join(QLatin1Char(',')) + QLatin1Char('}'));
    } else {
        for (const Pendente* v : righe) {
            q->addBindValue(m_dest.codInv);
            q->addBindValue(v->articolo);
            q->addBindValue(SenzaLivello);
            q->addBindValue(SenzaLivello);
            q->addBindValue(m_dest.magazzino);
            q->addBindValue(v->quantita);
        }
    }
    if (q->exec())
        return true;
    if (errore)
        *errore = q->lastError();
    return false;
}

bool CaricoConteggi::ConnessionePersa() {
    // outside any transaction: inside a failed one the server answers nothing
    QSqlQuery prova(m_db);
    return !m_db.isOpen() || !prova.exec(QStringLiteral("SELECT 1"));
}

bool CaricoConteggi::Scarta(const QByteArray& grezza, FileScarti& scarti, EsitoCarico& esito,
                            QIODevice* lunga) {
    ++esito.righeScartate;
    QString errore;
    if (lunga ? !scarti.AggiungiDa(*lunga, &errore) : !scarti.Aggiungi(grezza, &errore)) {
        esito.errore = errore;
        return false;
    }
    return true;
}

void CaricoConteggi::Avvisa(const RigaNonCaricata& r, const EsitoCarico& esito) {
    if (m_avvisa && rigaNonCaricata)
        m_avvisa = rigaNonCaricata(r, esito);
}

bool CaricoConteggi::Avanza(const EsitoCarico& esito, bool sempre) {
    if (!avanzamento)
        return true;
    const qint64 ora = m_orologio.elapsed();
    if (!sempre && ora - m_ultimoAvviso < MillisecondiPerAvviso)
        return true;
    m_ultimoAvviso = ora;
    return avanzamento(esito);
}

bool CaricoConteggi::Blocco(QVector<Voce>& voci, FileScarti& scarti, EsitoCarico& esito) {
    if (voci.isEmpty())
        return true;
    if (m_tuttiInMemoria) {
        for (Voce& v : voci)
            RisolviInMemoria(v);
    } else {
        try {
            Risolvi(voci);
        } catch (const QSqlError& e) {
            esito.errore =
                (ConnessionePersa() ? ConnessioneInterrotta()
                                    : QStringLiteral("Impossibile cercare gli articoli: %1"))
                    .arg(e.text());
            return false;
        }
    }
    // The rows to write: one per article, with the quantity of its last
    // line, kept across blocks until enough articles wait.
    const bool rileggibile = Rileggibile();
    for (Voce& v : voci) {
        if (v.articolo.isEmpty()) {
            if (!Scarta(v.grezza, scarti, esito, v.lunga.get()))
                return false;
            RigaNonCaricata r;
            r.causa = v.illeggibile ? v.causa : RigaNonCaricata::Causa::ArticoloInesistente;
            r.numero = v.numero;
            r.codice = v.codice;
            r.testo = v.testoQuantita;
            r.lunghezza = v.lunghezza;
            v.lunga.reset();
            Avvisa(r, esito);
            continue;
        }
        qint32 posto = v.indice;
        if (!m_tuttiInMemoria) {
            const QString k = Chiave(v.articolo);
            const auto it = m_posizione.constFind(k);
            if (it != m_posizione.cend()) {
                posto = *it;
            } else {
                posto = qint32(m_pendenti.size());
                m_posizione.insert(k, posto);
                m_pendenti.append(Pendente{});
                m_pendenti.last().articolo = v.articolo;
            }
        }
        Pendente& p = m_pendenti[posto];
        if (p.righe == 0)
            m_attesa.append(posto);
        ++p.righe;
        // the later line wins
        p.quantita = v.quantita;
        p.numero = v.numero;
        p.inizio = v.inizio;
        p.lunghezza = qint32(v.grezza.size());
        if (rileggibile && v.inizio >= 0)
            p.grezza.clear();
        else
            p.grezza = std::move(v.grezza);
        ++m_righeDaScrivere;
    }
    const qsizetype limite = m_articoliPerScrittura > 0 ? m_articoliPerScrittura
                             : m_tuttiInMemoria         ? m_pendenti.size()
                                                        : ArticoliPerScritturaCercando;
    if (m_attesa.size() >= limite || m_righeDaScrivere >= m_righePerScrittura)
        return Scarica(scarti, esito);
    return true;
}

void CaricoConteggi::Precarica() {
    m_indiceArticolo.clear();
    m_indiceBarcode.clear();
    m_pendenti.clear();
    // sized once: a table growing by doubling would hold two copies at a time
    QSqlQuery conta(m_db);
    if (!conta.exec(QStringLiteral("SELECT COUNT(*) FROM Articoli")) || !conta.next())
        throw conta.lastError();
    const qsizetype quanti = conta.value(0).toLongLong();
    conta.finish();
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    // in the order of the inventory's key: the rows are written in it
    if (!q.exec(QStringLiteral("SELECT Articolo, BarCode FROM Articoli ORDER BY Articolo")))
        throw q.lastError();
    QVector<Pendente> pendenti;
    pendenti.reserve(quanti);
    m_indiceArticolo.reserve(quanti);
    m_indiceBarcode.reserve(quanti);
    while (q.next()) {
        const qint32 i = qint32(pendenti.size());
        pendenti.append(Pendente{});
        Pendente& p = pendenti.last();
        p.articolo = q.value(0).toString();
        m_indiceArticolo.insert(CodiceSenzaCaso{p.articolo}, i);
        if (!q.value(1).isNull()) {
            CodiceSenzaCaso k{q.value(1).toString()};
            if (!m_indiceBarcode.contains(k)) // the first article of a barcode several share
                m_indiceBarcode.insert(std::move(k), i);
        }
    }
    if (q.lastError().isValid())
        throw q.lastError();
    q.finish();
    // one place per article, made now: the memory does not grow with the file
    m_pendenti = std::move(pendenti);
    m_attesa.reserve(m_pendenti.size());
    m_tuttiInMemoria = true;
}

bool CaricoConteggi::ConvienePrecaricare(const QIODevice& file) {
    if (m_precarico != Precarico::Secondo)
        return m_precarico == Precarico::Sempre;
    // A file with a tenth as many lines as there are articles, or more: one
    // read of all the articles costs less than looking the codes up.
    const qint64 byte = file.size();
    if (byte <= 0)
        return false;
    QSqlQuery q(m_db);
    if (!q.exec(QStringLiteral("SELECT COUNT(*) FROM Articoli")) || !q.next())
        return false;
    const qint64 articoli = q.value(0).toLongLong();
    q.finish();
    if (articoli > MassimoArticoliInMemoria)
        return false;
    // reading an article costs about a tenth of looking a code up
    constexpr qint64 BytePerRiga = 24; // a barcode, a quantity, a line end
    return byte / BytePerRiga >= articoli / 10;
}

namespace {

// The time a statement waits for a lock another connection holds, set on
// the connection for the load and put back as it was afterwards.
class AttesaBlocchi {
public:
    AttesaBlocchi(QSqlDatabase& db, bool server, int millisecondi) : m_db(db), m_server(server) {
        QSqlQuery q(m_db);
        if (!q.exec(m_server ? QStringLiteral("SHOW lock_timeout")
                             : QStringLiteral("PRAGMA busy_timeout")) ||
            !q.next())
            return;
        m_prima = q.value(0).toString();
        q.finish();
        m_impostata = Imposta(QString::number(millisecondi));
    }
    ~AttesaBlocchi() {
        if (m_impostata)
            Imposta(m_prima);
    }
    AttesaBlocchi(const AttesaBlocchi&) = delete;
    AttesaBlocchi& operator=(const AttesaBlocchi&) = delete;

private:
    bool Imposta(const QString& valore) {
        QSqlQuery q(m_db);
        QString v = valore;
        v.replace(QLatin1Char('\''), QLatin1String("''"));
        return q.exec(m_server ? QStringLiteral("SET lock_timeout = '%1'").arg(v)
                               : QStringLiteral("PRAGMA busy_timeout = %1").arg(v.toInt()));
    }

    QSqlDatabase& m_db;
    bool m_server;
    QString m_prima;
    bool m_impostata = false;
};

} // namespace

QString CaricoConteggi::CercaArticolo(const QString& codice, bool perBarcode) {
    if (ConNul(codice))
        return {};
    const QString k = perBarcode ? codice : ConAggiunte(m_set, codice);
    Cerca(perBarcode, {k});
    return (perBarcode ? m_barcode : m_articoli).value(Chiave(k));
}

QString CaricoConteggi::TrovaArticolo(const QString& codice) {
    if (ConNul(codice))
        return {};
    const Piano p = PianoDi(codice, m_set);
    for (const Ricerca r : {p.prima, p.seconda}) {
        if (r == Ricerca::Nessuna)
            continue;
        const bool perBarcode = r == Ricerca::Barcode;
        Cerca(perBarcode, {p.Chiave(r)});
        const QString a = (perBarcode ? m_barcode : m_articoli).value(Chiave(p.Chiave(r)));
        if (!a.isEmpty())
            return a;
    }
    return {};
}

bool CaricoConteggi::ScriviRiga(const QString& articolo, double quantita, QString* errore) {
    Pendente p;
    p.articolo = articolo;
    p.quantita = quantita;
    QSqlError e;
    if (Scrivi({&p}, &e))
        return true;
    if (errore)
        *errore = e.text();
    return false;
}

void CaricoConteggi::Azzera(QIODevice& file) {
    m_attesoFinora = 0;
    m_avvisa = true;
    m_fermare = false;
    m_tuttiInMemoria = false;
    m_file = &file;
    m_pendenti.clear();
    m_posizione.clear();
    m_attesa.clear();
    m_righeDaScrivere = 0;
    m_orologio.start();
    m_ultimoAvviso = 0;
}

// A line read takes its place in the block, a line refused as it is too
// (its cause with it); an empty line is only counted.
void CaricoConteggi::Accoda(LettoreRighe::Riga& riga, QVector<Voce>& voci, qint64& byteNelBlocco,
                            EsitoCarico& esito,
                            const std::function<double(const QString&)>& numero) {
    if (riga.tagliata) {
        Voce v;
        v.illeggibile = true;
        v.causa = RigaNonCaricata::Causa::RigaTroppoLunga;
        v.lunghezza = riga.lunghezza;
        v.lunga = std::move(riga.lunga);
        byteNelBlocco += riga.lunghezza; // few of them wait, each in a file of its own
        v.numero = riga.numero;
        voci << std::move(v);
    } else if (riga.testo.trimmed().isEmpty()) {
        ++esito.righeVuote;
    } else {
        const RigaTerminale r = AnalizzaRiga(riga.testo, m_set, numero, m_decimaliQta);
        Voce v;
        v.codice = r.codice;
        v.quantita = r.quantita;
        if (!r.quantitaValida) {
            v.illeggibile = true;
            v.causa = RigaNonCaricata::Causa::QuantitaNonValida;
            v.testoQuantita = r.testoQuantita;
        }
        byteNelBlocco += riga.grezza.size();
        v.grezza = std::move(riga.grezza);
        v.numero = riga.numero;
        v.inizio = riga.inizio;
        voci << std::move(v);
    }
}

EsitoCarico CaricoConteggi::Carica(QIODevice& file, FileScarti& scarti) {
    EsitoCarico esito;
    const AttesaBlocchi attesa(m_db, m_pg, m_attesaBlocco);
    Azzera(file);
    try {
        if (ConvienePrecaricare(file))
            Precarica();
    } catch (const QSqlError& e) {
        esito.errore = (ConnessionePersa() ? ConnessioneInterrotta()
                                           : QStringLiteral("Impossibile leggere gli articoli: %1"))
                           .arg(e.text());
        return esito;
    }
    LettoreRighe lettore(file);
    LettoreRighe::Riga riga;
    QVector<Voce> voci;
    voci.reserve(m_righePerBlocco);
    qint64 nelBlocco = 0; // lines read in this block, loaded or not
    qint64 byteNelBlocco = 0;
    const IUtilita& u = Utilita();
    auto numero = [&u](const QString& t) { return u.TestoInNumero(t); };
    auto chiudiBlocco = [&]() {
        const bool ok = Blocco(voci, scarti, esito);
        voci.clear();
        nelBlocco = 0;
        byteNelBlocco = 0;
        if (ok && (m_fermare || !Avanza(esito, true))) {
            esito.fermato = true;
            return false;
        }
        return ok;
    };
    QString erroreLettura;
    bool avanti = true;
    while (avanti && lettore.Prossima(riga, &erroreLettura)) {
        ++esito.righeLette;
        ++nelBlocco;
        // a line refused as it is (too long, a quantity that is no number)
        // takes its place among the others: the file of refused lines
        // keeps their order
        Accoda(riga, voci, byteNelBlocco, esito, numero);
        if (avanti && (nelBlocco >= m_righePerBlocco || byteNelBlocco >= BytePerBlocco ||
                       ((nelBlocco & 63) == 0 &&
                        m_orologio.elapsed() - m_ultimoAvviso >= MillisecondiPerAvviso)))
            avanti = chiudiBlocco();
    }
    if (avanti && erroreLettura.isEmpty())
        avanti = chiudiBlocco();
    // what was read and resolved goes in: at the end, and where the operator
    // stopped or the file could not be read on (not after a lost connection)
    if ((avanti || esito.fermato || !erroreLettura.isEmpty()) && esito.errore.isEmpty())
        Scarica(scarti, esito);
    else
        Svuota();
    if (!erroreLettura.isEmpty() && esito.errore.isEmpty())
        esito.errore = QStringLiteral("Errore di lettura del file: %1").arg(erroreLettura);
    esito.completo = avanti && esito.errore.isEmpty() && !esito.fermato;
    m_file = nullptr;
    return esito;
}

} // namespace quarvel::inventario
