#pragma once
// frmLiFo ("Gestione LIFO Articoli"): the yearly LIFO layers of one article
// and, when the article has levels, of one level combination.  The operator
// names the article and its levels in the header area, then "G&estione"
// opens the grid on that article's layers; "&Torna a        Articolo" goes
// back to the header.  Each amount is kept in euro and in lire: typing one
// gives the other with the company's fixed conversion.

#include "listform/FrmLista.h"

#include <QPointer>

class QAction;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

namespace quarvel {

// The years a LIFO layer may have.
inline constexpr int AnnoMinimo = 1900;
inline constexpr int AnnoMassimo = 2199;

namespace testi_lifo {
QString Caption();                          // "Gestione LIFO Articoli"
QString Gestione();                         // "G&estione"
QString TornaArticolo();                    // "&Torna a        Articolo"
QString GestioneLiFo();                     // "G&estione LiFo Articoli"
QString InserireArticolo();                 // "Inserire prima l'articolo"
QString ArticoloValido();                   // "Inserire un articolo valido"
QString LivelloValido();                    // "E' obbligatorio inserire un livello valido"
QString AnnoObbligatorio();                 // "Anno obbligatorio"
QString AnnoNonValido(const QString& anno); // a typed year that is not one, and why
QString Sql();                              // the empty list of the load
QString SqlTesta();                         // the list's columns, up to the FROM
} // namespace testi_lifo

class FrmLiFo final : public FrmLista {
    Q_OBJECT
public:
    FrmLiFo();
    ~FrmLiFo() override;

    void PersColonne() override;

    // ---- Header controls (control arrays by index: 10 article, 20 and 30 levels)
    QLineEdit* txt(int indice) const;
    QLineEdit* txtAppo(int indice) const;
    QLabel* Label1(int indice) const;
    QLabel* Lab(int indice) const;
    QPushButton* comHlp(int indice) const;
    QPushButton* ComGes() const { return m_comGes; }
    QPushButton* ComEsci() const { return m_comEsci; }
    QFrame* PictTesta() const { return m_pictTesta; }

    // ---- Form state ---------------------------------------------------------------
    qint16 mbModoArticolo() const { return m_mbModoArticolo; }
    const QString& msFormatoLire() const { return m_msFormatoLire; }
    const QString& msFormatoEuro() const { return m_msFormatoEuro; }
    const QString& msAutomLiraEuro() const { return m_msAutomLiraEuro; }

    // The button ComGes: opens the layers of the header's article, or goes
    // back to the header.
    void ComGes_Click();

protected:
    QString SqlStandard() const override;
    qint16 ChiaviStandard() const override { return 4; }
    int TopicAiuto() const override { return 22100; }
    void DopoApertura() override;
    // The cell checks and the derived amounts of a committed cell.
    bool DatiValidi(int& piColIndex, bool pbSoloDecod, bool pbAggDati) override;
    void DecodHelp(int, int) override {}
    bool VerifUpdate() override { return true; }

    void BeforeUpdate(int& Cancel) override;
    void ButtonClick(int ColIndex) override;
    void KeyDown(int& KeyCode, int Shift) override;
    void resizeEvent(QResizeEvent* e) override;
    bool eventFilter(QObject* o, QEvent* e) override;

private:
    void CreaTestata();
    void DisponiTestata();
    void AdattaGriglia();
    void NascondiStampa();
    // Reopens the list on sql; false when it failed (the error was shown).
    bool RiapriLista(const QString& sql);
    void ModoArticolo(bool articolo);
    void RifaiLivelli();
    void ArticoloEntrata();
    void ArticoloUscita(Qt::FocusReason motivo);
    void ArticoloTasto(int keyCode, Qt::KeyboardModifiers m);
    void LivelloEntrata(int indice);
    void LivelloUscita(int indice);
    void LivelloTasto(int indice, int keyCode);
    void Ricerca(int indice);
    void Messaggio(const QString& testo);
    bool InErrore(QWidget* w) const;
    // The other currency's cell of a committed amount.
    void Derivato(const QString& campo, const QString& testo);

    QFrame* m_pictTesta = nullptr;
    QLabel* m_label1[3] = {};
    QLineEdit* m_txt[3] = {};
    QLineEdit* m_txtAppo[3] = {};
    QPushButton* m_comHlp[3] = {};
    QLabel* m_lab[3] = {};
    QPushButton* m_comGes = nullptr;
    QPushButton* m_comEsci = nullptr;
    QPointer<QAction> m_stampa;

    qint16 m_mbModoArticolo = -1;
    QString m_msArticoloPrec;
    QString m_msFormatoLire;
    QString m_msFormatoEuro;
    QString m_msAutomLiraEuro;
};

// A new LIFO layers form.
FrmLiFo* CreaFrmLiFo();
// Makes the form known to the form dispatcher as "frmLiFo".
void RegistraFrmLiFo();

} // namespace quarvel
