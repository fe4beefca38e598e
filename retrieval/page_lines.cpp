#include "retrieval/page_lines.h"

#include <algorithm>
#include <limits>
#include <new>
#include <stdexcept>

#include "core/failure.h"
#include "core/messages.h"

namespace qelo {

namespace {

constexpr char16_t kCr = u'\r';
constexpr char16_t kLf = u'\n';
constexpr char16_t kInitialContent[] = u"mmow";  // the text box's stored line

constexpr std::size_t kOffsetLimit = std::numeric_limits<std::uint32_t>::max();
constexpr std::size_t kLineCountLimit = std::numeric_limits<std::int32_t>::max();

// The page ends at its first NUL.
std::u16string_view BeforeFirstNul(const std::u16string& text) {
  std::u16string_view page(text);
  return page.substr(0, page.find(u'\0'));
}

[[noreturn]] void ThrowCapacityExceeded() { throw Failure(messages::kTextExceedsMemoCapacity); }

// The pieces of a page: their characters back to back, and where each one starts, followed by
// the end of the last.
struct SplitPage {
  std::u16string text;
  std::vector<std::uint32_t> starts;
};

void AppendPiece(SplitPage& split, std::u16string_view piece, std::size_t capacity) {
  if (piece.size() > capacity - split.text.size()) ThrowCapacityExceeded();
  if (split.starts.size() > kLineCountLimit + 1) ThrowCapacityExceeded();
  split.text.append(piece);
  split.starts.push_back(static_cast<std::uint32_t>(split.text.size()));
}

// One pass over the page: a CR LF pair, a lone CR and a lone LF each end a piece.
SplitPage Split(std::u16string_view page, std::size_t capacity) {
  SplitPage split;
  split.text.reserve(std::min(page.size(), capacity));
  split.starts.reserve(page.size() / 32 + 2);
  split.starts.push_back(0);
  std::size_t pieceBegin = 0;
  const std::size_t size = page.size();
  for (std::size_t i = 0; i < size; ++i) {
    const char16_t c = page[i];
    if (c > kCr || (c != kCr && c != kLf)) continue;  // one comparison for nearly every character
    AppendPiece(split, page.substr(pieceBegin, i - pieceBegin), capacity);
    if (c == kCr && i + 1 < size && page[i + 1] == kLf) ++i;
    pieceBegin = i + 1;
  }
  AppendPiece(split, page.substr(pieceBegin), capacity);
  return split;
}

// n breaks give n + 1 pieces; an empty last piece is no line.
std::size_t CountLines(const SplitPage& split) {
  const std::size_t pieces = split.starts.size() - 1;
  const bool lastPieceEmpty = split.starts[pieces] == split.starts[pieces - 1];
  return lastPieceEmpty ? pieces - 1 : pieces;
}

}  // namespace

PageLines::PageLines() : PageLines(kOffsetLimit) {}

PageLines::PageLines(std::size_t capacity)
    : capacity_(std::min(capacity, kOffsetLimit)),
      text_(kInitialContent),
      lineStarts_{0, static_cast<std::uint32_t>(text_.size())},
      lineCount_(1) {}

void PageLines::SetPageText(const std::u16string& text) {
  SplitPage split;
  std::size_t lineCount = 0;
  try {
    split = Split(BeforeFirstNul(text), capacity_);
    lineCount = CountLines(split);
  } catch (const std::bad_alloc&) {
    ThrowCapacityExceeded();
  } catch (const std::length_error&) {
    ThrowCapacityExceeded();
  }
  if (lineCount > kLineCountLimit) ThrowCapacityExceeded();
  // Only now, with nothing left that can fail, does the new content replace the old.
  text_.swap(split.text);
  lineStarts_.swap(split.starts);
  lineCount_ = static_cast<std::int32_t>(lineCount);
}

std::int32_t PageLines::GetLineCount() const { return lineCount_; }

std::u16string PageLines::GetLine(std::int32_t index) const {
  return std::u16string(GetLineView(index));
}

// A negative index, like one at or past the end, names no line.
std::u16string_view PageLines::GetLineView(std::int32_t index) const {
  if (index < 0 || index >= lineCount_) return {};
  const auto line = static_cast<std::size_t>(index);
  const std::size_t begin = lineStarts_[line];
  const std::size_t length =
      std::min<std::size_t>(lineStarts_[line + 1] - begin, kMaxLineReadLength);
  return std::u16string_view(text_).substr(begin, length);
}

}  // namespace qelo
