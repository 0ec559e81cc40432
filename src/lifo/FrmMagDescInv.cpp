#include "lifo/FrmMagDescInv.h"

#include "suite/ComponenteDati.h"
#include "suite/Errore.h"
#include "suite/ListaComandi.h"
#include "suite/Messaggi.h"
#include "suite/Sessione.h"
#include "suite/Utilita.h"

#include <QSqlError>
#include <QSqlQuery>

namespace quarvel {

namespace testi_magdescinv {
QString Caption() {
    return QStringLiteral("Date inventario");
}
QString DataObbligatoria() {
    return QStringLiteral("Data obbligatoria");
}
QString CancellaConteggi() {
    return QStringLiteral("Esistono articoli con data inventario uguale a quella da cancellare") +
           QStringLiteral("\r\n") +
           QStringLiteral("Confermi la cancellazione anche di queste righe di inventario?");
}
QString Sql() {
    return QStringLiteral("SELECT CodInv, DataInvent,Descrizione FROM MagDescrInv");
}
} // namespace testi_magdescinv

namespace {

struct Colonna {
    const char* campo;
    const char* titolo;
    int larghezza; // twips
};
const Colonna Colonne[] = {
    {"CodInv", "Codice", 1500},
    {"DataInvent", "Data_Inventario", 1300},
    {"Descrizione", "Descrizione", 4000},
};

} // namespace

FrmMagDescInv::FrmMagDescInv()
    : FrmLista(QStringLiteral("frmMagDescInv"), testi_magdescinv::Caption()) {}

FrmMagDescInv::~FrmMagDescInv() {
    // A delete never finished leaves nothing behind.
    Annulla();
}

QString FrmMagDescInv::SqlStandard() const {
    return testi_magdescinv::Sql();
}

void FrmMagDescInv::PersColonne() {
    IListaComandi* c = ogComlin();
    if (!c)
        return;
    for (const Colonna& k : Colonne)
        c->TitoloColonna(QString::fromLatin1(k.campo), QString::fromLatin1(k.titolo));
    for (const Colonna& k : Colonne)
        c->LarghezzaColonna(QString::fromLatin1(k.campo), k.larghezza);
}

QVariant FrmMagDescInv::ValoreComando(const QString& psKey) {
    if (psKey.compare(QLatin1String("Nuovo"), Qt::CaseInsensitive) == 0 && dbgRiga())
        if (IColonnaGriglia* col = dbgRiga()->Colonna(QStringLiteral("CodInv")))
            return col->ColIndex();
    return {};
}

bool FrmMagDescInv::DatiValidi(int&, bool, bool) {
    // No column has a check of its own: the date is checked with the row.
    return true;
}

void FrmMagDescInv::DecodHelp(int, int) {}

bool FrmMagDescInv::VerifUpdate() {
    return VerificaRiga({{QStringLiteral("DataInvent"), testi_magdescinv::DataObbligatoria()}});
}

QString FrmMagDescInv::CodiceCorrente() const {
    IColonnaGriglia* col = dbgRiga() ? dbgRiga()->Colonna(QStringLiteral("CodInv")) : nullptr;
    return col ? col->Value().toString() : QString();
}

void FrmMagDescInv::LeggoMagInventari(qint16& pbEsiste) {
    const QString sql = QStringLiteral("SELECT MagInventari.* FROM MagInventari") +
                        QStringLiteral(" WHERE CodInv = ") +
                        Utilita().ValoreSql(CodiceCorrente(), Tipo::Testo);
    QSqlDatabase db = Sessione().DbDitta;
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(TraduciSql(db, sql)))
        throw ErroreDaMotore(db, q.lastError(), QStringLiteral("LeggoMagInventari"));
    if (q.next())
        pbEsiste = -1;
    q.finish();
}

void FrmMagDescInv::RegoleCancellazione(int& Cancel) {
    try {
        qint16 esiste = 0;
        LeggoMagInventari(esiste);
        if (esiste != -1)
            return;
        // Only "&Ok" deletes the counts: Enter answers "&Annulla" (it has the
        // focus), Esc too, and a dialog closed without an answer keeps them.
        if (msgCom(testi_magdescinv::CancellaConteggi(), QStringLiteral("&Ok"),
                   QStringLiteral("&Annulla"), std::nullopt, std::nullopt, 80, false, 600,
                   std::nullopt, 2) != 1) {
            Cancel = -1;
            return;
        }
        m_db = Sessione().DbDitta;
        if (!m_db.transaction())
            throw ErroreDaMotore(m_db, m_db.lastError(), QStringLiteral("RegoleCancellazione"));
        m_transazione = true;
        const QString sql = QStringLiteral("DELETE * FROM MagInventari") +
                            QStringLiteral(" WHERE CodInv = ") +
                            Utilita().ValoreSql(CodiceCorrente(), Tipo::Testo);
        QSqlQuery q(m_db);
        if (!q.exec(TraduciSql(m_db, sql)))
            throw ErroreDaMotore(m_db, q.lastError(), QStringLiteral("RegoleCancellazione"));
    } catch (const Errore& e) {
        Annulla();
        ImpostaErrore(e);
        MsgErrfrm();
        Cancel = -1;
    }
}

void FrmMagDescInv::FineCancellazione(bool riuscita) {
    if (!m_transazione)
        return;
    if (!riuscita) {
        Annulla();
        return;
    }
    m_transazione = false;
    if (!m_db.commit()) {
        const Errore e = ErroreDaMotore(m_db, m_db.lastError(), QStringLiteral("Cancellazione"));
        m_db.rollback();
        ImpostaErrore(e);
        MsgErrfrm();
        // The list shows again what the database holds.
        DatRefresh();
    }
}

void FrmMagDescInv::Annulla() {
    if (!m_transazione)
        return;
    m_transazione = false;
    m_db.rollback();
}

FrmMagDescInv* CreaFrmMagDescInv() {
    return new FrmMagDescInv();
}

void RegistraFrmMagDescInv() {
    RegistraForm(QStringLiteral("frmMagDescInv"), [] { return CreaFrmMagDescInv(); });
}

} // namespace quarvel
