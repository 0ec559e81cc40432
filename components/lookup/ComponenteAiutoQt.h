#pragma once
// The lookup component over the company database: the search window of
// FinestraAiuto, the decodings run on the engine connection handed over at
// InizializzaAiuto.

#include "FinestraAiuto.h"
#include "suite/ComponenteAiuto.h"

#include <QHash>
#include <QPointer>
#include <QSqlDatabase>
#include <QStringList>

namespace quarvel::lookup {

class OpzioniRicercaQt final : public ParametriNominati, public IOpzioniRicerca {
public:
    QVariant ovLeggiPar(const QString& nome) const override {
        return ParametriNominati::ovLeggiPar(nome);
    }
    void setOvLeggiPar(const QString& nome, const QVariant& valore) override {
        ParametriNominati::setOvLeggiPar(nome, valore);
    }
    quint32 olColBackOk() const override { return m_colore; }
    void setOlColBackOk(quint32 colore) override { m_colore = colore; }

private:
    quint32 m_colore = 0xFFFF80;
};

class ComponenteAiutoQt final : public IComponenteAiuto {
public:
    ComponenteAiutoQt();
    ~ComponenteAiutoQt() override;

    void InizializzaAiuto(QWidget*& principale, IMenuClient* menu, QObject*& condiviso,
                          IComponenteDati* dati, const QString& risultatoConnessione,
                          const QSqlDatabase& db, quint32 coloreNormale, quint32 coloreErrore,
                          const QString& tipoProgramma, const QString& formatoData) override;
    void ImpostaEventi(IEventiAiuto* eventi) override { m_eventi = eventi; }
    void ImpostaOpzione(const QString& nome, int tipo, const QVariant& valore) override;
    QVariant Opzione(const QString& nome) const override { return m_opzioni.value(nome.toLower()); }
    IFinestraAiuto* FormAiuto() override;
    IOpzioniRicerca* OpzioniRicerca() override { return &m_ricerca; }

    QVariant Aiuto(const QString& nome, QLineEdit* codice, QLabel* descrizione, int& keyCode,
                   QWidget* form, const std::optional<QVariant>& filtro, bool& trovato, int flag,
                   const QString& campi, const QString& testoExtra) override;
    void DecodificaControlli(const QString& tabella, const QString& campoChiave, QLineEdit* codice,
                             QLabel* descrizione, int p5, int p6, int tipo, const QString& p8,
                             QVariantList& campi, const std::optional<QVariant>& p10,
                             const QString& p11) override;
    int AiutoGriglia(const QString& nome, const QString& campo, QVariant& valore, QString& testo,
                     int keyCode, const QString& p6, int p7, int p8, const QString& definizione,
                     const QVariant& extra1, const QVariant& extra2, const QString& p12) override;
    bool DecodificaValore(const QString& tabella, const QString& campoChiave,
                          const QVariant& codice, QString& descrizione, int p5, int tipo,
                          const QString& p7, int p8, QVariantList* campi,
                          const QString& p10) override;
    bool VerificaLivello(const QString& cosa, const QVariant& livello, QString& testo,
                         const QVariantList& argomenti, int p5, int p6, int tipo, const QString& p8,
                         bool p9, const std::optional<QVariant>& p10, const QString& p11) override;
    int DecodificaCampo(const QString& nome, QLineEdit* codice, QLabel* descrizione,
                        const std::optional<QVariantList>& filtri, int p5, const QString& p6,
                        int p7, QVariantList* campi, QString& condizione) override;

    // The window, made when first needed.
    FinestraAiuto* finestra();
    // The connection the component reads (tests).
    const QSqlDatabase& database() const { return m_db; }

    struct Esito {
        bool trovato = false;
        QString codice; // as stored
        QString descrizione;
        QVariantList campi;
    };
    // One code of a table among the rows the conditions allow.
    Esito decodifica(const QString& tabella, const QString& chiave, const QString& descrizione,
                     const QString& codice, const QStringList& campi,
                     const QStringList& condizioni);

private:
    // The columns of a table (read once).
    QStringList colonneTabella(const QString& tabella);
    // The condition on inactive articles for a definition (empty when none).
    QString condizioneInattivi(const Definizione& d);
    QString condizioneInattiviTabella(const QString& tabella);
    OpzioniImmagine opzioniImmagine(const Definizione& d);
    // The titles shown over columns of the definition's list.
    QHash<QString, QString> titoliColonne(const Definizione& d) const;
    // Opens the search; -1 picked (code and description out), 0 Esc, 1 none.
    int cerca(const Definizione& d, int keyCode, const QString& testo, QWidget* form,
              const QVariantList& filtri, const QString& campi, const QString& condizione,
              QString* codice, QString* descrizione);
    bool prepDecod(const QString& id, const QString& tabella, const QString& campo,
                   const QVariant& valore);
    void segnaErrore(QWidget* controllo, bool errore);

    QSqlDatabase m_db;
    IMenuClient* m_menu = nullptr;
    IEventiAiuto* m_eventi = nullptr;
    quint32 m_coloreNormale = 0x80000005;
    quint32 m_coloreErrore = 0x0000FF;
    QString m_tipoProgramma;
    QString m_formatoData;
    QString m_noDecInattivi;
    QHash<QString, QVariant> m_opzioni;
    QHash<QString, QStringList> m_colonne;
    OpzioniRicercaQt m_ricerca;
    QPointer<FinestraAiuto> m_finestra;
};

// Registers the component's factory (the start-up calls it).
void Registra();

} // namespace quarvel::lookup
