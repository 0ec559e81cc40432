#pragma once
// The hidden main window that ends the program, the command link to the menu,
// the form dispatcher and the menu's commands.

#include "suite/MenuClient.h"

#include <QPointer>
#include <QString>
#include <QVariant>
#include <QWidget>
#include <memory>

class QLabel;
class QTimer;

namespace quarvel {

// The hidden main window: loaded at start, shown only while closing.
class FrmPrincipale final : public QWidget {
    Q_OBJECT
public:
    FrmPrincipale();
    ~FrmPrincipale() override;

    QLabel* lblChiusura() const { return m_lblChiusura; }
    QTimer* timChiudi() const { return m_timChiudi; }

    // 0 close unconditionally, 1 close only when no other window is left.
    qint16 oiChiudi = 0;
    // Retry interval in milliseconds.
    qint16 oiTmpAttesa = 3000;
    bool obRiprova = true;

    // True once the program has closed (nothing more is tried).
    bool Chiuso() const { return m_chiuso; }
    // True while a closing is under way (its forms are being unloaded).
    bool InChiusura() const { return m_inChiusura; }

    // With -1 tries closing at once, only when no other window is left; with
    // 0 polls every 100 ms until no other window is left.
    void PianificaChiusura(qint16 immediata);
    bool ProvaChiusura(qint16& flag);
    bool ChiudiProgramma();
    bool ScaricaForm(qint16& flag, const QString& captionEsclusa);

    // The tick of timChiudi.
    void timChiudi_Timer();

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    QLabel* m_lblChiusura = nullptr;
    QTimer* m_timChiudi = nullptr;
    bool m_chiuso = false;
    bool m_inChiusura = false;
};

// The command link: holds the menu client so that its commands reach the
// program.  Creating it creates the menu client.
class ScMenuComandiClie final : public IComandiMenu {
public:
    // Throws what the creation of the menu client throws.
    ScMenuComandiClie();
    ~ScMenuComandiClie() override;

    IMenuClient* ogMenuClient() const { return m_client.get(); }
    void setOgMenuClient(std::unique_ptr<IMenuClient> pgMenuClient);
    // Lets go of the client (its destruction is the caller's).
    std::unique_ptr<IMenuClient> RilasciaClient();

    QString UltCom;
    QString UltParam;
    QVariant UltParamVar;

    void EseguiComando(const QString& idMenu, const QString& chiaveFunzione, const QString& comando,
                       const QVariant& parametro, QVariant& risposta) override;

private:
    std::unique_ptr<IMenuClient> m_client;
};

// ---- The objects of the process -------------------------------------------------------

// The hidden main window (nullptr before the start-up loads it).
FrmPrincipale* frmPrincipale();
FrmPrincipale* CaricaFrmPrincipale();
// The command link (nullptr when not created or released).
ScMenuComandiClie* CollegamentoMenu();
ScMenuComandiClie* CreaCollegamentoMenu();

// The windows of the program that count as loaded: the visible top-level
// windows and the hidden main window.
QList<QWidget*> FinestreCaricate();

// ---- Form dispatch and the menu -------------------------------------------------------

void ApriForm(const QString& nome, const QString& chiaveFunzione, const QString& osKeyLancia,
              const QString& osKeySecLancia, const QString& osParamLancia);
// The open instance of a registered form, or nullptr.
QWidget* IstanzaForm(const QString& nome);

void PianificaChiusura(qint16 immediata);
// A data form met a damaged company file and the operator chose to repair it
// now: the program closes its forms as on the menu's "fine" and, once it has
// closed, offers the repair (RecuperaDbDittaDanneggiato) and ends.  A form
// that refuses to close keeps the program open; the repair is then offered
// whenever the program ends.
void ChiudiERipara();
void RilasciaOggetti();
void RilasciaSessione(qint16 rilascia);
void AttivaMenu();
void RitornaAlChiamante(const QString& chiave, const QString& chiaveSec, const QString& parametro);
void MessaggioEChiudi(const QString& testo, int stile = 0, qint16 chiudi = -1);
void EseguiComandoMenu(const QString& idMenu, const QString& chiaveFunzione, const QString& comando,
                       const QVariant& parametro, QVariant& risposta);

// The objects released by RilasciaOggetti whose destruction waits for the
// end of the process (a reply to the menu may still be on its way); called by
// TerminaAvvio.
void DistruggiRilasciati();
void DistruggiPrincipale();

// The texts shown here.
namespace testi_principale {
QString FormInesistente();
QString NonRiescoAChiudere();
QString MenuNonDisponibile();
QString RiparazioneRinviata(const QString& nomeDb);
QString Riparato(const QString& nomeDb);
QString FEInvio(const QVariantList& p);
QString FEAttesa(const QVariantList& p);
QString FEInfo(const QVariantList& p);
} // namespace testi_principale

} // namespace quarvel
