#pragma once
// frmCaricaFile ("Caricamento da file"): what a load from a terminal file
// has done so far (lines read, rows written, lines refused, blank lines)
// and, while it waits for a database another connection holds, that it
// waits; with a button
// that stops it between two blocks of lines; what is loaded by then stays.
// The counts form shows it for the whole load and updates it each time the
// load tells its progress, letting the window system run in between, so the
// window stays responsive and the stop button can be pressed.  Closing the
// window asks for the stop too.

#include <QDialog>
#include <QString>

class QLabel;
class QPushButton;

namespace quarvel {

namespace inventario {
struct EsitoCarico;
}

class FrmCaricaFile final : public QDialog {
    Q_OBJECT
public:
    explicit FrmCaricaFile(QWidget* genitore = nullptr);
    ~FrmCaricaFile() override;

    // The file being loaded, named in the window.
    void ImpostaFile(const QString& file);
    // The counts of the load so far.
    void Aggiorna(const inventario::EsitoCarico& esito);
    // The operator asked to stop the load.
    bool Fermato() const { return m_fermato; }

    QLabel* labFile() const { return m_labFile; }
    QLabel* labLette() const { return m_labLette; }
    QLabel* labScritte() const { return m_labScritte; }
    QLabel* labScartate() const { return m_labScartate; }
    QLabel* labVuote() const { return m_labVuote; }
    // Why the load waits (the database busy), hidden while it does not.
    QLabel* labAttesa() const { return m_labAttesa; }
    QPushButton* ComFerma() const { return m_comFerma; }

    void ComFerma_Click();

protected:
    void closeEvent(QCloseEvent* e) override;
    void reject() override;

private:
    QLabel* m_labFile = nullptr;
    QLabel* m_labLette = nullptr;
    QLabel* m_labScritte = nullptr;
    QLabel* m_labScartate = nullptr;
    QLabel* m_labVuote = nullptr;
    QLabel* m_labAttesa = nullptr;
    QPushButton* m_comFerma = nullptr;
    bool m_fermato = false;
};

} // namespace quarvel
