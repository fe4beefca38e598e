#pragma once
// The downloaded page as numbered lines (held by the main window's text box mmow).

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qelo {

inline constexpr std::size_t kMaxLineReadLength = 4096;

class PageLines {
 public:
  PageLines();  // holds the text box's stored line "mmow"
  // A store that takes at most `capacity` code units of line text (line breaks not counted);
  // the default store's limit is that of its 32-bit offsets.
  explicit PageLines(std::size_t capacity);
  // Replaces the whole content by `text`: CR LF, lone CR and lone LF each break a line, the text
  // ends at its first NUL. Throws Failure(u"Text exceeds memo capacity") when the text
  // cannot be stored. The lines are made in the memory of `text` itself.
  void SetPageText(std::u16string text);
  std::int32_t GetLineCount() const;
  // Line `index` cut to its first 4096 code units; empty at or past the end (and for a negative
  // index). Never fails.
  std::u16string GetLine(std::int32_t index) const;
  // Valid until the next SetPageText.
  std::u16string_view GetLineView(std::int32_t index) const;
  // The same with the plain sizes of the extraction: line `index` < Count(), cut to 4096.
  std::size_t Count() const { return static_cast<std::size_t>(lineCount_); }
  std::u16string_view View(std::size_t index) const;

 private:
  // All lines back to back without their breaks; line i is [lineStarts_[i], lineStarts_[i + 1]).
  // One string for the text and one vector for the offsets, however many lines the page has.
  std::size_t capacity_;
  std::u16string text_;
  std::vector<std::uint32_t> lineStarts_;
  std::int32_t lineCount_;
};

}  // namespace qelo
