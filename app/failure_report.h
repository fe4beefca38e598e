#pragma once
// The failure report: what its box shows for a failure, whichever step of the program failed.

#include <exception>
#include <string>

namespace qelo {

struct FailureReport {
  std::u16string text;
  std::u16string title;
};

// The report of `failure` by the program at `executablePath`. The text is the failure's message
// (a Failure's own, "Out of memory" for exhausted memory, the text of any other exception) with
// a full stop appended when its last code unit lies above U+002E, so that a message ending in a
// blank, a control character or one of "!" to "." is kept as it is. The title is the file name
// after the last path separator, cut before its first full stop, with every character but the
// first in lower case.
FailureReport ReportOf(std::exception_ptr failure, const std::u16string& executablePath);

// Shows a report and returns once it has been dismissed: the program's is a modal box.
class FailureReporter {
 public:
  virtual ~FailureReporter() = default;
  virtual void Show(const FailureReport& report) = 0;
};

}  // namespace qelo
