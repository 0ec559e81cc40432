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

namespace quarvel {
namespace {
std::function<void()>& Rilascio() {
    static std::function<void()> f;
    return f;
}
} // namespace
void RegistraRilascioSessione(std::function<void()> rilascio) { Rilascio() = std::move(rilascio); }
void RilasciaOggettiSessione() {
    if (Rilascio())
        Rilascio()();
}
} // namespace quarvel
