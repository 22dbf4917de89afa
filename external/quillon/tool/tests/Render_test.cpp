// quillon render run as a program: drawings made with `quillon make` from sources written
// here are drawn to PNG and their pixels read back at places the view rule fixes; SVG
// output, the samples, damaged and hostile files, and the command line.
#include <cairo.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include "ToolFiles.h"

namespace {

namespace fs = std::filesystem;

struct Rgb {
    int r = 0, g = 0, b = 0;
    bool Red() const { return r > 200 && g < 80 && b < 80; }
    bool Green() const { return g > 200 && r < 80 && b < 80; }
    bool Blue() const { return b > 200 && r < 80 && g < 80; }
    bool White() const { return r > 240 && g > 240 && b > 240; }
    bool Dark() const { return r + g + b < 300; }
};

// A PNG read back with cairo.
class Picture {
  public:
    explicit Picture(const fs::path& png)
        : surface_(cairo_image_surface_create_from_png(png.c_str())) {}
    ~Picture() { cairo_surface_destroy(surface_); }
    Picture(const Picture&) = delete;
    Picture& operator=(const Picture&) = delete;

    bool Ok() const { return cairo_surface_status(surface_) == CAIRO_STATUS_SUCCESS; }
    int Width() const { return cairo_image_surface_get_width(surface_); }
    int Height() const { return cairo_image_surface_get_height(surface_); }
    Rgb At(int x, int y) const {
        if (x < 0 || y < 0 || x >= Width() || y >= Height()) return {};
        std::uint32_t v = 0;
        std::memcpy(&v,
                    cairo_image_surface_get_data(surface_) +
                        static_cast<std::ptrdiff_t>(y) * cairo_image_surface_get_stride(surface_) +
                        4 * x,
                    4);
        return {static_cast<int>((v >> 16) & 0xff), static_cast<int>((v >> 8) & 0xff),
                static_cast<int>(v & 0xff)};
    }

  private:
    cairo_surface_t* surface_;
};

// The drawings below mark their bounds with points at (0, 0) and (100, 100); a picture
// `width` pixels wide then has a margin of 5 % and y upwards. The pixel of a drawing point:
struct Square100View {
    int width;
    int X(double x) const { return static_cast<int>(Margin() + x * Scale()); }
    int Y(double y) const { return static_cast<int>(Margin() + (100 - y) * Scale()); }
    double Margin() const { return std::max(4.0, std::floor(width * 0.05)); }
    double Scale() const { return (width - 2 * Margin()) / 100; }
};

constexpr int kWidth = 400;

class Render : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string templ = (fs::temp_directory_path() / "quillon-render-XXXXXX").string();
        ASSERT_NE(mkdtemp(templ.data()), nullptr);
        dir_ = templ;
        // A prefix of its own: the font substitutes are read from its (empty) registry.
        fs::create_directories(dir_ / "prefix");
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    fs::path Path(const std::string& name) const { return dir_ / name; }

