#pragma once
// A block of header lines up to its empty line: the response head's and a chunked body's
// trailer.

#include <string>
#include <vector>

#include "retrieval/line_reader.h"

namespace qelo {

enum class HeaderBlockKind {
  kHead,     // a close after the first line ends the block; before it, the fetch fails
  kTrailer,  // a close anywhere is a close inside the chunked body and fails the fetch
};

// Appends the lines up to the first empty line to `lines`. At most `maxLines` are taken: the
// line read after them is dropped and the block ends as if the empty line had come.
void ReadHeaderBlock(LineReader& reader, std::vector<std::u16string>& lines, HeaderBlockKind kind,
                     int maxLines);

}  // namespace qelo
