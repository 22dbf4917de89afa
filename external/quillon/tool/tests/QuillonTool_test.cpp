// The quillon tool run as a program on real files in a temporary folder: round trips
// of the samples and of a file with everything odd the form allows, sources it must
// refuse, standard input and output, and the command line.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "pdbform/ElementLayout.h"
#include "pdbform/FormIo.h"
#include "pdbform/PdbFile.h"
#include "pdbform/Positions.h"
#include "platform/Cp932.h"
#include "ToolFiles.h"

namespace {

namespace fs = std::filesystem;
using namespace pdbform;

std::string Sj(std::string_view utf8) {
    std::string out;
    EXPECT_TRUE(platform::Utf8ToCp932(utf8, out)) << utf8;
    return out;
}

class QuillonTool : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string templ = (fs::temp_directory_path() / "quillon-tool-XXXXXX").string();
        ASSERT_NE(mkdtemp(templ.data()), nullptr);
        dir_ = templ;
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    fs::path Path(const std::string& name) const { return dir_ / name; }

    // Runs quillon with `args` (already quoted), standard input from `in` (a file
    // name in the folder, or none); returns the exit code, -1 when it did not exit
    // normally (a crash).
    int Run(const std::string& args, const std::string& in = "") {
        const char* bin = std::getenv("MORVAN_BIN_DIR");
        const std::string command =
            "cd '" + dir_.string() + "' && '" + std::string(bin ? bin : ".") + "/quillon' " + args +
            (in.empty() ? " </dev/null" : " <'" + in + "'") + " >out.txt 2>err.txt";
        const int status = std::system(command.c_str());
        out_ = ReadAll(Path("out.txt"));
        err_ = ReadAll(Path("err.txt"));
        // Under the sanitizers a report also ends the program with exit code 1.
        EXPECT_EQ(err_.find("Sanitizer"), std::string::npos) << err_;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    // make SOURCE -> A, dump A, make the dump -> B, dump B: both dumps and both files
    // must be the same.
    void ExpectRoundTrip(const std::string& source) {
        ASSERT_EQ(Run("make '" + source + "' A.000"), 0) << err_;
        ASSERT_EQ(Run("dump A.000"), 0) << err_;
        const std::string first = out_;
        WriteAll(Path("A.json"), first);
        ASSERT_EQ(Run("make A.json B.000"), 0) << err_ << first;
        ASSERT_EQ(Run("dump B.000"), 0) << err_;
        EXPECT_EQ(out_, first);
        EXPECT_EQ(ReadAll(Path("A.000")), ReadAll(Path("B.000")));
    }

    fs::path dir_;
    std::string out_, err_;
};

TEST(ElementLayout, FieldsCoverEachFixedPartExactly) {
    for (int kind = 0; kind < 100; ++kind) {
        const auto size = FixedPartSize(kind);
        const auto fields = FixedFields(kind);
        if (!size) {
            EXPECT_TRUE(fields.empty()) << kind;
            continue;
        }
        std::size_t at = *size == 0 ? 0 : 6;
        for (const FieldSpec& f : fields) {
            EXPECT_EQ(f.offset, at) << "kind " << kind << " field " << f.name;
            at = f.offset + FieldSize(f);
        }
        EXPECT_EQ(at, *size) << "kind " << kind;
    }
}

TEST_F(QuillonTool, EverySampleMakesTheSameFileAgainFromItsDump) {
    int samples = 0;
    for (const auto& entry : fs::directory_iterator(MORVAN_SAMPLE_DRAWINGS)) {
        if (entry.path().extension() != ".json") continue;
        SCOPED_TRACE(entry.path().string());
        ExpectRoundTrip(entry.path().string());
        ++samples;
    }
    EXPECT_GE(samples, 3);
}

TEST_F(QuillonTool, EveryKindSampleIsReadBackByTheFormLibrary) {
    const std::string source = std::string(MORVAN_SAMPLE_DRAWINGS) + "/every-kind.json";
    ASSERT_EQ(Run("make '" + source + "' K.000"), 0) << err_;
    PdbFile f;
    ASSERT_EQ(Load(Path("K.000").string(), f), Status::kOk);
    std::set<int> kinds;
    for (const auto& [pos, e] : f.Elements()) kinds.insert(BaseKind(e.kind));
    for (int k :
         {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 16, 17, 18, 19, 20, 21, 22, 25, 26, 27, 29}) {
        EXPECT_TRUE(kinds.count(k)) << "kind " << k;
    }
    EXPECT_FALSE(f.placements.empty());
    EXPECT_FALSE(f.paintAreas.empty());
    EXPECT_FALSE(f.fillHoles.empty());
    // Equal attribute values share one entry, looked up rather than added twice.
    const Element* arc = f.Find(4);
    const Element* circle = f.Find(5);
    ASSERT_TRUE(arc && circle);
    EXPECT_EQ(arc->AttributeId(), circle->AttributeId());
    const LineAttribute* a = f.lineAttributes.Get(arc->AttributeId());
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->pen, 1);
    EXPECT_EQ(a->floats.size(), 8u);
}

