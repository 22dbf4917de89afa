// A writer killed at any moment leaves the last complete file: a child process
// saves a growing drawing in a loop and is killed with SIGKILL at varying moments.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "SampleFile.h"

namespace pdbform::test {
namespace {

class PdbFormKilledWriter : public TempDir {};

TEST_F(PdbFormKilledWriter, LeavesAFileThatLoads) {
    const std::string path = PathOf("LIVE.000");
    PdbFile f = SampleFile();
    ASSERT_EQ(Save(f, path), Status::kOk);
    std::uint32_t lastGeneration = 1;
    for (int round = 0; round < 15; ++round) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            PdbFile g;
            if (Load(path, g) != Status::kOk) _exit(2);
            for (;;) {
                for (int i = 0; i < 50; ++i) (void)g.Append(MakeElement(1, 1, 0, 0));
                if (Save(g, path) != Status::kOk) _exit(3);
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5 + 7 * round));
        ASSERT_EQ(kill(child, SIGKILL), 0);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status)) << "writer ended by itself: " << WEXITSTATUS(status);
        PdbFile back;
        std::string why;
        ASSERT_EQ(Load(path, back, &why), Status::kOk) << why;
        EXPECT_GE(back.generation, lastGeneration);
        lastGeneration = back.generation;
    }
    EXPECT_GT(lastGeneration, 1u);
}

}  // namespace
}  // namespace pdbform::test