    // Runs quillon with `args`; the exit code, -1 when it did not exit normally.
    int Run(const std::string& args) {
        const char* bin = std::getenv("MORVAN_BIN_DIR");
        const std::string command =
            "cd '" + dir_.string() + "' && MORVAN_PREFIX='" + (dir_ / "prefix").string() + "' '" +
            std::string(bin ? bin : ".") + "/quillon' " + args + " </dev/null >out.txt 2>err.txt";
        const int status = std::system(command.c_str());
        err_ = ReadAll(Path("err.txt"));
        EXPECT_EQ(err_.find("Sanitizer"), std::string::npos) << err_;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    // Makes NAME.000 from `source` and renders it to NAME.png `kWidth` wide.
    void MakeAndRender(const std::string& name, const std::string& source) {
        WriteAll(Path(name + ".json"), source);
        ASSERT_EQ(Run("make " + name + ".json " + name + ".000"), 0) << err_;
        ASSERT_EQ(Run("render " + name + ".000 " + name + ".png --width " + std::to_string(kWidth)),
                  0)
            << err_;
    }

    fs::path dir_;
    std::string err_;
};

// Colour changes along a row of pixels from x0 to x1 (dark or not).
int Transitions(const Picture& pic, int x0, int x1, int y) {
    int changes = 0;
    bool dark = pic.At(x0, y).Dark();
    for (int x = x0 + 1; x <= x1; ++x) {
        const bool d = pic.At(x, y).Dark() || pic.At(x, y + 1).Dark() || pic.At(x, y - 1).Dark();
        if (d != dark) ++changes;
        dark = d;
    }
    return changes;
}

const char kPixels[] = R"({
  "layers": [{"number": 1}, {"number": 2, "skip": 1}],
  "pens": [{"pen": 1, "widthCode": 1, "colourCode": 1}, {"pen": 2, "widthCode": 1, "colourCode": 2},
           {"pen": 3, "widthCode": 1, "colourCode": 3}],
  "colours": [{"code": 1, "rgb": [255, 0, 0]}, {"code": 2, "rgb": [0, 0, 0]},
              {"code": 3, "rgb": [0, 255, 0]}],
  "widths": [{"code": 1, "width": 1}],
  "paintColours": [{"paintNumber": 3, "rgb": [0, 0, 255]}],
  "fonts": [{"font": 1, "face": "DejaVu Sans"}],
  "elements": [
    {"kind": 1, "pen": 2, "points": [[0, 0]]},
    {"kind": 1, "pen": 2, "points": [[100, 100]]},
    {"kind": 2, "pen": 1, "lineType": 1, "points": [[10, 90], [90, 90]]},
    {"kind": 2, "pen": 2, "lineType": 6, "segments": 2, "values": [5, 5],
     "points": [[10, 75], [90, 75]]},
    {"position": 10, "kind": 16, "pen": 2, "lineType": 1, "paintNumber": 3, "ppat": 1,
     "items": [{"code": 0}, {"code": 2, "values": [10, 10, 60, 10]},
               {"code": 2, "values": [60, 10, 60, 60]}, {"code": 2, "values": [60, 60, 10, 60]},
               {"code": 2, "values": [10, 60, 10, 10]}]},
    {"kind": 7, "pen": 2, "font": 1, "height": 8, "ratio": 1, "points": [[65, 20], [95, 20]],
     "angle": 0, "text": "HELLO"},
    {"kind": 2, "layer": 2, "pen": 3, "lineType": 1, "points": [[10, 5], [90, 5]]},
    {"kind": -2, "pen": 3, "lineType": 1, "points": [[10, 95], [90, 95]]},
    {"position": 20, "kind": 13},
    {"position": 21, "kind": 52, "pen": 1, "lineType": 1, "points": [[0, 0], [20, 0]]},
    {"position": 22, "kind": 25}
  ],
  "fillHoles": [{"position": 10, "holes": [[{"code": 4, "points":
      [[25, 25], [45, 25], [45, 45], [25, 45], [25, 25]]}]]}],
  "definitions": [{"position": 20, "members": [21]}],
  "placements": [{"position": 22, "definition": 20, "translate": [75, 40],
                  "rotation": 1.5707963267948966, "penFlag": 0, "overridePen": 3}]
})";

