#include "Conversioni.h"

#include "suite/Errore.h"
#include "suite/Utilita.h"

#include <QDate>
#include <QDateTime>
#include <QStringList>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <system_error>

namespace quarvel::utilita {

namespace {

bool Cifra(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

bool TutteCifre(QStringView s) {
    for (QChar c : s)
        if (!Cifra(c))
            return false;
    return true;
}

// ---------------------------------------------------------------------------
// Decimal digits of a double

// A non-negative decimal number as digits with the decimal point after the
// first `punto` of them.
struct Fisso {
    bool negativo = false;
    std::string cifre; // at least one digit
    std::size_t punto = 1;
};

Fisso DaDouble(double v) {
    char buf[512];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed);
    std::string s(buf, r.ptr);
    Fisso f;
    if (!s.empty() && s.front() == '-') {
        f.negativo = true;
        s.erase(0, 1);
    }
    const auto p = s.find('.');
    if (p == std::string::npos) {
        f.cifre = s;
        f.punto = s.size();
    } else {
        f.cifre = s.substr(0, p) + s.substr(p + 1);
        f.punto = p;
    }
    return f;
}

bool TuttiZeri(const std::string& s) {
    return s.find_first_not_of('0') == std::string::npos;
}

// Rounds to `decimali` places: afterwards the digits end exactly there
// (cifre.size() == punto + max(decimali, 0); for negative decimali the last
// -decimali integer digits are 0).
void Arrotonda(Fisso& f, int decimali, Modo modo) {
    long tenere = static_cast<long>(f.punto) + decimali;
    if (tenere < 1) { // room for a carry into the first kept place
        const long z = 1 - tenere;
        f.cifre.insert(0, static_cast<std::size_t>(z), '0');
        f.punto += static_cast<std::size_t>(z);
        tenere = 1;
    }
    const auto k = static_cast<std::size_t>(tenere);
    if (f.cifre.size() > k) {
        const std::string scartate = f.cifre.substr(k);
        f.cifre.resize(k);
        bool su = false;
        switch (modo) {
        case Modo::MetaVia:
            su = scartate.front() >= '5';
            break;
        case Modo::Su:
            su = !TuttiZeri(scartate);
            break;
        case Modo::Giu:
            break;
        }
        if (su) {
            bool riporto = true;
            for (std::size_t i = f.cifre.size(); riporto && i > 0;) {
                --i;
                if (f.cifre[i] == '9') {
                    f.cifre[i] = '0';
                } else {
                    ++f.cifre[i];
                    riporto = false;
                }
            }
            if (riporto) {
                f.cifre.insert(0, 1, '1');
                ++f.punto;
            }
        }
    }
    const std::size_t lunghezza =
        decimali >= 0 ? f.punto + static_cast<std::size_t>(decimali) : f.punto;
    if (f.cifre.size() < lunghezza)
        f.cifre.append(lunghezza - f.cifre.size(), '0');
    if (TuttiZeri(f.cifre))
        f.negativo = false;
}

std::string ParteIntera(const Fisso& f) {
    std::string s = f.cifre.substr(0, f.punto);
    const auto nz = s.find_first_not_of('0');
    return nz == std::string::npos ? std::string() : s.substr(nz);
}

std::string ParteDecimale(const Fisso& f) {
    return f.punto < f.cifre.size() ? f.cifre.substr(f.punto) : std::string();
}

std::string Testo(const Fisso& f) {
    std::string intera = ParteIntera(f);
    if (intera.empty())
        intera = "0";
    std::string dec = ParteDecimale(f);
    while (!dec.empty() && dec.back() == '0')
        dec.pop_back();
    std::string s = f.negativo ? "-" : "";
    s += intera;
    if (!dec.empty())
        s += "." + dec;
    return s;
}

double DaTesto(const std::string& s) {
    double v = 0;
    const char* inizio = s.data();
    if (!s.empty() && s.front() == '-')
        ++inizio; // from_chars takes no sign of its own for the plain form below
    const auto r = std::from_chars(inizio, s.data() + s.size(), v);
    if (r.ec != std::errc())
        return std::numeric_limits<double>::quiet_NaN();
    return inizio != s.data() ? -v : v;
}

// The value times 10^k, done on its shortest decimal text (exact in decimal).
double Sposta(double v, int k) {
    if (k == 0 || v == 0 || !std::isfinite(v))
        return v;
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific);
    std::string s(buf, r.ptr);
    const auto e = s.find('e');
    const int esponente = std::stoi(s.substr(e + 1)) + k;
    s = s.substr(0, e) + "e" + std::to_string(esponente);
    return DaTesto(s);
}

// ---------------------------------------------------------------------------
// Reading numbers

// "1.234.567" with G ".": the digits, or nullopt when the text is not grouped
// in threes after a first group of 1-3 digits not beginning with 0.
std::optional<QString> Raggruppate(QStringView s, QStringView g) {
    if (g.isEmpty())
        return std::nullopt;
    QString cifre;
    qsizetype i = 0;
    bool primo = true;
    while (true) {
        const qsizetype prossimo = s.indexOf(g, i);
        const QStringView gruppo = s.mid(i, (prossimo < 0 ? s.size() : prossimo) - i);
        if (!TutteCifre(gruppo))
            return std::nullopt;
        if (primo) {
            if (gruppo.isEmpty() || gruppo.size() > 3 || gruppo.front() == QLatin1Char('0'))
                return std::nullopt;
            primo = false;
        } else if (gruppo.size() != 3) {
            return std::nullopt;
        }
        cifre += gruppo;
        if (prossimo < 0)
            break;
        i = prossimo + g.size();
    }
    return cifre;
}

// The operator's form; the number as a plain C text ("1234.56").
std::optional<QString> FormaOperatore(QStringView t, const QLocale& loc) {
    const QString d = loc.decimalPoint();
    const QString g = loc.groupSeparator();
    if (d.isEmpty())
        return std::nullopt;
    QStringView intera = t;
    QStringView decimali;
    bool conPunto = false;
    const qsizetype pd = t.indexOf(d);
    if (pd >= 0) {
        intera = t.left(pd);
        decimali = t.mid(pd + d.size());
        conPunto = true;
        if (!TutteCifre(decimali))
            return std::nullopt;
    }
    QString cifre;
    if (!g.isEmpty() && intera.contains(g)) {
        const auto r = Raggruppate(intera, g);
        if (!r)
            return std::nullopt;
        cifre = *r;
    } else {
        if (!TutteCifre(intera))
            return std::nullopt;
        cifre = intera.toString();
    }
    if (cifre.isEmpty() && decimali.isEmpty())
        return std::nullopt;
    QString c = cifre.isEmpty() ? QStringLiteral("0") : cifre;
    if (conPunto && !decimali.isEmpty())
        c += QLatin1Char('.') + decimali.toString();
    return c;
}

// The plain form: digits, ".", decimals, exponent.
std::optional<QString> FormaPiana(QStringView t) {
    qsizetype i = 0;
    const qsizetype n = t.size();
    qsizetype cifreMantissa = 0;
    while (i < n && Cifra(t[i])) {
        ++i;
        ++cifreMantissa;
    }
    if (i < n && t[i] == QLatin1Char('.')) {
        ++i;
        while (i < n && Cifra(t[i])) {
            ++i;
            ++cifreMantissa;
        }
    }
    if (cifreMantissa == 0)
        return std::nullopt;
    if (i < n && (t[i] == QLatin1Char('e') || t[i] == QLatin1Char('E'))) {
        ++i;
        if (i < n && (t[i] == QLatin1Char('+') || t[i] == QLatin1Char('-')))
            ++i;
        const qsizetype inizio = i;
        while (i < n && Cifra(t[i]))
            ++i;
        if (i == inizio)
            return std::nullopt;
    }
    if (i != n)
        return std::nullopt;
    return t.toString();
}

} // namespace

