// The private-profile service of the Windows build: WritePrivateProfileStringW itself.
#include <windows.h>

#include "platform/private_profile_win32.h"
#include "platform/text_win32.h"
#include "platform/unique_handle.h"

namespace qelo::platform {
namespace {

struct FileTraits {
  using Handle = HANDLE;
  static Handle Invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static void Close(Handle file) noexcept { ::CloseHandle(file); }
};
using UniqueFile = UniqueHandle<FileTraits>;

// WritePrivateProfileStringW writes a new file in the ANSI code page, where Chinese text does
// not survive; a file that begins with the UTF-16LE byte-order mark is kept in UTF-16LE. So a
// missing file is first created holding only that mark. CREATE_NEW never touches an existing
// file, which keeps whatever encoding it has.
enum class NewFile { kExisted, kCreated, kFailed };

NewFile CreateUnicodeFileIfMissing(const std::u16string& path) {
  UniqueFile file(CreateFileW(Wide(path), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) {
    // An existing file is the usual case; any other refusal is left to the write to report.
    return NewFile::kExisted;
  }
  static const unsigned char kByteOrderMark[] = {0xFF, 0xFE};
  DWORD written = 0;
  const bool complete =
      WriteFile(file.Get(), kByteOrderMark, sizeof kByteOrderMark, &written, nullptr) &&
      written == sizeof kByteOrderMark;
  file.Reset();
  if (complete) return NewFile::kCreated;
  DeleteFileW(Wide(path));
  return NewFile::kFailed;
}

// Windows refuses to write a file with the read-only attribute; Wine run by root would write it
// anyway, so the attribute is looked at first and both refuse alike.
bool ReadOnly(const std::u16string& path) {
  const DWORD attributes = GetFileAttributesW(Wide(path));
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

}  // namespace

bool WriteProfileEntry(const std::u16string& section, const std::u16string& key,
                       const std::u16string& value, const std::u16string& path) {
  if (ReadOnly(path)) return false;
  const NewFile created = CreateUnicodeFileIfMissing(path);
  if (created == NewFile::kFailed) return false;
  if (WritePrivateProfileStringW(Wide(section), Wide(key), Wide(value), Wide(path))) return true;
  // A refused first write (a path too long for the service) leaves no file behind.
  if (created == NewFile::kCreated) DeleteFileW(Wide(path));
  return false;
}

void FlushPrivateProfile(const std::u16string& path) {
  WritePrivateProfileStringW(nullptr, nullptr, nullptr, Wide(path));
}

}  // namespace qelo::platform
