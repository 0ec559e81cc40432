#include "Cups.h"

#include <QDir>
#include <QFile>
#include <QTextStream>

#include <cups/cups.h>

namespace quarvel::stampa::cups {

namespace {

// The destinations of the server with the user's lpoptions applied; freed
// on leaving the scope.
class Destinazioni {
public:
    Destinazioni() { m_n = cupsGetDests2(CUPS_HTTP_DEFAULT, &m_dest); }
    ~Destinazioni() { cupsFreeDests(m_n, m_dest); }
    Destinazioni(const Destinazioni&) = delete;
    Destinazioni& operator=(const Destinazioni&) = delete;

    int numero() const { return m_n; }
    cups_dest_t* dest(int i) const { return &m_dest[i]; }
    // The queue of that name (case-insensitive; instances ignored).
    cups_dest_t* trova(const QString& nome) const {
        for (int i = 0; i < m_n; ++i)
            if (!m_dest[i].instance &&
                QString::fromUtf8(m_dest[i].name).compare(nome, Qt::CaseInsensitive) == 0)
                return &m_dest[i];
        return nullptr;
    }

private:
    cups_dest_t* m_dest = nullptr;
    int m_n = 0;
};

QString Opzione(const cups_dest_t* d, const char* nome) {
    return QString::fromUtf8(cupsGetOption(nome, d->num_options, d->options));
}

// The "Default" line of an lpoptions file.
QString DefaultDi(const QString& file) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    QTextStream in(&f);
    while (!in.atEnd()) {
        const QString riga = in.readLine().trimmed();
        if (riga.startsWith(QLatin1String("Default "), Qt::CaseInsensitive))
            return riga.mid(8).section(QLatin1Char(' '), 0, 0).section(QLatin1Char('/'), 0, 0);
    }
    return {};
}

// The values the queue supports for an IPP attribute ("media-source").
QVector<Voce> Supportati(const QString& nome, const char* attributo) {
    QVector<Voce> voci;
    Destinazioni d;
    cups_dest_t* dest = d.trova(nome);
    if (!dest)
        return voci;
    cups_dinfo_t* info = cupsCopyDestInfo(CUPS_HTTP_DEFAULT, dest);
    if (!info)
        return voci;
    if (ipp_attribute_t* a = cupsFindDestSupported(CUPS_HTTP_DEFAULT, dest, info, attributo)) {
        for (int i = 0; i < ippGetCount(a); ++i) {
            const QString v = QString::fromUtf8(ippGetString(a, i, nullptr));
            if (!v.isEmpty())
                voci.push_back({int(voci.size()) + 1, v});
        }
    }
    cupsFreeDestInfo(info);
    return voci;
}

} // namespace

QVector<Coda> Code() {
    QVector<Coda> code;
    Destinazioni d;
    for (int i = 0; i < d.numero(); ++i) {
        const cups_dest_t* x = d.dest(i);
        if (x->instance)
            continue;
        code.push_back({QString::fromUtf8(x->name), Opzione(x, "device-uri"), x->is_default != 0});
    }
    return code;
}

QString Predefinita() {
    for (const Coda& c : Code())
        if (c.predefinita)
            return c.nome;
    return {};
}

QString PredefinitaDichiarata() {
    for (const char* variabile : {"LPDEST", "PRINTER"}) {
        const QString v = qEnvironmentVariable(variabile);
        if (!v.isEmpty() && v != QLatin1String("lp"))
            return v;
    }
    const QString utente = DefaultDi(QDir::homePath() + QStringLiteral("/.cups/lpoptions"));
    if (!utente.isEmpty())
        return utente;
    const QString radice = qEnvironmentVariable("CUPS_SERVERROOT", QStringLiteral("/etc/cups"));
    const QString sistema = DefaultDi(radice + QStringLiteral("/lpoptions"));
    if (!sistema.isEmpty())
        return sistema;
    return QString::fromUtf8(cupsGetDefault2(CUPS_HTTP_DEFAULT));
}

bool ImpostaPredefinita(const QString& nome) {
    cups_dest_t* dest = nullptr;
    int n = cupsGetDests2(CUPS_HTTP_DEFAULT, &dest);
    bool trovata = false;
    for (int i = 0; i < n; ++i) {
        const bool questa = !dest[i].instance &&
                            QString::fromUtf8(dest[i].name).compare(nome, Qt::CaseInsensitive) == 0;
        dest[i].is_default = questa ? 1 : 0;
        trovata = trovata || questa;
    }
    const bool scritto = trovata && cupsSetDests2(CUPS_HTTP_DEFAULT, n, dest) == 0;
    cupsFreeDests(n, dest);
    return scritto;
}

QString Porta(const QString& nome) {
    Destinazioni d;
    const cups_dest_t* x = d.trova(nome);
    return x ? Opzione(x, "device-uri") : QString();
}

QVector<Voce> Cassetti(const QString& nome) {
    return Supportati(nome, CUPS_MEDIA_SOURCE);
}

QVector<Voce> Formati(const QString& nome) {
    return Supportati(nome, CUPS_MEDIA);
}

QString FormatoAttuale(const QString& nome) {
    Destinazioni d;
    cups_dest_t* dest = d.trova(nome);
    if (!dest)
        return {};
    const QString scelto = Opzione(dest, CUPS_MEDIA);
    if (!scelto.isEmpty())
        return scelto;
    QString attuale;
    if (cups_dinfo_t* info = cupsCopyDestInfo(CUPS_HTTP_DEFAULT, dest)) {
        if (ipp_attribute_t* a = cupsFindDestDefault(CUPS_HTTP_DEFAULT, dest, info, CUPS_MEDIA))
            attuale = QString::fromUtf8(ippGetString(a, 0, nullptr));
        cupsFreeDestInfo(info);
    }
    return attuale;
}

int StampaGrezza(const QString& coda, const QString& file, const QString& titolo, QString* errore) {
    cups_option_t* opzioni = nullptr;
    int n = cupsAddOption("raw", "true", 0, &opzioni);
    const int job = cupsPrintFile2(CUPS_HTTP_DEFAULT, coda.toUtf8().constData(),
                                   QFile::encodeName(file).constData(), titolo.toUtf8().constData(),
                                   n, opzioni);
    cupsFreeOptions(n, opzioni);
    if (job == 0 && errore)
        *errore = QString::fromUtf8(cupsLastErrorString());
    return job;
}

} // namespace quarvel::stampa::cups
