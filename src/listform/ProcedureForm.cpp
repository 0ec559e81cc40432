#include "listform/ProcedureForm.h"

#include "database/FrmConn.h"
#include "desktop/Scala.h"
#include "suite/ComponenteDati.h"
#include "suite/Errore.h"
#include "suite/FormDati.h"
#include "suite/ListaComandi.h"
#include "suite/MenuClient.h"
#include "suite/Messaggi.h"
#include "suite/Sessione.h"
#include "suite/Utilita.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>

namespace quarvel {

namespace {

// &HBBGGRR as a colour.
QColor ColoreDa(quint32 bgr) {
    return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}

} // namespace

void PreparaForm(QWidget* form, int flag, const QString& esclusi) {
    if (!form)
        return;
    const ContestoSessione& s = Sessione();
    auto* dati = dynamic_cast<FormDati*>(form);

    // 1. The configured background colour; excluded controls keep the system one.
    if (s.ColoreForm != 0) {
        try {
            const QColor colore = ColoreDa(s.ColoreForm);
            QPalette p = form->palette();
            p.setColor(QPalette::Window, colore);
            form->setPalette(p);
            form->setAutoFillBackground(true);
            const QString lista = esclusi.toLower();
            for (QWidget* w : form->findChildren<QWidget*>()) {
                const QString nome = w->objectName();
                if (nome.isEmpty() || !lista.contains(nome.toLower() + QLatin1Char(',')))
                    continue;
                QPalette q = w->palette();
                q.setColor(QPalette::Window, QApplication::palette().color(QPalette::Window));
                w->setPalette(q);
            }
        } catch (...) {
            // Colours are a courtesy of the preparation: a control that
            // refuses them keeps its own and the form still opens.
        }
    }

    // 2. The loading notice.
    if (!(flag & FlagPrepara::NoAvviso)) {
        try {
            // the operator reads which form is coming
            frmConn()->MostraConnessione(QString::fromLatin1(CaricamentoMaschera),
                                         QString::fromLatin1(CaricamentoMaschera) +
                                             QLatin1Char(' ') + form->windowTitle(),
                                         true);
        } catch (...) {
            // The loading notice only tells the operator to wait: without it
            // the form loads all the same.
        }
    }

    // 3. Labels show "&" as it is: no label is a mnemonic for a control.
    for (QLabel* l : form->findChildren<QLabel*>())
        l->setBuddy(nullptr);

    // 4. The company in the caption.
    form->setWindowTitle(form->windowTitle() + QStringLiteral(" - ") + s.DescrizioneDitta);

    // 5. Key preview is the form's own (AnteprimaTasti).

    // 6. Read only.
    if ((flag & FlagPrepara::ControllaRO) && dati) {
        const bool ro = Utilita()
                            .ValoreOpzione(dati->osParam, QStringLiteral("RO"))
                            .compare(QLatin1String("/RO"), Qt::CaseInsensitive) == 0;
        dati->setOiAbilRW(ro ? 0 : 1);
    }

    // 7. Scaling: the list-command object lays the list out itself.
    if (flag & FlagPrepara::ScalaVideo) {
        try {
            const bool comlin = flag & FlagPrepara::ScalaComlin;
            double fattore = -2;
            const double f = FattoreFinestra(form, comlin, fattore, {});
            form->setProperty("odRisVidVal", f);
            if (f > 0 && comlin && dati)
                if (IListaComandi* c = dati->ogComlin())
                    c->setOvLeggiPar(QStringLiteral("RisVid"), f);
        } catch (...) {
            // Scaling ignores its errors step by step: a form that cannot be
            // scaled opens at its designed size.
        }
    }
}

void FinePreparaForm(QWidget* form, int flag) {
    if (!form)
        return;
    bool ok = false;
    const int stato = Sessione().StatoFinestra.trimmed().toInt(&ok);
    if (ok && stato == 2)
        form->setWindowState(form->windowState() | Qt::WindowMaximized);
    else if (ok && stato == 1)
        form->setWindowState(form->windowState() | Qt::WindowMinimized);

    if (!(flag & FlagPrepara::NoAvviso)) {
        try {
            ScaricaFrmConn();
        } catch (...) {
            // The notice window may already be gone: nothing to take down.
        }
    }

    if ((flag & FlagPrepara::ScalaVideo) && (flag & FlagPrepara::ScalaComlin)) {
        const double f = form->property("odRisVidVal").toDouble();
        auto* dati = dynamic_cast<FormDati*>(form);
        if (f > 0 && dati)
            if (IListaComandi* c = dati->ogComlin())
                c->setOvLeggiPar(QStringLiteral("RisVidFatta"), true);
    }
}

void ChiusuraForm(QWidget* form, bool tornaAlChiamante) {
    auto* dati = dynamic_cast<FormDati*>(form);
    ContestoSessione& s = Sessione();
    IProgramma* programma = Programma();
    if (tornaAlChiamante && !s.ChiusuraDaMenu && dati) {
        if (Utilita().EVuoto(dati->osKeyLancia)) {
            if (programma)
                programma->AttivaMenu();
        } else if (programma) {
            try {
                programma->RitornaAlChiamante(dati->osKeyLancia, dati->osKeySecLancia,
                                              dati->osParamLancia);
            } catch (const Errore& e) {
                ImpostaErrore(e);
                MostraErrore();
            }
        }
    }
    CancellaErrore();
    if (programma)
        programma->PianificaChiusura(0);
    try {
        if (dati && !Utilita().EVuoto(dati->osKeySec) && s.MenuClient)
            s.MenuClient->FineFunzione(dati->osKeySec);
    } catch (...) {
        // The menu may have closed first: the form closes all the same and
        // there is no one left to tell.
    }
}

QString TestoMostraErrore(std::optional<QString> testo, std::optional<QString> numero,
                          const QString& titolo, const QString& coda) {
    const ErroreCorrente& e = Err();
    if (!testo) {
        testo = e.descrizione;
        if (!e.sorgente.isEmpty())
            *testo += QStringLiteral(" - ") + e.sorgente;
    }
    if (!numero)
        numero = QString::number(e.numero);
    return titolo + QStringLiteral("Errore(") + *numero + QStringLiteral("): ") + *testo + coda;
}

void MostraErrore(std::optional<QString> testo, std::optional<QString> numero,
                  const QString& titolo, const QString& coda) {
    const int numeroErrore = numero ? numero->trimmed().toInt() : Err().numero;
    const QString messaggio = TestoMostraErrore(std::move(testo), std::move(numero), titolo, coda);
    bool mostrato = false;
    if (IMenuClient* m = Sessione().MenuClient) {
        try {
            m->InviaComando(QStringLiteral("MsgBox"), QStringLiteral("Tutti"), messaggio);
            mostrato = true;
        } catch (...) {
            // The menu could not show it: the message box below does.
        }
    }
    // Without the menu the operator still learns of the error.
    if (!mostrato)
        MsgBox(messaggio, vbOKOnly | vbExclamation);
    try {
        ScaricaFrmConn();
    } catch (...) {
        // The notice window may already be gone: nothing to take down.
    }
    ChiediRiparazioneDopoErrore(numeroErrore);
}

} // namespace quarvel
