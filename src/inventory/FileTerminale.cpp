#include "inventory/FileTerminale.h"

#include "comune/Codifiche.h"
#include "comune/ErroriSistema.h"
#include "suite/Utilita.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryFile>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quarvel::inventario {

namespace {

int Intero(const LettoreParametri& leggi, const QString& sezione, const char* chiave) {
    return Utilita().TestoInIntero(leggi(sezione, QString::fromLatin1(chiave)));
}

QString Testo(const LettoreParametri& leggi, const QString& sezione, const char* chiave) {
    return leggi(sezione, QString::fromLatin1(chiave));
}

// Mid(testo, inizio, lunghezza) of the suite's language, trimmed; a field
// that is not in the line (position 0, or after its end) is empty and not
// `presente`.  NUL bytes a terminal pads the end of a field with go as
// blanks do.
QString Colonne(const QString& riga, int inizio, int lunghezza, bool* presente = nullptr) {
    const bool c = inizio >= 1 && lunghezza >= 1 && inizio <= riga.size();
    if (presente)
        *presente = c;
    if (!c)
        return {};
    const QStringView v = QStringView(riga).mid(inizio - 1, lunghezza);
    qsizetype n = v.size();
    while (n > 0 && (v[n - 1].isNull() || v[n - 1].isSpace()))
        --n;
    return v.left(n).trimmed().toString();
}

QString CampoSeparato(const QString& riga, int n, const SetCarico& set, bool* presente) {
    if (presente)
        *presente = false;
    if (n < 1)
        return {};
    const QString& sep = set.separatore;
    if (sep.isEmpty()) { // no separator: the whole line is the first field
        if (presente)
            *presente = n == 1;
        return n == 1 ? riga.trimmed() : QString();
    }
    qsizetype inizio = 0;
    for (int i = 1; i < n; ++i) {
        const qsizetype p = riga.indexOf(sep, inizio, Qt::CaseInsensitive);
        if (p < 0)
            return {};
        inizio = p + sep.size();
    }
    if (presente)
        *presente = true;
    const qsizetype fine = riga.indexOf(sep, inizio, Qt::CaseInsensitive);
    QString campo = riga.mid(inizio, fine < 0 ? -1 : fine - inizio);
    if (campo.size() >= 2 && campo.startsWith(QLatin1Char('"')) && campo.endsWith(QLatin1Char('"')))
        campo = campo.mid(1, campo.size() - 2);
    return campo.trimmed();
}

QString CampoApici(const QString& riga, int n, bool* presente) {
    if (presente)
        *presente = false;
    if (n < 1)
        return {};
    static const QString candidati = QStringLiteral("§ç^|%&°@#ùèòéì~");
    QChar segnaposto;
    for (QChar c : candidati)
        if (!riga.contains(c)) {
            segnaposto = c;
            break;
        }
    QString t = riga;
    if (!segnaposto.isNull()) {
        t.replace(QStringLiteral("\"\""), QString(segnaposto));
        t.replace(QStringLiteral(",") + segnaposto + QStringLiteral(","), QStringLiteral(",\"\","));
    }
    qsizetype inizio = 0;
    for (int i = 0; i < 2 * n - 1; ++i) {
        const qsizetype p = t.indexOf(QLatin1Char('"'), inizio);
        if (p < 0)
            return {};
        inizio = p + 1;
    }
    if (presente)
        *presente = true;
    const qsizetype fine = t.indexOf(QLatin1Char('"'), inizio);
    QString campo = t.mid(inizio, fine < 0 ? -1 : fine - inizio);
    if (!segnaposto.isNull())
        campo.replace(segnaposto, QLatin1Char('"'));
    return campo.trimmed();
}

bool Cifra(QChar c) {
    return c.unicode() >= u'0' && c.unicode() <= u'9';
}

// Digits grouped by thousands: 1 to 3 digits, then groups of a dot and 3 digits.
bool Raggruppate(QStringView t) {
    const qsizetype primo = t.indexOf(QLatin1Char('.'));
    if (primo < 1 || primo > 3)
        return false;
    for (qsizetype i = 0; i < t.size(); ++i) {
        const bool punto = i >= primo && (i - primo) % 4 == 0;
        if (punto ? t[i] != QLatin1Char('.') : !Cifra(t[i]))
            return false;
    }
    return (t.size() - primo) % 4 == 0;
}

bool SoloCifre(QStringView t) {
    for (const QChar c : t)
        if (!Cifra(c))
            return false;
    return true;
}

} // namespace

