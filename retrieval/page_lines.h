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
  // Replaces the whole content by `text`: CR LF, lone CR and lone LF each break a line, the text
  // ends at its first NUL, and an empty last piece is no line. Where the memory for the lines
  // runs out, throws Failure(u"Text exceeds memo capacity") and keeps the old content.
  void SetPageText(std::u16string text);
  std::int32_t GetLineCount() const { return static_cast<std::int32_t>(lines_.size()); }
  // Line `index` cut to its first 4096 code units; empty at or past the end and for a negative
  // index.
  std::u16string GetLine(std::int32_t index) const;
  // The same for the extraction's plain sizes, valid until the next SetPageText.
  std::size_t Count() const { return lines_.size(); }
  std::u16string_view View(std::size_t index) const;

 private:
  // Where a line lies in the text; the page's 16 MiB cap keeps its offsets within 32 bits.
  struct Line {
    std::uint32_t begin;
    std::uint32_t end;
  };

  std::u16string text_;
  std::vector<Line> lines_;
};

}  // namespace qelo
