#include "suite/Percorsi.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace quarvel {

namespace {
QString Ambiente(const char* nome) { return qEnvironmentVariable(nome); }

QString CollassaSeparatori(QString p) {
    QString out;
    out.reserve(p.size());
    for (QChar c : p) {
        if (c == QLatin1Char('/') && out.endsWith(QLatin1Char('/')))
            continue;
        out += c;
    }
    return out;
}
} // namespace

QString RadiceUnita(QChar lettera) {
    const QChar l = lettera.toUpper();
    const QByteArray var = "QUARVEL_DRIVE_" + QString(l).toLatin1();
    QString radice = qEnvironmentVariable(var.constData());
    if (radice.isEmpty())
        radice = (l == QLatin1Char('C')) ? QStringLiteral("/")
                                         : QStringLiteral("/mnt/") + QString(l.toLower());
    return radice;
}

QString PercorsoLocale(const QString& percorso) {
    if (percorso.isEmpty())
        return percorso;
    QString p = percorso;
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));

    if (p.startsWith(QLatin1String("//"))) {
        QString radice = Ambiente("QUARVEL_UNC_ROOT");
        if (radice.isEmpty())
            radice = QStringLiteral("/mnt");
        return CollassaSeparatori(radice + QLatin1Char('/') + p.mid(2));
    }
    if (p.size() >= 2 && p.at(1) == QLatin1Char(':') && p.at(0).isLetter() &&
        p.at(0).unicode() < 128) {
        const QString radice = RadiceUnita(p.at(0));
        QString resto = p.mid(2);
        if (!resto.startsWith(QLatin1Char('/')))
            resto.prepend(QLatin1Char('/'));
        return CollassaSeparatori(radice + resto);
    }
    return CollassaSeparatori(p);
}

QString FileInstallazione() {
    const QString f = Ambiente("QUARVEL_INSTALL_INI");
    return f.isEmpty() ? QStringLiteral("/etc/belcor/BelcorInst.ini") : f;
}

QString CartellaApplicazione() {
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath().section(
        QLatin1Char('/'), 0, -2);
}

QString UnisciPercorso(const QString& cartella, const QString& nome) {
    if (cartella.isEmpty())
        return nome;
    if (nome.isEmpty())
        return cartella;
    QString c = cartella;
    QString n = nome;
    while (c.size() > 1 && (c.endsWith(QLatin1Char('/')) || c.endsWith(QLatin1Char('\\'))))
        c.chop(1);
    while (n.startsWith(QLatin1Char('/')) || n.startsWith(QLatin1Char('\\')))
        n.remove(0, 1);
    if (c == QLatin1String("/"))
        return c + n;
    return c + QLatin1Char('/') + n;
}

} // namespace quarvel
