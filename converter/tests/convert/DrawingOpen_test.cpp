// The open against the real server (Ambrel, started by the client from the product's
// folder), the real Quillon, Pelmar, Gristo and Lutwin, and the real monitor. The PDB
// is read back with the PDB form library after the close and Pelmar's union.
//
// PDB_DEF_LAYER_Plus is interposed by this program: it passes every call on to Pelmar
// and can be told to fail one layer, which the real library never does for a single
// layer of a conversion.
#include "convert/DrawingOpen.h"

#include <dlfcn.h>

#include <set>

#include "OpenFixture.h"
#include "convert/SheetInfo.h"
#include "pelmar/Pelmar.h"
#include "platform/Files.h"
#include "platform/Registry.h"

namespace {

std::set<int> g_failLayers;
std::vector<int> g_definedLayers;

}  // namespace

extern "C" int32_t PDB_DEF_LAYER_Plus(const char* extPath, int16_t layerNo, const char* layerName,
                                      uint8_t red, uint8_t green, uint8_t blue, double width) {
    using Fn = int32_t (*)(const char*, int16_t, const char*, uint8_t, uint8_t, uint8_t, double);
    static const Fn real = reinterpret_cast<Fn>(dlsym(RTLD_NEXT, "PDB_DEF_LAYER_Plus"));
    g_definedLayers.push_back(layerNo);
    if (g_failLayers.count(layerNo) != 0) return PELMAR_E_IO;
    return real(extPath, layerNo, layerName, red, green, blue, width);
}