bool LeggiQuantita(QStringView testo, int decimali, double& valore) {
    QStringView t = testo.trimmed();
    bool negativo = false;
    if (!t.isEmpty() && (t.front() == QLatin1Char('+') || t.front() == QLatin1Char('-'))) {
        negativo = t.front() == QLatin1Char('-');
        t = t.mid(1);
    }
    // the integer digits and the decimal digits
    QStringView intera = t, decimale;
    const qsizetype virgola = t.indexOf(QLatin1Char(','));
    if (virgola >= 0) {
        intera = t.left(virgola);
        decimale = t.mid(virgola + 1);
        if (!SoloCifre(decimale))
            return false;
    } else if (const qsizetype punto = t.indexOf(QLatin1Char('.')); punto >= 0 && !Raggruppate(t)) {
        // a dot that does not group thousands is the decimal sign
        intera = t.left(punto);
        decimale = t.mid(punto + 1);
        if (decimale.isEmpty() || !SoloCifre(decimale))
            return false;
    }
    if (intera.contains(QLatin1Char('.')) ? !Raggruppate(intera) : !SoloCifre(intera))
        return false;
    if (intera.isEmpty() && decimale.isEmpty())
        return false;
    // plain ASCII digits, rounded on them: exact in decimal
    std::string cifre;
    cifre.reserve(size_t(t.size()) + 2);
    for (const QChar c : intera)
        if (c != QLatin1Char('.'))
            cifre += char(c.unicode());
    if (cifre.empty())
        cifre += '0';
    const qsizetype interi = qsizetype(cifre.size());
    for (const QChar c : decimale)
        cifre += char(c.unicode());
    qsizetype tenute = decimale.size();
    if (decimali >= 0 && tenute > decimali) {
        const bool su = cifre[size_t(interi + decimali)] >= '5';
        cifre.resize(size_t(interi + decimali));
        tenute = decimali;
        if (su) { // half away from zero: carry through the digits kept
            qsizetype i = qsizetype(cifre.size()) - 1;
            for (; i >= 0 && cifre[size_t(i)] == '9'; --i)
                cifre[size_t(i)] = '0';
            if (i >= 0)
                ++cifre[size_t(i)];
            else
                cifre.insert(cifre.begin(), '1');
        }
    }
    if (tenute > 0)
        cifre.insert(cifre.end() - tenute, '.');
    double v = 0;
    const auto r = std::from_chars(cifre.data(), cifre.data() + cifre.size(), v);
    if (r.ec != std::errc() || r.ptr != cifre.data() + cifre.size() || !std::isfinite(v))
        return false;
    valore = negativo && v != 0 ? -v : v;
    return true;
}

