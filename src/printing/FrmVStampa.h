#pragma once
// FrmVStampa ("Visualizzazione Stampa"): a print on screen, one page at a
// time.  The print object draws each page on PicSec and waits in Continua;
// the arrows go to the first, previous, next and last page, "Pag." shows the
// page on show with three digits.  With page keeping each page drawn is saved,
// before another one is shown, as a picture file named after the print's
// base name with the minutes and seconds of the start and the page number
// (page 12 of the base name B is the file B.012); only then can the operator
// go back.  The page files live in a folder of the form's own, created anew
// for each print under the system's temporary folder, readable by the user
// alone (0700) and named "quarvel-pagine-<process>-<random>"; the folder
// goes with its pages when the next print starts and when the form unloads,
// which is refused while the print runs.  The folders a previous run left
// behind when it ended without unloading the form are removed at the first
// preview of a run (PulisciPagineAbbandonate).

#include "suite/VistaStampa.h"

#include <QImage>
#include <QPixmap>
#include <QWidget>
#include <array>
#include <memory>

class QTemporaryDir;
class QLabel;
class QPushButton;
class QScrollBar;
class QToolButton;

namespace quarvel {

// The page surface: the page drawn by the print object, shown at its size.
class SuperficiePagina final : public QWidget {
    Q_OBJECT
public:
    explicit SuperficiePagina(QWidget* genitore = nullptr);
    QImage& Immagine() { return m_img; }
    void setImmagine(QImage img);
    void Pulisci();

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    QImage m_img;
};

class FrmVStampa final : public QWidget, public IFrmVStampa {
    Q_OBJECT
public:
    explicit FrmVStampa(QWidget* genitore = nullptr);
    ~FrmVStampa() override;

    // IFrmVStampa
    void setOgStampa(IStampaVideo* stampa) override;
    IStampaVideo* ogStampa() const override { return m_stampa; }
    QImage& NuovaPagina(const QSize& pixel, double dpi) override;
    void PaginaDisegnata() override;
    void setLabMsg(const QString& testo) override;
    QString LabMsg() const override;
    void AbilitaFrecce(bool primo, bool precedente, bool successivo, bool ultimo) override;
    void Continua() override;

    // The arrows' pictures: each enabled arrow i (1 to 4) shows picture i of
    // ImlFrecce, a disabled one picture i + 4.
    void SistImgFrecce();
    // Arrow i: 1 first, 2 previous, 3 next, 4 last page.
    void ImaMuovi_Click(int i);
    void ComEsci_Click();
    // The viewport, the page and the scroll bars laid out for the window's
    // size.
    void Dimensiona();

    QString msFilePagine() const { return m_filePagine; }
    // The file of page n.
    QString FilePagina(int n) const;

    // The controls, by their names.
    QToolButton* imaMuovi(int i) const { return m_frecce[size_t(i - 1)]; }
    QLabel* labPage() const { return m_labPage; }
    QLabel* labMsg() const { return m_labMsg; }
    QPushButton* ComEsci() const { return m_comEsci; }
    QWidget* PicTasti() const { return m_picTasti; }
    QWidget* PicPrinc() const { return m_picPrinc; }
    SuperficiePagina* PicSec() const { return m_picSec; }
    QScrollBar* hscPosOri() const { return m_hsc; }
    QScrollBar* vscPosVert() const { return m_vsc; }
    // The eight pictures of the arrows (1 to 4 enabled, 5 to 8 greyed).
    const QPixmap& ImlFrecce(int i) const { return m_imlFrecce[size_t(i - 1)]; }

protected:
    void closeEvent(QCloseEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    void caricaPagina(int n);
    void cancellaFilePagine();
    void mostraNumero(int n);
    void memoriaEsaurita();
    int inPixel(int twip) const;
    int inTwip(double pixel) const;

    IStampaVideo* m_stampa = nullptr;
    std::unique_ptr<QTemporaryDir> m_cartellaPagine;
    QString m_filePagine;
    int m_pagDa = 0;
    int m_pagA = 0;
    bool m_avanti = false;
    bool m_esci = false;

    QWidget* m_picTasti = nullptr;
    QPushButton* m_comEsci = nullptr;
    std::array<QToolButton*, 4> m_frecce{};
    QLabel* m_labMsg = nullptr;
    QLabel* m_labPage = nullptr;
    QWidget* m_picPrinc = nullptr;
    SuperficiePagina* m_picSec = nullptr;
    QScrollBar* m_hsc = nullptr;
    QScrollBar* m_vsc = nullptr;
    std::array<QPixmap, 8> m_imlFrecce;
};

// The program's preview form, created when missing (it deletes itself when
// it unloads).
FrmVStampa* FinestraVStampa();

// Removes from cartella (the system's temporary folder when empty) the page
// folders of previews whose process is gone: only folders (never a link),
// of this user, named as this program names them.  A folder of a running
// program is left alone.
void PulisciPagineAbbandonate(const QString& cartella = QString());

} // namespace quarvel
