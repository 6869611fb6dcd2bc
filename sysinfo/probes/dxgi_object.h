// One DXGI object handed out through the platform, released exactly once when
// its owner goes out of scope, on every path out, an exception's included.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace mrv {

class DxgiObject {
public:
    // Owns `handle` when the call that gave it succeeded (any success code,
    // S_FALSE too, hands out a reference); a failed call's output is not
    // trusted and not released.
    DxgiObject(Platform& platform, std::int32_t result, Handle handle) noexcept
        : platform_(platform), handle_(result >= 0 ? handle : 0) {}
    ~DxgiObject() {
        if (handle_ != 0) platform_.release(handle_);
    }
    DxgiObject(const DxgiObject&) = delete;
    DxgiObject& operator=(const DxgiObject&) = delete;

    Handle get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != 0; }

private:
    Platform& platform_;
    Handle handle_;
};

}  // namespace mrv
