// One private-profile write applied to any existing file bytes. Bytes 0-2 give the lengths of
// the section, key and value (UTF-8; an ill-formed byte is written as U+FFFD) that follow; the rest
// is the file. Checked: the written key reads back with the written value through a reader of the
// file's own rules; every line the write does not own is unchanged, in its place and with its
// line end; the same write again changes nothing; a second key written after it leaves it
// readable.
//
// Names and values that the INI format itself cannot carry are left out: a line break in any of
// them, a key that is empty, holds '=', has blanks at its ends or begins with '[' or ';', a
// section with blanks at its ends. A file in UTF-16 is refused and so not checked.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/text.h"
#include "forecastfile/ini_edit.h"

namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

struct FileLine {
  std::string content;
  std::string end;  // "\n", "\r\n", "\r" or "" for a last line without one
  bool operator==(const FileLine&) const = default;
};

std::vector<FileLine> LinesOf(std::string_view bytes) {
  if (bytes.starts_with(kBom)) bytes.remove_prefix(kBom.size());
  std::vector<FileLine> lines;
  while (!bytes.empty()) {
    const std::size_t end = bytes.find_first_of("\r\n");
    if (end == std::string_view::npos) {
      lines.push_back({std::string(bytes), ""});
      break;
    }
    const std::size_t endLength = bytes.substr(end, 2) == "\r\n" ? 2 : 1;
    lines.push_back({std::string(bytes.substr(0, end)), std::string(bytes.substr(end, endLength))});
    bytes.remove_prefix(end + endLength);
  }
  return lines;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

std::optional<std::string_view> SectionOf(std::string_view content) {
  const std::string_view t = Trim(content);
  const std::size_t close = t.rfind(']');
  if (t.empty() || t[0] != '[' || close == std::string_view::npos || close == 0) return {};
  return Trim(t.substr(1, close - 1));
}

// The value of the first entry `key` in the first section `section`, as the service reads it.
std::optional<std::string> ReadBack(std::string_view bytes, std::string_view section,
                                    std::string_view key) {
  const std::vector<FileLine> lines = LinesOf(bytes);
  std::size_t i = 0;
  while (i < lines.size() &&
         !(SectionOf(lines[i].content) && SameName(*SectionOf(lines[i].content), section))) {
    ++i;
  }
  for (++i; i < lines.size(); ++i) {
    const std::string& content = lines[i].content;
    if (SectionOf(content)) break;
    const std::string_view t = Trim(content);
    if (t.empty() || t[0] == ';') continue;
    const std::size_t equals = content.find('=');
    if (!SameName(Trim(std::string_view(content).substr(0, equals)), key)) continue;
    if (equals == std::string::npos) return std::string();
    return content.substr(equals + 1);
  }
  return std::nullopt;
}

bool Carriable(const std::string& section, const std::string& key, const std::string& value) {
  auto hasBreak = [](const std::string& s) { return s.find_first_of("\r\n") != s.npos; };
  if (hasBreak(section) || hasBreak(key) || hasBreak(value)) return false;
  if (Trim(section) != section || Trim(key) != key || key.empty()) return false;
  if (key.find('=') != key.npos || key[0] == '[' || key[0] == ';') return false;
  return true;
}

// The write may replace one line, insert one line, or append a section line and its entry.
// Nothing else changes.
bool OnlyOneChange(const std::vector<FileLine>& a, const std::vector<FileLine>& b) {
  if (b.size() < a.size()) return false;
  std::size_t same = 0;
  while (same < a.size() && a[same] == b[same]) ++same;
  switch (b.size() - a.size()) {
    case 0:  // one line replaced, or the value was already there
      for (std::size_t i = same + 1; i < a.size(); ++i) {
        if (a[i] != b[i]) return false;
      }
      return true;
    case 1:  // one line inserted
      for (std::size_t i = same; i < a.size(); ++i) {
        if (a[i] != b[i + 1]) return false;
      }
      return true;
    case 2:  // a new section and its entry, at the end
      return same == a.size();
    default:
      return false;
  }
}

void CheckOtherLinesKept(std::string_view before, std::string_view after) {
  if (before.starts_with(kBom) && !after.starts_with(kBom)) std::abort();
  std::vector<FileLine> a = LinesOf(before);
  const std::vector<FileLine> b = LinesOf(after);
  if (OnlyOneChange(a, b)) return;
  // What goes after an unfinished last line gives it a line end first.
  if (!a.empty() && a.back().end.empty() && b.size() >= a.size() &&
      b[a.size() - 1].content == a.back().content) {
    a.back() = b[a.size() - 1];
    if (OnlyOneChange(a, b)) return;
  }
  std::abort();
}

std::string Text(const std::uint8_t*& at, std::size_t length) {
  std::string bytes(reinterpret_cast<const char*>(at), length);
  at += length;
  return qelo::ToWellFormedUtf8(qelo::FromUtf8(bytes));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  const std::size_t sectionLength = data[0] % 8, keyLength = data[1] % 8,
                    valueLength = data[2] % 16;
  if (size < 3 + sectionLength + keyLength + valueLength) return 0;
  const std::uint8_t* at = data + 3;
  const std::string section = Text(at, sectionLength);
  const std::string key = Text(at, keyLength);
  const std::string value = Text(at, valueLength);
  const std::string_view file(reinterpret_cast<const char*>(at), data + size - at);

  using qelo::ApplyIniWrite;
  using qelo::FromUtf8;
  const std::optional<std::string> edited =
      ApplyIniWrite(file, FromUtf8(section), FromUtf8(key), FromUtf8(value));
  if (!edited || !Carriable(section, key, value)) return 0;
  const std::string& written = *edited;

  if (ReadBack(written, section, key) != value) std::abort();
  CheckOtherLinesKept(file, written);
  if (ApplyIniWrite(written, FromUtf8(section), FromUtf8(key), FromUtf8(value)) != written) {
    std::abort();
  }
  const std::string other = key + "x";
  const std::string twice = *ApplyIniWrite(written, FromUtf8(section), FromUtf8(other), u"2");
  if (ReadBack(twice, section, key) != value || ReadBack(twice, section, other) != "2") {
    std::abort();
  }
  return 0;
}