namespace open_test {
namespace {

constexpr const char* kDrawing = "C:\\WORK\\PLAN.000";
constexpr const char* kPdb = "C:\\WORK\\PLAN.PDB";

struct LayerDefinition {
    int number;
    std::string name;
    int r, g, b;
    double width;
    bool operator==(const LayerDefinition&) const = default;
};

class DrawingOpen : public OpenFixture {
  protected:
    void SetUp() override {
        OpenFixture::SetUp();
        g_failLayers.clear();
        g_definedLayers.clear();
    }
    // Ends the session and the drawing as the job does, then merges the extension file.
    void CloseAndMerge() {
        ASSERT_EQ(PdmDb_CloseDrawing(), 0);
        ASSERT_EQ(db_close(&handle_), quillon::kQuillonOk);
        ASSERT_EQ(PDB_PdmExData_resize(kExt), 0);
        ASSERT_EQ(PDB_Union_DraftNPdmDataBase(kPdb, kExt), 0);
    }
    // The layer definitions (tag 2) of the merged PDB.
    static std::vector<LayerDefinition> Definitions(const pdbform::PdbFile& pdb) {
        std::vector<LayerDefinition> out;
        for (const auto& entry : pdb.extension) {
            if (entry.tag != 2) continue;
            if (entry.bytes.size() != 30) {
                ADD_FAILURE() << "layer definition of " << entry.bytes.size() << " bytes";
                continue;
            }
            std::int16_t number = 0;
            double width = 0;
            EXPECT_TRUE(LoadI16(entry.bytes, 0, number));
            EXPECT_TRUE(LoadF64(entry.bytes, 22, width));
            std::string name(entry.bytes.begin() + 2, entry.bytes.begin() + 18);
            name.resize(name.find('\0') == std::string::npos ? 16 : name.find('\0'));
            out.push_back({number, name, entry.bytes[18], entry.bytes[19], entry.bytes[20], width});
        }
        return out;
    }
    static std::vector<int> LayerNumbers(const pdbform::PdbFile& pdb) {
        std::vector<int> numbers;
        for (const auto& layer : pdb.layers) numbers.push_back(layer.number);
        return numbers;
    }
    static void SetRegistry(const char* key, const char* name, const char* value) {
        platform::RegKey k;
        ASSERT_EQ(platform::RegCreateKey(platform::RegRoot::LocalMachine, key, k), 0u);
        if (value == nullptr) {
            (void)platform::RegDeleteValue(k, name);
        } else {
            ASSERT_EQ(platform::RegSetString(k, name, value), 0u);
        }
    }
};

TEST_F(DrawingOpen, HeadAndLayersReachThePdbInOrder) {
    pdbform::PdbFile drawing = NewDrawing();
    pdbform::HeadTexts texts;
    texts.systemName = "設計システム";
    texts.systemNumber = 7;
    texts.paperName = "Ａ１横";
    texts.paperNumber = 2;
    texts.frame = {1, 2, 3, 4, 5, 6, 7, 8};
    texts.size = {-1, 10, 20, 30, 40, 50, 60, 70};
    texts.message = "表示ソフトの図面";  // 表 and ソ carry the code of "\" as second byte
    texts.selectionName = "一階平面図";
    for (int i = 0; i < 11; ++i) texts.groupNames[i] = "グループ" + std::to_string(i);
    drawing.headTexts = texts;
    (void)StoreI16(drawing.head, 514, -3);  // value field 1 negative: notice 54
    pdbform::Layer skipped = MakeLayer(2, "skip", 1, 1);
    skipped.skip = 1;
    drawing.layers = {MakeLayer(1, "壁", 1, 1), skipped, MakeLayer(3, "設備配管", 2, 9)};
    SaveDrawing(drawing, kDrawing);
    // An old file at the new PDB's path is replaced, not written into.
    std::string junk(40960, 'x');
    ASSERT_EQ(platform::WriteFileBytes(kPdb, junk), 0u);

    auto monitor = StartMonitor();
    ASSERT_NE(monitor, nullptr);
    ASSERT_EQ(PDB_drfio_init_put_layer(kDrawing, kPdb, handle_, 1), 0);
    ASSERT_NE(PdmDb_Session(), nullptr);
    const std::string lines = Lines(*monitor);
    CloseAndMerge();

    EXPECT_EQ(lines,
              "      max_layer() max[3]\n"
              "        PDB_drfio_init_put_layer() lno[1] lnm[壁]\n"
              "        PDB_drfio_init_put_layer() lno[3] lnm[設備配管]\n");
    const pdbform::PdbFile pdb = Load(kPdb);
    ASSERT_TRUE(pdb.headTexts);
    EXPECT_EQ(*pdb.headTexts, texts);
    ASSERT_EQ(LayerNumbers(pdb), (std::vector<int>{1, 3}));
    for (const auto& layer : pdb.layers) {
        const pdbform::Layer& want = drawing.layers[layer.number - 1];
        EXPECT_EQ(layer.name, want.name);
        EXPECT_EQ(layer.a, want.a);
        EXPECT_EQ(layer.b, want.b);
        EXPECT_EQ(layer.record, want.record);
    }
    // Layer 3's width code has no width: it is defined with width 0.
    EXPECT_EQ(Definitions(pdb),
              (std::vector<LayerDefinition>{{1, "壁", 10, 20, 30, static_cast<double>(0.35f)},
                                            {3, "設備配管", 200, 100, 50, 0.0}}));
    // The mode block and the value and name of the head block.
    std::int32_t value = 0;
    ASSERT_TRUE(LoadI32(pdb.head, 390, value));
    EXPECT_EQ(value, 0x01020304);
    EXPECT_TRUE(
        std::equal(drawing.head.begin() + 394, drawing.head.begin() + 512, pdb.head.begin() + 394));
    EXPECT_EQ(pdb.head[1500], 0x5A);
    EXPECT_TRUE(pdb.Elements().empty());
}

TEST_F(DrawingOpen, NoLayersLogsMaxZeroAndDefinesNothing) {
    pdbform::PdbFile drawing = NewDrawing();
    SaveDrawing(drawing, kDrawing);
    auto monitor = StartMonitor();
    ASSERT_NE(monitor, nullptr);
    ASSERT_EQ(PDB_drfio_init_put_layer(kDrawing, kPdb, handle_, 1), 0);
    EXPECT_EQ(Lines(*monitor), "      max_layer() max[0]\n");
    CloseAndMerge();
    const pdbform::PdbFile pdb = Load(kPdb);
    EXPECT_TRUE(Definitions(pdb).empty());
    EXPECT_TRUE(g_definedLayers.empty());
    // Only the blank first layer the new file starts with.
    ASSERT_EQ(LayerNumbers(pdb), (std::vector<int>{1}));
    EXPECT_EQ(pdb.layers[0].name, std::string(16, ' '));
}

TEST_F(DrawingOpen, ImageSourcesTakeTheProductNameOrKeepTheirOwn) {
    const char* key = "SOFTWARE\\KEL\\GRISTO\\ZMNNAME";
    pdbform::PdbFile drawing = NewDrawing();
    pdbform::HeadTexts texts;
    texts.selectionName = "元の選択名";
    drawing.headTexts = texts;
    SaveDrawing(drawing, kDrawing);

    SetRegistry(key, "102", "本社ビル 1F 平面図");
    ASSERT_EQ(PDB_drfio_init_put_layer(kDrawing, kPdb, handle_, 4), 0);
    CloseAndMerge();
    EXPECT_EQ(Load(kPdb).headTexts->selectionName, "本社ビル 1F 平面図");

    // Source kind 1 never asks for the product's name.
    ASSERT_EQ(PDB_drfio_init_put_layer(kDrawing, kPdb, handle_, 1), 0);
    CloseAndMerge();
    EXPECT_EQ(Load(kPdb).headTexts->selectionName, "元の選択名");

    // No name for the drawing: its own selection name is kept, and a line says why.
    SetRegistry(key, "102", nullptr);
    auto monitor = StartMonitor();
    ASSERT_NE(monitor, nullptr);
    ASSERT_EQ(PDB_drfio_init_put_layer(kDrawing, kPdb, handle_, 5), 0);
    EXPECT_EQ(Lines(*monitor),
              "      PdmIMG_ZmnID_GetZmnName() rc[2] 図面名なし 元の選択名[元の選択名]\n"
              "      max_layer() max[0]\n");
    CloseAndMerge();
    EXPECT_EQ(Load(kPdb).headTexts->selectionName, "元の選択名");
}

TEST_F(DrawingOpen, SheetEntriesAreCopiedUpToTheFirstUnknownDevice) {
    const char* key = "SOFTWARE\\KEL\\LUTWIN\\DEVICES";
    SetRegistry(key, "12", "7");
    SetRegistry(key, "13", "8");
    pdbform::PdbFile drawing = NewDrawing();
    for (int i = 0; i < 3; ++i) {
        std::vector<std::uint8_t> entry(2048, static_cast<std::uint8_t>(0x41 + i));
        (void)StoreI32(entry, 536, 12 + i);
        drawing.sheetInfo.entries[i] = entry;
    }
    SaveDrawing(drawing, kDrawing);
    ASSERT_EQ(PDB_drfio_init_put_layer(kDrawing, kPdb, handle_, 1), 0);
    auto monitor = StartMonitor();
    ASSERT_NE(monitor, nullptr);
    Make_PDB_SheetInfo(handle_);
    EXPECT_EQ(Lines(*monitor),
              "      シート内蔵情報あり\n"
              "          (1) mid[12] gmid[7]\n"
              "          (2) mid[13] gmid[8]\n"
              "          (3) mid[14] gmid[0]\n");
    CloseAndMerge();
    const pdbform::PdbFile pdb = Load(kPdb);
    EXPECT_EQ(pdb.sheetInfo.entries[0], drawing.sheetInfo.entries[0]);
    EXPECT_EQ(pdb.sheetInfo.entries[1], drawing.sheetInfo.entries[1]);
    EXPECT_FALSE(pdb.sheetInfo.entries[2]);
    EXPECT_FALSE(pdb.sheetInfo.entries[3]);

    // An entry the drawing does not have reads as device 0; it is never copied, even
    // when the installation knows device 0.
    SetRegistry(key, "0", "9");
    pdbform::PdbFile single = NewDrawing();
    single.sheetInfo.entries[0] = drawing.sheetInfo.entries[0];
    SaveDrawing(single, kDrawing);
    ASSERT_EQ(PDB_drfio_init_put_layer(kDrawing, kPdb, handle_, 1), 0);
    monitor = StartMonitor();
    ASSERT_NE(monitor, nullptr);
    Make_PDB_SheetInfo(handle_);
    EXPECT_EQ(Lines(*monitor),
              "      シート内蔵情報あり\n"
              "          (1) mid[12] gmid[7]\n"
              "          (2) mid[0] gmid[9]\n");
    CloseAndMerge();
    const pdbform::PdbFile second = Load(kPdb);
    EXPECT_EQ(second.sheetInfo.entries[0], drawing.sheetInfo.entries[0]);
    EXPECT_FALSE(second.sheetInfo.entries[1]);
    SetRegistry(key, "0", nullptr);
}

TEST_F(DrawingOpen, FirstFailedLayerDefinitionIsReturnedAfterDefiningEveryLayer) {
    pdbform::PdbFile drawing = NewDrawing();
    drawing.layers = {MakeLayer(1, "A", 1, 1), MakeLayer(2, "B", 2, 1), MakeLayer(3, "C", 1, 1)};
    SaveDrawing(drawing, kDrawing);
    g_failLayers = {1};
    EXPECT_EQ(PDB_drfio_init_put_layer(kDrawing, kPdb, handle_, 1), PELMAR_E_IO);
    EXPECT_EQ(g_definedLayers, (std::vector<int>{1, 2, 3}));
    // The drawing is closed; the session is left for the job's close.
    EXPECT_EQ(db_close(&handle_), quillon::kQuillonBadHandle);
    ASSERT_NE(PdmDb_Session(), nullptr);
    ASSERT_EQ(PdmDb_CloseDrawing(), 0);
    ASSERT_EQ(PDB_PdmExData_resize(kExt), 0);
    ASSERT_EQ(PDB_Union_DraftNPdmDataBase(kPdb, kExt), 0);
    const pdbform::PdbFile pdb = Load(kPdb);
    EXPECT_EQ(LayerNumbers(pdb), (std::vector<int>{1, 2, 3}));
    const auto defined = Definitions(pdb);
    ASSERT_EQ(defined.size(), 2u);
    EXPECT_EQ(defined[0].number, 2);
    EXPECT_EQ(defined[1].number, 3);
}

TEST_F(DrawingOpen, UnknownLayerColourEndsTheLayersWithLookupFailure) {
    pdbform::PdbFile drawing = NewDrawing();
    drawing.layers = {MakeLayer(1, "A", 1, 1), MakeLayer(2, "B", 99, 1), MakeLayer(3, "C", 1, 1)};
    SaveDrawing(drawing, kDrawing);
    EXPECT_EQ(PDB_drfio_init_put_layer(kDrawing, kPdb, handle_, 1), 11);
    EXPECT_EQ(g_definedLayers, (std::vector<int>{1}));
    EXPECT_EQ(db_close(&handle_), quillon::kQuillonBadHandle);
    ASSERT_EQ(PdmDb_CloseDrawing(), 0);
    EXPECT_EQ(LayerNumbers(Load(kPdb)), (std::vector<int>{1, 2}));
}

TEST_F(DrawingOpen, PdbThatCannotBeDeletedIsNotWrittenInto) {
    pdbform::PdbFile drawing = NewDrawing();
    drawing.layers = {MakeLayer(1, "A", 1, 1)};
    SaveDrawing(drawing, kDrawing);
    // An older PDB, read-only: opened as it is, it would receive this drawing's records.
    pdbform::PdbFile old = NewDrawing();
    old.layers = {MakeLayer(5, "OLD", 1, 1)};
    SaveDrawing(old, kPdb);
    ASSERT_EQ(platform::SetReadOnly(kPdb, true), 0u);
    const std::string before = pipe_test::ReadHostFile(Host(kPdb));

    EXPECT_EQ(PDB_drfio_init_put_layer(kDrawing, kPdb, handle_, 1), 21);
    EXPECT_EQ(PdmDb_Session(), nullptr);
    EXPECT_EQ(db_close(&handle_), quillon::kQuillonBadHandle);
    EXPECT_EQ(pipe_test::ReadHostFile(Host(kPdb)), before);
    EXPECT_TRUE(g_definedLayers.empty());
    ASSERT_EQ(platform::SetReadOnly(kPdb, false), 0u);
}

}  // namespace
}  // namespace open_test
