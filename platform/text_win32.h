#pragma once
// The core's UTF-16 text as the wide strings of the Win32 API: on Windows wchar_t is a UTF-16
// code unit, so both views share the same storage and no conversion takes place.

#include <string>

namespace qelo::platform {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Win32 wide text is UTF-16");

// The text as a NUL-terminated wide string, valid as long as `text` is unchanged.
inline const wchar_t* Wide(const std::u16string& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}
// The text's storage as a writable wide buffer (for calls that fill or change it).
inline wchar_t* WideBuffer(std::u16string& text) { return reinterpret_cast<wchar_t*>(text.data()); }
// A NUL-terminated wide string of the system as UTF-16 text.
inline std::u16string FromWide(const wchar_t* text) {
  return std::u16string(reinterpret_cast<const char16_t*>(text));
}

}  // namespace qelo::platform
