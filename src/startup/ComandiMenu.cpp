// The commands the menu sends to the program, and the texts the program
// shows the operator about them and about its closing.

#include "startup/Principale.h"

#include "database/Connessione.h"
#include "database/FrmConn.h"
#include "desktop/Scala.h"
#include "desktop/ServiziSistema.h"
#include "startup/Avvio.h"
#include "startup/PrincipaleInterno.h"
#include "suite/ComponenteDati.h"
#include "suite/Errore.h"
#include "suite/FormDati.h"
#include "suite/ListaComandi.h"
#include "suite/Messaggi.h"
#include "suite/Sessione.h"
#include "suite/Utilita.h"

#include <QApplication>
#include <QTimer>

namespace quarvel {

namespace {

const QString CrLf = QStringLiteral("\r\n");

bool Uguale(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// A number of the menu's parameter arrays: numbers as they are, texts in the
// operator's format.
double Numero(const QVariant& v) {
    if (!v.isValid() || v.isNull())
        return 0;
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Bool:
        return v.toDouble();
    default:
        return Utilita().TestoInNumero(v.toString());
    }
}

// What a menu command receives: the function's key, the parameter and the
// place for the reply.
struct ComandoMenu {
    const QString& chiaveFunzione;
    const QVariant& parametro;
    QVariant& risposta;
};

void ComandoFine(ComandoMenu& c) {
    ContestoSessione& s = Sessione();
    s.ChiusuraDaMenu = true;
    s.RispostaFine.clear();
    FrmPrincipale* p = frmPrincipale();
    const bool chiuso = p ? p->ChiudiProgramma() : true;
    s.ChiusuraDaMenu = false;
    if (chiuso)
        c.risposta = QString();
    else
        c.risposta = s.RispostaFine.isEmpty() ? QStringLiteral("No Chiudi") : s.RispostaFine;
}

void ComandoRitornoA(ComandoMenu& c) {
    const QString nome = principale::Testo(c.parametro).trimmed();
    if (!nome.isEmpty() && FormAperta(nome)) {
        ApriForm(nome, QString(), QString(), QString(), QString());
        return;
    }
    try {
        if (QWidget* aiuto = Sessione().FormAiuto; aiuto && aiuto->isVisible())
            QMetaObject::invokeMethod(aiuto, "ButtonComando",
                                      Q_ARG(QString, QStringLiteral("Aggiorna")));
        if (QWidget* attiva = QApplication::activeWindow()) {
            attiva->activateWindow();
            attiva->setFocus();
        }
    } catch (...) {
        // Bringing the windows forward is a courtesy to the operator: a
        // window that refuses it must not make the menu's command fail.
    }
}

void ComandoAttiva(ComandoMenu& c) {
    IMenuClient* m = Sessione().MenuClient;
    if (!m)
        return;
    m->AttivaFunzione(c.chiaveFunzione);
    const ParametriLancioMenu l = m->ParametriLancio();
    const QString nome = Utilita().ValoreOpzione(l.osParam, QStringLiteral("F")).trimmed();
    ApriForm(nome, c.chiaveFunzione, l.osChiLancia, l.osKeySecLancia, l.osParamLancia);
}

void ComandoPrepPassaA(ComandoMenu&) {
    for (QWidget* w : FinestreCaricate()) {
        if (auto* f = dynamic_cast<FormDati*>(w)) {
            try {
                f->PassaA();
            } catch (...) {
                // Each form gets ready for the hand-over on its own: one
                // that fails must not keep the others from it.
            }
        }
    }
}

void ComandoPassaA(ComandoMenu& c) {
    const ParametriLancioMenu l = principale::Lancio();
    ApriForm(principale::Testo(c.parametro), c.chiaveFunzione, l.osChiLancia, l.osKeySecLancia,
             l.osParamLancia);
}

void ComandoFEInvio(ComandoMenu& c) {
    msgCom(testi_principale::FEInvio(c.parametro.toList()), QStringLiteral("&Ok"));
}

void ComandoFEAttesa(ComandoMenu& c) {
    const QString t = testi_principale::FEAttesa(c.parametro.toList());
    if (!t.isEmpty())
        msgCom(t, QStringLiteral("&Ok"));
}

void ComandoFEInfo(ComandoMenu& c) {
    // On success the information goes to an invoice-information object
    // this program never creates: nothing happens.
    const QString t = testi_principale::FEInfo(c.parametro.toList());
    if (!t.isEmpty())
        msgCom(t, QStringLiteral("&Ok"));
}

struct GestoreComando {
    const char* nome;
    void (*esegui)(ComandoMenu&);
};

// The menu's commands, compared without regard to letter case.  A command
// not in the table is ignored with an empty reply.
constexpr GestoreComando GestoriComandi[] = {
    {"fine", ComandoFine},
    {"esiste", [](ComandoMenu& c) { c.risposta = true; }},
    {"ritornoa", ComandoRitornoA},
    {"attiva", ComandoAttiva},
    {"preppassaa", ComandoPrepPassaA},
    {"passaa", ComandoPassaA},
    {"keyprgprim", [](ComandoMenu& c) { c.risposta = ChiaveLancioPrim(); }},
    {"keyprgsec", [](ComandoMenu& c) { c.risposta = ChiaveLancioSec(); }},
    {"paramprgclie", [](ComandoMenu& c) { c.risposta = QStringLiteral("$Default$"); }},
    {"comandoprgclie", [](ComandoMenu& c) { c.risposta = QString(); }},
    {"FEInvio", ComandoFEInvio},
    {"FEAttesa", ComandoFEAttesa},
    {"FEInfo", ComandoFEInfo},
};

} // namespace

void EseguiComandoMenu(const QString& idMenu, const QString& chiaveFunzione, const QString& comando,
                       const QVariant& parametro, QVariant& risposta) {
    Q_UNUSED(idMenu);
    const QString c = comando.trimmed();
    for (const GestoreComando& g : GestoriComandi) {
        if (Uguale(c, QLatin1String(g.nome))) {
            ComandoMenu argomenti{chiaveFunzione, parametro, risposta};
            g.esegui(argomenti);
            return;
        }
    }
}

// ---- Texts --------------------------------------------------------------------------------

namespace testi_principale {

QString FormInesistente() {
    return QStringLiteral("La form richiesta e' inesistente");
}
QString NonRiescoAChiudere() {
    return QStringLiteral("Non riesco a chiudere il programma");
}
QString MenuNonDisponibile() {
    return QStringLiteral("Il menu non è più disponibile");
}
QString Riparato(const QString& nomeDb) {
    return QStringLiteral("Il database ") + nomeDb +
           QStringLiteral(" è stato riparato; la copia danneggiata è rimasta accanto ad esso.") +
           CrLf + QStringLiteral("Il programma si chiude: riaprire la funzione dal menu.");
}
QString RiparazioneRinviata(const QString& nomeDb) {
    return QStringLiteral("Il programma non è stato chiuso: una maschera è ancora aperta.") + CrLf +
           QStringLiteral("La riparazione del database ") + nomeDb +
           QStringLiteral(" sarà proposta alla chiusura del programma.");
}

QString FEInvio(const QVariantList& p) {
    if (Numero(p.value(2)) == 0) {
        QString t = QStringLiteral("Inviate ") +
                    Utilita().ApplicaFormato(p.value(6), QStringLiteral("#,##0")).trimmed() +
                    QStringLiteral(" fatture");
        if (!Utilita().EVuoto(p.value(3)))
            t += CrLf + QStringLiteral("Fatture non inviate per errori") +
                 principale::Testo(p.value(3));
        return t;
    }
    return QStringLiteral("Errore nell'invio delle fatture") + CrLf + QStringLiteral("Err: ") +
           principale::Testo(p.value(2)) + QStringLiteral(" - ") + principale::Testo(p.value(3));
}

QString FEAttesa(const QVariantList& p) {
    if (Numero(p.value(2)) == 0) {
        if (Numero(p.value(3)) > 0)
            return QStringLiteral("Ci sono ") + principale::Testo(p.value(3)) +
                   QStringLiteral(" fatture in attesa");
        return {};
    }
    return QStringLiteral("Errore nella richiesta di fatture in attesa") + CrLf +
           QStringLiteral("Err: ") + principale::Testo(p.value(2)) + QStringLiteral(" - ") +
           principale::Testo(p.value(3));
}

QString FEInfo(const QVariantList& p) {
    if (Numero(p.value(2)) == 0)
        return {};
    return QStringLiteral("Errore nella richiesta informazioni") + CrLf + QStringLiteral("Err: ") +
           principale::Testo(p.value(2)) + QStringLiteral(" - ") + principale::Testo(p.value(3));
}

} // namespace testi_principale

} // namespace quarvel
