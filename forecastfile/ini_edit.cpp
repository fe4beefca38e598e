#include "forecastfile/ini_edit.h"

#include <utility>

#include "core/ascii_text.h"
#include "core/text.h"

namespace qelo {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeBom = "\xFF\xFE";
constexpr std::string_view kUtf16BeBom = "\xFE\xFF";

bool IsLineEnd(char c) { return c == '\n' || c == '\r'; }
bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// One line of the file: its content and where the next line begins.
struct Line {
  std::size_t begin = 0;
  std::size_t end = 0;   // one past the content, before the line end
  std::size_t next = 0;  // one past the line end
};

Line LineAt(std::string_view bytes, std::size_t begin) {
  std::size_t end = begin;
  while (end < bytes.size() && !IsLineEnd(bytes[end])) ++end;
  std::size_t next = end;
  if (next < bytes.size()) next += bytes.substr(next, 2) == "\r\n" ? 2 : 1;
  return {begin, end, next};
}

std::string_view LineEndStyle(std::string_view bytes) {
  const Line first = LineAt(bytes, 0);
  const std::string_view style = bytes.substr(first.end, first.next - first.end);
  return style.empty() ? "\n" : style;
}

std::optional<std::string_view> SectionName(std::string_view content) {
  const std::string_view trimmed = Trim(content);
  if (!trimmed.starts_with('[')) return std::nullopt;
  const std::size_t close = trimmed.rfind(']');
  if (close == std::string_view::npos || close == 0) return std::nullopt;
  return Trim(trimmed.substr(1, close - 1));
}

bool SectionNamed(std::string_view content, std::string_view name) {
  const std::optional<std::string_view> found = SectionName(content);
  return found && EqualsIgnoringAsciiCase(*found, name);
}

bool IsEntry(std::string_view content) {
  const std::string_view trimmed = Trim(content);
  return !trimmed.empty() && trimmed.front() != ';';
}

std::string_view EntryName(std::string_view content) {
  return Trim(content.substr(0, content.find('=')));
}

// One pass over the lines: the first section of the name, then its entries up to the next
// section. Nothing is kept per line, so a large file costs only its own bytes and the copy.
class IniEdit {
 public:
  IniEdit(std::string_view bytes, std::string section, std::string key, std::string value)
      : bytes_(bytes),
        section_(std::move(section)),
        key_(std::move(key)),
        value_(std::move(value)),
        eol_(LineEndStyle(bytes)),
        start_(bytes.starts_with(kUtf8Bom) ? kUtf8Bom.size() : 0) {}

  std::string Apply() const {
    Line line = LineAt(bytes_, start_);
    while (line.begin < bytes_.size() && !SectionNamed(Content(line), section_)) {
      line = LineAt(bytes_, line.next);
    }
    if (line.begin >= bytes_.size()) return AppendSection();
    std::size_t insertAt = line.next;
    for (line = LineAt(bytes_, line.next); line.begin < bytes_.size();
         line = LineAt(bytes_, line.next)) {
      const std::string_view content = Content(line);
      if (SectionName(content)) break;
      if (!IsEntry(content)) continue;
      if (EqualsIgnoringAsciiCase(EntryName(content), key_)) return ReplaceEntry(line);
      insertAt = line.next;
    }
    return PrefixEndingLine(insertAt) + EntryLine() + std::string(bytes_.substr(insertAt));
  }

 private:
  std::string_view Content(const Line& line) const {
    return bytes_.substr(line.begin, line.end - line.begin);
  }

  std::string EntryLine() const { return key_ + "=" + value_ + std::string(eol_); }

  // The bytes up to `at`, with a line end added when they stop in a line without one.
  std::string PrefixEndingLine(std::size_t at) const {
    std::string out(bytes_.substr(0, at));
    if (out.size() > start_ && !IsLineEnd(out.back())) out += eol_;
    return out;
  }

  std::string AppendSection() const {
    return PrefixEndingLine(bytes_.size()) + "[" + section_ + "]" + std::string(eol_) + EntryLine();
  }

  std::string ReplaceEntry(const Line& line) const {
    const std::string_view content = Content(line);
    const std::size_t equals = content.find('=');
    std::string out(bytes_.substr(0, line.begin));
    out += equals == std::string_view::npos ? std::string(content) + "="
                                            : content.substr(0, equals + 1);
    out += value_;
    out += bytes_.substr(line.end);
    return out;
  }

  std::string_view bytes_;
  std::string section_;
  std::string key_;
  std::string value_;
  std::string_view eol_;
  std::size_t start_;
};

}  // namespace

std::optional<std::string> ApplyIniWrite(std::string_view fileBytes, std::u16string_view section,
                                         std::u16string_view key, std::u16string_view value) {
  if (fileBytes.starts_with(kUtf16LeBom) || fileBytes.starts_with(kUtf16BeBom)) {
    return std::nullopt;
  }
  return IniEdit(fileBytes, ToWellFormedUtf8(section), ToWellFormedUtf8(key),
                 ToWellFormedUtf8(value))
      .Apply();
}

}  // namespace qelo