bool LeggiSetCarico(const QString& nome, bool rigido, const LettoreParametri& leggi,
                    SetCarico& set) {
    set = SetCarico();
    set.nome = nome;
    set.fileOrigine = Testo(leggi, nome, "FileOrigine");
    set.codInizio = Intero(leggi, nome, "CodInizio");
    bool abilitato = true;
    if (set.codInizio == 0 || (rigido && Utilita().EVuoto(set.fileOrigine)))
        abilitato = false;
    if (!abilitato)
        return false;

    set.qtaInizio = Intero(leggi, nome, "QtaInizio");
    set.impUniInizio = Intero(leggi, nome, "ImpUniInizio");
    set.impTotInizio = Intero(leggi, nome, "ImpTotInizio");
    set.formato = Testo(leggi, nome, "FissoSep");
    if (set.formato.isEmpty())
        set.formato = QStringLiteral("F");
    if (set.formato == QLatin1String("F")) {
        set.codLung = Intero(leggi, nome, "CodLung");
        set.qtaLung = Intero(leggi, nome, "QtaLung");
        set.impUniLung = Intero(leggi, nome, "ImpUniLung");
        set.impTotLung = Intero(leggi, nome, "ImpTotLung");
        if (rigido && (set.codLung == 0 || (set.qtaInizio >= 1 && set.qtaLung == 0) ||
                       (set.impUniInizio >= 1 && set.impUniLung == 0) ||
                       (set.impTotInizio >= 1 && set.impTotLung == 0)))
            abilitato = false;
    } else if (set.formato == QLatin1String("S")) {
        set.separatore = Testo(leggi, nome, "Separatore");
        static const QRegularExpression intero(QStringLiteral("^[0-9]+$"));
        if (set.separatore.isEmpty()) {
            if (rigido)
                abilitato = false;
        } else if (intero.match(set.separatore).hasMatch()) {
            const int codice = set.separatore.toInt();
            if (codice > 0 && codice < 256) {
                const char c = static_cast<char>(codice);
                set.separatore = DaCp1252(QByteArrayView(&c, 1));
            }
        }
    }
    set.exePrima = Testo(leggi, nome, "ExePrima");
    set.cancFile = Testo(leggi, nome, "CancFile");
    set.codArtSeqRic = Testo(leggi, nome, "CodArtSeqRic").trimmed();
    set.addArtPrima = Testo(leggi, nome, "AddArtPrima");
    set.addArtDopo = Testo(leggi, nome, "AddArtDopo");
    set.codArtInizIdent = Testo(leggi, nome, "CodArtInizIdent");
    return abilitato;
}

QString LeggiCampo(const QString& riga, int n, const SetCarico& set) {
    if (set.formato == QLatin1String("A"))
        return CampoApici(riga, n, nullptr);
    return CampoSeparato(riga, n, set, nullptr);
}

QString LeggiCampoApici(const QString& riga, int n) {
    return CampoApici(riga, n, nullptr);
}

RigaTerminale AnalizzaRiga(const QString& riga, const SetCarico& set,
                           const std::function<double(const QString&)>& numero, int decimaliQta) {
    const bool fisso = set.formato != QLatin1String("S") && set.formato != QLatin1String("A");
    const bool apici = set.formato == QLatin1String("A");
    auto campo = [&](int inizio, int lunghezza, bool* presente = nullptr) {
        return fisso   ? Colonne(riga, inizio, lunghezza, presente)
               : apici ? CampoApici(riga, inizio, presente)
                       : CampoSeparato(riga, inizio, set, presente);
    };
    RigaTerminale r;
    r.codice = campo(set.codInizio, set.codLung);
    bool presente = false;
    const QString qta = campo(set.qtaInizio, set.qtaLung, &presente);
    if (presente && !LeggiQuantita(qta, decimaliQta, r.quantita)) {
        r.quantitaValida = false;
        r.testoQuantita = qta;
    }
    if (set.impTotInizio > 0) {
        const double v = numero(campo(set.impTotInizio, set.impTotLung));
        if (v != 0) {
            r.importo = v;
            r.qualeImporto = 1;
        }
    } else if (set.impUniInizio > 0) {
        const double v = numero(campo(set.impUniInizio, set.impUniLung));
        if (v != 0) {
            r.importo = v;
            r.qualeImporto = 2;
        }
    }
    return r;
}

// ---- LettoreRighe -------------------------------------------------------------------

