#include "ScritturaFile.h"

#include "FileSicuro.h"
#include "suite/Errore.h"
#include "suite/Utilita.h"
#include "utility/Conversioni.h"

#include <QDate>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <xlsxwriter.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <fcntl.h>
#include <unistd.h>

namespace quarvel::stampa {

namespace {

constexpr int Blocco = 512;             // rows read at a time
constexpr qint64 RigheFoglio = 1048576; // rows of a workbook sheet

bool Nullo(const QVariant& v) {
    return !v.isValid() || v.isNull();
}

[[noreturn]] void ErroreFile(const QString& file, const QString& perche) {
    // the same sentence as ErroreFileStampa, with a cause of its own
    throw Errore(NumErr::PermessoNegato,
                 QStringLiteral("Impossibile scrivere il file di stampa %1: %2").arg(file, perche),
                 QStringLiteral("Stampa"));
}

// The list read chunk by chunk.
template <typename F> qint64 PerOgniRiga(IListaLettura& lista, const Fermata& stop, F&& riga) {
    qint64 n = 0;
    for (;;) {
        if (stop && stop())
            break;
        const QVector<RigaLettura> blocco = lista.righe(n, Blocco);
        for (const RigaLettura& r : blocco)
            riga(r);
        n += blocco.size();
        if (blocco.size() < Blocco)
            break;
    }
    return n;
}

// A text a spreadsheet would take for a formula: one beginning, after any
// tabs, returns and blanks, with "=", "+", "-" or "@".
bool SembraFormula(const QString& t) {
    for (const QChar c : t) {
        switch (c.unicode()) {
        case '\t':
        case '\r':
        case '\n':
        case ' ':
            continue;
        case '=':
        case '+':
        case '-':
        case '@':
            return true;
        default:
            return false;
        }
    }
    return false;
}

// The control characters of a text (C0, DEL and C1: line ends, form feeds,
// escape sequences) as blanks, so a record keeps its layout and nothing in a
// text drives the printer.  The text is copied only when it holds one.
void SpaziPerControlli(QString& t) {
    const QChar* d = t.constData();
    for (qsizetype i = 0; i < t.size(); ++i) {
        const char16_t u = d[i].unicode();
        if (u < 0x20 || (u >= 0x7F && u <= 0x9F)) {
            t[i] = QLatin1Char(' ');
            d = t.constData();
        }
    }
}

QString NumeroSenzaFormato(double d, const QLocale& l) {
    return l.toString(d, 'f', QLocale::FloatingPointShortest);
}

double ComeNumero(const QVariant& v, const QLocale& l) {
    if (v.typeId() == QMetaType::QString)
        return utilita::LeggiNumero(v.toString(), l).value_or(0.0);
    return v.toDouble();
}

// A date as a date: a date value, or the text of a date column as the
// database gives it ("2024-03-05", "2024-03-05 10:30:00"); invalid for
// anything else.
QDateTime ComeData(const QVariant& v, const ColonnaLettura& c) {
    switch (v.typeId()) {
    case QMetaType::QDate:
        return v.toDate().startOfDay();
    case QMetaType::QDateTime:
        return v.toDateTime();
    case QMetaType::QString: {
        if (c.tipo != Tipo::Data)
            return {};
        const QString t = v.toString().trimmed();
        if (t.size() == 10)
            return QDate::fromString(t, Qt::ISODate).startOfDay();
        QDateTime dt = QDateTime::fromString(t, Qt::ISODate);
        if (!dt.isValid())
            dt = QDateTime::fromString(t, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        return dt;
    }
    default:
        return {};
    }
}

} // namespace

QVector<int> ColonneScelte(const QVector<ColonnaLettura>& colonne, const QString& scelta) {
    const bool soloVisibili = scelta.compare(QLatin1String("V"), Qt::CaseInsensitive) == 0;
    QVector<int> scelte;
    for (int i = 0; i < colonne.size(); ++i)
        if (!soloVisibili || colonne[i].visibile)
            scelte.push_back(i);
    return scelte;
}

bool ColonnaNumerica(const ColonnaLettura& c) {
    return c.tipo == Tipo::Intero || c.tipo == Tipo::Lungo || c.tipo == Tipo::Singolo ||
           c.tipo == Tipo::Doppio || c.tipo == Tipo::Valuta;
}

namespace {

// A text appended to b as UTF-8, each qualifier q doubled (0: none); false,
// with b as it was, for a text holding a surrogate (a character beyond the
// basic plane, or half of one), which the line's writer leaves to Qt's
// encoder.
bool AccodaUtf8(QByteArray& b, QStringView t, char16_t q) {
    const qsizetype inizio = b.size();
    b.resize(inizio + 3 * t.size()); // a doubled qualifier is 2 bytes, any other unit at most 3
    char* p = b.data() + inizio;
    for (const QChar c : t) {
        const char16_t u = c.unicode();
        if (u < 0x80) {
            *p++ = char(u);
            if (u == q)
                *p++ = char(u);
        } else if (u < 0x800) {
            *p++ = char(0xC0 | (u >> 6));
            *p++ = char(0x80 | (u & 0x3F));
        } else if (c.isSurrogate()) {
            b.resize(inizio);
            return false;
        } else {
            *p++ = char(0xE0 | (u >> 12));
            *p++ = char(0x80 | ((u >> 6) & 0x3F));
            *p++ = char(0x80 | (u & 0x3F));
        }
    }
    b.resize(p - b.constData());
    return true;
}

// A number without its display format, in the operator's decimal form:
// the shortest digits that read back as the same number, never an exponent.
class NumeriSenzaFormato {
public:
    explicit NumeriSenzaFormato(const QLocale& l)
        : m_locale(l), m_virgola(l.decimalPoint().toUtf8()),
          m_diretti(l.zeroDigit() == QLatin1String("0") && l.negativeSign() == QLatin1String("-") &&
                    l.decimalPoint().size() == 1) {}

