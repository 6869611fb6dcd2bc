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
constexpr const char kDeviceGetClockInfoName[] = "nvmlDeviceGetClockInfo";
constexpr const char kDeviceGetBusWidthName[] = "nvmlDeviceGetBusWidth";

}  // namespace mrv::nvml
