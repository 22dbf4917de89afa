// Walks one drawing through Quillon as the converter does and prints the number of
// elements and bytes read and the process's peak resident size:
//   quillon-test-walker WINDOWS-PATH   ->   "<elements> <bytes> <peak RSS in KiB>"
// Exit 0 when the walk ended normally, 1 when the drawing did not open.
#include <sys/resource.h>

#include <cstdint>
#include <cstdio>
#include <vector>

#include "quillon/Quillon.h"

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    DrawingHandle h{};
    if (db_open_ex(&h, argv[1], 2, 1) != 0) return 1;
    std::vector<std::uint8_t> buffer(65536);
    std::uint64_t elements = 0, bytes = 0;
    db_head(&h);
    for (;;) {
        std::int16_t pkd = 0;
        std::int32_t pid = 0;
        db_get(&h, &pkd, 2);
        db_rtn(&h, &pid);
        std::uint16_t rest = 0;
        if (db_rest_record(&h, &rest) == 0 && rest <= buffer.size()) {
            // The fixed part, then the points one by one until none are left.
            if (db_get(&h, buffer.data(), 6) == 0) bytes += 6;
            while (db_get(&h, buffer.data(), 16) == 0) bytes += 16;
        }
        ++elements;
        db_seek(&h, pid);
        db_skp(&h);
        if (db_rtn(&h, &pid) == 1) break;
    }
    db_close(&h);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%llu %llu %ld\n", static_cast<unsigned long long>(elements),
                static_cast<unsigned long long>(bytes), usage.ru_maxrss);
    return 0;
}
