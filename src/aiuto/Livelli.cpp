#include "Livelli.h"

#include "CampiAiuto.h"
#include "desktop/FrmMsgCom.h"
#include "startup/Avvio.h"
#include "suite/ComponenteAiuto.h"
#include "suite/ComponenteDati.h"
#include "suite/Errore.h"
#include "suite/MenuClient.h"
#include "suite/Sessione.h"
#include "suite/Utilita.h"

#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>

namespace quarvel {

namespace {

QString& NoDecInattivi() {
    static QString v;
    return v;
}

bool Uguali(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

IComponenteAiuto* Componente() {
    IComponenteAiuto* c = Sessione().ComponenteAiuto;
    if (!c)
        throw Errore(NumErr::OggettoNonImpostato,
                     QStringLiteral("Componente di ricerca e decodifica non disponibile"),
                     QStringLiteral("DecodificaCampo"));
    return c;
}

// The condition that keeps inactive articles out of an article decoding.
QString Condizione(const QString& nomeAiuto) {
    QString condizione;
    if (!Uguali(nomeAiuto, QStringLiteral("Articolo")))
        return condizione;
    if (NoDecInattivi().isEmpty())
        NoDecInattivi() =
            LeggiParametroPersonale(QStringLiteral("Articoli"), QStringLiteral("NoDecInattivi"),
                                    QVariant(QStringLiteral("N")))
                .toString();
    if (Uguali(NoDecInattivi(), QStringLiteral("S"))) {
        if (!condizione.isEmpty())
            condizione += QStringLiteral(" And ");
        condizione += QStringLiteral(" (ucase(Inattivo)<>'S') ");
    }
    return condizione;
}

QVariant Decodifica(const QString& nomeAiuto, QLineEdit* codice, QLabel* descrizione,
                    const std::optional<QVariantList>& filtri, QVariantList* campi,
                    QString& condizione) {
    return Componente()->DecodificaCampo(nomeAiuto, codice, descrizione, filtri, 0, QString(), 0,
                                         campi, condizione);
}

void Mostra(QWidget* w, bool si) {
    if (w)
        w->setVisible(si);
}

} // namespace

void AzzeraNoDecInattivi() {
    NoDecInattivi().clear();
}

QString ValoreLivello(QString& livello) {
    int i = 0;
    while (i < livello.size() && livello.at(i) == QLatin1Char(' '))
        ++i;
    livello = livello.mid(i);
    return livello.isEmpty() ? NessunLivello : livello;
}

void LeggiGruppiLivello(QString& articolo, QLabel* didascalia1, QLabel* didascalia2,
                        qint16& numero) {
    if (didascalia1)
        didascalia1->setText(QStringLiteral("Livello 1:"));
    if (didascalia2)
        didascalia2->setText(QStringLiteral("Livello 2:"));
    ContestoSessione& s = Sessione();
    if (!s.MenuClient ||
        s.MenuClient->LeggiValore(QStringLiteral("Mag.GesTaglie"), QString()).toUpper() !=
            QLatin1String("S"))
        return;
    while (articolo.endsWith(QLatin1Char(' ')))
        articolo.chop(1);
    if (articolo.isEmpty())
        return;
    if (!s.ComponenteDati)
        throw Errore(NumErr::OggettoNonImpostato,
                     QStringLiteral("Componente di accesso ai dati non disponibile"),
                     QStringLiteral("LeggiGruppiLivello"));
    const QString sql = QStringLiteral("SELECT Articoli.Articolo, Articoli.LivGruppo1, "
                                       "Articoli.LivGruppo2, LivGruppi_1.*, LivGruppi_2.*") +
                        QStringLiteral(" FROM (Articoli") +
                        QStringLiteral(" LEFT JOIN LivGruppi AS LivGruppi_1") +
                        QStringLiteral(" ON Articoli.LivGruppo1 = LivGruppi_1.LivGruppo)") +
                        QStringLiteral(" LEFT JOIN LivGruppi AS LivGruppi_2") +
                        QStringLiteral(" ON Articoli.LivGruppo2 = LivGruppi_2.LivGruppo") +
                        QStringLiteral(" WHERE") + QStringLiteral(" Articoli.Articolo = ") +
                        Utilita().ValoreSql(articolo, Tipo::Testo);
    std::unique_ptr<IRecordset> r = s.ComponenteDati->ApriRecordset(sql, s.RisultatoConnessione);
    if (r->Eof()) {
        r->Close();
        return;
    }
    if (r->DimensioneCampo(QStringLiteral("Articoli.Livgruppo2")) > 0)
        numero = 2;
    else if (r->DimensioneCampo(QStringLiteral("Articoli.Livgruppo1")) > 0)
        numero = 1;
    else
        numero = 0;
    const QString d1 = r->Campo(QStringLiteral("LivGruppi_1.Descrizione")).toString();
    const QString d2 = r->Campo(QStringLiteral("LivGruppi_2.Descrizione")).toString();
    if (!d1.isEmpty() && didascalia1)
        didascalia1->setText(d1 + QLatin1Char(':'));
    if (!d2.isEmpty() && didascalia2)
        didascalia2->setText(d2 + QLatin1Char(':'));
    r->Close();
}

void MostraLivelli(QLineEdit* valore1, QLineEdit* valore2, QLineEdit* digitato1,
                   QLineEdit* digitato2, QLabel* didascalia1, QLabel* didascalia2,
                   QWidget* pulsante1, QWidget* pulsante2, QLabel* descrizione1,
                   QLabel* descrizione2, qint16 numero, qint16 svuota) {
    auto livello = [&](QLineEdit* valore, QLineEdit* digitato, QLabel* didascalia,
                       QWidget* pulsante, QLabel* descrizione, bool presente) {
        if (presente) {
            if (svuota > 0) {
                if (digitato)
                    digitato->clear();
                if (valore)
                    valore->clear();
            }
        } else if (svuota > 0) {
            if (digitato)
                digitato->setText(NessunLivello);
            QString t = digitato ? digitato->text() : NessunLivello;
            if (valore)
                valore->setText(ValoreLivello(t));
        }
        Mostra(digitato, presente);
        Mostra(didascalia, presente);
        Mostra(pulsante, presente);
        Mostra(descrizione, presente);
        Mostra(valore, false);
    };
    livello(valore1, digitato1, didascalia1, pulsante1, descrizione1, numero >= 1);
    livello(valore2, digitato2, didascalia2, pulsante2, descrizione2, numero >= 2);
}

QVariant DecodificaCampo(const QString& nomeAiuto, QLineEdit* codice, QLabel* descrizione,
                         const std::optional<QVariantList>& filtri, QVariantList* campi) {
    QString condizione = Condizione(nomeAiuto);
    if (Utilita().EVuoto(codice ? codice->text() : QString()))
        return Decodifica(nomeAiuto, codice, descrizione, filtri, campi, condizione);
    return DecodificaConRicerca(nomeAiuto, codice, descrizione, filtri, campi);
}

QVariant DecodificaConRicerca(const QString& nomeAiuto, QLineEdit* codice, QLabel* descrizione,
                              const std::optional<QVariantList>& filtri, QVariantList* campi) {
    ContestoSessione& s = Sessione();
    IUtilita& u = Utilita();
    IComponenteAiuto* c = Componente();
    // 1, 2
    QString condizione = Condizione(nomeAiuto);
    const QVariant retZeroRec = c->FormAiuto()->ovLeggiPar(QStringLiteral("RetZeroRec"));
    for (int passo = 1;; ++passo) {
        // 3
        const QVariant stato =
            Decodifica(nomeAiuto, codice, descrizione, filtri, campi, condizione);
        // 4
        if (stato.toInt() == -1 || u.EVuoto(codice ? codice->text() : QString()) || passo == 2 ||
            Uguali(s.DecodHelpAbil.trimmed(), QStringLiteral("N")) || FrmMsgCom::Aperto())
            return stato;
        // 5
        QCoreApplication::processEvents();
        // 6
        int tasto = -1;
        if (s.DecodHelpPersKey) {
            const int n = u.TestoInIntero(LeggiParametroPersonale(QStringLiteral("Tutti"),
                                                                  nomeAiuto + QStringLiteral("Hlp"),
                                                                  QVariant(QStringLiteral("0")))
                                              .toString());
            tasto = n != 0 ? 111 + n : -1;
        }
        if (tasto == -1) {
            const QString abil = s.DecodHelpAbil.trimmed();
            if (Uguali(abil, QStringLiteral("C"))) {
                tasto = 113;
            } else if (Uguali(abil, QStringLiteral("D"))) {
                tasto = 114;
            } else {
                const int n = u.TestoInIntero(abil);
                if (n >= 1)
                    tasto = -n - 1;
            }
        }
        // 7, 8, 9
        c->FormAiuto()->setOvLeggiPar(QStringLiteral("RetZeroRec"), qint16(1));
        bool trovato = false;
        try {
            for (int tentativo = 0; tentativo < 2; ++tentativo) {
                const std::optional<QVariant> filtro =
                    filtri ? std::optional<QVariant>(QVariant(*filtri)) : std::nullopt;
                const QVariant r = AiutoCampo(nomeAiuto, codice, descrizione, tasto, filtro,
                                              trovato, QString(), 0, condizione);
                if (r.toInt() != 1 || !descrizione ||
                    !Uguali(descrizione->text().trimmed(), TestoInesistente))
                    break;
                tasto = tasto == 113 ? 114 : 113;
            }
        } catch (...) {
            c->FormAiuto()->setOvLeggiPar(QStringLiteral("RetZeroRec"), retZeroRec);
            throw;
        }
        c->FormAiuto()->setOvLeggiPar(QStringLiteral("RetZeroRec"), retZeroRec);
        // 10
        if (!trovato)
            return 0;
        // 11: the second pass decodes the code picked
    }
}

} // namespace quarvel
