// Font enumeration against the fonts really installed (the IPA fonts and what else the
// machine has), the FontSubstitutes key, and re-reading when the fonts change.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <thread>

#include "TestPrefix.h"
#include "platform/Fonts.h"
#include "platform/Registry.h"

extern char** environ;

namespace platform {
namespace {

using test::Sj;
namespace fs = std::filesystem;

// Every test has a prefix of its own: the enumeration reads the prefix's registry.
class FontsTest : public test::PrefixTest {};

template <std::size_t N>
std::string Text(const char (&field)[N]) {
    return std::string(field, std::find(field, field + N, '\0') - field);
}

std::vector<EnumLogFontExA> Enumerate(std::uint8_t charSet = kDefaultCharset,
                                      std::string_view face = {}) {
    std::vector<EnumLogFontExA> out;
    EXPECT_EQ(EnumFontFamiliesExA(charSet, face,
                                  [&](const EnumLogFontExA& d) {
                                      out.push_back(d);
                                      return true;
                                  }),
              kErrorSuccess);
    return out;
}

// Position of the first description with face name `face` (UTF-8); -1 when none.
int Find(const std::vector<EnumLogFontExA>& list, std::string_view face) {
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (Text(list[i].logFont.faceName) == Sj(face)) return static_cast<int>(i);
    }
    return -1;
}

std::uint8_t Pitch(const EnumLogFontExA& d) { return d.logFont.pitchAndFamily & 3; }

TEST_F(FontsTest, IpaFacesUnderEveryNameWithPitchAndVerticalForm) {
    const auto list = Enumerate();
    for (auto [face, pitch] :
         {std::pair{"IPAGothic", kFixedPitch}, std::pair{"IPAゴシック", kFixedPitch},
          std::pair{"IPA明朝", kFixedPitch}, std::pair{"IPAPGothic", kVariablePitch},
          std::pair{"IPA Pゴシック", kVariablePitch}, std::pair{"IPA P明朝", kVariablePitch}}) {
        SCOPED_TRACE(face);
        const int at = Find(list, face);
        ASSERT_GE(at, 0);
        const EnumLogFontExA& d = list[at];
        EXPECT_EQ(Text(d.fullName), Sj(face));
        EXPECT_EQ(Pitch(d), pitch);
        if (pitch == kFixedPitch) {
            EXPECT_EQ(d.logFont.pitchAndFamily, 0x31) << "fixed faces are modern";
        }
        EXPECT_EQ(d.logFont.charSet, kShiftJisCharset);
        EXPECT_EQ(Text(d.script), Sj("日本語"));
        EXPECT_EQ(Text(d.style), "Regular");
        EXPECT_EQ(d.logFont.weight, 400);
        // The vertical form follows; the face, installed twice, is listed once.
        ASSERT_LT(at + 1, static_cast<int>(list.size()));
        EXPECT_EQ(Text(list[at + 1].logFont.faceName), "@" + Sj(face));
        EXPECT_EQ(Text(list[at + 1].fullName), "@" + Sj(face));
        EXPECT_EQ(list[at + 1].logFont.pitchAndFamily, d.logFont.pitchAndFamily);
        EXPECT_EQ(Find(std::vector(list.begin() + at + 1, list.end()), face), -1);
    }
}

// Every description: its name fields NUL-terminated code page 932 and zero after the
// NUL; western faces with their script, character set, weight and slant. Of the fonts
// fontconfig brings (the DejaVu families), the first description of a family is its
// upright regular style, and the aliases class it.
TEST_F(FontsTest, EveryDescriptionIsWellFormed) {
    const auto list = Enumerate();
    ASSERT_FALSE(list.empty());
    for (const EnumLogFontExA& d : list) {
        const std::string face = Text(d.logFont.faceName);
        SCOPED_TRACE(face);
        EXPECT_FALSE(face.empty());
        for (std::string_view field :
             {std::string_view(d.logFont.faceName, sizeof d.logFont.faceName),
              std::string_view(d.fullName, sizeof d.fullName),
              std::string_view(d.style, sizeof d.style),
              std::string_view(d.script, sizeof d.script)}) {
            const std::size_t end = field.find('\0');
            ASSERT_NE(end, std::string_view::npos);
            EXPECT_TRUE(IsValidCp932(field.substr(0, end)));
            EXPECT_EQ(field.find_first_not_of('\0', end), std::string_view::npos);
        }
        EXPECT_NE(Pitch(d), 0);
        if (d.logFont.charSet == kShiftJisCharset) continue;
        EXPECT_EQ(d.logFont.charSet, 0);
        EXPECT_EQ(Text(d.script), Sj("欧文"));
        EXPECT_NE(face[0], '@');
        if (Text(d.style) == "Bold") {
            EXPECT_EQ(d.logFont.weight, 700);
        }
        if (Text(d.style).ends_with("Oblique")) {
            EXPECT_EQ(d.logFont.italic, 1);
        }
    }
    for (auto [face, pitchAndFamily] :
         {std::pair{"DejaVu Sans", 0x22}, std::pair{"DejaVu Serif", 0x12},
          std::pair{"DejaVu Sans Mono", 0x31}}) {
        if (const int at = Find(list, face); at >= 0) {
            EXPECT_EQ(list[at].logFont.pitchAndFamily, pitchAndFamily) << face;
            EXPECT_EQ(list[at].logFont.weight, 400) << face;
            EXPECT_EQ(list[at].logFont.italic, 0) << face;
        }
    }
}

TEST_F(FontsTest, FaceAndCharsetFiltersAndStoppingEarly) {
    auto one = Enumerate(kDefaultCharset, Sj("ipaゴシック"));  // without regard to case
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(Text(one[0].logFont.faceName), Sj("IPAゴシック"));
    one = Enumerate(kDefaultCharset, Sj("@IPAゴシック"));
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(Text(one[0].fullName), Sj("@IPAゴシック"));
    EXPECT_TRUE(Enumerate(kDefaultCharset, "No Such Face").empty());
    EXPECT_TRUE(Enumerate(0, "IPAGothic").empty());  // a Japanese face is not an ANSI one

    const auto japanese = Enumerate(kShiftJisCharset);
    EXPECT_EQ(japanese.size() + Enumerate(0).size(), Enumerate().size());
    for (const auto& d : japanese) EXPECT_EQ(d.logFont.charSet, kShiftJisCharset);

    int calls = 0;
    EXPECT_EQ(EnumFontFamiliesExA(kDefaultCharset, "",
                                  [&](const EnumLogFontExA&) { return ++calls < 3; }),
              kErrorSuccess);
    EXPECT_EQ(calls, 3);
}

TEST_F(FontsTest, SeededSubstitutesListTheWindowsNames) {
    EXPECT_EQ(Find(Enumerate(), "ＭＳ ゴシック"), -1);
    ASSERT_EQ(SeedFontSubstitutes(), kErrorSuccess);
    const auto list = Enumerate();
    const int lastInstalled = Find(list, "@IPA P明朝");
    for (auto [face, pitch] :
         {std::pair{"ＭＳ ゴシック", kFixedPitch}, std::pair{"ＭＳ Ｐゴシック", kVariablePitch},
          std::pair{"ＭＳ 明朝", kFixedPitch}, std::pair{"ＭＳ Ｐ明朝", kVariablePitch}}) {
        SCOPED_TRACE(face);
        const int at = Find(list, face);
        ASSERT_GT(at, lastInstalled);  // after the installed faces
        EXPECT_EQ(Pitch(list[at]), pitch);
        EXPECT_EQ(Text(list[at].fullName), Sj(face));
        ASSERT_LT(at + 1, static_cast<int>(list.size()));
        EXPECT_EQ(Text(list[at + 1].logFont.faceName), "@" + Sj(face));
        EXPECT_EQ(Pitch(list[at + 1]), pitch);
    }
}

TEST_F(FontsTest, SeedingKeepsValuesAPersonChose) {
    RegKey key;
    ASSERT_EQ(RegCreateKey(RegRoot::LocalMachine, kFontSubstitutesKey, key), kErrorSuccess);
    ASSERT_EQ(RegSetString(key, Sj("ＭＳ ゴシック"), "IPAPGothic"), kErrorSuccess);
    ASSERT_EQ(SeedFontSubstitutes(), kErrorSuccess);
    ASSERT_EQ(SeedFontSubstitutes(), kErrorSuccess);
    std::vector<RegValueInfo> values;
    ASSERT_EQ(RegEnumValues(key, values), kErrorSuccess);
    EXPECT_EQ(values.size(), 4u);
    std::string target;
    ASSERT_EQ(RegQueryString(key, Sj("ＭＳ ゴシック"), target), kErrorSuccess);
    EXPECT_EQ(target, "IPAPGothic");
    ASSERT_EQ(RegQueryString(key, Sj("ＭＳ Ｐ明朝"), target), kErrorSuccess);
    EXPECT_EQ(target, Sj("IPA P明朝"));
    // The enumeration follows the key at once: now proportional.
    const auto list = Enumerate();
    ASSERT_GE(Find(list, "ＭＳ ゴシック"), 0);
    EXPECT_EQ(Pitch(list[Find(list, "ＭＳ ゴシック")]), kVariablePitch);
}

TEST_F(FontsTest, SubstitutesUnlistedSuffixedAndCut) {
    RegKey key;
    ASSERT_EQ(RegCreateKey(RegRoot::LocalMachine, kFontSubstitutesKey, key), kErrorSuccess);
    ASSERT_EQ(RegSetString(key, "Not Installed", "No Such Font"), kErrorSuccess);
    ASSERT_EQ(RegSetValue(key, {"Not A String", RegType::Dword, std::string(4, '\0')}),
              kErrorSuccess);
    ASSERT_EQ(RegSetString(key, "Broken", "\x81\x20"), kErrorSuccess);  // not code page 932
    ASSERT_EQ(RegSetString(key, "Helv,0", "ipagothic,128"),
              kErrorSuccess);  // character set suffixes
    // 41 bytes: cut on a character boundary for the face, whole as the full name.
    const std::string longName = "A" + Sj("あいうえおかきくけこさしすせそたちつてと");
    ASSERT_EQ(RegSetString(key, longName, "IPAMincho"), kErrorSuccess);

    const auto list = Enumerate();
    for (const char* face : {"Not Installed", "Not A String", "Broken"})
        EXPECT_EQ(Find(list, face), -1) << face;
    const int helv = Find(list, "Helv");
    ASSERT_GE(helv, 0);
    EXPECT_EQ(Pitch(list[helv]), kFixedPitch);
    const int cut = Find(list, "Aあいうえおかきくけこさしすせそ");  // 31 bytes
    ASSERT_GE(cut, 0);
    EXPECT_EQ(Text(list[cut].fullName), longName);
    EXPECT_EQ(Text(list[cut + 1].logFont.faceName),
              Sj("@Aあいうえおかきくけこさしすせ"));  // 30 bytes
    EXPECT_EQ(Text(list[cut + 1].fullName), "@" + longName);
}

// A process that reads its fonts from a folder of its own: the test below, run in a
// child with that configuration, since this process has read its list already.
TEST_F(FontsTest, FontsAddedWhileRunningAreListed) {
    const fs::path dir = prefix_ / "fontconfig";
    fs::create_directories(dir / "fonts");
    fs::copy_file("/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf", dir / "fonts" / "ipag.ttf");
    std::ofstream(dir / "fonts.conf")
        << "<?xml version=\"1.0\"?>\n<fontconfig><dir>" << (dir / "fonts").string()
        << "</dir><cachedir>" << (dir / "cache").string() << "</cachedir></fontconfig>\n";

    std::vector<std::string> env = {"FONTCONFIG_FILE=" + (dir / "fonts.conf").string(),
                                    "MORVAN_FONT_TEST_DIR=" + dir.string()};
    for (char** e = environ; *e; ++e) env.push_back(*e);
    std::vector<char*> envp;
    for (auto& s : env) envp.push_back(s.data());
    envp.push_back(nullptr);
    std::string exe = fs::read_symlink("/proc/self/exe").string();
    std::string filter = "--gtest_filter=FontsTest.DISABLED_ReReadWhenFontsChange";
    std::string disabled = "--gtest_also_run_disabled_tests";
    char* argv[] = {exe.data(), filter.data(), disabled.data(), nullptr};
    const std::string log = (prefix_ / "child.log").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, exe.c_str(), &actions, nullptr, argv, envp.data()), 0);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    std::ifstream in(log);
    const std::string output(std::istreambuf_iterator<char>(in), {});
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << output;
    for (const std::string& line : SplitLines(output)) {
        if (line.find(" enumeration ") != std::string::npos) std::printf("%s\n", line.c_str());
    }
}

