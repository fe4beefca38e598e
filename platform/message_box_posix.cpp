#include <unistd.h>

#include <string>

#include "core/text.h"
#include "platform/message_box.h"

namespace qelo::platform {

void ShowErrorMessageBox(const std::u16string& text, const std::u16string& title) {
  std::string line = ToUtf8(title) + ": " + ToUtf8(text);
  // One report, one line: a line break of the text (CR LF, CR or LF) becomes a blank.
  for (std::size_t at = line.find_first_of("\r\n"); at != std::string::npos;
       at = line.find_first_of("\r\n", at + 1)) {
    line.replace(at, line.compare(at, 2, "\r\n") == 0 ? 2 : 1, " ");
  }
  line += '\n';
  std::size_t written = 0;
  while (written < line.size()) {
    const ssize_t n = write(STDERR_FILENO, line.data() + written, line.size() - written);
    if (n <= 0) return;  // nobody reads standard error: the report is lost, the run goes on
    written += static_cast<std::size_t>(n);
  }
}

}  // namespace qelo::platform