QLocale LocaleOperatore() {
    QLocale l;
    if (l.language() == QLocale::C)
        l = QLocale(QLocale::Italian, QLocale::Italy);
    return l;
}

std::optional<double> LeggiNumero(const QString& testo, const QLocale& locale, bool formatoUtente) {
    QStringView t = QStringView(testo).trimmed();
    bool negativo = false;
    if (!t.isEmpty() && (t.front() == QLatin1Char('+') || t.front() == QLatin1Char('-'))) {
        negativo = t.front() == QLatin1Char('-');
        t = t.mid(1);
    }
    if (t.isEmpty())
        return std::nullopt;
    std::optional<QString> c;
    if (formatoUtente)
        c = FormaOperatore(t, locale);
    if (!c)
        c = FormaPiana(t);
    if (!c)
        return std::nullopt;
    const QByteArray a = c->toLatin1();
    double v = 0;
    const auto r = std::from_chars(a.constData(), a.constData() + a.size(), v);
    if (r.ec != std::errc() || r.ptr != a.constData() + a.size() || !std::isfinite(v))
        return std::nullopt;
    return negativo ? -v : v;
}

double ArrotondaDecimali(double valore, int decimali, Modo modo) {
    if (!std::isfinite(valore) || valore == 0)
        return valore;
    Fisso f = DaDouble(valore);
    Arrotonda(f, decimali, modo);
    return DaTesto(Testo(f));
}

