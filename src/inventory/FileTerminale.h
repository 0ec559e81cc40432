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
#include <QStringView>
#include <functional>
#include <memory>

class QTemporaryFile;

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

// A quantity as the operator writes it: an optional sign, digits with a
// comma before the decimals, the thousands grouped by dots or not ("1.234,5",
// "1234,5"); a dot stands for the decimal sign where it does not group
// thousands ("4.5", "1.2345"; "1.234" is 1234).  Nothing else: no letters,
// exponents, blanks inside, NaN or infinities.  With more decimals than
// `decimali` it is rounded there, half away from zero on its decimal
// digits, as a typed quantity is shown (decimali < 0: not rounded).  False
// when the text is not such a number.
bool LeggiQuantita(QStringView testo, int decimali, double& valore);

// What one line of the file says.
struct RigaTerminale {
    QString codice;
    double quantita = 0;
    // False when the quantity's field is there but holds no number (empty
    // or not a number): the line is refused, `testoQuantita` says what it held.
    bool quantitaValida = true;
    QString testoQuantita;
    double importo = 0;
    int qualeImporto = 0; // 0 none, 1 total amount, 2 unit price
};
// `numero` turns an amount's text into a number as the operator writes it;
// the quantity is read with LeggiQuantita and rounded to `decimaliQta`.  A
// quantity field the line does not reach (a short line, fewer fields) or
// that the set does not place reads as 0.
RigaTerminale AnalizzaRiga(const QString& riga, const SetCarico& set,
                           const std::function<double(const QString&)>& numero,
                           int decimaliQta = -1);

// The lines of a terminal file, read as a stream (the file's size does not
// set the memory used).  Line ends CR LF, LF or CR; a UTF-8 byte-order mark
// at the start is dropped; each line is UTF-8 when valid, else
// Windows-1252.  A NUL byte is a character like any other.  A line longer
// than MassimoRiga bytes is not a line a terminal writes: it is handed out
// marked, without its text, its bytes copied as they are read into a
// temporary file (the memory stays bounded whatever its length).
class LettoreRighe {
public:
    static constexpr qsizetype MassimoRiga = 1 << 20;

    struct Riga {
        QByteArray grezza; // the bytes as read, without the line end (empty when too long)
        QString testo;
        qint64 numero = 0;     // 1 = first line of the file
        qint64 inizio = -1;    // where its bytes begin in the device (after a byte-order mark)
        qint64 lunghezza = 0;  // its bytes
        bool tagliata = false; // longer than MassimoRiga: its bytes are in `lunga`
        std::shared_ptr<QTemporaryFile> lunga;
    };

    explicit LettoreRighe(QIODevice& file)
        : m_file(file), m_base(file.isSequential() ? 0 : file.pos()) {}
    // False at the end of the file; `errore` tells a read that failed.
    bool Prossima(Riga& riga, QString* errore = nullptr);

private:
    bool Riempi(QString* errore);
    // Moves the line's bytes so far into its temporary file.
    bool Travasa(QByteArray& pezzo, std::shared_ptr<QTemporaryFile>& lunga, QString* errore);

    QIODevice& m_file;
    QByteArray m_buffer;
    qint64 m_base = 0; // the device's offset of m_buffer's first byte
    qsizetype m_pos = 0;
    qint64 m_numero = 0;
    bool m_fine = false;
    bool m_crPendente = false; // the last line ended with CR: a LF next is its own
};

// The lines a load could not take, kept as they were read in a file beside
// the terminal file: the same name with the date and time of the load and
// a random part after it (two loads in the same second have a file each,
// and nobody can plant something under the name beforehand).  Created at
// the first line, as a new file only (never through a link, never over a
// file already there), readable by the operator alone, or by the folder's
// group too when the folder is shared with a group.
class FileScarti {
public:
    FileScarti(const QString& fileOrigine, const QDateTime& quando);
    ~FileScarti();
    FileScarti(const FileScarti&) = delete;
    FileScarti& operator=(const FileScarti&) = delete;

    // False when the file cannot be written; `errore` tells why.
    bool Aggiungi(const QByteArray& grezza, QString* errore = nullptr);
    // A line kept in a file of its own (a line too long to hold), copied in
    // pieces.
    bool AggiungiDa(QIODevice& riga, QString* errore = nullptr);
    // Writes what is pending to disk; false when it fails.
    bool Chiudi(QString* errore = nullptr);
    // The file's name (chosen again, with another random part, when a file
    // of the name appears before it is created).
    const QString& Nome() const { return m_nome; }
    qint64 Righe() const { return m_righe; }

    // Where the random part of the names comes from (tests replace it).
    static std::function<QString()> suffissoCasuale;

private:
    bool Apri(QString* errore);
    bool Scritto(bool ok, QString* errore);

    QString m_base; // the name without its random part
    QString m_nome;
    std::unique_ptr<QFile> m_file;
    qint64 m_righe = 0;
};

// Ten random letters and digits: the part of a file's name nobody can
// foresee.
QString ParteCasuale();

// The terminal file while a load reads it, taken away from its name first
// (renamed in its folder to a name of the load's own), so that what the
// terminal's download writes meanwhile goes into a new file under the
// terminal's name and is neither read halfway nor deleted unread.  At the
// end the load deletes exactly what it read, or gives it back under the
// terminal's name ahead of whatever arrived meanwhile.  Where the folder
// does not allow the rename, the file is read where it is and deleted only
// when its inode and size are still those read.
class FilePreso {
public:
    explicit FilePreso(QString percorso);
    ~FilePreso();
    FilePreso(const FilePreso&) = delete;
    FilePreso& operator=(const FilePreso&) = delete;

    // Takes the file and opens it for reading; false (with the cause) when
    // it cannot be read.
    bool Prendi(QString* errore);
    QFile& File() { return *m_file; }
    // Renamed (false: read where it is).
    bool Rinominato() const { return m_rinominato; }
    const QString& NomePrivato() const { return m_privato; }
    // Deletes what was read (the file up to where the reading got); bytes
    // written into it after that go back under the terminal's name.
    bool Cancella(QString* errore);
    // Gives the file back under the terminal's name, followed by the lines
    // of a file that appeared there meanwhile.
    bool Restituisci(QString* errore);

private:
    bool RendiSotto(const QString& daRendere, QString* errore);

    QString m_percorso;
    QString m_privato;
    std::unique_ptr<QFile> m_file;
    bool m_rinominato = false;
    bool m_finito = false;
    quint64 m_dispositivo = 0, m_inode = 0;
};

} // namespace quarvel::inventario
