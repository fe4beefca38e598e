#pragma once
// The texts of the run's failure messages, as the failure report shows them. The socket
// layer's per-code texts are in retrieval/end_message.cpp.

namespace qelo::messages {

// The fetch.
inline constexpr char16_t kNotHttpAddress[] = u"Only http addresses can be fetched.";
inline constexpr char16_t kMalformedAddress[] = u"Malformed page address.";
inline constexpr char16_t kConnectTimedOut[] = u"Connect timed out.";
inline constexpr char16_t kReadTimedOut[] = u"Read timed out.";
inline constexpr char16_t kConnectionClosedGracefully[] = u"Connection Closed Gracefully.";
inline constexpr char16_t kMaxLineLengthExceeded[] = u"Max line length exceeded.";
inline constexpr char16_t kResponseTooLarge[] = u"Response too large.";

// The page text and the forecast file.
inline constexpr char16_t kTextExceedsMemoCapacity[] = u"Text exceeds memo capacity";
// Followed by the file's full path.
inline constexpr char16_t kUnableToWriteTo[] = u"Unable to write to ";

// The program's windows, its timer and its memory.
inline constexpr char16_t kCannotCreateApplicationWindow[] =
    u"Cannot create the application window";
inline constexpr char16_t kCannotCreateMainWindow[] = u"Cannot create the main window";
inline constexpr char16_t kNotEnoughTimers[] = u"Not enough timers available";
inline constexpr char16_t kOutOfMemory[] = u"Out of memory";
// A failure that carries no text of its own.
inline constexpr char16_t kUnknownFailure[] = u"Unknown failure";

}  // namespace qelo::messages
