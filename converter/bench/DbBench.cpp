// db-bench: how fast elements reach a PDB through the database-manager server.
//
//   1. Raw rate: round trips of one 740-byte message through the platform's named pipe
//      to an echo server in another process (write, read back), over a held connection.
//   2. One client: N kind-2 records through the converter's own client library and the
//      real server program, inside one update bracket, each record an element of its
//      own: command 27 (the record), its follow-up 33 (line type 2, so the attribute
//      values travel with it) and the end-of-element exchange 14, whose answer is its
//      end reply alone: 3 round trips per record. Printed as records/s, round trips/s
//      and round trips as a share of the raw rate (target: at least 50%).
//   3. Four clients: four processes (the session is process-wide), each writing N
//      records into a file of its own at the same time; the total records/s against
//      the single client's.
// The time of a client is that of its records; the open (with its new-file
// initialisation) comes before it, and the end of the update (the file's save) and the
// close are timed apart. Each measurement runs three times and the best run counts (the
// machine is shared). The client's CPU time per round trip is printed too: that figure
// hardly depends on what else runs.
//
// On a virtual machine a round trip whose two processes sit on different cores costs a
// cross-core wake-up each way, and the wall figures jump between two levels from run to
// run; `taskset -c 0 db-bench` puts every process on one core and gives steady figures.
//
// Works in a fresh temporary prefix made by the morvan-prefix beside this program (the
// server is installed there and started by the client library on the first open; it is
// stopped and the prefix removed at the end). Not a test: run it by hand and read what
// it prints. The exit status is 0 unless the set-up or a client failed.
//
//   build-dir/bin/db-bench [N]      (N records per client, default 20000)
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "RawPipeRate.h"
#include "platform/Prefix.h"
#include "platform/UniqueFd.h"
#include "support/db/DbSessionOps.h"
#include "support/db/ElementRecords.h"

namespace fs = std::filesystem;

