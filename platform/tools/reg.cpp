// reg: reads and writes the prefix's registry with the syntax of the Windows command.
//
//   reg query  KEY [/v NAME | /ve] [/s]
//   reg add    KEY [/v NAME | /ve] [/t TYPE] [/s SEP] [/d DATA] [/f]
//   reg delete KEY [/v NAME | /ve | /va] [/f]
//   reg import FILE
//   reg export KEY FILE [/y]
//
// KEY starts with HKLM, HKCU, HKEY_LOCAL_MACHINE or HKEY_CURRENT_USER. Arguments and
// output are UTF-8; the registry holds code page 932, converted at this edge.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "platform/Cp932.h"
#include "platform/Registry.h"

namespace {

using namespace platform;

constexpr const char* kNotFound = "ERROR: The system was unable to find the specified registry key or value.";
constexpr const char* kDone = "The operation completed successfully.";

int Fail(const std::string& message) {
    std::fprintf(stderr, "%s\n", message.c_str());
    return 1;
}

int Usage() {
    return Fail(
        "ERROR: Invalid syntax.\n"
        "usage: reg query  KEY [/v NAME | /ve] [/s]\n"
        "       reg add    KEY [/v NAME | /ve] [/t REG_SZ|REG_EXPAND_SZ|REG_MULTI_SZ|REG_DWORD|REG_BINARY|REG_NONE]\n"
        "                  [/s SEP] [/d DATA] [/f]\n"
        "       reg delete KEY [/v NAME | /ve | /va] [/f]\n"
        "       reg import FILE\n"
        "       reg export KEY FILE [/y]\n"
        "KEY: HKLM\\PATH, HKCU\\PATH (or HKEY_LOCAL_MACHINE / HKEY_CURRENT_USER)");
}

std::string ToCp932(const std::string& utf8) { return Utf8ToCp932Lossy(utf8); }
std::string ToUtf8(const std::string& cp932) { return Cp932ToUtf8Lossy(cp932); }

struct Options {
    std::string key;  // code page 932, root included
    std::vector<std::string> positional;
    std::optional<std::string> valueName;  // /v NAME, /ve -> ""
    bool allValues = false;                // /va
    std::string type = "REG_SZ";
    std::optional<std::string> data;
    std::string separator = "\\0";
    bool force = false;
    bool recurse = false;
    bool yes = false;
};

bool IsOption(const std::string& a, const char* name) {
    if (a.size() < 2 || (a[0] != '/' && a[0] != '-')) return false;
    return EqualsNoCase(a.substr(1), name);
}

// Parses the arguments after the sub-command; false on a syntax error.
bool ParseOptions(int argc, char** argv, int first, Options& o) {
    for (int i = first; i < argc; ++i) {
        std::string a = argv[i];
        auto next = [&](std::string& out) {
            if (i + 1 >= argc) return false;
            out = argv[++i];
            return true;
        };
        std::string v;
        if (IsOption(a, "v")) {
            if (!next(v)) return false;
            o.valueName = ToCp932(v);
        } else if (IsOption(a, "ve")) {
            o.valueName = "";
        } else if (IsOption(a, "va")) {
            o.allValues = true;
        } else if (IsOption(a, "t")) {
            if (!next(v)) return false;
            o.type = UpperCaseAscii(v);
        } else if (IsOption(a, "d")) {
            if (!next(v)) return false;
            o.data = ToCp932(v);
        } else if (IsOption(a, "s")) {
            // "/s" alone recurses (query); "/s SEP" sets the multi-string separator (add).
            if (i + 1 < argc && argv[i + 1][0] != '/' && argv[i + 1][0] != '-') {
                next(o.separator);
            } else {
                o.recurse = true;
            }
        } else if (IsOption(a, "f")) {
            o.force = true;
        } else if (IsOption(a, "y")) {
            o.yes = true;
        } else if (!a.empty() && a[0] == '/' && a.size() <= 4) {
            return false;  // unknown switch
        } else {
            o.positional.push_back(a);
        }
    }
    return true;
}

// "HKLM\A\B" -> root and "A\B".
bool SplitKey(const std::string& utf8Key, RegRoot& root, std::string& path) {
    std::string key = ToCp932(utf8Key);
    std::size_t sep = FindCharDbcs(key, '\\');
    std::string rootName = sep == std::string::npos ? key : key.substr(0, sep);
    path = sep == std::string::npos ? std::string() : key.substr(sep + 1);
    return ParseRegRootName(rootName, root);
}

const char* TypeName(RegType t) {
    switch (t) {
        case RegType::None: return "REG_NONE";
        case RegType::Sz: return "REG_SZ";
        case RegType::ExpandSz: return "REG_EXPAND_SZ";
        case RegType::Binary: return "REG_BINARY";
        case RegType::Dword: return "REG_DWORD";
        case RegType::MultiSz: return "REG_MULTI_SZ";
    }
    return "REG_BINARY";
}

std::string DataText(const RegValueInfo& v) {
    char buf[32];
    switch (v.type) {
        case RegType::Sz:
        case RegType::ExpandSz: return ToUtf8(v.data);
        case RegType::Dword:
            if (v.data.size() == 4) {
                std::uint32_t n = 0;
                for (int i = 3; i >= 0; --i) n = (n << 8) | static_cast<unsigned char>(v.data[static_cast<std::size_t>(i)]);
                std::snprintf(buf, sizeof buf, "0x%x", n);
                return buf;
            }
            break;
        case RegType::MultiSz: {
            std::string out;
            for (char c : v.data) out += c == '\0' ? std::string("\\0") : std::string(1, c);
            return ToUtf8(out);
        }
        default: break;
    }
    std::string hex;
    for (char c : v.data) {
        std::snprintf(buf, sizeof buf, "%02X", static_cast<unsigned char>(c));
        hex += buf;
    }
    return hex;
}

void PrintValue(const RegValueInfo& v) {
    std::string name = v.name.empty() ? "(Default)" : ToUtf8(v.name);
    std::printf("    %s    %s    %s\n", name.c_str(), TypeName(v.type), DataText(v).c_str());
}

std::string FullKeyName(RegRoot root, const std::string& storedPath) {
    std::string name = RegRootName(root);
    if (!storedPath.empty()) name += "\\" + ToUtf8(storedPath);
    return name;
}

bool Confirm(const std::string& question) {
    std::printf("%s (Yes/No)? ", question.c_str());
    std::fflush(stdout);
    std::string answer;
    if (!std::getline(std::cin, answer)) return false;
    return !answer.empty() && (answer[0] == 'y' || answer[0] == 'Y');
}

int PrintKey(const RegKey& key, bool recurse) {
    std::vector<RegValueInfo> values;
    std::vector<std::string> subs;
    if (RegEnumValues(key, values) != 0 || RegEnumSubKeys(key, subs) != 0) return Fail(kNotFound);
    std::printf("%s\n", FullKeyName(key.root, key.path).c_str());
    for (const auto& v : values) PrintValue(v);
    std::printf("\n");
    for (const auto& s : subs) {
        RegKey sub;
        std::string subPath = key.path.empty() ? s : key.path + "\\" + s;
        if (recurse) {
            if (RegOpenKey(key.root, subPath, RegAccess::Read, sub) == 0) PrintKey(sub, true);
        } else {
            std::printf("%s\n", FullKeyName(key.root, subPath).c_str());
        }
    }
    return 0;
}

int Query(const Options& o) {
    if (o.positional.size() != 1) return Usage();
    RegRoot root;
    std::string path;
    if (!SplitKey(o.positional[0], root, path)) return Fail("ERROR: Invalid key name.");
    RegKey key;
    if (RegOpenKey(root, path, RegAccess::Read, key) != 0) return Fail(kNotFound);
    std::printf("\n");
    if (o.valueName) {
        RegValueInfo v;
        WinError rc = RegQueryValue(key, *o.valueName, v);
        if (rc == kErrorBadRegistryFile) return Fail("ERROR: " + LastRegistryError());
        if (rc != 0) return Fail(kNotFound);
        std::printf("%s\n", FullKeyName(key.root, key.path).c_str());
        PrintValue(v);
        std::printf("\n");
        return 0;
    }
    return PrintKey(key, o.recurse);
}

bool BuildValue(const Options& o, RegValueInfo& v) {
    std::string data = o.data.value_or("");
    if (o.type == "REG_SZ" || o.type == "REG_EXPAND_SZ") {
        v.type = o.type == "REG_SZ" ? RegType::Sz : RegType::ExpandSz;
        v.data = data;
    } else if (o.type == "REG_DWORD") {
        char* end = nullptr;
        errno = 0;
        unsigned long long n = std::strtoull(data.c_str(), &end, 0);
        if (data.empty() || *end != '\0' || errno != 0 || n > 0xFFFFFFFFull) return false;
        v.type = RegType::Dword;
        for (int i = 0; i < 4; ++i) v.data += static_cast<char>((n >> (8 * i)) & 0xFF);
    } else if (o.type == "REG_BINARY" || o.type == "REG_NONE") {
        v.type = o.type == "REG_BINARY" ? RegType::Binary : RegType::None;
        if (data.size() % 2 != 0) return false;
        for (std::size_t i = 0; i < data.size(); i += 2) {
            char* end = nullptr;
            std::string byte = data.substr(i, 2);
            long b = std::strtol(byte.c_str(), &end, 16);
            if (*end != '\0') return false;
            v.data += static_cast<char>(b);
        }
    } else if (o.type == "REG_MULTI_SZ") {
        v.type = RegType::MultiSz;
        std::string sep = ToCp932(o.separator);
        std::size_t pos = 0;
        while (true) {
            std::size_t at = sep.empty() ? std::string::npos : FindDbcs(data, sep, pos);
            v.data += data.substr(pos, at == std::string::npos ? std::string::npos : at - pos);
            if (at == std::string::npos) break;
            v.data += '\0';
            pos = at + sep.size();
        }
    } else {
        return false;
    }
    return true;
}

int ReportRc(WinError rc) {
    if (rc == 0) {
        std::printf("%s\n", kDone);
        return 0;
    }
    if (rc == kErrorBadRegistryFile) return Fail("ERROR: " + LastRegistryError());
    if (rc == kErrorFileNotFound) return Fail(kNotFound);
    if (rc == kErrorAccessDenied) return Fail("ERROR: Access is denied.");
    return Fail("ERROR: The operation failed (Windows error " + std::to_string(rc) + ").");
}

int Add(const Options& o) {
    if (o.positional.size() != 1) return Usage();
    RegRoot root;
    std::string path;
    if (!SplitKey(o.positional[0], root, path)) return Fail("ERROR: Invalid key name.");
    RegValueInfo v;
    if ((o.valueName || o.data) && !BuildValue(o, v)) return Fail("ERROR: Invalid data or type for " + o.type + ".");
    RegKey key;
    if (WinError rc = RegCreateKey(root, path, key); rc != 0) return ReportRc(rc);
    if (!o.valueName && !o.data) return ReportRc(0);
    v.name = o.valueName.value_or("");
    if (!o.force && RegValueExists(key, v.name)) {
        std::string shown = v.name.empty() ? "(Default)" : ToUtf8(v.name);
        if (!Confirm("Value " + shown + " exists, overwrite")) return Fail("The operation was cancelled.");
    }
    return ReportRc(RegSetValue(key, v));
}

int Delete(const Options& o) {
    if (o.positional.size() != 1) return Usage();
    RegRoot root;
    std::string path;
    if (!SplitKey(o.positional[0], root, path)) return Fail("ERROR: Invalid key name.");
    RegKey key;
    if (WinError rc = RegOpenKey(root, path, RegAccess::ReadWrite, key); rc != 0) return ReportRc(rc);
    std::string full = FullKeyName(key.root, key.path);
    if (o.valueName) {
        std::string shown = o.valueName->empty() ? "(Default)" : ToUtf8(*o.valueName);
        if (!o.force && !Confirm("Delete the registry value " + shown)) return Fail("The operation was cancelled.");
        return ReportRc(RegDeleteValue(key, *o.valueName));
    }
    if (o.allValues) {
        if (!o.force && !Confirm("Delete all values under the registry key " + full)) return Fail("The operation was cancelled.");
        std::vector<RegValueInfo> values;
        if (WinError rc = RegEnumValues(key, values); rc != 0) return ReportRc(rc);
        for (const auto& v : values) {
            if (WinError rc = RegDeleteValue(key, v.name); rc != 0 && rc != kErrorFileNotFound) return ReportRc(rc);
        }
        return ReportRc(0);
    }
    if (path.empty()) return Fail("ERROR: A root key cannot be deleted.");
    if (!o.force && !Confirm("Permanently delete the registry key " + full)) return Fail("The operation was cancelled.");
    return ReportRc(RegDeleteTree(root, path));
}

int Import(const Options& o) {
    if (o.positional.size() != 1) return Usage();
    return ReportRc(RegImportFile(o.positional[0]));
}

int Export(const Options& o) {
    if (o.positional.size() != 2) return Usage();
    RegRoot root;
    std::string path;
    if (!SplitKey(o.positional[0], root, path)) return Fail("ERROR: Invalid key name.");
    const std::string& file = o.positional[1];
    if (!o.yes && std::filesystem::exists(file) && !Confirm("File " + file + " already exists. Overwrite")) {
        return Fail("The operation was cancelled.");
    }
    return ReportRc(RegExportKey(root, path, file));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return Usage();
    std::string cmd = UpperCaseAscii(argv[1]);
    Options o;
    if (!ParseOptions(argc, argv, 2, o)) return Usage();
    if (cmd == "QUERY") return Query(o);
    if (cmd == "ADD") return Add(o);
    if (cmd == "DELETE") return Delete(o);
    if (cmd == "IMPORT") return Import(o);
    if (cmd == "EXPORT") return Export(o);
    return Usage();
}