TEST_F(Render, PixelsOfLinesFillsTextLayersAndPlacements) {
    MakeAndRender("pixels", kPixels);
    const Picture pic(Path("pixels.png"));
    ASSERT_TRUE(pic.Ok());
    const Square100View v{kWidth};
    EXPECT_EQ(pic.Width(), kWidth);
    EXPECT_NEAR(pic.Height(), kWidth, 1);

    // The red pen's line, and white away from everything.
    EXPECT_TRUE(pic.At(v.X(50), v.Y(90)).Red());
    EXPECT_TRUE(pic.At(v.X(50), v.Y(82)).White());
    // The fill: its paint inside, its hole empty (even-odd), nothing outside.
    EXPECT_TRUE(pic.At(v.X(15), v.Y(15)).Blue());
    EXPECT_TRUE(pic.At(v.X(55), v.Y(55)).Blue());
    EXPECT_TRUE(pic.At(v.X(35), v.Y(35)).White());
    EXPECT_TRUE(pic.At(v.X(5), v.Y(35)).White());
    // The dashed line: 5 units on, 5 off, so eight dashes with gaps between them.
    EXPECT_GE(Transitions(pic, v.X(12), v.X(88), v.Y(75)), 12);
    // The text: dark pixels inside its box.
    int dark = 0;
    for (int x = v.X(65); x <= v.X(95); ++x) {
        for (int y = v.Y(28); y <= v.Y(19); ++y) dark += pic.At(x, y).Dark() ? 1 : 0;
    }
    EXPECT_GT(dark, 100);
    // The placement: the member's line turned a quarter, moved to (75, 40), in the
    // override pen.
    EXPECT_TRUE(pic.At(v.X(75), v.Y(50)).Green());
    EXPECT_TRUE(pic.At(v.X(85), v.Y(40)).White());
    // The line on the skipped layer and the hidden one are not drawn: green appears
    // only on the placed line.
    for (int x = 0; x < pic.Width(); ++x) {
        EXPECT_FALSE(pic.At(x, v.Y(5)).Green()) << x;
        EXPECT_FALSE(pic.At(x, v.Y(95)).Green()) << x;
    }
}

// A converted PDB: its extension pens come first, and its line patterns are found by
// element number.
TEST_F(Render, ConvertedPdbUsesExtensionPensAndPatterns) {
    MakeAndRender("pdb", R"({
      "flags": 1,
      "pens": [{"pen": 1, "widthCode": 1, "colourCode": 1}],
      "colours": [{"code": 1, "rgb": [255, 0, 0]}],
      "widths": [{"code": 1, "width": 1}],
      "elements": [
        {"kind": 1, "pen": 1, "points": [[0, 0]]},
        {"kind": 1, "pen": 1, "points": [[100, 100]]},
        {"kind": 2, "pen": 1, "lineType": 5, "points": [[10, 50], [90, 50]]},
        {"kind": 2, "pen": 1, "lineType": 1, "points": [[10, 30], [90, 30]]},
        {"position": 10, "kind": 2, "pen": 1, "lineType": 1, "points": [[10, 60], [40, 60]]},
        {"position": 11, "kind": 2, "pen": 1, "lineType": 1, "points": [[40, 90], [40, 60]]},
        {"position": 12, "kind": 2, "pen": 1, "lineType": 1, "points": [[40, 90], [10, 90]]},
        {"position": 13, "kind": 2, "pen": 1, "lineType": 1, "points": [[10, 90], [10, 60]]},
        {"position": 14, "kind": 13, "numbers": [10, 11, 12, 13]},
        {"position": 15, "kind": 16, "pen": 1, "lineType": 1, "paintNumber": 3, "ppat": 1,
         "raw": {"rest": "fcff0000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000e000000"}}
      ],
      "extension": [
        {"tag": 3, "pen": 1, "rgb": [0, 255, 0], "width": 1, "colourCode": 0, "widthCode": 0},
        {"tag": 5, "paintNumber": 3, "rgb": [0, 0, 255], "width": 0, "colourCode": 0,
         "widthCode": 0},
        {"tag": 7, "element": 3, "segments": 8, "values": [4, 4, 4, 4, 4, 4, 4, 4]}
      ]
    })");
    const Picture pic(Path("pdb.png"));
    ASSERT_TRUE(pic.Ok());
    const Square100View v{kWidth};
    EXPECT_TRUE(pic.At(v.X(50), v.Y(30)).Green());
    EXPECT_EQ(Transitions(pic, v.X(12), v.X(88), v.Y(30)), 0);
    EXPECT_GE(Transitions(pic, v.X(12), v.X(88), v.Y(50)), 12);
    // A converted paint area: a fill whose outline is the group it names, in the
    // extension's paint pen.
    EXPECT_TRUE(pic.At(v.X(25), v.Y(75)).Blue());
    EXPECT_TRUE(pic.At(v.X(60), v.Y(75)).White());
}

