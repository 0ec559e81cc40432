#include "comune/ErroriSistema.h"

#include <cerrno>
#include <cstring>

namespace quarvel {

QString DescrizioneErrore(int n) {
    switch (n) {
    case EACCES:
    case EPERM:
        return QStringLiteral("permesso negato");
    case ENOENT:
        return QStringLiteral("il file o la cartella non esiste");
    case ENOTDIR:
        return QStringLiteral("una parte del percorso non è una cartella");
    case EISDIR:
        return QStringLiteral("è una cartella");
    case EROFS:
        return QStringLiteral("il disco è in sola lettura");
    case ENOSPC:
        return QStringLiteral("il disco è pieno");
    case EDQUOT:
        return QStringLiteral("lo spazio concesso sul disco è esaurito");
    case EIO:
        return QStringLiteral("errore di lettura o scrittura del disco");
    case ENAMETOOLONG:
        return QStringLiteral("il nome è troppo lungo");
    case ELOOP:
        return QStringLiteral("troppi collegamenti simbolici nel percorso");
    case EEXIST:
        return QStringLiteral("esiste già");
    case EBUSY:
    case ETXTBSY:
        return QStringLiteral("è in uso");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("troppi file aperti");
    case ENOMEM:
        return QStringLiteral("memoria esaurita");
    case ESTALE:
        return QStringLiteral("il file sul server di rete non è più raggiungibile");
    default:
        return QStringLiteral("errore di sistema %1 (%2)")
            .arg(n)
            .arg(QString::fromLocal8Bit(::strerror(n)));
    }
}

} // namespace quarvel