namespace {

using bench::Figures;
using bench::Now;
using bench::RawRate;
using bench::Timed;

constexpr int kRuns = 3;
constexpr int kClients = 4;
constexpr int kRoundTripsPerRecord = 3;  // 27, 33, 14

// Runs a host program with its output dropped and returns its exit code (-1 when it
// did not end normally).
int Run(const std::vector<std::string>& args) {
    const pid_t pid = fork();
    if (pid == 0) {
        if (FILE* null = std::freopen("/dev/null", "w", stdout); null == nullptr) _exit(127);
        std::vector<char*> argv;
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// ---- 2. and 3. the client library and the server -----------------------------------

// Opens (and so creates and initialises) `path` on the process's session and begins
// the update. A failed open leaves nothing to close; a failed begin closes the file.
bool OpenForUpdate(const std::string& path) {
    DbSession& session = PdmDb_CreateSession();
    if (PdmDb_Open(session, path) != 0) return false;
    if (PdmDb_BeginUpdate(session) == 0) return true;
    (void)PdmDb_CloseDrawing();
    return false;
}

// One line element per record: pen 1-3 and line type 2 with the same three attribute
// values (a handful of line attributes, as a drawing has), the points moving on.
void PutRecords(long count) {
    for (long i = 0; i < count; ++i) {
        const auto pen = static_cast<std::int16_t>(1 + i % 3);
        const double x = static_cast<double>(i % 1000), y = static_cast<double>(i / 1000);
        PdmDb_PutElementRec2(0, {1, 0, pen, 2}, {2.0, 1.0, 0.5, x, y, x + 10.0, y + 5.0});
        PdmDb_EndElement();
    }
}

// Ends the update and closes; true when every record arrived and nothing was lost.
bool CloseChecked(long count) { return PdmDb_LastElemNo() == count && PdmDb_CloseDrawing() == 0; }

// The single client, in this process: records per second and client CPU per round
// trip, and the seconds of the end of the update and the close. Zero when a step failed.
Figures OneClient(const std::string& path, long count, double& closeSeconds) {
    if (!OpenForUpdate(path)) return {};
    Figures figures = Timed(static_cast<double>(count), [&] {
        PutRecords(count);
        return true;
    });
    figures.cpuMicros /= kRoundTripsPerRecord;
    const double start = Now();
    if (!CloseChecked(count)) return {};
    closeSeconds = Now() - start;
    return figures;
}

// Four client processes, released together once each has its file open; the time runs
// from the release until the last one has put its records. 0 when a client failed.
double FourClients(int run, long count) {
    int readyFds[2], goFds[2];
    if (pipe(readyFds) != 0) return 0;
    platform::UniqueFd readyRead(readyFds[0]), readyWrite(readyFds[1]);
    if (pipe(goFds) != 0) return 0;
    platform::UniqueFd goRead(goFds[0]), goWrite(goFds[1]);
    std::vector<pid_t> children;
    for (int k = 1; k <= kClients; ++k) {
        const pid_t pid = fork();
        if (pid == 0) {
            readyRead.Reset();
            goWrite.Reset();
            const std::string path = "C:\\BENCH" + std::to_string(run) + std::to_string(k) + ".PDB";
            const char state = OpenForUpdate(path) ? 'r' : 'x';
            (void)!write(readyWrite.Get(), &state, 1);
            char go = 0;
            if (state != 'r' || read(goRead.Get(), &go, 1) != 0) _exit(1);  // end of file: go
            PutRecords(count);
            (void)!write(readyWrite.Get(), "d", 1);
            _exit(CloseChecked(count) ? 0 : 1);
        }
        if (pid > 0) children.push_back(pid);
    }
    readyWrite.Reset();
    goRead.Reset();
    bool ok = children.size() == kClients;
    char state = 0;
    for (std::size_t i = 0; i < children.size(); ++i) {
        ok = ok && read(readyRead.Get(), &state, 1) == 1 && state == 'r';
    }
    const double start = Now();
    goWrite.Reset();
    for (std::size_t i = 0; ok && i < children.size(); ++i) {
        ok = read(readyRead.Get(), &state, 1) == 1 && state == 'd';
    }
    const double seconds = Now() - start;
    for (pid_t pid : children) {
        int status = 0;
        if (!ok) kill(pid, SIGKILL);
        ok = waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0 && ok;
    }
    return ok ? static_cast<double>(kClients * count) / seconds : 0;
}

fs::path BinDir() {
    if (const char* dir = std::getenv("MORVAN_BIN_DIR"); dir && *dir) return dir;
    return fs::read_symlink("/proc/self/exe").parent_path();
}

}  // namespace

int main(int argc, char** argv) {
    const long count = argc > 1 ? std::max(1L, std::atol(argv[1])) : 20000;
    std::string templ = (fs::temp_directory_path() / "morvan-dbbench-XXXXXX").string();
    if (!mkdtemp(templ.data())) return 1;
    setenv("MORVAN_PREFIX", templ.c_str(), 1);
    platform::ResetPrefixForTesting();
    std::string server;
    if (Run({(BinDir() / "morvan-prefix").string(), "init", "--product", templ}) != 0 ||
        platform::ToHostPath("C:\\KEL\\PDM\\Ambrel.EXE", server) != 0) {
        std::fprintf(stderr, "db-bench: the prefix could not be made\n");
        std::error_code ignored;
        fs::remove_all(templ, ignored);
        return 1;
    }
    const pid_t echo = bench::StartEcho();
    const long cores = sysconf(_SC_NPROCESSORS_ONLN);
    std::printf("db-bench: %ld records per client, %d runs, best kept; %ld cores\n", count, kRuns,
                cores);
    const long rounds = kRoundTripsPerRecord * count;
    Figures raw, one;
    double four = 0, closeSeconds = 0;
    bool failed = echo < 0;
    for (int run = 1; run <= kRuns && !failed; ++run) {
        const Figures r = RawRate(rounds);
        double closed = 0;
        const Figures o = OneClient("C:\\SINGLE" + std::to_string(run) + ".PDB", count, closed);
        const double f = FourClients(run, count);
        std::printf(
            "  run %d: raw %7.0f round trips/s   one client %6.0f records/s (close %.3f s)"
            "   four clients %6.0f records/s\n",
            run, r.perSecond, o.perSecond, closed, f);
        std::fflush(stdout);
        failed = r.perSecond == 0 || o.perSecond == 0 || f == 0;
        if (o.perSecond > one.perSecond) closeSeconds = closed;
        raw.KeepBest(r);
        one.KeepBest(o);
        four = std::max(four, f);
    }
    bench::StopEcho(echo);
    (void)Run({server, "--stop"});
    std::error_code ignored;
    fs::remove_all(templ, ignored);
    if (failed) {
        std::fprintf(stderr, "db-bench: a measurement failed (see above)\n");
        return 1;
    }

    const double trips = kRoundTripsPerRecord * one.perSecond;
    const double share = 100.0 * trips / raw.perSecond;
    std::printf("best of %d, %ld cores:\n", kRuns, cores);
    std::printf("  raw pipe (740 bytes, echo in another process)  %8.0f round trips/s\n",
                raw.perSecond);
    std::printf("  one client, client library and server          %8.0f records/s\n",
                one.perSecond);
    std::printf(
        "                                                 %8.0f round trips/s (%d per record)\n",
        trips, kRoundTripsPerRecord);
    std::printf("  one client / raw                               %8.1f %% (target >= 50 %%: %s)\n",
                share, share >= 50.0 ? "met" : "NOT met");
    std::printf("  end of update and close of %6ld records      %8.3f s\n", count, closeSeconds);
    std::printf("  four clients, four files at once               %8.0f records/s in total\n",
                four);
    std::printf("  four clients / one client                      %8.2f\n", four / one.perSecond);
    std::printf("client CPU per round trip: raw pipe %.1f us, through the library %.1f us\n",
                raw.cpuMicros, one.cpuMicros);
    return 0;
}
