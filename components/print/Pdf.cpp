#include "Pdf.h"

#include "Email.h"
#include "Impaginatore.h"
#include "suite/Errore.h"
#include "suite/Percorsi.h"

#include <QDir>
#include <QFileInfo>
#include <QHostInfo>
#include <QPdfWriter>
#include <QStandardPaths>

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
    if (!QFileInfo::exists(m))
        return m;
    const QString base = m.left(m.size() - 4);
    const QString fine = m.right(4);
    for (int n = 2;; ++n) {
        const QString altro = base + QStringLiteral(" (%1)").arg(n) + fine;
        if (!QFileInfo::exists(altro))
            return altro;
    }
}

int ScriviPdf(IListaLettura& lista, const QVector<int>& colonne, const RichiestaStampaLista& r,
              const IOpzioniStampa& o, const QString& file, int da, int a,
              const std::function<bool(int)>& perPagina) {
    const QFileInfo info(file);
    if (!QDir().mkpath(info.absolutePath()))
        throw Errore(NumErr::ErrorePercorso,
                     QStringLiteral("Impossibile creare la cartella del file pdf %1")
                         .arg(info.absolutePath()),
                     QStringLiteral("Pdf"));
    const QString temp = file + QStringLiteral(".part");
    int pagine = 0;
    {
        QPdfWriter pdf(temp);
        pdf.setTitle(r.titolo);
        pdf.setCreator(QStringLiteral("Quarvel"));
        pdf.setResolution(600);
        pdf.setPageSize(QPageSize(QPageSize::A4));
        pdf.setPageOrientation((!o.obForzaVert && r.orientamento == 2) ? QPageLayout::Landscape
                                                                       : QPageLayout::Portrait);
        Impaginatore imp(lista.colonne(), colonne, r.font,
                         {r.titolo, r.ditta, QDate::currentDate()});
        pagine = imp.Disegna(pdf, lista, da, a, perPagina);
    }
    QFile::remove(file);
    if (!QFileInfo::exists(temp) || !QFile::rename(temp, file)) {
        QFile::remove(temp);
        throw Errore(NumErr::PermessoNegato,
                     QStringLiteral("Impossibile scrivere il file pdf %1").arg(file),
                     QStringLiteral("Pdf"));
    }
    return pagine;
}

bool ApriConVisualizzatore(const QString& file) {
    return AvviaProgramma(QStringLiteral("xdg-open"), {file});
}

} // namespace quarvel::stampa
