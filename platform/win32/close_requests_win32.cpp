#include "platform/close_requests.h"

namespace platform {

// The system asks the window itself.
void TakeCloseRequests(std::function<void()>) {}

}  // namespace platform
