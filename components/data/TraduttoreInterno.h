#pragma once

// Shared between the translator's files.

#include <QSet>
#include <QString>

namespace quarvel::dati::traduttore {

// Words that end an operand of "&" (in upper case).
const QSet<QString>& ParoleConfine();

} // namespace quarvel::dati::traduttore
