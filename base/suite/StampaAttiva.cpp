#include "suite/StampaAttiva.h"

namespace quarvel {

namespace {
qint16 g_stampaAttiva = 0;
}

qint16 StampaAttiva() {
    return g_stampaAttiva;
}

void ImpostaStampaAttiva(qint16 valore) {
    g_stampaAttiva = valore;
}

} // namespace quarvel
