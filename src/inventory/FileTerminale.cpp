#include "inventory/FileTerminale.h"

#include "comune/Codifiche.h"
#include "comune/ErroriSistema.h"
#include "suite/Utilita.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <cerrno>

namespace quarvel::inventario {

namespace {

int Intero(const LettoreParametri& leggi, const QString& sezione, const char* chiave) {
    return Utilita().TestoInIntero(leggi(sezione, QString::fromLatin1(chiave)));
}

QString Testo(const LettoreParametri& leggi, const QString& sezione, const char* chiave) {
    return leggi(sezione, QString::fromLatin1(chiave));
}

// Mid(testo, inizio, lunghezza) of the suite's language, trimmed; a field
// that is not in the line (position 0) is empty.
QString Colonne(const QString& riga, int inizio, int lunghezza) {
    if (inizio < 1 || lunghezza < 1 || inizio > riga.size())
        return {};
    return riga.mid(inizio - 1, lunghezza).trimmed();
}

} // namespace

bool LeggiSetCarico(const QString& nome, bool rigido, const LettoreParametri& leggi,
                    SetCarico& set) {
    set = SetCarico();
    set.nome = nome;
    set.fileOrigine = Testo(leggi, nome, "FileOrigine");
    set.codInizio = Intero(leggi, nome, "CodInizio");
    bool abilitato = true;
    if (set.codInizio == 0 || (rigido && Utilita().EVuoto(set.fileOrigine)))
        abilitato = false;
    if (!abilitato)
        return false;

    set.qtaInizio = Intero(leggi, nome, "QtaInizio");
    set.impUniInizio = Intero(leggi, nome, "ImpUniInizio");
    set.impTotInizio = Intero(leggi, nome, "ImpTotInizio");
    set.formato = Testo(leggi, nome, "FissoSep");
    if (set.formato.isEmpty())
        set.formato = QStringLiteral("F");
    if (set.formato == QLatin1String("F")) {
        set.codLung = Intero(leggi, nome, "CodLung");
        set.qtaLung = Intero(leggi, nome, "QtaLung");
        set.impUniLung = Intero(leggi, nome, "ImpUniLung");
        set.impTotLung = Intero(leggi, nome, "ImpTotLung");
        if (rigido && (set.codLung == 0 || (set.qtaInizio >= 1 && set.qtaLung == 0) ||
                       (set.impUniInizio >= 1 && set.impUniLung == 0) ||
                       (set.impTotInizio >= 1 && set.impTotLung == 0)))
            abilitato = false;
    } else if (set.formato == QLatin1String("S")) {
        set.separatore = Testo(leggi, nome, "Separatore");
        static const QRegularExpression intero(QStringLiteral("^[0-9]+$"));
        if (set.separatore.isEmpty()) {
            if (rigido)
                abilitato = false;
        } else if (intero.match(set.separatore).hasMatch()) {
            const int codice = set.separatore.toInt();
            if (codice > 0 && codice < 256) {
                const char c = static_cast<char>(codice);
                set.separatore = DaCp1252(QByteArrayView(&c, 1));
            }
        }
    }
    set.exePrima = Testo(leggi, nome, "ExePrima");
    set.cancFile = Testo(leggi, nome, "CancFile");
    set.codArtSeqRic = Testo(leggi, nome, "CodArtSeqRic").trimmed();
    set.addArtPrima = Testo(leggi, nome, "AddArtPrima");
    set.addArtDopo = Testo(leggi, nome, "AddArtDopo");
    set.codArtInizIdent = Testo(leggi, nome, "CodArtInizIdent");
    return abilitato;
}

QString LeggiCampo(const QString& riga, int n, const SetCarico& set) {
    if (set.formato == QLatin1String("A"))
        return LeggiCampoApici(riga, n);
    if (n < 1)
        return {};
    const QString& sep = set.separatore;
    if (sep.isEmpty()) // no separator: the whole line is the first field
        return n == 1 ? riga.trimmed() : QString();
    qsizetype inizio = 0;
    for (int i = 1; i < n; ++i) {
        const qsizetype p = riga.indexOf(sep, inizio, Qt::CaseInsensitive);
        if (p < 0)
            return {};
        inizio = p + sep.size();
    }
    const qsizetype fine = riga.indexOf(sep, inizio, Qt::CaseInsensitive);
    QString campo = riga.mid(inizio, fine < 0 ? -1 : fine - inizio);
    if (campo.size() >= 2 && campo.startsWith(QLatin1Char('"')) && campo.endsWith(QLatin1Char('"')))
        campo = campo.mid(1, campo.size() - 2);
    return campo.trimmed();
}

QString LeggiCampoApici(const QString& riga, int n) {
    if (n < 1)
        return {};
    static const QString candidati = QStringLiteral("§ç^|%&°@#ùèòéì~");
    QChar segnaposto;
    for (QChar c : candidati)
        if (!riga.contains(c)) {
            segnaposto = c;
            break;
        }
    QString t = riga;
    if (!segnaposto.isNull()) {
        t.replace(QStringLiteral("\"\""), QString(segnaposto));
        t.replace(QStringLiteral(",") + segnaposto + QStringLiteral(","), QStringLiteral(",\"\","));
    }
    qsizetype inizio = 0;
    for (int i = 0; i < 2 * n - 1; ++i) {
        const qsizetype p = t.indexOf(QLatin1Char('"'), inizio);
        if (p < 0)
            return {};
        inizio = p + 1;
    }
    const qsizetype fine = t.indexOf(QLatin1Char('"'), inizio);
    QString campo = t.mid(inizio, fine < 0 ? -1 : fine - inizio);
    if (!segnaposto.isNull())
        campo.replace(segnaposto, QLatin1Char('"'));
    return campo.trimmed();
}

RigaTerminale AnalizzaRiga(const QString& riga, const SetCarico& set,
                           const std::function<double(const QString&)>& numero) {
    const bool fisso = set.formato != QLatin1String("S") && set.formato != QLatin1String("A");
    auto campo = [&](int inizio, int lunghezza) {
        return fisso ? Colonne(riga, inizio, lunghezza) : LeggiCampo(riga, inizio, set);
    };
    RigaTerminale r;
    r.codice = campo(set.codInizio, set.codLung);
    r.quantita = numero(campo(set.qtaInizio, set.qtaLung));
    if (set.impTotInizio > 0) {
        const double v = numero(campo(set.impTotInizio, set.impTotLung));
        if (v != 0) {
            r.importo = v;
            r.qualeImporto = 1;
        }
    } else if (set.impUniInizio > 0) {
        const double v = numero(campo(set.impUniInizio, set.impUniLung));
        if (v != 0) {
            r.importo = v;
            r.qualeImporto = 2;
        }
    }
    return r;
}

// ---- LettoreRighe -------------------------------------------------------------------

bool LettoreRighe::Riempi(QString* errore) {
    if (m_fine)
        return false;
    if (m_pos > 0) {
        m_base += m_pos;
        m_buffer.remove(0, m_pos);
        m_pos = 0;
    }
    constexpr qsizetype Blocco = 64 * 1024;
    const qsizetype prima = m_buffer.size();
    m_buffer.resize(prima + Blocco);
    const qint64 letti = m_file.read(m_buffer.data() + prima, Blocco);
    if (letti < 0) {
        m_buffer.resize(prima);
        m_fine = true;
        if (errore)
            *errore = m_file.errorString();
        return false;
    }
    m_buffer.resize(prima + letti);
    if (letti == 0)
        m_fine = true;
    return letti > 0;
}

bool LettoreRighe::Prossima(Riga& riga, QString* errore) {
    riga = Riga();
    bool tagliata = false;
    QByteArray pezzo;
    qint64 inizio = -1;
    for (;;) {
        if (m_crPendente) {
            // a CR ended the last line: a LF right after it belongs to it
            if (m_pos >= m_buffer.size() && !Riempi(errore) && m_pos >= m_buffer.size())
                return false;
            if (m_pos < m_buffer.size()) {
                m_crPendente = false;
                if (m_buffer.at(m_pos) == '\n')
                    ++m_pos;
            }
            continue;
        }
        if (inizio < 0)
            inizio = m_base + m_pos;
        qsizetype fine = -1;
        const char* dati = m_buffer.constData();
        for (qsizetype i = m_pos; i < m_buffer.size(); ++i) {
            const char c = dati[i];
            if (c == '\n' || c == '\r') {
                fine = i;
                break;
            }
        }
        if (fine >= 0) {
            const qsizetype resto = LettoreRighe::MassimoRiga - pezzo.size();
            const qsizetype lunghezza = fine - m_pos;
            if (!tagliata) {
                pezzo.append(m_buffer.constData() + m_pos, std::min(lunghezza, resto));
                tagliata = lunghezza > resto;
            }
            m_crPendente = m_buffer.at(fine) == '\r';
            m_pos = fine + 1;
            break;
        }
        // no line end in what was read: keep it (up to the limit) and read on
        const qsizetype disponibili = m_buffer.size() - m_pos;
        if (!tagliata) {
            const qsizetype resto = LettoreRighe::MassimoRiga - pezzo.size();
            pezzo.append(m_buffer.constData() + m_pos, std::min(disponibili, resto));
            tagliata = disponibili > resto;
        }
        m_pos = m_buffer.size();
        if (!Riempi(errore)) {
            if (errore && !errore->isEmpty())
                return false;
            if (pezzo.isEmpty() && !tagliata)
                return false; // the end, after the last line end
            break;            // a last line without its end
        }
    }
    ++m_numero;
    if (m_numero == 1 && pezzo.startsWith("\xEF\xBB\xBF")) {
        pezzo.remove(0, 3);
        inizio += 3;
    }
    riga.numero = m_numero;
    riga.inizio = inizio;
    riga.tagliata = tagliata;
    riga.conNul = pezzo.contains('\0');
    riga.testo = DaTestoTerminale(pezzo);
    riga.grezza = std::move(pezzo);
    return true;
}

// ---- FileScarti -----------------------------------------------------------------------

FileScarti::FileScarti(const QString& fileOrigine, const QDateTime& quando)
    : m_nome(fileOrigine + quando.toString(QStringLiteral(".'scarti'-yyyyMMdd-HHmmss"))) {}

FileScarti::~FileScarti() {
    Chiudi();
}

bool FileScarti::Aggiungi(const QByteArray& grezza, QString* errore) {
    if (!m_file) {
        m_file = std::make_unique<QFile>(m_nome);
        if (!m_file->open(QIODevice::WriteOnly | QIODevice::Append)) {
            if (errore)
                *errore = QStringLiteral("Impossibile scrivere il file delle righe scartate %1: %2")
                              .arg(m_nome, DescrizioneErrore(errno));
            m_file.reset();
            return false;
        }
    }
    if (m_file->write(grezza) != grezza.size() || m_file->write("\r\n", 2) != 2) {
        if (errore)
            *errore = QStringLiteral("Impossibile scrivere il file delle righe scartate %1: %2")
                          .arg(m_nome, m_file->errorString());
        return false;
    }
    ++m_righe;
    return true;
}

bool FileScarti::Chiudi(QString* errore) {
    if (!m_file)
        return true;
    const bool ok = m_file->flush() && m_file->error() == QFileDevice::NoError;
    if (!ok && errore)
        *errore = QStringLiteral("Impossibile scrivere il file delle righe scartate %1: %2")
                      .arg(m_nome, m_file->errorString());
    m_file->close();
    m_file.reset();
    return ok;
}

} // namespace quarvel::inventario
