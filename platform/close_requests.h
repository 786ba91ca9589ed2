// Requests to end the program that come from the system rather than from the
// window. On Linux these are the signals SIGTERM, SIGINT and SIGHUP (a
// "kill", Ctrl+C, a closed terminal or a log-out): from TakeCloseRequests on
// they no longer end the program at once, wherever it is; each becomes a
// call of `handler` on the window thread, through the hand-off, so that the
// window answers it as it answers its close box. SIGPIPE is ignored, so that
// a reader of the program's output that goes away cannot end it either.
// SIGKILL cannot be taken; the exchange is made so that it needs not be.
//
// On Windows there is nothing to take: the system asks the window itself
// (WM_CLOSE, WM_QUERYENDSESSION).
//
//   int main() {
//     platform::TakeCloseRequests([] { ... window->Close() ... });  // first
//     ...
//   }
//
// Call once, first thing in main, before any other thread starts: the
// signals are set aside for every thread of the process. A program the
// updater starts gets them back (the launch resets its signals).
#pragma once

#include <functional>

namespace platform {

void TakeCloseRequests(std::function<void()> handler);

}  // namespace platform
