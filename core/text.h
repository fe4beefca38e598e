#pragma once
// Conversions between the core's UTF-16 text and the platform's byte strings. Used only at the
// platform edge (argv, paths, standard error); the page text has its own strict decoder.
//
// A POSIX path is bytes, not text: a folder named in GBK by an unzip tool is no UTF-8. So that
// such a path survives the way through the core and back, each byte that is not part of a
// well-formed UTF-8 sequence is kept as the lone low surrogate U+DC80..U+DCFF (0xDC00 + byte),
// which well-formed UTF-8 can never produce, and turned back into that byte on the way out.

#include <string>
#include <string_view>

namespace qelo {

// UTF-8 to UTF-16; each byte of an ill-formed sequence becomes U+DC00 + byte.
std::u16string FromUtf8(std::string_view bytes);
// UTF-16 to UTF-8; a lone U+DC80..U+DCFF becomes its byte again, any other unpaired surrogate
// U+FFFD. ToUtf8(FromUtf8(b)) == b for every byte string b.
std::string ToUtf8(std::u16string_view text);
// UTF-16 to UTF-8 for text that must stay well-formed (a file's contents): every unpaired
// surrogate, U+DC80..U+DCFF included, becomes U+FFFD.
std::string ToWellFormedUtf8(std::u16string_view text);

}  // namespace qelo
