#pragma once
// The grid of the data forms: a QTableView over ModelloRighe that raises the
// bound grid's events (suite/GrigliaDati.h) in the bound grid's order.  The
// grid keeps the editing cycle itself: it opens its own cell editor, decides
// when a cell or a row is left, and refuses a move when a handler cancels.
//
// Its jobs, a file each: the view, its columns, painting and scaling
// (Griglia.cpp); the columns and the data control as the forms see them
// (ColonneGriglia.cpp); the editing cycle (GrigliaModifica.cpp); the keys and
// the mouse (GrigliaTasti.cpp).  The record set knows nothing of the grid: it
// tells it of a list moved or a read failed through its signals.

#include "listcmd/ModelloRighe.h"
#include "suite/GrigliaDati.h"
#include "suite/ListaLettura.h"

#include <QPointer>
#include <QTableView>
#include <memory>
#include <vector>

#include <QLineEdit>

namespace quarvel::listcmd {

class Griglia;

class ColonnaGriglia final : public IColonnaGriglia {
public:
    ColonnaGriglia(Griglia* g, int i) : m_g(g), m_i(i) {}
    QString DataField() const override;
    int ColIndex() const override { return m_i; }
    QString Caption() const override;
    void setCaption(const QString& testo) override;
    int Width() const override;
    void setWidth(int twips) override;
    bool Locked() const override;
    void setLocked(bool bloccata) override;
    bool Visible() const override;
    void setVisible(bool visibile) override;
    bool Button() const override;
    void setButton(bool pulsante) override;
    QString NumberFormat() const override;
    void setNumberFormat(const QString& maschera) override;
    QVariant Value() const override;
    void setValue(const QVariant& valore) override;
    QString Text() const override;
    void setText(const QString& testo) override;
    bool DataChanged() const override;

private:
    Griglia* m_g;
    int m_i;
};

class DatiRiga final : public IDatiRiga {
public:
    explicit DatiRiga(Griglia* g) : m_g(g) {}
    QString DatabaseName() const override { return m_nomeDb; }
    void setDatabaseName(const QString& nome) override { m_nomeDb = nome; }
    QString RecordSource() const override;
    void setRecordSource(const QString& sql) override;
    InfoCampo Campo(const QString& nome) const override;
    qint64 RecordCount() const override;

private:
    Griglia* m_g;
    QString m_nomeDb;
};

class Griglia final : public QTableView, public IGrigliaDati {
    Q_OBJECT
public:
    explicit Griglia(QWidget* genitore = nullptr);
    ~Griglia() override;

    ModelloRighe* modello() const { return m_modello; }
    // The list of the grid, read only.
    IListaLettura* lista() { return m_lista.get(); }
    // Opens the list on a database (Access-dialect SQL); raises Errore.
    void apri(const QSqlDatabase& db, const QString& sql);

    // IGrigliaDati
    QWidget* widget() override { return this; }
    void ImpostaEventi(EventiGriglia* eventi) override;
    IDatiRiga* Dati() override { return &m_dati; }
    int NumeroColonne() const override { return m_modello->numeroColonne(); }
    IColonnaGriglia* Colonna(int indice) override;
    IColonnaGriglia* Colonna(const QString& campo) override;
    int Col() const override;
    void setCol(int colonna) override;
    int Row() const override;
    void setRow(int riga) override;
    int LeftCol() const override;
    void setLeftCol(int colonna) override;
    int VisibleRows() const override;
    bool EditActive() const override { return !m_editor.isNull(); }
    void setEditActive(bool attiva) override;
    QString SelText() const override;
    void setSelText(const QString& testo) override;
    int SelStart() const override;
    void setSelStart(int inizio) override;
    int SelLength() const override;
    void setSelLength(int lunghezza) override;
    QVariant Bookmark() const override;
    void setBookmark(const QVariant& segnalibro) override;
    bool AllowUpdate() const override { return m_permettiModifica; }
    void setAllowUpdate(bool si) override;
    bool AllowAddNew() const override { return m_permettiAggiunta; }
    void setAllowAddNew(bool si) override;
    bool AllowDelete() const override { return m_permettiCancella; }
    void setAllowDelete(bool si) override { m_permettiCancella = si; }
    bool DataChanged() const override;
    bool AddNewMode() const override;
    bool Update() override;
    void CancelUpdate() override;
    bool Delete() override;
    void Refresh() override;
    int SplitCount() const override { return m_colonneFisse > 0 ? 2 : 1; }
    Errore UltimoErrore() const override { return m_ultimoErrore; }