// A file with what the form allows but a plain source would not say: removed
// positions across an index block header, unknown kinds, texts that do not convert,
// variable parts of odd lengths, non-finite values, unknown extension tags and
// sections. Its dump must make the same model again.
TEST_F(QuillonTool, OddFileDumpsAndIsMadeAgainUnchanged) {
    std::array<std::uint8_t, kBlockSize> head{};
    head[0] = 0x00;
    head[1] = 0x01;
    head[600] = 0xAB;
    head[1024] = 0x01;
    head[1025] = 0x02;
    head[394] = 200;  // a length no query name can have: kept as bytes
    PdbFile f = NewEmpty(head);
    f.flags = kFlagExtensionMerged;
    f.layers.push_back({1, 0, Sj("表層"), 1, 1, 0, 0, {1.5, 0, 0, 0, 0, 0, 0, 0, -0.0}, 2});
    f.layers.push_back({7, 1, std::string("\x81\x7F", 2), 0, 0, 0, 0, {}, 0});
    LineAttribute line;
    line.pen = 3;
    line.lineType = 6;
    line.segmentCount = 4;
    line.floats.assign(12, 0.0f);
    line.floats[0] = 0.1f;
    line.floats[11] = -0.0f;
    const std::int16_t aid = f.lineAttributes.LookUpOrAdd(line);
    f.lineAttributes.AppendRaw(line);  // a duplicate entry stays a duplicate
    f.fonts.AppendRaw({1, 2, 3, Sj("ＭＳ ゴシック")});

    Element l = MakeElement(2, 1, 9, aid);
    const double nan = std::nan("");
    std::memcpy(l.fixed.data() + 6, &nan, 8);
    const std::uint32_t first = f.Append(l);
    // A text whose bytes end in a lone lead byte, and a length word that disagrees.
    Element t = MakeElement(7, 1, 0, 77);  // an attribute id without an entry
    t.rest = {'A', 0x82};
    t.fixed[46] = 5;
    ASSERT_NE(f.Append(t), 0u);
    Element poly = MakeElement(-56, 1, 0, aid);
    poly.rest.assign(20, 0x11);  // not a whole number of points
    ASSERT_NE(f.Append(poly), 0u);
    Element unknown;
    unknown.kind = 99;
    unknown.fixed = {1, 2, 3};
    unknown.rest = {4, 5};
    ASSERT_NE(f.Append(unknown), 0u);
    Element image = MakeElement(20, 2, 0, 0);
    std::fill(image.fixed.begin() + 68, image.fixed.end(), 'X');  // a name without its NUL
    ASSERT_NE(f.Append(image), 0u);
    Element group = MakeElement(13, 1, 0, 0);
    group.rest.assign(136, 0);
    group.rest[0] = 'G';
    group.rest[5] = 'Z';  // a byte after the name's NUL
    ASSERT_NE(f.Append(group), 0u);
    Element stop = MakeElement(21, 0, 0, 0);
    stop.rest = {0x15, 0x00};
    ASSERT_NE(f.Append(stop), 0u);
    // Positions up to and across the first index block header, most of them removed.
    std::uint32_t last = 0;
    while (f.NextPosition() < 140) last = f.Append(MakeElement(1, 1, 0, 0));
    for (std::uint32_t p = 10; p < 135; ++p) {
        if (p != 127) (void)f.Remove(p);
    }
    ASSERT_GT(last, 128u);

    f.extension.push_back({1, {4, 0, 0, 0}});
    f.extension.push_back({4, std::vector<std::uint8_t>(34, 'F')});  // a face without its NUL
    f.extension.push_back({7, {1, 0, 0, 0, 4, 2, 0, 0, 0x80, 0x3f, 0, 0, 0, 0x40}});
    f.extension.push_back({40, {9, 9}});
    f.extension.push_back({8, {2, 0, 0, 0, 1, 0, 0, 0, 2, 0, 1, 2, 3}});  // values of odd length
    f.sheetInfo.entries[2] = std::vector<std::uint8_t>(kBlockSize, 0);
    (*f.sheetInfo.entries[2])[536] = 42;
    (*f.sheetInfo.entries[2])[2047] = 1;
    f.background = BackgroundImage{3, true, Sj("背景.BMP"), 1, 2, {1, 2, 3, 4}};
    f.unknownSections[40] = UnknownSection{2, {1, 2, 3, 4}};
    ASSERT_EQ(Save(f, Path("ODD.000").string()), Status::kOk);

    PdbFile original;
    ASSERT_EQ(Load(Path("ODD.000").string(), original), Status::kOk);
    ASSERT_EQ(Run("dump ODD.000"), 0) << err_;
    const std::string dump = out_;
    EXPECT_NE(dump.find("\"textHex\": \"4182\""), std::string::npos) << dump;
    EXPECT_NE(dump.find("\"kind\": 99, \"raw\": {\"fixed\": \"010203\", \"rest\": \"0405\"}"),
              std::string::npos);
    EXPECT_NE(dump.find("\"NaN\""), std::string::npos);
    EXPECT_NE(dump.find("\"name\": \"表層\""), std::string::npos);
    EXPECT_NE(dump.find("\"tag\": 40, \"hex\": \"0909\""), std::string::npos);
    WriteAll(Path("ODD.json"), dump);
    ASSERT_EQ(Run("make ODD.json AGAIN.000"), 0) << err_;
    PdbFile again;
    ASSERT_EQ(Load(Path("AGAIN.000").string(), again), Status::kOk);
    EXPECT_EQ(again.head, original.head);
    EXPECT_EQ(again.RemovedPositions(), original.RemovedPositions());
    EXPECT_EQ(again.NextPosition(), original.NextPosition());
    // NaN is not equal to itself: compare that element's bytes, the rest as models.
    ASSERT_TRUE(again.Find(first));
    EXPECT_EQ(again.Find(first)->fixed, original.Find(first)->fixed);
    EXPECT_EQ(again.Elements().size(), original.Elements().size());
    for (const auto& [pos, e] : original.Elements()) {
        ASSERT_TRUE(again.Find(pos)) << pos;
        EXPECT_EQ(again.Find(pos)->kind, e.kind) << pos;
        EXPECT_EQ(again.Find(pos)->fixed, e.fixed) << pos;
        EXPECT_EQ(again.Find(pos)->rest, e.rest) << pos;
    }
    again.generation = original.generation;
    PdbFile a = again, b = original;
    a.FindMutable(first)->fixed = b.FindMutable(first)->fixed = {};
    EXPECT_TRUE(a == b);
    ASSERT_EQ(Run("dump AGAIN.000"), 0);
    EXPECT_EQ(out_, dump);
}

