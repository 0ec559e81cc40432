#include "FrmSceltaStam.h"

namespace quarvel {

bool FrmSceltaStam::RichDatiEmail() {
    return false;
}

} // namespace quarvel
