#include <unistd.h>

#include <string>

#include "core/text.h"
#include "platform/message_box.h"

namespace qelo::platform {

void ShowErrorMessageBox(const std::u16string& text, const std::u16string& title) {
  const std::string line = ToUtf8(title) + ": " + ToUtf8(text) + "\n";
  std::size_t written = 0;
  while (written < line.size()) {
    const ssize_t n = write(STDERR_FILENO, line.data() + written, line.size() - written);
    if (n <= 0) return;  // nobody reads standard error: the report is lost, the run goes on
    written += static_cast<std::size_t>(n);
  }
}

}  // namespace qelo::platform
