#pragma once
// The print options object of the component, and how it starts from the
// options stored in the parameter files.
//
// Where the stored options are read.  Each key is looked for in four places,
// the first that holds it wins:
//   1. the section of this print in the file of this terminal (the main file),
//   2. the section of this print in the file common to all terminals,
//   3. "Opzioni Stampa" (the defaults of every print) in this terminal's file,
//   4. "Opzioni Stampa" in the common file.
// So what was saved for one print beats the defaults, and at the same level
// the terminal beats the common file.  A key in none of them leaves the
// member at its default.  Keys and value forms are those the print mode
// dialog saves (OpzioniSalvate.h of the dialogs): "StaVid", "ForzaVert",
// "FileName", ..., integers in decimal, booleans -1/0, separator and
// qualifier as character codes ("DelimStr" -1: none), the zoom divided by
// the preview scaling factor, "PdfNomeAutom" and "InviaEmail" as "S"/"N".

#include "suite/Stampa.h"

#include <QHash>

namespace quarvel::stampa {

inline constexpr char SezioneDefault[] = "Opzioni Stampa";

class OpzioniStampa final : public IOpzioniStampa {
public:
    explicit OpzioniStampa(QString sezione);

    QString osSezione() const override { return m_sezione; }
    QString DescrStampante(const QString& stampante) const override;
    QString DescrFormato(qint16 formato) const override;
    void ApplicaFormatoFile() override;
    QVariant Valore(const QString& chiave, int tipo = 12) const override;
    void setValore(const QString& chiave, const QVariant& valore, int tipo = 12) override;

private:
    QString m_sezione;
    QHash<QString, QVariant> m_valori; // keys folded to lower case
};

// Fills the options from the stored ones (order above).  fileTerminale and
// fileComune may be empty or the same file; fattoreStaVid is the session's
// preview scaling factor.
void CaricaOpzioni(IOpzioniStampa& opzioni, const QString& fileTerminale, const QString& fileComune,
                   double fattoreStaVid);

// Registers the component's factories (suite/Stampa.h).
void InstallaStampa();

} // namespace quarvel::stampa
