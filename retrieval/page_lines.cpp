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

[[noreturn]] void ThrowCapacityExceeded() { throw Failure(messages::kTextExceedsMemoCapacity); }

// The pieces of a page: their characters back to back, and where each one starts, followed by
// the end of the last.
struct SplitPage {
  std::u16string text;
  std::vector<std::uint32_t> starts;
};

// Moves the piece [begin, end) of `page` down to just after the pieces kept before it, over the
// line breaks between them, and records where it ends.
void KeepPiece(SplitPage& split, char16_t* page, std::size_t begin, std::size_t end,
               std::size_t capacity) {
  const std::size_t kept = split.starts.back();
  const std::size_t length = end - begin;
  if (length > capacity - kept) ThrowCapacityExceeded();
  if (split.starts.size() > kLineCountLimit + 1) ThrowCapacityExceeded();
  if (kept != begin) std::char_traits<char16_t>::move(page + kept, page + begin, length);
  split.starts.push_back(static_cast<std::uint32_t>(kept + length));
}

// One pass over the page, in its own memory, since the pieces never need more room than the page
// they come from: a CR LF pair, a lone CR and a lone LF each end a piece, and the page ends at
// its first NUL.
SplitPage Split(std::u16string page, std::size_t capacity) {
  SplitPage split;
  split.starts.push_back(0);
  char16_t* const chars = page.data();
  std::size_t pieceBegin = 0;
  std::size_t size = page.size();
  for (std::size_t i = 0; i < size; ++i) {
    const char16_t c = chars[i];
    if (c == u'\0') {
      size = i;
      break;
    }
    if (c != kCr && c != kLf) continue;
    KeepPiece(split, chars, pieceBegin, i, capacity);
    if (c == kCr && i + 1 < size && chars[i + 1] == kLf) ++i;
    pieceBegin = i + 1;
  }
  KeepPiece(split, chars, pieceBegin, size, capacity);
  page.resize(split.starts.back());
  split.text = std::move(page);
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

void PageLines::SetPageText(std::u16string text) {
  SplitPage split;
  std::size_t lineCount = 0;
  try {
    split = Split(std::move(text), capacity_);
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
  return View(static_cast<std::size_t>(index));
}

std::u16string_view PageLines::View(std::size_t line) const {
  const std::size_t begin = lineStarts_[line];
  const std::size_t length =
      std::min<std::size_t>(lineStarts_[line + 1] - begin, kMaxLineReadLength);
  return std::u16string_view(text_).substr(begin, length);
}

}  // namespace qelo
