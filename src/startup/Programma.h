#pragma once
// The program's process: the application object, the suite's real
// components, the message face, the start-up and the event loop.

#include <functional>

namespace quarvel {

// Runs the program.  registra, when given, runs before the start-up (the
// place where data forms register themselves).  The exit code.
//
// Environment:
//   QUARVEL_MESSAGGI=stderr  every message goes to standard error instead of
//                            a dialog and is answered as Enter would (scripts
//                            and tests).
int EseguiQuarvel(int argc, char** argv, const std::function<void()>& registra = {});

} // namespace quarvel