    QString testo(double d) const {
        return m_locale.toString(d, 'f', QLocale::FloatingPointShortest);
    }
    // Appended to b as UTF-8; false where the digits are left to testo().
    // Below 10^15 the shortest digits are those of the C++ library; beyond,
    // the locale pads with zeros where the library writes the exact value.
    bool accoda(QByteArray& b, double d) const {
        if (!m_diretti || !(std::fabs(d) < 1e15))
            return false;
        char buf[64];
        if (d == 0) { // "-0" too
            b += '0';
            return true;
        }
        const auto r = std::to_chars(buf, buf + sizeof buf, d, std::chars_format::fixed);
        if (r.ec != std::errc())
            return false;
        for (const char* p = buf; p != r.ptr; ++p) {
            if (*p == '.')
                b += m_virgola;
            else
                b += *p;
        }
        return true;
    }

private:
    QLocale m_locale;
    QByteArray m_virgola;
    bool m_diretti;
};

// What a delimited file's line is made of: how each column's cells are
// written and the separator and qualifier as the options give them.
struct FormaDelimitata {
    QVector<ColonnaLettura> col;
    QVector<int> colonne;
    QLocale locale;
    bool excel = false;
    bool senzaFormato = false;
    QString sep;
    QString q;
};

// The line as text, then encoded: the way for a line holding a surrogate
// (and for a separator or qualifier beyond ASCII).
QByteArray RigaComeTesto(const FormaDelimitata& f, const RigaLettura& r) {
    const QString qq = f.q + f.q;
    auto campo = [&](const QString& t, bool testo) {
        if (f.q.isEmpty() || (!testo && !t.contains(f.sep) && !t.contains(f.q)))
            return t;
        return f.q + QString(t).replace(f.q, qq) + f.q;
    };
    QString testo;
    for (int k = 0; k < f.colonne.size(); ++k) {
        if (k)
            testo += f.sep;
        const int c = f.colonne[k];
        const QVariant v = r.valori.value(c);
        if (Nullo(v))
            continue;
        if (ColonnaNumerica(f.col[c]))
            testo += campo(f.senzaFormato ? NumeroSenzaFormato(ComeNumero(v, f.locale), f.locale)
                                          : r.testi.value(c),
                           false);
        else if (v.typeId() == QMetaType::QDate || v.typeId() == QMetaType::QDateTime)
            testo += campo(r.testi.value(c), false);
        else {
            const QString t = r.testi.value(c);
            testo += campo(f.excel && SembraFormula(t) ? QLatin1Char('\'') + t : t, true);
        }
    }
    return testo.toUtf8();
}

// The line written straight as UTF-8 into b (emptied first), the same bytes
// as RigaComeTesto; false for a line that must go that way.
class RigaDiretta {
public:
    explicit RigaDiretta(const FormaDelimitata& f)
        : m_f(f), m_numeri(f.locale),
          m_possibile(f.sep.size() == 1 && f.sep.at(0).unicode() < 0x80 &&
                      (f.q.isEmpty() || (f.q.at(0).unicode() < 0x80 && !f.q.at(0).isNull()))),
          m_sep(m_possibile ? char(f.sep.at(0).unicode()) : 0),
          m_q(m_possibile && !f.q.isEmpty() ? char16_t(f.q.at(0).unicode()) : u'\0') {}

