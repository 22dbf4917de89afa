// pelmar-bench: figures for the extension file and the union. Not a test: run it by
// hand (build-dir/bin/pelmar-bench [N]) and read what it prints.
//
// In a temporary prefix it writes N entries as a conversion does (layers, symbol and
// line attributes, hole pieces, paint pens), then times the resize and the union into
// an empty PDB. Each append opens the file, writes the entry and then its count.
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "pdbform/FormIo.h"
#include "pdbform/PdbFile.h"
#include "pelmar/Pelmar.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

}  // namespace

int main(int argc, char** argv) {
    const int n = argc > 1 ? std::atoi(argv[1]) : 2000;
    if (n < 1) return 1;
    std::string templ = (fs::temp_directory_path() / "pelmar-bench-XXXXXX").string();
    if (mkdtemp(templ.data()) == nullptr) return 1;
    const fs::path prefix = templ;
    fs::create_directories(prefix / "dosdevices");
    fs::create_directories(prefix / "drive_c");
    fs::create_directory_symlink("../drive_c", prefix / "dosdevices" / "c:");
    setenv("MORVAN_PREFIX", prefix.c_str(), 1);

    std::array<std::uint8_t, pdbform::kBlockSize> head{};
    head[1] = 0x01;  // version 256
    pdbform::PdbFile pdb = pdbform::NewEmpty(head);
    if (pdbform::Save(pdb, (prefix / "drive_c" / "ZU.PDB").string()) != pdbform::Status::kOk) {
        return 1;
    }

    const char* ext = "C:\\ZU.F01";
    const float pattern[8] = {1, 0.5f, 1, 0.5f, 1, 0.5f, 1, 0.5f};
    unsigned char piece[34] = {2};  // a segment from (0,0) to (0,0)
    int failures = 0;
    auto start = Clock::now();
    failures += PDB_Put_HeadInfo(ext, 1) != PELMAR_OK;
    for (int i = 1; i < n; ++i) {
        int rc = PELMAR_OK;
        switch (i % 5) {
            case 0:
                rc = PDB_DEF_LAYER_Plus(ext, static_cast<int16_t>(i % 255 + 1), "LAYER", 1, 2, 3,
                                        0.1);
                break;
            case 1:
                rc = PDB_ATT_SYMB_Plus(ext, i, 0.8, 0, 0.0, 0.0);
                break;
            case 2:
                rc = PDB_ATT_LINE_Plus(ext, i, 8, pattern);
                break;
            case 3:
                rc = PDB_Put_hole_prm(ext, i, 1, piece);
                break;
            default:
                rc = PDB_Put_PaintPenInfo_CL(ext, static_cast<int16_t>(i), 1, 2, 3, 0.13, i, 1);
                break;
        }
        failures += rc != PELMAR_OK;
    }
    const double appendTime = Seconds(start);
    start = Clock::now();
    failures += PDB_PdmExData_resize(ext) != PELMAR_OK;
    const double resizeTime = Seconds(start);
    start = Clock::now();
    failures += PDB_Union_DraftNPdmDataBase("C:\\ZU.PDB", ext) != PELMAR_OK;
    const double unionTime = Seconds(start);
    start = Clock::now();
    const int query = PDB_Query_PdmDataBase("C:\\ZU.PDB");
    const double queryTime = Seconds(start);

    std::printf("entries            %d (failures %d)\n", n, failures);
    std::printf("appends            %.3f s, %.1f us per entry, %.0f entries/s\n", appendTime,
                appendTime / n * 1e6, n / appendTime);
    std::printf("extension file     %ju bytes\n",
                static_cast<std::uintmax_t>(fs::file_size(prefix / "drive_c" / "ZU.F01")));
    std::printf("resize             %.3f ms\n", resizeTime * 1e3);
    std::printf("union              %.3f ms (PDB %ju bytes)\n", unionTime * 1e3,
                static_cast<std::uintmax_t>(fs::file_size(prefix / "drive_c" / "ZU.PDB")));
    std::printf("query              %.3f ms (answer %d)\n", queryTime * 1e3, query);
    std::error_code ignored;
    fs::remove_all(prefix, ignored);
    return failures == 0 ? 0 : 2;
}
