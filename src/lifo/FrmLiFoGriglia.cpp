#include "lifo/FrmLiFo.h"

#include "lifo/Cambio.h"
#include "listform/Tastiera.h"
#include "suite/ListaComandi.h"
#include "suite/Sessione.h"
#include "suite/Utilita.h"

#include <QLineEdit>
#include <QLocale>
#include <QRegularExpression>

namespace quarvel {

namespace {

// An amount and the column its other currency goes to.
struct Coppia {
    const char* campo;
    const char* altro;
    bool lire; // the edited column holds lire
};
const Coppia Coppie[] = {
    {"ValGiacenzaLire", "ValGiacenza", true},
    {"ValMedioUnitarioLire", "ValMedioUnitario", true},
    {"ValGiacenza", "ValGiacenzaLire", false},
    {"ValMedioUnitario", "ValMedioUnitarioLire", false},
};

bool Uguale(const QString& a, const char* b) {
    return a.compare(QLatin1String(b), Qt::CaseInsensitive) == 0;
}

// What is wrong with a year as the operator typed it; empty when it is a
// year.  Empty or 0 is a missing year.  Otherwise a year is four digits from
// 1900 to 2199: the oldest stock a company still values reaches back well
// after 1900, two centuries ahead leave room for any plan, and the range
// turns away the typing slips a layer's key must not keep (99999, 20255,
// 205, 20x5).
QString ErroreAnno(const QString& testo) {
    const QString t = testo.trimmed();
    if (t.isEmpty() || t == QLatin1String("0"))
        return testi_lifo::AnnoObbligatorio();
    // the grid shows a stored year with the thousands separator ("2.023")
    QString numero = t;
    const QString separatore = QLocale().groupSeparator();
    if (!separatore.isEmpty() &&
        QRegularExpression(
            QStringLiteral("^\\d{1,3}(%1\\d{3})+$").arg(QRegularExpression::escape(separatore)))
            .match(t)
            .hasMatch())
        numero.remove(separatore);
    bool cifre = numero.size() == 4;
    for (const QChar c : numero)
        cifre = cifre && c >= QLatin1Char('0') && c <= QLatin1Char('9');
    const int anno = cifre ? numero.toInt() : 0;
    if (anno >= AnnoMinimo && anno <= AnnoMassimo)
        return {};
    return testi_lifo::AnnoNonValido(t);
}

} // namespace

// ---- Grid -----------------------------------------------------------------------------

void FrmLiFo::Derivato(const QString& campo, const QString& testo) {
    IGrigliaDati* g = dbgRiga();
    for (const Coppia& k : Coppie) {
        if (!Uguale(campo, k.campo))
            continue;
        IColonnaGriglia* altra = g->Colonna(QString::fromLatin1(k.altro));
        if (!altra)
            return;
        const bool automatico =
            m_msAutomLiraEuro.compare(QLatin1String("S"), Qt::CaseInsensitive) == 0;
        if (!automatico && Utilita().TestoInNumero(altra->Text()) != 0)
            return;
        const ContestoSessione& s = Sessione();
        const QVariant importo = Utilita().TestoInNumero(testo);
        qint16 decimali = k.lire ? s.DecimaliEuro : s.DecimaliLira;
        const double valore =
            k.lire ? LireInEuro(importo, -1, &decimali) : EuroInLire(importo, -1, &decimali);
        altra->setValue(valore);
        return;
    }
}

bool FrmLiFo::DatiValidi(int& piColIndex, bool, bool) {
    IGrigliaDati* g = dbgRiga();
    IColonnaGriglia* col = g ? g->Colonna(piColIndex) : nullptr;
    if (!col)
        return true;
    const QString campo = col->DataField();
    if (Uguale(campo, "Anno")) {
        if (const QString errore = ErroreAnno(col->Text()); !errore.isEmpty()) {
            Messaggio(errore);
            return false;
        }
        return true;
    }
    for (const Coppia& k : Coppie) {
        if (!Uguale(campo, k.campo))
            continue;
        const qint16 decimali = k.lire ? Sessione().DecimaliLira : Sessione().DecimaliEuro;
        const QString testo = col->Text();
        if (!testo.trimmed().isEmpty())
            col->setText(Utilita().FormatoNumero(testo, decimali, QStringLiteral("0"), false,
                                                 QStringLiteral("#,###")));
        Derivato(campo, col->Text());
        break;
    }
    return true;
}

void FrmLiFo::BeforeUpdate(int& Cancel) {
    IGrigliaDati* g = dbgRiga();
    if (!g) {
        Cancel = -1;
        return;
    }
    // A new layer whose year was never typed has no key.
    if (IColonnaGriglia* anno = g->Colonna(QStringLiteral("Anno")))
        if (const QString errore = ErroreAnno(anno->Text()); !errore.isEmpty()) {
            Messaggio(errore);
            g->setCol(anno->ColIndex());
            Cancel = -1;
            return;
        }
    static const char* campi[] = {"Articolo", "Livello1", "Livello2"};
    for (int i = 0; i < 3; ++i)
        if (IColonnaGriglia* c = g->Colonna(QString::fromLatin1(campi[i])))
            c->setValue(m_txt[i]->text());
    if (IListaComandi* c = ogComlin())
        if (!c->PrimaAggRiga(true))
            Cancel = -1;
}

void FrmLiFo::ButtonClick(int) {
    if (dbgRiga())
        dbgRiga()->widget()->setFocus();
}

void FrmLiFo::KeyDown(int& KeyCode, int Shift) {
    // the skeleton's part: a grid key lets the next command run
    int nessuno = 0;
    FrmLista::KeyDown(nessuno, Shift);
    if (KeyCode == Tasto::Canc) {
        KeyCode = 0;
        ButtonComando(QStringLiteral("Cancella"));
    }
}

} // namespace quarvel
