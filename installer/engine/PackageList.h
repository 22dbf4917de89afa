// The codec of the installed package list "package.5": byte i is stored as
// (plain + i) mod 256.
#pragma once
#include <string>

// File to file; nothing happens when the source does not exist.
void DecodePackageList(const std::string& source, const std::string& target);
void EncodePackageList(const std::string& source, const std::string& target);