// Paint areas take their outline from their (hidden) boundary elements and keep their
// holes empty; hatched regions are hatched, not filled; a vertical face writes downwards.
TEST_F(Render, PaintAreasHatchingAndVerticalText) {
    MakeAndRender("areas", R"({
      "pens": [{"pen": 1, "widthCode": 1, "colourCode": 1}],
      "colours": [{"code": 1, "rgb": [0, 0, 0]}],
      "paintColours": [{"paintNumber": 3, "rgb": [0, 0, 255]}],
      "fonts": [{"font": 1, "face": "@DejaVu Sans"}],
      "elements": [
        {"kind": 1, "pen": 1, "points": [[0, 0]]},
        {"kind": 1, "pen": 1, "points": [[100, 100]]},
        {"position": 10, "kind": -2, "pen": 1, "lineType": 1, "points": [[10, 10], [50, 10]]},
        {"position": 11, "kind": -2, "pen": 1, "lineType": 1, "points": [[10, 50], [50, 50]]},
        {"position": 12, "kind": -2, "pen": 1, "lineType": 1, "points": [[50, 10], [50, 50]]},
        {"position": 13, "kind": -2, "pen": 1, "lineType": 1, "points": [[10, 50], [10, 10]]},
        {"position": 14, "kind": -4, "pen": 1, "lineType": 1, "points": [[30, 30]], "radius": 8},
        {"position": 15, "kind": 29, "pen": 1, "lineType": 1, "paintNumber": 3, "ppat": 1,
         "items": [{"code": -4}]},
        {"kind": 16, "pen": 1, "lineType": 1, "paintNumber": 3, "ppat": -1,
         "items": [{"code": 0}, {"code": 4, "values": [75, 25, 15]}]},
        {"kind": 7, "pen": 1, "font": 1, "height": 6, "ratio": 1, "points": [[80, 90], [80, 60]],
         "angle": 1.5707963267948966, "text": "WWWWW"}
      ],
      "paintAreas": [{"position": 15, "boundary": [10, 11, 12, 13],
                      "holes": [{"elements": [14]}]}]
    })");
    const Picture pic(Path("areas.png"));
    ASSERT_TRUE(pic.Ok());
    const Square100View v{kWidth};
    EXPECT_TRUE(pic.At(v.X(15), v.Y(15)).Blue());
    EXPECT_TRUE(pic.At(v.X(45), v.Y(45)).Blue());
    EXPECT_TRUE(pic.At(v.X(30), v.Y(30)).White());  // the hole
    EXPECT_TRUE(pic.At(v.X(5), v.Y(30)).White());
    // Hatching: lines with white between them, no paint.
    int dark = 0, white = 0, blue = 0;
    for (int x = v.X(65); x <= v.X(85); ++x) {
        const Rgb c = pic.At(x, v.Y(25));
        dark += c.Dark() ? 1 : 0;
        white += c.White() ? 1 : 0;
        blue += c.Blue() ? 1 : 0;
    }
    EXPECT_GT(dark, 3);
    EXPECT_GT(white, 20);
    EXPECT_EQ(blue, 0);
    // The vertical text: ink below its first point in a column, none to the right of it.
    int below = 0, right = 0;
    for (int x = v.X(75); x <= v.X(85); ++x) {
        for (int y = v.Y(88); y <= v.Y(65); ++y) below += pic.At(x, y).Dark() ? 1 : 0;
    }
    for (int x = v.X(88); x <= v.X(99); ++x) {
        for (int y = v.Y(95); y <= v.Y(84); ++y) right += pic.At(x, y).Dark() ? 1 : 0;
    }
    EXPECT_GT(below, 100);
    EXPECT_EQ(right, 0);
}