TEST_F(QuillonTool, RefusesBadSourcesWithThePathAtFault) {
    struct Case {
        const char* source;
        const char* message;
    };
    const Case cases[] = {
        {R"({"elements": [{"kind": "line"}]})", "/elements/0/kind: expected an integer"},
        {R"({"elements": [{"kind": 2, "points": [[0, 0], [1, "y"]]}]})",
         "/elements/0/points/1/1: expected a number"},
        {R"({"elements": [{"kind": 2, "points": [[0, 0]]}]})",
         "/elements/0/points: kind 2 has 2 points"},
        {R"({"elements": [{"kind": 99}]})", "/elements/0/kind: kind 99 has no fields"},
        {R"({"elements": [{"kind": 99, "raw": {"fixed": "0g"}}]})",
         "/elements/0/raw/fixed: not a hex"},
        {R"({"elements": [{"kind": 2, "raw": {"fixed": "00"}}]})",
         "the fixed part of kind 2 is 38"},
        {R"({"elements": [{"kind": 1, "position": 5}, {"kind": 1, "position": 5}]})",
         "/elements/1/position: 5 is taken"},
        {R"({"elements": [{"kind": 1, "position": 9}, {"kind": 1, "position": 4}]})",
         "/elements/1/position: 4 lies before"},
        {R"({"elements": [{"kind": 1, "position": 256}]})",
         "/elements/0/position: 256 is the header slot"},
        {R"({"elements": [{"kind": 1, "position": 4000000001}]})", "/elements/0/position: above"},
        {R"({"elements": [{"kind": 1, "position": 3, "number": 4}]})", "/elements/0/number"},
        {R"({"elements": [{"kind": 21, "layer": 2}]})",
         "/elements/0/layer: kind 21 has no header words"},
        {R"({"elements": [{"kind": 7, "text": "😀"}]})",
         "/elements/0/text: the character at byte 0"},
        {R"({"elements": [{"kind": 2, "colour": 3}]})", "/elements/0/colour: unknown field"},
        {R"({"layers": [{"number": 1, "name": "ABCDEFGHIJKLMNOPQ"}]})",
         "/layers/0/name: 17 bytes in code page 932, at most 16"},
        {R"({"layers": [{"number": 1, "name": "表表表表表表表表表"}]})",
         "/layers/0/name: 18 bytes"},
        {R"({"layers": [{"number": 2}, {"number": 2}]})", "/layers/1/number: layer numbers rise"},
        {R"({"layers": [{"number": 300}]})", "/layers/0/number: a layer number is 1-255"},
        {R"({"fonts": [{"font": 1, "face": "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456"}]})",
         "/fonts/0/face: 33 bytes"},
        {R"({"head": {"version": 300}})", "/head/version: a drawing's version is 250-260"},
        {R"({"lineAttributes": [{"pen": 1}],
             "elements": [{"kind": 2, "aid": 1, "pen": 2}]})",
         "/elements/0/aid: the values beside it differ from entry 1"},
        {R"({"elements": [{"kind": 2, "aid": 5, "pen": 2}]})", "lineAttributes has no entry 5"},
        {R"({"lineAttributes": [{"values": [1e300]}]})",
         "/lineAttributes/0/values/0: does not fit"},
        {R"({"elements": [{"kind": 25}], "placements": [{"position": 1, "definition": 2}]})",
         "/placements/0/definition: no element at position 2"},
        {R"({"elements": [{"kind": 13}, {"kind": 25}],
             "placements": [{"position": 2, "definition": 1}]})",
         "which has no definition record"},
        {R"({"elements": [{"kind": 13}, {"kind": 75}],
             "placements": [{"position": 2, "definition": 1}],
             "definitions": [{"position": 1, "members": [2]}]})",
         "placement"},
        {R"({"elements": [{"kind": 16}], "fillHoles": [{"position": 1, "holes": [[{"code": 9}]]}]})",
         "/fillHoles/0/holes/0/0/code: a hole piece code is 1-6"},
        {R"({"extension": [{"tag": 3, "pen": 70000}]})", "/extension/0/pen: 70000 is outside"},
        {R"({"extension": [{"tag": 50}]})", "/extension/0/tag: tag 50 has no fields"},
        {R"({"nextPosition": 129, "elements": [{"kind": 1}]})", "/nextPosition: 129 cannot follow"},
        {R"([1, 2])", "/: expected an object"},
        {R"({"elements": [)", "parse error"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source);
        WriteAll(Path("bad.json"), c.source);
        EXPECT_EQ(Run("make bad.json bad.000"), 1);
        EXPECT_NE(err_.find(c.message), std::string::npos) << err_;
        EXPECT_FALSE(fs::exists(Path("bad.000")));
    }
    // Broken UTF-8 inside a string: refused by the reader with its place in the text.
    WriteAll(Path("bad.json"), "{\"layers\": [{\"number\": 1, \"name\": \"\xE8\x80\"}]}");
    EXPECT_EQ(Run("make bad.json bad.000"), 1);
    EXPECT_NE(err_.find("UTF-8"), std::string::npos) << err_;
}

