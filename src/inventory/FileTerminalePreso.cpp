// The terminal file taken away from its name while a load reads it, and
// deleted or given back at the end.
#include "inventory/FileTerminale.h"

#include "comune/ErroriSistema.h"

#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quarvel::inventario {

namespace {

QByteArray Nativo(const QString& percorso) {
    return QFile::encodeName(percorso);
}

// Renames without replacing what is there: false with errno EEXIST when
// something is.
bool RinominaSenzaSostituire(const QString& da, const QString& a) {
    if (::renameat2(AT_FDCWD, Nativo(da).constData(), AT_FDCWD, Nativo(a).constData(),
                    RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // a file system without the flag: a second link, then the first one away
    if (::link(Nativo(da).constData(), Nativo(a).constData()) != 0)
        return false;
    ::unlink(Nativo(da).constData());
    return true;
}

QString NomeDelCarico(const QString& percorso) {
    return percorso + QStringLiteral(".in-caricamento-") + ParteCasuale();
}

// Appends the bytes of `da` from `inizio` on to `a`, with a line end
// between when `a` does not end with one; false with the cause.
bool Accoda(const QString& a, const QString& da, qint64 inizio, QString* errore) {
    QFile sorgente(da);
    QFile destinazione(a);
    if (!sorgente.open(QIODevice::ReadOnly) || !sorgente.seek(inizio)) {
        *errore = QStringLiteral("%1: %2").arg(da, sorgente.errorString());
        return false;
    }
    if (!destinazione.open(QIODevice::ReadWrite)) {
        *errore = QStringLiteral("%1: %2").arg(a, destinazione.errorString());
        return false;
    }
    const qint64 fine = destinazione.size();
    bool ok = destinazione.seek(fine);
    if (ok && fine > 0 && destinazione.seek(fine - 1)) {
        char ultimo = 0;
        ok = destinazione.getChar(&ultimo) && destinazione.seek(fine);
        if (ok && ultimo != '\n' && ultimo != '\r')
            ok = destinazione.write("\r\n", 2) == 2;
    }
    QByteArray pezzo(64 * 1024, Qt::Uninitialized);
    while (ok) {
        const qint64 n = sorgente.read(pezzo.data(), pezzo.size());
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        ok = destinazione.write(pezzo.constData(), n) == n;
    }
    ok = ok && destinazione.flush();
    if (!ok)
        *errore = QStringLiteral("%1: %2").arg(a, destinazione.errorString());
    return ok;
}

} // namespace

FilePreso::FilePreso(QString percorso)
    : m_percorso(std::move(percorso)), m_file(std::make_unique<QFile>()) {}

FilePreso::~FilePreso() {
    // a load that ended without a word on it (an exception): nothing is lost
    if (!m_finito && m_rinominato) {
        QString errore;
        Restituisci(&errore);
    }
}

bool FilePreso::Prendi(QString* errore) {
    m_rinominato = false;
    for (int prova = 0; prova < 16 && !m_rinominato; ++prova) {
        m_privato = NomeDelCarico(m_percorso);
        if (RinominaSenzaSostituire(m_percorso, m_privato))
            m_rinominato = true;
        else if (errno != EEXIST)
            break;
    }
    const int causa = errno;
    if (!m_rinominato && causa == ENOENT) {
        *errore = DescrizioneErrore(causa);
        return false;
    }
    m_file->setFileName(m_rinominato ? m_privato : m_percorso);
    if (!m_file->open(QIODevice::ReadOnly)) {
        *errore = m_file->errorString();
        if (m_rinominato)
            Restituisci(errore);
        return false;
    }
    // read where it is: its identity, to delete it only while it is unchanged
    struct stat st {};
    if (::fstat(m_file->handle(), &st) == 0) {
        m_dispositivo = st.st_dev;
        m_inode = st.st_ino;
    }
    m_finito = false;
    return true;
}

bool FilePreso::Cancella(QString* errore) {
    const qint64 letti = m_file->isOpen() ? m_file->pos() : 0;
    m_file->close();
    m_finito = true;
    if (!m_rinominato) {
        struct stat st {};
        if (::stat(Nativo(m_percorso).constData(), &st) != 0 ||
            quint64(st.st_dev) != m_dispositivo || quint64(st.st_ino) != m_inode ||
            st.st_size != letti) {
            *errore = QStringLiteral("il file è cambiato durante il caricamento e contiene righe "
                                     "non caricate");
            return false;
        }
        if (::unlink(Nativo(m_percorso).constData()) != 0) {
            *errore = DescrizioneErrore(errno);
            return false;
        }
        return true;
    }
    // bytes the download wrote into the file after the reading go back
    if (QFileInfo(m_privato).size() > letti) {
        const QString resto = NomeDelCarico(m_percorso);
        const int fd = ::open(Nativo(resto).constData(),
                              O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0) {
            *errore = DescrizioneErrore(errno);
            return false;
        }
        ::close(fd);
        if (!Accoda(resto, m_privato, letti, errore) || !RendiSotto(resto, errore)) {
            ::unlink(Nativo(resto).constData());
            return false;
        }
    }
    if (::unlink(Nativo(m_privato).constData()) != 0) {
        *errore = DescrizioneErrore(errno);
        return false;
    }
    return true;
}

bool FilePreso::Restituisci(QString* errore) {
    m_file->close();
    m_finito = true;
    if (!m_rinominato)
        return true;
    return RendiSotto(m_privato, errore);
}

bool FilePreso::RendiSotto(const QString& daRendere, QString* errore) {
    for (int prova = 0; prova < 64; ++prova) {
        if (RinominaSenzaSostituire(daRendere, m_percorso))
            return true;
        if (errno != EEXIST) {
            *errore = DescrizioneErrore(errno);
            return false;
        }
        // a file arrived under the name meanwhile: its lines go after these
        const QString arrivato = NomeDelCarico(m_percorso);
        if (!RinominaSenzaSostituire(m_percorso, arrivato))
            continue; // gone again, or taken by someone else: try once more
        if (!Accoda(daRendere, arrivato, 0, errore)) {
            RinominaSenzaSostituire(arrivato, m_percorso);
            return false;
        }
        ::unlink(Nativo(arrivato).constData());
    }
    *errore = QStringLiteral("il nome %1 è sempre occupato").arg(m_percorso);
    return false;
}

} // namespace quarvel::inventario
