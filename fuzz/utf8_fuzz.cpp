// The strict UTF-8 decoder against a plain reference decoder written from the table of
// well-formed byte sequences: both must agree on validity and on every code unit.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "core/text.h"

namespace {

struct SequenceForm {
  std::uint8_t leadLow, leadHigh;      // the lead bytes this row covers
  int length;                          // bytes in the sequence
  std::uint8_t secondLow, secondHigh;  // the allowed range of the second byte
};

// The well-formed sequences, row by row; every byte after the second is 80..BF.
constexpr SequenceForm kForms[] = {
    {0xC2, 0xDF, 2, 0x80, 0xBF}, {0xE0, 0xE0, 3, 0xA0, 0xBF}, {0xE1, 0xEC, 3, 0x80, 0xBF},
    {0xED, 0xED, 3, 0x80, 0x9F}, {0xEE, 0xEF, 3, 0x80, 0xBF}, {0xF0, 0xF0, 4, 0x90, 0xBF},
    {0xF1, 0xF3, 4, 0x80, 0xBF}, {0xF4, 0xF4, 4, 0x80, 0x8F},
};

const SequenceForm* FormOf(std::uint8_t lead) {
  for (const SequenceForm& form : kForms) {
    if (lead >= form.leadLow && lead <= form.leadHigh) return &form;
  }
  return nullptr;
}

void AppendUtf16(std::u16string& out, char32_t cp) {
  if (cp < 0x10000) {
    out.push_back(static_cast<char16_t>(cp));
  } else {
    out.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
  }
}

std::optional<std::u16string> ReferenceDecode(const std::uint8_t* data, std::size_t size) {
  std::u16string out;
  std::size_t i = 0;
  while (i < size) {
    const std::uint8_t lead = data[i];
    if (lead < 0x80) {
      out.push_back(lead);
      ++i;
      continue;
    }
    const SequenceForm* form = FormOf(lead);
    if (form == nullptr || size - i < static_cast<std::size_t>(form->length)) return std::nullopt;
    if (data[i + 1] < form->secondLow || data[i + 1] > form->secondHigh) return std::nullopt;
    char32_t cp = lead & (0xFF >> (form->length + 1));
    for (int k = 1; k < form->length; ++k) {
      const std::uint8_t next = data[i + k];
      if (next < 0x80 || next > 0xBF) return std::nullopt;
      cp = (cp << 6) | (next & 0x3F);
    }
    AppendUtf16(out, cp);
    i += form->length;
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::u16string decoded = qelo::DecodeUtf8Strict(bytes);
  const std::optional<std::u16string> expected = ReferenceDecode(data, size);
  if (!expected) {
    // Ill-formed anywhere: the text is empty.
    if (!decoded.empty()) std::abort();
    return 0;
  }
  if (decoded != *expected) std::abort();
  if (qelo::ToUtf8(decoded) != bytes) std::abort();  // the way back, by the other converter
  return 0;
}
