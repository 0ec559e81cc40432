#pragma once
// frmMagDescInv ("Date inventario"): the list of inventory headers, one row
// per inventory count with its code, its date and a description.  The count
// rows (MagInventari) hang off a header by its code: deleting a header with
// counts asks, and the counts and the header go together or not at all.

#include "listform/FrmLista.h"

#include <QSqlDatabase>

namespace quarvel {

namespace testi_magdescinv {
QString Caption();          // "Date inventario"
QString DataObbligatoria(); // "Data obbligatoria"
QString CancellaConteggi(); // the question before deleting the counts too
QString Sql();              // the list's SQL
} // namespace testi_magdescinv

class FrmMagDescInv final : public FrmLista {
    Q_OBJECT
public:
    FrmMagDescInv();
    ~FrmMagDescInv() override;

    void PersColonne() override;
    bool DatiValidi(int& piColIndex, bool pbSoloDecod, bool pbAggDati) override;
    void DecodHelp(int piColIndex, int piKeyCode) override;
    bool VerifUpdate() override;
    // pbEsiste := -1 when the current row's inventory has count rows; left
    // as it is otherwise.
    void LeggoMagInventari(qint16& pbEsiste);

protected:
    QString SqlStandard() const override;
    qint16 ChiaviStandard() const override { return 1; }
    int TopicAiuto() const override { return 22102; }
    bool ConOsCaption() const override { return true; }
    QVariant ValoreComando(const QString& psKey) override;
    void RegoleCancellazione(int& Cancel) override;
    void FineCancellazione(bool riuscita) override;

private:
    QString CodiceCorrente() const;
    void Annulla();

    // The transaction that holds the deleted counts until the header goes.
    bool m_transazione = false;
    QSqlDatabase m_db;
};

// A new headers form.
FrmMagDescInv* CreaFrmMagDescInv();
// Makes the form known to the form dispatcher as "frmMagDescInv".
void RegistraFrmMagDescInv();

} // namespace quarvel
