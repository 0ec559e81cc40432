// The damaged file's SQL taken as data: split into statements, each run on
// the new file only when it is of the kind expected, under an authorizer.

#include "RiparazioneInterno.h"

#include <QList>

namespace quarvel::dati::riparazione {

int Autorizza(void* dati, int azione, const char* a1, const char* /*a2*/, const char* db,
              const char* /*origine*/) {
    if (azione == SQLITE_ATTACH || azione == SQLITE_DETACH)
        return SQLITE_DENY;
    const Modo modo = static_cast<Guardia*>(dati)->modo;
    if (modo == Modo::Nostro)
        return SQLITE_OK;
    if (db && qstrcmp(db, "main") != 0)
        return SQLITE_DENY;
    const bool sistema = a1 && qstrnicmp(a1, "sqlite_", 7) == 0;
    switch (azione) {
    case SQLITE_READ:
    case SQLITE_SELECT:
    case SQLITE_FUNCTION:
    case SQLITE_RECURSIVE:
        return SQLITE_OK;
    case SQLITE_CREATE_TABLE:
    case SQLITE_CREATE_INDEX:
    case SQLITE_CREATE_VIEW:
    case SQLITE_CREATE_TRIGGER:
    case SQLITE_REINDEX: // a new index is built over the rows already copied
        return modo == Modo::Schema ? SQLITE_OK : SQLITE_DENY;
    case SQLITE_INSERT:
    case SQLITE_UPDATE:
        // A CREATE writes its own row of the schema table; rows only go
        // into the tables, and none is changed.
        if (modo == Modo::Schema)
            return sistema ? SQLITE_OK : SQLITE_DENY;
        return !sistema && azione == SQLITE_INSERT ? SQLITE_OK : SQLITE_DENY;
    default:
        return SQLITE_DENY;
    }
}

namespace {

// Past blanks, comments and semicolons; true when nothing else is left.
bool SoloSpazi(const char* p, const char* fine) {
    while (p < fine) {
        if (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r' || *p == '\f' || *p == ';') {
            ++p;
        } else if (*p == '-' && p + 1 < fine && p[1] == '-') {
            while (p < fine && *p != '\n')
                ++p;
        } else if (*p == '/' && p + 1 < fine && p[1] == '*') {
            p += 2;
            while (p + 1 < fine && !(p[0] == '*' && p[1] == '/'))
                ++p;
            p += 2;
        } else {
            return false;
        }
    }
    return true;
}

// The first words of a statement, upper-cased, past blanks and comments.
QList<QByteArray> Parole(const char* p, const char* fine, int quante) {
    QList<QByteArray> parole;
    while (p < fine && parole.size() < quante) {
        const char* inizio = p;
        while (p < fine && ((*p >= 'a' && *p <= 'z') || (*p >= 'A' && *p <= 'Z') || *p == '_'))
            ++p;
        if (p > inizio) {
            parole << QByteArray(inizio, p - inizio).toUpper();
            continue;
        }
        const char* dopo = p;
        // blanks and comments between the words, nothing else
        while (dopo < fine) {
            if (*dopo == ' ' || *dopo == '\t' || *dopo == '\n' || *dopo == '\r' || *dopo == '\f') {
                ++dopo;
            } else if (*dopo == '-' && dopo + 1 < fine && dopo[1] == '-') {
                while (dopo < fine && *dopo != '\n')
                    ++dopo;
            } else if (*dopo == '/' && dopo + 1 < fine && dopo[1] == '*') {
                dopo += 2;
                while (dopo + 1 < fine && !(dopo[0] == '*' && dopo[1] == '/'))
                    ++dopo;
                dopo += 2;
            } else {
                break;
            }
        }
        if (dopo == p)
            break;
        p = dopo;
    }
    return parole;
}

// The kind of a statement by its leading words: "table", "index", "view",
// "trigger" for a plain CREATE of the main database, "insert", else empty.
QByteArray Genere(const QByteArray& sql) {
    const QList<QByteArray> w = Parole(sql.constData(), sql.constData() + sql.size(), 3);
    if (w.value(0) == "INSERT")
        return "insert";
    if (w.value(0) != "CREATE")
        return {};
    const QByteArray secondo = w.value(1);
    if (secondo == "TABLE")
        return "table";
    if (secondo == "INDEX" || (secondo == "UNIQUE" && w.value(2) == "INDEX"))
        return "index";
    if (secondo == "VIEW")
        return "view";
    if (secondo == "TRIGGER")
        return "trigger";
    return {}; // TEMP, VIRTUAL and anything else
}

} // namespace

// Runs one statement taken from the damaged file when it is a single
// statement of the kind expected ("table" ... "insert"; empty: any of them).
bool EseguiEstranea(sqlite3* db, Guardia& g, const QByteArray& sql, const QByteArray& atteso) {
    const QByteArray genere = Genere(sql);
    if (genere.isEmpty() || (!atteso.isEmpty() && genere != atteso))
        return false;
    g.modo = genere == "insert" ? Modo::Righe : Modo::Schema;
    sqlite3_stmt* grezzo = nullptr;
    const char* coda = nullptr;
    const int rc = sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &grezzo, &coda);
    St st(grezzo);
    bool ok = rc == SQLITE_OK && st && coda && SoloSpazi(coda, sql.constData() + sql.size());
    if (ok)
        ok = sqlite3_step(st.get()) == SQLITE_DONE;
    st.reset();
    g.modo = Modo::Nostro;
    return ok;
}

// The statements of an SQL text one by one: a semicolon ends a statement
// unless it is inside quotes, a comment or a trigger's body.
std::vector<QByteArray> Istruzioni(const QByteArray& testo) {
    std::vector<QByteArray> istruzioni;
    const qsizetype n = testo.size();
    qsizetype inizio = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const char c = testo[i];
        if (c == '\'' || c == '"' || c == '`' || c == '[') {
            const char chiusa = c == '[' ? ']' : c;
            ++i;
            while (i < n && testo[i] != chiusa)
                ++i;
        } else if (c == '-' && i + 1 < n && testo[i + 1] == '-') {
            while (i < n && testo[i] != '\n')
                ++i;
        } else if (c == '/' && i + 1 < n && testo[i + 1] == '*') {
            i += 2;
            while (i + 1 < n && !(testo[i] == '*' && testo[i + 1] == '/'))
                ++i;
            ++i;
        } else if (c == ';') {
            const QByteArray s = testo.mid(inizio, i - inizio + 1);
            if (sqlite3_complete(s.constData())) {
                istruzioni.push_back(s);
                inizio = i + 1;
            }
        }
    }
    const QByteArray resto = testo.mid(inizio);
    if (!SoloSpazi(resto.constData(), resto.constData() + resto.size()))
        istruzioni.push_back(resto);
    return istruzioni;
}

} // namespace quarvel::dati::riparazione