bool LettoreRighe::Riempi(QString* errore) {
    if (m_fine)
        return false;
    if (m_pos > 0) {
        m_base += m_pos;
        m_buffer.remove(0, m_pos);
        m_pos = 0;
    }
    constexpr qsizetype Blocco = 64 * 1024;
    const qsizetype prima = m_buffer.size();
    m_buffer.resize(prima + Blocco);
    const qint64 letti = m_file.read(m_buffer.data() + prima, Blocco);
    if (letti < 0) {
        m_buffer.resize(prima);
        m_fine = true;
        if (errore)
            *errore = m_file.errorString();
        return false;
    }
    m_buffer.resize(prima + letti);
    if (letti == 0)
        m_fine = true;
    return letti > 0;
}

bool LettoreRighe::Travasa(QByteArray& pezzo, std::shared_ptr<QTemporaryFile>& lunga,
                           QString* errore) {
    if (!lunga) {
        lunga = std::make_shared<QTemporaryFile>();
        if (!lunga->open()) {
            if (errore)
                *errore = QStringLiteral("impossibile conservare una riga di più di %1 byte: %2")
                              .arg(MassimoRiga)
                              .arg(lunga->errorString());
            return false;
        }
    }
    if (lunga->write(pezzo) != pezzo.size()) {
        if (errore)
            *errore = QStringLiteral("impossibile conservare una riga di più di %1 byte: %2")
                          .arg(MassimoRiga)
                          .arg(lunga->errorString());
        return false;
    }
    pezzo.clear();
    return true;
}

bool LettoreRighe::Prossima(Riga& riga, QString* errore) {
    riga = Riga();
    QByteArray pezzo;
    std::shared_ptr<QTemporaryFile> lunga; // a line too long to hold
    qint64 lunghezza = 0;
    qint64 inizio = -1;
    // the bytes of the line from m_pos to `fine`, held or (too long) put aside
    auto prendi = [&](qsizetype fine) {
        const qsizetype n = fine - m_pos;
        lunghezza += n;
        pezzo.append(m_buffer.constData() + m_pos, n);
        if (lunga || pezzo.size() > LettoreRighe::MassimoRiga)
            return Travasa(pezzo, lunga, errore);
        return true;
    };
    for (;;) {
        if (m_crPendente) {
            // a CR ended the last line: a LF right after it belongs to it
            if (m_pos >= m_buffer.size() && !Riempi(errore) && m_pos >= m_buffer.size())
                return false;
            if (m_pos < m_buffer.size()) {
                m_crPendente = false;
                if (m_buffer.at(m_pos) == '\n')
                    ++m_pos;
            }
            continue;
        }
        if (inizio < 0)
            inizio = m_base + m_pos;
        qsizetype fine = -1;
        const char* dati = m_buffer.constData();
        for (qsizetype i = m_pos; i < m_buffer.size(); ++i) {
            const char c = dati[i];
            if (c == '\n' || c == '\r') {
                fine = i;
                break;
            }
        }
        if (fine >= 0) {
            if (!prendi(fine))
                return false;
            m_crPendente = m_buffer.at(fine) == '\r';
            m_pos = fine + 1;
            break;
        }
        // no line end in what was read: keep it and read on
        if (!prendi(m_buffer.size()))
            return false;
        m_pos = m_buffer.size();
        if (!Riempi(errore)) {
            if (errore && !errore->isEmpty())
                return false;
            if (lunghezza == 0)
                return false; // the end, after the last line end
            break;            // a last line without its end
        }
    }
    ++m_numero;
    if (m_numero == 1 && !lunga && pezzo.startsWith("\xEF\xBB\xBF")) {
        pezzo.remove(0, 3);
        inizio += 3;
        lunghezza -= 3;
    }
    riga.numero = m_numero;
    riga.inizio = inizio;
    riga.lunghezza = lunghezza;
    if (lunga) {
        if (!lunga->flush() || !lunga->seek(0)) {
            if (errore)
                *errore = lunga->errorString();
            return false;
        }
        riga.tagliata = true;
        riga.lunga = std::move(lunga);
        return true;
    }
    riga.testo = DaTestoTerminale(pezzo);
    riga.grezza = std::move(pezzo);
    return true;
}