double ArrotondaMultiplo(double valore, double unita, int potenza, Modo modo) {
    unita = std::fabs(unita);
    if (!(unita > 0) || !std::isfinite(unita))
        throw Errore(NumErr::ChiamataNonValida,
                     QStringLiteral("Unità di arrotondamento non valida"),
                     QStringLiteral("Arrotonda"));
    if (unita == 1)
        return ArrotondaDecimali(valore, -potenza, modo);
    if (!std::isfinite(valore))
        return valore;
    // Work on whole numbers: the value and the unit times the powers of ten
    // that make the unit whole (0.05 -> 5), shifted in decimal, so that the
    // quotient of 2.675 by 0.05 is 53.5 and not 53.499999999999993.
    const std::string du = ParteDecimale(DaDouble(unita));
    int cifreUnita = static_cast<int>(du.size());
    while (cifreUnita > 0 && du[static_cast<std::size_t>(cifreUnita) - 1] == '0')
        --cifreUnita;
    const double u = Sposta(unita, cifreUnita);
    const double v = Sposta(valore, cifreUnita - potenza);
    const double n = ArrotondaDecimali(v / u, 0, modo);
    return Sposta(n * u, potenza - cifreUnita);
}

QString TestoPiano(double numero) {
    if (!std::isfinite(numero))
        return QString::number(numero);
    if (numero == 0)
        return QStringLiteral("0");
    Fisso f = DaDouble(numero);
    return QString::fromLatin1(Testo(f));
}

// ---------------------------------------------------------------------------
// Masks

