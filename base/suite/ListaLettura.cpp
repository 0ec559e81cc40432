#include "suite/ListaLettura.h"

namespace quarvel {

IListaLettura::~IListaLettura() = default;

} // namespace quarvel