    bool scrivi(QByteArray& b, const RigaLettura& r) const {
        b.resize(0);
        if (!m_possibile)
            return false;
        const int nValori = int(r.valori.size());
        const int nTesti = int(r.testi.size());
        for (int k = 0; k < m_f.colonne.size(); ++k) {
            if (k)
                b += m_sep;
            const int c = m_f.colonne[k];
            if (c >= nValori || Nullo(r.valori.at(c)))
                continue;
            const QVariant& v = r.valori.at(c);
            const QString& t = c < nTesti ? r.testi.at(c) : m_vuoto;
            bool fatto;
            if (ColonnaNumerica(m_f.col[c]) && m_f.senzaFormato)
                fatto = numero(b, ComeNumero(v, m_f.locale));
            else if (ColonnaNumerica(m_f.col[c]) || v.typeId() == QMetaType::QDate ||
                     v.typeId() == QMetaType::QDateTime)
                fatto = campo(b, t, false);
            else
                fatto = campo(b, t, true, m_f.excel && SembraFormula(t));
            if (!fatto)
                return false;
        }
        return true;
    }

private:
    // A cell's text: qualified when it is a text, or when it holds the
    // separator or the qualifier.
    bool campo(QByteArray& b, const QString& t, bool testo, bool apostrofo = false) const {
        const bool racchiuso =
            m_q && (testo || t.contains(QLatin1Char(m_sep)) || t.contains(QChar(m_q)));
        if (racchiuso)
            b += char(m_q);
        if (apostrofo) { // an apostrophe qualifier doubles it too
            b += '\'';
            if (racchiuso && m_q == u'\'')
                b += '\'';
        }
        if (!AccodaUtf8(b, t, racchiuso ? m_q : u'\0'))
            return false;
        if (racchiuso)
            b += char(m_q);
        return true;
    }
    bool numero(QByteArray& b, double d) const {
        const qsizetype inizio = b.size();
        if (m_numeri.accoda(b, d)) {
            // the decimal sign may be the separator or the qualifier
            const QByteArrayView scritto(b.constData() + inizio, b.size() - inizio);
            if (!m_q || (!scritto.contains(m_sep) && !scritto.contains(char(m_q))))
                return true;
            b.resize(inizio);
        }
        return campo(b, m_numeri.testo(d), false);
    }

