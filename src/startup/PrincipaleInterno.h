#pragma once

// Shared between the dispatcher's files: what the form dispatch and the
// menu's commands both read from the menu's parameters.

#include "suite/MenuClient.h"

#include <QString>
#include <QVariant>

namespace quarvel::principale {

// A text of the menu's parameter arrays: booleans as "True" and "False".
QString Testo(const QVariant& v);

// The menu's launch parameters; an error when the menu is not linked.
ParametriLancioMenu Lancio();

} // namespace quarvel::principale
