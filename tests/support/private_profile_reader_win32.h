#pragma once
// Reads a key back through the Windows private-profile service, as the host does, and the bytes of
// a UTF-16LE file with its byte order mark, as the service writes it.

#include <windows.h>

#include <string>

#include "platform/text_win32.h"

namespace qelo::test {

inline std::u16string ReadProfileString(const std::u16string& section, const std::u16string& key,
                                        const std::u16string& path) {
  wchar_t buffer[1024] = {};
  const DWORD length = GetPrivateProfileStringW(platform::Wide(section), platform::Wide(key),
                                                L"(absent)", buffer, 1024, platform::Wide(path));
  return std::u16string(reinterpret_cast<const char16_t*>(buffer), length);
}

inline std::string Utf16File(const std::u16string& text) {
  return "\xFF\xFE" + std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2);
}

// The text after the byte order mark.
inline std::u16string Utf16Text(const std::string& bytes) {
  return std::u16string(reinterpret_cast<const char16_t*>(bytes.data() + 2),
                        (bytes.size() - 2) / 2);
}

}  // namespace qelo::test
