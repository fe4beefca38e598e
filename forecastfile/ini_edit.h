#pragma once
// The INI editing rules of the POSIX build's own private-profile service: one write applied
// to the bytes of the file. The file is UTF-8; a leading byte-order mark is kept.
//
// How the file is read:
// - Lines end with LF, CR LF or a lone CR. A new line takes the style of the file's first line
//   end (LF when the file has none).
// - A section begins at a line whose first non-blank character is '[' and that holds a ']';
//   its name is the text between the '[' and the last ']', blanks around it ignored.
// - In a section, a line that is blank or whose first non-blank character is ';' is kept but
//   is no entry. Every other line is an entry; its name is the text before its first '=' (the
//   whole line when it has none), blanks around it ignored.
// - Section and key names compare case-insensitively for the ASCII letters, exactly otherwise.
//   The first section of a name and its first entry of a name are the ones that count.
//
// How the write changes it:
// - A matching entry keeps everything up to and including its '=' (its own spelling and
//   blanks); the rest of the line becomes the value (an entry without '=' gets "=value").
// - A missing key goes right after the section's last entry, or right after the section line
//   when it has none: blank lines and comments that follow stay below it, with the next section.
// - A missing section is appended at the end of the file as "[section]" and "key=value".
// - A last line without a line end gets one before anything is put after it.
// - Names and values are written as well-formed UTF-8: an unpaired surrogate becomes U+FFFD.
// Every other byte stays as it was.
//
// A file in UTF-16 (it begins with a UTF-16 byte-order mark, as the Windows build writes it) is
// refused rather than given lines of a second encoding.

#include <optional>
#include <string>
#include <string_view>

namespace qelo {

// The file's new bytes, or nullopt when the file is refused.
std::optional<std::string> ApplyIniWrite(std::string_view fileBytes, std::u16string_view section,
                                         std::u16string_view key, std::u16string_view value);

}  // namespace qelo
