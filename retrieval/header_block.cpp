#include "retrieval/header_block.h"

#include "core/failure.h"
#include "core/messages.h"

namespace qelo {

void ReadHeaderBlock(LineReader& reader, std::vector<std::u16string>& lines, HeaderBlockKind kind,
                     int maxLines) {
  for (int taken = 0;; ++taken) {
    auto line = reader.ReadLine();
    if (!line) {
      if (kind == HeaderBlockKind::kHead && taken > 0) return;
      throw Failure(messages::kConnectionClosedGracefully);
    }
    if (line->empty() || taken == maxLines) return;
    lines.push_back(std::move(*line));
  }
}

}  // namespace qelo
