// Conditions of "IF " lines: file existence, absence and date comparisons.
#pragma once

#include <string>

// Line states a condition leads to.
inline constexpr int kConditionTrue = 2;   // InTrueIf
inline constexpr int kConditionFalse = 3;  // InFalseIf

// The whole condition line (upper-cased, still beginning with "IF "), with at most
// one operator "&" or "|" ("&" wins when both occur).
int EvaluateCondition(const std::string& line);
// One term: "path", "!path", "path >= yyyymmdd" (>, <=, <). A date that is not a
// number makes the term false.
int EvaluateConditionTerm(const std::string& text);
