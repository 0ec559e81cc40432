#pragma once
// The print on screen: the preview form (FrmVStampa) and the print object
// talk through these two faces.  The print object draws each page on the
// form's page surface and waits in the form's Continua until the operator
// asks for another page or leaves; the form keeps the pages drawn as picture
// files when page keeping is on, so that the operator can go back.

#include <QImage>
#include <QString>
#include <QVariant>
#include <QtGlobal>

namespace quarvel {

class IOpzioniStampa;

// The print object as the preview form sees it.
class IStampaVideo {
public:
    virtual ~IStampaVideo() = default;

    // The options of the print ("PaginaDa", "PaginaA").
    virtual IOpzioniStampa* ogOpzSta() const = 0;
    // A stop request: 2 when the preview is left with "&Esci", 1 at unload.
    virtual void Interrompi(int codice) = 0;
    // The form unloads: the print lets go of its printing-in-progress form
    // and of the preview form.
    virtual void RilasciaFormVideo() = 0;

    QString osBasePagine;    // first part of the page-file name
    QVariant ovBasePagine2;  // second part of the page-file name
    qint16 oiPagCorr = 1;    // page on show
    qint16 oiUltPag = 0;     // last page drawn
    qint16 oiPagRich = 1;    // page asked for next
    bool obEsci = false;     // the preview was left
    bool obMemPag = false;   // pages are kept as files
    qint16 oiUltPagSalv = 0; // last page saved as a file
};

// The preview form as the print object sees it.
class IFrmVStampa {
public:
    virtual ~IFrmVStampa() = default;

    virtual void setOgStampa(IStampaVideo* stampa) = 0;
    virtual IStampaVideo* ogStampa() const = 0;
    // The page surface made ready for a new page of that size in pixels at
    // that resolution (dots per inch), white; the print object draws on it.
    virtual QImage& NuovaPagina(const QSize& pixel, double dpi) = 0;
    // The page drawn is shown, with its number (oiPagCorr).
    virtual void PaginaDisegnata() = 0;
    // The status text ("Stampa Terminata" when the print has finished).
    virtual void setLabMsg(const QString& testo) = 0;
    virtual QString LabMsg() const = 0;
    // The arrows first, previous, next and last enabled or not (with their
    // pictures).
    virtual void AbilitaFrecce(bool primo, bool precedente, bool successivo, bool ultimo) = 0;
    // Waits, keeping the windows alive, until the operator asks for another
    // page or leaves.
    virtual void Continua() = 0;
};

} // namespace quarvel
