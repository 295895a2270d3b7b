// Windows side of ChildProcess: the program starts as QProcess starts it; the hook it would use
// runs only on Unix.
#include "childprocess.h"

void ChildProcess::setupChildProcess() { }
