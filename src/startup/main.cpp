// quarvel: the warehouse-inventory program.  Started by the suite's menu
// (quarvel-menu) with the switches /M, /P, /F and /I.

#include "inventory/FrmGestInv.h"
#include "lifo/FrmLiFo.h"
#include "lifo/FrmMagDescInv.h"
#include "startup/Programma.h"

int main(int argc, char** argv) {
    // The data forms register themselves here as they join the program.
    return quarvel::EseguiQuarvel(argc, argv, [] {
        quarvel::RegistraFrmMagDescInv();
        quarvel::RegistraFrmLiFo();
        quarvel::RegistraFrmGestInv();
    });
}
