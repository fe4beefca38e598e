#pragma once
// The command line of the process as one text, the way a Windows program receives it, so that
// the program takes its arguments apart by the same rules on every platform.

#include <string>
#include <vector>

namespace qelo::platform {

// The full command line, beginning with the program's name as the starter wrote it
// (GetCommandLineW on Windows; on POSIX rebuilt from /proc/self/cmdline by JoinCommandLine).
std::u16string ProcessCommandLine();

// Joins arguments into one command line with one blank between them. An argument that is
// empty or holds a blank or another control character (codes 1 to 32) is wrapped in double
// quotes; every other character is taken as it is. A reader that splits at blanks outside
// quotes then gets the words back as a Windows starter would have passed them.
// What this cannot carry: a double quote inside an argument, since the Windows splitting rule
// has no escape (the quote is dropped and opens or closes a quoted run). And, as on Windows,
// an empty argument followed by another one is skipped by the reader rather than read as empty.
std::u16string JoinCommandLine(const std::vector<std::u16string>& args);

}  // namespace qelo::platform
