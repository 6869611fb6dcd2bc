// The lock that lets one request at a time through the library: one plain,
// non-recursive lock with static storage duration, constant-initialised, so
// that it works before any static initialiser of the library has run and
// needs no set-up or tear-down code. The build picks its file: an SRWLOCK on
// Windows (windows_request_lock.cpp), where MinGW-w64's std::mutex would be
// set up by pthread_mutex_init in a static initialiser and destroyed at exit,
// and std::mutex elsewhere (request_lock.cpp). Both files are C++20 so that
// `constinit` proves the constant initialisation.
#pragma once

namespace mrv {

// Holds the request lock for its lifetime.
class RequestLockGuard {
public:
    RequestLockGuard();
    ~RequestLockGuard();
    RequestLockGuard(const RequestLockGuard&) = delete;
    RequestLockGuard& operator=(const RequestLockGuard&) = delete;
};

}  // namespace mrv
