#include "listcmd/Conteggio.h"

#include <QAtomicInteger>
#include <QPointer>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <QVariant>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <sqlite3.h>

namespace quarvel::listcmd {

namespace {

std::mutex MutexTrattieni;
std::condition_variable SbloccoTrattieni;
bool Trattenuti = false;
QAtomicInteger<quint64> ProssimoNome{0};

// Wakes a count held by Trattieni to look again at what it waits for.
void SvegliaTrattenuti() {
    { std::lock_guard<std::mutex> t(MutexTrattieni); }
    SbloccoTrattieni.notify_all();
}

// A server connection nobody counts on is closed after this.
constexpr auto Inattivita = std::chrono::seconds(60);

bool DiSqlite(const QSqlDatabase& db) {
    return db.driverName() == QLatin1String("QSQLITE");
}

// What the clone is made of: a list opened on another database under the
// same connection name must not be counted on the old one.
QString ChiaveDi(const QSqlDatabase& db) {
    return QStringList{
        db.connectionName(),        db.driverName(), db.databaseName(),  db.hostName(),
        QString::number(db.port()), db.userName(),   db.connectOptions()}
        .join(QChar(0));
}

// The server's plan for sql reads the whole of the table (a sequential
// scan, the rows' condition tested on each row).
bool LetturaIntera(QSqlQuery& q, const QString& sql, const QString& tabella) {
    if (!q.exec(QStringLiteral("EXPLAIN ") + sql))
        return false;
    const QString cercato = QStringLiteral("Seq Scan on ") + tabella.toLower();
    bool intera = false;
    while (q.next()) {
        const QString riga = q.value(0).toString();
        const qsizetype i = riga.indexOf(cercato, 0, Qt::CaseInsensitive);
        const qsizetype dopo = i + cercato.size();
        if (i >= 0 && (dopo == riga.size() || riga[dopo] == QLatin1Char(' ')))
            intera = true;
    }
    q.finish();
    return intera;
}

} // namespace

struct LavoroConteggio {
    QString sql;
    QString perLetturaIntera; // with the table it is for
    QString tabella;
    Differenza differenza;
    std::atomic<bool> fermato{false};
    bool inCorso = false; // the rest under the channel's mutex
    bool finito = false;
    bool riuscito = false;
    qint64 totale = 0;
    QString errore;
    Conteggio* proprietario = nullptr;
};

struct CanaleConteggi::Stato {
    std::mutex m;
    std::condition_variable cv;
    std::atomic<bool> fine{false};
    // the connection wanted
    QString connessione;
    QString chiave;
    bool sqlite = false;
    bool postgres = false;
    bool apertura = false; // open it even with no count to run
    std::shared_ptr<LavoroConteggio> lavoro;
    // of the open clone, to interrupt its statement
    sqlite3* handleSqlite = nullptr;
    QString pid;

    // The connection the next count runs on: a clone of db's.  Under m.
    void punta(const QSqlDatabase& db) {
        connessione = db.connectionName();
        chiave = ChiaveDi(db);
        sqlite = DiSqlite(db);
        postgres = db.driverName().startsWith(QLatin1String("QPSQL"));
    }
};

namespace {

// The counting thread: the clone of the list's connection it counts on,
// opened when a count or a form asks for it and closed when nobody counts on
// it any more.
class CicloConteggi {
public:
    explicit CicloConteggi(std::shared_ptr<CanaleConteggi::Stato> stato) : s(std::move(stato)) {}
    // Runs the counts the channel is given until it ends.
    void Esegui();

private:
    // What the thread reads of the channel before it lets go of its mutex.
    struct Richiesta {
        QString connessione;
        QString chiave;
        bool sqlite = false;
        bool postgres = false;
    };
    struct Esito {
        bool riuscito = false;
        qint64 totale = 0;
        QString errore;
    };
    enum class Presa { Conta, Salta, Fine };

    bool DaFare() const;
    bool Attendi(std::unique_lock<std::mutex>& l);
    Presa Prendi(std::unique_lock<std::mutex>& l, const std::shared_ptr<LavoroConteggio>& lavoro);
    Esito Conta(const Richiesta& r, LavoroConteggio* lavoro);
    void Consegna(const std::shared_ptr<LavoroConteggio>& lavoro, const Esito& e);
    bool Apri(const Richiesta& r);
    void Chiudi();
    bool PerDifferenza(const Differenza& d, qint64* totale);

