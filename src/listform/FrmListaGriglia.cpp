#include "listform/FrmLista.h"

#include "listform/ProcedureForm.h"
#include "listform/Tastiera.h"
#include "suite/Errore.h"
#include "suite/ListaComandi.h"
#include "suite/Messaggi.h"
#include "suite/Utilita.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QTimer>

namespace quarvel {

namespace {

inline const QString ImpossibileOrdinare = QStringLiteral("Impossibile ordinare su questo campo");

} // namespace

// ---- Grid events ----------------------------------------------------------------------

void FrmLista::BeforeColEdit(int ColIndex, int KeyAscii, int& Cancel) {
    if (IListaComandi* c = m_ogComlin.get())
        c->PrimaEditColonna(ColIndex, KeyAscii, Cancel);
}

void FrmLista::Change() {
    if (IListaComandi* c = m_ogComlin.get())
        c->Modificata();
}

void FrmLista::BeforeColUpdate(int ColIndex, QVariant& OldValue, int& Cancel) {
    if (m_mbInDecod == -1)
        return;
    if (IListaComandi* c = m_ogComlin.get())
        c->PrimaAggColonna(ColIndex, OldValue, Cancel);
    if (Cancel == 0) {
        int indice = ColIndex;
        if (!DatiValidi(indice, false, true))
            Cancel = -1;
    }
    if (Cancel != 0) {
        Cancel = -1;
        m_timVarie->start();
        m_miDifferita = 4;
        m_mbAggOk = 0;
    }
}

void FrmLista::AfterColUpdate(int ColIndex) {
    if (IListaComandi* c = m_ogComlin.get())
        c->DopoAggColonna(ColIndex);
}

void FrmLista::BeforeUpdate(int& Cancel) {
    if (m_mbAggOk == 0) {
        Cancel = -1;
        return;
    }
    if (!VerifUpdate()) {
        Cancel = -1;
        return;
    }
    if (IListaComandi* c = m_ogComlin.get())
        if (!c->PrimaAggRiga(true))
            Cancel = -1;
}

void FrmLista::AfterUpdate() {
    // A new row written changes the count the counter shows.
    if (IListaComandi* c = m_ogComlin.get()) {
        QString primo, secondo;
        c->Contatore(primo, secondo);
        m_txtRiga->setText(secondo + QStringLiteral(" / ") + primo);
    }
}

void FrmLista::RegoleCancellazione(int&) {}

void FrmLista::FineCancellazione(bool) {}

void FrmLista::BeforeDelete(int& Cancel) {
    RegoleCancellazione(Cancel);
    if (Cancel != 0) {
        Cancel = -1;
        return;
    }
    m_cancellazioneInCorso = true;
    try {
        if (m_msComando.isEmpty())
            if (IListaComandi* c = m_ogComlin.get())
                if (c->EseguiPulsante(QStringLiteral("Cancella"), {}, true) == -1)
                    Cancel = -1;
    } catch (const Errore& e) {
        ImpostaErrore(e);
        MostraErrore();
        Cancel = -1;
    }
    if (Cancel != 0) {
        Cancel = -1;
        m_cancellazioneInCorso = false;
        FineCancellazione(false);
    }
}

void FrmLista::AfterDelete() {
    if (m_cancellazioneInCorso) {
        m_cancellazioneInCorso = false;
        FineCancellazione(true);
    }
    m_miDifferita = 1;
    m_timVarie->start();
}

void FrmLista::RowColChange(const QVariant& LastRow, int LastCol) {
    IListaComandi* c = m_ogComlin.get();
    if (!c)
        return;
    QString primo, secondo;
    c->CambioRigaCol(LastRow, LastCol, m_miFlagRigaCol, primo, secondo);
    m_txtRiga->setText(primo + QStringLiteral(" / ") + secondo);
    m_miFlagRigaCol = 0;
}

void FrmLista::HeadClick(int ColIndex) {
    IListaComandi* c = m_ogComlin.get();
    if (!c)
        return;
    int esito = 1;
    try {
        esito = c->Ordina(ColIndex, m_osSql);
    } catch (...) {
        esito = 1;
    }
    if (esito == 1)
        MsgBox(ImpossibileOrdinare, vbOKOnly);
}

void FrmLista::ButtonClick(int ColIndex) {
    m_mbInDecod = -1;
    try {
        DecodHelp(ColIndex, Tasto::F2);
    } catch (const Errore& e) {
        ImpostaErrore(e);
        MostraErrore();
    }
    if (m_dbgRiga)
        m_dbgRiga->widget()->setFocus();
    m_mbInDecod = 0;
}

void FrmLista::Error(int DataError, int& Response) {
    if (m_cancellazioneInCorso) {
        m_cancellazioneInCorso = false;
        FineCancellazione(false);
    }
    if (IListaComandi* c = m_ogComlin.get())
        c->ErroreGriglia(DataError, Response);
}

void FrmLista::SplitChange() {
    IListaComandi* c = m_ogComlin.get();
    if (c && m_dbgRiga && m_dbgRiga->SplitCount() != c->NumSplit())
        c->RifaiSplit();
}

void FrmLista::Decodifica(int colonna, int tasto) {
    m_mbInDecod = -1;
    try {
        DecodHelp(colonna, tasto);
        const int ricorda = m_dbgRiga->Col();
        m_dbgRiga->widget()->setFocus();
        m_dbgRiga->setCol(ricorda == 0 ? 1 : ricorda - 1);
        QCoreApplication::processEvents();
        m_dbgRiga->setCol(ricorda);
    } catch (const Errore& e) {
        ImpostaErrore(e);
        MostraErrore();
    }
    m_mbInDecod = 0;
}

void FrmLista::KeyDown(int& KeyCode, int) {
    m_mbAggOk = -1;
    if (!m_dbgRiga)
        return;
    IColonnaGriglia* col = m_dbgRiga->Colonna(m_dbgRiga->Col());
    switch (KeyCode) {
    case Tasto::Invio:
        // The grid commits the cell and passes to the next one the operator
        // can type into; a refused cell keeps the cursor and is asked once.
        break;
    case Tasto::Canc:
        if (col && m_dbgRiga->SelText() == col->Text()) {
            KeyCode = 0;
            ButtonComando(QStringLiteral("Cancella"));
        }
        break;
    case Tasto::F3:
        Decodifica(m_dbgRiga->Col(), KeyCode);
        break;
    case Tasto::F2:
        if (col && (col->Text().trimmed().isEmpty() || m_dbgRiga->SelText() != col->Text()))
            Decodifica(m_dbgRiga->Col(), KeyCode);
        break;
    default:
        break;
    }
}

} // namespace quarvel
