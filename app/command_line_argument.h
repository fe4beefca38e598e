#pragma once
// Taking one argument out of a Windows program's command line. Windows hands a program its whole
// command line as one text (GetCommandLineW) and leaves the splitting to it; this program
// splits it by the rules hosts have always started it with: blanks and control characters
// separate, double quotes group, nothing escapes.

#include <string>

namespace qelo {

// The argument `index` of `commandLine`: 0 is the program's name as the starter wrote it, 1 the
// city. Codes from 1 to 32 separate tokens and an empty pair of double quotes between tokens is
// skipped; a double quote opens a run taken as it is up to the next one, and the quotes are
// dropped. The text ends at its first NUL. The first token that comes out empty ends the
// reading, so it and every later index give the empty text; so does a negative index.
std::u16string GetCommandLineArgument(const std::u16string& commandLine, int index);

}  // namespace qelo
