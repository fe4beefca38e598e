#pragma once
// The thread's message queue: the end request and the loop that waits for it.

namespace qelo::platform {

// Posts the quit message with code 0 (PostQuitMessage(0)). It stops nothing by itself: it takes
// effect when a message loop takes it. Posting it again is harmless.
void PostQuit() noexcept;

// Takes the thread's messages one by one and dispatches them (the timers' among them), waiting
// while the queue is empty, and returns once it has taken the quit message. The quit message is
// taken only when nothing else is waiting, so messages queued before it are still dispatched.
void RunMessageLoop();

}  // namespace qelo::platform
