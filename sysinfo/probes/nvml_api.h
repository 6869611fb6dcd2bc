// The few NVML declarations the library needs, written from NVIDIA's public
// API reference, so that no SDK is needed: the entry points' names and C
// signatures, through which the Windows side of the seam calls the symbols it
// found. Status codes and the clock type are in platform.h (mrv::nvml).
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace mrv::nvml {

using Return = int;          // nvmlReturn_t: a C enum, int-sized; 0 is NVML_SUCCESS
using ClockType = int;       // nvmlClockType_t: a C enum; NVML_CLOCK_MEM is 2
struct DeviceRecord;         // what nvmlDevice_t points to; only NVML knows it
using Device = DeviceRecord*;  // nvmlDevice_t

static_assert(sizeof(Device) == sizeof(NvmlDevice), "the seam carries nvmlDevice_t as an integer");
static_assert(sizeof(Return) == sizeof(std::int32_t), "nvmlReturn_t is 32 bits");

// NVML's entry points use the platform's default C calling convention.
using InitV2Fn = Return (*)();
using ShutdownFn = Return (*)();
using DeviceGetHandleByIndexFn = Return (*)(unsigned int index, Device* device);
using DeviceGetClockInfoFn = Return (*)(Device device, ClockType type, unsigned int* clock_mhz);
using DeviceGetBusWidthFn = Return (*)(Device device, unsigned int* bus_width_bits);

constexpr const char kLibraryName[] = "nvml.dll";
constexpr const char kInitV2Name[] = "nvmlInit_v2";
constexpr const char kShutdownName[] = "nvmlShutdown";
constexpr const char kDeviceGetHandleByIndexName[] = "nvmlDeviceGetHandleByIndex";
constexpr const char kDeviceGetClockInfoName[] = "nvmlDeviceGetClockInfo";
constexpr const char kDeviceGetBusWidthName[] = "nvmlDeviceGetBusWidth";

}  // namespace mrv::nvml
