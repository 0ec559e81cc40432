// quarvel-ditta: creates a company database (empty or the demo company) or
// the suite's common database.
//
//   quarvel-ditta [options] DATABASE
//     DATABASE        an SQLite file (created), a data source name, a .dsn
//                     file or an "ODBC;..." connection text
//     --demo          fill with the demo company (deterministic)
//     --righe N       counts of the demo's inventory "INV2024" (default 200)
//     --magazzini N   warehouses of the demo (default 4)
//     --comune        the common database (Appoggio) instead of a company
//     --sostituisci   drop what is there first (an SQLite file is recreated)
//     --se-vuoto      only when the database has no tables yet: a database
//                     already made is left as it is (make run on a data source)
//     --uid U         user of an ODBC source (of an "ODBC;" text too: it
//                     takes the place of the text's UID)
//     --solo-odbc     reach an ODBC source through QODBC only
//     --immagini DIR  the folder of the demo's article pictures (default,
//                     for an SQLite file: <file without .db>.immagini
//                     beside it; a data source gets pictures only with it)
//
//   A company that already has its tables gets the indexes it lacks (the
//   index of the descriptions' words that the article search reads) and is
//   otherwise left as it is.
//
//   The password never goes on the command line, where every user of the
//   computer sees it: it comes from the environment variable
//   QUARVEL_DITTA_PWD, or, when the server refuses the login and the command
//   runs at a terminal, it is asked for there without echo.
//
//   On PostgreSQL the citext extension (codes compared without regard to
//   case) is created in the database when it is missing; when the user may
//   not create it, the command says so and what to run instead.  So is the
//   pg_trgm extension (the trigram index of the article descriptions); without
//   it the description search reads the whole table.

#include "ComponenteDatiSql.h"
#include "Connessioni.h"
#include "Schema.h"

#include "suite/Errore.h"
#include "suite/Percorsi.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <cmath>
#include <cstdio>
#include <optional>
#include <string>
#include <variant>

#include <termios.h>
#include <unistd.h>

using namespace quarvel;

namespace {

const char* const VariabilePassword = "QUARVEL_DITTA_PWD";

// The password typed at the terminal, without echo; empty without a terminal.
QString ChiediPassword(const QString& utente) {
    if (!isatty(STDIN_FILENO))
        return {};
    std::fprintf(stderr, "Password%s%s: ", utente.isEmpty() ? "" : " dell'utente ",
                 qPrintable(utente));
    std::fflush(stderr);
    termios prima{};
    const bool eco = tcgetattr(STDIN_FILENO, &prima) == 0;
    if (eco) {
        termios senza = prima;
        senza.c_lflag &= tcflag_t(~ECHO);
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &senza);
    }
    std::string riga;
    for (int c = std::fgetc(stdin); c != EOF && c != '\n'; c = std::fgetc(stdin))
        riga.push_back(char(c));
    if (eco)
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &prima);
    std::fputc('\n', stderr);
    return QString::fromLocal8Bit(riga.data(), qsizetype(riga.size()));
}

// The citext extension in a PostgreSQL database: created when missing (it
// is a trusted extension: the database's owner may create it).  False, after
// saying why and what to run instead, when it cannot be created.
bool CreaCitext(QSqlDatabase& db) {
    QSqlQuery q(db);
    if (q.exec(QStringLiteral("SELECT 1 FROM pg_extension WHERE extname = 'citext'")) && q.next())
        return true;
    if (q.exec(QStringLiteral("CREATE EXTENSION IF NOT EXISTS citext"))) {
        std::fprintf(stderr, "quarvel-ditta: creata nel database l'estensione citext\n");
        return true;
    }
    std::fprintf(stderr,
                 "quarvel-ditta: il database non ha l'estensione citext (i codici vi si "
                 "confrontano senza badare a maiuscole e minuscole) e questo utente non può "
                 "crearla: %s\nquarvel-ditta: installare postgresql-contrib sul server ed "
                 "eseguire nel database, come superutente: CREATE EXTENSION citext\n",
                 qPrintable(q.lastError().text()));
    return false;
}

