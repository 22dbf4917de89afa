// The line grammar of a script, as one state machine that the scan and the executor
// both read a script through. Each line (already expanded and upper-cased, skipped
// lines left out) is told what it is in the current state, and the state moves on.
// What a reader does with a line is its own business.
//
// States: before the header; Outside; InSection (an "INST," / "UNINST," section);
// InTrueIf / InFalseIf (an "IF " block of a section); InReadme (a README section).
// Keywords are compared over a fixed number of leading characters (KeywordMatches).
//
//   before the header  the line equal to the header -> Header, Outside;
//                      any other -> WrongHeader (and every later line too)
//   Outside            "INST," (5)                  -> SectionStart Install, InSection
//                      install mode: "UNINST," (7)  -> SectionStart Uninstallable
//                      uninstall mode: any "U" line -> SectionStart Undo
//                      README opening (see ReadmeOpening)  -> ReadmeStart, InReadme
//                      anything else                -> Ignored
//   InSection          "IF " (3)  -> Condition, InTrueIf or InFalseIf as it holds
//                      "INSTEND" (7) -> SectionEnd, Outside
//                      another "I" line -> Ignored; anything else -> Command
//   InTrueIf           "END" (3) -> BlockEnd, InSection; another "E" line -> Ignored;
//                      anything else (an "IF " line too) -> BlockCommand
//   InFalseIf          "END" (3) -> BlockEnd, InSection; anything else -> Ignored
//   InReadme           "READMEEND" (9) -> ReadmeEnd, Outside; anything else -> ReadmeText
#pragma once

#include <string>

// Line states while a script is read.
enum ScanState { Outside = 0, InSection = 1, InTrueIf = 2, InFalseIf = 3, InReadme = 4 };

enum class ScriptLineKind {
    Header,
    WrongHeader,
    SectionStart,
    ReadmeStart,
    Condition,
    BlockEnd,
    SectionEnd,
    Command,       // a line of a section
    BlockCommand,  // a line of a true IF block
    ReadmeText,
    ReadmeEnd,
    Ignored,
};

// Which keyword opened a section.
enum class ScriptSection {
    Install,        // "INST,"
    Uninstallable,  // "UNINST," in install mode
    Undo,           // a "U" line in uninstall mode
};

// Which Outside lines open a README section.
enum class ReadmeOpening {
    // Only the line "README" itself (the scan's reading).
    ReadmeLine,
    // Install mode: a line beginning with "README"; uninstall mode: any line beginning
    // with "R" (the executor's reading).
    AsRun,
};

// True when the condition line ("IF ...") holds.
using ConditionTest = bool (*)(const std::string& line);

class ScriptGrammar {
  public:
    // `header`: the line the script must begin with. `condition` decides "IF " lines
    // (ConditionHolds of Conditions.h unless a test gives another).
    ScriptGrammar(std::string header, bool uninstallMode, ReadmeOpening readme,
                  ConditionTest condition);
    ScriptGrammar(std::string header, bool uninstallMode, ReadmeOpening readme);

    // What `line` is in the current state; moves to the next state.
    ScriptLineKind Read(const std::string& line);
    // The section keyword of the last SectionStart.
    ScriptSection Section() const { return section_; }
    ScanState State() const { return state_; }

  private:
    bool OpensReadme(const std::string& line) const;

    std::string header_;
    bool uninstallMode_;
    ReadmeOpening readme_;
    ConditionTest condition_;
    bool headerRead_ = false;
    bool wrongHeader_ = false;
    ScanState state_ = Outside;
    ScriptSection section_ = ScriptSection::Install;
};
