#include "boundary/request_lock.h"

#include <mutex>

namespace mrv {
namespace {

constinit std::mutex request_lock;

}  // namespace

RequestLockGuard::RequestLockGuard() { request_lock.lock(); }

RequestLockGuard::~RequestLockGuard() { request_lock.unlock(); }

}  // namespace mrv
