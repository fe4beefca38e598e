#pragma once
// The downloaded page as numbered lines (held by the main window's text box mmow).

#include <cstdint>
#include <string>
#include <vector>

namespace qelo {

inline constexpr std::size_t kMaxLineReadLength = 4096;

class PageLines {
 public:
  PageLines();  // holds the text box's stored line "mmow"
  // Replaces the whole content by `text`: CR LF, lone CR and lone LF each break a line, the text
  // ends at its first NUL. Throws platform::Failure(u"Text exceeds memo capacity") when the text
  // cannot be stored.
  void SetPageText(const std::u16string& text);
  // Number of lines; an empty last piece is not a line.
  std::int32_t GetLineCount() const;
  // Line `index` cut to its first 4096 code units; empty at or past the end. Never fails.
  std::u16string GetLine(std::int32_t index) const;

 private:
  std::vector<std::u16string> lines_;
};

}  // namespace qelo
