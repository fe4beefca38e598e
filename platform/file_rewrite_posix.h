#pragma once
// A small text file rewritten through its own descriptor, for when a replacement would leave
// another file behind. Each step leaves the file saying the old text or the new one, so that
// a kill or a power cut at any moment finds one of them: a file that grows is first
// lengthened, past its last block, with a line of blanks that a text of lines passes over; a
// file that shrinks is overwritten with the new bytes so padded, then cut. Each step is synced
// before the next; the room is reserved first, so that a full disk refuses the write before a
// byte changes.

#include <cstddef>
#include <string_view>

namespace qelo::platform {

// Rewrites the file open for writing at `fd`, now `old`, to hold `bytes`; `block` is its file
// system's block size. False when a step was refused; the file then holds `old` again.
bool RewriteInPlace(int fd, std::string_view old, std::string_view bytes, std::size_t block);

}  // namespace qelo::platform