// ---- FileScarti -----------------------------------------------------------------------

QString ParteCasuale() {
    static const char lettere[] = "abcdefghijkmnpqrstuvwxyz23456789";
    QString t;
    QRandomGenerator* g = QRandomGenerator::system();
    for (int i = 0; i < 10; ++i)
        t += QLatin1Char(lettere[g->bounded(int(sizeof(lettere) - 1))]);
    return t;
}

namespace {

QString CausaScarti(const QString& nome, const QString& causa) {
    return QStringLiteral("Impossibile scrivere il file delle righe scartate %1: %2")
        .arg(nome, causa);
}

} // namespace

std::function<QString()> FileScarti::suffissoCasuale = ParteCasuale;

FileScarti::FileScarti(const QString& fileOrigine, const QDateTime& quando)
    : m_base(fileOrigine + quando.toString(QStringLiteral(".'scarti'-yyyyMMdd-HHmmss-"))),
      m_nome(m_base + suffissoCasuale()) {}

FileScarti::~FileScarti() {
    Chiudi();
}

bool FileScarti::Apri(QString* errore) {
    if (m_file)
        return true;
    // shared with the folder's group when the folder is
    mode_t modo = S_IRUSR | S_IWUSR;
    struct stat cartella {};
    if (::stat(QFile::encodeName(QFileInfo(m_nome).absolutePath()).constData(), &cartella) == 0 &&
        (cartella.st_mode & S_IWGRP))
        modo |= S_IRGRP | S_IWGRP;
    int fd = -1;
    int causa = 0;
    for (int prova = 0; prova < 16; ++prova) {
        if (prova > 0)
            m_nome = m_base + suffissoCasuale();
        fd = ::open(QFile::encodeName(m_nome).constData(),
                    O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, modo);
        causa = errno;
        if (fd >= 0 || causa != EEXIST)
            break;
    }
    if (fd < 0) {
        if (errore)
            *errore = CausaScarti(m_nome, DescrizioneErrore(causa));
        return false;
    }
    ::fchmod(fd, modo); // whatever the process's mask
    m_file = std::make_unique<QFile>();
    if (!m_file->open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        if (errore)
            *errore = CausaScarti(m_nome, m_file->errorString());
        m_file.reset();
        return false;
    }
    return true;
}

bool FileScarti::Scritto(bool ok, QString* errore) {
    if (ok && m_file->write("\r\n", 2) == 2) {
        ++m_righe;
        return true;
    }
    if (errore)
        *errore = CausaScarti(m_nome, m_file->errorString());
    return false;
}

bool FileScarti::Aggiungi(const QByteArray& grezza, QString* errore) {
    if (!Apri(errore))
        return false;
    return Scritto(m_file->write(grezza) == grezza.size(), errore);
}

bool FileScarti::AggiungiDa(QIODevice& riga, QString* errore) {
    if (!Apri(errore))
        return false;
    QByteArray pezzo(64 * 1024, Qt::Uninitialized);
    for (;;) {
        const qint64 n = riga.read(pezzo.data(), pezzo.size());
        if (n < 0) {
            if (errore)
                *errore = CausaScarti(m_nome, riga.errorString());
            return false;
        }
        if (n == 0)
            break;
        if (m_file->write(pezzo.constData(), n) != n)
            return Scritto(false, errore);
    }
    return Scritto(true, errore);
}

bool FileScarti::Chiudi(QString* errore) {
    if (!m_file)
        return true;
    const bool ok = m_file->flush() && m_file->error() == QFileDevice::NoError;
    if (!ok && errore)
        *errore = CausaScarti(m_nome, m_file->errorString());
    m_file->close();
    m_file.reset();
    return ok;
}

} // namespace quarvel::inventario
