#include "menu/ArchivioMenu.h"

#include "comune/ErroriSistema.h"
#include "comune/Profilo.h"
#include "suite/Errore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <sys/stat.h>

namespace quarvel::menu {

namespace {

const QString Sorgente = QStringLiteral("ArchivioMenu");

bool HaFineRiga(const QString& s) {
    return s.contains(QLatin1Char('\n')) || s.contains(QLatin1Char('\r'));
}

bool VaTraVirgolette(const QString& v) {
    if (v.isEmpty())
        return false;
    auto speciale = [](QChar c) {
        return c.isSpace() || c == QLatin1Char('"') || c == QLatin1Char('\'');
    };
    return speciale(v.front()) || speciale(v.back());
}

// The process-wide file-creation mask, narrowed while the store is written so
// that neither the temporary file nor the renamed one is ever readable by
// others.
class MascheraPrivata {
public:
    MascheraPrivata() : m_prima(::umask(077)) {}
    ~MascheraPrivata() { ::umask(m_prima); }
    MascheraPrivata(const MascheraPrivata&) = delete;
    MascheraPrivata& operator=(const MascheraPrivata&) = delete;

private:
    mode_t m_prima;
};

// mkdir -p that tells why it failed: empty when the folder is there.
QString CreaCartella(const QString& percorso) {
    const QString assoluto = QDir::cleanPath(QFileInfo(percorso).absoluteFilePath());
    QStringList mancanti;
    QString p = assoluto;
    while (!p.isEmpty() && p != QLatin1String("/") && !QFileInfo::exists(p)) {
        mancanti.prepend(p);
        p = QFileInfo(p).path();
    }
    for (const QString& c : std::as_const(mancanti)) {
        if (::mkdir(QFile::encodeName(c).constData(), 0700) != 0 && errno != EEXIST) {
            const int e = errno;
            const QString sopra = QFileInfo(c).path();
            if (e == ENOTDIR || (QFileInfo::exists(sopra) && !QFileInfo(sopra).isDir()))
                return QStringLiteral("%1 è un file, non una cartella").arg(sopra);
            return QStringLiteral("%1 (%2)").arg(DescrizioneErrore(e), sopra);
        }
    }
    if (!QFileInfo(assoluto).isDir())
        return QStringLiteral("%1 è un file, non una cartella").arg(assoluto);
    return {};
}

} // namespace

ArchivioMenu::ArchivioMenu(QString file) : m_file(std::move(file)) {
    if (m_file.isEmpty())
        m_file = FilePredefinito();
}

QString ArchivioMenu::FilePredefinito() {
    const QString env = qEnvironmentVariable("QUARVEL_MENU_STORE");
    if (!env.isEmpty())
        return env;
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/quarvel/menu.ini");
}

std::optional<QString> ArchivioMenu::Leggi(const QString& sezione, const QString& chiave) const {
    return profilo::LeggiValore(m_file, sezione, chiave.trimmed());
}

void ArchivioMenu::Scrivi(const QString& sezione, const QString& chiave,
                          const std::optional<QString>& valore) {
    const QString k = chiave.trimmed();
    if (k.isEmpty() || k.contains(QLatin1Char('=')) || HaFineRiga(k) ||
        k.startsWith(QLatin1Char('[')) || k.startsWith(QLatin1Char(';')))
        throw Errore(NumErr::ChiamataNonValida,
                     QStringLiteral("Nome non valido per l'archivio del menu: \"%1\"").arg(chiave),
                     Sorgente);
    if (valore && HaFineRiga(*valore))
        throw Errore(NumErr::ChiamataNonValida,
                     QStringLiteral("Il valore di \"%1\" non può andare a capo").arg(k), Sorgente);

    std::optional<QString> scritto = valore;
    if (valore && VaTraVirgolette(*valore))
        scritto = QLatin1Char('"') + *valore + QLatin1Char('"');

    MascheraPrivata maschera;
    const QFileInfo info(m_file);
    QDir cartella = info.absoluteDir();
    if (!cartella.exists()) {
        const QString causa = CreaCartella(cartella.path());
        if (!causa.isEmpty())
            throw Errore(NumErr::PermessoNegato,
                         QStringLiteral("Non riesco a creare la cartella %1: %2")
                             .arg(cartella.path(), causa),
                         Sorgente);
        QFile::setPermissions(cartella.path(),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    // The file is rewritten through a temporary copy that takes the
    // permissions of the file it replaces before the first byte goes in: a
    // store made wider by hand is narrowed first (the owner's bits as they
    // are, so a read-only store stays read-only).
    if (info.exists()) {
        const QFile::Permissions permessi = info.permissions();
        const QFile::Permissions altri = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                         QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
        if ((permessi & altri) &&
            !QFile::setPermissions(m_file, permessi & (QFile::ReadOwner | QFile::WriteOwner)))
            throw Errore(NumErr::PermessoNegato,
                         QStringLiteral("Non riesco a togliere agli altri utenti l'accesso "
                                        "all'archivio del menu %1")
                             .arg(m_file),
                         Sorgente);
    }
    if (!profilo::Scrivi(m_file, sezione, k, scritto))
        throw Errore(NumErr::PermessoNegato,
                     QStringLiteral("Non riesco a scrivere l'archivio del menu %1: %2")
                         .arg(m_file, profilo::UltimoErrore()),
                     Sorgente);
    // The new file is private whatever the old one was.
    QFile::setPermissions(m_file, QFile::ReadOwner | QFile::WriteOwner);
}

} // namespace quarvel::menu
