#pragma once
// The connection window: a small window on screen while the database is
// being opened ("Connessione al database").  One instance at a time, loaded
// on first use through frmConn(); when it unloads, the reference is cleared
// and the next use builds a fresh window.

#include <QWidget>

class QLabel;
class QLineEdit;

namespace quarvel {

class FrmConn final : public QWidget {
    Q_OBJECT
public:
    // Width and height of the window, in pixels.
    static constexpr int Larghezza = 440;
    static constexpr int Altezza = 136;

    ~FrmConn() override;

    QLineEdit* txtNomeDb() const { return m_txtNomeDb; }
    QLabel* imgLogo() const { return m_imgLogo; }
    QLabel* imgOracle() const { return m_imgOracle; }
    QLabel* imgAccess() const { return m_imgAccess; }
    QLabel* labTitolo() const { return m_labTitolo; }
    QLabel* labVersione() const { return m_labVersione; }
    QLabel* LabDataVer() const { return m_LabDataVer; }

    // Shows the window (not modal) with the caption, keeps the database name,
    // and repaints it at once: the opening that follows holds the event loop.
    // The text box shows its text only when mostraTesto is true (the name of
    // a form being loaded); a connection text may hold a password and stays
    // hidden.
    void MostraConnessione(const QString& caption, const QString& nomeDb, bool mostraTesto = false);

private:
    friend FrmConn* frmConn();
    FrmConn();
    void Centra();

    QLineEdit* m_txtNomeDb = nullptr;
    QLabel* m_imgLogo = nullptr;
    QLabel* m_imgOracle = nullptr;
    QLabel* m_imgAccess = nullptr;
    QLabel* m_labTitolo = nullptr;
    QLabel* m_labVersione = nullptr;
    QLabel* m_LabDataVer = nullptr;
};

// The window, loaded when it is not.
FrmConn* frmConn();
// The window when it is loaded, else nullptr.
FrmConn* frmConnSeCaricata();
// Unloads the window when it is loaded.
void ScaricaFrmConn();

} // namespace quarvel
