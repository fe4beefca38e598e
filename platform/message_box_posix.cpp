#include <unistd.h>

#include <string>

#include "core/text.h"
#include "platform/message_box.h"

namespace qelo::platform {

void ShowErrorMessageBox(const std::u16string& text, const std::u16string& title,
                         const NativeWindow&) {
  std::string line = ToUtf8(title) + ": ";
  // One report, one line: a line break of the text (CR LF, CR or LF) becomes a blank.
  const std::string body = ToUtf8(text);
  for (std::size_t i = 0; i < body.size(); ++i) {
    if (body.compare(i, 2, "\r\n") == 0) continue;  // the LF gives the blank
    line += body[i] == '\r' || body[i] == '\n' ? ' ' : body[i];
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
