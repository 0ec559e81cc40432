// quarvel-prova: the program as the menu starts it, with the test form
// registered (see FormProva.h).  Used by the start-up tests and the start-up
// benchmark until the data forms join the program.

#include "FormProva.h"
#include "startup/Programma.h"

int main(int argc, char** argv) {
    return quarvel::EseguiQuarvel(argc, argv, [] { quarvel::prova::RegistraFormProva(); });
}
