#include "suite/ListaComandi.h"

#include "suite/Errore.h"

namespace quarvel {

IListaComandi::~IListaComandi() = default;

namespace {
FabbricaListaComandi fabbrica = nullptr;
}

IListaComandi* CreaListaComandi() {
    if (!fabbrica)
        throw Errore(NumErr::OggettoNonImpostato,
                     QStringLiteral("Componente comandi di lista non disponibile"),
                     QStringLiteral("ListaComandi"));
    return fabbrica();
}

void RegistraFabbricaListaComandi(FabbricaListaComandi f) {
    fabbrica = f;
}

} // namespace quarvel
