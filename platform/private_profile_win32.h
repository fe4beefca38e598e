#pragma once
// The private-profile service of Windows: writes one key of an INI file per call. The POSIX
// build has a service of its own: forecastfile/ini_edit.h over platform/file_update_posix.h.

#include <string>

namespace qelo::platform {

// Sets `key` to `value` in `section` of the file at `path`, creating the file and the section
// when they are missing; every other line of the file stays as it is. The change is in the file
// when the call returns. False when the file cannot be written; the file is then unchanged, and
// a file that was not there before is not there after.
bool WriteProfileEntry(const std::u16string& section, const std::u16string& key,
                       const std::u16string& value, const std::u16string& path);

// Asks the service to flush the file to its storage; failures go unnoticed.
void FlushPrivateProfile(const std::u16string& path);

}  // namespace qelo::platform
