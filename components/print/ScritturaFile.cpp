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

qint64 ScriviDelimitato(IListaLettura& lista, const QVector<int>& colonne, const IOpzioniStampa& o,
                        const QString& file, const Fermata& stop) {
    const QVector<ColonnaLettura> col = lista.colonne();
    QLocale locale = utilita::LocaleOperatore();
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    const bool excel = o.oiFileForm == FormatoFile::CompatibileExcel;
    const bool senzaFormato = excel || o.obNumNoForm;
    const QString sep = o.osSepCampi.isEmpty() ? QStringLiteral(";") : o.osSepCampi.left(1);
    const QString q = o.osDelimStr.left(1);
    const QString qq = q + q;

    auto racchiudi = [&](const QString& t) {
        if (q.isEmpty())
            return t;
        return q + QString(t).replace(q, qq) + q;
    };
    auto campo = [&](const QString& t, bool testo) {
        if (testo || (!q.isEmpty() && (t.contains(sep) || t.contains(q))))
            return racchiudi(t);
        return t;
    };

    FileSicuro f(file);
    QByteArray riga;
    auto scrivi = [&]() {
        riga += "\r\n";
        f.scrivi(riga);
        riga.clear();
    };
    if (excel)
        riga += "\xEF\xBB\xBF";
    for (int k = 0; k < colonne.size(); ++k) {
        if (k)
            riga += sep.toUtf8();
        riga += campo(col[colonne[k]].titolo, true).toUtf8();
    }
    scrivi();

    QString testo;
    const qint64 n = PerOgniRiga(lista, stop, [&](const RigaLettura& r) {
        testo.clear();
        for (int k = 0; k < colonne.size(); ++k) {
            if (k)
                testo += sep;
            const int c = colonne[k];
            const QVariant v = r.valori.value(c);
            if (Nullo(v))
                continue;
            if (ColonnaNumerica(col[c]))
                testo += campo(senzaFormato ? NumeroSenzaFormato(ComeNumero(v, locale), locale)
                                            : r.testi.value(c),
                               false);
            else if (v.typeId() == QMetaType::QDate || v.typeId() == QMetaType::QDateTime)
                testo += campo(r.testi.value(c), false);
            else {
                const QString t = r.testi.value(c);
                testo += campo(excel && SembraFormula(t) ? QLatin1Char('\'') + t : t, true);
            }
        }
        riga = testo.toUtf8();
        scrivi();
    });
    f.sostituisci();
    return n;
}

namespace {

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
    const qint64 n = PerOgniRiga(lista, stop, [&](const RigaLettura& r) {
        if (riga >= RigheFoglio)
            throw Errore(NumErr::ChiamataNonValida,
                         QStringLiteral("La lista supera le righe di un foglio di lavoro"),
                         QStringLiteral("Stampa"));
        for (int k = 0; k < colonne.size(); ++k) {
            const int i = colonne[k];
            const QVariant v = r.valori.value(i);
            if (Nullo(v))
                continue;
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
                c.controlla(worksheet_write_string(c.ws(), riga, x,
                                                   r.testi.value(i).toUtf8().constData(), nullptr));
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
