#pragma once
// The file a barcode terminal leaves on disk, and the parameter set that
// says how it is laid out: fixed columns ("F"), fields with a separator
// ("S") or fields between double quotes ("A"); one article code and its
// counted quantity per line.  Plain classes, no window: the counts form and
// the tests drive them alike.

#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QString>
#include <functional>
#include <memory>

namespace quarvel::inventario {

// One file-load parameter set, a section of the parameter files.
struct SetCarico {
    QString nome;        // the section
    QString fileOrigine; // FileOrigine
    QString formato;     // FissoSep: "F" (also when missing), "S", "A"
    QString separatore;  // Separatore, "S" only; a code 1..255 already turned into its character
    int codInizio = 0, codLung = 0;
    int qtaInizio = 0, qtaLung = 0;
    int impUniInizio = 0, impUniLung = 0;
    int impTotInizio = 0, impTotLung = 0;
    QString exePrima;        // the terminal's download program, opened first
    QString cancFile;        // "S" delete the file, "N" keep it, else ask
    QString codArtSeqRic;    // search order: "B" barcode, "C" article code
    QString addArtPrima;     // put before a code read to form an article code
    QString addArtDopo;      // put after it
    QString codArtInizIdent; // prefix that marks a code as an article code
};

// Reads a key of a section of the parameter files (LeggiIni).
using LettoreParametri = std::function<QString(const QString& sezione, const QString& chiave)>;

// Reads the set `nome` into `set` and checks it.  False when the set
// switches loading off: no code position, or (strict) no file, a fixed
// layout without the length of a field it places, a separated layout
// without a separator.  The keys after the checks are read whatever their
// outcome.
bool LeggiSetCarico(const QString& nome, bool rigido, const LettoreParametri& leggi,
                    SetCarico& set);

// Field n (1 = first) of a line of a separated ("S") or quoted ("A") set.
QString LeggiCampo(const QString& riga, int n, const SetCarico& set);
// Field n of a quoted line: fields are found by counting double quotes; two
// double quotes inside a field stand for one.
QString LeggiCampoApici(const QString& riga, int n);

// What one line of the file says.
struct RigaTerminale {
    QString codice;
    double quantita = 0;
    double importo = 0;
    int qualeImporto = 0; // 0 none, 1 total amount, 2 unit price
};
// `numero` turns a text into a number as the operator writes it.
RigaTerminale AnalizzaRiga(const QString& riga, const SetCarico& set,
                           const std::function<double(const QString&)>& numero);

// The lines of a terminal file, read as a stream (the file's size does not
// set the memory used).  Line ends CR LF, LF or CR; a UTF-8 byte-order mark
// at the start is dropped; each line is UTF-8 when valid, else
// Windows-1252.  A line longer than MassimoRiga bytes is handed out cut
// there, marked, and the rest of it skipped.
class LettoreRighe {
public:
    static constexpr qsizetype MassimoRiga = 1 << 20;

    struct Riga {
        QByteArray grezza; // the bytes as read, without the line end
        QString testo;
        qint64 numero = 0;  // 1 = first line of the file
        qint64 inizio = -1; // where its bytes begin in the device (after a byte-order mark)
        bool tagliata = false;
        bool conNul = false; // holds a NUL byte
    };

    explicit LettoreRighe(QIODevice& file)
        : m_file(file), m_base(file.isSequential() ? 0 : file.pos()) {}
    // False at the end of the file; `errore` tells a read that failed.
    bool Prossima(Riga& riga, QString* errore = nullptr);

private:
    bool Riempi(QString* errore);

    QIODevice& m_file;
    QByteArray m_buffer;
    qint64 m_base = 0; // the device's offset of m_buffer's first byte
    qsizetype m_pos = 0;
    qint64 m_numero = 0;
    bool m_fine = false;
    bool m_crPendente = false; // the last line ended with CR: a LF next is its own
};

// The lines a load could not take, kept as they were read in a file beside
// the terminal file: the same name with the date and time of the load
// after it.  Created at the first line.
class FileScarti {
public:
    FileScarti(const QString& fileOrigine, const QDateTime& quando);
    ~FileScarti();
    FileScarti(const FileScarti&) = delete;
    FileScarti& operator=(const FileScarti&) = delete;

    // False when the file cannot be written; `errore` tells why.
    bool Aggiungi(const QByteArray& grezza, QString* errore = nullptr);
    // Writes what is pending to disk; false when it fails.
    bool Chiudi(QString* errore = nullptr);
    const QString& Nome() const { return m_nome; }
    qint64 Righe() const { return m_righe; }

private:
    QString m_nome;
    std::unique_ptr<QFile> m_file;
    qint64 m_righe = 0;
};

} // namespace quarvel::inventario
