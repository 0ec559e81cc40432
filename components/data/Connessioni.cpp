#include "Connessioni.h"

#include "suite/ComponenteDati.h"
#include "suite/Messaggi.h"
#include "suite/Percorsi.h"

#include "comune/Profilo.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QRegularExpression>
#include <QSet>
#include <QSqlDriver>
#include <QSqlQuery>

#include <atomic>
#include <odbcinst.h>
#include <sys/vfs.h>

namespace quarvel::dati {

namespace {

QMutex registroMutex;
QHash<QString, InfoConnessione> registro;

const QString Sorgente = QStringLiteral("ComponenteDati.Apri");

QString LeggiPrivato(const QString& sezione, const QString& chiave, const char* file) {
    char buffer[1024] = {};
    const QByteArray s = sezione.toUtf8(), k = chiave.toUtf8();
    const int n = SQLGetPrivateProfileString(s.constData(), k.constData(), "", buffer,
                                             int(sizeof buffer), file);
    if (n <= 0)
        return {};
    return QString::fromUtf8(buffer, qstrnlen(buffer, sizeof buffer)).trimmed();
}

// A key of the [ODBC] section of a file data source.
QString LeggiDsn(const QString& file, const QString& chiave) {
    return profilo::LeggiValore(file, QStringLiteral("ODBC"), chiave).value_or(QString());
}

QString Primo(const QMap<QString, QString>& m, std::initializer_list<const char*> chiavi) {
    for (const char* c : chiavi) {
        const auto it = m.find(QString::fromLatin1(c));
        if (it != m.end() && !it->isEmpty())
            return *it;
    }
    return {};
}

QString SenzaGraffe(QString v) {
    v = v.trimmed();
    if (v.startsWith(QLatin1Char('{')) && v.endsWith(QLatin1Char('}')))
        v = v.mid(1, v.size() - 2);
    return v;
}

QString ValoreOdbc(const QString& v) {
    if (v.contains(QLatin1Char(';')) || v.contains(QLatin1Char('{')) ||
        v.contains(QLatin1Char('}')) || v != v.trimmed())
        return QLatin1Char('{') + QString(v).replace(QStringLiteral("}"), QStringLiteral("}}")) +
               QLatin1Char('}');
    return v;
}

bool SoloOdbcDaAmbiente() {
    const QByteArray v = qgetenv("QUARVEL_DATI_SOLO_ODBC");
    return !v.isEmpty() && v != "0";
}

void Registra(const QString& nome, InfoConnessione info) {
    static std::atomic<quint64> serie{0};
    info.serie = ++serie;
    QMutexLocker l(&registroMutex);
    registro.insert(nome, info);
}

QSqlDatabase NuovaConnessione(const QString& driver, const QString& nomeConnessione) {
    if (QSqlDatabase::contains(nomeConnessione)) {
        QSqlDatabase::database(nomeConnessione, false).close();
        QSqlDatabase::removeDatabase(nomeConnessione);
    }
    QSqlDatabase db = QSqlDatabase::addDatabase(driver, nomeConnessione);
    if (!db.isValid())
        throw Errore(NumErr::ChiamataOdbcFallita,
                     QStringLiteral("Driver %1 non disponibile").arg(driver), Sorgente);
    return db;
}

// PostgreSQL with standard_conforming_strings off reads a backslash in '...'
// as an escape, and the program's SQL literals only double the quote: a text
// holding a backslash would change the statement.  Every connection turns it
// on, in its connection parameters so that a copy of the connection (the list
// count's) has it too; a connection that still has it off is refused.
const QLatin1String ImpostazioneStringhe("SET standard_conforming_strings = on");

// The ConnSettings of psqlODBC with ours in front.  The driver reads a value
// in braces as it is, any other as URL-encoded.
QString ImpostazioniPsqlOdbc(const QString& loro) {
    QString v = loro.trimmed();
    if (v.startsWith(QLatin1Char('{')) && v.endsWith(QLatin1Char('}')))
        v = v.mid(1, v.size() - 2);
    else if (!v.isEmpty())
        v = QString::fromUtf8(QByteArray::fromPercentEncoding(v.toUtf8().replace('+', ' ')));
    QString tutte = ImpostazioneStringhe;
    if (!v.isEmpty())
        tutte += QLatin1Char(';') + v;
    return QLatin1Char('{') + tutte + QLatin1Char('}');
}

void VerificaStringheStandard(QSqlDatabase& db, const QString& nomeConnessione) {
    auto valore = [&] {
        QSqlQuery q(db);
        return q.exec(QStringLiteral("SHOW standard_conforming_strings")) && q.next()
                   ? q.value(0).toString()
                   : QString();
    };
    if (valore() == QLatin1String("on"))
        return;
    // A driver that left the connection settings out: this connection at least.
    QSqlQuery(db).exec(ImpostazioneStringhe);
    if (valore() == QLatin1String("on"))
        return;
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(nomeConnessione);
    throw Errore(NumErr::ChiamataOdbcFallita,
                 QStringLiteral("Il server PostgreSQL legge la barra rovesciata nei testi come "
                                "carattere di escape (standard_conforming_strings = off) e la "
                                "connessione non riesce a cambiarlo: i testi con una barra "
                                "rovesciata cambierebbero il senso delle istruzioni"),
                 Sorgente);
}

// Everything needed to reach a PostgreSQL server through QPSQL.
struct ServerPg {
    QString host, porta, database, utente, password, sslmode;
};

QSqlDatabase ApriPg(const ServerPg& s, const QString& nomeConnessione, bool solaLettura) {
    QSqlDatabase db = NuovaConnessione(QStringLiteral("QPSQL"), nomeConnessione);
    db.setHostName(s.host.isEmpty() ? QStringLiteral("localhost") : s.host);
    if (!s.porta.isEmpty())
        db.setPort(s.porta.toInt());
    db.setDatabaseName(s.database);
    db.setUserName(s.utente);
    db.setPassword(s.password);
    // Read-only travels in the connection's options, so that the copies of
    // the connection (the list count, the lookups) are read-only too.
    QStringList opzioni{
        QStringLiteral("connect_timeout=15"),
        QStringLiteral(
            "options='-c client_min_messages=warning -c standard_conforming_strings=on") +
            (solaLettura ? QStringLiteral(" -c default_transaction_read_only=on'")
                         : QStringLiteral("'"))};
    if (!s.sslmode.isEmpty())
        opzioni << QStringLiteral("sslmode=") + s.sslmode;
    db.setConnectOptions(opzioni.join(QLatin1Char(';')));
    InfoConnessione info{Dialetto::PostgreSQL, true, true, {}};
    if (!db.open()) {
        const QSqlError e = db.lastError();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(nomeConnessione);
        throw MappaErroreApertura(info, e, Sorgente);
    }
    VerificaStringheStandard(db, nomeConnessione);
    Registra(nomeConnessione, info);
    return db;
}

// psql: the source's driver is psqlODBC (a PostgreSQL server).
QSqlDatabase ApriOdbc(const QString& nomeOdbc, const QString& utente, const QString& password,
                      const QString& nomeConnessione, bool solaLettura, bool psql) {
    QSqlDatabase db = NuovaConnessione(QStringLiteral("QODBC"), nomeConnessione);
    // psqlODBC takes the access mode as a hint only: a read-only opening
    // has the server make every transaction read-only, through the text sent
    // at connection (part of the connection text, so copies of the
    // connection keep it).
    if (solaLettura && psql)
        db.setDatabaseName(
            (nomeOdbc.contains(QLatin1Char('=')) ? nomeOdbc : QStringLiteral("DSN=") + nomeOdbc) +
            QStringLiteral(";ConnSettings=SET%20default_transaction_read_only%3Don"));
    else
        db.setDatabaseName(nomeOdbc);
    // QODBC appends ";UID=...;PWD=..." to the text as given: a ';' or a brace
    // in the user or the password would end the attribute early, so they
    // travel between braces.
    db.setUserName(ValoreOdbc(utente));
    db.setPassword(ValoreOdbc(password));
    if (solaLettura)
        db.setConnectOptions(QStringLiteral("SQL_ATTR_ACCESS_MODE=SQL_MODE_READ_ONLY"));
    InfoConnessione info{Dialetto::PostgreSQL, true, false, {}};
    if (!db.open()) {
        const QSqlError e = db.lastError();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(nomeConnessione);
        throw MappaErroreApertura(info, e, Sorgente);
    }
    if (psql)
        VerificaStringheStandard(db, nomeConnessione);
    Registra(nomeConnessione, info);
    return db;
}

// Once per file and process: the program opens its company twice.
// ancoraWal: the file stays in WAL mode (another program has it open, or
// this opening is read-only).
void AvvisaFileDiRete(const QString& file, const QString& fileSystem, bool ancoraWal) {
    static QMutex mutex;
    static QSet<QString> avvisati;
    {
        QMutexLocker l(&mutex);
        if (avvisati.contains(file))
            return;
        avvisati.insert(file);
    }
    const QString giornale =
        ancoraWal ? QStringLiteral("ma il file resta nel modo WAL (è aperto da un altro "
                                   "programma o in sola lettura): chiudere gli altri programmi "
                                   "e riaprire la ditta.")
                  : QStringLiteral("quindi il file viene aperto con il giornale di rollback, più "
                                   "lento.");
    MsgBox(QStringLiteral("Il database %1 si trova su un disco di rete (%2). Il registro WAL di "
                          "SQLite funziona solo se tutti i programmi che usano il file sono sullo "
                          "stesso computer, %3\n\nUn file della ditta serve una sola postazione: "
                          "più postazioni condividono una ditta attraverso PostgreSQL.")
               .arg(QDir::toNativeSeparators(file), fileSystem, giornale),
           vbExclamation);
}

QSqlDatabase ApriFile(const QString& nome, const Credenziali& c, const QString& password,
                      const QString& nomeConnessione) {
    const QString percorso = PercorsoLocale(nome);
    if (!password.isEmpty())
        throw Errore(NumErr::PasswordNonValida,
                     QStringLiteral("I database SQLite non hanno password: togliere la "
                                    "password della ditta o usare un database PostgreSQL (%1)")
                         .arg(percorso),
                     Sorgente);
    const QFileInfo fi(percorso);
    if (!fi.exists() || fi.isDir())
        throw Errore(NumErr::FileNonTrovato, QStringLiteral("File non trovato: %1").arg(percorso),
                     Sorgente);
    QSqlDatabase db = NuovaConnessione(QStringLiteral("QSQLITE"), nomeConnessione);
    db.setDatabaseName(percorso);
    QString opzioni = QStringLiteral("QSQLITE_BUSY_TIMEOUT=10000");
    if (c.solaLettura)
        opzioni += QStringLiteral(";QSQLITE_OPEN_READONLY");
    db.setConnectOptions(opzioni);
    InfoConnessione info{Dialetto::SQLite, false, false, fi.absoluteFilePath()};
    if (!db.open()) {
        const QSqlError e = db.lastError();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(nomeConnessione);
        throw MappaErroreApertura(info, e, Sorgente);
    }
    // Reading the schema tells a database from a damaged or foreign file.
    QSqlQuery q(db);
    bool ok = q.exec(QStringLiteral("SELECT count(*) FROM sqlite_master"));
    // The write-ahead log keeps its index in memory shared by the processes of
    // one host: on a network share the rollback journal is the safe one.
    const QString rete = FileSystemDiRete(fi.absoluteFilePath());
    QString giornale;
    auto leggiGiornale = [&](const QString& pragma) {
        const bool letto = q.exec(pragma);
        if (letto && q.next())
            giornale = q.value(0).toString().toLower();
        return letto;
    };
    if (ok && rete.isEmpty()) {
        if (!c.solaLettura)
            ok = leggiGiornale(QStringLiteral("PRAGMA journal_mode=WAL"));
    } else if (ok) {
        // Leaving WAL needs the file to itself: while another program has
        // it open the file stays as it is, and the opening goes on.
        q.exec(QStringLiteral("PRAGMA busy_timeout=0"));
        if (c.solaLettura || !leggiGiornale(QStringLiteral("PRAGMA journal_mode=DELETE")))
            ok = leggiGiornale(QStringLiteral("PRAGMA journal_mode"));
        if (ok)
            ok = q.exec(QStringLiteral("PRAGMA busy_timeout=10000"));
    }
    if (ok)
        ok = q.exec(QStringLiteral("PRAGMA foreign_keys=OFF"));
    if (!ok) {
        const QSqlError e = q.lastError();
        q = QSqlQuery();
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(nomeConnessione);
        throw MappaErroreApertura(info, e, Sorgente);
    }
    Registra(nomeConnessione, info);
    if (!rete.isEmpty())
        AvvisaFileDiRete(fi.absoluteFilePath(), rete, giornale == QLatin1String("wal"));
    return db;
}

// A data source name of odbc.ini.
QSqlDatabase ApriOrigineDati(const QString& dsn, QString utente, QString password,
                             const Credenziali& c, const QString& nomeConnessione) {
    const QString driver = ValoreOrigineDati(dsn, QStringLiteral("Driver"));
    if (!c.soloOdbc && DriverPsqlOdbc(driver)) {
        ServerPg s;
        s.host = ValoreOrigineDati(dsn, QStringLiteral("Servername"));
        if (s.host.isEmpty())
            s.host = ValoreOrigineDati(dsn, QStringLiteral("Server"));
        s.porta = ValoreOrigineDati(dsn, QStringLiteral("Port"));
        s.database = ValoreOrigineDati(dsn, QStringLiteral("Database"));
        s.sslmode = ValoreOrigineDati(dsn, QStringLiteral("SSLmode"));
        s.utente = utente.isEmpty() ? ValoreOrigineDati(dsn, QStringLiteral("Username")) : utente;
        if (s.utente.isEmpty())
            s.utente = ValoreOrigineDati(dsn, QStringLiteral("UID"));
        s.password =
            password.isEmpty() ? ValoreOrigineDati(dsn, QStringLiteral("Password")) : password;
        if (s.password.isEmpty())
            s.password = ValoreOrigineDati(dsn, QStringLiteral("PWD"));
        return ApriPg(s, nomeConnessione, c.solaLettura);
    }
    // QODBC with unixODBC takes the bare name (a "DSN=" text is refused): Qt
    // puts "DSN=" in front, so further attributes follow the name.
    if (DriverPsqlOdbc(driver))
        return ApriOdbc(
            dsn + QStringLiteral(";ConnSettings=") +
                ImpostazioniPsqlOdbc(ValoreOrigineDati(dsn, QStringLiteral("ConnSettings"))),
            utente, password, nomeConnessione, c.solaLettura, true);
    return ApriOdbc(dsn, utente, password, nomeConnessione, c.solaLettura, false);
}

// A complete connection text without DSN/FILEDSN: DRIVER=...
QSqlDatabase ApriTestoDriver(QMap<QString, QString> coppie, const Credenziali& c,
                             const QString& nomeConnessione) {
    const QString driver = SenzaGraffe(coppie.value(QStringLiteral("DRIVER")));
    if (!c.soloOdbc && DriverPsqlOdbc(driver)) {
        ServerPg s;
        s.host = Primo(coppie, {"SERVER", "SERVERNAME", "HOST"});
        s.porta = Primo(coppie, {"PORT"});
        s.database = Primo(coppie, {"DATABASE", "DBNAME"});
        s.utente = Primo(coppie, {"UID", "USERNAME", "USER"});
        s.password = SenzaGraffe(Primo(coppie, {"PWD", "PASSWORD"}));
        s.sslmode = Primo(coppie, {"SSLMODE"});
        return ApriPg(s, nomeConnessione, c.solaLettura);
    }
    // psqlODBC's driver template turns the communication log on: keep it off
    // unless the text asks for it.
    if (!coppie.contains(QStringLiteral("COMMLOG")))
        coppie.insert(QStringLiteral("COMMLOG"), QStringLiteral("0"));
    const bool psql = DriverPsqlOdbc(driver);
    QStringList parti;
    parti << QStringLiteral("DRIVER={") + driver + QLatin1Char('}');
    for (auto it = coppie.cbegin(); it != coppie.cend(); ++it) {
        if (it.key() == QLatin1String("DRIVER") ||
            (psql && it.key() == QLatin1String("CONNSETTINGS")))
            continue;
        parti << it.key() + QLatin1Char('=') + ValoreOdbc(SenzaGraffe(it.value()));
    }
    if (psql)
        parti << QStringLiteral("CONNSETTINGS=") +
                     ImpostazioniPsqlOdbc(coppie.value(QStringLiteral("CONNSETTINGS")));
    return ApriOdbc(parti.join(QLatin1Char(';')), {}, {}, nomeConnessione, c.solaLettura, psql);
}

QSqlDatabase ApriFileOrigineDati(const QString& nome, QMap<QString, QString> extra,
                                 const Credenziali& c, const QString& nomeConnessione) {
    const QString file = PercorsoLocale(nome);
    if (!QFileInfo::exists(file))
        throw Errore(NumErr::FileNonTrovato,
                     QStringLiteral("File di origine dati non trovato: %1").arg(file), Sorgente);
    QMap<QString, QString> coppie;
    static const char* chiavi[] = {"DRIVER",   "SERVER",   "SERVERNAME", "PORT",
                                   "DATABASE", "UID",      "PWD",        "USERNAME",
                                   "PASSWORD", "SSLMODE",  "COMMLOG",    "DEBUG",
                                   "READONLY", "PROTOCOL", "DSN",        "CONNSETTINGS"};
    for (const char* k : chiavi) {
        const QString v = LeggiDsn(file, QString::fromLatin1(k));
        if (!v.isEmpty())
            coppie.insert(QString::fromLatin1(k), v);
    }
    if (coppie.value(QStringLiteral("DRIVER")).isEmpty())
        throw Errore(NumErr::ChiamataOdbcFallita,
                     QStringLiteral("Il file di origine dati %1 non indica il driver").arg(file),
                     Sorgente);
    coppie.remove(QStringLiteral("DSN"));
    for (auto it = extra.cbegin(); it != extra.cend(); ++it)
        if (!it.value().isEmpty())
            coppie.insert(it.key(), it.value());
    return ApriTestoDriver(coppie, c, nomeConnessione);
}

} // namespace

QMap<QString, QString> CoppieConnessione(const QString& testo) {
    QMap<QString, QString> m;
    qsizetype i = 0;
    const qsizetype n = testo.size();
    while (i < n) {
        const qsizetype uguale = testo.indexOf(QLatin1Char('='), i);
        const qsizetype pv = testo.indexOf(QLatin1Char(';'), i);
        if (uguale < 0 || (pv >= 0 && pv < uguale)) {
            // a part without "=" ("ODBC")
            i = pv < 0 ? n : pv + 1;
            continue;
        }
        const QString chiave = testo.mid(i, uguale - i).trimmed().toUpper();
        qsizetype j = uguale + 1;
        QString valore;
        while (j < n && testo.at(j) == QLatin1Char(' '))
            ++j;
        if (j < n && testo.at(j) == QLatin1Char('{')) {
            ++j;
            while (j < n) {
                if (testo.at(j) == QLatin1Char('}')) {
                    if (j + 1 < n && testo.at(j + 1) == QLatin1Char('}')) {
                        valore += QLatin1Char('}');
                        j += 2;
                        continue;
                    }
                    ++j;
                    break;
                }
                valore += testo.at(j++);
            }
            const qsizetype fine = testo.indexOf(QLatin1Char(';'), j);
            i = fine < 0 ? n : fine + 1;
        } else {
            const qsizetype fine = testo.indexOf(QLatin1Char(';'), j);
            valore = testo.mid(j, (fine < 0 ? n : fine) - j).trimmed();
            i = fine < 0 ? n : fine + 1;
        }
        if (!chiave.isEmpty() && !m.contains(chiave))
            m.insert(chiave, valore);
    }
    return m;
}

namespace {

std::function<QString(const QString&)>& ControlloFileSystem() {
    static std::function<QString(const QString&)> controllo;
    return controllo;
}

// The file system type of the mount that holds the file, from the mount
// table (FUSE file systems all report the same magic number).
QString TipoMontaggio(const QString& percorso) {
    QFile f(QStringLiteral("/proc/self/mounts"));
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    const QString file = QFileInfo(percorso).canonicalFilePath();
    QString tipo;
    qsizetype lunghezza = -1;
    while (!f.atEnd()) {
        const QList<QByteArray> campi = f.readLine().split(' ');
        if (campi.size() < 3)
            continue;
        // Spaces in a mount point are written as \040.
        const QString punto =
            QString::fromUtf8(campi.at(1)).replace(QLatin1String("\\040"), QLatin1String(" "));
        const bool dentro = file == punto || punto == QLatin1String("/") ||
                            file.startsWith(punto + QLatin1Char('/'));
        if (dentro && punto.size() >= lunghezza) {
            lunghezza = punto.size();
            tipo = QString::fromUtf8(campi.at(2));
        }
    }
    return tipo;
}

} // namespace

QString FileSystemDiRete(const QString& percorso) {
    if (const auto& controllo = ControlloFileSystem())
        return controllo(percorso);
    struct statfs fs {};
    if (statfs(QFile::encodeName(percorso).constData(), &fs) != 0)
        return {};
    switch (static_cast<unsigned long>(fs.f_type)) {
    case 0x6969: // NFS_SUPER_MAGIC
        return QStringLiteral("nfs");
    case 0x517B: // SMB_SUPER_MAGIC
        return QStringLiteral("smb");
    case 0xFF534D42: // CIFS
        return QStringLiteral("cifs");
    case 0xFE534D42: // SMB2
        return QStringLiteral("smb2");
    case 0x5346414F: // AFS
        return QStringLiteral("afs");
    case 0x00C36400: // Ceph
        return QStringLiteral("ceph");
    case 0x01021997: // 9p
        return QStringLiteral("9p");
    case 0x65735546: { // FUSE: sshfs and the like are on another host
        const QString tipo = TipoMontaggio(percorso);
        for (const char* rete : {"fuse.sshfs", "fuse.rclone", "fuse.s3fs", "fuse.davfs"})
            if (tipo == QLatin1String(rete))
                return tipo.mid(5);
        return {};
    }
    default:
        return {};
    }
}

void ImpostaControlloFileSystem(std::function<QString(const QString&)> controllo) {
    ControlloFileSystem() = std::move(controllo);
}

QString TestoConnessione(const QMap<QString, QString>& coppie) {
    QStringList parti{QStringLiteral("ODBC")};
    if (coppie.contains(QStringLiteral("DRIVER")))
        parti << QStringLiteral("DRIVER={") + SenzaGraffe(coppie.value(QStringLiteral("DRIVER"))) +
                     QLatin1Char('}');
    for (auto it = coppie.cbegin(); it != coppie.cend(); ++it)
        if (it.key() != QLatin1String("DRIVER"))
            parti << it.key() + QLatin1Char('=') + ValoreOdbc(it.value());
    return parti.join(QLatin1Char(';'));
}

QString ValoreOrigineDati(const QString& dsn, const QString& chiave) {
    return LeggiPrivato(dsn, chiave, "odbc.ini");
}

bool DriverPsqlOdbc(const QString& driver) {
    if (driver.isEmpty())
        return false;
    if (driver.contains(QLatin1String("psqlodbc"), Qt::CaseInsensitive))
        return true;
    const QString libreria = LeggiPrivato(driver, QStringLiteral("Driver"), "odbcinst.ini");
    return libreria.contains(QLatin1String("psqlodbc"), Qt::CaseInsensitive);
}

QSqlDatabase ApriDatabase(const QString& nomeDato, const QString& connessione,
                          const Credenziali& credenziali, const QString& nomeConnessione) {
    Credenziali c = credenziali;
    c.soloOdbc = c.soloOdbc || SoloOdbcDaAmbiente();
    QString nome = nomeDato.trimmed();
    QString testo = connessione.trimmed();
    // The engine's way: an empty name and the ODBC text as the connection.
    if (nome.isEmpty() && testo.left(5).compare(QLatin1String("ODBC;"), Qt::CaseInsensitive) == 0) {
        nome = testo;
        testo.clear();
    }
    if (nome.isEmpty())
        throw Errore(NumErr::FileNonTrovato, QStringLiteral("Nome del database mancante"),
                     Sorgente);
    const auto extra = CoppieConnessione(testo);
    switch (TipoDiDatabase(nome)) {
    case TipoDatabase::File: {
        QString password = c.passwordFile;
        if (password.isEmpty())
            password = extra.value(QStringLiteral("PWD"));
        return ApriFile(nome, c, password, nomeConnessione);
    }
    case TipoDatabase::OrigineDati: {
        const QString utente = c.utente.isEmpty() ? extra.value(QStringLiteral("UID")) : c.utente;
        const QString pwd = c.password.isEmpty() ? extra.value(QStringLiteral("PWD")) : c.password;
        return ApriOrigineDati(nome, utente, pwd, c, nomeConnessione);
    }
    case TipoDatabase::FileOrigineDati: {
        QMap<QString, QString> e;
        e.insert(QStringLiteral("UID"),
                 c.utente.isEmpty() ? extra.value(QStringLiteral("UID")) : c.utente);
        e.insert(QStringLiteral("PWD"),
                 c.password.isEmpty() ? extra.value(QStringLiteral("PWD")) : c.password);
        return ApriFileOrigineDati(nome, e, c, nomeConnessione);
    }
    case TipoDatabase::TestoOdbc: {
        auto coppie = CoppieConnessione(nome);
        // The password given apart counts when the text has none.
        if (coppie.value(QStringLiteral("PWD")).isEmpty() && !c.passwordFile.isEmpty())
            coppie.insert(QStringLiteral("PWD"), c.passwordFile);
        if (coppie.contains(QStringLiteral("DSN"))) {
            const QString dsn = coppie.value(QStringLiteral("DSN"));
            return ApriOrigineDati(dsn, coppie.value(QStringLiteral("UID")),
                                   coppie.value(QStringLiteral("PWD")), c, nomeConnessione);
        }
        if (coppie.contains(QStringLiteral("FILEDSN"))) {
            const QString file = SenzaGraffe(coppie.value(QStringLiteral("FILEDSN")));
            QMap<QString, QString> e;
            for (auto it = coppie.cbegin(); it != coppie.cend(); ++it)
                if (it.key() != QLatin1String("FILEDSN"))
                    e.insert(it.key(), it.value());
            return ApriFileOrigineDati(file, e, c, nomeConnessione);
        }
        if (!coppie.contains(QStringLiteral("DRIVER")))
            throw Errore(NumErr::ChiamataOdbcFallita,
                         QStringLiteral("Testo di connessione ODBC senza DSN, FILEDSN o DRIVER: "
                                        "chiamata ODBC non riuscita"),
                         Sorgente);
        return ApriTestoDriver(coppie, c, nomeConnessione);
    }
    }
    return {};
}

InfoConnessione Info(const QSqlDatabase& db) {
    {
        QMutexLocker l(&registroMutex);
        const auto it = registro.constFind(db.connectionName());
        if (it != registro.cend())
            return *it;
    }
    InfoConnessione i;
    const QString d = db.driverName();
    if (d == QLatin1String("QSQLITE")) {
        i.dialetto = Dialetto::SQLite;
        i.file = db.databaseName();
    } else {
        i.dialetto = Dialetto::PostgreSQL;
        i.odbc = d == QLatin1String("QODBC");
    }
    return i;
}

void DimenticaConnessione(const QString& nomeConnessione) {
    QMutexLocker l(&registroMutex);
    registro.remove(nomeConnessione);
}

} // namespace quarvel::dati
