#pragma once
// UTF-8 to the core's UTF-16 text and back. One decoding step serves two policies: the page text
// is decoded strictly, and the platform edge (argv, paths, standard error) keeps every byte.
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
// UTF-8 to UTF-16, or the empty text when the bytes are not well-formed UTF-8 (RFC 3629)
// anywhere: a stray continuation, a truncated or overlong sequence, an encoded surrogate, a value
// above U+10FFFF. A byte-order mark stays as U+FEFF, NUL as U+0000.
std::u16string DecodeUtf8Strict(std::string_view bytes);
// UTF-16 to UTF-8; a lone U+DC80..U+DCFF becomes its byte again, any other unpaired surrogate
// U+FFFD. ToUtf8(FromUtf8(b)) == b for every byte string b.
std::string ToUtf8(std::u16string_view text);
// UTF-16 to UTF-8 for text that must stay well-formed (a file's contents): every unpaired
// surrogate, U+DC80..U+DCFF included, becomes U+FFFD.
std::string ToWellFormedUtf8(std::u16string_view text);

}  // namespace qelo
