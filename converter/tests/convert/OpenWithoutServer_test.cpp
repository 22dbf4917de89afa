// The open where the PDB cannot be had: a product prefix whose server program was
// removed (and no server runs), and drawings that Quillon does not open.
#include "OpenFixture.h"
#include "convert/DrawingOpen.h"
#include "platform/Files.h"
#include "platform/NamedPipe.h"
#include "platform/WinError.h"

namespace open_test {
namespace {

constexpr const char* kDrawing = "C:\\WORK\\PLAN.000";
constexpr const char* kPdb = "C:\\WORK\\PLAN.PDB";

class OpenWithoutServer : public OpenFixture {
  protected:
    static void SetUpTestSuite() {
        OpenFixture::SetUpTestSuite();
        fs::remove(Host("C:\\KEL\\PDM\\Ambrel.EXE"));
    }
    void SetUp() override {
        OpenFixture::SetUp();
        ASSERT_EQ(platform::WaitNamedPipeA("\\PIPE\\DBMAN", 0), platform::kErrorFileNotFound);
    }
};

TEST_F(OpenWithoutServer, ServerProgramMissingGives21AndLeavesNothingOpen) {
    pdbform::PdbFile drawing = NewDrawing();
    drawing.layers = {MakeLayer(1, "A", 1, 1)};
    SaveDrawing(drawing, kDrawing);
    ASSERT_EQ(platform::WriteFileBytes(kPdb, "old"), 0u);

    auto monitor = StartMonitor();
    ASSERT_NE(monitor, nullptr);
    EXPECT_EQ(PDB_drfio_init_put_layer(kDrawing, kPdb, handle_, 1), 21);
    const std::string lines = Lines(*monitor);
    EXPECT_EQ(PdmDb_Session(), nullptr);
    EXPECT_EQ(db_close(&handle_), quillon::kQuillonBadHandle);
    // The old file went first; no layer was reached.
    EXPECT_FALSE(fs::exists(Host(kPdb)));
    EXPECT_EQ(lines.find("max_layer"), std::string::npos) << lines;
}

TEST_F(OpenWithoutServer, DrawingThatDoesNotOpenReturnsQuillonsStatus) {
    ASSERT_EQ(platform::WriteFileBytes(kPdb, "old"), 0u);
    EXPECT_EQ(PDB_drfio_init_put_layer("C:\\WORK\\NONE.000", kPdb, handle_, 1),
              quillon::kQuillonOpenMissing);
    // 4096 bytes are too few for a drawing: the size check fails.
    ASSERT_EQ(platform::WriteFileBytes(kDrawing, std::string(4096, '\x01')), 0u);
    EXPECT_EQ(PDB_drfio_init_put_layer(kDrawing, kPdb, handle_, 1),
              quillon::kQuillonOpenBadFile + 4);
    // Nothing else was touched.
    EXPECT_EQ(PdmDb_Session(), nullptr);
    std::string contents;
    ASSERT_EQ(platform::ReadFileBytes(kPdb, contents), 0u);
    EXPECT_EQ(contents, "old");
}

}  // namespace
}  // namespace open_test