namespace {

enum class TipoElemento { Letterale, Cifra0, CifraCancelletto, Punto, Virgola, Percento };

struct Elemento {
    TipoElemento tipo;
    QString testo; // literal text
};

QStringList Sezioni(const QString& maschera) {
    QStringList out;
    QString corrente;
    bool virgolette = false;
    for (qsizetype i = 0; i < maschera.size(); ++i) {
        const QChar c = maschera[i];
        if (c == QLatin1Char('\\') && !virgolette && i + 1 < maschera.size()) {
            corrente += c;
            corrente += maschera[++i];
            continue;
        }
        if (c == QLatin1Char('"'))
            virgolette = !virgolette;
        if (c == QLatin1Char(';') && !virgolette) {
            out << corrente;
            corrente.clear();
            continue;
        }
        corrente += c;
    }
    out << corrente;
    return out;
}

std::vector<Elemento> Elementi(const QString& sezione) {
    std::vector<Elemento> e;
    auto letterale = [&e](const QString& s) {
        if (!e.empty() && e.back().tipo == TipoElemento::Letterale)
            e.back().testo += s;
        else
            e.push_back({TipoElemento::Letterale, s});
    };
    for (qsizetype i = 0; i < sezione.size(); ++i) {
        const QChar c = sezione[i];
        switch (c.unicode()) {
        case '0':
            e.push_back({TipoElemento::Cifra0, {}});
            break;
        case '#':
            e.push_back({TipoElemento::CifraCancelletto, {}});
            break;
        case '.':
            e.push_back({TipoElemento::Punto, {}});
            break;
        case ',':
            e.push_back({TipoElemento::Virgola, {}});
            break;
        case '%':
            e.push_back({TipoElemento::Percento, {}});
            break;
        case '\\':
            if (i + 1 < sezione.size())
                letterale(QString(sezione[++i]));
            break;
        case '"': {
            const qsizetype fine = sezione.indexOf(QLatin1Char('"'), i + 1);
            const qsizetype stop = fine < 0 ? sezione.size() : fine;
            letterale(sezione.mid(i + 1, stop - i - 1));
            i = stop;
            break;
        }
        default:
            letterale(QString(c));
        }
    }
    return e;
}

bool ECifra(TipoElemento t) {
    return t == TipoElemento::Cifra0 || t == TipoElemento::CifraCancelletto;
}

// A section read: its elements (the commas and the later points made
// literal), the decimal point's place, and what the placeholders ask for.
struct Forma {
    std::vector<Elemento> el;
    std::size_t posPunto = 0; // el.size() without a decimal point
    bool raggruppa = false;   // thousands separators in the integer part
    int scala = 0;            // thousands the value is divided by
    int percento = 0;         // hundreds the value is multiplied by
    int intere = 0, intereForzate = 0, decimali = 0, decimaliForzati = 0;
};

// The first "." is the decimal point; later ones are literal.
void SegnaPunto(Forma& f) {
    f.posPunto = f.el.size();
    for (std::size_t i = 0; i < f.el.size(); ++i) {
        if (f.el[i].tipo == TipoElemento::Punto) {
            if (f.posPunto == f.el.size())
                f.posPunto = i;
            else
                f.el[i] = {TipoElemento::Letterale, QStringLiteral(".")};
        }
    }
}

// Commas of the integer part: grouping between digit placeholders,
// thousands scaling right of the last one, literal before the first.
void SegnaVirgole(Forma& f) {
    auto& el = f.el;
    std::size_t primaCifra = el.size(), ultimaCifraIntera = el.size();
    for (std::size_t i = 0; i < f.posPunto; ++i)
        if (ECifra(el[i].tipo)) {
            if (primaCifra == el.size())
                primaCifra = i;
            ultimaCifraIntera = i;
        }
    for (std::size_t i = 0; i < el.size(); ++i) {
        if (el[i].tipo != TipoElemento::Virgola)
            continue;
        if (i > f.posPunto || primaCifra == el.size() || i < primaCifra) {
            el[i] = {TipoElemento::Letterale, QStringLiteral(",")};
        } else if (i < ultimaCifraIntera) {
            f.raggruppa = true;
            el[i] = {TipoElemento::Letterale, QString()};
        } else {
            ++f.scala;
            el[i] = {TipoElemento::Letterale, QString()};
        }
    }
}

// The percent signs (literal, each multiplying by 100) and the digit
// placeholders of either part, forced or not.
void ContaSegnaposti(Forma& f) {
    bool zeroVisto = false;
    for (std::size_t i = 0; i < f.el.size(); ++i) {
        const auto t = f.el[i].tipo;
        if (t == TipoElemento::Percento) {
            ++f.percento;
            f.el[i] = {TipoElemento::Letterale, QStringLiteral("%")};
        } else if (ECifra(t) && i < f.posPunto) {
            ++f.intere;
            if (t == TipoElemento::Cifra0)
                zeroVisto = true;
            if (zeroVisto) // "#0#": digits from the first 0 on are forced
                ++f.intereForzate;
        } else if (ECifra(t)) {
            ++f.decimali;
            if (t == TipoElemento::Cifra0)
                f.decimaliForzati = f.decimali;
        }
    }
}

Forma LeggiSezione(const QString& sezione) {
    Forma f;
    f.el = Elementi(sezione);
    SegnaPunto(f);
    SegnaVirgole(f);
    ContaSegnaposti(f);
    return f;
}

// Scaling by powers of ten moves the decimal point: exact.
void SpostaPunto(Fisso& f, int spostamento) {
    if (spostamento > 0) {
        if (f.cifre.size() < f.punto + static_cast<std::size_t>(spostamento))
            f.cifre.append(f.punto + static_cast<std::size_t>(spostamento) - f.cifre.size(), '0');
        f.punto += static_cast<std::size_t>(spostamento);
    } else if (spostamento < 0) {
        const auto s = static_cast<std::size_t>(-spostamento);
        if (f.punto < s) {
            f.cifre.insert(0, s - f.punto, '0');
            f.punto = s;
        }
        f.punto -= s;
        if (f.punto == 0) {
            f.cifre.insert(0, 1, '0');
            f.punto = 1;
        }
    }
}

// The digits written into the section's elements.  Integer digits are
// right-aligned on the integer placeholders; the first placeholder takes the
// digits in excess.
QString ScriviCifre(const Forma& forma, const std::string& cifreIntere,
                    const std::string& cifreDecimali, const QLocale& loc) {
    const QString sepGruppo = loc.groupSeparator();
    const QString sepDecimale = loc.decimalPoint();
    QString out;
    const int n = static_cast<int>(cifreIntere.size());
    int posto = 0; // index of the integer placeholder being filled
    auto scriviCifra = [&](int indice) {
        out += QLatin1Char(cifreIntere[static_cast<std::size_t>(indice)]);
        const int daDestra = n - 1 - indice;
        if (forma.raggruppa && daDestra > 0 && daDestra % 3 == 0)
            out += sepGruppo;
    };
    int decimaleScritto = 0;
    for (std::size_t i = 0; i < forma.el.size(); ++i) {
        const Elemento& e = forma.el[i];
        if (e.tipo == TipoElemento::Letterale) {
            out += e.testo;
        } else if (ECifra(e.tipo) && i < forma.posPunto) {
            const int daDestra = forma.intere - 1 - posto; // place of this placeholder
            if (posto == 0)
                for (int k = 0; k < n - forma.intere; ++k)
                    scriviCifra(k);
            const int indice = n - 1 - daDestra;
            if (indice >= 0)
                scriviCifra(indice);
            ++posto;
        } else if (e.tipo == TipoElemento::Punto) {
            if (forma.intere == 0 && n > 0) // "." with no integer placeholder: ".5"
                for (int k = 0; k < n; ++k)
                    scriviCifra(k);
            if (!cifreDecimali.empty())
                out += sepDecimale;
        } else if (ECifra(e.tipo)) {
            if (decimaleScritto < static_cast<int>(cifreDecimali.size()))
                out += QLatin1Char(cifreDecimali[static_cast<std::size_t>(decimaleScritto)]);
            ++decimaleScritto;
        }
    }
    return out;
}

// One section applied to a non-negative value (the sign is the caller's).
QString ApplicaSezione(double valore, const QString& sezione, const QLocale& loc,
                       bool& arrotondatoAZero) {
    const Forma forma = LeggiSezione(sezione);
    Fisso f = DaDouble(valore);
    SpostaPunto(f, 2 * forma.percento - 3 * forma.scala);
    Arrotonda(f, forma.decimali, Modo::MetaVia);
    arrotondatoAZero = TuttiZeri(f.cifre);

    std::string cifreIntere = ParteIntera(f);
    if (static_cast<int>(cifreIntere.size()) < forma.intereForzate)
        cifreIntere.insert(0, static_cast<std::size_t>(forma.intereForzate) - cifreIntere.size(),
                           '0');
    std::string cifreDecimali = ParteDecimale(f);
    while (static_cast<int>(cifreDecimali.size()) > forma.decimaliForzati &&
           cifreDecimali.back() == '0')
        cifreDecimali.pop_back();
    return ScriviCifre(forma, cifreIntere, cifreDecimali, loc);
}

} // namespace