    const FormaDelimitata& m_f;
    NumeriSenzaFormato m_numeri;
    bool m_possibile;
    char m_sep;
    char16_t m_q;
    const QString m_vuoto;
};

} // namespace

qint64 ScriviDelimitato(IListaLettura& lista, const QVector<int>& colonne, const IOpzioniStampa& o,
                        const QString& file, const Fermata& stop) {
    FormaDelimitata forma;
    forma.col = lista.colonne();
    forma.colonne = colonne;
    forma.locale = utilita::LocaleOperatore();
    forma.locale.setNumberOptions(QLocale::OmitGroupSeparator);
    forma.excel = o.oiFileForm == FormatoFile::CompatibileExcel;
    forma.senzaFormato = forma.excel || o.obNumNoForm;
    forma.sep = o.osSepCampi.isEmpty() ? QStringLiteral(";") : o.osSepCampi.left(1);
    forma.q = o.osDelimStr.left(1);

    FileSicuro f(file);
    QByteArray riga;
    riga.reserve(4096);
    if (forma.excel)
        riga += "\xEF\xBB\xBF";
    // the captions, as texts
    const QString qq = forma.q + forma.q;
    for (int k = 0; k < colonne.size(); ++k) {
        if (k)
            riga += forma.sep.toUtf8();
        const QString& t = forma.col[colonne[k]].titolo;
        riga +=
            (forma.q.isEmpty() ? t : forma.q + QString(t).replace(forma.q, qq) + forma.q).toUtf8();
    }
    riga += "\r\n";
    f.scrivi(riga);

    const RigaDiretta diretta(forma);
    const qint64 n = PerOgniRiga(lista, stop, [&](const RigaLettura& r) {
        if (!diretta.scrivi(riga, r))
            riga = RigaComeTesto(forma, r);
        riga += "\r\n";
        f.scrivi(riga);
    });
    f.sostituisci();
    return n;
}

namespace {

// A text cell's UTF-8, nul-terminated, in b (one buffer for every cell).
const char* Utf8(QByteArray& b, const QString& t) {
    b.resize(0);
    if (!AccodaUtf8(b, t, u'\0'))
        b = t.toUtf8();
    return b.constData();
}

class Cartella {
public:
    // The workbook goes into the temporary file beside the target, and so
    // do libxlsxwriter's own temporary files: a full disk shows on the
    // target's disk, not in a /tmp of its own.
    Cartella(const QString& file, const QString& foglio) : m_file(file), m_temp(file) {
        m_temp.chiudi();
        m_cartella = QFile::encodeName(QFileInfo(file).absolutePath());
        lxw_workbook_options opzioni{};
        opzioni.constant_memory = LXW_TRUE;
        opzioni.tmpdir = m_cartella.data();
        m_wb = workbook_new_opt(QFile::encodeName(m_temp.temporaneo()).constData(), &opzioni);
        if (!m_wb)
            ErroreFile(file, QStringLiteral("il file non può essere creato"));
        // A sheet's name: at most 31 characters, none of []:*?/\ .
        QString nome = foglio;
        nome.replace(QRegularExpression(QStringLiteral("[\\[\\]:*?/\\\\]")), QStringLiteral(" "));
        nome = nome.trimmed().left(31);
        if (nome.isEmpty())
            nome = QStringLiteral("Lista");
        m_ws = workbook_add_worksheet(m_wb, nome.toUtf8().constData());
        if (!m_ws) {
            workbook_close(m_wb);
            m_wb = nullptr;
            ErroreFile(file, QStringLiteral("il foglio non può essere aggiunto"));
        }
    }
    ~Cartella() {
        if (m_wb)
            workbook_close(m_wb);
    }
    Cartella(const Cartella&) = delete;
    Cartella& operator=(const Cartella&) = delete;

