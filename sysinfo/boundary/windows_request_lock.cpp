#include "boundary/request_lock.h"

#include <windows.h>

namespace mrv {
namespace {

// Exclusive use only: a plain mutual exclusion, and an SRWLOCK needs no clean-up.
constinit SRWLOCK request_lock = SRWLOCK_INIT;

}  // namespace

RequestLockGuard::RequestLockGuard() { AcquireSRWLockExclusive(&request_lock); }

RequestLockGuard::~RequestLockGuard() { ReleaseSRWLockExclusive(&request_lock); }

}  // namespace mrv
