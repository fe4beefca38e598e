#include "forecastfile/ini_edit.h"

#include <optional>
#include <utility>
#include <vector>

#include "core/ascii_text.h"
#include "core/text.h"

namespace qelo {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

struct Line {
  std::size_t begin = 0;  // first byte of the content
  std::size_t end = 0;    // one past the content, before the line end
  std::size_t next = 0;   // one past the line end
};

std::vector<Line> SplitLines(std::string_view bytes, std::size_t start) {
  std::vector<Line> lines;
  std::size_t begin = start;
  while (begin < bytes.size()) {
    const std::size_t lf = bytes.find('\n', begin);
    if (lf == std::string_view::npos) {
      lines.push_back({begin, bytes.size(), bytes.size()});
      break;
    }
    const std::size_t end = lf > begin && bytes[lf - 1] == '\r' ? lf - 1 : lf;
    lines.push_back({begin, end, lf + 1});
    begin = lf + 1;
  }
  return lines;
}

std::string_view LineEndStyle(std::string_view bytes) {
  const std::size_t lf = bytes.find('\n');
  return lf != std::string_view::npos && lf > 0 && bytes[lf - 1] == '\r' ? "\r\n" : "\n";
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

std::optional<std::string_view> SectionName(std::string_view content) {
  const std::string_view trimmed = Trim(content);
  if (trimmed.empty() || trimmed.front() != '[') return std::nullopt;
  const std::size_t close = trimmed.rfind(']');
  if (close == std::string_view::npos || close == 0) return std::nullopt;
  return Trim(trimmed.substr(1, close - 1));
}

bool IsEntry(std::string_view content) {
  const std::string_view trimmed = Trim(content);
  return !trimmed.empty() && trimmed.front() != ';';
}

std::string_view EntryName(std::string_view content) {
  return Trim(content.substr(0, content.find('=')));
}

class IniEdit {
 public:
  IniEdit(std::string_view bytes, std::string section, std::string key, std::string value)
      : bytes_(bytes),
        section_(std::move(section)),
        key_(std::move(key)),
        value_(std::move(value)),
        eol_(LineEndStyle(bytes)),
        lines_(SplitLines(bytes, bytes.starts_with(kUtf8Bom) ? kUtf8Bom.size() : 0)) {}

  std::string Apply() const {
    const std::optional<std::size_t> header = FindSection();
    if (!header) return AppendSection();
    std::size_t insertAfter = *header;
    for (std::size_t i = *header + 1; i < lines_.size(); ++i) {
      const std::string_view content = Content(i);
      if (SectionName(content)) break;
      if (!IsEntry(content)) continue;
      if (EqualsIgnoringAsciiCase(EntryName(content), key_)) return ReplaceEntry(i);
      insertAfter = i;
    }
    return InsertEntryAfter(insertAfter);
  }

 private:
  std::string_view Content(std::size_t i) const {
    return bytes_.substr(lines_[i].begin, lines_[i].end - lines_[i].begin);
  }

  std::optional<std::size_t> FindSection() const {
    for (std::size_t i = 0; i < lines_.size(); ++i) {
      const std::optional<std::string_view> name = SectionName(Content(i));
      if (name && EqualsIgnoringAsciiCase(*name, section_)) return i;
    }
    return std::nullopt;
  }

  std::string EntryLine() const { return key_ + "=" + value_ + std::string(eol_); }

  // The bytes up to `at`, with a line end added when they stop in a line without one.
  std::string PrefixEndingLine(std::size_t at) const {
    std::string out(bytes_.substr(0, at));
    const bool bomOnly = out == kUtf8Bom;
    if (!out.empty() && !bomOnly && out.back() != '\n') out += eol_;
    return out;
  }

  std::string AppendSection() const {
    return PrefixEndingLine(bytes_.size()) + "[" + section_ + "]" + std::string(eol_) + EntryLine();
  }

  std::string ReplaceEntry(std::size_t i) const {
    const Line& line = lines_[i];
    const std::string_view content = Content(i);
    const std::size_t equals = content.find('=');
    std::string out(bytes_.substr(0, line.begin));
    out += equals == std::string_view::npos ? std::string(content) + "="
                                            : content.substr(0, equals + 1);
    out += value_;
    out += bytes_.substr(line.end);
    return out;
  }

  std::string InsertEntryAfter(std::size_t i) const {
    const std::size_t at = lines_[i].next;
    return PrefixEndingLine(at) + EntryLine() + std::string(bytes_.substr(at));
  }

  std::string_view bytes_;
  std::string section_;
  std::string key_;
  std::string value_;
  std::string_view eol_;
  std::vector<Line> lines_;
};

}  // namespace

std::string ApplyIniWrite(std::string_view fileBytes, std::u16string_view section,
                          std::u16string_view key, std::u16string_view value) {
  return IniEdit(fileBytes, ToWellFormedUtf8(section), ToWellFormedUtf8(key),
                 ToWellFormedUtf8(value))
      .Apply();
}

std::string IniPadding(std::size_t size) {
  std::string padding(size, ' ');
  if (size > 0) padding.front() = '\n';
  return padding;
}

}  // namespace qelo
