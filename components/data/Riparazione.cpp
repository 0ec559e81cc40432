#include "Riparazione.h"

#include "RiparazioneInterno.h"

#include "suite/Errore.h"
#include "suite/Percorsi.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>

#include <sqlite3.h>

#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace quarvel::dati {

using namespace riparazione;

namespace {

const QString Sorgente = QStringLiteral("RiparaDatabase");

int Fallisce(int numero, const QString& motivo) {
    ImpostaErrore(numero, motivo, Sorgente);
    return numero;
}

QString TestoSqlite(sqlite3* db) {
    return db ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("memoria esaurita");
}

St Prepara(sqlite3* db, const QString& sql) {
    sqlite3_stmt* st = nullptr;
    const QByteArray s = sql.toUtf8();
    if (sqlite3_prepare_v2(db, s.constData(), int(s.size()), &st, nullptr) != SQLITE_OK) {
        sqlite3_finalize(st);
        return St();
    }
    return St(st);
}

QString Quota(const QString& nome) {
    return QLatin1Char('"') + QString(nome).replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
           QLatin1Char('"');
}

// The file as an SQLite URI with the query given ("vfs=unix-none").
QByteArray Uri(const QByteArray& file, const char* query) {
    QByteArray u = "file:";
    for (const char c : file) {
        const auto b = static_cast<unsigned char>(c);
        if ((b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || (b >= '0' && b <= '9') ||
            c == '/' || c == '.' || c == '_' || c == '-' || c == '~')
            u += c;
        else
            u += '%' + QByteArray::number(b, 16).rightJustified(2, '0').toUpper();
    }
    return u + '?' + query;
}

void Esegui(sqlite3* db, const char* sql) {
    sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
}

// ---- Reading the damaged file ------------------------------------------------------------

struct Oggetto {
    QString tipo, nome, tabella, sql;
};

// The schema, when it can be read.
bool LeggiSchema(sqlite3* db, std::vector<Oggetto>& oggetti) {
    St st = Prepara(db, QStringLiteral("SELECT type, name, tbl_name, sql FROM sqlite_master "
                                       "WHERE sql IS NOT NULL AND name NOT LIKE 'sqlite_%'"));
    if (!st)
        return false;
    int rc;
    while ((rc = sqlite3_step(st.get())) == SQLITE_ROW) {
        auto testo = [&](int i) {
            return QString::fromUtf8(
                reinterpret_cast<const char*>(sqlite3_column_text(st.get(), i)));
        };
        oggetti.push_back({testo(0), testo(1), testo(2), testo(3)});
    }
    return rc == SQLITE_DONE;
}

// Copies the readable rows of one table; rows past an unreadable page are
// searched for by rowid further on.
void CopiaTabella(sqlite3* da, sqlite3* a, const QString& tabella) {
    St colonne = Prepara(da, QStringLiteral("SELECT * FROM %1 LIMIT 0").arg(Quota(tabella)));
    if (!colonne)
        return;
    const int n = sqlite3_column_count(colonne.get());
    QStringList segnaposti;
    for (int i = 0; i < n; ++i)
        segnaposti << QStringLiteral("?");
    St ins = Prepara(a, QStringLiteral("INSERT OR IGNORE INTO %1 VALUES (%2)")
                            .arg(Quota(tabella), segnaposti.join(QLatin1Char(','))));
    if (!ins)
        return;
    St leggi = Prepara(da, QStringLiteral("SELECT rowid, * FROM %1 WHERE rowid > ? ORDER BY rowid")
                               .arg(Quota(tabella)));
    const bool conRowid = bool(leggi);
    if (!conRowid)
        leggi = Prepara(da, QStringLiteral("SELECT 0, * FROM %1").arg(Quota(tabella)));
    if (!leggi)
        return;
    St prossimo = conRowid ? Prepara(da, QStringLiteral("SELECT rowid FROM %1 WHERE rowid >= ? "
                                                        "ORDER BY rowid LIMIT 1")
                                             .arg(Quota(tabella)))
                           : St();
    sqlite3_int64 ultimo = INT64_MIN;
    for (;;) {
        sqlite3_reset(leggi.get());
        if (conRowid)
            sqlite3_bind_int64(leggi.get(), 1, ultimo);
        int rc;
        bool letta = false; // a row read since the last search
        while ((rc = sqlite3_step(leggi.get())) == SQLITE_ROW) {
            // A damaged tree that leads back to rows already read: what
            // follows is searched for as past an unreadable page.
            if (conRowid && ultimo != INT64_MIN && sqlite3_column_int64(leggi.get(), 0) <= ultimo) {
                rc = SQLITE_CORRUPT;
                break;
            }
            letta = true;
            ultimo = sqlite3_column_int64(leggi.get(), 0);
            sqlite3_reset(ins.get());
            for (int i = 0; i < n; ++i)
                sqlite3_bind_value(ins.get(), i + 1, sqlite3_column_value(leggi.get(), i + 1));
            sqlite3_step(ins.get());
        }
        if (rc == SQLITE_DONE || !conRowid || !prossimo)
            return;
        // An unreadable page: look for the next readable rowid further on.
        // A row found there that cannot be read itself (its overflow pages
        // are the damaged ones) is passed over, or the search would find it
        // again for ever.
        const sqlite3_int64 base =
            ultimo == INT64_MIN ? 0 : (letta || ultimo == INT64_MAX ? ultimo : ultimo + 1);
        bool trovato = false;
        for (sqlite3_int64 passo = 1; passo > 0 && passo < (sqlite3_int64(1) << 62); passo *= 2) {
            const sqlite3_int64 da_ = base + passo;
            sqlite3_reset(prossimo.get());
            sqlite3_bind_int64(prossimo.get(), 1, da_);
            const int r = sqlite3_step(prossimo.get());
            // A damaged tree may answer with a row before the one asked
            // for: going back would read the same rows for ever.
            if (r == SQLITE_ROW && sqlite3_column_int64(prossimo.get(), 0) >= da_) {
                ultimo = sqlite3_column_int64(prossimo.get(), 0) - 1;
                trovato = true;
                break;
            }
            if (r == SQLITE_DONE)
                break;
        }
        if (!trovato)
            return;
    }
}

bool IntegritaOk(const QString& file) {
    sqlite3* raw = nullptr;
    const QByteArray f = QFile::encodeName(file);
    if (sqlite3_open_v2(f.constData(), &raw, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close_v2(raw);
        return false;
    }
    Db db(raw);
    St st = Prepara(db.get(), QStringLiteral("PRAGMA integrity_check"));
    if (!st || sqlite3_step(st.get()) != SQLITE_ROW)
        return false;
    const QString esito =
        QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st.get(), 0)));
    return esito == QLatin1String("ok");
}

