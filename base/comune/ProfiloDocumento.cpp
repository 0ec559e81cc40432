#include "ProfiloDocumento.h"

#include "comune/Codifiche.h"

namespace quarvel::profilo::interno {

bool Blank(char c) {
    return c == ' ' || c == '\t';
}

QString Piega(const QString& s) {
    QString out;
    out.reserve(s.size());
    const qsizetype n = s.size();
    for (qsizetype i = 0; i < n; ++i) {
        char32_t c = s[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < n && s[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(s[i], s[i + 1]);
            ++i;
        }
        c = QChar::toCaseFolded(c);
        if (QChar::requiresSurrogates(c)) {
            out += QChar(QChar::highSurrogate(c));
            out += QChar(QChar::lowSurrogate(c));
        } else {
            out += QChar(static_cast<char16_t>(c));
        }
    }
    return out;
}

void Documento::indicizza() {
    indiceSezioni.clear();
    indiceChiavi.clear();
    nomiSezioni.clear();
    QHash<QString, qsizetype>* chiavi = nullptr;
    for (size_t i = 0; i < righe.size(); ++i) {
        const Riga& r = righe[i];
        if (r.tipo == TipoRiga::Sezione) {
            const QString nome = Piega(r.nome);
            chiavi = nullptr;
            if (indiceSezioni.contains(nome))
                continue; // a later section of the same name is never read
            indiceSezioni.insert(nome, static_cast<qsizetype>(i));
            chiavi = &indiceChiavi[static_cast<qsizetype>(i)];
            if (!r.nome.isEmpty())
                nomiSezioni.append(r.nome);
        } else if (r.tipo == TipoRiga::Chiave && chiavi) {
            const QString nome = Piega(r.nome);
            if (!chiavi->contains(nome)) // the first occurrence wins
                chiavi->insert(nome, static_cast<qsizetype>(i));
        }
    }
}

const QString* Documento::valore(const QString& sezione, const QString& chiave) const {
    const auto s = indiceSezioni.constFind(Piega(sezione));
    if (s == indiceSezioni.cend())
        return nullptr;
    const auto chiavi = indiceChiavi.constFind(*s);
    if (chiavi == indiceChiavi.cend())
        return nullptr;
    const auto k = chiavi->constFind(Piega(chiave));
    if (k == chiavi->cend())
        return nullptr;
    return &righe[*k].valore;
}

QString Documento::decodifica(QByteArrayView b) const {
    return codifica == Codifica::Utf8 ? QString::fromUtf8(b) : DaCp1252(b);
}

bool Documento::codifica_(const QString& s, QByteArray& out) const {
    if (codifica == Codifica::Utf8) {
        out = s.toUtf8();
        return true;
    }
    return ACp1252(s, out);
}

void Documento::analizza(Riga& r) const {
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

qsizetype Documento::fineSezione(qsizetype inizio) const {
    qsizetype i = inizio + 1;
    while (i < static_cast<qsizetype>(righe.size()) && righe[i].tipo != TipoRiga::Sezione)
        ++i;
    return i;
}

// The parsed form of the file's bytes.
void Analizza(const QByteArray& dati, Documento& d) {
    d.esiste = true;
    QByteArrayView resto(dati);
    if (resto.startsWith("\xEF\xBB\xBF")) {
        d.bom = QByteArray("\xEF\xBB\xBF");
        resto = resto.sliced(3);
    }
    d.codifica = Utf8Valido(dati) ? Codifica::Utf8 : Codifica::Cp1252;
    d.righe.reserve(size_t(resto.count('\n')) + 2);

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
    d.indicizza();
}

QByteArray Bytes(const Documento& d) {
    QByteArray dati = d.bom;
    for (const Riga& r : d.righe) {
        dati += r.testo;
        dati += r.fine;
    }
    return dati;
}

} // namespace quarvel::profilo::interno
