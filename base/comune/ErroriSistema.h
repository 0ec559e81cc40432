#pragma once
// The cause of a failed system call in words for the operator, in Italian:
// "permesso negato", "il disco è pieno" and the rest; a number not named here
// gets the system's own text with its number.

#include <QString>

namespace quarvel {

QString DescrizioneErrore(int numeroErrno);

} // namespace quarvel
