#pragma once
// The texts of the failure report: the message as the box shows it and the box's title.

#include <exception>
#include <string>

namespace qelo {

// The message with a full stop appended when its last code unit lies above U+002E; a message
// ending in a blank, a control character or one of "!" to "." is kept, and so is an empty one.
std::u16string ReportText(const std::u16string& message);

// The message of a failure as the report shows it: a Failure's own message, "Out of memory"
// for exhausted memory, the text of any other exception.
std::u16string FailureMessage(std::exception_ptr failure);

// The application title from the path of the running executable: the file name after the last
// `separator`, cut before its first full stop, with every character but the first in lower case.
std::u16string ApplicationTitle(const std::u16string& executablePath, char16_t separator);

}  // namespace qelo