// The pg_trgm extension: created when missing; false, after saying so, when
// it cannot be (the company works without it, its description search slower).
bool CreaTrigrammi(QSqlDatabase& db) {
    QSqlQuery q(db);
    if (q.exec(QStringLiteral("SELECT 1 FROM pg_extension WHERE extname = 'pg_trgm'")) && q.next())
        return true;
    if (q.exec(QStringLiteral("CREATE EXTENSION IF NOT EXISTS pg_trgm"))) {
        std::fprintf(stderr, "quarvel-ditta: creata nel database l'estensione pg_trgm\n");
        return true;
    }
    std::fprintf(stderr,
                 "quarvel-ditta: attenzione: il database non ha l'estensione pg_trgm (l'indice "
                 "delle parole delle descrizioni degli articoli) e questo utente non può crearla: "
                 "%s\nquarvel-ditta: la ricerca per descrizione legge tutta la tabella; per "
                 "l'indice installare postgresql-contrib sul server, eseguire nel database, come "
                 "superutente: CREATE EXTENSION pg_trgm, e rieseguire quarvel-ditta\n",
                 qPrintable(q.lastError().text()));
    return false;
}

// The demo's article pictures: a simple drawing for each article that names
// one, in the folder, written only where no file of that name is (nothing of
// the operator's is replaced).  Shapes only: no font is needed without a
// display.  Returns how many were written; raises Errore.
int DisegnaImmagini(QSqlDatabase& db, const QString& cartella) {
    if (!QDir().mkpath(cartella))
        throw Errore(
            NumErr::PermessoNegato,
            QStringLiteral("impossibile creare la cartella delle immagini %1").arg(cartella));
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT Articolo, Immagine, LivGruppo2 FROM Articoli WHERE "
                               "Immagine IS NOT NULL ORDER BY Articolo")))
        throw dati::MappaErrore(db, q.lastError(), QStringLiteral("quarvel-ditta"));
    static const QColor sfondi[] = {QColor(0xE8, 0xF1, 0xFA), QColor(0xFB, 0xF0, 0xE0),
                                    QColor(0xE9, 0xF6, 0xE9), QColor(0xF3, 0xE9, 0xF7)};
    static const QColor pezzi[] = {QColor(0x2B, 0x5C, 0x8A), QColor(0xB0, 0x3A, 0x2E),
                                   QColor(0x3C, 0x8D, 0x40), QColor(0x6A, 0x4C, 0x93),
                                   QColor(0x80, 0x80, 0x80)};
    int scritte = 0;
    int n = 0;
    while (q.next()) {
        const QString file = QDir(cartella).filePath(q.value(1).toString().trimmed());
        ++n;
        if (QFileInfo::exists(file))
            continue;
        QImage img(240, 180, QImage::Format_RGB32);
        img.fill(sfondi[n % 4]);
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        const QColor colore = pezzi[n % 5];
        p.setPen(QPen(colore.darker(140), 3));
        p.setBrush(colore);
        switch (n % 3) {
        case 0: { // a box
            p.drawRect(60, 60, 120, 80);
            p.setBrush(colore.lighter(130));
            p.drawPolygon(QPolygon({{60, 60}, {90, 30}, {210, 30}, {180, 60}}));
            p.setBrush(colore.darker(120));
            p.drawPolygon(QPolygon({{180, 60}, {210, 30}, {210, 110}, {180, 140}}));
            break;
        }
        case 1: { // a nut
            QPolygonF esagono;
            for (int k = 0; k < 6; ++k)
                esagono << QPointF(120 + 70 * std::cos(k * M_PI / 3),
                                   90 + 70 * std::sin(k * M_PI / 3));
            QPainterPath dado;
            dado.addPolygon(esagono);
            dado.closeSubpath();
            dado.addEllipse(QPointF(120, 90), 30, 30);
            p.drawPath(dado);
            break;
        }
        default: // a bolt
            p.drawRect(40, 75, 130, 30);
            p.drawRect(170, 50, 30, 80);
            p.setPen(QPen(colore.darker(160), 2));
            for (int x = 50; x < 160; x += 12)
                p.drawLine(x, 75, x + 6, 105);
            break;
        }
        // the colour level as a stripe along the bottom
        if (!q.value(2).isNull()) {
            p.setPen(Qt::NoPen);
            p.setBrush(pezzi[(n + 1) % 5]);
            p.drawRect(0, 165, 240, 15);
        }
        p.end();
        if (!img.save(file, "PNG"))
            throw Errore(NumErr::PermessoNegato,
                         QStringLiteral("impossibile scrivere l'immagine %1").arg(file));
        ++scritte;
    }
    return scritte;
}

