#include "installer/engine/PackageList.h"

void DecodePackageList(const std::string& source, const std::string& target) {
    (void)source;
    (void)target;
}

void EncodePackageList(const std::string& source, const std::string& target) {
    (void)source;
    (void)target;
}
