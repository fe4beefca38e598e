#pragma once
// Reads a key back through the Windows private-profile service, as the host does.

#include <windows.h>

#include <string>

namespace qelo::testing {

inline std::u16string ReadProfileString(const std::u16string& section, const std::u16string& key,
                                        const std::u16string& path) {
  wchar_t buffer[1024] = {};
  const DWORD length =
      GetPrivateProfileStringW(reinterpret_cast<const wchar_t*>(section.c_str()),
                               reinterpret_cast<const wchar_t*>(key.c_str()), L"(absent)", buffer,
                               1024, reinterpret_cast<const wchar_t*>(path.c_str()));
  return std::u16string(reinterpret_cast<const char16_t*>(buffer), length);
}

}  // namespace qelo::testing
