#include "display_lease.h"

namespace {

constexpr DWORD DisplayLeaseTimeoutMs = 240000;

} // namespace

DisplayLease::DisplayLease() : mutex_(CreateMutexW(nullptr, FALSE, L"Local\\QmkTestDisplay")) {
    if (mutex_) {
        const DWORD waited = WaitForSingleObject(mutex_.get(), DisplayLeaseTimeoutMs);
        // A test that crashed while it held the display has let it go.
        held_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
    }
}

DisplayLease::~DisplayLease() {
    if (held_) {
        ReleaseMutex(mutex_.get());
    }
}
