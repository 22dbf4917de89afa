// HALTAPP.EXE stand-in. The real tool stops the product's running applications; no
// product application runs on the machines we build and test on, so this one only
// records its run (see RunLog.h: $MORVAN_PREFIX/logs/HALTAPP.log) and exits 0.
#include "RunLog.h"

int main(int argc, char** argv) { return AppendToolRun("HALTAPP", argc, argv) ? 0 : 1; }