int ContaTabelle(sqlite3* db) {
    St st = Prepara(db, QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'table'"));
    return st && sqlite3_step(st.get()) == SQLITE_ROW ? sqlite3_column_int(st.get(), 0) : 0;
}

// The sqlite3 command's recovery (it reads the pages even without a
// schema).  Its output holds the damaged file's schema texts: only the
// CREATE statements and the rows' INSERTs are taken, one at a time.
bool RecuperoComando(const QByteArray& uri, sqlite3* nuovo, Guardia& g) {
    const QString comando = QStandardPaths::findExecutable(QStringLiteral("sqlite3"));
    if (comando.isEmpty())
        return false;
    QProcess p;
    p.start(comando, {QStringLiteral("-readonly"), QStringLiteral("-cmd"),
                      QStringLiteral("PRAGMA locking_mode=EXCLUSIVE"), QString::fromUtf8(uri),
                      QStringLiteral(".recover")});
    if (!p.waitForFinished(600000)) {
        p.kill();
        p.waitForFinished();
        return false;
    }
    const QByteArray sql = p.readAllStandardOutput();
    Esegui(nuovo, "BEGIN");
    for (const QByteArray& istruzione : Istruzioni(sql))
        EseguiEstranea(nuovo, g, istruzione, {});
    Esegui(nuovo, "COMMIT");
    return ContaTabelle(nuovo) > 0;
}

// ---- The file on disk -------------------------------------------------------------------

// SQLite's exclusive lock on the damaged file, taken through the engine's
// own file (so the engine's bookkeeping of this process's locks stays
// right, and the program's other connections count as users of the file).
// Nobody can read or write the file while it is held.
class Blocco {
public:
    ~Blocco() {
        if (m_file && m_file->pMethods)
            m_file->pMethods->xUnlock(m_file, SQLITE_LOCK_NONE);
        sqlite3_close_v2(m_db);
    }

    // 0, or the error number with the reason.
    int Prendi(const QByteArray& file, const QString& nome, QString& motivo) {
        if (sqlite3_open_v2(file.constData(), &m_db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK ||
            sqlite3_db_readonly(m_db, "main") != 0) {
            motivo = QStringLiteral("Il file %1 non può essere aperto in scrittura (%2).")
                         .arg(nome, sqlite3_db_readonly(m_db, "main") > 0
                                        ? QStringLiteral("permessi insufficienti")
                                        : TestoSqlite(m_db));
            return 3051;
        }
        sqlite3_file_control(m_db, "main", SQLITE_FCNTL_FILE_POINTER, &m_file);
        if (!m_file || !m_file->pMethods) {
            motivo =
                QStringLiteral("Il file %1 non può essere bloccato per la riparazione.").arg(nome);
            return 3051;
        }
        const sqlite3_io_methods* m = m_file->pMethods;
        // A writer that is saving holds the file for a moment: wait for it
        // a little, not for a workstation that keeps the file open.
        for (int tentativo = 0;; ++tentativo) {
            int rc = m->xLock(m_file, SQLITE_LOCK_SHARED);
            if (rc == SQLITE_OK)
                rc = m->xLock(m_file, SQLITE_LOCK_RESERVED);
            if (rc == SQLITE_OK)
                rc = m->xLock(m_file, SQLITE_LOCK_EXCLUSIVE);
            if (rc == SQLITE_OK)
                return 0;
            m->xUnlock(m_file, SQLITE_LOCK_NONE);
            if ((rc & 0xff) != SQLITE_BUSY) {
                motivo = QStringLiteral("Il file %1 non può essere bloccato per la riparazione "
                                        "(errore %2 di SQLite).")
                             .arg(nome)
                             .arg(rc);
                return 3051;
            }
            if (tentativo == 20)
                break;
            sqlite3_sleep(100);
        }
        motivo = QStringLiteral("Il database %1 è aperto da un altro programma o da un altro "
                                "posto di lavoro: farlo chiudere ovunque e ripetere il recupero. "
                                "Il file non è stato toccato.")
                     .arg(nome);
        return 3260;
    }

private:
    sqlite3* m_db = nullptr;
    sqlite3_file* m_file = nullptr;
};

// Writes a file (or a folder's list of names) to the disk.
bool SuDisco(const QByteArray& percorso, bool cartella) {
    const int fd =
        ::open(percorso.constData(), O_RDONLY | O_CLOEXEC | (cartella ? O_DIRECTORY : 0));
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

// The mode and, where the user may give it, the owner of the damaged file.
void StessiPermessi(const QByteArray& file, const struct stat& originale) {
    if (::chown(file.constData(), originale.st_uid, originale.st_gid) != 0 &&
        ::chown(file.constData(), uid_t(-1), originale.st_gid) != 0) {
        // Another user's file: the rebuilt one stays this user's, with the
        // same permissions below.
    }
    ::chmod(file.constData(), originale.st_mode & 07777);
}

void TogliRicostruzione(const QString& nuovoFile) {
    for (const char* coda : {"", "-journal", "-wal", "-shm"})
        QFile::remove(nuovoFile + QLatin1String(coda));
}

// ---- The phases of a repair ---------------------------------------------------------------

// The names of one repair: the damaged file and the rebuilt one beside it.
struct Nomi {
    QString percorso;  // the damaged file, absolute
    QByteArray f;      // its name on the disk
    QString nuovoFile; // the rebuilt file
    QByteArray nf;
    struct stat originale {}; // the damaged file's owner and mode
};

// The damaged file found: 0, or the error number after ImpostaErrore.
int TrovaFile(const QString& percorsoDato, Nomi& n) {
    n.percorso = QFileInfo(PercorsoLocale(percorsoDato)).absoluteFilePath();
    const QFileInfo info(n.percorso);
    if (!info.exists() || info.isDir())
        return Fallisce(NumErr::FileNonTrovato,
                        QStringLiteral("Il file %1 non esiste.").arg(n.percorso));
    n.f = QFile::encodeName(n.percorso);
    if (::stat(n.f.constData(), &n.originale) != 0)
        return Fallisce(NumErr::FileNonTrovato,
                        QStringLiteral("Il file %1 non esiste.").arg(n.percorso));
    n.nuovoFile = n.percorso + QStringLiteral(".ricostruzione");
    n.nf = QFile::encodeName(n.nuovoFile);
    return 0;
}

// The two connections: the damaged file read without locks of its own (the
// lock of the repair holds it; its write-ahead log is indexed in this
// connection's memory) and never written, the new file written without a
// journal.  Neither may attach a file or load an extension; what the
// damaged file's SQL may do on the new one is the guard's.  0, or the error
// number after ImpostaErrore.
int ApriConnessioni(const Nomi& n, const QByteArray& uri, Db& vecchio, Db& nuovo,
                    Guardia& guardia) {
    sqlite3* raw = nullptr;
    sqlite3_open_v2(uri.constData(), &raw, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr);
    vecchio.reset(raw);
    raw = nullptr;
    if (sqlite3_open_v2(n.nf.constData(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                        nullptr) != SQLITE_OK) {
        const QString testo = TestoSqlite(raw);
        sqlite3_close_v2(raw);
        TogliRicostruzione(n.nuovoFile);
        return Fallisce(3051, QStringLiteral("Non è possibile creare il file ricostruito %1 (%2). "
                                             "Il file danneggiato non è stato toccato.")
                                  .arg(n.nuovoFile, testo));
    }
    nuovo.reset(raw);
    Esegui(nuovo.get(), "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF");
    for (sqlite3* db : {vecchio.get(), nuovo.get()}) {
        if (!db)
            continue;
        sqlite3_limit(db, SQLITE_LIMIT_ATTACHED, 0);
        sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
        sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0, nullptr);
    }
    sqlite3_db_config(nuovo.get(), SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_set_authorizer(nuovo.get(), &Autorizza, &guardia);
    // Schema entries that do not parse are passed over rather than stopping
    // the reading (the connection is read-only: nothing is written).
    if (vecchio)
        Esegui(vecchio.get(), "PRAGMA locking_mode=EXCLUSIVE; PRAGMA writable_schema=ON");
    return 0;
}

// Virtual tables (the index of the article descriptions' words) are left
// out with their own tables and the triggers that write them: they are made
// again from the rows (CompletaIndici) and a copy read from damaged pages
// could hide rows from a search.
class Virtuali {
public:
    explicit Virtuali(const std::vector<Oggetto>& schema) {
        for (const auto& o : schema)
            if (o.tipo == QLatin1String("table") &&
                o.sql.simplified().startsWith(QLatin1String("CREATE VIRTUAL TABLE"),
                                              Qt::CaseInsensitive))
                m_nomi << o.nome;
    }
    bool Comprende(const Oggetto& o) const {
        for (const QString& v : m_nomi) {
            if (o.tipo == QLatin1String("table") &&
                (o.nome.compare(v, Qt::CaseInsensitive) == 0 ||
                 o.nome.startsWith(v + QLatin1Char('_'), Qt::CaseInsensitive)))
                return true;
            if (o.tipo == QLatin1String("trigger") && o.sql.contains(v, Qt::CaseInsensitive))
                return true;
        }
        return false;
    }

private:
    QStringList m_nomi;
};

// The damaged file's schema made again on the new file: the tables, their
// readable rows, then the indexes, views and triggers.  True when a table
// was made.
bool CopiaDalloSchema(sqlite3* vecchio, sqlite3* nuovo, Guardia& guardia,
                      const std::vector<Oggetto>& schema) {
    Esegui(nuovo, "BEGIN");
    const Virtuali virtuali(schema);
    std::vector<QString> tabelle;
    for (const auto& o : schema)
        if (o.tipo == QLatin1String("table") && !virtuali.Comprende(o) &&
            EseguiEstranea(nuovo, guardia, o.sql.toUtf8(), "table"))
            tabelle.push_back(o.nome);
    for (const auto& t : tabelle)
        CopiaTabella(vecchio, nuovo, t);
    for (const auto& o : schema)
        if (o.tipo != QLatin1String("table") && !virtuali.Comprende(o))
            EseguiEstranea(nuovo, guardia, o.sql.toUtf8(), o.tipo.toUtf8());
    Esegui(nuovo, "COMMIT");
    return !tabelle.empty();
}

// The new file built from what the damaged one still holds: through its
// schema when the schema can be read, else through the sqlite3 command's
// recovery.  0, or the error number after ImpostaErrore (the new file
// removed).
int Ricostruisci(const Nomi& n) {
    const QByteArray uri = Uri(n.f, "vfs=unix-none");
    Db vecchio;
    Db nuovo;
    Guardia guardia;
    if (const int e = ApriConnessioni(n, uri, vecchio, nuovo, guardia); e != 0)
        return e;
    std::vector<Oggetto> schema;
    bool ricostruito = false;
    if (vecchio && LeggiSchema(vecchio.get(), schema) && !schema.empty()) {
        ricostruito = CopiaDalloSchema(vecchio.get(), nuovo.get(), guardia, schema);
    } else {
        vecchio.reset();
        ricostruito = RecuperoComando(uri, nuovo.get(), guardia);
    }
    vecchio.reset();
    if (ricostruito)
        Esegui(nuovo.get(), "PRAGMA journal_mode=WAL");
    nuovo.reset();
    if (ricostruito)
        return 0;
    TogliRicostruzione(n.nuovoFile);
    return Fallisce(NumErr::DatabaseNonRiconosciuto,
                    QStringLiteral("Il file %1 è danneggiato fin nell'elenco delle sue "
                                   "tabelle, o non è un database: non è stato possibile "
                                   "ricostruire nessuna tabella. Il file è rimasto com'era; "
                                   "occorre ripristinare una copia di sicurezza.")
                        .arg(n.percorso));
}

// The rebuilt file checked, given the damaged file's owner and mode, and
// written to the disk.  0, or the error number after ImpostaErrore (the new
// file removed).
int Verifica(const Nomi& n) {
    if (!IntegritaOk(n.nuovoFile)) {
        TogliRicostruzione(n.nuovoFile);
        return Fallisce(NumErr::DatabaseNonRiconosciuto,
                        QStringLiteral("Il file ricostruito da %1 non ha superato il controllo "
                                       "di integrità e non è stato usato. Il file è rimasto "
                                       "com'era; occorre ripristinare una copia di sicurezza.")
                            .arg(n.percorso));
    }
    StessiPermessi(n.nf, n.originale);
    if (!SuDisco(n.nf, false)) {
        TogliRicostruzione(n.nuovoFile);
        return Fallisce(3051, QStringLiteral("Il file ricostruito %1 non può essere scritto sul "
                                             "disco. Il file danneggiato non è stato toccato.")
                                  .arg(n.nuovoFile));
    }
    return 0;
}

// The rebuilt file takes the damaged one's name; the damaged file (and its
// WAL) stays beside it under a dated name.  0, or the error number after
// ImpostaErrore (the damaged file left as it was).
int Sostituisci(const Nomi& n) {
    const QString cartella = QFileInfo(n.percorso).absolutePath();
    const QString copia = n.percorso + QStringLiteral(".danneggiato-") +
                          QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    const QByteArray c = QFile::encodeName(copia);
    // A second name for the damaged file first, then the rebuilt file takes
    // its place in one rename: the name never points at nothing.  (Where the
    // folder takes no second names the copy, closing the file, also lets go
    // of the lock: the rename follows at once.)
    if (::link(n.f.constData(), c.constData()) != 0 && !QFile::copy(n.percorso, copia)) {
        TogliRicostruzione(n.nuovoFile);
        return Fallisce(3051,
                        QStringLiteral("Non è possibile conservare la copia del file danneggiato "
                                       "%1 nella cartella %2. Il file è rimasto com'era.")
                            .arg(copia, cartella));
    }
    // Its write-ahead log goes with it (when it holds anything) before the
    // rebuilt file takes the name: whoever opens the name next must not
    // find the old log beside the new file.  The shared memory index is
    // rebuilt by whoever opens a file.
    const QString wal = n.percorso + QStringLiteral("-wal");
    const QByteArray w = QFile::encodeName(wal);
    const QByteArray cw = QFile::encodeName(copia + QStringLiteral("-wal"));
    const bool walPieno = QFileInfo(wal).size() > 0;
    if (walPieno && ::rename(w.constData(), cw.constData()) != 0) {
        QFile::remove(copia);
        TogliRicostruzione(n.nuovoFile);
        return Fallisce(3051, QStringLiteral("Il registro %1 non può essere spostato accanto alla "
                                             "copia del file danneggiato. Il file è rimasto "
                                             "com'era.")
                                  .arg(wal));
    }
    QFile::remove(wal);
    QFile::remove(n.percorso + QStringLiteral("-shm"));
    QFile::remove(n.nuovoFile + QStringLiteral("-wal"));
    QFile::remove(n.nuovoFile + QStringLiteral("-shm"));
    if (::rename(n.nf.constData(), n.f.constData()) != 0) {
        if (walPieno)
            ::rename(cw.constData(), w.constData());
        QFile::remove(copia);
        TogliRicostruzione(n.nuovoFile);
        return Fallisce(3051, QStringLiteral("Il file ricostruito non può prendere il posto di %1. "
                                             "Il file è rimasto com'era.")
                                  .arg(n.percorso));
    }
    SuDisco(QFile::encodeName(cartella), true);
    return 0;
}

} // namespace

int RiparaFileSqlite(const QString& percorsoDato) {
    Nomi n;
    if (const int e = TrovaFile(percorsoDato, n); e != 0)
        return e;
    // Nobody reads or writes the damaged file until the repair ends.
    QString motivo;
    Blocco blocco;
    if (const int e = blocco.Prendi(n.f, n.percorso, motivo); e != 0)
        return Fallisce(e, motivo);
    TogliRicostruzione(n.nuovoFile);
    if (const int e = Ricostruisci(n); e != 0)
        return e;
    if (const int e = Verifica(n); e != 0)
        return e;
    return Sostituisci(n);
}

} // namespace quarvel::dati
