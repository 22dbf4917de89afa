// Conditions of "IF " lines: file existence, absence and date comparisons.
//
// A condition line is "IF " and one term, or two terms joined by "&" (both true) or
// "|" (either true). A term is "path" (the file exists), "!path" (it does not), or
// "path OP yyyymmdd" with OP one of ">=", ">", "<=", "<", comparing the local date of
// the file's last change with the given date as decimal numbers. Blanks are removed
// from paths and dates; relative paths are taken against the current directory.
// There is no precedence and no grouping: the line is split at its first operator
// and the right part keeps any further operator as part of its path.
#pragma once

#include <string>

// The results of a condition.
inline constexpr int kConditionTrue = 2;
inline constexpr int kConditionFalse = 3;

// The whole condition line (upper-cased, still beginning with "IF "), with at most
// one operator "&" or "|" ("&" wins when both occur). Evaluation stops early: the
// right term of a false AND or a true OR is not looked at.
int EvaluateCondition(const std::string& line);
// True when EvaluateCondition(line) gives kConditionTrue.
bool ConditionHolds(const std::string& line);

// One term: "path", "!path", "path >= yyyymmdd" (>, <=, <); a leading "IF " (any
// case) is dropped. A date that is not a decimal number (digits only after the blanks
// are removed, at most 18 of them) makes the term false without a message; so does a
// comparison on a missing file. Directories do not count as files.
int EvaluateConditionTerm(const std::string& text);