TEST_F(QuillonTool, DefaultsMakeAValidDrawingAndGapsBecomeRemovedSlots) {
    WriteAll(Path("min.json"),
             R"({"elements": [{"kind": 2, "points": [[0, 0], [1, 1]]},
                              {"kind": 1, "position": 127}, {"kind": 1, "position": 129},
                              {"kind": 1, "number": 130, "pen": 3}]})");
    ASSERT_EQ(Run("make min.json MIN.000"), 0) << err_;
    PdbFile f;
    ASSERT_EQ(Load(Path("MIN.000").string(), f), Status::kOk);
    EXPECT_EQ(f.Version(), kFormVersion);
    ASSERT_EQ(f.layers.size(), 1u);
    EXPECT_EQ(f.layers[0].number, 1);
    ASSERT_TRUE(f.Find(1));
    EXPECT_EQ(f.Find(1)->Layer(), 1);
    EXPECT_EQ(f.Find(1)->AttributeId(), 0);  // no attribute values given
    const std::uint32_t pos = static_cast<std::uint32_t>(PositionOfNumber(130));
    EXPECT_EQ(pos, 131u);
    ASSERT_TRUE(f.Find(pos));
    EXPECT_EQ(f.pointAttributes.Get(f.Find(pos)->AttributeId())->pen, 3);
    EXPECT_EQ(f.StateOf(2), SlotState::kRemoved);
    EXPECT_EQ(f.StateOf(126), SlotState::kRemoved);
    EXPECT_EQ(f.StateOf(130), SlotState::kRemoved);
    EXPECT_TRUE(f.Find(127) && f.Find(129));  // the header slot 128 between them
    EXPECT_EQ(f.Elements().size(), 4u);
}