// What the command line asks for.
struct Richiesta {
    QString nome; // the database as given
    TipoDatabase tipo = TipoDatabase::File;
    bool demo = false;
    qint64 righe = 0;
    int magazzini = 0;
    bool comune = false;
    bool sostituisci = false;
    bool seVuoto = false;
    QString utente;
    bool soloOdbc = false;
    QString immagini;
};

// The options: name, description, the name of the value and its default
// (none for a switch), and whether --help lists it.
struct Opzione {
    const char* nome;
    const char* descrizione;
    const char* valore;
    const char* predefinito;
    bool nascosta;
};
constexpr Opzione kOpzioni[] = {
    {"demo", "ditta dimostrativa", nullptr, nullptr, false},
    {"righe", "righe dell'inventario INV2024", "n", "200", false},
    {"magazzini", "numero di magazzini", "n", "4", false},
    {"comune", "database comune", nullptr, nullptr, false},
    {"sostituisci", "sostituisce le tabelle esistenti", nullptr, nullptr, false},
    {"se-vuoto", "solo se il database non ha ancora tabelle", nullptr, nullptr, false},
    {"uid", "utente", "utente", nullptr, false},
    // Refused: named only to say where the password goes instead.
    {"pwd", "password", "password", nullptr, true},
    {"solo-odbc", "solo attraverso QODBC", nullptr, nullptr, false},
    {"immagini", "cartella delle immagini degli articoli", "cartella", nullptr, false},
};

// The command line read; an exit code when the command ends here.
std::variant<Richiesta, int> LeggiRigaComando(QCoreApplication& app) {
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral(
        "Crea il database di una ditta (vuoto o dimostrativo) o il database comune.\n"
        "La password di un'origine dati si dà nella variabile d'ambiente QUARVEL_DITTA_PWD; "
        "senza, il programma la chiede al terminale quando il server la vuole."));
    p.addHelpOption();
    p.addPositionalArgument(QStringLiteral("database"),
                            QStringLiteral("file SQLite, origine dati, file .dsn o testo ODBC;"));
    for (const Opzione& o : kOpzioni) {
        QCommandLineOption opzione(QString::fromUtf8(o.nome), QString::fromUtf8(o.descrizione));
        if (o.valore)
            opzione.setValueName(QString::fromUtf8(o.valore));
        if (o.predefinito)
            opzione.setDefaultValue(QString::fromUtf8(o.predefinito));
        if (o.nascosta)
            opzione.setFlags(QCommandLineOption::HiddenFromHelp);
        p.addOption(opzione);
    }
    p.process(app);
    if (p.positionalArguments().size() != 1)
        p.showHelp(2);
    if (p.isSet(QStringLiteral("pwd"))) {
        std::fprintf(stderr,
                     "quarvel-ditta: --pwd non è accettato: sulla riga di comando la password è "
                     "visibile a ogni utente del computer. Darla nella variabile d'ambiente %s, "
                     "oppure digitarla quando il programma la chiede.\n",
                     VariabilePassword);
        return 2;
    }
    Richiesta r;
    r.nome = p.positionalArguments().first();
    r.tipo = TipoDiDatabase(r.nome);
    r.demo = p.isSet(QStringLiteral("demo"));
    r.righe = p.value(QStringLiteral("righe")).toLongLong();
    r.magazzini = p.value(QStringLiteral("magazzini")).toInt();
    r.comune = p.isSet(QStringLiteral("comune"));
    r.sostituisci = p.isSet(QStringLiteral("sostituisci"));
    r.seVuoto = p.isSet(QStringLiteral("se-vuoto"));
    r.utente = p.value(QStringLiteral("uid"));
    r.soloOdbc = p.isSet(QStringLiteral("solo-odbc"));
    r.immagini = p.value(QStringLiteral("immagini"));
    if (r.tipo == TipoDatabase::TestoOdbc &&
        !dati::CoppieConnessione(r.nome).value(QStringLiteral("PWD")).isEmpty())
        std::fprintf(stderr,
                     "quarvel-ditta: attenzione: la password nel testo di connessione è visibile a "
                     "ogni utente del computer; darla nella variabile d'ambiente %s\n",
                     VariabilePassword);
    return r;
}

