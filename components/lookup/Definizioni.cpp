#include "Definizioni.h"

#include <QRegularExpression>
#include <vector>

namespace quarvel::lookup {

namespace {

const std::vector<Definizione>& Definizioni() {
    static const std::vector<Definizione> d = {
        {QStringLiteral("Articolo"),
         QStringLiteral("Articoli"),
         QStringLiteral("Articolo"),
         QStringLiteral("Descrizione"),
         QStringLiteral("BarCode"),
         {QStringLiteral("Articolo"), QStringLiteral("Descrizione"), QStringLiteral("BarCode"),
          QStringLiteral("LivGruppo1"), QStringLiteral("LivGruppo2")},
         QStringLiteral("Immagine"),
         true,
         false},
        {QStringLiteral("Magazzino"),
         QStringLiteral("Magazzini"),
         QStringLiteral("Magazzino"),
         QStringLiteral("Descrizione"),
         QString(),
         {QStringLiteral("Magazzino"), QStringLiteral("Descrizione")},
         QString(),
         false,
         false},
        {QStringLiteral("MagDescrInv:CodInv"),
         QStringLiteral("MagDescrInv"),
         QStringLiteral("CodInv"),
         QStringLiteral("Descrizione"),
         QString(),
         {QStringLiteral("CodInv"), QStringLiteral("Descrizione"), QStringLiteral("DataInvent")},
         QString(),
         false,
         false},
        {QStringLiteral("livello"),
         QStringLiteral("Livelli"),
         QStringLiteral("Livello"),
         QStringLiteral("Descrizione"),
         QString(),
         {QStringLiteral("Livello"), QStringLiteral("Descrizione")},
         QString(),
         false,
         true},
        {QStringLiteral("Conto"),
         QStringLiteral("Clienti"),
         QStringLiteral("Conto"),
         QStringLiteral("Descrizione"),
         QString(),
         {QStringLiteral("Conto"), QStringLiteral("Descrizione"), QStringLiteral("Email"),
          QStringLiteral("Email2"), QStringLiteral("Email3"), QStringLiteral("Email4")},
         QString(),
         false,
         false},
    };
    return d;
}

bool Uguali(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// The typed text as a LIKE pattern of its start: the wildcards typed are
// matched as themselves.
QString Modello(const QString& testo, bool* escape) {
    QString m;
    *escape = false;
    for (QChar c : testo) {
        if (c == QLatin1Char('%') || c == QLatin1Char('_') || c == QLatin1Char('!')) {
            m += QLatin1Char('!');
            *escape = true;
        }
        m += c;
    }
    return m;
}

QString Like(const QString& colonna, const QString& modello, bool escape) {
    return colonna + QStringLiteral(" LIKE ") + Letterale(modello) +
           (escape ? QStringLiteral(" ESCAPE '!'") : QString());
}

// code >= typed And code < typed with its last character raised: the index
// range of the codes that begin with it (the LIKE keeps the result exact).
// Only for plain letters and digits whose last one stays a letter or a digit
// when raised: a server that sorts by a language's rules may put punctuation,
// blanks and accented letters anywhere, and "z" raised is "{".
QString Intervallo(const QString& colonna, const QString& testo) {
    static const QRegularExpression sicuro(QStringLiteral("^[A-Za-z0-9]*[A-Ya-y0-8]$"));
    if (!sicuro.match(testo).hasMatch())
        return QString();
    QString alto = testo.toLower();
    alto.back() = QChar(ushort(alto.back().unicode() + 1));
    return colonna + QStringLiteral(" >= ") + Letterale(testo) + QStringLiteral(" And ") + colonna +
           QStringLiteral(" < ") + Letterale(alto);
}

QString Prefisso(const QString& colonna, const QString& testo) {
    bool escape = false;
    const QString like = Like(colonna, Modello(testo, &escape) + QLatin1Char('%'), escape);
    const QString intervallo = Intervallo(colonna, testo);
    return intervallo.isEmpty() ? like : intervallo + QStringLiteral(" And ") + like;
}

} // namespace

const Definizione* TrovaDefinizione(const QString& nome) {
    const QString n = nome.trimmed();
    if (Uguali(n, QStringLiteral("Magac3:CoLi")))
        return TrovaDefinizione(QStringLiteral("livello"));
    for (const Definizione& d : Definizioni())
        if (Uguali(d.nome, n))
            return &d;
    return nullptr;
}

const Definizione* DefinizionePerTabella(const QString& tabella, const QString& chiave) {
    for (const Definizione& d : Definizioni())
        if (Uguali(d.tabella, tabella.trimmed()) && Uguali(d.chiave, chiave.trimmed()))
            return &d;
    return nullptr;
}

TipoRicerca TipoDaTasto(int keyCode, const Definizione& d) {
    TipoRicerca t = TipoRicerca::Codice;
    if (keyCode == 114 || keyCode == -3)
        t = TipoRicerca::Descrizione;
    else if (keyCode == 115 || keyCode == -4)
        t = TipoRicerca::Barcode;
    if (t == TipoRicerca::Barcode && d.barcode.isEmpty())
        t = TipoRicerca::Codice;
    return t;
}

QString TitoloRicerca(TipoRicerca t) {
    switch (t) {
    case TipoRicerca::Descrizione:
        return QStringLiteral("Ricerca per descrizione (F3)");
    case TipoRicerca::Barcode:
        return QStringLiteral("Ricerca per codice a barre (F4)");
    case TipoRicerca::Codice:
        break;
    }
    return QStringLiteral("Ricerca per codice (F2)");
}

bool NomeValido(const QString& nome) {
    static const QRegularExpression re(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    return re.match(nome).hasMatch();
}

QStringList ColonneLista(const Definizione& d, const QString& campi, const QStringList& esistenti) {
    auto presente = [&](const QString& c, const QStringList& l) {
        for (const QString& x : l)
            if (Uguali(x, c))
                return true;
        return false;
    };
    QStringList chieste;
    if (!campi.trimmed().startsWith(QStringLiteral(",No,"), Qt::CaseInsensitive)) {
        for (QString c : campi.split(QLatin1Char(','))) {
            c = c.trimmed();
            if (c.isEmpty() || !NomeValido(c))
                continue;
            if (!esistenti.isEmpty() && !presente(c, esistenti))
                continue;
            if (!presente(c, chieste) && !Uguali(c, d.chiave))
                chieste << c;
        }
    }
    QStringList r{d.chiave};
    if (chieste.isEmpty()) {
        for (const QString& c : d.colonne)
            if (!presente(c, r))
                r << c;
    } else {
        r << chieste;
    }
    if (!d.immagine.isEmpty() && !presente(d.immagine, r))
        r << d.immagine;
    return r;
}

QString Letterale(const QString& testo) {
    QString t = testo;
    t.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + t + QLatin1Char('\'');
}

QString CondizioneRicerca(const Definizione& d, TipoRicerca t, const QString& testo) {
    if (testo.isEmpty())
        return QString();
    switch (t) {
    case TipoRicerca::Codice:
        return Prefisso(d.chiave, testo);
    case TipoRicerca::Barcode:
        return Prefisso(d.barcode.isEmpty() ? d.chiave : d.barcode, testo);
    case TipoRicerca::Descrizione:
        break;
    }
    QStringList parti;
    for (const QString& parola : testo.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        bool escape = false;
        const QString m = Modello(parola, &escape);
        parti << QStringLiteral("(") + Like(d.descrizione, m + QLatin1Char('%'), escape) +
                     QStringLiteral(" Or ") +
                     Like(d.descrizione, QStringLiteral("% ") + m + QLatin1Char('%'), escape) +
                     QStringLiteral(")");
    }
    return parti.join(QStringLiteral(" And "));
}

namespace {

// The typed words the index can find.  The trigram table holds each
// description after a blank, so a word's beginning is a blank and its
// characters: two characters make a trigram.  The trigram index of
// PostgreSQL marks words' beginnings itself: any word.
QStringList ParoleIndice(const QString& testo, IndiceParole indice,
                         const TrigrammiBrevi& brevi = {}) {
    const int minimo = indice == IndiceParole::TabellaTrigrammi ? 2 : 1;
    QStringList parole;
    for (const QString& parola : testo.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        if (parola.size() >= minimo || brevi.contains(ParolaBreve(parola)))
            parole << parola;
    return parole;
}

QString Frase(QString testo) {
    return QLatin1Char('"') + testo.replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
           QLatin1Char('"');
}

// An FTS5 query of phrases: a blank and the word, each character as itself;
// a word of one character as any of the trigrams that begin a word with it.
// Empty when such a word has none: no row can match.
QString RicercaTrigrammi(const QStringList& parole, const TrigrammiBrevi& brevi) {
    QStringList frasi;
    for (const QString& p : parole) {
        const QString breve = p.size() == 1 ? ParolaBreve(p) : QString();
        if (breve.isEmpty() || !brevi.contains(breve)) {
            frasi << Frase(QLatin1Char(' ') + p);
            continue;
        }
        QStringList una;
        for (const QString& t : brevi.value(breve))
            una << Frase(t);
        if (una.isEmpty())
            return QString();
        frasi << QStringLiteral("(") + una.join(QStringLiteral(" OR ")) + QStringLiteral(")");
    }
    return frasi.join(QStringLiteral(" AND "));
}

// The description's text that begins with the word or holds a blank and the
// word, matched as the column matches, through the text's trigram index.
QString TrigrammiPg(const Definizione& d, const QStringList& parole) {
    QStringList parti;
    const QString colonna = QStringLiteral("(") + d.descrizione + QStringLiteral(")::text");
    for (const QString& parola : parole) {
        bool escape = false;
        const QString m = Modello(parola, &escape);
        parti << QStringLiteral("(") + colonna + QStringLiteral(" ILIKE ") +
                     Letterale(m + QLatin1Char('%')) + QStringLiteral(" ESCAPE '!' Or ") + colonna +
                     QStringLiteral(" ILIKE ") +
                     Letterale(QStringLiteral("% ") + m + QLatin1Char('%')) +
                     QStringLiteral(" ESCAPE '!')");
    }
    return parti.join(QStringLiteral(" And "));
}

} // namespace

QString ParolaBreve(const QString& parola) {
    if (parola.size() != 1 || parola.at(0).unicode() < 0x21 || parola.at(0).unicode() > 0x7e)
        return QString();
    return parola.toLower();
}

QString SqlVocabolario() {
    return QStringLiteral("CREATE VIRTUAL TABLE IF NOT EXISTS temp.ArticoliDescrVoc USING "
                          "fts5vocab(main, 'ArticoliDescr', 'row')");
}

QString SqlTrigrammiBrevi(const QString& c) {
    const QChar dopo(ushort(c.at(0).unicode() + 1));
    return QStringLiteral("SELECT term FROM temp.ArticoliDescrVoc WHERE term >= ") +
           Letterale(QLatin1Char(' ') + c) + QStringLiteral(" And term < ") +
           Letterale(QString(QLatin1Char(' ')) + dopo);
}

IndiceParole IndiceDisponibile(const Definizione& d, IndiceParole indiceDitta) {
    if (d.tabella.compare(QLatin1String("Articoli"), Qt::CaseInsensitive) != 0 ||
        d.descrizione.compare(QLatin1String("Descrizione"), Qt::CaseInsensitive) != 0)
        return IndiceParole::Nessuno;
    return indiceDitta;
}

QString CondizioneIndice(const Definizione& d, IndiceParole indice, const QString& testo,
                         const TrigrammiBrevi& brevi) {
    const QStringList parole = ParoleIndice(testo, indice, brevi);
    if (parole.isEmpty() || IndiceDisponibile(d, indice) == IndiceParole::Nessuno)
        return QString();
    if (indice == IndiceParole::TabellaTrigrammi) {
        const QString ricerca = RicercaTrigrammi(parole, brevi);
        if (ricerca.isEmpty())
            return QStringLiteral("0 = 1");
        return d.tabella +
               QStringLiteral(".rowid IN (SELECT rowid FROM ArticoliDescr WHERE "
                              "ArticoliDescr MATCH ") +
               Letterale(ricerca) + QStringLiteral(")");
    }
    // An array of the codes, not a join: the server reads the index's rows
    // first, whatever it guesses of their number.
    return d.chiave + QStringLiteral(" = ANY(ARRAY(SELECT ") + d.chiave + QStringLiteral(" FROM ") +
           d.tabella + QStringLiteral(" WHERE ") + TrigrammiPg(d, parole) + QStringLiteral("))");
}

QString CondizioneParoleServer(const Definizione& d, const QString& testo) {
    QStringList parti;
    const QString colonna =
        QStringLiteral("' ' || lower((") + d.descrizione + QStringLiteral(")::text)");
    for (const QString& parola : testo.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        parti << QStringLiteral("strpos(") + colonna + QStringLiteral(", lower(") +
                     Letterale(QLatin1Char(' ') + parola) + QStringLiteral(")) > 0");
    return parti.join(QStringLiteral(" And "));
}

QString SqlCampione(const Definizione& d, const QString& condizione, int campione) {
    return QStringLiteral("SELECT COUNT(*) FROM (SELECT ") + d.descrizione +
           QStringLiteral(" FROM ") + d.tabella + QStringLiteral(" ORDER BY ") + d.chiave +
           QStringLiteral(" LIMIT ") + QString::number(campione) +
           QStringLiteral(") campione WHERE ") + condizione;
}

QString SqlContaIndice(const Definizione& d, IndiceParole indice, const QString& testo, int limite,
                       const TrigrammiBrevi& brevi) {
    const QStringList parole = ParoleIndice(testo, indice, brevi);
    if (parole.isEmpty() || IndiceDisponibile(d, indice) == IndiceParole::Nessuno)
        return QString();
    const QString ricerca = indice == IndiceParole::TabellaTrigrammi
                                ? RicercaTrigrammi(parole, brevi)
                                : QStringLiteral("-");
    if (ricerca.isEmpty())
        return QStringLiteral("SELECT 0");
    const QString righe =
        indice == IndiceParole::TabellaTrigrammi
            ? QStringLiteral("SELECT 1 FROM ArticoliDescr WHERE ArticoliDescr MATCH ") +
                  Letterale(ricerca)
            : QStringLiteral("SELECT 1 FROM ") + d.tabella + QStringLiteral(" WHERE ") +
                  TrigrammiPg(d, parole);
    return QStringLiteral("SELECT COUNT(*) FROM (") + righe + QStringLiteral(" LIMIT ") +
           QString::number(limite) + QStringLiteral(") righe");
}

QString CondizioneFiltri(const Definizione& d, const QVariantList& filtri) {
    if (!d.livelli)
        return QString();
    const QString articolo = filtri.value(0).toString().trimmed();
    const int livello = filtri.value(1).toInt();
    if (articolo.isEmpty() || (livello != 1 && livello != 2))
        return QStringLiteral("1 = 0");
    return QStringLiteral("LivGruppo = (SELECT LivGruppo%1 FROM Articoli WHERE Articolo = %2)")
        .arg(livello)
        .arg(Letterale(articolo));
}

QString CondizioneAttivi() {
    return QStringLiteral("(ucase(Inattivo)<>'S')");
}

QString SqlLista(const Definizione& d, TipoRicerca t, const QStringList& colonne,
                 const QStringList& condizioni) {
    QString sql = QStringLiteral("SELECT ") + colonne.join(QStringLiteral(", ")) +
                  QStringLiteral(" FROM ") + d.tabella;
    QStringList c;
    for (const QString& x : condizioni)
        if (!x.trimmed().isEmpty())
            c << QStringLiteral("(") + x.trimmed() + QStringLiteral(")");
    if (!c.isEmpty())
        sql += QStringLiteral(" WHERE ") + c.join(QStringLiteral(" And "));
    const QString ordine = t == TipoRicerca::Barcode && !d.barcode.isEmpty() ? d.barcode : d.chiave;
    return sql + QStringLiteral(" ORDER BY ") + ordine;
}

QString SqlDecodifica(const QString& tabella, const QString& chiave, const QString& descrizione,
                      const QStringList& campi, const QString& codice,
                      const QStringList& condizioni) {
    QStringList colonne{chiave, descrizione.isEmpty() ? chiave : descrizione};
    colonne << campi;
    QStringList c{chiave + QStringLiteral(" = ") + Letterale(codice)};
    for (const QString& x : condizioni)
        if (!x.trimmed().isEmpty())
            c << QStringLiteral("(") + x.trimmed() + QStringLiteral(")");
    return QStringLiteral("SELECT ") + colonne.join(QStringLiteral(", ")) +
           QStringLiteral(" FROM ") + tabella + QStringLiteral(" WHERE ") +
           c.join(QStringLiteral(" And "));
}

} // namespace quarvel::lookup