QString ApplicaMaschera(double valore, const QString& maschera, const QLocale& locale) {
    if (!std::isfinite(valore))
        return QString::number(valore);
    if (maschera.isEmpty()) {
        QLocale l = locale;
        l.setNumberOptions(QLocale::OmitGroupSeparator);
        return l.toString(valore, 'f', QLocale::FloatingPointShortest);
    }
    const QStringList sezioni = Sezioni(maschera);
    QString sezione = sezioni.at(0);
    bool segno = valore < 0;
    if (valore < 0 && sezioni.size() >= 2 && !sezioni.at(1).isEmpty()) {
        sezione = sezioni.at(1);
        segno = false;
    } else if (valore == 0 && sezioni.size() >= 3 && !sezioni.at(2).isEmpty()) {
        sezione = sezioni.at(2);
    }
    bool zero = false;
    const QString s = ApplicaSezione(std::fabs(valore), sezione, locale, zero);
    return segno && !zero ? QLatin1Char('-') + s : s;
}

QString ApplicaMascheraNull(const QString& maschera, const QLocale& locale) {
    const QStringList sezioni = Sezioni(maschera);
    if (sezioni.size() < 4)
        return {};
    bool zero = false;
    // A Null section holds literal text only, as a rule; digits show as for 0.
    return ApplicaSezione(0, sezioni.at(3), locale, zero);
}

QString CostruisciMaschera(int decimali, const QString& riempitivo, const QString& mascheraBase,
                           const QString& segnaposto) {
    QString parteDecimale;
    if (decimali > 0) {
        const QString r = riempitivo.isEmpty() ? QStringLiteral("0") : riempitivo;
        parteDecimale = QLatin1Char('.') + r.repeated(std::min(decimali, 99));
    }
    QString m = mascheraBase;
    const qsizetype p = segnaposto.isEmpty() ? -1 : m.indexOf(segnaposto);
    if (p >= 0)
        m.replace(p, segnaposto.size(), parteDecimale);
    else
        m += parteDecimale;
    return m;
}

} // namespace quarvel::utilita
