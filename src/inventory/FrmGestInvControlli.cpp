// The counts form's checks of a cell and of a row, and the lookups of its
// columns (article, levels, warehouse; an article by its barcode).
#include "inventory/FrmGestInv.h"

#include "aiuto/CampiAiuto.h"
#include "aiuto/Livelli.h"
#include "listform/Tastiera.h"
#include "suite/ComponenteAiuto.h"
#include "suite/ComponenteDati.h"
#include "suite/Errore.h"
#include "suite/Messaggi.h"
#include "suite/Sessione.h"
#include "suite/Tasti.h"
#include "suite/Utilita.h"

#include <QCoreApplication>
#include <QLocale>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>

namespace quarvel {

namespace {

const QString Ok = QStringLiteral("&Ok");

bool Uguali(const QString& a, const char* b) {
    return a.compare(QLatin1String(b), Qt::CaseInsensitive) == 0;
}

IComponenteAiuto* Aiuto() {
    IComponenteAiuto* c = Sessione().ComponenteAiuto;
    if (!c)
        throw Errore(NumErr::OggettoNonImpostato,
                     QStringLiteral("Componente di ricerca e decodifica non disponibile"),
                     QStringLiteral("frmGestInv"));
    return c;
}

} // namespace

// ---- Checks --------------------------------------------------------------------------------

bool FrmGestInv::DatiValidi(int& piColIndex, bool pbSoloDecod, bool pbAggDati) {
    IColonnaGriglia* col = dbgRiga() ? dbgRiga()->Colonna(piColIndex) : nullptr;
    if (!col)
        return true;
    const QString campo = col->DataField();
    IUtilita& u = Utilita();
    try {
        if (m_inAggColonna) {
            // the rules of the cell being left, before its checks
            if (Uguali(campo, "Articolo") && col->Text().trimmed().isEmpty()) {
                msgCom(QStringLiteral("Articolo obbligatorio"), Ok);
                return false;
            }
            if (Uguali(campo, "Giacenza") && !col->Text().trimmed().isEmpty()) {
                if (!GiacenzaAccettabile(col->Text().trimmed()))
                    return false;
                col->setValue(
                    u.FormatoNumero(col->Text(), decimaliQta(), QStringLiteral("0"), false));
            }
            if (m_mbInAggiunta)
                return true;
        }
        if (Uguali(campo, "Articolo"))
            return ControllaArticolo(col, piColIndex, pbSoloDecod, pbAggDati);
        if (Uguali(campo, "Magazzino")) {
            if (!col->DataChanged())
                return true;
            QString descrizione;
            if (Aiuto()->DecodificaValore(QStringLiteral("Magazzini"), QStringLiteral("Magazzino"),
                                          col->Value(), descrizione, 0, 0, QString(), 0, nullptr,
                                          QString())) {
                msgCom(QStringLiteral("Magazzino non valido"), Ok);
                return pbSoloDecod;
            }
            if (IColonnaGriglia* d = colonna(QStringLiteral("DesMagaz")))
                d->setValue(descrizione.isEmpty() ? QVariant() : QVariant(descrizione));
            return true;
        }
        const bool liv1 = Uguali(campo, "Livello1");
        const bool liv2 = Uguali(campo, "Livello2");
        if ((liv1 || liv2) && col->DataChanged())
            return ControllaLivello(col, liv1 ? 1 : 2, pbSoloDecod);
        if (liv1)
            return true;
        // the quantity (and a level that passed): empty reads as 0
        if (u.EVuoto(col->Value()))
            col->setValue(0);
        return true;
    } catch (const Errore& e) {
        m_inControlloArticolo = false;
        ImpostaErrore(e);
        MsgErrfrm();
        return false;
    }
}

// the article typed or picked: its description, and the levels an article
// without level groups takes
bool FrmGestInv::ControllaArticolo(IColonnaGriglia* col, int piColIndex, bool pbSoloDecod,
                                   bool pbAggDati) {
    IUtilita& u = Utilita();
    if (!col->DataChanged())
        return true;
    if (!m_inControlloArticolo) {
        m_inControlloArticolo = true;
        try {
            DecodHelp(piColIndex, m_miTastoRic);
        } catch (...) {
            m_inControlloArticolo = false;
            throw;
        }
        m_inControlloArticolo = false;
    }
    QString descrizione;
    QVariantList campi{QStringLiteral("LivGruppo1"), QStringLiteral("LivGruppo2")};
    if (Aiuto()->DecodificaValore(QStringLiteral("Articoli"), QStringLiteral("Articolo"),
                                  col->Value(), descrizione, 0, 0, QString(), 0, &campi,
                                  QString())) {
        msgCom(QStringLiteral("Codice Articolo non valido"), Ok);
        return pbSoloDecod;
    }
    if (IColonnaGriglia* d = colonna(QStringLiteral("DesArticolo")))
        d->setValue(descrizione.isEmpty() ? QVariant() : QVariant(descrizione));
    if (pbAggDati) {
        if (u.EVuoto(campi.value(0)))
            if (IColonnaGriglia* l = colonna(QStringLiteral("Livello1")))
                l->setValue(NessunLivello);
        if (u.EVuoto(campi.value(1)))
            if (IColonnaGriglia* l = colonna(QStringLiteral("Livello2")))
                l->setValue(NessunLivello);
    }
    return true;
}

// a level of the row: one the article has no group for reads as none
bool FrmGestInv::ControllaLivello(IColonnaGriglia* col, int n, bool pbSoloDecod) {
    IUtilita& u = Utilita();
    const QVariant articolo = colonna(QStringLiteral("Articolo"))
                                  ? colonna(QStringLiteral("Articolo"))->Value()
                                  : QVariant();
    if (u.EVuoto(col->Value()) && !u.EVuoto(articolo)) {
        QString descrizione;
        QVariantList campi{QStringLiteral("LivGruppo%1").arg(n)};
        if (!Aiuto()->DecodificaValore(QStringLiteral("Articoli"), QStringLiteral("Articolo"),
                                       articolo, descrizione, 0, 0, QString(), 0, &campi,
                                       QString()) &&
            u.EVuoto(campi.value(0)))
            col->setValue(NessunLivello);
    }
    if (u.EVuoto(col->Value())) {
        msgCom(QStringLiteral("Livello obbligatorio"), Ok);
        return pbSoloDecod;
    }
    QString testo;
    if (!Aiuto()->VerificaLivello(QStringLiteral("LivelloStr"), col->Value(), testo, {articolo, n},
                                  0, 0, 0, QString(), false, std::nullopt, QString())) {
        msgCom(QStringLiteral("Livello non valido"), Ok);
        return pbSoloDecod;
    }
    return true;
}

bool FrmGestInv::GiacenzaAccettabile(const QString& testo) {
    // A code read into the quantity (the next article scanned before the
    // quantity of this one was typed) is no quantity, even all digits.
    IUtilita& u = Utilita();
    bool numero = false;
    QLocale().toDouble(testo, &numero);
    if (!numero)
        QLocale::c().toDouble(testo, &numero);
    QString articolo;
    if (testo.size() >= 4) {
        QSqlDatabase db = Sessione().DbDitta;
        QSqlQuery q(db);
        q.setForwardOnly(true);
        const QString v = u.ValoreSql(testo, Tipo::Testo);
        const QString sql = QStringLiteral("SELECT Articolo FROM Articoli WHERE BarCode = ") + v +
                            QStringLiteral(" OR Articolo = ") + v;
        if (!q.exec(TraduciSql(db, sql)))
            throw ErroreDaMotore(db, q.lastError(), QStringLiteral("DatiValidi"));
        if (q.next())
            articolo = q.value(0).toString();
        q.finish();
    }
    // eight digits and more, without a decimal sign: the shape of a barcode
    // (EAN-8, UPC, EAN-13), not a count
    static const QRegularExpression FormaCodice(QStringLiteral("^[0-9]{8,}$"));
    const bool formaCodice = FormaCodice.match(testo).hasMatch();
    if (numero && articolo.isEmpty() && !formaCodice)
        return true;
    const QString causa =
        !articolo.isEmpty()
            ? QStringLiteral("è il codice dell'articolo %1, non una quantità").arg(articolo)
        : formaCodice ? QStringLiteral("ha la forma di un codice a barre, non di una quantità")
                      : QStringLiteral("non è un numero");
    msgCom(QStringLiteral("Giacenza non valida: \"%1\" %2.\r\nScrivere la quantità contata "
                          "dell'articolo della riga.")
               .arg(testo, causa),
           Ok);
    return false;
}

bool FrmGestInv::VerifUpdate() {
    return VerificaRiga(
        {{QStringLiteral("Articolo"), QStringLiteral("Codice Articolo obbligatorio")},
         {QStringLiteral("Magazzino"), QStringLiteral("Codice Magazzino obbligatorio")}});
}

// ---- Lookups ---------------------------------------------------------------------------

void FrmGestInv::DecodHelp(int piColIndex, int piKeyCode) {
    if (!RicercaColonna(piColIndex, piKeyCode) || m_inControlloArticolo || m_mbInAggiunta)
        return;
    // A code picked is checked as one typed: the description, and the levels
    // an article without level groups takes, come with it.
    IColonnaGriglia* col = dbgRiga() ? dbgRiga()->Colonna(piColIndex) : nullptr;
    const bool articolo = col && Uguali(col->DataField(), "Articolo");
    // the article is a code from the list now: its check looks nothing up again
    m_inControlloArticolo = articolo;
    int indice = piColIndex;
    try {
        DatiValidi(indice, false, true);
    } catch (...) {
        m_inControlloArticolo = false;
        throw;
    }
    m_inControlloArticolo = false;
}

bool FrmGestInv::RicercaColonna(int piColIndex, int piKeyCode) {
    IColonnaGriglia* col = dbgRiga() ? dbgRiga()->Colonna(piColIndex) : nullptr;
    if (!col)
        return false;
    const QString campo = col->DataField();
    // A new row receives its warehouse decoded, without the search window.
    const int tasto = m_mbInAggiunta ? 0 : piKeyCode;
    IComponenteAiuto* c = Aiuto();
    QVariant valore = col->Value();
    QString testo;
    if (Uguali(campo, "Articolo")) {
        ImpostaImmaginiAiuto(QStringLiteral("Articolo"));
        if (m_inControlloArticolo && tasto == TastiRicerca::PerCodice &&
            !valore.toString().trimmed().isEmpty()) {
            // An article code typed whole needs no pick from the list.
            QString descrizione;
            if (!c->DecodificaValore(QStringLiteral("Articoli"), QStringLiteral("Articolo"), valore,
                                     descrizione, 0, 0, QString(), 0, nullptr, QString()))
                return false;
        }
        if (tasto == TastiRicerca::PerBarcode && ArticoloDaBarcode(col, valore))
            return true;
        // Inside the article check a code that begins no row gets no empty
        // list: the check tells the operator.
        IFinestraAiuto* f = c->FormAiuto();
        const QVariant retZeroRec = f ? f->ovLeggiPar(QStringLiteral("RetZeroRec")) : QVariant();
        if (f && m_inControlloArticolo)
            f->setOvLeggiPar(QStringLiteral("RetZeroRec"), qint16(1));
        int esito = 1;
        try {
            esito = c->AiutoGriglia(QStringLiteral("Articolo"), campo, valore, testo, tasto,
                                    QString(), 0, 0, QString(), {}, {}, QString());
        } catch (...) {
            if (f && m_inControlloArticolo)
                f->setOvLeggiPar(QStringLiteral("RetZeroRec"), retZeroRec);
            throw;
        }
        if (f && m_inControlloArticolo)
            f->setOvLeggiPar(QStringLiteral("RetZeroRec"), retZeroRec);
        if (esito == 0) {
            col->setValue(valore.toString());
            if (IColonnaGriglia* d = colonna(QStringLiteral("DesArticolo")))
                d->setValue(testo);
            return true;
        }
    } else if (Uguali(campo, "Livello1") || Uguali(campo, "Livello2")) {
        ImpostaImmaginiAiuto(campo);
        const int n = Uguali(campo, "Livello1") ? 1 : 2;
        const QVariant articolo = colonna(QStringLiteral("Articolo"))
                                      ? colonna(QStringLiteral("Articolo"))->Value()
                                      : QVariant();
        if (c->AiutoGriglia(QStringLiteral("Livello"), campo, valore, testo, tasto, QString(), 0, 0,
                            QStringLiteral("Magac3:CoLi"), articolo, n, QString()) == 0) {
            col->setValue(valore.toString());
            return true;
        }
    } else if (Uguali(campo, "Magazzino")) {
        ImpostaImmaginiAiuto(campo);
        if (c->AiutoGriglia(QStringLiteral("Magazzino"), campo, valore, testo, tasto, QString(), 0,
                            0, QString(), {}, {}, QString()) == 0) {
            col->setValue(valore.toString());
            if (IColonnaGriglia* d = colonna(QStringLiteral("DesMagaz")))
                d->setValue(testo);
            return true;
        }
    }
    return false;
}

// A barcode that names exactly one article is that article: a scanned code
// needs no pick from the list.
bool FrmGestInv::ArticoloDaBarcode(IColonnaGriglia* col, const QVariant& valore) {
    const QString codice = valore.toString().trimmed();
    if (!codice.isEmpty()) {
        QSqlDatabase db = Sessione().DbDitta;
        QSqlQuery q(db);
        q.setForwardOnly(true);
        const QString sql =
            QStringLiteral("SELECT Articolo, Descrizione FROM Articoli WHERE BarCode = ") +
            Utilita().ValoreSql(codice, Tipo::Testo);
        if (!q.exec(TraduciSql(db, sql)))
            throw ErroreDaMotore(db, q.lastError(), QStringLiteral("DecodHelp"));
        QVariant articolo, descrizione;
        int righe = 0;
        while (q.next() && righe < 2) {
            ++righe;
            articolo = q.value(0);
            descrizione = q.value(1);
        }
        q.finish();
        if (righe == 1) {
            col->setValue(articolo.toString());
            if (IColonnaGriglia* d = colonna(QStringLiteral("DesArticolo")))
                d->setValue(descrizione);
            return true;
        }
    }
    return false;
}

void FrmGestInv::Decodifica(int colonna, int tasto) {
    m_inDecodLocale = true;
    try {
        IGrigliaDati* g = dbgRiga();
        // A lookup that begins a row begins it as a key would: with the
        // default warehouse.
        if (g->Row() >= g->Dati()->RecordCount() && !g->AddNewMode())
            g->setEditActive(true);
        DecodHelp(colonna, tasto);
        const int ricorda = dbgRiga()->Col();
        dbgRiga()->widget()->setFocus();
        dbgRiga()->setCol(ricorda == 0 ? 1 : ricorda - 1);
        QCoreApplication::processEvents();
        dbgRiga()->setCol(ricorda);
    } catch (const Errore& e) {
        ImpostaErrore(e);
        MsgErrfrm();
    }
    m_inDecodLocale = false;
}

} // namespace quarvel
