#pragma once
// Some backends end their reader threads with an asynchronous pthread_cancel, on
// sane_cancel and as the last bytes are read. A reader stopped that way while it holds a
// lock of the C library (the allocator's, as it frees its buffer on the way out) leaves
// that lock taken for good, and the process hangs at its next malloc or thread end. Both
// are therefore delayed, within bounds, until no thread started since the device was
// opened is running: a reader then sits in a system call (blocked on a full pipe,
// sleeping) or has ended, where a cancel is harmless. The caller's threads are left out:
// they are never cancelled, and waiting on them would only hold the device.
#include <chrono>
#include <vector>

namespace folioray::sane {

// The threads of this process now (empty where the system does not list them).
std::vector<long> ThreadIds();

// Returns once no thread missing from `before` is running, or after `bound`.
void WaitForNewThreadsToRest(const std::vector<long>& before, std::chrono::milliseconds bound,
                             std::chrono::microseconds step = std::chrono::microseconds(200));

}  // namespace folioray::sane
