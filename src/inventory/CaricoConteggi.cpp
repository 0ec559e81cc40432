#include "inventory/CaricoConteggi.h"

#include "suite/Utilita.h"

#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>

namespace quarvel::inventario {

namespace {

// Codes looked up, and rows written, with one statement.  On the server a
// statement costs a round trip, so it takes many; SQLite runs in the
// process and its driver binds a statement's parameters in a time that
// grows with the square of their number, so there a few at a time.  Each
// statement is prepared once and run again.
int CodiciPerRicerca(bool server) {
    return server ? 5000 : 25;
}
int RighePerIstruzione(bool server) {
    return server ? 5000 : 25;
}

const QString SenzaLivello = QStringLiteral("~ç~");

// A code folded as the databases compare codes: ASCII letters without
// regard to case (SQLite's NOCASE; citext under the C character classes
// the company databases are made with).
QString Chiave(const QString& codice) {
    QString k = codice;
    for (QChar& c : k)
        if (c.unicode() >= 'A' && c.unicode() <= 'Z')
            c = QChar(c.unicode() + ('a' - 'A'));
    return k;
}

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

Ricerca DaLettera(QChar c) {
    const QChar m = c.toUpper();
    if (m == QLatin1Char('B'))
        return Ricerca::Barcode;
    if (m == QLatin1Char('C'))
        return Ricerca::Articolo;
    return Ricerca::Nessuna;
}

} // namespace

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

void CaricoConteggi::Risolvi(QVector<Voce>& voci) {
    // What each line searches, first and second.
    struct Piano {
        Ricerca prima = Ricerca::Nessuna, seconda = Ricerca::Nessuna;
        QString barcode, articolo; // the keys of each kind of search
    };
    // Many articles, or ever new codes: the memory stays bounded.  Emptied
    // here, before a block decides what it must look up.  All the articles
    // read at the start stay: a code missing there names no article.
    if (!m_tuttiInMemoria && m_barcode.size() + m_articoli.size() > m_limiteCache) {
        m_barcode.clear();
        m_articoli.clear();
    }
    QVector<Piano> piani(voci.size());
    const QString& seq = m_set.codArtSeqRic;
    for (qsizetype i = 0; i < voci.size(); ++i) {
        Piano& p = piani[i];
        const QString& codice = voci[i].codice;
        if (!m_set.codArtInizIdent.isEmpty() &&
            codice.startsWith(m_set.codArtInizIdent, Qt::CaseInsensitive)) {
            // marked as an article code: that search alone
            p.prima = Ricerca::Articolo;
            p.articolo =
                m_set.addArtPrima + codice.mid(m_set.codArtInizIdent.size()) + m_set.addArtDopo;
            continue;
        }
        p.barcode = codice;
        p.articolo = m_set.addArtPrima + codice + m_set.addArtDopo;
        p.prima = seq.isEmpty() ? Ricerca::Barcode : DaLettera(seq.at(0));
        if (p.prima == Ricerca::Nessuna)
            p.prima = Ricerca::Articolo; // any letter but B searches by article first
        if (seq.size() != 1)
            p.seconda = seq.isEmpty() ? Ricerca::Articolo : DaLettera(seq.at(1));
    }

    auto chiaveDi = [](const Piano& p, Ricerca r) {
        return r == Ricerca::Barcode ? p.barcode : p.articolo;
    };
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
        if (!barcode.isEmpty() && !m_tuttiInMemoria)
            Cerca(true, barcode);
        if (!articoli.isEmpty() && !m_tuttiInMemoria)
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

bool CaricoConteggi::Scrivi(const QVector<const Voce*>& righe, QString* errore) {
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
            *errore = e.text();
        return false;
    }
    if (m_pg) {
        QStringList articoli, quantita;
        articoli.reserve(righe.size());
        quantita.reserve(righe.size());
        for (const Voce* v : righe) {
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
        for (const Voce* v : righe) {
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
        *errore = q->lastError().text();
    return false;
}

QSqlQuery& CaricoConteggi::Istruzione(const QString& sql) {
    auto it = m_istruzioni.find(sql);
    if (it == m_istruzioni.end()) {
        if (m_istruzioni.size() > 16) // the odd sizes of the last blocks
            m_istruzioni.clear();
        it = m_istruzioni.emplace(sql, QSqlQuery(m_db)).first;
        it->second.setForwardOnly(true);
        if (!it->second.prepare(sql)) {
            const QSqlError e = it->second.lastError();
            m_istruzioni.erase(it);
            throw e;
        }
    }
    return it->second;
}

bool CaricoConteggi::ConnessionePersa() {
    // outside any transaction: inside a failed one the server answers nothing
    QSqlQuery prova(m_db);
    return !m_db.isOpen() || !prova.exec(QStringLiteral("SELECT 1"));
}

bool CaricoConteggi::Scarta(const Voce& v, FileScarti& scarti, EsitoCarico& esito) {
    ++esito.righeScartate;
    QString errore;
    if (!scarti.Aggiungi(v.grezza, &errore)) {
        esito.errore = errore;
        return false;
    }
    return true;
}

bool CaricoConteggi::Blocco(QVector<Voce>& voci, FileScarti& scarti, EsitoCarico& esito) {
    if (voci.isEmpty())
        return true;
    try {
        Risolvi(voci);
    } catch (const QSqlError& e) {
        esito.errore = QStringLiteral("Impossibile cercare gli articoli: %1").arg(e.text());
        return false;
    }
    // The rows to write: one per article, with the quantity of its last
    // line, kept across blocks until enough articles wait.
    for (Voce& v : voci) {
        if (v.articolo.isEmpty()) {
            if (!Scarta(v, scarti, esito))
                return false;
            if (m_avvisa && articoloInesistente)
                m_avvisa = articoloInesistente(v.codice, v.numero);
            continue;
        }
        const QString k = Chiave(v.articolo);
        const auto it = m_posizione.constFind(k);
        if (it != m_posizione.cend()) {
            Pendente& p = m_pendenti[*it];
            p.voce = std::move(v); // the later line wins
            ++p.righe;
        } else {
            m_posizione.insert(k, m_pendenti.size());
            m_pendenti.append({std::move(v), 1});
        }
    }
    if (m_pendenti.size() >= m_articoliPerScrittura)
        return Scarica(scarti, esito);
    return true;
}

bool CaricoConteggi::Scarica(FileScarti& scarti, EsitoCarico& esito) {
    if (m_pendenti.isEmpty())
        return true;
    QVector<const Voce*> righe;
    righe.reserve(m_pendenti.size());
    for (const Pendente& p : std::as_const(m_pendenti))
        righe << &p.voce;
    auto svuota = [this] {
        m_pendenti.clear();
        m_posizione.clear();
    };

    QString errore;
    bool ok = m_db.transaction();
    if (!ok)
        errore = m_db.lastError().text();
    const int perIstruzione = RighePerIstruzione(m_pg);
    for (qsizetype i = 0; ok && i < righe.size(); i += perIstruzione)
        ok = Scrivi(righe.mid(i, perIstruzione), &errore);
    if (ok && !m_db.commit()) {
        ok = false;
        errore = m_db.lastError().text();
    }
    if (ok) {
        // every line of a known article went in (a later line of the same
        // article over an earlier one)
        for (const Pendente& p : std::as_const(m_pendenti))
            esito.righeScritte += p.righe;
        svuota();
        return true;
    }
    m_db.rollback();
    if (ConnessionePersa()) {
        esito.errore = QStringLiteral("La connessione al database si è interrotta: %1").arg(errore);
        svuota();
        return false;
    }
    // Again a row at a time: only the rows the database refuses are refused.
    for (const Pendente& p : std::as_const(m_pendenti)) {
        if (Scrivi({&p.voce}, &errore)) {
            esito.righeScritte += p.righe;
            continue;
        }
        if (ConnessionePersa()) {
            esito.errore =
                QStringLiteral("La connessione al database si è interrotta: %1").arg(errore);
            svuota();
            return false;
        }
        if (!Scarta(p.voce, scarti, esito)) {
            svuota();
            return false;
        }
    }
    svuota();
    return true;
}

void CaricoConteggi::Precarica() {
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT Articolo, BarCode FROM Articoli")))
        throw q.lastError();
    m_barcode.clear();
    m_articoli.clear();
    while (q.next()) {
        const QString articolo = q.value(0).toString();
        m_articoli.insert(Chiave(articolo), articolo);
        if (!q.value(1).isNull()) {
            const QString k = Chiave(q.value(1).toString());
            if (!m_barcode.contains(k)) // the first row of a barcode several articles share
                m_barcode.insert(k, articolo);
        }
    }
    if (q.lastError().isValid())
        throw q.lastError();
    q.finish();
    m_tuttiInMemoria = true;
}

bool CaricoConteggi::ConvienePrecaricare(const QIODevice& file) {
    if (m_precarico != Precarico::Secondo)
        return m_precarico == Precarico::Sempre;
    // A file with about as many lines as there are articles, or more: one
    // read of all the articles costs less than looking the codes up.
    const qint64 byte = file.size();
    if (byte <= 0)
        return false;
    QSqlQuery q(m_db);
    if (!q.exec(QStringLiteral("SELECT COUNT(*) FROM Articoli")) || !q.next())
        return false;
    const qint64 articoli = q.value(0).toLongLong();
    q.finish();
    constexpr qint64 BytePerRiga = 24; // a barcode, a quantity, a line end
    return byte / BytePerRiga >= articoli / 2;
}

EsitoCarico CaricoConteggi::Carica(QIODevice& file, FileScarti& scarti) {
    EsitoCarico esito;
    m_avvisa = true;
    m_tuttiInMemoria = false;
    try {
        if (ConvienePrecaricare(file))
            Precarica();
    } catch (const QSqlError& e) {
        esito.errore = QStringLiteral("Impossibile leggere gli articoli: %1").arg(e.text());
        return esito;
    }
    LettoreRighe lettore(file);
    LettoreRighe::Riga riga;
    QVector<Voce> voci;
    voci.reserve(m_righePerBlocco);
    const IUtilita& u = Utilita();
    auto numero = [&u](const QString& t) { return u.TestoInNumero(t); };
    auto chiudiBlocco = [&]() {
        const bool ok = Blocco(voci, scarti, esito);
        voci.clear();
        if (ok && avanzamento && !avanzamento(esito)) {
            esito.fermato = true;
            return false;
        }
        return ok;
    };
    QString erroreLettura;
    bool avanti = true;
    while (avanti && lettore.Prossima(riga, &erroreLettura)) {
        ++esito.righeLette;
        if (riga.testo.trimmed().isEmpty() && !riga.conNul)
            continue; // an empty line, or one of blanks
        if (riga.conNul || riga.tagliata) {
            Voce v;
            v.grezza = riga.grezza;
            v.numero = riga.numero;
            avanti = Scarta(v, scarti, esito);
            continue;
        }
        const RigaTerminale r = AnalizzaRiga(riga.testo, m_set, numero);
        Voce v;
        v.grezza = std::move(riga.grezza);
        v.numero = riga.numero;
        v.codice = r.codice;
        v.quantita = r.quantita;
        voci << std::move(v);
        if (voci.size() >= m_righePerBlocco)
            avanti = chiudiBlocco();
    }
    if (avanti && erroreLettura.isEmpty())
        avanti = chiudiBlocco();
    // what was read and resolved goes in: at the end, and where the operator
    // stopped or the file could not be read on (not after a lost connection)
    if ((avanti || esito.fermato || !erroreLettura.isEmpty()) && esito.errore.isEmpty())
        Scarica(scarti, esito);
    else {
        m_pendenti.clear();
        m_posizione.clear();
    }
    if (!erroreLettura.isEmpty() && esito.errore.isEmpty())
        esito.errore = QStringLiteral("Errore di lettura del file: %1").arg(erroreLettura);
    esito.completo = avanti && esito.errore.isEmpty() && !esito.fermato;
    return esito;
}

} // namespace quarvel::inventario
