#include "installer/engine/ScriptGrammar.h"

#include <utility>

#include "installer/engine/Conditions.h"
#include "installer/engine/ScriptLines.h"

ScriptGrammar::ScriptGrammar(std::string header, bool uninstallMode, ReadmeOpening readme,
                             ConditionTest condition)
    : header_(std::move(header)),
      uninstallMode_(uninstallMode),
      readme_(readme),
      condition_(condition) {}

ScriptGrammar::ScriptGrammar(std::string header, bool uninstallMode, ReadmeOpening readme)
    : ScriptGrammar(std::move(header), uninstallMode, readme, ConditionHolds) {}

bool ScriptGrammar::OpensReadme(const std::string& line) const {
    // Compared over 7 characters, "README" asks for the line to end after the word.
    if (readme_ == ReadmeOpening::ReadmeLine) return KeywordMatches(line, "README", 7);
    if (line.empty() || line[0] != 'R') return false;
    return uninstallMode_ || KeywordMatches(line, "README", 6);
}

ScriptLineKind ScriptGrammar::Read(const std::string& line) {
    if (!headerRead_) {
        // A script whose first line is not the header is not a script of this medium:
        // none of its lines counts, the later ones included.
        if (wrongHeader_ || line != header_) {
            wrongHeader_ = true;
            return ScriptLineKind::WrongHeader;
        }
        headerRead_ = true;
        return ScriptLineKind::Header;
    }
    const char first = line.empty() ? '\0' : line[0];
    switch (state_) {
        case Outside:
            if (KeywordMatches(line, "INST,", 5)) {
                section_ = ScriptSection::Install;
            } else if (!uninstallMode_ && KeywordMatches(line, "UNINST,", 7)) {
                section_ = ScriptSection::Uninstallable;
            } else if (uninstallMode_ && first == 'U') {
                section_ = ScriptSection::Undo;
            } else if (OpensReadme(line)) {
                state_ = InReadme;
                return ScriptLineKind::ReadmeStart;
            } else {
                return ScriptLineKind::Ignored;
            }
            state_ = InSection;
            return ScriptLineKind::SectionStart;
        case InSection:
            if (KeywordMatches(line, "IF ", 3)) {
                state_ = condition_(line) ? InTrueIf : InFalseIf;
                return ScriptLineKind::Condition;
            }
            if (KeywordMatches(line, "INSTEND", 7)) {
                state_ = Outside;
                return ScriptLineKind::SectionEnd;
            }
            return first == 'I' ? ScriptLineKind::Ignored : ScriptLineKind::Command;
        case InTrueIf:
            if (first != 'E') return ScriptLineKind::BlockCommand;
            [[fallthrough]];
        case InFalseIf:
            if (KeywordMatches(line, "END", 3)) {
                state_ = InSection;
                return ScriptLineKind::BlockEnd;
            }
            return ScriptLineKind::Ignored;
        case InReadme:
            if (KeywordMatches(line, "READMEEND", 9)) {
                state_ = Outside;
                return ScriptLineKind::ReadmeEnd;
            }
            return ScriptLineKind::ReadmeText;
    }
    return ScriptLineKind::Ignored;
}
