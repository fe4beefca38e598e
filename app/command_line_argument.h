#pragma once
// Taking one argument out of the process's command line, by the Windows rules for a program's
// parameters: blanks and control characters separate, double quotes group, nothing escapes.

#include <string>

namespace qelo {

// The argument `index` of `commandLine`. Index 0 is the first token, the program's name as the
// starter wrote it; index 1 is the city. Before each token every code from 1 to 32 is skipped,
// and so is every empty pair of double quotes. A token runs while the code (unsigned 16-bit)
// is above 32; a double quote opens a run taken as it is, blanks included, up to the next
// double quote or the end, and the quotes themselves are dropped. A backslash is an ordinary
// character. The text ends at its first NUL, as the system's command line does.
// The reading stops at the first token that comes out empty: that token and every later index
// give the empty text, so an empty program name gives an empty argument 1. A negative index
// gives the empty text.
std::u16string GetCommandLineArgument(const std::u16string& commandLine, int index);

}  // namespace qelo