    lxw_workbook* wb() const { return m_wb; }
    lxw_worksheet* ws() const { return m_ws; }
    // The workbook written out and put in place of the target.
    void chiudi() {
        errno = 0;
        const lxw_error e = workbook_close(m_wb);
        const int causa = errno;
        m_wb = nullptr;
        if (e != LXW_NO_ERROR) {
            if (causa != 0)
                ErroreFileStampa(m_file, causa);
            ErroreFile(m_file, QString::fromUtf8(lxw_strerror(e)));
        }
        // libxlsxwriter leaves the writes of its own temporary files
        // unchecked: the finished workbook is checked on the disk
        const int fd = ::open(QFile::encodeName(m_temp.temporaneo()).constData(),
                              O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        if (fd < 0)
            ErroreFileStampa(m_file, errno);
        const bool scritto = ::fsync(fd) == 0;
        const int causaSync = errno;
        ::close(fd);
        if (!scritto)
            ErroreFileStampa(m_file, causaSync);
        m_temp.sostituisci();
    }
    void controlla(lxw_error e) const {
        if (e != LXW_NO_ERROR)
            throw Errore(NumErr::ChiamataNonValida,
                         QStringLiteral("Errore nella scrittura del file %1: %2")
                             .arg(m_file, QString::fromUtf8(lxw_strerror(e))),
                         QStringLiteral("Stampa"));
    }

private:
    QString m_file;
    FileSicuro m_temp;
    QByteArray m_cartella;
    lxw_workbook* m_wb = nullptr;
    lxw_worksheet* m_ws = nullptr;
};

} // namespace

qint64 ScriviXlsx(IListaLettura& lista, const QVector<int>& colonne, const IOpzioniStampa& o,
                  const QString& file, const QString& foglio, const Fermata& stop) {
    const QVector<ColonnaLettura> col = lista.colonne();
    const QLocale locale = utilita::LocaleOperatore();
    const qint64 totale = lista.totale();
    if (totale + 1 > RigheFoglio)
        throw Errore(NumErr::ChiamataNonValida,
                     QStringLiteral("La lista ha %1 righe: un foglio di lavoro ne contiene al "
                                    "massimo %2")
                         .arg(totale)
                         .arg(RigheFoglio - 1),
                     QStringLiteral("Stampa"));
    Cartella c(file, foglio);
    lxw_format* titolo = workbook_add_format(c.wb());
    format_set_bold(titolo);
    lxw_format* data = workbook_add_format(c.wb());
    format_set_num_format(data, "dd/mm/yyyy");
    QVector<lxw_format*> formati(colonne.size(), nullptr);
    for (int k = 0; k < colonne.size(); ++k) {
        const ColonnaLettura& cl = col[colonne[k]];
        if (ColonnaNumerica(cl) && !o.obNumNoForm && !cl.maschera.isEmpty()) {
            formati[k] = workbook_add_format(c.wb());
            format_set_num_format(formati[k], cl.maschera.toUtf8().constData());
        } else if (cl.tipo == Tipo::Data) {
            // a date column shows as the list shows it; its format in the
            // sheet's letters (months and minutes are both "m" there)
            const QString f = cl.maschera.trimmed();
            if (f.isEmpty() || !f.contains(QRegularExpression(QStringLiteral("[dDyY]")))) {
                formati[k] = data;
            } else {
                formati[k] = workbook_add_format(c.wb());
                format_set_num_format(formati[k],
                                      QString(f)
                                          .replace(QLatin1Char('M'), QLatin1Char('m'))
                                          .replace(QLatin1String("AP"), QLatin1String("AM/PM"))
                                          .replace(QLatin1String("ap"), QLatin1String("am/pm"))
                                          .toUtf8()
                                          .constData());
            }
        }
        // about 120 twips to a character of the sheet's font
        c.controlla(worksheet_set_column(c.ws(), lxw_col_t(k), lxw_col_t(k),
                                         std::max(1.0, cl.larghezza / 120.0), nullptr));
        c.controlla(worksheet_write_string(c.ws(), 0, lxw_col_t(k), cl.titolo.toUtf8().constData(),
                                           titolo));
    }
    lxw_row_t riga = 1;
    QByteArray testo; // a text cell's UTF-8, the same buffer for each
    testo.reserve(1024);
    const qint64 n = PerOgniRiga(lista, stop, [&](const RigaLettura& r) {
        if (riga >= RigheFoglio)
            throw Errore(NumErr::ChiamataNonValida,
                         QStringLiteral("La lista supera le righe di un foglio di lavoro"),
                         QStringLiteral("Stampa"));
        for (int k = 0; k < colonne.size(); ++k) {
            const int i = colonne[k];
            if (i >= r.valori.size() || Nullo(r.valori.at(i)))
                continue;
            const QVariant& v = r.valori.at(i);
            const lxw_col_t x = lxw_col_t(k);
            if (ColonnaNumerica(col[i])) {
                c.controlla(
                    worksheet_write_number(c.ws(), riga, x, ComeNumero(v, locale), formati[k]));
            } else if (const QDateTime dt = ComeData(v, col[i]); dt.isValid()) {
                lxw_datetime d{dt.date().year(),   dt.date().month(),
                               dt.date().day(),    dt.time().hour(),
                               dt.time().minute(), dt.time().second() + dt.time().msec() / 1000.0};
                c.controlla(
                    worksheet_write_datetime(c.ws(), riga, x, &d, formati[k] ? formati[k] : data));
            } else {
                c.controlla(worksheet_write_string(c.ws(), riga, x, Utf8(testo, r.testi.value(i)),
                                                   nullptr));
            }
        }
        ++riga;
    });
    c.chiudi();
    return n;
}

QByteArray SequenzaControllo(const QString& testo) {
    static const QRegularExpression codici(QStringLiteral("^\\s*\\d{1,3}([\\s,]+\\d{1,3})*\\s*$"));
    if (!codici.match(testo).hasMatch())
        return testo.toLatin1();
    QByteArray b;
    for (const QString& pezzo :
         testo.split(QRegularExpression(QStringLiteral("[\\s,]+")), Qt::SkipEmptyParts)) {
        const int c = pezzo.toInt();
        if (c > 255)
            return testo.toLatin1();
        b += char(c);
    }
    return b;
}

qint64 ScriviFissa(IListaLettura& lista, const QVector<int>& colonne, const IOpzioniStampa& o,
                   const QString& file, const Fermata& stop) {
    const QVector<ColonnaLettura> col = lista.colonne();
    const int larghezzaRiga = std::max<int>(1, o.oiFisColonne);
    const int alto = std::max<int>(0, o.oiFisMrAlt);
    const int basso = std::max<int>(0, o.oiFisMrBas);
    // at least the captions and one row on a page
    const int righePagina = std::max<int>(o.oiFisRighe, alto + basso + 2);
    const int corpo = righePagina - alto - basso - 1;

    QVector<int> larghezze;
    for (int i : colonne)
        larghezze.push_back(std::max(1, col[i].larghezza / 120));

    auto linea = [&](const QStringList& celle, const QVector<bool>& destra) {
        QString t;
        for (int k = 0; k < celle.size(); ++k) {
            const int w = larghezze[k];
            QString c = celle[k].left(w);
            SpaziPerControlli(c);
            t += destra[k] ? c.rightJustified(w, QLatin1Char(' '))
                           : c.leftJustified(w, QLatin1Char(' '));
            t += QLatin1Char(' ');
        }
        t = t.left(larghezzaRiga);
        while (t.endsWith(QLatin1Char(' ')))
            t.chop(1);
        return t.toLatin1() + "\r\n";
    };

    FileSicuro f(file);
    auto scrivi = [&](const QByteArray& b) { f.scrivi(b); };
    if (o.obFisUtilComp)
        scrivi(SequenzaControllo(o.osFisCodIniComp));

    QStringList titoli;
    QVector<bool> destra;
    for (int i : colonne) {
        titoli << col[i].titolo;
        destra << ColonnaNumerica(col[i]);
    }
    const QByteArray intestazione = linea(titoli, QVector<bool>(colonne.size(), false));
    int sullaPagina = 0;
    bool paginaAperta = false;
    auto apri = [&]() {
        for (int i = 0; i < alto; ++i)
            scrivi("\r\n");
        scrivi(intestazione);
        sullaPagina = 0;
        paginaAperta = true;
    };
    auto chiudi = [&]() {
        for (int i = 0; i < basso; ++i)
            scrivi("\r\n");
        scrivi("\f");
        paginaAperta = false;
    };
    const qint64 n = PerOgniRiga(lista, stop, [&](const RigaLettura& r) {
        if (!paginaAperta)
            apri();
        QStringList celle;
        for (int i : colonne)
            celle << r.testi.value(i);
        scrivi(linea(celle, destra));
        if (++sullaPagina == corpo)
            chiudi();
    });
    if (paginaAperta || n == 0) {
        if (!paginaAperta)
            apri();
        chiudi();
    }
    if (o.obFisUtilComp)
        scrivi(SequenzaControllo(o.osFisCodFinComp));
    f.sostituisci();
    return n;
}

} // namespace quarvel::stampa
