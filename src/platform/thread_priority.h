#pragma once

namespace zephra::platform {

// Runs the calling thread below normal priority, so that background work (prefetching
// pictures) yields to the threads the user waits for. Does nothing where the system refuses.
void LowerThreadPriority();

}  // namespace zephra::platform
