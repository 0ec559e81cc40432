#pragma once
// The list-command object (ogComlin) over the grid of this component.

#include "listcmd/Griglia.h"
#include "suite/ListaComandi.h"
#include "suite/Stampa.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <memory>

class QAction;
#include <QLineEdit>
class QToolBar;

namespace quarvel::listcmd {

class Comlin final : public QObject, public IListaComandi {
    Q_OBJECT
public:
    Comlin();
    ~Comlin() override;

    void setOgForm(QWidget* form) override { m_form = form; }
    void setOgToolbar(QToolBar* toolbar) override;
    void setOgContatore(QLineEdit* contatore) override { m_contatore = contatore; }
    void setOgGriglia(IGrigliaDati* griglia) override;
    void setOgDati(IDatiRiga* dati) override { m_dati = dati; }
    void setOgDatabase(const QSqlDatabase& db) override { m_db = db; }
    void setOsFormatoData(const QString& formato) override;
    void setOiOpzione(qint16 opzione) override { m_opzione = opzione; }
    void Immagini(const QString& dimensione) override;
    void setOgCondiviso(QObject* condiviso) override { m_condiviso = condiviso; }
    void setOiAbilRW(qint16 abilita) override;
    qint16 oiAbilRW() const override { return m_abilRW; }
    void ApriSql(const QString& sql, bool p2 = true, bool p3 = false) override;
    void ColonnaChiave(int colonna) override;
    void ColonneFisse(int numero) override;
    void Contatore(QString& primo, QString& secondo) override;
    void CambioRigaCol(const QVariant& LastRow, int LastCol, qint16& flag, QString& primo,
                       QString& secondo) override;

    int EseguiPulsante(const QString& chiave, const QVariant& valore = {},
                       bool daGriglia = false) override;
    QString TastoAlt(int keyCode) const override;
    QAction* Pulsante(const QString& chiave) const override;
    void setSegnalibro(const QString& segnalibro) override;

    void PrimaEditColonna(int ColIndex, int KeyAscii, int& Cancel) override;
    void PrimaAggColonna(int ColIndex, const QVariant& OldValue, int& Cancel) override;
    void DopoAggColonna(int ColIndex) override;
    void Modificata() override;
    bool PrimaAggRiga(bool p1 = true) override;
    void DopoCancella() override;
    void ErroreGriglia(int DataError, int& Response) override;
    int Ordina(int ColIndex, QString& sql) override;
    int NumSplit() const override;
    void RifaiSplit() override;
    void Ridimensiona(bool p1, int p2, int topTwips) override;
    void AggiornaLista(bool p1 = true, const QString& modo = QStringLiteral("M"), int p3 = 0,
                       const QString& formatoData = {}) override;
    bool PuoChiudere() override;

    void TitoloColonna(const QString& campo, const QString& titolo) override;
    void LarghezzaColonna(const QString& campo, int twips) override;
    void BloccaColonna(const QString& campo, bool bloccata = true) override;
    void NascondiColonna(const QString& campo) override;
    void FormatoColonna(const QString& campo, const QString& formato) override;

    void setOvLeggiPar(const QString& chiave, const QVariant& valore) override;
    QVariant ovLeggiPar(const QString& chiave) const override;

    IListaLettura* Lista() override;

    // Shows "Stampa" once the print dialog is there (a form may hide it
    // again: the refreshes of the buttons leave it as the form set it).
    void setOfrmComlinSTampa(QWidget* form);
    void setOfrmStampaInCorso(QWidget* form) override { m_frmInCorso = form; }
    IStampa* ogSta() override;
    void AvviaStampa(const QString& colonne, qint16 orientamento, QFont& font) override;

    // The question asked before a delete.
    static QString domandaCancella();

private:
    void creaPulsanti();
    void aggiornaPulsanti();
    void aggiornaContatore();
    Griglia* griglia() const;
    IColonnaGriglia* colonna(const QString& campo) const;

    QPointer<QWidget> m_form;
    QPointer<QToolBar> m_toolbar;
    QPointer<QLineEdit> m_contatore;
    IGrigliaDati* m_griglia = nullptr;
    IDatiRiga* m_dati = nullptr;
    QSqlDatabase m_db;
    QString m_formatoData = QStringLiteral("dd/mm/yyyy");
    qint16 m_opzione = 0;
    QString m_dimensioneIcone = QStringLiteral("p");
    QPointer<QObject> m_condiviso;
    qint16 m_abilRW = 1;
    QString m_sql;
    QList<int> m_chiavi;
    int m_colonneFisse = 0;
    QString m_segnalibro;
    QString m_ultimaRicerca;
    double m_risVid = 0;
    bool m_risVidFatta = false;
    QPointer<QWidget> m_frmStampa;
    QPointer<QWidget> m_frmInCorso;
    std::unique_ptr<IStampa> m_sta;
    QHash<QString, QAction*> m_pulsanti;
    QList<QMetaObject::Connection> m_connessioni;
};

// Makes the grid and the list-command object of this component the ones that
// CreaGriglia and CreaListaComandi give.
void InstallaListaComandi();

} // namespace quarvel::listcmd

namespace quarvel {
using listcmd::InstallaListaComandi;
}
