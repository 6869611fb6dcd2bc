#include "probes/nvml_device_matching.h"

#include <algorithm>

#include "probes/nvml_api.h"

namespace mrv {
namespace {

// More devices than one machine can hold; keeps a driver that answers an
// absurd count from holding the request for billions of calls.
constexpr std::uint32_t kMaxNvmlDevices = 256;

bool agrees(const NvmlPciInfo& pci, const PciIdentity& identity) {
    return pci.pci_device_id == (identity.device_id << 16 | identity.vendor_id) &&
           pci.pci_sub_system_id == identity.sub_sys_id;
}

}  // namespace

NvmlDeviceMatcher::NvmlDeviceMatcher(Platform& platform, const NvmlBinding& nvml)
    : platform_(platform), nvml_(nvml) {}

// Found in the loaded module afresh for each request, like the estimator's
// entry points, and only once an adapter asks.
void NvmlDeviceMatcher::resolve_entries() {
    if (resolved_) return;
    resolved_ = true;
    const Handle module = platform_.get_module_handle(nvml::kLibraryName);
    module_found_ = module != 0;
    if (!module_found_) return;
    pci_info_ = platform_.get_proc_address(module, nvml::kDeviceGetPciInfoV3Name);
    count_ = platform_.get_proc_address(module, nvml::kDeviceGetCountName);
}

bool NvmlDeviceMatcher::handle_at(std::uint32_t index, NvmlDevice& device) {
    device = 0;
    return platform_.call_nvml_device_get_handle_by_index(nvml_.device_get_handle_by_index, index, device) ==
               nvml::kSuccess &&
           device != 0;
}

NvmlDevice NvmlDeviceMatcher::agreeing_device(std::uint32_t index, const PciIdentity& identity) {
    if (given_.count(index) != 0) return 0;
    NvmlDevice device = 0;
    if (!handle_at(index, device)) return 0;
    NvmlPciInfo pci;
    if (platform_.call_nvml_device_get_pci_info_v3(pci_info_, device, pci) != nvml::kSuccess ||
        !agrees(pci, identity))
        return 0;
    given_.insert(index);
    return device;
}

NvmlDevice NvmlDeviceMatcher::device_for(const GpuInfo& gpu, const PciIdentity& identity, std::uint32_t position) {
    if (!gpu.has_nvml_support || !nvml_.initialised || nvml_.device_get_handle_by_index == 0) return 0;
    resolve_entries();
    if (!module_found_) return 0;  // nothing could measure the device anyway
    if (pci_info_ == 0) {
        NvmlDevice device = 0;
        return handle_at(position, device) ? device : 0;
    }
    if (const NvmlDevice device = agreeing_device(position, identity)) return device;
    std::uint32_t count = 0;
    if (count_ == 0 || platform_.call_nvml_device_get_count(count_, count) != nvml::kSuccess) return 0;
    count = std::min(count, kMaxNvmlDevices);
    for (std::uint32_t index = 0; index < count; ++index) {
        if (index == position) continue;  // tried first
        if (const NvmlDevice device = agreeing_device(index, identity)) return device;
    }
    return 0;
}

}  // namespace mrv
