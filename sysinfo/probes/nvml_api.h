// The NVML names the library looks up, written from NVIDIA's public API
// reference, so that no SDK is needed. The entry points' C signatures live on
// the Windows side of the seam, which calls them; status codes and the clock
// type are in platform.h (mrv::nvml).
#pragma once

namespace mrv::nvml {

constexpr const char kLibraryName[] = "nvml.dll";
constexpr const char kInitV2Name[] = "nvmlInit_v2";
constexpr const char kShutdownName[] = "nvmlShutdown";
constexpr const char kDeviceGetHandleByIndexName[] = "nvmlDeviceGetHandleByIndex";
// The current memory clock drops to 405 MHz at rest, so the maximum is read.
constexpr const char kDeviceGetMaxClockInfoName[] = "nvmlDeviceGetMaxClockInfo";
// The v1 count goes with the v1 handle-by-index the binding uses: both cover
// the devices this process may access, in the same order.
constexpr const char kDeviceGetCountName[] = "nvmlDeviceGetCount";
constexpr const char kDeviceGetPciInfoV3Name[] = "nvmlDeviceGetPciInfo_v3";
constexpr const char kDeviceGetBusWidthName[] = "nvmlDeviceGetBusWidth";

}  // namespace mrv::nvml
