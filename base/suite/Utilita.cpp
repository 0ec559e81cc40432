#include "suite/Utilita.h"

#include "suite/Errore.h"

namespace quarvel {

IUtilita::~IUtilita() = default;

namespace {
IUtilita* istanza = nullptr;
FabbricaUtilita fabbrica = nullptr;
} // namespace

IUtilita& Utilita() {
    if (!istanza) {
        if (!fabbrica)
            throw Errore(NumErr::OggettoNonImpostato,
                         QStringLiteral("Oggetto utilità non disponibile"),
                         QStringLiteral("Utilita"));
        istanza = fabbrica();
    }
    return *istanza;
}

void ImpostaUtilita(IUtilita* u) { istanza = u; }
void RegistraFabbricaUtilita(FabbricaUtilita f) { fabbrica = f; }

} // namespace quarvel
