// A fresh prefix in a temporary folder for one test, made by the real
// `morvan-prefix init` (found through MORVAN_BIN_DIR, which the test registration
// sets), with MORVAN_PREFIX pointing at it. The destructor removes it.
#pragma once

#include <string>

class TempPrefix {
public:
    TempPrefix();
    ~TempPrefix();
    TempPrefix(const TempPrefix&) = delete;
    TempPrefix& operator=(const TempPrefix&) = delete;

    const std::string& dir() const { return dir_; }
    // Host path of a file or folder inside drive C: ("KEL/WORK" -> <prefix>/drive_c/KEL/WORK).
    std::string HostC(const std::string& relative) const;
    // The host folder of the build's programs (MORVAN_BIN_DIR).
    static std::string BinDir();

    // A product installed the standard way: the settings under HKCU\SOFTWARE\KEL
    //   INSTALL_DRIVE\INSTALL_AP_PATH = C:\MORVAN      (application directory)
    //   KELSYS\KELTEMP = C:\KEL\WORK, KEL_WORK = C:\KEL\WORK2, INSTALL = C:\KEL\INSTALL,
    //   KELSYS\QVD_DAT = C:\KEL\QVD\ (so the archiver folder is C:\KEL\EXE),
    //   KELSYS\TOOLS = C:\KEL\TOOLS
    // with those folders created, the installed version HKLM\SOFTWARE\Morvan\COMMON
    // VERSION = `version` (none when empty), and the stand-ins LHA.EXE, HALTAPP.EXE and
    // PAUSER.EXE copied where the settings point, when the build has them.
    void InstallStandardProduct(const std::string& version = "2.00");

    // Maps drive `letter` to a new host folder inside the prefix and returns that folder.
    std::string MapNewDrive(char letter);

private:
    std::string dir_;
};
