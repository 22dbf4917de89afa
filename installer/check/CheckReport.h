// The report of morvanup-check: one function per section, run in order by the tool's
// main. A new section is a new source file in this folder that defines its function,
// plus its line in the section table of CheckMain.cpp.
//
// All text handed to the report is code page 932 (the installer's own strings); the
// report writes it to standard output in UTF-8.
#pragma once

#include <string>
#include <vector>

#include "installer/engine/InstallerState.h"
#include "installer/env/MessageBox.h"

// Exit codes of the tool.
inline constexpr int kCheckFits = 0;      // the medium is usable and fits the installation
inline constexpr int kCheckNoFit = 1;     // usable, but the installer refuses it
inline constexpr int kCheckUnusable = 2;  // no medium, or a missing or malformed control file

// Records the boxes the installer's operations raise, so the report can print the
// exact text a user would see. Answers every box with its first button.
class CapturedMessages : public MessageSink {
public:
    struct Box {
        std::string caption;
        std::string text;
    };
    int ShowMessage(const std::string& caption, const std::string& text,
                    MessageButtons buttons, MessageIcon icon) override;
    void Beep() override {}
    // The boxes raised since the last call, and forgets them.
    std::vector<Box> Take();

private:
    std::vector<Box> boxes_;
};

// What the sections share: the installer's state, owned by the tool's main, and the
// findings of the sections.
struct CheckRun {
    explicit CheckRun(InstallerState& installerState) : state(installerState) {}
    InstallerState& state;
    std::string mediumDir;          // as the installer holds it (upper-cased, no trailing "\")
    CapturedMessages* messages = nullptr;
    bool mediumUsable = false;      // set by the medium section
    int verdict = kCheckUnusable;   // set by the verdict section
    bool interruptedJob = false;    // set by the interrupted-job section
};

// Writing the report.
void PrintLine(const std::string& label, const std::string& cp932Value);
void PrintNote(const std::string& cp932Text);  // an indented line
// Prints the boxes raised since the last call ("(no message)" when there were none).
void PrintMessages(CheckRun& run, const std::string& label);

// The sections, in the order of the report. Each returns false to end the report
// early (nothing further can be said).
bool ReportEnvironment(CheckRun& run);
bool ReportMedium(CheckRun& run);
bool ReportInstalledVersion(CheckRun& run);
bool ReportVerdict(CheckRun& run);
// The script scan: the rows of the main dialog, the entries it leaves out and why,
// the problems the scan meets and the README document (ScriptSection.cpp).
bool ReportScriptScan(CheckRun& run);

// The record of a job that was cut short (a crash, a power cut): its mode, title,
// group and entries. The installer deals with it before anything else at its next
// start, so it holds back the verdict (JobRecordSection.cpp).
bool ReportInterruptedJob(CheckRun& run);
// The installer's settings read as at start-up, their boxes dropped (the environment
// section reports them).
void LoadEnvironmentQuietly(CheckRun& run);

// Option /U: the kept groups of the version-down store and the entries of each.
int ReportKeptGroups(CheckRun& run);
