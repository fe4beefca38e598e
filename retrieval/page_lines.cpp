#include "retrieval/page_lines.h"

#include <algorithm>
#include <new>

#include "core/failure.h"
#include "core/messages.h"

namespace qelo {

PageLines::PageLines() : text_(u"mmow"), lines_{{0, 4}} {}

void PageLines::SetPageText(std::u16string text) {
  std::vector<Line> lines;
  try {
    std::uint32_t begin = 0;
    std::uint32_t i = 0;
    for (; i < text.size(); ++i) {
      const char16_t c = text[i];
      if (c > u'\r' || (c != u'\r' && c != u'\n' && c != u'\0')) continue;
      if (c == u'\0') break;  // the page ends at its first NUL
      lines.push_back({begin, i});
      if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
      begin = i + 1;
    }
    if (begin < i) lines.push_back({begin, i});
  } catch (const std::bad_alloc&) {
    throw Failure(messages::kTextExceedsMemoCapacity);
  }
  text_.swap(text);
  lines_.swap(lines);
}

std::u16string PageLines::GetLine(std::int32_t index) const {
  return index < 0 ? std::u16string() : std::u16string(View(static_cast<std::size_t>(index)));
}

std::u16string_view PageLines::View(std::size_t index) const {
  if (index >= lines_.size()) return {};
  const Line line = lines_[index];
  return std::u16string_view(text_).substr(
      line.begin, std::min<std::size_t>(line.end - line.begin, kMaxLineReadLength));
}

}  // namespace qelo
