#include "Riparazione.h"

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
#include <memory>
#include <unistd.h>
#include <vector>

namespace quarvel::dati {

namespace {

struct ChiudiDb {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
struct ChiudiSt {
    void operator()(sqlite3_stmt* st) const { sqlite3_finalize(st); }
};
using Db = std::unique_ptr<sqlite3, ChiudiDb>;
using St = std::unique_ptr<sqlite3_stmt, ChiudiSt>;

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
        while ((rc = sqlite3_step(leggi.get())) == SQLITE_ROW) {
            ultimo = sqlite3_column_int64(leggi.get(), 0);
            sqlite3_reset(ins.get());
            for (int i = 0; i < n; ++i)
                sqlite3_bind_value(ins.get(), i + 1, sqlite3_column_value(leggi.get(), i + 1));
            sqlite3_step(ins.get());
        }
        if (rc == SQLITE_DONE || !conRowid || !prossimo)
            return;
        // An unreadable page: look for the next readable rowid further on.
        bool trovato = false;
        for (sqlite3_int64 passo = 1; passo > 0 && passo < (sqlite3_int64(1) << 62); passo *= 2) {
            const sqlite3_int64 da_ = ultimo == INT64_MIN ? passo : ultimo + passo;
            sqlite3_reset(prossimo.get());
            sqlite3_bind_int64(prossimo.get(), 1, da_);
            const int r = sqlite3_step(prossimo.get());
            if (r == SQLITE_ROW) {
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

// The sqlite3 command's recovery (it reads the pages even without a schema).
bool RecuperoComando(const QString& danneggiato, sqlite3* nuovo) {
    const QString comando = QStandardPaths::findExecutable(QStringLiteral("sqlite3"));
    if (comando.isEmpty())
        return false;
    QProcess p;
    p.start(comando, {danneggiato, QStringLiteral(".recover")});
    if (!p.waitForFinished(600000))
        return false;
    const QByteArray sql = p.readAllStandardOutput();
    if (sql.trimmed().isEmpty())
        return false;
    sqlite3_exec(nuovo, sql.constData(), nullptr, nullptr, nullptr);
    St st = Prepara(nuovo, QStringLiteral("SELECT count(*) FROM sqlite_master"));
    return st && sqlite3_step(st.get()) == SQLITE_ROW && sqlite3_column_int(st.get(), 0) > 0;
}

} // namespace

int RiparaFileSqlite(const QString& percorsoDato) {
    const QString percorso = QFileInfo(PercorsoLocale(percorsoDato)).absoluteFilePath();
    if (!QFileInfo::exists(percorso))
        return NumErr::FileNonTrovato;
    const QString nuovoFile = percorso + QStringLiteral(".ricostruzione");
    QFile::remove(nuovoFile);
    QFile::remove(nuovoFile + QStringLiteral("-journal"));

    sqlite3* raw = nullptr;
    const QByteArray f = QFile::encodeName(percorso);
    sqlite3_open_v2(f.constData(), &raw, SQLITE_OPEN_READONLY, nullptr);
    Db vecchio(raw);
    raw = nullptr;
    const QByteArray nf = QFile::encodeName(nuovoFile);
    if (sqlite3_open_v2(nf.constData(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                        nullptr) != SQLITE_OK) {
        sqlite3_close_v2(raw);
        return 3051;
    }
    Db nuovo(raw);
    sqlite3_exec(nuovo.get(), "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF", nullptr, nullptr,
                 nullptr);
    if (vecchio)
        sqlite3_exec(vecchio.get(), "PRAGMA writable_schema=ON", nullptr, nullptr, nullptr);

    std::vector<Oggetto> schema;
    bool ricostruito = false;
    if (vecchio && LeggiSchema(vecchio.get(), schema) && !schema.empty()) {
        sqlite3_exec(nuovo.get(), "BEGIN", nullptr, nullptr, nullptr);
        for (const auto& o : schema)
            if (o.tipo == QLatin1String("table"))
                sqlite3_exec(nuovo.get(), o.sql.toUtf8().constData(), nullptr, nullptr, nullptr);
        for (const auto& o : schema)
            if (o.tipo == QLatin1String("table"))
                CopiaTabella(vecchio.get(), nuovo.get(), o.nome);
        for (const auto& o : schema)
            if (o.tipo != QLatin1String("table"))
                sqlite3_exec(nuovo.get(), o.sql.toUtf8().constData(), nullptr, nullptr, nullptr);
        sqlite3_exec(nuovo.get(), "COMMIT", nullptr, nullptr, nullptr);
        ricostruito = true;
    } else {
        vecchio.reset();
        ricostruito = RecuperoComando(percorso, nuovo.get());
    }
    vecchio.reset();
    if (ricostruito)
        sqlite3_exec(nuovo.get(), "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
    nuovo.reset();
    if (!ricostruito || !IntegritaOk(nuovoFile)) {
        QFile::remove(nuovoFile);
        QFile::remove(nuovoFile + QStringLiteral("-wal"));
        QFile::remove(nuovoFile + QStringLiteral("-shm"));
        return NumErr::DatabaseNonRiconosciuto;
    }
    // The damaged file (and its WAL) stays beside the rebuilt one.
    const QString copia = percorso + QStringLiteral(".danneggiato-") +
                          QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    // A second name for the damaged file first, then the rebuilt file takes
    // its place in one rename: the name never points at nothing.
    if (::link(f.constData(), QFile::encodeName(copia).constData()) != 0 &&
        !QFile::copy(percorso, copia))
        return 3051;
    // Its write-ahead log goes with it (when it holds anything); the shared
    // memory index is rebuilt by whoever opens a file.
    const QString wal = percorso + QStringLiteral("-wal");
    if (QFileInfo(wal).size() > 0)
        ::rename(QFile::encodeName(wal).constData(),
                 QFile::encodeName(copia + QStringLiteral("-wal")).constData());
    QFile::remove(wal);
    QFile::remove(percorso + QStringLiteral("-shm"));
    QFile::remove(nuovoFile + QStringLiteral("-wal"));
    QFile::remove(nuovoFile + QStringLiteral("-shm"));
    if (::rename(nf.constData(), f.constData()) != 0)
        return 3051;
    return 0;
}

} // namespace quarvel::dati
