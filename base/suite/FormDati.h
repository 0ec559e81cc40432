#pragma once
// What the form dispatcher (ApriForm) needs of a data form, and the registry
// through which the data forms make themselves known by name.
//
// A data form is a top-level QWidget that also implements FormDati.  Its
// objectName is the name it is opened by ("frmGestInv"), its windowTitle its
// caption.  The dispatcher keeps one instance per name: it creates the form
// through the registered factory when none is open, sets the public variables
// below, calls TabellaStd and then Avvia, the form's own start code (load and
// show).  A form that unloads is destroyed (Qt::WA_DeleteOnClose, set by the
// dispatcher), so the next request builds a fresh one.

#include <QString>
#include <QtGlobal>
#include <functional>

class QWidget;

namespace quarvel {

class IListaComandi;

class FormDati {
public:
    virtual ~FormDati();

    // The window itself.
    virtual QWidget* Finestra() = 0;

    // Public variables set by whoever opens the form.
    QString osKeyLancia;
    QString osKeySecLancia;
    QString osParam;
    QString osParamLancia;
    QString osKeyAttivazione;
    QString osKeySec;

    // 1 the list may be changed, 0 read only.  Forms pass a change on to
    // their list-command object.
    virtual qint16 oiAbilRW() const { return m_oiAbilRW; }
    virtual void setOiAbilRW(qint16 v) { m_oiAbilRW = v; }

    // 0 before load, -1 while loading and after a failed load, 1 loaded.
    virtual qint16 oiLoadOk() const = 0;

    // The form's list-command object; nullptr when it has none.
    virtual IListaComandi* ogComlin() = 0;

    // Sets the form's standard SQL and key count.
    virtual void TabellaStd(QString& psNomeLin, QString& psTabella) = 0;

    // Answer to the menu's "preppassaa": RegistraFinestra (caption,
    // osKeyAttivazione, osKeySec) on the menu client.
    virtual void PassaA() = 0;

    // The form's start code: loads (when not loaded yet) and shows itself.
    virtual void Avvia() = 0;

private:
    qint16 m_oiAbilRW = 1;
};

// The factory of one data form (the new form is a top-level window with no
// parent; the dispatcher owns it through WA_DeleteOnClose).
using FabbricaForm = std::function<FormDati*()>;

// Makes a form known under its name (compared without regard to case).  A
// second registration of the same name replaces the first.
void RegistraForm(const QString& nome, FabbricaForm fabbrica);
// Forgets every registered form (tests).
void AzzeraRegistroForm();
// True when a form of that name is registered.
bool FormRegistrata(const QString& nome);

// A new instance of the form registered under that name; nullptr when none is.
FormDati* CreaFormRegistrata(const QString& nome);

// The shared print windows handed to every form's list-command object (the
// list print dialog and the printing-in-progress window).  The printing part
// registers their providers; until then nothing is handed.
void RegistraFinestreStampa(std::function<QWidget*()> comlinStampa,
                            std::function<QWidget*()> stampaInCorso);
// The registered print windows; nullptr when none is registered.
QWidget* FinestraComlinStampa();
QWidget* FinestraStampaInCorso();

// What a data form asks of the program around it when it closes or hands
// control back: the dispatcher of the start-up installs the real one.
class IProgramma {
public:
    virtual ~IProgramma();
    // 0: close the program once no other window is left; -1: try at once.
    virtual void PianificaChiusura(qint16 immediata) = 0;
    // Brings the menu forward.
    virtual void AttivaMenu() = 0;
    // Gives control back to the function that launched the closing form.
    virtual void RitornaAlChiamante(const QString& chiave, const QString& chiaveSec,
                                    const QString& parametro) = 0;
    // The company file is damaged and the operator chose to repair it now:
    // the program closes its data forms as the menu's "fine" does, offers the
    // repair once no form holds the file any more, and ends.  Called from
    // inside a form's own code: the closing itself runs later, from the
    // event loop.
    virtual void ChiudiERipara() = 0;
};

// The program's services; nullptr until the start-up installs them (a form
// opened by a test then simply does not hand control anywhere).
IProgramma* Programma();
void ImpostaProgramma(IProgramma* programma);

// After an error was shown to the operator (by a data form or by a grid):
// when it is a damaged company file (error 3343 on a database file), once a
// session the operator is asked whether to close the program and repair the
// file now (Annulla, the default, leaves everything as it is); Ok hands over
// to the program (IProgramma::ChiudiERipara).  The question waits for the
// operator: nothing of the caller's state is to be used after it.
void ChiediRiparazioneDopoErrore(int numeroErrore);
// The question asked.
QString TestoChiudiERipara(const QString& nomeDb);

} // namespace quarvel
