// The edge between the host and the job's Windows paths, and the limits of the job's
// path fields.
//
// Tolvane is started from the host (a shell, a test) or from a Windows command line of
// the prefix. Its path arguments are taken as follows:
//   - an argument that begins with a drive letter and a colon ("C:\WORK\A.000",
//     "c:a.000") is a Windows path (code page 932) and is used as it is;
//   - every other path argument is a host path (absolute, or relative to the host's
//     working directory; UTF-8 as the host spells its names) and is replaced by its
//     Windows name (platform::ToWindowsPath): the mapped drive that holds it, else Z:.
// From there on the job knows only Windows paths; its log lines show them.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// One argument of the program: its code page 932 text (as the Windows command line
// gives it) and the same argument as the host handed it over (argv, UTF-8).
struct ProgramArgument {
    std::string text;
    std::string host;
};

// Bytes of each of the job's path fields (drawing, new PDB, condition file, extension
// file, working copy), the NUL included: a path of 260 bytes or more does not fit.
inline constexpr std::size_t kJobPathField = 260;
// The longest new PDB path: the open hands it to the database manager as a counted
// string (one length byte) whose field holds at most 255 bytes.
inline constexpr std::size_t kJobNewPdbPathMax = 255;

// The Windows path an argument names, as described above. An empty argument stays
// empty.
[[nodiscard]] std::string JobPath_FromArgument(const ProgramArgument& argument);

// True when `path` fits a field of `fieldBytes` bytes with its NUL.
[[nodiscard]] bool JobPath_FitsField(std::string_view path, std::size_t fieldBytes);

// True when the Windows paths `a` and `b` name one file: the same full path (compared
// as Windows compares names, without regard to case) or, for an existing file, the
// same host file reached by two names (another drive, a link).
[[nodiscard]] bool JobPath_SameFile(std::string_view a, std::string_view b);