    std::shared_ptr<CanaleConteggi::Stato> s;
    QSqlDatabase db;
    QString nome;
    QString chiaveAperta;
};

void CicloConteggi::Esegui() {
    std::unique_lock<std::mutex> l(s->m);
    for (;;) {
        if (!Attendi(l))
            continue;
        if (s->fine.load())
            break;
        std::shared_ptr<LavoroConteggio> lavoro = s->lavoro;
        if (lavoro) {
            const Presa p = Prendi(l, lavoro);
            if (p == Presa::Fine)
                break;
            if (p == Presa::Salta)
                continue;
        }
        s->apertura = false;
        const Richiesta r{s->connessione, s->chiave, s->sqlite, s->postgres};
        l.unlock();
        const Esito e = Conta(r, lavoro.get());
        l.lock();
        if (lavoro)
            Consegna(lavoro, e);
    }
    l.unlock();
    Chiudi();
}

// Something for the thread: the end, a count, or a connection to open ahead
// of the counts.  Under s->m.
bool CicloConteggi::DaFare() const {
    return s->fine.load() || s->lavoro ||
           (s->apertura && (chiaveAperta != s->chiave || !db.isOpen()));
}

// Waits under l for something to do; false when a server connection idle
// too long was closed instead (the caller looks again).
bool CicloConteggi::Attendi(std::unique_lock<std::mutex>& l) {
    const auto daFare = [this] { return DaFare(); };
    if (daFare())
        return true;
    if (db.isOpen() && !s->sqlite) {
        if (!s->cv.wait_for(l, Inattivita, daFare)) {
            l.unlock();
            Chiudi();
            l.lock();
            return false;
        }
    } else {
        s->cv.wait(l, daFare);
    }
    return true;
}

// Takes lavoro once no test holds the counts back (Trattieni): Salta when
// it was stopped or replaced meanwhile, Fine when the channel ends.
CicloConteggi::Presa CicloConteggi::Prendi(std::unique_lock<std::mutex>& l,
                                           const std::shared_ptr<LavoroConteggio>& lavoro) {
    l.unlock();
    {
        std::unique_lock<std::mutex> t(MutexTrattieni);
        SbloccoTrattieni.wait(
            t, [&] { return !Trattenuti || lavoro->fermato.load() || s->fine.load(); });
    }
    l.lock();
    if (s->fine.load())
        return Presa::Fine;
    if (s->lavoro != lavoro || lavoro->fermato.load())
        return Presa::Salta; // stopped while held
    lavoro->inCorso = true;
    return Presa::Conta;
}

// Opens the clone r wants (when the one open is another) and runs lavoro's
// count on it, outside the mutex; with no lavoro only the opening.
CicloConteggi::Esito CicloConteggi::Conta(const Richiesta& r, LavoroConteggio* lavoro) {
    Esito e;
    bool aperta = db.isOpen() && chiaveAperta == r.chiave;
    if (!aperta) {
        aperta = Apri(r);
        if (!aperta)
            e.errore = db.lastError().text();
    }
    if (lavoro && aperta && !lavoro->fermato.load()) {
        QSqlQuery q(db);
        q.setForwardOnly(true);
        QString sql = lavoro->sql;
        if (r.postgres && !lavoro->perLetturaIntera.isEmpty() &&
            LetturaIntera(q, sql, lavoro->tabella))
            sql = lavoro->perLetturaIntera;
        if (r.sqlite && !lavoro->differenza.fuori.isEmpty() &&
            PerDifferenza(lavoro->differenza, &e.totale)) {
            e.riuscito = true;
        } else if (q.exec(sql) && q.next()) {
            e.totale = q.value(0).toLongLong();
            e.riuscito = true;
        } else {
            e.errore = q.lastError().text();
        }
    }
    // An SQLite file is not kept open; a server connection that failed
    // (cancelled, dropped) is opened anew for the next count.
    if (r.sqlite || !aperta || (lavoro && !e.riuscito))
        Chiudi();
    return e;
}

// The count as d's difference, in one read transaction; false (nothing
// counted) when the rows outside are too many or a statement failed: the
// condition is then counted itself.
bool CicloConteggi::PerDifferenza(const Differenza& d, qint64* totale) {
    if (!db.transaction())
        return false;
    bool fatto = false;
    {
        QSqlQuery q(db);
        q.setForwardOnly(true);
        if (q.exec(d.fuori) && q.next()) {
            const qint64 fuori = q.value(0).toLongLong();
            q.finish();
            if (fuori < d.limite && q.exec(d.tutte) && q.next()) {
                *totale = q.value(0).toLongLong() - fuori;
                fatto = true;
            }
        }
    }
    db.rollback(); // read only
    return fatto;
}

// Hands lavoro's outcome over and tells its owner, in its own thread, that
// the total arrived.  Under s->m.
void CicloConteggi::Consegna(const std::shared_ptr<LavoroConteggio>& lavoro, const Esito& e) {
    lavoro->riuscito = e.riuscito && !lavoro->fermato.load();
    lavoro->totale = e.totale;
    lavoro->errore = e.errore;
    lavoro->inCorso = false;
    lavoro->finito = true;
    if (s->lavoro == lavoro)
        s->lavoro.reset();
    if (!lavoro->fermato.load() && lavoro->proprietario) {
        QPointer<Conteggio> c = lavoro->proprietario;
        QMetaObject::invokeMethod(
            lavoro->proprietario,
            [c] {
                if (c && c->finito())
                    emit c->arrivato();
            },
            Qt::QueuedConnection);
    }
    s->cv.notify_all();
}

// A new clone of r's connection, with what interrupts its statement (the
// SQLite handle, the server's process id) published to the channel.
bool CicloConteggi::Apri(const Richiesta& r) {
    Chiudi();
    nome = QStringLiteral("quarvel-conteggio-%1").arg(ProssimoNome.fetchAndAddRelaxed(1));
    db = QSqlDatabase::cloneDatabase(r.connessione, nome);
    chiaveAperta = r.chiave;
    if (!db.isValid() || !db.open())
        return false;
    QString pid;
    if (r.postgres) {
        QSqlQuery p(db);
        if (p.exec(QStringLiteral("SELECT pg_backend_pid()")) && p.next())
            pid = QString::number(p.value(0).toLongLong());
    }
    std::lock_guard<std::mutex> l(s->m);
    const QVariant h = db.driver()->handle();
    if (h.isValid() && qstrcmp(h.typeName(), "sqlite3*") == 0)
        s->handleSqlite = *static_cast<sqlite3* const*>(h.constData());
    s->pid = pid;
    return true;
}

void CicloConteggi::Chiudi() {
    if (nome.isEmpty())
        return;
    {
        std::lock_guard<std::mutex> l(s->m);
        s->handleSqlite = nullptr;
        s->pid.clear();
    }
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(nome);
    nome.clear();
    chiaveAperta.clear();
}

// Interrupts the statement the channel runs for lavoro; the caller holds l.
void Interrompi(CanaleConteggi::Stato& s, std::unique_lock<std::mutex>& l,
                const std::shared_ptr<LavoroConteggio>& lavoro, QSqlDatabase principale) {
    lavoro->fermato.store(true);
    lavoro->proprietario = nullptr;
    if (!lavoro->inCorso) {
        if (s.lavoro == lavoro)
            s.lavoro.reset();
        if (!lavoro->finito) {
            lavoro->finito = true;
            lavoro->riuscito = false;
        }
        SvegliaTrattenuti();
        return;
    }
    if (s.handleSqlite)
        sqlite3_interrupt(s.handleSqlite);
    const QString pid = s.pid;
    l.unlock();
    if (!pid.isEmpty() && principale.isOpen()) {
        QSqlQuery q(principale);
        q.exec(QStringLiteral("SELECT pg_cancel_backend(%1)").arg(pid));
    }
    l.lock();
    s.cv.wait(l, [&] { return lavoro->finito; });
}

} // namespace

CanaleConteggi::CanaleConteggi() : m_stato(std::make_shared<Stato>()) {
    std::shared_ptr<Stato> s = m_stato;
    m_thread = QThread::create([s] { CicloConteggi(s).Esegui(); });
    m_thread->setObjectName(QStringLiteral("conteggio lista"));
    m_thread->start(QThread::LowPriority);
}

CanaleConteggi::~CanaleConteggi() {
    {
        std::unique_lock<std::mutex> l(m_stato->m);
        if (std::shared_ptr<LavoroConteggio> lavoro = m_stato->lavoro)
            Interrompi(*m_stato, l, lavoro, QSqlDatabase());
        m_stato->fine.store(true);
    }
    m_stato->cv.notify_all();
    SvegliaTrattenuti();
    m_thread->wait();
    delete m_thread;
}

void CanaleConteggi::prepara(const QSqlDatabase& db) {
    if (!Conteggio::Possibile(db) || DiSqlite(db))
        return;
    {
        std::lock_guard<std::mutex> l(m_stato->m);
        m_stato->punta(db);
        m_stato->apertura = true;
    }
    m_stato->cv.notify_all();
}

bool Conteggio::Possibile(const QSqlDatabase& db) {
    if (!db.isValid() || !db.isOpen() || db.connectionName().isEmpty())
        return false;
    if (DiSqlite(db)) {
        const QString nome = db.databaseName();
        return !nome.isEmpty() && nome != QLatin1String(":memory:") &&
               !nome.contains(QLatin1String("mode=memory"));
    }
    return db.driverName().startsWith(QLatin1String("QPSQL")) ||
           db.driverName().startsWith(QLatin1String("QODBC"));
}

void Conteggio::Trattieni(bool si) {
    {
        std::lock_guard<std::mutex> l(MutexTrattieni);
        Trattenuti = si;
    }
    SbloccoTrattieni.notify_all();
}

Conteggio::Conteggio(CanaleConteggi& canale, const QSqlDatabase& db, const QString& sql,
                     QObject* genitore)
    : Conteggio(canale, db, sql, QString(), QString(), {}, genitore) {}

Conteggio::Conteggio(CanaleConteggi& canale, const QSqlDatabase& db, const QString& sql,
                     const QString& perLetturaIntera, const QString& tabella,
                     const Differenza& differenza, QObject* genitore)
    : QObject(genitore), m_stato(canale.m_stato), m_lavoro(std::make_shared<LavoroConteggio>()),
      m_db(db) {
    m_lavoro->sql = sql;
    if (perLetturaIntera != sql) {
        m_lavoro->perLetturaIntera = perLetturaIntera;
        m_lavoro->tabella = tabella;
    }
    m_lavoro->differenza = differenza;
    m_lavoro->proprietario = this;
    {
        std::unique_lock<std::mutex> l(m_stato->m);
        // one count at a time: an earlier one still running is stopped
        if (std::shared_ptr<LavoroConteggio> prima = m_stato->lavoro)
            Interrompi(*m_stato, l, prima, m_db);
        m_stato->punta(db);
        m_stato->lavoro = m_lavoro;
    }
    m_stato->cv.notify_all();
}

Conteggio::~Conteggio() {
    ferma();
}

void Conteggio::attendi() {
    std::unique_lock<std::mutex> l(m_stato->m);
    m_stato->cv.wait(l, [&] { return m_lavoro->finito; });
}

void Conteggio::ferma() {
    if (m_fermato)
        return;
    m_fermato = true;
    std::unique_lock<std::mutex> l(m_stato->m);
    Interrompi(*m_stato, l, m_lavoro, m_db);
}

bool Conteggio::finito() const {
    std::lock_guard<std::mutex> l(m_stato->m);
    return m_lavoro->finito;
}

bool Conteggio::riuscito() const {
    std::lock_guard<std::mutex> l(m_stato->m);
    return m_lavoro->riuscito;
}

qint64 Conteggio::totale() const {
    std::lock_guard<std::mutex> l(m_stato->m);
    return m_lavoro->totale;
}

QString Conteggio::errore() const {
    std::lock_guard<std::mutex> l(m_stato->m);
    return m_lavoro->errore;
}

} // namespace quarvel::listcmd
