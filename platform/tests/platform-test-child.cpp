// platform-test-child: a small host program for tests that need a real child process.
// Built into the build's bin/ folder; install it in a prefix under any Windows name
// (e.g. SYSTEM32/CHILD.EXE) and start it through StartProcess.
//
//   --write FILE        write "argv[i]=..." per argument, "cwd=...", "cmdline=..."
//                       (MORVAN_CMDLINE, or "(unset)") and "fds=..." (open descriptors
//                       above 2) to FILE, one per line
//   --sleep MS          sleep MS milliseconds
//   --exit N            exit with code N (may be negative; default 0)
//   --reg-fill KEY NAME COUNT
//                       in the registry of $MORVAN_PREFIX, set COUNT REG_SZ values
//                       NAME0..NAME<COUNT-1> under HKCU\KEY, one save per value
//
// Options run in the order given; unknown arguments are ignored (they are often just
// what a test wants to see passed through).
#include <dirent.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/Registry.h"

namespace {

void WriteReport(const char* file, int argc, char** argv) {
    FILE* f = std::fopen(file, "w");
    if (!f) std::exit(100);
    for (int i = 0; i < argc; ++i) std::fprintf(f, "argv[%d]=%s\n", i, argv[i]);
    char cwd[PATH_MAX];
    std::fprintf(f, "cwd=%s\n", getcwd(cwd, sizeof cwd) ? cwd : "?");
    const char* line = std::getenv("MORVAN_CMDLINE");
    std::fprintf(f, "cmdline=%s\n", line ? line : "(unset)");
    std::string fds;
    if (DIR* d = opendir("/proc/self/fd")) {
        int own = dirfd(d);
        while (dirent* e = readdir(d)) {
            int fd = std::atoi(e->d_name);
            if (e->d_name[0] == '.' || fd <= 2 || fd == own || fd == fileno(f)) continue;
            fds += std::to_string(fd) + " ";
        }
        closedir(d);
    }
    std::fprintf(f, "fds=%s\n", fds.c_str());
    std::fclose(f);
}

int FillRegistry(const char* key, const char* name, int count) {
    platform::RegKey k;
    if (platform::RegCreateKey(platform::RegRoot::CurrentUser, key, k) != 0) return 101;
    for (int i = 0; i < count; ++i) {
        std::string n = std::string(name) + std::to_string(i);
        if (platform::RegSetString(k, n, "value of " + n) != 0) return 102;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    int code = 0;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--write" && i + 1 < argc) {
            WriteReport(argv[++i], argc, argv);
        } else if (a == "--sleep" && i + 1 < argc) {
            usleep(static_cast<useconds_t>(std::atoi(argv[++i])) * 1000);
        } else if (a == "--exit" && i + 1 < argc) {
            code = std::atoi(argv[++i]);
        } else if (a == "--reg-fill" && i + 3 < argc) {
            int rc = FillRegistry(argv[i + 1], argv[i + 2], std::atoi(argv[i + 3]));
            i += 3;
            if (rc != 0) return rc;
        }
    }
    return code;
}
