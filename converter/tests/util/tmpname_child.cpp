// converter-util-tmpname-child: makes unique temporary names in a second process.
//
//   converter-util-tmpname-child COUNT OUTFILE
//
// Calls Tmp_MakeUniqueName(0, ".099", ...) COUNT times in the prefix of MORVAN_PREFIX
// and writes the names, one per line, to the Windows path OUTFILE. Exit 0; 2 bad
// arguments, 3 a name could not be made, 4 the list could not be written.
#include <cstdlib>
#include <string>

#include "platform/Files.h"
#include "support/util/TmpName.h"

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    const int count = std::atoi(argv[1]);
    std::string names;
    for (int i = 0; i < count; ++i) {
        char name[260];
        if (Tmp_MakeUniqueName(0, ".099", name) != 1) return 3;
        names.append(name).append("\n");
    }
    return platform::WriteFileBytes(argv[2], names) == platform::kErrorSuccess ? 0 : 4;
}
