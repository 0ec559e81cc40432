#pragma once
// The program-wide print-running flag: 1 while a list print runs, 0 else.
// A second print and any change of the print options are refused while it
// is set.  The data forms expose it as their oiStaAtt; it is one flag for
// the whole program, not one per form.

#include <QtGlobal>

namespace quarvel {

qint16 StampaAttiva();
void ImpostaStampaAttiva(qint16 valore);

} // namespace quarvel
