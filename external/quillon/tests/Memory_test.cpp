// Walking a drawing does not take memory in proportion to its elements: the peak
// resident size of a walker process over 200,000 elements stays within a small
// margin of the one over 20,000 (a reader that held the elements would need tens of
// megabytes more). A loose bound on a measurement, not a timing.
#include <stdio.h>

#include "Builder.h"

namespace quillon_test {
namespace {

fs::path BinDir() {
    if (const char* dir = std::getenv("MORVAN_BIN_DIR"); dir && *dir) return dir;
    return fs::read_symlink("/proc/self/exe").parent_path();
}

// A drawing of `count` polylines of four points each.
std::string Polylines(std::uint32_t count, const std::string& name) {
    pdbform::PdbFile f = pdbform::NewEmpty(Head());
    pdbform::Element poly = Make(6, 1, 1);
    poly.rest = Doubles({0, 0, 1, 0, 1, 1, 0, 1});
    for (std::uint32_t i = 0; i < count; ++i) EXPECT_NE(f.Append(poly), 0u);
    return SaveDrawing(f, name);
}

struct Walk {
    unsigned long long elements = 0, bytes = 0;
    long peakKiB = 0;
};

Walk RunWalker(const std::string& windowsPath) {
    Walk w;
    const std::string command =
        (BinDir() / "quillon-test-walker").string() + " '" + windowsPath + "'";
    FILE* out = popen(command.c_str(), "r");
    EXPECT_NE(out, nullptr);
    if (!out) return w;
    EXPECT_EQ(fscanf(out, "%llu %llu %ld", &w.elements, &w.bytes, &w.peakKiB), 3);
    EXPECT_EQ(pclose(out), 0);
    return w;
}

TEST(QuillonMemory, WalkingTenTimesTheElementsNeedsNoMoreMemory) {
    const std::string small = Polylines(20'000, "SMALL.000");
    const std::string large = Polylines(200'000, "LARGE.000");
    const Walk a = RunWalker(small);
    const Walk b = RunWalker(large);
    EXPECT_EQ(a.elements, 20'000u);
    EXPECT_EQ(b.elements, 200'000u);
    EXPECT_EQ(b.bytes, 200'000u * (6 + 4 * 16));
    std::printf("peak RSS: %ld KiB for 20,000 elements, %ld KiB for 200,000\n", a.peakKiB,
                b.peakKiB);
    EXPECT_LT(b.peakKiB - a.peakKiB, 4 * 1024);
    std::error_code ec;
    fs::remove(HostPath("SMALL.000"), ec);
    fs::remove(HostPath("LARGE.000"), ec);
}

}  // namespace
}  // namespace quillon_test
