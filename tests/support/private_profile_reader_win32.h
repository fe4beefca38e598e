#pragma once
// Reads a key back through the Windows private-profile service, as the host does.

#include <windows.h>

#include <string>

#include "platform/win32_text.h"

namespace qelo::test {

inline std::u16string ReadProfileString(const std::u16string& section, const std::u16string& key,
                                        const std::u16string& path) {
  wchar_t buffer[1024] = {};
  const DWORD length = GetPrivateProfileStringW(platform::Wide(section), platform::Wide(key),
                                                L"(absent)", buffer, 1024, platform::Wide(path));
  return platform::FromWide(buffer, length);
}

}  // namespace qelo::test
