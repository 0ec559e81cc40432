#include "Pdf.h"

#include "Email.h"
#include "FileSicuro.h"
#include "Impaginatore.h"
#include "suite/Errore.h"
#include "suite/Percorsi.h"

#include <QDir>
#include <QFileInfo>
#include <QHostInfo>
#include <QPdfWriter>
#include <QStandardPaths>

#include <cerrno>

namespace quarvel::stampa {

namespace {

QString PerNomeFile(QString s) {
    for (QChar& c : s)
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c == QLatin1Char(':') ||
            c == QLatin1Char('*') || c == QLatin1Char('?') || c == QLatin1Char('"') ||
            c == QLatin1Char('<') || c == QLatin1Char('>') || c == QLatin1Char('|') ||
            c.unicode() < 32)
            c = QLatin1Char('_');
    s = s.trimmed();
    return s.isEmpty() ? QStringLiteral("Stampa") : s;
}

// The name with " (n)" before its ending.
QString AltroNome(const QString& file, int n) {
    const bool pdf = file.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive);
    const QString base = pdf ? file.left(file.size() - 4) : file;
    return base + QStringLiteral(" (%1)").arg(n) + (pdf ? file.right(4) : QString());
}

} // namespace

QString NomeFilePdf(const QString& modello, const QString& titolo, const QDateTime& quando) {
    QString m = modello.trimmed();
    const QString file = QStringLiteral("<Title>_<DateTime>.pdf");
    if (m.isEmpty()) {
        m = UnisciPercorso(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation),
                           file);
    } else {
        m = PercorsoLocale(m);
        if (m.endsWith(QLatin1Char('/')) || QFileInfo(m).isDir())
            m = UnisciPercorso(m, file);
    }
    QString utente = qEnvironmentVariable("USER");
    if (utente.isEmpty())
        utente = qEnvironmentVariable("LOGNAME");
    const std::pair<const char*, QString> segni[] = {
        {"<Title>", PerNomeFile(titolo)},
        {"<DateTime>", quando.toString(QStringLiteral("yyyyMMddhhmmss"))},
        {"<Date>", quando.toString(QStringLiteral("yyyyMMdd"))},
        {"<Time>", quando.toString(QStringLiteral("hhmmss"))},
        {"<Username>", PerNomeFile(utente)},
        {"<Computername>", PerNomeFile(QHostInfo::localHostName())},
    };
    for (const auto& [segno, valore] : segni)
        m.replace(QLatin1String(segno), valore, Qt::CaseInsensitive);
    if (!m.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive))
        m += QStringLiteral(".pdf");
    // a name is taken by any entry, a link to nothing included
    if (!NomeOccupato(m))
        return m;
    for (int n = 2;; ++n) {
        const QString altro = AltroNome(m, n);
        if (!NomeOccupato(altro))
            return altro;
    }
}

int ScriviPdf(IListaLettura& lista, const QVector<int>& colonne, const RichiestaStampaLista& r,
              const IOpzioniStampa& o, const QString& file, int da, int a,
              const std::function<bool(int)>& perPagina, QString* scritto) {
    const QFileInfo info(file);
    if (!QDir().mkpath(info.absolutePath()))
        throw Errore(NumErr::ErrorePercorso,
                     QStringLiteral("Impossibile creare la cartella del file pdf %1")
                         .arg(info.absolutePath()),
                     QStringLiteral("Pdf"));
    // the pages go into a file of their own beside the target, which takes
    // the name only when no file has it: two prints of the same name at once
    // end with two files, and nothing planted under a name is written
    // through or removed
    FileSicuro temp(file);
    int pagine = 0;
    {
        QFile dispositivo;
        if (!dispositivo.open(temp.fd(), QIODevice::WriteOnly, QFileDevice::DontCloseHandle))
            ErroreFileStampa(file, EBADF);
        {
            QPdfWriter pdf(&dispositivo);
            pdf.setTitle(r.titolo);
            pdf.setCreator(QStringLiteral("Quarvel"));
            pdf.setResolution(600);
            pdf.setPageSize(QPageSize(QPageSize::A4));
            pdf.setPageOrientation((!o.obForzaVert && r.orientamento == 2) ? QPageLayout::Landscape
                                                                           : QPageLayout::Portrait);
            Impaginatore imp(lista.colonne(), colonne, r.font,
                             {r.titolo, r.ditta, QDate::currentDate()});
            errno = 0;
            pagine = imp.Disegna(pdf, lista, da, a, perPagina);
        }
        const int causa = errno;
        if (!dispositivo.flush() || dispositivo.error() != QFileDevice::NoError)
            ErroreFileStampa(file, causa != 0 ? causa : EIO);
    }
    QString nome = file;
    for (int n = 2; !temp.posaSeLibero(nome); ++n)
        nome = AltroNome(file, n);
    if (scritto)
        *scritto = nome;
    return pagine;
}

bool ApriConVisualizzatore(const QString& file) {
    return AvviaProgramma(QStringLiteral("xdg-open"), {file});
}

} // namespace quarvel::stampa
