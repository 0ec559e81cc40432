// The parsed form of a profile file, kept by the profile functions: the
// file's lines as they stand (bytes and line ends), what each line is, and the
// index of sections and keys that reads go through.  Private to the library.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QString>
#include <QStringList>

#include <vector>

namespace quarvel::profilo::interno {

// ---- Encodings ---------------------------------------------------------------------------

enum class Codifica { Utf8, Cp1252 };

// ---- The file as lines ---------------------------------------------------------------------

enum class TipoRiga { Vuota, Commento, Sezione, Chiave, Altro };

struct Riga {
    QByteArray testo; // the line's bytes, without its end
    QByteArray fine;  // "\r\n", "\n", "\r", or empty on a last line without one

    TipoRiga tipo = TipoRiga::Altro;
    QString nome;               // section or key name, trimmed
    QString valore;             // key value, trimmed and unquoted
    qsizetype inizioValore = 0; // byte offset of the value in testo (keys)
};

bool Blank(char c);

// A name folded as QString::compare(..., Qt::CaseInsensitive) folds it, code
// point by code point: two names compare equal when their folds are equal.
QString Piega(const QString& s);

struct Documento {
    bool esiste = false;
    Codifica codifica = Codifica::Utf8;
    QByteArray bom;
    QByteArray fineRiga = "\n";
    std::vector<Riga> righe;

    // For reads: the first header of every section name and the first line of
    // every key of those sections (folded names), the names in file order.
    QHash<QString, qsizetype> indiceSezioni;
    QHash<qsizetype, QHash<QString, qsizetype>> indiceChiavi;
    QStringList nomiSezioni;

    void indicizza();

    // The value of the key through the index; nullptr when missing.
    const QString* valore(const QString& sezione, const QString& chiave) const;

    QString decodifica(QByteArrayView b) const;
    bool codifica_(const QString& s, QByteArray& out) const;

    void analizza(Riga& r) const;

    // One past the last line of the section whose header is at `inizio`.
    qsizetype fineSezione(qsizetype inizio) const;
};

// The parsed form of the file's bytes.
void Analizza(const QByteArray& dati, Documento& d);
// The file's bytes again, as they were read but for the lines changed.
QByteArray Bytes(const Documento& d);

} // namespace quarvel::profilo::interno
