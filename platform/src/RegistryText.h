// The ".reg" text: reading it into a list of operations and writing a tree back out.
//
// Pure text in, operations out (and a tree in, text out): no prefix, no files, no locks.
// The hive files and imported files share one parser; loading a hive is applying its
// operations to an empty tree. Deletions ("[-KEY]", "\"NAME\"=-") are allowed only in
// imports. Read: REGEDIT4 in UTF-8 or code page 932, "Windows Registry Editor Version
// 5.00" in UTF-16LE (with BOM) or UTF-8, a UTF-8 BOM, CRLF or LF line ends, hex lists
// continued over lines ending in "\". Written: REGEDIT4 in UTF-8, the layout the
// Windows editor gives (hex lists wrapped at 80 columns, a blank line after each key).
// Not part of the platform's public interface.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "RegistryTree.h"
#include "platform/Registry.h"

namespace platform::hive {

enum class OpKind { CreateKey, DeleteKey, SetValue, DeleteValue };

struct Op {
    OpKind kind;
    RegRoot root;
    Components path;
    Value value;  // SetValue; DeleteValue uses only the name
};

// Decodes and parses the whole text of a .reg file, appending its operations to `ops`.
// On malformed text returns false with `error` = "<fileLabel>:<line>: <what>" (or
// "<fileLabel>: <what>" when the text is in no known encoding); `ops` then holds what
// was parsed before the bad line and must not be applied.
[[nodiscard]] bool ParseRegText(std::string_view raw, const std::string& fileLabel,
                                bool allowDeletions, std::vector<Op>& ops, std::string& error);

// Applies the operations of `root` (others are skipped) to `tree`, in order. Deleting a
// key or value that does not exist is no error.
void ApplyOps(const std::vector<Op>& ops, RegRoot root, Key& tree);

// The REGEDIT4 text of `node` and everything below it; `path` is the node's full name
// with the root name first ("HKEY_CURRENT_USER\SOFTWARE\KEL"). A root (`isRoot`) gets a
// section of its own only when it holds values; any other node always does.
[[nodiscard]] std::string SerializeTree(const Key& node, const std::string& path, bool isRoot);

}  // namespace platform::hive