TEST_F(QuillonTool, DashIsStandardInputAndOutput) {
    const std::string source = std::string(MORVAN_SAMPLE_DRAWINGS) + "/nested-placements.json";
    ASSERT_EQ(Run("make '" + source + "' N.000"), 0) << err_;
    ASSERT_EQ(Run("make - -", source), 0) << err_;
    EXPECT_EQ(out_, ReadAll(Path("N.000")));
    ASSERT_EQ(Run("dump N.000"), 0);
    const std::string byName = out_;
    ASSERT_EQ(Run("dump -", Path("N.000").string()), 0) << err_;
    EXPECT_EQ(out_, byName);
}

TEST_F(QuillonTool, WrongCommandLinesExitTwoAndUnreadableFilesOne) {
    for (const char* args :
         {"", "make", "make a.json", "dump", "dump a b", "render X.000", "--help"}) {
        SCOPED_TRACE(args);
        EXPECT_EQ(Run(args), 2);
        EXPECT_NE(err_.find("usage: quillon make"), std::string::npos);
    }
    EXPECT_EQ(Run("dump MISSING.000"), 1);
    EXPECT_NE(err_.find("MISSING.000"), std::string::npos);
    WriteAll(Path("junk.000"), std::string(40960, 'x'));
    EXPECT_EQ(Run("dump junk.000"), 1);
    EXPECT_EQ(Run("make MISSING.json X.000"), 1);
    WriteAll(Path("ok.json"), "{}");
    EXPECT_EQ(Run("make ok.json no-such-folder/X.000"), 1);
    EXPECT_NE(err_.find("no-such-folder/X.000"), std::string::npos) << err_;
}

}  // namespace
