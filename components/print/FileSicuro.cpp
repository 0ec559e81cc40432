#include "FileSicuro.h"

#include "comune/ErroriSistema.h"
#include "suite/Errore.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quarvel::stampa {

namespace {

constexpr qint64 Soglia = 64 * 1024; // bytes gathered before a write

QByteArray Nome(const QString& s) {
    return QFile::encodeName(s);
}

// The permissions a new file of the user gets.
mode_t ModoNuovo() {
    const mode_t maschera = ::umask(0);
    ::umask(maschera);
    return 0666 & ~maschera;
}

} // namespace

void ErroreFileStampa(const QString& file, int numeroErrno) {
    throw Errore(NumErr::PermessoNegato,
                 QStringLiteral("Impossibile scrivere il file di stampa %1: %2")
                     .arg(file, DescrizioneErrore(numeroErrno)),
                 QStringLiteral("Stampa"));
}

bool NomeOccupato(const QString& file) {
    struct stat st;
    return ::lstat(Nome(file).constData(), &st) == 0;
}

FileSicuro::FileSicuro(QString destinazione) : m_destinazione(std::move(destinazione)) {
    const QByteArray dest = Nome(m_destinazione);
    struct stat st;
    if (::stat(dest.constData(), &st) == 0 && (S_ISCHR(st.st_mode) || S_ISFIFO(st.st_mode))) {
        m_fd = ::open(dest.constData(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
        if (m_fd < 0)
            ErroreFileStampa(m_destinazione, errno);
        m_diretto = true;
        return;
    }
    const QFileInfo info(m_destinazione);
    // a hidden name beside the target, the last six characters drawn at
    // random by mkostemp
    QByteArray modello =
        Nome(info.absolutePath()) + "/." + Nome(info.fileName()).left(160) + ".XXXXXX";
    m_fd = ::mkostemp(modello.data(), O_CLOEXEC);
    if (m_fd < 0)
        ErroreFileStampa(m_destinazione, errno);
    m_temp = QFile::decodeName(modello);
    if (::fstat(m_fd, &st) == 0) {
        m_dev = st.st_dev;
        m_ino = st.st_ino;
    }
    m_buffer.reserve(Soglia + 4096);
}

FileSicuro::~FileSicuro() {
    if (m_fd >= 0)
        ::close(m_fd);
    if (!m_diretto && !m_posato && !m_temp.isEmpty() && nostro())
        ::unlink(Nome(m_temp).constData());
}

bool FileSicuro::nostro() const {
    struct stat st;
    return ::lstat(Nome(m_temp).constData(), &st) == 0 && S_ISREG(st.st_mode) &&
           st.st_dev == m_dev && st.st_ino == m_ino;
}

void FileSicuro::svuota() {
    const char* p = m_buffer.constData();
    qint64 resto = m_buffer.size();
    while (resto > 0) {
        const ssize_t n = ::write(m_fd, p, size_t(resto));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ErroreFileStampa(m_destinazione, errno);
        }
        p += n;
        resto -= n;
    }
    m_buffer.resize(0);
}

void FileSicuro::scrivi(const char* dati, qint64 n) {
    if (m_fd < 0)
        ErroreFileStampa(m_destinazione, EBADF);
    m_buffer.append(dati, n);
    if (m_buffer.size() >= Soglia)
        svuota();
}

void FileSicuro::chiudi() {
    if (m_fd < 0)
        return;
    svuota();
    // the data on the disk before the name moves: a full or failing disk
    // shows here, not after the rename
    if (!m_diretto && ::fsync(m_fd) != 0 && errno != EINVAL)
        ErroreFileStampa(m_destinazione, errno);
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0 && errno != EINTR)
        ErroreFileStampa(m_destinazione, errno);
}

void FileSicuro::sostituisci() {
    chiudi();
    if (m_diretto) {
        m_posato = true;
        return;
    }
    if (!nostro())
        ErroreFileStampa(m_destinazione, ESTALE);
    // the permissions of the file replaced, or those of a new file
    struct stat st;
    const QByteArray dest = Nome(m_destinazione);
    const mode_t modo = (::stat(dest.constData(), &st) == 0 && S_ISREG(st.st_mode))
                            ? (st.st_mode & 0777)
                            : ModoNuovo();
    const QByteArray temp = Nome(m_temp);
    if (::chmod(temp.constData(), modo) != 0)
        ErroreFileStampa(m_destinazione, errno);
    if (::rename(temp.constData(), dest.constData()) != 0)
        ErroreFileStampa(m_destinazione, errno);
    m_posato = true;
}

bool FileSicuro::posaSeLibero(const QString& nome) {
    chiudi();
    if (m_diretto) {
        m_posato = true;
        return true;
    }
    if (!nostro())
        ErroreFileStampa(nome, ESTALE);
    const QByteArray temp = Nome(m_temp);
    const QByteArray dest = Nome(nome);
    if (::chmod(temp.constData(), ModoNuovo()) != 0)
        ErroreFileStampa(nome, errno);
    if (::renameat2(AT_FDCWD, temp.constData(), AT_FDCWD, dest.constData(), RENAME_NOREPLACE) ==
        0) {
        m_posato = true;
        return true;
    }
    if (errno == EEXIST)
        return false;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
        ErroreFileStampa(nome, errno);
    // a file system without the exclusive rename: a second link, which
    // is refused when the name is taken, and the temporary name removed
    if (::link(temp.constData(), dest.constData()) != 0) {
        if (errno == EEXIST)
            return false;
        ErroreFileStampa(nome, errno);
    }
    ::unlink(temp.constData());
    m_posato = true;
    return true;
}

} // namespace quarvel::stampa
