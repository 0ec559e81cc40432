#pragma once
// A small data form that stands for the real ones in the tests of the
// start-up and in the benchmark: it registers under any name, shows what the
// start-up gave it, and behaves as its launch parameter asks:
//   /NOCHIUDI  refuses to close
//   /MODALE    opens a modal window once shown
//   /ALTRA     opens a second window of the program once shown
//   /FALLITA   its load fails
// The same switches in QUARVEL_PROVA_OPZIONI apply to every form of the process.
// With QUARVEL_PROVA_TRACCIA set, it appends to that file one line per event:
//   sessione <name>=<value>...   at load (the session values)
//   mostrata <ms since the epoch> <pid>   when first painted on screen
//   chiusa                       when it unloads

#include "suite/FormDati.h"

#include <QWidget>

namespace quarvel::prova {

class FormProva final : public QWidget, public FormDati {
    Q_OBJECT
public:
    explicit FormProva(const QString& nome);

    QWidget* Finestra() override { return this; }
    qint16 oiLoadOk() const override { return m_loadOk; }
    IListaComandi* ogComlin() override { return nullptr; }
    void TabellaStd(QString& psNomeLin, QString& psTabella) override;
    void PassaA() override;
    void Avvia() override;

    // Reads every row of the query through the data-access component, as a
    // form's own record set does; a failure is reported with the data forms'
    // error reporter.  The rows read, -1 after a failure.
    int Leggi(const QString& sql);

    int avvii = 0;
    int tabelleStd = 0;

protected:
    void closeEvent(QCloseEvent* e) override;
    void paintEvent(QPaintEvent* e) override;

private:
    bool Opzione(const char* nome) const;
    qint16 m_loadOk = 0;
    bool m_dipinta = false;
};

// Registers the test form under "frmProva" and under every name of the
// comma-separated list in QUARVEL_FORME_PROVA.
void RegistraFormProva();

// Appends one line to the trace file (QUARVEL_PROVA_TRACCIA), if any.
void Traccia(const QString& riga);

} // namespace quarvel::prova
