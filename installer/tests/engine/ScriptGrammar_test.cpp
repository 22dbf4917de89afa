// The script line grammar: what each line is in each state, for the scan's and the
// executor's readings, in install and uninstall mode. Conditions are decided by the
// line's text here ("IF YES" holds), so the transitions are seen without files.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "installer/engine/ScriptGrammar.h"

namespace {

using Kind = ScriptLineKind;

bool HoldsWhenYes(const std::string& line) { return line == "IF YES"; }

// The kinds of `lines` read in order after the header "H".
std::vector<Kind> Kinds(const std::vector<std::string>& lines, bool uninstallMode,
                        ReadmeOpening readme) {
    ScriptGrammar grammar("H", uninstallMode, readme, HoldsWhenYes);
    std::vector<Kind> kinds{grammar.Read("H")};
    for (const std::string& line : lines) kinds.push_back(grammar.Read(line));
    return kinds;
}

TEST(ScriptGrammar, HeaderFirstAndAWrongHeaderEndsTheScript) {
    ScriptGrammar grammar("H", false, ReadmeOpening::ReadmeLine, HoldsWhenYes);
    EXPECT_EQ(grammar.Read("X"), Kind::WrongHeader);
    // Not even the right header reads after a wrong one.
    EXPECT_EQ(grammar.Read("H"), Kind::WrongHeader);
    EXPECT_EQ(grammar.Read("INST,A"), Kind::WrongHeader);
    EXPECT_EQ(Kinds({}, false, ReadmeOpening::AsRun), std::vector<Kind>{Kind::Header});
}

TEST(ScriptGrammar, SectionsBlocksAndTheirEnds) {
    const std::vector<std::string> lines{
        "C A B",     // outside a section
        "INST,T",    // section
        "C A B",     //
        "ISOLATED",  // another I line
        "IF YES",    // true block
        "IF NO",     // a nested IF is a line of the block
        "EXTRA",     // another E line
        "ENDX",      // END over 3 characters
        "IF NO",     // false block
        "C A B",     //
        "INSTEND",   // inside a false block
        "END",       //
        "INSTEND",   //
        "INSTEND",   // outside again
    };
    const std::vector<Kind> expected{
        Kind::Header,    Kind::Ignored,      Kind::SectionStart, Kind::Command,    Kind::Ignored,
        Kind::Condition, Kind::BlockCommand, Kind::Ignored,      Kind::BlockEnd,   Kind::Condition,
        Kind::Ignored,   Kind::Ignored,      Kind::BlockEnd,     Kind::SectionEnd, Kind::Ignored,
    };
    for (bool uninstall : {false, true}) {
        for (ReadmeOpening readme : {ReadmeOpening::ReadmeLine, ReadmeOpening::AsRun}) {
            EXPECT_EQ(Kinds(lines, uninstall, readme), expected);
        }
    }
}

TEST(ScriptGrammar, SectionKeywordsDependOnTheMode) {
    struct Case {
        std::string line;
        bool uninstallMode;
        Kind kind;
        ScriptSection section;
    };
    const Case cases[] = {
        {"INST,TITLE", false, Kind::SectionStart, ScriptSection::Install},
        {"INST,TITLE", true, Kind::SectionStart, ScriptSection::Install},
        {"UNINST,TITLE", false, Kind::SectionStart, ScriptSection::Uninstallable},
        {"UNINST,TITLE", true, Kind::SectionStart, ScriptSection::Undo},
        {"UPDATE", true, Kind::SectionStart, ScriptSection::Undo},
        {"UPDATE", false, Kind::Ignored, ScriptSection::Install},
        {"INST", false, Kind::Ignored, ScriptSection::Install},
    };
    for (const Case& c : cases) {
        ScriptGrammar grammar("H", c.uninstallMode, ReadmeOpening::AsRun, HoldsWhenYes);
        ASSERT_EQ(grammar.Read("H"), Kind::Header);
        EXPECT_EQ(grammar.Read(c.line), c.kind) << c.line;
        if (c.kind == Kind::SectionStart) {
            EXPECT_EQ(grammar.Section(), c.section) << c.line;
            EXPECT_EQ(grammar.State(), InSection);
        } else {
            EXPECT_EQ(grammar.State(), Outside);
        }
    }
}

TEST(ScriptGrammar, ReadmeOpeningsOfTheScanAndOfTheRun) {
    struct Case {
        std::string line;
        bool uninstallMode;
        ReadmeOpening readme;
        bool opens;
    };
    const Case cases[] = {
        {"README", false, ReadmeOpening::ReadmeLine, true},
        {"README", true, ReadmeOpening::ReadmeLine, true},
        {"READMEX", false, ReadmeOpening::ReadmeLine, false},
        {"R X", true, ReadmeOpening::ReadmeLine, false},
        {"README", false, ReadmeOpening::AsRun, true},
        {"READMEX", false, ReadmeOpening::AsRun, true},
        {"R X", false, ReadmeOpening::AsRun, false},
        {"R X", true, ReadmeOpening::AsRun, true},
        {"READ", true, ReadmeOpening::AsRun, true},
    };
    for (const Case& c : cases) {
        ScriptGrammar grammar("H", c.uninstallMode, c.readme, HoldsWhenYes);
        ASSERT_EQ(grammar.Read("H"), Kind::Header);
        EXPECT_EQ(grammar.Read(c.line), c.opens ? Kind::ReadmeStart : Kind::Ignored) << c.line;
    }
    // Inside README every line is text, keywords included, up to READMEEND (compared
    // over 9 characters, so "READMEENDX" ends it too).
    const std::vector<Kind> expected{Kind::Header,     Kind::ReadmeStart, Kind::ReadmeText,
                                     Kind::ReadmeText, Kind::ReadmeEnd,   Kind::SectionStart};
    EXPECT_EQ(Kinds({"README", "INST,X", "R LINE", "READMEENDX", "INST,Y"}, false,
                    ReadmeOpening::ReadmeLine),
              expected);
}

}  // namespace
