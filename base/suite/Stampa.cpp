#include "suite/Stampa.h"

#include "suite/Errore.h"

namespace quarvel {

IOpzioniStampa::~IOpzioniStampa() = default;
IStampaInCorso::~IStampaInCorso() = default;
IStampa::~IStampa() = default;
IStampanti::~IStampanti() = default;
IDialogoStampaLista::~IDialogoStampaLista() = default;

namespace {
FabbricheStampa fabbriche;

[[noreturn]] void Manca() {
    throw Errore(NumErr::OggettoNonImpostato,
                 QStringLiteral("Componente di stampa non disponibile"), QStringLiteral("Stampa"));
}
} // namespace

std::unique_ptr<IOpzioniStampa> CreaOpzioniStampa(const QString& sezione) {
    if (!fabbriche.opzioni)
        Manca();
    return fabbriche.opzioni(sezione);
}

std::unique_ptr<IStampa> CreaStampa() {
    if (!fabbriche.stampa)
        Manca();
    return fabbriche.stampa();
}

IStampanti& Stampanti() {
    if (!fabbriche.stampanti)
        Manca();
    return *fabbriche.stampanti;
}

void RegistraFabbricheStampa(const FabbricheStampa& f) {
    fabbriche = f;
}

} // namespace quarvel
