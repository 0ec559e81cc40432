#pragma once
// The print object: takes a list and its print options and sends it to the
// target.  0 printer: the pages drawn with QPrinter on the CUPS queue of the
// options (the default queue when they name none), in the orientation asked
// (portrait when forced), on the paper and bin of the options' codes, for the
// page range "PaginaDa" to "PaginaA".
// With "PdfAutomAbil" the same pages go into a PDF file instead (Pdf.h),
// whose name is left in the options' "PdfFileScritto"; it is opened when
// "PdfAutomImpPar" says so, and with "EmailInvia" it is mailed (Email.h)
// once the printing-in-progress form has put the message data in the
// options (ChiediEmailLogPwd).  2 file: delimited text or the workbook
// (ScritturaFile.h).  After a file or a PDF is written the operator is told
// where it is and how many rows it holds.  3 fixed-length text: to the file named, or, when the
// options say a printer, sent raw to that queue (or written to that device
// when it is a path).  1 screen: the pages drawn one at a time on the
// preview form (FrmVStampa), at the zoom of the options, each when the
// operator asks for it.  While a print runs the program-wide print flag is
// set.

#include "Impaginatore.h"
#include "suite/Stampa.h"
#include "suite/VistaStampa.h"

#include <QPointer>
#include <QWidget>
#include <atomic>

class QPrinter;

namespace quarvel::stampa {

class Stampa final : public IStampa, public IStampaVideo {
public:
    Stampa() = default;
    // The preview may outlive the print (the form that printed closes):
    // it is told the print is gone.
    ~Stampa() override;
    Stampa(const Stampa&) = delete;
    Stampa& operator=(const Stampa&) = delete;
    void setOfrmVStampa(QWidget* form) override { m_frmVStampa = form; }
    void setOfrmStampaInCorso(IStampaInCorso* form) override { m_inCorso = form; }
    void setOgPrtStam(const QString& stampante) override { m_stampante = stampante; }
    void setOgOpzSta(IOpzioniStampa* opzioni) override { m_opzioni = opzioni; }
    IOpzioniStampa* ogOpzSta() const override { return m_opzioni; }

    qint64 StampaLista(IListaLettura& lista, const RichiestaStampaLista& richiesta) override;
    void Interrompi(int codice) override {
        if (codice != 0)
            m_interrotta = true;
    }
    bool Interrotta() const override { return m_interrotta; }
    void RilasciaFormVideo() override {
        m_inCorso = nullptr;
        m_frmVStampa = nullptr;
    }

    // The QPrinter of a print on the printer target, set up from the options
    // (queue, orientation, paper, bin), for the caller to draw on.  Options
    // that name no printer print on the current one (ogPrtStam), or on the
    // default one when none is current.
    static void PreparaStampante(QPrinter& stampante, const IOpzioniStampa& opzioni,
                                 qint16 orientamento, const QString& titolo,
                                 const QString& corrente = QString());

private:
    qint64 suStampante(IListaLettura& lista, const QVector<int>& colonne,
                       const RichiestaStampaLista& richiesta);
    qint64 suPdf(IListaLettura& lista, const QVector<int>& colonne,
                 const RichiestaStampaLista& richiesta);
    qint64 suVideo(IListaLettura& lista, const QVector<int>& colonne,
                   const RichiestaStampaLista& richiesta);
    qint64 suFissa(IListaLettura& lista, const QVector<int>& colonne, const QString& titolo);
    bool avanti(int pagina);

    QPointer<QWidget> m_frmVStampa;
    IStampaInCorso* m_inCorso = nullptr;
    QString m_stampante;
    IOpzioniStampa* m_opzioni = nullptr;
    std::atomic<bool> m_interrotta{false};
};

} // namespace quarvel::stampa
