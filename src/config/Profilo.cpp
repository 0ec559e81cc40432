#include "config/Profilo.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <limits>
#include <vector>

namespace quarvel::profilo {

namespace {

// ---- Encodings ---------------------------------------------------------------------------

// Windows-1252 bytes 0x80..0x9F; the five bytes the code page leaves undefined
// map to the control character of the same value, as Windows itself does, so
// that every byte reads and writes back unchanged.
constexpr char16_t Cp1252Alto[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

QString DaCp1252(QByteArrayView b) {
    QString s;
    s.resize(b.size());
    QChar* out = s.data();
    for (qsizetype i = 0; i < b.size(); ++i) {
        const auto c = static_cast<unsigned char>(b[i]);
        out[i] = (c >= 0x80 && c < 0xA0) ? QChar(Cp1252Alto[c - 0x80]) : QChar(c);
    }
    return s;
}

// False when a character has no Windows-1252 byte.
bool ACp1252(const QString& s, QByteArray& out) {
    out.clear();
    out.reserve(s.size());
    for (QChar qc : s) {
        const char16_t c = qc.unicode();
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            out.append(static_cast<char>(c));
            continue;
        }
        const auto* fine = std::end(Cp1252Alto);
        const auto* p = std::find(std::begin(Cp1252Alto), fine, c);
        if (p == fine)
            return false;
        out.append(static_cast<char>(0x80 + (p - std::begin(Cp1252Alto))));
    }
    return true;
}

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF,
// no sequence cut short.
bool Utf8Valido(QByteArrayView b) {
    const qsizetype n = b.size();
    qsizetype i = 0;
    while (i < n) {
        const auto c = static_cast<unsigned char>(b[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        int seguito;
        unsigned minimo, massimo = 0xBF;
        if (c >= 0xC2 && c <= 0xDF) {
            seguito = 1;
            minimo = 0x80;
        } else if (c >= 0xE0 && c <= 0xEF) {
            seguito = 2;
            minimo = c == 0xE0 ? 0xA0 : 0x80;
            massimo = c == 0xED ? 0x9F : 0xBF;
        } else if (c >= 0xF0 && c <= 0xF4) {
            seguito = 3;
            minimo = c == 0xF0 ? 0x90 : 0x80;
            massimo = c == 0xF4 ? 0x8F : 0xBF;
        } else {
            return false;
        }
        if (i + seguito >= n)
            return false;
        for (int k = 1; k <= seguito; ++k) {
            const auto t = static_cast<unsigned char>(b[i + k]);
            const unsigned lo = k == 1 ? minimo : 0x80;
            const unsigned hi = k == 1 ? massimo : 0xBF;
            if (t < lo || t > hi)
                return false;
        }
        i += seguito + 1;
    }
    return true;
}

enum class Codifica { Utf8, Cp1252 };

// ---- The file as lines ---------------------------------------------------------------------

enum class TipoRiga { Vuota, Commento, Sezione, Chiave, Altro };

struct Riga {
    QByteArray testo; // the line's bytes, without its end
    QByteArray fine;  // "\r\n", "\n", "\r", or empty on a last line without one

    TipoRiga tipo = TipoRiga::Altro;
    QString nome;               // section or key name, trimmed
    QString valore;             // key value, trimmed and unquoted
    qsizetype inizioValore = 0; // byte offset of the value in testo (keys)
};

bool Blank(char c) {
    return c == ' ' || c == '\t';
}

struct Documento {
    bool esiste = false;
    Codifica codifica = Codifica::Utf8;
    QByteArray bom;
    QByteArray fineRiga = "\n";
    std::vector<Riga> righe;

    QString decodifica(QByteArrayView b) const {
        return codifica == Codifica::Utf8 ? QString::fromUtf8(b) : DaCp1252(b);
    }
    bool codifica_(const QString& s, QByteArray& out) const {
        if (codifica == Codifica::Utf8) {
            out = s.toUtf8();
            return true;
        }
        return ACp1252(s, out);
    }

    void analizza(Riga& r) const {
        const QByteArray& t = r.testo;
        qsizetype i = 0;
        while (i < t.size() && Blank(t[i]))
            ++i;
        r.nome.clear();
        r.valore.clear();
        if (i == t.size()) {
            r.tipo = TipoRiga::Vuota;
        } else if (t[i] == ';' || t[i] == '#') {
            r.tipo = TipoRiga::Commento;
        } else if (t[i] == '[') {
            r.tipo = TipoRiga::Sezione;
            qsizetype chiusa = t.indexOf(']', i + 1);
            if (chiusa < 0)
                chiusa = t.size();
            r.nome = decodifica(QByteArrayView(t).sliced(i + 1, chiusa - i - 1)).trimmed();
        } else if (const qsizetype uguale = t.indexOf('=', i); uguale > i) {
            r.tipo = TipoRiga::Chiave;
            r.nome = decodifica(QByteArrayView(t).sliced(i, uguale - i)).trimmed();
            qsizetype v = uguale + 1;
            while (v < t.size() && Blank(t[v]))
                ++v;
            r.inizioValore = v;
            QString valore = decodifica(QByteArrayView(t).sliced(v)).trimmed();
            if (valore.size() >= 2 && valore.front() == valore.back() &&
                (valore.front() == QLatin1Char('"') || valore.front() == QLatin1Char('\'')))
                valore = valore.mid(1, valore.size() - 2);
            r.valore = valore;
            if (r.nome.isEmpty())
                r.tipo = TipoRiga::Altro;
        } else {
            r.tipo = TipoRiga::Altro;
        }
    }

    // Index of the first section of that name, or -1.
    qsizetype sezione(const QString& nome) const {
        for (size_t i = 0; i < righe.size(); ++i)
            if (righe[i].tipo == TipoRiga::Sezione &&
                righe[i].nome.compare(nome, Qt::CaseInsensitive) == 0)
                return static_cast<qsizetype>(i);
        return -1;
    }
    // One past the last line of the section whose header is at `inizio`.
    qsizetype fineSezione(qsizetype inizio) const {
        qsizetype i = inizio + 1;
        while (i < static_cast<qsizetype>(righe.size()) && righe[i].tipo != TipoRiga::Sezione)
            ++i;
        return i;
    }
    // Index of the first key of that name inside the section, or -1.
    qsizetype chiave(qsizetype inizio, const QString& nome) const {
        const qsizetype fine = fineSezione(inizio);
        for (qsizetype i = inizio + 1; i < fine; ++i)
            if (righe[i].tipo == TipoRiga::Chiave &&
                righe[i].nome.compare(nome, Qt::CaseInsensitive) == 0)
                return i;
        return -1;
    }
};

// Reads the file; false only when it exists and cannot be read.
bool Carica(const QString& file, Documento& d) {
    QFile f(file);
    if (!f.exists())
        return true;
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray dati = f.readAll();
    if (f.error() != QFileDevice::NoError)
        return false;
    d.esiste = true;

    QByteArrayView resto(dati);
    if (resto.startsWith("\xEF\xBB\xBF")) {
        d.bom = QByteArray("\xEF\xBB\xBF");
        resto = resto.sliced(3);
    }
    d.codifica = Utf8Valido(dati) ? Codifica::Utf8 : Codifica::Cp1252;

    bool primaFine = true;
    qsizetype i = 0;
    while (i < resto.size()) {
        qsizetype j = i;
        while (j < resto.size() && resto[j] != '\n' && resto[j] != '\r')
            ++j;
        Riga r;
        r.testo = resto.sliced(i, j - i).toByteArray();
        if (j < resto.size()) {
            const qsizetype lung =
                (resto[j] == '\r' && j + 1 < resto.size() && resto[j + 1] == '\n') ? 2 : 1;
            r.fine = resto.sliced(j, lung).toByteArray();
            j += lung;
            if (primaFine) {
                d.fineRiga = r.fine;
                primaFine = false;
            }
        }
        d.righe.push_back(std::move(r));
        i = j;
    }
    for (Riga& r : d.righe)
        d.analizza(r);
    return true;
}

bool Salva(const QString& file, const Documento& d) {
    QByteArray dati = d.bom;
    for (const Riga& r : d.righe) {
        dati += r.testo;
        dati += r.fine;
    }
    QSaveFile f(file);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    if (f.write(dati) != dati.size()) {
        f.cancelWriting();
        return false;
    }
    return f.commit();
}

bool HaFineRiga(const QString& s) {
    return s.contains(QLatin1Char('\n')) || s.contains(QLatin1Char('\r')) || s.contains(QChar(0));
}

// The line ends before `pos` so that a line can be inserted there.
void ChiudiRigaPrecedente(Documento& d, qsizetype pos) {
    if (pos > 0 && d.righe[pos - 1].fine.isEmpty())
        d.righe[pos - 1].fine = d.fineRiga;
}

bool NuovaRiga(Documento& d, const QString& testo, Riga& r) {
    if (!d.codifica_(testo, r.testo))
        return false;
    r.fine = d.fineRiga;
    d.analizza(r);
    return true;
}

} // namespace

std::optional<QString> LeggiValore(const QString& file, const QString& sezione,
                                   const QString& chiave) {
    Documento d;
    if (!Carica(file, d) || !d.esiste)
        return std::nullopt;
    const qsizetype s = d.sezione(sezione.trimmed());
    if (s < 0)
        return std::nullopt;
    const qsizetype k = d.chiave(s, chiave.trimmed());
    if (k < 0)
        return std::nullopt;
    return d.righe[k].valore;
}

int LeggiIntero(const QString& file, const QString& sezione, const QString& chiave,
                int predefinito) {
    const std::optional<QString> v = LeggiValore(file, sezione, chiave);
    if (!v)
        return predefinito;
    qsizetype i = 0;
    bool negativo = false;
    if (i < v->size() && (v->at(i) == QLatin1Char('-') || v->at(i) == QLatin1Char('+'))) {
        negativo = v->at(i) == QLatin1Char('-');
        ++i;
    }
    qint64 n = 0;
    for (; i < v->size(); ++i) {
        const char16_t c = v->at(i).unicode();
        if (c < u'0' || c > u'9')
            break;
        n = n * 10 + (c - u'0');
        if (n > qint64(std::numeric_limits<int>::max()) + 1)
            n = qint64(std::numeric_limits<int>::max()) + 1;
    }
    if (negativo)
        n = -n;
    return static_cast<int>(
        std::clamp<qint64>(n, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

QStringList NomiSezioni(const QString& file) {
    Documento d;
    QStringList nomi;
    if (!Carica(file, d))
        return nomi;
    for (const Riga& r : d.righe) {
        if (r.tipo != TipoRiga::Sezione || r.nome.isEmpty())
            continue;
        if (!nomi.contains(r.nome, Qt::CaseInsensitive))
            nomi.append(r.nome);
    }
    return nomi;
}

int NomiSezioniBuffer(const QString& file, QString& buffer, int dimensione) {
    buffer.clear();
    if (dimensione <= 0)
        return 0;
    buffer.fill(QChar(0), dimensione);
    if (dimensione == 1)
        return 0;
    // One place is kept for the final NUL; a name that does not fit with its
    // own NUL is cut, and the caller learns it from dimensione - 2.
    qsizetype libero = dimensione - 1;
    qsizetype pos = 0;
    for (const QString& nome : NomiSezioni(file)) {
        const qsizetype lung = nome.size() + 1;
        if (lung >= libero) {
            if (libero > 0) {
                buffer.replace(pos, libero - 1, nome.left(libero - 1));
                pos += libero; // the cut name's NUL is already there
            }
            return dimensione - 2;
        }
        buffer.replace(pos, nome.size(), nome);
        pos += lung;
        libero -= lung;
    }
    return static_cast<int>(pos);
}

bool Scrivi(const QString& file, const QString& sezione, const std::optional<QString>& chiave,
            const std::optional<QString>& valore) {
    // Names and values that would break the line structure (and so change
    // other keys or sections) are refused instead of written.
    const QString sez = sezione.trimmed();
    if (sez.isEmpty() || sez.contains(QLatin1Char(']')) || HaFineRiga(sez))
        return false;
    QString chi;
    if (chiave) {
        chi = chiave->trimmed();
        if (chi.isEmpty() || chi.contains(QLatin1Char('=')) || HaFineRiga(chi) ||
            chi.startsWith(QLatin1Char('[')) || chi.startsWith(QLatin1Char(';')) ||
            chi.startsWith(QLatin1Char('#')))
            return false;
    }
    if (valore && HaFineRiga(*valore))
        return false;

    Documento d;
    if (!Carica(file, d))
        return false;
    if (d.esiste) {
        // A file marked read-only stays so, whoever runs the program (root too,
        // as the read-only attribute binds everyone on Windows).
        const QFileInfo info(file);
        const QFile::Permissions scrittura =
            QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther;
        if (!info.isFile() || !info.isWritable() || !(info.permissions() & scrittura))
            return false;
    }

    const qsizetype s = d.sezione(sez);
    if (!chiave) {
        // The whole section goes, header included.
        if (s < 0)
            return true;
        const qsizetype fine = d.fineSezione(s);
        d.righe.erase(d.righe.begin() + s, d.righe.begin() + fine);
        if (s > 0 && s == static_cast<qsizetype>(d.righe.size()) && d.righe[s - 1].fine.isEmpty())
            d.righe[s - 1].fine = d.fineRiga;
        return Salva(file, d);
    }

    const qsizetype k = s < 0 ? -1 : d.chiave(s, chi);
    if (!valore) {
        if (k < 0)
            return true;
        d.righe.erase(d.righe.begin() + k);
        return Salva(file, d);
    }

    if (k >= 0) {
        // The key's name, its spacing and the line end stay as they were.
        Riga& r = d.righe[k];
        QByteArray nuovo;
        if (!d.codifica_(*valore, nuovo))
            return false;
        r.testo = r.testo.left(r.inizioValore) + nuovo;
        d.analizza(r);
        return Salva(file, d);
    }

    Riga rigaChiave;
    if (!NuovaRiga(d, chi + QLatin1Char('=') + *valore, rigaChiave))
        return false;

    if (s >= 0) {
        // After the last key of the section (or its header), before the blank
        // lines and comments that lead to the next section.
        qsizetype dopo = s;
        const qsizetype fine = d.fineSezione(s);
        for (qsizetype i = s + 1; i < fine; ++i)
            if (d.righe[i].tipo == TipoRiga::Chiave || d.righe[i].tipo == TipoRiga::Altro)
                dopo = i;
        ChiudiRigaPrecedente(d, dopo + 1);
        d.righe.insert(d.righe.begin() + dopo + 1, std::move(rigaChiave));
        return Salva(file, d);
    }

    Riga intestazione;
    if (!NuovaRiga(d, QLatin1Char('[') + sez + QLatin1Char(']'), intestazione))
        return false;
    const qsizetype n = static_cast<qsizetype>(d.righe.size());
    ChiudiRigaPrecedente(d, n);
    if (n > 0 && d.righe[n - 1].tipo != TipoRiga::Vuota) {
        Riga vuota;
        vuota.fine = d.fineRiga;
        vuota.tipo = TipoRiga::Vuota;
        d.righe.push_back(std::move(vuota));
    }
    d.righe.push_back(std::move(intestazione));
    d.righe.push_back(std::move(rigaChiave));
    return Salva(file, d);
}

} // namespace quarvel::profilo