// An SQLite file: removed first with --sostituisci (its journal files too),
// created when missing.  False after saying why.
bool PreparaFile(const Richiesta& r) {
    const QString file = PercorsoLocale(r.nome);
    if (r.sostituisci) {
        for (const char* s : {"", "-wal", "-shm", "-journal"})
            QFile::remove(file + QLatin1String(s));
    }
    if (QFileInfo::exists(file))
        return true;
    QFile f(file);
    if (f.open(QIODevice::WriteOnly))
        return true;
    std::fprintf(stderr, "quarvel-ditta: impossibile creare %s\n", qPrintable(file));
    return false;
}

// The database opened under the connection "quarvel-ditta", the password
// asked at the terminal when the server wants one and the environment gives
// none.  Nullopt after saying why; raises Errore.
std::optional<QSqlDatabase> Apri(const Richiesta& r) {
    QString password = qEnvironmentVariable(VariabilePassword);
    // An "ODBC;" text carries its user: --uid takes its place.
    QString nomeDb = r.nome;
    if (r.tipo == TipoDatabase::TestoOdbc && !r.utente.isEmpty()) {
        auto coppie = dati::CoppieConnessione(r.nome);
        coppie.insert(QStringLiteral("UID"), r.utente);
        nomeDb = dati::TestoConnessione(coppie);
    }
    auto apri = [&] {
        dati::Credenziali c;
        c.soloOdbc = r.soloOdbc;
        if (r.tipo == TipoDatabase::TestoOdbc) {
            c.passwordFile = password; // when the text has none
        } else if (r.tipo != TipoDatabase::File) {
            c.utente = r.utente;
            c.password = password;
        }
        return dati::ApriDatabase(nomeDb, {}, c, QStringLiteral("quarvel-ditta"));
    };
    try {
        return apri();
    } catch (const Errore& e) {
        // The server wants a password: asked for at the terminal.
        if (e.numero() != NumErr::OperazioneAnnullata || r.tipo == TipoDatabase::File)
            throw;
        if (password.isEmpty())
            password = ChiediPassword(r.utente);
        if (password.isEmpty()) {
            std::fprintf(stderr,
                         "quarvel-ditta: errore %d: %s\nquarvel-ditta: il server vuole una "
                         "password: darla nella variabile d'ambiente %s, o eseguire il "
                         "comando da un terminale, che la chiede\n",
                         e.numero(), qPrintable(e.descrizione()), VariabilePassword);
            return std::nullopt;
        }
        if (!qEnvironmentVariableIsEmpty(VariabilePassword))
            throw;
        return apri();
    }
}

bool SuPostgres(const QSqlDatabase& db) {
    return db.driverName() != QLatin1String("QSQLITE");
}

// A company made before the indexes it reads: they are added, the data left
// as they are.
int CompletaDitta(QSqlDatabase& db, const Richiesta& r) {
    if (SuPostgres(db))
        CreaTrigrammi(db);
    for (const QString& fatto : dati::CompletaIndici(db))
        std::fprintf(stderr, "quarvel-ditta: creato %s\n", qPrintable(fatto));
    std::fprintf(stderr,
                 "quarvel-ditta: %s ha già le tabelle della ditta: aggiunti solo gli "
                 "indici mancanti, dati lasciati come sono\n",
                 qPrintable(r.nome));
    return 0;
}

// --se-vuoto on a database that already has tables: left as it is.
int LasciaComE(QSqlDatabase&, const Richiesta& r) {
    std::fprintf(stderr, "quarvel-ditta: %s ha già delle tabelle: lasciato com'è\n",
                 qPrintable(r.nome));
    return 0;
}

// What a PostgreSQL database needs before the tables: citext (false when it
// cannot be created), pg_trgm for a company, and a warning when its ctype
// slows the comparisons of codes.
bool PreparaPostgres(QSqlDatabase& db, bool ditta) {
    if (!SuPostgres(db))
        return true;
    if (!CreaCitext(db))
        return false;
    if (ditta)
        CreaTrigrammi(db);
    // Codes are compared ignoring case: under a ctype other than C every
    // comparison lowers both sides through wide characters.
    QSqlQuery q(db);
    if (q.exec(QStringLiteral("SHOW lc_ctype")) && q.next()) {
        const QString ctype = q.value(0).toString();
        if (ctype != QLatin1String("C") && ctype != QLatin1String("POSIX"))
            std::fprintf(stderr,
                         "quarvel-ditta: attenzione: il database ha LC_CTYPE '%s'; "
                         "con LC_CTYPE 'C' i confronti dei codici sono tre volte "
                         "più veloci (vedi README)\n",
                         qPrintable(ctype));
    }
    return true;
}