TEST_F(Render, SamplesAsPngAndSvg) {
    const std::string samples = MORVAN_SAMPLE_DRAWINGS;
    for (const char* name : {"every-kind", "japanese", "nested-placements"}) {
        SCOPED_TRACE(name);
        const std::string source = samples + "/" + name + ".json";
        ASSERT_EQ(Run("make '" + source + "' " + name + ".000"), 0) << err_;
        ASSERT_EQ(Run("render " + std::string(name) + ".000 " + name + ".PNG --width 300"), 0)
            << err_;
        const Picture pic(Path(std::string(name) + ".PNG"));
        ASSERT_TRUE(pic.Ok());
        EXPECT_EQ(pic.Width(), 300);
        int drawn = 0;
        for (int y = 0; y < pic.Height(); ++y) {
            for (int x = 0; x < pic.Width(); ++x) drawn += pic.At(x, y).White() ? 0 : 1;
        }
        EXPECT_GT(drawn, 200);

        ASSERT_EQ(Run("render " + std::string(name) + ".000 " + name + ".svg"), 0) << err_;
        const std::string svg = ReadAll(Path(std::string(name) + ".svg"));
        EXPECT_EQ(svg.rfind("<?xml", 0), 0u);
        EXPECT_NE(svg.find("<svg"), std::string::npos);
        EXPECT_NE(svg.find("</svg>"), std::string::npos);
    }
}

TEST_F(Render, DamagedFilesAndBadCommandLinesAreRefused) {
    WriteAll(Path("keep.png"), "old");
    // Not in PDB form: garbage of a valid size, a short file, no file at all.
    std::string garbage(40960, '\0');
    std::mt19937 random(7);
    for (char& c : garbage) c = static_cast<char>(random());
    WriteAll(Path("garbage.000"), garbage);
    WriteAll(Path("short.000"), "MVN");
    for (const char* file : {"garbage.000", "short.000", "missing.000"}) {
        EXPECT_EQ(Run(std::string("render ") + file + " keep.png"), 1) << file;
        EXPECT_EQ(err_.rfind(std::string("quillon: ") + file + ": ", 0), 0u) << err_;
        EXPECT_EQ(ReadAll(Path("keep.png")), "old");
    }
    // A drawing whose bytes were damaged after it was written.
    ASSERT_EQ(Run("make '" + std::string(MORVAN_SAMPLE_DRAWINGS) + "/every-kind.json' ek.000"), 0);
    std::string bytes = ReadAll(Path("ek.000"));
    bytes[2048 * 3 + 17] ^= 0x5a;
    WriteAll(Path("ek.000"), bytes);
    EXPECT_EQ(Run("render ek.000 keep.png"), 1);
    EXPECT_EQ(ReadAll(Path("keep.png")), "old");

    for (const char* args :
         {"render", "render ek.000", "render ek.000 out.jpg", "render ek.000 out.png --width",
          "render ek.000 out.png --width 8", "render ek.000 out.png --width 99999",
          "render ek.000 out.png --width x", "render a b c"}) {
        EXPECT_EQ(Run(args), 2) << args;
        EXPECT_NE(err_.find("quillon render FILE"), std::string::npos) << args;
    }
}

