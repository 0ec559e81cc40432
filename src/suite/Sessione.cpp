#include "suite/Sessione.h"

namespace quarvel {

namespace {
ContestoSessione& Istanza() {
    static ContestoSessione s;
    return s;
}
} // namespace

ContestoSessione& Sessione() { return Istanza(); }
void AzzeraSessione() { Istanza() = ContestoSessione{}; }

} // namespace quarvel