int CreaDatabaseComune(QSqlDatabase& db, const Richiesta& r) {
    if (!PreparaPostgres(db, false))
        return 1;
    dati::CreaComune(db, r.sostituisci);
    if (r.demo)
        dati::GeneraDemoComune(db);
    return 0;
}

// The demo company's data, then its article pictures in --immagini or,
// for an SQLite file, in the folder beside it.
void RiempiDemo(QSqlDatabase& db, const Richiesta& r) {
    dati::OpzioniDemo o;
    o.righeInventario = r.righe;
    o.magazzini = r.magazzini;
    dati::GeneraDemo(db, o);
    QString cartella = r.immagini;
    if (cartella.isEmpty() && r.tipo == TipoDatabase::File) {
        const QFileInfo f(PercorsoLocale(r.nome));
        cartella = f.absoluteDir().filePath(f.completeBaseName() + QStringLiteral(".immagini"));
    }
    if (cartella.isEmpty()) {
        std::fprintf(stderr, "quarvel-ditta: senza --immagini la ditta "
                             "dimostrativa non ha le immagini degli articoli\n");
        return;
    }
    const int n = DisegnaImmagini(db, cartella);
    std::fprintf(stderr, "quarvel-ditta: %d immagini degli articoli in %s\n", n,
                 qPrintable(cartella));
}

int CreaNuovaDitta(QSqlDatabase& db, const Richiesta& r) {
    if (!PreparaPostgres(db, true))
        return 1;
    dati::CreaDitta(db, r.sostituisci);
    if (r.demo)
        RiempiDemo(db, r);
    return 0;
}

// What the command does with the opened database: the first case that
// applies, its handler, and whether a success ends with the time taken.
struct Caso {
    bool (*vale)(const QSqlDatabase& db, const Richiesta& r);
    int (*esegui)(QSqlDatabase& db, const Richiesta& r);
    bool tempo;
};
const Caso kCasi[] = {
    {[](const QSqlDatabase& db, const Richiesta& r) {
         return !r.comune && !r.sostituisci &&
                db.tables(QSql::Tables).contains(QStringLiteral("articoli"), Qt::CaseInsensitive);
     },
     CompletaDitta, false},
    {[](const QSqlDatabase& db, const Richiesta& r) {
         return r.seVuoto && !r.sostituisci && !db.tables(QSql::Tables).isEmpty();
     },
     LasciaComE, false},
    {[](const QSqlDatabase&, const Richiesta& r) { return r.comune; }, CreaDatabaseComune, true},
    {[](const QSqlDatabase&, const Richiesta&) { return true; }, CreaNuovaDitta, true},
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quarvel-ditta"));
    const auto letta = LeggiRigaComando(app);
    if (const int* uscita = std::get_if<int>(&letta))
        return *uscita;
    const Richiesta& r = std::get<Richiesta>(letta);

    QElapsedTimer tempo;
    tempo.start();
    try {
        if (r.tipo == TipoDatabase::File && !PreparaFile(r))
            return 1;
        std::optional<QSqlDatabase> db = Apri(r);
        if (!db)
            return 1;
        const Caso* caso = kCasi;
        while (!caso->vale(*db, r))
            ++caso;
        const int uscita = caso->esegui(*db, r);
        db->close();
        db.reset();
        QSqlDatabase::removeDatabase(QStringLiteral("quarvel-ditta"));
        if (uscita != 0 || !caso->tempo)
            return uscita;
    } catch (const Errore& e) {
        std::fprintf(stderr, "quarvel-ditta: errore %d: %s\n", e.numero(),
                     qPrintable(e.descrizione()));
        return 1;
    }
    std::fprintf(stderr, "quarvel-ditta: %s pronto in %.1f s\n", qPrintable(r.nome),
                 double(tempo.elapsed()) / 1000.0);
    return 0;
}
