// The schema code driven in-process with randomly damaged models and sources (fixed
// seeds, bounded loops): whatever a file holds, its dump makes the same file again;
// whatever a source holds, it is refused with a reason or makes a file that loads.
#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sstream>

#include "Drawing.h"
#include "pdbform/FormIo.h"
#include "pdbform/PdbFile.h"

namespace {

using namespace pdbform;
using quillon_tool::Json;

std::string DumpText(PdbFile& f) {
    std::string text;
    EXPECT_TRUE(quillon_tool::WriteDrawingJson(f, [&](std::string_view piece) {
        text += piece;
        return true;
    }));
    return text;
}

PdbFile Sample(const std::string& name) {
    std::ifstream in(std::string(MORVAN_SAMPLE_DRAWINGS) + "/" + name);
    std::ostringstream s;
    s << in.rdbuf();
    PdbFile made;
    std::string error;
    EXPECT_TRUE(quillon_tool::MakeDrawing(Json::parse(s.str()), made, error)) << error;
    // As read back from a file (generation 1).
    std::vector<std::uint8_t> bytes;
    PdbFile f;
    EXPECT_EQ(Serialize(made, bytes), Status::kOk);
    EXPECT_EQ(Parse(bytes, f), Status::kOk);
    return f;
}

std::uint8_t RandomByte(std::mt19937& rng) { return static_cast<std::uint8_t>(rng() & 0xFF); }

// Changes one element: a byte of either part, the length of its variable part, or
// its kind (with a fixed part of that kind's length, or of any length when the form
// does not know the kind).
void Damage(Element& e, std::mt19937& rng) {
    switch (rng() % 4) {
        case 0:
            if (!e.fixed.empty()) e.fixed[rng() % e.fixed.size()] = RandomByte(rng);
            break;
        case 1:
            if (!e.rest.empty()) e.rest[rng() % e.rest.size()] = RandomByte(rng);
            break;
        case 2: {
            e.rest.resize(rng() % 120);
            for (auto& b : e.rest) b = RandomByte(rng);
            break;
        }
        case 3: {
            e.kind = static_cast<std::int16_t>(static_cast<int>(rng() % 241) - 120);
            const auto size = FixedPartSize(BaseKind(e.kind));
            e.fixed.resize(size ? *size : rng() % 24);
            for (auto& b : e.fixed) b = RandomByte(rng);
            break;
        }
    }
}

TEST(SchemaFuzz, DamagedElementsDumpAndAreMadeAgainByteForByte) {
    const PdbFile base = Sample("every-kind.json");
    ASSERT_FALSE(base.Elements().empty());
    std::vector<std::uint32_t> positions;
    for (const auto& [pos, e] : base.Elements()) positions.push_back(pos);
    std::mt19937 rng(20261208);
    int checked = 0;
    for (int round = 0; round < 250; ++round) {
        PdbFile f = base;
        for (int n = 0; n < 3; ++n)
            Damage(*f.FindMutable(positions[rng() % positions.size()]), rng);
        // The drawing-wide parts: head bytes, names of any bytes, extension entries of
        // any tag and length.
        auto random = [&](std::size_t n) {
            std::string b(n, '\0');
            for (char& c : b) c = static_cast<char>(RandomByte(rng));
            return b;
        };
        if (rng() % 2 == 0) f.head[2 + rng() % (kBlockSize - 2)] = RandomByte(rng);
        if (rng() % 4 == 0) f.head[394] = static_cast<std::uint8_t>(rng() % 130);
        if (rng() % 3 == 0) f.layers[rng() % f.layers.size()].name = random(rng() % 17);
        if (rng() % 3 == 0) {
            f.fonts.AppendRaw({static_cast<std::int16_t>(rng()), 0, 0, random(rng() % 32)});
        }
        if (rng() % 2 == 0) {
            const std::string b = random(rng() % 48);
            f.extension.push_back({static_cast<std::uint16_t>(rng() % 10), {b.begin(), b.end()}});
        }
        std::vector<std::uint8_t> bytes;
        if (Serialize(f, bytes) != Status::kOk) continue;
        PdbFile loaded;
        ASSERT_EQ(Parse(bytes, loaded), Status::kOk);
        const std::string text = DumpText(loaded);
        PdbFile again;
        std::string error;
        ASSERT_TRUE(quillon_tool::MakeDrawing(Json::parse(text), again, error)) << error << text;
        std::vector<std::uint8_t> first, second;
        ASSERT_EQ(Serialize(loaded, first), Status::kOk);
        again.generation = loaded.generation;
        ASSERT_EQ(Serialize(again, second), Status::kOk);
        ASSERT_EQ(first, second) << "round " << round << "\n" << text;
        EXPECT_EQ(DumpText(again), text);
        ++checked;
    }
    EXPECT_GT(checked, 200);
}

// A value of another type or range in a random place of a dumped source.
TEST(SchemaFuzz, DamagedSourcesAreRefusedOrMakeFilesThatLoad) {
    PdbFile base = Sample("every-kind.json");
    const Json doc = Json::parse(DumpText(base));
    const Json pool[] = {"x",
                         -1,
                         0,
                         65536,
                         4294967296LL,
                         -1e308,
                         1.5,
                         true,
                         nullptr,
                         Json::array(),
                         Json::object(),
                         Json::array({1, 2}),
                         "NaN",
                         "ffff",
                         std::string(300, 'A')};
    std::mt19937 rng(77);
    int refused = 0, made = 0;
    for (int round = 0; round < 400; ++round) {
        Json source = doc;
        Json* at = &source;
        while ((at->is_object() || at->is_array()) && !at->empty() && rng() % 5 != 0) {
            const std::size_t i = rng() % at->size();
            if (at->is_array()) {
                at = &(*at)[i];
            } else {
                auto it = at->begin();
                std::advance(it, static_cast<std::ptrdiff_t>(i));
                at = &it.value();
            }
        }
        *at = pool[rng() % std::size(pool)];
        PdbFile out;
        std::string error;
        if (!quillon_tool::MakeDrawing(source, out, error)) {
            EXPECT_FALSE(error.empty());
            ++refused;
            continue;
        }
        std::vector<std::uint8_t> bytes;
        std::string why;
        ASSERT_EQ(Serialize(out, bytes, &why), Status::kOk) << why;
        PdbFile loaded;
        ASSERT_EQ(Parse(bytes, loaded), Status::kOk);
        ++made;
    }
    EXPECT_GT(refused, 50);
    EXPECT_GT(made, 20);
}

}  // namespace
