#pragma once
// The suite's utility object (suite/Utilita.h): the real implementation.
// Number texts and masks follow utility/Conversioni.h; paths go through the
// path layer; parameter files through the profile-file layer.

#include "suite/Utilita.h"

namespace quarvel {

// Creates the process-wide utility object, installs it and registers its
// factory, so Utilita() works from the first call.  Calling it again keeps
// the same instance.
void InstallaUtilita();

class UtilitaSuite final : public IUtilita {
public:
    bool EVuoto(const QVariant& valore, int tipo, int opzione, bool rigido) const override;
    qint16 TestoInIntero(const QString& testo, bool formatoUtente, bool rigido) const override;
    double TestoInNumero(const QString& testo, bool formatoUtente) const override;
    qint32 TestoInLungo(const QString& testo, bool formatoUtente) const override;
    float TestoInSingolo(const QString& testo, bool formatoUtente) const override;
    bool NumeroPositivo(const QString& testo, bool formatoUtente) const override;
    QString ValoreSql(const QVariant& valore, int tipo) const override;
    QString FormatoNumero(const QVariant& valore, int decimali, const QString& riempitivo,
                          bool soloMaschera, const QString& mascheraBase, const QString& separatore,
                          const QString& segnaposto) const override;
    QString ApplicaFormato(const QVariant& valore, const QString& maschera) const override;
    QString ValoreOpzione(const QString& testo, const QString& lettere) const override;
    QString NumeroInTesto(double numero) const override;
    QString ComponiPercorso(const QString& nome, const QString& unita, const QString& cartella,
                            int modo) const override;
    bool FileEsiste(const QString& percorso) const override;
    QString CartellaSistema() const override;
    int LeggiIniFile(const QString& sezione, const QString& chiave, const QString& predefinito,
                     QString& valore, const QString& file) const override;
    int LeggiIniDoppio(const QString& sezione, const QString& chiave, const QString& predefinito,
                       QString& valore, const QString& filePrincipale,
                       const QString& fileParametri) const override;
    int RiparaDatabase(const QString& file) const override;
    qint32 DimensioneCampo(IRecordset& recordset, const QString& campo) const override;
    bool CiSonoFinestre(const QList<QWidget*>& finestre, const QWidget* principale) const override;
    double Massimo(std::initializer_list<double> numeri) const override;
    double Minimo(std::initializer_list<double> numeri) const override;
    QString SostituisciTesto(const QString& testo, const QString& cosa,
                             const QString& con) const override;
    int CercaIndietro(const QString& testo, const QString& cosa) const override;
    double Arrotonda(double valore, int tipo, const QString& modo, int p4, double unita, int p6,
                     int potenza) const override;
    int MostraForm(QWidget* form, int p1, int p2, int p3, int p4) const override;
    bool DaiFuoco(QWidget* controllo) const override;
    void PreparaTesto(QWidget* controllo) const override;
    void FormattaTesto(QWidget* controllo, const QString& maschera) const override;
    QWidget* ControllaCampi(QWidget* pannello) const override;
    QString ScegliCartella(const QString& titolo, const QString& iniziale) const override;
};

} // namespace quarvel
