#pragma once
// A file of the print written where nobody can meddle with it and put in
// place only when it is whole.  The text goes into a file created anew
// (O_CREAT|O_EXCL, mode 0600) beside the target under a name nobody can
// guess, every write and the close are checked, and the file then takes the
// target's name: replacing the file of that name (an export), or only when
// no file has that name (a PDF, which is never overwritten).  A failed or
// abandoned file is removed, and only when the name still holds the file
// made here: nothing the program did not create is ever deleted or written
// through.  A target that is a device or a pipe (a printer port) is written
// directly.
//
// Failures raise Errore naming the file and the system's cause in Italian
// ("il disco è pieno").

#include <QByteArray>
#include <QString>

#include <sys/types.h>

namespace quarvel::stampa {

// Raises Errore 70 "Impossibile scrivere il file di stampa <file>: <cause>".
[[noreturn]] void ErroreFileStampa(const QString& file, int numeroErrno);

// True when a directory entry has that name, a link included (whatever it
// points at, or nothing).
bool NomeOccupato(const QString& file);

class FileSicuro {
public:
    // Creates the temporary file beside destinazione (or opens the device).
    explicit FileSicuro(QString destinazione);
    ~FileSicuro();
    FileSicuro(const FileSicuro&) = delete;
    FileSicuro& operator=(const FileSicuro&) = delete;

    // The open descriptor (-1 once closed) and the temporary file's name.
    int fd() const { return m_fd; }
    const QString& temporaneo() const { return m_temp; }

    // Buffered writes; a failure raises Errore.
    void scrivi(const char* dati, qint64 n);
    void scrivi(const QByteArray& b) { scrivi(b.constData(), b.size()); }

    // Writes the buffer out, syncs and closes the descriptor; raises Errore.
    // A writer that writes through the name (libxlsxwriter) calls it first
    // and checks its own writes.
    void chiudi();
    // Closes (when still open) and gives the file the target's name,
    // replacing a file of that name.
    void sostituisci();
    // Closes (when still open) and gives the file the name nome only when
    // no entry has that name: false then, and the file stays for another
    // name.
    bool posaSeLibero(const QString& nome);

private:
    void svuota();
    bool nostro() const;

    QString m_destinazione;
    QString m_temp;
    QByteArray m_buffer;
    int m_fd = -1;
    bool m_diretto = false; // a device or a pipe
    bool m_posato = false;
    dev_t m_dev = 0;
    ino_t m_ino = 0;
};

} // namespace quarvel::stampa
