#pragma once
// The search window: the list of a lookup definition's rows that follows what
// the operator types, read a window of rows at a time through the
// list-command component's record set, with the article picture beside it.
//
// One window serves every lookup of the process (the session's FormAiuto);
// esegui() shows it modal for one search.  Keys, in the search box as in the
// list: the arrows and the page keys move in the list, Enter picks, Esc
// closes without a pick, F2, F3 and F4 change the search, F1 does nothing,
// Ctrl+M asks for the menu.  A double click on a row picks it.

#include "Definizioni.h"
#include "suite/ComponenteAiuto.h"

#include <QDialog>
#include <QHash>
#include <QSqlDatabase>
#include <QSqlRecord>
#include <functional>

class QLabel;
class QLineEdit;
class QTableView;
class QGridLayout;

namespace quarvel::listcmd {
class ModelloRighe;
}

namespace quarvel::lookup {

class ParametriNominati : public IParametriAiuto {
public:
    QVariant ovLeggiPar(const QString& nome) const override { return m_v.value(nome.toLower()); }
    void setOvLeggiPar(const QString& nome, const QVariant& valore) override {
        m_v.insert(nome.toLower(), valore);
    }

private:
    QHash<QString, QVariant> m_v;
};

// How the picture is shown.
struct OpzioniImmagine {
    bool mostra = false;
    QString dove = QStringLiteral("D"); // "A" top, "B" bottom, "S" left, else right
    QString colonna;                    // the column holding the file name
    QString cartella;                   // the pictures' folder
    double rapporto = 0;                // height / width of the box; 0: the room's shape
    bool dimReali = true;               // true: real size, else fitted
};

struct Ricerca {
    QSqlDatabase db;
    const Definizione* definizione = nullptr;
    QStringList colonne;
    QStringList condizioni; // besides the typed search
    TipoRicerca tipo = TipoRicerca::Codice;
    QString testo;
    OpzioniImmagine immagine;
    quint32 coloreRicerca = 0xFFFF80; // the search box's background (olColBackOk)
    QHash<QString, QString> titoli;   // column -> the title shown over it (else its name)
};

class FinestraAiuto final : public QDialog, public IFinestraAiuto {
    Q_OBJECT
    Q_PROPERTY(double odRisVid READ odRisVid WRITE setOdRisVid)
    Q_PROPERTY(bool obLockSpostaCurs READ obLockSpostaCurs WRITE setObLockSpostaCurs)
    Q_PROPERTY(int oiSpostaCurs READ oiSpostaCurs WRITE setOiSpostaCurs)
public:
    explicit FinestraAiuto(QWidget* genitore = nullptr);
    ~FinestraAiuto() override;

    // Shows the window for one search: -1 a row picked, 0 closed without a
    // pick, 1 nothing found when "RetZeroRec" is 1 (the window not shown).
    // Raises Errore when the first list cannot be read.
    int esegui(const Ricerca& r, QWidget* form);
    // The code of the row picked last.
    QVariant codiceScelto() const { return m_codice; }
    // The whole row picked (the component reads it by its code).
    void impostaRigaScelta(const QSqlRecord& r) { m_riga = r; }
    // Ctrl+M in the window.
    void impostaRichiestaMenu(std::function<void()> f) { m_menu = std::move(f); }

    // IFinestraAiuto
    QVariant ovLeggiPar(const QString& nome) const override { return m_par.ovLeggiPar(nome); }
    void setOvLeggiPar(const QString& nome, const QVariant& v) override {
        m_par.setOvLeggiPar(nome, v);
    }
    QVariant RetVal(const QString& campo) const override;
    IParametriAiuto* ogComlin() override { return &m_lista; }
    QWidget* widget() override { return this; }

    double odRisVid() const { return m_fattore; }
    void setOdRisVid(double f) { m_fattore = f; }
    bool obLockSpostaCurs() const { return m_bloccaCursore; }
    void setObLockSpostaCurs(bool b) { m_bloccaCursore = b; }
    int oiSpostaCurs() const { return m_spostaCursore; }
    void setOiSpostaCurs(int n) { m_spostaCursore = n; }

    Q_INVOKABLE void ButtonComando(const QString& chiave);
    Q_INVOKABLE void ChiudiAiuto();

    // The parts (tests and screenshots find them by objectName too).
    QLineEdit* ricerca() const { return m_testo; }
    QTableView* griglia() const { return m_vista; }
    QLabel* immagine() const { return m_immagine; }
    QLabel* titolo() const { return m_titolo; }
    listcmd::ModelloRighe* modello() const { return m_modello; }
    TipoRicerca tipo() const { return m_r.tipo; }

protected:
    bool eventFilter(QObject* o, QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    // The list for the text typed; false (the error told) when it fails
    // while the window is open.
    void leggi();
    void testoCambiato(const QString& t);
    bool tasto(QKeyEvent* e);
    void scegli();
    void cambiaTipo(TipoRicerca t);
    void disponi();
    // The titles the search gives its columns, over the names.
    void titola();
    void mostraImmagine();
    QSize stanza() const;

    ParametriNominati m_par;
    ParametriNominati m_lista;
    Ricerca m_r;
    listcmd::ModelloRighe* m_modello;
    QTableView* m_vista;
    QLineEdit* m_testo;
    QLabel* m_titolo;
    QLabel* m_immagine;
    QLabel* m_tasti;
    QGridLayout* m_griglia;
    QFont m_fontBase;
    double m_fattore = 1.0;
    bool m_bloccaCursore = false;
    int m_spostaCursore = 0;
    QVariant m_codice;
    QSqlRecord m_riga;
    std::function<void()> m_menu;
};

} // namespace quarvel::lookup