TEST_F(FontsTest, DISABLED_ReReadWhenFontsChange) {
    const char* dir = std::getenv("MORVAN_FONT_TEST_DIR");
    if (dir == nullptr) GTEST_SKIP() << "run by FontsAddedWhileRunningAreListed";
    using Clock = std::chrono::steady_clock;
    const auto t0 = Clock::now();
    auto list = Enumerate();
    const auto t1 = Clock::now();
    list = Enumerate();
    const auto t2 = Clock::now();
    std::printf("first enumeration %.3f ms\nsecond enumeration %.3f ms\n",
                std::chrono::duration<double, std::milli>(t1 - t0).count(),
                std::chrono::duration<double, std::milli>(t2 - t1).count());
    EXPECT_GE(Find(list, "IPAGothic"), 0);
    EXPECT_EQ(Find(list, "IPAPGothic"), -1);

    // Fontconfig tells a change by the folders' times, counted in seconds. Threads
    // enumerating at once meet the re-read.
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    fs::copy_file("/usr/share/fonts/opentype/ipafont-gothic/ipagp.ttf",
                  fs::path(dir) / "fonts" / "ipagp.ttf");
    std::vector<int> found(4, -1);
    std::vector<std::thread> threads;
    for (auto& f : found) threads.emplace_back([&f] { f = Find(Enumerate(), "IPA Pゴシック"); });
    for (auto& thread : threads) thread.join();
    for (int f : found) EXPECT_GE(f, 0);
}

}  // namespace
}  // namespace platform