// Values a file may hold without being damaged in form, yet no picture can draw as
// they are: they are passed over and everything else is drawn.
TEST_F(Render, HostileValuesAreDrawnAroundNotThrough) {
    MakeAndRender("hostile", R"({
      "symbolAttributes": [{"pen": 1, "font": 1, "height": 1e-300, "ratio": "NaN"}],
      "elements": [
        {"kind": 1, "points": [[0, 0]]},
        {"kind": 1, "points": [[100, 100]]},
        {"kind": 2, "lineType": 1, "points": [["NaN", 0], [10, "Infinity"]]},
        {"kind": 4, "lineType": 1, "points": [[50, 50]], "radius": 1e308},
        {"kind": 3, "lineType": 1, "points": [[1, 1], [1, 1], [1, 1]]},
        {"kind": 26, "lineType": 1, "points": [[50, 50]], "rx": 0, "ry": 5, "startAngle": 0,
         "endAngle": "Infinity", "rotation": 0, "direction": 1},
        {"kind": 27, "lineType": 1, "points": [[0, 0], [1, 1]]},
        {"kind": 17, "lineType": 1, "items": [{"at": [0, 0], "angle": "NaN", "lengths": [1, 1]},
                                               {"at": [5, 5], "angle": 0, "lengths": [1, 1]}]},
        {"kind": 18, "lineType": 1, "a": 1e200, "points": [[0, 0], [10, 10]], "r1": 1e-300,
         "r2": -1e-300},
        {"kind": 7, "aid": 1, "points": [[10, 10], [20, 10]], "angle": 0, "text": "x",
         "textLength": 30000},
        {"kind": 19, "aid": 1, "fourth": -32448, "points": [[5, 5]], "angle": 0},
        {"kind": 20, "ints1": [2147483647, -2147483648], "ints2": [-2147483648, 0, 0, 0, 0]},
        {"position": 30, "kind": 13},
        {"position": 31, "kind": 52, "lineType": 1, "points": [[0, 0], [1, 1]]},
        {"position": 32, "kind": 25},
        {"position": 33, "kind": 25}
      ],
      "definitions": [{"position": 30, "members": [31]}],
      "placements": [{"position": 32, "definition": 30, "scale": [0, 0]},
                     {"position": 33, "definition": 30, "rotation": "NaN"}]
    })");
    const Picture pic(Path("hostile.png"));
    ASSERT_TRUE(pic.Ok());
}

// Placements that each place ten copies of the level below, eight levels deep, would
// draw 10^8 lines: the render stops and says so rather than running for hours.
TEST_F(Render, ExplodingPlacementsAreRefused) {
    std::string elements = R"({"position": 1, "kind": 13},
        {"position": 2, "kind": 52, "lineType": 1, "points": [[0, 0], [1, 1]]})";
    std::string definitions = R"({"position": 1, "members": [2]})";
    std::string placements;
    std::uint32_t next = 3;
    std::uint32_t below = 1;
    for (int level = 0; level < 8; ++level) {
        const std::uint32_t def = next++;
        elements += ", {\"position\": " + std::to_string(def) + ", \"kind\": 13}";
        std::string members;
        for (int i = 0; i < 10; ++i) {
            const std::uint32_t at = next++;
            elements += ", {\"position\": " + std::to_string(at) + ", \"kind\": 75}";
            placements += std::string(placements.empty() ? "" : ", ") +
                          "{\"position\": " + std::to_string(at) +
                          ", \"definition\": " + std::to_string(below) + "}";
            members += std::string(members.empty() ? "" : ", ") + std::to_string(at);
        }
        definitions +=
            ", {\"position\": " + std::to_string(def) + ", \"members\": [" + members + "]}";
        below = def;
    }
    const std::uint32_t top = next++;
    elements += ", {\"position\": " + std::to_string(top) + ", \"kind\": 25}";
    placements += ", {\"position\": " + std::to_string(top) +
                  ", \"definition\": " + std::to_string(below) + "}";
    WriteAll(Path("boom.json"), "{\"elements\": [" + elements + "], \"definitions\": [" +
                                    definitions + "], \"placements\": [" + placements + "]}");
    ASSERT_EQ(Run("make boom.json boom.000"), 0) << err_;
    EXPECT_EQ(Run("render boom.000 boom.png"), 1);
    EXPECT_NE(err_.find("placements expand to more than"), std::string::npos) << err_;
    EXPECT_FALSE(fs::exists(Path("boom.png")));
}

}  // namespace