    // Frozen leading columns (a split of their own).
    void setColonneFisse(int n);
    int colonneFisse() const { return m_colonneFisse; }
    // Screen factor applied to fonts and widths.
    void setFattoreScala(double f);
    double fattoreScala() const { return m_fattore; }

    // Column properties kept by the grid.
    struct PropColonna {
        QString titolo;
        int twips = 1440;
        bool bloccata = false;
        bool visibile = true;
        bool pulsante = false;
        QString formato;
    };
    PropColonna& prop(int i);
    void applicaColonna(int i);
    // Value and text of the current row's cell, with the editor.
    QVariant valoreCella(int col) const;
    QString testoCella(int col) const;
    void impostaValoreCella(int col, const QVariant& v);
    void impostaTestoCella(int col, const QString& t);
    bool cellaCambiata(int col) const;
    // Where the cell button of the current cell is drawn.
    QRect rettangoloPulsante(const QModelIndex& i) const;
    bool rigaSelezionata() const { return m_rigaSelezionata; }
    // Goes to the empty new-row line and opens a cell of it.
    bool nuovaRiga(int colonna);

    // Called by the selection model before any move; false refuses it.
    bool consentiSpostamento(const QModelIndex& da, const QModelIndex& a);
    // Commits the cell being typed into; false when refused.
    bool confermaCella();
    // Moves without events (after a reset).
    void posizionaSilenzioso(int riga, int colonna);
    // A read of the list failed (a window, a search, the last rows): the
    // Error event, then the message unless the handler took it over.
    void erroreLettura(const Errore& e);

signals:
    // The cursor moved (after RowColChange); the list-command object follows.
    void posizioneCambiata();
    void rigaModificata();
    void listaRiletta();

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void keyReleaseEvent(QKeyEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    bool eventFilter(QObject* o, QEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void scrollContentsBy(int dx, int dy) override;
    void contextMenuEvent(QContextMenuEvent* e) override;
    void changeEvent(QEvent* e) override;

private:
    bool iniziaModifica(int keyAscii, const QString& testo, bool sostituisci);
    void chiudiEditor();
    bool scriviRiga();
    void annullaCella();
    bool tastoEditor(QKeyEvent* e);
    // Escape on the grid: the row being edited is cancelled.
    void annullaRigaDaTastiera();
    // A character typed on the grid (not into the editor): the KeyPress
    // event, then the cell editor opened with it.
    void carattereDigitato(int ascii);
    bool muovi(int dRighe, int dColonne);
    // Enter: the cell is committed and the cursor passes to the next cell
    // that can be typed into (verso -1: the previous one).
    bool invio(int verso);
    bool cellaScrivibile(int c) const;
    // The cursor stands on a saved row, not being edited, where the grid put
    // it (not the operator): a key typed there must not change the row.
    bool rigaNonScelta() const;
    void mostraErrore(const Errore& e);
    void aggiornaFisse();
    int larghezzaPixel(int twips) const;
    // The font used against the original screens' font (average letter).
    double rapportoCarattere() const;
    // The width a column needs to show its whole caption and the sort arrow.
    int larghezzaTitolo(const QString& titolo) const;
    void menuColonna(const QPoint& dove);
    bool invioOltreRigaNuova();
    void rinnovaColonne();
    // The list moved under the rows read (others added or deleted rows): it
    // is read again, the cursor staying on its row.
    void riallinea();

    ModelloRighe* m_modello;
    std::unique_ptr<IListaLettura> m_lista;
    DatiRiga m_dati;
    EventiGriglia m_nessuno;
    EventiGriglia* m_ev = &m_nessuno;
    std::vector<std::unique_ptr<ColonnaGriglia>> m_oggettiColonne;
    QVector<PropColonna> m_prop;
    QStringList m_nomiColonne;
    QPointer<QLineEdit> m_editor;
    QPersistentModelIndex m_indiceEditor;
    QString m_testoIniziale;
    bool m_cellaCambiata = false;
    int m_colModifica = -1;
    bool m_permettiModifica = true;
    bool m_permettiAggiunta = true;
    bool m_permettiCancella = true;
    bool m_silenzio = false;
    bool m_rigaSelezionata = false;
    // The grid placed the cursor (list opened or read again, row deleted);
    // any move of the operator's, or of the form's, clears it.
    bool m_postoDallaGriglia = false;
    int m_colonneFisse = 0;
    double m_fattore = 1.0;
    QTableView* m_vistaFisse = nullptr;
    Errore m_ultimoErrore{0, QString()};
};

} // namespace quarvel::listcmd
