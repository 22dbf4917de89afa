// The ".reg" text on its own, without a prefix: what the writer puts out byte for byte,
// round trips through the parser, the encodings and value forms it reads, and the
// error it gives for malformed text.
#include <gtest/gtest.h>

#include "../src/RegistryText.h"
#include "platform/Cp932.h"

namespace platform::hive {
namespace {

std::string Sj(std::string_view utf8) {
    std::string out;
    EXPECT_TRUE(Utf8ToCp932(utf8, out)) << utf8;
    return out;
}

std::string Dword(std::uint32_t n) {
    return {static_cast<char>(n & 0xFF), static_cast<char>((n >> 8) & 0xFF),
            static_cast<char>((n >> 16) & 0xFF), static_cast<char>(n >> 24)};
}

// Parses `text` as a hive (or an import) of HKEY_CURRENT_USER into a tree.
bool Load(std::string_view text, Key& tree, std::string& error, bool import = false) {
    std::vector<Op> ops;
    if (!ParseRegText(text, "t.reg", import, ops, error)) return false;
    ApplyOps(ops, RegRoot::CurrentUser, tree);
    return true;
}

std::string Save(const Key& tree) { return SerializeTree(tree, "HKEY_CURRENT_USER", true); }

TEST(RegistryText, WritesTheHiveLayoutAndReadsItBack) {
    Key tree;
    Key* kel = CreateKeyPath(tree, SplitKeyPath("SOFTWARE\\KEL"));
    kel->SetValue({"", RegType::Sz, "default"});
    kel->SetValue({Sj("名前 \"q\""), RegType::Sz, Sj("表\\ソ")});
    kel->SetValue({"Dw", RegType::Dword, Dword(0xDEADBEEF)});
    kel->SetValue({"Bin", RegType::Binary, std::string(30, '\xAB')});
    kel->SetValue({"Exp", RegType::ExpandSz, "%A%"});
    kel->SetValue({"Multi", RegType::MultiSz, std::string("a\0b", 3)});
    kel->SetValue({"Lines", RegType::Sz, "x\r\ny"});
    CreateKeyPath(*kel, SplitKeyPath("Empty"));

    const std::string text = Save(tree);
    EXPECT_EQ(text,
              "REGEDIT4\n\n"
              "[HKEY_CURRENT_USER\\SOFTWARE]\n\n"
              "[HKEY_CURRENT_USER\\SOFTWARE\\KEL]\n"
              "@=\"default\"\n"
              "\"名前 \\\"q\\\"\"=\"表\\\\ソ\"\n"
              "\"Dw\"=dword:deadbeef\n"
              "\"Bin\"=hex:ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,\\\n"
              "  ab,ab,ab,ab,ab,ab,ab\n"
              "\"Exp\"=hex(2):25,41,25,00\n"
              "\"Multi\"=hex(7):61,00,62,00,00\n"
              "\"Lines\"=hex(1):78,0d,0a,79,00\n\n"
              "[HKEY_CURRENT_USER\\SOFTWARE\\KEL\\Empty]\n\n");

    Key again;
    std::string error;
    ASSERT_TRUE(Load(text, again, error)) << error;
    EXPECT_EQ(Save(again), text);
    Key* k = FindKey(again, SplitKeyPath("software\\kel"));
    ASSERT_NE(k, nullptr);
    ASSERT_NE(k->FindValue(Sj("名前 \"Q\"")), nullptr);
    EXPECT_EQ(k->FindValue(Sj("名前 \"q\""))->data, Sj("表\\ソ"));
    EXPECT_EQ(k->FindValue("multi")->data, std::string("a\0b", 3));
    EXPECT_EQ(k->FindValue("LINES")->type, RegType::Sz);
    EXPECT_EQ(k->FindValue("lines")->data, "x\r\ny");
}

TEST(RegistryText, ReadsEveryEncodingAndValueForm) {
    // REGEDIT4 in code page 932 with CRLF, a continued hex list and a UTF-8 BOM file.
    Key tree;
    std::string error;
    const std::string cp932 = "REGEDIT4\r\n\r\n[HKCU\\" + Sj("表") + "]\r\n@=\"" + Sj("ソ") +
                              "\"\r\n\"Bin\"=hex:01,02,\\\r\n  03\r\n\"N\"=dword:a\r\n"
                              "\"T\"=hex(1):" + "95,5c,00\r\n";
    ASSERT_TRUE(Load(cp932, tree, error)) << error;
    Key* k = FindKey(tree, {Sj("表")});
    ASSERT_NE(k, nullptr);
    EXPECT_EQ(k->FindValue("")->data, Sj("ソ"));
    EXPECT_EQ(k->FindValue("bin")->data, "\x01\x02\x03");
    EXPECT_EQ(k->FindValue("n")->data, Dword(10));
    EXPECT_EQ(k->FindValue("t")->data, Sj("表"));  // code page 932 bytes, NUL dropped

    Key bom;
    ASSERT_TRUE(Load("\xEF\xBB\xBFREGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"v\"=\"表\"\n", bom, error));
    EXPECT_EQ(FindKey(bom, {"A"})->FindValue("v")->data, Sj("表"));

    // Version 5: hex text is UTF-16LE, here in a UTF-16LE file with its BOM.
    const std::string v5 = "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\B]\n"
                           "\"P\"=hex(2):68,88,25,00,00,00\n";
    std::string utf16 = "\xFF\xFE";
    for (char c : v5) utf16 += {c, '\0'};
    Key wide;
    ASSERT_TRUE(Load(utf16, wide, error)) << error;
    Value* p = FindKey(wide, {"b"})->FindValue("p");
    EXPECT_EQ(p->type, RegType::ExpandSz);
    EXPECT_EQ(p->data, Sj("表%"));
}

TEST(RegistryText, DeletionsOnlyInImports) {
    const std::string text = "REGEDIT4\n[HKEY_CURRENT_USER\\A\\B]\n\"x\"=\"1\"\n\"y\"=\"2\"\n"
                             "\"y\"=-\n[-HKEY_CURRENT_USER\\A\\B]\n[HKEY_CURRENT_USER\\A]\n";
    Key tree;
    std::string error;
    EXPECT_FALSE(Load(text, tree, error));
    EXPECT_EQ(error, "t.reg:5: value deletion is not allowed in a hive");
    ASSERT_TRUE(Load(text, tree, error, true)) << error;
    EXPECT_NE(FindKey(tree, {"A"}), nullptr);
    EXPECT_EQ(FindKey(tree, {"A", "B"}), nullptr);
    EXPECT_FALSE(Load("REGEDIT4\n[-HKEY_CURRENT_USER\\A]\n", tree, error));
    EXPECT_EQ(error, "t.reg:2: key deletion is not allowed in a hive");
}

TEST(RegistryText, MalformedTextNamesTheLine) {
    const std::pair<std::string, std::string> cases[] = {
        {"", "t.reg:1: missing header line \"REGEDIT4\""},
        {"\n\nREGEDIT5\n", "t.reg:3: expected \"REGEDIT4\" or \"Windows Registry Editor Version 5.00\""},
        {"REGEDIT4\n\"v\"=\"x\"\n", "t.reg:2: value line before any key"},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\A\n", "t.reg:2: key line without closing \"]\""},
        {"REGEDIT4\n[HKEY_NOWHERE\\A]\n", "t.reg:2: unknown root key \"HKEY_NOWHERE\""},
        {"REGEDIT4\n[HKCU\\A]\n\"v\"=\"a\\qb\"\n",
         "t.reg:3: malformed string data (escape only \\\\ and \\\")"},
        {"REGEDIT4\n[HKCU\\A]\n\"v\"=\"a\" x\n", "t.reg:3: text after the closing quote"},
        {"REGEDIT4\n[HKCU\\A]\n\"v\"=dword:123456789\n", "t.reg:3: dword needs 1 to 8 hex digits"},
        {"REGEDIT4\n[HKCU\\A]\n\"v\"=hex:1,2\n", "t.reg:3: bad hex byte"},
        {"REGEDIT4\n[HKCU\\A]\n\"v\"=hex(2x):00\n", "t.reg:3: malformed hex(type)"},
        {"REGEDIT4\n[HKCU\\A]\n\"v\"=hex:01 02\n", "t.reg:3: expected \",\" between hex bytes"},
        {"REGEDIT4\n[HKCU\\A]\nv=1\n", "t.reg:3: expected a key in [] or a value line"},
        {"REGEDIT4\n[HKCU\\A]\n\"v\"\n", "t.reg:3: expected \"=\" after the value name"},
        {"REGEDIT4\n[HKCU\\A]\n\"v\"=\"\xF0\x9F\x98\x80\"\n",
         "t.reg:3: string not representable in code page 932"},
        {"\xFF\xFE" "R\0\xD8", "t.reg:1: bad UTF-16 text"},
        {"REGEDIT4\n\x81", "t.reg: neither UTF-8 nor code page 932 text"},
    };
    for (const auto& [text, message] : cases) {
        Key tree;
        std::string error;
        EXPECT_FALSE(Load(text, tree, error)) << text;
        EXPECT_EQ(error, message) << text;
    }
}

}  // namespace
}  // namespace platform::hive
