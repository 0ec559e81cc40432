#pragma once
// frmVStaPar ("Grandezza visualizzazione stampe"): the zoom of the print on
// screen, with a sample text drawn at that zoom, and page keeping
// ("Memorizza pagine").  A double click on the zoom figure goes back to 67
// with page keeping on.

#include <QDialog>

class QCheckBox;
class QLabel;
class QPushButton;
class QScrollBar;

namespace quarvel {

class IOpzioniStampa;

// The sample text at the zoom: Arial 10 times the zoom / 100.
class ProvaCaratteri final : public QWidget {
    Q_OBJECT
public:
    explicit ProvaCaratteri(QWidget* genitore = nullptr);
    void setProporzione(int percento);
    int proporzione() const { return m_percento; }
    QFont Carattere() const;

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    int m_percento = 100;
};

class FrmVStaPar final : public QDialog {
    Q_OBJECT
public:
    explicit FrmVStaPar(QWidget* genitore = nullptr);

    QScrollBar* VsbProp() const { return m_vsbProp; }
    QCheckBox* CheMemVid() const { return m_cheMemVid; }
    QLabel* LabProp() const { return m_labProp; }
    ProvaCaratteri* PicProva() const { return m_picProva; }
    QPushButton* CmdOk() const { return m_cmdOk; }

    // The zoom range offered.
    static constexpr int ZoomMinimo = 20;
    static constexpr int ZoomMassimo = 300;

protected:
    bool eventFilter(QObject* o, QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    QScrollBar* m_vsbProp = nullptr;
    QCheckBox* m_cheMemVid = nullptr;
    QLabel* m_labProp = nullptr;
    ProvaCaratteri* m_picProva = nullptr;
    QPushButton* m_cmdOk = nullptr;
};

// "Cambia" of the screen options: the dialog opened on the options' zoom
// (ofFatt, 0 taken as 1.0, divided by the preview's own scale
// FattoreStaVid when there is one) and page keeping; on "OK" both written
// back with obFlagVideo.  False when the operator closed it otherwise.
bool CambiaOpzioniVideo(IOpzioniStampa& opzioni, QWidget* genitore = nullptr);

} // namespace quarvel
