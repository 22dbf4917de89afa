#include "installer/engine/Conditions.h"

#include <cstdint>

#include "installer/engine/ScriptLines.h"
#include "installer/env/StringRoutines.h"
#include "platform/Cp932.h"
#include "platform/Files.h"

namespace {

// Digits only, so that a mistyped date can never compare as some other day; the
// length limit keeps the value inside 64 bits.
bool ParseDateNumber(const std::string& text, std::int64_t& value) {
    if (text.empty() || text.size() > 18) return false;
    value = 0;
    for (char c : text) {
        if (!platform::IsAsciiDigit(c)) return false;
        value = value * 10 + (c - '0');
    }
    return true;
}

struct Comparison {
    const char* op;
    bool greater;
    bool equal;
    bool less;
};

// Searched in this order, the first one present anywhere wins: ">=" before ">" so
// that "A >= D" is not read as "A" > "= D".
constexpr Comparison kComparisons[] = {
    {">=", true, true, false},
    {">", true, false, false},
    {"<=", false, true, true},
    {"<", false, false, true},
};

}  // namespace

int EvaluateConditionTerm(const std::string& text) {
    std::size_t bang = platform::FindCharDbcs(text, '!');
    if (bang != std::string::npos) {
        std::string path = text.substr(bang + 1);
        RemoveBlanks(path);
        return platform::FileExists(path) ? kConditionFalse : kConditionTrue;
    }

    std::string rest = text;
    if (KeywordMatches(platform::UpperCaseAscii(rest.substr(0, 3)), "IF ", 3)) rest.erase(0, 3);

    const Comparison* found = nullptr;
    std::size_t at = std::string::npos;
    for (const Comparison& c : kComparisons) {
        at = platform::FindDbcs(rest, c.op);
        if (at != std::string::npos) {
            found = &c;
            break;
        }
    }

    std::string path = found != nullptr ? rest.substr(0, at) : rest;
    RemoveBlanks(path);
    if (!platform::FileExists(path)) return kConditionFalse;
    if (found == nullptr) return kConditionTrue;

    std::string dateText = rest.substr(at + std::char_traits<char>::length(found->op));
    RemoveBlanks(dateText);
    std::int64_t wanted = 0;
    if (!ParseDateNumber(dateText, wanted)) return kConditionFalse;

    std::string fileDateText;
    std::int64_t fileDate = 0;
    if (platform::GetModificationDate(path, fileDateText) != 0 ||
        !ParseDateNumber(fileDateText, fileDate)) {
        return kConditionFalse;
    }

    bool result = (found->greater && fileDate > wanted) || (found->equal && fileDate == wanted) ||
                  (found->less && fileDate < wanted);
    return result ? kConditionTrue : kConditionFalse;
}

int EvaluateCondition(const std::string& line) {
    // "&" (0x26) can never be a trail byte, but "|" (0x7C) can: both are searched
    // character by character.
    std::size_t amp = platform::FindCharDbcs(line, '&');
    std::size_t bar = platform::FindCharDbcs(line, '|');
    bool isAnd = amp != std::string::npos;
    std::size_t split = isAnd ? amp : bar;
    if (split == std::string::npos) return EvaluateConditionTerm(line);

    int left = EvaluateConditionTerm(line.substr(0, split));
    std::string right = line.substr(split + 1);
    if (isAnd) return left == kConditionFalse ? kConditionFalse : EvaluateConditionTerm(right);
    return left == kConditionTrue ? kConditionTrue : EvaluateConditionTerm(right);
}

bool ConditionHolds(const std::string& line) { return EvaluateCondition(line) == kConditionTrue; }
