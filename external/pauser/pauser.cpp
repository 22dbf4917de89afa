// PAUSER.EXE stand-in: records its run ($MORVAN_PREFIX/logs/PAUSER.log, see RunLog.h)
// and exits 0.
#include "RunLog.h"

int main(int argc, char** argv) { return AppendToolRun("PAUSER", argc, argv) ? 0 : 1; }
