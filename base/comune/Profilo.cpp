#include "comune/Profilo.h"

#include "ProfiloDocumento.h"
#include "comune/Codifiche.h"
#include "comune/ErroriSistema.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLoggingCategory>
#include <QSaveFile>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <ctime>
#include <limits>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quarvel::profilo {

namespace {

Q_LOGGING_CATEGORY(lcProfilo, "quarvel.profilo", QtWarningMsg)

using namespace interno;

// ---- Errors ---------------------------------------------------------------------------------

thread_local QString t_errore;

bool Fallito(const QString& perche) {
    t_errore = perche;
    qCWarning(lcProfilo).noquote() << perche;
    return false;
}

QString ErroreSistema(int numero) {
    return DescrizioneErrore(numero);
}

// ---- The parsed files kept in memory ----------------------------------------------------------

// What tells one state of a file on disk from another.
struct Firma {
    dev_t dispositivo = 0;
    ino_t inode = 0;
    off_t dimensione = 0;
    timespec modifica{};
    timespec stato{};

    static Firma Di(const struct stat& st) {
        Firma f;
        f.dispositivo = st.st_dev;
        f.inode = st.st_ino;
        f.dimensione = st.st_size;
        f.modifica = st.st_mtim;
        f.stato = st.st_ctim;
        return f;
    }
    bool operator==(const Firma& o) const {
        return dispositivo == o.dispositivo && inode == o.inode && dimensione == o.dimensione &&
               modifica.tv_sec == o.modifica.tv_sec && modifica.tv_nsec == o.modifica.tv_nsec &&
               stato.tv_sec == o.stato.tv_sec && stato.tv_nsec == o.stato.tv_nsec;
    }
};

qint64 Nanosecondi(const timespec& t) {
    return qint64(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

qint64 Adesso() {
    timespec t{};
    ::clock_gettime(CLOCK_REALTIME, &t);
    return Nanosecondi(t);
}

struct Voce {
    Firma firma;
    QByteArray dati;                      // the bytes the parsed copy came from
    std::shared_ptr<const Documento> doc; // shared with the readers using it
    qint64 verificato = 0;                // when the bytes were last known to be the file's
    quint64 uso = 0;                      // for dropping the least used
};

// The kernel stamps files with a clock that moves in ticks (and some file
// systems keep whole or even seconds): a change made within the same tick as
// the one before leaves the same times.  The signature tells changes apart
// only once the file's times are clearly older than the moment its bytes
// were read; until then the bytes are compared.
bool FirmaAffidabile(const Voce& v) {
    const Firma& f = v.firma;
    const bool secondiInteri = f.modifica.tv_nsec == 0 && f.stato.tv_nsec == 0;
    const qint64 margine = secondiInteri ? 3'000'000'000 : 100'000'000;
    const qint64 ultimo = std::max(Nanosecondi(f.modifica), Nanosecondi(f.stato));
    return ultimo + margine < v.verificato;
}

std::atomic<quint64> g_analizzati{0};
std::atomic<qint64> g_attesaBlocco{10'000};

class Archivio {
public:
    static Archivio& Istanza() {
        static Archivio a;
        return a;
    }

    // The parsed file: an empty document when it does not exist, nullptr
    // (with the cause) when it exists and cannot be read.
    std::shared_ptr<const Documento> Documento_(const QString& file, QString& errore) {
        std::lock_guard blocco(m_mutex);
        const QByteArray nome = QFile::encodeName(file);
        struct stat st {};
        if (::stat(nome.constData(), &st) != 0) {
            if (errno == ENOENT || errno == ENOTDIR) {
                m_voci.remove(file);
                return Vuoto();
            }
            errore = ErroreSistema(errno);
            return nullptr;
        }
        auto it = m_voci.find(file);
        if (it != m_voci.end() && it->firma == Firma::Di(st)) {
            it->uso = ++m_uso;
            if (FirmaAffidabile(*it))
                return it->doc;
        }

        const qint64 prima = Adesso();
        Firma firma;
        QByteArray dati;
        switch (LeggiBytes(nome, firma, dati, errore)) {
        case Lettura::Mancante:
            m_voci.remove(file);
            return Vuoto();
        case Lettura::Errore:
            return nullptr;
        case Lettura::Fatta:
            break;
        }
        it = m_voci.find(file);
        if (it != m_voci.end() && it->firma == firma && it->dati == dati) {
            it->verificato = prima;
            return it->doc;
        }
        auto doc = std::make_shared<Documento>();
        Analizza(dati, *doc);
        ++g_analizzati;
        Metti(file, firma, std::move(dati), doc, prima);
        return doc;
    }

    // After a write of ours: the file holds `dati`, parsed as `doc`.
    void Scritto(const QString& file, QByteArray dati, std::shared_ptr<const Documento> doc) {
        std::lock_guard blocco(m_mutex);
        const qint64 prima = Adesso();
        struct stat st {};
        if (::stat(QFile::encodeName(file).constData(), &st) != 0) {
            m_voci.remove(file);
            return;
        }
        // Its times are those of the write just done: the first read after it
        // compares the bytes (FirmaAffidabile), which also covers anyone who
        // changed the file in place since.
        Metti(file, Firma::Di(st), std::move(dati), std::move(doc), prima);
    }

private:
    enum class Lettura { Fatta, Mancante, Errore };

    static Lettura LeggiBytes(const QByteArray& nome, Firma& firma, QByteArray& dati,
                              QString& errore) {
        const int fd = ::open(nome.constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            if (errno == ENOENT || errno == ENOTDIR)
                return Lettura::Mancante;
            errore = ErroreSistema(errno);
            return Lettura::Errore;
        }
        struct stat st {};
        if (::fstat(fd, &st) != 0) {
            errore = ErroreSistema(errno);
            ::close(fd);
            return Lettura::Errore;
        }
        if (!S_ISREG(st.st_mode)) {
            errore = S_ISDIR(st.st_mode) ? QStringLiteral("è una cartella")
                                         : QStringLiteral("non è un file normale");
            ::close(fd);
            return Lettura::Errore;
        }
        firma = Firma::Di(st);
        dati.resize(qsizetype(st.st_size));
        qsizetype letti = 0;
        for (;;) {
            if (letti == dati.size())
                dati.resize(letti + 65536); // grown while being read
            const ssize_t n = ::read(fd, dati.data() + letti, size_t(dati.size() - letti));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                errore = ErroreSistema(errno);
                ::close(fd);
                return Lettura::Errore;
            }
            if (n == 0)
                break;
            letti += n;
        }
        ::close(fd);
        dati.truncate(letti);
        return Lettura::Fatta;
    }

    static std::shared_ptr<const Documento> Vuoto() {
        static const auto vuoto = std::make_shared<const Documento>();
        return vuoto;
    }

    void Metti(const QString& file, const Firma& firma, QByteArray dati,
               std::shared_ptr<const Documento> doc, qint64 verificato) {
        constexpr qsizetype Massimo = 16;
        if (!m_voci.contains(file) && m_voci.size() >= Massimo) {
            auto meno = m_voci.begin();
            for (auto it = m_voci.begin(); it != m_voci.end(); ++it)
                if (it->uso < meno->uso)
                    meno = it;
            m_voci.erase(meno);
        }
        Voce& v = m_voci[file];
        v.firma = firma;
        v.dati = std::move(dati);
        v.doc = std::move(doc);
        v.verificato = verificato;
        v.uso = ++m_uso;
    }

    std::mutex m_mutex;
    QHash<QString, Voce> m_voci;
    quint64 m_uso = 0;
};

std::shared_ptr<const Documento> Carica(const QString& file, QString& errore) {
    return Archivio::Istanza().Documento_(file, errore);
}

// ---- The write lock -------------------------------------------------------------------------

// An exclusive lock on "<file>.lock" beside the file (beside the file a
// symbolic link leads to, which is the one replaced), held from the read of
// the file to the rename of the new one.  The lock file goes when the lock
// does; whoever was waiting on it then finds that the name leads to another
// file, or none, and starts again.
class Blocco {
public:
    ~Blocco() {
        if (m_fd >= 0) {
            ::unlink(m_nome.constData());
            ::close(m_fd);
        }
    }

    bool Prendi(const QString& file) {
        QString vero = QFileInfo(file).canonicalFilePath();
        if (vero.isEmpty())
            vero = QFileInfo(file).absoluteFilePath();
        const QString nomeBlocco = vero + QStringLiteral(".lock");
        m_nome = QFile::encodeName(nomeBlocco);

        using Orologio = std::chrono::steady_clock;
        const auto attesa = AttesaBlocco();
        const auto scadenza = Orologio::now() + attesa;
        auto pausa = std::chrono::milliseconds(1);
        for (;;) {
            int fd = ::open(m_nome.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
            int errore = errno;
            if (fd < 0 && errore == EACCES) {
                // Another user's lock file: reading is enough for flock.
                fd = ::open(m_nome.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
                if (fd < 0 && errno != ENOENT)
                    errore = errno;
            }
            if (fd < 0) {
                if (errore == EINTR)
                    continue;
                const QString cartella = QFileInfo(vero).absolutePath();
                if (errore == ENOENT || errore == ENOTDIR)
                    return Fallito(
                        QStringLiteral("La cartella %1 non esiste: il file %2 non si può scrivere")
                            .arg(cartella, file));
                if (errore == EACCES || errore == EPERM || errore == EROFS)
                    return Fallito(QStringLiteral("La cartella %1 non è scrivibile: il file %2 "
                                                  "non si può scrivere")
                                       .arg(cartella, file));
                return Fallito(QStringLiteral("Non riesco a creare il file di blocco %1 per "
                                              "scrivere %2: %3")
                                   .arg(nomeBlocco, file, ErroreSistema(errore)));
            }
            bool preso = false;
            for (;;) {
                if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
                    preso = true;
                    break;
                }
                if (errno == EINTR)
                    continue;
                if (errno != EWOULDBLOCK) {
                    const int e = errno;
                    ::close(fd);
                    return Fallito(QStringLiteral("Non riesco a bloccare il file %1: %2")
                                       .arg(nomeBlocco, ErroreSistema(e)));
                }
                const auto ora = Orologio::now();
                if (ora >= scadenza)
                    break;
                std::this_thread::sleep_for(std::min<Orologio::duration>(pausa, scadenza - ora));
                pausa = std::min(pausa * 2, std::chrono::milliseconds(20));
            }
            if (preso) {
                struct stat aperto {
                }, ora{};
                if (::fstat(fd, &aperto) == 0 && ::lstat(m_nome.constData(), &ora) == 0 &&
                    aperto.st_dev == ora.st_dev && aperto.st_ino == ora.st_ino) {
                    m_fd = fd;
                    return true;
                }
            }
            ::close(fd);
            if (!preso || Orologio::now() >= scadenza)
                return Fallito(
                    QStringLiteral("Il file %1 è in scrittura da parte di un altro programma da "
                                   "più di %2 secondi (blocco %3): la modifica non è stata fatta")
                        .arg(file)
                        .arg(double(attesa.count()) / 1000.0)
                        .arg(nomeBlocco));
        }
    }

private:
    QByteArray m_nome;
    int m_fd = -1;
};

// Writes the document over the file; false (with the cause) when it fails.
bool Salva(const QString& file, const QByteArray& dati) {
    QSaveFile f(file);
    if (!f.open(QIODevice::WriteOnly))
        return Fallito(
            QStringLiteral("Non riesco a scrivere il file %1: %2").arg(file, f.errorString()));
    if (f.write(dati) != dati.size()) {
        const QString perche = f.errorString();
        f.cancelWriting();
        return Fallito(QStringLiteral("Non riesco a scrivere il file %1: %2").arg(file, perche));
    }
    if (!f.commit())
        return Fallito(
            QStringLiteral("Non riesco a scrivere il file %1: %2").arg(file, f.errorString()));
    return true;
}

bool HaFineRiga(const QString& s) {
    return s.contains(QLatin1Char('\n')) || s.contains(QLatin1Char('\r')) || s.contains(QChar(0));
}

// The line ends before `pos` so that a line can be inserted there.
void ChiudiRigaPrecedente(Documento& d, qsizetype pos) {
    if (pos > 0 && d.righe[pos - 1].fine.isEmpty())
        d.righe[pos - 1].fine = d.fineRiga;
}

bool NuovaRiga(Documento& d, const QString& testo, Riga& r) {
    if (!d.codifica_(testo, r.testo))
        return false;
    r.fine = d.fineRiga;
    d.analizza(r);
    return true;
}

} // namespace

std::optional<QString> LeggiValore(const QString& file, const QString& sezione,
                                   const QString& chiave) {
    QString errore;
    const auto d = Carica(file, errore);
    if (!d || !d->esiste)
        return std::nullopt;
    const QString* v = d->valore(sezione.trimmed(), chiave.trimmed());
    if (!v)
        return std::nullopt;
    return *v;
}

int LeggiIntero(const QString& file, const QString& sezione, const QString& chiave,
                int predefinito) {
    const std::optional<QString> v = LeggiValore(file, sezione, chiave);
    if (!v)
        return predefinito;
    qsizetype i = 0;
    bool negativo = false;
    if (i < v->size() && (v->at(i) == QLatin1Char('-') || v->at(i) == QLatin1Char('+'))) {
        negativo = v->at(i) == QLatin1Char('-');
        ++i;
    }
    qint64 n = 0;
    for (; i < v->size(); ++i) {
        const char16_t c = v->at(i).unicode();
        if (c < u'0' || c > u'9')
            break;
        n = n * 10 + (c - u'0');
        if (n > qint64(std::numeric_limits<int>::max()) + 1)
            n = qint64(std::numeric_limits<int>::max()) + 1;
    }
    if (negativo)
        n = -n;
    return static_cast<int>(
        std::clamp<qint64>(n, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

QStringList NomiSezioni(const QString& file) {
    QString errore;
    const auto d = Carica(file, errore);
    return d ? d->nomiSezioni : QStringList();
}

int NomiSezioniBuffer(const QString& file, QString& buffer, int dimensione) {
    buffer.clear();
    if (dimensione <= 0)
        return 0;
    buffer.fill(QChar(0), dimensione);
    if (dimensione == 1)
        return 0;
    // One place is kept for the final NUL; a name that does not fit with its
    // own NUL is cut, and the caller learns it from dimensione - 2.
    qsizetype libero = dimensione - 1;
    qsizetype pos = 0;
    for (const QString& nome : NomiSezioni(file)) {
        const qsizetype lung = nome.size() + 1;
        if (lung >= libero) {
            if (libero > 0) {
                buffer.replace(pos, libero - 1, nome.left(libero - 1));
                pos += libero; // the cut name's NUL is already there
            }
            return dimensione - 2;
        }
        buffer.replace(pos, nome.size(), nome);
        pos += lung;
        libero -= lung;
    }
    return static_cast<int>(pos);
}

namespace {

enum class Esito { Errore, Invariato, Modificato };

// The edit itself, on the document as read under the lock.
Esito Modifica(Documento& d, const QString& file, const QString& sez,
               const std::optional<QString>& chiave, const QString& chi,
               const std::optional<QString>& valore) {
    const auto fuoriCodifica = [&](const QString& testo) {
        Fallito(QStringLiteral("Il testo \"%1\" non si può scrivere nel file %2, che è in "
                               "codifica Windows-1252")
                    .arg(testo, file));
        return Esito::Errore;
    };

    const qsizetype s = d.indiceSezioni.value(Piega(sez), -1);
    if (!chiave) {
        // The whole section goes, header included.
        if (s < 0)
            return Esito::Invariato;
        const qsizetype fine = d.fineSezione(s);
        d.righe.erase(d.righe.begin() + s, d.righe.begin() + fine);
        if (s > 0 && s == static_cast<qsizetype>(d.righe.size()) && d.righe[s - 1].fine.isEmpty())
            d.righe[s - 1].fine = d.fineRiga;
        return Esito::Modificato;
    }

    const qsizetype k = s < 0 ? -1 : d.indiceChiavi.value(s).value(Piega(chi), -1);
    if (!valore) {
        if (k < 0)
            return Esito::Invariato;
        d.righe.erase(d.righe.begin() + k);
        return Esito::Modificato;
    }

    if (k >= 0) {
        // The key's name, its spacing and the line end stay as they were.
        Riga& r = d.righe[k];
        QByteArray nuovo;
        if (!d.codifica_(*valore, nuovo))
            return fuoriCodifica(*valore);
        r.testo = r.testo.left(r.inizioValore) + nuovo;
        d.analizza(r);
        return Esito::Modificato;
    }

    Riga rigaChiave;
    if (!NuovaRiga(d, chi + QLatin1Char('=') + *valore, rigaChiave))
        return fuoriCodifica(chi + QLatin1Char('=') + *valore);

    if (s >= 0) {
        // After the last key of the section (or its header), before the blank
        // lines and comments that lead to the next section.
        qsizetype dopo = s;
        const qsizetype fine = d.fineSezione(s);
        for (qsizetype i = s + 1; i < fine; ++i)
            if (d.righe[i].tipo == TipoRiga::Chiave || d.righe[i].tipo == TipoRiga::Altro)
                dopo = i;
        ChiudiRigaPrecedente(d, dopo + 1);
        d.righe.insert(d.righe.begin() + dopo + 1, std::move(rigaChiave));
        return Esito::Modificato;
    }

    // A new section follows the last line directly, as Windows appends it:
    // no blank line before it; a last line without its end gets one.
    Riga intestazione;
    if (!NuovaRiga(d, QLatin1Char('[') + sez + QLatin1Char(']'), intestazione))
        return fuoriCodifica(sez);
    ChiudiRigaPrecedente(d, static_cast<qsizetype>(d.righe.size()));
    d.righe.push_back(std::move(intestazione));
    d.righe.push_back(std::move(rigaChiave));
    return Esito::Modificato;
}

} // namespace

bool Scrivi(const QString& file, const QString& sezione, const std::optional<QString>& chiave,
            const std::optional<QString>& valore) {
    t_errore.clear();
    // Names and values that would break the line structure (and so change
    // other keys or sections) are refused instead of written.
    const QString sez = sezione.trimmed();
    if (sez.isEmpty() || sez.contains(QLatin1Char(']')) || HaFineRiga(sez))
        return Fallito(
            QStringLiteral("Nome di sezione non valido per il file %1: \"%2\"").arg(file, sezione));
    QString chi;
    if (chiave) {
        chi = chiave->trimmed();
        if (chi.isEmpty() || chi.contains(QLatin1Char('=')) || HaFineRiga(chi) ||
            chi.startsWith(QLatin1Char('[')) || chi.startsWith(QLatin1Char(';')) ||
            chi.startsWith(QLatin1Char('#')))
            return Fallito(QStringLiteral("Nome di chiave non valido per il file %1: \"%2\"")
                               .arg(file, *chiave));
    }
    if (valore && HaFineRiga(*valore))
        return Fallito(QStringLiteral("Il valore di \"%1\" per il file %2 non può andare a capo")
                           .arg(chi.isEmpty() ? sez : chi, file));

    // Deleting from a file that is not there changes nothing (and needs no
    // lock, even where the folder is missing or read-only).
    if (!chiave || !valore) {
        QFileInfo info(file);
        if (!info.exists() && !info.isSymLink())
            return true;
    }

    // Read, edit and replace under the lock: another writer's keys, added
    // since this process last read the file, stay.
    Blocco blocco;
    if (!blocco.Prendi(file))
        return false;
    QString errore;
    const auto letto = Carica(file, errore);
    if (!letto)
        return Fallito(QStringLiteral("Non riesco a leggere il file %1: %2").arg(file, errore));
    if (letto->esiste) {
        // A file marked read-only stays so, whoever runs the program (root too,
        // as the read-only attribute binds everyone on Windows).
        const QFileInfo info(file);
        const QFile::Permissions scrittura =
            QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther;
        if (!info.isFile() || !info.isWritable() || !(info.permissions() & scrittura))
            return Fallito(QStringLiteral("Il file %1 è di sola lettura").arg(file));
    }

    auto d = std::make_shared<Documento>(*letto);
    switch (Modifica(*d, file, sez, chiave, chi, valore)) {
    case Esito::Errore:
        return false;
    case Esito::Invariato:
        return true;
    case Esito::Modificato:
        break;
    }
    QByteArray dati = Bytes(*d);
    if (!Salva(file, dati))
        return false;
    d->esiste = true; // a file this write created is there now
    d->indicizza();
    Archivio::Istanza().Scritto(file, std::move(dati), std::move(d));
    return true;
}

QString UltimoErrore() {
    return t_errore;
}

QString ErroreLettura(const QString& file) {
    QString errore;
    if (Archivio::Istanza().Documento_(file, errore))
        return {};
    return errore;
}

void ImpostaAttesaBlocco(std::chrono::milliseconds attesa) {
    g_attesaBlocco = attesa.count();
}

std::chrono::milliseconds AttesaBlocco() {
    return std::chrono::milliseconds(g_attesaBlocco.load());
}

quint64 FileAnalizzati() {
    return g_analizzati.load();
}

} // namespace quarvel::profilo
